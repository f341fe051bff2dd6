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
    // null and Result() says why. While Get() is not null, Library() is giflib's functions.
    explicit GifSource(FileView file);
    ~GifSource();
    GifSource(const GifSource&) = delete;
    GifSource& operator=(const GifSource&) = delete;

    GifFileType* Get() const { return gif_; }
    const GifLibrary& Library() const { return *library_; }
    CodecResult Result() const { return result_; }

  private:
    static int Read(GifFileType* gif, GifByteType* buffer, int size);

    FileView file_;
    size_t position_ = 0;
    const GifLibrary* library_ = nullptr;
    GifFileType* gif_ = nullptr;
    CodecResult result_;
};

// Why giflib failed, from the error code it gives (DGifOpen's, or the file's Error after a
// failed call).
CodecResult GiflibFailure(int error);

}  // namespace pic2pnm::codecs
