#include "codecs/common/codec_registry.h"

namespace pic2pnm::codecs {

// Each format's row, defined in its own folder (src/codecs/<name>/<name>_codec.cpp).
#define PIC2PNM_CODEC(name)        \
    namespace name {               \
    extern const CodecEntry Codec; \
    }
#include "codec_registry_list.inc"
#undef PIC2PNM_CODEC

std::span<const CodecEntry> CodecRegistry() {
    // Made by the build from src/codecs/formats.txt, one line a format, in the order they are
    // tried. The rows are copied from their folders the first time the registry is asked for.
    static const CodecEntry registry[] = {
#define PIC2PNM_CODEC(name) name::Codec,
#include "codec_registry_list.inc"
#undef PIC2PNM_CODEC
    };
    return registry;
}

const CodecEntry* FindCodec(std::string_view name) {
    for (const CodecEntry& entry : CodecRegistry()) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

}  // namespace pic2pnm::codecs
