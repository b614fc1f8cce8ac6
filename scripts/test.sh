#!/usr/bin/env bash
# The project's whole test run: installs what is missing, builds from scratch
# in build/, runs every test, checks the Debian package, then builds the core
# once more with AddressSanitizer + UndefinedBehaviorSanitizer in build-asan/
# and runs the unit tests there.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

./scripts/setup.sh
(cd build && ctest --output-on-failure -j"$jobs")
# The Debian package: built, checked by lintian and for its contents (about a
# minute; the install into a fresh root is scripts/package.sh --clean-root).
./scripts/package.sh

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQVORT_SANITIZE=ON \
      -DQVORT_BUILD_GUI=OFF -DQVORT_BUILD_BENCH=OFF
cmake --build build-asan -j"$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
   UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
   ctest --output-on-failure -j"$jobs" -L unit)
echo "all tests passed"
