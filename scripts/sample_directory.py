#!/usr/bin/env python3
"""Writes a sample data directory: groups nested two deep, a device of every
model with varied columns (outlet states, update times, MAC addresses and
terminal numbers, ping and reboot texts, temperatures of every state), one
group whose item file is of version 0 (12-line records), and Japanese names
(CP932, as the program keeps them). The screenshots and the comparison of
the device list with zeloctl's list use it.

    scripts/sample_directory.py DIR [--english] [--language N] [--zelo KEYS] [--extra TEXT]

--english gives every group and device an English name. ZELO.INI gets the
language (default 0), the id counters past the sample's ids and KEYS in its
[ZELO] section, and TEXT after it (sections and keys); \\n separates lines.
Every file is written with CR LF line ends.
"""
import argparse
import os

BASE_TIME = 1704067200  # 2024-01-01 00:00 UTC

# (id, level, Japanese name, English name)
GROUPS = [
    (0, 0, "規定", "Root"),
    (1, 1, "サーバー室", "Server room"),
    (2, 2, "ラックＡ", "Rack A"),
    (3, 2, "ラックＢ", "Rack B"),
    (4, 1, "事務所", "Office"),
    (6, 2, "２階", "Second floor"),
    (5, 1, "支店", "Branch"),
]

# (group, id, model, Japanese name, English name, fields)
DEVICES = [
    (2, 1, 3, "ＷＥＢサーバー", "web server",
     dict(addr="10.0.1.11", power="1 1010", mac="0090CC000011", ping="OK", reboot="", temp=2450, state=0)),
    (2, 2, 4, "旧型電源", "old unit",
     dict(addr="10.0.1.12", power="1111", mac="0090CC00012", temp=0, state=-1)),
    (2, 3, 5, "ルーター", "router",
     dict(addr="10.0.1.13", power="0 000", mac="0090CC000013", ping="NG", reboot="1", temp=3810, state=1)),
    (2, 4, 6, "ストレージ", "storage",
     dict(addr="10.0.1.14", power="1 1100", unit=0x1A2B, system="store1", temp=4020, state=2)),
    (2, 5, 7, "バックアップ", "backup",
     dict(addr="10.0.1.15", power="1111", unit=42, system="bk", temp=990, state=3)),
    (2, 6, 8, "監視カメラ", "camera",
     dict(addr="10.0.1.16", power="1 0101", unit=513, system="cam", temp=-120, state=4)),
    (3, 7, 9, "空調", "air conditioner",
     dict(addr="10.0.2.21", power="1 11", unit=7, system="ac", temp=5570, state=5)),
    (3, 8, 10, "照明", "lights",
     dict(addr="10.0.2.22", power="0 0000", unit=65535, system="light", temp=0, state=-1, time=0)),
    (3, 9, 11, "ＤＢサーバー", "database",
     dict(addr="10.0.2.23", power="1 11110000", mac="0090CC000023", ping="OK OK", reboot="2", temp=2100, state=0)),
    (3, 10, 12, "スイッチ", "switch",
     dict(addr="sw.example", power="1 111111", mac="0090CC000024", temp=2290, state=0)),
    (3, 11, 13, "ＧＶ電源", "gv unit",
     dict(addr="10.0.2.25", power="1 10101010", mac="0090CC0A1B2C", ping="OK", reboot="3", temp=2675, state=0)),
    (4, 12, 3, "受付", "reception",
     dict(addr="192.168.0.5", power="1 1111", mac="0090CC000031", version=0)),
    (4, 13, 13, "会議室", "meeting room",
     dict(addr="", port=0, power="1 11111111", mac="0090CC000032", version=0, time=0)),
]

PROMPTS = {3: ("HX", "00"), 5: ("JB", "00")}
MODEL_NAMES = {3: "HX-7200", 4: "HX-7100", 5: "JB-81K", 6: "SWD-6K", 7: "SWD-6ZK",
               8: "SWD-7KA", 9: "SWD-7KB", 10: "SWD-8KB", 11: "SWD-12K", 12: "SWD-Q6M",
               13: "GV2208"}


def record_lines(device_id, model, name, f):
    user_login = 6 <= model <= 13
    update = f.get("time", BASE_TIME + device_id * 3700)
    lines = [
        name,
        MODEL_NAMES[model],
        "%X" % device_id,
        str(model),
        "#%s %X" % (f["addr"], f.get("port", 23)),
        f["power"],
        "1" * max(1, len(f["power"].split(" ")[-1])),
        "00000000 %08X" % update,
        f.get("mac", "%012X" % 0 if user_login else ""),
        "tavik admin" if user_login else "7394",
    ]
    if model in PROMPTS:
        lines.append("%s %s" % PROMPTS[model])
    elif user_login:
        lines.append("%X %s" % (f.get("unit", 0), f.get("system", "")))
    else:
        lines.append("")
    lines.append("")
    if f.get("version", 2) >= 2:
        lines += [f.get("ping", ""), f.get("reboot", ""), str(f.get("temp", 0)),
                  str(f.get("state", -1))]
    return lines


def write(path, lines):
    with open(path, "wb") as out:
        out.write(b"".join(line.encode("cp932") + b"\r\n" for line in lines))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dir")
    parser.add_argument("--english", action="store_true")
    parser.add_argument("--language", type=int, default=0)
    parser.add_argument("--zelo", default="")
    parser.add_argument("--extra", default="")
    args = parser.parse_args()
    os.makedirs(args.dir, exist_ok=True)
    pick = (lambda ja, en: en) if args.english else (lambda ja, en: ja)
    write(os.path.join(args.dir, "ZELO_DIR.DAT"),
          ["%d\t%s\t%d" % (level, pick(ja, en), gid) for gid, level, ja, en in GROUPS])
    for gid, *_ in GROUPS:
        devices = [d for d in DEVICES if d[0] == gid]
        if not devices:
            continue
        version = devices[0][5].get("version", 2)
        lines = ["#ZELO ITEM FILE#VER %d" % version]
        for _, did, model, ja, en, fields in devices:
            lines += record_lines(did, model, pick(ja, en), fields)
        write(os.path.join(args.dir, "%08X.IDX" % gid), lines)
    ini = ["[ZELO]", "Language=%d" % args.language, "UniqueTree=%d" % max(g[0] for g in GROUPS),
           "UniqueObj=%d" % max(d[1] for d in DEVICES)]
    more = (args.zelo + "\\n" + args.extra).split("\\n")
    write(os.path.join(args.dir, "ZELO.INI"), ini + [line for line in more if line])


if __name__ == "__main__":
    main()
