#!/usr/bin/env python3
"""Makes a C++ table of a language's translations from the .mo file msgfmt compiles its PO file
into (msgfmt leaves out fuzzy and untranslated messages): every message with its translation,
sorted by the English text as bytes, and the language's plural rule as a C++ function. Refuses a
translation whose {N} placeholders are not its message's, and a plural rule that is not a plain
arithmetic expression of n.

usage: po_catalogue.py MO_FILE OUTPUT.cpp VARIABLE"""
import re
import struct
import sys

PLACEHOLDER = re.compile(rb"\{[1-9]\}")


def read_mo(path):
    data = open(path, "rb").read()
    magic = struct.unpack("<I", data[:4])[0]
    order = "<" if magic == 0x950412DE else ">"
    if struct.unpack(order + "I", data[:4])[0] != 0x950412DE:
        sys.exit(f"{path}: not a .mo file")
    _, count, originals, translations = struct.unpack(order + "4I", data[4:20])

    def string(table, i):
        length, offset = struct.unpack(order + "2I", data[table + 8 * i : table + 8 * i + 8])
        return data[offset : offset + length]

    return [(string(originals, i), string(translations, i)) for i in range(count)]


def plural_rule(header):
    match = re.search(rb"Plural-Forms:\s*nplurals\s*=\s*(\d+)\s*;\s*plural\s*=\s*([^;\n]+)", header)
    if not match:
        return 2, "n != 1"
    expression = match.group(2).decode().strip()
    if not re.fullmatch(r"[n0-9\s()!=<>&|?:%+\-*/]+", expression):
        sys.exit(f"plural rule not an expression of n: {expression}")
    return int(match.group(1)), expression


def literal(text):
    out = []
    for byte in text:
        c = chr(byte)
        if c in '"\\?':
            out.append("\\" + c)
        elif 32 <= byte < 127:
            out.append(c)
        else:
            out.append("\\%03o" % byte)
    return '"' + "".join(out) + '"'


def main():
    mo_path, output, variable = sys.argv[1:4]
    messages = read_mo(mo_path)
    header = dict(messages).get(b"", b"")
    nplurals, expression = plural_rule(header)
    entries = []
    for english, translated in messages:
        if not english:
            continue
        if b"\x04" in english:
            sys.exit(f"message with a context, which the tool does not look up: {english!r}")
        wanted = set(PLACEHOLDER.findall(english))
        forms = translated.split(b"\0")
        for form in forms:
            have = set(PLACEHOLDER.findall(form))
            plural = b"\0" in english
            if (plural and not have <= wanted) or (not plural and have != wanted):
                sys.exit(f"{mo_path}: the placeholders of {form!r} are not those of {english!r}")
        entries.append((english, translated))
    entries.sort()
    lines = [
        "// Made by cmake/po_catalogue.py from " + mo_path.rsplit("/", 1)[-1] + ": do not edit.",
        '#include "tools/language/catalogue.h"',
        "",
        "namespace {",
        "",
        "using namespace std::string_view_literals;",
        "",
    ]
    if entries:
        lines.append("const CatalogueEntry kEntries[] = {")
        for english, translated in entries:
            lines.append(f"    {{{literal(english)}sv,\n     {literal(translated)}sv}},")
        lines.append("};")
    lines += [
        "",
        "size_t plural_form(uint64_t n) {",
        f"  const uint64_t form = ({expression});",
        f"  return form < {nplurals} ? size_t(form) : {nplurals - 1};",
        "}",
        "",
        "}  // namespace",
        "",
        f"extern const Catalogue {variable} = {{"
        + ("kEntries, sizeof kEntries / sizeof kEntries[0]" if entries else "nullptr, 0")
        + ", plural_form};",
    ]
    open(output, "w").write("\n".join(lines) + "\n")


main()
