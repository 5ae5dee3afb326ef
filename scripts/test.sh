#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test (the Qt desktop included, its
# tests on the offscreen platform; every database test program twice, on SQLite and, as the
# "pg." tests, on a throw-away PostgreSQL cluster; the workshop's pages in headless Chromium),
# then builds again with AddressSanitizer and UndefinedBehaviorSanitizer and runs the tests once
# more (without the desktop: Qt under ASan is slow and reports the library's own leaks).
# Usage: scripts/test.sh [--no-sanitize]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build test desk browser

jobs=$(nproc)
# Objects compiled by an earlier run on this machine are reused, from whatever folder that
# checkout was in: paths are hashed relative to the checkout.
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
fi
sanitize=1
[ "${1:-}" = "--no-sanitize" ] && sanitize=0

echo "== build (warnings as errors)"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWS_WERROR=ON \
  -DWS_BUILD_TESTS=ON -DWS_BUILD_BENCH=ON -DWS_BUILD_DESK=ON "${launcher[@]}" >/dev/null
cmake --build build/test -j"$jobs"
echo "== tests"
# Every database suite runs twice, on SQLite and (prefix "pg.") on the throw-away cluster.
scripts/with_postgres.sh ctest --test-dir build/test --output-on-failure -j"$jobs"

if [ "$sanitize" = 1 ]; then
  echo "== build (AddressSanitizer, UndefinedBehaviorSanitizer)"
  cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DWS_WERROR=ON -DWS_SANITIZE=ON \
    -DWS_BUILD_TESTS=ON -DWS_BUILD_DESK=OFF "${launcher[@]}" >/dev/null
  cmake --build build/asan -j"$jobs"
  echo "== tests under the sanitizers"
  # The "pg." half repeats the same module code on the server and is left out here to keep
  # the run short; the PostgreSQL service's own tests still run under the sanitizers.
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    scripts/with_postgres.sh ctest --test-dir build/asan --output-on-failure -j"$jobs" -E "^pg\\."
fi
