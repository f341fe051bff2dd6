#include "codecs/gif/gif_source.h"

#include <algorithm>
#include <cstring>

namespace pic2pnm::codecs {

GifSource::GifSource(FileView file) : file_(file) {
    library_ = Gif();
    if (library_ == nullptr) {  // no GIF can be read without giflib; the package brings it
        status_ = CodecStatus::LibraryMissing;
        return;
    }
    int error = 0;
    gif_ = library_->Open(this, &GifSource::Read, &error);
    if (gif_ != nullptr) return;
    switch (error) {
        case D_GIF_ERR_NOT_GIF_FILE: status_ = CodecStatus::NotMyFormat; break;
        case D_GIF_ERR_NOT_ENOUGH_MEM: status_ = CodecStatus::OutOfMemory; break;
        default: status_ = CodecStatus::Corrupt; break;
    }
}

GifSource::~GifSource() {
    if (gif_ != nullptr) library_->CloseFile(gif_, nullptr);
}

// giflib asks for exact byte counts; a short count at the end of the file makes it fail the
// call in progress, which is how a file cut short shows.
int GifSource::Read(GifFileType* gif, GifByteType* buffer, int size) {
    auto* self = static_cast<GifSource*>(gif->UserData);
    if (size <= 0) return 0;
    size_t count = std::min(static_cast<size_t>(size), self->file_.size() - self->position_);
    if (count > 0) std::memcpy(buffer, self->file_.data() + self->position_, count);
    self->position_ += count;
    return static_cast<int>(count);
}

}  // namespace pic2pnm::codecs
