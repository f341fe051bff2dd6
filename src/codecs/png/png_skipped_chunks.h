// Text and colour-profile chunks the program never reads, kept away from libspng. libspng
// inflates compressed text and profiles as it meets them and fails the whole picture when one
// inflates past its limit, so a good picture would be refused for a comment it carries.
#pragma once

#include <spng.h>

#include <cstddef>
#include <cstdint>

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

// True when the file holds a tEXt, zTXt, iTXt or iCCP chunk (walking chunk headers only).
bool HasSkippedPngChunks(FileView file);

// The file as libspng reads it through a stream, less those chunks: the signature and every
// other chunk pass unchanged, byte for byte. A chunk header cut short or a length past the end
// of the file passes as it is, for libspng to report.
class PngChunkFilter {
  public:
    explicit PngChunkFilter(FileView file) : file_(file) {}

    // An spng_rw_fn: fills `length` bytes at `destination`, or reports the end of the file.
    static int Read(spng_ctx*, void* filter, void* destination, size_t length);

  private:
    size_t Fill(uint8_t* destination, size_t length);

    FileView file_;
    size_t position_ = 0;
    size_t nextChunk_ = 8;  // where the next chunk header starts: just past the signature
};

}  // namespace pic2pnm::codecs
