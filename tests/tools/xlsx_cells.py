#!/usr/bin/env python3
"""Prints what a test needs to know of a workbook's first sheet, one fact a
line (UTF-8):
  sheet NAME
  pane YSPLIT STATE           the frozen rows ("-" where there are none)
  filter REF                  the autofilter's range ("-" for none)
  col MIN MAX WIDTH
  cell REF TYPE TEXT          TYPE: str (inline or shared string), num, or
                              the cell's own t attribute; TEXT with \\t, \\n
                              and \\r escaped
Only the standard library: the sheet's XML is read as it is stored."""
import sys
import zipfile
import xml.etree.ElementTree as ET

NS = {"m": "http://schemas.openxmlformats.org/spreadsheetml/2006/main"}


def text_of(node):
    return "".join(t.text or "" for t in node.iter("{%s}t" % NS["m"]))


def escaped(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r")


def main(path):
    with zipfile.ZipFile(path) as book:
        workbook = ET.fromstring(book.read("xl/workbook.xml"))
        out = ["sheet " + workbook.find("m:sheets/m:sheet", NS).get("name")]
        shared = []
        if "xl/sharedStrings.xml" in book.namelist():
            table = ET.fromstring(book.read("xl/sharedStrings.xml"))
            shared = [text_of(si) for si in table.findall("m:si", NS)]
        sheet = ET.fromstring(book.read("xl/worksheets/sheet1.xml"))
    pane = sheet.find("m:sheetViews/m:sheetView/m:pane", NS)
    out.append("pane %s %s" % (pane.get("ySplit", "-"), pane.get("state", "-"))
               if pane is not None else "pane - -")
    autofilter = sheet.find("m:autoFilter", NS)
    out.append("filter " + (autofilter.get("ref") if autofilter is not None else "-"))
    for col in sheet.findall("m:cols/m:col", NS):
        out.append("col %s %s %s" % (col.get("min"), col.get("max"), col.get("width")))
    for cell in sheet.iter("{%s}c" % NS["m"]):
        kind = cell.get("t", "n")
        if kind == "inlineStr":
            kind, value = "str", text_of(cell.find("m:is", NS))
        elif kind == "s":
            kind, value = "str", shared[int(cell.find("m:v", NS).text)]
        else:
            v = cell.find("m:v", NS)
            value = v.text if v is not None else ""
            kind = "num" if kind == "n" else kind
        out.append("cell %s %s %s" % (cell.get("r"), kind, escaped(value)))
    sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8"))


if __name__ == "__main__":
    main(sys.argv[1])
