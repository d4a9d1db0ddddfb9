#!/usr/bin/env bash
# Whole runs with a PNG beside the same runs with a BMP of the same pixels:
# tilepatch patching all five disks of the sample game image from a random
# 256 x 256 picture (every pixel needs a nearest-colour search), and tiledump
# writing the sample sheet. The two runs of a pair follow each other, so that
# a machine whose speed drifts moves both alike. Printed: the median wall
# time of each, the median of the per-pair ratios PNG / BMP, and the peak
# resident memory of each. Last, the tallest PNG tilepatch takes (256 x 8192,
# RGBA at 16 bits, random), whose every row is decoded.
#
# usage: bench/png_bench.sh [BUILD_DIR] [RUNS]
#   BUILD_DIR  a build tree holding tilepatch, tiledump and make_samples
#              (default: build/default)
#   RUNS       pairs of runs (default: 31)
# Peak memory needs GNU time as /usr/bin/time; the pictures need python3.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/default}" && pwd)"
runs="${2:-31}"
tilepatch="$build/tilepatch/tilepatch"
tiledump="$build/tiledump/tiledump"
for tool in "$tilepatch" "$tiledump" "$build/samples/make_samples"; do
  [ -x "$tool" ] || { echo "not built: $tool" >&2; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
"$build/samples/make_samples" "$work" >/dev/null

# Random pixels as a 24-bit BMP and as an 8-bit RGB PNG; a tall random PNG.
python3 - <<'PY'
import os, struct, zlib
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
def png(name, height, depth, kind, raw):
    with open(name, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 256, height, depth, kind, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))
rgb = [os.urandom(768) for _ in range(256)]
bgr = b"".join(bytes(r[i + 2 - 2 * (i % 3)] for i in range(768)) for r in reversed(rgb))
with open("sheet24.bmp", "wb") as f:
    f.write(b"BM" + struct.pack("<IHHIIiiHHIIiiII", 54 + len(bgr), 0, 0, 54, 40, 256, 256, 1, 24, 0,
                                len(bgr), 0, 0, 0, 0) + bgr)
png("sheet24.png", 256, 8, 2, b"".join(b"\0" + r for r in rgb))
png("tall.png", 8192, 16, 6, b"".join(b"\0" + os.urandom(2048) for _ in range(8192)))
PY

# The command of a run (tilepatch from the picture, or tiledump to it) in cmd.
command_for() {
  if [ "$1" = tilepatch ]; then
    cmd=("$tilepatch" -D kq-game.d88 0 1 2 3 4 -o "out-$2.d88" --overwrite "$2")
  else
    cmd=("$tiledump" --overwrite "$2")
  fi
}
one_run() { command_for "$@" && "${cmd[@]}" >/dev/null; }

# Microseconds that one call of "$@" takes.
micros() {
  local start=$EPOCHREALTIME
  "$@"
  local end=$EPOCHREALTIME
  echo $(( 10#${end//[!0-9]/} - 10#${start//[!0-9]/} ))
}

peak_kib() {
  [ -x /usr/bin/time ] || { echo "n/a"; return; }
  command_for "$@"
  /usr/bin/time -f %M -o rss.txt "${cmd[@]}" >/dev/null
  tail -n 1 rss.txt
}

# compare PROGRAM BMP PNG: one line for RUNS pairs.
compare() {
  local program="$1" bmp="$2" png="$3" pairs=() a b
  one_run "$program" "$bmp" && one_run "$program" "$png"  # warm the cache
  for ((i = 0; i < runs; i++)); do
    a=$(micros one_run "$program" "$bmp")
    b=$(micros one_run "$program" "$png")
    pairs+=("$a $b")
  done
  printf '%s\n' "${pairs[@]}" | awk -v label="$program" \
    -v bmp_kib="$(peak_kib "$program" "$bmp")" -v png_kib="$(peak_kib "$program" "$png")" '
    function median(v, n,   i, j, t) {
      for (i = 2; i <= n; i++)
        for (j = i; j > 1 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
      return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }
    { a[NR] = $1 / 1000; b[NR] = $2 / 1000; r[NR] = $2 / $1 }
    END {
      printf "%-10s BMP %6.2f ms  PNG %6.2f ms  ratio %.2f  peak BMP %s KiB  PNG %s KiB\n",
        label, median(a, NR), median(b, NR), median(r, NR), bmp_kib, png_kib
    }'
}

echo "$runs pairs; sheet24.bmp $(stat -c %s sheet24.bmp) bytes, sheet24.png $(stat -c %s sheet24.png) bytes"
compare tilepatch sheet24.bmp sheet24.png
cmp -s out-sheet24.bmp.d88 out-sheet24.png.d88 ||
  { echo "the PNG and the BMP of the same pixels patch different bytes" >&2; exit 1; }
compare tiledump shapes.bmp shapes.png
one_run tilepatch tall.png
printf 'tallest PNG: %d bytes, tilepatch %.2f ms, peak %s KiB\n' "$(stat -c %s tall.png)" \
  "$(micros one_run tilepatch tall.png | awk '{ print $1 / 1000 }')" "$(peak_kib tilepatch tall.png)"
