#!/usr/bin/env bash
# Installs what is missing, configures and builds with the sanitizers, runs the whole suite, then
# builds the .deb and tries it in a fresh root.
# Usage: scripts/test.sh [preset]   (default: asan; debug and release work too)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-asan}"

scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"

started=$(date +%s)
tests/tools/package_check.sh "build/$preset"
echo "package check: $(($(date +%s) - started)) s"
