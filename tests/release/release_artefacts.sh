#!/usr/bin/env bash
# The real tools/release.sh, run into a folder of its own (signed with a fresh test
# CA), and its output checked as deployment tools and auditors take it; then copies
# of that output damaged one way each, which the same check must reject.
# usage: release_artefacts.sh <source dir> <work dir> <libcrypto dir>
set -u
source=$1 work=$2 openssl=$3
rm -rf "$work" && mkdir -p "$work"
release=$work/release
if ! "$source/tools/release.sh" --allow-dirty --out "$release" --test-ca-dir "$work/ca" \
    >"$work/release.log" 2>&1; then
    echo "FAIL tools/release.sh:"
    sed 's/^/  /' "$work/release.log"
    exit 1
fi
check=("$source/tests/release/check_release.py" "$release" "$source/README.md"
       "$source/build/win32/host-tools/mossgate-package" "$openssl" "$source/tests/release/schemas")
/usr/bin/python3 "${check[@]}" || exit 1
/usr/bin/python3 "${check[0]}" --damaged "${check[@]:1}"
