#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs them for a bounded time over their corpus.
# Usage: fuzz/run.sh BUILD_DIR build
#        fuzz/run.sh BUILD_DIR run TARGET [SECONDS]
# New inputs go to a scratch folder under BUILD_DIR, so the corpus in the tree changes only
# by hand (copy an input that found a fault into fuzz/corpus/TARGET/ with its fix). A crash
# leaves its input in BUILD_DIR/artifacts/ and fails the run.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$1"
step="$2"
case "$step" in
  build)
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="${WS_FUZZ_CXX:-clang++}" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j2
    ;;
  run)
    target="$3"
    seconds="${4:-20}"
    scratch="$build/scratch/$target"
    mkdir -p "$scratch" "$build/artifacts"
    "$build/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
      -max_len=16384 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
      "$scratch" "$here/corpus/$target"
    ;;
  *)
    echo "fuzz/run.sh: unknown step '$step'" >&2
    exit 2
    ;;
esac
