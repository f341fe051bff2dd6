// JPEG XL through libjxl, from memory: the first frame (of an animation, as shown), greyscale
// or colour, with or without alpha, with the orientation of the codestream applied. libjxl
// writes 8-bit pictures as RGBA bytes straight into the pixel store, which we then put in our
// order in place: the picture is held once, and libjxl renders into the output directly
// (with a callback it keeps a whole picture of its own, 24 MP cost 250 MB more). Deeper and
// floating-point pictures come as floats through a callback, scaled to 8 bits with rounding.
//
// libjxl 0.7 cannot fail cleanly when memory runs short: it takes its buffers from the C
// library, not from a memory manager we could give it, and ends the program with a trap when
// one is refused. So before libjxl sees the file, its own headers (jxl_headers.h) tell what
// the decoding will hold: what no writer makes (extra channels or a colour profile beyond the
// picture's budget) is refused as broken, and the rest must find its address space free, or
// the picture is refused as too large for the memory there is. The colour profile is never
// asked for (we ignore it), though libjxl decodes it on its way to the first frame.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "codecs/common/codec_quiet_standard_error.h"
#include "codecs/common/codec_reasons.h"
#include "codecs/common/pixel_finisher.h"
#include "codecs/jxl/jxl.h"
#include "codecs/jxl/jxl_headers.h"
#include "codecs/jxl/jxl_library.h"
#include "runtime/large_memory.h"

namespace pic2pnm::codecs {
namespace {

struct Output {
    PixelStore* store = nullptr;
    bool alpha = false;
};

// The store as libjxl filled it: RGBA bytes, top row first. Turned in place into our order:
// the store's pixels, bottom row first.
void RgbaTopDownToStore(PixelStore& store) {
    const int32_t width = store.Width();
    const int32_t height = store.Height();
    for (int32_t y = 0; y < height / 2; ++y) {
        uint32_t* top = store.RowFromTop(y);
        uint32_t* bottom = store.RowFromBottom(y);
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t t = top[x];
            top[x] = PixelFromRgbaWord(bottom[x]);
            bottom[x] = PixelFromRgbaWord(t);
        }
    }
    if (height % 2 != 0) {
        uint32_t* middle = store.RowFromTop(height / 2);
        FinishRgb8Row(reinterpret_cast<const uint8_t*>(middle), true, middle,
                      static_cast<size_t>(width));
    }
}

// A sample from 0 to 1 as 8 bits, rounded; out-of-range and NaN samples clamped.
uint32_t To8(float sample) {
    if (!(sample > 0.0f)) return 0;
    if (sample >= 1.0f) return 255;
    return static_cast<uint32_t>(std::lround(sample * 255.0f));
}

void WriteFloats(void* opaque, size_t x, size_t y, size_t count, const void* pixels) {
    const Output& output = *static_cast<const Output*>(opaque);
    const auto* in = static_cast<const float*>(pixels);
    uint32_t* out = output.store->RowFromTop(static_cast<int32_t>(y)) + x;
    const size_t channels = output.alpha ? 4 : 3;
    for (size_t i = 0; i < count; ++i, in += channels) {
        const uint32_t a = output.alpha ? To8(in[3]) : 0xFFu;
        out[i] = PackPixel(To8(in[0]), To8(in[1]), To8(in[2]), a);
    }
}

// What libjxl holds while it decodes, as measured with 0.7 (pictures of 4 and 24 megapixels):
// lossy colour alone about 2 bytes a pixel; lossless samples kept whole as 32-bit integers, up
// to 4 bytes each; lossy colour with extra channels kept whole as floats, 33 bytes a pixel for
// RGB and alpha; the colour profile several times over (714 MB for a profile of 100 MB).
constexpr uint64_t LossyBytesPerPixel = 3;
constexpr uint64_t LosslessBytesPerSample = 4;
constexpr uint64_t BytesPerSampleWithExtraChannels = 9;
constexpr uint64_t ProfileCopies = 8;
constexpr uint64_t ExtraChannelBytesPerSample = 4;

uint64_t LibjxlWorkingBytes(const JxlHeaderFacts& facts) {
    const uint64_t pixels = facts.width * facts.height;  // sides below 2^31
    const uint64_t colour = SaturatingMultiply(pixels, facts.colourChannels);
    uint64_t bytes = 0;
    if (facts.extraChannels != 0) {
        bytes = SaturatingMultiply(SaturatingAdd(colour, facts.extraChannelPixels),
                                   BytesPerSampleWithExtraChannels);
    } else if (facts.xybEncoded) {
        bytes = SaturatingMultiply(pixels, LossyBytesPerPixel);
    } else {
        bytes = SaturatingMultiply(colour, LosslessBytesPerSample);
    }
    return SaturatingAdd(bytes, SaturatingMultiply(facts.profileBytes, ProfileCopies));
}

// Before libjxl sees the file: Decoded when what its headers ask for can be had.
CodecResult CheckWhatTheFileAsks(FileView file, const DecodeLimits& limits) {
    JxlHeaderFacts facts;
    if (!ReadJxlHeaderFacts(file, facts))
        return Refuse("jxl: the codestream's headers are cut short or broken");
    const auto width = static_cast<int64_t>(facts.width);
    const auto height = static_cast<int64_t>(facts.height);
    if (!limits.AllowsPicture(width, height) && !limits.AllowsPicture(height, width))
        return Refuse("jxl: the picture is larger than the limits allow");
    const uint64_t budget = limits.BudgetBytes(facts.width * facts.height);
    if (SaturatingMultiply(facts.extraChannelPixels, ExtraChannelBytesPerSample) > budget)
        return Refuse("jxl: the extra channels need more memory than the budget");
    if (SaturatingMultiply(facts.profileBytes, ProfileCopies) > budget)
        return Refuse("jxl: the colour profile needs more memory than the budget");
    const uint64_t store = facts.width * facts.height * sizeof(uint32_t);
    const uint64_t need =
        SaturatingAdd(SaturatingAdd(store, LibjxlWorkingBytes(facts)), limits.budgetAllowanceBytes);
    if (!AddressSpaceAvailable(need))
        return Refuse("jxl: the address space libjxl will take is not free");
    return Decoded;
}

// Why libjxl stopped before the first frame was whole.
CodecResult ResultOfEvent(JxlDecoderStatus event) {
    switch (event) {
        case JXL_DEC_ERROR: return Refuse("jxl: libjxl finds the codestream broken");
        case JXL_DEC_NEED_MORE_INPUT:
            return Refuse("jxl: the file ends before the first frame does");
        case JXL_DEC_SUCCESS: return Refuse("jxl: the file holds no frame");
        default: return Refuse("jxl: libjxl stopped on an event it was not asked for");
    }
}

// The samples as the codestream holds them (floating-point ones by their whole width).
SourceFormat SourceOf(const JxlBasicInfo& info) {
    const bool alpha = info.alpha_bits > 0;
    const uint32_t sampleBits = std::clamp<uint32_t>(info.bits_per_sample, 1, 32);
    const uint32_t samples = (info.num_color_channels == 1 ? 1 : 3) + (alpha ? 1 : 0);
    return {
        .channels = info.num_color_channels == 1 ? SourceChannels::Grey : SourceChannels::Colour,
        .sampleBits = static_cast<uint8_t>(sampleBits),
        .pixelBits = static_cast<uint8_t>(std::min<uint32_t>(sampleBits * samples, 255)),
        .alpha = !alpha                     ? AlphaKind::None
                 : info.alpha_premultiplied ? AlphaKind::Premultiplied
                                            : AlphaKind::Straight};
}

struct DecoderDeleter {
    void operator()(JxlDecoder* decoder) const { Jxl()->Destroy(decoder); }
};

}  // namespace

bool LooksLikeJxl(FileView file) {
    static constexpr uint8_t Codestream[] = {0xFF, 0x0A};
    static constexpr uint8_t Container[] = {0,   0,   0,    0x0C, 'J',  'X',
                                            'L', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    return (file.size() >= sizeof Codestream &&
            std::memcmp(file.data(), Codestream, sizeof Codestream) == 0) ||
           (file.size() >= sizeof Container &&
            std::memcmp(file.data(), Container, sizeof Container) == 0);
}

CodecResult DecodeJxl(FileView file, const DecodeLimits& limits, DecodedPicture& out) {
    if (!LooksLikeJxl(file)) return Refuse("jxl: no JPEG XL signature");
    const JxlLibrary* library = Jxl();
    if (library == nullptr) return Refuse("jxl: libjxl cannot be opened");
    const JxlLibrary& libjxl = *library;
    if (const CodecResult asks = CheckWhatTheFileAsks(file, limits); !asks.IsOk()) return asks;
    const QuietStandardError quiet;
    std::unique_ptr<JxlDecoder, DecoderDeleter> decoder(libjxl.Create(nullptr));
    if (decoder == nullptr) return Refuse("jxl: libjxl cannot make a decoder");
    if (libjxl.SubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO | JXL_DEC_FULL_IMAGE) !=
            JXL_DEC_SUCCESS ||
        libjxl.SetInput(decoder.get(), file.data(), file.size()) != JXL_DEC_SUCCESS)
        return Refuse("jxl: libjxl does not take the file as its input");
    libjxl.CloseInput(decoder.get());

    std::shared_ptr<PixelStore> store;
    Output output;
    JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    SourceFormat source;
    bool outputSet = false;
    for (;;) {
        const JxlDecoderStatus event = libjxl.ProcessInput(decoder.get());
        if (event == JXL_DEC_BASIC_INFO) {
            JxlBasicInfo info;
            if (libjxl.GetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS)
                return Refuse("jxl: libjxl cannot tell the picture's basic facts");
            // The size as shown: orientations 5 to 8 turn the picture by a quarter.
            const bool turned = info.orientation >= JXL_ORIENT_TRANSPOSE;
            const uint64_t width = turned ? info.ysize : info.xsize;
            const uint64_t height = turned ? info.xsize : info.ysize;
            if (!limits.AllowsPicture(static_cast<int64_t>(width), static_cast<int64_t>(height)))
                return Refuse("jxl: the picture is larger than the limits allow");
            output.alpha = info.alpha_bits > 0;
            source = SourceOf(info);
            const bool deep =
                info.bits_per_sample > 8 || info.exponent_bits_per_sample > 0 ||
                (output.alpha && (info.alpha_bits > 8 || info.alpha_exponent_bits > 0));
            // 8-bit pictures come as RGBA straight into the store (the fourth byte opaque when
            // the picture has no alpha); deeper ones as floats through the callback.
            format.num_channels = output.alpha || !deep ? 4 : 3;
            format.data_type = deep ? JXL_TYPE_FLOAT : JXL_TYPE_UINT8;
            store = PixelStore::Allocate(static_cast<int32_t>(width), static_cast<int32_t>(height));
            if (store == nullptr) return Refuse("jxl: no memory for the pixels");
            output.store = store.get();
        } else if (event == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
            if (store == nullptr) return Refuse("jxl: libjxl asks for pixels before their size");
            const JxlDecoderStatus set =
                format.data_type == JXL_TYPE_FLOAT
                    ? libjxl.SetImageOutCallback(decoder.get(), &format, WriteFloats, &output)
                    : libjxl.SetImageOutBuffer(decoder.get(), &format, store->Data(),
                                               store->PixelCount() * sizeof(uint32_t));
            if (set != JXL_DEC_SUCCESS) return Refuse("jxl: libjxl does not take the pixel buffer");
            outputSet = true;
        } else if (event == JXL_DEC_FULL_IMAGE) {
            if (!outputSet) return Refuse("jxl: libjxl finishes a frame it had no buffer for");
            break;  // the first frame is all we show
        } else {
            // An error, input that ends too soon, or a file that ends without a frame.
            return ResultOfEvent(event);
        }
    }
    if (format.data_type == JXL_TYPE_UINT8) RgbaTopDownToStore(*store);
    out.width = store->Width();
    out.height = store->Height();
    out.source = source;
    out.dpiX = 0;
    out.dpiY = 0;
    out.pixels = std::move(store);
    return Decoded;
}

}  // namespace pic2pnm::codecs
