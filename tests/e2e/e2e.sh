#!/usr/bin/env bash
# End-to-end scenarios: the real binary on its own Xvfb screen, driven with
# xdotool like a person, checked by the framebuffer's pixels and by the
# engine's request log.
#   e2e.sh BIN_DIR SCENARIO [CHARACTERS_DIR]
# Exit 77 skips (a needed character file is absent).
set -u
bin=$1 scenario=$2 chars=${3:-}
work=$(mktemp -d)
display=":$((90 + RANDOM % 400))"
log=$work/requests.log
pid=""; xvfb=""

pulse=""; parec=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    [ -n "$parec" ] && kill "$parec" 2>/dev/null
    [ -n "$pulse" ] && kill "$pulse" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; echo "--- request log:"; cat "$log" 2>/dev/null; exit 1; }

Xvfb "$display" -screen 0 1280x800x24 -fbdir "$work" -noreset -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

# A private sound server with a null sink; its monitor is what a listener hears.
start_pulse() {
    export XDG_RUNTIME_DIR=$work PULSE_RUNTIME_PATH=$work/pulse PULSE_STATE_PATH=$work/pulse-state
    export PULSE_SERVER=unix:$work/pulse/native
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --load=module-native-protocol-unix \
        --load="module-null-sink sink_name=t" >"$work/pulse.log" 2>&1 &
    pulse=$!
    for _ in $(seq 100); do pactl info >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}
# Milliseconds of loud audio (10 ms windows above a low threshold) in a raw
# 16-bit mono recording at 16 kHz.
loud_ms() {
    od -An -v -t d2 -w2 "$1" | awk '{ s = $1 < 0 ? -$1 : $1; sum += s; n++;
        if (n == 160) { if (sum / n > 300) loud++; sum = 0; n = 0 } }
        END { print loud * 10 + 0 }'
}

start() {
    QT_LOGGING_RULES=${RULES:-agent.request=true} XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work} HOME=$work \
        "$bin/parlavox" >"$log" 2>&1 &
    pid=$!
}
# Waits for a visible window whose name matches; prints its id.
window() {
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}
# Waits for the program to end; prints its exit status.
ended() {
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || { wait "$pid"; echo $?; pid=""; return 0; }
        sleep 0.1
    done
    echo "still running"
}
screenshot() { convert "xwd:$work/Xvfb_screen0" "$work/screen.png"; }
# Non-black pixels in a rectangle of the last screenshot.
lit() { convert "$work/screen.png" -crop "$1" +repage -fill white +opaque black -format '%[fx:round(mean*w*h)]' info:; }
# Requests logged after the first line matching $1.
requests_after() { sed -n "/$1/,\$p" "$log" | sed -n 's/^agent.request: //p'; }

choose_file() {
    window "Open Agent Character" >/dev/null || fail "the file dialog did not open"
    xdotool type --delay 2 "$1"
    xdotool key Return
}

case $scenario in
cancel)
    start
    window "Open Agent Character" >/dev/null || fail "the file dialog did not open"
    xdotool key Escape
    window "^Parlavox$" >/dev/null || fail "no message box"
    screenshot
    xdotool key Return
    status=$(ended)
    [ "$status" = 0 ] || fail "exit status $status after cancel"
    ;;
genie)
    [ -f "$chars/Genie.acs" ] || exit 77
    start
    choose_file "$chars/Genie.acs"
    id=$(window "^Genie$") || fail "the character did not appear"
    sleep 1.5
    eval "$(xdotool getwindowgeometry --shell "$id")"
    screenshot
    inside=$(lit "${WIDTH}x${HEIGHT}+${X}+${Y}")
    [ "$inside" -gt 2000 ] || fail "only $inside character pixels on screen at ${X},${Y}"
    # Clicks beside the character fall through: the corner of its window is not its.
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click --repeat 2 --delay 80 1
    sleep 1
    got=$(requests_after 'Commands.Add "BYE"' | grep -v '^Commands' | grep -v '^Show$')
    plays=$(echo "$got" | grep -c '^Play ')
    rest=$(echo "$got" | grep -v '^Play ')
    expected=$'StopAll\nBalloon.Style 0\nSpeak "\\Spd=150\\\\Pit=150\\Hello there!"'
    [ "$rest" = "$expected" ] || fail "double-click requests were: $got"
    [ "$plays" -le 1 ] || fail "$plays random animations for one double-click"
    echo "$got" | head -1 | grep -qx StopAll || fail "StopAll did not come first"
    # The pop-up menu: the program's six commands first; the sixth ends it.
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
    sleep 0.5
    xdotool key Down Down Down Down Down Down Return
    status=$(ended)
    [ "$status" = 0 ] || fail "exit status $status after Shut Up and Quit"
    tail -1 "$log" | grep -qx 'agent.request: StopAll' || fail "BYE did not stop the character last"
    ;;
voice)
    [ -f "$chars/Genie.acs" ] || exit 77
    start_pulse || fail "no private sound server"
    # Sound effects off, so what is heard is the voice.
    mkdir -p "$work/.config/parlavox"
    printf '[output]\nsoundEffects=false\n' >"$work/.config/parlavox/character-engine.ini"
    RULES="agent.request=true;agent.anim=true" start
    choose_file "$chars/Genie.acs"
    id=$(window "^Genie$") || fail "the character did not appear"
    eval "$(xdotool getwindowgeometry --shell "$id")"
    # A fresh server stalls its first buffers; let it settle before listening.
    sleep 2
    parec -d t.monitor --format=s16le --rate=16000 --channels=1 --raw >"$work/heard.raw" &
    parec=$!
    sleep 0.5
    # The random animation may be one that loops until stopped and holds the
    # speech back; another double-click stops it, as a person would.
    for _ in 1 2 3; do
        before=$(grep -c 'agent.anim: speak' "$log")
        xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click --repeat 2 --delay 80 1
        for _ in $(seq 80); do
            [ "$(grep -c 'agent.anim: speak' "$log")" -gt "$before" ] && break 2
            sleep 0.1
        done
    done
    grep -q 'agent.anim: speak' "$log" || fail "the character never started speaking"
    sleep 2
    kill "$parec"; parec=""
    heard=$(loud_ms "$work/heard.raw")
    # Effects are off, so anything loud is the voice. A fresh server may drop
    # some of it, so ask only that it is heard.
    [ "$heard" -ge 100 ] || fail "only ${heard} ms of speech heard after a double-click"
    echo "heard ${heard} ms of speech"
    ;;
broken)
    [ -f "$chars/Alfred.acs" ] || exit 77
    start
    choose_file "$chars/Alfred.acs"
    window "^Parlavox$" >/dev/null || fail "no run-time error report"
    xdotool key Return
    status=$(ended)
    [ "$status" != 0 ] && [ "$status" != "still running" ] || fail "exit status $status after a load failure"
    ;;
*)
    echo "unknown scenario $scenario"; exit 2 ;;
esac
echo "PASS: $scenario"
