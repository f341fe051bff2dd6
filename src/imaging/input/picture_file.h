// Gives the decoders a picture file's bytes: a regular file mapped, so that only the pages a
// decoder reads take memory; pipes and sockets read whole into memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "runtime/large_memory.h"
#include "runtime/mapped_file.h"

namespace pic2pnm {

// What tells one state of a regular file from another: where it lives, its size and when it
// or its inode last changed. A pipe or socket read to its end is told by where it lives alone.
struct PictureFileIdentity {
    bool regular = false;  // only regular files and streams have an identity worth comparing
    bool stream = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t modifiedNs = 0;
    int64_t changedNs = 0;
    bool operator==(const PictureFileIdentity&) const = default;
};

// The bytes of a file, mapped or held in memory, given back when the object goes.
class PictureFileBytes {
  public:
    PictureFileBytes() = default;
    PictureFileBytes(const PictureFileBytes&) = delete;
    PictureFileBytes& operator=(const PictureFileBytes&) = delete;

    std::span<const uint8_t> View() const { return {Data(), size_}; }
    size_t Size() const { return size_; }

    // Makes room for `capacity` bytes, keeping the first `keep` of the memory held (a mapping
    // is given up); false when memory runs out.
    bool Reserve(size_t capacity, size_t keep);
    // Maps the first `bytes` bytes of the regular file `fd` instead; false when it cannot.
    bool Map(int fd, size_t bytes);
    // Gives back the bytes (a decoder in another process has its own copy of them) but keeps
    // what Damaged() needs.
    void GiveBackKeepingWatch() noexcept;
    // Whether the bytes are a mapping of the file rather than a copy in memory.
    bool Mapped() const { return mapping_.Data() != nullptr; }
    // True when the mapped file was cut short while it was read: what the decoder saw is not
    // the file, and its reading failed.
    bool Damaged() const { return mapping_.Damaged(); }
    uint8_t* Data() const {
        return mapping_.Data() != nullptr ? mapping_.Data() : static_cast<uint8_t*>(block_.Data());
    }
    size_t Capacity() const { return block_.Size(); }
    void SetSize(size_t size) { size_ = size; }
    const PictureFileIdentity& Identity() const { return identity_; }
    void SetIdentity(const PictureFileIdentity& identity) { identity_ = identity; }
    void Swap(PictureFileBytes& other) noexcept;

  private:
    LargeBlock block_;
    MappedFile mapping_;
    size_t size_ = 0;
    PictureFileIdentity identity_;
};

enum class PictureFileStatus {
    Ok,
    NotFound,      // no such file, or a directory on the way is missing
    AccessDenied,  // permission denied
    ReadError,     // a directory, or any other failure to open or read
    TooLarge,      // more bytes than any picture we can convert would need
    OutOfMemory,
};

// How a regular file's bytes suit its decoder, told from its first bytes (`head`, up to
// HeadBytes of them) and the file's size.
struct FileReading {
    uint64_t bytesNeeded = 0;  // how many of them it can use; 0 when the whole file is wanted
    // It rearranges them in place: read into memory, not mapped, since every page written
    // through a private mapping is first copied, one small page at a time.
    bool rearranged = false;
};
using FileReadingFunction = FileReading (*)(std::span<const uint8_t> head, uint64_t fileSize);
inline constexpr size_t HeadBytes = 64 * 1024;

// Regular files are mapped (read into memory where the file system cannot map them), so that a
// picture followed by gigabytes of anything costs what the picture costs; a regular file whose
// first bytes tell, through `reading`, that fewer bytes are of use is mapped only that far,
// so that the file's address space need not exceed the picture's either, and one whose
// decoder rearranges its bytes is read into memory instead. Pipes are read to
// their end (up to the same limit as a file, which is checked before the buffer grows past
// it).
// A character or block device is never read past its first few bytes: no picture is that
// short, so it is refused by every decoder without reading an endless stream.
//
// The bytes kept by KeepForNextRead are handed out instead of reading the file again when the
// same path names the same, unchanged regular file, or the same pipe or socket (which cannot
// be read a second time).
PictureFileStatus ReadPictureFile(std::string_view path, PictureFileBytes& out,
                                  FileReadingFunction reading = nullptr);

// Keeps the bytes of a whole regular file, pipe or socket read from `path` (taking them from
// `bytes`) for the next ReadPictureFile, which takes them or drops them: the native loader
// reads every file first, and for any format it does not know, the GDI+ loader reads the same
// file straight after. Any other bytes are simply given back.
void KeepForNextRead(std::string_view path, PictureFileBytes& bytes);

// The largest file we read.
inline constexpr uint64_t MaxPictureFileBytes = 3ull << 30;

}  // namespace pic2pnm
