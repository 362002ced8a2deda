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
# The sources each target is about: the share of their lines the corpus reaches is the
# coverage figure of the run.
sources() {
    case $1 in
    profile_file) echo platform/ProfileFile.cpp ;;
    reg_file) echo platform/RegFile.cpp ;;
    hand_off) echo mailer/HandOffFile.cpp mailer/AttachmentText.cpp ;;
    base64) echo mailer/Base64.cpp ;;
    smtp_reply) echo mailer/SmtpReplyBuffer.cpp ;;
    call_literal) echo tools/CallOperation.cpp ;;
    conversions) echo platform/com/Conversions.cpp ;;
    barcode) echo barcode/Symbology.cpp barcode/cls3Of9.cpp barcode/clsCode128.cpp \
                  barcode/clsEAN13.cpp barcode/ImageSurface.cpp ;;
    esac
}
printf '%-13s %10s %8s %14s %18s %7s\n' target executions seconds edges-reached lines-of-parser inputs > "$results"
for t in $targets; do
    bin=$build/fuzz/fuzz_$t
    corpus=$here/corpus/$t
    crashes=$here/crashes/$t
    work=$(mktemp -d)
    mkdir -p "$corpus" "$crashes"
    cp "$corpus"/* "$work"/ 2>/dev/null
    log=$build/fuzz/$t.log
    echo "== $t: $seconds s"
    LLVM_PROFILE_FILE=$build/fuzz/$t-run.profraw \
    "$bin" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
        -max_len=4096 -artifact_prefix="$crashes/" "$work" > "$log" 2>&1
    status=$?
    [ $status -ne 0 ] && failed="$failed $t"
    # The smallest set of inputs that reaches everything the run reached.
    fresh=$(mktemp -d)
    LLVM_PROFILE_FILE=$build/fuzz/$t-run.profraw \
    "$bin" -merge=1 -timeout=10 -artifact_prefix="$fresh-" "$fresh" "$work" >> "$log" 2>&1
    if [ -n "$(ls "$fresh")" ]; then
        rm -f "$corpus"/*
        cp "$fresh"/* "$corpus"/
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    total=$(sed -n 's/.*(\([0-9]*\) inline 8-bit counters).*/\1/p' "$log" | head -1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    # Lines of the target's sources that the kept corpus reaches, replayed once.
    LLVM_PROFILE_FILE=$build/fuzz/$t.profraw "$bin" -runs=0 "$corpus" >> "$log" 2>&1
    llvm-profdata merge -sparse "$build/fuzz/$t.profraw" -o "$build/fuzz/$t.profdata"
    # (Rows are matched by the end of their name: a compiler cache may record relative paths.)
    lines=$(llvm-cov report "$bin" -instr-profile="$build/fuzz/$t.profdata" 2>/dev/null |
            awk -v files="$(sources "$t")" '
                BEGIN { n = split(files, want, " ") }
                { for (i = 1; i <= n; ++i)
                      if (substr($1, length($1) - length(want[i]) + 1) == want[i]) {
                          total += $8; missed += $9 } }
                END { if (total) printf "%d/%d %.1f%%", total - missed, total,
                                        100 * (total - missed) / total }')
    rm -f "$build/fuzz/$t-run.profraw" "$build/fuzz/$t.profraw"
    printf '%-13s %10s %8s %14s %18s %7s\n' "$t" "${runs:-?}" "$seconds" "${cov:-?}/${total:-?}" \
        "${lines:-?}" "$(ls "$corpus" | wc -l)" >> "$results"
    tail -n 3 "$log" | sed 's/^/   /'
    rm -rf "$work" "$fresh" "$fresh"-*
done
cat "$results"
if [ -n "$failed" ]; then
    echo "crashes or leaks in:$failed (see fuzz/crashes/ and $build/fuzz/*.log)"
    exit 1
fi
