#!/usr/bin/env bash
# Resident memory of the program idle with a character loaded and no voice
# command used yet: each character is opened in the file dialog on a private
# Xvfb screen, and VmRSS is read once the character has settled.
#   program-rss.sh PARLAVOX CHARACTER.acs...
set -u
bin=$1
shift
for char in "$@"; do
    [ -f "$char" ] || { echo "$(basename "$char"): not present"; continue; }
    work=$(mktemp -d)
    display=":$((500 + RANDOM % 300))"
    Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 50); do DISPLAY=$display xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
    DISPLAY=$display HOME=$work XDG_RUNTIME_DIR=$work QT_LOGGING_RULES=agent.request=true \
        "$bin" >"$work/log" 2>&1 &
    pid=$!
    for _ in $(seq 100); do
        DISPLAY=$display xdotool search --onlyvisible --name "Open Agent Character" >/dev/null 2>&1 && break
        sleep 0.1
    done
    DISPLAY=$display xdotool type --delay 2 "$(realpath "$char")"
    DISPLAY=$display xdotool key Return
    for _ in $(seq 100); do grep -q '^agent.request: Show' "$work/log" && break; sleep 0.1; done
    grep -q '^agent.request: Show' "$work/log" || { echo "$(basename "$char"): did not load"; cat "$work/log"; }
    sleep 8 # the Show animation, then idling
    printf '%-24s %s\n' "$(basename "$char"):" "$(grep -E 'VmRSS' "/proc/$pid/status" | tr -s ' \t' ' ')"
    kill -0 "$pid" 2>/dev/null || { echo "the program ended:"; tail -5 "$work/log"; }
    kill "$pid" "$xvfb" 2>/dev/null
    wait "$pid" "$xvfb" 2>/dev/null
    rm -rf "$work"
done
