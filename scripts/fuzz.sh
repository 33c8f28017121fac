#!/usr/bin/env bash
# Builds the libFuzzer targets (the fuzz preset: clang, ASan+UBSan) and runs each one over a copy of its
# committed seed corpus, the three at once at low priority. Any crash, leak or sanitizer report fails
# the run; the input that caused it is left in build/fuzz/findings/<target>/.
#   scripts/fuzz.sh            60 s per target (what CI runs)
#   scripts/fuzz.sh 1800       30 min per target
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
cmake --preset fuzz
cmake --build --preset fuzz

pids=()
for target in bmp smf settings; do
    work="build/fuzz/corpus/${target}"
    findings="build/fuzz/findings/${target}"
    mkdir -p "${work}" "${findings}"
    # The settings file and a song are small; longer inputs only slow the search.
    nice -n 10 "build/fuzz/fuzz/lumivorra-fuzz-${target}" -max_total_time="${seconds}" -max_len=4096 \
        -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="${findings}/" \
        "${work}" "fuzz/seeds/${target}" >"build/fuzz/${target}.log" 2>&1 &
    pids+=($!)
done
status=0
for i in 0 1 2; do
    target=(bmp smf settings)
    if ! wait "${pids[$i]}"; then
        echo "fuzz: ${target[$i]} failed; see build/fuzz/${target[$i]}.log and build/fuzz/findings/${target[$i]}/"
        tail -n 40 "build/fuzz/${target[$i]}.log"
        status=1
    fi
    grep -E "^stat::number_of_executed_units|^#[0-9]+.*DONE" "build/fuzz/${target[$i]}.log" |
        sed "s/^/fuzz ${target[$i]}: /" || true
done
exit "${status}"
