#!/usr/bin/env bash
# Builds the installer and runs it in the folder out/ at the top of the project, where it leaves
# the scenario's files. Installs the Debian packages it needs first when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
bash scripts/install-deps.sh "${BUILD_PACKAGES[@]}"

cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-release -j "$(nproc)" --target installer

# The installer writes beside its own executable: give it a folder of its own.
rm -rf out
mkdir out
cp build-release/app/Viterbo_Attigliano_7545 out/
status=0
out/Viterbo_Attigliano_7545 || status=$?
echo "The installer ended with status $status. Files in out/:"
ls -l out
exit "$status"
