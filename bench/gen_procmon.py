#!/usr/bin/env python3
"""Writes a large, realistic Process Monitor CSV export for benchmarks.

    gen_procmon.py ROWS OUT.csv [DATA_DIR]

Rows are drawn in contiguous runs from the real 27-column exports in DATA_DIR (default:
../shared/data/procmon beside the project), so operations keep their real proportions and
neighbourhoods (a thread's creation before its work, a file's open before its reads). Each
run gets its process and thread ids re-keyed and every row a new, rising time. A sample
process, started by Explorer and marked by the workbench's three launcher rows, takes over
one process of every run (one with network traffic where the run has one), so the converter
has a large tree to follow."""
import csv
import glob
import gzip
import os
import random
import re
import sys

RUN = 2000             # rows per drawn run
ID_SPACES = 64         # re-keyed id ranges; bounds how many distinct processes appear
SAMPLE_PID = "990004"
SAMPLE_TID = "990008"
SAMPLE = "sample.exe"
START_SECONDS = 9 * 3600  # 9:00:00 AM
SPAN_SECONDS = 3 * 3600   # the whole log covers three hours


def load_logs(data_dir):
    header, rows = None, []
    for path in sorted(glob.glob(os.path.join(data_dir, "*.csv.gz"))):
        with gzip.open(path, "rt", encoding="utf-8-sig", newline="") as f:
            reader = csv.reader(f)
            names = next(reader)
            if len(names) != 27:
                continue
            if header is None:
                header = names
            order = [names.index(n) for n in header]
            rows.append([[row[i] for i in order] for row in reader if len(row) == 27])
    return header, rows


def clock(seconds):
    whole = int(seconds)
    frac = int(round((seconds - whole) * 10_000_000))
    if frac >= 10_000_000:
        whole, frac = whole + 1, frac - 10_000_000
    h, m, s = whole // 3600 % 24, whole // 60 % 60, whole % 60
    suffix = "AM" if h < 12 else "PM"
    h12 = h % 12 or 12
    return f"{h12}:{m:02d}:{s:02d}.{frac:07d} {suffix}"


def quote(cells):
    return ",".join('"' + c.replace('"', '""') + '"' for c in cells) + "\r\n"


def main():
    rows_wanted = int(sys.argv[1])
    out_path = sys.argv[2]
    here = os.path.dirname(os.path.abspath(__file__))
    data_dir = sys.argv[3] if len(sys.argv) > 3 else os.path.join(here, "..", "..", "shared", "data", "procmon")
    header, logs = load_logs(data_dir)
    col = {name.lower(): i for i, name in enumerate(header)}
    i_time, i_name, i_pid, i_op, i_path = (col["time of day"], col["process name"], col["pid"],
                                           col["operation"], col["path"])
    i_result, i_detail, i_tid, i_parent = col["result"], col["detail"], col["tid"], col["parent pid"]
    id_in_detail = re.compile(r"((?:Parent )?PID: |Thread ID: )(\d+)")
    weights = [len(r) for r in logs]
    rnd = random.Random(4711)
    step = SPAN_SECONDS / max(rows_wanted, 1)
    written = 0

    def blank(**cells):
        row = [""] * len(header)
        for k, v in cells.items():
            row[col[k.replace("_", " ")]] = v
        return row

    with open(out_path, "w", encoding="utf-8", newline="") as out:
        out.write("\ufeff" + quote(header))
        # Explorer starts the sample; the launcher rows stand right before its start.
        start = clock(START_SECONDS)
        out.write(quote(blank(time_of_day=start, process_name="Explorer.EXE", pid="2412",
                              operation="Process Create", path="C:\\Users\\bob\\Downloads\\" + SAMPLE,
                              result="SUCCESS", detail=f"PID: {SAMPLE_PID}, Command line: {SAMPLE}",
                              tid="2416")))
        out.write(quote(blank(path="KALVO_EXECUTES_SAMPLE_kalvo.bat", result="SUCCESS")))
        out.write(quote(blank(process_name="kalvo-cpp.exe", pid="*1*", operation="Process Create",
                              result="SUCCESS", detail="PID: *2*, Command line: ++++++++")))
        out.write(quote(blank(process_name="kalvo-cpp.exe", pid="*2*", operation="Process Create",
                              result="SUCCESS", detail=f"PID: {SAMPLE_PID}, Command line: {SAMPLE}")))
        out.write(quote(blank(time_of_day=start, process_name=SAMPLE, pid=SAMPLE_PID,
                              operation="Process Start", result="SUCCESS",
                              detail="Parent PID: 2412, Command line: " + SAMPLE, tid=SAMPLE_TID)))
        out.write(quote(blank(time_of_day=start, process_name=SAMPLE, pid=SAMPLE_PID,
                              operation="Thread Create", result="SUCCESS",
                              detail="Thread ID: " + SAMPLE_TID, tid=SAMPLE_TID)))
        written = 2
        run_index = 0
        while written < rows_wanted:
            log = rnd.choices(logs, weights)[0]
            first = rnd.randrange(max(len(log) - RUN, 1))
            run = log[first:first + RUN]
            offset = (run_index % ID_SPACES) * 100_000
            run_index += 1
            pids = [r[i_pid] for r in run if r[i_pid].isdigit()]
            # A process with network traffic, where the run has one, so the sample's tree
            # holds servers and connections besides its files and registry keys.
            talkers = [r[i_pid] for r in run
                       if r[i_pid].isdigit() and r[i_op].startswith(("TCP ", "UDP "))]
            taken = rnd.choice(talkers or pids) if pids else None

            def rekey(value):
                if not value.isdigit():
                    return value
                if value == taken:
                    return SAMPLE_PID
                return str(int(value) + offset)

            for r in run:
                if written >= rows_wanted:
                    break
                row = list(r)
                row[i_time] = clock(START_SECONDS + written * step)
                if row[i_pid] == taken:
                    row[i_name] = SAMPLE
                row[i_pid] = rekey(row[i_pid])
                row[i_tid] = rekey(row[i_tid])
                row[i_parent] = rekey(row[i_parent])
                row[i_detail] = id_in_detail.sub(lambda m: m.group(1) + rekey(m.group(2)), row[i_detail])
                out.write(quote(row))
                written += 1


if __name__ == "__main__":
    main()
