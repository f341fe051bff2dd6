#include "picture/get_picture_info.h"

#include <array>

#include "imaging/gdi/gdi.h"
#include "picture/format_codes.h"
#include "runtime/file_numbers.h"
#include "runtime/run_time_error.h"
#include "support/support_library.h"

namespace pic2pnm {
namespace {

void SetHimetricSize(const PictureObject& Picture, PictureInfo& Info) {
    Info.Width = esScreenHimetricToPixelsX(static_cast<float>(Picture.Width()));
    Info.Height = esScreenHimetricToPixelsY(static_cast<float>(Picture.Height()));
}

// Sets FormatType from the first bytes of the file: GIF, bitmap, or else JPEG. Opening the
// input a second time (after the loader has read it) is intended behaviour, as is taking
// any other bitmap picture for JPEG: callers rely on the codes it gives, failures included.
void SniffBitmapFile(PictureInfo& Info, std::string_view FileName) {
    int32_t fileNumber = 0;
    Err().Clear();
    ResumeNext([&] {
        fileNumber = FreeFile();
        OpenForBinaryRead(fileNumber, FileName);
    });
    if (Err().Number != 0) return;
    std::array<uint8_t, 3> head{};
    ResumeNext([&] { ReadBytes(fileNumber, head.data(), head.size()); });
    if (Err().Number == 0) {
        if (head[0] == 0x47 && head[1] == 0x49 && head[2] == 0x46)
            Info.FormatType = FormatCode::Gif;
        else if (head[0] == 0x42 && head[1] == 0x4D)
            Info.FormatType = FormatCode::WindowsBitmap;
        else
            Info.FormatType = FormatCode::Jpeg;
    }
    ResumeNext([&] { CloseFile(fileNumber); });
}

}  // namespace

void GetPictureInfo(const PictureObject& Picture, PictureInfo& Info, std::string_view FileName) {
    ResumeNext([&] {
        switch (Picture.Type()) {
            case PICTYPE_BITMAP: GetBitmapPictureInfo(Picture, Info, FileName); break;
            case PICTYPE_ENHMETAFILE: GetEmfPictureInfo(Picture, Info, FileName); break;
            case PICTYPE_ICON: GetIconPictureInfo(Picture, Info, FileName); break;
            case PICTYPE_METAFILE: GetWmfPictureInfo(Picture, Info, FileName); break;
            default: GetOtherPictureInfo(Picture, Info, FileName); break;
        }
    });
    ResumeNext([&] { Info.FormatName = FormatName(Info.FormatType); });
    Err().Clear();
}

void GetBitmapPictureInfo(const PictureObject& Picture, PictureInfo& Info,
                          std::string_view FileName) {
    ResumeNext([&] { Info.BitsPerPixel = 0; });
    ResumeNext([&] { SetHimetricSize(Picture, Info); });
    ResumeNext([&] {
        Info.HorizontalResolution = 0;
        Info.VerticalResolution = 0;
    });
    BITMAP bitmap{};
    if (GetObjectA(Picture.Handle(), sizeof bitmap, &bitmap) != 0) {
        Info.BitsPerPixel = bitmap.bmBitsPixel;
        Info.Height = bitmap.bmHeight;
        Info.Width = bitmap.bmWidth;
        Info.FormatType = FormatCode::WindowsBitmap;
    }
    SniffBitmapFile(Info, FileName);
    Err().Clear();
}

void GetWmfPictureInfo(const PictureObject& Picture, PictureInfo& Info, std::string_view) {
    Info.BitsPerPixel = 0;
    SetHimetricSize(Picture, Info);
    Info.HorizontalResolution = 0;
    Info.VerticalResolution = 0;
    Info.FormatType = FormatCode::WindowsMetafile;
}

void GetIconPictureInfo(const PictureObject& Picture, PictureInfo& Info, std::string_view) {
    Info.BitsPerPixel = 0;
    SetHimetricSize(Picture, Info);
    Info.HorizontalResolution = 0;
    Info.VerticalResolution = 0;
    ICONINFO icon{};
    if (GetIconInfo(Picture.Handle(), &icon) == 0) return;
    Info.FormatType = icon.fIcon != 0 ? FormatCode::WindowsIcon : FormatCode::WindowsCursor;
    BITMAP bitmap{};
    if (GetObjectA(icon.hbmColor, sizeof bitmap, &bitmap) != 0) {
        Info.BitsPerPixel = bitmap.bmBitsPixel;
        Info.Height = bitmap.bmHeight;
        Info.Width = bitmap.bmWidth;
    }
    DeleteObject(icon.hbmColor);
    DeleteObject(icon.hbmMask);
}

void GetEmfPictureInfo(const PictureObject& Picture, PictureInfo& Info, std::string_view) {
    Info.BitsPerPixel = 0;
    Info.HorizontalResolution = 0;
    Info.VerticalResolution = 0;
    Info.FormatType = FormatCode::EnhancedMetafile;
    ENHMETAHEADER header{};
    if (GetEnhMetaFileHeader(Picture.Handle(), 100, &header) != 0) {
        // The bounds include their right and bottom edges.
        const NewRect bounds = esRectToNewRect(header.rclBounds);
        int32_t width;
        int32_t height;
        if (__builtin_add_overflow(bounds.Width, 1, &width) ||
            __builtin_add_overflow(bounds.Height, 1, &height))
            RaiseError(ErrorNumber::Overflow);
        Info.Width = width;
        Info.Height = height;
        return;
    }
    SetHimetricSize(Picture, Info);
}

void GetOtherPictureInfo(const PictureObject&, PictureInfo& Info, std::string_view) {
    Info.BitsPerPixel = 0;
    Info.Height = 0;
    Info.Width = 0;
    Info.HorizontalResolution = 0;
    Info.VerticalResolution = 0;
    Info.FormatType = FormatCode::Unknown;
}

void GetGdipImageInfo(GpImage Image, PictureInfo& Info) {
    uint32_t width = static_cast<uint32_t>(Info.Width);
    GdipGetImageWidth(Image, &width);
    Info.Width = static_cast<int32_t>(width);
    uint32_t height = static_cast<uint32_t>(Info.Height);
    GdipGetImageHeight(Image, &height);
    Info.Height = static_cast<int32_t>(height);
    GdipGetImageHorizontalResolution(Image, &Info.HorizontalResolution);
    GdipGetImageVerticalResolution(Image, &Info.VerticalResolution);
    GUID format{};
    GdipGetImageRawFormat(Image, &format);
    PixelFormatCode pixelFormat = 0;
    GdipGetImagePixelFormat(Image, &pixelFormat);

    std::array<char16_t, 101> wide{};
    StringFromGUID2(format, wide.data(), 100);
    std::array<char, 101> narrow{};
    for (size_t i = 0; i < wide.size(); ++i) narrow[i] = static_cast<char>(wide[i] & 0x7F);
    const std::string guidText = psGetStringFromPointerA(narrow.data());

    Info.FormatType = FormatTypeFromGuid(guidText);
    Info.FormatName = FormatName(Info.FormatType);
    Info.BitsPerPixel = psHiByte(psLoWord(pixelFormat));
}

}  // namespace pic2pnm
