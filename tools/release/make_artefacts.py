#!/usr/bin/env python3
"""Writes the release's winget manifests and SPDX bill of materials beside the signed
setup program, from the build that made it (tools/release.sh calls this).

usage: make_artefacts.py PROGRAM BUILD_DIR SOURCE_DIR OUT_DIR EPOCH [INSTALLER_URL]
  PROGRAM        the signed setup program
  BUILD_DIR      its build (link-maps/, host-tools/mossgate-package)
  EPOCH          the build's time stamp (seconds): the document's and the release's date
  INSTALLER_URL  where deployment tools download PROGRAM from (default: below the
                 publisher's web address)
Writes OUT_DIR/winget/*.yaml and OUT_DIR/NAME.spdx.json; prints their paths.
"""
import json
import os
import sys
import time

import facts
import spdx
import winget

TRIPLES = {332: "i686-w64-mingw32", 34404: "x86_64-w64-mingw32"}


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    print(path)


def main(argv):
    if len(argv) not in (6, 7) or not argv[5].isdigit():
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    program, build, source, out, epoch = argv[1:6]
    tool = os.path.join(build, "host-tools", "mossgate-package")
    name = os.path.splitext(os.path.basename(program))[0]
    try:
        listing = json.loads(facts.run(tool, "verify", "--json", program))
        triple = TRIPLES.get((listing.get("program") or {}).get("machine"))
        if triple is None:
            raise facts.FactError(f"{program}: not a setup program of a known machine")
        resource = facts.version_resource(program, triple)
        publisher_url = facts.publisher_web_address(source)
        url = argv[6] if len(argv) == 7 else (
            f"{publisher_url}/download/{resource['ProductVersion']}/{os.path.basename(program)}")
        program_digests = facts.digests(program)
        manifests = winget.manifests(
            resource, facts.uninstall_key_name(program), program_digests["SHA256"], url,
            time.strftime("%Y-%m-%d", time.gmtime(int(epoch))),
            facts.exit_codes(os.path.join(source, "README.md")), publisher_url)
        document = spdx.document(
            program, resource, program_digests, facts.package_entries(tool, program),
            facts.linked_parts(os.path.join(build, "link-maps", f"{name}.map")), triple,
            int(epoch), url, publisher_url)
    except (facts.FactError, OSError, ValueError) as error:
        print(f"release artefacts: {error}", file=sys.stderr)
        return 1
    for file_name, text in manifests.items():
        write(os.path.join(out, "winget", file_name), text)
    write(os.path.join(out, f"{name}.spdx.json"), json.dumps(document, indent=2) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
