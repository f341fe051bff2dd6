#include "picture/picture_loader.h"

#include "imaging/gdi/gdi.h"
#include "imaging/gdiplus/gdiplus.h"
#include "imaging/native/native_picture_loader.h"
#include "picture/get_picture_info.h"
#include "runtime/run_time_error.h"
#include "runtime/utf16_path.h"
#include "support/support_library.h"

namespace pic2pnm {
namespace {

[[noreturn]] void RaiseGdipError(std::string_view what, GpStatus status) {
    RaiseError(ErrorNumber::ObjectError, std::string(what) + GdipStatusText(status));
}

// GDI+ and one image, released image first, then GDI+, on every way out.
class GdipSession {
  public:
    GdipSession() = default;
    ~GdipSession() {
        if (image_ != 0) GdipDisposeImage(image_);
        if (started_) GdiplusShutdown(token_);
    }
    GdipSession(const GdipSession&) = delete;
    GdipSession& operator=(const GdipSession&) = delete;

    void Start() {
        GdiplusStartupInput input;
        input.GdiplusVersion = 1;
        input.DebugEventCallback = nullptr;
        input.SuppressBackgroundThread = 0;
        input.SuppressExternalCodecs = 0;
        if (GpStatus status = GdiplusStartup(&token_, &input, nullptr); status != Ok)
            RaiseGdipError("Can't initialize GDI+. ", status);
        started_ = true;
    }
    GpImage* ImageSlot() { return &image_; }
    GpImage Image() const { return image_; }

  private:
    ULONG_PTR token_ = 0;
    bool started_ = false;
    GpImage image_ = 0;
};

PictureObject LoadWithGdip(std::string_view FileName, uint32_t BackColor, bool GetInfo,
                           PictureInfo& Info) {
    // From here on every error goes to the caller; a failure of the native loader is dropped.
    Err().Clear();
    if (!esIsFileExist(FileName)) RaiseError(ErrorNumber::FileNotFound);

    GdipSession gdip;
    gdip.Start();
    std::u16string wideName = PathToUtf16(FileName);
    wideName.push_back(u'\0');
    if (GpStatus status = GdipCreateBitmapFromFile(wideName.c_str(), gdip.ImageSlot());
        status != Ok)
        RaiseGdipError("Can't load bitmap file. ", status);
    if (GetInfo) GetGdipImageInfo(gdip.Image(), Info);

    HBITMAP bitmap = 0;
    if (GpStatus status = GdipCreateHBITMAPFromBitmap(gdip.Image(), &bitmap, BackColor);
        status != Ok)
        RaiseGdipError("Can't get bitmap handle. ", status);
    try {
        return psGetBitmapFromHandle(bitmap);
    } catch (...) {
        DeleteObject(bitmap);  // nobody took it over
        throw;
    }
}

}  // namespace

PictureObject LoadPictureEx(std::string_view FileName, PictureInfo& Info, uint32_t BackColor,
                            bool ForceGdip) {
    return LoadPictureFull(FileName, BackColor, ForceGdip, true, Info);
}

PictureObject LoadPictureFull(std::string_view FileName, uint32_t BackColor, bool ForceGdip,
                              bool GetInfo, PictureInfo& Info) {
    if (!ForceGdip) {
        Err().Clear();
        PictureObject picture;
        ResumeNext([&] { picture = LoadPicture(FileName); });
        if (Err().Number == 0) {
            if (GetInfo) GetPictureInfo(picture, Info, FileName);
            return picture;
        }
    }
    return LoadWithGdip(FileName, BackColor, GetInfo, Info);
}

}  // namespace pic2pnm
