#!/usr/bin/env bash
# Builds everything and runs every test, once in a plain build and once under AddressSanitizer
# and UndefinedBehaviorSanitizer. The tests run under a virtual X display (xvfb-run) so that the
# window and the message box are tested too; screenshots land in build/screenshots/. Installs
# the Debian packages it needs first when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
bash scripts/install-deps.sh "${TEST_PACKAGES[@]}"

run_suite() {
  local dir=$1
  shift
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
  if command -v xvfb-run >/dev/null 2>&1; then
    xvfb-run -a -s "-screen 0 1024x768x24" ctest --test-dir "$dir" --output-on-failure
  else
    ctest --test-dir "$dir" --output-on-failure
  fi
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite build-sanitize -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON
