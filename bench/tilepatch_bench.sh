#!/usr/bin/env bash
# Whole-run benchmark of tilepatch against the floor that saving sets.
#
# tilepatch saves through a temporary file that is synced before it replaces
# the target, so the floor for a run is a durable copy of the same bytes: cp of
# the image, then sync of that one copy. The images are the five-disk sample
# game image and a 20-disk image (the game four times over); tilepatch patches
# their disks 0 to 4. The main lines use the sheet that users edit: the 4-bit
# bitmap tiledump dumps from the sample disks. The worst-case lines use a
# 24-bit 256 x 256 bitmap of random colours, where every pixel needs a
# nearest-colour search. The copy runs right after tilepatch, pair by pair, so
# that a machine whose speed drifts moves both alike. Printed per line: the
# median wall time of each, the median of the per-pair ratios, and
# tilepatch's peak resident memory against the image size.
#
# usage: bench/tilepatch_bench.sh [BUILD_DIR] [RUNS]
#   BUILD_DIR  a build tree holding tilepatch, tiledump and make_samples
#              (default: build/default)
#   RUNS       pairs of runs per line (default: 31)
# Peak memory needs GNU time as /usr/bin/time (Debian: apt-get install time).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/default}" && pwd)"
runs="${2:-31}"
tilepatch="$build/tilepatch/tilepatch"
tiledump="$build/tiledump/tiledump"
make_samples="$build/samples/make_samples"
for tool in "$tilepatch" "$tiledump" "$make_samples"; do
  [ -x "$tool" ] || { echo "not built: $tool" >&2; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
"$make_samples" "$work" >/dev/null
cat kq-game.d88 kq-game.d88 kq-game.d88 kq-game.d88 >game20.d88
"$tiledump" -D kq-game.d88 0 1 sheet4.bmp >/dev/null

# A 24-bit BMP: 54-byte header (little-endian fields), then 256 rows of 768
# bytes with no padding.
{
  printf 'BM\x36\x00\x03\x00\x00\x00\x00\x00\x36\x00\x00\x00'
  printf '\x28\x00\x00\x00\x00\x01\x00\x00\x00\x01\x00\x00\x01\x00\x18\x00'
  printf '\x00\x00\x00\x00\x00\x00\x03\x00\x13\x0b\x00\x00\x13\x0b\x00\x00'
  printf '\x00\x00\x00\x00\x00\x00\x00\x00'
  head -c 196608 /dev/urandom
} >sheet24.bmp

run_tilepatch() { "$tilepatch" -D "$1" 0 1 2 3 4 -o out.d88 --overwrite "$2" >/dev/null; }
durable_copy() { cp "$1" copy.d88 && sync copy.d88; }

# Microseconds that one call of "$@" takes.
micros() {
  local start=$EPOCHREALTIME
  "$@"
  local end=$EPOCHREALTIME
  echo $(( 10#${end//[!0-9]/} - 10#${start//[!0-9]/} ))
}

# Peak resident KiB of a tilepatch run with these arguments: the largest of
# three runs.
peak_kib() {
  [ -x /usr/bin/time ] || { echo "n/a"; return; }
  local peak=0 kib
  for _ in 1 2 3; do
    /usr/bin/time -f %M -o rss.txt "$tilepatch" "$@" >/dev/null || true
    kib=$(tail -n 1 rss.txt)
    ((kib > peak)) && peak=$kib
  done
  echo "$peak"
}
# What a run holds before it loads anything: the peak of printing the usage.
floor=$(peak_kib --help)

# Runs tilepatch with image $1 and sheet $2 and the durable copy alternately
# and prints one line.
compare() {
  local image="$1" sheet="$2" bytes a b pairs=()
  bytes=$(stat -c %s "$image")
  run_tilepatch "$image" "$sheet" && durable_copy "$image"  # warm the cache and the output
  cmp -s out.d88 "$image" && { echo "tilepatch changed nothing" >&2; exit 1; }
  [ "$(stat -c %s out.d88)" = "$bytes" ] ||
    { echo "tilepatch output has another length" >&2; exit 1; }
  for ((i = 0; i < runs; i++)); do
    a=$(micros run_tilepatch "$image" "$sheet")
    b=$(micros durable_copy "$image")
    pairs+=("$a $b")
  done
  local peak
  peak=$(peak_kib -D "$image" 0 1 2 3 4 -o out.d88 --overwrite "$sheet")
  printf '%s\n' "${pairs[@]}" | awk -v label="$image $sheet" -v bytes="$bytes" \
    -v peak="$peak" -v floor="$floor" '
    function median(v, n,   i, j, t) {
      for (i = 2; i <= n; i++)
        for (j = i; j > 1 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
      return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }
    { a[NR] = $1 / 1000; b[NR] = $2 / 1000; r[NR] = $1 / $2 }
    END {
      printf "%-24s %8d bytes  tilepatch %6.2f ms  durable copy %6.2f ms  ratio %.2f",
        label, bytes, median(a, NR), median(b, NR), median(r, NR)
      if (peak == "n/a") printf "  peak n/a (no /usr/bin/time)\n"
      else printf "  peak %6d KiB = %.2f x image (%.2f x above start-up)\n",
        peak, peak * 1024 / bytes, (peak - floor) * 1024 / bytes
    }'
}

echo "tilepatch vs durable copy (cp + sync of the copy): medians of $runs alternating pairs;" \
  "start-up peak $floor KiB"
compare kq-game.d88 sheet4.bmp
compare game20.d88 sheet4.bmp
echo "worst case: a 24-bit sheet of random colours"
compare kq-game.d88 sheet24.bmp
compare game20.d88 sheet24.bmp
