#!/usr/bin/env bash
# One whole Refresh of the workbench, offscreen, on generated logs of each size, in one run:
#   bench/refresh_bench.sh [BUILD_DIR] [ROWS ...]   (default: build/release 100000 1000000 5000000)
# Each size runs twice: on the log as generated (it holds the launcher rows), and with those
# rows cut out and the launcher chosen instead, as an analyst does with a log taken without
# them, so the workbench also writes its launcher copy (cp_s: a plain cp of the same log).
# Per run: the converter's and dot's times, the workbench's own phases (inputs: header check
# and launcher copy; filtering; reading: plain layout, attributes and frames, with the plain
# layout alone in brackets), their share of converter + dot, and the graph's size.
source "$(dirname "$0")/bench_setup.sh" refresh_bench 100000 1000000 5000000 -- "$@"
bench="$build/bin/refresh_bench"
[[ -x "$bench" ]] || { echo "refresh_bench.sh: $bench not found; build the release first" >&2; exit 2; }


report() { # rows launcher bench-output-line [cp_s]
  declare -A v=()
  for pair in $3; do v[${pair%%=*}]=${pair#*=}; done
  [[ "${v[status]:-}" == OK ]] || { echo "refresh_bench.sh: $1 rows: ${v[status]:-no result}" >&2; exit 1; }
  own=$(echo "${v[inputs]} + ${v[filtering]} + ${v[reading]}" | bc -l)
  share=$(echo "100 * $own / (${v[converter]} + ${v[dot]})" | bc -l)
  printf '%9s %4s %6s %6s %7s %7.3f %6.3f %7.3f %6s %6.3f %6.3f (%5.3f) %6.3f %5.1f%% %6.2f\n' \
    "$1" "$2" "${v[nodes]}" "${v[edges]}" "${v[frames]}" "${v[converter]}" "${v[dot]}" \
    "${v[inputs]}" "${4:--}" "${v[filtering]}" "${v[reading]}" "${v[plain]}" "$own" "$share" "${v[total]}"
}

printf '%9s %4s %6s %6s %7s %7s %6s %7s %6s %6s %14s %6s %6s %6s\n' \
  rows lnch nodes edges frames conv_s dot_s input_s cp_s filt_s "read_s (plain)" own_s share total
for rows in "${sizes[@]}"; do
  full="$dir/full.csv"
  log="$dir/log.csv"
  python3 "$here/gen_procmon.py" "$rows" "$full" >/dev/null
  report "$rows" no "$("$bench" "$full" 2>/dev/null)"
  # Header and Explorer's row stay; the three launcher rows go.
  position=$(head -n 2 "$full" | wc -c)
  { head -n 2 "$full"; tail -n +6 "$full"; } >"$log"
  rm -f "$full"
  line=$("$bench" "$log" "$position|990004|sample.exe" 2>/dev/null)
  # What a plain copy of the same log costs, beside the launcher copy.
  t0=$(date +%s.%N); cp "$log" "$dir/copy.csv"; t1=$(date +%s.%N)
  rm -f "$log" "$dir/copy.csv"
  report "$rows" yes "$line" "$(printf '%.3f' "$(echo "$t1 - $t0" | bc -l)")"
done
