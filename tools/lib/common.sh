# Sourced by the test and tool scripts: what they share.
#   MOSSGATE_CACHE                 where bootstrap keeps libcrypto and the runtimes
#   with_display [--own]           an Xvfb of the script's own when it has no X
#                                  display (--own: even when it has one)
#   on_exit COMMAND                run COMMAND however the script ends
#   wait_until SECONDS COMMAND...  poll COMMAND until it succeeds or time runs out
#   scaled SECONDS                 SECONDS stretched by MOSSGATE_TIME_SCALE (which the
#                                  emulated machine sets): for every time limit, and
#                                  every pause that waits for something NOT to happen
#   check NAME TEST, fail NAME     one result line each ("ok   NAME", "FAIL NAME")
#   expect NAME ACTUAL EXPECTED    a check that ACTUAL is EXPECTED, both shown when not
#   expect_match NAME TEXT REGEX   a check that TEXT matches the extended REGEX
#   report SUBJECT                 the closing line; status 0 when nothing failed
[ -z "${MOSSGATE_COMMON_LOADED:-}" ] || return 0
MOSSGATE_COMMON_LOADED=1

MOSSGATE_CACHE=${MOSSGATE_CACHE:-$HOME/.cache/mossgate-deps}

# Wine makes no window, not even a hidden one, without an X display. --own is for
# scripts that click and type: they must not share a display with anyone; the
# display a script made is its own again when the WoW64 runtime runs it a
# second time. The server is a child of the script rather than a wrapper around it
# (xvfb-run), so that a signal sent to the script reaches its traps.
with_display() {
    if [ "${1:-}" = --own ]; then
        [ -z "${DISPLAY:-}" ] || [ "$DISPLAY $0" != "${MOSSGATE_OWN_DISPLAY:-}" ] || return 0
    elif [ -n "${DISPLAY:-}" ]; then
        return 0
    fi
    MOSSGATE_DISPLAY_FILE=$(mktemp) || return 1
    # -displayfd: the server picks a free display and writes its number once it
    # accepts connections.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$MOSSGATE_DISPLAY_FILE" \
        </dev/null >/dev/null 2>&1 &
    MOSSGATE_XVFB_PID=$!
    on_exit 'kill "$MOSSGATE_XVFB_PID" 2>/dev/null; wait "$MOSSGATE_XVFB_PID" 2>/dev/null; rm -f "$MOSSGATE_DISPLAY_FILE"'
    if ! wait_until 30 test -s "$MOSSGATE_DISPLAY_FILE"; then
        echo "Xvfb did not start" >&2
        return 1
    fi
    export DISPLAY=:$(cat "$MOSSGATE_DISPLAY_FILE")
    [ "${1:-}" != --own ] || export MOSSGATE_OWN_DISPLAY="$DISPLAY $0"
}

# Commands registered here run, the latest first, when the script exits, fails
# under set -e, or is stopped by INT or TERM (status 130 or 143). Bash runs no
# EXIT trap when a signal without a trap ends it, hence the signal traps.
MOSSGATE_EXIT_ACTIONS=()
on_exit() {
    if [ ${#MOSSGATE_EXIT_ACTIONS[@]} -eq 0 ]; then
        trap mossgate_run_exit_actions EXIT
        # A second Ctrl-C must not cut the cleaning short.
        trap 'trap "" INT TERM; exit 130' INT
        trap 'trap "" INT TERM; exit 143' TERM
    fi
    MOSSGATE_EXIT_ACTIONS=("$1" "${MOSSGATE_EXIT_ACTIONS[@]}")
}
# No `local` here: bash mixes up its variable scopes when an exit inside a
# trap ends in a function that has them.
mossgate_run_exit_actions() {
    MOSSGATE_EXIT_STATUS=$?
    trap "" INT TERM
    for MOSSGATE_EXIT_ACTION in "${MOSSGATE_EXIT_ACTIONS[@]}"; do
        eval "$MOSSGATE_EXIT_ACTION" || true
    done
    MOSSGATE_EXIT_ACTIONS=()
    return "$MOSSGATE_EXIT_STATUS"
}

# Runs COMMAND in the background and waits for it, so that INT and TERM reach
# the traps at once rather than when COMMAND ends; its input stays the script's.
run_interruptible() {
    "$@" <&0 &
    wait "$!"
}

scaled() {
    local scale=${MOSSGATE_TIME_SCALE:-1}
    case $1$scale in
    *.*) awk -v s="$1" -v k="$scale" 'BEGIN { printf "%g\n", s * k }' ;;
    *) echo $(($1 * scale)) ;;
    esac
}

wait_until() {
    local deadline=$((SECONDS + $(scaled "$1")))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

check_passed=0 check_failed=0
pass() { check_passed=$((check_passed + 1)); echo "ok   $*"; }
fail() { check_failed=$((check_failed + 1)); echo "FAIL $*"; }
# TEST is evaluated in the caller's context, so it may name the caller's variables.
check() { if eval "$2"; then pass "$1"; else fail "$1"; fi; }
expect() { if [ "$2" = "$3" ]; then pass "$1"; else fail "$1: got [$2], expected [$3]"; fi; }
expect_match() { if grep -Eq -- "$3" <<<"$2"; then pass "$1"; else fail "$1: [$2] does not match /$3/"; fi; }
report() {
    echo "$1: $check_passed passed, $check_failed failed"
    [ "$check_failed" -eq 0 ]
}
