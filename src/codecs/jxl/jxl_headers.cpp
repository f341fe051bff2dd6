// The codestream starts with its signature, the size header, the image metadata and the custom
// transform data; when the colour encoding asks for a profile, the profile's stream follows,
// its decoded size first. Each field is read as libjxl reads it, least significant bit first.
#include "codecs/jxl/jxl_headers.h"

#include <array>
#include <cstring>

#include "codecs/common/byte_order.h"

namespace pic2pnm::codecs {
namespace {

// More codestream boxes than this before the profile starts are what no writer makes.
constexpr size_t MaxParts = 64;
constexpr uint64_t SignatureBits = 16;
constexpr uint32_t LargestDimShift = 3;
constexpr uint32_t GreyColourSpace = 1;
constexpr uint32_t AlphaChannel = 0;
constexpr uint32_t SpotColourChannel = 2;
constexpr uint32_t FilterArrayChannel = 5;

// The codestream, in one piece or in the parts of its boxes.
class BitReader {
  public:
    void AddPart(FileView part) {
        if (part.empty()) return;
        if (count_ == MaxParts) {
            failed_ = true;
            return;
        }
        parts_[count_++] = part;
    }

    uint64_t Bits(unsigned count) {
        uint64_t value = 0;
        for (unsigned i = 0; i < count; ++i) value |= uint64_t{Bit()} << i;
        return value;
    }

    void Skip(uint64_t bits) {
        while (bits > 0 && !failed_) {
            if (part_ == count_) {
                failed_ = true;
                return;
            }
            const uint64_t left = (parts_[part_].size() - byte_) * 8 - bit_;
            if (bits < left) {
                const uint64_t at = bit_ + bits;
                byte_ += static_cast<size_t>(at / 8);
                bit_ = static_cast<unsigned>(at % 8);
                return;
            }
            bits -= left;
            NextPart();
        }
    }

    bool Failed() const { return failed_; }

  private:
    uint32_t Bit() {
        if (part_ == count_) {
            failed_ = true;
            return 0;
        }
        const uint32_t bit = parts_[part_][byte_] >> bit_ & 1u;
        if (++bit_ == 8) {
            bit_ = 0;
            if (++byte_ == parts_[part_].size()) NextPart();
        }
        return bit;
    }

    void NextPart() {
        ++part_;
        byte_ = 0;
        bit_ = 0;
    }

    std::array<FileView, MaxParts> parts_{};
    size_t count_ = 0;
    size_t part_ = 0;
    size_t byte_ = 0;
    unsigned bit_ = 0;
    bool failed_ = false;
};

// One of a U32 field's four forms: `bits` bits plus `offset`, or `offset` alone.
struct Form {
    unsigned bits;
    uint32_t offset;
};

constexpr Form Val(uint32_t value) {
    return {0, value};
}
constexpr Form BitsOffset(unsigned bits, uint32_t offset) {
    return {bits, offset};
}

uint64_t U32(BitReader& in, Form a, Form b, Form c, Form d) {
    const Form forms[4] = {a, b, c, d};
    const Form& form = forms[in.Bits(2)];
    return in.Bits(form.bits) + form.offset;
}

uint64_t U64(BitReader& in) {
    switch (in.Bits(2)) {
        case 0: return 0;
        case 1: return 1 + in.Bits(4);
        case 2: return 17 + in.Bits(8);
        default: break;
    }
    uint64_t value = in.Bits(12);
    for (unsigned shift = 12; in.Bits(1) != 0 && !in.Failed(); shift += 8) {
        if (shift == 60) return value | in.Bits(4) << 60;
        value |= in.Bits(8) << shift;
    }
    return value;
}

uint64_t Enum(BitReader& in) {
    return U32(in, Val(0), Val(1), BitsOffset(4, 2), BitsOffset(6, 18));
}

void SkipF16(BitReader& in, unsigned count) {
    in.Skip(16 * uint64_t{count});
}

void ReadSize(BitReader& in, JxlHeaderFacts& facts) {
    static constexpr uint64_t Ratios[8][2] = {{0, 0}, {1, 1},  {12, 10}, {4, 3},
                                              {3, 2}, {16, 9}, {5, 4},   {2, 1}};
    const auto side = [&in](bool small) {
        if (small) return (in.Bits(5) + 1) * 8;
        return U32(in, BitsOffset(9, 1), BitsOffset(13, 1), BitsOffset(18, 1), BitsOffset(30, 1));
    };
    const bool small = in.Bits(1) != 0;
    facts.height = side(small);
    const uint64_t ratio = in.Bits(3);
    facts.width = ratio != 0 ? facts.height * Ratios[ratio][0] / Ratios[ratio][1] : side(small);
}

void SkipPreviewSize(BitReader& in) {
    const auto side = [&in](bool div8) {
        if (div8)
            U32(in, Val(16), Val(32), BitsOffset(5, 1), BitsOffset(9, 33));
        else
            U32(in, BitsOffset(6, 1), BitsOffset(8, 65), BitsOffset(10, 321), BitsOffset(12, 1345));
    };
    const bool div8 = in.Bits(1) != 0;
    side(div8);
    if (in.Bits(3) == 0) side(div8);
}

void SkipAnimation(BitReader& in) {
    U32(in, Val(100), Val(1000), BitsOffset(10, 1), BitsOffset(30, 1));
    U32(in, Val(1), Val(1001), BitsOffset(8, 1), BitsOffset(10, 1));
    U32(in, Val(0), BitsOffset(3, 0), BitsOffset(16, 0), BitsOffset(32, 0));
    in.Bits(1);
}

void SkipBitDepth(BitReader& in) {
    if (in.Bits(1) == 0) {
        U32(in, Val(8), Val(10), Val(12), BitsOffset(6, 1));
    } else {
        U32(in, Val(32), Val(16), Val(24), BitsOffset(6, 1));
        in.Bits(4);
    }
}

// False for a channel libjxl refuses.
bool ReadExtraChannel(BitReader& in, JxlHeaderFacts& facts) {
    uint64_t dimShift = 0;
    if (in.Bits(1) == 0) {
        const uint64_t type = Enum(in);
        SkipBitDepth(in);
        dimShift = U32(in, Val(0), Val(3), Val(4), BitsOffset(3, 1));
        const uint64_t nameBytes =
            U32(in, Val(0), BitsOffset(4, 0), BitsOffset(5, 16), BitsOffset(10, 48));
        in.Skip(8 * nameBytes);
        if (type == AlphaChannel) in.Bits(1);
        if (type == SpotColourChannel) SkipF16(in, 4);
        if (type == FilterArrayChannel)
            U32(in, Val(1), BitsOffset(2, 0), BitsOffset(4, 3), BitsOffset(8, 19));
    }
    if (dimShift > LargestDimShift) return false;
    const uint64_t step = uint64_t{1} << dimShift;
    // Sides below 2^31: no overflow.
    facts.extraChannelPixels +=
        ((facts.width + step - 1) >> dimShift) * ((facts.height + step - 1) >> dimShift);
    return true;
}

// Reads up to the colour profile's size; false when a field is out of range.
bool ReadHeaders(BitReader& in, JxlHeaderFacts& facts) {
    in.Skip(SignatureBits);
    ReadSize(in, facts);
    if (in.Bits(1) != 0) {  // all default: 8-bit sRGB, no extra channels, no profile
        facts.extraChannelPixels = 0;
        return true;
    }
    const bool extraFields = in.Bits(1) != 0;
    if (extraFields) {
        in.Bits(3);  // orientation
        if (in.Bits(1) != 0) {
            JxlHeaderFacts intrinsic;
            ReadSize(in, intrinsic);
        }
        if (in.Bits(1) != 0) SkipPreviewSize(in);
        if (in.Bits(1) != 0) SkipAnimation(in);
    }
    SkipBitDepth(in);
    in.Bits(1);  // 16-bit buffers suffice
    const uint64_t extraChannels = U32(in, Val(0), Val(1), BitsOffset(4, 2), BitsOffset(12, 1));
    facts.extraChannels = static_cast<uint32_t>(extraChannels);
    for (uint64_t i = 0; i < extraChannels && !in.Failed(); ++i)
        if (!ReadExtraChannel(in, facts)) return false;
    facts.xybEncoded = in.Bits(1) != 0;
    // The colour encoding: all default (sRGB), or a profile wanted, then the colour space.
    if (in.Bits(1) != 0) return true;
    const bool wantsProfile = in.Bits(1) != 0;
    facts.colourChannels = Enum(in) == GreyColourSpace ? 1 : 3;
    if (!wantsProfile) return true;
    if (extraFields && in.Bits(1) == 0) {  // tone mapping, not all default
        SkipF16(in, 2);
        in.Bits(1);
        SkipF16(in, 1);
    }
    if (const uint64_t extensions = U64(in); extensions != 0) {
        uint64_t bits = 0;
        for (unsigned i = 0; i < 64 && !in.Failed(); ++i) {
            if ((extensions >> i & 1) == 0) continue;
            if (__builtin_add_overflow(bits, U64(in), &bits)) return false;
        }
        in.Skip(bits);
    }
    if (in.Bits(1) == 0) {  // custom transform data, not all default
        if (facts.xybEncoded && in.Bits(1) == 0) SkipF16(in, 16);
        const uint64_t weights = in.Bits(3);
        if ((weights & 1) != 0) SkipF16(in, 15);
        if ((weights & 2) != 0) SkipF16(in, 55);
        if ((weights & 4) != 0) SkipF16(in, 210);
    }
    facts.profileBytes = U64(in);
    return true;
}

// Adds the codestream boxes of a container to `in`; false when a box is broken.
bool AddContainerParts(FileView file, BitReader& in) {
    constexpr size_t BoxHeaderBytes = 8;
    size_t at = 0;
    while (file.size() - at >= BoxHeaderBytes) {
        const uint8_t* box = file.data() + at;
        uint64_t size = ReadBe32(box);
        size_t header = BoxHeaderBytes;
        if (size == 1) {
            if (file.size() - at < 16) return false;
            size = uint64_t{ReadBe32(box + 8)} << 32 | ReadBe32(box + 12);
            header = 16;
        } else if (size == 0) {
            size = file.size() - at;
        }
        if (size < header || size > file.size() - at) return false;
        const FileView payload = file.subspan(at + header, static_cast<size_t>(size) - header);
        if (std::memcmp(box + 4, "jxlc", 4) == 0) {
            in.AddPart(payload);
            return true;
        }
        if (std::memcmp(box + 4, "jxlp", 4) == 0) {
            if (payload.size() < 4) return false;
            in.AddPart(payload.subspan(4));  // after the part's index
        }
        at += static_cast<size_t>(size);
    }
    return true;
}

}  // namespace

bool ReadJxlHeaderFacts(FileView file, JxlHeaderFacts& facts) {
    facts = JxlHeaderFacts{};
    BitReader in;
    if (file.size() >= 2 && file[0] == 0xFF && file[1] == 0x0A) {
        in.AddPart(file);
    } else if (!AddContainerParts(file, in)) {
        return false;
    }
    return ReadHeaders(in, facts) && !in.Failed();
}

}  // namespace pic2pnm::codecs
