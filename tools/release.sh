#!/usr/bin/env bash
# Makes the release files in build/release: the product built reproducibly (the
# win32 preset, time stamps from the commit), signed by tools/sign.sh, and
# SHA256SUMS beside it.
#   tools/release.sh [--allow-dirty] [SIGN OPTIONS]
# SIGN OPTIONS go to tools/sign.sh (--pkcs12 FILE --password-file FILE, the
# PKCS#11 ones, --ts URL); without them the throwaway test CA signs, for trials.
# A working tree with changes is refused: its build would match no commit.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
allow_dirty="" sign_options=()
for argument in "$@"; do
    if [ "$argument" = --allow-dirty ]; then allow_dirty=1; else sign_options+=("$argument"); fi
done
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

release=build/release
rm -rf "$release" && mkdir -p "$release"
cp "$signed" "$release/"
(cd "$release" && sha256sum MOSSGATE_CD_Pack_Setup.exe >SHA256SUMS)

echo "release files in $release:"
ls -l "$release" | sed 1d
echo "SHA256SUMS:"
sed 's/^/  /' "$release/SHA256SUMS"
echo "unsigned build ($(git log -1 --format='%h, %cI' 2>/dev/null || echo 'outside git')):"
echo "  $(sha256sum "$unsigned" | cut -d' ' -f1)  $unsigned"
case " ${sign_options[*]} " in
*" --pkcs12 "* | *" --pkcs11-module "*) ;;
*) echo "signed with the throwaway test CA (build/test-ca/ca.pem): for trials, not for users" ;;
esac
