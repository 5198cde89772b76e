#!/usr/bin/env bash
# Tries a release archive as its user would: checks it against SHA256SUMS, unpacks it into a
# folder whose name holds accents and a blank, runs the installer there (the six files it writes
# must be those the reference installer writes), checks the starter scenario with the archive's
# scenario-tool, packages it into an installer of its own and runs that one. The Windows archive
# runs under Wine.
#
#   smoke.sh windows|linux DIST REFERENCE_INSTALLER WORK
#
# DIST is a folder made by scripts/release.sh; REFERENCE_INSTALLER a Linux installer from the
# same sources, whose output is the shipped scenario; WORK a folder to work in (emptied first).
# Exit 77 when Wine or a display is missing for the Windows archive (outside CI).
set -euo pipefail
platform=$1
dist=$(cd "$2" && pwd)
reference=$3
work=$4
export LANG=C.UTF-8 LC_ALL=C.UTF-8

fail() {
  echo "FAILED: $*" >&2
  exit 1
}
if [ "$platform" = windows ]; then
  missing=""
  command -v wine >/dev/null || missing="wine"
  [ -n "${DISPLAY:-}" ] || missing="an X display (run under xvfb-run)"
  [ -n "${WINEPREFIX:-}" ] || missing="a Wine prefix (WINEPREFIX, which scripts/test.sh sets)"
  if [ -n "$missing" ]; then
    [ "${CI:-}" = true ] && fail "missing $missing"
    echo "skipped: missing $missing"
    exit 77
  fi
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEPREFIX
  run() { timeout 300 wine "$@"; }
  exe=.exe
  target=windows
else
  run() { timeout 300 "$@"; }
  exe=""
  target=linux
fi

echo "== the download against SHA256SUMS"
(cd "$dist" && sha256sum -c SHA256SUMS) || fail "SHA256SUMS does not match"
version=$(sed -n 's/.*viterbo-attigliano-\([0-9.]*\)-linux\.tar\.gz$/\1/p' "$dist/SHA256SUMS")
[ -n "$version" ] || fail "no Linux archive named in SHA256SUMS"

rm -rf "$work"
folder="$work/Scenari di Città Alta è prova"
mkdir -p "$folder"
echo "== unpacked into $folder"
if [ "$platform" = windows ]; then
  python3 -m zipfile -e "$dist/viterbo-attigliano-$version-windows.zip" "$folder"
else
  tar -xzf "$dist/viterbo-attigliano-$version-linux.tar.gz" -C "$folder"
fi
bundle="$folder/viterbo-attigliano-$version-$platform"
expected="CHANGELOG.md
VERSION
Viterbo_Attigliano_7545$exe
editors/scenario-sources-$version.vsix
editors/scenario-sources.udl.xml
guide/authors-guide.html
guide/authors-guide.md
guide/formato-sorgenti.html
guide/formato-sorgenti.md
guide/guida.html
guide/guida.md
guide/source-format.md
scenario-tool$exe
starter/Orte_Attigliano_2301-.txt
starter/Orte_Attigliano_2301_note.txt
starter/Orte_Attigliano_2301_rallentamenti.txt
starter/Orte_Attigliano_2301_scheda_treno.txt
starter/Orte_Attigliano_linea.txt"
listed=$(cd "$bundle" && find . -type f ! -path './guide/docs/*' | sed 's#^\./##' | LC_ALL=C sort)
[ "$listed" = "$expected" ] || fail "the archive holds
$listed
instead of
$expected"
[ "$(cat "$bundle/VERSION")" = "$version" ] || fail "VERSION is not $version"
python3 -c 'import sys, xml.etree.ElementTree as e; e.parse(sys.argv[1])' \
  "$bundle/editors/scenario-sources.udl.xml" || fail "the Notepad++ file is not XML"
vsix=$bundle/editors/scenario-sources-$version.vsix
cmp "$vsix" "$dist/scenario-sources-$version.vsix" || fail "the .vsix differs from the one beside"
# The extension as Visual Studio Code installs it: its manifest names it at this version, the
# program package.json names is there, and every package the extension and its packages need is
# in node_modules/ at the version the extension pins.
python3 - "$vsix" "$version" <<'CHECK' || fail "the .vsix is not the extension at $version"
import json, sys, zipfile, xml.etree.ElementTree as et
vsix, version = sys.argv[1:]
with zipfile.ZipFile(vsix) as z:
    names = set(z.namelist())
    manifest = et.fromstring(z.read("extension.vsixmanifest"))
    package = json.loads(z.read("extension/package.json"))
    packages = {n[len("extension/node_modules/"):-len("/package.json")]: json.loads(z.read(n))
                for n in names if n.startswith("extension/node_modules/")
                and n.endswith("/package.json") and n.count("/") == 3}
ns = {"m": "http://schemas.microsoft.com/developer/vsx-schema/2011"}
identity = manifest.find("m:Metadata/m:Identity", ns).attrib
wanted = {"Id": "scenario-sources", "Version": version, "Publisher": package["publisher"]}
assert {k: identity[k] for k in wanted} == wanted, identity
assert package["name"] == "scenario-sources" and package["version"] == version, package
main = "extension/" + package["main"].removeprefix("./")
assert main in names, f"{main} is missing"
assert "[Content_Types].xml" in names
assert packages["vscode-languageclient"]["version"] == package["dependencies"]["vscode-languageclient"], \
    packages["vscode-languageclient"]["version"]
for name, meta in [("", package)] + sorted(packages.items()):
    for needed in meta.get("dependencies", {}):
        assert needed in packages, f"{needed}, which {name or 'the extension'} needs, is missing"
print(f"the .vsix: scenario-sources {version}, {len(names)} files, "
      f"vscode-languageclient {packages['vscode-languageclient']['version']}, "
      f"{len(packages)} packages")
CHECK
if [ "$platform" = windows ]; then
  # The file properties: the version resource's strings, UTF-16, each followed by its value.
  for program in Viterbo_Attigliano_7545.exe scenario-tool.exe; do
    for field in FileVersion ProductVersion; do
      value=$(strings -a -el "$bundle/$program" | grep -A1 -x "$field" | sed -n 2p)
      [ "$value" = "$version" ] || fail "$program's $field is '$value', not $version"
    done
  done
else
  [ -x "$bundle/Viterbo_Attigliano_7545" ] && [ -x "$bundle/scenario-tool" ] ||
    fail "the Linux programs are not executable"
fi

echo "== the installer, from the unpacked folder"
mkdir -p "$work/reference"
cp "$reference" "$work/reference/"
(cd "$work/reference" && timeout 300 "./$(basename "$reference")") ||
  fail "the reference installer failed"
shipped="Viterbo_Attigliano_7545.dat
Viterbo_Attigliano_7545.sim
Viterbo_Attigliano_7545_note.txt
Viterbo_Attigliano_7545_rallentamenti.txt
Viterbo_Attigliano_7545_scheda_treno.txt
Viterbo_Attigliano_linea.dat"
before=$(cd "$bundle" && ls)
(cd "$work" && run "$bundle/Viterbo_Attigliano_7545$exe") || fail "the installer exited with $?"
written=$(cd "$bundle" && ls | LC_ALL=C sort | comm -13 <(echo "$before" | LC_ALL=C sort) -)
[ "$written" = "$shipped" ] || fail "the installer wrote
$written"
for f in $shipped; do
  cmp "$bundle/$f" "$work/reference/$f" || fail "$f differs from the shipped scenario's"
done

echo "== scenario-tool$exe on the starter scenario"
tool="$bundle/scenario-tool$exe"
[ "$(run "$tool" --version | tr -d '\r')" = "scenario-tool $version" ] ||
  fail "scenario-tool --version does not say $version"
(cd "$bundle" && run "$tool" check starter --line Orte_Attigliano --train 2301 --werror) ||
  fail "check of the starter scenario"
mkdir "$bundle/nuovo scenario"
(cd "$bundle" && run "$tool" package starter --line Orte_Attigliano --train 2301 \
   --notes starter/Orte_Attigliano_2301_note.txt \
   --sheet starter/Orte_Attigliano_2301_scheda_treno.txt \
   --slowdowns starter/Orte_Attigliano_2301_rallentamenti.txt \
   --target $target -o "nuovo scenario/Orte_Attigliano_2301$exe") || fail "package of the starter scenario"

echo "== the packaged installer"
(cd "$work" && run "$bundle/nuovo scenario/Orte_Attigliano_2301$exe") ||
  fail "the packaged installer exited with $?"
written=$(cd "$bundle/nuovo scenario" && ls | LC_ALL=C sort)
expected=$(printf '%s\n' "Orte_Attigliano_2301$exe" Orte_Attigliano_2301.dat Orte_Attigliano_2301.sim \
  Orte_Attigliano_2301_note.txt Orte_Attigliano_2301_rallentamenti.txt \
  Orte_Attigliano_2301_scheda_treno.txt Orte_Attigliano_linea.dat | LC_ALL=C sort)
[ "$written" = "$expected" ] || fail "the packaged installer left
$written"
# Its compiled files are those scenario-tool compiles from the starter's sources.
cp -r "$bundle/starter" "$work/compiled"
(cd "$work" && run "$tool" compile compiled --line Orte_Attigliano --train 2301 >/dev/null) ||
  fail "compile of the starter scenario"
for f in Orte_Attigliano_2301.dat Orte_Attigliano_2301.sim Orte_Attigliano_linea.dat; do
  cmp "$bundle/nuovo scenario/$f" "$work/compiled/$f" || fail "$f differs from the compiled one"
done
echo "the $platform archive works from $folder"
