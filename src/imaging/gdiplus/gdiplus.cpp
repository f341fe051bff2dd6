#include "imaging/gdiplus/gdiplus.h"

#include <new>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "imaging/gdi/gdi.h"
#include "imaging/gdiplus/gdiplus_composite.h"
#include "imaging/gdiplus/gdiplus_decode.h"
#include "imaging/gdiplus/gdiplus_images.h"
#include "imaging/gdiplus/gdiplus_pixel_format.h"
#include "imaging/input/picture_file.h"
#include "runtime/utf16_path.h"

namespace pic2pnm {
namespace {

class StartupTokens {
  public:
    // 0 when memory runs out.
    ULONG_PTR Issue() noexcept {
        try {
            const ULONG_PTR token = next_++;
            outstanding_.insert(token);
            return token;
        } catch (const std::bad_alloc&) {
            return 0;
        }
    }
    void Return(ULONG_PTR token) { outstanding_.erase(token); }
    size_t Count() const { return outstanding_.size(); }

  private:
    std::unordered_set<ULONG_PTR> outstanding_;
    ULONG_PTR next_ = 0x7A000001;  // never 0, never handed out twice
};

StartupTokens& Tokens() {
    static StartupTokens tokens;
    return tokens;
}

bool Started() {
    return Tokens().Count() != 0;
}

GpStatus StatusOf(PictureFileStatus status) {
    switch (status) {
        case PictureFileStatus::Ok: return Ok;
        // The loader checks that the file exists first, so one missing now has vanished
        // meanwhile: an I/O failure rather than FileNotFound.
        case PictureFileStatus::NotFound: return Win32Error;
        case PictureFileStatus::AccessDenied: return AccessDenied;
        case PictureFileStatus::ReadError: return Win32Error;
        case PictureFileStatus::TooLarge: return ValueOverflow;
        case PictureFileStatus::OutOfMemory: return OutOfMemory;
    }
    return GenericError;
}

GpStatus StatusOf(codecs::CodecStatus status) {
    switch (status) {
        case codecs::CodecStatus::Ok: return Ok;
        // GDI+ answers OutOfMemory, reported to the program as "Invalid picture", for every
        // file it cannot decode: one in no format it knows (an empty or a text file
        // included) as much as a broken one of a format it knows.
        case codecs::CodecStatus::NotMyFormat: return OutOfMemory;
        case codecs::CodecStatus::Corrupt: return OutOfMemory;
        case codecs::CodecStatus::LibraryMissing: return OutOfMemory;
        case codecs::CodecStatus::TooLarge: return ValueOverflow;
        case codecs::CodecStatus::OutOfMemory: return OutOfMemory;
        case codecs::CodecStatus::Unsupported: return NotImplemented;
    }
    return GenericError;
}

// Reads and decodes the file; its bytes are freed on return, before the image is kept.
GpStatus DecodeFile(const std::string& path, codecs::DecodedPicture& picture,
                    const codecs::CodecEntry*& format) {
    PictureFileBytes bytes;
    const PictureFileStatus read = ReadPictureFile(path, bytes);
    if (read != PictureFileStatus::Ok) return StatusOf(read);
    // The child keeps the only copy of the bytes while it decodes; what stays here is enough to
    // tell whether the file was cut short meanwhile.
    const auto release = [&bytes] { bytes.GiveBackKeepingWatch(); };
    const GpStatus status =
        StatusOf(DecodeByContent({bytes.Data(), bytes.Size()}, picture, format, release).status);
    // A file cut short while it was decoded gave zeros for what it lost: a failed read.
    if (bytes.Damaged()) {
        picture = codecs::DecodedPicture();
        return StatusOf(PictureFileStatus::ReadError);
    }
    return status;
}

float DpiOrDefault(float dpi) {
    return dpi > 0 ? dpi : 96.0f;
}

GdipImageRecord RecordOf(codecs::DecodedPicture& picture, const codecs::CodecEntry& format) {
    GdipImageRecord image;
    image.width = picture.width;
    image.height = picture.height;
    image.dpiX = DpiOrDefault(picture.dpiX);
    image.dpiY = DpiOrDefault(picture.dpiY);
    image.rawFormat = ToGuid(format.rawFormat);
    image.pixelFormat = GdipPixelFormatOf(format.name, picture.source);
    image.hasAlpha = GdipHasAlpha(format.name, picture.source);
    image.premultipliedAlpha = picture.source.alpha == codecs::AlphaKind::Premultiplied;
    image.pixels = std::move(picture.pixels);
    return image;
}

// The image of a live handle, with the status every image call shares.
GpStatus Lookup(GpImage handle, const GdipImageRecord*& image) {
    if (!Started()) return GdiplusNotInitialized;
    image = FindGdipImage(handle);
    return image == nullptr ? InvalidParameter : Ok;
}

template <class T, class Read>
GpStatus GetProperty(GpImage handle, T* out, Read read) {
    const GdipImageRecord* image = nullptr;
    const GpStatus status = Lookup(handle, image);
    if (status != Ok) return status;
    if (out == nullptr) return InvalidParameter;
    *out = read(*image);
    return Ok;
}

}  // namespace

GpStatus GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void*) {
    if (token == nullptr || input == nullptr) return InvalidParameter;
    if (input->GdiplusVersion != 1) return UnsupportedGdiplusVersion;
    const ULONG_PTR issued = Tokens().Issue();
    if (issued == 0) return OutOfMemory;
    *token = issued;
    return Ok;
}

void GdiplusShutdown(ULONG_PTR token) {
    Tokens().Return(token);
}

GpStatus GdipCreateBitmapFromFile(const char16_t* filename, GpBitmap* bitmap) {
    if (!Started()) return GdiplusNotInitialized;
    if (filename == nullptr || bitmap == nullptr) return InvalidParameter;
    *bitmap = 0;
    std::string path;
    try {
        path = Utf16ToPath(std::u16string_view(filename));
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    codecs::DecodedPicture picture;
    const codecs::CodecEntry* format = nullptr;
    const GpStatus status = DecodeFile(path, picture, format);
    if (status != Ok) return status;
    if (!picture.pixels || picture.pixels->Width() != picture.width ||
        picture.pixels->Height() != picture.height)
        return OutOfMemory;  // a decoder that broke its promise: "Invalid picture"
    const GpImage handle = AddGdipImage(RecordOf(picture, *format));
    if (handle == 0) return OutOfMemory;
    *bitmap = handle;
    return Ok;
}

GpStatus GdipCreateHBITMAPFromBitmap(GpBitmap bitmap, HBITMAP* hbmReturn, ARGB background) {
    const GdipImageRecord* image = nullptr;
    const GpStatus status = Lookup(bitmap, image);
    if (status != Ok) return status;
    if (hbmReturn == nullptr) return InvalidParameter;
    std::shared_ptr<PixelStore> pixels = PixelsOverBackground(*image, background);
    if (!pixels) return OutOfMemory;
    // GDI+ hands out 32-bit DIB sections whatever the source depth.
    const HBITMAP handle = CreateBitmapObject(std::move(pixels), 32);
    if (handle == 0) return OutOfMemory;
    *hbmReturn = handle;
    return Ok;
}

GpStatus GdipDisposeImage(GpImage image) {
    if (!Started()) return GdiplusNotInitialized;
    return RemoveGdipImage(image) ? Ok : InvalidParameter;
}

GpStatus GdipGetImageWidth(GpImage image, uint32_t* width) {
    return GetProperty(image, width,
                       [](const GdipImageRecord& i) { return static_cast<uint32_t>(i.width); });
}

GpStatus GdipGetImageHeight(GpImage image, uint32_t* height) {
    return GetProperty(image, height,
                       [](const GdipImageRecord& i) { return static_cast<uint32_t>(i.height); });
}

GpStatus GdipGetImageHorizontalResolution(GpImage image, float* resolution) {
    return GetProperty(image, resolution, [](const GdipImageRecord& i) { return i.dpiX; });
}

GpStatus GdipGetImageVerticalResolution(GpImage image, float* resolution) {
    return GetProperty(image, resolution, [](const GdipImageRecord& i) { return i.dpiY; });
}

GpStatus GdipGetImageRawFormat(GpImage image, GUID* format) {
    return GetProperty(image, format, [](const GdipImageRecord& i) { return i.rawFormat; });
}

GpStatus GdipGetImagePixelFormat(GpImage image, PixelFormatCode* format) {
    return GetProperty(image, format, [](const GdipImageRecord& i) { return i.pixelFormat; });
}

size_t LiveGdipImages() {
    return CountGdipImages();
}

size_t GdiplusStartupCount() {
    return Tokens().Count();
}

}  // namespace pic2pnm
