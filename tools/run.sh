#!/usr/bin/env bash
# The main job: builds the product and its twin, then, in a throwaway Wine prefix,
# installs the embedded sample package unattended ("-h -i"), shows what was
# installed, removes it again ("-h -u") and shows what is left.
#   tools/run.sh            the i686 product itself, as users get it, under the WoW64
#                           runtime (Wine 10; a 32-bit program on 64-bit Windows 10):
#                           on the host where it runs 32-bit code, else in the
#                           emulated x86_64 machine (tools/wow64/guest.sh)
#   tools/run.sh --twin     the x86_64 twin under Debian's Wine 8 (Windows 7)
#   tools/run.sh --window   drives the product's window instead (with --twin: the
#                           twin's): clicks Install and saves screenshots of its
#                           states in build/screenshots
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
if [ -z "${MOSSGATE_RUN_BUILT:-}" ]; then
    bash tools/bootstrap.sh
    tools/build-all.sh win32 win64 >/dev/null
    export MOSSGATE_RUN_BUILT=1
fi
preset=win32 window=""
for argument in "$@"; do
    case $argument in
    --twin) preset=win64 ;;
    --window) window=1 ;;
    *) echo "usage: tools/run.sh [--twin] [--window]" >&2; exit 2 ;;
    esac
done
export MOSSGATE_RUNTIME=wow64
[ "$preset" = win32 ] || MOSSGATE_RUNTIME=wine8
. tools/wine/runtime.sh
bin=$PWD/build/$preset/bin
product=$bin/MOSSGATE_CD_Pack_Setup.exe
if [ -n "$window" ]; then
    mkdir -p build/screenshots
    tests/gui/window_test.sh install "$bin" "$PWD/build/screenshots" "$PWD/build/$preset/generated"
    echo "screenshots: $(ls build/screenshots/install-*.png | tr '\n' ' ')"
    exit 0
fi
with_display
if [ "$MOSSGATE_RUNTIME" = wow64 ] && [ "$(wow64_machine)" = emulated ]; then
    echo "run: $(cat "$WOW64_NO_32_BIT_CODE" 2>/dev/null || echo "the emulated machine was asked for"): the product runs in the emulated machine ($(guest_describe))"
fi
runtime_enter "$0" "$@"
where=""
[ "$MOSSGATE_RUNTIME" = wine8 ] || case $(wow64_machine) in
    guest) where=" in the emulated x86_64 machine" ;;
    *) where=" on this machine, natively" ;;
esac
echo "$product ($(stat -c %s "$product") bytes) under $MOSSGATE_RUNTIME$where"

runtime_own_prefix prefix run
drive=$prefix/drive_c
program_files=$(runtime_program_files)
install_folder="$drive/$program_files/KS/MOSSGATE_CD_Pack"
uninstall_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\KS:MOSSGATE_CD {C76D3BC2-E852-4d06}'
view=() # the registry view the program writes in: a 32-bit program's own
[ "$MOSSGATE_RUNTIME" = wine8 ] || view=(/reg:32)

start_menus() { find "$drive" -path '*Start Menu/Programs/Kestrine*' -printf '  %P\n' 2>/dev/null | sort; }
show_uninstall_entry() {
    runtime_wine "$prefix" reg query "$uninstall_key" "${view[@]}" </dev/null 2>/dev/null | tr -d '\r' |
        grep REG_SZ | sed 's/^ */  /' || echo "  (no uninstall entry)"
}

echo "Windows reports: $(runtime_wine "$prefix" cmd /c ver </dev/null 2>/dev/null | tr -d '\r' | grep .)"
echo
echo "== install: MOSSGATE_CD_Pack_Setup.exe -h -i"
run_setup "$prefix" "$bin" "$product" -h -i
echo "installed files in C:\\$program_files\\KS\\MOSSGATE_CD_Pack: $(ls "$install_folder" | wc -l)"
ls "$install_folder" | column -c 110 | sed 's/^/  /'
echo "Start-menu folders and shortcuts:"
start_menus
echo "uninstall entry${view[*]:+ (in the 32-bit view, ${view[*]})}:"
show_uninstall_entry

echo
echo "== removal: MOSSGATE_CD_Pack_Setup.exe -h -u"
run_setup "$prefix" "$bin" "$product" -h -u
echo "install folder: $([ -e "$install_folder" ] && echo "still there" || echo "gone"); C:\\$program_files\\KS: $([ -d "$drive/$program_files/KS" ] && echo kept || echo gone)"
echo "left in the Start menu:"
start_menus
echo "uninstall entry:"
show_uninstall_entry
