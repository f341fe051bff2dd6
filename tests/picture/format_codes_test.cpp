#include "picture/format_codes.h"

#include <gtest/gtest.h>

#include "picture/picture_loader.h"

namespace pic2pnm {
namespace {

TEST(FormatTypeFromGuidTest, KnownGuidsInAnyLetterCaseAndUnknownText) {
    const struct {
        const char* text;
        int32_t code;
    } cases[] = {
        {"{B96B3CA9-0728-11D3-9D7B-0000F81EF32E}", 98},
        {"{B96B3CAA-0728-11D3-9D7B-0000F81EF32E}", 69},
        {"{B96B3CAB-0728-11D3-9D7B-0000F81EF32E}", 1},
        {"{b96b3cab-0728-11d3-9d7b-0000f81ef32e}", 1},
        {"{B96B3CAC-0728-11D3-9D7B-0000F81EF32E}", 5},
        {"{B96B3CAD-0728-11D3-9D7B-0000F81EF32E}", 4},
        {"{B96B3CAE-0728-11D3-9D7B-0000F81EF32E}", 2},
        {"{b96b3caf-0728-11d3-9d7b-0000f81ef32e}", 8},
        {"{B96B3CB0-0728-11D3-9D7B-0000F81EF32E}", 3},
        {"{B96B3CB1-0728-11D3-9D7B-0000F81EF32E}", 12},
        {"{B96B3CB2-0728-11D3-9D7B-0000F81EF32E}", 13},
        {"{B96B3CB3-0728-11D3-9D7B-0000F81EF32E}", 15},
        {"{B96B3CB4-0728-11D3-9D7B-0000F81EF32E}", 14},
        {"{B96B3CB5-0728-11D3-9D7B-0000F81EF32E}", 6},
        {"{00000000-0000-0000-0000-000000000000}", 99},
        {"B96B3CAF-0728-11D3-9D7B-0000F81EF32E", 99},
        {"", 99},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatTypeFromGuid(c.text), c.code) << c.text;
}

TEST(FormatNameTest, NamesOfEveryCodeAndUnknownForTheRest) {
    const struct {
        int32_t code;
        const char* name;
    } cases[] = {
        {0, "Nothing"},
        {1, "Windows bitmap"},
        {2, "JPEG"},
        {3, "CompuServe GIF"},
        {4, "Windows metafile"},
        {5, "Enhanced metafile"},
        {6, "Windows icon"},
        {7, "Windows cursor"},
        {8, "Portable network graphics"},
        {9, "Unknown"},
        {10, "Unknown"},
        {11, "Unknown"},
        {12, "Tagged image file format"},
        {13, "Exchangable Image Format"},
        {14, "FlashPix"},
        {15, "Photo CD"},
        {16, "Unknown"},
        {69, "Memory stored bitmap"},
        {98, "Undefined"},
        {99, "Unknown"},
        {100, "Unknown"},
        {-1, "Unknown"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatName(c.code), c.name) << c.code;
}

TEST(GdipStatusTextTest, MessagesOfEveryStatusAndTheRest) {
    const struct {
        int32_t status;
        const char* text;
    } cases[] = {
        {0, "Unknown error"},
        {1, "Generic error"},
        {2, "Invalid parameter"},
        {3, "Invalid picture"},
        {4, "Object busy"},
        {5, "Insufficient buffer"},
        {6, "Not implemented"},
        {7, "Win32 error"},
        {8, "Wrong state"},
        {9, "Operation was aborted"},
        {10, "File not found"},
        {11, "Value overflow"},
        {12, "Accedd denied"},
        {13, "Unknown image format"},
        {14, "Font family not found"},
        {15, "Font style not found"},
        {16, "Not a TrueType font"},
        {17, "Unsupported library version"},
        {18, "Library not initialized"},
        {19, "Property not found"},
        {20, "Property not supported"},
        {21, "Unknown error 21"},
        {-1, "Unknown error -1"},
        {INT32_MIN, "Unknown error -2147483648"},
    };
    for (const auto& c : cases) EXPECT_EQ(GdipStatusText(c.status), c.text) << c.status;
}

}  // namespace
}  // namespace pic2pnm
