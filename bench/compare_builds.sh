#!/usr/bin/env bash
# Compares what two builds compile, byte for byte: every input of fuzz/corpus/compiler and
# fuzz/corpus/check (a line source and a train source split at the first NUL byte), compiled
# with --force so that the files are written whatever the error code; the maximal scenario
# (bench's generate-maximal); and the shipped scenario as each build's installer writes it.
# For each: the exit status, the messages and the three compiled files (or their absence) must
# be the same. A check to run by hand after a change to the compiler's output path (about a
# minute), not a test.
#
# Usage: bench/compare_builds.sh OLD_TOOL NEW_TOOL [OLD_INSTALLER NEW_INSTALLER]
# With BYTES_ONLY=1 the tool's messages are left out of the comparison (for builds whose
# diagnostics changed on purpose); the exit statuses and the files still count.
set -euo pipefail
cd "$(dirname "$0")/.."
old=$(realpath "$1")
new=$(realpath "$2")
old_installer=${3:+$(realpath "$3")}
new_installer=${4:+$(realpath "$4")}
generator=$(dirname "$(dirname "$new")")/bench/generate-maximal
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
differences=0
compared=0

# Compiles the two sources in $work/in with TOOL into $work/run (the same path for both builds,
# so that messages naming it compare), and keeps the status, messages and files in OUT.
compile_with() {  # tool line train out
  rm -rf "$work/run" && mkdir "$work/run" "$4"
  cp "$work/in"/* "$work/run/"
  local status=0
  "$1" compile "$work/run" --line "$2" --train "$3" --force --max-warnings 0 \
    >"$4/stdout" 2>"$4/stderr" || status=$?
  echo "$status" >"$4/status"
  for f in "$2_linea.dat" "$2_$3.sim" "$2_$3.dat"; do
    if [ -e "$work/run/$f" ]; then cp "$work/run/$f" "$4/$f"; fi
  done
}

compare() {  # label line train
  compile_with "$old" "$2" "$3" "$work/old"
  compile_with "$new" "$2" "$3" "$work/new"
  compared=$((compared + 1))
  local leave_out=()
  [ "${BYTES_ONLY:-}" = 1 ] && leave_out=(-x stdout -x stderr)
  if ! diff -r "${leave_out[@]}" "$work/old" "$work/new" >/dev/null; then
    differences=$((differences + 1))
    echo "DIFFERENT: $1"
    diff -r "${leave_out[@]}" "$work/old" "$work/new" | head -n 5 || true
  fi
  rm -rf "$work/old" "$work/new"
}

for input in fuzz/corpus/compiler/* fuzz/corpus/check/*; do
  rm -rf "$work/in" && mkdir "$work/in"
  python3 - "$input" "$work/in" <<'EOF'
import sys
data = open(sys.argv[1], "rb").read()
line, _, train = data.partition(b"\0")
open(sys.argv[2] + "/Viterbo_Attigliano_linea.txt", "wb").write(line)
open(sys.argv[2] + "/Viterbo_Attigliano_7545-.txt", "wb").write(train)
EOF
  compare "$input" Viterbo_Attigliano 7545
done

rm -rf "$work/in" && mkdir "$work/in"
"$generator" "$work/in" >/dev/null
compare "maximal scenario" Massimo 1

if [ -n "$old_installer" ]; then
  for side in old new; do
    program=${side}_installer
    mkdir "$work/installed-$side"
    cp "${!program}" "$work/installed-$side/Viterbo_Attigliano_7545"
    (cd "$work/installed-$side" && env -u DISPLAY -u WAYLAND_DISPLAY \
      ./Viterbo_Attigliano_7545 >stdout 2>stderr; echo $? >status)
    rm "$work/installed-$side/Viterbo_Attigliano_7545"
  done
  compared=$((compared + 1))
  if ! diff -r "$work/installed-old" "$work/installed-new" >/dev/null; then
    differences=$((differences + 1))
    echo "DIFFERENT: the installer's run"
    diff -r "$work/installed-old" "$work/installed-new" | head -n 5 || true
  fi
fi

echo "$compared compared, $differences different"
[ "$differences" -eq 0 ]
