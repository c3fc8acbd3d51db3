#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: first the normal
# build, then the whole suite again under AddressSanitizer and UBSan, then
# the readers of outside files under libFuzzer for a bounded time.
#   SKIP_SANITIZE=1  only the normal build
#   SKIP_FUZZ=1      no fuzzing of the readers of outside files
#   FUZZ_SECONDS=n   fuzzing time of each target (default 60)
set -euo pipefail
cd "$(dirname "$0")"
started=$SECONDS
trap 'echo "test.sh: $((SECONDS - started)) s in all"' EXIT
export QT_QPA_PLATFORM=offscreen
./setup.sh
ctest --test-dir build --output-on-failure -j "$(nproc)"
if [ -z "${SKIP_SANITIZE:-}" ]; then
  BUILD_DIR=build-asan BRINDEL_SANITIZE=ON ./setup.sh
  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$(nproc)" -LE nosanitize
fi
if [ -z "${SKIP_FUZZ:-}" ]; then
  tests/fuzz/run_fuzzers.sh
fi
