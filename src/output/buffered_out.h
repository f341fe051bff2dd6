// A text file written from many small pieces: the pieces collect in a 1024-character buffer
// that goes to the file when the next piece would not fit, on FlushBuffer and on CloseFile.
// A piece of 1024 characters or more goes to the file at once, after what is pending.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "output/short_text.h"

namespace pic2pnm {

class CBufferedOut {
  public:
    static constexpr int32_t Capacity = 1024;

    CBufferedOut();  // takes the next free file number, opens nothing
    // Writes out the pending text and gives the file up, ignoring and clearing any error. A
    // file opened by ReplaceFile and not closed is left as it was before.
    ~CBufferedOut();

    CBufferedOut(const CBufferedOut&) = delete;
    CBufferedOut& operator=(const CBufferedOut&) = delete;

    // Closes any file first (also on a new writer), then creates or replaces the named file.
    void OpenFile(std::string_view FileName);
    // Like OpenFile, but the named file is replaced only when CloseFile succeeds; a writer
    // destroyed before that leaves it as it was (see OpenForReplacement). When the file is
    // SourceFileName's own (by any name or link), the new contents reach the disk before they
    // replace it.
    void ReplaceFile(std::string_view FileName, std::string_view SourceFileName = {});
    // Flushes, closes the file and sets the file number to 0.
    void CloseFile();
    // Writes the pending text, if there is any.
    void FlushBuffer();
    void WriteFile(std::string_view Text) { AddToBuffer(Text); }
    // The same as WriteFile with the characters of Text, for the texts written once a pixel.
    void WriteFile(const ShortText& Text) {
        const auto length = static_cast<int32_t>(Text.length);
        if (length + BufferLen_ > Capacity) FlushBuffer();
        // The length is counted before the text is stored: the store may alias any member for
        // all the compiler knows, and a length read back after it would cost every pixel.
        const int32_t at = BufferLen_;
        BufferLen_ = at + length;
        // The buffer has Room spare bytes past Capacity, so all of them always fit; only
        // `length` of them count.
        Text.StoreAt(Buffer_.data() + at);
    }
    // The text followed by CR LF.
    void PrintFile(std::string_view Text);

    int32_t FileNumber() const { return FileNumber_; }
    int32_t BufferLen() const { return BufferLen_; }

  private:
    void AddToBuffer(std::string_view Text) {
        const auto length = static_cast<int32_t>(Text.size());
        if (static_cast<int64_t>(length) + BufferLen_ > Capacity) FlushBuffer();
        if (Text.size() >= static_cast<size_t>(Capacity)) {
            WriteDirect(Text);
            return;
        }
        if (length == 0) return;
        std::memcpy(Buffer_.data() + BufferLen_, Text.data(), Text.size());
        BufferLen_ += length;
    }
    void WriteDirect(std::string_view Text);

    int32_t FileNumber_;
    int32_t BufferLen_;
    std::array<char, Capacity + ShortText::Room> Buffer_{};
};

}  // namespace pic2pnm
