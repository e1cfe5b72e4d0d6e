#!/usr/bin/env bash
# End-to-end scenarios: the real binary on its own Xvfb screen, driven with
# xdotool like a person, checked by the framebuffer's pixels and by the
# engine's request log.
#   e2e.sh BIN_DIR SCENARIO [CHARACTERS_DIR]
# Exit 77 skips, only when the shared characters folder is absent (a bare clone);
# a file missing from a present folder fails.
set -u
bin=$1 scenario=$2 chars=${3:-}
log=""
. "$(dirname "$0")/lib.sh"
log=$work/requests.log
HANZ=Hanz # the window's name: the character's own

# Milliseconds of loud audio (10 ms windows above a low threshold) in a raw
# 16-bit mono recording at 16 kHz.
loud_ms() {
    od -An -v -t d2 -w2 "$1" | awk '{ s = $1 < 0 ? -$1 : $1; sum += s; n++;
        if (n == 160) { if (sum / n > 300) loud++; sum = 0; n = 0 } }
        END { print loud * 10 + 0 }'
}

start() {
    QT_LOGGING_RULES=${RULES:-agent.request=true;agent.anim=true} XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work} HOME=$work \
        "$bin/parlavox" >"$log" 2>&1 &
    pid=$!
}
# Non-black pixels in a rectangle of the last screenshot.
lit() { convert "$work/screen.png" -crop "$1" +repage -fill white +opaque black -format '%[fx:round(mean*w*h)]' info:; }
# Prints x y, within rectangle $2 of picture $1, of the pixel not of the
# screen's colour (black unless BACKGROUND says) with the most such pixels in
# the 7x7 square around it. With a picture $3, the pixel and its neighbours must
# be drawn in both: a part of the character that stood still between them.
densest() {
    local bg=${BACKGROUND:-#000000} pictures=("$1")
    [ -n "${3:-}" ] && pictures+=("$3")
    local mask=(-crop "$2" +repage -fill white +opaque "$bg" -fill black -opaque "$bg" -colorspace gray)
    [ ${#pictures[@]} = 2 ] && mask+=(-compose multiply -composite)
    convert "${pictures[@]}" "${mask[@]}" \( +clone -statistic mean 7x7 \) -compose multiply -composite \
        -depth 16 txt:- | awk -F'[,:( ]+' 'NR > 1 && $3 > best { best = $3; bx = $1; by = $2 } END { print bx, by }'
}
# Sets PX, PY to a point of the character that is solid now, since an
# invisible man is mostly holes and a click on a hole falls through to the
# desktop. Idling characters move: the point is taken from what stood still
# between two screenshots, clicked at once after the second.
solid_point() {
    screenshot
    mv "$work/screen.png" "$work/earlier.png"
    sleep 0.2
    screenshot
    read -r PX PY < <(densest "$work/screen.png" "${WIDTH}x${HEIGHT}+${X}+${Y}" "$work/earlier.png")
    [ -n "${PY:-}" ] || fail "nothing of the character is on screen at ${X},${Y}"
    PX=$((X + PX)) PY=$((Y + PY))
}
# Opens the pop-up menu on a solid point of the character. A part that stood
# still may still move before the click lands; a person would click again.
menu_on_character() {
    for _ in 1 2 3 4; do
        solid_point
        open_menu "$PX" "$PY" && return 0
    done
    fail "no pop-up menu on the character"
}

# Requests logged after the first line matching $1.
requests_after() { sed -n "/$1/,\$p" "$log" | sed -n 's/^agent.request: //p'; }

# Double-clicks at PX, PY: the character stops, may play one random animation
# and says the main window's text.
double_click_says_hello() {
    local lines
    lines=$(wc -l <"$log")
    xdotool mousemove "$PX" "$PY" click --repeat 2 --delay 80 1
    wait_log '^agent.request: Speak ' "$lines" || fail "no Speak request after a double-click"
    # From the click on: the random-animation timer may have played before it.
    got=$(tail -n +"$((lines + 1))" "$log" | sed -n 's/^agent.request: //p' | grep -v '^Show$')
    plays=$(echo "$got" | grep -c '^Play ')
    rest=$(echo "$got" | grep -v '^Play ')
    expected=$'StopAll\nBalloon.Style 0\nSpeak "\\Spd=150\\\\Pit=150\\Hello there!"'
    [ "$rest" = "$expected" ] || fail "double-click requests were: $got"
    [ "$plays" -le 1 ] || fail "$plays random animations for one double-click"
    echo "$got" | head -1 | grep -qx StopAll || fail "StopAll did not come first"
}

# The shared character $1 must be there; without the folder the test skips.
need() {
    [ -d "$chars" ] || { echo "skipped: no shared characters folder (bare clone)"; exit 77; }
    [ -f "$chars/$1" ] || fail "$chars/$1 is missing from the shared characters"
}

# Hanz on screen (X, Y, WIDTH, HEIGHT set), a private sound server whose
# null sink a virtual microphone hears, and $1 rendered to said.wav to play.
hanz_with_microphone() {
    need HANZ.ACS
    start_pulse || fail "no private sound server"
    pactl load-module module-remap-source master=t.monitor source_name=mic >/dev/null
    pactl set-default-source mic
    espeak-ng -v en-us -s 150 -w "$work/said.wav" "$1"
    RULES="agent.request=true;agent.anim=true;agent.listen=true" start
    hanz_shown
    solid_point
    sleep 2 # a fresh sound server drops its first buffers
    # The recogniser is large: it loads on the first request to listen.
    ! grep -q 'agent.listen: recogniser loaded' "$log" || fail "the recogniser loaded before use"
}

# Waits (up to 8 s) for more than $2 lines matching $1 in the log.
wait_count() {
    for _ in $(seq 80); do
        [ "$(grep -c "$1" "$log")" -gt "$2" ] && return 0
        sleep 0.1
    done
    return 1
}

# Opens Hanz in the file dialog and waits for his Show animation to end;
# sets id, X, Y, WIDTH and HEIGHT to his window.
hanz_shown() {
    choose_file "$chars/HANZ.ACS"
    id=$(window "^$HANZ$") || fail "the character did not appear"
    shown
    eval "$(xdotool getwindowgeometry --shell "$id")"
}

choose_file() {
    window "Open Agent Character" >/dev/null || fail "the file dialog did not open"
    xdotool type --delay 2 "$1"
    xdotool key Return
}

if [ "$scenario" = wayland ]; then
    start_screen 1300x820 || fail "no X server"
    need HANZ.ACS
    for p in weston Xwayland; do
        command -v $p >/dev/null || fail "no $p: scripts/install-deps installs it"
    done
    # Without Qt's Wayland platform Qt would fall back to X11 by itself, and
    # this would prove nothing.
    [ -n "$(find /usr/lib/*/qt6/plugins/platforms -name 'libqwayland-*.so' 2>/dev/null)" ] ||
        fail "no Qt Wayland platform plugin (qt6-wayland): scripts/install-deps installs it"
    unset QT_QPA_PLATFORM
    # A Wayland session without XWayland: a clear message, not a broken character.
    out=$(env -u DISPLAY WAYLAND_DISPLAY=wayland-none XDG_SESSION_TYPE=wayland HOME=$work \
        timeout 10 "$bin/parlavox" 2>&1)
    status=$?
    [ $status != 0 ] && [ $status != 124 ] || fail "exit status $status without X11 in a Wayland session"
    grep -q "X11" <<<"$out" || fail "no word of X11 without it: $out"
    start_wayland || { echo "skipped: weston cannot start a Wayland desktop with XWayland here"
        cat "$work/weston.log" 2>/dev/null; exit 77; }
else
    start_screen || fail "no X server"
fi

case $scenario in
wayland)
    sleep 1 # the desktop's background and panel
    screenshot && mv "$work/screen.png" "$work/before.png"
    DISPLAY=$xwl start
    DISPLAY=$xwl window "Open Agent Character" >/dev/null || fail "the file dialog did not open in XWayland"
    xdotool type --delay 2 "$chars/HANZ.ACS"
    xdotool key Return
    id=$(DISPLAY=$xwl window "^$HANZ$") || fail "the character did not appear as an X11 window"
    shown
    xinfo() { DISPLAY=$xwl xwininfo -id "$id" "$@"; }
    eval "$(xinfo | awk -F: '/Absolute upper-left X/ { print "X=" $2 }
        /Absolute upper-left Y/ { print "Y=" $2 } / Width:/ { print "WIDTH=" $2 }
        / Height:/ { print "HEIGHT=" $2 }' | tr -d ' ')"
    # Where the engine puts a new character: the lower right, a tenth of the
    # screen in from its edges (1280x800, no panels reserved for X11).
    [ "$X,$Y" = "$((1279 - WIDTH - 128)),$((799 - HEIGHT - 80))" ] ||
        fail "the character is at $X,$Y, not where it asked to be"
    # The picture counts when the shape stood still around it.
    extents() { xinfo -shape | sed -n 's/.*Window shape extents: *//p'; }
    for _ in $(seq 20); do
        extents=$(extents)
        screenshot
        [ "$(extents)" = "$extents" ] && break
    done
    read -r SW SH SX SY < <(tr 'x+' '  ' <<<"$extents")
    [ -n "${SY:-}" ] && [ $((SW * SH)) -lt $((WIDTH * HEIGHT)) ] ||
        fail "the window is not shaped: extents '$extents' of ${WIDTH}x${HEIGHT}"
    # What changed on screen, white on black: the character and nothing else.
    (cd "$work" && compare -fuzz 2% before.png screen.png -compose src -highlight-color white \
        -lowlight-color black changed.png 2>/dev/null)
    changed() { convert "$work/changed.png" -crop "$1" +repage -format '%[fx:round(mean*w*h)]' info:; }
    inside=$(changed "${SW}x${SH}+$((X + SX))+$((Y + SY))")
    window=$(changed "${WIDTH}x${HEIGHT}+${X}+${Y}")
    ring=$(($(changed "$((WIDTH + 32))x$((HEIGHT + 32))+$((X - 16))+$((Y - 16))") - window))
    [ "$inside" -gt 500 ] || fail "only $inside pixels of the character on screen at $X,$Y"
    [ "$window" = "$inside" ] || fail "$((window - inside)) pixels drawn outside the character's shape"
    [ "$ring" = 0 ] || fail "$ring pixels changed around the character's window (a frame or shadow)"
    # A solid point: the changed pixel with the most changed neighbours.
    read -r PX PY < <(densest "$work/changed.png" "${WIDTH}x${HEIGHT}+${X}+${Y}")
    PX=$((X + PX)) PY=$((Y + PY))
    double_click_says_hello
    echo "Hanz at $X,$Y ${WIDTH}x${HEIGHT}, shape $extents, $inside pixels drawn, double-clicked at $PX,$PY"
    ;;
cancel)
    start
    window "Open Agent Character" >/dev/null || fail "the file dialog did not open"
    xdotool key Escape
    window "^Parlavox$" >/dev/null || fail "no message box"
    xdotool key Return
    ended
    [ "$status" = 0 ] || fail "exit status $status after cancel"
    ;;
hanz)
    need HANZ.ACS
    start
    hanz_shown
    screenshot
    inside=$(lit "${WIDTH}x${HEIGHT}+${X}+${Y}")
    [ "$inside" -gt 800 ] || fail "only $inside character pixels on screen at ${X},${Y}"
    solid_point
    double_click_says_hello
    # The pop-up menu: the program's six commands first; the sixth ends it.
    menu_on_character
    choose_entry 6
    ended
    [ "$status" = 0 ] || fail "exit status $status after Shut Up and Quit"
    grep 'agent.request' "$log" | tail -1 | grep -qx 'agent.request: StopAll' ||
        fail "BYE did not stop the character last"
    ;;
voice)
    need HANZ.ACS
    start_pulse || fail "no private sound server"
    # Sound effects off, so what is heard is the voice.
    mkdir -p "$work/.config/parlavox"
    printf '[output]\nsoundEffects=false\n' >"$work/.config/parlavox/character-engine.ini"
    RULES="agent.request=true;agent.anim=true" start
    hanz_shown
    solid_point
    # A fresh server stalls its first buffers; let it settle before listening.
    sleep 2
    # The random animation may loop until stopped and hold the speech back, and
    # a fresh sound server may drop a first short sound; a person would simply
    # double-click again.
    heard=0
    for _ in 1 2 3; do
        parec -d t.monitor --format=s16le --rate=16000 --channels=1 --raw >"$work/heard.raw" &
        parec=$!
        sleep 0.5
        before=$(grep -c 'agent.anim: speak' "$log")
        solid_point
        xdotool mousemove "$PX" "$PY" click --repeat 2 --delay 80 1
        wait_count 'agent.anim: speak' "$before" && sleep 2
        kill "$parec"; parec=""
        # Effects are off, so anything loud is the voice.
        heard=$(loud_ms "$work/heard.raw")
        [ "$heard" -ge 100 ] && break
    done
    grep -q 'agent.anim: speak' "$log" || fail "the character never started speaking"
    [ "$heard" -ge 100 ] || fail "only ${heard} ms of speech heard after a double-click"
    echo "heard ${heard} ms of speech"
    ;;
listen)
    hanz_with_microphone "Shut up and quit"
    # Push to talk: a click gives the character the keyboard; hold the
    # listening key while speaking.
    solid_point
    xdotool mousemove "$PX" "$PY" click 1
    lines=$(wc -l <"$log")
    xdotool keydown Scroll_Lock
    wait_log 'State::Listening' "$lines" || fail "the listening key did not start listening"
    wait_log 'agent.listen: listening tone' "$lines" || fail "no listening tone"
    # A fresh recording from the sound server may begin late: once in 30
    # runs it began as the phrase did, its first sound cut to "[AA]".
    sleep 0.6
    paplay -d t "$work/said.wav"
    xdotool keyup Scroll_Lock
    ended
    [ "$status" = 0 ] || fail "saying \"Shut up and quit\" did not end the program ($status)"
    # What is left of the listening tone may come before the phrase, heard as
    # a phone or a short word: "[P] shut up and quit", "up shut up and quit".
    grep -q 'agent.listen: heard \(.* \)\?shut up and quit accepted' "$log" ||
        fail "not heard as BYE's phrase"
    grep 'agent.request' "$log" | tail -1 | grep -qx 'agent.request: StopAll' ||
        fail "BYE did not stop the character last"
    ;;
listen-menu)
    # With sound effects turned off in the options there is no listening tone.
    mkdir -p "$work/.config/parlavox"
    printf '[output]\nsoundEffects=false\n' >"$work/.config/parlavox/character-engine.ini"
    hanz_with_microphone "What time is it"
    # "Listen" on the pop-up menu, below the program's six commands; speech
    # outside the commands is turned down, and the tip says so.
    menu_on_character
    lines=$(wc -l <"$log")
    choose_entry 7
    wait_log 'State::Listening' "$lines" || fail "Listen did not start listening"
    sleep 0.3
    paplay -d t "$work/said.wav"
    for _ in $(seq 80); do grep -q 'agent.listen: heard' "$log" && break; sleep 0.1; done
    grep -q 'agent.listen: heard.*rejected' "$log" || fail "out-of-grammar speech was not rejected"
    ! grep -q 'listening tone' "$log" || fail "a listening tone with sound effects off"
    window "understand" >/dev/null || fail "no Listening tip saying it did not understand"
    kill -0 "$pid" || fail "the program ended"
    ;;
second-start)
    # After Hide, a second start is the way back where there is no system tray.
    need HANZ.ACS
    start
    hanz_shown
    menu_on_character
    choose_entry 8 # the six commands, Listen, Hide
    for _ in $(seq 50); do
        xdotool search --onlyvisible --name "^$HANZ$" >/dev/null 2>&1 || break
        sleep 0.1
    done
    ! xdotool search --onlyvisible --name "^$HANZ$" >/dev/null 2>&1 || fail "Hide left the character on screen"
    shows=$(grep -c '^agent.request: Show$' "$log")
    XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work} HOME=$work timeout 10 "$bin/parlavox" >"$work/second.log" 2>&1
    second=$?
    [ "$second" = 0 ] || fail "the second start ended with $second: $(cat "$work/second.log")"
    window "^$HANZ$" >/dev/null || fail "the second start did not bring the character back"
    [ "$(grep -c '^agent.request: Show$' "$log")" -gt "$shows" ] || fail "no Show request for the second start"
    kill -0 "$pid" || fail "the first program ended"
    ;;
broken)
    need Alfred.acs
    start
    choose_file "$chars/Alfred.acs"
    window "^Parlavox$" >/dev/null || fail "no run-time error report"
    xdotool key Return
    ended
    [ "$status" != 0 ] && [ "$status" != "still running" ] || fail "exit status $status after a load failure"
    ;;
older)
    # Each older-generation character: it shows, idles on its own where it has
    # idling states (Miku and the gnome have none), answers a double-click and
    # ends from its menu. The swan is black line art: it is found on a grey screen.
    for entry in MIKU.ACS:Miku: older/JOE.ACS:Joe:idles older/Otto.acs:Otto:idles \
        older/Smiley.acs:StoryHarp:idles older/gnome.acs:Gnome: older/swan.acs:Swan:idles; do
        IFS=: read -r file name idles <<<"$entry"
        if [ "$name" = Swan ]; then
            convert -size 1280x800 xc:'#808080' "$work/grey.png"
            display -window root "$work/grey.png"
            BACKGROUND='#808080'
        fi
        need "$file"
        start
        choose_file "$chars/$file"
        id=$(window "^$name$") || fail "$file: the character did not appear"
        shown
        eval "$(xdotool getwindowgeometry --shell "$id")"
        if [ -n "$idles" ]; then
            wait_log '^agent.anim: play' "$(grep -n '^agent.anim: play' "$log" | head -1 | cut -d: -f1)" ||
                fail "$file: no idle animation after Show"
            ! grep -q '^agent.request: Play' "$log" || fail "$file: a Play request came before the idle"
        fi
        solid_point
        double_click_says_hello
        menu_on_character
        choose_entry 6
        ended
        [ "$status" = 0 ] || fail "$file: exit status $status after Shut Up and Quit"
    done
    ;;
display-gone)
    # The session ends under a talking character: Qt says the display went
    # away and the program ends with status 1, not with a crash.
    need HANZ.ACS
    start
    hanz_shown
    solid_point
    double_click_says_hello
    kill "$xvfb"
    xvfb=""
    ended
    [ "$status" = 1 ] || fail "exit status $status when the display went away"
    grep -q "X11 connection broke" "$log" || fail "no word of the display going away"
    ;;
*)
    echo "unknown scenario $scenario"; exit 2 ;;
esac
echo "PASS: $scenario"
