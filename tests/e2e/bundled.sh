#!/usr/bin/env bash
# End to end with the character that ships with Parlavox: the real binary on
# its own Xvfb screen, driven with xdotool like a person, checked by the
# framebuffer's pixels and by the engine's log.
#   bundled.sh BIN_DIR                the program as built
#   bundled.sh --installed BUILD_DIR  the program as `cmake --install` lays it out
# The file dialog must open in the data folder (bin/../share/parlavox/agent/chars):
# only the bare file name is typed, from a working folder that lacks it.
set -u
log=""
. "$(dirname "$0")/lib.sh"
log=$work/program.log
if [ "$1" = --installed ]; then
    cmake --install "$2" --prefix "$work/prefix" >"$work/install.log" 2>&1 \
        || { cat "$work/install.log"; fail "cmake --install"; }
    bin=$work/prefix/bin
else
    bin=$(cd "$1" && pwd)
fi
name=Button

[ -f "$bin/../share/parlavox/agent/chars/$name.acs" ] || fail "$name.acs is not in the data folder beside $bin"

start_screen || fail "no X server"

# Pixels of a rectangle of the last screenshot within a few percent of a colour.
coloured() {
    convert "$work/screen.png" -crop "$1" +repage -fuzz 7% -fill black +opaque "$2" \
        -fill white -opaque "$2" -format '%[fx:round(mean*w*h)]' info:
}

mkdir "$work/elsewhere"
(cd "$work/elsewhere" && QT_LOGGING_RULES="agent.request=true;agent.anim=true" \
    XDG_RUNTIME_DIR=$work HOME=$work exec "$bin/parlavox" >"$log" 2>&1) &
pid=$!

window "Open Agent Character" >/dev/null || fail "the file dialog did not open"
sleep 0.5
xdotool type --delay 2 "$name.acs"
xdotool key Return
id=$(window "^$name\$") || fail "$name did not appear: the dialog did not open on the data folder"
grep -q "agent.anim: play Show" "$log" || fail "no Showing animation played"
shown
eval "$(xdotool getwindowgeometry --shell "$id")"
screenshot
# Button's own colours: the honey-orange cap and the cream body.
cap=$(coloured "${WIDTH}x${HEIGHT}+${X}+${Y}" '#e48e3a')
body=$(coloured "${WIDTH}x${HEIGHT}+${X}+${Y}" '#faedd2')
scale=$((WIDTH * HEIGHT / (128 * 128)))
[ "$cap" -gt $((1500 * scale)) ] || fail "only $cap cap pixels at ${X},${Y} ${WIDTH}x${HEIGHT}"
[ "$body" -gt $((700 * scale)) ] || fail "only $body body pixels at ${X},${Y} ${WIDTH}x${HEIGHT}"
# Nothing of Button outside its window.
outside=$(coloured "1280x800+0+0" '#e48e3a')
[ "$outside" -le "$cap" ] || fail "$((outside - cap)) cap-coloured pixels outside the character's window"

# Double-click: the program says hello. Frames are sampled while it speaks; the
# mouth region must show several different mouths.
lines=$(wc -l <"$log")
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT * 108 / 128)) click --repeat 2 --delay 80 1
xdotool mousemove 0 0 # the pointer is drawn into the framebuffer: keep it off the mouth
ms=""
# A random animation may play first; some loop a while before they end.
for _ in $(seq 1000); do
    ms=$(tail -n +"$((lines + 1))" "$log" | sed -n 's/^agent.anim: speak \([0-9]*\) ms$/\1/p' | head -1)
    [ -n "$ms" ] && break
    sleep 0.02
done
[ -n "$ms" ] || fail "the double-click did not start speech"
tail -n +"$((lines + 1))" "$log" | grep -q '^agent.request: Speak ' || fail "no Speak request"
n=0
end=$(($(date +%s%N) / 1000000 + ms))
while [ "$(($(date +%s%N) / 1000000))" -lt "$end" ] && [ $n -lt 60 ]; do
    cp "$work/Xvfb_screen0" "$work/frame$n.xwd"
    n=$((n + 1))
    sleep 0.03
done
mouth="$((WIDTH * 30 / 128))x$((HEIGHT * 26 / 128))+$((X + WIDTH * 49 / 128))+$((Y + HEIGHT * 80 / 128))"
shapes=$(for i in $(seq 0 $((n - 1))); do
    convert "xwd:$work/frame$i.xwd" -crop "$mouth" +repage rgb:- | md5sum
done | sort -u | wc -l)
[ "$shapes" -ge 3 ] || fail "$shapes different mouths in $n frames over $ms ms of speech"
sleep 1

# The pop-up menu: the program's six commands first; the sixth ends it.
open_menu $((X + WIDTH / 2)) $((Y + HEIGHT * 108 / 128))
choose_entry 6
ended
[ "$status" = 0 ] || fail "exit status $status after Shut Up and Quit"
echo "PASS: $name shown ($cap cap, $body body pixels), spoke $ms ms with $shapes mouths in $n frames"
