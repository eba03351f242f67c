"""Facts of one build, read from what the build made and from the system that made it.

Nothing here is typed in a second time: the version and names come from the
program's version resource, the uninstall key from the program's own bytes, the
exit codes from the README's table, the linked libraries from the linker's map,
their versions from dpkg (and, for the libcrypto that tools/bootstrap.sh builds,
from the Debian source package it was built from), the package's entries from
mossgate-package.
"""
import hashlib
import json
import os
import re
import subprocess
import tempfile

UNINSTALL_PARENT = b"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"


class FactError(Exception):
    """A fact that cannot be read: the release must not be made without it."""


def digests(path):
    """{"SHA1": hex, "SHA256": hex, "MD5": hex} of a file."""
    sums = {"SHA1": hashlib.sha1(), "SHA256": hashlib.sha256(), "MD5": hashlib.md5()}
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            for digest in sums.values():
                digest.update(block)
    return {name: digest.hexdigest() for name, digest in sums.items()}


def run(*command):
    try:
        return subprocess.run(command, capture_output=True, text=True, check=True).stdout
    except (OSError, subprocess.CalledProcessError) as error:
        detail = getattr(error, "stderr", "") or ""
        raise FactError(f"{' '.join(command)}: {error} {detail.strip()}") from error


def version_resource(program, triple):
    """{"ProductVersion": "2.1.5.2", "ProductName": ..., ...} from VS_VERSION_INFO."""
    with tempfile.TemporaryDirectory() as folder:
        script = os.path.join(folder, "resources.rc")
        run(f"{triple}-windres", "-i", program, "-O", "rc", "-o", script)
        with open(script, encoding="latin-1") as f:
            text = f.read()
    fixed = re.search(r"^\s*PRODUCTVERSION\s+(\d+),\s*(\d+),\s*(\d+),\s*(\d+)\s*$", text, re.M)
    if not fixed:
        raise FactError(f"{program}: no PRODUCTVERSION in its version resource")
    facts = dict(re.findall(r'^\s*VALUE\s+"(\w+)",\s*"([^"]*)"\s*$', text, re.M))
    facts["ProductVersion"] = ".".join(fixed.groups())
    for name in ("ProductName", "CompanyName", "LegalCopyright", "FileDescription"):
        if not facts.get(name):
            raise FactError(f"{program}: no {name} in its version resource")
    return facts


def uninstall_key_name(program):
    """The name of the uninstall key, as the program carries the key's path (each part
    of the program that uses it may hold its own copy: they must agree)."""
    with open(program, "rb") as f:
        data = f.read()
    names = set(re.findall(re.escape(UNINSTALL_PARENT) + rb"([^\0\\]+)\0", data))
    if len(names) != 1:
        raise FactError(f"{program}: {len(names)} uninstall key names in it, not one")
    return names.pop().decode("cp1252")


def publisher_web_address(source):
    with open(os.path.join(source, "common", "product_names.h"), encoding="utf-8") as f:
        found = re.search(r'#define\s+MOSSGATE_PUBLISHER_WEB_ADDRESS\s+"([^"]+)"', f.read())
    if not found:
        raise FactError("common/product_names.h defines no MOSSGATE_PUBLISHER_WEB_ADDRESS")
    return found.group(1)


def exit_codes(readme):
    """[(code, text)] of the README's exit code table, 0 left out."""
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    table = re.search(r"^\| Exit code \| When \|\n\|[-|]+\|\n((?:\|.*\|\n)+)", text, re.M)
    if not table:
        raise FactError(f"{readme}: no exit code table")
    codes = []
    for row in table.group(1).splitlines():
        cells = [cell.strip() for cell in row.strip("|").split("|")]
        for code in re.findall(r"-?\d+", cells[0]):
            if int(code) != 0:
                codes.append((int(code), cells[1].replace("`", "")))
    return codes


def linked_parts(link_map):
    """{archive or object path: [members]} of what the linker took from outside the build."""
    parts = {}
    with open(link_map, encoding="utf-8", errors="replace") as f:
        text = f.read()
    included = text.split("Archive member included to satisfy reference by file (symbol)")
    if len(included) != 2:
        raise FactError(f"{link_map}: not a GNU ld map with archive members")
    for archive, member in re.findall(r"^(/[^\s(]+)\((.+?)\)$", included[1].split("\n\n\n")[0],
                                      re.M):
        parts.setdefault(os.path.realpath(archive), []).append(member)
    for loaded in re.findall(r"^LOAD (/\S+\.o)$", text, re.M):
        parts.setdefault(os.path.realpath(loaded), [])
    return {path: sorted(set(members)) for path, members in parts.items()}


def debian_package(path):
    """(package, version, architecture, source, source version) of an installed file."""
    owner = run("dpkg-query", "-S", path).split(":", 1)[0].strip()
    fields = run("dpkg-query", "-W", "-f",
                 "${Package}\t${Version}\t${Architecture}\t${source:Package}\t${source:Version}",
                 owner)
    return tuple(fields.split("\t"))


def bootstrap_libcrypto(library):
    """(source, version, licence file) of the libcrypto that tools/bootstrap.sh built into
    CACHE/openssl-VERSION/TRIPLE/lib from the Debian source kept in CACHE/src-VERSION."""
    prefix = os.path.dirname(os.path.dirname(library))
    built = os.path.dirname(prefix)
    version = os.path.basename(built).removeprefix("openssl-")
    sources = os.path.join(os.path.dirname(built), f"src-{version}")
    control = {}
    for dsc in (name for name in sorted(os.listdir(sources)) if name.endswith(".dsc")):
        with open(os.path.join(sources, dsc), encoding="utf-8", errors="replace") as f:
            control = dict(re.findall(r"^(Source|Version): (\S+)$", f.read(), re.M))
    if control.get("Version") != version:
        raise FactError(f"{library}: no Debian source description of {version} in {sources}")
    with open(os.path.join(prefix, "include", "openssl", "opensslv.h"), encoding="utf-8") as f:
        upstream = re.search(r'define OPENSSL_VERSION_STR "([^"]+)"', f.read())
    if not upstream or not version.startswith(upstream.group(1) + "-"):
        raise FactError(f"{library}: its headers are not of Debian version {version}")
    return control["Source"], version, os.path.join(sources, "unpacked", "LICENSE.txt")


def package_entries(tool, program):
    """The package's entries in directory order, each with the digests of its bytes as
    mossgate-package extracts them and the MD5 that the package's directory states."""
    listing = json.loads(run(tool, "list", "--json", program))
    if not listing.get("ok") or len(listing.get("entries", [])) != listing.get("total"):
        raise FactError(f"{program}: its package does not verify: {listing.get('error')}")
    entries = listing["entries"]
    with tempfile.TemporaryDirectory() as folder:
        run(tool, "extract", program, folder)
        for entry in entries:
            # Names are written as their bytes (code page 1252), folders split at \ or /.
            parts = [part.encode("cp1252") for part in re.split(r"[\\/]", entry["name"])]
            entry["digests"] = digests(os.path.join(os.fsencode(folder), *parts))
            if entry["digests"]["MD5"] != entry["plain_md5"]:
                raise FactError(f"entry {entry['index']} {entry['name']}: extracted bytes do "
                                "not match the package's MD5")
    return entries
