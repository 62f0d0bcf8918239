#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a set time, starting from its committed corpus.
# Usage: scripts/fuzz.sh BUILD-DIR [SECONDS-PER-TARGET]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
seconds=${2:-60}
status=0
for fuzzer in "$build"/bin/fuzz_*; do
    name=$(basename "$fuzzer")
    target=${name#fuzz_}
    work="$build/fuzz-corpus/$target"
    mkdir -p "$work" "$build/fuzz-artifacts/$target"
    echo "== $target: ${seconds}s"
    if ! "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$build/fuzz-artifacts/$target/" "$work" "$root/fuzz/corpus/$target"; then
        echo "== $target: found a failing input, see $build/fuzz-artifacts/$target/" >&2
        status=1
    fi
done
exit $status
