#!/usr/bin/env bash
# The compile of the longest route and the installer's run against the floor of writing their
# bytes, in one run, so that a reader sees the floor and the distance on whatever machine runs
# it:
#  - scenario-tool compile of the maximal scenario into a fresh folder holding its two sources;
#  - one cp of its three compiled files into a fresh folder (the same bytes, one process);
#  - one dd of as many zero bytes from user memory into one fresh file, 256 KiB blocks;
#  - the installer's whole run (shipped scenario, no display) in a fresh folder;
#  - one cp of its six final files into a fresh folder.
# Every command is timed by hyperfine -N in ROUNDS rounds (default 8) that take turns, so that
# the load other work puts on the machine touches all of them alike; each line is the median of
# all the rounds' runs. Given a second build's tool and installer (OTHER_TOOL, OTHER_INSTALLER),
# they are timed in the same rounds, to compare two builds under the same load.
#
# Usage: bench/ratios.sh TOOL INSTALLER [ROUNDS]   (with OTHER_TOOL, OTHER_INSTALLER set to
# compare). Needs hyperfine and python3.
set -euo pipefail
cd "$(dirname "$0")/.."
tool=$(realpath "$1")
installer=$(realpath "$2")
rounds=${3:-8}
generator=$(dirname "$(dirname "$tool")")/bench/generate-maximal
[ -x "$generator" ] || generator=build-bench/bench/generate-maximal
unset DISPLAY WAYLAND_DISPLAY
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The maximal scenario's sources and compiled files, and the shipped scenario's six files.
mkdir "$work/sources" "$work/max" "$work/ref"
"$generator" "$work/sources" >/dev/null
cp "$work/sources"/* "$work/max/"
"$tool" compile "$work/max" --line Massimo --train 1 >/dev/null
three=""
for f in Massimo_linea.dat Massimo_1.sim Massimo_1.dat; do three+=" $work/max/$f"; done
bytes=$(cat $three | wc -c)
cp "$installer" "$work/ref/" && (cd "$work/ref" && ./"$(basename "$installer")" >/dev/null)
six=""
for f in Viterbo_Attigliano_7545_note.txt Viterbo_Attigliano_7545_rallentamenti.txt \
  Viterbo_Attigliano_7545_scheda_treno.txt Viterbo_Attigliano_linea.dat \
  Viterbo_Attigliano_7545.sim Viterbo_Attigliano_7545.dat; do six+=" $work/ref/$f"; done

# name|prepare|command, each run in a fresh folder of its own.
commands=()
compile_case() {  # name tool
  commands+=("$1|rm -rf $work/$1 && mkdir $work/$1 && cp $work/sources/* $work/$1/|$2 compile $work/$1 --line Massimo --train 1")
}
install_case() {  # name installer
  commands+=("$1|rm -rf $work/$1 && mkdir $work/$1 && cp $2 $work/$1/|$work/$1/$(basename "$2")")
}
compile_case compile "$tool"
[ -z "${OTHER_TOOL:-}" ] || compile_case compile-other "$(realpath "$OTHER_TOOL")"
commands+=("cp3|rm -rf $work/cp3 && mkdir $work/cp3|cp$three $work/cp3/")
commands+=("dd|rm -rf $work/dd && mkdir $work/dd|dd if=/dev/zero of=$work/dd/out bs=256K count=$((bytes / 262144)) status=none")
install_case installer "$installer"
[ -z "${OTHER_INSTALLER:-}" ] || install_case installer-other "$(realpath "$OTHER_INSTALLER")"
commands+=("cp6|rm -rf $work/cp6 && mkdir $work/cp6|cp$six $work/cp6/")

arguments=()
for c in "${commands[@]}"; do
  IFS='|' read -r name prepare command <<<"$c"
  arguments+=(--command-name "$name" --prepare "sh -c '$prepare'" "$command")
done
for ((r = 0; r < rounds; r++)); do
  # (Its warnings about outliers are the machine being shared; the medians take them in.)
  hyperfine -N --warmup 3 --runs 20 --export-json "$work/round$r.json" "${arguments[@]}" \
    >/dev/null 2>&1
done

echo "Measured on $(uname -n), $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores," \
  "load average $(cut -d ' ' -f 1-3 /proc/loadavg); $rounds rounds of 20 runs taking turns," \
  "medians; $bytes bytes compiled"
python3 - "$work"/round*.json <<'EOF'
import json, statistics, sys
wall, user, system = {}, {}, {}
for path in sys.argv[1:]:
    for result in json.load(open(path))["results"]:
        name = result["command"]
        wall.setdefault(name, []).extend(result["times"])
        user.setdefault(name, []).append(result["user"])
        system.setdefault(name, []).append(result["system"])
median = {name: statistics.median(times) for name, times in wall.items()}
floor = {"compile": "cp3", "compile-other": "cp3", "dd": "cp3",
         "installer": "cp6", "installer-other": "cp6"}
for name in wall:
    line = "%-16s %7.2f ms  (user %5.2f, sys %5.2f)" % (
        name, median[name] * 1000, statistics.median(user[name]) * 1000,
        statistics.median(system[name]) * 1000)
    if name in floor:
        line += "  %.2f x %s" % (median[name] / median[floor[name]], floor[name])
    if name in ("compile", "compile-other"):
        line += ", %.2f x dd" % (median[name] / median["dd"])
    print(line)
EOF
