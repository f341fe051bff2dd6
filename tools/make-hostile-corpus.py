#!/usr/bin/env python3
"""Makes tests/hostile/ from the committed test pictures in tests/data/<format>/.

Every picture gives copies cut short at several points (inside the header, inside the palette
or colour table, inside the pixel data, one byte before the end) and copies with one header
field changed where it matters (sizes, bit depths, offsets, counts, compression codes, palette
lengths, chunk lengths, LZW code sizes, strip offsets and counts, an IFD loop), and copies
whose header declares a picture above the size limit (labelled "declares-"). Empty, one-byte
and signature-only files complete the set. The program must refuse each file cleanly or
convert it into a well-formed picture.

A size changed within the limit becomes a few thousand pixels at most ("-large"), not tens of
thousands: a decoder may rightly fill a picture that lacks its data (JPEG does), and the test
converting every file must stay quick.

The cuts named in ALWAYS_KEPT are made to every picture; any other change is kept for two
pictures of its format (see select()), which keeps the set to about a thousand files.

The output is deterministic: the same pictures always give the same files. The manifests list
every file (those named after a format in tests/codecs/FORMAT/FORMAT_hostile.tsv, the rest in
tests/hostile/MANIFEST.tsv), what was done to make it and its verdict: what the program must
make of it, which the hostile test holds it to. Files named found-* are reproducers saved from fuzzing runs; they
are kept as they are and listed too, with the note the manifest already gives them.

A verdict is "converts", or the refusal as the console shows it: "not supported", "load: Error
N" or "bitmap: Error N" (the first line, then the error line's code). This script knows that
every change it makes to a Netpbm, QOI or TGA picture breaks it (our own decoders must refuse
it) and that a file declaring a size above the limit cannot load; it writes "refused" for those,
"-" for the rest, and keeps the verdict the manifests held for a file made the same way.
tools/record-hostile-verdicts.py then records the program's verdict where the manifest has
"-" or "refused", and reports a file that must be refused but converts; and for a refused file
the decoders' reason, in the "reason" column this script keeps after the verdict.

Usage: tools/make-hostile-corpus.py
"""

import struct
import sys
import zlib
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
DATA = REPO / "tests" / "data"
OUT = REPO / "tests" / "hostile"
CODEC_TESTS = REPO / "tests" / "codecs"
# The registry's formats, from the list the build reads, and the metafiles the native loader
# reads outside it.
FORMATS = [line.split()[1] for line in (REPO / "src" / "codecs" / "formats.txt")
           .read_text(encoding="utf-8").splitlines()
           if line.startswith("format ")] + ["metafile"]
REFERENCE_SUFFIXES = {".ppm", ".pam", ".pgm", ".pbm", ".sh", ".txt", ".md"}


class Variants:
    """Collects the altered copies of one picture, without duplicates."""

    def __init__(self, original):
        self.original = bytes(original)
        # What sort of picture of its format this is (header type, colour type, compression):
        # a change is kept for a few pictures of each sort.
        self.sort = ""
        self.items = []  # (label, bytes, description)
        self.seen = {self.original}

    def add(self, label, data, description):
        data = bytes(data)
        if data in self.seen:
            return
        if any(label == item[0] for item in self.items):
            raise ValueError(f"two changes labelled {label}")
        self.seen.add(data)
        self.items.append((label, data, description))

    def cut(self, where, at, description=None):
        """Keeps the first `at` bytes."""
        if 0 < at < len(self.original):
            self.add(f"cut-{where}", self.original[:at],
                     description or f"cut to {at} of {len(self.original)} bytes ({where})")

    def set_byte(self, field, offset, value, data=None, fixup=None):
        """Changes one byte of the picture; `fixup` repairs checksums afterwards."""
        base = bytearray(self.original if data is None else data)
        if not 0 <= offset < len(base) or base[offset] == value:
            return
        base[offset] = value
        if fixup:
            base = fixup(base)
        self.add(f"{field}-{value:02x}", base, f"{field}: byte at {offset} set to 0x{value:02x}")

    def set_bytes(self, label, offset, values, description, fixup=None, keep=None):
        """Overwrites several bytes; `keep` cuts the result to that length."""
        base = bytearray(self.original)
        if offset < 0 or offset + len(values) > len(base):
            return
        base[offset:offset + len(values)] = values
        if fixup:
            base = fixup(base)
        if keep is not None:
            base = base[:keep]
        self.add(label, base, description)

    def cut_standard(self, header_end, table=None, pixels=None):
        """Cuts inside the header, the colour table (start, end), the pixels (start, end) and
        one byte before the end."""
        size = len(self.original)
        self.cut("header", max(1, min(header_end, size) // 2))
        if table and table[1] > table[0]:
            self.cut("table", (table[0] + table[1]) // 2)
        if pixels and pixels[1] > pixels[0]:
            self.cut("pixels", (pixels[0] + pixels[1]) // 2)
        self.cut("last-byte", size - 1)


def u16le(data, offset):
    return struct.unpack_from("<H", data, offset)[0] if offset + 2 <= len(data) else 0


def u32le(data, offset):
    return struct.unpack_from("<I", data, offset)[0] if offset + 4 <= len(data) else 0


def u16be(data, offset):
    return struct.unpack_from(">H", data, offset)[0] if offset + 2 <= len(data) else 0


def u32be(data, offset):
    return struct.unpack_from(">I", data, offset)[0] if offset + 4 <= len(data) else 0


# --- BMP and DIB --------------------------------------------------------------------------


def dib_fields(v, base, file_size, pixel_offset=None):
    """Changes the fields of a DIB info header starting at `base` (shared by BMP and icons).
    Returns the end of the header and of the colour table."""
    data = v.original
    header_size = u32le(data, base)
    v.set_byte("info-size-small", base, 0x0B)
    v.set_byte("info-size-odd", base, (header_size + 1) & 0xFF)
    v.set_byte("info-size-huge", base + 3, 0x80)
    if header_size == 12:  # the oldest header: 16-bit sizes, 3-byte palette entries
        v.set_byte("width-huge", base + 5, 0xFF)
        v.set_byte("height-huge", base + 7, 0xFF)
        v.set_byte("width-zero", base + 4, 0x00)
        v.set_byte("planes", base + 8, 0x02)
        bits_at, compression_at, used_at, entry = base + 10, None, None, 3
    else:
        v.set_byte("width-huge", base + 7, 0x7F)
        v.set_byte("width-negative", base + 7, 0xFF)
        v.set_byte("height-huge", base + 11, 0x7F)
        v.set_byte("height-most-negative", base + 11, 0x80)
        v.set_byte("width-zero", base + 4, 0x00)
        v.set_byte("height-zero", base + 8, 0x00)
        v.set_byte("planes", base + 12, 0x02)
        bits_at, entry = base + 14, 4
        compression_at = base + 16 if header_size >= 20 else None
        used_at = base + 32 if header_size >= 36 else None
    for bits in (0x00, 0x03, 0x40, 0xFF):
        v.set_byte("bit-count", bits_at, bits)
    if compression_at is not None:
        for code in (0x01, 0x02, 0x03, 0x04, 0x06, 0xFF):
            v.set_byte("compression", compression_at, code)
        v.set_byte("image-size-huge", base + 23, 0x7F)
    if used_at is not None:
        v.set_byte("colours-used-huge", used_at + 3, 0x7F)
        v.set_byte("colours-used-257", used_at + 1, 0x01)
        v.set_byte("colours-important", used_at + 4, 0xFF)
    if header_size == 40 and u32le(data, base + 16) == 3 and base + 52 <= len(data):
        v.set_byte("bit-mask-overlap", base + 43, 0xFF)
        v.set_byte("bit-mask-gap", base + 41, 0x0F)
    if header_size >= 56:
        v.set_byte("bit-mask-overlap", base + 43, 0xFF)
        v.set_byte("alpha-mask-overlap", base + 55, 0xFF)

    bits = u16le(data, bits_at)
    used = u32le(data, used_at) if used_at is not None else 0
    table_start = base + header_size
    if header_size == 40 and compression_at is not None and u32le(data, compression_at) == 3:
        table_start += 12
    entries = used if used else (1 << bits if bits <= 8 else 0)
    table_end = table_start + entries * entry
    if pixel_offset is not None:
        table_end = min(table_end, pixel_offset)
    return table_start, min(table_end, file_size)


def rle_escapes(v, start):
    """Hostile RLE escape codes at the start of the pixels."""
    for label, values, what in (
        ("rle-delta-far", b"\x00\x02\xff\xff", "a delta that jumps far outside the picture"),
        ("rle-absolute-long", b"\x00\xff", "an absolute run longer than any row"),
        ("rle-end-at-once", b"\x00\x01", "end of picture before any pixel"),
        ("rle-run-long", b"\xff\x07", "a run of 255 pixels"),
    ):
        v.set_bytes(label, start, values, f"pixels start with {what}")


def mutate_bmp(v):
    data = v.original
    offset = u32le(data, 10)
    v.sort = f"header{u32le(data, 14)}-compression{u32le(data, 30) if u32le(data, 14) > 12 else 0}"
    table_start, table_end = dib_fields(v, 14, len(data), offset)
    v.set_byte("signature", 1, 0x41)
    v.set_byte("pixel-offset-zero", 10, 0x00)
    v.set_bytes("pixel-offset-zero-all", 10, b"\0\0\0\0", "offset of the pixels set to 0")
    v.set_byte("pixel-offset-past-end", 11, 0xFF)
    v.set_byte("pixel-offset-huge", 13, 0x7F)
    v.set_byte("file-size-huge", 5, 0x7F)
    if u32le(data, 14) != 12 and u32le(data, 30) in (1, 2):
        rle_escapes(v, offset)
    v.cut_standard(14 + u32le(data, 14), (table_start, table_end), (offset, len(data)))
    v.cut("file-header", 10)
    huge = struct.pack("<ii", 16385, 32768)
    if u32le(data, 14) >= 40:
        v.set_bytes("declares-16385x32768", 18, huge,
                    "declares 16385 x 32768, cut after the colour table", keep=table_end)
        v.set_bytes("declares-max-size", 18, struct.pack("<ii", 0x7FFFFFFF, 0x7FFFFFFF),
                    "declares 2147483647 x 2147483647")


# --- GIF ----------------------------------------------------------------------------------


def gif_blocks(data):
    """Offsets of interest: (image descriptors, graphic control blocks, extensions)."""
    images, controls, extensions = [], [], []
    pos = 13
    if data[10] & 0x80:
        pos += 3 << ((data[10] & 7) + 1)
    while pos < len(data):
        kind = data[pos]
        if kind == 0x21 and pos + 2 < len(data):
            (controls if data[pos + 1] == 0xF9 else extensions).append(pos)
            pos += 2
        elif kind == 0x2C and pos + 10 <= len(data):
            images.append(pos)
            packed = data[pos + 9]
            pos += 10
            if packed & 0x80:
                pos += 3 << ((packed & 7) + 1)
            pos += 1  # LZW minimum code size
        else:
            break
        while pos < len(data) and data[pos] != 0:  # sub-blocks
            pos += data[pos] + 1
        pos += 1
    return images, controls, extensions


def mutate_gif(v):
    data = v.original
    images, controls, extensions = gif_blocks(data)
    table_end = 13 + (3 << ((data[10] & 7) + 1) if data[10] & 0x80 else 0)
    v.set_byte("version", 4, 0x30)
    v.set_byte("screen-width-large", 7, 0x10)
    v.set_byte("screen-height-large", 9, 0x10)
    v.set_bytes("screen-width-zero", 6, b"\0\0", "logical screen width 0")
    v.set_byte("global-table-256", 10, data[10] | 0x87)
    v.set_byte("global-table-none", 10, data[10] & 0x7F)
    v.set_byte("background-index", 11, 0xFF)
    if images:
        image = images[0]
        v.set_byte("image-left-far", image + 2, 0x10)
        v.set_byte("image-top-far", image + 4, 0x10)
        v.set_byte("image-width-huge", image + 6, 0xFF)
        v.set_byte("image-height-huge", image + 8, 0xFF)
        v.set_bytes("image-width-zero", image + 5, b"\0\0", "first image width 0")
        v.set_byte("local-table-256", image + 9, data[image + 9] | 0x87)
        v.set_byte("interlace-toggled", image + 9, data[image + 9] ^ 0x40)
        code_size = image + 10
        if data[image + 9] & 0x80:
            code_size += 3 << ((data[image + 9] & 7) + 1)
        for size in (0x00, 0x01, 0x0C, 0x0D, 0xFF):
            v.set_byte("lzw-code-size", code_size, size)
        v.set_byte("first-sub-block-long", code_size + 1, 0xFF)
        v.set_byte("first-sub-block-end", code_size + 1, 0x00)
        v.set_byte("lzw-data", code_size + 2, 0xFF)
        v.set_byte("image-separator", image, 0x00)
        v.cut("image-descriptor", image + 5)
        v.cut("lzw-code-size", code_size + 1)
        v.cut_standard(13, (13, table_end), (code_size + 1, len(data)))
        v.set_bytes("declares-65535x65535", 6, b"\xff\xff\xff\xff",
                    "logical screen 65535 x 65535, cut after the first image's code size",
                    keep=code_size + 1)
    else:
        v.cut_standard(13, (13, table_end), None)
    if controls:
        control = controls[0]
        v.set_byte("control-block-size", control + 2, 0xFF)
        v.set_byte("transparent-index", control + 6, 0xFF)
    if extensions:
        v.set_byte("extension-size", extensions[0] + 2, 0xFF)
    v.set_byte("trailer", len(data) - 1, 0x00)


# --- JPEG ---------------------------------------------------------------------------------


def jpeg_segments(data):
    """(marker, offset of the FF) for every segment up to the first scan's data, and the
    offset where that data starts."""
    segments, pos = [], 2
    while pos + 4 <= len(data) and data[pos] == 0xFF:
        marker = data[pos + 1]
        if marker == 0xFF:
            pos += 1
            continue
        length = u16be(data, pos + 2)
        segments.append((marker, pos))
        pos += 2 + length
        if marker == 0xDA:
            return segments, pos
    return segments, pos


def mutate_jpeg(v):
    data = v.original
    segments, scan_data = jpeg_segments(data)
    first = {}
    for marker, pos in segments:
        first.setdefault(marker, pos)
    v.set_byte("start-marker", 1, 0xD9)
    frame = next((pos for marker, pos in segments
                  if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC)), None)
    if frame is not None:
        v.sort = f"frame{data[frame + 1]:02x}-components{data[frame + 9]}"
    if frame is not None:
        v.set_byte("frame-length", frame + 2, 0xFF)
        v.set_byte("frame-length-short", frame + 3, 0x04)
        for precision in (0x00, 0x0C, 0x10):
            v.set_byte("precision", frame + 4, precision)
        v.set_byte("height-large", frame + 5, 0x10)
        v.set_bytes("height-zero", frame + 5, b"\0\0", "frame height 0")
        v.set_byte("width-large", frame + 7, 0x10)
        v.set_bytes("width-zero", frame + 7, b"\0\0", "frame width 0")
        for count in (0x00, 0x02, 0x05, 0xFF):
            v.set_byte("component-count", frame + 9, count)
        v.set_byte("sampling-zero", frame + 11, 0x00)
        v.set_byte("sampling-max", frame + 11, 0xFF)
        v.set_byte("quant-table-index", frame + 12, 0x03)
        v.set_byte("frame-type", frame + 1, 0xC3)
        v.set_bytes("declares-65535x65535", frame + 5, b"\xff\xff\xff\xff",
                    "frame declares 65535 x 65535, cut after the scan header", keep=scan_data)
        v.cut("frame", frame + 8)
    if 0xDB in first:
        table = first[0xDB]
        v.set_byte("quant-table-id", table + 4, 0x1F)
        v.set_byte("quant-length-huge", table + 2, 0xFF)
        v.cut("quant-table", table + 30)
    if 0xC4 in first:
        table = first[0xC4]
        v.set_byte("huffman-class", table + 4, 0x25)
        v.set_byte("huffman-count-huge", table + 5 + 8, 0xFF)
        v.set_byte("huffman-length-short", table + 3, 0x05)
        v.cut("huffman-table", table + 12)
    if 0xDA in first:
        scan = first[0xDA]
        v.set_byte("scan-components-zero", scan + 4, 0x00)
        v.set_byte("scan-components-many", scan + 4, 0x05)
        v.set_byte("scan-component-id", scan + 5, 0x09)
        v.set_byte("scan-tables", scan + 6, 0xFF)
        v.set_byte("scan-band-end", scan_data - 2, 0xFF)
        v.set_byte("scan-approximation", scan_data - 1, 0xFF)
    for marker, pos in segments:
        if marker == 0xE0 and data[pos + 4:pos + 9] == b"JFIF\0":
            v.set_byte("density-units", pos + 11, 0x05)
            v.set_bytes("density-zero", pos + 12, b"\0\0\0\0", "JFIF density 0 x 0")
        if marker == 0xE1 and data[pos + 4:pos + 10] == b"Exif\0\0":
            tiff = pos + 10
            v.set_byte("exif-byte-order", tiff, 0x58)
            v.set_byte("exif-ifd-offset", tiff + 7 if data[tiff] == 0x4D else tiff + 4, 0xFF)
            count_at = tiff + u32le(data, tiff + 4) if data[tiff] == 0x49 else \
                tiff + u32be(data, tiff + 4)
            v.set_byte("exif-entry-count", count_at + (1 if data[tiff] == 0x49 else 0), 0xFF)
            v.set_byte("exif-entry-offset",
                       count_at + 2 + 8 + (3 if data[tiff] == 0x49 else 0), 0x7F)
    if scan_data < len(data):
        middle = (scan_data + len(data)) // 2
        v.set_byte("scan-data-marker", middle, 0xFF)
        v.set_bytes("scan-data-restart", middle, b"\xff\xd3", "a stray restart marker in the data")
        v.set_bytes("scan-data-end", middle, b"\xff\xd9", "an end-of-image marker in the data")
    header_end = segments[1][1] if len(segments) > 1 else 20
    v.cut_standard(header_end, None, (scan_data, len(data)))
    v.cut("no-end-marker", len(data) - 2)
    v.cut("scan-header", scan_data - 3)


# --- PNG ----------------------------------------------------------------------------------


def png_chunks(data):
    """(type, offset of the length field, data length) for every chunk."""
    chunks, pos = [], 8
    while pos + 12 <= len(data):
        length = u32be(data, pos)
        chunks.append((data[pos + 4:pos + 8], pos, length))
        pos += 12 + length
    return chunks


def png_chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + \
        struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)


def png_fix_crcs(data):
    """Recomputes every chunk's checksum, so that a changed field is read, not refused for
    its checksum."""
    data = bytearray(data)
    for kind, pos, length in png_chunks(data):
        end = pos + 8 + length
        if end + 4 <= len(data):
            data[end:end + 4] = struct.pack(">I", zlib.crc32(bytes(data[pos + 4:end])) & 0xFFFFFFFF)
    return data


def png_rebuild(chunks):
    return b"\x89PNG\r\n\x1a\n" + b"".join(png_chunk(kind, body) for kind, body in chunks)


def png_structure_variants(v, data, prefix=""):
    """Whole chunks removed, repeated or resized, with valid checksums."""
    chunks = [(kind, data[pos + 8:pos + 8 + length]) for kind, pos, length in png_chunks(data)]
    kinds = [kind for kind, _ in chunks]

    def rebuilt(label, new_chunks, what):
        v.add(prefix + label, png_rebuild(new_chunks), what)

    if b"PLTE" in kinds:
        i = kinds.index(b"PLTE")
        palette = chunks[i][1]
        rebuilt("palette-one-entry", chunks[:i] + [(b"PLTE", palette[:3])] + chunks[i + 1:],
                "palette cut to one entry, checksum valid")
        rebuilt("palette-257-entries",
                chunks[:i] + [(b"PLTE", (palette * 257)[:771])] + chunks[i + 1:],
                "palette of 257 entries")
        rebuilt("palette-length-not-multiple-of-3",
                chunks[:i] + [(b"PLTE", palette[:-1])] + chunks[i + 1:],
                "palette length not a multiple of 3")
        rebuilt("palette-missing", chunks[:i] + chunks[i + 1:], "palette chunk removed")
        if b"tRNS" in kinds:
            j = kinds.index(b"tRNS")
            rebuilt("transparency-longer-than-palette",
                    chunks[:j] + [(b"tRNS", b"\x80" * (len(palette) // 3 + 1))] + chunks[j + 1:],
                    "more transparency entries than palette entries")
    elif b"tRNS" in kinds:
        j = kinds.index(b"tRNS")
        rebuilt("transparency-wrong-length", chunks[:j] + [(b"tRNS", b"\x01")] + chunks[j + 1:],
                "transparency chunk of the wrong length for its colour type")
    idats = [i for i, kind in enumerate(kinds) if kind == b"IDAT"]
    if idats:
        first = idats[0]
        stream = b"".join(chunks[i][1] for i in idats)
        rest = [c for c in chunks if c[0] != b"IDAT"]
        at = first
        rebuilt("pixels-missing", rest, "every pixel data chunk removed")
        rebuilt("pixels-stream-cut", rest[:at] + [(b"IDAT", stream[:len(stream) // 2])] + rest[at:],
                "compressed pixels cut in half, checksums valid")
        rebuilt("pixels-stream-empty", rest[:at] + [(b"IDAT", b"")] + rest[at:],
                "one empty pixel data chunk")
        bad_header = bytes([stream[0], stream[1] ^ 0x01]) + stream[2:]
        rebuilt("pixels-zlib-header", rest[:at] + [(b"IDAT", bad_header)] + rest[at:],
                "zlib header check bits wrong")
        too_much = zlib.compress(zlib.decompress(stream) * 3)
        rebuilt("pixels-too-much", rest[:at] + [(b"IDAT", too_much)] + rest[at:],
                "three times as much pixel data as the size needs")
        rebuilt("header-twice", chunks[:1] + chunks, "the header chunk twice")
        rebuilt("end-missing", [c for c in chunks if c[0] != b"IEND"], "no end chunk")
        rebuilt("unknown-critical-chunk", chunks[:1] + [(b"ABCD", b"xyz")] + chunks[1:],
                "an unknown critical chunk")


def mutate_png(v, data=None, base=0, prefix=""):
    """PNG files, and PNG images inside icons at `base`."""
    whole = v.original
    png = whole[base:] if data is None else data

    def fix(buffer):
        end = base + len(png)
        return buffer[:base] + png_fix_crcs(buffer[base:end]) + buffer[end:]

    ihdr = base + 8
    if base == 0 and len(png) > 29:
        v.sort = f"colour{png[25]}-interlace{png[28]}"
    v.set_byte(prefix + "width-huge", ihdr + 8, 0x7F, fixup=fix)
    v.set_byte(prefix + "height-huge", ihdr + 12, 0x7F, fixup=fix)
    v.set_bytes(prefix + "width-zero", ihdr + 8, b"\0\0\0\0", "width 0", fixup=fix)
    for depth in (0x00, 0x03, 0x10, 0x20):
        v.set_byte(prefix + "bit-depth", ihdr + 16, depth, fixup=fix)
    for colour in (0x01, 0x02, 0x03, 0x04, 0x07):
        v.set_byte(prefix + "colour-type", ihdr + 17, colour, fixup=fix)
    v.set_byte(prefix + "compression-method", ihdr + 18, 0x01, fixup=fix)
    v.set_byte(prefix + "filter-method", ihdr + 19, 0x01, fixup=fix)
    v.set_byte(prefix + "interlace", ihdr + 20, 0x02, fixup=fix)
    v.set_byte(prefix + "interlace-toggled", ihdr + 20, whole[ihdr + 20] ^ 1
               if ihdr + 20 < len(whole) else 0, fixup=fix)
    v.set_byte(prefix + "header-checksum", ihdr + 21, whole[ihdr + 21] ^ 0xFF
               if ihdr + 21 < len(whole) else 0)
    v.set_byte(prefix + "header-length", ihdr + 3, 0x0E)
    v.set_byte(prefix + "signature", base + 1, 0x51)
    chunks = png_chunks(png)
    for kind, pos, length in chunks:
        if kind == b"IDAT":
            v.set_byte(prefix + "pixels-length-huge", base + pos, 0x7F)
            v.set_bytes(prefix + "pixels-length-zero", base + pos, b"\0\0\0\0",
                        "first pixel data chunk's length 0")
            v.set_byte(prefix + "pixels-data", base + pos + 8 + length // 2,
                       png[pos + 8 + length // 2] ^ 0x55, fixup=fix)
            v.cut(prefix + "pixels", base + pos + 8 + length // 2)
            v.cut(prefix + "pixels-length", base + pos + 2)
            break
    for kind, pos, length in chunks:
        if kind in (b"PLTE", b"tRNS"):
            v.set_byte(prefix + kind.decode().lower() + "-length", base + pos + 3,
                       (length + 3) & 0xFF)
            v.cut(prefix + kind.decode().lower(), base + pos + 8 + length // 2)
    v.set_bytes(prefix + "declares-16385x32768", ihdr + 8, struct.pack(">II", 16385, 32768),
                "declares 16385 x 32768, checksum valid", fixup=fix)
    v.set_bytes(prefix + "declares-max-size", ihdr + 8, struct.pack(">II", 0x7FFFFFFF, 0x7FFFFFFF),
                "declares 2147483647 x 2147483647, checksum valid", fixup=fix)
    v.cut(prefix + "signature", base + 4)
    v.cut(prefix + "header", ihdr + 14)
    if base == 0:
        png_structure_variants(v, png, prefix)
        end = next((pos for kind, pos, _ in chunks if kind == b"IEND"), len(png))
        v.cut("before-end-chunk", end)
        v.cut("last-byte", len(png) - 1)
    else:
        v.cut(prefix + "last-byte", len(whole) - 1)


# --- TIFF ---------------------------------------------------------------------------------


TYPE_SIZES = {1: 1, 2: 1, 3: 2, 4: 4, 5: 8, 6: 1, 7: 1, 8: 2, 9: 4, 10: 8, 11: 4, 12: 8, 16: 8}


def mutate_tiff(v):
    data = v.original
    little = data[:2] == b"II"
    u16 = u16le if little else u16be
    u32 = u32le if little else u32be
    order = "<" if little else ">"

    def most_significant(offset, width):
        return offset + width - 1 if little else offset

    def least_significant(offset, width):
        return offset if little else offset + width - 1

    ifd = u32(data, 4)
    v.set_byte("byte-order", 0, 0x58)
    v.set_byte("magic-big", least_significant(2, 2), 43)
    v.set_byte("ifd-offset-huge", most_significant(4, 4), 0x7F)
    v.set_bytes("ifd-offset-zero", 4, b"\0\0\0\0", "first directory offset 0")
    v.set_bytes("ifd-offset-odd", 4, struct.pack(order + "I", 1), "first directory offset 1")
    if ifd + 2 > len(data):
        v.cut_standard(8)
        return
    count = u16(data, ifd)
    v.set_byte("entry-count-huge", most_significant(ifd, 2), 0xFF)
    v.set_bytes("entry-count-zero", ifd, b"\0\0", "directory with no entries")
    v.set_bytes("entry-count-plus-one", ifd, struct.pack(order + "H", count + 1),
                "one entry more than the directory holds")
    next_at = ifd + 2 + 12 * count
    v.set_bytes("ifd-loop", next_at, struct.pack(order + "I", ifd),
                "the next directory is the first one again")
    second = u32(data, next_at)
    if second and second + 2 <= len(data):
        second_next = second + 2 + 12 * u16(data, second)
        v.set_bytes("ifd-loop-second", second_next, struct.pack(order + "I", ifd),
                    "the second directory points back to the first")
    entries = {}
    for i in range(count):
        entry = ifd + 2 + 12 * i
        if entry + 12 > len(data):
            break
        tag, kind, n = u16(data, entry), u16(data, entry + 2), u32(data, entry + 4)
        size = TYPE_SIZES.get(kind, 1)
        inline = size * n <= 4
        value_at = entry + 8 if inline else u32(data, entry + 8)
        entries[tag] = (entry, kind, n, value_at, size, inline)

    def change(name, tag, values, at_index=0):
        if tag not in entries:
            return
        entry, kind, n, value_at, size, _ = entries[tag]
        where = value_at + at_index * size
        for label, value in values:
            if label == "high":
                v.set_byte(f"{name}-huge", most_significant(where, size), value)
            else:
                v.set_byte(f"{name}-{label}", least_significant(where, size), value)

    if 259 in entries:
        v.sort = f"compression{u16(data, entries[259][3])}"
    change("width", 256, [("high", 0x7F), ("low", 0x00)])
    change("length", 257, [("high", 0x7F), ("low", 0x00)])
    change("bits-per-sample", 258, [("low", 0x00), ("low", 0x03), ("low", 0x40), ("low", 0xFF)])
    change("compression", 259, [("low", 0x02), ("low", 0x05), ("low", 0x07), ("low", 0x08),
                                ("low", 0xFF)])
    change("photometric", 262, [("low", 0x03), ("low", 0x05), ("low", 0x06), ("low", 0x08),
                                ("low", 0x09)])
    change("strip-offset", 273, [("high", 0x7F)])
    change("samples-per-pixel", 277, [("low", 0x00), ("low", 0xFF)])
    change("rows-per-strip", 278, [("low", 0x00)])
    change("strip-byte-count", 279, [("high", 0x7F), ("low", 0x00)])
    change("planar", 284, [("low", 0x02), ("low", 0x03)])
    change("tile-width", 322, [("low", 0x00), ("low", 0x07)])
    change("tile-offset", 324, [("high", 0x7F)])
    change("tile-byte-count", 325, [("high", 0x7F)])
    change("extra-samples", 338, [("low", 0x05)])
    change("subsampling", 530, [("low", 0x03)])
    # The arrays: their counts and where their values are.
    arrays = [(tag, name) for tag, name in ((273, "strip-offsets"), (279, "strip-byte-counts"),
                                            (320, "colour-map"), (258, "bits-per-sample"),
                                            (324, "tile-offsets"), (325, "tile-byte-counts"))
              if tag in entries]
    for tag, name in arrays:
        entry, _, n, _, _, inline = entries[tag]
        changes = [("count-huge", most_significant(entry + 4, 4), 0x7F),
                   ("count-small", least_significant(entry + 4, 4), (n // 3 if n > 2 else 0) & 0xFF),
                   ("type", least_significant(entry + 2, 2), 0x0D)]
        if not inline:
            changes.append(("offset-huge", most_significant(entry + 8, 4), 0x7F))
        for label, offset, value in changes:
            v.set_byte(f"{name}-{label}", offset, value)
    if 256 in entries and 257 in entries:
        huge = bytearray(data)
        for tag in (256, 257):
            entry = entries[tag][0]
            huge[entry + 2:entry + 12] = struct.pack(order + "HII", 4, 1, 0x7FFFFFFF)
        v.add("declares-max-size", huge, "width and length 2147483647")
        for tag, value in ((256, 16385), (257, 32768)):
            entry = entries[tag][0]
            huge[entry + 2:entry + 12] = struct.pack(order + "HII", 4, 1, value)
        v.add("declares-16385x32768", huge, "width 16385, length 32768")
    strips = []
    if 273 in entries and 279 in entries:
        _, kind, n, value_at, size, _ = entries[273]
        first = u16(data, value_at) if size == 2 else u32(data, value_at)
        _, kind2, n2, value_at2, size2, _ = entries[279]
        length = u16(data, value_at2) if size2 == 2 else u32(data, value_at2)
        strips = [first, first + length]
    v.cut_standard(8, None, tuple(strips) if strips else None)
    v.cut("directory", ifd + 2 + 12 * (count // 2) + 5)
    v.cut("directory-count", ifd + 1)
    v.cut("directory-end", next_at + 2)


# --- WebP ---------------------------------------------------------------------------------


def webp_chunks(data, start=12, end=None):
    """(fourcc, offset of the header, data length) for every chunk, and inside ANMF frames."""
    end = len(data) if end is None else end
    chunks, pos = [], start
    while pos + 8 <= end:
        kind, length = data[pos:pos + 4], u32le(data, pos + 4)
        chunks.append((kind, pos, length))
        if kind == b"ANMF":
            chunks += webp_chunks(data, pos + 8 + 16, min(pos + 8 + length, end))
        pos += 8 + length + (length & 1)
    return chunks


def mutate_webp(v):
    data = v.original
    v.set_byte("riff-size-huge", 7, 0x7F)
    v.set_bytes("riff-size-tiny", 4, b"\x04\0\0\0", "RIFF size 4")
    v.set_byte("riff-size-odd", 4, data[4] ^ 1)
    v.set_byte("form-type", 8, 0x58)
    seen = set()
    v.sort = data[12:16].decode("latin-1").strip()
    for kind, pos, length in webp_chunks(data):
        if kind in seen:  # the first chunk of each kind (the first animation frame)
            continue
        seen.add(kind)
        name = kind.decode("latin-1").strip().lower()
        body = pos + 8
        v.set_byte(f"{name}-size-huge", pos + 7, 0x7F)
        v.set_byte(f"{name}-size-larger", pos + 4, (data[pos + 4] + 2) & 0xFF)
        v.cut(name, body + length // 2)
        v.cut(f"{name}-header", pos + 6)
        if kind == b"VP8X":
            v.set_byte("canvas-flags", body, 0xFF)
            v.set_byte("canvas-width-large", body + 5, 0x10)
            v.set_byte("canvas-height-large", body + 8, 0x10)
            v.set_bytes("declares-16777216x16777216", body + 4, b"\xff" * 6,
                        "canvas 16777216 x 16777216, cut after the canvas chunk", keep=body + 10)
        elif kind == b"VP8 ":
            v.set_byte("vp8-key-frame", body, data[body] | 1)
            v.set_byte("vp8-start-code", body + 3, 0x00)
            v.set_byte("vp8-width-huge", body + 7, 0x3F)
            v.set_byte("vp8-height-huge", body + 9, 0x3F)
            v.set_bytes("vp8-width-zero", body + 6, b"\0\0", "VP8 width 0")
            v.set_byte("vp8-first-partition-huge", body + 2, 0xFF)
            v.set_byte("vp8-data", body + 10 + (length - 10) // 2, 0xFF)
        elif kind == b"VP8L":
            v.set_byte("vp8l-signature", body, 0x00)
            v.set_byte("vp8l-width-huge", body + 2, data[body + 2] | 0x3F)
            v.set_byte("vp8l-version", body + 4, data[body + 4] | 0xE0)
            v.set_byte("vp8l-data", body + 5 + (length - 5) // 2, 0xFF)
        elif kind == b"ANMF":
            v.set_byte("frame-x-far", body + 2, 0xFF)
            v.set_byte("frame-width-huge", body + 8, 0xFF)
            v.set_byte("frame-height-huge", body + 11, 0xFF)
        elif kind == b"ANIM":
            v.set_byte("loop-count", body + 5, 0xFF)
        elif kind == b"ALPH":
            v.set_byte("alpha-method", body, 0xFF)
            v.set_byte("alpha-data", body + 1 + (length - 1) // 2, 0xFF)
    v.cut_standard(12, None, (20, len(data)))


# --- Icons and cursors --------------------------------------------------------------------


def icon_entries(data):
    """(offset of the entry, image offset, image size, pixels, bit count) per directory entry."""
    entries = []
    for i in range(u16le(data, 4)):
        entry = 6 + 16 * i
        if entry + 16 > len(data):
            break
        width, height = data[entry] or 256, data[entry + 1] or 256
        entries.append((entry, u32le(data, entry + 12), u32le(data, entry + 8), width * height,
                        u16le(data, entry + 6)))
    return entries


def mutate_icon(v):
    data = v.original
    count = u16le(data, 4)
    v.set_byte("reserved", 0, 0x01)
    v.set_byte("type", 2, 0x03)
    v.set_byte("type-zero", 2, 0x00)
    v.set_byte("count-huge", 5, 0xFF)
    v.set_bytes("count-zero", 4, b"\0\0", "no entries")
    v.set_bytes("count-plus-one", 4, struct.pack("<H", count + 1), "one entry more than stored")
    v.cut_standard(6 + 16 * count, None, None)
    v.cut("directory", 6 + 8)
    entries = icon_entries(data)
    if not entries:
        return
    # The entry a viewer shows (largest, then deepest) is the one the decoders read.
    entry, offset, size, _, _ = max(entries, key=lambda e: (e[3], e[4], -e[0]))
    for other in entries:
        if other[0] != entry:
            v.set_byte(f"other-entry{(other[0] - 6) // 16}-offset-huge", other[0] + 15, 0x7F)
    v.set_byte("chosen-width", entry, 0x00)
    v.set_byte("chosen-height", entry + 1, 0x00)
    v.set_byte("chosen-colours", entry + 2, 0x02)
    v.set_byte("chosen-entry-bit-count", entry + 6, 0x40)
    v.set_byte("chosen-size-huge", entry + 11, 0x7F)
    v.set_bytes("chosen-size-zero", entry + 8, b"\0\0\0\0", "chosen entry: image size 0")
    v.set_byte("chosen-size-short", entry + 8, (size // 2) & 0xFF)
    v.set_byte("chosen-offset-huge", entry + 15, 0x7F)
    v.set_bytes("chosen-offset-directory", entry + 12, struct.pack("<I", 6),
                "chosen entry: image at the directory")
    v.set_bytes("chosen-offset-end", entry + 12, struct.pack("<I", len(data) - 4),
                "chosen entry: image four bytes before the end")
    if offset + 8 > len(data):
        return
    if data[offset:offset + 8] == b"\x89PNG\r\n\x1a\n":
        v.sort = "png"
        mutate_png(v, data[offset:offset + size], offset, "chosen-png-")
        return
    v.sort = f"header{u32le(data, offset)}-bits{u16le(data, offset + 14)}"
    sub = Variants(data)
    table_start, table_end = dib_fields(sub, offset, len(data))
    for label, changed, what in sub.items:
        v.add(f"chosen-{label}", changed, f"chosen image: {what}")
    end = min(offset + size, len(data))
    v.cut("chosen-header", offset + 20)
    v.cut("chosen-table", (table_start + table_end) // 2)
    v.cut("chosen-pixels", (table_end + end) // 2)
    v.cut("chosen-mask", end - 2)


# --- Metafiles ----------------------------------------------------------------------------


def mutate_metafile(v):
    data = v.original
    if data[:4] == b"\xd7\xcd\xc6\x9a":
        v.sort = "placeable"
        v.set_byte("key", 0, 0x00)
        v.set_byte("bounds-left-huge", 7, 0x7F)
        v.set_byte("bounds-right-negative", 11, 0x80)
        v.set_bytes("bounds-empty", 6, b"\0" * 8, "bounding box all 0")
        v.set_bytes("units-per-inch-zero", 14, b"\0\0", "0 units per inch")
        v.set_byte("units-per-inch-huge", 15, 0xFF)
        v.set_byte("checksum", 20, data[20] ^ 0xFF)
        v.set_byte("metafile-header-size", 24, 0xFF)
        v.set_byte("metafile-size-huge", 29, 0x7F)
        v.cut_standard(22, None, (22, len(data)))
    elif u32le(data, 0) == 1:
        v.sort = "enhanced"
        v.set_byte("record-type", 0, 0x02)
        v.set_byte("record-size-huge", 7, 0x7F)
        v.set_byte("record-size-tiny", 4, 0x08)
        v.set_byte("bounds-negative", 19, 0x80)
        v.set_byte("frame-huge", 35, 0x7F)
        v.set_byte("signature", 40, 0x00)
        v.set_byte("version", 46, 0x00)
        v.set_byte("bytes-huge", 51, 0x7F)
        v.set_byte("bytes-tiny", 48, 0x08)
        v.set_byte("records-huge", 55, 0x7F)
        v.set_byte("description-length-huge", 63, 0x7F)
        v.set_byte("description-offset-huge", 67, 0x7F)
        v.set_byte("description-offset-inside", 64, 0x04)
        v.set_byte("palette-entries-huge", 71, 0xFF)
        v.set_byte("device-width-zero", 72, 0x00)
        v.set_byte("millimetres-negative", 83, 0x80)
        v.cut_standard(88, None, None)
        v.cut("signature", 42)
        v.cut("description", 80)
    else:
        v.cut_standard(len(data))


# --- Netpbm, QOI and TGA: every change below must be refused -------------------------------


def pnm_header(data):
    """(magic, [(start, end) of each header number], raster start) of P1-P6, or None."""
    if len(data) < 3 or data[0:1] != b"P" or data[1:2] not in b"123456":
        return None
    count = 2 if data[1:2] in b"14" else 3
    fields, pos = [], 2
    while len(fields) < count and pos < len(data):
        c = data[pos:pos + 1]
        if c == b"#":
            while pos < len(data) and data[pos:pos + 1] not in b"\r\n":
                pos += 1
        elif c.isdigit():
            start = pos
            while pos < len(data) and data[pos:pos + 1].isdigit():
                pos += 1
            fields.append((start, pos))
        else:
            pos += 1
    return data[1:2], fields, pos + 1


def replace_span(data, span, text):
    return data[:span[0]] + text + data[span[1]:]


def mutate_pnm(v):
    data = v.original
    if data[:3] == b"P7\n":
        v.sort = "pam"
        end = data.index(b"ENDHDR\n") + 7
        v.add("no-endhdr", data.replace(b"ENDHDR\n", b""), "PAM header without ENDHDR")
        v.add("maxval-zero", data.replace(b"MAXVAL 255\n", b"MAXVAL 0\n")
              .replace(b"MAXVAL 65535\n", b"MAXVAL 0\n"), "MAXVAL 0")
        v.add("tupltype-unknown", data.replace(b"TUPLTYPE ", b"TUPLTYPE X"), "unknown tuple type")
        header = data[:end]
        for keyword in (b"WIDTH", b"HEIGHT"):
            i = header.index(keyword + b" ")
            j = header.index(b"\n", i)
            v.add(f"declares-{keyword.decode().lower()}-100000",
                  data[:i] + keyword + b" 100000" + data[j:], f"{keyword.decode()} 100000")
        v.cut("header", end // 2)
        v.cut("pixels", (end + len(data)) // 2)
        v.cut("last-byte", len(data) - 1)
        return
    parsed = pnm_header(data)
    if parsed is None:
        return
    magic, fields, raster = parsed
    plain = magic in b"123"
    v.sort = ("plain" if plain else "raw") + magic.decode()
    v.set_byte("magic", 1, ord("8"))
    v.add("width-zero", replace_span(data, fields[0], b"0"), "width 0")
    v.add("declares-100000x100000",
          replace_span(replace_span(data, fields[1], b"100000"), fields[0], b"100000"),
          "width and height 100000")
    v.add("height-doubled",
          replace_span(data, fields[1], str(2 * int(data[fields[1][0]:fields[1][1]])).encode()),
          "height doubled: the raster holds half of it")
    if len(fields) == 3:
        v.add("maxval-zero", replace_span(data, fields[2], b"0"), "maxval 0")
        v.add("maxval-65536", replace_span(data, fields[2], b"65536"), "maxval 65536")
        v.add("maxval-below-samples", replace_span(data, fields[2], b"1"),
              "maxval 1 under larger samples")
    v.cut("header", fields[-1][0])
    v.cut("pixels", (raster + len(data)) // 2)
    if plain:
        end = len(data.rstrip())
        while end > 0 and data[end - 1:end].isdigit():
            end -= 1
        v.cut("last-sample", end, f"cut before the last sample, to {end} of {len(data)} bytes")
    else:
        # The last byte of the first picture's raster: a file may hold more pictures.
        width, height = (int(data[a:b]) for a, b in fields[:2])
        maxval = int(data[fields[2][0]:fields[2][1]]) if len(fields) == 3 else 1
        samples = {b"4": 0, b"5": 1, b"6": 3}[magic] * (2 if maxval > 255 else 1)
        row = (width + 7) // 8 if magic == b"4" else width * samples
        v.cut("last-byte", raster + row * height - 1)


def mutate_qoi(v):
    data = v.original
    v.sort = f"channels{data[12]}"
    v.set_byte("channels", 12, 0x05)
    v.set_byte("colour-space", 13, 0x02)
    v.set_bytes("width-zero", 4, b"\0\0\0\0", "width 0")
    v.set_bytes("declares-100000x100000", 4, struct.pack(">II", 100000, 100000),
                "width and height 100000")
    v.set_bytes("height-doubled", 8, struct.pack(">I", 2 * u32be(data, 8)),
                "height doubled: the chunks stand for half of it")
    v.set_byte("end-marker", len(data) - 1, 0x02)
    v.add("data-after-last-pixel", data[:-8] + b"\xc0" + data[-8:],
          "a run chunk between the last pixel and the end marker")
    v.cut("header", 7)
    v.cut("pixels", (14 + len(data)) // 2)
    v.cut("end-marker", len(data) - 8)
    v.cut("last-byte", len(data) - 1)


def mutate_tga(v):
    data = v.original
    id_length, map_type, image_type = data[0], data[1], data[2]
    entry_bytes = (data[7] + 7) // 8
    map_end = 18 + id_length + (u16le(data, 5) * entry_bytes if map_type == 1 else 0)
    pixel_bytes = (data[16] + 7) // 8
    pixels_end = map_end + u16le(data, 12) * u16le(data, 14) * pixel_bytes
    v.sort = f"type{image_type}-bits{data[16]}"
    v.set_byte("image-type", 2, 0x04)
    v.set_byte("colour-map-type", 1, 0x02)
    v.set_byte("pixel-depth", 16, 12)
    v.set_byte("interleave", 17, data[17] | 0x40)
    v.set_bytes("width-zero", 12, b"\0\0", "width 0")
    v.set_bytes("declares-65535x65535", 12, b"\xff\xff\xff\xff", "width and height 65535")
    v.set_bytes("height-doubled", 14, struct.pack("<H", 2 * u16le(data, 14)),
                "height doubled: the data holds half of it")
    if image_type in (1, 9):
        v.set_bytes("map-first-entry-300", 3, struct.pack("<H", 300),
                    "colour map starts at index 300: every index is below it")
        v.set_bytes("map-length-one", 5, struct.pack("<H", 1), "colour map of one entry")
    v.cut("header", 9)
    if map_end > 18:
        v.cut("table", (18 + map_end) // 2)
    if image_type < 9:
        v.cut("pixels", (map_end + pixels_end) // 2)
        v.cut("last-pixel-byte", pixels_end - 1)
    else:
        v.cut("pixels", (map_end + len(data)) // 2)
        v.cut("last-byte", len(data) - 1)


# --- HEIF, AVIF and JPEG XL -----------------------------------------------------------------


def bmff_boxes(data, start=0, end=None, depth=0):
    """(type, offset, size) of every box, and of the boxes inside meta, iprp, ipco, iref and
    dinf (meta and iref have a version and flags before their children)."""
    end = len(data) if end is None else end
    boxes, pos = [], start
    while pos + 8 <= end:
        size, kind = u32be(data, pos), data[pos + 4:pos + 8]
        if size < 8 or pos + size > end:
            break
        boxes.append((kind, pos, size))
        if depth < 3 and kind in (b"meta", b"iprp", b"ipco", b"dinf", b"iref"):
            skip = 12 if kind in (b"meta", b"iref") else 8
            boxes += bmff_boxes(data, pos + skip, pos + size, depth + 1)
        pos += size
    return boxes


# The grid description of a 2 x 2 grid of 128 x 128 pixels (version 0, flags 0, rows - 1,
# columns - 1, 16-bit width and height), as the grid fixture holds it.
GRID_2X2_128 = bytes([0, 0, 1, 1, 0, 128, 0, 128])


def mutate_heif(v):
    data = v.original
    boxes = bmff_boxes(data)
    first = {}
    for kind, pos, size in boxes:
        first.setdefault(kind, (pos, size))
    grid = data.find(GRID_2X2_128)
    v.sort = data[8:12].decode("latin-1") + ("-grid" if grid >= 0 else "")
    for kind, (pos, size) in first.items():
        name = kind.decode("latin-1").strip().lower()
        v.set_byte(f"{name}-size-huge", pos, 0x7F)
        v.set_bytes(f"{name}-size-small", pos, struct.pack(">I", 8), f"{name} box size 8")
    if b"ispe" in first:
        pos = first[b"ispe"][0] + 12
        v.set_bytes("declares-4294967295x4294967295", pos, b"\xff" * 8, "ispe 2^32-1 x 2^32-1")
        v.set_bytes("declares-60000x60000", pos, struct.pack(">II", 60000, 60000),
                    "ispe 60000 x 60000, within the library's side limit")
        v.set_bytes("ispe-zero", pos, b"\0" * 8, "ispe 0 x 0")
        v.set_bytes("ispe-large", pos, struct.pack(">II", 3000, 2000), "ispe 3000 x 2000")
    if b"pitm" in first:
        v.set_bytes("primary-item-missing", first[b"pitm"][0] + 12, b"\x7f\x7f",
                    "primary item ID of no item")
    for config in (b"hvcC", b"av1C"):
        if config in first:
            v.set_byte(f"{config.decode().lower()}-first-byte", first[config][0] + 8, 0x00)
    if b"mdat" in first:
        pos, size = first[b"mdat"]
        v.set_byte("mdat-data", pos + 8 + (size - 8) // 2, 0xFF)
        v.set_byte("mdat-start", pos + 8, 0xFF)
    if grid >= 0:
        v.set_byte("grid-missing-tile-rows", grid + 2, 2)
        v.set_byte("grid-missing-tile-columns", grid + 3, 3)
        v.set_byte("grid-width-huge", grid + 4, 0xFF)
    if b"meta" in first:
        # A second copy of a box the meta box holds once: libheif reads the first.
        meta_pos, meta_size = first[b"meta"]
        for kind in (b"iinf", b"iloc", b"iref", b"iprp", b"idat"):
            if kind in first:
                pos, size = first[kind]
                twice = bytearray(data[:pos + size] + data[pos:])
                twice[meta_pos:meta_pos + 4] = struct.pack(">I", meta_size + size)
                v.add(f"{kind.decode()}-twice", twice, f"{kind.decode()} box written twice")
    if b"dimg" in first:
        pos = first[b"dimg"][0]
        v.set_bytes("grid-references-two-tiles", pos + 10, b"\0\x02",
                    "the grid's reference count set to 2 (of 1 or 4 tiles)")
        v.set_bytes("grid-tile-of-no-item", pos + 12, b"\x7f\x7f", "a grid tile of no item")
    meta = first.get(b"meta", (0, len(data)))
    mdat = first.get(b"mdat", (len(data), 0))
    v.cut_standard(first.get(b"ftyp", (0, 16))[1] + 8, (meta[0], meta[0] + meta[1]),
                   (mdat[0] + 8, mdat[0] + mdat[1]))


def mutate_jxl(v):
    data = v.original
    container = data.startswith(b"\0\0\0\x0cJXL ")
    start = data.find(b"jxlc") + 4 if container else 0
    v.sort = "container" if container else "codestream"
    if container:
        pos = start - 8
        v.set_byte("jxlc-size-huge", pos, 0x7F)
        v.set_bytes("jxlc-size-small", pos, struct.pack(">I", 9), "jxlc box size 9")
    v.set_bytes("declares-huge-size", start + 2, b"\xfe" + b"\xff" * 8,
                "size header: 2^30 x 2^31, then the header's remaining fields all ones")
    for k in range(2, 6):
        v.set_byte(f"header-byte-{k}", start + k, data[start + k] ^ 0xFF)
    v.set_byte("data", start + (len(data) - start) // 2, data[start + (len(data) - start) // 2] ^ 0x5A)
    v.set_byte("data-late", len(data) - 4, data[len(data) - 4] ^ 0x5A)
    v.cut_standard(start + 12, None, (start + 12, len(data)))


def mutate_any(v):
    """A format without changes of its own here: cut inside the first 16 bytes, at the middle
    and one byte before the end."""
    v.cut_standard(16, pixels=(16, len(v.original)))


MUTATORS = {
    "bmp": mutate_bmp, "gif": mutate_gif, "jpeg": mutate_jpeg, "png": mutate_png,
    "tiff": mutate_tiff, "webp": mutate_webp, "icon": mutate_icon, "metafile": mutate_metafile,
    "pnm": mutate_pnm, "qoi": mutate_qoi, "tga": mutate_tga,
    "heif": mutate_heif, "avif": mutate_heif, "jxl": mutate_jxl,
}

# Files of almost nothing: what every decoder's signature check sees first.
TINY_FILES = [
    ("any-empty.bin", b"", "empty file"),
    *[(f"any-one-byte-{b:02x}.bin", bytes([b]), f"one byte 0x{b:02x}")
      for b in (0x00, 0x01, 0x42, 0x47, 0x49, 0x4D, 0x52, 0x89, 0xD7, 0xFF)],
    ("bmp-signature-only.bmp", b"BM", "BMP signature only"),
    ("bmp-file-header-only.bmp", b"BM" + struct.pack("<IHHI", 54, 0, 0, 54),
     "BMP file header without an info header"),
    ("gif-signature-only.gif", b"GIF89a", "GIF signature only"),
    ("gif-screen-only.gif", b"GIF89a" + struct.pack("<HHBBB", 2, 2, 0, 0, 0),
     "GIF logical screen without any image"),
    ("gif-trailer-only.gif", b"GIF89a" + struct.pack("<HHBBB", 2, 2, 0, 0, 0) + b";",
     "GIF with a trailer and no image"),
    ("jpeg-signature-only.jpg", b"\xff\xd8", "JPEG start marker only"),
    ("jpeg-start-end.jpg", b"\xff\xd8\xff\xd9", "JPEG start and end markers only"),
    ("jpeg-signature-ff.jpg", b"\xff\xd8\xff", "JPEG start marker and one FF"),
    ("png-signature-only.png", b"\x89PNG\r\n\x1a\n", "PNG signature only"),
    ("png-end-only.png", png_rebuild([(b"IEND", b"")]), "PNG with only an end chunk"),
    ("tiff-header-only-le.tif", b"II*\0\x08\0\0\0", "little-endian TIFF header only"),
    ("tiff-header-only-be.tif", b"MM\0*\0\0\0\x08", "big-endian TIFF header only"),
    ("tiff-empty-directory.tif", b"II*\0\x08\0\0\0\0\0\0\0\0\0", "TIFF with an empty directory"),
    ("webp-header-only.webp", b"RIFF\x04\0\0\0WEBP", "WebP RIFF header only"),
    ("webp-empty-vp8.webp", b"RIFF\x0c\0\0\0WEBPVP8 \0\0\0\0", "WebP with an empty VP8 chunk"),
    ("icon-header-only.ico", b"\0\0\x01\0\x01\0", "icon directory header, no entry"),
    ("cursor-header-only.cur", b"\0\0\x02\0\x01\0", "cursor directory header, no entry"),
    ("metafile-key-only.wmf", b"\xd7\xcd\xc6\x9a", "placeable metafile key only"),
    ("metafile-emf-record-only.emf", struct.pack("<II", 1, 8), "EMF header record of 8 bytes"),
    ("pnm-signature-only.ppm", b"P6\n", "PPM magic number only"),
    ("pnm-maxval-zero.pgm", b"P2 1 1 0 0\n", "plain PGM with maxval 0"),
    ("pnm-pam-without-endhdr.pam", b"P7\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 255\n\0",
     "PAM header without ENDHDR"),
    ("qoi-signature-only.qoi", b"qoif", "QOI magic only"),
    ("qoi-run-past-end.qoi", b"qoif" + struct.pack(">IIBB", 1, 1, 3, 0) + b"\xc1" + b"\0" * 7 + b"\1",
     "QOI of one pixel whose run stands for two"),
    ("tga-header-only.tga", struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, 2, 1, 24, 0),
     "TGA header without its pixels"),
    ("tga-rle-past-last-pixel.tga",
     struct.pack("<BBBHHBHHHHBB", 0, 0, 10, 0, 0, 0, 0, 0, 2, 1, 24, 0) + b"\x82\1\2\3",
     "run-length TGA of two pixels whose one packet stands for three"),
    ("tga-map-index-out-of-range.tga",
     struct.pack("<BBBHHBHHHHBB", 0, 1, 1, 0, 2, 24, 0, 0, 2, 1, 8, 0) + b"\1\2\3\4\5\6\1\2",
     "colour-mapped TGA of two entries using index 2"),
    ("heif-ftyp-only.heic", struct.pack(">I", 24) + b"ftypheic\0\0\0\0mif1heic",
     "HEIF file type box only"),
    ("avif-ftyp-only.avif", struct.pack(">I", 24) + b"ftypavif\0\0\0\0avifmif1",
     "AVIF file type box only"),
    ("jxl-signature-only.jxl", b"\xff\x0a", "JPEG XL codestream signature only"),
    ("jxl-container-signature-only.jxl", b"\0\0\0\x0cJXL \r\n\x87\n",
     "JPEG XL container signature box only"),
]


def fixtures(fmt):
    folder = DATA / fmt
    if not folder.is_dir():
        return []
    # Netpbm pictures share their suffixes with the references, which are named *.ref.*.
    return sorted(p for p in folder.iterdir()
                  if p.is_file() and ".ref." not in p.name
                  and (fmt == "pnm" or p.suffix.lower() not in REFERENCE_SUFFIXES))


# Every picture is cut at these points. Any other change is kept for a few pictures of its
# format, of as many different sorts as there are (header types, colour types, compressions),
# which tries it on each kind of layout without repeating it on look-alikes.
ALWAYS_KEPT = {"cut-header", "cut-table", "cut-pixels", "cut-last-byte"}
PICTURES_PER_CHANGE = 2


def spread(members):
    """Up to PICTURES_PER_CHANGE of the variants that made the same change to different
    pictures: pictures of different sorts first, in an order given by a checksum of their
    names, which is the same on every run."""
    members = sorted(members, key=lambda m: zlib.crc32(f"{m[0].name}/{m[1]}".encode()))
    chosen, sorts = [], set()
    for member in members:
        if member[4] not in sorts:
            sorts.add(member[4])
            chosen.append(member)
    chosen += [m for m in members if m not in chosen]
    return chosen[:PICTURES_PER_CHANGE]


def select(fmt):
    """The variants of every picture of the format that are written: (source, label, bytes,
    description)."""
    groups = {}
    chosen = []
    for source in fixtures(fmt):
        variants = Variants(source.read_bytes())
        MUTATORS.get(fmt, mutate_any)(variants)
        for label, data, what in variants.items:
            if label in ALWAYS_KEPT:
                chosen.append((source, label, data, what))
            else:
                groups.setdefault(label, []).append((source, label, data, what, variants.sort))
    for members in groups.values():
        chosen += [member[:4] for member in spread(members)]
    return sorted(chosen, key=lambda m: (m[0].name, m[1]))


def manifests():
    """Every manifest of hostile files: one beside each format's tests for the files named after
    the format, and tests/hostile/MANIFEST.tsv for the rest."""
    return [OUT / "MANIFEST.tsv"] + sorted(CODEC_TESTS.glob("*/*_hostile.tsv"))


def manifest_of(name):
    """The manifest that lists a file: its format's, when the name begins with a format."""
    fmt = name.split("-")[0]
    if fmt in FORMATS and fmt != "metafile":
        return CODEC_TESTS / fmt / f"{fmt}_hostile.tsv"
    return OUT / "MANIFEST.tsv"


def previous_rows():
    """What the manifests said of each file: the notes of the fuzzing reproducers, written by
    hand, and the verdicts, recorded from reviewed runs; keyed by the file's name."""
    rows = {}
    for manifest in manifests():
        if not manifest.is_file():
            continue
        lines = [line for line in manifest.read_text(encoding="utf-8").splitlines()
                 if not line.startswith("#")]
        header = lines[0].split("\t") if lines else []
        for line in lines[1:]:
            rows[line.split("\t")[0]] = dict(zip(header, line.split("\t")))
    return rows


# The formats whose every change here breaks the file: their decoders are ours and strict.
ALWAYS_REFUSED = ("pnm-", "qoi-", "tga-")


def known_verdict(name):
    """What this script knows a file must give: refused, or "-" when only a run can tell."""
    if name.startswith(ALWAYS_REFUSED) or "-declares-" in name:
        return "refused"
    return "-"


FORMAT_MANIFEST_NOTE = """\
# The files of tests/hostile named after this format, as tests/hostile/MANIFEST.tsv describes.
"""

MANIFEST_NOTE = """\
# The hostile files, what each was made from and how, and its verdict: what the program must
# make of it, "converts" or the refusal as the console shows it ("not supported", "load: Error
# N", "bitmap: Error N"). Those named after a format are listed beside its tests, in
# tests/codecs/FORMAT/FORMAT_hostile.tsv; the rest here. tools/make-hostile-corpus.py writes
# the rows; it marks "refused" the files it knows must be (every change to a Netpbm, QOI or TGA
# picture, every size above the limit) and tools/record-hostile-verdicts.py then records the
# program's verdict for those and for the rest, refusing to record a conversion for a file
# that must be refused. The recorded conversions of files cut short or changed were reviewed:
# each is a tolerant decoder's reading. The reason is why the decoders refuse a refused file, a
# text of src/codecs/common/codec_reasons.h as the decode reason tool prints it, recorded by
# tools/record-hostile-verdicts.py and reviewed against what was done to the file; "-" for a
# file that converts or one no decoder reason explains. Columns are found by their names; any
# added after these is kept with its verdict.
"""


def verdict_of(name, made_from, what, previous):
    """The verdict a file keeps, with the columns recorded after it: those recorded before for
    a file made the same way, unless they contradict what this script knows."""
    old = previous.get(name, {})
    recorded = old.get("verdict", "-")
    known = known_verdict(name)
    same = old.get("made from") == made_from and old.get("what was done") == what
    if not same or (known == "refused" and recorded == "converts"):
        return (known,) + tuple("-" for _ in extra_columns(previous))
    return (recorded,) + tuple(old.get(column, "-") for column in extra_columns(previous))


def extra_columns(previous):
    """The columns the manifest had after the verdict, in their order."""
    columns = next(iter(previous.values()), {}).keys()
    return [c for c in columns if c not in ("file", "made from", "what was done", "verdict")]


def main():
    missing = [fmt for fmt in FORMATS if not fixtures(fmt)]
    if missing:
        print("make-hostile-corpus: no test pictures for " + ", ".join(missing), file=sys.stderr)
        return 1
    OUT.mkdir(parents=True, exist_ok=True)
    kept = sorted(p for p in OUT.iterdir() if p.name.startswith("found-"))
    previous = previous_rows()
    for old in OUT.iterdir():
        if old.is_file() and not old.name.startswith("found-"):
            old.unlink()

    rows = []
    for name, data, what in TINY_FILES:
        (OUT / name).write_bytes(data)
        rows.append((name, "-", what))
    for fmt in FORMATS:
        for source, label, data, what in select(fmt):
            name = f"{fmt}-{source.stem}-{label}{source.suffix}"
            (OUT / name).write_bytes(data)
            rows.append((name, f"{fmt}/{source.name}", what))
    for found in kept:
        note = previous.get(found.name, {}).get("what was done")
        rows.append((found.name, "-", note or "a fuzzer's reproducer, kept as found"))

    names = [row[0] for row in rows]
    if len(names) != len(set(names)):
        print("make-hostile-corpus: two variants got the same name", file=sys.stderr)
        return 1
    header = ["file", "made from", "what was done", "verdict"] + extra_columns(previous)
    for old_manifest in manifests():
        old_manifest.unlink(missing_ok=True)
    for row in sorted(rows):
        manifest = manifest_of(row[0])
        if not manifest.is_file():
            note = MANIFEST_NOTE if manifest.parent == OUT else FORMAT_MANIFEST_NOTE
            manifest.write_text(note + "\t".join(header) + "\n", encoding="utf-8")
        with open(manifest, "a", encoding="utf-8", newline="\n") as out:
            out.write("\t".join(row + verdict_of(*row, previous)) + "\n")
    print(f"make-hostile-corpus: {len(rows)} files in {OUT.relative_to(REPO)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
