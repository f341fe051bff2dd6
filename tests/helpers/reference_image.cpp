#include "helpers/reference_image.h"

#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "helpers/test_files.h"

namespace pic2pnm::testing {
namespace {

class HeaderReader {
  public:
    explicit HeaderReader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    std::string Token() {
        SkipSpaceAndComments();
        std::string token;
        while (pos_ < bytes_.size() && !std::isspace(bytes_[pos_]))
            token += static_cast<char>(bytes_[pos_++]);
        return token;
    }
    std::string Line() {
        std::string line;
        while (pos_ < bytes_.size() && bytes_[pos_] != '\n')
            line += static_cast<char>(bytes_[pos_++]);
        ++pos_;
        return line;
    }
    void SkipOneSpace() { ++pos_; }
    size_t Pos() const { return pos_; }

  private:
    void SkipSpaceAndComments() {
        while (pos_ < bytes_.size()) {
            if (bytes_[pos_] == '#') {
                while (pos_ < bytes_.size() && bytes_[pos_] != '\n') ++pos_;
            } else if (std::isspace(bytes_[pos_])) {
                ++pos_;
            } else {
                break;
            }
        }
    }
    const std::vector<uint8_t>& bytes_;
    size_t pos_ = 0;
};

}  // namespace

ReferenceImage ReadReferenceImage(const std::filesystem::path& path) {
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    HeaderReader reader(bytes);
    ReferenceImage image;
    int depth = 3;
    std::string magic = reader.Token();
    if (magic == "P6") {
        image.width = std::atoi(reader.Token().c_str());
        image.height = std::atoi(reader.Token().c_str());
        if (reader.Token() != "255")
            throw std::runtime_error("maxval must be 255: " + path.string());
        reader.SkipOneSpace();
    } else if (magic == "P7") {
        reader.Line();
        for (;;) {
            std::string line = reader.Line();
            std::istringstream words(line);
            std::string key, value;
            words >> key >> value;
            if (key == "ENDHDR") break;
            if (key == "WIDTH") image.width = std::atoi(value.c_str());
            if (key == "HEIGHT") image.height = std::atoi(value.c_str());
            if (key == "DEPTH") depth = std::atoi(value.c_str());
            if (key == "MAXVAL" && value != "255") throw std::runtime_error("maxval must be 255");
        }
        if (depth != 3 && depth != 4) throw std::runtime_error("PAM depth must be 3 or 4");
        image.hasAlpha = depth == 4;
    } else {
        throw std::runtime_error("not a P6 or P7 file: " + path.string());
    }
    size_t start = reader.Pos();
    size_t count = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
    if (bytes.size() < start + count * static_cast<size_t>(depth))
        throw std::runtime_error("reference file is short: " + path.string());
    image.pixels.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = bytes.data() + start + i * static_cast<size_t>(depth);
        uint32_t alpha = depth == 4 ? p[3] : 0xFFu;
        image.pixels[i] = (alpha << 24) | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
    }
    return image;
}

std::string ComparePixels(const PixelStore& actual, const ReferenceImage& expected, int tolerance,
                          bool compareAlpha) {
    std::ostringstream out;
    if (actual.Width() != expected.width || actual.Height() != expected.height) {
        out << "size " << actual.Width() << "x" << actual.Height() << ", expected "
            << expected.width << "x" << expected.height;
        return out.str();
    }
    int reported = 0;
    for (int32_t y = 0; y < expected.height && reported < 5; ++y) {
        const uint32_t* row = actual.Data() + static_cast<size_t>(expected.height - 1 - y) *
                                                  static_cast<size_t>(expected.width);
        for (int32_t x = 0; x < expected.width && reported < 5; ++x) {
            uint32_t a = row[x];
            uint32_t e =
                expected.pixels[static_cast<size_t>(y) * static_cast<size_t>(expected.width) +
                                static_cast<size_t>(x)];
            int shifts = compareAlpha ? 4 : 3;
            for (int k = 0; k < shifts; ++k) {
                int av = static_cast<int>((a >> (8 * k)) & 0xFF);
                int ev = static_cast<int>((e >> (8 * k)) & 0xFF);
                if (std::abs(av - ev) > tolerance) {
                    out << "pixel (" << x << "," << y << ") from top: got 0x" << std::hex << a
                        << ", expected 0x" << e << std::dec << "\n";
                    ++reported;
                    break;
                }
            }
        }
    }
    return out.str();
}

}  // namespace pic2pnm::testing
