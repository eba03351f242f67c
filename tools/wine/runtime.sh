# Sourced: one way to drive Windows programs under either Wine runtime, chosen by
# MOSSGATE_RUNTIME:
#   wine8  Debian 12's Wine 8 on the host: x86_64 programs only (the twin and the
#          x86_64 test programs); prefixes report Windows 7.
#   wow64  Wine 10 in WoW64 mode in a Debian sid chroot (tools/wow64): i686 and
#          x86_64 programs, so the i686 product itself; prefixes report Windows 10.
# A script first calls `runtime_enter "$0" "$@"` (the WoW64 runtime runs the script
# again in a private namespace whose mounts and processes end with it), then:
#   runtime_own_prefix VAR NAME       a fresh, started prefix TMPDIR/mossgate-NAME.XXXXXX,
#                                     its path in VAR, removed when the script ends
#                                     (kept with MOSSGATE_KEEP_PREFIX, its path printed)
#   runtime_new_prefix PREFIX         a fresh, started prefix from the runtime's template
#   runtime_start PREFIX              start an existing prefix's server and helpers
#   runtime_wine PREFIX PROGRAM ARGS  run a Windows program (status: low 8 bits);
#                                     MOSSGATE_STANDIN_* and MOSSGATE_TIME_SCALE reach it
#   run_setup PREFIX BIN PROGRAM ARGS run PROGRAM through BIN/launcher.exe, quietly;
#                                     prints "exit code: N", the full 32-bit code
#   runtime_set_winver PREFIX NAME    the Windows version the prefix reports
#   runtime_stop PREFIX               end the prefix's processes
#   runtime_remove_prefix PREFIX      end the prefix's processes and remove it
#   runtime_program_files             the Program Files folder a 32-bit program
#                                     of this runtime gets, as a drive_c path
# Before runtime_enter: runtime_require (fails with a reason when the runtime is
# missing) and runtime_share DIR (a host folder the programs must see; the
# WoW64 chroot shows the repository, the current folder and TMPDIR anyway).
MOSSGATE_RUNTIME=${MOSSGATE_RUNTIME:-wine8}
RUNTIME_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
case $MOSSGATE_RUNTIME in
wine8) . "$RUNTIME_DIR/wine-env.sh" ;;
wow64) . "$RUNTIME_DIR/wow64-env.sh" ;;
*) echo "runtime: unknown MOSSGATE_RUNTIME=$MOSSGATE_RUNTIME (wine8 or wow64)" >&2; exit 2 ;;
esac

runtime_require() {
    if [ "$MOSSGATE_RUNTIME" = wow64 ]; then
        wow64_require
    elif [ ! -x "$WINELOADER" ]; then
        echo "wine8: no $WINELOADER (run tools/bootstrap.sh)" >&2
        return 1
    fi
}

# Exits as a script must when runtime_require refused with STATUS.
runtime_exit_unavailable() {
    [ "$MOSSGATE_RUNTIME" = wow64 ] && wow64_exit_unavailable "$1"
    exit 125
}

runtime_share() {
    MOSSGATE_WOW64_BINDS=${MOSSGATE_WOW64_BINDS:+$MOSSGATE_WOW64_BINDS:}$1
    export MOSSGATE_WOW64_BINDS
}

runtime_enter() {
    [ "$MOSSGATE_RUNTIME" = wine8 ] || wow64_enter "$@"
}

# A prefix outside the folders the chroot shows would be made where Wine cannot see it.
runtime_check_prefix() {
    [ "$MOSSGATE_RUNTIME" = wow64 ] || return 0
    if [ ! -d "$WOW64_ROOT$1" ] || [ "$(stat -c %d:%i "$1")" != "$(stat -c %d:%i "$WOW64_ROOT$1")" ]; then
        echo "wow64: the prefix $1 is not in a folder shown in the chroot (/tmp, TMPDIR, the repository, MOSSGATE_WOW64_BINDS)" >&2
        return 1
    fi
}

runtime_new_prefix() {
    runtime_check_prefix "$1" || return 1
    if [ "$MOSSGATE_RUNTIME" = wow64 ]; then
        wow64_new_prefix "$1" && wow64_warm "$1"
        return
    fi
    local template
    template=$("$RUNTIME_DIR/template-prefix.sh") && cp -a "$template/." "$1/" &&
        WINEPREFIX=$1 warm_prefix
}

runtime_own_prefix() {
    local dir
    dir=$(mktemp -d "${TMPDIR:-/tmp}/mossgate-$2.XXXXXX") || return 1
    printf -v "$1" %s "$dir"
    on_exit "runtime_leave_prefix '$dir'"
    runtime_new_prefix "$dir"
}

runtime_leave_prefix() {
    if [ -z "${MOSSGATE_KEEP_PREFIX:-}" ]; then
        runtime_remove_prefix "$1"
    else
        runtime_stop "$1"
        echo "prefix kept: $1" >&2
    fi
}

runtime_start() {
    runtime_check_prefix "$1" || return 1
    if [ "$MOSSGATE_RUNTIME" = wow64 ]; then
        wow64_warm "$1"
    else
        WINEPREFIX=$1 warm_prefix
    fi
}

runtime_wine() {
    local prefix=$1
    shift
    if [ "$MOSSGATE_RUNTIME" = wow64 ]; then
        wow64_wine "$prefix" "$@"
    else
        WINEPREFIX=$prefix "$WINELOADER" "$@"
    fi
}

run_setup() {
    local prefix=$1 bin=$2
    shift 2
    runtime_wine "$prefix" "$bin/launcher.exe" "$@" </dev/null 2>/dev/null | tr -d '\r'
}

runtime_set_winver() {
    runtime_wine "$1" winecfg /v "$2" </dev/null >/dev/null 2>&1
}

runtime_stop() {
    if [ "$MOSSGATE_RUNTIME" = wow64 ]; then
        wow64_stop "$1"
    else
        WINEPREFIX=$1 stop_prefix
    fi
}

runtime_remove_prefix() {
    if [ "$MOSSGATE_RUNTIME" = wow64 ]; then
        wow64_remove_prefix "$1"
    else
        WINEPREFIX=$1 stop_prefix
        WINEPREFIX=$1 forget_server
        rm -rf "$1"
    fi
}

runtime_program_files() {
    if [ "$MOSSGATE_RUNTIME" = wow64 ]; then echo "Program Files (x86)"; else echo "Program Files"; fi
}
