// scan/scan_failure.cpp
#include "scan/scan_failure.h"

#include "app/strings.h"
#include "scan/escl.h"

const wchar_t* twcc_name(int condition_code) {
    static const wchar_t* const kNames[30] = {
        L"SUCCESS", L"BUMMER", L"LOWMEMORY", L"NODS", L"MAXCONNECTIONS", L"OPERATIONERROR", L"BADCAP", L"?",
        L"?", L"BADPROTOCOL", L"BADVALUE", L"SEQERROR", L"BADDEST", L"CAPUNSUPPORTED", L"CAPBADOPERATION",
        L"CAPSEQERROR", L"DENIED", L"?", L"?", L"?", L"PAPERJAM", L"PAPERDOUBLEFEED", L"?",
        L"CHECKDEVICEONLINE", L"INTERLOCK", L"?", L"?", L"?", L"?", L"NOMEDIA",
    };
    // Taken as unsigned so that -1 (status not readable) falls outside the table.
    const unsigned index = (unsigned)condition_code;
    return index < 30 ? kNames[index] : L"?";
}

struct CodeText {
    uint32_t code;
    int id;
};

static bool text_for_code(const CodeText* table, int count, uint32_t code, WideString* out) {
    for (int i = 0; i < count; ++i) {
        if (table[i].code == code) return assign(out, tr(table[i].id));
    }
    return false;
}

WideString twain_failure_text(int condition_code) {
    static const CodeText kByCode[] = {
        {2, 151}, {3, 152}, {11, 159}, {16, 158}, {20, 154}, {21, 155}, {23, 156}, {24, 157}, {29, 153},
    };
    WideString text = {};
    if (condition_code >= 0 &&
        text_for_code(kByCode, (int)(sizeof(kByCode) / sizeof(kByCode[0])), (uint32_t)condition_code, &text)) {
        return text;
    }
    format(&text, L"%s (TWCC %d / %s)", tr(160), condition_code, twcc_name(condition_code));
    return text;
}

WideString wia_failure_text(uint32_t hresult) {
    static const CodeText kByResult[] = {
        {0x80040154u, 167}, {0x8007000Eu, 151}, {0x80210002u, 154}, {0x80210003u, 153},
        {0x80210005u, 166}, {0x8021000Au, 166}, {0x80210006u, 158}, {0x80210007u, 158},
        {0x8021000Du, 158}, {0x80210008u, 157},
    };
    WideString text = {};
    if (text_for_code(kByResult, (int)(sizeof(kByResult) / sizeof(kByResult[0])), hresult, &text)) return text;
    format(&text, L"%s (0x%08X)", tr(169), (unsigned)hresult);
    return text;
}

WideString escl_failure_text(const EsclFailure& failure) {
    WideString text = {};
    switch (failure.text_id) {
    case ESCL_TEXT_UNAUTHORISED:
    case ESCL_TEXT_HTTP_ERROR:
    case ESCL_TEXT_NOT_JPEG:
        format(&text, tr(failure.text_id), failure.number);
        break;
    case ESCL_TEXT_UNREACHABLE:
    case ESCL_TEXT_CERTIFICATE:
        format(&text, tr(failure.text_id), text_of(failure.detail));
        break;
    default:
        assign(&text, tr(failure.text_id != 0 ? failure.text_id : TEXT_SCAN_FAILED));
    }
    return text;
}
