#!/usr/bin/env bash
# Runs every fuzz target for a bounded time, starting from its seed corpus (which holds the inputs of earlier
# findings, so those are replayed first). Fails when a target crashes, leaks, trips a sanitizer or times out.
#   fuzz/run.sh <fuzz build dir> [seconds per target]
# New inputs found along the way go to a scratch directory, never into the repository; a failing input is
# written to <build dir>/fuzz-artifacts/ to be added to fuzz/corpus/<target>/ once fixed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "$1")
seconds=${2:-60}
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failed=()
for corpus in "$here"/corpus/*/; do
    target=$(basename "$corpus")
    program="$build/bin/$target"
    if [ ! -x "$program" ]; then
        echo "fuzz: $target nao foi compilado" >&2
        failed+=("$target")
        continue
    fi
    mkdir -p "$scratch/$target"
    log="$build/$target.log"
    start=$SECONDS
    # -timeout: an input that takes 10 s is a hang; the rest are libFuzzer's defaults (leaks checked, 2 GB).
    if "$program" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$target-" "$scratch/$target" "$corpus" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "fuzz: $target ok, ${runs:-?} execucoes em $((SECONDS - start)) s"
    else
        echo "fuzz: $target FALHOU; entrada em $artifacts/, registro em $log" >&2
        grep -v -E '^#[0-9]+' "$log" | tail -n 60 >&2
        failed+=("$target")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: falharam: ${failed[*]}" >&2
    exit 1
fi
