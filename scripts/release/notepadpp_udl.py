#!/usr/bin/env python3
"""Writes a Notepad++ user-defined language for the two scenario sources, from the rows of
compiler/source_grammar.def, so that it names every keyword the readers know.

The line source's keywords are one colour, the train source's another; a section name such as
[generale] or [fine], a text in parentheses and a station's name are coloured as what they are
not (the format has no comments, so the language defines none); numbers and the ',' between
fields are marked. Notepad++ takes it with Language > User Defined Language > Import.

    notepadpp_udl.py compiler/source_grammar.def VERSION -o scenario-sources.udl.xml
"""
import argparse
import re
import sys
from xml.sax.saxutils import quoteattr, escape


def rows(grammar_text):
    """(part, spellings) of each ROW(...) of the table, in its order."""
    text = re.sub(r"//[^\n]*", "", grammar_text)
    found = []
    for m in re.finditer(r"\bROW\((.*?)\)\s*(?=ROW\(|$)", text, re.S):
        fields = re.findall(r'"((?:[^"\\]|\\.)*)"|([A-Za-z_][A-Za-z0-9_]*|[0-9]+)', m.group(1))
        values = [q if q or not w else w for q, w in fields]
        # ROW(id, part, keyword, also, case, numbers, text, values, spellings, names...)
        found.append((values[1], values[8].split("|")))
    return found


def keyword_words(spellings):
    """The words of a keyword list: a spelling of several words in quotes, and a curve's
    spelling as the prefix its digit follows (curvad4: curvad1 to curvad6 are all curves)."""
    words = []
    for spelling in spellings:
        if re.search(r"[a-z]\d$", spelling):
            spelling = spelling[:-1]
        word = f'"{spelling}"' if " " in spelling else spelling
        if word not in words:
            words.append(word)
    return " ".join(words)


def language(grammar_text, version):
    line_keywords, train_keywords = [], []
    for part, spellings in rows(grammar_text):
        (train_keywords if part == "kTrain" else line_keywords).extend(spellings)
    if not line_keywords or not train_keywords:
        raise SystemExit("notepadpp_udl: the grammar table gave no rows")
    lists = {
        "Comments": "00 01 02 03 04",
        "Numbers, prefix1": "", "Numbers, prefix2": "", "Numbers, extras1": "",
        "Numbers, extras2": "", "Numbers, suffix1": "", "Numbers, suffix2": "",
        "Numbers, range": "",
        "Operators1": ",", "Operators2": "",
        "Folders in code1, open": "", "Folders in code1, middle": "",
        "Folders in code1, close": "", "Folders in code2, open": "",
        "Folders in code2, middle": "", "Folders in code2, close": "",
        "Folders in comment, open": "", "Folders in comment, middle": "",
        "Folders in comment, close": "",
        "Keywords1": keyword_words(line_keywords),
        "Keywords2": keyword_words(train_keywords),
        "Keywords3": "", "Keywords4": "", "Keywords5": "", "Keywords6": "", "Keywords7": "",
        "Keywords8": "",
        # Delimiter 1: a section name; delimiter 2: a text in parentheses.
        "Delimiters": "00[ 01 02] 03( 04 05) 06 07 08 09 10 11 12 13 14 15 16 17 18 19 20 21 22 23",
    }
    styles = [
        ("DEFAULT", "000000", 0), ("COMMENTS", "008000", 0), ("LINE COMMENTS", "008000", 0),
        ("NUMBERS", "FF8000", 0), ("KEYWORDS1", "0000FF", 1), ("KEYWORDS2", "8000FF", 1),
        ("KEYWORDS3", "000000", 0), ("KEYWORDS4", "000000", 0), ("KEYWORDS5", "000000", 0),
        ("KEYWORDS6", "000000", 0), ("KEYWORDS7", "000000", 0), ("KEYWORDS8", "000000", 0),
        ("OPERATORS", "808080", 1), ("FOLDER IN CODE1", "000000", 0),
        ("FOLDER IN CODE2", "000000", 0), ("FOLDER IN COMMENT", "000000", 0),
        ("DELIMITERS1", "800000", 1), ("DELIMITERS2", "008080", 0),
        ("DELIMITERS3", "000000", 0), ("DELIMITERS4", "000000", 0), ("DELIMITERS5", "000000", 0),
        ("DELIMITERS6", "000000", 0), ("DELIMITERS7", "000000", 0), ("DELIMITERS8", "000000", 0),
    ]
    out = ['<?xml version="1.0" encoding="UTF-8" ?>',
           f"<!-- Scenario sources {escape(version)}: the line source <line>_linea.txt and the"
           " train source <line>_<train>-.txt. Made from the compiler's table of rows. -->",
           "<NotepadPlus>",
           '    <UserLang name="Scenario sources" ext="" udlVersion="2.1">',
           "        <Settings>",
           '            <Global caseIgnored="yes" allowFoldOfComments="no" foldCompact="no"'
           ' forcePureLC="0" decimalSeparator="0" />',
           '            <Prefix Keywords1="yes" Keywords2="yes" Keywords3="no" Keywords4="no"'
           ' Keywords5="no" Keywords6="no" Keywords7="no" Keywords8="no" />',
           "        </Settings>",
           "        <KeywordLists>"]
    for name, words in lists.items():
        out.append(f"            <Keywords name={quoteattr(name)}>{escape(words)}</Keywords>")
    out += ["        </KeywordLists>", "        <Styles>"]
    for name, colour, bold in styles:
        out.append(f'            <WordsStyle name="{name}" fgColor="{colour}" bgColor="FFFFFF"'
                   f' fontName="" fontStyle="{bold}" nesting="0" />')
    out += ["        </Styles>", "    </UserLang>", "</NotepadPlus>", ""]
    return "\r\n".join(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("grammar")
    parser.add_argument("version_file")
    parser.add_argument("-o", "--output", required=True)
    args = parser.parse_args()
    with open(args.grammar, encoding="utf-8") as f:
        grammar = f.read()
    with open(args.version_file, encoding="utf-8") as f:
        version = f.read().strip()
    with open(args.output, "w", encoding="utf-8", newline="") as f:
        f.write(language(grammar, version))


if __name__ == "__main__":
    sys.exit(main())
