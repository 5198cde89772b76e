#!/usr/bin/env bash
# Makes the release into dist/ (or --out DIR), from a clean tree:
#   viterbo-attigliano-<version>-windows.zip   the Windows programs, cross-built with mingw-w64
#   viterbo-attigliano-<version>-linux.tar.gz  the Linux programs
#   scenario-sources-<version>.vsix            the Visual Studio Code extension, as in both
#   SHA256SUMS                                 the digest of each of them
# Each archive holds one folder: the installer, scenario-tool, the authors' guide (guide/: the
# README's authors' section and docs/source-format.md, as Markdown and as one self-contained
# HTML page; the Italian guide and source format, docs/it/, as Markdown and as one self-contained
# HTML page each, every page linking to the others within the folder), the editor files
# (editors/: a Notepad++ user-defined language for the two sources and the Visual Studio Code
# extension as a .vsix), a starter scenario (starter/: what `scenario-tool init` writes),
# CHANGELOG.md and VERSION.
#
# What is built is HEAD, taken with `git archive` (a tree with changes is refused: commit them),
# or with --tree the working tree as it is (tracked and untracked files, not the ignored ones).
# Everything is built in a new folder under $TMPDIR, never in build/, with the compilers' paths
# mapped to '.' and every date set to SOURCE_DATE_EPOCH (by default the commit's date), so two
# runs on the same commit, in any folder and at any time, give the same bytes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/dist
from_tree=0
while [ $# -gt 0 ]; do
  case $1 in
    --out) out=$2; shift 2 ;;
    --tree) from_tree=1; shift ;;
    *) echo "usage: bash scripts/release.sh [--tree] [--out DIR]" >&2; exit 1 ;;
  esac
done

# In git only when the tree is a work tree's top: a copy of the sources lying inside another
# work tree (a build folder, say) is a copy outside git.
in_git=0
top=$(git -C "$root" rev-parse --show-toplevel 2>/dev/null || true)
if [ -n "$top" ] && [ "$(cd "$top" && pwd -P)" = "$(cd "$root" && pwd -P)" ]; then
  in_git=1
fi
if [ $in_git = 1 ]; then
  if [ $from_tree = 0 ] && [ -n "$(git -C "$root" status --porcelain --untracked-files=normal)" ]; then
    echo "release: the tree has changes that are not committed; commit them, or use --tree" >&2
    git -C "$root" status --short >&2
    exit 1
  fi
  : "${SOURCE_DATE_EPOCH:=$(git -C "$root" log -1 --format=%ct)}"
else
  # Outside git (an unpacked copy of the sources): the tree as it is, at a fixed date.
  from_tree=1
  : "${SOURCE_DATE_EPOCH:=1767225600}"  # 2026-01-01 00:00:00 UTC
fi
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
# The extension's packages come with npm (from the registry, or npm's cache): asked first, not
# after the builds.
if ! command -v npm >/dev/null; then
  echo "release: npm is needed to pack the Visual Studio Code extension (editors/vscode/)" >&2
  exit 1
fi
umask 022

work=$(mktemp -d "${TMPDIR:-/tmp}/release.XXXXXX")
case $work in
  *[[:space:]]*)
    # The compilers' flags are a list of words: a path in them cannot hold a blank.
    echo "release: the work folder $work holds a blank; set TMPDIR to a folder without" >&2
    rmdir "$work"
    exit 1 ;;
esac
trap 'rm -rf "$work"' EXIT
src=$work/src
mkdir -p "$src"
if [ $from_tree = 0 ]; then
  git -C "$root" archive --format=tar HEAD | tar -x -C "$src"
elif [ $in_git = 1 ]; then
  (cd "$root" && git ls-files -z --cached --others --exclude-standard |
     while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
     tar --null -T - -cf -) | tar -x -C "$src"
else
  (cd "$root" && tar --exclude=./build* --exclude=./dist -cf - .) | tar -x -C "$src"
fi
version=$(head -n 1 "$src/VERSION")
name=viterbo-attigliano-$version
echo "release $version from $([ $from_tree = 1 ] && echo 'the working tree' || echo "HEAD $(git -C "$root" rev-parse --short HEAD)"), dated $(date -u -d "@$SOURCE_DATE_EPOCH" +%FT%TZ)"

# No compiler cache: what is compiled here is what ships. Paths in the objects are made
# relative to the work folder, and the executables carry no symbols.
unset CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER
export CCACHE_DISABLE=1
flags="-ffile-prefix-map=$work=."
jobs=${RELEASE_JOBS:-$(nproc)}
build() {  # build FOLDER [cmake options...]
  local dir=$1
  shift
  cmake -S "$src" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS_RELEASE=-s \
    "$@" >"$dir.log" 2>&1 || { cat "$dir.log" >&2; exit 1; }
  cmake --build "$dir" -j "$jobs" --target installer scenario-tool >>"$dir.log" 2>&1 ||
    { tail -n 60 "$dir.log" >&2; exit 1; }
}
echo "building for Linux"
build "$work/linux"
echo "building for Windows (mingw-w64)"
build "$work/windows" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64.cmake"

tool=$work/linux/tools/scenario-tool
if [ "$("$tool" --version)" != "scenario-tool $version" ]; then
  echo "release: scenario-tool --version says '$("$tool" --version)', VERSION says $version" >&2
  exit 1
fi

# What both archives hold besides the programs.
common=$work/common
mkdir -p "$common/guide/docs" "$common/editors" "$common/starter"
# The README's authors' section, its links made to point into the folder.
awk '/^## For scenario authors/ { on = 1 } /^## / && !/^## For scenario authors/ { on = 0 } on' \
  "$src/README.md" | sed -e 's#docs/source-format\.md#source-format.md#g' \
  > "$common/guide/authors-guide.md"
cp "$src/docs/source-format.md" "$common/guide/"
# The Italian pages, their links to one another, to the English pages and to docs/'s pictures
# made to point into the folder as well.
for page in guida formato-sorgenti; do
  sed -e 's#](\.\./\.\./README\.md#](authors-guide.md#g' \
    -e 's#](\.\./source-format\.md#](source-format.md#g' -e 's#](\.\./\([^)/]*\.png\))#](docs/\1)#g' \
    "$src/docs/it/$page.md" > "$common/guide/$page.md"
done
sed -i -e 's#docs/it/guida\.md#guida.md#g' -e 's#docs/it/formato-sorgenti\.md#formato-sorgenti.md#g' \
  "$common/guide/authors-guide.md"
cat "$common/guide/authors-guide.md" "$common/guide/guida.md" "$common/guide/formato-sorgenti.md" |
  grep -o '](docs/[^)]*\.png)' | sed 's/^](docs\/\(.*\))$/\1/' |
  sort -u | while read -r picture; do cp "$src/docs/$picture" "$common/guide/docs/"; done
# Each HTML page links to the others' HTML pages; the English source format is part of the
# English guide's.
html=$src/scripts/release/markdown_html.py
python3 "$html" --title "Scenario authors' guide $version" \
  --elsewhere "$common/guide/guida.md=guida.html" \
  --elsewhere "$common/guide/formato-sorgenti.md=formato-sorgenti.html" \
  -o "$common/guide/authors-guide.html" "$common/guide/authors-guide.md" \
  "$common/guide/source-format.md"
python3 "$html" --title "Guida per gli autori di scenari $version" --lang it \
  --elsewhere "$common/guide/formato-sorgenti.md=formato-sorgenti.html" \
  --elsewhere "$common/guide/authors-guide.md=authors-guide.html" \
  --elsewhere "$common/guide/source-format.md=authors-guide.html" \
  -o "$common/guide/guida.html" "$common/guide/guida.md"
python3 "$html" --title "Il formato dei sorgenti dello scenario $version" --lang it \
  --elsewhere "$common/guide/guida.md=guida.html" \
  --elsewhere "$common/guide/authors-guide.md=authors-guide.html" \
  --elsewhere "$common/guide/source-format.md=authors-guide.html" \
  -o "$common/guide/formato-sorgenti.html" "$common/guide/formato-sorgenti.md"
python3 "$src/scripts/release/notepadpp_udl.py" "$src/compiler/source_grammar.def" \
  "$src/VERSION" -o "$common/editors/scenario-sources.udl.xml"
# The Visual Studio Code extension as a .vsix: its files (not its grammar test) under extension/,
# with the packages it runs on as its package-lock.json pins them, its version the project's.
echo "packing the Visual Studio Code extension"
vsix=$work/vsix
mkdir -p "$vsix/extension"
(cd "$src/editors/vscode" && tar --exclude=./test -cf - .) | tar -x -C "$vsix/extension"
(cd "$vsix/extension" &&
   npm ci --omit=dev --ignore-scripts --no-bin-links --no-audit --no-fund >"$work/npm.log" 2>&1) ||
  { cat "$work/npm.log" >&2; echo "release: npm ci failed for editors/vscode/" >&2; exit 1; }
# npm's own record of what it installed, and the lock, are of no use to the editor.
rm -f "$vsix/extension/package-lock.json" "$vsix/extension/node_modules/.package-lock.json"
python3 "$src/scripts/release/vscode_vsix.py" "$vsix" "$src/VERSION"
python3 "$src/scripts/release/archive.py" "$vsix" "$common/editors/scenario-sources-$version.vsix" \
  --mtime "$SOURCE_DATE_EPOCH"
"$tool" init "$common/starter" --line Orte_Attigliano --train 2301 >/dev/null
cp "$src/CHANGELOG.md" "$src/VERSION" "$common/"

rm -rf "$out"
mkdir -p "$out"
stage=$work/stage
for platform in windows linux; do
  folder=$stage/$platform/$name-$platform
  mkdir -p "$folder"
  cp -r "$common/." "$folder/"
  if [ $platform = windows ]; then
    cp "$work/windows/app/Viterbo_Attigliano_7545.exe" "$work/windows/tools/scenario-tool.exe" \
      "$folder/"
    python3 "$src/scripts/release/archive.py" "$folder" "$out/$name-windows.zip" \
      --mtime "$SOURCE_DATE_EPOCH"
  else
    cp "$work/linux/app/Viterbo_Attigliano_7545" "$work/linux/tools/scenario-tool" "$folder/"
    python3 "$src/scripts/release/archive.py" "$folder" "$out/$name-linux.tar.gz" \
      --mtime "$SOURCE_DATE_EPOCH"
  fi
done
cp "$common/editors/scenario-sources-$version.vsix" "$out/"
(cd "$out" && sha256sum "$name-windows.zip" "$name-linux.tar.gz" "scenario-sources-$version.vsix" \
   > SHA256SUMS)
echo "made in $out:"
(cd "$out" && ls -l)
