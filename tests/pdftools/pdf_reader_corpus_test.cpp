// Replays the fuzzer's seed corpus and regression files: each must go through the reader and
// the page copier without a crash, a hang or a sanitizer report.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

TEST(PdfReaderCorpus, EveryFileGoesThrough) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ZAN_PDF_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().filename().string());
        EXPECT_EQ(0, LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
        ++files;
    }
    EXPECT_GE(files, 10);
}
