#!/usr/bin/env bash
# Times the converter against the baselines on generated logs, each size in one run:
#   bench/convert_bench.sh [BUILD_DIR] [ROWS ...]     (default: build/release 100000 1000000 5000000)
# For each size: wc -l, a plain CSV split with Python's csv module, and evtweave in
# "lumivex" and "lumivex,dumb" modes; ratios and evtweave's peak memory per file byte.
set -euo pipefail
export LC_ALL=C
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build/release}"
shift || true
sizes=("$@")
((${#sizes[@]})) || sizes=(100000 1000000 5000000)
evtweave="$build/evtweave/evtweave"
[[ -x "$evtweave" ]] || { echo "convert_bench.sh: $evtweave not found; build the release first" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "convert_bench.sh: /usr/bin/time is missing (apt-get install time)" >&2; exit 2; }

dir="$(mktemp -d "${TMPDIR:-/tmp}/convert_bench.XXXXXX")"
trap 'rm -rf "$dir"' EXIT

seconds() { # command... -> elapsed seconds on stdout
  local t0 t1
  t0=$(date +%s.%N); "$@" >/dev/null 2>&1; t1=$(date +%s.%N)
  echo "$t1 - $t0" | bc -l
}

printf '%10s %12s %8s %8s %8s %8s %9s %9s %8s\n' rows bytes wc_s py_s evt_s dumb_s evt/wc py/evt mem/file
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
  peak_kb=$(/usr/bin/time -v "$evtweave" "$log" "$dir/out.dot" lumivex "" 2>&1 >/dev/null |
            awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}')
  printf '%10d %12d %8.3f %8.3f %8.3f %8.3f %9.2f %9.2f %8.2f\n' "$rows" "$bytes" "$wc_s" "$py_s" \
    "$evt_s" "$dumb_s" "$(echo "$evt_s / $wc_s" | bc -l)" "$(echo "$py_s / $evt_s" | bc -l)" \
    "$(echo "$peak_kb * 1024 / $bytes" | bc -l)"
  rm -f "$log"
done
