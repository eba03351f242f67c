#!/usr/bin/env python3
"""The program's house rules, read from its #include lines and class declarations.

  - No include cycle between files.
  - common/ knows nothing of the program's folders; a file of env/, package/,
    procedures/ or common/ includes from app/ only the shared record and the messages.
  - A portable/ file includes only portable/ headers and standard or OpenSSL headers,
    never a Windows header.
  - Owner classes (anything with a destructor) live in common/win32/holders.h.

usage: check_layout.py SOURCE_ROOT   (exit status 1 and one line per breach)
"""
import graphlib
import os
import re
import sys

PRODUCT = ("app", "env", "package", "procedures", "common")
SHARED_FROM_APP = {"app/setup_context.h", "app/messages.h"}
HOLDERS = "common/win32/holders.h"

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
DESTRUCTOR = re.compile(r"(?<![\w:])~\s*([A-Za-z_]\w*)\s*\(")


def product_files(root):
    for top in PRODUCT:
        for folder, _, names in os.walk(os.path.join(root, top)):
            for name in sorted(names):
                if name.endswith((".h", ".cpp")):
                    path = os.path.join(folder, name)
                    yield os.path.relpath(path, root).replace(os.sep, "/")


def includes(root, path):
    quoted, angled = [], []
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as text:
        for line in text:
            found = INCLUDE.match(line)
            if found:
                (quoted if found.group(1) == '"' else angled).append(found.group(2))
    return quoted, angled


def find_cycle(graph):
    try:
        graphlib.TopologicalSorter(graph).prepare()
    except graphlib.CycleError as error:
        return error.args[1]
    return None


def breaches(root):
    found = []
    graph = {}
    for path in product_files(root):
        quoted, angled = includes(root, path)
        graph[path] = quoted
        top = path.split("/")[0]
        portable = "/portable/" in path
        for target in quoted:
            if not os.path.exists(os.path.join(root, target)):
                found.append(f"{path}: includes {target}, which does not exist")
            if top == "common" and target.split("/")[0] in ("app", "env", "package", "procedures"):
                found.append(f"{path}: common/ includes the program's {target}")
            if top != "app" and target.startswith("app/") and target not in SHARED_FROM_APP:
                found.append(f"{path}: includes {target} from app/ (only the record and messages)")
            if portable and "/portable/" not in target:
                found.append(f"{path}: a portable file includes {target}")
        for target in angled:
            if portable and target.endswith(".h") and not target.startswith("openssl/"):
                found.append(f"{path}: a portable file includes <{target}>")
        if path != HOLDERS:
            with open(os.path.join(root, path), encoding="utf-8", errors="replace") as text:
                for number, line in enumerate(text, 1):
                    code = line.split("//", 1)[0]
                    owner = DESTRUCTOR.search(code)
                    if owner:
                        found.append(f"{path}:{number}: owner class {owner.group(1)} outside {HOLDERS}")
    cycle = find_cycle(graph)
    if cycle:
        found.append("include cycle: " + " -> ".join(cycle))
    return found


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    found = breaches(sys.argv[1])
    for line in found:
        print(line)
    print(f"layout: {len(found)} breaches")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
