#!/usr/bin/env bash
# Size report of a built setup program: the file, the package and the picture it
# embeds, and the rest (our code, the C++ runtime, libcrypto's MD5, other resources).
#   tools/size-report.sh [PRESET]     (default win32, the product)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
preset=${1:-win32}
build=build/$preset
exe=$build/bin/MOSSGATE_CD_Pack_Setup.exe
[ -f "$exe" ] || { echo "no $exe: build the $preset preset first" >&2; exit 1; }
case $preset in win32) triple=i686-w64-mingw32 ;; *) triple=x86_64-w64-mingw32 ;; esac

file_bytes=$(stat -c %s "$exe")
package_bytes=$(stat -c %s "$build/package/package.bin")
# BITMAP 101 holds the .bmp file without its 14-byte file header.
picture_bytes=$(( $(stat -c %s "$build/generated/background.bmp") - 14 ))
rest=$((file_bytes - package_bytes - picture_bytes))
section() {
    local hex
    hex=$("$triple-objdump" -h "$exe" | awk -v s="$1" '$2 == s { print $3 }')
    echo $((16#${hex:-0}))
}

printf '%-36s %10s\n' "$exe" "bytes"
printf '  %-34s %10d\n' "file" "$file_bytes"
printf '  %-34s %10d\n' "package (RCDATA 100)" "$package_bytes"
printf '  %-34s %10d\n' "picture (BITMAP 101)" "$picture_bytes"
printf '  %-34s %10d\n' "rest" "$rest"
printf '    %-32s %10s\n' "of which code (.text)" "$(section .text)"
printf '    %-32s %10s\n' "read-only data (.rdata)" "$(section .rdata)"
printf '    %-32s %10s\n' "other resources, data, headers" \
    "$((rest - $(section .text) - $(section .rdata)))"
