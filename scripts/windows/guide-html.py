#!/usr/bin/env python3
"""The operator's guide (docs/使い方.md) as a page any Windows browser opens,
with its pictures beside it, for the package:

    guide-html.py GUIDE.md OUTPUT.html PICTURE_FOLDER

Only what the guide uses: headings, paragraphs, numbered and bulleted lists
(an indented line continues an item), tables and pictures. A picture
![text](name.png) is copied into PICTURE_FOLDER, which the page names by its
folder name."""

import html
import pathlib
import re
import shutil
import sys


def inline(text, pictures, source):
    def picture(match):
        name = match.group(2)
        shutil.copy(source / name, pictures / name)
        return (f'<img src="{html.escape(pictures.name)}/{html.escape(name)}" '
                f'alt="{html.escape(match.group(1))}">')

    parts = re.split(r"(!\[[^\]]*\]\([^)]*\))", text)
    out = []
    for part in parts:
        found = re.fullmatch(r"!\[([^\]]*)\]\(([^)]*)\)", part)
        out.append(picture(found) if found else html.escape(part))
    return "".join(out)


def convert(lines, pictures, source):
    body, para, items, kind, table = [], [], [], None, []

    def flush():
        nonlocal para, items, kind, table
        if para:
            body.append("<p>" + "".join(para) + "</p>")
        if items:
            body.append(f"<{kind}>" + "".join(f"<li>{i}</li>" for i in items) + f"</{kind}>")
        if table:
            rows = [r for r in table if not re.fullmatch(r"\|[-| ]+\|", r)]
            cells = [[c.strip() for c in r.strip("|").split("|")] for r in rows]
            head = "".join(f"<th>{inline(c, pictures, source)}</th>" for c in cells[0])
            rest = "".join("<tr>" + "".join(f"<td>{inline(c, pictures, source)}</td>" for c in r)
                           + "</tr>" for r in cells[1:])
            body.append(f"<table><tr>{head}</tr>{rest}</table>")
        para, items, kind, table = [], [], None, []

    for line in lines:
        heading = re.match(r"(#+) (.*)", line)
        item = re.match(r"(\d+\.|-) (.*)", line)
        if not line.strip():
            flush()
        elif heading:
            flush()
            level = len(heading.group(1))
            body.append(f"<h{level}>{inline(heading.group(2), pictures, source)}</h{level}>")
        elif line.startswith("|"):
            table.append(line)
        elif item:
            if para:
                flush()
            kind = "ol" if item.group(1)[0].isdigit() else "ul"
            items.append(inline(item.group(2), pictures, source))
        elif items and line.startswith("  "):
            items[-1] += inline(line.strip(), pictures, source)
        else:
            para.append(inline(line, pictures, source))
    flush()
    return body


def main():
    guide, output, pictures = map(pathlib.Path, sys.argv[1:4])
    pictures.mkdir(parents=True, exist_ok=True)
    lines = guide.read_text(encoding="utf-8").splitlines()
    title = re.sub(r"^# ", "", lines[0])
    body = convert(lines, pictures, guide.parent)
    page = f"""<!DOCTYPE html>
<html lang="ja"><head><meta charset="utf-8"><title>{html.escape(title)}</title>
<style>body {{ font-family: "Meiryo", "MS PGothic", sans-serif; max-width: 60em; margin: 1em auto; }}
table {{ border-collapse: collapse; }} th, td {{ border: 1px solid #999; padding: 0.3em; }}
img {{ max-width: 100%; border: 1px solid #ccc; }}</style></head>
<body>
{chr(10).join(body)}
</body></html>
"""
    output.write_text(page, encoding="utf-8", newline="\r\n")


main()
