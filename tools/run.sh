#!/usr/bin/env bash
# The main job: builds the product and its twin, then starts the twin under Wine,
# unattended, in a throwaway prefix, and shows its exit code.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash tools/bootstrap.sh
tools/build-all.sh win32 win64 >/dev/null
echo "product: build/win32/bin/MOSSGATE_CD_Pack_Setup.exe ($(stat -c %s build/win32/bin/MOSSGATE_CD_Pack_Setup.exe) bytes)"
echo "twin:    build/win64/bin/MOSSGATE_CD_Pack_Setup.exe ($(stat -c %s build/win64/bin/MOSSGATE_CD_Pack_Setup.exe) bytes)"
echo "starting the twin hidden (-h) under Wine; the launcher closes its window once it exists"
xvfb-run -a -s "-screen 0 1280x1024x24" tests/wine/run-in-prefix.sh build/win64/bin/launcher.exe \
    --close-window MossgatePack0Installer0MainWindow0 build/win64/bin/MOSSGATE_CD_Pack_Setup.exe -h
