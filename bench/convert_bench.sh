#!/usr/bin/env bash
# Times the converter against the baselines on generated logs, each size in one run:
#   bench/convert_bench.sh [BUILD_DIR] [ROWS ...]     (default: build/release 100000 1000000 5000000)
# For each size: wc -l, a plain CSV split with Python's csv module, and evtweave in
# "lumivex" and "lumivex,dumb" modes; ratios and evtweave's peak memory per file byte.
# BASELINE=OTHER_BUILD_DIR adds a second evtweave (an earlier build) timed on the same files,
# in lumivex mode, with its output compared to the first one's.
source "$(dirname "$0")/bench_setup.sh" convert_bench 100000 1000000 5000000 -- "$@"
evtweave="$build/bin/evtweave"
[[ -x "$evtweave" ]] || { echo "convert_bench.sh: $evtweave not found; build the release first" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "convert_bench.sh: /usr/bin/time is missing (apt-get install time)" >&2; exit 2; }

baseline=""
if [[ -n "${BASELINE:-}" ]]; then
  baseline="$BASELINE/bin/evtweave"; [[ -x "$baseline" ]] || baseline="$BASELINE/evtweave/evtweave"
  [[ -x "$baseline" ]] || { echo "convert_bench.sh: $baseline not found" >&2; exit 2; }
fi


seconds() { # command... -> elapsed seconds on stdout
  local t0 t1
  t0=$(date +%s.%N); "$@" >/dev/null 2>&1; t1=$(date +%s.%N)
  echo "$t1 - $t0" | bc -l
}

peak_of() { # command... -> peak resident memory in bytes
  /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); printf "%.0f\n", $2 * 1024}'
}

printf '%10s %12s %8s %8s %8s %8s %9s %9s %8s' rows bytes wc_s py_s evt_s dumb_s evt/wc py/evt mem/file
[[ -n "$baseline" ]] && printf ' %8s %9s %9s %8s %s' base_s base/wc py/base mem/file same_output
printf '\n'
for rows in "${sizes[@]}"; do
  log="$dir/log_$rows.csv"
  python3 "$here/gen_procmon.py" "$rows" "$log"
  bytes=$(stat -c %s "$log")
  cat "$log" >/dev/null  # page cache warm for every contender alike
  wc_s=$(seconds wc -l "$log")
  py_s=$(seconds python3 -c 'import csv,sys
n=0
with open(sys.argv[1], encoding="utf-8-sig", newline="") as f:
    for row in csv.reader(f): n += 1' "$log")
  evt_s=$(seconds "$evtweave" "$log" "$dir/out.dot" lumivex "")
  dumb_s=$(seconds "$evtweave" "$log" "$dir/dumb.dot" lumivex,dumb "")
  peak=$(peak_of "$evtweave" "$log" "$dir/out.dot" lumivex "")
  printf '%10d %12d %8.3f %8.3f %8.3f %8.3f %9.2f %9.2f %8.2f' "$rows" "$bytes" "$wc_s" "$py_s" \
    "$evt_s" "$dumb_s" "$(echo "$evt_s / $wc_s" | bc -l)" "$(echo "$py_s / $evt_s" | bc -l)" \
    "$(echo "$peak / $bytes" | bc -l)"
  if [[ -n "$baseline" ]]; then
    base_s=$(seconds "$baseline" "$log" "$dir/base.dot" lumivex "")
    base_peak=$(peak_of "$baseline" "$log" "$dir/base.dot" lumivex "")
    same=no
    cmp -s "$dir/out.dot" "$dir/base.dot" && cmp -s "$dir/out.dot.lumivex" "$dir/base.dot.lumivex" &&
      same=yes
    printf ' %8.3f %9.2f %9.2f %8.2f %s' "$base_s" "$(echo "$base_s / $wc_s" | bc -l)" \
      "$(echo "$py_s / $base_s" | bc -l)" "$(echo "$base_peak / $bytes" | bc -l)" "$same"
  fi
  printf '\n'
  rm -f "$log"
done
