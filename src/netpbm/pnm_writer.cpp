#include "netpbm/pnm_writer.h"

#include <memory>
#include <string>
#include <string_view>

#include "netpbm/app_title_version.h"
#include "netpbm/rgb_triple.h"
#include "netpbm/value_texts.h"
#include "output/buffered_out.h"
#include "runtime/exit_status.h"
#include "runtime/run_time_error.h"
#include "shared/error_line.h"
#include "support/support_console.h"

namespace pic2pnm {
namespace {

// Pixels per raster line.
int32_t LineLimit(int32_t outputType) {
    switch (outputType) {
        case OutputPbm: return 34;
        case OutputPgm: return 17;
        default: return 5;
    }
}

std::string_view Magic(int32_t outputType) {
    switch (outputType) {
        case OutputPbm: return "P1\n";
        case OutputPgm: return "P2\n";
        default: return "P3\n";
    }
}

// Value text of one pixel.
template <int32_t OutputType>
ShortText MakeValueText(int32_t pixel) {
    RgbTriple rgb;
    SplitRGB(pixel, rgb);
    if constexpr (OutputType == OutputPbm) {
        return BitText((rgb.R + rgb.G + rgb.B) / 3 < 128);
    } else if constexpr (OutputType == OutputPgm) {
        return GreyText((rgb.R + rgb.G + rgb.B) / 3);
    } else {
        return TripleText(rgb.R, rgb.G, rgb.B);
    }
}

// Writes the raster, top row of the picture first, with a line feed after every `lineLimit`
// pixels counted across rows.
template <int32_t OutputType>
void WriteRaster(CBufferedOut& out, const PictureInfo& info, const PixelBuffer& pixels,
                 int32_t lineLimit) {
    const int32_t* data = pixels.Data();
    const int64_t upperBound = pixels.UBound();
    int32_t lineCounter = 0;
    for (int32_t r = info.Height - 1; r >= 0; --r) {
        int32_t rowStart;
        if (__builtin_mul_overflow(info.Width, r, &rowStart)) RaiseError(ErrorNumber::Overflow);
        for (int32_t c = 0; c < info.Width; ++c) {
            int32_t index;
            if (__builtin_add_overflow(rowStart, c, &index)) RaiseError(ErrorNumber::Overflow);
            if (index > upperBound) RaiseError(ErrorNumber::SubscriptOutOfRange);
            out.WriteFile(MakeValueText<OutputType>(data[index]));
            if (++lineCounter == lineLimit) {
                out.WriteFile("\n");
                lineCounter = 0;
            }
        }
    }
}

}  // namespace

void WritePnmFile(const ConvertRequest& Request, const PictureInfo& Info,
                  const PixelBuffer& Pixels) {
    std::unique_ptr<CBufferedOut> out;
    try {
        const int32_t lineLimit = LineLimit(Request.OutputType);
        out = std::make_unique<CBufferedOut>();
        // The output replaces an existing file only once it is complete: a failure, the input
        // named as the output or a second run on the same name never leaves half a picture.
        // Replacing the input itself, it reaches the disk first: a crash cannot lose both.
        out->ReplaceFile(Request.OutFileName, Request.InFileName);
        out->WriteFile(Magic(Request.OutputType));
        if (!Request.NoComment) out->WriteFile("# Created by " + AppTitleVersion(App()) + "\n");
        out->WriteFile(std::to_string(Info.Width) + " " + std::to_string(Info.Height) + "\n");
        if (Request.OutputType != OutputPbm) out->WriteFile("255\n");
        switch (Request.OutputType) {
            case OutputPbm: WriteRaster<OutputPbm>(*out, Info, Pixels, lineLimit); break;
            case OutputPgm: WriteRaster<OutputPgm>(*out, Info, Pixels, lineLimit); break;
            default: WriteRaster<OutputPpm>(*out, Info, Pixels, lineLimit); break;
        }
        out->FlushBuffer();
        out->CloseFile();
        SupportConsole().PrintLine("Picture converted: " + Request.OutFileName, 0);
        SetExitStatus(ExitConverted);
        out.reset();
    } catch (...) {
        Err().SetFromCurrentException();
        SetExitStatus(ExitFailed);
        // The report comes before the writer goes: releasing it clears the current error.
        try {
            SupportConsole().PrintLine("Can't write file: " + Request.OutFileName, 0);
            ShowError();
        } catch (...) {
            Err().SetFromCurrentException();
        }
        out.reset();
    }
}

}  // namespace pic2pnm
