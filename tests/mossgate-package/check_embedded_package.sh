#!/usr/bin/env bash
# The package that a Windows build embeds, read from the built setup program
# itself and checked against the manifest it was made from: `mossgate-package
# list` verifies all 61 entries and finds package.bin, byte for byte, as the
# program's resource; the directory holds the manifest's names and reserved
# values in order and the digests of its sources;
# `verify --json` is JSON; `extract` from the program writes the manifest's files
# byte for byte; each program is a GUI program of the right machine that imports
# only system DLLs (product: i386 under ".exe" and x86-64 under "_x64.exe"; twin:
# x86-64 under both).
# usage: check_embedded_package.sh <mossgate-package> <package.bin> <package.manifest>
#                                  <pointer bytes> <setup program>
set -u
. "$(dirname "${BASH_SOURCE[0]}")/../../tools/lib/common.sh"
tool=$1 package=$2 manifest=$3 pointer_bytes=$4 program=$5
work=$(mktemp -d)
on_exit 'rm -rf "$work"'

listing=$("$tool" list "$program" 2>&1)
status=$?
check "list $(basename "$program"): 61 of 61 entries verified" \
      '[ $status -eq 0 ] && [ "$(tail -n 1 <<<"$listing")" = "61 of 61 entries verified" ]'
[ $status -eq 0 ] || echo "$listing" | grep -E 'FAILED|mossgate-package:'
machine='PE32 (machine 0x014C)'
[ "$pointer_bytes" = 8 ] && machine='PE32+ (machine 0x8664)'
read -r offset size < <(sed -nE '1s/.* at offset ([0-9]+), ([0-9]+) bytes$/\1 \2/p' <<<"$listing")
check "a $machine setup program whose package resource is package.bin, byte for byte" \
      'head -n 1 <<<"$listing" | grep -q "$machine; package in resource RCDATA 100 language 0x0409" &&
       cmp -s <(tail -c +$((offset + 1)) "$program" | head -c "$size") "$package"'

# name, reserved, digest of every row (rows follow the two header lines).
actual=$(sed -n '3,63p' <<<"$listing" | awk '{ print $7 "\t" $4 "\t" $5 }')
expected=""
declare -A source_of=()
while IFS=$'\t' read -r name reserved source; do
    case $name in '' | '#'*) continue ;; esac
    source_of[$name]=$source
    digest=$(md5sum <"$source" | cut -d' ' -f1)
    expected+=$(printf '%s\t0x%08X\t%s' "$name" "$reserved" "$digest")$'\n'
done <"$manifest"
check "names, reserved values and digests are the manifest's, in order" \
      '[ "$actual" = "${expected%$'"'"'\n'"'"'}" ]'
[ "$actual" = "${expected%$'\n'}" ] || diff <(echo "$expected") <(echo "$actual") | head -20

verified=$("$tool" verify --json "$program" | python3 -c \
    'import json, sys; d = json.load(sys.stdin); print(d["ok"], d["verified"], d["total"], d["failures"])')
check "verify --json on the program: JSON saying 61 of 61" '[ "$verified" = "True 61 61 []" ]'

"$tool" extract "$program" "$work/out" >"$work/extract.log" 2>&1
extracted=$?
check "extract from the program: 61 of 61 written" \
      '[ $extracted -eq 0 ] && [ "$(tail -n 1 "$work/extract.log")" = "61 of 61 entries written to $work/out" ]'
differ=""
for name in "${!source_of[@]}"; do
    cmp -s "${source_of[$name]}" "$work/out/$name" || differ+="$name "
done
check "the extracted files are the manifest's sources ${differ:+(not $differ)}" \
      '[ -z "$differ" ] && [ "$(find "$work/out" -type f | wc -l)" = 61 ]'

system_dlls='^(kernel32|user32|gdi32|advapi32|setupapi|msvcrt|ntdll)\.dll$'
for name in "${!source_of[@]}"; do
    case $name in *.exe) ;; *) continue ;; esac
    want='file format pei-x86-64'
    case $name in *_x64.exe) ;; *) [ "$pointer_bytes" = 4 ] && want='file format pei-i386' ;; esac
    headers=$(x86_64-w64-mingw32-objdump -p "${source_of[$name]}" 2>&1)
    foreign=$(grep -E '^[[:space:]]*DLL Name:' <<<"$headers" | awk '{print tolower($3)}' |
              grep -Ev "$system_dlls" | tr '\n' ' ')
    check "$name: $want, GUI subsystem, imports only system DLLs ${foreign:+(not $foreign)}" \
          'grep -q "$want" <<<"$headers" && grep -Eq "^Subsystem[[:space:]]+00000002" <<<"$headers" && [ -z "$foreign" ]'
done

report "embedded package"
