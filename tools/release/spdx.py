"""The SPDX 2.3 bill of materials of a release (JSON): the setup program, the files
of its package, and what the static link put into it, each library with the
Debian package it came from.
"""
import hashlib
import os
import time

from facts import FactError, bootstrap_libcrypto, debian_package

# The licence of each Debian source package whose code the link takes in, with
# texts that the licence file must hold: a source package not named here, or a
# licence file that says otherwise, stops the release until someone looks.
LICENCES = {
    "openssl": ("Apache-2.0", ["Apache License", "Version 2.0"]),
    "mingw-w64": ("ZPL-2.1 AND LicenseRef-public-domain",
                  ["License: ZPL-2.1", "License: public-domain"]),
    "gcc-mingw-w64": ("GPL-3.0-or-later WITH GCC-exception-3.1",
                      ["GCC RUNTIME LIBRARY EXCEPTION", "either version 3"]),
}
PUBLIC_DOMAIN = {
    "licenseId": "LicenseRef-public-domain",
    "name": "public domain",
    "extractedText": "Released into the public domain by its authors, as Debian's copyright "
                     "file of the mingw-w64 packages states (License: public-domain) for the "
                     "start-up code and most of libmingwex.",
}


def spdx_id(kind, name):
    return "SPDXRef-" + kind + "-" + "".join(c if c.isalnum() or c in ".-" else "-" for c in name)


def checksums(digests, names=("SHA1", "SHA256", "MD5")):
    return [{"algorithm": name, "checksumValue": digests[name]} for name in names]


def licence(source, licence_file):
    if source not in LICENCES:
        raise FactError(f"no licence known for the Debian source package {source}: add it")
    expression, texts = LICENCES[source]
    with open(licence_file, encoding="utf-8", errors="replace") as f:
        text = f.read()
    missing = [t for t in texts if t not in text]
    if missing:
        raise FactError(f"{licence_file} does not say {missing}: is {source} still {expression}?")
    return expression


def library_packages(parts, triple):
    """SPDX packages of what the link took from outside the build, one per Debian package."""
    grouped = {}
    for path, members in sorted(parts.items()):
        if path.endswith("/libcrypto.a"):
            source, version, licence_file = bootstrap_libcrypto(path)
            key = (source, version, "source", source, version)
            comment = f"libcrypto built statically for {triple} by tools/bootstrap.sh"
        else:
            key = debian_package(path)
            licence_file = f"/usr/share/doc/{key[0]}/copyright"
            comment = "the installed Debian package"
        # Import libraries bring a stub per function: their count says enough.
        shown = ", ".join(members) if len(members) <= 6 else f"{len(members)} members"
        grouped.setdefault(key, (licence_file, comment, []))[2].append(
            os.path.basename(path) + (f" ({shown})" if members else ""))
    packages = []
    for (name, version, arch, source, source_version), (licence_file, comment, linked) in \
            grouped.items():
        expression = licence(source, licence_file)
        packages.append({
            "SPDXID": spdx_id("Package", name),
            "name": name,
            "versionInfo": version,
            "supplier": "Organization: Debian",
            "downloadLocation": "NOASSERTION",
            "filesAnalyzed": False,
            "licenseConcluded": expression,
            "licenseDeclared": expression,
            "copyrightText": "NOASSERTION",
            "sourceInfo": f"Debian source package {source} {source_version}",
            "comment": f"From {comment}; linked statically: {'; '.join(linked)}",
            "externalRefs": [{
                "referenceCategory": "PACKAGE-MANAGER",
                "referenceType": "purl",
                "referenceLocator": f"pkg:deb/debian/{name}@{version}?arch={arch}",
            }],
            "primaryPackagePurpose": "LIBRARY",
        })
    return packages


def verification_code(files):
    sha1s = sorted(f["checksums"][0]["checksumValue"] for f in files)
    return hashlib.sha1("".join(sha1s).encode()).hexdigest()


def package_files(entries):
    return [{
        "SPDXID": spdx_id("File", f"{entry['index']}-{entry['name']}"),
        "fileName": "./" + entry["name"].replace("\\", "/"),
        "checksums": checksums(entry["digests"]),
        "licenseConcluded": "NOASSERTION",
        "copyrightText": "NOASSERTION",
        "comment": f"package entry {entry['index']}, reserved value 0x{entry['reserved']:08X}",
    } for entry in entries]


def document(program, facts, program_digests, entries, parts, triple, epoch, url, publisher_url):
    """The whole SPDX document as a dict, ready for json.dump."""
    created = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(epoch))
    name = os.path.basename(program)
    files = package_files(entries)
    libraries = library_packages(parts, triple)
    product = {
        "SPDXID": "SPDXRef-Package-setup-program",
        "name": facts["ProductName"],
        "versionInfo": facts["ProductVersion"],
        "packageFileName": name,
        "supplier": f"Organization: {facts['CompanyName']}",
        "downloadLocation": url,
        "builtDate": created,
        "filesAnalyzed": True,
        "packageVerificationCode": {"packageVerificationCodeValue": verification_code(files)},
        "checksums": checksums(program_digests, ("SHA1", "SHA256")),
        "licenseConcluded": "NOASSERTION",
        "licenseDeclared": "NOASSERTION",
        "copyrightText": facts["LegalCopyright"],
        "description": f"{facts['FileDescription']}: one {triple} program carrying its package "
                       f"of {len(files)} files",
        "hasFiles": [f["SPDXID"] for f in files],
        "primaryPackagePurpose": "INSTALL",
    }
    relationships = [{"spdxElementId": "SPDXRef-DOCUMENT", "relationshipType": "DESCRIBES",
                      "relatedSpdxElement": product["SPDXID"]}]
    relationships += [{"spdxElementId": product["SPDXID"], "relationshipType": "CONTAINS",
                       "relatedSpdxElement": f["SPDXID"]} for f in files]
    relationships += [{"spdxElementId": product["SPDXID"], "relationshipType": "STATIC_LINK",
                       "relatedSpdxElement": p["SPDXID"]} for p in libraries]
    return {
        "spdxVersion": "SPDX-2.3",
        "dataLicense": "CC0-1.0",
        "SPDXID": "SPDXRef-DOCUMENT",
        "name": f"{os.path.splitext(name)[0]}-{facts['ProductVersion']}",
        "documentNamespace": f"{publisher_url}/spdx/{os.path.splitext(name)[0]}-"
                             f"{facts['ProductVersion']}-{program_digests['SHA256']}",
        "creationInfo": {
            "created": created,
            "creators": [f"Organization: {facts['CompanyName']}", "Tool: tools/release.sh"],
            "comment": "Made from the build: the program's version resource, its package as "
                       "mossgate-package reads it, the linker's map and the Debian packages "
                       "that provided the linked libraries.",
        },
        "hasExtractedLicensingInfos": [PUBLIC_DOMAIN],
        "packages": [product] + libraries,
        "files": files,
        "relationships": relationships,
    }
