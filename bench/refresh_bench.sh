#!/usr/bin/env bash
# One whole Refresh of the workbench, offscreen, on generated logs of each size, in one run:
#   bench/refresh_bench.sh [BUILD_DIR] [ROWS ...]   (default: build/release 100000 1000000 5000000)
# The launcher rows are cut out of each log and the launcher is chosen instead, as an analyst
# does with a log taken without them, so the workbench also writes its launcher copy.
# Per size: the converter's and dot's times, the workbench's own phases (inputs: header check
# and launcher copy; filtering; reading: plain layout, attributes and frames, with the plain
# layout alone in brackets), their share of converter + dot, and the graph's size.
set -euo pipefail
export LC_ALL=C
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build/release}"
shift || true
sizes=("$@")
((${#sizes[@]})) || sizes=(100000 1000000 5000000)
bench="$build/bin/refresh_bench"
[[ -x "$bench" ]] || { echo "refresh_bench.sh: $bench not found; build the release first" >&2; exit 2; }

dir="$(mktemp -d "${TMPDIR:-/tmp}/refresh_bench.XXXXXX")"
trap 'rm -rf "$dir"' EXIT

printf '%9s %7s %7s %8s %8s %7s %7s %7s %15s %7s %6s %6s\n' \
  rows nodes edges frames conv_s dot_s input_s filt_s "read_s (plain)" own_s share total
for rows in "${sizes[@]}"; do
  full="$dir/full.csv"
  log="$dir/log.csv"
  python3 "$here/gen_procmon.py" "$rows" "$full" >/dev/null
  # Header and Explorer's row stay; the three launcher rows go.
  position=$(head -n 2 "$full" | wc -c)
  { head -n 2 "$full"; tail -n +6 "$full"; } >"$log"
  rm -f "$full"
  line=$("$bench" "$log" "$position|990004|sample.exe" 2>/dev/null)
  rm -f "$log"
  declare -A v=()
  for pair in $line; do v[${pair%%=*}]=${pair#*=}; done
  [[ "${v[status]}" == OK ]] || { echo "refresh_bench.sh: $rows rows: ${v[status]:-no result}" >&2; exit 1; }
  own=$(echo "${v[inputs]} + ${v[filtering]} + ${v[reading]}" | bc -l)
  share=$(echo "100 * $own / (${v[converter]} + ${v[dot]})" | bc -l)
  printf '%9s %7s %7s %8s %8.3f %7.3f %7.3f %7.3f %7.3f (%5.3f) %7.3f %5.1f%% %6.2f\n' \
    "$rows" "${v[nodes]}" "${v[edges]}" "${v[frames]}" "${v[converter]}" "${v[dot]}" \
    "${v[inputs]}" "${v[filtering]}" "${v[reading]}" "${v[plain]}" "$own" "$share" "${v[total]}"
done
