// JPEG through the TurboJPEG API of libjpeg-turbo, decoded straight into the pixel store.
#include <memory>

#include "codecs/jpeg/jpeg.h"
#include "codecs/jpeg/jpeg_cmyk.h"
#include "codecs/jpeg/jpeg_header.h"
#include "codecs/jpeg/jpeg_library.h"

namespace pic2pnm::codecs {
namespace {

// Cmyk32 in the GDI+ numbering.
constexpr uint32_t PixelFormatCmyk32 = 0x200F;

// Well above the dozen or so scans encoders write; a file with more is built to make the
// decoder pass over the whole picture again and again.
constexpr uint32_t MaxScans = 100;

// The memory a picture may cost: 9 bytes a pixel and 16 MiB. The pixel store takes 4 bytes a
// pixel; the coefficients a multi-scan file keeps until its last scan must fit in the rest.
constexpr uint64_t kBudgetBytesPerPixel = 9;
constexpr uint64_t kBudgetAllowance = uint64_t{16} << 20;

bool CoefficientsFitTheBudget(const JpegHeader& header) {
    const uint64_t pixels = uint64_t(header.width) * uint64_t(header.height);
    const uint64_t budget = pixels * (kBudgetBytesPerPixel - sizeof(uint32_t)) + kBudgetAllowance;
    return JpegCoefficientBytes(header) <= budget;
}

struct TurboJpegCloser {
    void operator()(void* handle) const { TurboJpeg()->Destroy(handle); }
};
using TurboJpegHandle = std::unique_ptr<void, TurboJpegCloser>;

}  // namespace

bool LooksLikeJpeg(FileView file) {
    return file.size() >= 3 && file[0] == 0xFF && file[1] == 0xD8 && file[2] == 0xFF;
}

CodecStatus DecodeJpeg(FileView file, DecodedPicture& out) {
    if (!LooksLikeJpeg(file)) return CodecStatus::NotMyFormat;
    // The frame header is read here rather than by TurboJPEG's header call, which refuses
    // sampling layouts it has no name for (3x2, say) that its decoder reads well.
    JpegHeader header;
    if (CodecStatus status = ReadJpegHeader(file, header); status != CodecStatus::Ok) return status;
    if (header.width == 0 || header.height == 0) return CodecStatus::Corrupt;
    if (!IsPictureSizeSupported(header.width, header.height)) return CodecStatus::TooLarge;
    if (header.scanCount > MaxScans) return CodecStatus::Corrupt;
    // Refused rather than decoded: libjpeg-turbo keeps every coefficient in memory and has no
    // way to hold fewer.
    if (!CoefficientsFitTheBudget(header)) return CodecStatus::TooLarge;
    // libjpeg-turbo reads 1, 3 and 4 components; 4 are CMYK or YCCK, which it gives only as
    // CMYK, so those are converted here afterwards.
    const bool cmyk = header.components == 4;
    if (header.components != 1 && header.components != 3 && !cmyk) return CodecStatus::Corrupt;

    // Without its library no JPEG can be read; the package always brings it.
    const TurboJpegLibrary* turbo = TurboJpeg();
    if (turbo == nullptr) return CodecStatus::LibraryMissing;
    TurboJpegHandle decoder(turbo->InitDecompress());
    if (decoder == nullptr) return CodecStatus::OutOfMemory;
    std::shared_ptr<PixelStore> store = PixelStore::Allocate(header.width, header.height);
    if (store == nullptr) return CodecStatus::OutOfMemory;

    // Our pixels are BGRX bytes in memory, rows bottom-up; a CMYK pixel is as large, so it
    // is decoded into the same place and converted there.
    const int pitch = header.width * 4;  // IsPictureSizeSupported keeps this within int
    auto* destination = reinterpret_cast<unsigned char*>(store->Data());
    if (turbo->Decompress2(decoder.get(), file.data(), file.size(), destination, header.width,
                           pitch, header.height, cmyk ? TJPF_CMYK : TJPF_BGRX,
                           TJFLAG_BOTTOMUP) != 0 &&
        turbo->GetErrorCode(decoder.get()) != TJERR_WARNING) {
        // A warning (a file cut short, extraneous bytes) still leaves a whole picture, the
        // missing part grey; anything else is fatal.
        return CodecStatus::Corrupt;
    }
    if (cmyk) ConvertInvertedCmykToRgb(store->Data(), store->PixelCount());

    out.width = header.width;
    out.height = header.height;
    out.bitsPerPixel = header.components == 1 ? 8 : 24;
    out.pixelFormat = header.components == 1 ? PixelFormat::Indexed8
                      : cmyk                 ? PixelFormatCmyk32
                                             : PixelFormat::Rgb24;
    out.hasAlpha = false;
    out.premultipliedAlpha = false;
    out.dpiX = header.dpiX;
    out.dpiY = header.dpiY;
    out.pixels = std::move(store);
    return CodecStatus::Ok;
}

}  // namespace pic2pnm::codecs
