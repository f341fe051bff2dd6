# The Debian packages the build and the tests need.
# shellcheck disable=SC2034
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config
    libspng-dev zlib1g-dev libturbojpeg0-dev libjpeg62-turbo-dev libgif-dev libtiff-dev libwebp-dev
    libheif-dev libdav1d-dev libde265-dev libjxl-dev libdeflate-dev libseccomp-dev)
TEST_PACKAGES=(googletest libgtest-dev clang libclang-rt-14-dev libfuzzer-14-dev python3
    mandoc groff-base clang-format
    libheif-examples libavif-bin libjxl-tools graphicsmagick)
