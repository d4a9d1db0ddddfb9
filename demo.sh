#!/usr/bin/env bash
# Demonstration on built-in sample data: builds the tools, makes a set of
# sample game disks, dumps their shapes into a PNG (and a BMP), edits the
# picture the way a user would in a paint program, patches it back onto every
# sample disk and dumps again to show that the change arrived and nothing else
# moved. Everything it writes goes to demo-out/.
set -euo pipefail
cd "$(dirname "$0")"

step() { printf '\n==== %s ====\n' "$*"; }
run() { printf '$ %s\n' "$*"; "$@"; }

root="$(pwd)"
bin="$root/build/default"
out="$root/demo-out"
tiledump="$bin/tiledump/tiledump"
tilepatch="$bin/tilepatch/tilepatch"

step "build (default preset)"
cmake --preset default >/dev/null && cmake --build --preset default

step "1. sample disks in demo-out/"
rm -rf "$out"
mkdir -p "$out"
"$bin/samples/make_samples" "$out"
cd "$out"

step "2. dump the shapes"
run "$tiledump" shapes.png
run "$tiledump" shapes.bmp
run "$tiledump" -D kq-game.d88 0 1 game-shapes.bmp
cmp shapes.bmp game-shapes.bmp
echo "shapes.bmp and game-shapes.bmp are identical: the single-disk files" \
  "and the five-disk file hold the same shapes"
run "$tilepatch" -t z -o from-png.d88 shapes.png
run "$tilepatch" -t z -o from-bmp.d88 shapes.bmp
cmp from-png.d88 from-bmp.d88
echo "shapes.png and shapes.bmp patch the same disk bytes"

step "3. edit: mirror shapes 0-15, recolour shapes 128-143, save as PNG and BMP"
run "$bin/samples/edit_shapes" shapes.png edited.png edited.bmp expected.bmp

step "4. patch the edited PNG onto every sample disk, the BMP onto the game file"
for type in z k v dh fh; do
  run "$tilepatch" -t "$type" edited.png
done
run "$tilepatch" -D kq-game.d88 0 1 2 3 4 edited.bmp

step "5. dump the patched disks again"
run "$tiledump" -d1 kq-zorvan.NEW.d88 -d2 kq-kelmorane.NEW.d88 after.bmp
run "$tiledump" -d1 kq-farhaven.NEW.d88 -d2 kq-duskhollow.NEW.d88 \
  farhaven-duskhollow-after.bmp
run "$tiledump" -D kq-game.NEW.d88 4 2 game-after.bmp

step "6. check"
for f in after.bmp farhaven-duskhollow-after.bmp game-after.bmp; do
  cmp "$f" expected.bmp
  echo "$f equals expected.bmp: the edit arrived on the disks"
done
for f in kq-*.NEW.d88; do
  original="${f%.NEW.d88}.d88"
  changed="$(cmp -l "$original" "$f" | wc -l || true)"
  printf '%-24s same length as %-18s %5d bytes differ\n' \
    "$f" "$original" "$changed"
  [ "$(stat -c %s "$f")" -eq "$(stat -c %s "$original")" ]
done

step "7. pictures"
# The first convert on the PATH that says it is ImageMagick's; another
# program of that name is passed over.
imagemagick=""
IFS=: read -ra path_dirs <<<"$PATH"
for dir in "${path_dirs[@]}"; do
  candidate="${dir:-.}/convert"
  if [ -x "$candidate" ] && [ -f "$candidate" ] &&
    timeout 30 "$candidate" -version 2>/dev/null | grep ImageMagick >/dev/null; then
    imagemagick="$candidate"
    break
  fi
done
if [ -n "$imagemagick" ] &&
  "$imagemagick" shapes.bmp after.bmp +append -scale 200% before-after.png \
    2>/dev/null; then
  echo "wrote $out/before-after.png (left: as dumped, right: after the patch)"
else
  echo "skipped: no ImageMagick convert on the PATH that can write PNG"
fi

step "summary: everything is in $out"
for f in kq-*.d88 *.png *.bmp; do
  printf '  %-32s %9d bytes\n' "$f" "$(stat -c %s "$f")"
done
