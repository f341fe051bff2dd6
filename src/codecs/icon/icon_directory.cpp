#include "codecs/icon/icon_directory.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "codecs/common/byte_order.h"
#include "codecs/common/codec_reasons.h"
#include "codecs/icon/icon_dib.h"

namespace pic2pnm::codecs::icon {
namespace {

constexpr size_t DirectoryHeaderSize = 6;
constexpr size_t EntrySize = 16;
constexpr uint16_t TypeIcon = 1;
constexpr uint16_t TypeCursor = 2;
constexpr std::array<uint8_t, 8> PngSignature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// What the choice between entries compares.
struct ImageMeasure {
    uint64_t area = 0;
    uint32_t bitsPerPixel = 0;
};

bool StartsWithPngSignature(FileView image) {
    return image.size() >= PngSignature.size() &&
           std::equal(PngSignature.begin(), PngSignature.end(), image.begin());
}

// From the IHDR chunk, which a PNG stream must start with.
bool MeasurePng(FileView image, ImageMeasure& out) {
    constexpr size_t IhdrTypeAt = 12;
    constexpr size_t ColorTypeAt = 25;
    if (image.size() <= ColorTypeAt) return false;
    const std::array<uint8_t, 4> ihdr = {'I', 'H', 'D', 'R'};
    if (!std::equal(ihdr.begin(), ihdr.end(), image.begin() + IhdrTypeAt)) return false;
    const uint32_t width = ReadBe32(image, 16);
    const uint32_t height = ReadBe32(image, 20);
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) return false;
    uint32_t channels = 0;
    switch (image[ColorTypeAt]) {
        case 0: channels = 1; break;  // grey
        case 2: channels = 3; break;  // RGB
        case 3: channels = 1; break;  // palette
        case 4: channels = 2; break;  // grey and alpha
        case 6: channels = 4; break;  // RGBA
        default: return false;
    }
    out.area = uint64_t{width} * height;
    out.bitsPerPixel = channels * image[24];
    return true;
}

bool MeasureDib(FileView image, ImageMeasure& out) {
    DibHeaderFields header;
    if (!ReadDibHeaderFields(image, header)) return false;
    const int32_t height = header.heightWithMask / 2;
    if (header.width <= 0 || height <= 0) return false;
    out.area = static_cast<uint64_t>(header.width) * static_cast<uint64_t>(height);
    out.bitsPerPixel = header.bitCount;
    return true;
}

// For an image whose own header cannot be read. A cursor's entry keeps its hot spot where an
// icon's keeps the bit count, so a cursor's depth is unknown here.
ImageMeasure MeasureFromDirectory(FileView entry, bool isIcon) {
    const uint32_t width = entry[0] == 0 ? 256 : entry[0];
    const uint32_t height = entry[1] == 0 ? 256 : entry[1];
    return ImageMeasure{uint64_t{width} * height, isIcon ? ReadLe16(entry, 6) : 0u};
}

bool IsBetter(const ImageMeasure& candidate, const ImageMeasure& best) {
    if (candidate.area != best.area) return candidate.area > best.area;
    return candidate.bitsPerPixel > best.bitsPerPixel;
}

}  // namespace

bool LooksLikeIconDirectory(FileView file) {
    if (file.size() < DirectoryHeaderSize) return false;
    const uint16_t type = ReadLe16(file, 2);
    // Requiring an entry also keeps out uncompressed TGA files, whose first six bytes can be
    // those of a cursor directory with no entries.
    return ReadLe16(file, 0) == 0 && (type == TypeIcon || type == TypeCursor) &&
           ReadLe16(file, 4) != 0;
}

CodecResult ChooseIconImage(FileView file, ChosenIconImage& out) {
    if (!LooksLikeIconDirectory(file)) return Refuse("icon: no icon or cursor directory");
    const bool isIcon = ReadLe16(file, 2) == TypeIcon;
    const size_t count = ReadLe16(file, 4);
    const size_t directoryEnd = DirectoryHeaderSize + count * EntrySize;  // at most ~1 MB
    if (file.size() < directoryEnd) return Refuse("icon: the directory is cut short");

    ChosenIconImage chosen;
    ImageMeasure best;
    for (size_t index = 0; index < count; ++index) {
        const FileView entry = file.subspan(DirectoryHeaderSize + index * EntrySize, EntrySize);
        const size_t size = ReadLe32(entry, 8);
        const size_t offset = ReadLe32(entry, 12);
        // Written so that nothing can wrap: offset is compared before it is subtracted.
        if (size == 0 || offset < directoryEnd || offset > file.size() ||
            size > file.size() - offset) {
            return Refuse("icon: an entry's image is empty or not after the directory in the file");
        }
        const FileView image = file.subspan(offset, size);
        const bool isPng = StartsWithPngSignature(image);
        ImageMeasure measure;
        if (!(isPng ? MeasurePng(image, measure) : MeasureDib(image, measure)))
            measure = MeasureFromDirectory(entry, isIcon);
        if (index == 0 || IsBetter(measure, best)) {
            best = measure;
            chosen.isIcon = isIcon;
            chosen.hotspotX = isIcon ? 0 : ReadLe16(entry, 4);
            chosen.hotspotY = isIcon ? 0 : ReadLe16(entry, 6);
            chosen.isPng = isPng;
            chosen.image = image;
        }
    }
    out = chosen;
    return Decoded;
}

}  // namespace pic2pnm::codecs::icon
