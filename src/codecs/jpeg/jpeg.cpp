// JPEG through the TurboJPEG API of libjpeg-turbo, decoded straight into the pixel store.
#include <memory>

#include "codecs/common/codec_reasons.h"
#include "codecs/jpeg/jpeg.h"
#include "codecs/jpeg/jpeg_cmyk.h"
#include "codecs/jpeg/jpeg_header.h"
#include "codecs/jpeg/jpeg_library.h"

namespace pic2pnm::codecs {
namespace {

// The coefficients a multi-scan file keeps until its last scan must fit in what the budget
// leaves beside the pixel store.
bool CoefficientsFitTheBudget(const JpegHeader& header, const DecodeLimits& limits) {
    const uint64_t pixels = uint64_t(header.width) * uint64_t(header.height);
    return JpegCoefficientBytes(header) <= limits.BudgetBesidePixels(pixels);
}

struct TurboJpegCloser {
    void operator()(void* handle) const { TurboJpeg()->Destroy(handle); }
};
using TurboJpegHandle = std::unique_ptr<void, TurboJpegCloser>;

}  // namespace

bool LooksLikeJpeg(FileView file) {
    return file.size() >= 3 && file[0] == 0xFF && file[1] == 0xD8 && file[2] == 0xFF;
}

CodecResult DecodeJpeg(FileView file, const DecodeLimits& limits, DecodedPicture& out) {
    if (!LooksLikeJpeg(file)) return Refuse("jpeg: no JPEG signature");
    // The frame header is read here rather than by TurboJPEG's header call, which refuses
    // sampling layouts it has no name for (3x2, say) that its decoder reads well.
    JpegHeader header;
    if (const CodecResult read = ReadJpegHeader(file, header); !read.IsOk()) return read;
    if (header.width == 0 || header.height == 0) return Refuse("jpeg: a side of the picture is 0");
    if (!limits.AllowsPicture(header.width, header.height))
        return Refuse("jpeg: the picture is larger than the limits allow");
    if (header.scanCount > limits.jpegScans)
        return Refuse("jpeg: more scans than the limits allow");
    // Refused rather than decoded: libjpeg-turbo keeps every coefficient in memory and has no
    // way to hold fewer.
    if (!CoefficientsFitTheBudget(header, limits))
        return Refuse("jpeg: the scans' coefficients need more memory than the budget");
    // libjpeg-turbo reads 1, 3 and 4 components; 4 are CMYK or YCCK, which it gives only as
    // CMYK, so those are converted here afterwards.
    const bool cmyk = header.components == 4;
    if (header.components != 1 && header.components != 3 && !cmyk)
        return Refuse("jpeg: a component count other than 1, 3 or 4");

    // Without its library no JPEG can be read; the package always brings it.
    const TurboJpegLibrary* turbo = TurboJpeg();
    if (turbo == nullptr) return Refuse("jpeg: libturbojpeg cannot be opened");
    TurboJpegHandle decoder(turbo->InitDecompress());
    if (decoder == nullptr) return Refuse("jpeg: libturbojpeg cannot make a decoder");
    std::shared_ptr<PixelStore> store = PixelStore::Allocate(header.width, header.height);
    if (store == nullptr) return Refuse("jpeg: no memory for the pixels");

    // Our pixels are BGRX bytes in memory, rows bottom-up; a CMYK pixel is as large, so it
    // is decoded into the same place and converted there.
    const int pitch = header.width * 4;  // IsPictureSizeSupported keeps this within int
    auto* destination = reinterpret_cast<unsigned char*>(store->Data());
    if (turbo->Decompress2(decoder.get(), file.data(), file.size(), destination, header.width,
                           pitch, header.height, cmyk ? TJPF_CMYK : TJPF_BGRX,
                           TJFLAG_BOTTOMUP) != 0 &&
        turbo->GetErrorCode(decoder.get()) != TJERR_WARNING) {
        // A warning (a file cut short, extraneous bytes) still leaves a whole picture, the
        // missing part grey; anything else is fatal. TurboJPEG tells no more than that.
        return Refuse("jpeg: libjpeg-turbo stopped on a fatal error");
    }
    if (cmyk) ConvertInvertedCmykToRgb(store->Data(), store->PixelCount());

    out.width = header.width;
    out.height = header.height;
    out.source = {.channels = header.components == 1 ? SourceChannels::Grey
                              : cmyk                 ? SourceChannels::Cmyk
                                                     : SourceChannels::Colour,
                  .sampleBits = 8,
                  .pixelBits = static_cast<uint8_t>(8 * header.components)};
    out.dpiX = header.dpiX;
    out.dpiY = header.dpiY;
    out.pixels = std::move(store);
    return Decoded;
}

}  // namespace pic2pnm::codecs
