#!/usr/bin/env bash
# Whole-run benchmark of tilepatch: patches all five disks of the sample game
# image from a 24-bit 256 x 256 bitmap of random colours (every pixel needs a
# nearest-colour search) and reports wall time and peak memory over repeated
# runs, beside a plain cp of the same image bytes as the floor that file I/O
# and process start-up set.
#
# usage: bench/tilepatch_bench.sh [BUILD_DIR] [RUNS]
#   BUILD_DIR  a build tree holding tilepatch and make_samples
#              (default: build/default)
#   RUNS       runs of each command (default: 20)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/default}" && pwd)"
runs="${2:-20}"
tilepatch="$build/tilepatch/tilepatch"
make_samples="$build/samples/make_samples"
for tool in "$tilepatch" "$make_samples"; do
  [ -x "$tool" ] || { echo "not built: $tool" >&2; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
"$make_samples" "$work" >/dev/null

# A 24-bit BMP: 54-byte header (little-endian fields), then 256 rows of 768
# bytes with no padding.
{
  printf 'BM\x36\x00\x03\x00\x00\x00\x00\x00\x36\x00\x00\x00'
  printf '\x28\x00\x00\x00\x00\x01\x00\x00\x00\x01\x00\x00\x01\x00\x18\x00'
  printf '\x00\x00\x00\x00\x00\x00\x03\x00\x13\x0b\x00\x00\x13\x0b\x00\x00'
  printf '\x00\x00\x00\x00\x00\x00\x00\x00'
  head -c 196608 /dev/urandom
} >sheet24.bmp

# Runs a command once; prints "wall_ms peak_kb".
if [ -x /usr/bin/time ]; then
  measure() {
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f "%M" -o mem.txt "$@" >/dev/null
    end=$(date +%s%N)
    echo "$(( (end - start) / 1000 )) $(tail -n 1 mem.txt)"
  }
else
  # Without GNU time: the children's peak resident size from getrusage.
  measure() {
    python3 - "$@" <<'PY'
import resource, subprocess, sys, time
start = time.perf_counter()
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, check=True)
wall = (time.perf_counter() - start) * 1e6
print(int(wall), resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
PY
  }
fi

# Runs a command RUNS times; prints min/median/max wall time and peak memory.
bench() {
  local label="$1"
  shift
  local times=() peak=0 line t m
  for ((i = 0; i < runs; i++)); do
    line="$(measure "$@")"
    t="${line% *}"
    m="${line#* }"
    times+=("$t")
    ((m > peak)) && peak=$m
  done
  printf '%s\n' "${times[@]}" | sort -n | awk -v label="$label" -v peak="$peak" '
    { t[NR] = $1 / 1000 }
    END {
      printf "%-10s runs %3d  wall ms min %7.2f  median %7.2f  max %7.2f  peak RSS %6d KiB\n",
        label, NR, t[1], t[int(NR / 2) + 1], t[NR], peak
    }'
}

echo "image: kq-game.d88, $(stat -c %s kq-game.d88) bytes; bitmap: sheet24.bmp, $(stat -c %s sheet24.bmp) bytes"
bench tilepatch "$tilepatch" -D kq-game.d88 0 1 2 3 4 -o out.d88 --overwrite sheet24.bmp
cmp -s <(stat -c %s out.d88) <(stat -c %s kq-game.d88) ||
  { echo "tilepatch output has a different length" >&2; exit 1; }
bench cp cp kq-game.d88 copy.d88
