// output/pdf_message.cpp
// The technical messages come from the file and write steps, which have no string-table
// ids; their Arabic wording lives beside the English one so both languages stay in step.
#include "output/pdf_message.h"

namespace {

struct TechnicalText {
    int id;
    const wchar_t* english;
    const wchar_t* arabic;
};

// In the Arabic texts a path or number is a left-to-right run inside right-to-left text;
// the layout engine keeps each run whole.
const TechnicalText kTexts[] = {
    {PDF_MESSAGE_CANNOT_CREATE, L"cannot create %s (error %d)",
     L"\x062A\x0639\x0630\x0651\x0631 \x0625\x0646\x0634\x0627\x0621 \x0627\x0644\x0645\x0644\x0641 %s "
     L"(\x0631\x0645\x0632 \x0627\x0644\x062E\x0637\x0623 %d)"},
    {PDF_MESSAGE_WRITE_ERROR, L"write error",
     L"\x062E\x0637\x0623 \x0641\x064A \x0627\x0644\x0643\x062A\x0627\x0628\x0629"},
    {PDF_MESSAGE_DISK_FULL, L"write error (disk full?)",
     L"\x062E\x0637\x0623 \x0641\x064A \x0627\x0644\x0643\x062A\x0627\x0628\x0629 (\x0647\x0644 "
     L"\x0627\x0644\x0642\x0631\x0635 \x0645\x0645\x062A\x0644\x0626\x061F)"},
    {PDF_MESSAGE_NO_PAGES, L"no pages", L"\x0644\x0627 \x062A\x0648\x062C\x062F \x0635\x0641\x062D\x0627\x062A"},
    {PDF_MESSAGE_IMAGE_ENCODE, L"image encode failed",
     L"\x062A\x0639\x0630\x0651\x0631 \x062A\x0631\x0645\x064A\x0632 \x0635\x0648\x0631\x0629 "
     L"\x0627\x0644\x0635\x0641\x062D\x0629"},
    {PDF_MESSAGE_ENCODE, L"encode failed",
     L"\x062A\x0639\x0630\x0651\x0631 \x062A\x0631\x0645\x064A\x0632 \x0627\x0644\x0635\x0648\x0631\x0629"},
    {PDF_MESSAGE_NO_RANGE, L"1..%d ?",
     L"\x0644\x0627 \x064A\x0648\x062C\x062F \x0646\x0637\x0627\x0642 \x0635\x0641\x062D\x0627\x062A "
     L"\x0635\x0627\x0644\x062D (1..%d)"},
    {PDF_MESSAGE_OUTPUT_IS_INPUT, L"cannot create %s: it is one of the files being merged",
     L"\x062A\x0639\x0630\x0651\x0631 \x0625\x0646\x0634\x0627\x0621 %s: \x0625\x0646\x0647 \x0623\x062D\x062F "
     L"\x0627\x0644\x0645\x0644\x0641\x0627\x062A \x0627\x0644\x062A\x064A \x064A\x062C\x0631\x064A "
     L"\x062F\x0645\x062C\x0647\x0627"},
    {PDF_MESSAGE_PAGE_UNREADABLE, L"page %d could not be read back",
     L"\x062A\x0639\x0630\x0651\x0631\x062A \x0642\x0631\x0627\x0621\x0629 \x0627\x0644\x0635\x0641\x062D\x0629 %d "
     L"\x0645\x0646 \x0627\x0644\x0642\x0631\x0635"},
    {PDF_MESSAGE_PAGE_NO_MEMORY, L"page %d: out of memory",
     L"\x0627\x0644\x0635\x0641\x062D\x0629 %d: \x0646\x0641\x062F\x062A "
     L"\x0627\x0644\x0630\x0627\x0643\x0631\x0629"},
    {PDF_MESSAGE_CANCELLED, L"cancelled", L"\x0623\x064F\x0644\x063A\x064A\x062A"},
};

const wchar_t* technical_text(int id, int language) {
    for (const TechnicalText& t : kTexts) {
        if (t.id == id) return language == 0 ? t.arabic : t.english;
    }
    return L"";
}

}  // namespace

void pdf_message_set(PdfMessage* message, int id, const wchar_t* name, int number) {
    if (!message) return;
    message->id = id;
    message->number = number;
    assign(&message->name, name ? name : L"");
}

void pdf_message_release(PdfMessage* message) {
    if (!message) return;
    release(&message->name);
    *message = PdfMessage{};
}

bool pdf_message_text(const PdfMessage* message, int language, PdfTextTable table, WideString* out) {
    if (!message || !out) return false;
    if (message->id >= PDF_MESSAGE_FIRST_TECHNICAL) {
        // A path is never part of the format: it may hold "%".
        const wchar_t* text = technical_text(message->id, language);
        WideString name = {};
        bool ok = true;
        for (const wchar_t* p = text; *p && ok; ++p) {
            if (p[0] == L'%' && p[1] == L's') {
                ok = append(&name, text_of(message->name));
                ++p;
            } else if (p[0] == L'%' && p[1] == L'd') {
                ok = append_int(&name, message->number);
                ++p;
            } else {
                ok = append_char(&name, *p);
            }
        }
        ok = ok && assign(out, text_of(name));
        release(&name);
        return ok;
    }
    const wchar_t* text = message->id != PDF_MESSAGE_NONE && table ? table(language, message->id) : L"";
    if (!text) text = L"";
    if (message->name.length == 0) return assign(out, text);
    const wchar_t* separator = message->id == PDF_MESSAGE_IMAGE_UNREADABLE ? L": " : L"\n";
    return assign(out, text_of(message->name)) && append(out, separator) && append(out, text);
}
