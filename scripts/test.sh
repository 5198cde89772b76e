#!/usr/bin/env bash
# Builds everything and runs every test:
#  1. the Windows executable, cross-built with mingw-w64 into build-win/;
#  2. the Linux build and its tests in build/, under a virtual X display (xvfb-run), so that the
#     window and the message box are tested too, and the Windows executable under Wine;
#  3. the same tests again built with AddressSanitizer and UndefinedBehaviorSanitizer, in
#     build-sanitize/, but for those that run no Linux code of ours (the release's, the Wine
#     tests that run only Windows programs, the browser's and the editors' grammar's);
#  4. the fuzzers (libFuzzer, clang) of the compiler, of the tool's check, of its readers of
#     compiled files (dump's, decompile's and diff's), of format's layout, of the installer's
#     look for an appended scenario and of the language server's handling of messages, for
#     about two minutes between them, from their seed corpora in fuzz/corpus/, in build-fuzz/:
#     any crash, hang or sanitizer report fails.
# The tests of each suite run as many at a time as there are cores. At the end it prints the
# wall time and the processor time of each phase, then the number of tests and fuzzers passed.
# Screenshots land in build/screenshots/. Installs the Debian packages it needs first when they
# are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
bash scripts/install-deps.sh "${TEST_PACKAGES[@]}"
command -v npm >/dev/null || bash scripts/install-deps.sh "${BROWSER_TEST_PACKAGES[@]}"

# The wall time of each phase, printed together at the end, and also when a phase fails (with
# the phases done so far and the one that failed); beside it the processor time the phase's
# programs used (user and system, of the processes this script waited for: not Wine's server),
# which a busy machine does not inflate as much: on an idle one of two cores a phase takes
# about half its processor time, or its processor time where it keeps one core busy.
phase_names=()
phase_times=()
phase_cpu=()
phase=""
phase_started=$SECONDS
phase_cpu_started=0
ticks_per_second=$(getconf CLK_TCK)
cpu_ticks() {  # cpu_ticks VARIABLE: this shell's and its waited-for children's processor time
  local stat
  read -r -a stat </proc/$$/stat
  # The fields after the name in parentheses (which holds no blank here: bash): utime, stime,
  # cutime and cstime are the 14th to 17th of the line.
  printf -v "$1" '%d' $((stat[13] + stat[14] + stat[15] + stat[16]))
}
begin_phase() {  # begin_phase NAME: ends the phase under way, if any
  end_phase
  phase=$1
  phase_started=$SECONDS
  cpu_ticks phase_cpu_started
}
end_phase() {
  [ -n "$phase" ] || return 0
  local now
  cpu_ticks now
  phase_names+=("$phase")
  phase_times+=($((SECONDS - phase_started)))
  phase_cpu+=($(((now - phase_cpu_started) / ticks_per_second)))
  phase=""
}
print_phases() {
  end_phase
  echo "wall time of each phase (and the processor time of its programs):"
  local i total=0 total_cpu=0
  for i in "${!phase_names[@]}"; do
    printf '  %-18s %6d s  (%d s)\n' "${phase_names[$i]}" "${phase_times[$i]}" "${phase_cpu[$i]}"
    total=$((total + phase_times[i]))
    total_cpu=$((total_cpu + phase_cpu[i]))
  done
  printf '  %-18s %6d s  (%d s); the whole command: %d s\n' "phases in all" "$total" "$total_cpu" \
    "$SECONDS"
}
trap 'status=$?; [ $status -eq 0 ] || print_phases; exit $status' EXIT

windows_build=()
if command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v wine >/dev/null; then
  begin_phase "Windows build"
  cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build-win -j "$(nproc)"
  windows_build=(-DWINDOWS_BUILD_DIR="$PWD/build-win")
  # Wine keeps its Windows folders here; made once, quietly, without its first-run installers.
  export WINEPREFIX="$PWD/build-win/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  begin_phase "Wine prefix"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Preparing the Wine prefix in $WINEPREFIX"
    xvfb-run -a wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
  fi
else
  echo "mingw-w64 or wine is missing: the Windows executable is neither built nor tested"
fi

# The tests run as many at a time as there are cores: most of them wait on processes, Wine or a
# browser much of their time, and the release's test, which builds for minutes, is started first
# so that the others run beside it. Tests that share the virtual display take it in turns (their
# RESOURCE_LOCK).
passed=0
run_suite() {  # run_suite NAME DIR SKIPPED [cmake options...]; SKIPPED: a ctest -E pattern, or ""
  local name=$1 dir=$2 skipped=$3
  shift 3
  begin_phase "$name build"
  cmake -S . -B "$dir" "$@" "${windows_build[@]}" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
  begin_phase "$name tests"
  local options=(--output-on-failure -j "$(nproc)")
  [ -z "$skipped" ] || options+=(-E "$skipped")
  xvfb-run -a -s "-screen 0 1024x768x24" ctest --test-dir "$dir" "${options[@]}" |
    tee "$dir/ctest.log"
  local ran
  ran=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$dir/ctest.log")
  passed=$((passed + ${ran:-0}))
  end_phase
}

run_suite plain build "" -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Under the sanitizers, the Wine tests that run only Windows programs (the same build-win/ ones
# the plain suite ran) are left out: no Linux code of ours runs in them. Those that run the Linux
# scenario-tool on the Windows programs or beside them (check, extract, package) stay.
wine_only='^WineTest\.(InstallerWritesTheSameFilesInAFolderWithAnyName|WindowShowsTheLabel'
wine_only+='|ErrorReportShowsItsMessageAndEndsTheRun|AuthorsToolTakesSlashPathsAndWritesUtf8ToAPipe'
wine_only+='|AuthorsToolSpeaksTheLanguageOfWindows'
wine_only+='|AuthorsToolInAConsoleShowsNamesAndColoursRight|TwoInstallersStartedTogetherBothEndWell'
wine_only+='|ARunThatFindsTheFolderBusySaysSo|ALinkAtTheLockNameIsRefused'
wine_only+='|AnInstallerWhoseNamesLeadOutOfItsFolderWritesNothing'
wine_only+='|PackageNeverInTheSourcesFolderHoweverItIsSpelt|AuthorsToolServesAnEditorThroughPipes)$'
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite sanitizer build-sanitize "$wine_only" -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON

# Each harness works on a copy of its seed corpus (fuzz/corpus/<harness>/), which it grows, for
# its share of about two minutes, on inputs of up to 1 MiB; a crash, a hang, a sanitizer report
# or a broken bound of the tool's output leaves its input in build-fuzz/ (crash-*, timeout-*,
# leak-*) and fails the run. A hang is an input taking over 5 s: 1 MiB takes at most about 1 s
# in the slowest harness, and time growing with the square of the input takes far longer.
begin_phase "fuzz build"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DFUZZING=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$(nproc)"
begin_phase fuzzing
fuzzed=0
for share in compiler:35 check:22 compiled_files:17 decompile:13 format:10 payload:13 lsp:15; do
  harness=${share%%:*}
  seconds=${share##*:}
  rm -rf "build-fuzz/corpus-$harness"
  mkdir -p "build-fuzz/corpus-$harness"
  cp "fuzz/corpus/$harness"/* "build-fuzz/corpus-$harness/"
  # The sources' keywords help the harnesses that read sources, the protocol's words the
  # language server's; compiled files and executables have none.
  dictionary=()
  case $harness in
    compiler | check | format) dictionary=(-dict=../fuzz/keywords.dict) ;;
    lsp) dictionary=(-dict=../fuzz/lsp.dict) ;;
  esac
  echo "Fuzzing $harness for $seconds s"
  if ! (cd build-fuzz && "./fuzz/${harness}_fuzzer" -max_total_time="$seconds" -timeout=5 \
          -rss_limit_mb=4096 -max_len=1048576 -len_control=0 "${dictionary[@]}" \
          -print_final_stats=1 "corpus-$harness" > "fuzz-$harness.log" 2>&1); then
    tail -n 40 "build-fuzz/fuzz-$harness.log"
    echo "the $harness fuzzer found a problem: see build-fuzz/fuzz-$harness.log"
    exit 1
  fi
  grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::average_exec_per_sec)" \
    "build-fuzz/fuzz-$harness.log"
  echo "fuzzing $harness: 0 crashes, corpus of $(ls "build-fuzz/corpus-$harness" | wc -l) inputs"
  fuzzed=$((fuzzed + 1))
done
print_phases
echo "all: $((passed + fuzzed)) passed, 0 failed"
