#!/usr/bin/env bash
# Measures, on this machine, how close the installer and the compiler come to the cost of
# simply copying their output, and prints the ratios:
#  (a) the installer's whole run on the shipped scenario (no display), copied into a fresh
#      folder each time, against one cp process copying the same six final files into a fresh
#      folder;
#  (b) scenario-tool compile of the maximal scenario against one cp process copying its three
#      outputs into a fresh folder, and one dd writing as many bytes from user memory;
#  (c) the peak resident memory of (b) against the size of its line plan file;
#  (d) instructions per metre of the line plan, from callgrind (repeatable on a noisy machine);
#  (e), (f) the peak resident memory of the tool's longest outputs, the SARIF log of a million
#      warnings and the JSON dump of 96 MB of track cells (bench/memory.sh).
# Times are medians of repeated runs (hyperfine), each program measured side by side with its
# baseline, in rounds that take turns. Then, when run as root, where the installer's run goes step
# by step (bench/breakdown.sh), and the Google Benchmark targets.
# Installs what it needs from Debian's packages when missing. A benchmark, not a test: it fails
# on nothing but a broken build.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
bash scripts/install-deps.sh "${BUILD_PACKAGES[@]}" libbenchmark-dev hyperfine valgrind time \
  python3

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-bench -j "$(nproc)" --target installer scenario-tool generate-maximal \
  compile_benchmark lsp_benchmark decompile_benchmark >/dev/null
unset DISPLAY WAYLAND_DISPLAY
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
installer="$PWD/build-bench/app/Viterbo_Attigliano_7545"
tool="$PWD/build-bench/tools/scenario-tool"

# Runs hyperfine ROUNDS times over the same commands (the other arguments), so that a program
# and its baseline take turns and a change in the machine's load touches both alike; prints
# each command's median over all rounds, in seconds, on one line.
side_by_side() {
  local rounds=$1
  shift
  for ((r = 0; r < rounds; r++)); do
    # (Its warnings about outliers are the machine being shared; the medians take them in.)
    hyperfine -N --export-json "$work/round$r.json" "$@" >/dev/null 2>&1
  done
  python3 - "$work"/round*.json <<'EOF'
import json, statistics, sys
times = {}
for path in sys.argv[1:]:
    for i, result in enumerate(json.load(open(path))["results"]):
        times.setdefault(i, []).extend(result["times"])
print(" ".join(str(statistics.median(times[i])) for i in sorted(times)))
EOF
  rm -f "$work"/round*.json
}

# (a) The installer against one cp of its six final files, each into a fresh folder.
mkdir "$work/ref" && cp "$installer" "$work/ref/" && "$work/ref/Viterbo_Attigliano_7545"
six=(Viterbo_Attigliano_7545_note.txt Viterbo_Attigliano_7545_rallentamenti.txt
     Viterbo_Attigliano_7545_scheda_treno.txt Viterbo_Attigliano_linea.dat
     Viterbo_Attigliano_7545.sim Viterbo_Attigliano_7545.dat)
copy_six="cp"
for f in "${six[@]}"; do copy_six+=" $work/ref/$f"; done
read -r a_run a_copy < <(side_by_side 5 --warmup 5 --runs 40 \
  --prepare "sh -c 'rm -rf $work/a && mkdir $work/a && cp $installer $work/a/'" \
  "$work/a/Viterbo_Attigliano_7545" \
  --prepare "sh -c 'rm -rf $work/c && mkdir $work/c'" "$copy_six $work/c/")

# (b) scenario-tool compile of the maximal scenario against one cp of its three outputs.
# Both write into a fresh folder each time (the compile's holds the two sources).
mkdir "$work/max" "$work/sources"
"$PWD/build-bench/bench/generate-maximal" "$work/sources" >/dev/null
cp "$work/sources"/* "$work/max/"
compile=("$tool" compile "$work/max" --line Massimo --train 1)
"${compile[@]}" >/dev/null
three=(Massimo_linea.dat Massimo_1.sim Massimo_1.dat)
copy_three="cp"
for f in "${three[@]}"; do copy_three+=" $work/max/$f"; done
fresh=("$tool" compile "$work/e" --line Massimo --train 1)
# And one dd of as many zero bytes from user memory into a fresh file, in 256 KiB blocks.
blocks=$(($(cat "$work/max"/{Massimo_linea.dat,Massimo_1.sim,Massimo_1.dat} | wc -c) / 262144))
read -r b_run b_copy b_dd < <(side_by_side 4 --warmup 2 --runs 10 \
  --prepare "sh -c 'rm -rf $work/e && mkdir $work/e && cp $work/sources/* $work/e/'" \
  "${fresh[*]}" \
  --prepare "sh -c 'rm -rf $work/d && mkdir $work/d'" "$copy_three $work/d/" \
  --prepare "sh -c 'rm -rf $work/z && mkdir $work/z'" \
  "dd if=/dev/zero of=$work/z/out bs=256K count=$blocks status=none")

# (c) Peak resident memory of (b).
peak_kib=$(/usr/bin/time -f %M "${compile[@]}" 2>&1 >/dev/null | tail -n 1)
plan_bytes=$(stat -c %s "$work/max/Massimo_linea.dat")

# (d) Instructions per metre of the line plan: the compile with and without its line plan.
instructions() {
  valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" "$@" >/dev/null 2>&1
  sed -n 's/^summary: *\([0-9]*\).*/\1/p' "$work/cg.out"
}
with_plan=$(instructions "${compile[@]}")
without_plan=$(instructions "${compile[@]}" --no-plan)
metres=1007001

echo "Measured on $(uname -n), $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load average $(cut -d ' ' -f 1-3 /proc/loadavg)"
awk -v run="$a_run" -v copy="$a_copy" 'BEGIN {
  printf "(a) installer, shipped scenario: %.2f ms; one cp of its six files: %.2f ms; ratio %.2f (target <= 1.5)\n",
         run * 1000, copy * 1000, run / copy }'
awk -v run="$b_run" -v copy="$b_copy" -v dd="$b_dd" 'BEGIN {
  printf "(b) scenario-tool compile, maximal scenario: %.2f ms; one cp of its three outputs: %.2f ms; ratio %.2f (target <= 1.3); one dd of as many bytes: %.2f ms, ratio %.2f\n",
         run * 1000, copy * 1000, run / copy, dd * 1000, run / dd }'
awk -v peak="$peak_kib" -v plan="$plan_bytes" 'BEGIN {
  limit = 1.2 * plan + 8 * 1048576
  printf "(c) peak resident memory: %.1f MiB; line plan file: %.1f MiB; limit 1.2 x plan + 8 MiB = %.1f MiB; ratio to the limit %.2f\n",
         peak / 1024, plan / 1048576, limit / 1048576, peak * 1024 / limit }'
awk -v with="$with_plan" -v without="$without_plan" -v metres="$metres" 'BEGIN {
  printf "(d) instructions: compile %d, without the line plan %d: %.1f instructions per metre of line plan (computing, encoding and writing)\n",
         with, without, (with - without) / metres }'

bash bench/memory.sh "$tool"

if [ "$(id -u)" -eq 0 ]; then
  echo
  bash bench/breakdown.sh "$installer" 100
fi

echo
"$PWD/build-bench/bench/compile_benchmark"
echo
"$PWD/build-bench/bench/lsp_benchmark"
echo
"$PWD/build-bench/bench/decompile_benchmark"
