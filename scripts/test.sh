#!/usr/bin/env bash
# Installs the dependencies, builds with AddressSanitizer and UndefinedBehaviorSanitizer, runs every
# test, then runs the concurrency tests in a ThreadSanitizer build, then builds the Debian package
# and checks it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# The benchmarks are built too, though not run here, so that they never stop building.
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_SANITIZE=ON -DVANTOR_BENCH=ON
cmake --build build/asan
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build/asan && dbus-run-session -- ctest --output-on-failure --timeout 300)
# The concurrency tests once more under ThreadSanitizer, which also reports unguarded sharing
# that happens not to crash.
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_TSAN=ON -DVANTOR_BENCH=OFF
cmake --build build/tsan --target concurrency_tests
export TSAN_OPTIONS=halt_on_error=1:die_after_fork=0:suppressions=$PWD/tests/tsan.supp
cd build/tsan
ctest -L concurrency --output-on-failure --timeout 300
cd ../..
bash scripts/check-package.sh
bash scripts/check-service.sh
