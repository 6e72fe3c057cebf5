#!/usr/bin/env python3
"""Checks the index of a store of any size without loading it: the header checksums, every page
of both B-trees (type, checksum, id, entry counts, levels, keys ascending across the whole tree),
every allocation map page and the file size. Reads the Unicode, 4k and 32-bit ANSI layouts. Prints
the counts; exits non-zero at the first fault.

Usage: bench/check_store_index.py STORE
"""
import struct
import sys
import zlib

NODE_TYPE_MESSAGE = 0x04


def crc(data):
    # CRC-32 as the format uses it: started at zero and not inverted.
    return zlib.crc32(data, 0xFFFFFFFF) ^ 0xFFFFFFFF


class Fault(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Fault(what)


class Store:
    def __init__(self, path):
        self.file = open(path, 'rb')
        header = self.file.read(564)
        check(header[:4] == b'!BDN', 'not a store')
        check(struct.unpack_from('<I', header, 4)[0] == crc(header[8:8 + 471]), 'header checksum (partial)')
        version = struct.unpack_from('<H', header, 10)[0]
        self.is4k = version == 36
        # ANSI stores (versions 14 and 15) have 4-byte ids and offsets and no second header checksum.
        self.ansi = version in (14, 15)
        if not self.ansi:
            check(struct.unpack_from('<I', header, 524)[0] == crc(header[8:8 + 516]), 'header checksum (full)')
        self.page_size, self.page_data = (4096, 4072) if self.is4k else (512, 500) if self.ansi else (512, 496)
        self.id = 'I' if self.ansi else 'Q'
        self.id_size = 4 if self.ansi else 8
        if self.ansi:
            self.file_end = struct.unpack_from('<I', header, 168)[0]
            self.nbt_root = struct.unpack_from('<II', header, 184)
            self.bbt_root = struct.unpack_from('<II', header, 192)
        else:
            self.file_end = struct.unpack_from('<Q', header, 184)[0]
            self.nbt_root = struct.unpack_from('<QQ', header, 216)
            self.bbt_root = struct.unpack_from('<QQ', header, 232)
        self.pages = 0

    def trailer(self, page):
        """A page trailer's checksum and id; the ANSI trailer has the id first."""
        if self.ansi:
            page_id, checksum = struct.unpack_from('<II', page, self.page_data + 4)
        else:
            checksum, page_id = struct.unpack_from('<IQ', page, self.page_data + 4)
        return checksum, page_id

    def walk(self, bid, ib, ptype, level, previous, visit):
        """Walks a B-tree page and its children; returns the last key seen."""
        self.file.seek(ib)
        page = self.file.read(self.page_size)
        check(len(page) == self.page_size, f'page at {ib:#x} beyond the end of the file')
        self.pages += 1
        trailer = page[self.page_data:]
        check(trailer[0] == ptype and trailer[1] == ptype, f'page type at {ib:#x}')
        checksum, page_id = self.trailer(page)
        check(checksum == crc(page[:self.page_data]), f'page checksum at {ib:#x}')
        check(page_id == bid, f'page id at {ib:#x}')
        meta = 496 if self.ansi else self.page_data - (16 if self.is4k else 8)
        count, most, size, page_level = struct.unpack_from('<HHBB' if self.is4k else '<BBBB', page, meta)
        check(0 < count <= most and most == meta // size, f'entry counts at {ib:#x}')
        check(level is None or page_level == level, f'page level at {ib:#x}')
        last = previous
        for i in range(count):
            key, = struct.unpack_from('<' + self.id, page, i * size)
            check(key > last, f'key {key:#x} out of order at {ib:#x}')
            if page_level > 0:
                child_bid, child_ib = struct.unpack_from('<' + 2 * self.id, page, i * size + self.id_size)
                last = self.walk(child_bid, child_ib, ptype, page_level - 1, last, visit)
            else:
                last = key
                visit(key)
        return last

    def allocation_maps(self):
        region = (4072 * 8 * 512) if self.is4k else (496 * 8 * 64)
        first = 0x22000 if self.is4k else 0x4400
        count = 0
        for ib in range(first, self.file_end, region):
            self.file.seek(ib)
            page = self.file.read(self.page_size)
            check(len(page) == self.page_size, f'allocation map at {ib:#x} beyond the end of the file')
            check(page[self.page_data] == 0x84, f'allocation map type at {ib:#x}')
            checksum, page_id = self.trailer(page)
            check(checksum == crc(page[:self.page_data]), f'allocation map checksum at {ib:#x}')
            check(page_id == ib, f'allocation map id at {ib:#x}')
            count += 1
        return count


def main():
    store = Store(sys.argv[1])
    counts = {'blocks': 0, 'nodes': 0, 'messages': 0}

    def block(_key):
        counts['blocks'] += 1

    def node(key):
        counts['nodes'] += 1
        if key & 0x1F == NODE_TYPE_MESSAGE:
            counts['messages'] += 1

    store.walk(store.bbt_root[0], store.bbt_root[1], 0x80, None, -1, block)
    store.walk(store.nbt_root[0], store.nbt_root[1], 0x81, None, -1, node)
    maps = store.allocation_maps()
    store.file.seek(0, 2)
    check(store.file.tell() == store.file_end, 'file size differs from the header')
    print(f"ok: {counts['blocks']} blocks, {counts['nodes']} nodes ({counts['messages']} messages), "
          f"{store.pages} B-tree pages, {maps} allocation maps, {store.file_end} bytes")


if __name__ == '__main__':
    try:
        main()
    except Fault as fault:
        print(f'fault: {fault}', file=sys.stderr)
        sys.exit(1)
