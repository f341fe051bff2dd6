// The HEVC and AV1 decoders we give libheif in place of its own. They are libheif 1.15's own,
// over the same libde265 and dav1d and handing back the same planes and colour description,
// but they decode on the calling thread: libheif's start a libde265 worker thread for every
// picture (which, when memory is short, fails to start and leaves the decoder waiting for
// it for good) and let dav1d decode several frames at once, for which it keeps every
// coefficient of the picture, six bytes a pixel, and a thread per processor, each with a
// stack and an allocator arena.
#pragma once

#include <libheif/heif_plugin.h>

namespace pic2pnm::codecs {

// Null when libde265 or dav1d cannot be opened (libheif's own then decodes), or when libheif
// has no decoder of its own for the format (the file then stays unsupported, as before).
const heif_decoder_plugin* HevcDecoderPlugin();
const heif_decoder_plugin* Av1DecoderPlugin();

}  // namespace pic2pnm::codecs
