#!/usr/bin/env bash
# Fuzzes the PDF reader and page copier for a bounded time (ZAN_FUZZ_SECONDS, default 60)
# in a native clang build with address and undefined-behaviour sanitizers, starting from the
# seed corpus in tests/fuzz/pdf_reader_corpus. Exits non-zero on any finding (crash, leak,
# time-out, memory limit); the input that caused it is left in $ZAN_BUILD/fuzz/findings and
# belongs in the corpus as a regression file once fixed.
set -euo pipefail
: "${ZAN_BUILD:?}" "${ZAN_SOURCE:?}"
out="$ZAN_BUILD/fuzz"
seconds=${ZAN_FUZZ_SECONDS:-60}
sanitize="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

cmake -S "$ZAN_SOURCE" -B "$out" -G Ninja -DZAN_HOST=ON -DZAN_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS="$sanitize" -DCMAKE_CXX_FLAGS="$sanitize" >/dev/null
cmake --build "$out" --target pdf_reader_fuzzer -j2

# New inputs go to a scratch corpus so the seed corpus in the tree stays as committed.
work="$out/corpus"
findings="$out/findings"
rm -rf "$work" "$findings"
mkdir -p "$work" "$findings"
cp "$ZAN_SOURCE"/tests/fuzz/pdf_reader_corpus/* "$work/"

# One job per core at most; the machine is shared. Each input must finish in 10 s and stay
# under 2 GiB: a reader that hangs or swells on some file is a finding too.
ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$out/tests/pdftools/pdf_reader_fuzzer" "$work" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -artifact_prefix="$findings/" -print_final_stats=1 2>"$out/fuzz.log" || {
        tail -50 "$out/fuzz.log"
        echo "fuzzing found a problem: see $findings"
        exit 1
    }
tail -12 "$out/fuzz.log"
if [ -n "$(ls -A "$findings")" ]; then
    echo "fuzzing left findings in $findings"
    exit 1
fi
echo "fuzzing: no findings in ${seconds} s"
