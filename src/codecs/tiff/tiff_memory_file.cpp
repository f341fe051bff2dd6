#include "codecs/tiff/tiff_memory_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace pic2pnm::codecs {
namespace {

TiffMemoryFile& FileOf(thandle_t handle) {
    return *static_cast<TiffMemoryFile*>(handle);
}

tmsize_t Read(thandle_t handle, void* buffer, tmsize_t size) {
    TiffMemoryFile& file = FileOf(handle);
    if (size < 0) return -1;
    const uint64_t length = file.bytes.size();
    if (file.position >= length) return 0;
    const uint64_t count = std::min<uint64_t>(static_cast<uint64_t>(size), length - file.position);
    std::memcpy(buffer, file.bytes.data() + file.position, count);
    file.position += count;
    return static_cast<tmsize_t>(count);
}

tmsize_t Write(thandle_t, void*, tmsize_t) {
    return -1;
}

// Like lseek: positions past the end are allowed (reads there return nothing), before the
// start they are not. The position never exceeds INT64_MAX.
toff_t Seek(thandle_t handle, toff_t offset, int whence) {
    TiffMemoryFile& file = FileOf(handle);
    constexpr toff_t FailedOffset = static_cast<toff_t>(-1);
    constexpr uint64_t Largest = std::numeric_limits<int64_t>::max();
    if (whence == SEEK_SET) {
        if (offset > Largest) return FailedOffset;
        file.position = offset;
        return file.position;
    }
    if (whence != SEEK_CUR && whence != SEEK_END) return FailedOffset;
    const uint64_t base = whence == SEEK_CUR ? file.position : file.bytes.size();
    const int64_t move = static_cast<int64_t>(offset);  // a step back arrives wrapped
    if (move < 0) {
        const uint64_t back = static_cast<uint64_t>(-(move + 1)) + 1;  // no overflow at INT64_MIN
        if (back > base) return FailedOffset;
        file.position = base - back;
    } else {
        if (static_cast<uint64_t>(move) > Largest - base) return FailedOffset;
        file.position = base + static_cast<uint64_t>(move);
    }
    return file.position;
}

int Close(thandle_t) {
    return 0;
}

toff_t Size(thandle_t handle) {
    return FileOf(handle).bytes.size();
}

// Reading straight from our buffer saves libtiff a copy of every strip. The file is opened
// read-only, so libtiff does not write through this pointer.
int Map(thandle_t handle, void** base, toff_t* size) {
    TiffMemoryFile& file = FileOf(handle);
    *base = const_cast<uint8_t*>(file.bytes.data());
    *size = file.bytes.size();
    return 1;
}

void Unmap(thandle_t, void*, toff_t) {}

}  // namespace

TIFF* OpenTiffInMemory(const TiffLibrary& libtiff, TiffMemoryFile& file, TIFFOpenOptions* options) {
    file.position = 0;
    return libtiff.ClientOpenExt("picture", "r", &file, Read, Write, Seek, Close, Size, Map, Unmap,
                                 options);
}

}  // namespace pic2pnm::codecs
