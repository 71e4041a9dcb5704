#!/usr/bin/env python3
"""Writes the sample as the workbench hands it to the converter once the sample's own start is
chosen as the launcher: launched_sample.py SAMPLE.csv OUT.csv

The three launcher rows go right before that record, in the form the workbench writes them."""
import sys

ROWS = (b'"","","","","KALVO_EXECUTES_SAMPLE_kalvo.bat","SUCCESS","",""\r\n'
        b'"","kalvo-cpp.exe","*1*","Process Create","","SUCCESS",'
        b'"PID: *2*, Command line: ++++++++",""\r\n'
        b'"","kalvo-cpp.exe","*2*","Process Create","","SUCCESS",'
        b'"PID: 3120, Command line: invoice_0419.exe",""')

sample = open(sys.argv[1], "rb").read()
start = sample.find(b'"invoice_0419.exe","3120","Process Start"')
line_end = sample.rfind(b"\r\n", 0, start)
if start < 0 or line_end < 0:
    sys.exit("the sample's own start is missing from " + sys.argv[1])
with open(sys.argv[2], "wb") as out:
    out.write(sample[:line_end] + b"\r\n" + ROWS + sample[line_end:])
