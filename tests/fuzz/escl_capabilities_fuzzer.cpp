// tests/fuzz/escl_capabilities_fuzzer.cpp
// libFuzzer target: arbitrary bytes as a copier's eSCL answer (capabilities, status) and the
// scan request built from what was read. Built with -DZAN_FUZZ=ON (clang, address and
// undefined-behaviour sanitizers); tests/scan/escl_corpus_test.cpp replays the seed corpus
// beside it in every build.
#include "tests/fuzz/escl_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    escl_fuzz_one(data, size);
    return 0;
}
