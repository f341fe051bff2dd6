// libtiff, which the TIFF decoder opens the first time a TIFF is decoded
// (codecs/common/codec_libraries.h).
#pragma once

#include <tiffio.h>

namespace pic2pnm::codecs {

struct TiffLibrary {
    decltype(&TIFFSetErrorHandler) SetErrorHandler;
    decltype(&TIFFSetWarningHandler) SetWarningHandler;
    decltype(&TIFFOpenOptionsAlloc) OpenOptionsAlloc;
    decltype(&TIFFOpenOptionsFree) OpenOptionsFree;
    decltype(&TIFFOpenOptionsSetMaxSingleMemAlloc) OpenOptionsSetMaxSingleMemAlloc;
    decltype(&TIFFOpenOptionsSetErrorHandlerExtR) OpenOptionsSetErrorHandlerExtR;
    decltype(&TIFFOpenOptionsSetWarningHandlerExtR) OpenOptionsSetWarningHandlerExtR;
    decltype(&TIFFClientOpenExt) ClientOpenExt;
    decltype(&TIFFClose) Close;
    decltype(&TIFFGetField) GetField;
    decltype(&TIFFGetFieldDefaulted) GetFieldDefaulted;
    decltype(&TIFFRGBAImageOK) RGBAImageOK;
    decltype(&TIFFRGBAImageBegin) RGBAImageBegin;
    decltype(&TIFFRGBAImageGet) RGBAImageGet;
    decltype(&TIFFRGBAImageEnd) RGBAImageEnd;
    decltype(&TIFFIsTiled) IsTiled;
    decltype(&TIFFNumberOfStrips) NumberOfStrips;
    decltype(&TIFFNumberOfTiles) NumberOfTiles;
    decltype(&TIFFGetStrileByteCountWithErr) GetStrileByteCountWithErr;
    decltype(&TIFFReadEncodedStrip) ReadEncodedStrip;
    decltype(&TIFFReadEncodedTile) ReadEncodedTile;
};

const TiffLibrary* Tiff();

}  // namespace pic2pnm::codecs
