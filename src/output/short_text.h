// A text of at most 16 characters carried in two 64-bit words, first character in the lowest
// byte of the first word: the texts written once a pixel. They are put together and stored
// with a few register operations; a text assembled byte by byte in memory and then copied as
// a block would stall on every copy.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace pic2pnm {

static_assert(std::endian::native == std::endian::little,
              "ShortText keeps the first character in the lowest byte of its first word");

struct ShortText {
    static constexpr size_t Room = 16;

    uint64_t low = 0;   // characters 0 to 7
    uint64_t high = 0;  // characters 8 to 15
    size_t length = 0;  // at most Room; every byte past it is 0

    // Stores all Room bytes at `out`: the text, then zeros.
    void StoreAt(char* out) const {
        std::memcpy(out, &low, sizeof low);
        std::memcpy(out + sizeof low, &high, sizeof high);
    }

    std::string ToString() const {
        char room[Room];
        StoreAt(room);
        return std::string(room, length);
    }
};

}  // namespace pic2pnm
