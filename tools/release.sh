#!/usr/bin/env bash
# Makes the release files: the product built reproducibly (the win32 preset, time
# stamps from the commit), signed by tools/sign.sh; the winget manifests
# (winget/*.yaml) and the SPDX bill of materials (MOSSGATE_CD_Pack_Setup.spdx.json)
# made from that build (tools/release/make_artefacts.py); SHA256SUMS over them all.
#   tools/release.sh [--allow-dirty] [--out DIR] [--installer-url URL] [SIGN OPTIONS]
# --out: where the release files go (default build/release, emptied first).
# --installer-url: where deployment tools will download the program from (the
# manifests' InstallerUrl; default below the publisher's web address).
# SIGN OPTIONS go to tools/sign.sh (--pkcs12 FILE --password-file FILE, the
# PKCS#11 ones, --ts URL, --test-ca-dir DIR); without them the throwaway test CA
# signs, for trials.
# A working tree with changes is refused: its build would match no commit.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
allow_dirty="" release=build/release url=() sign_options=()
while [ $# -gt 0 ]; do
    case $1 in
    --allow-dirty) allow_dirty=1 ;;
    --out | --installer-url)
        [ $# -ge 2 ] || { echo "release: $1 needs a value" >&2; exit 2; }
        if [ "$1" = --out ]; then release=$2; else url=("$2"); fi
        shift ;;
    *) sign_options+=("$1") ;;
    esac
    shift
done
# The folder is emptied first: only ever one that holds nothing or an earlier release.
if [ -n "$(ls -A "$release" 2>/dev/null)" ] && [ ! -f "$release/SHA256SUMS" ]; then
    echo "release: $release holds files but no earlier release (no SHA256SUMS); choose another --out" >&2
    exit 2
fi
if [ -z "$allow_dirty" ] && [ -n "$(git status --porcelain 2>/dev/null)" ]; then
    echo "release: the working tree has changes; commit them (or --allow-dirty for a trial)" >&2
    exit 1
fi

bash tools/bootstrap.sh >/dev/null
# Configuring anew takes the time of the current commit.
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target MOSSGATE_CD_Pack_Setup >/dev/null
unsigned=build/win32/bin/MOSSGATE_CD_Pack_Setup.exe
signed=$(tools/sign.sh --preset win32 "${sign_options[@]}")

# The time the build stamped into the program (cmake/reproducible.cmake).
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 946684800)}

rm -rf "$release" && mkdir -p "$release"
cp "$signed" "$release/"
python3 tools/release/make_artefacts.py "$release/MOSSGATE_CD_Pack_Setup.exe" build/win32 . \
    "$release" "$epoch" "${url[@]}" >/dev/null
(cd "$release" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort |
    xargs -d '\n' sha256sum >SHA256SUMS)

echo "release files in $release:"
(cd "$release" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | xargs -d '\n' ls -l)
echo "SHA256SUMS:"
sed 's/^/  /' "$release/SHA256SUMS"
echo "unsigned build ($(git log -1 --format='%h, %cI' 2>/dev/null || echo 'outside git')):"
echo "  $(sha256sum "$unsigned" | cut -d' ' -f1)  $unsigned"
case " ${sign_options[*]} " in
*" --pkcs12 "* | *" --pkcs11-module "*) ;;
*) echo "signed with the throwaway test CA (build/test-ca/ca.pem): for trials, not for users" ;;
esac
