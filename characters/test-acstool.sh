#!/usr/bin/env bash
# The compiled character passes `acstool check`, and `acstool info` shows what
# its manifest says: its name, voice and balloon font, every animation in order
# with its frame count, every state with its animations, and as many images and
# sounds as the manifest names distinct files.
#   test-acstool.sh ACSTOOL FILE.acs character.txt
set -u
acstool=$1 acs=$2 manifest=$3
fail() { echo "FAIL: $*"; exit 1; }

"$acstool" check "$acs" || fail "acstool check rejected $acs"
info=$("$acstool" info "$acs") || fail "acstool info failed on $acs"

# Manifest lines without comments or blanks, leading spaces dropped.
src=$(sed -e 's/^[[:space:]]*//' -e '/^#/d' -e '/^$/d' "$manifest")
value() { # value SECTION KEY
    echo "$src" | awk -v sec="[$1]" -v key="$2" '
        /^\[/ { in_sec = ($0 == sec); next }
        in_sec { split($0, kv, "="); k = kv[1]; gsub(/[[:space:]]/, "", k)
                 if (k == key) { v = substr($0, index($0, "=") + 1); gsub(/^[[:space:]]+|[[:space:]]+$|"/, "", v); print v } }'
}

want=$(echo "$src" | awk '
    /^\[animation / { if (name != "") print "  " name ": " n " frames"
                      name = substr($0, 12, length($0) - 12); n = 0; next }
    /^\[/ { if (name != "") print "  " name ": " n " frames"; name = ""; next }
    name != "" && /^frame / { n++ }
    END { if (name != "") print "  " name ": " n " frames" }')
got=$(echo "$info" | sed -n '/^animations:/,$p' | grep '^  ')
[ -n "$want" ] || fail "no animations found in $manifest"
[ "$got" = "$want" ] || fail "animations differ from the manifest:
$(diff <(echo "$want") <(echo "$got"))"

want=$(echo "$src" | awk '
    /^\[state / { if (name != "") print "  " name ": " list
                  name = substr($0, 8, length($0) - 8); list = ""; next }
    /^\[/ { if (name != "") print "  " name ": " list; name = ""; next }
    name != "" && /^animation[[:space:]]*=/ { v = substr($0, index($0, "=") + 1); gsub(/^[[:space:]]+|[[:space:]]+$/, "", v)
                                             list = (list == "" ? v : list ", " v) }
    END { if (name != "") print "  " name ": " list }')
got=$(echo "$info" | sed -n '/^states:/,/^animations:/p' | grep '^  ')
[ -n "$want" ] || fail "no states found in $manifest"
[ "$got" = "$want" ] || fail "states differ from the manifest:
$(diff <(echo "$want") <(echo "$got"))"

sounds=$(echo "$src" | awk '$1 == "sound" { print $2 }' | sort -u | wc -l)
echo "$info" | grep -qx "sounds: $sounds" || fail "info says $(echo "$info" | grep '^sounds:'), the manifest names $sounds sound files"
images=$(echo "$src" | awk '$1 == "image" { print $2 } $1 == "mouth" { print $3 }' | sort -u | wc -l)
echo "$info" | grep -qx "images: $images" || fail "info says $(echo "$info" | grep '^images:'), the manifest names $images image files"

# Mouth overlays are not listed by info: check-character compares those.
name=$(value 'locale 0x0409' name)
echo "$info" | grep -qx "name: $name" || fail "name is not $name"
speed=$(value voice speed) pitch=$(value voice pitch)
echo "$info" | grep -q "^voice: .* speed $speed pitch $pitch " || fail "voice is not speed $speed pitch $pitch"
font=$(value balloon font) lines=$(value balloon lines)
echo "$info" | grep -q "^balloon: $lines lines of .* font \"$font\"" || fail "balloon is not $lines lines in $font"
echo "ok: $(echo "$info" | grep -c '^  .*frames$') animations, states, $sounds sounds and $images images as in $manifest"
