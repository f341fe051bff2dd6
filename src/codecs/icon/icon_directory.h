// The directory of an icon or cursor file and the choice of the image a viewer would show.
#pragma once

#include <cstdint>

#include "codecs/common/decoded_picture.h"

namespace pic2pnm::codecs::icon {

struct ChosenIconImage {
    bool isIcon = true;  // false for a cursor
    // A cursor's hot spot as its directory entry gives it (0 for icons, whose entries keep
    // colour planes and bit count in these places).
    uint16_t hotspotX = 0;
    uint16_t hotspotY = 0;
    bool isPng = false;  // the image starts with the PNG signature; otherwise it is a DIB
    FileView image;      // the entry's bytes, within the file
};

// True for a directory header: reserved 0, type 1 (icon) or 2 (cursor) and at least one entry.
bool LooksLikeIconDirectory(FileView file);

// Checks every entry (its image must lie after the directory and inside the file) and picks
// the largest image, then the deepest; among equals the first. Sizes and depths come from the
// images' own headers where they can be read, else from the directory. NotMyFormat when the
// file does not start with an icon directory, Corrupt when the directory or an entry is broken.
CodecResult ChooseIconImage(FileView file, ChosenIconImage& out);

}  // namespace pic2pnm::codecs::icon
