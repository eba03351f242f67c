#!/usr/bin/env bash
# The program's window under Xvfb and Wine, driven with xdotool and checked by its
# pixels and by what it does: the x86_64 twin under Wine 8, or the i686 product
# under the WoW64 runtime (MOSSGATE_RUNTIME=wine8 or wow64, see tools/wine/runtime.sh).
# One scenario a run, each in its own prefix and on its own X display (clicks and
# focus must not meet another test's window).
#   window_test.sh SCENARIO BIN_DIR ARTIFACT_DIR GENERATED_DIR
# Scenarios: ready, clicks, install, no-shell, remove, failed-removal, no-picture,
# command-line-install, command-line-failed-removal, startup-error.
# Waits are for what the program shows or does, each with a time limit; a fixed
# pause is left only where a check is that something does NOT happen meanwhile.
# Limits and pauses alike are stretched in the emulated machine (scaled).
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/../../tools/wine/runtime.sh"
with_display --own
scenario=$1 bin=$2 artifacts=$3 generated=$4
runtime_enter "$0" "$@"
mkdir -p "$artifacts"
# Built by the build's host tools (the native part of a Windows build).
x_cursor=$(dirname "$bin")/host-tools/x_cursor
x_probe=$(dirname "$bin")/host-tools/x_probe

TITLE='^Kestrine MOSSGATE Package Installation \(Version 2\.1\.5\.2\)$'
CLASS=MossgatePack0Installer0MainWindow0

work=$(mktemp -d "${TMPDIR:-/tmp}/mossgate-gui-work.XXXXXX")
on_exit 'rm -rf "$work"'
runtime_own_prefix WINEPREFIX gui || { fail "a prefix was made"; exit 1; }
install_folder="$WINEPREFIX/drive_c/$(runtime_program_files)/KS/MOSSGATE_CD_Pack"

# The browser is a recorder: every link the program opens lands in a file, with
# the image name of the process that started the browser, whose token it got:
# links prints them as "LINK by PARENT;...".
cp "$bin/link_recorder.exe" "$WINEPREFIX/drive_c/link_recorder.exe"
for protocol in http https; do
    runtime_wine "$WINEPREFIX" reg add "HKCR\\$protocol\\shell\\open\\command" /ve /f \
        /d '"C:\link_recorder.exe" "%1"' >/dev/null 2>&1
done
links_file="$WINEPREFIX/drive_c/link_recorder.exe.links"
links() { [ -f "$links_file" ] && tr -d '\r"' <"$links_file" | sed 's/\t/ by /' | paste -sd ';'; }

wine_run() { runtime_wine "$WINEPREFIX" "$@" </dev/null 2>/dev/null; }

start_program() { # args: environment assignments for the program; $switches: its command line
    out=$(mktemp "$work/out.XXXXXX")
    # shellcheck disable=SC2086 # the switches are words
    ( [ $# -eq 0 ] || export "$@"
      wine_run "$bin/launcher.exe" "${program:-$bin/MOSSGATE_CD_Pack_Setup.exe}" ${switches:-} \
          >"$out" ) &
    launcher_pid=$!
    wait_until 60 window_found "$TITLE" --onlyvisible || { fail "the window appeared"; exit 1; }
    read -r cx cy cw ch < <(wine_run "$bin/window_info.exe" client "$CLASS" | tr -d "\r")
    # The button's label is what the first paint draws last (the picture is the
    # background, drawn before it); the progress box covers the same place.
    wait_until 30 shows 'colours "$s" 255,255,255 2,428 && colours "$s" 0,0,0 730,444 &&
                         [ "$(region "$s" 200x40+630+454 minima)" = 0 ]'
}

program_ended() { ! kill -0 "$launcher_pid" 2>/dev/null; }
exit_code() { # waits for the program; prints its full 32-bit exit code
    wait_until 120 program_ended
    sed -n 's/^exit code: //p' "$out" | tr -d '\r'
}

window_gone() { ! xdotool search --onlyvisible --name "$TITLE" >/dev/null 2>&1; }

# Screenshots and what is read from them go through x_probe (tests/gui/x_probe.c):
# ImageMagick takes seconds a call in the emulated machine, where these polls must
# not starve the program they watch.
shot() { # name: client area screenshot; prints its file
    "$x_probe" shot "${cw}x${ch}+$cx+$cy" "$artifacts/$scenario-$1.png" &&
        echo "$artifacts/$scenario-$1.png"
}

colours() { # file r,g,b x,y...: every pixel named is of the colour
    local file=$1 colour=$2 at
    for at in "${@:3}"; do
        [ "$("$x_probe" darkest "$file" "1x1+${at%,*}+${at#*,}")" = "$colour" ] || return 1
    done
}

region() { "$x_probe" region "$@"; } # file WxH+X+Y minima|maxima: of the grey level, 0 to 1

# file WxH+X+Y: each channel's least value, "r,g,b" (a grey level alone would take
# (101,100,100) for (100,100,100) too)
darkest() { "$x_probe" darkest "$@"; }

differing() { "$x_probe" differ "$@"; } # file file [WxH+X+Y left out]: pixels that differ

shows() { # test: true when a fresh shot of the client area, $s, passes the test
    local s
    s=$(shot now) && eval "$1"
}

click() { xdotool mousemove $((cx + $1)) $((cy + $2)) click 1; }

links_opened() { [ -n "$(links)" ]; }

cursor() { "$x_cursor"; }
cursor_is() { [ "$(cursor)" = "$1" ]; }
cursor_is_not() { [ "$(cursor)" != "$1" ]; }
cursor_over() { # x y previous: the cursor at (x, y) once the program has changed it from previous
    xdotool mousemove $((cx + $1)) $((cy + $2))
    wait_until 10 cursor_is_not "$3"
    cursor
}

# A window by its title; its id in $found. Searched again and again rather than
# with xdotool's --sync, which gives up on a window that vanishes while it looks
# (BadWindow), as Wine's short-lived ones do.
window_found() { # title-regex [xdotool option]
    found=$(xdotool search ${2:-} --name "$1" 2>/dev/null | head -n 1)
    [ -n "$found" ]
}

box_appears() { # caption seconds: the box's window in $box, its caption in $caption
    caption=$1
    box=$(wait_until "$2" window_found "^$caption\$" && echo "$found")
    check "the box \"$caption\" appears" '[ -n "$box" ]'
}

box_stays() { # the box found is still open a while later, the program waiting
    sleep "$(scaled 3)" # a box that closed by itself would be gone by now
    check "the box stays until it is dismissed, the program waiting" \
        '[ -n "$box" ] && xdotool search --name "^$caption\$" >/dev/null && kill -0 "$launcher_pid" 2>/dev/null'
    import -window root "$artifacts/$scenario-box.png"
}

closes_with() { # exit-code what: what was done closes the window, the program ending so
    local expected=$1
    check "$2 closes the window with exit code $expected" \
        '[ "$(exit_code)" = "$expected" ] && wait_until 10 window_gone'
}

dismiss_box() { # exit-code: Enter on the box in $box closes the window with that code
    [ -n "$box" ] && xdotool key --window "$box" Return
    closes_with "$1" "dismissing the box"
}

unattended() { run_setup "$WINEPREFIX" "$bin" "$bin/MOSSGATE_CD_Pack_Setup.exe" -h "$@"; }

reboot_notice_ends_install() { # [none]: the end of a successful install, the
    # after-install link opened by the desktop's shell (none: nothing opened at all)
    box_appears "REBOOT YOUR SYSTEM" 90
    if [ "${1:-}" != none ]; then
        # The recorder is a program of its own: its file may come after the box.
        wait_until 20 links_opened
        check "the after-install link was opened by the desktop's shell (opened: $(links))" \
            '[ "$(links)" = "https://www.kestrine.example/mossgate/installed-cd-pack by explorer.exe" ]'
    fi
    box_stays
    dismiss_box 0
    check "the package is installed" '[ -f "$install_folder/readme.txt" ]'
    # Seconds after the link was asked for: a browser started would have written.
    [ "${1:-}" != none ] || check "no link was opened (opened: $(links))" '! links_opened'
}

case $scenario in
ready)
    start_program
    s=$(shot ready)
    check "client area is 900 x 524 (got ${cw} x ${ch})" '[ "$cw" = 900 ] && [ "$ch" = 524 ]'
    check "the white panel spans the width below the picture" \
        'colours "$s" 255,255,255 2,428 897,521 450,440'
    check "button outline at (580,444)-(880,504)" 'colours "$s" 0,0,0 730,444 730,504 580,474 880,474'
    check "button face white outside its label" 'colours "$s" 255,255,255 590,450'
    check "a label is drawn inside the button" '[ "$(region "$s" 200x40+630+454 minima)" = 0 ]'
    check "status line 1 is black" '[ "$(region "$s" 500x16+20+454 minima)" = 0 ]'
    check "status line 2 is grey (100,100,100)" '[ "$(darkest "$s" 500x16+20+474)" = 100,100,100 ]'
    check "the O/S label is white over the picture" '[ "$(region "$s" 200x30+20+391 maxima)" = 1 ]'
    # The picture is dark blue there, never black: black is the label's shadow.
    check "the O/S label has its black shadow" '[ "$(darkest "$s" 200x30+20+391)" = 0,0,0 ]'
    convert "$generated/background.bmp" -crop 900x388+0+0 +repage "$artifacts/picture-top.png"
    convert "$s" -crop 900x388+0+0 +repage "$artifacts/$scenario-top.png"
    # ImageMagick 7 (in the emulated machine) adds the normalised figure: "0 (0)".
    check "the picture fills the upper rows unchanged" \
        '[ "$(compare -metric AE "$artifacts/picture-top.png" "$artifacts/$scenario-top.png" null: 2>&1 | cut -d" " -f1)" = 0 ]'
    xdotool key Escape
    closes_with 0 Esc
    ;;
clicks)
    # The cursor in a corner the window leaves free: the first one read over the
    # window must differ from it, so it is the one the program set.
    xdotool mousemove 1279 1023
    outside=$(cursor)
    start_program
    click 100 500
    click 580 474
    click 700 504
    # The program takes its input in order: once the click on the picture has
    # opened its link, the three clicks before it have had their effect.
    click 300 200
    wait_until 20 links_opened
    s=$(shot after-misses)
    check "clicks in the panel and on the border line start nothing" \
        '[ "$(links)" = "https://www.kestrine.example/mossgate by explorer.exe" ] && ! colours "$s" 0,0,0 730,474 && colours "$s" 255,255,255 590,450'
    # Each move is to where the cursor should change, so each read waits for it.
    xdotool mousemove 1279 1023
    wait_until 10 cursor_is "$outside"
    panel=$(cursor_over 300 480 "$outside")
    picture=$(cursor_over 300 200 "$panel")
    first_panel_row=$(cursor_over 300 424 "$picture")
    last_row=$(cursor_over 300 423 "$first_panel_row")
    check "another cursor above the picture ($picture) than over the panel ($panel)" \
        '[ -n "$picture" ] && [ "$picture" != "$panel" ] && [ "$last_row" = "$picture" ] && [ "$first_panel_row" = "$panel" ]'
    check "a click on the picture opens the publisher link by the desktop's shell (opened: $(links))" \
        '[ "$(links)" = "https://www.kestrine.example/mossgate by explorer.exe" ]'
    wine_run "$bin/window_info.exe" close "$CLASS"
    closes_with 0 "the close box"
    ;;
install)
    # Driver C's stand-in takes its time, so that the progress box can be watched.
    start_program MOSSGATE_STANDIN_WAIT_MS_C=12000
    shot ready >/dev/null
    xdotool key Return # Enter is the button's key; the remove scenarios click it
    wait_until 15 shows 'colours "$s" 0,0,0 590,450 && [ "$(region "$s" 300x16+580+486 maxima)" = 1 ]'
    a=$(shot progress-started)
    # Early, while driver C's stand-in surely still waits: once the install has
    # ended, Esc would dismiss the reboot notice.
    xdotool key Escape; xdotool key Return; click 730 474
    wine_run "$bin/window_info.exe" close "$CLASS"
    sleep "$(scaled 1)" # a window that heeded them would be gone by now
    check "Esc, Enter, clicks and the close box are ignored while installing" \
        '! window_gone && [ "$(tr -d "\r" <"$out")" = "" ]'
    # A burst of shots first, compared afterwards: comparing between shots can take
    # seconds on a busy machine, and shots a whole period apart would never see
    # the blink. Every difference between neighbours must lie in the word.
    # Sixteen, so that a machine too busy to repaint for a while still shows one.
    shots=()
    for i in $(seq 1 16); do
        shots+=("$(shot progress-$i)")
        sleep 0.2
    done
    word_changes=0 other_changes=0
    for i in $(seq 1 15); do
        previous=${shots[$((i - 1))]} current=${shots[$i]}
        n=$(differing "$previous" "$current")
        m=$(differing "$previous" "$current" 301x46+580+444) # the word's place, (580,444)-(880,489), left out
        word_changes=$((word_changes + n)) other_changes=$((other_changes + m))
        [ "$i" -ge 3 ] && [ "$word_changes" -gt 0 ] && break
    done
    check "Enter starts the install: the progress box replaces the button" 'colours "$a" 0,0,0 590,450'
    check "the progress box covers the button's place exactly" \
        'colours "$a" 0,0,0 880,474 730,504 && colours "$a" 255,255,255 881,474 730,505'
    check "the word \"Installing\" blinks ($word_changes pixels change, $other_changes elsewhere)" \
        '[ "$word_changes" -gt 0 ] && [ "$other_changes" = 0 ]'
    check "the step text is shown under it" '[ "$(region "$a" 300x16+580+486 maxima)" = 1 ]'
    reboot_notice_ends_install
    ;;
no-shell)
    # The desktop's shell ends while the window is open, and the prefix may not
    # start it again (Wine would, for the next program that needs a desktop: a
    # driver setup program). The click on the picture and the end of the install
    # find no shell to ask: nothing is opened, and the install goes on as usual.
    start_program
    wine_run reg add 'HKCU\Software\Wine\DllOverrides' /v explorer.exe /d '' /f >/dev/null
    check "the desktop's shell has ended" 'wine_run "$bin/window_info.exe" end-shell'
    click 300 200
    xdotool key Return
    reboot_notice_ends_install none
    ;;
command-line-install)
    # "-i" without "-h": the window shows and the install starts at once.
    switches=-i start_program
    reboot_notice_ends_install
    ;;
remove)
    unattended -i >/dev/null
    # A folder with Greek letters (outside the ANSI code page) in the Start-menu
    # folder: the removal walks it too, and ends.
    menu=$(find "$WINEPREFIX/drive_c/users" -path '*Start Menu/Programs/Kestrine/MOSSGATE_CD_Pack' | head -n 1)
    mkdir -p "$menu/αβγ" && echo x >"$menu/αβγ/δ.txt"
    # Driver C's stand-in takes its time: the removal runs on the window thread,
    # so the pressed button stays on screen meanwhile.
    start_program MOSSGATE_STANDIN_WAIT_MS_C=8000
    s=$(shot ready-to-remove)
    check "a driver found: the Remove state" \
        '[ "$(region "$s" 500x16+20+454 minima)" = 0 ] && colours "$s" 0,0,0 730,444'
    cp "$s" "$artifacts/remove-state.png"
    click 730 474
    wait_until 10 shows 'colours "$s" 0,0,0 590,450'
    p1=$(shot pressed-1)
    sleep "$(scaled 1)" # it must not change meanwhile
    p2=$(shot pressed-2)
    check "the pressed button is black with a white label" \
        'colours "$p1" 0,0,0 590,450 870,496 730,444 && [ "$(region "$p1" 200x40+630+454 maxima)" = 1 ]'
    check "and stays so while the removal runs" '[ "$(differing "$p1" "$p2")" = 0 ] && ! window_gone'
    box_appears "REBOOT YOUR SYSTEM" 60
    dismiss_box 0
    check "the package is removed, the Start-menu folder with its Greek names too" \
        '[ ! -e "$install_folder" ] && [ -n "$menu" ] && [ ! -e "$menu" ]'
    ;;
failed-removal | command-line-failed-removal)
    # From the button the window closes with 0; from the command line ("-u"
    # without "-h") the removal's result becomes the exit code.
    unattended -i >/dev/null
    if [ "$scenario" = failed-removal ]; then
        start_program MOSSGATE_STANDIN_EXIT_D=-1
        click 730 474
    else
        switches=-u start_program MOSSGATE_STANDIN_EXIT_D=-1
    fi
    box_appears "MOSSGATE Uninstallation Error" 60
    box_stays
    dismiss_box "$([ "$scenario" = failed-removal ] && echo 0 || echo -20)"
    ;;
startup-error)
    # Without an X display Wine makes no window and MessageBoxA returns at once:
    # the run must end by itself, with -700, having done nothing.
    out=$(mktemp "$work/out.XXXXXX")
    (unset DISPLAY; wine_run "$bin/launcher.exe" "$bin/MOSSGATE_CD_Pack_Setup.exe" -i >"$out") &
    launcher_pid=$!
    result=$(exit_code)
    check "no window: the run ends with exit code -700 (got ${result:-none})" '[ "$result" = -700 ]'
    check "and installs nothing" '[ ! -e "${install_folder%/*}" ]'
    ;;
personalities)
    # Under each Windows version a prefix can report: the unattended install and
    # removal, and the window's O/S label as a screen reader reads it (the window's
    # first accessible child; win11 reports 10.0, so its label is WIN10's). The
    # label's crops are kept as artifacts.
    declare -A label_of=([winxp]="O/S: WIN XP" [winxp64]="O/S: Server 2003"
        [vista]="O/S: VISTA" [win7]="O/S: WIN7" [win8]="O/S: WIN8" [win81]="O/S: WIN8.1"
        [win10]="O/S: WIN10" [win11]="O/S: WIN10")
    for version in winxp winxp64 vista win7 win8 win81 win10 win11; do
        runtime_set_winver "$WINEPREFIX" "$version"
        reported=$(wine_run cmd /c ver | tr -d '\r' | grep -o '[0-9][0-9.]*' | head -n 1)
        installed=$(unattended -i)
        files=$(find "$install_folder" -type f 2>/dev/null | wc -l)
        removed=$(unattended -u)
        check "$version ($reported): install exits 0 with 62 files, removal exits 0 and removes them" \
            '[ "$installed" = "exit code: 0" ] && [ "$files" = 62 ] && [ "$removed" = "exit code: 0" ] && [ ! -e "$install_folder" ]'
        start_program
        s=$(shot "$version")
        convert "$s" -crop 720x34+20+390 +repage "$artifacts/label-$version.png"
        label=$(wine_run "$bin/window_info.exe" tree "$CLASS" | tr -d '\r' | awk -F'\t' 'NR == 1 { print $2 }')
        check "$version: the accessible O/S label reads \"$label\"" '[ "$label" = "${label_of[$version]}" ]'
        xdotool key Escape
        exit_code >/dev/null
    done
    ;;
no-picture)
    # Without its picture the window keeps the layout's numbers: 900 x 424 filled
    # with a dark colour, the panel below.
    mkdir -p "$WINEPREFIX/drive_c/nopicture"
    program="$WINEPREFIX/drive_c/nopicture/MOSSGATE_CD_Pack_Setup.exe"
    cp "$bin/MOSSGATE_CD_Pack_Setup.exe" "$program"
    wine_run "$bin/resource_patch.exe" 'C:\nopicture\MOSSGATE_CD_Pack_Setup.exe' spoil-picture
    start_program
    s=$(shot no-picture)
    check "client area is still 900 x 524 (got ${cw} x ${ch})" '[ "$cw" = 900 ] && [ "$ch" = 524 ]'
    check "the picture's place is filled" 'colours "$s" 16,40,64 450,200 899,423'
    check "the panel, button and label are drawn as usual" \
        'colours "$s" 255,255,255 2,428 && colours "$s" 0,0,0 730,444 && [ "$(region "$s" 200x30+20+391 maxima)" = 1 ]'
    xdotool key Escape
    closes_with 0 Esc
    ;;
*)
    echo "unknown scenario $scenario"; exit 2 ;;
esac
report "gui $scenario"
