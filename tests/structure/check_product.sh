#!/usr/bin/env bash
# Structural check of a built setup program: machine, subsystem, imports (only the
# DLLs it links statically today), and the resources (icon group 100, BITMAP 101 900x424x24,
# manifest 1 with requireAdministrator, version 2.1.5.2, RCDATA 100 in 0x0409).
# usage: check_product.sh <exe> <mingw-triple>
set -u
. "$(dirname "${BASH_SOURCE[0]}")/../../tools/lib/common.sh"
exe=$1 triple=$2

headers=$("$triple-objdump" -p "$exe")
case $triple in
i686-*) machine='file format pei-i386' arch=X86 ;;
*) machine='file format pei-x86-64' arch=amd64 ;;
esac
check "machine ($machine)" 'grep -q "$machine" <<<"$headers"'
check "GUI subsystem" 'grep -Eq "^Subsystem[[:space:]]+00000002" <<<"$headers"'

# SHELL32, SHFOLDER, OLEAUT32 and OLEACC are loaded at run time by their system
# path, so that a copy planted beside the program is never used: a static import
# of one of them would undo that. NTDLL is mapped into every process before any
# other DLL: its handle-relative file calls are imported. A runtime DLL (libgcc,
# libstdc++, winpthread, libcrypto) is none of these: all is linked statically.
static_dlls='^(kernel32|user32|gdi32|advapi32|ole32|setupapi|msvcrt|ntdll)\.dll$'
imports=$(grep -E '^[[:space:]]*DLL Name:' <<<"$headers" | awk '{print tolower($3)}' | sort -u)
echo "imports: $(tr '\n' ' ' <<<"$imports")"
others=$(grep -Ev "$static_dlls" <<<"$imports" | paste -sd ' ')
check "imports only kernel32, user32, gdi32, advapi32, ole32, setupapi, msvcrt, ntdll${others:+ (not $others)}" '[ -z "$others" ]'

work=$(mktemp -d)
on_exit 'rm -rf "$work"'
if "$triple-windres" -i "$exe" -O rc -o "$work/resources.rc" 2>"$work/windres.err"; then
    rc=$work/resources.rc
    check "icon group 100" 'grep -Eq "^100 14 " "$rc"'
    check "RCDATA 100, language 0x0409" 'grep -B2 -E "^100 RCDATA" "$rc" | grep -Eq "LANGUAGE 9, 1"'
    manifest=$(sed -n '/^1 24/,/^END/p' "$rc" | tr -d '"')
    check "manifest 1 with requireAdministrator" 'grep -q "level=requireAdministrator" <<<"$manifest"'
    check "manifest identity Kestrine.MOSSGATEPack.Installer 1.0.0.0" \
          'grep -q "version=1.0.0.0 processorArchitecture=$arch name=Kestrine.MOSSGATEPack.Installer type=win32" <<<"$manifest"'
    check "manifest names exactly the two supported OS ids" \
          '[ "$(grep -o "supportedOS Id=[^/]*" <<<"$manifest" | tr "\n" " ")" = "supportedOS Id={e2011457-1546-43c5-a5fe-008deee3d3f0} supportedOS Id={35138b9a-5d96-4fbd-8e2d-a2440225f93a} " ]'
    check "version 2,1,5,2" 'grep -Eq "FILEVERSION 2, *1, *5, *2" "$rc" && grep -Eq "PRODUCTVERSION 2, *1, *5, *2" "$rc"'
else
    fail "windres could not read the resources: $(cat "$work/windres.err")"
fi

# BITMAP 101: its info header, read from the section data by a small scan.
"$triple-objcopy" -O binary --only-section=.rsrc "$exe" "$work/rsrc.bin" 2>/dev/null
check "BITMAP 101 is 900 x 424, 24 bits, uncompressed" \
      'od -An -v -tx1 "$work/rsrc.bin" | tr -d " \n" | grep -q "2800000084030000a80100000100180000000000"'
report "product structure"
