// net/net_report.cpp
// Report lines and their rendering.
#include "net/net_report.h"

#include "app/strings.h"
#include "core/heap.h"

static NetLine* report_new_line(NetReport* r, NetLineKind kind) {
    if (r->count == r->capacity) {
        const int capacity = r->capacity ? r->capacity * 2 : 8;
        NetLine* lines = static_cast<NetLine*>(mem_alloc(sizeof(NetLine) * (size_t)capacity));
        if (!lines) return nullptr;
        for (int i = 0; i < r->count; ++i) lines[i] = r->lines[i];
        mem_free(r->lines);
        r->lines = lines;
        r->capacity = capacity;
    }
    NetLine* line = &r->lines[r->count++];
    *line = NetLine{};
    line->kind = kind;
    return line;
}

bool report_add_id(NetReport* r, int id, const wchar_t* arg0, const wchar_t* arg1, const wchar_t* arg2) {
    NetLine* line = report_new_line(r, NET_LINE_TEXT_ID);
    if (!line) return false;
    line->id = id;
    const wchar_t* args[NET_LINE_ARGS] = {arg0, arg1, arg2};
    for (int i = 0; i < NET_LINE_ARGS && args[i]; ++i) {
        line->args[i] = wide_copy(args[i]);
        line->arg_count = i + 1;
    }
    return true;
}

static bool report_add_id_formatted(NetReport* r, int id, const wchar_t* fmt, int value) {
    WideString number = {};
    format(&number, fmt, value);
    const bool ok = report_add_id(r, id, text_of(number));
    release(&number);
    return ok;
}

bool report_add_id_number(NetReport* r, int id, int value) {
    return report_add_id_formatted(r, id, L"%d", value);
}

bool report_add_id_code(NetReport* r, int id, unsigned code) {
    return report_add_id_formatted(r, id, L"%u", (int)code);
}

bool report_add_fixed(NetReport* r, const wchar_t* text) {
    if (!text || !text[0]) return true;
    NetLine* line = report_new_line(r, NET_LINE_FIXED);
    if (!line) return false;
    line->args[0] = wide_copy(text);
    line->arg_count = 1;
    return true;
}

bool report_add_system_error(NetReport* r, unsigned code, const wchar_t* prefix) {
    NetLine* line = report_new_line(r, NET_LINE_SYSTEM_ERROR);
    if (!line) return false;
    line->code = code;
    if (prefix) {
        line->args[0] = wide_copy(prefix);
        line->arg_count = 1;
    }
    return true;
}

bool report_add_blank(NetReport* r) {
    return report_new_line(r, NET_LINE_BLANK) != nullptr;
}

bool report_set_suffix(NetReport* r, const wchar_t* suffix) {
    if (r->count == 0) return false;
    return assign(&r->lines[r->count - 1].suffix, suffix);
}

bool report_add_report(NetReport* r, const NetReport& from) {
    for (int i = 0; i < from.count; ++i) {
        const NetLine& src = from.lines[i];
        NetLine* line = report_new_line(r, src.kind);
        if (!line) return false;
        line->id = src.id;
        line->code = src.code;
        line->arg_count = src.arg_count;
        for (int a = 0; a < src.arg_count; ++a) line->args[a] = wide_copy(text_of(src.args[a]));
        if (src.suffix.length) line->suffix = wide_copy(text_of(src.suffix));
    }
    return true;
}

bool report_is_empty(const NetReport& r) {
    return r.count == 0;
}

static void line_release(NetLine* line) {
    for (WideString& a : line->args) release(&a);
    release(&line->suffix);
}

void report_clear(NetReport* r) {
    for (int i = 0; i < r->count; ++i) line_release(&r->lines[i]);
    r->count = 0;
}

void report_release(NetReport* r) {
    report_clear(r);
    mem_free(r->lines);
    *r = NetReport{};
}

// Replaces each %s, %d or %u of the template by the next argument; "%%" is one percent.
static void fill_template(const wchar_t* tmpl, const NetLine& line, WideString* out) {
    int next = 0;
    for (const wchar_t* p = tmpl; *p; ++p) {
        if (p[0] == L'%' && (p[1] == L's' || p[1] == L'd' || p[1] == L'u')) {
            if (next < line.arg_count) append(out, text_of(line.args[next]));
            ++next;
            ++p;
        } else if (p[0] == L'%' && p[1] == L'%') {
            append_char(out, L'%');
            ++p;
        } else {
            append_char(out, *p);
        }
    }
}

void report_text(const NetReport& r, int language, WideString* out) {
    assign(out, L"");
    for (int i = 0; i < r.count; ++i) {
        const NetLine& line = r.lines[i];
        if (i > 0) append(out, L"\r\n");
        switch (line.kind) {
            case NET_LINE_TEXT_ID:
                fill_template(tr_in(language, line.id), line, out);
                break;
            case NET_LINE_FIXED:
                append(out, text_of(line.args[0]));
                break;
            case NET_LINE_SYSTEM_ERROR: {
                WideString message = system_error_text(line.code);
                if (line.arg_count > 0) append(out, text_of(line.args[0]));
                append(out, text_of(message));
                release(&message);
                break;
            }
            case NET_LINE_BLANK:
                break;
        }
        append(out, text_of(line.suffix));
    }
}
