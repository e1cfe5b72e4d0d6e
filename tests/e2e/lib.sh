# Shared by the end-to-end scripts: a scratch folder, a private Xvfb screen
# (with -fbdir, so screenshots read the real framebuffer), and the helpers a
# person's actions are written with. Source it after setting `log`.
work=$(mktemp -d)
pid=""; xvfb=""; pulse=""; parec=""; weston=""

cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    [ -n "$parec" ] && kill "$parec" 2>/dev/null
    [ -n "$pulse" ] && kill "$pulse" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    [ -n "$weston" ] && kill "$weston" 2>/dev/null && wait "$weston" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; echo "--- log:"; cat "${log:-/dev/null}" 2>/dev/null; exit 1; }

# The server picks a free display and names it once it is ready, so scenarios
# run side by side.
start_screen() {
    Xvfb -displayfd 3 -screen 0 "${1:-1280x800}x24" -fbdir "$work" -noreset -nolisten tcp \
        3>"$work/display" >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(cat "$work/display")"
    for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}

# A Wayland desktop on the private screen: weston, whose X11 backend gives it
# a seat with a real pointer and keyboard, runs XWayland and announces its X
# display in its log. XWL is that display; WAYLAND_DISPLAY is set as a Wayland
# session sets it. Input still goes to the screen (DISPLAY), as a person's
# would, and the screen's framebuffer is the compositor's picture. The screen
# is a little larger than weston's 1280x800 window: the pointer has to enter
# that window before weston follows it.
start_wayland() {
    export XDG_RUNTIME_DIR=$work WAYLAND_DISPLAY=e2e-wayland
    weston --backend=x11-backend.so --use-pixman --xwayland --width=1280 --height=800 \
        --socket="$WAYLAND_DISPLAY" --log="$work/weston.log" >"$work/weston.out" 2>&1 &
    weston=$!
    for _ in $(seq 100); do
        kill -0 "$weston" 2>/dev/null || return 1
        xwl=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log" 2>/dev/null)
        # The first X client starts XWayland.
        if [ -n "$xwl" ] && DISPLAY=$xwl xdotool getmouselocation >/dev/null 2>&1; then
            xdotool mousemove 1290 810 sleep 0.2 mousemove 640 400
            return 0
        fi
        sleep 0.1
    done
    return 1
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

# Waits for the program to end; sets status to its exit status.
ended() {
    status="still running"
    for _ in $(seq 200); do
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid"
            status=$?
            pid=""
            return 0
        fi
        sleep 0.1
    done
}

# Waits (up to 10 s) for a line matching $1 in the log, after the first $2 lines.
wait_log() {
    for _ in $(seq 100); do
        tail -n +"$((${2:-0} + 1))" "$log" | grep -q "$1" && return 0
        sleep 0.1
    done
    return 1
}

# Waits for the first animation, the Showing one, to have played to its end.
shown() { wait_log '^agent.anim: done' || fail "the character's Show animation did not end"; }

screenshot() { convert "xwd:$work/Xvfb_screen0" "$work/screen.png"; }

# Right-clicks at X Y and waits until the pop-up menu is up: on a busy machine
# keys typed before it maps would be lost. Fails when no menu came up.
open_menu() {
    local before
    before=$(xdotool search --onlyvisible --class parlavox 2>/dev/null | wc -l)
    xdotool mousemove "$1" "$2" click 3
    for _ in $(seq 50); do
        if [ "$(xdotool search --onlyvisible --class parlavox 2>/dev/null | wc -l)" -gt "$before" ]; then
            sleep 0.4
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Chooses the Nth entry of the open pop-up menu with the keyboard.
choose_entry() {
    local keys=()
    for _ in $(seq "$1"); do keys+=(Down); done
    xdotool key --delay 120 "${keys[@]}" Return
}

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
