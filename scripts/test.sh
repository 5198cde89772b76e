#!/usr/bin/env bash
# Builds everything and runs every test:
#  1. the Windows executable, cross-built with mingw-w64 into build-win/;
#  2. the Linux build and its tests in build/, under a virtual X display (xvfb-run), so that the
#     window and the message box are tested too, and the Windows executable under Wine;
#  3. the same tests again built with AddressSanitizer and UndefinedBehaviorSanitizer, in
#     build-sanitize/;
#  4. the compiler's fuzzer (libFuzzer, clang) for a bounded run of about two minutes, from the
#     seed corpus in fuzz/corpus/, in build-fuzz/: any crash, hang or sanitizer report fails.
# Screenshots land in build/screenshots/. Installs the Debian packages it needs first when they
# are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
bash scripts/install-deps.sh "${TEST_PACKAGES[@]}"

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

# The fuzzer works on a copy of the seed corpus, which it grows; a crash leaves its input in
# build-fuzz/ (crash-*, timeout-*, leak-*) and fails the run.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DFUZZING=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$(nproc)"
rm -rf build-fuzz/corpus
mkdir -p build-fuzz/corpus
cp fuzz/corpus/* build-fuzz/corpus/
echo "Fuzzing the compiler for 110 s"
if ! (cd build-fuzz && ./fuzz/compiler_fuzzer -max_total_time=110 -timeout=1 -rss_limit_mb=4096 \
        -print_final_stats=1 corpus > fuzz.log 2>&1); then
  tail -n 40 build-fuzz/fuzz.log
  echo "the fuzzer found a problem: see build-fuzz/fuzz.log"
  exit 1
fi
grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::average_exec_per_sec)" build-fuzz/fuzz.log
echo "fuzzing: 0 crashes, corpus of $(ls build-fuzz/corpus | wc -l) inputs"
echo "all: $((passed + 1)) passed, 0 failed"
