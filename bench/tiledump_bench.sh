#!/usr/bin/env bash
# Whole-run benchmark of tiledump on the sample disks: mean wall time and
# peak memory over repeated runs, beside cp of the same input bytes measured
# in the same session as a floor for what reading two files costs.
#
#   bench/tiledump_bench.sh [BUILD_DIR] [RUNS]
#
# BUILD_DIR defaults to build/bench if it has the programs, else build/default.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-}"
if [ -z "$build" ]; then
  build=build/bench
  [ -x "$build/tiledump/tiledump" ] || build=build/default
fi
runs="${2:-200}"
tiledump="$(realpath "$build/tiledump/tiledump")"
make_samples="$(realpath "$build/samples/make_samples")"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$make_samples" "$work" >/dev/null
cd "$work"
inputs=(kq-zorvan.d88 kq-kelmorane.d88)
input_bytes=$(( $(stat -c %s "${inputs[@]}" | paste -sd+) ))

# Mean milliseconds per run of "$@" over $runs runs.
mean_ms() {
  local start end
  start=$EPOCHREALTIME
  for ((i = 0; i < runs; i++)); do "$@" >/dev/null; done
  end=$EPOCHREALTIME
  awk -v s="$start" -v e="$end" -v n="$runs" \
    'BEGIN { printf "%.3f", (e - s) * 1000 / n }'
}

# Peak resident memory in KiB of one run of "$@".
peak_kib() {
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f "%M" -o "$work/.rss" "$@" >/dev/null
    cat "$work/.rss"
  else
    echo "n/a"
  fi
}

copy_inputs() { cp "${inputs[@]}" copies/; }
mkdir copies

"$tiledump" --overwrite shapes.bmp >/dev/null  # warm the cache
dump_ms=$(mean_ms "$tiledump" --overwrite shapes.bmp)
dump_kib=$(peak_kib "$tiledump" --overwrite shapes.bmp)
cp_ms=$(mean_ms copy_inputs)
cp_kib=$(peak_kib cp "${inputs[@]}" copies/)

echo "tiledump benchmark: $runs runs, input ${input_bytes} bytes" \
  "(${inputs[*]}), output $(stat -c %s shapes.bmp) bytes"
printf '%-34s %10s ms/run  peak %6s KiB\n' \
  "tiledump --overwrite shapes.bmp" "$dump_ms" "$dump_kib" \
  "cp of the same input bytes" "$cp_ms" "$cp_kib"
