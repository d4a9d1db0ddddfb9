#!/bin/sh
# Fails when two of the given static libraries define the same external
# symbol. A program that links both would silently get one of the two
# definitions, so every library keeps its internals in a namespace of its own
# or gives them internal linkage.
#
# usage: unique_symbols.sh LIBRARY.a...
set -eu
list=$(mktemp)
trap 'rm -f "$list"' EXIT
for library in "$@"; do
  # Strong definitions only: weak ones (inline functions, templates) are
  # meant to be merged by the linker.
  nm -g --defined-only "$library" | awk '$2 ~ /^[TDBR]$/ { print $3 }' |
    sort -u | sed "s|\$| $(basename "$library")|"
done >"$list"
clashes=$(awk '{ count[$1]++; where[$1] = where[$1] " " $2 }
  END { for (s in count) if (count[s] > 1) print s ":" where[s] }' "$list")
if [ -n "$clashes" ]; then
  echo "symbols defined by more than one library:" >&2
  echo "$clashes" | c++filt >&2
  exit 1
fi
