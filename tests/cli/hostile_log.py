#!/usr/bin/env python3
"""Writes one hostile log for a golden run: hostile_log.py CASE OUT.csv

The big ones are made here at test time instead of being kept in the tree. Every log is the
same each time, so the expected outputs stay fixed."""
import os
import random
import sys

HEADER = '"Time of Day","Process Name","PID","Operation","Path","Result","Detail","TID"\r\n'


def row(*cells):
    return ",".join('"' + c.replace('"', '""') + '"' for c in cells) + "\r\n"


def launched(sample="sample.exe", pid="500", tid="501"):
    """Explorer starts the sample through the launcher rows, so its tree is followed."""
    return (row("10:00:00.0000000", "Explorer.EXE", "100", "Process Create",
                "C:\\Users\\bob\\" + sample, "SUCCESS", f"PID: {pid}, Command line: {sample}", "101")
            + row("", "", "", "", "KALVO_EXECUTES_SAMPLE_kalvo.bat", "SUCCESS", "", "")
            + row("", "kalvo-cpp.exe", "*1*", "Process Create", "", "SUCCESS",
                  "PID: *2*, Command line: ++++++++", "")
            + row("", "kalvo-cpp.exe", "*2*", "Process Create", "", "SUCCESS",
                  f"PID: {pid}, Command line: {sample}", "")
            + row("10:00:00.1000000", sample, pid, "Process Start", "", "SUCCESS",
                  "Parent PID: 100, Command line: " + sample, tid)
            + row("10:00:00.2000000", sample, pid, "Thread Create", "", "SUCCESS",
                  "Thread ID: " + tid, tid))


def activity(sample="sample.exe", pid="500", tid="501"):
    return (row("10:00:01.0000000", sample, pid, "CreateFile", "C:\\Temp\\drop.exe", "SUCCESS",
                "Desired Access: Generic Write, Disposition: Create", tid)
            + row("10:00:01.1000000", sample, pid, "WriteFile", "C:\\Temp\\drop.exe", "SUCCESS",
                  "Offset: 0, Length: 4,096", tid)
            + row("10:00:01.2000000", sample, pid, "RegSetValue",
                  "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\drop", "SUCCESS",
                  "Type: REG_SZ, Length: 34, Data: C:\\Temp\\drop.exe", tid))


def plain_log():
    return "\ufeff" + HEADER + launched() + activity()


def truncated():
    # Cut inside the last record's quoted field, right through a two-byte character.
    text = (plain_log() + row("10:00:02.0000000", "sample.exe", "500", "WriteFile",
                              "C:\\Temp\\n\u00e4me.txt", "SUCCESS", "Offset: 0", "501"))
    data = text.encode("utf-8")
    return data[:data.index("n\u00e4me".encode("utf-8")) + 2]


def garbage():
    rnd = random.Random(1)
    return bytes(rnd.randrange(256) for _ in range(65536))


def nul_bytes():
    return (plain_log() + row("10:00:02.0000000", "sam\0ple.exe", "500", "WriteFile",
                              "C:\\Temp\\a\0b.exe", "SUCCESS", "Offset: 0\0", "501")).encode("utf-8")


def invalid_utf8(bom):
    text = (HEADER + launched() + activity()).encode("utf-8")
    bad = row("10:00:02.0000000", "sample.exe", "500", "WriteFile", "C:\\Temp\\@@@.exe", "SUCCESS",
              "Offset: 0", "501").encode("utf-8")
    # A stray continuation byte, a cut sequence, an overlong slash, a surrogate, 0xFF.
    bad = bad.replace(b"@@@", b"\x80x\xe2\x82y\xc0\xafz\xed\xa0\x80\xff")
    return (b"\xef\xbb\xbf" if bom else b"") + text + bad


def utf16():
    text = (HEADER + launched() + activity()
            + row("10:00:02.0000000", "sample.exe", "500", "WriteFile",
                  "C:\\Temp\\\u05e9\u05dc\u05d5\u05dd\U0001F600.exe", "SUCCESS", "Offset: 0", "501"))
    data = b"\xff\xfe" + text.encode("utf-16-le")
    # A lone high surrogate in the last path, and an odd byte at the very end.
    return data.replace("\u05dd".encode("utf-16-le"), b"\x00\xd8") + b"A"


def unbalanced_quotes():
    return (plain_log() + '"10:00:02.0000000","sample.exe","500","WriteFile","C:\\Temp\\x.exe,'
            '"SUCCESS","Offset: 0","501"\r\n' + row("10:00:03", "a.exe", "1", "ReadFile", "C:\\a",
                                                      "SUCCESS", "", "2") * 3)


def big_field():
    return (plain_log() + row("10:00:02.0000000", "sample.exe", "500", "RegQueryValue",
                              "HKCU\\Software\\Big", "SUCCESS", "Data: " + "A" * 10_000_000, "501")
            + row("10:00:03.0000000", "sample.exe", "500", "WriteFile", "C:\\Temp\\after.txt",
                  "SUCCESS", "Offset: 0", "501"))


def long_path():
    path = "C:\\" + "\\".join(["d" * 250] * 4000) + "\\x.exe"
    return (plain_log()
            + row("10:00:02.0000000", "other.exe", "900", "WriteFile", path, "SUCCESS", "", "901")
            + row("10:00:02.1000000", "sample.exe", "500", "ReadFile", path, "SUCCESS", "", "501")
            + row("10:00:02.2000000", "sample.exe", "500", "CreateFile", "C:\\DDDDDD~1\\X.EXE",
                  "NAME NOT FOUND", "", "501"))


def many_processes():
    parts = ["\ufeff", HEADER, launched(), activity()]
    for n in range(100_000):
        pid, tid = str(10_000 + n), str(200_000 + n)
        parts.append(row("10:00:05.0000000", "Explorer.EXE", "100", "Process Create",
                         f"C:\\p{n}.exe", "SUCCESS", f"PID: {pid}, Command line: p{n}", "101"))
        parts.append(row("10:00:05.0000000", f"p{n}.exe", pid, "Process Start", "", "SUCCESS",
                         "Parent PID: 100", tid))
        parts.append(row("10:00:05.0000000", f"p{n}.exe", pid, "Thread Create", "", "SUCCESS",
                         "Thread ID: " + tid, tid))
    parts.append(row("10:00:06.0000000", "sample.exe", "500", "Process Exit", "", "SUCCESS", "", "501"))
    return "".join(parts)


def dot_breakers():
    evil = ['a"b', 'back\\slash\\', 'x"];y', 'new\\nline', 'real\nline', '{brace', 'brace}',
            '//comment', '"]; digraph X { a -> b } //']
    sample = 'evil"];{}//.exe'
    parts = ["\ufeff", HEADER, launched(sample=sample)]
    for i, name in enumerate(evil):
        parts.append(row(f"10:00:01.{i:07d}", sample, "500", "WriteFile",
                         "C:\\Temp\\" + name + ".exe", "SUCCESS", "Offset: 0", "501"))
        parts.append(row(f"10:00:02.{i:07d}", sample, "500", "RegSetValue",
                         "HKCU\\Software\\" + name, "SUCCESS", "Data: " + name, "501"))
        parts.append(row(f"10:00:03.{i:07d}", sample, "500", "Process Create", "C:\\" + name,
                         "SUCCESS", f"PID: {600 + i}, Command line: {name}", "501"))
        parts.append(row(f"10:00:03.{i:07d}", name, str(600 + i), "Process Start", "", "SUCCESS",
                         "Parent PID: 500", str(700 + i)))
        parts.append(row(f"10:00:04.{i:07d}", sample, "500", "TCP Send",
                         "host:1 -> " + name + ":80", "SUCCESS", "Length: 1", "501"))
    # Peers that only begin with an address are no servers.
    for i, peer in enumerate(["10.0.0.1\\", '10.0.0.1"x']):
        parts.append(row(f"10:00:05.{i:07d}", sample, "500", "TCP Send", "h:1 -> " + peer + ":80",
                         "SUCCESS", "Length: 1", "501"))
    return "".join(parts)


def long_names():
    """A registry value name of the longest legal size and a 20 KB host name from the capture:
    Graphviz must still read the graph. The capture is written beside the log."""
    value = "HKCU\\Software\\Long\\" + "v" * 16383
    parts = ["\ufeff", HEADER, launched(), activity()]
    parts.append(row("10:00:02.0000000", "sample.exe", "500", "RegSetValue", value, "SUCCESS",
                     "Type: REG_SZ, Length: 2, Data: x", "501"))
    parts.append(row("10:00:02.1000000", "sample.exe", "500", "RegSetValue", value + "w", "SUCCESS",
                     "Type: REG_SZ, Length: 2, Data: y", "501"))
    parts.append(row("10:00:03.0000000", "sample.exe", "500", "TCP Send",
                     "host:1 -> 10.9.9.9:80", "SUCCESS", "Length: 1", "501"))
    return "".join(parts)


def long_names_capture():
    name = ".".join(["n" * 60] * 340) + ".example"
    return ("12:00:00.100000 IP 10.1.1.5.51000 > 192.0.2.53.53: 1111+ A? " + name + ". (33)\n"
            "12:00:00.110000 IP 192.0.2.53.53 > 10.1.1.5.51000: 1111 1/0/0 A 10.9.9.9 (65)\n")


def short_names():
    """Short names built to make an expression backtrack: a component of twelve "a~1" before a
    "zN~1", long paths whose component holds forty "a", and values whose one component is 25
    "~1" in a row. About 142 KB; each must resolve by comparing components. Explorer writes
    them, so the graph stays small: the entity pass resolves the names of every row."""
    parts = ["\ufeff", HEADER, launched(), activity()]
    create = ("Desired Access: Generic Write, Disposition: OverwriteIf, Options: Non-Directory "
              "File, OpenResult: Created")
    for n in range(250):
        path = "C:\\x\\" + "a" * 40 + f"\\z{n}long.txt"
        parts.append(row("10:00:02.0000000", "Explorer.EXE", "100", "CreateFile", path, "SUCCESS",
                         create, "101"))
    for n in range(250):
        path = "C:\\x\\" + "a~1" * 12 + f"\\z{n}~1"
        parts.append(row("10:00:03.0000000", "Explorer.EXE", "100", "CreateFile", path, "SUCCESS",
                         create, "101"))
    for n in range(130):
        value = "C:\\x\\" + "~1" * 25 + f"{n}.txt"
        parts.append(row("10:00:04.0000000", "Explorer.EXE", "100", "RegSetValue",
                         f"HKCU\\Software\\V{n}", "SUCCESS",
                         f"Type: REG_SZ, Length: 60, Data: {value}", "101"))
    return "".join(parts)


def slash_tails():
    """One written path of 60,000 "a/" segments and a value that names a bare file: every
    "/"-tail of the path is a name the value could mean."""
    path = "C:\\x\\" + "a/" * 60_000 + "b.exe"
    return "".join(["\ufeff", HEADER, launched(), activity(),
                    row("10:00:02.0000000", "sample.exe", "500", "WriteFile", path, "SUCCESS",
                        "Offset: 0", "501"),
                    row("10:00:03.0000000", "sample.exe", "500", "RegSetValue",
                        "HKCU\\Software\\Run\\b", "SUCCESS",
                        "Type: REG_SZ, Length: 10, Data: b.exe", "501")])


CASES = {
    "hostile_truncated": truncated,
    "hostile_garbage": garbage,
    "hostile_nul_bytes": nul_bytes,
    "hostile_invalid_utf8": lambda: invalid_utf8(bom=True),
    "hostile_invalid_utf8_ansi": lambda: invalid_utf8(bom=False),
    "hostile_utf16": utf16,
    "hostile_unbalanced_quotes": unbalanced_quotes,
    "hostile_big_field": big_field,
    "hostile_long_path": long_path,
    "hostile_many_processes": many_processes,
    "hostile_dot_breakers": dot_breakers,
    "hostile_dot_breakers_dumb": dot_breakers,
    "hostile_long_names": long_names,
    "hostile_short_names": short_names,
    "hostile_slash_tails": slash_tails,
}

# Cases that come with a capture text, written as capture.txt beside the log.
CAPTURES = {
    "hostile_long_names": long_names_capture,
}

if __name__ == "__main__":
    data = CASES[sys.argv[1]]()
    with open(sys.argv[2], "wb") as out:
        out.write(data.encode("utf-8") if isinstance(data, str) else data)
    if sys.argv[1] in CAPTURES:
        with open(os.path.join(os.path.dirname(sys.argv[2]), "capture.txt"), "wb") as out:
            out.write(CAPTURES[sys.argv[1]]().encode("utf-8"))
