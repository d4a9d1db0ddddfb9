#!/usr/bin/env bash
# Demonstration: builds the tools, makes a set of sample game disks and dumps
# their shapes into bitmaps. Everything it writes goes to demo-out/.
set -euo pipefail
cd "$(dirname "$0")"

step() { printf '\n==== %s ====\n' "$*"; }

root="$(pwd)"
bin="$root/build/default"
out="$root/demo-out"

step "build (default preset)"
cmake --preset default >/dev/null && cmake --build --preset default

step "sample disks in demo-out/"
mkdir -p "$out"
"$bin/samples/make_samples" "$out"
cd "$out"

step "tiledump with the default disk names: kq-zorvan.d88 + kq-kelmorane.d88"
"$bin/tiledump/tiledump" --overwrite shapes.bmp
echo "wrote $out/shapes.bmp"

step "tiledump on the five-disk file: disks 0 (zorvan) and 1 (kelmorane)"
"$bin/tiledump/tiledump" --overwrite -D kq-game.d88 0 1 game-shapes.bmp
echo "wrote $out/game-shapes.bmp"

step "tiledump on the five-disk file: disks 4 (far haven) and 2 (vesto)"
"$bin/tiledump/tiledump" --overwrite -D kq-game.d88 4 2 farhaven-vesto.bmp
echo "wrote $out/farhaven-vesto.bmp"

step "PNG copy for viewing (needs ImageMagick's convert)"
if command -v convert >/dev/null &&
  convert shapes.bmp -scale 300% shapes.png 2>/dev/null; then
  echo "wrote $out/shapes.png"
else
  echo "skipped: no convert that can write PNG"
fi

step "summary: everything is in $out"
for f in kq-*.d88 *.bmp; do
  printf '%-22s %8d bytes\n' "$f" "$(stat -c %s "$f")"
done
if cmp -s shapes.bmp game-shapes.bmp; then
  echo "shapes.bmp and game-shapes.bmp are identical:" \
    "the single-disk files and the five-disk file hold the same shapes"
else
  echo "shapes.bmp and game-shapes.bmp differ" >&2
  exit 1
fi
