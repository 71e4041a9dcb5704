#!/usr/bin/env bash
# Times line-by-line reading of a 1 GB generated log against `wc -l` on the same file.
#   bench/readlines.sh [BUILD_DIR]      (default: build/release)
# READLINES_BYTES sets the size (default 1 GB), READLINES_RUNS the rounds (default 5).
# The file lives in a temporary folder that is removed at the end.
set -euo pipefail
export LC_ALL=C  # decimal points in the times
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build/release}"
bench="$build/bench/readlines_bench"
bytes="${READLINES_BYTES:-1000000000}"
runs="${READLINES_RUNS:-5}"

if [[ ! -x "$bench" ]]; then
  echo "readlines.sh: $bench not found; build first (cmake --build --preset release)" >&2
  exit 2
fi

dir="$(mktemp -d "${TMPDIR:-/tmp}/readlines.XXXXXX")"
trap 'rm -rf "$dir"' EXIT
file="$dir/log.csv"

# Process-monitor-like CSV rows as the monitor exports them: byte-order mark, quoted fields,
# CR LF, UTF-8 with some non-ASCII paths.
python3 - "$file" "$bytes" <<'PY'
import random, sys
path, target = sys.argv[1], int(sys.argv[2])
rnd = random.Random(1)
procs = ["svchost.exe", "explorer.exe", "sample.exe", "Dienst.exe", "MsMpEng.exe", "chrome.exe"]
ops = ["RegOpenKey", "RegQueryValue", "CreateFile", "ReadFile", "WriteFile", "QueryDirectory",
       "TCP Send", "Process Create", "Thread Create", "CloseFile", "RegSetInfoKey"]
results = ["SUCCESS", "NAME NOT FOUND", "BUFFER OVERFLOW", "ACCESS DENIED", "END OF FILE"]
# Real exports hold non-ASCII in a few percent of their rows; these hold some in about one
# row in ten (names in Latin, Cyrillic and Japanese script, and an emoji).
words = ["Windows", "System32", "Users", "Program Files", "Temp", "drivers", "config",
         "AppData", "Local", "Microsoft", "Software", "CurrentVersion", "Run", "services",
         "Tcpip", "Parameters", "Roaming", "Prefetch", "WinSxS", "Explorer", "Policies"]
foreign = ["Jürgen", "Документы", "файл", "データ", "Öffentlich", "résumé", "😀notes"]
def word():
    return rnd.choice(foreign) if rnd.random() < 0.015 else rnd.choice(words)
def path_of():
    if rnd.random() < 0.4:
        root = rnd.choice(["HKLM", "HKCU", "HKCR"])
    else:
        root = "C:"
    parts = [word() for _ in range(rnd.randint(2, 7))]
    name = "\\".join([root] + parts)
    if root == "C:" and rnd.random() < 0.7:
        name += rnd.choice([".dll", ".exe", ".txt", ".dat", ".log"])
    return name
def row():
    h = rnd.randint(1, 12)
    t = f"{h}:{rnd.randint(0,59):02}:{rnd.randint(0,59):02}.{rnd.randint(0,9999999):07} {rnd.choice(['AM','PM'])}"
    detail = rnd.choice([
        "", "Desired Access: Generic Read, Disposition: Open, Options: Synchronous IO Non-Alert",
        f"Offset: {rnd.randint(0, 10**7):,}, Length: {rnd.randint(1, 65536):,}",
        f"Type: REG_SZ, Length: {rnd.randint(2, 300)}, Data: {path_of()}",
        "Query: HandleTags, HandleTags: 0x0", f"PID: {rnd.randint(4, 20000)}, Command line: \"{path_of()}\" /s"])
    fields = [t, rnd.choice(procs), str(rnd.randint(4, 20000)), rnd.choice(ops), path_of(),
              rnd.choice(results), detail, str(rnd.randint(4, 40000))]
    return ",".join('"' + f + '"' for f in fields) + "\r\n"
chunks = []
for _ in range(4):
    text = "".join(row() for _ in range(40000)).encode("utf-8")
    chunks.append(text)
header = b"\xEF\xBB\xBF" + ('"Time of Day","Process Name","PID","Operation","Path","Result","Detail","TID"\r\n').encode()
written = 0
with open(path, "wb") as f:
    f.write(header)
    written += len(header)
    i = 0
    while written < target:
        c = chunks[i % len(chunks)]
        if written + len(c) > target:
            c = c[: c.rfind(b"\r\n", 0, target - written) + 2]
            if len(c) <= 2:
                break
        f.write(c)
        written += len(c)
        i += 1
PY

size=$(stat -c %s "$file")
cat "$file" >/dev/null  # both readers start from the page cache

# Runs a command, keeping its output in $out and its wall time in seconds in $elapsed.
timed() {
  local start=$EPOCHREALTIME
  out="$("$@")"
  elapsed=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.6f", b - a }')
}
faster() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

# Alternate the two so that both meet the same load; keep the best of each.
wc_time="" bench_time=""
for ((r = 0; r < runs; r++)); do
  timed wc -l "$file"
  if [[ -z "$wc_time" ]] || faster "$elapsed" "$wc_time"; then wc_time=$elapsed wc_out=$out; fi
  timed "$bench" "$file"
  if [[ -z "$bench_time" ]] || faster "$elapsed" "$bench_time"; then bench_time=$elapsed bench_out=$out; fi
done
wc_lines=${wc_out%% *}
bench_lines=$(sed -n 's/^lines \([0-9]*\).*/\1/p' <<<"$bench_out")

printf 'file            %s bytes, %s lines (best of %s runs each)\n' "$size" "$wc_lines" "$runs"
printf 'wc -l           %.3f s\n' "$wc_time"
printf 'readlines_bench %.3f s   (%s)\n' "$bench_time" "$bench_out"
awk -v b="$bench_time" -v w="$wc_time" 'BEGIN { printf "ratio bench/wc  %.2f\n", b / w }'
if [[ "$bench_lines" != "$wc_lines" ]]; then
  echo "line counts differ: wc -l $wc_lines, readlines_bench $bench_lines" >&2
  exit 1
fi
