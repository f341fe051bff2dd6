#include "codecs/pnm/pnm_header.h"

#include <string>
#include <string_view>

#include "codecs/common/codec_reasons.h"

namespace pic2pnm::codecs::pnm {
namespace {

// Anything larger is as good as infinite: no picture we can hold has a side this long.
constexpr uint64_t NumberCap = uint64_t{1} << 40;
constexpr uint32_t MaxMaxval = 65535;

bool IsSpace(uint8_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(uint8_t c) {
    return c >= '0' && c <= '9';
}

// Reads the text form of one header: a position in the file and the rules of the format.
class HeaderText {
  public:
    explicit HeaderText(FileView file) : file_(file) {}
    size_t Position() const { return pos_; }
    void Seek(size_t pos) { pos_ = pos; }

    // Whitespace and comments (from '#' to the end of the line). False when none was there.
    bool SkipSeparators() {
        const size_t start = pos_;
        while (pos_ < file_.size()) {
            if (IsSpace(file_[pos_])) {
                ++pos_;
            } else if (file_[pos_] == '#') {
                while (pos_ < file_.size() && file_[pos_] != '\n' && file_[pos_] != '\r') ++pos_;
            } else {
                break;
            }
        }
        return pos_ != start;
    }

    // A decimal number; false when none starts here. Huge values stay at NumberCap.
    bool ReadNumber(uint64_t& value) {
        if (pos_ >= file_.size() || !IsDigit(file_[pos_])) return false;
        value = 0;
        while (pos_ < file_.size() && IsDigit(file_[pos_])) {
            value = value * 10 + (file_[pos_] - '0');
            if (value > NumberCap) value = NumberCap;
            ++pos_;
        }
        return true;
    }

    // The line from the current position up to its '\n', which is passed. False when the file
    // ends before one.
    bool ReadLine(std::string_view& line) {
        size_t end = pos_;
        while (end < file_.size() && file_[end] != '\n') ++end;
        if (end >= file_.size()) return false;
        line = std::string_view(reinterpret_cast<const char*>(file_.data()) + pos_, end - pos_);
        pos_ = end + 1;
        return true;
    }

  private:
    FileView file_;
    size_t pos_ = 0;
};

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsSpace(static_cast<uint8_t>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && IsSpace(static_cast<uint8_t>(text.back()))) text.remove_suffix(1);
    return text;
}

bool ParseWholeNumber(std::string_view text, uint64_t& value) {
    if (text.empty()) return false;
    value = 0;
    for (char c : text) {
        if (!IsDigit(static_cast<uint8_t>(c))) return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > NumberCap) value = NumberCap;
    }
    return true;
}

bool IsValidMaxval(uint64_t maxval) {
    return maxval >= 1 && maxval <= MaxMaxval;
}

// P1 to P6: width, height and (but for PBM) maxval, each after whitespace or comments. A raw
// raster starts after exactly one whitespace character; a plain one may have any.
CodecResult ReadClassicHeader(FileView file, char kind, PnmHeader& out) {
    HeaderText text(file);
    text.Seek(2);
    const bool bitmap = kind == '1' || kind == '4';
    uint64_t fields[3] = {0, 0, 1};
    const int count = bitmap ? 2 : 3;
    for (int i = 0; i < count; ++i) {
        if (!text.SkipSeparators() || !text.ReadNumber(fields[i]))
            return Refuse("pnm: a header field is missing or no number");
    }
    PnmHeader header;
    header.plain = kind <= '3';
    header.width = fields[0];
    header.height = fields[1];
    header.maxval = static_cast<uint32_t>(fields[2] > MaxMaxval ? 0 : fields[2]);
    if (header.width == 0 || header.height == 0) return Refuse("pnm: a side of the picture is 0");
    if (!IsValidMaxval(fields[2])) return Refuse("pnm: the maxval is 0 or above 65535");
    switch (kind) {
        case '1':
        case '4': header.layout = PnmLayout::Bitmap; break;
        case '2':
        case '5': header.layout = PnmLayout::Grey; break;
        default: header.layout = PnmLayout::Rgb; break;
    }
    size_t pos = text.Position();
    if (!header.plain) {
        if (pos >= file.size() || !IsSpace(file[pos]))
            return Refuse("pnm: no whitespace between the header and the raster");
        ++pos;
    }
    header.rasterStart = pos;
    out = header;
    return Decoded;
}

bool LayoutOfTupleType(std::string_view tupleType, uint64_t depth, PnmLayout& layout) {
    struct Known {
        std::string_view name;
        uint64_t depth;
        PnmLayout layout;
    };
    static constexpr Known KnownTupleTypes[] = {
        {"BLACKANDWHITE", 1, PnmLayout::Grey},
        {"GRAYSCALE", 1, PnmLayout::Grey},
        {"RGB", 3, PnmLayout::Rgb},
        {"BLACKANDWHITE_ALPHA", 2, PnmLayout::GreyAlpha},
        {"GRAYSCALE_ALPHA", 2, PnmLayout::GreyAlpha},
        {"RGB_ALPHA", 4, PnmLayout::RgbAlpha},
    };
    if (tupleType.empty()) {
        // Without a tuple type the depth alone says what the samples are.
        static constexpr PnmLayout ByDepth[] = {PnmLayout::Grey, PnmLayout::GreyAlpha,
                                                PnmLayout::Rgb, PnmLayout::RgbAlpha};
        if (depth < 1 || depth > 4) return false;
        layout = ByDepth[depth - 1];
        return true;
    }
    for (const Known& known : KnownTupleTypes) {
        if (known.name == tupleType && known.depth == depth) {
            layout = known.layout;
            return true;
        }
    }
    return false;
}

// P7: one "KEYWORD value" a line, comments and blank lines allowed, up to a line "ENDHDR";
// the raster starts right after that line. TUPLTYPE lines add up, separated by a space.
CodecResult ReadPamHeader(FileView file, PnmHeader& out) {
    HeaderText text(file);
    text.Seek(2);
    std::string_view line;
    if (!text.ReadLine(line) || !Trim(line).empty())
        return Refuse("pnm: P7 is not alone on its line");
    uint64_t width = 0, height = 0, depth = 0, maxval = 0;
    bool tupleSeen = false;
    std::string tupleTypes;
    for (;;) {
        if (!text.ReadLine(line)) return Refuse("pnm: the PAM header ends before ENDHDR");
        line = Trim(line);
        if (line.empty() || line.front() == '#') continue;
        const size_t split = line.find_first_of(" \t\v\f\r");
        const std::string_view keyword = line.substr(0, split);
        const std::string_view value =
            split == std::string_view::npos ? std::string_view() : Trim(line.substr(split));
        if (keyword == "ENDHDR") break;
        bool ok = true;
        if (keyword == "WIDTH") {
            ok = ParseWholeNumber(value, width);
        } else if (keyword == "HEIGHT") {
            ok = ParseWholeNumber(value, height);
        } else if (keyword == "DEPTH") {
            ok = ParseWholeNumber(value, depth);
        } else if (keyword == "MAXVAL") {
            ok = ParseWholeNumber(value, maxval);
        } else if (keyword == "TUPLTYPE") {
            if (tupleSeen) tupleTypes += ' ';
            tupleTypes += value;
            tupleSeen = true;
        } else {
            ok = false;
        }
        if (!ok) return Refuse("pnm: a PAM header line is unknown or its value no number");
    }
    PnmHeader header;
    header.plain = false;
    header.width = width;
    header.height = height;
    if (width == 0 || height == 0) return Refuse("pnm: a side of the picture is 0");
    if (!IsValidMaxval(maxval)) return Refuse("pnm: the maxval is 0 or above 65535");
    header.maxval = static_cast<uint32_t>(maxval);
    if (!LayoutOfTupleType(tupleTypes, depth, header.layout))
        return Refuse("pnm: the PAM tuple type is unknown or does not match the depth");
    header.rasterStart = text.Position();
    out = header;
    return Decoded;
}

}  // namespace

int SamplesPerPixel(PnmLayout layout) {
    switch (layout) {
        case PnmLayout::Bitmap:
        case PnmLayout::Grey: return 1;
        case PnmLayout::GreyAlpha: return 2;
        case PnmLayout::Rgb: return 3;
        case PnmLayout::RgbAlpha: return 4;
    }
    return 1;
}

uint64_t RawRowBytes(const PnmHeader& header) {
    if (header.layout == PnmLayout::Bitmap) return (header.width + 7) / 8;
    const uint64_t bytesPerSample = header.maxval > 255 ? 2 : 1;
    return header.width * static_cast<uint64_t>(SamplesPerPixel(header.layout)) * bytesPerSample;
}

bool LooksLikePnmSignature(FileView file) {
    return file.size() >= 3 && file[0] == 'P' && file[1] >= '1' && file[1] <= '7' &&
           (IsSpace(file[2]) || file[2] == '#');
}

CodecResult ReadPnmHeader(FileView file, PnmHeader& out) {
    if (!LooksLikePnmSignature(file)) return Refuse("pnm: no Netpbm signature");
    const char kind = static_cast<char>(file[1]);
    return kind == '7' ? ReadPamHeader(file, out) : ReadClassicHeader(file, kind, out);
}

}  // namespace pic2pnm::codecs::pnm
