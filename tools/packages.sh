# The Debian packages the build and the tests need: the tools, the libraries the program links,
# and the headers of every library a decoder opens at run time, as src/codecs/formats.txt lists
# them.
# shellcheck disable=SC2034
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config libspng-dev zlib1g-dev libseccomp-dev)
mapfile -t -O ${#BUILD_PACKAGES[@]} BUILD_PACKAGES < <(
    awk '$1 == "library" { n = split($4, packages, ","); for (i = 1; i <= n; ++i) print packages[i] }' \
        "$(dirname "${BASH_SOURCE[0]}")/../src/codecs/formats.txt" | sort -u)
TEST_PACKAGES=(googletest libgtest-dev clang libclang-rt-14-dev libfuzzer-14-dev python3
    mandoc groff-base clang-format
    libheif-examples libavif-bin libjxl-tools graphicsmagick)
