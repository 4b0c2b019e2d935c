#!/usr/bin/env python3
"""Turns resources/strings.txt (UTF-8, readable) into the C++ string table
of the core, with every entry as the bytes of the ANSI code page: the
Japanese column as CP932, the other columns as ASCII, and into the header
that names every id (`enum class Text`).

Line format: decimal id, TAB, the name, TAB, the entry as stored (columns
separated by TAB). Escapes inside the entry: \\n, \\r, \\\\. Lines starting with '#' and
blank lines are skipped."""
import re
import sys


def unescape(text, where):
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c == '\\':
            if i + 1 >= len(text):
                sys.exit(f"{where}: backslash at end of line")
            n = text[i + 1]
            if n == 'n':
                out.append('\n')
            elif n == 'r':
                out.append('\r')
            elif n == '\\':
                out.append('\\')
            else:
                sys.exit(f"{where}: unknown escape \\{n}")
            i += 2
        else:
            out.append(c)
            i += 1
    return ''.join(out)


def c_literal(data):
    parts = []
    for b in data:
        if 0x20 <= b < 0x7F and b not in (0x22, 0x5C, 0x3F):
            parts.append(chr(b))
        else:
            parts.append('\\%03o' % b)
    return '"' + ''.join(parts) + '"'


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: gen_strings.py strings.txt string_table.cpp zelo_text.h")
    src, dst, header = sys.argv[1], sys.argv[2], sys.argv[3]
    entries = {}
    names = {}
    with open(src, encoding='utf-8', newline='') as f:
        for no, line in enumerate(f, 1):
            line = line.rstrip('\n')
            if line.endswith('\r'):
                line = line[:-1]
            if not line or line.startswith('#'):
                continue
            where = f"{src}:{no}"
            ident, sep, rest = line.partition('\t')
            name, sep2, entry = rest.partition('\t')
            if not sep or not sep2 or not ident.isdigit():
                sys.exit(f"{where}: expected 'id<TAB>name<TAB>entry'")
            if not re.fullmatch(r'[A-Z][A-Za-z0-9]*', name):
                sys.exit(f"{where}: the name {name!r} is not PascalCase")
            ident = int(ident)
            if ident in entries:
                sys.exit(f"{where}: id {ident} given twice")
            if name in names.values():
                sys.exit(f"{where}: the name {name} given twice")
            names[ident] = name
            try:
                entries[ident] = unescape(entry, where).encode('cp932')
            except UnicodeEncodeError as e:
                sys.exit(f"{where}: not representable in CP932: {e}")
    lines = [
        '// Generated from resources/strings.txt by scripts/gen_strings.py; do not edit.',
        '#include "settings/string_table.h"',
        '',
        'namespace zelo {',
        '',
        'const StringTableEntry kStringTable[] = {',
    ]
    for ident in sorted(entries):
        data = entries[ident]
        lines.append(f'    {{{ident}, {c_literal(data)}, {len(data)}}},')
    lines += [
        '};',
        '',
        f'const std::size_t kStringTableSize = {len(entries)};',
        '',
        '}  // namespace zelo',
        '',
    ]
    with open(dst, 'w', encoding='ascii', newline='\n') as f:
        f.write('\n'.join(lines))
    head = [
        '#pragma once',
        '// Generated from resources/strings.txt by scripts/gen_strings.py; do not edit.',
        '// The string table\'s ids by name: LangStrings::text and the Frontend take',
        '// these, so an id that does not exist does not compile.',
        '',
        'namespace zelo {',
        '',
        'enum class Text : int {',
    ]
    head += [f'    {names[i]} = {i},' for i in sorted(names)]
    head += ['};', '', '}  // namespace zelo', '']
    with open(header, 'w', encoding='ascii', newline='\n') as f:
        f.write('\n'.join(head))


if __name__ == '__main__':
    main()
