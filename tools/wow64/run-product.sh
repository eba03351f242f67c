#!/usr/bin/env bash
# The i686 product itself under the WoW64 runtime: in one fresh prefix, installs
# the embedded package unattended ("-h -i"), checks what a 64-bit Windows shows
# a 32-bit installer (files in "Program Files (x86)", the uninstall entry in the
# 32-bit registry view, i.e. under WOW6432Node), removes it ("-h -u") and checks
# that it is gone. The x86_64 launcher starts the product and prints its full
# 32-bit exit code.
#   tools/wow64/run-product.sh [BUILD_DIR_WIN32 [BUILD_DIR_WIN64]]
# (defaults build/win32 and build/win64; build them first with the presets).
# MOSSGATE_WINVER=NAME sets the Windows version the prefix reports.
# Exit status 0 when every check passed; 125 when the runtime is missing.
set -u
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
. tools/wine/wow64-env.sh
wow64_require || exit 125
win32=$(realpath "${1:-build/win32}")
win64=$(realpath "${2:-build/win64}")
product=$win32/bin/MOSSGATE_CD_Pack_Setup.exe
launcher=$win64/bin/launcher.exe
for f in "$product" "$launcher"; do
    [ -f "$f" ] || { echo "missing $f: build the win32 and win64 presets first" >&2; exit 2; }
done
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
export MOSSGATE_WOW64_BINDS=$win32:$win64
wow64_enter "$0" "$@"

now() { date +%s%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f s", (b - a) / 1e9 }'; }
failed=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; failed=$((failed + 1)); fi; }

prefix=$(mktemp -d "${TMPDIR:-/tmp}/mossgate-wow64-product.XXXXXX")
trap 'wow64_remove_prefix "$prefix"' EXIT
t=$(now)
wow64_template >/dev/null || exit 125
echo "template prefix: ready ($(since "$t"))"
t=$(now)
wow64_new_prefix "$prefix" || exit 125
echo "per-run prefix copied: $(since "$t"), $(du -sh --one-file-system "$WOW64_ROOT$WOW64_TEMPLATE" "$prefix" | awk 'NR == 2 { print $1 }') of its own"
t=$(now)
wow64_warm "$prefix" || exit 125
if [ -n "${MOSSGATE_WINVER:-}" ]; then
    wow64_set_winver "$prefix" "$MOSSGATE_WINVER" || { echo "winecfg /v $MOSSGATE_WINVER failed" >&2; exit 125; }
fi
echo "server and helpers started: $(since "$t"); Windows reports: $(wow64_wine "$prefix" cmd /c ver </dev/null 2>/dev/null | tr -d '\r' | grep .)"

drive=$prefix/drive_c
folder="$drive/Program Files (x86)/KS/MOSSGATE_CD_Pack"
key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\KS:MOSSGATE_CD {C76D3BC2-E852-4d06}'
key_wow='HKLM\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall\KS:MOSSGATE_CD {C76D3BC2-E852-4d06}'
setup() { wow64_wine "$prefix" "$launcher" "$product" "$@" </dev/null 2>/dev/null | tr -d '\r'; }

echo
echo "== MOSSGATE_CD_Pack_Setup.exe -h -i"
t=$(now)
out=$(setup -h -i)
echo "$out ($(since "$t"))"
check "install exits 0" '[ "$out" = "exit code: 0" ]'
files=$(find "$folder" -type f 2>/dev/null | wc -l)
check "files in C:\\Program Files (x86)\\KS\\MOSSGATE_CD_Pack ($files)" '[ "$files" -gt 0 ]'
check "nothing in C:\\Program Files\\KS" '[ ! -e "$drive/Program Files/KS" ]'
entry=$(wow64_reg_query "$prefix" "$key" /reg:32)
status=$?
echo "$entry" | grep REG_SZ | sed 's/^ */  /'
check "uninstall entry in the 32-bit view (reg query /reg:32)" '[ "$status" -eq 0 ]'
check "... which is under WOW6432Node in the 64-bit view" 'wow64_reg_query "$prefix" "$key_wow" /reg:64 >/dev/null'
check "no entry in the 64-bit view's own key" '! wow64_reg_query "$prefix" "$key" /reg:64 >/dev/null'

echo
echo "== MOSSGATE_CD_Pack_Setup.exe -h -u"
t=$(now)
out=$(setup -h -u)
echo "$out ($(since "$t"))"
check "removal exits 0" '[ "$out" = "exit code: 0" ]'
check "install folder gone" '[ ! -e "$folder" ]'
check "uninstall entry gone" '! wow64_reg_query "$prefix" "$key" /reg:32 >/dev/null'
# What the removal leaves (the product's own choice; shown, not judged here).
left=$(find "$drive" \( -ipath "$drive/*kestrine*" -o -ipath "$drive/*mossgate*" -o -path "$drive/Program Files*/KS" \) \
    \( -type d -empty -printf '  %P (empty folder)\n' -o -printf '  %P\n' \) 2>/dev/null | sort)
[ -z "$left" ] || { echo "left in C: after removal:"; echo "$left"; }

echo
[ "$failed" -eq 0 ] && echo "all checks passed" || echo "$failed checks failed"
[ "$failed" -eq 0 ]
