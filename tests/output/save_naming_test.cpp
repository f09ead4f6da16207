// tests/output/save_naming_test.cpp
// The naming rules against real folders: cleaned names, reserved device names, the
// counter and date-time searches with their limits, the files of a multi-page JPG save,
// and the ask mode's dialogs through a recording stand-in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/file.h"
#include "core/path.h"
#include "output/save_naming.h"
#include "tests/test_temp_folder.h"
#include "tests/test_text.h"

static std::string cleaned(const wchar_t* name) {
    WideString out = {};
    save_clean_name(name, &out);
    std::string s = utf8(out);
    release(&out);
    return s;
}

TEST(SaveNames, ForbiddenCharactersAreDroppedNotReplaced) {
    EXPECT_EQ(cleaned(L"a/b:c"), "abc");
    EXPECT_EQ(cleaned(L"x\"*<>?|\\y"), "xy");
    EXPECT_EQ(cleaned(L"tab\there\x1f"), "tabhere");
    EXPECT_EQ(cleaned(L"report. . "), "report");
    EXPECT_EQ(cleaned(L" .."), "Scan");
    EXPECT_EQ(cleaned(L""), "Scan");
    EXPECT_EQ(cleaned(nullptr), "Scan");
    EXPECT_EQ(cleaned(L"\x0639\x0642\x062F"), "\xD8\xB9\xD9\x82\xD8\xAF");   // Arabic stays
}

TEST(SaveNames, DeviceNamesAreNeverUsedAsFileNames) {
    EXPECT_EQ(cleaned(L"CON"), "CON_");
    EXPECT_EQ(cleaned(L"nul.txt"), "nul_.txt");
    EXPECT_EQ(cleaned(L"Com1"), "Com1_");
    EXPECT_EQ(cleaned(L"LPT9.pdf"), "LPT9_.pdf");
    EXPECT_EQ(cleaned(L"aux .pdf"), "aux_ .pdf");
    EXPECT_EQ(cleaned(L"conout$"), "conout$_");
    // Only the whole stem counts.
    EXPECT_EQ(cleaned(L"COM0"), "COM0");
    EXPECT_EQ(cleaned(L"CONSOLE"), "CONSOLE");
    EXPECT_EQ(cleaned(L"PRN_0001"), "PRN_0001");
    EXPECT_EQ(cleaned(L"my.con"), "my.con");
    EXPECT_FALSE(save_is_reserved_name(L"LPT10"));
    EXPECT_TRUE(save_is_reserved_name(L"lpt3.tar.gz"));
}

TEST(SaveNames, StampExtensionsAndJoin) {
    LocalTime t = {2024, 3, 5, 9, 7, 1, 0};
    WideString s = {};
    save_date_stamp(t, &s);
    EXPECT_EQ(utf8(s), "20240305_090701");
    save_join(L"C:\\Out", L"a.pdf", &s);
    EXPECT_EQ(utf8(s), "C:\\Out\\a.pdf");
    save_join(L"C:\\Out\\", L"a.pdf", &s);
    EXPECT_EQ(utf8(s), "C:\\Out\\a.pdf");
    save_join(L"/tmp/", L"a.pdf", &s);
    EXPECT_EQ(utf8(s), "/tmp/a.pdf");
    release(&s);
    EXPECT_EQ(utf8(save_extension(SAVE_FORMAT_PDF)), ".pdf");
    EXPECT_EQ(utf8(save_extension(SAVE_FORMAT_JPG)), ".jpg");
    EXPECT_EQ(utf8(save_extension(SAVE_FORMAT_PNG)), ".png");
    EXPECT_EQ(utf8(save_extension(SAVE_FORMAT_TIFF)), ".tif");
    EXPECT_EQ(utf8(save_extension(7)), ".tif");
    EXPECT_EQ(save_format_label_id(0), 62);
    EXPECT_EQ(save_format_label_id(2), 64);
    EXPECT_EQ(save_format_label_id(9), 65);
}

TEST(SaveNames, SeveralJpgPagesAreNumberedFiles) {
    WideString out = {};
    EXPECT_EQ(save_output_count(SAVE_FORMAT_JPG, 3), 3);
    save_output_path(L"C:\\Out\\Report.jpg", SAVE_FORMAT_JPG, 3, 0, &out);
    EXPECT_EQ(utf8(out), "C:\\Out\\Report_001.jpg");
    save_output_path(L"C:\\Out\\Report.jpg", SAVE_FORMAT_JPG, 3, 2, &out);
    EXPECT_EQ(utf8(out), "C:\\Out\\Report_003.jpg");
    save_output_path(L"C:\\Out\\Report.png", SAVE_FORMAT_PNG, 1, 0, &out);
    EXPECT_EQ(utf8(out), "C:\\Out\\Report.png");
    EXPECT_EQ(save_output_count(SAVE_FORMAT_TIFF, 3), 1);
    save_output_path(L"C:\\Out\\Report.tif", SAVE_FORMAT_TIFF, 3, 0, &out);
    EXPECT_EQ(utf8(out), "C:\\Out\\Report.tif");
    release(&out);
}

// ---- the naming modes over a real folder

struct Recorder {
    std::vector<std::string> calls;
    bool answer = true;             // what every dialog answers
    const wchar_t* name = L"Typed";   // the input dialog's answer
    WideString dialog_path = {};    // the save dialog's answer
    ~Recorder() { release(&dialog_path); }
};

static bool record_ask(void* context, const wchar_t* proposed, WideString* answer) {
    Recorder* r = static_cast<Recorder*>(context);
    r->calls.push_back("ask " + utf8(proposed));
    assign(answer, r->name);
    return r->answer;
}

static bool record_replace(void* context, const wchar_t* existing) {
    Recorder* r = static_cast<Recorder*>(context);
    WideString name = path_file_name(existing);
    r->calls.push_back("replace " + utf8(name));
    release(&name);
    return r->answer;
}

static bool record_dialog(void* context, const wchar_t*, const wchar_t* proposed, int format, bool prompt,
                          WideString* chosen) {
    Recorder* r = static_cast<Recorder*>(context);
    r->calls.push_back("dialog " + utf8(proposed) + " format=" + std::to_string(format) +
                       (prompt ? " prompt" : " no-prompt"));
    assign(chosen, text_of(r->dialog_path));
    return r->answer;
}

struct Naming {
    TempFolder folder;
    Recorder recorder;
    SaveNamingRequest request = {};
    SaveNamingResult result = {};
    Naming(int mode, int format = SAVE_FORMAT_PDF) {
        request.folder = text_of(folder.path);
        request.format = format;
        request.naming_mode = mode;
        request.prefix = L"Scan";
        request.counter = 1;
        request.fixed_folder = true;
        request.page_count = 1;
        request.now = LocalTime{2024, 3, 15, 9, 30, 5, 0};
    }
    ~Naming() { save_naming_result_release(&result); }
    SaveNamingOutcome choose() {
        save_naming_result_release(&result);
        const SaveNamingUi ui = {&recorder, record_ask, record_replace, record_dialog};
        return save_choose_path_with(&request, &ui, &result);
    }
    std::string chosen_name() {
        WideString name = path_file_name(text_of(result.path));
        std::string s = utf8(name);
        release(&name);
        return s;
    }
    void touch(const wchar_t* name) {
        WideString f = folder.write(name, "x");
        release(&f);
    }
};

TEST(SaveChoosePath, CounterSkipsExistingFiles) {
    Naming n(SAVE_NAMING_COUNTER);
    n.request.counter = 7;
    n.touch(L"Scan_0007.pdf");
    ASSERT_EQ(n.choose(), SAVE_PATH_CHOSEN);
    EXPECT_EQ(n.chosen_name(), "Scan_0008.pdf");
    EXPECT_EQ(n.result.counter, 9);
    EXPECT_TRUE(n.recorder.calls.empty());
    // A folder of that name does not count as a file.
    WideString sub = n.folder.file(L"Scan_0009.pdf");
    ensure_folder(text_of(sub));
    release(&sub);
    n.request.counter = 9;
    ASSERT_EQ(n.choose(), SAVE_PATH_CHOSEN);
    EXPECT_EQ(n.chosen_name(), "Scan_0009.pdf");
}

TEST(SaveChoosePath, CleanedPrefixAndMissingFolderCreated) {
    Naming n(SAVE_NAMING_COUNTER, SAVE_FORMAT_TIFF);
    WideString deep = n.folder.file(L"new\\deeper");
    n.request.folder = text_of(deep);
    n.request.prefix = L"a/b:c";
    ASSERT_EQ(n.choose(), SAVE_PATH_CHOSEN);
    EXPECT_EQ(n.chosen_name(), "abc_0001.tif");
    EXPECT_TRUE(folder_exists(text_of(deep)));
    release(&deep);
}

TEST(SaveChoosePath, CounterStopsAtItsLimitInsteadOfOverwriting) {
    Naming n(SAVE_NAMING_COUNTER);
    n.request.counter = 99998;
    n.touch(L"Scan_99998.pdf");
    n.touch(L"Scan_99999.pdf");
    EXPECT_EQ(n.choose(), SAVE_PATH_FAILED);
    EXPECT_EQ(n.result.path.length, 0);
    EXPECT_NE(utf8(n.result.error).find("no free file name"), std::string::npos);
    EXPECT_EQ(n.result.counter, 99998);   // the setting is left as it was
    n.request.counter = 99999;
    WideString last = n.folder.file(L"Scan_99999.pdf");
    delete_file(text_of(last));
    release(&last);
    ASSERT_EQ(n.choose(), SAVE_PATH_CHOSEN);
    EXPECT_EQ(n.chosen_name(), "Scan_99999.pdf");
    EXPECT_EQ(n.result.counter, 100000);
}

TEST(SaveChoosePath, SameSecondGetsASuffix) {
    Naming n(SAVE_NAMING_DATE_TIME);
    ASSERT_EQ(n.choose(), SAVE_PATH_CHOSEN);
    EXPECT_EQ(n.chosen_name(), "Scan_20240315_093005.pdf");
    n.touch(L"Scan_20240315_093005.pdf");
    ASSERT_EQ(n.choose(), SAVE_PATH_CHOSEN);
    EXPECT_EQ(n.chosen_name(), "Scan_20240315_093005_2.pdf");
    n.touch(L"Scan_20240315_093005_2.pdf");
    ASSERT_EQ(n.choose(), SAVE_PATH_CHOSEN);
    EXPECT_EQ(n.chosen_name(), "Scan_20240315_093005_3.pdf");
    EXPECT_TRUE(n.recorder.calls.empty());
}

// A folder where every name exists except those ending in "_10000.png", which the
// date-time search must never reach.
static int g_exists_calls = 0;
static bool all_but_suffix_10000(const wchar_t* path) {
    ++g_exists_calls;
    const std::string p = utf8(path);
    return p.find("_10000.png") == std::string::npos;
}

TEST(SaveChoosePath, DateTimeStopsAfterTheLastSuffix) {
    Naming n(SAVE_NAMING_DATE_TIME, SAVE_FORMAT_PNG);
    n.request.exists = all_but_suffix_10000;
    g_exists_calls = 0;
    EXPECT_EQ(n.choose(), SAVE_PATH_FAILED);
    EXPECT_EQ(g_exists_calls, SAVE_SUFFIX_LIMIT);   // the bare name, then _2 .. _9999
    EXPECT_NE(utf8(n.result.error).find("Scan_20240315_093005_9999"), std::string::npos);
    EXPECT_EQ(n.result.path.length, 0);
}

TEST(SaveChoosePath, MultiPageJpgChecksTheFilesReallyWritten) {
    Naming n(SAVE_NAMING_DATE_TIME, SAVE_FORMAT_JPG);
    n.request.page_count = 3;
    // The bare target name is free, but the second page's file is not.
    n.touch(L"Scan_20240315_093005_002.jpg");
    ASSERT_EQ(n.choose(), SAVE_PATH_CHOSEN);
    EXPECT_EQ(n.chosen_name(), "Scan_20240315_093005_2.jpg");
    // A single page writes the target itself, which is free.
    n.request.page_count = 1;
    ASSERT_EQ(n.choose(), SAVE_PATH_CHOSEN);
    EXPECT_EQ(n.chosen_name(), "Scan_20240315_093005.jpg");
}

TEST(SaveChoosePath, AskModeInTheFixedFolder) {
    Naming n(SAVE_NAMING_ASK);
    n.recorder.name = L"con";
    ASSERT_EQ(n.choose(), SAVE_PATH_CHOSEN);
    EXPECT_EQ(n.chosen_name(), "con_.pdf");
    ASSERT_EQ(n.recorder.calls.size(), 1u);
    EXPECT_EQ(n.recorder.calls[0], "ask Scan_20240315_093005");

    n.recorder.calls.clear();
    n.recorder.name = L"Re:port";
    n.touch(L"Report.pdf");
    ASSERT_EQ(n.choose(), SAVE_PATH_CHOSEN);
    EXPECT_EQ(n.chosen_name(), "Report.pdf");
    EXPECT_EQ(n.recorder.calls.back(), "replace Report.pdf");

    n.recorder.answer = false;   // "no" to replacing
    EXPECT_EQ(n.choose(), SAVE_PATH_CANCELLED);
    EXPECT_EQ(n.result.path.length, 0);
}

TEST(SaveChoosePath, AskModeQuestionsTheNumberedFiles) {
    Naming n(SAVE_NAMING_ASK, SAVE_FORMAT_PNG);
    n.request.page_count = 2;
    n.recorder.name = L"Report";
    n.touch(L"Report.png");   // not written by a two-page save: no question
    ASSERT_EQ(n.choose(), SAVE_PATH_CHOSEN);
    EXPECT_EQ(n.recorder.calls.size(), 1u);
    n.touch(L"Report_002.png");
    n.recorder.answer = true;
    ASSERT_EQ(n.choose(), SAVE_PATH_CHOSEN);
    EXPECT_EQ(n.recorder.calls.back(), "replace Report_002.png");
}

TEST(SaveChoosePath, SystemDialogChangesTheFolder) {
    Naming n(SAVE_NAMING_ASK);
    n.request.fixed_folder = false;
    WideString other = n.folder.file(L"other");
    ensure_folder(text_of(other));
    n.recorder.dialog_path = path_join(text_of(other), L"Chosen.pdf");
    ASSERT_EQ(n.choose(), SAVE_PATH_CHOSEN);
    EXPECT_EQ(n.recorder.calls[0], "dialog Scan_20240315_093005 format=0 prompt");
    EXPECT_EQ(utf8(n.result.path), utf8(n.recorder.dialog_path));
    EXPECT_EQ(utf8(n.result.folder), utf8(other));

    // For several JPG pages the dialog cannot know the real names: the program asks.
    n.request.format = SAVE_FORMAT_JPG;
    n.request.page_count = 2;
    n.recorder.calls.clear();
    release(&n.recorder.dialog_path);
    n.recorder.dialog_path = path_join(text_of(other), L"Chosen.jpg");
    WideString second = path_join(text_of(other), L"Chosen_002.jpg");
    write_whole_file(text_of(second), "x", 1);
    ASSERT_EQ(n.choose(), SAVE_PATH_CHOSEN);
    ASSERT_EQ(n.recorder.calls.size(), 2u);
    EXPECT_EQ(n.recorder.calls[0], "dialog Scan_20240315_093005 format=1 no-prompt");
    EXPECT_EQ(n.recorder.calls[1], "replace Chosen_002.jpg");

    n.recorder.answer = false;   // cancelling the dialog
    EXPECT_EQ(n.choose(), SAVE_PATH_CANCELLED);
    EXPECT_EQ(utf8(n.result.folder), utf8(n.folder.path));
    release(&second);
    release(&other);
}
