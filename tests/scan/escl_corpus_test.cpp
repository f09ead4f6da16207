// tests/scan/escl_corpus_test.cpp
// Replays the eSCL fuzzer's seed corpus and regression files: each must go through the
// reader and the request builder without a crash, a hang or a sanitizer report.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/fuzz/escl_fuzz.h"

TEST(EsclCorpus, EveryFileGoesThrough) {
    int files = 0;
    int capabilities = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ZAN_ESCL_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().filename().string());
        escl_fuzz_one(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        EsclCapabilities caps = {};
        if (escl_parse_capabilities(bytes.data(), bytes.size(), &caps)) ++capabilities;
        escl_capabilities_release(&caps);
        ++files;
    }
    EXPECT_GE(files, 6);
    EXPECT_GE(capabilities, 3);   // the seeds that are real capabilities still read as such
}
