#!/usr/bin/env python3
"""Builds a data directory of GROUPS x PER_GROUP devices and the zelo-sim
fleet file whose units report for exactly those devices.

Each group holds every model in equal shares. Models 3, 5 and 11-13 send
element reports and are found by MAC address; models 6-10 send the older
short and table reports and are found by unit number.

The groups, and the devices of the first --program-groups groups (default
1; 0 means all), are made by zeloctl itself (add-group, add-device, set).
Making 1,000 devices that way takes 2,000 program runs, so the item files of
the remaining groups are written here from the records zeloctl wrote, with
name, id, MAC or unit number put in. The groups zeloctl made are written
the same way for comparison and must come out byte for byte as zeloctl
wrote them, or the build stops.

usage: fleet.py --zeloctl PATH --dir DIR --fleet FILE [--groups N] [--per-group N]
                [--program-groups N] [--station HOST:PORT]
"""

import argparse
import os
import re
import subprocess
import sys

# code, short name, outlets of the simulated unit
MODELS = [
    (3, "hx", 4),
    (5, "jb", 3),
    (11, "sw12k", 4),
    (12, "q6m", 4),
    (13, "gv", 4),
    (6, "s6", 4),
    (7, "s7", 4),
    (8, "s8", 4),
    (9, "s9", 4),
    (10, "s10", 4),
]
UNIT_MODELS = {6, 7, 8, 9, 10}
FIRST_MAC = 0x008087300000
FIRST_UNIT = 1000

SETTINGS = (
    "[ZELO]\r\nLanguage=1\r\nDateStyle=0\r\n"
    "[Log]\r\nLOGenable=1\r\nBaseDir=logs\r\n"
)


def run(zeloctl, data_dir, *args):
    r = subprocess.run([zeloctl, "--dir", data_dir, *args], capture_output=True, text=True)
    if r.returncode != 0:
        sys.exit("fleet.py: zeloctl %s failed (%d): %s" % (" ".join(args), r.returncode,
                                                           r.stderr.strip()))
    return r.stdout.strip()


def layout(groups, per_group):
    """Yields (group number, model entry, first ordinal, count) per fleet section."""
    share = per_group // len(MODELS)
    extra = per_group % len(MODELS)
    ordinal = 0
    for g in range(1, groups + 1):
        for i, model in enumerate(MODELS):
            n = share + (1 if i < extra else 0)
            yield g, model, ordinal, n
            ordinal += n


def states_for(ordinal, outlets):
    # A fixed but varied pattern per section, never all off.
    bits = "".join("1" if (ordinal >> k) & 1 == 0 else "0" for k in range(outlets))
    return bits if "1" in bits else "1" + bits[1:]


def address_key(code, ordinal):
    """The set argument that ties the record to its simulated unit."""
    if code in UNIT_MODELS:
        return "unit=%d" % (FIRST_UNIT + ordinal)
    return "mac=%012X" % (FIRST_MAC + ordinal)


def split_item_file(data):
    lines = data.split(b"\r\n")
    header, body = lines[0], lines[1:-1]
    return header, [body[i:i + 16] for i in range(0, len(body), 16)]


def from_template(template, name, device_id, code, ordinal):
    """A record as zeloctl writes it for this device: the template record of
    the same model with name, id, MAC (or unit number) and unit line put in."""
    r = list(template)
    r[0] = name.encode()
    r[2] = b"%X" % device_id
    if code in UNIT_MODELS:
        unit = FIRST_UNIT + ordinal
        # The unit field keeps its digits as the MAC text; the line after the
        # login holds the unit in hex and the system name.
        r[8] = str(unit).encode()
        r[10] = b"%X " % unit + template[10].split(b" ", 1)[1]
    else:
        r[8] = b"%012X" % (FIRST_MAC + ordinal)
    return r


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--zeloctl", required=True)
    ap.add_argument("--dir", required=True)
    ap.add_argument("--fleet", required=True)
    ap.add_argument("--groups", type=int, default=10)
    ap.add_argument("--per-group", type=int, default=100)
    ap.add_argument("--program-groups", type=int, default=1)
    ap.add_argument("--station", default="127.0.0.1:9")
    a = ap.parse_args()
    if a.groups < 1 or a.per_group < len(MODELS):
        sys.exit("fleet.py: at least 1 group of %d devices" % len(MODELS))
    by_program = a.groups if a.program_groups <= 0 else min(a.program_groups, a.groups)

    os.makedirs(a.dir, exist_ok=True)
    os.makedirs(os.path.join(a.dir, "logs"), exist_ok=True)
    with open(os.path.join(a.dir, "ZELO.INI"), "wb") as f:
        f.write(SETTINGS.encode())

    fleet = [
        "# %d units in %d groups for the reliability scripts" % (a.groups * a.per_group, a.groups),
        "station = %s" % a.station,
        "interval = 0",
        "",
    ]
    group_ids = {}
    for g in range(1, a.groups + 1):
        group_ids[g] = int(run(a.zeloctl, a.dir, "add-group", "0", "rack-%02d" % g))

    # [group, name, code, ordinal, id] per device, in the order they are made.
    devices = []
    for g, (code, short, outlets), first, count in layout(a.groups, a.per_group):
        section = "g%02d-%s" % (g, short)
        lines = ["[%s]" % section, "model = %d" % code, "count = %d" % count]
        if code in UNIT_MODELS:
            lines.append("unit = %d" % (FIRST_UNIT + first))
        else:
            lines.append("mac = %012X" % (FIRST_MAC + first))
        lines.append("states = %s" % states_for(first, outlets))
        if code == 5:
            lines.append("outlets = %d" % outlets)
        fleet += lines + [""]
        for k in range(count):
            devices.append([g, "%s-%d" % (section, k + 1), code, first + k, None])

    next_id = None
    for d in devices:
        g, name, code, ordinal, _ = d
        if g > by_program:
            continue
        d[4] = int(run(a.zeloctl, a.dir, "add-device", str(group_ids[g]), str(code), name))
        run(a.zeloctl, a.dir, "set", "device:%d" % d[4], address_key(code, ordinal),
            "address=127.0.0.1")
        next_id = d[4] + 1
    for d in devices:  # the program counts device ids up by one
        if d[4] is None:
            d[4] = next_id
            next_id += 1

    # The first record of each model, as zeloctl wrote it, is the template.
    first_path = os.path.join(a.dir, "%08X.IDX" % group_ids[1])
    with open(first_path, "rb") as f:
        header, records = split_item_file(f.read())
    templates = {}
    for d, r in zip((d for d in devices if d[0] == 1), records):
        templates.setdefault(d[2], r)

    for g in range(1, a.groups + 1):
        text = header + b"\r\n"
        for _, name, code, ordinal, device_id in (d for d in devices if d[0] == g):
            text += b"".join(line + b"\r\n" for line in
                             from_template(templates[code], name, device_id, code, ordinal))
        path = os.path.join(a.dir, "%08X.IDX" % group_ids[g])
        if g <= by_program:
            with open(path, "rb") as f:
                if f.read() != text:
                    sys.exit("fleet.py: group %d as written here differs from zeloctl's %s; "
                             "build with --program-groups 0" % (g, path))
        else:
            with open(path, "wb") as f:
                f.write(text)

    # The id counter as zeloctl would have left it.
    ini_path = os.path.join(a.dir, "ZELO.INI")
    with open(ini_path, "rb") as f:
        ini = f.read()
    ini, n = re.subn(rb"(?m)^UniqueObj=\d+\r$", b"UniqueObj=%d\r" % (next_id - 1), ini)
    if n != 1:
        sys.exit("fleet.py: no UniqueObj line in " + ini_path)
    with open(ini_path, "wb") as f:
        f.write(ini)

    with open(a.fleet, "w") as f:
        f.write("\n".join(fleet))


if __name__ == "__main__":
    main()
