#!/usr/bin/env bash
# The signed setup program installs and removes the sample package unattended
# under the WoW64 runtime (the product's: a 32-bit program on 64-bit Windows), and
# the copy it installs of itself keeps the signature.
# usage: signed_install.sh <signed exe> <bin dir with launcher.exe>
set -u
signed=$1 bin=$2
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
export MOSSGATE_RUNTIME=wow64 MOSSGATE_WOW64_BINDS=$(dirname "$signed"):$bin
. "$(dirname "$0")/../../tools/wine/runtime.sh"
runtime_enter "$0" "$@"
fail=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fail=1; fi; }

prefix=$(mktemp -d "${TMPDIR:-/tmp}/mossgate-signed.XXXXXX")
trap 'runtime_remove_prefix "$prefix"' EXIT
runtime_new_prefix "$prefix" || { echo "FAIL no prefix"; exit 1; }
folder="$prefix/drive_c/$(runtime_program_files)/KS/MOSSGATE_CD_Pack"
run_setup() { runtime_wine "$prefix" "$bin/launcher.exe" "$signed" "$@" </dev/null 2>/dev/null | tr -d '\r'; }

check "-h -i: exit code 0" '[ "$(run_setup -h -i)" = "exit code: 0" ]'
check "62 files installed" '[ "$(ls "$folder" 2>/dev/null | wc -l)" -eq 62 ]'
check "the installed copy is the signed program" 'cmp "$folder/MOSSGATE_CD_Pack_Setup.exe" "$signed"'
check "-h -u: exit code 0" '[ "$(run_setup -h -u)" = "exit code: 0" ]'
check "the install folder is gone" '[ ! -e "$folder" ]'
exit $fail
