#include "codecs/gif/gif_source.h"

#include <algorithm>
#include <cstring>

#include "codecs/common/codec_reasons.h"

namespace pic2pnm::codecs {

GifSource::GifSource(FileView file) : file_(file) {
    library_ = Gif();
    if (library_ == nullptr) {  // no GIF can be read without giflib; the package brings it
        result_ = Refuse("gif: giflib cannot be opened");
        return;
    }
    int error = 0;
    gif_ = library_->Open(this, &GifSource::Read, &error);
    if (gif_ == nullptr) result_ = GiflibFailure(error);
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

CodecResult GiflibFailure(int error) {
    switch (error) {
        case D_GIF_ERR_NOT_GIF_FILE: return Refuse("gif: no GIF signature");
        case D_GIF_ERR_NOT_ENOUGH_MEM: return Refuse("gif: giflib ran out of memory");
        // Our reader gives giflib fewer bytes than it asks for only at the end of the file.
        case D_GIF_ERR_READ_FAILED:
        case D_GIF_ERR_EOF_TOO_SOON: return Refuse("gif: the file ends before the picture does");
        case D_GIF_ERR_NO_SCRN_DSCR: return Refuse("gif: giflib cannot read the screen descriptor");
        case D_GIF_ERR_NO_IMAG_DSCR: return Refuse("gif: giflib cannot read an image descriptor");
        case D_GIF_ERR_NO_COLOR_MAP: return Refuse("gif: giflib finds a colour table broken");
        case D_GIF_ERR_WRONG_RECORD: return Refuse("gif: giflib finds a record of an unknown type");
        case D_GIF_ERR_DATA_TOO_BIG:
            return Refuse("gif: more image data than the image has pixels");
        case D_GIF_ERR_IMAGE_DEFECT: return Refuse("gif: giflib finds the image data broken");
        default: return Refuse("gif: giflib refused the file");
    }
}

}  // namespace pic2pnm::codecs
