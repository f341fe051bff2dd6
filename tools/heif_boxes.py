"""Reads and writes the item structure of HEIF and AVIF files (ISOBMFF: 4-byte size + type),
for the scripts that make test pictures and hostile files from coded pictures of ours.

A file is read into a HeifFile: its brands, its items (number, type, data, properties), the
property boxes, the references between items and the primary item. Written back, the structure
is laid out anew: items whose data is the same share one extent of the media data box, so a
grid of thousands of tiles that all hold the same coded picture stays small.
"""

import struct

# Item data is read from the media data box (method 0) or the item data box (method 1).
IN_FILE, IN_IDAT = 0, 1


def box(kind, body):
    return struct.pack(">I", 8 + len(body)) + kind + body


def full_box(kind, version, flags, body):
    return box(kind, struct.pack(">I", version << 24 | flags) + body)


def children(data, start, end):
    """(type, body start, box end) of the boxes between start and end."""
    found, pos = [], start
    while pos + 8 <= end:
        size, kind = struct.unpack(">I4s", data[pos:pos + 8])
        header = 8
        if size == 1:
            size, header = struct.unpack(">Q", data[pos + 8:pos + 16])[0], 16
        elif size == 0:
            size = end - pos
        if size < header or pos + size > end:
            raise ValueError(f"box {kind!r} at {pos} does not fit")
        found.append((kind, pos + header, pos + size))
        pos += size
    return found


def first_child(data, start, end, kind):
    for child, body, child_end in children(data, start, end):
        if child == kind:
            return body, child_end
    raise ValueError(f"no {kind!r} box")


class Item:
    def __init__(self, item_id, kind, data=b"", hidden=False, method=IN_FILE):
        self.id = item_id
        self.kind = kind          # b"av01", b"hvc1", b"grid", b"iovl", ...
        self.data = data
        self.hidden = hidden
        self.method = method
        self.properties = []      # (1-based index into HeifFile.properties, essential)


class HeifFile:
    def __init__(self, major=b"avif", compatible=(b"avif", b"mif1", b"miaf")):
        self.major = major
        self.compatible = list(compatible)
        self.items = []
        self.properties = []      # whole property boxes
        self.references = []      # (type, from, [to, ...])
        self.primary = 1
        self.meta_extra = []      # whole boxes written at the end of the meta box

    def item(self, item_id):
        return next(i for i in self.items if i.id == item_id)

    def add_property(self, prop):
        """The 1-based index of `prop`, added once."""
        if prop in self.properties:
            return self.properties.index(prop) + 1
        self.properties.append(prop)
        return len(self.properties)

    def associate(self, item_id, prop, essential=False, first=False):
        index = self.add_property(prop)
        entry = (index, essential)
        if first:
            self.item(item_id).properties.insert(0, entry)
        else:
            self.item(item_id).properties.append(entry)

    def property_of(self, item_id, kind):
        for index, _ in self.item(item_id).properties:
            if self.properties[index - 1][4:8] == kind:
                return self.properties[index - 1]
        return None

    # --- writing -----------------------------------------------------------------------------

    def to_bytes(self):
        wide_ids = any(i.id > 0xFFFF for i in self.items)
        ftyp = box(b"ftyp", self.major + b"\0\0\0\0" + b"".join(self.compatible))
        hdlr = full_box(b"hdlr", 0, 0, b"\0" * 4 + b"pict" + b"\0" * 12 + b"\0")
        pitm = (full_box(b"pitm", 1, 0, struct.pack(">I", self.primary)) if wide_ids
                else full_box(b"pitm", 0, 0, struct.pack(">H", self.primary)))
        idat_body, file_blobs = b"", []
        where = {}  # (method, data) -> offset within idat, or index of the file blob
        for item in self.items:
            key = (item.method, item.data)
            if key in where:
                continue
            if item.method == IN_IDAT:
                where[key] = len(idat_body)
                idat_body += item.data
            else:
                where[key] = len(file_blobs)
                file_blobs.append(item.data)
        infos = b"".join(self._infe(item, wide_ids) for item in self.items)
        count = len(self.items)
        iinf = (full_box(b"iinf", 0, 0, struct.pack(">H", count) + infos) if count <= 0xFFFF
                else full_box(b"iinf", 1, 0, struct.pack(">I", count) + infos))
        iprp = box(b"iprp", box(b"ipco", b"".join(self.properties)) + self._ipma(wide_ids))
        iref = self._iref(wide_ids)
        idat = box(b"idat", idat_body) if idat_body else b""

        def meta_with(iloc):
            return full_box(b"meta", 0, 0, hdlr + pitm + iloc + iinf + iref + iprp + idat
                            + b"".join(self.meta_extra))

        # The offsets of data in the media data box have a fixed width: lay out once to learn
        # where the box starts, then write the real offsets.
        placeholder = self._iloc(where, [0] * len(file_blobs), wide_ids)
        mdat_start = len(ftyp) + len(meta_with(placeholder))
        offsets, at = [], mdat_start + 8
        for blob in file_blobs:
            offsets.append(at)
            at += len(blob)
        meta = meta_with(self._iloc(where, offsets, wide_ids))
        assert len(ftyp) + len(meta) == mdat_start
        return ftyp + meta + box(b"mdat", b"".join(file_blobs))

    @staticmethod
    def _infe(item, wide_ids):
        if wide_ids:
            head = struct.pack(">IH", item.id, 0)
            return full_box(b"infe", 3, 1 if item.hidden else 0, head + item.kind + b"\0")
        head = struct.pack(">HH", item.id, 0)
        return full_box(b"infe", 2, 1 if item.hidden else 0, head + item.kind + b"\0")

    def _iloc(self, where, offsets, wide_ids):
        version = 2 if wide_ids else 1
        body = struct.pack(">BB", 0x44, 0x00)  # 4-byte offsets and lengths, no base offset
        body += struct.pack(">I" if wide_ids else ">H", len(self.items))
        for item in self.items:
            place = where[(item.method, item.data)]
            offset = place if item.method == IN_IDAT else offsets[place]
            body += struct.pack(">I" if wide_ids else ">H", item.id)
            body += struct.pack(">HHH", item.method, 0, 1)
            body += struct.pack(">II", offset, len(item.data))
        return full_box(b"iloc", version, 0, body)

    def _ipma(self, wide_ids):
        large = len(self.properties) > 127
        with_properties = [i for i in self.items if i.properties]
        body = struct.pack(">I", len(with_properties))
        for item in with_properties:
            body += struct.pack(">I" if wide_ids else ">H", item.id)
            body += struct.pack(">B", len(item.properties))
            for index, essential in item.properties:
                if large:
                    body += struct.pack(">H", (0x8000 if essential else 0) | index)
                else:
                    body += struct.pack(">B", (0x80 if essential else 0) | index)
        return full_box(b"ipma", 1 if wide_ids else 0, 1 if large else 0, body)

    def _iref(self, wide_ids):
        if not self.references:
            return b""
        form = ">I" if wide_ids else ">H"
        body = b"".join(
            box(kind, struct.pack(form, source) + struct.pack(">H", len(targets))
                + b"".join(struct.pack(form, t) for t in targets))
            for kind, source, targets in self.references)
        return full_box(b"iref", 1 if wide_ids else 0, 0, body)

    # --- reading -----------------------------------------------------------------------------

    @classmethod
    def parse(cls, data):
        top = {kind: (body, end) for kind, body, end in reversed(children(data, 0, len(data)))}
        ftyp_body, ftyp_end = top[b"ftyp"]
        heif = cls(data[ftyp_body:ftyp_body + 4],
                   [data[p:p + 4] for p in range(ftyp_body + 8, ftyp_end, 4)])
        meta_body, meta_end = top[b"meta"]
        meta = {kind: (body, end)
                for kind, body, end in reversed(children(data, meta_body + 4, meta_end))}
        body, _ = meta[b"pitm"]
        heif.primary = (struct.unpack(">H", data[body + 4:body + 6])[0] if data[body] == 0
                        else struct.unpack(">I", data[body + 4:body + 8])[0])
        idat = meta.get(b"idat", (0, 0))
        heif._read_items(data, meta[b"iinf"])
        heif._read_locations(data, meta[b"iloc"], idat)
        if b"iref" in meta:
            heif._read_references(data, meta[b"iref"])
        iprp_body, iprp_end = meta[b"iprp"]
        ipco = first_child(data, iprp_body, iprp_end, b"ipco")
        heif.properties = [data[body - 8:end] for _, body, end in children(data, *ipco)]
        heif._read_associations(data, first_child(data, iprp_body, iprp_end, b"ipma"))
        return heif

    def _read_items(self, data, span):
        body, end = span
        version = data[body]
        start = body + 4 + (2 if version == 0 else 4)
        for kind, entry, _ in children(data, start, end):
            if kind != b"infe":
                continue
            entry_version, flags = data[entry], data[entry + 3]
            if entry_version == 3:
                item_id = struct.unpack(">I", data[entry + 4:entry + 8])[0]
                type_at = entry + 10
            else:
                item_id = struct.unpack(">H", data[entry + 4:entry + 6])[0]
                type_at = entry + 8
            self.items.append(Item(item_id, data[type_at:type_at + 4], hidden=bool(flags & 1)))

    def _read_locations(self, data, span, idat):
        body, _ = span
        version = data[body]
        sizes = struct.unpack(">H", data[body + 4:body + 6])[0]
        offset_size, length_size = sizes >> 12, sizes >> 8 & 15
        base_size, index_size = sizes >> 4 & 15, (sizes & 15) if version in (1, 2) else 0
        pos = body + 6

        def read(width):
            nonlocal pos
            value = int.from_bytes(data[pos:pos + width], "big") if width else 0
            pos += width
            return value

        count = read(2 if version < 2 else 4)
        for _ in range(count):
            item_id = read(2 if version < 2 else 4)
            method = read(2) & 15 if version in (1, 2) else 0
            read(2)
            base = read(base_size)
            pieces = b""
            for _ in range(read(2)):
                read(index_size)
                offset, length = base + read(offset_size), read(length_size)
                origin = idat[0] if method == IN_IDAT else 0
                pieces += data[origin + offset:origin + offset + length]
            item = self.item(item_id)
            item.data, item.method = pieces, method

    def _read_references(self, data, span):
        body, end = span
        form = 2 if data[body] == 0 else 4
        for kind, entry, entry_end in children(data, body + 4, end):
            source = int.from_bytes(data[entry:entry + form], "big")
            count = struct.unpack(">H", data[entry + form:entry + form + 2])[0]
            at = entry + form + 2
            targets = [int.from_bytes(data[at + k * form:at + (k + 1) * form], "big")
                       for k in range(count)]
            self.references.append((kind, source, targets))

    def _read_associations(self, data, span):
        body, _ = span
        version, flags = data[body], data[body + 3]
        pos = body + 4
        count = struct.unpack(">I", data[pos:pos + 4])[0]
        pos += 4
        for _ in range(count):
            width = 2 if version == 0 else 4
            item_id = int.from_bytes(data[pos:pos + width], "big")
            pos += width
            entries = data[pos]
            pos += 1
            item = self.item(item_id)
            for _ in range(entries):
                if flags & 1:
                    value = struct.unpack(">H", data[pos:pos + 2])[0]
                    pos += 2
                    item.properties.append((value & 0x7FFF, bool(value & 0x8000)))
                else:
                    item.properties.append((data[pos] & 0x7F, bool(data[pos] & 0x80)))
                    pos += 1


# --- property boxes ---------------------------------------------------------------------------

def ispe(width, height):
    return full_box(b"ispe", 0, 0, struct.pack(">II", width, height))


def irot(quarter_turns):
    """Rotation by 90 degrees anticlockwise, `quarter_turns` times."""
    return box(b"irot", bytes([quarter_turns & 3]))


def imir(axis):
    """Mirroring about the vertical axis (0: left and right change places) or the horizontal
    one (1: top and bottom)."""
    return box(b"imir", bytes([axis & 1]))


def clap(width, height, horizontal_offset, vertical_offset):
    """A clean aperture of width x height whose centre lies the given number of pixels (halves
    allowed, as n / 2) from the picture's centre."""
    return box(b"clap", struct.pack(">IIIIiIiI", width, 1, height, 1,
                                    int(horizontal_offset * 2), 2, int(vertical_offset * 2), 2))


def grid_description(rows, columns, width, height):
    if width > 0xFFFF or height > 0xFFFF:
        return struct.pack(">BBBBII", 0, 1, rows - 1, columns - 1, width, height)
    return struct.pack(">BBBBHH", 0, 0, rows - 1, columns - 1, width, height)


def overlay_description(width, height, offsets):
    """An overlay of the given canvas; offsets (x, y) of each input, 32-bit fields."""
    body = struct.pack(">BB", 0, 1) + b"\0\0" * 4 + struct.pack(">II", width, height)
    return body + b"".join(struct.pack(">ii", x, y) for x, y in offsets)


def coded_picture(heif):
    """(item type, data, configuration property) of the first coded picture of a file."""
    for item in heif.items:
        if item.kind in (b"av01", b"hvc1"):
            config = heif.property_of(item.id, b"av1C" if item.kind == b"av01" else b"hvcC")
            return item.kind, item.data, config
    raise ValueError("no coded picture")
