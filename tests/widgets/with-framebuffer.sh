#!/usr/bin/env bash
# Runs a test program on a private Xvfb screen whose framebuffer it reads back:
# PARLAVOX_FRAMEBUFFER names the screen's XWD file.
#   with-framebuffer.sh PROGRAM [ARGUMENTS...]
set -u
log=""
. "$(dirname "$0")/../e2e/lib.sh"
start_screen || fail "no X server"
xdotool mousemove 1279 799 # the pointer is drawn into the framebuffer: keep it in a corner
PARLAVOX_FRAMEBUFFER=$work/Xvfb_screen0 QT_QPA_PLATFORM=xcb "$@"
exit $?
