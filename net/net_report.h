// net/net_report.h
// The reports of the network tools: an ordered list of lines, each a string-table id with
// its arguments, a fixed English technical text (a step label, netsh's own output, a
// text the elevated instance rendered) or a system error code. The text is made only when
// the interface shows it, in the language asked for. The report owns its lines.
#ifndef ZAN_NET_NET_REPORT_H
#define ZAN_NET_NET_REPORT_H

#include "core/wide_string.h"

enum NetLineKind { NET_LINE_TEXT_ID, NET_LINE_FIXED, NET_LINE_SYSTEM_ERROR, NET_LINE_BLANK };

const int NET_LINE_ARGS = 3;

struct NetLine {
    NetLineKind kind;
    int id;                            // NET_LINE_TEXT_ID: the string-table id
    unsigned code;                     // NET_LINE_SYSTEM_ERROR: the system error code
    WideString args[NET_LINE_ARGS];    // the values of the id's placeholders, in order;
                                       // NET_LINE_FIXED: args[0] is the text;
                                       // NET_LINE_SYSTEM_ERROR: args[0] the prefix
    int arg_count;
    WideString suffix;                 // appended after the line's text (" (HRESULT 0x...)")
};

struct NetReport {
    NetLine* lines;
    int count;
    int capacity;
};

// ---- building (each adds one line; false only when memory runs out)
bool report_add_id(NetReport* r, int id, const wchar_t* arg0 = nullptr, const wchar_t* arg1 = nullptr,
                   const wchar_t* arg2 = nullptr);
// An id whose single placeholder is a signed number (%d), or an unsigned code (%u).
bool report_add_id_number(NetReport* r, int id, int value);
bool report_add_id_code(NetReport* r, int id, unsigned code);
// A fixed English text; an empty text adds nothing, as the reports never hold empty lines.
bool report_add_fixed(NetReport* r, const wchar_t* text);
// The system's message for code, after `prefix` on the same line when given.
bool report_add_system_error(NetReport* r, unsigned code, const wchar_t* prefix = nullptr);
bool report_add_blank(NetReport* r);
// Gives the last line a suffix; nothing when the report is empty.
bool report_set_suffix(NetReport* r, const wchar_t* suffix);
// Appends a copy of every line of `from`.
bool report_add_report(NetReport* r, const NetReport& from);
bool report_is_empty(const NetReport& r);
void report_clear(NetReport* r);
void report_release(NetReport* r);

// ---- text
// The lines joined by CR LF, each id in `language` (0 Arabic, 1 English) with its
// placeholders (%s, %d, %u) replaced by the arguments in order.
void report_text(const NetReport& r, int language, WideString* out);
// The system's message for a code, as it comes (with its own line break), or "Error %u".
WideString system_error_text(unsigned code);

#endif
