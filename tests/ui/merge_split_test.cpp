// The merge and split dialogs without windows: their layouts at 96 and 144 DPI in both
// reading directions, the list moves, the N field, the output folder, the files a split
// would replace, the open dialog's selection buffer, and the worker's progress and cancel.
#include "ui/merge_split_layout.h"

#include <gtest/gtest.h>

#include <string>

#include "app/strings.h"
#include "output/pdf_writer.h"
#include "pdftools/pdf_split.h"
#include "tests/pdftools/pdf_test_files.h"
#include "tests/test_text.h"
#include "ui/file_choice.h"
#include "ui/merge_split_rules.h"
#include "ui/theme.h"
#include "ui/tool_worker.h"

namespace {

int width(const RECT& r) {
    return r.right - r.left;
}
int height(const RECT& r) {
    return r.bottom - r.top;
}

void expect_mirror(const RECT& en, const RECT& ar, int client_w) {
    EXPECT_EQ(ar.left, client_w - en.right);
    EXPECT_EQ(ar.right, client_w - en.left);
    EXPECT_EQ(ar.top, en.top);
    EXPECT_EQ(ar.bottom, en.bottom);
}

bool inside(const RECT& r, int w, int h) {
    return r.left >= 0 && r.top >= 0 && r.right <= w && r.bottom <= h && r.left < r.right && r.top < r.bottom;
}

bool overlap(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

TEST(MergeLayout, PlacesAt96DpiInEnglish) {
    const MergeLayout l = merge_layout(620, 520, nullptr, 96, LANGUAGE_ENGLISH);
    EXPECT_EQ(l.heading.left, 20);
    EXPECT_EQ(width(l.heading), 580);
    EXPECT_EQ(l.list.left, 20);
    EXPECT_EQ(l.list.top, 52);
    EXPECT_EQ(width(l.list), 620 - 182);
    EXPECT_EQ(height(l.list), 520 - 136);
    for (int i = 0; i < MERGE_COLUMN_BUTTONS; ++i) {
        EXPECT_EQ(l.column[i].left, 620 - 150);
        EXPECT_EQ(width(l.column[i]), 130);
        EXPECT_EQ(l.column[i].top, 52 + i * 44);
        EXPECT_EQ(height(l.column[i]), 36);
    }
    // Merge and save 18 from the right edge, Close 10 further in; the row 14 above the bottom.
    EXPECT_EQ(l.merge.right, 620 - 18);
    EXPECT_EQ(width(l.merge), 170);
    EXPECT_EQ(l.close.right, 620 - 18 - 170 - 10);
    EXPECT_EQ(width(l.close), 110);
    EXPECT_EQ(l.merge.bottom, 520 - 14);
    EXPECT_EQ(height(l.merge), 36);
    // The progress bar fits between the list and the row.
    EXPECT_GE(l.progress.top, l.list.bottom);
    EXPECT_LE(l.progress.bottom, l.merge.top);
}

TEST(MergeLayout, ArabicIsTheMirrorAndGrownCaptionsKeepTheRowApart) {
    const int needed[2] = {260, 150};   // wider than Merge and save (170) and Close (110) at 96 DPI
    for (int dpi : {96, 144}) {
        const int w = scaled_at(620, dpi), h = scaled_at(520, dpi);
        const MergeLayout en = merge_layout(w, h, needed, dpi, LANGUAGE_ENGLISH);
        const MergeLayout ar = merge_layout(w, h, needed, dpi, LANGUAGE_ARABIC);
        expect_mirror(en.heading, ar.heading, w);
        expect_mirror(en.list, ar.list, w);
        expect_mirror(en.progress, ar.progress, w);
        expect_mirror(en.merge, ar.merge, w);
        expect_mirror(en.close, ar.close, w);
        for (int i = 0; i < MERGE_COLUMN_BUTTONS; ++i) expect_mirror(en.column[i], ar.column[i], w);
        // In Arabic the button column is on the left of the list.
        EXPECT_EQ(ar.column[0].left, scaled_at(20, dpi));
        EXPECT_LT(ar.column[0].right, ar.list.left);
        EXPECT_EQ(ar.merge.left, scaled_at(18, dpi));
        EXPECT_GE(width(en.merge), 260);
        EXPECT_FALSE(overlap(en.merge, en.close));
        const RECT all[] = {en.heading, en.list, en.progress, en.merge, en.close, en.column[0], en.column[3]};
        for (const RECT& r : all) EXPECT_TRUE(inside(r, w, h));
    }
}

TEST(SplitLayout, PlacesAt96DpiInBothLanguages) {
    const SplitLayout l = split_layout(600, 430, nullptr, 96, LANGUAGE_ENGLISH);
    EXPECT_EQ(l.label.top, 18);
    EXPECT_EQ(width(l.label), 560);
    EXPECT_EQ(l.path.left, 20);
    EXPECT_EQ(width(l.path), 560 - 138);
    EXPECT_EQ(l.browse.right, 580);
    EXPECT_EQ(l.browse.top, 40);
    EXPECT_EQ(l.heading.top, 94);
    EXPECT_EQ(l.each_page.top, 124);
    EXPECT_EQ(l.every_n.top, 158);
    EXPECT_EQ(l.ranges.top, 228);
    EXPECT_EQ(l.n_field.left, 46);
    EXPECT_EQ(width(l.n_field), 90);
    EXPECT_EQ(l.ranges_field.left, 46);
    EXPECT_EQ(width(l.ranges_field), 560 - 26);
    EXPECT_EQ(l.split.right, 600 - 18);
    EXPECT_EQ(width(l.split), 120);
    EXPECT_EQ(l.close.right, 600 - 18 - 120 - 10);
    EXPECT_GE(l.progress.top, l.ranges_field.bottom);
    EXPECT_LE(l.progress.bottom, l.split.top);
    const SplitLayout ar = split_layout(600, 430, nullptr, 96, LANGUAGE_ARABIC);
    EXPECT_EQ(ar.path.left, 158);
    EXPECT_EQ(ar.browse.left, 20);
    EXPECT_EQ(ar.n_field.left, 600 - 136);
    EXPECT_EQ(ar.ranges_field.left, 20);
    EXPECT_EQ(ar.split.left, 18);
}

TEST(SplitLayout, ArabicIsTheMirrorAt144Dpi) {
    const int needed[2] = {200, 190};
    const int w = scaled_at(600, 144), h = scaled_at(430, 144);
    const SplitLayout en = split_layout(w, h, needed, 144, LANGUAGE_ENGLISH);
    const SplitLayout ar = split_layout(w, h, needed, 144, LANGUAGE_ARABIC);
    const RECT SplitLayout::*rects[] = {&SplitLayout::label,   &SplitLayout::path,        &SplitLayout::browse,
                                        &SplitLayout::heading, &SplitLayout::each_page,   &SplitLayout::every_n,
                                        &SplitLayout::ranges,  &SplitLayout::n_field,     &SplitLayout::ranges_field,
                                        &SplitLayout::progress, &SplitLayout::split,      &SplitLayout::close};
    for (auto r : rects) {
        expect_mirror(en.*r, ar.*r, w);
        EXPECT_TRUE(inside(en.*r, w, h));
    }
    EXPECT_FALSE(overlap(en.path, en.browse));
    EXPECT_FALSE(overlap(en.split, en.close));
    EXPECT_EQ(width(en.split), 200);
}

// ---- the list

StringList list_of(std::initializer_list<const wchar_t*> items) {
    StringList l = {};
    for (const wchar_t* s : items) string_list_add(&l, s);
    return l;
}

std::string joined(const StringList& l) {
    std::string s;
    for (int i = 0; i < l.count; ++i) s += (i ? "," : "") + utf8(l.items[i]);
    return s;
}

TEST(MergeList, UpAndDownSwapAndStopAtTheEnds) {
    StringList l = list_of({L"a", L"b", L"c"});
    EXPECT_EQ(1, merge_list_move(&l, 2, -1));
    EXPECT_EQ("a,c,b", joined(l));
    EXPECT_EQ(1, merge_list_move(&l, 0, 1));
    EXPECT_EQ("c,a,b", joined(l));
    EXPECT_EQ(0, merge_list_move(&l, 0, -1));   // up on the first does nothing
    EXPECT_EQ(2, merge_list_move(&l, 2, 1));    // down on the last does nothing
    EXPECT_EQ(-1, merge_list_move(&l, -1, 1));  // nothing selected
    EXPECT_EQ("c,a,b", joined(l));
    string_list_free(&l);
}

TEST(MergeList, RemoveKeepsThePositionOrTakesTheNewLast) {
    StringList l = list_of({L"a", L"b", L"c"});
    EXPECT_EQ(1, merge_list_remove(&l, 1));
    EXPECT_EQ("a,c", joined(l));
    EXPECT_EQ(0, merge_list_remove(&l, 1));
    EXPECT_EQ(-1, merge_list_remove(&l, 5));
    EXPECT_EQ("a", joined(l));
    EXPECT_EQ(-1, merge_list_remove(&l, 0));
    EXPECT_EQ(0, l.count);
    string_list_free(&l);
}

TEST(MergeList, TargetAmongTheInputsIsFoundUnderAnotherSpelling) {
    pdftest::TempFolder t;
    WideString a = t.write(L"a.pdf", pdftest::text_pdf(1));
    WideString sub = t.file(L"sub");
    ensure_folder(text_of(sub));
    WideString same = t.file(L"sub\\..\\A.PDF");
    WideString other = t.file(L"merged.pdf");
    StringList l = list_of({text_of(a)});
    EXPECT_TRUE(merge_output_is_input(&l, text_of(a)));
    EXPECT_TRUE(merge_output_is_input(&l, text_of(same)));
    EXPECT_FALSE(merge_output_is_input(&l, text_of(other)));
    string_list_free(&l);
    for (WideString* w : {&a, &sub, &same, &other}) release(w);
}

// ---- split

TEST(SplitRules, NFieldAndOutputFolder) {
    EXPECT_EQ(1, split_n_of(L""));
    EXPECT_EQ(1, split_n_of(L"0"));
    EXPECT_EQ(1, split_n_of(L"1"));
    EXPECT_EQ(1, split_n_of(L"abc"));
    EXPECT_EQ(4, split_n_of(L"4"));
    EXPECT_EQ(12, split_n_of(L"12x3"));
    EXPECT_GT(split_n_of(L"99999999999999999999"), 1);
    WideString folder = split_output_folder(L"C:\\Scans\\report.v2.pdf");
    EXPECT_EQ("C:\\Scans\\report.v2_split", utf8(folder));
    release(&folder);
    EXPECT_STREQ(L"C:\\m", merge_split_start_folder(L"C:\\m", L"C:\\s"));
    EXPECT_STREQ(L"C:\\s", merge_split_start_folder(L"", L"C:\\s"));
}

TEST(SplitRules, ExistingPartsAreCountedOnceAndUnreadableInputsSayWhy) {
    pdftest::TempFolder t;
    WideString in = t.write(L"ten.pdf", pdftest::text_pdf(10));
    WideString dir = t.file(L"ten_split");
    PdfMessage error = {};
    EXPECT_EQ(0, split_existing_parts(text_of(in), text_of(dir), PDF_SPLIT_EVERY_N, 4, nullptr, &error));
    ensure_folder(text_of(dir));
    WideString part = path_join(text_of(dir), L"ten_p009-010.pdf");
    write_whole_file(text_of(part), "x", 1);
    WideString single = path_join(text_of(dir), L"ten_p002.pdf");
    write_whole_file(text_of(single), "x", 1);
    EXPECT_EQ(1, split_existing_parts(text_of(in), text_of(dir), PDF_SPLIT_EVERY_N, 4, nullptr, &error));
    EXPECT_EQ(1, split_existing_parts(text_of(in), text_of(dir), PDF_SPLIT_RANGES, 0, L"9-,9-20", &error));
    EXPECT_EQ(2, split_existing_parts(text_of(in), text_of(dir), PDF_SPLIT_RANGES, 0, L"2,2,9-", &error));
    EXPECT_EQ(1, split_existing_parts(text_of(in), text_of(dir), PDF_SPLIT_EACH_PAGE, 0, nullptr, &error));
    EXPECT_EQ(-1, split_existing_parts(text_of(in), text_of(dir), PDF_SPLIT_RANGES, 0, L"abc", &error));
    EXPECT_EQ(PDF_MESSAGE_NO_RANGE, error.id);
    EXPECT_EQ(10, error.number);
    EXPECT_EQ(-1, split_existing_parts(text_of(part), text_of(dir), PDF_SPLIT_EACH_PAGE, 0, nullptr, &error));
    EXPECT_EQ(PDF_MESSAGE_UNREADABLE, error.id);
    pdf_message_release(&error);
    for (WideString* w : {&in, &dir, &part, &single}) release(w);
}

TEST(SplitRules, TextsCarryTheCountAndAFolderWithPercentSigns) {
    WideString q = split_replace_question(LANGUAGE_ENGLISH, 3, L"C:\\100%s\\x_split");
    EXPECT_EQ("3 file(s) of this split already exist in:\nC:\\100%s\\x_split\nReplace them?", utf8(q));
    release(&q);
    WideString ar = split_replace_question(LANGUAGE_ARABIC, 3, L"C:\\x_split");
    EXPECT_NE(std::string::npos, utf8(ar).find(" 3 "));
    EXPECT_NE(std::string::npos, utf8(ar).find("\nC:\\x_split\n"));
    release(&ar);
    WideString stopped = split_stopped_text(LANGUAGE_ENGLISH, 2, L"D:\\a");
    EXPECT_EQ("The split was stopped after 2 file(s) in:\nD:\\a", utf8(stopped));
    release(&stopped);
    WideString merge_ar = merge_stopped_text(LANGUAGE_ARABIC);
    WideString merge_en = merge_stopped_text(LANGUAGE_ENGLISH);
    EXPECT_GT(merge_ar.length, 0);
    EXPECT_NE(utf8(merge_ar), utf8(merge_en));
    release(&merge_ar);
    release(&merge_en);
}

// ---- the open dialog's buffer

TEST(FileChoice, SelectionBufferGivesFullPaths) {
    StringList chosen = {};
    const wchar_t one[] = L"C:\\Scans\\a.pdf\0";
    EXPECT_EQ(1, file_choice_split_selection(one, (int)(sizeof one / sizeof one[0]), &chosen));
    const wchar_t several[] = L"C:\\Scans\0a.pdf\0b.jpg\0c.tif\0";
    EXPECT_EQ(3, file_choice_split_selection(several, (int)(sizeof several / sizeof several[0]), &chosen));
    const wchar_t root[] = L"C:\\\0a.pdf\0b.pdf\0";
    EXPECT_EQ(2, file_choice_split_selection(root, (int)(sizeof root / sizeof root[0]), &chosen));
    EXPECT_EQ("C:\\Scans\\a.pdf,C:\\Scans\\a.pdf,C:\\Scans\\b.jpg,C:\\Scans\\c.tif,C:\\a.pdf,C:\\b.pdf", joined(chosen));
    // A buffer cut off inside a name adds nothing past the cut.
    const wchar_t cut[] = {L'C', 0, L'a', L'b'};
    EXPECT_EQ(0, file_choice_split_selection(cut, 4, &chosen));
    EXPECT_EQ(0, file_choice_split_selection(L"", 1, &chosen));
    string_list_free(&chosen);
}

// ---- the worker

struct CountingJob {
    int items;
    int done;
    bool cancelled_seen;
};

void count_items(void* parameter) {
    CountingJob* job = static_cast<CountingJob*>(parameter);
    for (int i = 0; i < job->items; ++i) {
        pdf_report_progress(i, job->items);
        if (pdf_cancel_requested()) {
            job->cancelled_seen = true;
            return;
        }
        ++job->done;
        Sleep(1);
    }
}

// Pumps the thread's messages until the worker says it is done; returns the progress posts.
int pump_until_done(HWND window, ToolWorker* worker, CountingJob* job, int cancel_after) {
    int progress = 0;
    MSG msg;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 20000) {
        if (!PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
            Sleep(1);
            continue;
        }
        if (msg.message == TOOL_WORKER_PROGRESS) {
            EXPECT_EQ(job->items, (int)msg.lParam);
            if (++progress == cancel_after) tool_worker_cancel(worker);
        }
        if (msg.message == TOOL_WORKER_DONE) break;
    }
    tool_worker_join(worker);
    return progress;
}

TEST(ToolWorker, ReportsProgressToItsWindowAndStopsWhenCancelled) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    ToolWorker worker = {};
    CountingJob whole = {20, 0, false};
    ASSERT_TRUE(tool_worker_start(&worker, window, count_items, &whole));
    EXPECT_FALSE(tool_worker_start(&worker, window, count_items, &whole));   // one at a time
    EXPECT_EQ(20, pump_until_done(window, &worker, &whole, -1));
    EXPECT_EQ(20, whole.done);
    EXPECT_FALSE(whole.cancelled_seen);
    EXPECT_EQ(nullptr, worker.thread);

    CountingJob stopped = {1000, 0, false};
    ASSERT_TRUE(tool_worker_start(&worker, window, count_items, &stopped));
    pump_until_done(window, &worker, &stopped, 3);
    EXPECT_TRUE(stopped.cancelled_seen);
    EXPECT_LT(stopped.done, 1000);
    // The callbacks belong to the worker's thread: this one reports nothing and is not cancelled.
    EXPECT_FALSE(pdf_cancel_requested());
    DestroyWindow(window);
}

}  // namespace
