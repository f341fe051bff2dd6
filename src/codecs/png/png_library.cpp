#include "codecs/png/png_library.h"

#include "codecs/common/codec_libraries.h"

namespace pic2pnm::codecs {
namespace {

DeflateLibrary LoadDeflate(bool& complete) {
    DeflateLibrary table{};
    CodecLibrarySymbols resolve(OpenCodecLibrary("deflate"));
    resolve(table.AllocDecompressor, "libdeflate_alloc_decompressor");
    resolve(table.ZlibDecompressEx, "libdeflate_zlib_decompress_ex");
    resolve(table.FreeDecompressor, "libdeflate_free_decompressor");
    resolve(table.Crc32, "libdeflate_crc32");
    complete = resolve.Complete();
    return table;
}

}  // namespace

const DeflateLibrary* Deflate() {
    return CodecLibraryOnce<DeflateLibrary, LoadDeflate>();
}

}  // namespace pic2pnm::codecs
