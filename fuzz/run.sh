#!/bin/sh
# Runs each fuzz target for a fixed time on its stored corpus, then keeps the corpus minimal:
#   fuzz/run.sh BUILD_DIR SECONDS [TARGET...]
# New inputs that reach new code are merged into fuzz/corpus/TARGET; a crash is kept in
# fuzz/crashes/TARGET (to be fixed and replayed by ctest from then on). The figures of the run
# go to fuzz/results.txt. Exits non-zero when any target crashed.
set -u
build=$1
seconds=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
targets=${*:-"profile_file reg_file hand_off base64 smtp_reply call_literal conversions barcode"}
results=$here/results.txt
# Only the caches of libraries we do not build may leak (the same list as the test suite's).
export LSAN_OPTIONS="suppressions=$here/../cmake/lsan-suppressions.txt:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
failed=""
printf '%-13s %10s %8s %12s %8s %7s\n' target executions seconds edges-reached of inputs > "$results"
for t in $targets; do
    bin=$build/fuzz/fuzz_$t
    corpus=$here/corpus/$t
    crashes=$here/crashes/$t
    work=$(mktemp -d)
    mkdir -p "$corpus" "$crashes"
    cp "$corpus"/* "$work"/ 2>/dev/null
    log=$build/fuzz/$t.log
    echo "== $t: $seconds s"
    "$bin" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
        -max_len=4096 -artifact_prefix="$crashes/" "$work" > "$log" 2>&1
    status=$?
    [ $status -ne 0 ] && failed="$failed $t"
    # The smallest set of inputs that reaches everything the run reached.
    fresh=$(mktemp -d)
    "$bin" -merge=1 -timeout=10 "$fresh" "$work" >> "$log" 2>&1
    if [ -n "$(ls "$fresh")" ]; then
        rm -f "$corpus"/*
        cp "$fresh"/* "$corpus"/
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    total=$(sed -n 's/.*(\([0-9]*\) inline 8-bit counters).*/\1/p' "$log" | head -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    printf '%-13s %10s %8s %12s %8s %7s\n' "$t" "${runs:-?}" "$seconds" "${cov:-?}" "${total:-?}" \
        "$(ls "$corpus" | wc -l)" >> "$results"
    tail -n 3 "$log" | sed 's/^/   /'
    rm -rf "$work" "$fresh"
done
cat "$results"
if [ -n "$failed" ]; then
    echo "crashes or leaks in:$failed (see fuzz/crashes/ and $build/fuzz/*.log)"
    exit 1
fi
