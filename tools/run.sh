#!/usr/bin/env bash
# The main job: builds the product and its twin, then, in a throwaway Wine prefix,
# installs the embedded sample package unattended with the twin ("-h -i"), shows
# what was installed, removes it again ("-h -u") and shows what is left.
#   tools/run.sh            the unattended install and removal
#   tools/run.sh --window   also drives the window under Xvfb: clicks Install and
#                           saves screenshots of its states in build/screenshots
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash tools/bootstrap.sh
tools/build-all.sh win32 win64 >/dev/null
bin=build/win64/bin
product=build/win32/bin/MOSSGATE_CD_Pack_Setup.exe
echo "product: $product ($(stat -c %s "$product") bytes); twin: $bin/MOSSGATE_CD_Pack_Setup.exe"

if [ "${1:-}" = --window ]; then
    mkdir -p build/screenshots
    tests/gui/window_test.sh install "$bin" build/screenshots build/win64/generated
    echo "screenshots: $(ls build/screenshots/install-*.png | tr '\n' ' ')"
    exit 0
fi

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
. tools/wine/wine-env.sh
template=$(tools/wine/template-prefix.sh)
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/mossgate-run.XXXXXX")
export WINEPREFIX
trap 'stop_prefix; rm -rf "$WINEPREFIX"' EXIT
cp -a "$template/." "$WINEPREFIX/"
warm_prefix
drive=$WINEPREFIX/drive_c
install_folder="$drive/Program Files/KS/MOSSGATE_CD_Pack"
uninstall_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\KS:MOSSGATE_CD {C76D3BC2-E852-4d06}'

run_setup() { "$WINELOADER" "$bin/launcher.exe" "$bin/MOSSGATE_CD_Pack_Setup.exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
start_menus() { find "$drive" -path '*Start Menu/Programs/Kestrine*' -printf '  %P\n' 2>/dev/null | sort; }
show_uninstall_entry() {
    "$WINELOADER" reg query "$uninstall_key" </dev/null 2>/dev/null | tr -d '\r' | grep REG_SZ | sed 's/^ */  /' \
        || echo "  (no uninstall entry)"
}

echo
echo "== install: MOSSGATE_CD_Pack_Setup.exe -h -i"
run_setup -h -i
echo "installed files in C:\\Program Files\\KS\\MOSSGATE_CD_Pack: $(ls "$install_folder" | wc -l)"
ls "$install_folder" | column -c 110 | sed 's/^/  /'
echo "Start-menu folders and shortcuts:"
start_menus
echo "uninstall entry:"
show_uninstall_entry

echo
echo "== removal: MOSSGATE_CD_Pack_Setup.exe -h -u"
run_setup -h -u
echo "install folder: $([ -e "$install_folder" ] && echo "still there" || echo "gone"); C:\\Program Files\\KS: $([ -d "$drive/Program Files/KS" ] && echo kept || echo gone)"
echo "left in the Start menu:"
start_menus
echo "uninstall entry:"
show_uninstall_entry
