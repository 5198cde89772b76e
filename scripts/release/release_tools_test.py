#!/usr/bin/env python3
"""Tests of the release's helpers: the Markdown page converter on the authors' own pages and on
each construct they use, the Notepad++ language against the grammar table, the archives'
independence of file dates and creation order, and the Visual Studio Code extension's manifest
and pinned packages.

    release_tools_test.py SOURCE_TREE
"""
import json
import os
import re
import subprocess
import sys
import tarfile
import tempfile
import time
import unittest
import zipfile
from xml.etree import ElementTree

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import archive  # noqa: E402
import markdown_html  # noqa: E402
import notepadpp_udl  # noqa: E402
import vscode_vsix  # noqa: E402

TREE = None


def page_html(text, folder=HERE):
    page = markdown_html.Page(os.path.join(folder, "page.md"), {"other.md": "other-page"},
                              {"apart.md": ("apart.html", "apart-page")})
    return "\n".join(markdown_html.convert(text.splitlines(), page))


class MarkdownTest(unittest.TestCase):
    def test_constructs(self):
        cases = [
            ("# Title `x`", '<h1 id="title-x">Title <code>x</code></h1>'),
            ("one\ntwo", "<p>one two</p>"),
            ("**bold `code`.** and *em* but X * 3 * Y", "<p><strong>bold <code>code</code>."
             "</strong> and <em>em</em> but X * 3 * Y</p>"),
            ("a <b> & `<i>` &nbsp;", "<p>a &lt;b&gt; &amp; <code>&lt;i&gt;</code> &nbsp;</p>"),
            ("[site](https://x.org/a) [other](other.md) [there](other.md#part)",
             '<p><a href="https://x.org/a">site</a> <a href="#other-page">other</a> '
             '<a href="#part">there</a></p>'),
            ("[apart](../apart.md) [part](apart.md#b) [md](kept.md)",
             '<p><a href="apart.html#apart-page">apart</a> <a href="apart.html#b">part</a> '
             '<a href="kept.md">md</a></p>'),
            ("    code <a>\n\n    more", "<pre><code>code &lt;a&gt;\n\nmore</code></pre>"),
            ("```\nfenced *x*\n```", "<pre><code>fenced *x*</code></pre>"),
            ("- one\n  two\n- three\n  - inner", "<ul>\n<li>one two</li>\n<li>three<ul>"
             "<li>inner</li></ul></li>\n</ul>"),
            ("1. first\n\n2. second", "<ol>\n<li>first</li>\n<li>second</li>\n</ol>"),
            ("| a | `b|c` |\n|---|:---:|\n| 1 | 2 |", "<table>\n<tr><th>a</th><th><code>b|c"
             "</code></th></tr>\n<tr><td>1</td><td>2</td></tr>\n</table>"),
        ]
        for markdown, expected in cases:
            with self.subTest(markdown=markdown):
                self.assertEqual(page_html(markdown), expected)

    def test_image_is_put_into_the_page(self):
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(folder, "p.png"), "wb") as f:
                f.write(b"\x89PNG")
            self.assertEqual(page_html("![a p](p.png)", folder),
                             '<p><img alt="a p" src="data:image/png;base64,iVBORw=="></p>')
            with self.assertRaises(SystemExit):
                page_html("![gone](q.png)", folder)

    def test_the_authors_pages(self):
        """Every heading, table, code block and link of the README's authors' section and of
        the source format comes out as such, and no Markdown is left over."""
        with open(os.path.join(TREE, "README.md"), encoding="utf-8") as f:
            readme = f.read()
        section = readme[readme.index("## For scenario authors"):readme.index("\n## ", readme.index("## For scenario authors") + 3)]
        pages = [("README", section, TREE)]
        for name in ("source-format.md", "it/guida.md", "it/formato-sorgenti.md"):
            path = os.path.join(TREE, "docs", name)
            with open(path, encoding="utf-8") as f:
                pages.append((name, f.read(), os.path.dirname(path)))
        for name, text, folder in pages:
            with self.subTest(page=name):
                out = page_html(text, folder)
                lines = text.splitlines()
                self.assertEqual(out.count("<h"), sum(1 for l in lines if re.match("#+ ", l)))
                self.assertEqual(out.count("<table>"),
                                 sum(1 for l in lines if markdown_html.RULE_ROW.match(l)))
                self.assertEqual(out.count("<a href") + out.count("<img"),
                                 len(re.findall(r"\]\(", text)))
                plain = re.sub(r"<pre><code>.*?</code></pre>|<code>.*?</code>", "", out,
                               flags=re.S)
                for leftover in ("**", "```", "](", "\n#", "|---"):
                    self.assertNotIn(leftover, plain)


class LanguageTest(unittest.TestCase):
    def test_every_row_of_the_table_is_named(self):
        with open(os.path.join(TREE, "compiler", "source_grammar.def"), encoding="utf-8") as f:
            grammar = f.read()
        rows = notepadpp_udl.rows(grammar)
        self.assertEqual(len(rows), len(re.findall(r"^ROW\(", grammar, re.M)))
        udl = notepadpp_udl.language(grammar, "1.0.0")
        lists = dict(re.findall(r'<Keywords name="(Keywords[12])">(.*?)</Keywords>', udl))
        for part, spellings in rows:
            words = lists["Keywords2" if part == "kTrain" else "Keywords1"]
            for spelling in spellings:
                with self.subTest(spelling=spelling):
                    word = f'"{spelling}"' if " " in spelling else spelling
                    # A curve's digit is left to the prefix match.
                    listed = re.findall(r'"[^"]*"|\S+', words)
                    self.assertTrue(word in listed or re.sub(r"\d$", "", word) in listed, words)


class ArchiveTest(unittest.TestCase):
    def make_folder(self, root, order, mtime):
        folder = os.path.join(root, "bundle")
        for name in order:
            path = os.path.join(folder, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write(name)
            os.chmod(path, 0o775 if name.endswith("run") else 0o600)
            os.utime(path, (mtime, mtime))
        return folder

    def test_same_bytes_whatever_the_dates_and_order(self):
        in_folder = ["bundle/", "bundle/a.txt", "bundle/b.txt", "bundle/x/", "bundle/x/run"]
        # A .vsix holds the files at its root, without folder entries.
        for suffix, expected in ((".zip", in_folder), (".tar.gz", in_folder),
                                 (".vsix", ["a.txt", "b.txt", "x/run"])):
            with self.subTest(kind=suffix), tempfile.TemporaryDirectory() as a, \
                    tempfile.TemporaryDirectory() as b:
                first = self.make_folder(a, ["x/run", "b.txt", "a.txt"], 1000000000)
                second = self.make_folder(b, ["a.txt", "b.txt", "x/run"], 1700000000)
                archive_a = os.path.join(a, "out" + suffix)
                archive_b = os.path.join(b, "out" + suffix)
                sys_argv = sys.argv
                for folder, out in ((first, archive_a), (second, archive_b)):
                    sys.argv = ["archive.py", folder, out, "--mtime", "1765400000"]
                    archive.main()
                sys.argv = sys_argv
                with open(archive_a, "rb") as fa, open(archive_b, "rb") as fb:
                    self.assertEqual(fa.read(), fb.read())
                if suffix != ".tar.gz":
                    with zipfile.ZipFile(archive_a) as z:
                        names = [i.filename for i in z.infolist()]
                        modes = {i.filename: i.external_attr >> 16 & 0o777 for i in z.infolist()}
                        dates = {i.date_time for i in z.infolist()}
                    self.assertEqual(dates, {time.gmtime(1765400000)[:6]})
                else:
                    with tarfile.open(archive_a) as t:
                        names = [m.name + ("/" if m.isdir() else "") for m in t.getmembers()]
                        modes = {m.name + ("/" if m.isdir() else ""): m.mode
                                 for m in t.getmembers()}
                        self.assertEqual({(m.mtime, m.uid, m.gid, m.uname)
                                          for m in t.getmembers()}, {(1765400000, 0, 0, "")})
                self.assertEqual(names, expected)
                top = "" if suffix == ".vsix" else "bundle/"
                self.assertEqual(modes[top + "x/run"], 0o755)
                self.assertEqual(modes[top + "a.txt"], 0o644)


class VsixTest(unittest.TestCase):
    PACKAGE = {"name": "ext", "publisher": "pub", "version": "0.0.1", "displayName": "A & <B>",
               "description": "d", "engines": {"vscode": "^1.82.0"}, "main": "./main.js",
               "dependencies": {"dep": "1.0.0"}}

    def prepared(self, folder, package):
        os.makedirs(os.path.join(folder, "extension", "node_modules", "dep"))
        for name, text in (("package.json", json.dumps(package)), ("main.js", ""),
                           ("node_modules/dep/LICENSE", "x"), ("node_modules/dep/a.d.ts", "")):
            with open(os.path.join(folder, "extension", name), "w") as f:
                f.write(text)
        vscode_vsix.prepare(folder, "9.8.7")

    def test_manifest_and_content_types(self):
        with tempfile.TemporaryDirectory() as folder:
            self.prepared(folder, self.PACKAGE)
            with open(os.path.join(folder, "extension", "package.json")) as f:
                self.assertEqual(json.load(f), dict(self.PACKAGE, version="9.8.7"))
            ns = {"m": "http://schemas.microsoft.com/developer/vsx-schema/2011"}
            root = ElementTree.parse(os.path.join(folder, "extension.vsixmanifest")).getroot()
            self.assertEqual(root.find("m:Metadata/m:Identity", ns).attrib,
                             {"Language": "en-US", "Id": "ext", "Version": "9.8.7",
                              "Publisher": "pub"})
            self.assertEqual(root.find("m:Metadata/m:DisplayName", ns).text, "A & <B>")
            properties = {p.get("Id"): p.get("Value")
                          for p in root.findall("m:Metadata/m:Properties/m:Property", ns)}
            self.assertEqual(properties["Microsoft.VisualStudio.Code.Engine"], "^1.82.0")
            self.assertEqual(root.find("m:Installation/m:InstallationTarget", ns).get("Id"),
                             "Microsoft.VisualStudio.Code")
            self.assertEqual([(a.get("Type"), a.get("Path"))
                              for a in root.findall("m:Assets/m:Asset", ns)],
                             [("Microsoft.VisualStudio.Code.Manifest", "extension/package.json")])
            # Every file has a content type: by its extension, or one of its own.
            ns = {"t": "http://schemas.openxmlformats.org/package/2006/content-types"}
            types = ElementTree.parse(os.path.join(folder, "[Content_Types].xml")).getroot()
            defaults = {d.get("Extension") for d in types.findall("t:Default", ns)}
            overrides = {o.get("PartName") for o in types.findall("t:Override", ns)}
            for name in vscode_vsix.files_of(folder):
                with self.subTest(name=name):
                    extension = os.path.splitext(name)[1][1:]
                    self.assertTrue(extension in defaults or "/" + name in overrides)

    def test_a_field_missing_is_refused(self):
        for field in ("name", "publisher", "engines"):
            with self.subTest(field=field), tempfile.TemporaryDirectory() as folder:
                package = {k: v for k, v in self.PACKAGE.items() if k != field}
                with self.assertRaises(SystemExit):
                    self.prepared(folder, package)

    def test_the_lock_pins_the_extensions_packages(self):
        """What editors/vscode/package.json depends on is pinned to one version, and the
        package-lock.json the release installs from has that version."""
        folder = os.path.join(TREE, "editors", "vscode")
        with open(os.path.join(folder, "package.json")) as f:
            package = json.load(f)
        with open(os.path.join(folder, "package-lock.json")) as f:
            lock = json.load(f)
        self.assertEqual(lock["packages"][""]["dependencies"], package["dependencies"])
        for name, version in package["dependencies"].items():
            with self.subTest(package=name):
                self.assertRegex(version, r"^\d+\.\d+\.\d+$")
                self.assertEqual(lock["packages"]["node_modules/" + name]["version"], version)

    def test_every_text_the_settings_name_is_in_each_language(self):
        """The settings' descriptions in editors/vscode/package.json are "%key%", looked up in
        package.nls.json (English) and package.nls.<language>.json: each has every key."""
        folder = os.path.join(TREE, "editors", "vscode")
        with open(os.path.join(folder, "package.json")) as f:
            keys = set(re.findall(r'"%([^"%]+)%"', f.read()))
        self.assertTrue(keys)
        for name in sorted(os.listdir(folder)):
            if not re.fullmatch(r"package\.nls(\.[a-z-]+)?\.json", name):
                continue
            with self.subTest(file=name), open(os.path.join(folder, name), encoding="utf-8") as f:
                self.assertEqual(set(json.load(f)), keys)


if __name__ == "__main__":
    TREE = sys.argv.pop(1)
    unittest.main()
