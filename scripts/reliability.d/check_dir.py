#!/usr/bin/env python3
"""Checks a data directory against the copy it started from.

Reads ZELO_DIR.DAT, ZELO.INI, every item file and the event logs on its own
(it shares no code with the program) and compares them with the reference
directory: the outline must be unchanged, every item file there and whole,
every record there with its stored fields unchanged; only the fields the
status station writes (power, schedule, update time, ping, reboot,
temperature and its state) may differ, and those must still look like
what the station writes. Then runs `zeloctl tree` and `zeloctl list` for
every group and checks they show every group and device.

Prints one line of counts:
  files_lost=N records_lost=N damaged=N changed_files=N changed_records=N
  tmp_left=N event_lines=N
and the problems found on stderr. Exit status 0 when files_lost,
records_lost and damaged are all 0.

usage: check_dir.py --reference DIR --dir DIR [--zeloctl PATH] [--clean]
  --clean   the program was stopped in order: a leftover .TMP file counts as
            damage, not as the trace of a killed rewrite
"""

import argparse
import os
import re
import subprocess
import sys

ITEM_HEADER = b"#ZELO ITEM FILE#VER 2"
RECORD_LINES = 16
# Lines of a record the station never writes.
STORED = {0: "name", 1: "model name", 2: "id", 3: "model code", 4: "address",
          8: "MAC", 9: "login", 10: "unit/prompt", 11: "reserved"}
# Lines it may rewrite, with what they must look like afterwards.
STATUS = {
    5: ("power", re.compile(rb"^([0-9] )?[0-9]{0,8}$")),
    6: ("schedule", re.compile(rb"^[01 ]{0,8}$")),
    7: ("update time", re.compile(rb"^00000000 [0-9A-F]{8}$")),
    12: ("ping", re.compile(rb"^[\x20-\x7e]{0,8}$")),
    13: ("reboot", re.compile(rb"^[\x20-\x7e]{0,24}$")),
    14: ("temperature", re.compile(rb"^-?[0-9]{1,6}$")),
    15: ("temperature state", re.compile(rb"^-?[0-9]$")),
}
ID_LINE = re.compile(rb"^[0-9A-F]{1,8}$")
ITEM_NAME = re.compile(r"^[0-9A-F]{8}\.IDX$")
LOG_NAME = re.compile(r"^([0-9A-F]{8})\.LOG$")
LOG_LINE = re.compile(rb"^\d{4}/\d\d/\d\d \d\d:\d\d\t[^\t]*\t[^\t]*\t[^\t]*\t-?\d+\t-?\d+$")


class Result:
    def __init__(self):
        self.files_lost = 0
        self.records_lost = 0
        self.damaged = 0
        self.changed_files = 0
        self.changed_records = 0
        self.tmp_left = 0
        self.event_lines = 0
        self.problems = []

    def problem(self, kind, text):
        setattr(self, kind, getattr(self, kind) + 1)
        self.problems.append("%s: %s" % (kind, text))

    def line(self):
        return ("files_lost=%d records_lost=%d damaged=%d changed_files=%d changed_records=%d "
                "tmp_left=%d event_lines=%d" % (
                    self.files_lost, self.records_lost, self.damaged, self.changed_files,
                    self.changed_records, self.tmp_left, self.event_lines))


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def crlf_lines(data):
    """The CR LF terminated lines of data, or None when a line end is odd."""
    if data and not data.endswith(b"\r\n"):
        return None
    lines = data.split(b"\r\n")[:-1] if data else []
    for line in lines:
        if b"\r" in line or b"\n" in line:
            return None
    return lines


def parse_outline(data):
    """[(level, name, id)] of ZELO_DIR.DAT, or None when malformed."""
    lines = crlf_lines(data)
    if lines is None:
        return None
    out = []
    for line in lines:
        parts = line.split(b"\t")
        if len(parts) != 3 or not re.match(rb"^\d+$", parts[0]) or \
                not re.match(rb"^-?\d+$", parts[2]):
            return None
        out.append((int(parts[0]), parts[1], int(parts[2]) & 0xFFFFFFFF))
    return out


def parse_items(data):
    """(records, why): records as lists of 16 lines; why is None when whole."""
    if not data.startswith(ITEM_HEADER + b"\r\n"):
        return [], "no item file header"
    body = data[len(ITEM_HEADER) + 2:]
    lines = crlf_lines(body)
    why = None
    if lines is None:
        why = "a line without CR LF (cut short?)"
        lines = body.split(b"\r\n")
        if lines and lines[-1] == b"":
            lines.pop()
    if len(lines) % RECORD_LINES:
        why = why or "%d lines, not a whole number of %d-line records" % (len(lines), RECORD_LINES)
    records = [lines[i:i + RECORD_LINES] for i in range(0, len(lines) - RECORD_LINES + 1,
                                                          RECORD_LINES)]
    for r in records:
        if not ID_LINE.match(r[2]):
            why = why or "record id %r" % r[2]
    return records, why


def record_id(r):
    return int(r[2], 16) if ID_LINE.match(r[2]) else None


def ini_counters(data):
    return {k: v for k, v in re.findall(rb"^(UniqueTree|UniqueObj)=(\S*)\r?$", data or b"",
                                        re.M)}


def check_files(ref, cur, res, clean):
    # The outline: unchanged byte for byte.
    ref_dat = read(os.path.join(ref, "ZELO_DIR.DAT"))
    cur_dat = read(os.path.join(cur, "ZELO_DIR.DAT"))
    outline = parse_outline(ref_dat)
    if cur_dat is None:
        res.problem("files_lost", "ZELO_DIR.DAT")
    elif cur_dat != ref_dat:
        res.problem("damaged", "ZELO_DIR.DAT differs (%s)" %
                    ("does not parse" if parse_outline(cur_dat) is None else "other groups"))

    ref_ini, cur_ini = read(os.path.join(ref, "ZELO.INI")), read(os.path.join(cur, "ZELO.INI"))
    if cur_ini is None:
        res.problem("files_lost", "ZELO.INI")
    elif ini_counters(cur_ini) != ini_counters(ref_ini):
        res.problem("damaged", "ZELO.INI id counters %r, were %r" %
                    (ini_counters(cur_ini), ini_counters(ref_ini)))

    # Item files: every one there, whole, with every record.
    ref_names = sorted(n for n in os.listdir(ref) if ITEM_NAME.match(n))
    ids_by_group = {}
    for name in ref_names:
        ref_data = read(os.path.join(ref, name))
        ref_records, _ = parse_items(ref_data)
        ids_by_group[int(name[:8], 16)] = [(record_id(r), r[0]) for r in ref_records]
        data = read(os.path.join(cur, name))
        if data is None:
            res.problem("files_lost", name)
            res.records_lost += len(ref_records)
            continue
        if data != ref_data:
            res.changed_files += 1
        records, why = parse_items(data)
        if why:
            res.problem("damaged", "%s: %s" % (name, why))
        by_id = {}
        for r in records:
            rid = record_id(r)
            if rid in by_id:
                res.problem("damaged", "%s: id %X twice" % (name, rid))
            by_id[rid] = r
        ref_ids = [record_id(r) for r in ref_records]
        if [record_id(r) for r in records] != ref_ids and not why:
            extra = set(by_id) - set(ref_ids)
            res.problem("damaged", "%s: records out of order or unknown ids %s" %
                        (name, sorted(extra)[:5]))
        for want in ref_records:
            got = by_id.get(record_id(want))
            if got is None:
                res.problem("records_lost", "%s: id %X (%s)" %
                            (name, record_id(want), want[0].decode("latin-1")))
                continue
            for i, what in STORED.items():
                if got[i] != want[i]:
                    res.problem("damaged", "%s id %X: %s %r, was %r" %
                                (name, record_id(want), what, got[i], want[i]))
            changed = False
            for i, (what, form) in STATUS.items():
                if got[i] == want[i]:
                    continue
                changed = True
                if not form.match(got[i]):
                    res.problem("damaged", "%s id %X: %s %r" %
                                (name, record_id(want), what, got[i]))
            res.changed_records += changed

    # Anything else beside them: leftovers of a rewrite, or damage.
    ref_entries = set(os.listdir(ref))
    for name in sorted(os.listdir(cur)):
        if name.upper().endswith(".TMP"):
            if clean:
                res.problem("damaged", "%s left behind by an orderly stop" % name)
            else:
                res.tmp_left += 1
        elif name not in ref_entries:
            res.problem("damaged", "unexpected file %s" % name)
        elif ITEM_NAME.match(name) is None and name not in ("ZELO_DIR.DAT", "ZELO.INI", "ZELO.LCK", "logs"):
            res.problem("damaged", "unexpected file %s" % name)

    # Event logs: whole lines only, one file per known device.
    known = {i for ids in ids_by_group.values() for i, _ in ids}
    logs = os.path.join(cur, "logs")
    for name in sorted(os.listdir(logs)) if os.path.isdir(logs) else []:
        m = LOG_NAME.match(name)
        if not m:
            if name.upper().endswith(".TMP") and not clean:
                res.tmp_left += 1
            else:
                res.problem("damaged", "unexpected file logs/%s" % name)
            continue
        if int(m.group(1), 16) not in known:
            res.problem("damaged", "event log of an unknown device: %s" % name)
        data = read(os.path.join(logs, name))
        lines = crlf_lines(data)
        if lines is None:
            res.problem("damaged", "logs/%s: a line without CR LF" % name)
            continue
        for line in lines:
            if not LOG_LINE.match(line):
                res.problem("damaged", "logs/%s: line %r" % (name, line))
        res.event_lines += len(lines)
    return outline, ids_by_group


def zeloctl(path, data_dir, *args):
    r = subprocess.run([path, "--dir", data_dir, *args], capture_output=True)
    return r.returncode, r.stdout, r.stderr


def check_program(path, ref, cur, outline, ids_by_group, res):
    """The program itself must read the directory back whole."""
    code, ref_tree, _ = zeloctl(path, ref, "tree")
    code2, tree, err = zeloctl(path, cur, "tree")
    if code2 != 0 or tree != ref_tree:
        res.problem("damaged", "zeloctl tree: exit %d, %s" %
                    (code2, "other groups" if code2 == 0 else err.decode(errors="replace")))
    shown = 0
    for level, _, gid in outline or []:
        if level == 0:
            continue
        code, out, err = zeloctl(path, cur, "list", "group:%d" % gid)
        if code != 0:
            res.problem("damaged", "zeloctl list group:%d: exit %d %s" %
                        (gid, code, err.decode(errors="replace").strip()))
            continue
        rows = [l.split(b"\t") for l in out.split(b"\n") if l.startswith(b"device\t")]
        got = [(int(r[1]), r[2]) for r in rows]
        want = ids_by_group.get(gid, [])
        shown += len(got)
        if [i for i, _ in got] != [i for i, _ in want]:
            missing = sorted(set(i for i, _ in want) - set(i for i, _ in got))
            res.problem("damaged", "zeloctl list group:%d shows %d devices, %d expected; "
                        "missing %s" % (gid, len(got), len(want), missing[:5]))
        elif any(n != w for (_, n), (_, w) in zip(got, want)):
            res.problem("damaged", "zeloctl list group:%d: names differ" % gid)
    total = sum(len(v) for v in ids_by_group.values())
    if shown != total:
        res.problems.append("note: zeloctl list showed %d of %d devices" % (shown, total))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--reference", required=True)
    ap.add_argument("--dir", required=True)
    ap.add_argument("--zeloctl")
    ap.add_argument("--clean", action="store_true")
    a = ap.parse_args()
    res = Result()
    outline, ids_by_group = check_files(a.reference, a.dir, res, a.clean)
    if a.zeloctl:
        check_program(a.zeloctl, a.reference, a.dir, outline, ids_by_group, res)
    for p in res.problems[:30]:
        print("check_dir: " + p, file=sys.stderr)
    if len(res.problems) > 30:
        print("check_dir: ... %d more" % (len(res.problems) - 30), file=sys.stderr)
    print(res.line())
    return 0 if res.files_lost == res.records_lost == res.damaged == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
