#!/usr/bin/env python3
"""Runs two builds of textcnv-batch over the same folders and compares every
byte they leave: exit code, standard output and error, each file of 処理後
and the findings file. For checking that a change to the engine's insides
changes nothing a run writes.

  scripts/compare-runs.py OLD_BATCH NEW_BATCH [--random N] [--seed S] [FOLDER...]

--random N adds N generated folders of awkward record files: CR, LF, CR LF
and CR CR LF breaks, a missing last break, trailing tabs, blank and empty
lines, empty files, files that are no record files, keys repeated across
files, keys told apart only by case, Japanese keys, blank titles and long
NDC numbers.
"""
import argparse
import filecmp
import os
import random
import shutil
import subprocess
import sys
import tempfile

BREAKS = [b"\r\n", b"\n", b"\r", b"\r\r\n"]
KEYS = [b"978-4-00-000001-1", b"978-4-00-000002-X", b"abc", b"ABC", b"Abc",
        "書名キー".encode("cp932"), "ＩＳＢＮ１".encode("cp932"), b"", b" "]
BLANKS = [b"", b" ", b"  ", "\u3000".encode("cp932")]


def record(rng, serial):
    fields = [b"%08d" % (serial % 100000000), b"1", rng.choice(KEYS + [b"k%d" % rng.randrange(60)])]
    fields.append(rng.choice(BLANKS) if rng.random() < 0.15 else "書名".encode("cp932") + b"%d" % serial)
    fields.append(rng.choice(BLANKS) if rng.random() < 0.1 else "ヨミ".encode("cp932"))
    fields += [b"f%d" % i for i in range(5, 9)]
    fields.append(b"913.6" + b"0" * rng.randrange(0, 9))  # NDC, sometimes over 10 bytes
    fields += [b"x%d" % i for i in range(10, 25 + rng.randrange(0, 3))]
    line = b"\t".join(fields)
    if rng.random() < 0.1:
        line += b"\t" * rng.randrange(1, 3)
    return line


def record_file(rng, serial):
    lines = [record(rng, serial + i) for i in range(4)]  # passes the file check
    for i in range(rng.randrange(0, 40)):
        r = rng.random()
        if r < 0.08:
            lines.append(b"")
        elif r < 0.12:
            lines.append(rng.choice(BLANKS))
        elif r < 0.15:
            lines.append(b"short\tline")
        else:
            lines.append(record(rng, serial + 4 + i))
    brk = rng.choice(BREAKS)
    body = b"".join(l + (rng.choice(BREAKS) if rng.random() < 0.1 else brk) for l in lines)
    if rng.random() < 0.3:
        body = body[: -len(brk)] if body.endswith(brk) else body
    return body


def make_folder(rng, path):
    os.makedirs(path)
    for n in range(rng.randrange(1, 5)):
        r = rng.random()
        if r < 0.1:
            data = b""
        elif r < 0.2:
            data = b"not a record file\r\n"
        else:
            data = record_file(rng, n * 1000)
        with open(os.path.join(path, "f%02d.txt" % n), "wb") as f:
            f.write(data)


def run(batch, folder, work):
    copy = os.path.join(work, "in")
    shutil.copytree(folder, copy, symlinks=True)
    shutil.rmtree(os.path.join(copy, "処理後"), ignore_errors=True)
    findings = os.path.join(work, "findings.csv")
    p = subprocess.run([batch, "--findings", findings, copy], capture_output=True,
                       stdin=subprocess.DEVNULL)
    return p, copy, findings


def compare(old, new, folder):
    with tempfile.TemporaryDirectory() as a, tempfile.TemporaryDirectory() as b:
        (po, co, fo), (pn, cn, fn) = run(old, folder, a), run(new, folder, b)
        problems = []
        if (po.returncode, po.stdout, po.stderr.replace(a.encode(), b"")) != (
                pn.returncode, pn.stdout, pn.stderr.replace(b.encode(), b"")):
            problems.append("exit code or console output")
        out_o, out_n = os.path.join(co, "処理後"), os.path.join(cn, "処理後")
        names = sorted(set(os.listdir(out_o) if os.path.isdir(out_o) else []) |
                       set(os.listdir(out_n) if os.path.isdir(out_n) else []))
        for name in names:
            x, y = os.path.join(out_o, name), os.path.join(out_n, name)
            if not (os.path.exists(x) and os.path.exists(y) and filecmp.cmp(x, y, shallow=False)):
                problems.append(name)
        if os.path.exists(fo) != os.path.exists(fn) or (
                os.path.exists(fo) and not filecmp.cmp(fo, fn, shallow=False)):
            problems.append("findings file")
        return problems


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("old")
    ap.add_argument("new")
    ap.add_argument("folders", nargs="*")
    ap.add_argument("--random", type=int, default=0)
    ap.add_argument("--seed", type=int, default=1)
    args = ap.parse_intermixed_args()
    rng = random.Random(args.seed)
    failed = 0
    with tempfile.TemporaryDirectory() as gen:
        folders = list(args.folders)
        for i in range(args.random):
            folders.append(os.path.join(gen, "r%04d" % i))
            make_folder(rng, folders[-1])
        for folder in folders:
            problems = compare(args.old, args.new, folder)
            if problems:
                failed += 1
                keep = tempfile.mkdtemp(prefix="differs-")
                shutil.copytree(folder, os.path.join(keep, "in"))
                print("DIFFERS %s: %s (input kept in %s)" % (folder, ", ".join(problems), keep))
    print("%d of %d folders differ" % (failed, len(folders)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
