#include "output/buffered_out.h"

#include <string>

#include "runtime/file_numbers.h"
#include "runtime/run_time_error.h"

namespace pic2pnm {

CBufferedOut::CBufferedOut() : FileNumber_(FreeFile()), BufferLen_(0) {}

CBufferedOut::~CBufferedOut() {
    // Destroying a writer never reports an error; its owner has reported any failure. The file
    // is given back even when this last flush fails (a full disk); what it could not take is
    // lost either way.
    try {
        FlushBuffer();
    } catch (...) {
    }
    if (FileNumber_ != 0) ReleaseFile(FileNumber_);
    FileNumber_ = 0;
    Err().Clear();
}

void CBufferedOut::OpenFile(std::string_view FileName) {
    if (FileNumber_ != 0) CloseFile();
    FileNumber_ = FreeFile();
    OpenForOutput(FileNumber_, FileName);
}

void CBufferedOut::ReplaceFile(std::string_view FileName, std::string_view SourceFileName) {
    if (FileNumber_ != 0) CloseFile();
    FileNumber_ = FreeFile();
    OpenForReplacement(FileNumber_, FileName, SourceFileName);
}

void CBufferedOut::CloseFile() {
    FlushBuffer();
    // File number 0 names no file: closing it is no error.
    if (FileNumber_ != 0) pic2pnm::CloseFile(FileNumber_);
    FileNumber_ = 0;
}

void CBufferedOut::FlushBuffer() {
    if (BufferLen_ < 1) return;
    WriteText(FileNumber_, std::string_view(Buffer_.data(), static_cast<size_t>(BufferLen_)));
    BufferLen_ = 0;
}

void CBufferedOut::PrintFile(std::string_view Text) {
    std::string line;
    line.reserve(Text.size() + 2);
    line.append(Text);
    line += "\r\n";
    AddToBuffer(line);
}

void CBufferedOut::WriteDirect(std::string_view Text) {
    WriteText(FileNumber_, Text);
}

}  // namespace pic2pnm
