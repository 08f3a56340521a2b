#!/bin/sh
# Checks that the engine's folders form a stack: a file includes only from
# its own folder and from the stages below it, never from a later stage or
# a sibling. Prints each include that breaks this and exits 1 if any does.
#
#   base < platform < platform/posix, platform/images < source < scan
#        < link < link/classic, link/store_aware < output < assembly
#        < the session (engine/ itself)
# The public header (engine/include/) may be included from anywhere.
set -eu
cd "$(dirname "$0")/../engine"

rank() {
  case "$1" in
    include) echo -1 ;;
    base) echo 0 ;;
    platform) echo 1 ;;
    platform/posix|platform/images|platform/win32) echo 2 ;;
    source) echo 3 ;;
    scan) echo 4 ;;
    link) echo 5 ;;
    link/classic|link/store_aware) echo 6 ;;
    output) echo 7 ;;
    assembly) echo 8 ;;
    .) echo 9 ;;
    *) echo unknown ;;
  esac
}

status=0
for file in $(find . -name '*.cpp' -o -name '*.h' | sed 's|^\./||' | sort); do
  folder=$(dirname "$file")
  own=$(rank "$folder")
  if [ "$own" = unknown ]; then
    echo "$file: folder $folder has no place in the stack" >&2
    status=1
    continue
  fi
  for included in $(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file"); do
    if [ "$included" = varrow.h ]; then continue; fi
    if [ ! -f "$included" ]; then
      # Not an engine file by its path from the engine's root.
      if [ -f "$folder/$included" ]; then
        echo "$file: includes \"$included\" without its folder" >&2
        status=1
      fi
      continue
    fi
    target=$(dirname "$included")
    [ "$target" = "$folder" ] && continue
    theirs=$(rank "$target")
    if [ "$theirs" = unknown ] || [ "$theirs" -ge "$own" ]; then
      echo "$file: includes $included from a later stage or a sibling" >&2
      status=1
    fi
  done
done
[ $status -eq 0 ] && echo "Engine layers: every include goes down the stack."
exit $status
