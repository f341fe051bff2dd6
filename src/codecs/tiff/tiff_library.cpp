#include "codecs/tiff/tiff_library.h"

#include "codecs/common/codec_libraries.h"

namespace pic2pnm::codecs {
namespace {

TiffLibrary LoadTiff(bool& complete) {
    TiffLibrary table{};
    CodecLibrarySymbols resolve(OpenCodecLibrary("tiff"));
    resolve(table.SetErrorHandler, "TIFFSetErrorHandler");
    resolve(table.SetWarningHandler, "TIFFSetWarningHandler");
    resolve(table.OpenOptionsAlloc, "TIFFOpenOptionsAlloc");
    resolve(table.OpenOptionsFree, "TIFFOpenOptionsFree");
    resolve(table.OpenOptionsSetMaxSingleMemAlloc, "TIFFOpenOptionsSetMaxSingleMemAlloc");
    resolve(table.OpenOptionsSetErrorHandlerExtR, "TIFFOpenOptionsSetErrorHandlerExtR");
    resolve(table.OpenOptionsSetWarningHandlerExtR, "TIFFOpenOptionsSetWarningHandlerExtR");
    resolve(table.ClientOpenExt, "TIFFClientOpenExt");
    resolve(table.Close, "TIFFClose");
    resolve(table.GetField, "TIFFGetField");
    resolve(table.GetFieldDefaulted, "TIFFGetFieldDefaulted");
    resolve(table.RGBAImageOK, "TIFFRGBAImageOK");
    resolve(table.RGBAImageBegin, "TIFFRGBAImageBegin");
    resolve(table.RGBAImageGet, "TIFFRGBAImageGet");
    resolve(table.RGBAImageEnd, "TIFFRGBAImageEnd");
    resolve(table.IsTiled, "TIFFIsTiled");
    resolve(table.NumberOfStrips, "TIFFNumberOfStrips");
    resolve(table.NumberOfTiles, "TIFFNumberOfTiles");
    resolve(table.GetStrileByteCountWithErr, "TIFFGetStrileByteCountWithErr");
    resolve(table.ReadEncodedStrip, "TIFFReadEncodedStrip");
    resolve(table.ReadEncodedTile, "TIFFReadEncodedTile");
    complete = resolve.Complete();
    return table;
}

}  // namespace

const TiffLibrary* Tiff() {
    return CodecLibraryOnce<TiffLibrary, LoadTiff>();
}

}  // namespace pic2pnm::codecs
