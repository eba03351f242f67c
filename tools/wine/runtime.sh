# Sourced: one way to drive Windows programs under either Wine runtime, chosen by
# MOSSGATE_RUNTIME:
#   wine8  Debian 12's Wine 8 on the host: x86_64 programs only (the twin and the
#          x86_64 test programs); prefixes report Windows 7.
#   wow64  Wine 10 in WoW64 mode in a Debian sid chroot (tools/wow64): i686 and
#          x86_64 programs, so the i686 product itself; prefixes report Windows 10.
# A script first calls `runtime_enter "$0" "$@"` (the WoW64 runtime runs the script
# again in a private namespace whose mounts and processes end with it), then:
#   runtime_new_prefix PREFIX         a fresh prefix from the runtime's template
#   runtime_wine PREFIX PROGRAM ARGS  run a Windows program (status: low 8 bits);
#                                     MOSSGATE_STANDIN_* variables reach it
#   runtime_remove_prefix PREFIX      end the prefix's processes and remove it
#   runtime_program_files             the Program Files folder a 32-bit program
#                                     of this runtime gets, as a drive_c path
MOSSGATE_RUNTIME=${MOSSGATE_RUNTIME:-wine8}
RUNTIME_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
case $MOSSGATE_RUNTIME in
wine8) . "$RUNTIME_DIR/wine-env.sh" ;;
wow64) . "$RUNTIME_DIR/wow64-env.sh" ;;
*) echo "runtime: unknown MOSSGATE_RUNTIME=$MOSSGATE_RUNTIME (wine8 or wow64)" >&2; exit 2 ;;
esac

runtime_enter() {
    [ "$MOSSGATE_RUNTIME" = wine8 ] || wow64_enter "$@"
}

runtime_new_prefix() {
    if [ "$MOSSGATE_RUNTIME" = wow64 ]; then
        wow64_new_prefix "$1" && wow64_warm "$1"
        return
    fi
    local template
    template=$("$RUNTIME_DIR/template-prefix.sh") && cp -a "$template/." "$1/" &&
        WINEPREFIX=$1 warm_prefix
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

runtime_remove_prefix() {
    if [ "$MOSSGATE_RUNTIME" = wow64 ]; then
        wow64_remove_prefix "$1"
    else
        WINEPREFIX=$1 stop_prefix
        rm -rf "$1"
    fi
}

runtime_program_files() {
    if [ "$MOSSGATE_RUNTIME" = wow64 ]; then echo "Program Files (x86)"; else echo "Program Files"; fi
}
