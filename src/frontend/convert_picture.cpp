#include "frontend/convert_picture.h"

#include "netpbm/get_bitmap_pixels.h"
#include "netpbm/pixel_buffer.h"
#include "netpbm/pnm_writer.h"
#include "picture/picture_loader.h"
#include "runtime/exit_status.h"
#include "runtime/output_target.h"
#include "runtime/run_time_error.h"
#include "shared/error_line.h"
#include "shared/picture_info.h"
#include "support/support_console.h"

namespace pic2pnm {

void ConvertPicture(const ConvertRequest& Request) {
    // Declared in this order so that they are released buffer first, then the picture, then
    // the information record.
    PictureInfo Info;
    PictureObject Picture;
    PixelBuffer Pixels;
    SetExitStatus(ExitFailed);
    try {
        // When the picture goes to standard output (a pipeline), the lines go to standard
        // error, so that the picture arrives alone.
        if (NamesStandardOutput(Request.OutFileName)) SupportConsole().UseStandardError();
        Err().Clear();
        ResumeNext([&] { Picture = LoadPictureEx(Request.InFileName, Info, 0, false); });
        if (Err().Number != 0) {
            SupportConsole().PrintLine("Can't load picture: " + Request.InFileName, 0);
            ShowError();
            return;
        }
        if (Picture.Type() != PICTYPE_BITMAP) {
            SupportConsole().PrintLine("Picture not supported: " + Request.InFileName, 0);
            return;
        }
        ResumeNext([&] { GetBitmapPixels(Picture, Info, Pixels); });
        if (Err().Number != 0) {
            SupportConsole().PrintLine("Can't get bitmap data: " + Request.InFileName, 0);
            ShowError();
            return;
        }
        WritePnmFile(Request, Info, Pixels);
    } catch (...) {
        // Only a failing console line can land here; the run ends normally all the same.
        Err().SetFromCurrentException();
    }
}

}  // namespace pic2pnm
