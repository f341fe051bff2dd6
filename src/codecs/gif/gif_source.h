// A giflib decoder reading from a file held in memory.
#pragma once

#include <gif_lib.h>

#include <cstddef>

#include "codecs/common/decoded_picture.h"
#include "codecs/gif/gif_library.h"

namespace pic2pnm::codecs {

class GifSource {
  public:
    // Reads the screen descriptor and the global colour table. When that fails, Get() is
    // null and Status() says why. While Get() is not null, Library() is giflib's functions.
    explicit GifSource(FileView file);
    ~GifSource();
    GifSource(const GifSource&) = delete;
    GifSource& operator=(const GifSource&) = delete;

    GifFileType* Get() const { return gif_; }
    const GifLibrary& Library() const { return *library_; }
    CodecStatus Status() const { return status_; }

  private:
    static int Read(GifFileType* gif, GifByteType* buffer, int size);

    FileView file_;
    size_t position_ = 0;
    const GifLibrary* library_ = nullptr;
    GifFileType* gif_ = nullptr;
    CodecStatus status_ = CodecStatus::Ok;
};

}  // namespace pic2pnm::codecs
