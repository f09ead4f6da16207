// ui/merge_split_rules.cpp
#include "ui/merge_split_rules.h"

#include "core/file.h"
#include "core/path.h"
#include "core/text.h"
#include "pdftools/pdf_reader.h"
#include "pdftools/pdf_split.h"

int merge_list_move(StringList* list, int index, int delta) {
    if (!list || index < 0 || index >= list->count) return index;
    const int other = index + delta;
    if (other < 0 || other >= list->count) return index;
    const WideString held = list->items[index];
    list->items[index] = list->items[other];
    list->items[other] = held;
    return other;
}

int merge_list_remove(StringList* list, int index) {
    if (!list || index < 0 || index >= list->count) return -1;
    string_list_remove(list, index);
    if (list->count == 0) return -1;
    return index < list->count ? index : list->count - 1;
}

bool merge_output_is_input(const StringList* inputs, const wchar_t* output) {
    if (!inputs || !output) return false;
    for (int i = 0; i < inputs->count; ++i) {
        const wchar_t* input = text_of(inputs->items[i]);
        if (compare_no_case(input, output) == 0 || files_are_same(input, output)) return true;
    }
    return false;
}

int split_n_of(const wchar_t* text) {
    int n = 0;
    for (const wchar_t* p = text ? text : L""; *p >= L'0' && *p <= L'9'; ++p) {
        // Past a million pages per file the value no longer matters: every file is the rest.
        if (n < 1000000) n = n * 10 + (*p - L'0');
    }
    return n < 2 ? 1 : n;
}

WideString split_output_folder(const wchar_t* input) {
    WideString folder = path_folder(input);
    WideString file = path_file_name(input);
    WideString base = path_without_extension(text_of(file));
    append(&base, L"_split");
    WideString out = path_join(text_of(folder), text_of(base));
    release(&base);
    release(&file);
    release(&folder);
    return out;
}

int split_existing_parts(const wchar_t* input, const wchar_t* folder, int mode, int n, const wchar_t* ranges_text,
                         PdfMessage* error) {
    PdfDocument doc = {};
    PdfPageList pages = {};
    if (!pdf_read_document(input, &doc, &pages)) {
        pdf_message_set(error, doc.error_id ? doc.error_id : PDF_MESSAGE_UNREADABLE);
        pdf_page_list_free(&pages);
        pdf_document_free(&doc);
        return -1;
    }
    const int page_count = pages.count;
    pdf_page_list_free(&pages);
    pdf_document_free(&doc);
    PdfRangeList ranges = {};
    if (!pdf_split_build_ranges(mode, n, ranges_text, page_count, &ranges)) {
        pdf_message_set(error, PDF_MESSAGE_NO_RANGE, nullptr, page_count);
        pdf_range_list_free(&ranges);
        return -1;
    }
    WideString file = path_file_name(input);
    WideString base = path_without_extension(text_of(file));
    int existing = 0;
    for (int k = 0; k < ranges.count; ++k) {
        WideString name = pdf_split_file_name(text_of(base), ranges.items[k].first, ranges.items[k].last);
        WideString path = path_join(folder, text_of(name));
        // A range given twice names one file: count it once.
        bool seen = false;
        for (int j = 0; j < k && !seen; ++j) {
            seen = ranges.items[j].first == ranges.items[k].first && ranges.items[j].last == ranges.items[k].last;
        }
        if (!seen && file_exists(text_of(path))) ++existing;
        release(&path);
        release(&name);
    }
    release(&base);
    release(&file);
    pdf_range_list_free(&ranges);
    return existing;
}

const wchar_t* merge_split_start_folder(const wchar_t* merge_dir, const wchar_t* save_dir) {
    if (merge_dir && merge_dir[0]) return merge_dir;
    return save_dir ? save_dir : L"";
}

// ---- texts: the count and folder are filled in by hand, since a folder may hold "%".

static WideString counted_text(const wchar_t* before, int count, const wchar_t* after, const wchar_t* folder,
                               const wchar_t* last) {
    WideString s = {};
    append(&s, before);
    append_int(&s, count);
    append(&s, after);
    append(&s, folder);
    append(&s, last);
    return s;
}

WideString split_replace_question(int language, int count, const wchar_t* folder) {
    if (language == 0) {
        // "يوجد %d ملف بالأسماء نفسها في:\n...\nهل تريد استبدالها؟"
        return counted_text(L"\x064A\x0648\x062C\x062F ", count,
                            L" \x0645\x0644\x0641 \x0628\x0627\x0644\x0623\x0633\x0645\x0627\x0621 "
                            L"\x0646\x0641\x0633\x0647\x0627 \x0641\x064A:\n",
                            folder,
                            L"\n\x0647\x0644 \x062A\x0631\x064A\x062F "
                            L"\x0627\x0633\x062A\x0628\x062F\x0627\x0644\x0647\x0627\x061F");
    }
    return counted_text(L"", count, L" file(s) of this split already exist in:\n", folder, L"\nReplace them?");
}

WideString merge_stopped_text(int language) {
    WideString s = {};
    // "أُوقف الدمج. لم يُكتب أي ملف."
    assign(&s, language == 0 ? L"\x0623\x064F\x0648\x0642\x0641 \x0627\x0644\x062F\x0645\x062C. "
                               L"\x0644\x0645 \x064A\x064F\x0643\x062A\x0628 \x0623\x064A \x0645\x0644\x0641."
                             : L"The merge was stopped. No file was written.");
    return s;
}

WideString split_stopped_text(int language, int count, const wchar_t* folder) {
    if (language == 0) {
        // "أُوقف التقسيم بعد %d ملف في:\n..."
        return counted_text(L"\x0623\x064F\x0648\x0642\x0641 \x0627\x0644\x062A\x0642\x0633\x064A\x0645 "
                            L"\x0628\x0639\x062F ",
                            count, L" \x0645\x0644\x0641 \x0641\x064A:\n", folder, L"");
    }
    return counted_text(L"The split was stopped after ", count, L" file(s) in:\n", folder, L"");
}
