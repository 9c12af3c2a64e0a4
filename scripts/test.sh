#!/usr/bin/env bash
# Installs what is missing, configures and builds with the sanitizers and runs the whole suite.
# With the default preset it then runs the stages CI adds, each timed: the .deb tried in a fresh
# root, the fuzz targets for a bounded time, the tests that start threads under ThreadSanitizer,
# the receipts soak, and the Windows build tested under Wine.
# Usage: scripts/test.sh [preset]   (default: asan; debug and release work too)
#   BRONTAL_FUZZ_SECONDS (20): run time of each fuzz target; 0 skips the stage.
#   BRONTAL_EXTRA_STAGES=0 skips every stage after the suite.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-asan}"

timings=()
stage_start=0
stage() {
    stage_start=$(date +%s)
    echo "== stage: $1"
}
stage_done() {
    local took=$(( $(date +%s) - stage_start ))
    timings+=("$(printf '%-28s %5d s' "$1" "$took")")
    echo "== stage $1 took $took s"
}
summary() {
    echo "== stage times"
    printf '   %s\n' "${timings[@]}"
}
trap summary EXIT

stage "install packages"
scripts/install-deps.sh
stage_done "install packages"

stage "build ($preset)"
cmake --preset "$preset"
cmake --build --preset "$preset"
stage_done "build ($preset)"

stage "test ($preset)"
ctest --preset "$preset"
stage_done "test ($preset)"

if [ "$preset" != asan ] || [ "${BRONTAL_EXTRA_STAGES:-1}" = 0 ]; then
    exit 0
fi

stage "package"
tests/tools/package_check.sh "build/$preset"
stage_done "package"

fuzz_seconds="${BRONTAL_FUZZ_SECONDS:-20}"
if [ "$fuzz_seconds" != 0 ]; then
    stage fuzz
    cmake --preset fuzz > /dev/null
    fuzz_targets=(field_readers_fuzz hex_text_fuzz reply_layout_fuzz printer_request_fuzz
                  variant_change_fuzz registry_parse_fuzz)
    cmake --build --preset fuzz --target "${fuzz_targets[@]}"
    for target in "${fuzz_targets[@]}"; do
        # A copy of the seeds: what the run adds stays out of the repository.
        corpus="build/fuzz/corpus/$target"
        mkdir -p "$corpus"
        cp fuzz/corpus/"$target"/* "$corpus"/
        echo "-- $target"
        (cd build/fuzz && "bin/$target" -max_total_time="$fuzz_seconds" -max_len=4096 \
            -print_final_stats=1 "corpus/$target" > "$target.log" 2>&1) ||
            { tail -n 40 "build/fuzz/$target.log"; exit 1; }
        grep -E "^(stat::number_of_executed_units|Done)" "build/fuzz/$target.log" || true
    done
    stage_done fuzz
fi

stage "ThreadSanitizer"
# The tests that start threads: registry monitor and notification, background work with its
# progress dialog, and the serial port's waits. Each program runs whole; any report fails it.
tsan_targets=(settings_registry_monitor_test platform_registry_notify_test
              platform_kernel_threads_test platform_window_dialog_test driver_progress_dialog_test
              link_serial_port_test platform_serial_test)
cmake --preset tsan > /dev/null
cmake --build --preset tsan --target "${tsan_targets[@]}"
for target in "${tsan_targets[@]}"; do
    echo "-- $target"
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" "build/tsan/bin/$target" \
        --gtest_brief=1 2>&1 | tail -n 5
    test "${PIPESTATUS[0]}" = 0
done
stage_done "ThreadSanitizer"

stage soak
ctest --preset soak --no-tests=error
stage_done soak

stage "Windows under Wine"
# Both widths cross-built, registered and driven by real Windows clients against this build's
# virtual printer.
tests/windows/wine-test.sh "build/$preset/bin/vprinter"
stage_done "Windows under Wine"
