#!/usr/bin/env python3
"""Writes one resource of a PE file (its first language) to a file, read through
the resource directory only: an Authenticode signature appended to the file is
never read. usage: pe_resource.py PE TYPE-ID NAME-ID OUT"""
import struct
import sys


def fail(text):
    sys.exit(f"pe_resource: {text}")


def main(pe_path, type_id, name_id, out_path):
    data = open(pe_path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        fail(f"{pe_path} is not a PE file")
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    table = [struct.unpack_from("<8xIIII", data, optional + optional_size + 40 * i)
             for i in range(sections)]

    def offset(rva):
        for size, start, raw_size, raw in table:
            if start <= rva < start + max(size, raw_size):
                return raw + rva - start
        fail(f"RVA 0x{rva:x} lies in no section")

    root = offset(resource_rva)

    def entry(directory, wanted):
        named, numbered = struct.unpack_from("<12xHH", data, directory)
        for i in range(named + numbered):
            key, target = struct.unpack_from("<II", data, directory + 16 + 8 * i)
            if wanted is None or (not key & 0x80000000 and key == wanted):
                return target
        fail(f"no resource entry {wanted}")

    names = root + (entry(root, type_id) & 0x7FFFFFFF)
    languages = root + (entry(names, name_id) & 0x7FFFFFFF)
    leaf = entry(languages, None)
    if leaf & 0x80000000:
        fail("a language entry that is a directory")
    rva, size = struct.unpack_from("<II", data, root + leaf)
    start = offset(rva)
    if start + size > len(data):
        fail("the resource runs past the end of the file")
    open(out_path, "wb").write(data[start:start + size])


if __name__ == "__main__":
    if len(sys.argv) != 5:
        fail(__doc__)
    main(sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4])
