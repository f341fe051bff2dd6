// Reads a picture file whole into memory for the decoders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace pic2pnm {

struct PictureFileBytes {
    std::unique_ptr<uint8_t[]> data;
    size_t size = 0;
    std::span<const uint8_t> View() const { return {data.get(), size}; }
};

enum class PictureFileStatus {
    Ok,
    NotFound,      // no such file, or a directory on the way is missing
    AccessDenied,  // permission denied
    ReadError,     // a directory, or any other failure to open or read
    TooLarge,      // more bytes than any picture we can convert would need
    OutOfMemory,
};

// Regular files and pipes are read to their end (a pipe up to the same limit as a file).
// A character or block device is never read past its first few bytes: no picture is that
// short, so it is refused by every decoder without reading an endless stream.
PictureFileStatus ReadPictureFile(std::string_view path, PictureFileBytes& out);

// The largest file we read.
inline constexpr uint64_t MaxPictureFileBytes = 3ull << 30;

}  // namespace pic2pnm
