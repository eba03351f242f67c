#!/usr/bin/env bash
# Signs the setup program (and, on request, the stand-in programs) with an
# Authenticode SHA-256 signature, using osslsigncode. The build's own files stay
# unsigned, so two builds can still be compared byte for byte; the signed copies
# go to build/<preset>/release/ (stand-ins to release/standins/).
#
#   tools/sign.sh [OPTIONS]
#     --preset NAME            the build to sign (default win32: the product)
#     --standins               also sign the stand-in programs of that build
#     --in FILE --out FILE     sign this one file instead
#   The key (default: a throwaway test CA and code-signing certificate, made with
#   openssl once and kept in build/test-ca, never to be shipped):
#     --test-ca-dir DIR        keep the test CA in DIR instead
#     --pkcs12 FILE --password-file FILE
#                              a certificate and key of your own (PKCS#12)
#     --pkcs11-module LIB --key-id ID (--certs FILE | --pkcs11-cert ID)
#          [--pkcs11-engine ENGINE] [--password-file FILE (the PIN)]
#                              a key in a token or HSM, through PKCS#11
#     --ts URL                 RFC 3161 time-stamp server (may be repeated)
# Prints the path of each signed file.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2; }
preset=win32 standins="" in="" out="" ca_dir=$here/build/test-ca
pkcs12="" password_file="" module="" engine="" key_id="" certs="" pkcs11_cert=""
timestamps=()
while [ $# -gt 0 ]; do
    if [ "$1" = --standins ]; then standins=1; shift; continue; fi
    [ $# -ge 2 ] || usage
    case $1 in
    --preset) preset=$2 ;;
    --in) in=$2 ;;
    --out) out=$2 ;;
    --test-ca-dir) ca_dir=$2 ;;
    --pkcs12) pkcs12=$2 ;;
    --password-file) password_file=$2 ;;
    --pkcs11-module) module=$2 ;;
    --pkcs11-engine) engine=$2 ;;
    --key-id) key_id=$2 ;;
    --certs) certs=$2 ;;
    --pkcs11-cert) pkcs11_cert=$2 ;;
    --ts) timestamps+=(-ts "$2") ;;
    *) usage ;;
    esac
    shift 2
done
command -v osslsigncode >/dev/null || { echo "sign: osslsigncode is missing (run tools/bootstrap.sh)" >&2; exit 1; }

# A root CA and a code-signing certificate issued by it, made once. Both are for
# tests only: Windows trusts neither.
make_test_ca() {
    local dir=$1
    if [ -f "$dir/signer.p12" ] && openssl x509 -checkend 86400 -noout -in "$dir/signer.pem" >/dev/null; then
        return
    fi
    mkdir -p "$dir" && chmod 700 "$dir"
    umask 077
    (
        cd "$dir"
        openssl req -x509 -newkey rsa:3072 -nodes -keyout ca.key -out ca.pem -days 3650 \
            -subj "/O=Kestrine Software/CN=MOSSGATE Test CA (not for release)" \
            -addext "basicConstraints=critical,CA:TRUE" \
            -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
        openssl req -newkey rsa:3072 -nodes -keyout signer.key -out signer.csr \
            -subj "/O=Kestrine Software/CN=Kestrine Software (test signature)" 2>/dev/null
        printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
        openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 825 \
            -extfile signer.ext -out signer.pem 2>/dev/null
        openssl rand -hex 16 >password
        openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem \
            -passout file:password -out signer.p12
        rm -f signer.csr signer.ext
    )
}

key=()
if [ -n "$module" ]; then
    [ -n "$key_id" ] && [ -n "$certs$pkcs11_cert" ] || usage
    key=(-pkcs11module "$module" -key "$key_id")
    [ -z "$engine" ] || key+=(-pkcs11engine "$engine")
    if [ -n "$certs" ]; then key+=(-certs "$certs"); else key+=(-pkcs11cert "$pkcs11_cert"); fi
    [ -z "$password_file" ] || key+=(-readpass "$password_file")
elif [ -n "$pkcs12" ]; then
    [ -n "$password_file" ] || usage
    key=(-pkcs12 "$pkcs12" -readpass "$password_file")
else
    make_test_ca "$ca_dir"
    key=(-pkcs12 "$ca_dir/signer.p12" -readpass "$ca_dir/password")
fi

sign() { # input output description
    mkdir -p "$(dirname "$2")"
    rm -f "$2"
    osslsigncode sign "${key[@]}" -h sha256 -n "$3" -i https://www.kestrine.example \
        "${timestamps[@]}" -in "$1" -out "$2" >/dev/null
    echo "$2"
}

if [ -n "$in" ]; then
    [ -n "$out" ] || usage
    sign "$in" "$out" "MOSSGATE C+D Package Setup"
    exit
fi
build=$here/build/$preset
sign "$build/bin/MOSSGATE_CD_Pack_Setup.exe" "$build/release/MOSSGATE_CD_Pack_Setup.exe" \
    "MOSSGATE C+D Package Setup"
if [ -n "$standins" ]; then
    for program in "$build"/bin/MOSSGATE_{C,D}_{Setup,ControlPanel}.exe; do
        sign "$program" "$build/release/standins/$(basename "$program")" "$(basename "$program" .exe)"
    done
    for program in "$build"/payload-x64/bin/MOSSGATE_{C,D}_Setup.exe; do
        [ ! -f "$program" ] ||
            sign "$program" "$build/release/standins/$(basename "$program" .exe)_x64.exe" "$(basename "$program" .exe)"
    done
fi
