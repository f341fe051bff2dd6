#include "netpbm/pnm_writer.h"

#include <algorithm>
#include <cstdint>
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
constexpr int32_t LineLimit(int32_t outputType) {
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

// How many columns of a row from `rowStart` pass the checks of the element index, rowStart + c
// computed in 32 bits and at most `upperBound`; and the error of the first column that fails.
struct CheckedColumns {
    int32_t count;
    int32_t error;
};

CheckedColumns ColumnsWithinBounds(int32_t rowStart, int32_t width, int64_t upperBound) {
    const int64_t inRange = int64_t{INT32_MAX} - rowStart + 1;  // columns whose sum fits
    const int64_t inBounds = upperBound - rowStart + 1;         // columns up to the bound
    const int64_t count = std::max<int64_t>(0, std::min({int64_t{width}, inRange, inBounds}));
    // The sum overflows before it is compared, so overflow is the error where both fail.
    const int32_t error =
        count == inRange ? ErrorNumber::Overflow : ErrorNumber::SubscriptOutOfRange;
    return {static_cast<int32_t>(count), error};
}

// Writes the raster, top row of the picture first, with a line feed after every LineLimit
// pixels counted across rows (a constant of each type, so that it takes no register). Each
// element's index is checked before it is read (32-bit overflow, then the buffer's bound), as
// one check a row: the elements before the first that fails are written, then its error is
// raised.
template <int32_t OutputType>
void WriteRaster(CBufferedOut& out, const PictureInfo& info, const PixelBuffer& pixels) {
    constexpr int32_t lineLimit = LineLimit(OutputType);
    const int32_t* data = pixels.Data();
    const int64_t upperBound = pixels.UBound();
    const int32_t width = info.Width;
    int32_t lineCounter = 0;
    for (int32_t r = info.Height - 1; r >= 0; --r) {
        int32_t rowStart;
        if (__builtin_mul_overflow(width, r, &rowStart)) RaiseError(ErrorNumber::Overflow);
        const CheckedColumns checked = ColumnsWithinBounds(rowStart, width, upperBound);
        // No pointer is formed past the buffer (or from an empty one's null).
        const int32_t* row = checked.count > 0 ? data + rowStart : data;
        for (int32_t c = 0; c < checked.count; ++c) {
            out.WriteFile(MakeValueText<OutputType>(row[c]));
            if (++lineCounter == lineLimit) {
                out.WriteFile("\n");
                lineCounter = 0;
            }
        }
        if (checked.count < width) RaiseError(checked.error);
    }
}

}  // namespace

void WritePnmFile(const ConvertRequest& Request, const PictureInfo& Info,
                  const PixelBuffer& Pixels) {
    std::unique_ptr<CBufferedOut> out;
    try {
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
            case OutputPbm: WriteRaster<OutputPbm>(*out, Info, Pixels); break;
            case OutputPgm: WriteRaster<OutputPgm>(*out, Info, Pixels); break;
            default: WriteRaster<OutputPpm>(*out, Info, Pixels); break;
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
