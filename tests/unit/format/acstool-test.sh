#!/bin/sh
# Runs acstool and checks its exit status and output (stdout and stderr).
# usage: acstool-test.sh ACSTOOL STATUS PATTERN|- ARGS...   (@TMP@ in ARGS = a scratch folder)
# Exits 77 (skipped) only when the shared characters folder is absent as a whole
# (a bare clone); a file missing from a present folder fails.
tool=$1 status=$2 pattern=$3
shift 3
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
set --  $(for a in "$@"; do printf '%s\n' "$a" | sed "s|@TMP@|$tmp|g"; done)
for a in "$@"; do
    case $a in
    */shared/characters/*)
        [ -d "${a%/shared/characters/*}/shared/characters" ] ||
            { echo "skipped: no shared characters folder (bare clone)"; exit 77; }
        [ -e "$a" ] || { echo "FAIL: $a is missing from the shared characters"; exit 1; } ;;
    esac
done
out=$("$tool" "$@" 2>&1)
rc=$?
printf '%s\n' "$out" | tail -n 20
if [ "$rc" -ne "$status" ]; then
    echo "FAIL: exit status $rc, expected $status"
    exit 1
fi
if [ "$pattern" != - ] && ! printf '%s\n' "$out" | grep -Eq -- "$pattern"; then
    echo "FAIL: output does not match: $pattern"
    exit 1
fi
[ "$status" -eq 0 ] || exit 0
case "$1" in
export-frame) [ -s "$5" ] || { echo "FAIL: $5 not written"; exit 1; } ;;
export-images) [ -s "$3/0000.png" ] || { echo "FAIL: $3/0000.png not written"; exit 1; } ;;
build) "$tool" check "$3" || { echo "FAIL: built file does not check"; exit 1; } ;;
esac
exit 0
