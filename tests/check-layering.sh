#!/usr/bin/env bash
# The engine's folders depend one way only: a folder may include itself and
# the folders to its left, never one to its right.
#
#   format  <-  engine  <-  speech  <-  listen  <-  view
#
# The engine defines the synthesizer it speaks through and speech implements
# it; listening uses speech's espeak-ng. Levels: format 0, engine 1, speech 2,
# listen 3, view 4. Includes written relative to the file ("Character.h") stay
# in their own folder; includes through the project root
# ("agent/format/Character.h") are checked here.
#   check-layering.sh SOURCE_DIR
set -u
cd "$1/agent" || exit 2
level() {
    case $1 in
    format) echo 0 ;; engine) echo 1 ;; speech) echo 2 ;; listen) echo 3 ;; view) echo 4 ;; *) echo "" ;;
    esac
}
bad=0
for dir in format engine speech listen view; do
    own=$(level "$dir")
    while IFS=: read -r file line target; do
        [ "$target" = "$dir" ] && continue
        theirs=$(level "$target")
        if [ -z "$theirs" ] || [ "$theirs" -ge "$own" ]; then
            echo "agent/$file:$line: $dir includes agent/$target, which is not below it"
            bad=1
        fi
    done < <(grep -rnoE '^#include "agent/[a-z]+/' "$dir" | sed -E 's|^([^:]+):([0-9]+):#include "agent/([a-z]+)/|\1:\2:\3|')
    # Nothing in the engine reaches into the program.
    if grep -rnE '^#include "(platform|windows|startup|behaviours)/' "$dir"; then
        bad=1
    fi
done
[ "$bad" = 0 ] && echo "layering: every include under agent/ points down"
exit "$bad"
