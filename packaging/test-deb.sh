#!/usr/bin/env bash
# Packs the build as a Debian package and checks it as apt and a desktop would
# see it: its name and Depends (every library the programs link, and the data
# they load), its files unpacked into a scratch root, the manual pages, the
# metainfo, and lintian without errors.
#   test-deb.sh BUILD_DIR VERSION
set -u
build=$1 version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out") >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$work/out/parlavox_${version}_amd64.deb
[ -f "$deb" ] || fail "no $(basename "$deb"): $(ls "$work/out")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = parlavox ] || fail "Package is $(field Package)"
[ "$(field Architecture)" = amd64 ] || fail "Architecture is $(field Architecture)"
depends=$(field Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//; s/|.*//')
has() { grep -qx "$1" <<<"$depends"; }
for p in espeak-ng-data pocketsphinx-en-us; do has "$p" || fail "Depends lacks $p: $(field Depends)"; done
for p in $depends; do apt-cache show "$p" >/dev/null 2>&1 || fail "Depends names $p, which Debian lacks"; done

root=$work/root
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x"
for f in usr/bin/parlavox usr/bin/acstool usr/bin/agent-say usr/bin/agent-listen; do
    [ -x "$root/$f" ] || fail "no executable /$f"
done
for f in share/parlavox/agent/chars/Button.acs share/applications/parlavox.desktop \
    share/icons/hicolor/48x48/apps/parlavox.png share/icons/hicolor/64x64/apps/parlavox.png \
    share/icons/hicolor/scalable/apps/parlavox.svg share/metainfo/org.parlavox.parlavox.metainfo.xml \
    share/man/man1/parlavox.1.gz share/man/man1/acstool.1.gz \
    share/doc/parlavox/copyright share/doc/parlavox/changelog.gz; do
    [ -s "$root/usr/$f" ] || fail "no /usr/$f"
done
cmp -s "$root/usr/share/parlavox/agent/chars/Button.acs" "$build/share/parlavox/agent/chars/Button.acs" ||
    fail "the packed Button.acs differs from the built one"
# Nothing outside /usr, and nothing left of the build tree.
[ "$(ls "$root")" = usr ] || fail "files outside /usr: $(ls "$root")"
! grep -rlqF "$build" "$root/usr/share" || fail "build paths in: $(grep -rlF "$build" "$root/usr/share")"

# Each library a program links must come from a package it depends on.
for exe in "$root"/usr/bin/*; do
    for lib in $(objdump -p "$exe" | awk '$1 == "NEEDED" { print $2 }'); do
        path=$(ldconfig -p | awk -v l="$lib" '$1 == l && /x86-64/ { print $NF; exit }')
        [ -n "$path" ] || fail "$(basename "$exe") needs $lib, which is not installed here"
        owner=$(dpkg -S "$(readlink -f "$path")" 2>/dev/null || dpkg -S "$path" 2>/dev/null)
        owner=${owner%%:*}
        [ -n "$owner" ] || fail "no package owns $path"
        has "$owner" || fail "$(basename "$exe") needs $lib from $owner, not in Depends: $(field Depends)"
    done
done

# The unpacked tool runs and finds its libraries; the program is stripped.
"$root/usr/bin/acstool" info "$root/usr/share/parlavox/agent/chars/Button.acs" | grep -q '^name: Button$' ||
    fail "the packed acstool does not read the packed Button"
! objdump -h "$root/usr/bin/parlavox" | grep -q '\.debug_' || fail "parlavox is not stripped"

for page in parlavox acstool; do
    warnings=$(zcat "$root/usr/share/man/man1/$page.1.gz" | LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z 2>&1)
    [ -z "$warnings" ] || fail "$page.1: $warnings"
done
appstreamcli validate --no-net --explain "$root/usr/share/metainfo/org.parlavox.parlavox.metainfo.xml" \
    >"$work/appstream.log" 2>&1 || { cat "$work/appstream.log"; fail "appstreamcli validate"; }
grep -q "launchable.*parlavox.desktop" "$root/usr/share/metainfo/org.parlavox.parlavox.metainfo.xml" ||
    fail "the metainfo does not launch the desktop entry"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$root/usr/share/applications/parlavox.desktop" || fail "desktop-file-validate"
fi

# lintian: errors fail, warnings are shown.
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1
status=$?
cat "$work/lintian.log"
[ $status = 0 ] || fail "lintian found errors"
echo "ok: $(basename "$deb"), Depends: $(field Depends)"
