#!/usr/bin/env python3
"""Points a 32-bit PE image's load-configuration directory at its __load_config_used structure.

GNU ld 2.40 links the structure but leaves the directory entry empty, so Windows would never see
the image's SafeSEH table. The structure's address comes from the link map; the header checksum
is computed again afterwards.

    pe_load_config.py IMAGE MAP
"""
import re
import struct
import sys

LOAD_CONFIG_DIRECTORY = 10
# The PE format's rule for x86: the directory's size is 64 whatever the structure's own Size says,
# which is how loaders back to Windows XP recognise it.
X86_DIRECTORY_SIZE = 64


def pe_checksum(data):
    """The image checksum as imagehlp's CheckSumMappedFile computes it; the field must be zero."""
    total = 0
    for (word,) in struct.iter_unpack("<H", data + b"\0" * (len(data) % 2)):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def main(image_path, map_path):
    with open(map_path, encoding="latin-1") as map_file:
        found = re.search(r"^\s+0x([0-9a-fA-F]+)\s+_?_load_config_used\s*$", map_file.read(), re.M)
    if not found:
        sys.exit(f"{map_path}: no __load_config_used")
    address = int(found.group(1), 16)

    data = bytearray(open(image_path, "rb").read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"{image_path}: not a PE image")
    optional = pe + 24
    if struct.unpack_from("<H", data, optional)[0] != 0x10B:
        sys.exit(f"{image_path}: not a 32-bit image")
    image_base = struct.unpack_from("<I", data, optional + 28)[0]
    directory = optional + 96 + 8 * LOAD_CONFIG_DIRECTORY
    struct.pack_into("<II", data, directory, address - image_base, X86_DIRECTORY_SIZE)
    checksum_offset = optional + 64
    struct.pack_into("<I", data, checksum_offset, 0)
    struct.pack_into("<I", data, checksum_offset, pe_checksum(bytes(data)))
    open(image_path, "wb").write(data)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
