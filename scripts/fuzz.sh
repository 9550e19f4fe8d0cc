#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) in their own
# folder and runs each for FUZZ_SECONDS (default 60). Any crash, leak, hang, memory blow-up or
# sanitizer report fails the run, and the input that caused it is copied into
# tests/fuzz/corpus/<target>/ so that every later run replays it first.
#
#   scripts/fuzz.sh                 all targets
#   scripts/fuzz.sh field receive   some of them
#   FUZZ_SECONDS=10 scripts/fuzz.sh shorter runs
#
# Prints the executions per target and writes the same table to <build>/fuzz-summary.md.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${FUZZ_BUILD:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
rss_mb=${FUZZ_RSS_MB:-2048}
jobs=${JOBS:-$(nproc)}
# The targets' one list: the first word of each line that is not a comment.
mapfile -t all_targets < <(awk '!/^#/ && NF { print $1 }' tests/fuzz/targets.txt)
if [[ $# -gt 0 ]]; then targets=("$@"); else targets=("${all_targets[@]}"); fi

# clang and its libFuzzer runtime come from Debian's packages.
bash scripts/install-deps.sh --log "$build/install-deps.log" clang libclang-rt-14-dev

# Debug keeps Qt's own range checks on; -O1 keeps the fuzzers fast.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DVORNIK_FUZZ=ON >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]/#/fuzz_}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

summary="$build/fuzz-summary.md"
{
    echo "| Target | Executions | Executions per second | Seconds | Result |"
    echo "|---|---:|---:|---:|---|"
} >"$summary"
failed=()
for target in "${targets[@]}"; do
    program="$build/tests/fuzz/fuzz_$target"
    seeds="tests/fuzz/corpus/$target"
    work="$build/fuzz-corpus/$target"
    artifacts="$build/fuzz-artifacts/$target"
    log="$build/fuzz-logs/$target.log"
    [[ -d "$seeds" ]] || { echo "fuzz.sh: no seed corpus $seeds" >&2; exit 1; }
    mkdir -p "$work" "$(dirname "$log")"
    rm -rf "$artifacts" && mkdir -p "$artifacts"

    echo "== fuzz_$target: ${seconds}s"
    status=0
    # New inputs go to the work folder; the seeds in the repository are only read.
    "$program" -max_total_time="$seconds" -rss_limit_mb="$rss_mb" -timeout=20 -detect_leaks=1 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "$seeds" >"$log" 2>&1 \
        || status=$?
    if grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:' "$log"; then
        [[ $status -ne 0 ]] || status=1
    fi

    executions=$(awk '/stat::number_of_executed_units:/ {print $2}' "$log" | tail -n 1)
    rate=$(awk '/stat::average_exec_per_sec:/ {print $2}' "$log" | tail -n 1)
    result=ok
    if [[ $status -ne 0 ]]; then
        result="FAILED (exit $status)"
        failed+=("$target")
        tail -n 60 "$log"
        # Every input that broke something becomes a regression case.
        for input in "$artifacts"/*; do
            [[ -f "$input" ]] || continue
            cp "$input" "$seeds/"
            echo "fuzz.sh: kept $(basename "$input") in $seeds; replay with: $program $seeds/$(basename "$input")"
        done
    fi
    echo "fuzz_$target: ${executions:-0} executions (${rate:-0}/s), $result"
    echo "| fuzz_$target | ${executions:-0} | ${rate:-0} | $seconds | $result |" >>"$summary"
done

echo
cat "$summary"
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "fuzz.sh: failed: ${failed[*]} (logs in $build/fuzz-logs/)" >&2
    exit 1
fi
