#include "codecs/heif/heif_decoders.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "codecs/common/byte_order.h"
#include "codecs/heif/heif_library.h"

namespace pic2pnm::codecs {
namespace {

// Above libheif's own decoders (dav1d 150, libde265 100).
constexpr int Priority = 200;
// libheif 1.15 gives dav1d its largest picture: 32768 x 32768.
constexpr unsigned LargestFrame = 32768u * 32768u;

const heif_error HeifOk = {heif_error_Ok, heif_suberror_Unspecified, "Success"};
const heif_error HeifFailed = {heif_error_Decoder_plugin_error, heif_suberror_Unspecified, ""};
const heif_error HeifNoMemory = {heif_error_Memory_allocation_error, heif_suberror_Unspecified, ""};
const heif_error HeifCutShort = {heif_error_Decoder_plugin_error, heif_suberror_End_of_data, ""};

// The colour description the coded picture carries, as libheif's decoders attach it. A value
// libheif does not know is left unspecified, as libheif does when it decodes leniently.
void AttachNclx(const HeifLibrary& heif, heif_image* image, uint16_t primaries, uint16_t transfer,
                uint16_t matrix, bool fullRange) {
    heif_color_profile_nclx* nclx = heif.NclxAlloc();
    if (nclx == nullptr) return;
    heif.NclxSetPrimaries(nclx, primaries);
    heif.NclxSetTransfer(nclx, transfer);
    heif.NclxSetMatrix(nclx, matrix);
    nclx->full_range_flag = fullRange ? 1 : 0;
    heif.ImageSetNclx(image, nclx);
    heif.NclxFree(nclx);
}

// Adds a plane of w x h samples of `bits` bits and copies `rows` of it from `source`.
heif_error CopyPlane(const HeifLibrary& heif, heif_image* image, heif_channel channel, int width,
                     int height, int bits, const uint8_t* source, ptrdiff_t stride) {
    heif_error error = heif.ImageAddPlane(image, channel, width, height, bits);
    if (error.code != heif_error_Ok) return error;
    int targetStride = 0;
    uint8_t* target = heif.ImagePlane(image, channel, &targetStride);
    if (target == nullptr) return HeifNoMemory;
    const size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>((bits + 7) / 8);
    for (int y = 0; y < height; ++y)
        std::memcpy(target + static_cast<ptrdiff_t>(y) * targetStride, source + y * stride,
                    rowBytes);
    return HeifOk;
}

// ---- HEVC through libde265, without worker threads -------------------------------------------

struct HevcDecoder {
    de265_decoder_context* context = nullptr;
};

const char* HevcName() {
    return "libde265 HEVC decoder, on the calling thread";
}

int HevcSupports(heif_compression_format format) {
    return format == heif_compression_HEVC ? Priority : 0;
}

heif_error HevcNew(void** decoder) {
    auto* hevc = new (std::nothrow) HevcDecoder;
    if (hevc == nullptr) return HeifNoMemory;
    hevc->context = De265()->NewDecoder();
    if (hevc->context == nullptr) {
        delete hevc;
        return HeifNoMemory;
    }
    *decoder = hevc;
    return HeifOk;
}

void HevcFree(void* decoder) {
    auto* hevc = static_cast<HevcDecoder*>(decoder);
    if (hevc == nullptr) return;
    De265()->FreeDecoder(hevc->context);
    delete hevc;
}

// NAL units, each after its size in four bytes.
heif_error HevcPush(void* decoder, const void* data, size_t size) {
    auto* hevc = static_cast<HevcDecoder*>(decoder);
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t at = 0;
    while (at < size) {
        if (size - at < 4) return HeifCutShort;
        const uint32_t length = ReadBe32(bytes + at);
        at += 4;
        if (length > size - at) return HeifCutShort;
        if (length > INT32_MAX) return HeifFailed;  // libde265 takes the length as an int
        De265()->PushNal(hevc->context, bytes + at, static_cast<int>(length), 0, nullptr);
        at += length;
    }
    return HeifOk;
}

heif_error HevcPicture(const de265_image* picture, heif_image** out) {
    const HeifLibrary& heif = *Heif();
    const De265Library& de265 = *De265();
    const de265_chroma chroma = de265.ChromaFormat(picture);
    const bool mono = chroma == de265_chroma_mono;
    heif_error error = heif.ImageCreate(de265.Width(picture, 0), de265.Height(picture, 0),
                                        mono ? heif_colorspace_monochrome : heif_colorspace_YCbCr,
                                        static_cast<heif_chroma>(chroma), out);
    if (error.code != heif_error_Ok) return error;
    const heif_channel channels[] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
    const int bits = de265.BitsPerPixel(picture, 0);
    for (int c = 0; c < (mono ? 1 : 3); ++c) {
        int stride = 0;
        const uint8_t* plane = de265.Plane(picture, c, &stride);
        const int width = de265.Width(picture, c), height = de265.Height(picture, c);
        if (de265.BitsPerPixel(picture, c) != bits || plane == nullptr || width <= 0 || height <= 0)
            error = HeifFailed;
        if (error.code == heif_error_Ok)
            error = CopyPlane(heif, *out, channels[c], width, height, bits, plane, stride);
        if (error.code != heif_error_Ok) {
            heif.ImageRelease(*out);
            *out = nullptr;
            return error;
        }
    }
    AttachNclx(heif, *out, static_cast<uint16_t>(de265.ColourPrimaries(picture)),
               static_cast<uint16_t>(de265.TransferCharacteristics(picture)),
               static_cast<uint16_t>(de265.MatrixCoefficients(picture)),
               de265.FullRangeFlag(picture) != 0);
    return HeifOk;
}

heif_error HevcDecode(void* decoder, heif_image** out) {
    auto* hevc = static_cast<HevcDecoder*>(decoder);
    const De265Library& de265 = *De265();
    *out = nullptr;
    de265.FlushData(hevc->context);
    int more = 0;
    do {
        more = 0;
        if (de265.Decode(hevc->context, &more) != DE265_OK) break;
        if (const de265_image* picture = de265.NextPicture(hevc->context)) {
            const heif_error error = HevcPicture(picture, out);
            de265.ReleaseNextPicture(hevc->context);
            return error;
        }
    } while (more != 0);
    return HeifFailed;  // no picture came out
}

void SetStrict(void*, int) {}

const heif_decoder_plugin Hevc = {
    3,        HevcName, nullptr,    nullptr,   HevcSupports,       HevcNew,
    HevcFree, HevcPush, HevcDecode, SetStrict, "pic2pnm-libde265",
};

// ---- AV1 through dav1d, one frame and one thread ---------------------------------------------

struct Av1Decoder {
    Dav1dContext* context = nullptr;
    Dav1dData data{};
};

const char* Av1Name() {
    return "dav1d AV1 decoder, on the calling thread";
}

int Av1Supports(heif_compression_format format) {
    return format == heif_compression_AV1 ? Priority : 0;
}

heif_error Av1New(void** decoder) {
    const Dav1dLibrary& dav1d = *Dav1d();
    auto* av1 = new (std::nothrow) Av1Decoder;
    if (av1 == nullptr) return HeifNoMemory;
    Dav1dSettings settings;
    dav1d.DefaultSettings(&settings);
    settings.n_threads = 1;
    settings.max_frame_delay = 1;
    settings.frame_size_limit = LargestFrame;
    settings.all_layers = 0;
    settings.logger.callback = nullptr;  // dav1d would print its complaints
    if (dav1d.Open(&av1->context, &settings) != 0) {
        delete av1;
        return HeifFailed;
    }
    *decoder = av1;
    return HeifOk;
}

void Av1Free(void* decoder) {
    auto* av1 = static_cast<Av1Decoder*>(decoder);
    if (av1 == nullptr) return;
    if (av1->data.sz != 0) Dav1d()->DataUnref(&av1->data);
    if (av1->context != nullptr) Dav1d()->Close(&av1->context);
    delete av1;
}

heif_error Av1Push(void* decoder, const void* data, size_t size) {
    auto* av1 = static_cast<Av1Decoder*>(decoder);
    if (av1->data.sz != 0) return HeifFailed;  // pushed once only, as libheif does
    if (size == 0) return HeifCutShort;        // an item without data
    uint8_t* copy = Dav1d()->DataCreate(&av1->data, size);
    if (copy == nullptr) return HeifNoMemory;
    std::memcpy(copy, data, size);
    return HeifOk;
}

heif_error Av1Picture(const Dav1dPicture& frame, heif_image** out) {
    const HeifLibrary& heif = *Heif();
    heif_chroma chroma = heif_chroma_420;
    heif_colorspace colorspace = heif_colorspace_YCbCr;
    int chromaWidth = (frame.p.w + 1) / 2, chromaHeight = (frame.p.h + 1) / 2;
    switch (frame.p.layout) {
        case DAV1D_PIXEL_LAYOUT_I420: break;
        case DAV1D_PIXEL_LAYOUT_I422:
            chroma = heif_chroma_422;
            chromaHeight = frame.p.h;
            break;
        case DAV1D_PIXEL_LAYOUT_I444:
            chroma = heif_chroma_444;
            chromaWidth = frame.p.w;
            chromaHeight = frame.p.h;
            break;
        case DAV1D_PIXEL_LAYOUT_I400:
            chroma = heif_chroma_monochrome;
            colorspace = heif_colorspace_monochrome;
            break;
        default: return HeifFailed;
    }
    heif_error error = heif.ImageCreate(frame.p.w, frame.p.h, colorspace, chroma, out);
    if (error.code != heif_error_Ok) return error;
    AttachNclx(heif, *out, static_cast<uint16_t>(frame.seq_hdr->pri),
               static_cast<uint16_t>(frame.seq_hdr->trc),
               static_cast<uint16_t>(frame.seq_hdr->mtrx), frame.seq_hdr->color_range != 0);
    const heif_channel channels[] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
    const int planes = chroma == heif_chroma_monochrome ? 1 : 3;
    for (int c = 0; c < planes && error.code == heif_error_Ok; ++c) {
        error = CopyPlane(heif, *out, channels[c], c == 0 ? frame.p.w : chromaWidth,
                          c == 0 ? frame.p.h : chromaHeight, frame.p.bpc,
                          static_cast<const uint8_t*>(frame.data[c]), frame.stride[c > 0 ? 1 : 0]);
    }
    if (error.code != heif_error_Ok) {
        heif.ImageRelease(*out);
        *out = nullptr;
    }
    return error;
}

heif_error Av1Decode(void* decoder, heif_image** out) {
    auto* av1 = static_cast<Av1Decoder*>(decoder);
    const Dav1dLibrary& dav1d = *Dav1d();
    *out = nullptr;
    Dav1dPicture frame{};
    bool flushed = false;
    for (;;) {
        int result = dav1d.SendData(av1->context, &av1->data);
        if (result < 0 && result != DAV1D_ERR(EAGAIN)) return HeifFailed;
        result = dav1d.GetPicture(av1->context, &frame);
        if (!flushed && result == DAV1D_ERR(EAGAIN)) {
            if (av1->data.sz == 0) flushed = true;
            continue;
        }
        if (result < 0) return HeifFailed;
        break;
    }
    const heif_error error = Av1Picture(frame, out);
    dav1d.PictureUnref(&frame);
    return error;
}

const heif_decoder_plugin Av1 = {
    3,       Av1Name, nullptr,   nullptr,   Av1Supports,     Av1New,
    Av1Free, Av1Push, Av1Decode, SetStrict, "pic2pnm-dav1d",
};

}  // namespace

// Only where libheif decodes the format itself: a file it cannot read stays unread.
const heif_decoder_plugin* HevcDecoderPlugin() {
    const HeifLibrary* heif = Heif();
    if (heif == nullptr || heif->HaveDecoderFor(heif_compression_HEVC) == 0) return nullptr;
    return De265() != nullptr ? &Hevc : nullptr;
}

const heif_decoder_plugin* Av1DecoderPlugin() {
    const HeifLibrary* heif = Heif();
    if (heif == nullptr || heif->HaveDecoderFor(heif_compression_AV1) == 0) return nullptr;
    return Dav1d() != nullptr ? &Av1 : nullptr;
}

}  // namespace pic2pnm::codecs
