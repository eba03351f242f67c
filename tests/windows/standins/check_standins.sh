#!/usr/bin/env bash
# Structural check of the stand-in programs carried in the package: machine, GUI
# subsystem (no console window), and imports of system DLLs only (static runtime).
# usage: check_standins.sh <mingw-triple> <exe>...
set -u
triple=$1; shift
case $triple in
i686-*) machine='file format pei-i386' ;;
*) machine='file format pei-x86-64' ;;
esac
system_dlls='^(kernel32|user32|gdi32|advapi32|setupapi|msvcrt|ntdll)\.dll$'
fail=0
for exe in "$@"; do
    name=$(basename "$exe")
    if ! headers=$("$triple-objdump" -p "$exe" 2>&1); then
        echo "FAIL $name: unreadable: $headers"; fail=1; continue
    fi
    imports=$(grep -E '^[[:space:]]*DLL Name:' <<<"$headers" | awk '{print tolower($3)}' | sort -u)
    problems=()
    grep -q "$machine" <<<"$headers" || problems+=("not $machine")
    grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" || problems+=("not the GUI subsystem")
    foreign=$(grep -Ev "$system_dlls" <<<"$imports" | tr '\n' ' ')
    [ -z "$foreign" ] || problems+=("imports $foreign")
    if [ ${#problems[@]} -eq 0 ]; then
        echo "ok   $name (imports: $(tr '\n' ' ' <<<"$imports"))"
    else
        echo "FAIL $name: ${problems[*]}"; fail=1
    fi
done
exit $fail
