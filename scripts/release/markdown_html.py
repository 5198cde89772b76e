#!/usr/bin/env python3
"""Writes Markdown pages as one self-contained HTML page, for reading offline.

What the authors' pages use, and only that: ATX headings, paragraphs, lists ('-', '*', '1.')
with their continuation lines, code blocks (indented by four blanks, or fenced), pipe tables,
and inline code, bold, emphasis, links and images. Images are put into the page as data: URIs
so that it stands alone; a link to another of the pages given becomes a link within the page,
and one to a page made into an HTML page of its own (--elsewhere PAGE.md=OTHER.html) a link to
that page, at that page's first heading. HTML in the text is shown as text, but for character
entities (&nbsp;).

    markdown_html.py --title TITLE [--lang LANG] [--elsewhere PAGE.md=OTHER.html ...]
                     -o OUT.html PAGE.md [PAGE.md ...]
"""
import argparse
import base64
import html
import os
import re
import sys

STYLE = """
body { font-family: system-ui, -apple-system, "Segoe UI", sans-serif; line-height: 1.5;
       max-width: 60em; margin: 2em auto; padding: 0 1em; color: #222; }
h1, h2, h3, h4 { line-height: 1.25; }
h1 { border-bottom: 2px solid #ccc; padding-bottom: .2em; }
h2 { border-bottom: 1px solid #ddd; padding-bottom: .2em; margin-top: 2em; }
code, pre { font-family: Consolas, "DejaVu Sans Mono", monospace; font-size: 0.92em; }
code { background: #f3f3f3; padding: 0 .2em; border-radius: 3px; }
pre { background: #f6f6f6; border: 1px solid #ddd; padding: .6em .8em; overflow-x: auto; }
pre code { background: none; padding: 0; }
table { border-collapse: collapse; margin: 1em 0; }
th, td { border: 1px solid #ccc; padding: .25em .5em; vertical-align: top; text-align: left; }
th { background: #f0f0f0; }
img { max-width: 100%; }
nav { border: 1px solid #ddd; padding: .5em 1em; background: #fafafa; }
"""

ENTITY = re.compile(r"&(#[0-9]+|#x[0-9a-fA-F]+|[A-Za-z][A-Za-z0-9]*);")


def escape(text):
    """HTML-escapes text, keeping character entities as they are."""
    out, last = [], 0
    for m in ENTITY.finditer(text):
        out.append(html.escape(text[last:m.start()], quote=False))
        out.append(m.group(0))
        last = m.end()
    out.append(html.escape(text[last:], quote=False))
    return "".join(out)


def slug(text):
    text = re.sub(r"[`*_\[\]()]", "", text).strip().lower()
    return re.sub(r"[^a-z0-9]+", "-", text).strip("-")


class Page:
    """One Markdown file: where it lies (for its images) and the anchors of the other pages."""

    def __init__(self, path, anchors, elsewhere=None):
        self.folder = os.path.dirname(os.path.abspath(path))
        self.anchors = anchors  # file name -> anchor of that page's first heading
        # file name -> (the HTML page it is in, the anchor of its first heading there)
        self.elsewhere = elsewhere or {}

    def target(self, url):
        name = os.path.basename(url.split("#")[0])
        part = url.split("#", 1)[1] if "#" in url else None
        if re.match(r"[a-z]+:", url):
            return url
        if name in self.anchors:
            return "#" + (part or self.anchors[name])
        if name in self.elsewhere:
            page, anchor = self.elsewhere[name]
            return page + ("#" + (part or anchor) if part or anchor else "")
        return url

    def image(self, url):
        if re.match(r"[a-z]+:", url):
            return url
        path = os.path.join(self.folder, url)
        kinds = {".png": "image/png", ".svg": "image/svg+xml", ".jpg": "image/jpeg",
                 ".jpeg": "image/jpeg", ".gif": "image/gif"}
        kind = kinds.get(os.path.splitext(path)[1].lower())
        if kind is None or not os.path.isfile(path):
            raise SystemExit(f"markdown_html: image {url} not found beside the page")
        with open(path, "rb") as f:
            return f"data:{kind};base64," + base64.b64encode(f.read()).decode("ascii")

    def inline(self, text):
        """Inline code first (its text is literal, kept aside meanwhile), then images, links,
        bold and emphasis."""
        codes = []

        def keep(m):
            codes.append("<code>" + escape(m.group(2).strip()) + "</code>")
            return f"\x00{len(codes) - 1}\x00"

        text = self.span(re.sub(r"(`+)(.+?)\1", keep, text.replace("\x00", "")))
        return re.sub("\x00([0-9]+)\x00", lambda m: codes[int(m.group(1))], text)

    def span(self, text):
        pieces = []
        last = 0
        for m in re.finditer(r"(!?)\[([^\]]*)\]\(([^)\s]+)\)", text):
            pieces.append(self.emphasis(text[last:m.start()]))
            label, url = m.group(2), m.group(3)
            if m.group(1):
                pieces.append(f'<img alt="{html.escape(label)}" src="{self.image(url)}">')
            else:
                pieces.append(f'<a href="{html.escape(self.target(url))}">'
                              f"{self.emphasis(label)}</a>")
            last = m.end()
        pieces.append(self.emphasis(text[last:]))
        return "".join(pieces)

    @staticmethod
    def emphasis(text):
        text = escape(text)
        text = re.sub(r"\*\*(\S(?:.*?\S)?)\*\*", r"<strong>\1</strong>", text)
        text = re.sub(r"(?<![\w*])\*(\S(?:[^*]*?\S)?)\*(?![\w*])", r"<em>\1</em>", text)
        text = re.sub(r"(?<![\w_])_(\S(?:[^_]*?\S)?)_(?![\w_])", r"<em>\1</em>", text)
        return text


def table_cells(line):
    line = line.strip()
    if line.startswith("|"):
        line = line[1:]
    if line.endswith("|") and not line.endswith("\\|"):
        line = line[:-1]
    cells, cell, in_code = [], "", False
    for c in line:
        if c == "`":
            in_code = not in_code
        if c == "|" and not in_code and not cell.endswith("\\"):
            cells.append(cell.strip())
            cell = ""
        else:
            cell += c
    cells.append(cell.strip())
    return [c.replace("\\|", "|") for c in cells]


LIST_ITEM = re.compile(r"^( *)([-*]|\d+\.) +(.*)$")
RULE_ROW = re.compile(r"^\s*\|?\s*:?-{3,}:?\s*(\|\s*:?-{3,}:?\s*)*\|?\s*$")


def convert(lines, page):
    """The HTML of one page's lines."""
    out = []
    i = 0
    n = len(lines)

    def blank(k):
        return k >= n or not lines[k].strip()

    while i < n:
        line = lines[i]
        if not line.strip():
            i += 1
            continue
        heading = re.match(r"^(#{1,6}) +(.*?)#*\s*$", line)
        if heading:
            level = len(heading.group(1))
            text = heading.group(2).strip()
            out.append(f'<h{level} id="{slug(text)}">{page.inline(text)}</h{level}>')
            i += 1
        elif line.startswith("```"):
            i += 1
            code = []
            while i < n and not lines[i].startswith("```"):
                code.append(lines[i])
                i += 1
            i += 1
            out.append("<pre><code>" + html.escape("\n".join(code), quote=False)
                       + "</code></pre>")
        elif line.startswith("    "):
            code = []
            while i < n and (lines[i].startswith("    ") or
                             (not lines[i].strip() and i + 1 < n and
                              lines[i + 1].startswith("    "))):
                code.append(lines[i][4:])
                i += 1
            out.append("<pre><code>" + html.escape("\n".join(code), quote=False)
                       + "</code></pre>")
        elif line.lstrip().startswith("|") and i + 1 < n and RULE_ROW.match(lines[i + 1]):
            head = table_cells(line)
            i += 2
            rows = []
            while i < n and lines[i].lstrip().startswith("|"):
                rows.append(table_cells(lines[i]))
                i += 1
            out.append("<table>\n<tr>" + "".join(f"<th>{page.inline(c)}</th>" for c in head)
                       + "</tr>")
            for row in rows:
                out.append("<tr>" + "".join(f"<td>{page.inline(c)}</td>" for c in row)
                           + "</tr>")
            out.append("</table>")
        elif LIST_ITEM.match(line):
            i = convert_list(lines, i, page, out)
        else:
            text = []
            while (i < n and lines[i].strip() and not re.match(r"^#{1,6} ", lines[i])
                   and not LIST_ITEM.match(lines[i]) and not lines[i].startswith("```")):
                text.append(lines[i].strip())
                i += 1
            out.append("<p>" + page.inline(" ".join(text)) + "</p>")
    return out


def convert_list(lines, i, page, out):
    """A list from line i, its items' continuation lines and nested lists; returns the line
    after it."""
    first = LIST_ITEM.match(lines[i])
    indent = len(first.group(1))
    ordered = first.group(2)[0].isdigit()
    tag = "ol" if ordered else "ul"
    out.append(f"<{tag}>")
    n = len(lines)
    while i < n:
        m = LIST_ITEM.match(lines[i])
        if not m or len(m.group(1)) != indent or m.group(2)[0].isdigit() != ordered:
            break
        text = [m.group(3).strip()]
        i += 1
        nested = []
        while i < n and lines[i].strip():
            sub = LIST_ITEM.match(lines[i])
            if sub and len(sub.group(1)) > indent:
                i = convert_list(lines, i, page, nested)
                continue
            if sub or not lines[i].startswith(" "):
                break
            text.append(lines[i].strip())
            i += 1
        # A blank line between items keeps the list going; one before anything else ends it.
        if i < n and not lines[i].strip():
            k = i
            while k < n and not lines[k].strip():
                k += 1
            following = LIST_ITEM.match(lines[k]) if k < n else None
            if following and len(following.group(1)) == indent:
                i = k
        out.append("<li>" + page.inline(" ".join(text)) + "".join(nested) + "</li>")
    out.append(f"</{tag}>")
    return i


def first_anchor(lines):
    """The anchor of a page's first heading, or None."""
    first = next((l for l in lines if re.match(r"^#{1,6} ", l)), None)
    return slug(first.lstrip("#")) if first else None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--title", required=True)
    parser.add_argument("--lang", default="en")
    parser.add_argument("--elsewhere", action="append", default=[], metavar="PAGE.md=OTHER.html")
    parser.add_argument("-o", "--output", required=True)
    parser.add_argument("pages", nargs="+")
    args = parser.parse_args()
    texts = []
    anchors = {}
    for path in args.pages:
        with open(path, encoding="utf-8") as f:
            lines = f.read().splitlines()
        texts.append((path, lines))
        anchor = first_anchor(lines)
        if anchor:
            anchors[os.path.basename(path)] = anchor
    elsewhere = {}
    for pair in args.elsewhere:
        path, page = pair.split("=", 1)
        with open(path, encoding="utf-8") as f:
            elsewhere[os.path.basename(path)] = (page, first_anchor(f.read().splitlines()) or "")
    body = []
    if len(texts) > 1:
        body.append("<nav>" + " | ".join(
            f'<a href="#{anchors[os.path.basename(p)]}">'
            f"{escape(next(l for l in ls if l.startswith('#')).lstrip('# '))}</a>"
            for p, ls in texts if os.path.basename(p) in anchors) + "</nav>")
    for path, lines in texts:
        body.extend(convert(lines, Page(path, anchors, elsewhere)))
    document = (f"<!DOCTYPE html>\n<html lang=\"{escape(args.lang)}\">\n<head>\n"
                "<meta charset=\"utf-8\">\n"
                f"<title>{escape(args.title)}</title>\n<style>{STYLE}</style>\n</head>\n<body>\n"
                + "\n".join(body) + "\n</body>\n</html>\n")
    with open(args.output, "w", encoding="utf-8", newline="\n") as f:
        f.write(document)


if __name__ == "__main__":
    sys.exit(main())
