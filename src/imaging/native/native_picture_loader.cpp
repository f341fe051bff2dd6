#include "imaging/native/native_picture_loader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

#include "codecs/bmp/bmp_file_bytes.h"
#include "codecs/common/codec_child.h"
#include "codecs/common/codec_registry.h"
#include "codecs/common/codecs.h"
#include "codecs/icon/icon.h"
#include "codecs/metafile/metafile.h"
#include "codecs/png/png_whole_stream.h"
#include "imaging/gdi/gdi.h"
#include "imaging/input/picture_file.h"
#include "imaging/native/native_bitmap_depth.h"
#include "runtime/run_time_error.h"

namespace pic2pnm {
namespace {

using codecs::ChildDecode;
using codecs::ChildTask;
using codecs::CodecResult;
using codecs::CodecStatus;
using codecs::FileView;

[[noreturn]] void RaiseCodecFailure(CodecStatus status) {
    RaiseError(status == CodecStatus::OutOfMemory ? ErrorNumber::OutOfMemory
                                                  : ErrorNumber::InvalidPicture);
}

HBITMAP MakeBitmap(std::shared_ptr<PixelStore> pixels, uint16_t bitsPerPixel) {
    HBITMAP bitmap = CreateBitmapObject(std::move(pixels), bitsPerPixel);
    if (bitmap == 0) RaiseError(ErrorNumber::OutOfMemory);
    return bitmap;
}

// The file's bytes, and how the parent gives them back once a confined child has them: the
// child alone keeps a copy from then on, and drops it too before it reports.
struct InputFile {
    FileView view;
    std::function<void()> release;
};

// Every decoder of hostile bytes, ours included, runs in a confined child.
ChildDecode DecodeInChild(const InputFile& input, ChildTask task,
                          const std::function<CodecResult(ChildDecode&)>& decode) {
    ChildDecode result;
    if (const CodecResult decoded =
            codecs::DecodeConfined(input.view, task, decode, result, input.release);
        !decoded.IsOk())
        RaiseCodecFailure(decoded.status);
    return result;
}

PictureObject LoadBitmapPicture(const codecs::CodecEntry& format, const InputFile& input) {
    const FileView file = input.view;
    codecs::DecodedPicture picture =
        DecodeInChild(input, ChildTask::Picture, [&](ChildDecode& out) {
            return format.decode(file, codecs::LoaderDecodeLimits(), out.picture);
        }).picture;
    const int32_t width = picture.width;
    const int32_t height = picture.height;
    HBITMAP bitmap =
        MakeBitmap(std::move(picture.pixels), NativeBitmapDepth(format.name, picture.source));
    return PictureObject(PICTYPE_BITMAP, bitmap, PixelsToHimetric(width), PixelsToHimetric(height));
}

PictureObject LoadIconPicture(const InputFile& input) {
    const FileView file = input.view;
    codecs::DecodedIcon icon =
        DecodeInChild(input, ChildTask::Icon, [&](ChildDecode& out) {
            return codecs::DecodeIcon(file, codecs::LoaderDecodeLimits(), out.icon);
        }).icon;
    HBITMAP mask = MakeBitmap(std::move(icon.mask), 1);
    HBITMAP color = 0;
    if (icon.color) {
        color = CreateBitmapObject(std::move(icon.color), IconBitmapDepth(icon.imageBits));
        if (color == 0) {
            DeleteObject(mask);
            RaiseError(ErrorNumber::OutOfMemory);
        }
    }
    HICON handle = CreateIconObject(icon.isIcon, icon.hotspotX, icon.hotspotY, mask, color);
    if (handle == 0) {
        DeleteObject(mask);
        if (color != 0) DeleteObject(color);
        RaiseError(ErrorNumber::OutOfMemory);
    }
    return PictureObject(PICTYPE_ICON, handle, PixelsToHimetric(icon.width),
                         PixelsToHimetric(icon.height));
}

PictureObject LoadWmfPicture(const InputFile& input) {
    const FileView file = input.view;
    const codecs::PlaceableWmfHeader header =
        DecodeInChild(input, ChildTask::PlaceableWmf, [&](ChildDecode& out) {
            return codecs::ParsePlaceableWmf(file, out.wmf);
        }).wmf;
    HMETAFILE handle = CreateMetaFileObject();
    if (handle == 0) RaiseError(ErrorNumber::OutOfMemory);
    // The bounding box is in logical units, `unitsPerInch` of them to the inch.
    auto toHimetric = [&](int32_t units) {
        return static_cast<int32_t>(std::llround(std::abs(units) * 2540.0 / header.unitsPerInch));
    };
    return PictureObject(PICTYPE_METAFILE, handle, toHimetric(header.right - header.left),
                         toHimetric(header.bottom - header.top));
}

// The codec layer's header in the GDI stand-in's structure, field by field.
ENHMETAHEADER ToEnhMetaHeader(const codecs::EmfHeader& emf) {
    auto rect = [](const codecs::EmfRect& r) { return RECTL{r.left, r.top, r.right, r.bottom}; };
    auto size = [](const codecs::EmfSize& s) { return SIZEL{s.cx, s.cy}; };
    return ENHMETAHEADER{emf.iType,          emf.nSize,           rect(emf.rclBounds),
                         rect(emf.rclFrame), emf.dSignature,      emf.nVersion,
                         emf.nBytes,         emf.nRecords,        emf.nHandles,
                         emf.sReserved,      emf.nDescription,    emf.offDescription,
                         emf.nPalEntries,    size(emf.szlDevice), size(emf.szlMillimeters),
                         emf.cbPixelFormat,  emf.offPixelFormat,  emf.bOpenGL};
}

PictureObject LoadEmfPicture(const InputFile& input) {
    const FileView file = input.view;
    const codecs::EmfHeader emf = DecodeInChild(input, ChildTask::Emf, [&](ChildDecode& out) {
                                      return codecs::ParseEmfHeader(file, out.emf);
                                  }).emf;
    const ENHMETAHEADER header = ToEnhMetaHeader(emf);
    HENHMETAFILE handle = CreateEnhMetaFileObject(header);
    if (handle == 0) RaiseError(ErrorNumber::OutOfMemory);
    // The frame is already in HIMETRIC units.
    const int64_t width = static_cast<int64_t>(header.rclFrame.right) - header.rclFrame.left;
    const int64_t height = static_cast<int64_t>(header.rclFrame.bottom) - header.rclFrame.top;
    auto clamp = [](int64_t value) {
        return static_cast<int32_t>(std::min<int64_t>(std::llabs(value), INT32_MAX));
    };
    return PictureObject(PICTYPE_ENHMETAFILE, handle, clamp(width), clamp(height));
}

// A BMP is read only as far as its headers say it has pixels; a PNG whose IDAT chunks the
// whole-stream decoder moves together is read into memory, since through a private mapping its
// every page would be copied at the first write (12,000 small copies for 24 megapixels).
FileReading ReadingOfPictureFile(std::span<const uint8_t> head, uint64_t fileSize) {
    return {codecs::BmpFileBytesNeeded(head), codecs::PngWholeStreamRearranges(head, fileSize)};
}

// The picture of the first loader that takes the file; an empty object when none does.
PictureObject LoadFromBytes(const InputFile& input) {
    const FileView file = input.view;
    for (const codecs::CodecEntry& format : codecs::CodecRegistry()) {
        if (format.nativeBitmap && format.looksLike(file)) {
            return LoadBitmapPicture(format, input);
        }
    }
    if (codecs::LooksLikeIcon(file)) return LoadIconPicture(input);
    if (codecs::LooksLikePlaceableWmf(file)) return LoadWmfPicture(input);
    if (codecs::LooksLikeEmf(file)) return LoadEmfPicture(input);
    return PictureObject();
}

}  // namespace

PictureObject LoadPicture(std::string_view path) {
    PictureFileBytes bytes;
    switch (ReadPictureFile(path, bytes, ReadingOfPictureFile)) {
        case PictureFileStatus::Ok: break;
        case PictureFileStatus::NotFound: RaiseError(ErrorNumber::FileNotFound);
        case PictureFileStatus::OutOfMemory: RaiseError(ErrorNumber::OutOfMemory);
        case PictureFileStatus::AccessDenied: RaiseError(ErrorNumber::PermissionDenied);
        case PictureFileStatus::ReadError:
        case PictureFileStatus::TooLarge: RaiseError(ErrorNumber::InvalidPicture);
    }
    // Whatever a child makes of them, the bytes are not read here again: a failed decode
    // leaves the second decoder to read the file anew. What stays is enough to tell whether
    // the file was cut short meanwhile.
    const InputFile input{bytes.View(), [&bytes] { bytes.GiveBackKeepingWatch(); }};
    PictureObject picture = LoadFromBytes(input);
    // A file cut short while it was decoded gave zeros for what it lost: not its picture.
    if (bytes.Damaged()) RaiseError(ErrorNumber::InvalidPicture);
    if (picture.Type() != PICTYPE_NONE) return picture;
    // Not a format of ours: the GDI+ loader will want these same bytes next.
    KeepForNextRead(path, bytes);
    RaiseError(ErrorNumber::InvalidPicture);
}

}  // namespace pic2pnm
