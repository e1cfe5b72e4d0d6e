#!/bin/sh
# Re-creates Parlavox's own artwork with ImageMagick ("convert" from IM 6, or
# "magick" from IM 7).  Everything is drawn from primitives here, so the PNGs
# in this folder can always be rebuilt from this one file:
#   splash.png          start-up picture (425x310, plain 24-bit RGB)
#   icon48.png          main window icon (48x48, 8-bit palette)
#   app-icon-NN.png     program icon, 16/32/48/64/72 (RGBA)
#   parlavox.svg        scalable version of the program icon
# Usage: resources/draw-art.sh            (writes next to this script)
set -eu

cd "$(dirname "$0")"
if command -v magick >/dev/null 2>&1; then IM="magick"; else IM="convert"; fi
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

INK='#22264a'    # outline colour shared by every balloon
PAPER='#fffdf4'  # balloon fill, a warm white
TEXT='#a3abc8'   # pale bars that stand in for words inside balloons

# speech CX CY RX RY A1 A2 TX TY -> SVG path of an elliptic balloon whose tail
# leaves the rim between angles A1<A2 (degrees, clockwise from 3 o'clock) and
# ends at TX,TY.  One closed path, so dashed and double outlines follow the
# tail too instead of cutting across its root.
speech() {
    awk -v cx="$1" -v cy="$2" -v rx="$3" -v ry="$4" -v a1="$5" -v a2="$6" \
        -v tx="$7" -v ty="$8" 'BEGIN {
        d = atan2(0, -1) / 180
        printf "M %.1f,%.1f A %s,%s 0 1,1 %.1f,%.1f L %s,%s Z",
            cx + rx * cos(a2 * d), cy + ry * sin(a2 * d), rx, ry,
            cx + rx * cos(a1 * d), cy + ry * sin(a1 * d), tx, ty }'
}

# puffs CX CY RX RY N R -> N circles of radius R spaced round an ellipse; their
# union is the body of a cloud-shaped thought balloon.
puffs() {
    awk -v cx="$1" -v cy="$2" -v rx="$3" -v ry="$4" -v n="$5" -v r="$6" 'BEGIN {
        d = 2 * atan2(0, -1) / n
        for (i = 0; i < n; i++) {
            x = cx + rx * cos(i * d + 0.3); y = cy + ry * sin(i * d + 0.3)
            printf "circle %.1f,%.1f %.1f,%.1f\n", x, y, x + r, y
        }
        printf "ellipse %s,%s %s,%s 0,360\n", cx, cy, rx, ry }'
}

# thought CX CY RX RY N R W "x,y,r ..." -> MVG for a cloud balloon with its
# trailing bubbles.  The outline of a union of circles is made by painting
# every circle fat in ink first and then all of them again in paper on top.
thought() {
    shape=$(puffs "$1" "$2" "$3" "$4" "$5" "$6")
    trail=""
    for b in $8; do
        IFS=, read -r x y r <<EOF
$b
EOF
        trail="$trail
circle $x,$y $(awk -v x="$x" -v r="$r" 'BEGIN{print x + r}'),$y"
    done
    printf 'push graphic-context\nstroke \047%s\047\nstroke-width %s\nfill \047%s\047\n%s%s\npop graphic-context\n' \
        "$INK" "$7" "$INK" "$shape" "$trail"
    printf 'push graphic-context\nstroke none\nfill \047%s\047\n%s%s\npop graphic-context\n' \
        "$PAPER" "$shape" "$trail"
}

# words X Y W1 W2 ... -> rows of rounded bars, one row per width, 11px apart.
words() {
    x=$1; y=$2; shift 2
    printf 'push graphic-context\nstroke none\nfill \047%s\047\n' "$TEXT"
    for w in "$@"; do
        printf 'roundrectangle %s,%s %s,%s 2,2\n' "$x" "$y" "$((x + w))" "$((y + 5))"
        y=$((y + 11))
    done
    printf 'pop graphic-context\n'
}

# ---------------------------------------------------------------- splash.png
# Layout: the band x 56..377, y 88..169 is left as open sky (the program paints
# its yellow title there) and the ground in the bottom-left corner stays plain
# for the version line, so all balloons sit around those two areas.
W=425 H=310

{
# Sky: soft gradient is made below; here only the sun and faint clouds.
cat <<EOF
push graphic-context
stroke none
fill '#ffffff30'
circle 404,28 404,64
fill '#ffffff40'
circle 404,28 404,56
fill '#ffe27a'
circle 404,28 404,50
fill '#ffffff38'
ellipse 212,20 34,9 0,360
ellipse 232,14 20,8 0,360
ellipse 400,104 18,6 0,360
pop graphic-context
EOF

# Ground: a far ridge in light orange, then the near field, plus a few darker
# furrows on the right, well away from the version-line corner.
cat <<EOF
push graphic-context
stroke none
fill '#f4a448'
path 'M 0,206 C 70,186 140,190 210,200 S 340,188 425,196 L 425,310 L 0,310 Z'
fill '#e9852a'
path 'M 0,222 C 90,206 170,214 250,220 S 380,210 425,214 L 425,310 L 0,310 Z'
fill '#d9731f'
path 'M 250,300 C 300,292 370,290 425,292 L 425,310 L 240,310 Z'
pop graphic-context
EOF

# Dark red panel on the left with a thin light edge and three small balloon
# glyphs, echoing the theme without competing with the big balloons.
cat <<EOF
push graphic-context
stroke none
fill '#7a1a24'
rectangle 0,0 46,310
fill '#b23a3f'
rectangle 46,0 48,310
fill '#5a0f18'
rectangle 0,0 4,310
pop graphic-context
push graphic-context
stroke '#f3dcc0'
stroke-width 2
fill none
path '$(speech 25 44 13 9 100 125 16 62)'
ellipse 25,112 12,8 0,360
circle 16,126 18.5,126
circle 12,133 13.5,133
stroke-dasharray 3 2
path '$(speech 25 180 13 9 55 80 33 198)'
pop graphic-context
EOF

# 1) solid speech balloon, top left
cat <<EOF
push graphic-context
stroke '$INK'
stroke-width 3
fill '$PAPER'
path '$(speech 118 42 54 28 112 132 74 84)'
pop graphic-context
EOF
words 86 26 64 48 58

# 2) cloud thought balloon, top right, trailing off past the title band
thought 296 42 54 22 11 15 5 "368,78,7 385,91,5 396,102,3"
cat <<EOF
push graphic-context
stroke none
fill '$INK'
circle 276,44 276,49
circle 296,44 296,49
circle 316,44 316,49
pop graphic-context
EOF

# 3) small thought balloon at the right edge
thought 397 146 14 9 7 9 4 "382,180,5 373,193,3"
cat <<EOF
push graphic-context
stroke none
fill '#e0455a'
path 'M 397,153 C 387,146 389,138 397,142 C 405,138 407,146 397,153 Z'
pop graphic-context
EOF

# 4) dashed speech balloon (a whisper), left, above the version-line corner
cat <<EOF
push graphic-context
stroke '$INK'
stroke-width 2.5
stroke-dasharray 7 4
stroke-linecap round
fill '$PAPER'
path '$(speech 112 230 50 25 40 62 162 276)'
pop graphic-context
EOF
words 82 219 58 40

# 5) double-outlined speech balloon, centre of the ground.  Painted as wide
#    ink, narrower paper, thin ink, then the fill: two parallel rims.
B=$(speech 262 236 52 28 58 82 292 290)
cat <<EOF
push graphic-context
fill '$INK'
stroke '$INK'
stroke-width 10
stroke-linejoin round
path '$B'
stroke '$PAPER'
fill '$PAPER'
stroke-width 6
path '$B'
stroke '$INK'
stroke-width 2.5
path '$B'
pop graphic-context
EOF
words 230 222 64 50 60

# 6) spiky "shout" balloon, bottom right
awk -v ink="$INK" 'BEGIN {
    pi = atan2(0, -1); n = 22; s = "M"
    for (i = 0; i < n; i++) {
        r = (i % 2) ? 24 : 36; a = i * 2 * pi / n
        s = s sprintf(" %.1f,%.1f", 373 + r * 1.15 * cos(a), 250 + r * 0.75 * sin(a))
        if (i == 0) s = s " L"
    }
    printf "push graphic-context\nstroke '\''%s'\''\nstroke-width 2.5\nstroke-linejoin miter\nfill '\''#fff2a8'\''\npath '\''%s Z'\''\npop graphic-context\n", ink, s
}'
cat <<EOF
push graphic-context
stroke none
fill '#d23a2a'
roundrectangle 370,236 377,256 3,3
circle 373.5,263 373.5,266.5
pop graphic-context
EOF
} >"$TMP/splash.mvg"

# Sky gradient, then the drawing on top; flatten and strip alpha so the file is
# plain 24-bit RGB as the start-up screen expects.
$IM -size ${W}x${H} gradient:'#173f94-#74b0e6' \
    -draw "$(cat "$TMP/splash.mvg")" \
    -alpha off -type TrueColor -define png:color-type=2 -strip PNG24:splash.png

# ------------------------------------------------------------------ the icon
# One design on a 64x64 grid: a round speech balloon with a face, tail at the
# lower left.  Each size is drawn at 8x and reduced, which keeps edges smooth;
# the 16px one gets a thicker rim and bigger features so it still reads.
icon_mvg() {  # $1 = rim width, $2 = eye radius, $3 = detail (1/0)
    # detail 1: white inner ring, cheeks, tongue and eye highlights;
    # 0: flat yellow face only, for 16px where those details turn to mush.
    if [ "$3" = 1 ]; then body='#ffffff'; else body='#ffd75e'; fi
    cat <<EOF
push graphic-context
stroke '$INK'
stroke-width $1
stroke-linejoin round
fill '$body'
path '$(speech 33 29 27 23 118 142 7 60)'
pop graphic-context
EOF
    if [ "$3" = 1 ]; then
        cat <<EOF
push graphic-context
stroke none
fill '#ffd75e'
path '$(speech 33 29 23 19 118 142 12 54)'
fill '#ff8a7a'
ellipse 18,33 3.5,2.2 0,360
ellipse 48,33 3.5,2.2 0,360
pop graphic-context
EOF
    fi
    cat <<EOF
push graphic-context
stroke none
fill '$INK'
ellipse 24,24 $2,$(awk -v r="$2" 'BEGIN{print r * 1.3}') 0,360
ellipse 42,24 $2,$(awk -v r="$2" 'BEGIN{print r * 1.3}') 0,360
stroke '$INK'
stroke-width 1.2
stroke-linejoin round
path 'M 23,33 Q 33,36 43,33 Q 42,43 33,43 Q 24,43 23,33 Z'
pop graphic-context
EOF
    if [ "$3" = 1 ]; then
        cat <<EOF
push graphic-context
stroke none
fill '#ff8a7a'
path 'M 28,40.5 Q 33,37 38,40.5 Q 36,42.4 33,42.4 Q 30,42.4 28,40.5 Z'
fill '#ffffff'
circle 25,22.5 25.9,22.5
circle 43,22.5 43.9,22.5
pop graphic-context
EOF
    fi
}

icon() {  # $1 = size, $2 = output (with format prefix)
    n=$1; big=$((n * 8))
    {
        awk -v b="$big" 'BEGIN{s = b / 64; print "affine " s ",0,0," s ",0,0"}'
        if [ "$n" -le 16 ]; then icon_mvg 5 3.4 0; else icon_mvg 3.5 2.8 1; fi
    } >"$TMP/icon.mvg"
    $IM -size ${big}x${big} xc:none -draw "$(cat "$TMP/icon.mvg")" \
        -filter Lanczos -resize ${n}x${n} -strip "$2"
}

for n in 16 32 48 64 72; do icon "$n" PNG32:app-icon-$n.png; done
# Window icon: same drawing, reduced to a 256-colour palette.
icon 48 "$TMP/icon48.png"
$IM "$TMP/icon48.png" -strip PNG8:icon48.png

# --------------------------------------------------------------- parlavox.svg
# The same shapes written as SVG, for the scalable icon slot in hicolor.
cat >parlavox.svg <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">
  <path d="$(speech 33 29 27 23 118 142 7 60)" fill="#ffffff" stroke="$INK" stroke-width="3.5" stroke-linejoin="round"/>
  <path d="$(speech 33 29 23 19 118 142 12 54)" fill="#ffd75e"/>
  <ellipse cx="24" cy="24" rx="2.8" ry="3.64" fill="$INK"/>
  <ellipse cx="42" cy="24" rx="2.8" ry="3.64" fill="$INK"/>
  <circle cx="25" cy="22.5" r="0.9" fill="#ffffff"/>
  <circle cx="43" cy="22.5" r="0.9" fill="#ffffff"/>
  <ellipse cx="18" cy="33" rx="3.5" ry="2.2" fill="#ff8a7a"/>
  <ellipse cx="48" cy="33" rx="3.5" ry="2.2" fill="#ff8a7a"/>
  <path d="M 23,33 Q 33,36 43,33 Q 42,43 33,43 Q 24,43 23,33 Z" fill="$INK" stroke="$INK" stroke-width="1.2" stroke-linejoin="round"/>
  <path d="M 28,40.5 Q 33,37 38,40.5 Q 36,42.4 33,42.4 Q 30,42.4 28,40.5 Z" fill="#ff8a7a"/>
</svg>
EOF
