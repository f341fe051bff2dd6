#include "codecs/common/codec_limits.h"

#include "codecs/common/pixel_store.h"
#include "testing/testing_hooks.h"

namespace pic2pnm::codecs {
namespace {

DecodeLimits loaderLimits = DefaultDecodeLimits;

}  // namespace

bool DecodeLimits::AllowsPicture(int64_t width, int64_t height) const {
    if (width < 1 || height < 1 || height > pixels / width) return false;
    return IsPictureSizeSupported(width, height);
}

const DecodeLimits& LoaderDecodeLimits() {
    return loaderLimits;
}

}  // namespace pic2pnm::codecs

namespace pic2pnm {

void SetPixelCountCapForFuzzing(int64_t maxPixels) {
    codecs::loaderLimits.pixels = maxPixels != 0 ? maxPixels : codecs::MostPicturePixels;
}

}  // namespace pic2pnm
