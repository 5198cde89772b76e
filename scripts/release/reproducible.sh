#!/usr/bin/env bash
# Makes the release twice from the same tree, in two different folders, one after the other,
# and compares: every file of the two dist/ folders must be the same bytes, and no program in
# them may hold the folder it was built in, the tree's own path or the machine's name; the
# Windows programs' PE headers carry no link time.
#
#   reproducible.sh SOURCE_TREE WORK
#
# The first run's dist/ stays in WORK/a/dist, for the smoke tests. Exit 77 without mingw-w64
# or without node and npm (outside CI).
set -euo pipefail
tree=$(cd "$1" && pwd)
work=$2
rm -rf "$work"
mkdir -p "$work/a/tmp" "$work/b/elsewhere/tmp"
work=$(cd "$work" && pwd)

fail() {
  echo "FAILED: $*" >&2
  exit 1
}
# One date for both runs, even when a commit lands between them.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$tree" log -1 --format=%ct 2>/dev/null || echo 1767225600)
fi
export SOURCE_DATE_EPOCH
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null && ! command -v x86_64-w64-mingw32-g++ >/dev/null; then
  [ "${CI:-}" = true ] && fail "missing mingw-w64, which the release needs"
  echo "skipped: missing mingw-w64, which the release needs"
  exit 77
fi
if ! command -v npm >/dev/null || ! command -v node >/dev/null; then
  [ "${CI:-}" = true ] && fail "missing node or npm, which the release needs for the .vsix"
  echo "skipped: missing node or npm, which the release needs for the .vsix"
  exit 77
fi
# One copy of the tree (its tracked and untracked files, not the ignored ones) for both runs, so
# that an edit made while they build cannot make them differ.
snapshot=$work/tree
mkdir -p "$snapshot"
top=$(git -C "$tree" rev-parse --show-toplevel 2>/dev/null || true)
if [ -n "$top" ] && [ "$(cd "$top" && pwd -P)" = "$(cd "$tree" && pwd -P)" ]; then
  (cd "$tree" && git ls-files -z --cached --others --exclude-standard |
     while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
     tar --null -T - -cf -) | tar -x -C "$snapshot"
else
  (cd "$tree" && tar --exclude=./build* --exclude=./dist -cf - .) | tar -x -C "$snapshot"
fi
for run in a "b/elsewhere"; do
  started=$(date +%s)
  TMPDIR="$work/$run/tmp" bash "$snapshot/scripts/release.sh" --tree --out "$work/$run/dist"
  echo "release in $work/$run: $(($(date +%s) - started)) s"
done

diff <(cd "$work/a/dist" && find . -type f | sort) \
  <(cd "$work/b/elsewhere/dist" && find . -type f | sort) ||
  fail "the two runs made different files"
for f in $(cd "$work/a/dist" && find . -type f | sort); do
  cmp "$work/a/dist/$f" "$work/b/elsewhere/dist/$f" || fail "$f differs between the runs"
done
echo "the two runs gave the same bytes:"
cat "$work/a/dist/SHA256SUMS"

# What the programs hold: unpacked once more, for strings and objdump.
unpacked=$work/unpacked
mkdir -p "$unpacked"
python3 -m zipfile -e "$work"/a/dist/*-windows.zip "$unpacked"
tar -xzf "$work"/a/dist/*-linux.tar.gz -C "$unpacked"
# The guide in both archives: the English and the Italian pages, each linking only to pages and
# headings that are there.
for bundle in "$unpacked"/*/; do
  python3 - "$bundle/guide" <<'LINKS' || fail "the guide in $bundle"
import os, re, sys
guide = sys.argv[1]
pages = ["authors-guide.md", "authors-guide.html", "source-format.md", "guida.md", "guida.html",
         "formato-sorgenti.md", "formato-sorgenti.html"]
missing = [p for p in pages if not os.path.isfile(os.path.join(guide, p))]
assert not missing, f"missing {missing}"
def ids(name):
    with open(os.path.join(guide, name), encoding="utf-8") as f:
        return set(re.findall(r' id="([^"]*)"', f.read()))
for page in pages:
    with open(os.path.join(guide, page), encoding="utf-8") as f:
        text = f.read()
    links = re.findall(r'href="([^"]*)"' if page.endswith(".html") else r"\]\(([^)\s]+)\)", text)
    for link in links:
        if re.match(r"[a-z]+:", link):
            continue
        name, _, anchor = link.partition("#")
        target = name or page
        assert os.path.isfile(os.path.join(guide, target)), f"{page}: {link} is not in the folder"
        if anchor and target.endswith(".html"):
            assert anchor in ids(target), f"{page}: {link} has no such heading"
    if page.startswith(("guida", "formato")):
        other = {"guida": "formato-sorgenti", "formato-sorgenti": "guida"}[page.split(".")[0]]
        assert any(l.startswith(other + "." + page.split(".")[1]) for l in links), \
            f"{page} does not link to {other}"
print(f"{guide}: {len(pages)} pages, their links inside the folder")
LINKS
done
host=$(hostname)
for program in "$unpacked"/*/Viterbo_Attigliano_7545* "$unpacked"/*/scenario-tool*; do
  for needle in "$work" "$tree" "$snapshot"; do
    if strings -a "$program" | grep -F -q -- "$needle"; then
      fail "$program holds '$needle'"
    fi
  done
  # The host name as a word of its own; a name of a few letters is a word of many texts
  # (this machine's 'vm' is in the C library's /proc/sys/vm/), so it is looked for from four on.
  if [ ${#host} -ge 4 ] && strings -a "$program" | grep -w -F -q -- "$host"; then
    fail "$program holds the host name '$host'"
  fi
  case $program in
    *.exe)
      if command -v x86_64-w64-mingw32-objdump >/dev/null; then
        stamp=$(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^Time\/Date[[:space:]]*//p')
        case $stamp in *1970*) ;; *) fail "$program carries a link time: $stamp" ;; esac
      fi ;;
  esac
done
[ ${#host} -ge 4 ] || echo "the host name '$host' is too short to look for"
echo "no build folder, tree path or host name in the programs; no link time in the .exe"
