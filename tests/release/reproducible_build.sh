#!/usr/bin/env bash
# Builds a preset a second time, from a copy of the sources in a temporary folder
# elsewhere and at a later time, and compares the release outputs byte for byte
# with those of the build in BUILD: the setup program, the stand-in programs (the
# i686 ones and the product's x86_64 ones), the package and the picture and icon.
# The copy is outside git, so the first build's SOURCE_DATE_EPOCH is given to it.
# usage: reproducible_build.sh <preset> <source dir> <build dir> <epoch> <deps dir>
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../../tools/lib/common.sh"
preset=$1 source=$2 build=$3 epoch=$4 deps=$5

outputs=(generated/background.bmp generated/mossgate.ico package/package.bin
         bin/MOSSGATE_CD_Pack_Setup.exe)
for program in C_Setup D_Setup C_ControlPanel D_ControlPanel; do
    outputs+=(bin/MOSSGATE_$program.exe)
done
[ "$preset" != win32 ] || outputs+=(payload-x64/bin/MOSSGATE_C_Setup.exe payload-x64/bin/MOSSGATE_D_Setup.exe)

work=$(mktemp -d "${TMPDIR:-/tmp}/mossgate-rebuild.XXXXXX")
on_exit 'rm -rf "$work"'
copy=$work/source
mkdir "$copy"
# The working tree as built (uncommitted changes too), without build folders.
if git -C "$source" rev-parse --show-toplevel >/dev/null 2>&1; then
    git -C "$source" ls-files -z --cached --others --exclude-standard |
        while IFS= read -r -d '' f; do [ ! -e "$source/$f" ] || printf '%s\0' "$f"; done |
        tar -C "$source" --null -T - -cf - | tar -C "$copy" -xf -
else
    tar -C "$source" --exclude=./build -cf - . | tar -C "$copy" -xf -
fi

started=$(date +%s)
(
    cd "$copy"
    SOURCE_DATE_EPOCH=$epoch cmake --preset "$preset" -DMOSSGATE_DEPS_DIR="$deps" >"$work/configure.log"
    cmake --build --preset "$preset" --target MOSSGATE_CD_Pack_Setup >"$work/build.log"
) || { tail -n 30 "$work/configure.log" "$work/build.log" 2>/dev/null; exit 1; }
echo "second build in $copy: $(($(date +%s) - started)) s"

second=$copy/build/$preset
differing=0
for output in "${outputs[@]}"; do
    if [ ! -f "$build/$output" ] || [ ! -f "$second/$output" ]; then
        echo "FAIL $output: missing"; differing=1; continue
    fi
    bytes=$(cmp -l "$build/$output" "$second/$output" 2>/dev/null | wc -l || true)
    if [ "$bytes" -eq 0 ] && cmp -s "$build/$output" "$second/$output"; then
        echo "ok   $output"
    else
        echo "FAIL $output: $bytes bytes differ, sizes $(stat -c %s "$build/$output") and $(stat -c %s "$second/$output")"
        differing=1
    fi
done
exit $differing
