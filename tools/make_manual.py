#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes assets/Vantic_Kestle.pdf, the short user manual, from MANUAL below.

A plain-text PDF (Helvetica, A4), so no document tool is needed to build it.
"""
import pathlib

MANUAL = """The Vantic Kestle - Companion Software Manual

Getting started
  Connect the Kestle to a USB port. While no unit is attached the window
  shows KESTLE NOT PRESENT! and the readings stand still.
  On the first start, and on every 21st start after it, the disclaimer opens:
  tick the agreement box and press Agree.

Asking a question
  Choose an answer time (3 to 60 seconds) and type the question into the
  question box, then press Enter. During the answer time the unit is read
  continuously and the words chosen from the readings appear on the main
  display. " Constant" reads without pause; "Cancel Constant mode" stops.

ECM modes
  ECM Voltage Mode, ECM Frequency Mode and ECM EMF choose which reading
  drives the word list. The RF menu marks frequency bands: a reading in a
  marked band is logged to the RF / Threshold log instead of giving a word.

Word lists
  The built-in list holds 2050 entries. File > Upload User Word List loads
  list.txt from your home folder (one entry per line). Shuffle and Restore
  change the order or bring back the built-in list.

Alarms
  Each of the twelve alarm items asks for a limit. A checked alarm adds a
  time-stamped line to the alarm window every cycle its reading passes the
  limit; Log Alarms writes the lines to CV_Alarm_Log.TXT.

Logs and captures
  The data folder (Vantic_Data in your home folder) holds CV_data_file.csv,
  CV_rf_threshold.csv, CV_Alarm_Log.TXT and the screen captures.
  Log File > View Logs and Screen Shots opens it.

Temperature and compass
  Double-click the temperature to enter a calibration offset.
  Double-click the field display to align the unit's magnetic sensors:
  face the unit north, south, east and west as the pictures show.
"""


def pdf(lines):
    objects = []
    content = ["BT", "/F1 11 Tf", "14 TL", "50 800 Td"]
    for i, line in enumerate(lines):
        text = line.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)")
        if i == 0:
            content += ["/F1 16 Tf", f"({text}) Tj", "/F1 11 Tf", "T*"]
        else:
            content += [f"({text}) Tj", "T*"]
    content.append("ET")
    stream = "\n".join(content).encode("latin-1")
    objects.append(b"<< /Type /Catalog /Pages 2 0 R >>")
    objects.append(b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
    objects.append(b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] "
                   b"/Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>")
    objects.append(b"<< /Length %d >>\nstream\n" % len(stream) + stream + b"\nendstream")
    objects.append(b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
    out = bytearray(b"%PDF-1.4\n")
    offsets = []
    for n, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % n + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for off in offsets:
        out += b"%010d 00000 n \n" % off
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    return bytes(out)


if __name__ == "__main__":
    target = pathlib.Path(__file__).resolve().parent.parent / "assets" / "Vantic_Kestle.pdf"
    target.write_bytes(pdf(MANUAL.splitlines()))
