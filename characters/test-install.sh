#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks that each file lands
# where the desktop and the program look: the binary in bin/, the character in
# the data folder's agent/chars (bin/../share/parlavox, where the program's
# file dialog opens), the menu entry in share/applications naming that binary
# and an icon the hicolor theme holds.
#   test-install.sh BUILD_DIR CHARACTER_NAME
set -u
build=$1 name=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 || { cat "$prefix.log"; rm -f "$prefix.log"; fail "cmake --install failed"; }
rm -f "$prefix.log"

for program in parlavox acstool agent-say agent-listen; do
    [ -x "$prefix/bin/$program" ] || fail "no executable bin/$program"
done
acs=$prefix/share/parlavox/agent/chars/$name.acs
[ -f "$acs" ] || fail "no $acs"
cmp -s "$acs" "$build/share/parlavox/agent/chars/$name.acs" || fail "$acs differs from the built one"

desktop=$prefix/share/applications/parlavox.desktop
[ -f "$desktop" ] || fail "no share/applications/parlavox.desktop"
key() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(head -1 "$desktop")" = "[Desktop Entry]" ] || fail "the desktop file does not start with [Desktop Entry]"
[ "$(key Type)" = Application ] || fail "Type is not Application"
[ -n "$(key Name)" ] || fail "no Name"
exec=$(key Exec | awk '{ print $1 }')
[ -x "$prefix/bin/$exec" ] || fail "Exec=$exec is not an installed program"
icon=$(key Icon)
[ -n "$icon" ] || fail "no Icon"
found=$(find "$prefix/share/icons/hicolor" -path "*/apps/$icon.*" 2>/dev/null | wc -l)
[ "$found" -ge 2 ] || fail "Icon=$icon: only $found sizes in share/icons/hicolor"
for f in "$prefix"/share/icons/hicolor/*/apps/"$icon".png; do
    size=$(basename "$(dirname "$(dirname "$f")")")
    actual=$(identify -format '%wx%h' "$f" 2>/dev/null) || fail "$f is not an image"
    [ "$actual" = "$size" ] || fail "$f is $actual, not $size"
done
key Categories | grep -q ';$' || fail "Categories does not end with ;"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop file"
fi
echo "ok: installed layout under a scratch prefix"
