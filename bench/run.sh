#!/usr/bin/env bash
# Runs the benchmark programs of a release build (first argument, default build-bench), prints
# one table and writes it with a description of the machine to bench/results.md.
set -euo pipefail
build=${1:-build-bench}
root=$(cd "$(dirname "$0")/.." && pwd)
export QT_QPA_PLATFORM=offscreen

rows=$(mktemp "${TMPDIR:-/tmp}/vornik-bench.XXXXXX")
trap 'rm -f "$rows"' EXIT

# Let the build's own writes reach the disk before anything is timed.
sync
sleep 3
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for program in bench_pacing bench_log bench_scan bench_startup bench_service bench_text; do
    echo "Running $program ..." >&2
    # The offscreen platform's notes about features it lacks are noise here.
    if ! "$build/bench/$program" >>"$rows" \
        2> >(grep -v -e 'This plugin does not support' -e 'XDG_RUNTIME_DIR' >&2); then
        echo "run.sh: $program failed" >&2
        exit 1
    fi
done
# The command-line program's whole process, next to a bare `true`, median of 50 runs each.
median_ms() {
    local times=() start end
    for _ in $(seq 50); do
        start=$(date +%s%N)
        "$@" >/dev/null
        end=$(date +%s%N)
        times+=($(((end - start) / 1000)))
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { printf "%.1f", a[int((NR + 1) / 2)] / 1000 }'
}
echo "Running vornikctl --dry-run ..." >&2
ctl_ms=$(median_ms "$build/tools/vornikctl" --dry-run message HELLO)
true_ms=$(median_ms /usr/bin/true)
ctl_met=$(awk -v t="$ctl_ms" 'BEGIN { print (t < 30) ? "met" : "missed" }')
printf 'ROW\tvornikctl --dry-run message HELLO, whole process (median of 50)\t%s ms\ttrue: %s ms\t< 30 ms\t%s\n' \
    "$ctl_ms" "$true_ms" "$ctl_met" >>"$rows"
# One line of 100 MB on standard input: read once and skipped past its 64 KiB bound, next to
# the pipe that makes it.
elapsed_ms() {
    local start end
    start=$(date +%s%N)
    bash -c "$1" >/dev/null 2>&1
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
echo "Running vornikctl message - on a 100 MB line ..." >&2
long_line="head -c 100000000 /dev/zero | tr '\\0' x"
long_ms=$(elapsed_ms "$long_line | '$build/tools/vornikctl' --dry-run message -")
pipe_ms=$(elapsed_ms "$long_line")
long_met=$(awk -v t="$long_ms" 'BEGIN { print (t < 5000) ? "met" : "missed" }')
printf 'ROW\tvornikctl --dry-run message -, one line of 100 MB\t%s ms\tthe pipe alone: %s ms\t< 5 s\t%s\n' \
    "$long_ms" "$pipe_ms" "$long_met" >>"$rows"
# The chain model's random sequences at length: more seeds and actions than `make test` plays.
seeds=${VORNIK_MODEL_SEEDS:-10}
actions=${VORNIK_MODEL_ACTIONS:-100}
echo "Running tst_chainmodel, $seeds seeds of $actions actions ..." >&2
model_start=$(date +%s)
if VORNIK_MODEL_SEEDS=$seeds VORNIK_MODEL_ACTIONS=$actions "$build/tests/tst_chainmodel" \
    randomSequences >&2; then model_met=met; else model_met=missed; fi
printf 'ROW\ttst_chainmodel, %s seeds of %s actions: the service agrees with the model\t%s s\t-\tevery seed passes\t%s\n' \
    "$seeds" "$actions" "$(($(date +%s) - model_start))" "$model_met" >>"$rows"
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

table=$(
    echo "| Figure | Measured | Baseline (same run) | Goal | Result |"
    echo "| --- | --- | --- | --- | --- |"
    awk -F'\t' '$1 == "ROW" { printf "| %s | %s | %s | %s | %s |\n", $2, $3, $4, $5, $6 }' "$rows"
)
missed=$(awk -F'\t' '$1 == "ROW" && $6 == "missed" { n++ } END { print n + 0 }' "$rows")
met=$(awk -F'\t' '$1 == "ROW" && $6 == "met" { n++ } END { print n + 0 }' "$rows")

qt=$(awk -F'\t' '$1 == "INFO" && $2 == "Qt" { print $3; exit }' "$rows")
cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
cores=$(nproc)
memory=$(awk '/^MemTotal:/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)
os=$( (. /etc/os-release && echo "$PRETTY_NAME") 2>/dev/null || uname -s)
kernel=$(uname -r)
date=$(date -u '+%Y-%m-%d %H:%M UTC')

echo
echo "$table"
echo
echo "Goals met: $met, missed: $missed. Load average before: $load_before, after: $load_after."

{
    echo "# Benchmark results"
    echo
    echo "Produced by \`make bench\` (release build in build-bench, programs under bench/)."
    echo "Each figure is measured next to its naive baseline in the same run."
    echo
    echo "- Date: $date"
    echo "- CPU: $cpu, $cores cores"
    echo "- Memory: $memory"
    echo "- OS: $os, kernel $kernel"
    echo "- Qt: $qt, platform offscreen"
    echo "- Load average (1, 5, 15 min) before the run: $load_before; after: $load_after"
    echo
    echo "$table"
    echo
    echo "Goals met: $met, missed: $missed."
} >"$root/bench/results.md"
echo "Written to bench/results.md"
