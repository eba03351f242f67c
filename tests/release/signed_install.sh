#!/usr/bin/env bash
# The signed setup program installs and removes the sample package unattended
# under the WoW64 runtime (the product's: a 32-bit program on 64-bit Windows), and
# the copy it installs of itself keeps the signature.
# usage: signed_install.sh <signed exe> <bin dir with launcher.exe>
set -u
signed=$1 bin=$2
export MOSSGATE_RUNTIME=wow64
. "$(dirname "$0")/../../tools/wine/runtime.sh"
with_display
runtime_share "$(dirname "$signed")"
runtime_share "$bin"
runtime_enter "$0" "$@"

runtime_own_prefix prefix signed || { fail "a prefix was made"; exit 1; }
folder="$prefix/drive_c/$(runtime_program_files)/KS/MOSSGATE_CD_Pack"

check "-h -i: exit code 0" '[ "$(run_setup "$prefix" "$bin" "$signed" -h -i)" = "exit code: 0" ]'
check "62 files installed" '[ "$(ls "$folder" 2>/dev/null | wc -l)" -eq 62 ]'
check "the installed copy is the signed program" 'cmp "$folder/MOSSGATE_CD_Pack_Setup.exe" "$signed"'
check "-h -u: exit code 0" '[ "$(run_setup "$prefix" "$bin" "$signed" -h -u)" = "exit code: 0" ]'
check "the install folder is gone" '[ ! -e "$folder" ]'
report "signed install"
