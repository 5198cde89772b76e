#!/usr/bin/env bash
# Peak resident memory of the tool's two longest outputs, against the size of what they read:
#  (e) scenario-tool check --format=sarif --max-warnings 0 of a line source with 1,000,000
#      misspelt keyword rows (18 MB, a warning on every row), every warning in the SARIF log;
#  (f) scenario-tool dump --json of a 96 MB track-cell file: 6,400,000 cells, every one holding
#      a signal, with fields that change from cell to cell (so every run is one cell long), over
#      the shipped scenario's table and line plan.
# Both documents are written a record at a time; the peak should follow the input (the source
# and the lint's warnings; the file and its decoded cells), not the output (about 700 MB and
# 3.1 GB). A benchmark, not a test: it fails on nothing but a broken build.
#
# Usage: bench/memory.sh [SCENARIO-TOOL]   (default: build-bench/tools/scenario-tool, built
# when missing, as bench/run.sh builds it). Needs /usr/bin/time and python3.
set -euo pipefail
cd "$(dirname "$0")/.."
tool=${1:-build-bench/tools/scenario-tool}
if [ ! -x "$tool" ]; then
  cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
  cmake --build build-bench -j "$(nproc)" --target scenario-tool installer >/dev/null
fi
tool=$(realpath "$tool")
installer=$(dirname "$(dirname "$tool")")/app/Viterbo_Attigliano_7545
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs the command given, its output counted and thrown away; prints its peak resident memory
# in KiB, its time in seconds and the bytes of its output.
peak() {
  /usr/bin/time -o "$work/time" -f "%M %e" "$@" 2>/dev/null |
    wc -c >"$work/bytes" || true
  echo "$(cat "$work/time") $(cat "$work/bytes")"
}

# (e) A million warnings.
mkdir "$work/warnings"
python3 - "$work/warnings" <<'PY'
import sys
rows = b"pendenze, 500, 3\r\n" * 1000000
with open(sys.argv[1] + "/Viterbo_Attigliano_linea.txt", "wb") as f:
    f.write(b"[generale]\r\nlunghezza percorso, 50000\r\n[curve]\r\n" + rows + b"[fine]\r\n")
with open(sys.argv[1] + "/Viterbo_Attigliano_7545-.txt", "wb") as f:
    f.write(b"[generale]\r\nvelocita, 0, 80\r\n[fine]\r\n")
PY
source_bytes=$(stat -c %s "$work/warnings/Viterbo_Attigliano_linea.txt")
read -r e_kib e_seconds e_output < <(peak "$tool" check "$work/warnings" --format=sarif \
  --max-warnings 0)

# (f) The shipped scenario's files, its track cells replaced by 96 MB of them.
mkdir "$work/cells"
cp "$installer" "$work/cells/"
(cd "$work/cells" && env -u DISPLAY -u WAYLAND_DISPLAY ./Viterbo_Attigliano_7545 >/dev/null)
python3 - "$work/cells/Viterbo_Attigliano_7545.dat" <<'PY'
import struct, sys
# Ten cells, each a signal, then the same ten again: 640,000 times.
block = b"".join(struct.pack("<BhhhhBBBBBB", 1, i % 7, 3, -2, i, 5, i % 3, i % 2, 20,
                             100 + i % 2, 50) for i in range(10))
with open(sys.argv[1], "wb") as f:
    f.write(block * 640000)
PY
cells_bytes=$(stat -c %s "$work/cells/Viterbo_Attigliano_7545.dat")
read -r f_kib f_seconds f_output < <(peak "$tool" dump "$work/cells" --json)

awk -v kib="$e_kib" -v s="$e_seconds" -v in_bytes="$source_bytes" -v out="$e_output" 'BEGIN {
  printf "(e) check --format=sarif, 1,000,000 warnings: peak %.0f MiB in %.1f s; %.1f MB source (%.1f x), %.0f MB of SARIF\n",
         kib / 1024, s, in_bytes / 1e6, kib * 1024 / in_bytes, out / 1e6 }'
awk -v kib="$f_kib" -v s="$f_seconds" -v in_bytes="$cells_bytes" -v out="$f_output" 'BEGIN {
  printf "(f) dump --json, 6,400,000 track cells: peak %.0f MiB in %.1f s; %.1f MB file (%.1f x), %.0f MB of JSON\n",
         kib / 1024, s, in_bytes / 1e6, kib * 1024 / in_bytes, out / 1e6 }'
