#!/usr/bin/env bash
# The graph view's redraws against Graphviz drawing the same positions, in one run:
#   bench/render_bench.sh [BUILD_DIR] [ROWS ...]     (default: build/release 1000000 5000000)
# Each generated log goes through the converter and dot; the graph is timed as it is and, for
# the largest, three copies side by side (about 10k edges). The 1M-row log also goes through
# the converter's dumb mode (every process drawn: about 4,500 nodes and 12,000 edges, the
# largest graph an analyst meets). Graphviz's own drawing of the same positions:
# `dot -Tdot` once, then `neato -n2 -Tpng` timed. first is the new graph's first picture (fit,
# smart zoom and every label measured), first/f its ratio to a later full redraw at the fit;
# ink says whether the labels measured for it equal each label measured alone.
source "$(dirname "$0")/bench_setup.sh" render_bench 1000000 5000000 -- "$@"
bench="$build/bench/render_bench"
evtweave="$build/bin/evtweave"
[[ -x "$bench" && -x "$evtweave" ]] || { echo "render_bench.sh: build the release first" >&2; exit 2; }


seconds() { # command... -> elapsed milliseconds
  local t0 t1
  t0=$(date +%s.%N); "$@" >/dev/null 2>&1; t1=$(date +%s.%N)
  echo "1000 * ($t1 - $t0)" | bc -l
}

printf '%-10s %6s %6s %7s %8s %7s %8s %8s %8s %7s %7s %7s %7s %7s %7s %6s %6s %6s %6s %6s %6s %4s %4s\n' \
  log edges frames gv_ms first first/f full_fit full_max full_btw fit/gv hover highl step10 stepN pan wheel hov/f stN/10 pan/f move/f mem_mb same ink
row() { # log-name bench-output-line graphviz-ms
  declare -A v=()
  local name="$1"
  shift
  for pair in $1; do v[${pair%%=*}]=${pair#*=}; done
  local gv="$2" ratio="-"
  [[ "$gv" != "-" ]] && ratio=$(printf '%.2f' "$(echo "${v[full_fit_ms]} / $gv" | bc -l)")
  printf '%-10s %6s %6s %7s %8.1f %7.2f %8.1f %8.1f %8.1f %7s %7.2f %7.2f %7.2f %7.2f %7.1f %7.1f %6.3f %6.2f %6.2f %6s %6.0f %4s %4s\n' \
    "$name" "${v[edges]}" "${v[frames]}" "$gv" "${v[first_ms]}" \
    "$(echo "${v[first_ms]} / ${v[full_fit_ms]}" | bc -l)" "${v[full_fit_ms]}" "${v[full_max_ms]}" \
    "${v[full_between_ms]}" "$ratio" \
    "${v[hover_ms]}" "${v[highlight_ms]}" "${v[step10_ms]}" "${v[step_last_ms]}" \
    "${v[pan_ms]}" "${v[wheel_ms]}" \
    "$(echo "${v[hover_ms]} / ${v[full_fit_ms]}" | bc -l)" \
    "$(echo "${v[step_last_ms]} / (${v[step10_ms]} + 0.001)" | bc -l)" \
    "$(echo "${v[pan_ms]} / ${v[full_fit_ms]}" | bc -l)" "${v[move_per_full]:--}" \
    "${v[peak_mb]}" "${v[same_pixels]}" "${v[same_ink]}"
}

last=${sizes[-1]}
dumb_rows=1000000
for rows in "${sizes[@]}"; do
  python3 "$here/gen_procmon.py" "$rows" "$dir/log.csv" >/dev/null
  modes=(lumivex)
  [[ "$rows" == "$dumb_rows" ]] && modes+=("lumivex dumb")
  for mode in "${modes[@]}"; do
    name="$((rows / 1000))k"
    [[ "$mode" == *dumb* ]] && name+=" dumb"
    "$evtweave" "$dir/log.csv" "$dir/graph.dot" "$mode" "" >/dev/null 2>&1
    dot -Tplain "$dir/graph.dot" -o "$dir/graph.txt"
    dot -Tdot "$dir/graph.dot" -o "$dir/positioned.dot"
    gv=$(seconds neato -n2 -Tpng "$dir/positioned.dot" -o "$dir/graph.png")
    row "$name" "$("$bench" "$dir/graph.txt" "$dir/graph.dot")" "$(printf '%.0f' "$gv")"
    if [[ "$rows" == "$last" && "$mode" == lumivex ]]; then
      row "$name x3" "$("$bench" "$dir/graph.txt" "$dir/graph.dot" 3)" "-"
    fi
  done
  rm -f "$dir/log.csv"
done
