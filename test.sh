#!/usr/bin/env bash
# Installs what the build and the tests need (Debian 12), builds the programs
# into build/ and a sanitizer build into build/sanitize/, and runs the whole
# test suite headless there; then runs the job and window tests built with
# ThreadSanitizer in build/tsan/. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"

source scripts/deps.sh
install_missing_packages "${TEST_PACKAGES[@]}"
generate_locales "${TEST_LOCALES[@]}"

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DVELMORA_WERROR=ON -DVELMORA_TESTS=OFF >/dev/null
cmake --build build -j"$jobs"

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DVELMORA_WERROR=ON -DVELMORA_SANITIZE=ON >/dev/null
cmake --build build/sanitize -j"$jobs"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build/sanitize --output-on-failure -j"$jobs" "$@"

# The scan and save jobs share state with the window's thread: no data race
# between them, Skip, Cancel, the close and the overwrite question included.
# Run with the whole suite (no arguments), or when VELMORA_TSAN_TESTS=1.
if [[ $# -gt 0 && "${VELMORA_TSAN_TESTS:-0}" != 1 ]]; then exit 0; fi
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DVELMORA_WERROR=ON -DVELMORA_TSAN=ON >/dev/null
cmake --build build/tsan -j"$jobs" --target wizard_tests
TSAN_OPTIONS="halt_on_error=1 die_after_fork=0 second_deadlock_stack=1 suppressions=$PWD/tests/wizard/tsan.supp" \
  QT_QPA_PLATFORM=offscreen build/tsan/bin/wizard_tests \
  --gtest_filter='SaveJob*:*PressDuringARead*:*CloseAt*:*OverwriteThroughJob*:SaveRun*:ScanRun*:FilePage*'
