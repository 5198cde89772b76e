#!/usr/bin/env bash
# Packs the compiled files of a scenario into one input of compiled_files_fuzzer: the sizes of
# the scenario table (2 bytes) and of the track cells (4 bytes), little-endian, then the table,
# the cells and the line plan (when there is one).
#   bash fuzz/compiled_seed.sh DIR [LINE] [TRAIN] > fuzz/corpus/compiled_files/NAME
set -euo pipefail
dir=$1 line=${2:-Viterbo_Attigliano} train=${3:-7545}
table="$dir/${line}_${train}.sim" cells="$dir/${line}_${train}.dat" plan="$dir/${line}_linea.dat"
little_endian() {
  local value=$1 bytes=$2 i
  for ((i = 0; i < bytes; ++i)); do
    # shellcheck disable=SC2059
    printf "\\x$(printf %02x $((value >> (8 * i) & 255)))"
  done
}
little_endian "$(stat -c %s "$table")" 2
little_endian "$(stat -c %s "$cells")" 4
cat "$table" "$cells"
if [ -f "$plan" ]; then cat "$plan"; fi
