#!/usr/bin/env python3
"""Points a linked PE image's load-configuration data directory at its _load_config_used structure.

MSVC's linker and newer GNU linkers fill that directory entry from the symbol; the GNU linker here
keeps the structure but leaves the entry empty. This script reads the symbol's address from the
linker map, turns it into an RVA and writes RVA and size (the structure's own first field) into the
optional header, and then the image's checksum, which the linker computed before the change. It
changes nothing else, so the result stays byte-for-byte reproducible.

usage: set-load-config.py IMAGE MAP
"""
import re
import struct
import sys

LOAD_CONFIG_INDEX = 10


def pe_checksum(image, checksum_offset):
    """The checksum of the optional header: the image as 16-bit words, the checksum field counted as
    zero, added with the carries folded back in, plus the file's length."""
    total = 0
    data = bytes(image[:checksum_offset]) + bytes(4) + bytes(image[checksum_offset + 4:])
    if len(data) % 2:
        data += bytes(1)
    for (word,) in struct.iter_unpack("<H", data):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    return (total + len(image)) & 0xFFFFFFFF


def main(image_path, map_path):
    with open(map_path, encoding="utf-8", errors="replace") as f:
        found = re.search(r"^\s+0x([0-9a-fA-F]+)\s+_?_load_config_used\s*$", f.read(), re.M)
    if not found:
        sys.exit(f"{map_path}: no _load_config_used in the linker map")
    address = int(found.group(1), 16)

    with open(image_path, "r+b") as f:
        image = bytearray(f.read())
        pe = struct.unpack_from("<I", image, 0x3C)[0]
        if image[pe:pe + 4] != b"PE\0\0":
            sys.exit(f"{image_path}: not a PE image")
        optional = pe + 24
        magic = struct.unpack_from("<H", image, optional)[0]
        if magic == 0x20B:  # PE32+
            image_base = struct.unpack_from("<Q", image, optional + 24)[0]
            directories = optional + 112
        elif magic == 0x10B:  # PE32
            image_base = struct.unpack_from("<I", image, optional + 28)[0]
            directories = optional + 96
        else:
            sys.exit(f"{image_path}: unknown optional header 0x{magic:x}")
        rva = address - image_base

        # The structure's file offset, to read its size field.
        sections = optional + struct.unpack_from("<H", image, pe + 20)[0]
        for i in range(struct.unpack_from("<H", image, pe + 6)[0]):
            header = sections + 40 * i
            size, virtual, raw_size, raw = struct.unpack_from("<IIII", image, header + 8)
            if virtual <= rva < virtual + max(size, raw_size):
                offset = raw + rva - virtual
                break
        else:
            sys.exit(f"{image_path}: _load_config_used at 0x{rva:x} lies in no section")
        config_size = struct.unpack_from("<I", image, offset)[0]

        struct.pack_into("<II", image, directories + 8 * LOAD_CONFIG_INDEX, rva, config_size)
        # The checksum lies at the same place in both header formats.
        checksum_offset = optional + 64
        struct.pack_into("<I", image, checksum_offset, pe_checksum(image, checksum_offset))
        f.seek(0)
        f.write(image)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
