"""The winget manifests of a release, in the multi-file form (version, installer,
default locale), manifest version 1.10.0.

Every string is written double-quoted with JSON's escapes, which YAML reads the
same way, so that no value turns into a number or a boolean.
"""
import json
import re

MANIFEST_VERSION = "1.10.0"
LOCALE = "en-US"
# Exit codes that have a meaning winget knows; the others are reported as custom
# codes, each with the README's text beside it.
RESPONSES = {
    -1: "installInProgress",  # another copy already runs
    -21: "rebootRequiredForInstall",  # a driver's setup asks for a restart first
    -701: "invalidParameter",  # silent, but neither install nor remove asked for
}
DESCRIPTION = (
    "Installs the MOSSGATE virtual audio drivers C and D with their control panels and "
    "a readme, and adds an entry to the installed programs whose quiet command (-h -u) "
    "removes them again. Deploy it only where the package is absent: its install switch "
    "-i removes the package instead when a driver of the pair is already present, so "
    "running it again, as an upgrade or a repair, uninstalls. This manifest therefore "
    "refuses upgrades (UpgradeBehavior: deny); the program asks for administrator rights."
)


def q(text):
    return json.dumps(text, ensure_ascii=True)


def identifier(facts):
    """Publisher.Product from the version resource: "Kestrine.MOSSGATECDPackage"."""
    publisher = facts["CompanyName"].split()[0]
    product = re.sub(r"[^A-Za-z0-9]", "", facts["ProductName"])
    return f"{publisher}.{product}"


def header(kind, facts):
    return [
        f"# {kind} manifest of {facts['ProductName']} {facts['ProductVersion']}, "
        "made by tools/release.sh from the build",
        f"# yaml-language-server: $schema=https://aka.ms/winget-manifest.{kind}."
        f"{MANIFEST_VERSION}.schema.json",
        "",
        f"PackageIdentifier: {q(identifier(facts))}",
        f"PackageVersion: {q(facts['ProductVersion'])}",
    ]


def footer(kind):
    return [f"ManifestType: {kind}", f"ManifestVersion: {MANIFEST_VERSION}", ""]


def version_manifest(facts):
    return "\n".join(header("version", facts) + [f"DefaultLocale: {LOCALE}"] + footer("version"))


def return_codes(codes):
    lines = ["ExpectedReturnCodes:"]
    for code, text in codes:
        lines += [f"# {code}: {text}",
                  f"- InstallerReturnCode: {code}",
                  f"  ReturnResponse: {RESPONSES.get(code, 'custom')}"]
    return lines


def installer_manifest(facts, product_code, sha256, url, release_date, codes):
    entry = [
        "AppsAndFeaturesEntries:",
        f"- DisplayName: {q(facts['ProductName'])}",
        f"  Publisher: {q(facts['CompanyName'])}",
        f"  DisplayVersion: {q(facts['ProductVersion'])}",
        f"  ProductCode: {q(product_code)}",
        "  InstallerType: exe",
    ]
    lines = header("installer", facts) + [
        "InstallerType: exe",
        "Scope: machine",
        "InstallModes:",
        "- interactive",
        "- silent",
        "- silentWithProgress",
        "InstallerSwitches:",
        f"  Silent: {q('-h -i')}",
        f"  SilentWithProgress: {q('-h -i')}",
        "UpgradeBehavior: deny",
        "ElevationRequirement: elevationRequired",
        f"ProductCode: {q(product_code)}",
        f"ReleaseDate: {q(release_date)}",
    ] + entry + return_codes(codes) + [
        "Installers:",
        "- Architecture: x86",
        f"  InstallerUrl: {q(url)}",
        f"  InstallerSha256: {sha256.upper()}",
    ]
    return "\n".join(lines + footer("installer"))


def locale_manifest(facts, publisher_url):
    lines = header("defaultLocale", facts) + [
        f"PackageLocale: {LOCALE}",
        f"Publisher: {q(facts['CompanyName'])}",
        f"PublisherUrl: {q(publisher_url)}",
        f"PackageName: {q(facts['ProductName'])}",
        f"License: {q('Proprietary')}",
        f"Copyright: {q(facts['LegalCopyright'])}",
        f"ShortDescription: {q(facts['FileDescription'])}",
        f"Description: {q(DESCRIPTION)}",
    ]
    return "\n".join(lines + footer("defaultLocale"))


def manifests(facts, product_code, sha256, url, release_date, codes, publisher_url):
    """{file name: text} of the three manifests."""
    name = identifier(facts)
    return {
        f"{name}.yaml": version_manifest(facts),
        f"{name}.installer.yaml": installer_manifest(facts, product_code, sha256, url,
                                                     release_date, codes),
        f"{name}.locale.{LOCALE}.yaml": locale_manifest(facts, publisher_url),
    }
