#!/usr/bin/env bash
# Fuzzes, for a bounded time each, the PDF reader and page copier (ZAN_FUZZ_SECONDS, default
# 60) and the eSCL capabilities and status reader (ZAN_ESCL_FUZZ_SECONDS, default 30) in a
# native clang build with address and undefined-behaviour sanitizers, each starting from
# its seed corpus in tests/fuzz. Exits non-zero on any finding (crash, leak, time-out, memory
# limit); the input that caused it is left in $ZAN_BUILD/fuzz/findings-<target> and belongs
# in the corpus as a regression file once fixed.
set -euo pipefail
: "${ZAN_BUILD:?}" "${ZAN_SOURCE:?}"
out="$ZAN_BUILD/fuzz"
sanitize="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

cmake -S "$ZAN_SOURCE" -B "$out" -G Ninja -DZAN_HOST=ON -DZAN_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS="$sanitize" -DCMAKE_CXX_FLAGS="$sanitize" >/dev/null
cmake --build "$out" --target pdf_reader_fuzzer escl_capabilities_fuzzer -j2

# fuzz <binary> <seed corpus> <seconds> <max input length>
fuzz() {
    local binary=$1 seeds=$2 seconds=$3 max_len=$4
    local name work findings
    name=$(basename "$binary")
    # New inputs go to a scratch corpus so the seed corpus in the tree stays as committed.
    work="$out/corpus-$name"
    findings="$out/findings-$name"
    rm -rf "$work" "$findings"
    mkdir -p "$work" "$findings"
    cp "$seeds"/* "$work/"
    # One job per core at most; the machine is shared. Each input must finish in 10 s and
    # stay under 2 GiB: a reader that hangs or swells on some input is a finding too.
    ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "$binary" "$work" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
        -artifact_prefix="$findings/" -print_final_stats=1 2>"$out/fuzz-$name.log" || {
            tail -50 "$out/fuzz-$name.log"
            echo "fuzzing $name found a problem: see $findings"
            return 1
        }
    tail -12 "$out/fuzz-$name.log"
    if [ -n "$(ls -A "$findings")" ]; then
        echo "fuzzing $name left findings in $findings"
        return 1
    fi
    echo "fuzzing $name: no findings in ${seconds} s"
}

status=0
fuzz "$out/tests/pdftools/pdf_reader_fuzzer" "$ZAN_SOURCE/tests/fuzz/pdf_reader_corpus" \
    "${ZAN_FUZZ_SECONDS:-60}" 65536 || status=1
fuzz "$out/tests/scan/escl_capabilities_fuzzer" "$ZAN_SOURCE/tests/fuzz/escl_capabilities_corpus" \
    "${ZAN_ESCL_FUZZ_SECONDS:-30}" 65536 || status=1
exit $status
