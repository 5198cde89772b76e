#!/usr/bin/env bash
# Builds everything and runs every test:
#  1. the Windows executable, cross-built with mingw-w64 into build-win/;
#  2. the Linux build and its tests in build/, under a virtual X display (xvfb-run), so that the
#     window and the message box are tested too, and the Windows executable under Wine;
#  3. the same tests again built with AddressSanitizer and UndefinedBehaviorSanitizer, in
#     build-sanitize/;
#  4. the fuzzers (libFuzzer, clang) of the compiler, of the tool's check, of its readers of
#     compiled files (dump's, decompile's and diff's), of the installer's look for an appended
#     scenario and of the language server's handling of messages, for about two minutes between
#     them, from their seed corpora in fuzz/corpus/, in build-fuzz/: any crash, hang or
#     sanitizer report fails.
# Screenshots land in build/screenshots/. Installs the Debian packages it needs first when they
# are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
bash scripts/install-deps.sh "${TEST_PACKAGES[@]}"
command -v npm >/dev/null || bash scripts/install-deps.sh "${BROWSER_TEST_PACKAGES[@]}"

windows_build=()
if command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v wine >/dev/null; then
  cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build-win -j "$(nproc)"
  windows_build=(-DWINDOWS_BUILD_DIR="$PWD/build-win")
  # Wine keeps its Windows folders here; made once, quietly, without its first-run installers.
  export WINEPREFIX="$PWD/build-win/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Preparing the Wine prefix in $WINEPREFIX"
    xvfb-run -a wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
  fi
else
  echo "mingw-w64 or wine is missing: the Windows executable is neither built nor tested"
fi

passed=0
run_suite() {
  local dir=$1
  shift
  cmake -S . -B "$dir" "$@" "${windows_build[@]}" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
  xvfb-run -a -s "-screen 0 1024x768x24" ctest --test-dir "$dir" --output-on-failure |
    tee "$dir/ctest.log"
  local ran
  ran=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$dir/ctest.log")
  passed=$((passed + ${ran:-0}))
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite build-sanitize -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON

# Each harness works on a copy of its seed corpus (fuzz/corpus/<harness>/), which it grows, for
# its share of about two minutes, on inputs of up to 1 MiB; a crash, a hang, a sanitizer report
# or a broken bound of the tool's output leaves its input in build-fuzz/ (crash-*, timeout-*,
# leak-*) and fails the run. A hang is an input taking over 5 s: 1 MiB takes at most about 1 s
# in the slowest harness, and time growing with the square of the input takes far longer.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DFUZZING=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$(nproc)"
fuzzed=0
for share in compiler:40 check:27 compiled_files:17 decompile:13 payload:13 lsp:15; do
  harness=${share%%:*}
  seconds=${share##*:}
  rm -rf "build-fuzz/corpus-$harness"
  mkdir -p "build-fuzz/corpus-$harness"
  cp "fuzz/corpus/$harness"/* "build-fuzz/corpus-$harness/"
  # The sources' keywords help the harnesses that read sources, the protocol's words the
  # language server's; compiled files and executables have none.
  dictionary=()
  case $harness in
    compiler | check) dictionary=(-dict=../fuzz/keywords.dict) ;;
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
echo "all: $((passed + fuzzed)) passed, 0 failed"
