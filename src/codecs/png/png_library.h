// libdeflate, which the PNG decoder opens the first time it may rearrange a file's bytes
// (codecs/common/codec_libraries.h): it inflates whole streams faster than zlib.
#pragma once

#include <libdeflate.h>

namespace pic2pnm::codecs {

// PNG decodes without it (more slowly) when it cannot be opened.
struct DeflateLibrary {
    decltype(&libdeflate_alloc_decompressor) AllocDecompressor;
    decltype(&libdeflate_zlib_decompress_ex) ZlibDecompressEx;
    decltype(&libdeflate_free_decompressor) FreeDecompressor;
    decltype(&libdeflate_crc32) Crc32;
};

const DeflateLibrary* Deflate();

}  // namespace pic2pnm::codecs
