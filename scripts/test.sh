#!/usr/bin/env bash
# Installs what is missing, configures and builds with the sanitizers, and runs the whole suite.
# Usage: scripts/test.sh [preset]   (default: asan; debug and release work too)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-asan}"

scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"
