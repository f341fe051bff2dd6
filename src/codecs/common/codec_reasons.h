// Why a file was refused: every reason a decode gives, in one table, each a short static text
// that names the format and the cause. A decoder refuses with Refuse("qoi: ...") and the text
// must stand in the table word for word, or the decoder does not compile; the status comes
// from the table. The reasons go nowhere near the console (the user reads the designed lines):
// the decode child's record carries them to the parent, the tests assert them and the fuzz
// targets show them.
#pragma once

#include <cstddef>
#include <string_view>

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs {

struct CodecReason {
    CodecStatus status;
    const char* text;
};

// clang-format off
inline constexpr CodecReason CodecReasons[] = {
    // Any format: the dispatch and the decode child.
    {CodecStatus::NotMyFormat, "picture: no decoder knows the file's signature"},
    {CodecStatus::Corrupt, "sandbox: the decode child crashed"},
    {CodecStatus::Corrupt, "sandbox: the decode child made a forbidden system call"},
    {CodecStatus::Corrupt, "sandbox: the decode child ran out of CPU time"},
    {CodecStatus::Corrupt, "sandbox: the decode child ran out of wall-clock time"},
    {CodecStatus::Corrupt, "sandbox: the decode child ended without its whole record"},
    {CodecStatus::Corrupt, "sandbox: the decode child's record does not hold"},
    {CodecStatus::OutOfMemory, "sandbox: the decoder took all the address space it may"},
    // QOI
    {CodecStatus::NotMyFormat, "qoi: no QOI signature"},
    {CodecStatus::Corrupt, "qoi: the header is cut short"},
    {CodecStatus::Corrupt, "qoi: a side of the picture is 0"},
    {CodecStatus::Corrupt, "qoi: the channels are neither 3 nor 4"},
    {CodecStatus::Corrupt, "qoi: the colour space is neither 0 nor 1"},
    {CodecStatus::TooLarge, "qoi: the picture is larger than the limits allow"},
    {CodecStatus::Corrupt, "qoi: too few bytes for the picture's pixels"},
    {CodecStatus::OutOfMemory, "qoi: no memory for the pixels"},
    {CodecStatus::Corrupt, "qoi: the chunks end before the last pixel"},
    {CodecStatus::Corrupt, "qoi: a chunk is cut short"},
    {CodecStatus::Corrupt, "qoi: chunks run past the last pixel"},
    {CodecStatus::Corrupt, "qoi: the end marker does not follow the last pixel"},
    // Netpbm (PBM, PGM, PPM, PAM)
    {CodecStatus::NotMyFormat, "pnm: no Netpbm signature"},
    {CodecStatus::Corrupt, "pnm: a header field is missing or no number"},
    {CodecStatus::Corrupt, "pnm: a side of the picture is 0"},
    {CodecStatus::Corrupt, "pnm: the maxval is 0 or above 65535"},
    {CodecStatus::Corrupt, "pnm: no whitespace between the header and the raster"},
    {CodecStatus::Corrupt, "pnm: P7 is not alone on its line"},
    {CodecStatus::Corrupt, "pnm: the PAM header ends before ENDHDR"},
    {CodecStatus::Corrupt, "pnm: a PAM header line is unknown or its value no number"},
    {CodecStatus::Corrupt, "pnm: the PAM tuple type is unknown or does not match the depth"},
    {CodecStatus::TooLarge, "pnm: the picture is larger than the limits allow"},
    {CodecStatus::Corrupt, "pnm: the raster is shorter than the picture"},
    {CodecStatus::OutOfMemory, "pnm: no memory for the pixels"},
    {CodecStatus::OutOfMemory, "pnm: no memory for the table of sample levels"},
    {CodecStatus::Corrupt, "pnm: a sample is above the maxval"},
    {CodecStatus::Corrupt, "pnm: a plain PBM pixel is missing or neither 0 nor 1"},
    {CodecStatus::Corrupt, "pnm: a plain sample is missing or no number"},
    // TGA, which has no signature: NotMyFormat for anything less than a wholly consistent file
    {CodecStatus::NotMyFormat, "tga: too short for a TGA header"},
    {CodecStatus::NotMyFormat, "tga: the image type is none TGA knows"},
    {CodecStatus::NotMyFormat, "tga: the colour map fields do not fit the image type"},
    {CodecStatus::NotMyFormat, "tga: a side is 0 or the pixel size does not fit the image type"},
    {CodecStatus::NotMyFormat, "tga: the descriptor asks for interleaving or over 8 attribute bits"},
    {CodecStatus::NotMyFormat, "tga: the colour map runs past the end of the file"},
    {CodecStatus::NotMyFormat, "tga: the run-length packets do not complete the picture"},
    {CodecStatus::NotMyFormat, "tga: the pixels run past the end of the file"},
    {CodecStatus::TooLarge, "tga: the picture is larger than the limits allow"},
    {CodecStatus::OutOfMemory, "tga: no memory for the colour map"},
    {CodecStatus::OutOfMemory, "tga: no memory for the pixels"},
    {CodecStatus::Corrupt, "tga: a pixel's index is outside the colour map"},
    // BMP, and the DIB images of icons
    {CodecStatus::NotMyFormat, "bmp: no BMP signature"},
    {CodecStatus::Corrupt, "bmp: the file header is cut short"},
    {CodecStatus::Corrupt, "bmp: the info header is cut short"},
    {CodecStatus::Corrupt, "bmp: an info header of a size none has"},
    {CodecStatus::Corrupt, "bmp: a compression this decoder does not read"},
    {CodecStatus::Corrupt, "bmp: the bit field masks are cut short"},
    {CodecStatus::Corrupt, "bmp: every colour mask is 0"},
    {CodecStatus::Corrupt, "bmp: a bit field mask has gaps"},
    {CodecStatus::Corrupt, "bmp: the width is not positive or the height is 0"},
    {CodecStatus::Corrupt, "bmp: a bit count the compression does not take"},
    {CodecStatus::Corrupt, "bmp: run-length pixels stored top-down"},
    {CodecStatus::TooLarge, "bmp: the picture is larger than the limits allow"},
    {CodecStatus::Corrupt, "bmp: the pixel offset is inside the headers or past the file"},
    {CodecStatus::Corrupt, "bmp: the colour table runs past the image"},
    {CodecStatus::Corrupt, "bmp: an icon image stored top-down or compressed"},
    {CodecStatus::Corrupt, "bmp: an icon image of no rows"},
    {CodecStatus::Corrupt, "bmp: the pixels run past the end of the file"},
    {CodecStatus::Corrupt, "bmp: the run-length data ends inside a command"},
    {CodecStatus::OutOfMemory, "bmp: no memory for the pixels"},
    {CodecStatus::OutOfMemory, "bmp: no memory for the bit field tables"},
    // GIF, through giflib
    {CodecStatus::NotMyFormat, "gif: no GIF signature"},
    {CodecStatus::LibraryMissing, "gif: giflib cannot be opened"},
    {CodecStatus::OutOfMemory, "gif: giflib ran out of memory"},
    {CodecStatus::Corrupt, "gif: the file ends before the picture does"},
    {CodecStatus::Corrupt, "gif: giflib cannot read the screen descriptor"},
    {CodecStatus::Corrupt, "gif: giflib cannot read an image descriptor"},
    {CodecStatus::Corrupt, "gif: giflib finds a colour table broken"},
    {CodecStatus::Corrupt, "gif: giflib finds a record of an unknown type"},
    {CodecStatus::Corrupt, "gif: more image data than the image has pixels"},
    {CodecStatus::Corrupt, "gif: giflib finds the image data broken"},
    {CodecStatus::Corrupt, "gif: giflib refused the file"},
    {CodecStatus::Corrupt, "gif: the first image has no pixels"},
    {CodecStatus::Corrupt, "gif: the first image has no colour table"},
    {CodecStatus::TooLarge, "gif: the picture is larger than the limits allow"},
    {CodecStatus::OutOfMemory, "gif: no memory for the pixels"},
    {CodecStatus::Corrupt, "gif: the trailer comes before any image"},
    // JPEG, through libjpeg-turbo
    {CodecStatus::NotMyFormat, "jpeg: no JPEG signature"},
    {CodecStatus::Corrupt, "jpeg: the frame header is cut short"},
    {CodecStatus::Corrupt, "jpeg: a scan comes before the frame header"},
    {CodecStatus::Corrupt, "jpeg: the file ends before a frame header"},
    {CodecStatus::Corrupt, "jpeg: the file ends before a scan"},
    {CodecStatus::Corrupt, "jpeg: a side of the picture is 0"},
    {CodecStatus::TooLarge, "jpeg: the picture is larger than the limits allow"},
    {CodecStatus::Corrupt, "jpeg: more scans than the limits allow"},
    {CodecStatus::TooLarge, "jpeg: the scans' coefficients need more memory than the budget"},
    {CodecStatus::Corrupt, "jpeg: a component count other than 1, 3 or 4"},
    {CodecStatus::LibraryMissing, "jpeg: libturbojpeg cannot be opened"},
    {CodecStatus::OutOfMemory, "jpeg: libturbojpeg cannot make a decoder"},
    {CodecStatus::OutOfMemory, "jpeg: no memory for the pixels"},
    {CodecStatus::Corrupt, "jpeg: libjpeg-turbo stopped on a fatal error"},
    // PNG, through libspng (our own row decoder, where it takes a picture, only reads)
    {CodecStatus::NotMyFormat, "png: no PNG signature"},
    {CodecStatus::OutOfMemory, "png: libspng cannot make a decoder"},
    {CodecStatus::OutOfMemory, "png: libspng ran out of memory"},
    {CodecStatus::TooLarge, "png: a side is longer than libspng is allowed"},
    {CodecStatus::Corrupt, "png: libspng finds no IHDR chunk or a broken one"},
    {CodecStatus::Corrupt, "png: libspng finds a chunk out of place or size"},
    {CodecStatus::Corrupt, "png: libspng finds a critical chunk's CRC wrong"},
    {CodecStatus::Corrupt, "png: libspng finds an unknown critical chunk"},
    {CodecStatus::Corrupt, "png: libspng finds a chunk twice that comes once"},
    {CodecStatus::Corrupt, "png: libspng finds the palette or tRNS missing or wrong"},
    {CodecStatus::Corrupt, "png: a chunk is larger than libspng is allowed"},
    {CodecStatus::Corrupt, "png: the file ends before the picture does"},
    {CodecStatus::Corrupt, "png: libspng cannot inflate the image data"},
    {CodecStatus::Corrupt, "png: libspng finds a row of an unknown filter type"},
    {CodecStatus::Corrupt, "png: libspng refused the file"},
    {CodecStatus::TooLarge, "png: the picture is larger than the limits allow"},
    {CodecStatus::TooLarge, "png: the rows of so wide a picture need more memory than the budget"},
    {CodecStatus::OutOfMemory, "png: no memory for the pixels"},
    {CodecStatus::OutOfMemory, "png: no memory for a row of 16-bit samples"},
    // TIFF, through libtiff
    {CodecStatus::NotMyFormat, "tiff: no TIFF signature"},
    {CodecStatus::LibraryMissing, "tiff: libtiff cannot be opened"},
    {CodecStatus::OutOfMemory, "tiff: libtiff cannot make its options"},
    {CodecStatus::Corrupt, "tiff: libtiff cannot read the header or the first directory"},
    {CodecStatus::Corrupt, "tiff: the first directory gives no width or no length"},
    {CodecStatus::Corrupt, "tiff: a side of the picture is 0"},
    {CodecStatus::TooLarge, "tiff: the picture is larger than the limits allow"},
    {CodecStatus::Corrupt, "tiff: the tile size or a byte count cannot be read"},
    {CodecStatus::Corrupt, "tiff: no samples a pixel, or samples of no bits"},
    {CodecStatus::Corrupt, "tiff: more samples a pixel than its colours and the extra ones allowed"},
    {CodecStatus::Corrupt, "tiff: a tile of no width or no length"},
    {CodecStatus::Corrupt, "tiff: a tile decodes to more than the picture allows"},
    {CodecStatus::Corrupt, "tiff: the tiles together decode to far more than the picture"},
    {CodecStatus::Corrupt, "tiff: a strip or tile holds more bytes than its samples could need"},
    {CodecStatus::Corrupt, "tiff: libtiff's RGBA reader does not take the picture's samples"},
    {CodecStatus::Corrupt, "tiff: libtiff's RGBA reader cannot start on the picture"},
    {CodecStatus::Corrupt, "tiff: libtiff's RGBA reader sees another size"},
    {CodecStatus::OutOfMemory, "tiff: no memory for the pixels"},
    {CodecStatus::Corrupt, "tiff: libtiff cannot decode a strip or tile"},
    {CodecStatus::Corrupt, "tiff: a palette picture without its colour map"},
    {CodecStatus::Corrupt, "tiff: a strip or tile of no rows or columns"},
    {CodecStatus::Corrupt, "tiff: a strip or tile larger than 1 GiB"},
    {CodecStatus::Corrupt, "tiff: the count of strips or tiles does not fit the picture"},
    {CodecStatus::OutOfMemory, "tiff: no memory for a strip or tile"},
    // WebP, through libwebp
    {CodecStatus::NotMyFormat, "webp: no WebP signature"},
    {CodecStatus::LibraryMissing, "webp: libwebp cannot be opened"},
    {CodecStatus::OutOfMemory, "webp: libwebp ran out of memory"},
    {CodecStatus::Corrupt, "webp: libwebp finds the bitstream broken"},
    {CodecStatus::Corrupt, "webp: libwebp does not read a feature the file uses"},
    {CodecStatus::Corrupt, "webp: the file ends before the picture does"},
    {CodecStatus::Corrupt, "webp: libwebp refused the file"},
    {CodecStatus::TooLarge, "webp: the picture is larger than the limits allow"},
    {CodecStatus::TooLarge, "webp: a canvas larger than any frame can be"},
    {CodecStatus::Corrupt, "webp: libwebp cannot read the bitstream's size"},
    {CodecStatus::Corrupt, "webp: the bitstream's size is not the frame's"},
    {CodecStatus::Corrupt, "webp: libwebp's decoder is not the version the program knows"},
    {CodecStatus::Corrupt, "webp: libwebp cannot read the animation's chunks"},
    {CodecStatus::Corrupt, "webp: the animation has no first frame"},
    {CodecStatus::Corrupt, "webp: the first frame is cut short or off the canvas"},
    {CodecStatus::OutOfMemory, "webp: no memory for the pixels"},
    // HEIF and AVIF, through libheif; the item structure read and checked by our own reader first
    {CodecStatus::NotMyFormat, "heif: no HEIF brand"},
    {CodecStatus::NotMyFormat, "avif: no AVIF brand"},
    {CodecStatus::Unsupported, "heif: libheif cannot be opened"},
    {CodecStatus::Unsupported, "heif: libheif has no decoder for the file's codec"},
    {CodecStatus::TooLarge, "heif: the file breaks a limit libheif is given"},
    {CodecStatus::OutOfMemory, "heif: libheif ran out of memory"},
    {CodecStatus::OutOfMemory, "heif: libheif cannot start a thread"},
    {CodecStatus::Corrupt, "heif: libheif stopped on an exception"},
    {CodecStatus::Corrupt, "heif: the file ends before the picture does"},
    {CodecStatus::Corrupt, "heif: libheif finds the file's boxes broken"},
    {CodecStatus::Corrupt, "heif: libheif does not know the file's brand"},
    {CodecStatus::Corrupt, "heif: libheif does not read a feature the file uses"},
    {CodecStatus::Corrupt, "heif: the picture's coded data does not decode"},
    {CodecStatus::Corrupt, "heif: libheif refused the file"},
    {CodecStatus::OutOfMemory, "heif: libheif cannot make a context"},
    {CodecStatus::OutOfMemory, "heif: libheif cannot make decoding options"},
    {CodecStatus::Corrupt, "heif: the primary picture has a side of 0"},
    {CodecStatus::TooLarge, "heif: the picture is larger than the limits allow"},
    {CodecStatus::Corrupt, "heif: libheif decodes more than the file states"},
    {CodecStatus::Corrupt, "heif: the decoded picture is empty"},
    {CodecStatus::Corrupt, "heif: the decoded samples are not of the depth asked for"},
    {CodecStatus::Corrupt, "heif: libheif gives no plane of the samples asked for"},
    {CodecStatus::OutOfMemory, "heif: no memory for the pixels"},
    {CodecStatus::Corrupt, "heif: no meta box"},
    {CodecStatus::Corrupt, "heif: the meta box comes twice"},
    {CodecStatus::Corrupt, "heif: an item box comes twice"},
    {CodecStatus::Corrupt, "heif: an item box is missing"},
    {CodecStatus::Corrupt, "heif: the item boxes are cut short or overrun their box"},
    {CodecStatus::Corrupt, "heif: more items than the limits allow"},
    {CodecStatus::Corrupt, "heif: an item is listed twice"},
    {CodecStatus::Corrupt, "heif: more item locations than the limits allow"},
    {CodecStatus::Corrupt, "heif: an item has more extents than the limits allow"},
    {CodecStatus::Corrupt, "heif: an extent's offset overflows"},
    {CodecStatus::Corrupt, "heif: an item's location is given twice"},
    {CodecStatus::Corrupt, "heif: more properties than the limits allow"},
    {CodecStatus::Corrupt, "heif: more items with properties than the limits allow"},
    {CodecStatus::Corrupt, "heif: an item's size is given twice"},
    {CodecStatus::Corrupt, "heif: an item's properties are listed twice"},
    {CodecStatus::Corrupt, "heif: more references than the limits allow"},
    {CodecStatus::Corrupt, "heif: a reference from an item that is not there"},
    {CodecStatus::Corrupt, "heif: a reference to its own item or one that is not there"},
    {CodecStatus::Corrupt, "heif: a reference to a picture names an item that is none"},
    {CodecStatus::Corrupt, "heif: a derived picture's inputs are listed twice"},
    {CodecStatus::Corrupt, "heif: derived pictures stand deeper than the limits allow"},
    {CodecStatus::Corrupt, "heif: a grid's description is cut short"},
    {CodecStatus::Corrupt, "heif: a grid is empty or larger than its stated size"},
    {CodecStatus::Corrupt, "heif: a grid's tiles are not as many as it says, or too many"},
    {CodecStatus::Corrupt, "heif: a grid's tiles differ in size"},
    {CodecStatus::Corrupt, "heif: a grid's tiles are far larger than its picture"},
    {CodecStatus::Corrupt, "heif: a grid's tiles do not cover the picture, or overhang it"},
    {CodecStatus::Corrupt, "heif: an overlay of no inputs, or of more than the limits allow"},
    {CodecStatus::Corrupt, "heif: an overlay's description is cut short"},
    {CodecStatus::Corrupt, "heif: an overlay is empty or larger than its stated size"},
    {CodecStatus::Corrupt, "heif: an overlay input at a negative offset"},
    // JPEG XL, through libjxl, with its headers read by us first
    {CodecStatus::NotMyFormat, "jxl: no JPEG XL signature"},
    {CodecStatus::Unsupported, "jxl: libjxl cannot be opened"},
    {CodecStatus::Corrupt, "jxl: the codestream's headers are cut short or broken"},
    {CodecStatus::TooLarge, "jxl: the picture is larger than the limits allow"},
    {CodecStatus::Corrupt, "jxl: the extra channels need more memory than the budget"},
    {CodecStatus::Corrupt, "jxl: the colour profile needs more memory than the budget"},
    {CodecStatus::OutOfMemory, "jxl: the address space libjxl will take is not free"},
    {CodecStatus::OutOfMemory, "jxl: libjxl cannot make a decoder"},
    {CodecStatus::Corrupt, "jxl: libjxl does not take the file as its input"},
    {CodecStatus::Corrupt, "jxl: libjxl cannot tell the picture's basic facts"},
    {CodecStatus::OutOfMemory, "jxl: no memory for the pixels"},
    {CodecStatus::Corrupt, "jxl: libjxl asks for pixels before their size"},
    {CodecStatus::Corrupt, "jxl: libjxl does not take the pixel buffer"},
    {CodecStatus::Corrupt, "jxl: libjxl finishes a frame it had no buffer for"},
    {CodecStatus::Corrupt, "jxl: libjxl finds the codestream broken"},
    {CodecStatus::Corrupt, "jxl: the file ends before the first frame does"},
    {CodecStatus::Corrupt, "jxl: the file holds no frame"},
    {CodecStatus::Corrupt, "jxl: libjxl stopped on an event it was not asked for"},
    // Icons and cursors
    {CodecStatus::NotMyFormat, "icon: no icon or cursor directory"},
    {CodecStatus::Corrupt, "icon: the directory is cut short"},
    {CodecStatus::Corrupt, "icon: an entry's image is empty or not after the directory in the file"},
    {CodecStatus::Corrupt, "icon: an image's info header is cut short or of no known size"},
    {CodecStatus::Corrupt, "icon: an image of a depth or compression icons do not have"},
    {CodecStatus::Corrupt, "icon: an image of no pixels"},
    {CodecStatus::TooLarge, "icon: the picture is larger than the limits allow"},
    {CodecStatus::Corrupt, "icon: an image's pixels run past its end"},
    {CodecStatus::NotMyFormat, "icon: the chosen image is PNG, for the second decoder"},
    {CodecStatus::Corrupt, "icon: the chosen image is not of the format it seems"},
    {CodecStatus::Corrupt, "icon: the image decodes to another size than its header states"},
    {CodecStatus::OutOfMemory, "icon: no memory for the pixels"},
    // Placeable Windows metafiles and enhanced metafiles: their headers
    {CodecStatus::NotMyFormat, "wmf: no placeable metafile key"},
    {CodecStatus::Corrupt, "wmf: the headers are cut short"},
    {CodecStatus::Corrupt, "wmf: the placement gives no units to the inch"},
    {CodecStatus::Corrupt, "wmf: the metafile's own header is none that plays"},
    {CodecStatus::NotMyFormat, "emf: no enhanced metafile header record"},
    {CodecStatus::Corrupt, "emf: a header record of a size none has, or cut short"},
    {CodecStatus::Corrupt, "emf: the metafile's size leaves out its header or passes the file"},
};
// clang-format on

// The longest reason there may be: what the decode child's record has room for.
inline constexpr size_t LongestCodecReason = 95;

namespace reasons {

consteval bool SameText(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

}  // namespace reasons

// The result of a refusal for `text`, a reason of CodecReasons word for word.
consteval CodecResult Refuse(const char* text) {
    for (const CodecReason& reason : CodecReasons)
        if (reasons::SameText(reason.text, text)) return {reason.status, reason.text};
    throw "not a reason of CodecReasons";  // only reached while compiling: an error there
}

// The text of CodecReasons equal to `text`, so that a reason read from elsewhere (the decode
// child's record) is one of the table's; null when the table has none.
const char* FindCodecReason(std::string_view text);

// The status of that reason; Corrupt when `reason` is not one of the table's.
CodecStatus StatusOfCodecReason(const char* reason);

// "Ok", "NotMyFormat", ... for tests, fuzz targets and diagnostics.
std::string_view CodecStatusName(CodecStatus status);

}  // namespace pic2pnm::codecs
