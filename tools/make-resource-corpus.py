#!/usr/bin/env python3
"""Makes tests/resource/: small files whose headers and data ask for far more memory or time
than the picture they describe is worth.

Each file is a valid or nearly valid picture of its format, built byte by byte: a TIFF whose one
tile is a thousand times the picture, a row of tiles all pointing at the same compressed block,
a thousand extra samples a pixel, a JPEG of ten thousand empty scans, multi-scan and progressive
JPEGs whose coefficients outgrow the picture, PNGs at and around the widest row the program
takes, compressed text that inflates past the library's limit in a good PNG, and JPEG XL files
whose colour profile or extra channels outgrow the picture.

MANIFEST.tsv gives, for every file, the picture's width and height (the test runs the program
under an address-space limit of 9 bytes a pixel of that size plus 64 MiB), what the program must
do ("converts"; "refused": the designed failure lines, exit status 1 and no output file, for
what a limit of the program refuses whatever the machine; or "either": a conversion or the
designed failure lines), and what the file is. A file that converts is converted twice, and
both pictures must be the same bytes.

Compressed tile and strip data is written with the zstd command, which packs a gigabyte of
zeros into some 30 KB; zlib (for PNG and TIFF Deflate) reaches about 1 KB per MB.

The output is deterministic. Usage: tools/make-resource-corpus.py [OUTPUT_FOLDER]
"""

import ctypes
import struct
import subprocess
import sys
import zlib
from pathlib import Path

from heif_boxes import (IN_IDAT, HeifFile, Item, box, coded_picture, full_box,
                        grid_description, ispe, overlay_description)

REPO = Path(__file__).resolve().parent.parent
OUT = REPO / "tests" / "resource"
TILES = REPO / "tests" / "data" / "heif-tiles"


# --- TIFF -------------------------------------------------------------------------------------

SHORT, LONG = 3, 4
ZSTD, DEFLATE = 50000, 8


def zstd_zeros(count):
    """A zstd frame of `count` zero bytes."""
    command = f"head -c {count} /dev/zero | zstd -q -3 -c"
    return subprocess.run(command, shell=True, check=True, capture_output=True).stdout


def tiff(entries, blocks):
    """A little-endian TIFF of one directory. `entries` are (tag, type, values); `blocks` are
    the compressed blocks, stored once each after the directory; a value "@n" in the offsets
    tag stands for the offset of block n."""
    entries = sorted(entries)
    ifd_size = 2 + 12 * len(entries) + 4
    arrays_at = 8 + ifd_size
    arrays = b""
    # Block offsets are known once the arrays are laid out: their length does not depend on them.
    arrays_length = 0
    for _, kind, values in entries:
        size = (2 if kind == SHORT else 4) * len(values)
        if size > 4:
            arrays_length += size + (size & 1)
    block_at = []
    position = arrays_at + arrays_length
    for block in blocks:
        block_at.append(position)
        position += len(block)

    def resolve(value):
        return block_at[int(value[1:])] if isinstance(value, str) else value

    directory = struct.pack("<H", len(entries))
    for tag, kind, values in entries:
        values = [resolve(v) for v in values]
        packed = struct.pack("<" + ("H" if kind == SHORT else "I") * len(values), *values)
        if len(packed) <= 4:
            field = packed.ljust(4, b"\0")
        else:
            field = struct.pack("<I", arrays_at + len(arrays))
            arrays += packed + b"\0" * (len(packed) & 1)
        directory += struct.pack("<HHI", tag, kind, len(values)) + field
    directory += struct.pack("<I", 0)
    assert len(arrays) == arrays_length
    return b"II*\0" + struct.pack("<I", 8) + directory + arrays + b"".join(blocks)


def tiff_tiled_rgba16(width, height, tile_width, tile_length, tiles_across):
    """RGBA 16-bit in tiles of zeros; every tile points at the same ZSTD block."""
    tiles_down = 1
    count = tiles_across * tiles_down
    block = zstd_zeros(tile_width * tile_length * 8)
    return tiff(
        [
            (256, LONG, [width]),
            (257, LONG, [height]),
            (258, SHORT, [16, 16, 16, 16]),
            (259, SHORT, [ZSTD]),
            (262, SHORT, [2]),
            (277, SHORT, [4]),
            (284, SHORT, [1]),
            (322, LONG, [tile_width]),
            (323, LONG, [tile_length]),
            (324, LONG, ["@0"] * count),
            (325, LONG, [len(block)] * count),
            (338, SHORT, [2]),
        ],
        [block],
    )


def tiff_strip(width, height, photometric, samples, extra, bits=16):
    """One strip of zeros, `samples` samples a pixel of which `extra` are extra samples; no
    photometric tag when `photometric` is None."""
    block = zstd_zeros(width * height * samples * bits // 8)
    entries = [
        (256, LONG, [width]),
        (257, LONG, [height]),
        (258, SHORT, [bits] * samples),
        (259, SHORT, [ZSTD]),
        (273, LONG, ["@0"]),
        (277, SHORT, [samples]),
        (278, LONG, [height]),
        (279, LONG, [len(block)]),
        (284, SHORT, [1]),
    ]
    if photometric is not None:
        entries.append((262, SHORT, [photometric]))
    if extra:
        entries.append((338, SHORT, [0] * extra))
    return tiff(entries, [block])


# --- JPEG -------------------------------------------------------------------------------------


def segment(marker, body):
    return bytes([0xFF, marker]) + struct.pack(">H", len(body) + 2) + body


def jpeg(width, height, components, progressive, scans):
    """A JPEG without entropy-coded data: every scan is a header only, so the decoder fills
    the picture from nothing. `scans` lists the component ids of each scan (progressive scans
    are DC first passes)."""
    out = b"\xFF\xD8"
    out += segment(0xDB, b"\x00" + b"\x01" * 64)
    frame = struct.pack(">BHHB", 8, height, width, components)
    for c in range(1, components + 1):
        frame += bytes([c, 0x11, 0])
    out += segment(0xC2 if progressive else 0xC0, frame)
    one_code = bytes([1] + [0] * 15) + b"\x00"  # one code of one bit, for symbol 0
    out += segment(0xC4, b"\x00" + one_code + b"\x10" + one_code)
    for ids in scans:
        body = bytes([len(ids)]) + b"".join(bytes([c, 0x00]) for c in ids)
        body += bytes([0, 0 if progressive else 63, 0])
        out += segment(0xDA, body)
    return out + b"\xFF\xD9"


# --- PNG --------------------------------------------------------------------------------------


def png_chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def zlib_zeros(count):
    packer = zlib.compressobj(9)
    piece = bytes(1 << 20)
    out = []
    while count > 0:
        out.append(packer.compress(piece[: min(count, len(piece))]))
        count -= len(piece)
    out.append(packer.flush())
    return b"".join(out)


def png(width, height, depth, colour, extra_chunks=(), pixels=True):
    channels = {0: 1, 2: 3, 4: 2, 6: 4}[colour]
    row = 1 + (width * channels * depth + 7) // 8
    out = b"\x89PNG\r\n\x1a\n"
    out += png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, 0))
    for kind, body in extra_chunks:
        out += png_chunk(kind, body)
    if pixels:
        out += png_chunk(b"IDAT", zlib_zeros(row * height))
    return out + png_chunk(b"IEND", b"")


# --- HEIF and AVIF ----------------------------------------------------------------------------
# Built from the coded pictures of tests/data/heif-tiles: every tile of a grid holds the same
# coded picture, stored once.


def tile(suffix, side):
    """(item type, data, configuration property) of the coded picture of a side x side tile."""
    return coded_picture(HeifFile.parse((TILES / f"tile-{side}.{suffix}").read_bytes()))


def coded_side(suffix, side):
    """The side the tile's coded picture has: HEVC pictures are coded in blocks of 64."""
    return side if suffix == "avif" else max(side, 64)


def new_file(suffix):
    if suffix == "avif":
        return HeifFile(b"avif", (b"avif", b"mif1", b"miaf"))
    return HeifFile(b"heic", (b"mif1", b"heic"))


def add_tiles(heif, suffix, side, count, first_id):
    kind, data, config = tile(suffix, side)
    coded = coded_side(suffix, side)
    ids = list(range(first_id, first_id + count))
    for item_id in ids:
        heif.items.append(Item(item_id, kind, data, hidden=True))
        heif.associate(item_id, config, essential=True)
        heif.associate(item_id, ispe(coded, coded))
    return ids


def grid_picture(suffix, side, rows, columns, width=None, height=None, stated=None):
    """A grid of rows x columns tiles of side x side as the primary item; its picture is
    width x height (the tiles' extent by default) and its stated size `stated`."""
    width = width or columns * side
    height = height or rows * side
    heif = new_file(suffix)
    heif.items.append(Item(1, b"grid", grid_description(rows, columns, width, height),
                           method=IN_IDAT))
    heif.associate(1, ispe(*(stated or (width, height))))
    heif.references.append((b"dimg", 1, add_tiles(heif, suffix, side, rows * columns, 2)))
    return heif


def nested_grids(suffix, depth):
    """A 64 x 64 picture as `depth` one-tile grids, each the tile of the one above."""
    heif = new_file(suffix)
    for level in range(depth):
        heif.items.append(Item(level + 1, b"grid", grid_description(1, 1, 64, 64),
                               hidden=level > 0, method=IN_IDAT))
        heif.associate(level + 1, ispe(64, 64))
        heif.references.append((b"dimg", level + 1, [level + 2]))
    add_tiles(heif, suffix, 64, 1, depth + 1)
    return heif.to_bytes()


def unused_grids(suffix, count):
    """A 64 x 64 picture of one coded item, and `count` one-tile grids of it that nothing
    shows."""
    heif = new_file(suffix)
    kind, data, config = tile(suffix, 64)
    heif.items.append(Item(1, kind, data))
    heif.associate(1, config, essential=True)
    heif.associate(1, ispe(64, 64))
    for item_id in range(2, count + 2):
        heif.items.append(Item(item_id, b"grid", grid_description(1, 1, 64, 64), hidden=True,
                               method=IN_IDAT))
        heif.associate(item_id, ispe(64, 64))
        heif.references.append((b"dimg", item_id, [1]))
    return heif.to_bytes()


def twice_in_meta(suffix, kind):
    """A grid whose own data states 32767 x 32767 under a stated size of 32767 x 64, and a
    second `kind` box at the end of the meta box that tells otherwise: an item data box whose
    description states 32767 x 64, a location box pointing the grid at such a description, or
    an empty item list. libheif reads the first of each."""
    heif = grid_picture(suffix, 512, 1, 64, 32767, 64)
    heif.item(1).data = grid_description(1, 64, 32767, 32767)
    honest = grid_description(1, 64, 32767, 64)
    if kind == b"idat":
        heif.meta_extra.append(box(b"idat", honest))
    elif kind == b"iloc":
        # The honest description as the data of an item nothing shows, right after the
        # grid's in the item data box; the second location box points the grid there.
        heif.items.append(Item(len(heif.items) + 1, b"mime", honest, hidden=True,
                               method=IN_IDAT))
        layout = heif.to_bytes()
        at = layout.index(b"iloc") - 4
        iloc = bytearray(layout[at:at + struct.unpack(">I", layout[at:at + 4])[0]])
        assert iloc[16:18] == b"\0\1" and iloc[24:28] == b"\0\0\0\0"  # the grid, at 0
        iloc[24:28] = struct.pack(">I", len(heif.item(1).data))
        heif.meta_extra.append(bytes(iloc))
    else:
        heif.meta_extra.append(full_box(b"iinf", 0, 0, b"\0\0"))
    return heif.to_bytes()


def overlay_at_negative_offset(suffix):
    """A 64 x 64 overlay of two 64 x 64 pictures, the second at (-32, -32)."""
    heif = new_file(suffix)
    heif.items.append(Item(1, b"iovl", overlay_description(64, 64, [(0, 0), (-32, -32)]),
                           method=IN_IDAT))
    heif.associate(1, ispe(64, 64))
    heif.references.append((b"dimg", 1, add_tiles(heif, suffix, 64, 2, 2)))
    return heif.to_bytes()


def grid_of_unequal_tiles(suffix):
    """A 576 x 512 grid of two tiles side by side: 512 x 512, then 64 x 64."""
    heif = grid_picture(suffix, 512, 1, 1, 576, 512)
    heif.item(1).data = grid_description(1, 2, 576, 512)
    heif.references = [(b"dimg", 1, [2] + add_tiles(heif, suffix, 64, 1, 3))]
    return heif.to_bytes()


def heif_files():
    for suffix in ("heic", "avif"):
        for kind in (b"idat", b"iloc", b"iinf"):
            name = kind.decode()
            yield (f"{suffix}-grid-32767-square-{name}-twice.{suffix}", 32767, 64, "refused",
                   f"grid stating 32767x32767 under ispe 32767x64, a second {name} box after "
                   "the first, which libheif reads",
                   twice_in_meta(suffix, kind))
        yield (f"{suffix}-5000-nested-grids.{suffix}", 64, 64, "refused",
               "64x64 picture as a chain of 5000 nested one-tile grids",
               nested_grids(suffix, 5000))
        yield (f"{suffix}-three-nested-grids.{suffix}", 64, 64, "refused",
               "64x64 picture as a chain of three nested one-tile grids",
               nested_grids(suffix, 3))
        yield (f"{suffix}-two-nested-grids.{suffix}", 64, 64, "converts",
               "64x64 picture as a one-tile grid of a one-tile grid",
               nested_grids(suffix, 2))
        yield (f"{suffix}-2048-unused-grids.{suffix}", 64, 64, "refused",
               "64x64 picture and 2048 grid items nothing shows: one item over the limit",
               unused_grids(suffix, 2048))
        yield (f"{suffix}-2047-unused-grids.{suffix}", 64, 64, "converts",
               "64x64 picture and 2047 grid items nothing shows: items at the limit",
               unused_grids(suffix, 2047))
        yield (f"{suffix}-overlay-negative-offset.{suffix}", 64, 64, "refused",
               "64x64 overlay of two pictures, the second at (-32, -32)",
               overlay_at_negative_offset(suffix))
        yield (f"{suffix}-grid-tiles-of-two-sizes.{suffix}", 576, 512, "refused",
               "576x512 grid of a 512x512 tile beside a 64x64 one",
               grid_of_unequal_tiles(suffix))
        yield (f"{suffix}-grid-4096-square-under-ispe-64.{suffix}", 64, 64, "refused",
               "grid stating 4096x4096 under ispe 64x64, 512x512 tiles",
               grid_picture(suffix, 512, 8, 8, 4096, 4096, stated=(64, 64)).to_bytes())
    yield ("avif-grid-140x140-tiles-of-16.avif", 2240, 2240, "refused",
           "2240x2240 grid of 140x140 tiles of 16x16: more tiles and items than the limits",
           grid_picture("avif", 16, 140, 140).to_bytes())
    yield ("heic-grid-140x140-tiles-of-64.heic", 8960, 8960, "refused",
           "8960x8960 grid of 140x140 tiles of 64x64: more tiles and items than the limits",
           grid_picture("heic", 64, 140, 140).to_bytes())
    for suffix in ("heic", "avif"):
        yield (f"{suffix}-grid-33x32-tiles-of-64.{suffix}", 2048, 2112, "refused",
               "2048x2112 grid of 33x32 tiles of 64x64: more tiles than the limit",
               grid_picture(suffix, 64, 33, 32).to_bytes())
        yield (f"{suffix}-grid-32x32-tiles-of-64.{suffix}", 2048, 2048, "converts",
               "2048x2048 grid of 32x32 tiles of 64x64: tiles at the limit",
               grid_picture(suffix, 64, 32, 32).to_bytes())
        yield (f"{suffix}-grid-4096x3072-tiles-of-512.{suffix}", 4096, 3072, "converts",
               "12-megapixel grid of 8x6 tiles of 512x512, as phones write",
               grid_picture(suffix, 512, 6, 8).to_bytes())


# --- JPEG XL ----------------------------------------------------------------------------------

def jxl(width, height, extra_channels=0, profile=None, lossy=False):
    """A JPEG XL of zeros, written by libjxl's encoder through ctypes (its command-line encoder
    cannot write extra channels beyond alpha, nor a profile it cannot use): grey, lossless or
    lossy, with `extra_channels` depth channels of 8 bits and the colour profile `profile` when
    given."""
    lib = ctypes.CDLL("libjxl.so.0.7")  # the struct layouts below are those of libjxl 0.7
    lib.JxlEncoderCreate.restype = ctypes.c_void_p
    lib.JxlEncoderFrameSettingsCreate.restype = ctypes.c_void_p
    for name in ("JxlEncoderInitBasicInfo", "JxlEncoderSetBasicInfo", "JxlEncoderSetICCProfile",
                 "JxlEncoderSetColorEncoding", "JxlColorEncodingSetToSRGB", "JxlEncoderAddImageFrame",
                 "JxlEncoderSetExtraChannelInfo", "JxlEncoderInitExtraChannelInfo",
                 "JxlEncoderSetExtraChannelBuffer", "JxlEncoderSetFrameLossless",
                 "JxlEncoderFrameSettingsSetOption", "JxlEncoderProcessOutput", "JxlEncoderCloseInput",
                 "JxlEncoderDestroy"):
        getattr(lib, name).restype = ctypes.c_int
    enc = ctypes.c_void_p(lib.JxlEncoderCreate(None))
    # JxlBasicInfo of libjxl 0.7: 204 bytes of 32-bit fields.
    info = ctypes.create_string_buffer(204)
    lib.JxlEncoderInitBasicInfo(info)
    for offset, value in ((4, width), (8, height), (12, 8), (36, 0 if lossy else 1), (52, 1),
                          (56, extra_channels), (60, 0)):
        struct.pack_into("<I", info, offset, value)
    assert lib.JxlEncoderSetBasicInfo(enc, info) == 0, "basic info"
    if profile is None:
        colour = ctypes.create_string_buffer(104)
        lib.JxlColorEncodingSetToSRGB(colour, 1)
        assert lib.JxlEncoderSetColorEncoding(enc, colour) == 0
    else:
        assert lib.JxlEncoderSetICCProfile(enc, profile, ctypes.c_size_t(len(profile))) == 0, "profile"
    for index in range(extra_channels):
        channel = ctypes.create_string_buffer(44)
        lib.JxlEncoderInitExtraChannelInfo(1, channel)  # a depth channel
        struct.pack_into("<I", channel, 4, 8)
        assert lib.JxlEncoderSetExtraChannelInfo(enc, ctypes.c_size_t(index), channel) == 0
    settings = ctypes.c_void_p(lib.JxlEncoderFrameSettingsCreate(enc, None))
    lib.JxlEncoderSetFrameLossless(settings, 0 if lossy else 1)
    lib.JxlEncoderFrameSettingsSetOption(settings, 0, ctypes.c_int64(1))  # effort 1
    pixel_format = ctypes.create_string_buffer(struct.pack("<IIIIQ", 1, 2, 0, 0, 0))  # one uint8 sample
    plane = ctypes.create_string_buffer(width * height)
    assert lib.JxlEncoderAddImageFrame(settings, pixel_format, plane, ctypes.c_size_t(width * height)) == 0
    for index in range(extra_channels):
        assert lib.JxlEncoderSetExtraChannelBuffer(settings, pixel_format, plane,
                                                   ctypes.c_size_t(width * height),
                                                   ctypes.c_uint32(index)) == 0
    lib.JxlEncoderCloseInput(enc)
    out = b""
    chunk = ctypes.create_string_buffer(1 << 20)
    while True:
        next_out = ctypes.c_void_p(ctypes.addressof(chunk))
        avail = ctypes.c_size_t(len(chunk))
        status = lib.JxlEncoderProcessOutput(enc, ctypes.byref(next_out), ctypes.byref(avail))
        out += chunk.raw[:len(chunk) - avail.value]
        if status != 2:
            assert status == 0, "encoding"
            break
    lib.JxlEncoderDestroy(enc)
    return out

def grey_profile(size):
    """An ICC profile of `size` bytes: a grey display profile's header, no tags, then zeros."""
    header = bytearray(128)
    struct.pack_into(">I", header, 0, size)
    header[8:12] = bytes([4, 0x30, 0, 0])
    header[12:16] = b"mntr"
    header[16:20] = b"GRAY"
    header[20:24] = b"XYZ "
    header[36:40] = b"acsp"
    return bytes(header) + bytes(4) + bytes(size - 132)


# --- The set ----------------------------------------------------------------------------------

WIDEST = (2**31 - 1 - 31) // 32  # the widest row whose 32-bit stride fits a signed 32-bit int
INFLATES_PAST_LIMIT = 32 << 20  # bytes of text, above the 16 MiB the decoder allows a chunk


def files():
    """(name, width, height, expectation, what, bytes)"""
    huge_text = zlib.compress(b"a" * INFLATES_PAST_LIMIT, 9)
    yield ("tiff-one-tile-1000x-the-picture.tif", 1, 1, "refused",
           "1x1 RGBA 16-bit, one ZSTD tile of 11264x11264",
           tiff_tiled_rgba16(1, 1, 11264, 11264, 1))
    yield ("tiff-tiles-repeated-tall.tif", 11264000, 1, "refused",
           "11264000x1 RGBA 16-bit, 1000 tiles of 11264x11264, all the same block",
           tiff_tiled_rgba16(11264000, 1, 11264, 11264, 1000))
    yield ("tiff-tiles-repeated-fitting.tif", 16384, 16, "converts",
           "16384x16 RGBA 16-bit, 64 tiles of 256x16 that fit, all the same block",
           tiff_tiled_rgba16(16384, 16, 256, 16, 64))
    yield ("tiff-tile-wider-than-needed.tif", 1000, 1, "either",
           "1000x1 RGBA 16-bit, one tile of 65536x16",
           tiff_tiled_rgba16(1000, 1, 65536, 16, 1))
    yield ("tiff-rgb-1000-extra-samples.tif", 1000, 500, "refused",
           "1000x500 RGB 16-bit plus 1000 extra samples, one strip",
           tiff_strip(1000, 500, 2, 1003, 1000))
    yield ("tiff-grey-20-extra-samples.tif", 1000, 1000, "refused",
           "1000x1000 grey 16-bit plus 20 extra samples, one strip",
           tiff_strip(1000, 1000, 1, 21, 20))
    yield ("tiff-rgba16-one-strip.tif", 256, 256, "converts",
           "256x256 RGBA 16-bit, one strip (extra sample: alpha)",
           tiff_strip(256, 256, 2, 4, 1))
    yield ("tiff-rgb8-no-photometric.tif", 16, 16, "converts",
           "16x16 RGB 8-bit without a photometric tag, which the reader guesses",
           tiff_strip(16, 16, None, 3, 0, bits=8))
    yield ("jpeg-baseline-10000-scans.jpg", 8192, 8192, "refused",
           "baseline 8192x8192, three components, 10000 empty one-component scans",
           jpeg(8192, 8192, 3, False, [[1 + i % 3] for i in range(10000)]))
    yield ("jpeg-progressive-10000-scans.jpg", 64, 64, "refused",
           "progressive 64x64 grey, 10000 empty DC scans",
           jpeg(64, 64, 1, True, [[1]] * 10000))
    yield ("jpeg-progressive-cmyk-8192.jpg", 8192, 8192, "refused",
           "progressive CMYK 8192x8192, one empty DC scan",
           jpeg(8192, 8192, 4, True, [[1, 2, 3, 4]]))
    yield ("jpeg-baseline-three-scans-8192.jpg", 8192, 8192, "refused",
           "baseline 8192x8192, three non-interleaved empty scans",
           jpeg(8192, 8192, 3, False, [[1], [2], [3]]))
    yield ("jpeg-baseline-three-scans-64.jpg", 64, 64, "converts",
           "baseline 64x64, three non-interleaved empty scans",
           jpeg(64, 64, 3, False, [[1], [2], [3]]))
    yield ("png-rgba16-67000000x1.png", 67000000, 1, "refused",
           "67000000x1 RGBA 16-bit, zeros",
           png(67000000, 1, 16, 6))
    for width in (WIDEST - 1, WIDEST, WIDEST + 1):
        yield (f"png-grey8-{width}x1-header-only.png", width, 1, "refused",
               f"{width}x1 grey 8-bit, no pixel data",
               png(width, 1, 8, 0, pixels=False))
    yield (f"png-grey8-{WIDEST + 1}x1.png", WIDEST + 1, 1, "refused",
           f"{WIDEST + 1}x1 grey 8-bit, zeros: a row one pixel wider than the stride allows",
           png(WIDEST + 1, 1, 8, 0))
    for kind, body in (
        (b"zTXt", b"Comment\0\0" + huge_text),
        (b"iTXt", b"Comment\0\x01\x00\0\0" + huge_text),
        (b"iCCP", b"profile\0\0" + huge_text),
    ):
        yield (f"png-grey8-8x8-{kind.decode().lower()}-inflates-to-32mib.png", 8, 8, "converts",
               f"8x8 grey 8-bit with a {kind.decode()} that inflates to 32 MiB",
               png(8, 8, 8, 0, [(kind, body)]))
    # libjxl decodes the colour profile before the first frame, several copies of it at once;
    # the encoder packs a profile of zeros into a few bytes.
    yield ("jxl-grey-64x64-profile-1mib.jxl", 64, 64, "either",
           "64x64 grey, lossless, a colour profile of 1 MiB: within the budget, left to libjxl",
           jxl(64, 64, profile=grey_profile(1 << 20)))
    yield ("jxl-grey-64x64-profile-4mib.jxl", 64, 64, "refused",
           "64x64 grey, lossless, a colour profile of 4 MiB: its copies are beyond the budget",
           jxl(64, 64, profile=grey_profile(4 << 20)))
    yield ("jxl-grey-64x64-profile-100mib.jxl", 64, 64, "refused",
           "64x64 grey, lossless, a colour profile of 100 MiB in a file of 119 bytes",
           jxl(64, 64, profile=grey_profile(100 << 20)))
    yield ("jxl-grey-512x512-64-extra-channels.jxl", 512, 512, "refused",
           "512x512 grey, lossless, 64 extra channels: four times the budget",
           jxl(512, 512, extra_channels=64))
    yield ("jxl-grey-512x512-2-extra-channels.jxl", 512, 512, "converts",
           "512x512 grey, lossless, 2 extra channels: within the budget",
           jxl(512, 512, extra_channels=2))
    yield ("jxl-grey-2048x2048-lossy-1-extra-channel.jxl", 2048, 2048, "either",
           "2048x2048 grey, lossy, 1 extra channel: libjxl keeps the picture whole as floats",
           jxl(2048, 2048, extra_channels=1, lossy=True))
    yield ("jxl-grey-4096x4096.jxl", 4096, 4096, "either",
           "4096x4096 grey, lossless: converts when its budget is there",
           jxl(4096, 4096))
    yield from heif_files()


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else OUT
    out.mkdir(parents=True, exist_ok=True)
    for old in out.iterdir():
        old.unlink()
    lines = ["file\twidth\theight\texpect\twhat"]
    for name, width, height, expect, what, data in files():
        (out / name).write_bytes(data)
        lines.append(f"{name}\t{width}\t{height}\t{expect}\t{what}")
    (out / "MANIFEST.tsv").write_text("\n".join(lines) + "\n", encoding="utf-8")


if __name__ == "__main__":
    main()
