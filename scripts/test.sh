#!/usr/bin/env bash
# Installs what is missing, configures and builds with the sanitizers, runs the whole suite, then
# builds the Windows component and tests it under Wine.
# Usage: scripts/test.sh [preset]   (default: asan; debug and release work too)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-asan}"

scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"

# The Windows build under Wine, against this build's virtual printer; it prints its own time.
tests/windows/wine-test.sh "build/$preset/bin/vprinter"
