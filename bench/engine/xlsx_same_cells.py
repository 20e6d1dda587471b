#!/usr/bin/env python3
"""Whether two .xlsx files hold the same cells: values, number formats, fonts, fills, borders,
merged ranges, column widths and row heights of their first sheets (the XML may differ).
Usage: xlsx_same_cells.py A.xlsx B.xlsx   (prints yes or no and the first difference)"""
import re
import sys
import zipfile
import xml.etree.ElementTree as ET

NS = {"m": "http://schemas.openxmlformats.org/spreadsheetml/2006/main"}
BUILTIN = {"0": "General", "1": "0", "2": "0.00", "3": "#,##0", "4": "#,##0.00"}


def styles(book):
    root = ET.fromstring(book.read("xl/styles.xml"))
    formats = dict(BUILTIN)
    for f in root.iterfind("m:numFmts/m:numFmt", NS):
        formats[f.get("numFmtId")] = f.get("formatCode")
    fonts = [ET.tostring(f) for f in root.iterfind("m:fonts/m:font", NS)]
    fills = [ET.tostring(f) for f in root.iterfind("m:fills/m:fill", NS)]
    borders = [ET.tostring(f) for f in root.iterfind("m:borders/m:border", NS)]
    looks = []
    for xf in root.iterfind("m:cellXfs/m:xf", NS):
        font = re.sub(rb"ns\d+:", b"", fonts[int(xf.get("fontId", 0))])
        font = re.sub(rb"<family[^>]*/>|<scheme[^>]*/>", b"", font)
        align = xf.find("m:alignment", NS)
        looks.append((formats.get(xf.get("numFmtId", "0")), font, fills[int(xf.get("fillId", 0))],
                      borders[int(xf.get("borderId", 0))], None if align is None else tuple(sorted(align.items()))))
    return looks


def content(path):
    book = zipfile.ZipFile(path)
    looks = styles(book)
    sheet = ET.fromstring(book.read("xl/worksheets/sheet1.xml"))
    cells = {}
    heights = {}
    for row in sheet.iterfind("m:sheetData/m:row", NS):
        heights[row.get("r")] = round(float(row.get("ht", 0)), 2)
        for c in row.iterfind("m:c", NS):
            v = c.find("m:v", NS)
            t = c.find("m:is/m:t", NS)
            value = float(v.text) if v is not None else (t.text if t is not None else None)
            cells[c.get("r")] = (value, looks[int(c.get("s", 0))])
    merges = sorted(m.get("ref") for m in sheet.iterfind("m:mergeCells/m:mergeCell", NS))
    widths = [(c.get("min"), c.get("max"), round(float(c.get("width")), 2)) for c in sheet.iterfind("m:cols/m:col", NS)]
    return {"cells": cells, "heights": heights, "merges": merges, "widths": widths}


a, b = content(sys.argv[1]), content(sys.argv[2])
for key in a:
    if a[key] != b[key]:
        if isinstance(a[key], dict):
            diff = next(k for k in sorted(set(a[key]) | set(b[key])) if a[key].get(k) != b[key].get(k))
            print("no", key, diff, a[key].get(diff), b[key].get(diff))
        else:
            print("no", key, a[key][:5], b[key][:5])
        sys.exit(0)
print("yes")
