#!/usr/bin/env python3
"""The protections of built Windows programs, read from their PE headers and code.

For each program, with the linker's map of its link:
  - ASLR: DYNAMIC_BASE, with the base relocations kept (a relocation directory,
    no RELOCS_STRIPPED flag); PE32+ also HIGH_ENTROPY_VA
  - DEP: NX_COMPAT
  - PE32: NO_SEH, and no instruction that reads or writes fs:[0], the head of the
    structured exception handler chain (GNU ld writes no SafeSEH table, so NO_SEH
    is the only honest choice, and only while nothing registers a handler)
  - the stack protector: its handler __stack_chk_fail linked (found in the map)
    and called from code outside the library that brings it
Then the same checks over copies with one protection taken away at a time: each
copy must fail, so that a check that passes anything is caught.

usage: check_hardening.py PROGRAM=MAP [PROGRAM=MAP ...]
The code is read with MinGW-w64's objdump for the program's machine. Exit status 0
when every program passes and every damaged copy fails, else 1.
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

RELOCS_STRIPPED = 0x0001
HIGH_ENTROPY_VA = 0x0020
DYNAMIC_BASE = 0x0040
NX_COMPAT = 0x0100
NO_SEH = 0x0400
BASE_RELOCATION_DIRECTORY = 5

MAP_SYMBOL = re.compile(r"^\s+0x([0-9a-f]+)\s+_{2,3}stack_chk_fail$")
MAP_SSP_TEXT = re.compile(r"^ \.text\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+\S*libssp\.a\(")
CALL = re.compile(r"^\s*([0-9a-f]+):.*\tcall\s+0x([0-9a-f]+)\s*$")
FS_ZERO = re.compile(r"%fs:(0x0)?(?![0-9a-fx])")


class NotAProgram(Exception):
    pass


class Headers:
    """The fields of a PE image that hold its protections, each read within the file."""

    def __init__(self, data):
        def field(fmt, at, what):
            if at < 0 or at + struct.calcsize(fmt) > len(data):
                raise NotAProgram(f"{what} at offset {at} runs past the end of the "
                                  f"{len(data)}-byte file")
            return struct.unpack_from(fmt, data, at)

        if data[:2] != b"MZ":
            raise NotAProgram("no MZ header")
        (pe,) = field("<I", 0x3C, "the PE header's offset")
        if field("<4s", pe, "the PE signature")[0] != b"PE\0\0":
            raise NotAProgram("no PE signature")
        _, sections, _, _, _, optional_size, self.characteristics = field(
            "<HHIIIHH", pe + 4, "the COFF header")
        optional = pe + 24
        (magic,) = field("<H", optional, "the optional header")
        if magic not in (0x10B, 0x20B):
            raise NotAProgram(f"optional header of unknown kind 0x{magic:x}")
        self.pe32_plus = magic == 0x20B
        directories = optional + (112 if self.pe32_plus else 96)
        (self.dll_characteristics,) = field("<H", optional + 70, "DllCharacteristics")
        (count,) = field("<I", directories - 4, "the data directory count")
        count = min(count, max(0, (optional + optional_size - directories) // 8))
        self.relocations = 0
        if count > BASE_RELOCATION_DIRECTORY:
            _, self.relocations = field("<II", directories + 8 * BASE_RELOCATION_DIRECTORY,
                                        "the relocation directory")
        self.code_at = None  # file offset of the first code section's bytes
        for i in range(sections):
            name, _, _, _, raw = field("<8sIIII", optional + optional_size + 40 * i,
                                       "the section table")
            if name.rstrip(b"\0") == b".text" and self.code_at is None:
                self.code_at = raw
        self.characteristics_at = pe + 22
        self.dll_characteristics_at = optional + 70
        self.relocations_at = directories + 8 * BASE_RELOCATION_DIRECTORY + 4


def stack_protector(map_path):
    """(handler address, (start, end) of libssp's code) from a link map."""
    handler, library = None, None
    with open(map_path, encoding="utf-8", errors="replace") as lines:
        for line in lines:
            found = MAP_SYMBOL.match(line.rstrip("\n"))
            if found:
                handler = int(found.group(1), 16)
            found = MAP_SSP_TEXT.match(line)
            if found:
                start = int(found.group(1), 16)
                library = (start, start + int(found.group(2), 16))
    return handler, library


def code_facts(headers, program, handler, library):
    """(calls of the handler from outside libssp, instructions that touch fs:[0])."""
    triple = "x86_64-w64-mingw32" if headers.pe32_plus else "i686-w64-mingw32"
    listing = subprocess.run([f"{triple}-objdump", "-d", program], capture_output=True,
                             text=True, check=True).stdout
    calls, fs_zero = 0, []
    for line in listing.splitlines():
        if "%fs:" in line and FS_ZERO.search(line.split("\t")[-1]):
            fs_zero.append(line.strip())
        found = CALL.match(line)
        if found and handler is not None and int(found.group(2), 16) == handler:
            site = int(found.group(1), 16)
            calls += 0 if library and library[0] <= site < library[1] else 1
    return calls, fs_zero


def check(program, map_path):
    """(failures as lines, none when it is protected; what was found)."""
    try:
        with open(program, "rb") as f:
            headers = Headers(f.read())
    except (OSError, NotAProgram) as error:
        return [f"{program}: cannot be read as a program: {error}"], ""
    try:
        handler, library = stack_protector(map_path)
    except OSError as error:
        return [f"{map_path}: cannot read the link map: {error}"], ""
    flags = headers.dll_characteristics
    failures = []

    def need(condition, what):
        if not condition:
            failures.append(f"{program}: {what}")

    need(flags & DYNAMIC_BASE, "no ASLR (DYNAMIC_BASE)")
    need(headers.relocations and not headers.characteristics & RELOCS_STRIPPED,
         "base relocations stripped: ASLR cannot move the image")
    need(flags & NX_COMPAT, "no DEP (NX_COMPAT)")
    if headers.pe32_plus:
        need(flags & HIGH_ENTROPY_VA, "no high-entropy ASLR (HIGH_ENTROPY_VA)")
    else:
        need(flags & NO_SEH, "neither NO_SEH nor a SafeSEH table")
    need(handler is not None, f"no stack protector: __stack_chk_fail is not in {map_path}")
    if failures:
        return failures, ""
    try:
        calls, fs_zero = code_facts(headers, program, handler, library)
    except (OSError, subprocess.CalledProcessError) as error:
        return [f"{program}: its code cannot be read: {error}"], ""
    need(calls > 0, "no stack protector: nothing calls __stack_chk_fail")
    if not headers.pe32_plus:
        need(not fs_zero, "NO_SEH, but the code uses the handler chain: " + "; ".join(fs_zero[:3]))
    seh = "high-entropy ASLR" if headers.pe32_plus else "NO_SEH and no fs:[0] use"
    return failures, f"ASLR, DEP, {seh}, stack protector ({calls} checks)"


def patched(source, folder, name, changes):
    """A copy of source with (offset, bytes) changes."""
    copy = os.path.join(folder, name)
    shutil.copyfile(source, copy)
    with open(copy, "r+b") as f:
        for at, value in changes:
            f.seek(at)
            f.write(value)
    return copy


def damaged_copies(program, map_path, folder):
    """(what, program copy, map) with one protection taken away in each."""
    with open(program, "rb") as f:
        data = f.read()
    headers = Headers(data)
    flags, at = headers.dll_characteristics, headers.dll_characteristics_at

    def without(bit):
        return [(at, struct.pack("<H", flags & ~bit))]

    copies = [
        ("DYNAMIC_BASE cleared", without(DYNAMIC_BASE)),
        ("NX_COMPAT cleared", without(NX_COMPAT)),
        ("RELOCS_STRIPPED set", [(headers.characteristics_at,
                                  struct.pack("<H", headers.characteristics | RELOCS_STRIPPED))]),
        ("relocation directory emptied", [(headers.relocations_at, struct.pack("<I", 0))]),
        ("HIGH_ENTROPY_VA cleared" if headers.pe32_plus else "NO_SEH cleared",
         without(HIGH_ENTROPY_VA if headers.pe32_plus else NO_SEH)),
    ]
    result = [(what, patched(program, folder, f"{i}.exe", changes), map_path)
              for i, (what, changes) in enumerate(copies)]
    if not headers.pe32_plus:
        # mov eax, fs:[0] as the first instruction of the code.
        result.append(("code reads fs:[0]", patched(program, folder, "fs.exe",
                                                   [(headers.code_at, b"\x64\xa1\0\0\0\0")]),
                       map_path))
    bare_map = os.path.join(folder, "no-protector.map")
    with open(map_path, encoding="utf-8", errors="replace") as src, open(bare_map, "w") as dst:
        dst.writelines(line for line in src if "stack_chk_fail" not in line)
    result.append(("stack protector's handler not linked", program, bare_map))
    cut = os.path.join(folder, "cut.exe")
    with open(cut, "wb") as f:
        f.write(data[:100])
    result.append(("only its first 100 bytes", cut, map_path))
    return result


def main(argv):
    if len(argv) < 2 or any("=" not in pair for pair in argv[1:]):
        print("usage: check_hardening.py PROGRAM=MAP [PROGRAM=MAP ...]", file=sys.stderr)
        return 2
    pairs = [pair.split("=", 1) for pair in argv[1:]]
    ok = True
    for program, map_path in pairs:
        failures, found = check(program, map_path)
        for failure in failures:
            print(f"FAIL {failure}")
        if not failures:
            print(f"ok   {program}: {found}")
        ok = ok and not failures
    if not ok:
        return 1
    # The first program of each kind (PE32, PE32+) damaged.
    kinds = {}
    for program, map_path in pairs:
        with open(program, "rb") as f:
            kinds.setdefault(Headers(f.read()).pe32_plus, (program, map_path))
    for program, map_path in kinds.values():
        with tempfile.TemporaryDirectory() as folder:
            for what, copy, copy_map in damaged_copies(program, map_path, folder):
                failures, _ = check(copy, copy_map)
                print(f"{'ok  ' if failures else 'FAIL'} a copy of {os.path.basename(program)} "
                      f"with {what} {'fails' if failures else 'passes'}"
                      + (f": {failures[0].split(': ', 1)[1]}" if failures else ""))
                ok = ok and bool(failures)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
