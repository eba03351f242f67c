#!/usr/bin/env bash
# The package that a Windows build embeds, checked against the manifest it was
# made from: `packer list` verifies all 61 entries; the directory holds the
# manifest's names and reserved values in order and the digests of its sources;
# each program is a PE file of the right machine (product: i386 under ".exe" and
# x86-64 under "_x64.exe"; twin: x86-64 under both); each .inf names a catalogue
# and a driver file that the package carries.
# usage: check_embedded_package.sh <packer> <package.bin> <package.manifest> <pointer bytes>
set -u
packer=$1 package=$2 manifest=$3 pointer_bytes=$4
fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi; }

listing=$("$packer" list "$package" 2>&1)
status=$?
echo "$listing" | tail -n 1
check "packer list exits with 0" '[ $status -eq 0 ]'
check "61 of 61 entries verified" '[ "$(tail -n 1 <<<"$listing")" = "61 of 61 entries verified" ]'
[ $status -eq 0 ] || echo "$listing" | grep -E 'FAILED|packer:'

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

# Rules of the directory: driver D's entries carry 0x0047284C, all others (driver
# C's and the readme) 0x0047282C; each catalogue comes right before the driver
# file of the same name; the readme comes last.
names=($(cut -f1 <<<"$actual"))
reserved=($(cut -f2 <<<"$actual"))
order_ok=1 reserved_ok=1
for i in "${!names[@]}"; do
    name=${names[$i]}
    want=0x0047282C
    case $name in *[Mm]ossgated* | MOSSGATE_D_*) want=0x0047284C ;; esac
    [ "${reserved[$i]}" = "$want" ] || { echo "     entry $i $name: reserved ${reserved[$i]}, not $want"; reserved_ok=0; }
    case $name in
    *.cat) [ "${names[$((i + 1))]:-}" = "${name%.cat}.sys" ] || { echo "     entry $i $name: not followed by its .sys"; order_ok=0; } ;;
    *.sys) [ "$i" -gt 0 ] && [ "${names[$((i - 1))]}" = "${name%.sys}.cat" ] || { echo "     entry $i $name: not preceded by its .cat"; order_ok=0; } ;;
    esac
done
check "61 entries" '[ ${#names[@]} -eq 61 ]'
check "reserved values: 0x0047284C for driver D, 0x0047282C for the rest" '[ $reserved_ok -eq 1 ]'
check "each .cat right before its .sys" '[ $order_ok -eq 1 ]'
check "readme.txt last" '[ "${names[60]:-}" = readme.txt ]'

# "014c" (i386) or "8664" (x86-64), or nothing for a file that is not PE.
machine() {
    [ "$(head -c 2 "$1")" = MZ ] || return 0
    local pe
    pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    [ "$(od -An -c -j"$pe" -N4 "$1" | tr -d ' ')" = 'PE\0\0' ] || return 0
    od -An -tx2 -j$((pe + 4)) -N2 "$1" | tr -d ' '
}
for name in "${!source_of[@]}"; do
    case $name in *.exe) ;; *) continue ;; esac
    want=8664
    case $name in *_x64.exe) ;; *) [ "$pointer_bytes" = 4 ] && want=014c ;; esac
    got=$(machine "${source_of[$name]}")
    if [ -z "$got" ] && head -n 1 "${source_of[$name]}" | grep -q '^MOSSGATE PLACEHOLDER PROGRAM'; then
        echo "note $name is a placeholder (its build target does not exist)"
        continue
    fi
    check "$name is a PE file for machine $want" '[ "$got" = "$want" ]'
done

for name in "${!source_of[@]}"; do
    case $name in *.inf) ;; *) continue ;; esac
    inf=${source_of[$name]}
    catalogue=$(sed -n 's/^CatalogFile=\(.*\)\r$/\1/p' "$inf")
    driver=$(sed -n '/^\[SourceDisksFiles\]/{n;s/^\([^=]*\)=1\r$/\1/p}' "$inf")
    check "$name names catalogue \"$catalogue\" and driver \"$driver\" of the package" \
          '[ -n "$catalogue" ] && [ -n "${source_of[$catalogue]:-}" ] && [ -n "$driver" ] && [ -n "${source_of[$driver]:-}" ]'
done

[ $fail -eq 0 ] && echo "embedded package: all checks passed"
exit $fail
