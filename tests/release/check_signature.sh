#!/usr/bin/env bash
# The setup program signed by tools/sign.sh with a fresh test CA: the signature
# (SHA-256) verifies against that CA and not against the system's CAs; taking it
# off gives back the unsigned bytes; the package embedded in the signed file still
# verifies; one flipped byte fails verification. Leaves the signed program in
# WORK for release.signed_install.
# usage: check_signature.sh <sign.sh> <unsigned exe> <mossgate-package> <work dir>
set -u
. "$(dirname "${BASH_SOURCE[0]}")/../../tools/lib/common.sh"
sign=$1 unsigned=$2 packer=$3 work=$4

rm -rf "$work" && mkdir -p "$work"
signed=$work/MOSSGATE_CD_Pack_Setup.exe
"$sign" --test-ca-dir "$work/ca" --in "$unsigned" --out "$signed" >/dev/null || { fail "sign.sh"; exit 1; }

verify() { osslsigncode verify -CAfile "$work/ca/ca.pem" -in "$1" >"$work/verify.log" 2>&1; }
check "verifies against the test CA, SHA-256" \
      'verify "$signed" && grep -Eq "digest algorithm +: SHA256" "$work/verify.log"'
check "does not verify against the system CAs" '! osslsigncode verify -in "$signed" >/dev/null 2>&1'
check "without its signature it is the unsigned program, byte for byte" \
      'osslsigncode remove-signature -in "$signed" -out "$work/unsigned.exe" >/dev/null && cmp "$work/unsigned.exe" "$unsigned"'

check "its embedded package verifies (61 of 61), read from the signed program" \
      '[ "$("$packer" verify "$signed")" = "61 of 61 entries verified" ]'

flipped=$work/flipped.exe
cp "$signed" "$flipped"
at=$(($(stat -c %s "$flipped") / 2))
byte=$(od -An -tu1 -j "$at" -N1 "$flipped" | tr -d ' ')
printf "\\$(printf %o $((byte ^ 0x20)))" | dd of="$flipped" bs=1 seek="$at" conv=notrunc 2>/dev/null
check "one flipped byte (offset $at) fails verification" \
      '[ "$(cmp -l "$signed" "$flipped" | wc -l)" -eq 1 ] && ! verify "$flipped"'
report "signature"
