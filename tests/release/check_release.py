#!/usr/bin/python3
"""The release folder as deployment tools and auditors take it.

  - SHA256SUMS names every other file once and each sum is right.
  - The three winget manifests validate against the official 1.10.0 schemas and
    say what the program is and does: its SHA-256, its version (read here from the
    program's VS_FIXEDFILEINFO), a silent machine-wide x86 install with "-h -i",
    elevation, no upgrade, the uninstall entry the program writes (its strings and
    key name are in the program), and every exit code of the README's table, the
    custom ones with the README's text beside them.
  - The SPDX document validates against the SPDX 2.3 schema, describes the program
    by its SHA-256 and version, lists each package entry with the digests of the
    bytes mossgate-package extracts (MD5 as the package states it), and the
    libraries the link took in with the versions Debian and the bootstrap record.

usage: check_release.py [--damaged] RELEASE README MOSSGATE_PACKAGE OPENSSL_DIR SCHEMAS
  OPENSSL_DIR: the libcrypto folder the build used (its real name holds its version)
  --damaged: instead check copies of RELEASE, each damaged in one way; every copy
             must fail, with its own reason.
Run with Debian's python3 (python3-yaml, python3-jsonschema).
"""
import hashlib
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

import jsonschema
import yaml

PROGRAM = "MOSSGATE_CD_Pack_Setup.exe"
SBOM = "MOSSGATE_CD_Pack_Setup.spdx.json"
UNINSTALL = b"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
WINGET_MEANINGS = {-1: "installInProgress", -21: "rebootRequiredForInstall",
                   -701: "invalidParameter"}


class Failed(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise Failed(message)


def digest(path, name="sha256"):
    with open(path, "rb") as f:
        return hashlib.new(name, f.read()).hexdigest()


def validate(document, schema_path, what):
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    errors = sorted(jsonschema.Draft7Validator(
        schema, format_checker=jsonschema.FormatChecker()).iter_errors(document), key=str)
    expect(not errors, f"{what} does not validate: {errors[0].message if errors else ''}")


def product_version(program):
    """The product version of VS_FIXEDFILEINFO, found after its key in the file."""
    with open(program, "rb") as f:
        data = f.read()
    key = "VS_VERSION_INFO\0".encode("utf-16-le")
    at = data.find(key)
    fixed = at + len(key) + (-(6 + len(key)) % 4)
    expect(at >= 0 and fixed + 24 <= len(data) and data[fixed:fixed + 4] == b"\xbd\x04\xef\xfe",
           f"{program}: no version resource")
    high, low = struct.unpack_from("<II", data, fixed + 16)
    return f"{high >> 16}.{high & 0xFFFF}.{low >> 16}.{low & 0xFFFF}"


def release_files(release):
    """The release's files but SHA256SUMS, by their path inside it, sorted."""
    return sorted({os.path.relpath(os.path.join(folder, name), release)
                   for folder, _, names in os.walk(release) for name in names} - {"SHA256SUMS"})


def check_sums(release):
    with open(os.path.join(release, "SHA256SUMS"), encoding="utf-8") as f:
        listed = dict(reversed(line.rstrip("\n").split("  ", 1)) for line in f if line.strip())
    present = set(release_files(release))
    expect(set(listed) == present,
           f"SHA256SUMS lists {sorted(set(listed) ^ present)} wrongly (missing or extra)")
    for name, value in listed.items():
        expect(digest(os.path.join(release, name)) == value, f"SHA256SUMS: {name} differs")


def exit_codes(readme):
    with open(readme, encoding="utf-8") as f:
        table = re.search(r"^\| Exit code \| When \|\n\|[-|]+\|\n((?:\|.*\|\n)+)", f.read(), re.M)
    expect(table, f"{readme}: no exit code table")
    codes = {}
    for row in table.group(1).splitlines():
        cells = [cell.strip() for cell in row.strip("|").split("|")]
        for code in re.findall(r"-?\d+", cells[0]):
            codes[int(code)] = cells[1].replace("`", "")
    codes.pop(0, None)
    return codes


def load_manifests(release, schemas):
    folder = os.path.join(release, "winget")
    manifests, texts = {}, {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), encoding="utf-8") as f:
            text = f.read()
        manifest = yaml.safe_load(text)
        kind = manifest.get("ManifestType") if isinstance(manifest, dict) else None
        expect(kind in ("version", "installer", "defaultLocale") and kind not in manifests,
               f"winget/{name}: not one of the three manifests")
        validate(manifest, os.path.join(schemas, "winget", f"manifest.{kind}.1.10.0.json"),
                 f"winget/{name}")
        manifests[kind], texts[kind] = manifest, text
    expect(len(manifests) == 3, f"winget/ holds {sorted(manifests)}, not the three manifests")
    return manifests, texts


def check_manifests(release, readme, schemas):
    manifests, texts = load_manifests(release, schemas)
    program = os.path.join(release, PROGRAM)
    version = product_version(program)
    for kind, manifest in manifests.items():
        expect(manifest["PackageVersion"] == version,
               f"{kind} manifest: PackageVersion {manifest['PackageVersion']}, program {version}")
        expect(manifest["PackageIdentifier"] == manifests["version"]["PackageIdentifier"],
               f"{kind} manifest: another PackageIdentifier")
        expect(manifest["ManifestVersion"] == "1.10.0", f"{kind} manifest: not 1.10.0")
    expect(manifests["version"]["DefaultLocale"] == manifests["defaultLocale"]["PackageLocale"],
           "the default locale has no manifest")
    installer = manifests["installer"]
    check_installer(installer, program, version)
    check_return_codes(installer, texts["installer"], exit_codes(readme))
    description = manifests["defaultLocale"].get("Description", "")
    expect("-i removes the package" in description and "deny" in description,
           "the description does not say that -i removes a present package")


def check_installer(installer, program, version):
    expected = {"InstallerType": "exe", "Scope": "machine", "UpgradeBehavior": "deny",
                "ElevationRequirement": "elevationRequired",
                "InstallerSwitches": {"Silent": "-h -i", "SilentWithProgress": "-h -i"}}
    for field, value in expected.items():
        expect(installer.get(field) == value, f"installer manifest: {field} is not {value}")
    expect([i["Architecture"] for i in installer["Installers"]] == ["x86"],
           "installer manifest: not one x86 installer")
    expect(installer["Installers"][0]["InstallerSha256"].lower() == digest(program),
           "installer manifest: InstallerSha256 is not the program's SHA-256")
    entries = installer.get("AppsAndFeaturesEntries") or [{}]
    entry = entries[0]
    expect(len(entries) == 1 and entry.get("DisplayVersion") == version,
           "installer manifest: the apps-and-features entry's version is not the program's")
    expect(entry.get("ProductCode") == installer.get("ProductCode"),
           "installer manifest: two product codes")
    with open(program, "rb") as f:
        data = f.read()
    for what, text in (("DisplayName", entry.get("DisplayName")),
                       ("Publisher", entry.get("Publisher"))):
        expect(text and b"\0" + text.encode("cp1252") + b"\0" in data,
               f"installer manifest: {what} {text!r} is not a text of the program")
    expect(UNINSTALL + str(entry.get("ProductCode")).encode("cp1252") + b"\0" in data,
           f"installer manifest: ProductCode {entry.get('ProductCode')!r} is not the key the "
           "program writes")


def check_return_codes(installer, text, readme_codes):
    listed = [(c["InstallerReturnCode"], c["ReturnResponse"]) for c in
              installer.get("ExpectedReturnCodes") or []]
    codes = [code for code, _ in listed]
    expect(sorted(codes) == sorted(readme_codes),
           f"installer manifest: return codes {sorted(set(codes) ^ set(readme_codes))} "
           "differ from the README's table")
    for code, response in listed:
        expect(response == WINGET_MEANINGS.get(code, "custom"),
               f"installer manifest: {code} is {response}")
        if response == "custom":
            expect(f"# {code}: {readme_codes[code]}\n" in text,
                   f"installer manifest: custom code {code} without the README's text")


def package_listing(tool, program):
    listing = json.loads(subprocess.run([tool, "list", "--json", program], capture_output=True,
                                        text=True).stdout)
    expect(listing.get("ok"), f"{program}: its package does not verify")
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run([tool, "extract", program, folder], capture_output=True, check=True)
        for entry in listing["entries"]:
            path = os.path.join(folder, *entry["name"].split("\\"))
            entry["digests"] = {name: digest(path, name) for name in ("sha1", "sha256", "md5")}
    return listing["entries"]


def dpkg_version(package):
    return subprocess.run(["dpkg-query", "-W", "-f", "${Version}", package], capture_output=True,
                          text=True).stdout


def check_sbom(release, tool, openssl, schemas):
    with open(os.path.join(release, SBOM), encoding="utf-8") as f:
        document = json.load(f)
    validate(document, os.path.join(schemas, "spdx", "spdx-schema-2.3.json"), SBOM)
    expect(document["spdxVersion"] == "SPDX-2.3", "SBOM: not SPDX 2.3")
    elements = {e["SPDXID"]: e for e in document.get("packages", []) + document.get("files", [])}
    related = {}
    for r in document.get("relationships", []):
        expect(r["relatedSpdxElement"] in elements, f"SBOM: {r['relatedSpdxElement']} is unknown")
        related.setdefault((r["spdxElementId"], r["relationshipType"]), []).append(
            elements[r["relatedSpdxElement"]])
    described = related.get(("SPDXRef-DOCUMENT", "DESCRIBES"), [])
    expect(len(described) == 1, "SBOM: does not describe one package")
    product = described[0]
    program = os.path.join(release, PROGRAM)
    sums = {c["algorithm"]: c["checksumValue"] for c in product.get("checksums", [])}
    expect(sums.get("SHA256") == digest(program), "SBOM: the program's SHA-256 is not its own")
    expect(product.get("versionInfo") == product_version(program),
           "SBOM: not the program's version")
    check_sbom_files(related.get((product["SPDXID"], "CONTAINS"), []),
                     package_listing(tool, program))
    check_sbom_libraries(related.get((product["SPDXID"], "STATIC_LINK"), []), openssl)
    declared = {i["licenseId"] for i in document.get("hasExtractedLicensingInfos", [])}
    for element in elements.values():
        for ref in re.findall(r"LicenseRef-[\w.-]+", json.dumps(element)):
            expect(ref in declared, f"SBOM: {ref} is not declared")


def check_sbom_files(files, entries):
    expect(len(files) == len(entries) == 61, f"SBOM: {len(files)} files for {len(entries)} entries")
    by_name = {f["fileName"]: f for f in files}
    for entry in entries:
        listed = by_name.get("./" + entry["name"].replace("\\", "/"))
        expect(listed, f"SBOM: no file for entry {entry['name']}")
        sums = {c["algorithm"]: c["checksumValue"] for c in listed["checksums"]}
        expect(sums.get("MD5") == entry["plain_md5"] == entry["digests"]["md5"],
               f"SBOM: {entry['name']}: MD5 is not the package entry's")
        expect(sums.get("SHA256") == entry["digests"]["sha256"] and
               sums.get("SHA1") == entry["digests"]["sha1"],
               f"SBOM: {entry['name']}: its checksums are not those of the extracted file")


def check_sbom_libraries(libraries, openssl):
    by_name = {p["name"]: p for p in libraries}
    version = os.path.basename(os.path.dirname(os.path.realpath(openssl))).removeprefix("openssl-")
    crypto = by_name.get("openssl", {})
    expect(crypto.get("versionInfo") == version and "openssl" in crypto.get("sourceInfo", ""),
           f"SBOM: libcrypto is not listed as Debian's openssl {version}")
    expect(crypto.get("licenseDeclared") == "Apache-2.0", "SBOM: libcrypto's licence")
    for package, licence in (("mingw-w64-i686-dev", "ZPL-2.1"),
                             ("gcc-mingw-w64-i686-win32", "GCC-exception-3.1")):
        listed = by_name.get(package, {})
        expect(listed.get("versionInfo") == dpkg_version(package),
               f"SBOM: {package} is not listed with its installed version")
        expect(licence in listed.get("licenseDeclared", ""), f"SBOM: {package}'s licence")


def check(release, readme, tool, openssl, schemas):
    """None when the release is right, else the first reason it is not."""
    try:
        check_sums(release)
        check_manifests(release, readme, schemas)
        check_sbom(release, tool, openssl, schemas)
    except Failed as failure:
        return str(failure)
    except (OSError, KeyError, TypeError, ValueError, yaml.YAMLError) as error:
        return f"unreadable: {type(error).__name__}: {error}"
    return None


def resum(release):
    with open(os.path.join(release, "SHA256SUMS"), "w", encoding="utf-8") as f:
        f.writelines(f"{digest(os.path.join(release, path))}  {path}\n"
                     for path in release_files(release))


def replace(release, pattern, new, count=1):
    """Changes the first match in the one file of the release that has it."""
    for folder, _, names in os.walk(release):
        for name in names:
            path = os.path.join(folder, name)
            if name.endswith((".yaml", ".json", "SHA256SUMS")):
                with open(path, encoding="utf-8") as f:
                    text = f.read()
                changed, done = re.subn(pattern, new, text, count=count, flags=re.M)
                if done:
                    with open(path, "w", encoding="utf-8") as f:
                        f.write(changed)
                    return
    raise Failed(f"damage: nothing matches {pattern}")


def sbom_edit(change):
    def apply(release):
        path = os.path.join(release, SBOM)
        with open(path, encoding="utf-8") as f:
            document = json.load(f)
        change(document)
        with open(path, "w", encoding="utf-8") as f:
            json.dump(document, f)
    return apply


def library(document, name):
    return next(p for p in document["packages"] if p["name"] == name)


# (damage, what it does to a copy of the release, the reason the check must give).
# Damages that SHA256SUMS is not to find are summed again, so that only their own
# check can find them.
def text(pattern, new, count=1):
    return lambda release: replace(release, pattern, new, count)


def append_byte(release):
    with open(os.path.join(release, PROGRAM), "ab") as f:
        f.write(b"\0")


DAMAGES = [
    ("program changed after summing", append_byte,
     "SHA256SUMS: MOSSGATE_CD_Pack_Setup.exe differs"),
    ("bill of materials not summed", text(r"^.*spdx\.json\n", ""), "SHA256SUMS lists"),
    # The sum of an empty file: any first digit could be the program's own.
    ("installer sum of another file",
     text(r"InstallerSha256: \w{64}", "InstallerSha256: " + hashlib.sha256(b"").hexdigest().upper()),
     "InstallerSha256 is not the program's"),
    ("scope outside the schema", text(r"^Scope: machine", "Scope: everywhere"),
     "does not validate"),
    ("per-user scope", text(r"^Scope: machine", "Scope: user"), "Scope is not machine"),
    ("no silent switch", text(r'^  Silent: "-h -i"', '  Silent: "-h"'), "InstallerSwitches"),
    ("another version", text(r'^PackageVersion: "[\d.]+"', 'PackageVersion: "9.9.9.9"', 0),
     "PackageVersion 9.9.9.9"),
    ("another product code", text(r'ProductCode: "KS:', 'ProductCode: "KT:', 0),
     "is not the key the program writes"),
    ("another publisher", text(r'^  Publisher: "', '  Publisher: "The '),
     "is not a text of the program"),
    ("exit code -10 left out", text(r"^# -10:.*\n- InstallerReturnCode: -10\n.*\n", ""),
     "differ from the README"),
    ("a custom code without its text", text(r"^# -604:.*\n", ""), "custom code -604 without"),
    ("restart code as custom",
     text(r"(InstallerReturnCode: -21\n  ReturnResponse: )\w+", r"\1custom"),
     "-21 is custom"),
    ("removal by -i not stated", text(r"-i removes the package", "-i installs"),
     "does not say that -i removes"),
    ("a key the schema forbids", sbom_edit(lambda d: d.update({"$schema": "x"})),
     "does not validate"),
    ("an entry's SHA-256 changed",
     sbom_edit(lambda d: d["files"][5]["checksums"][1].update(checksumValue="0" * 64)),
     "checksums are not those"),
    ("an entry's MD5 changed",
     sbom_edit(lambda d: d["files"][60]["checksums"][2].update(checksumValue="0" * 32)),
     "MD5 is not the package entry's"),
    ("an entry left out", sbom_edit(lambda d: d["relationships"].pop(1)), "60 files for 61"),
    ("libcrypto of another version",
     sbom_edit(lambda d: library(d, "openssl").update(versionInfo="3.0.0-1")),
     "libcrypto is not listed"),
    ("MinGW-w64 runtime of another version",
     sbom_edit(lambda d: library(d, "mingw-w64-i686-dev").update(versionInfo="9")),
     "mingw-w64-i686-dev is not listed"),
    ("program of another version", sbom_edit(lambda d: d["packages"][0].update(versionInfo="1")),
     "not the program's version"),
]


def check_damaged(release, *rest):
    ok = True
    for what, damage, reason in DAMAGES:
        with tempfile.TemporaryDirectory() as folder:
            copy = os.path.join(folder, "release")
            shutil.copytree(release, copy)
            damage(copy)
            if not reason.startswith("SHA256SUMS"):
                resum(copy)
            failure = check(copy, *rest)
            right = failure is not None and reason in failure
            ok = ok and right
            print(f"{'ok  ' if right else 'FAIL'} {what}: "
                  f"{failure if failure else 'passes'}{'' if right else f' (expected: {reason})'}")
    return ok


def main(argv):
    damaged = argv[1:2] == ["--damaged"]
    arguments = argv[2:] if damaged else argv[1:]
    if len(arguments) != 5:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    if damaged:
        return 0 if check_damaged(*arguments) else 1
    failure = check(*arguments)
    print(f"FAIL {failure}" if failure else
          f"ok   {arguments[0]}: SHA256SUMS, three winget manifests, the SPDX bill of materials")
    return 1 if failure else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
