// net/scan_folder.cpp
// The saved setup in the settings file, the password's DPAPI protection and the details text.
#include "net/scan_folder.h"

#include <windows.h>

#include <wincrypt.h>

#include "app/settings.h"
#include "app/strings.h"
#include "core/heap.h"
#include "core/library.h"

static const wchar_t kSection[] = L"ScanFolder";
static const wchar_t kEntropy[] = L"ZanGroupScanner ScanFolder";

// The data protection functions come from the system folder when needed instead of being
// imported: a crypt32.dll planted beside the program must never be loaded.
template <typename F>
static F dpapi(const char* name) {
    return reinterpret_cast<F>(system_library_function(L"crypt32.dll", name));
}

void saved_scan_folder_release(SavedScanFolder* s) {
    WideString* fields[] = {&s->folder, &s->share, &s->user, &s->password, &s->computer, &s->ip, &s->unc};
    for (WideString* f : fields) release(f);
    *s = SavedScanFolder{};
}

bool password_protect(const wchar_t* password, WideString* hex) {
    assign(hex, L"");
    DATA_BLOB in = {(DWORD)((text_length(password) + 1) * sizeof(wchar_t)),
                    reinterpret_cast<BYTE*>(const_cast<wchar_t*>(password))};
    DATA_BLOB entropy = {sizeof kEntropy, reinterpret_cast<BYTE*>(const_cast<wchar_t*>(kEntropy))};
    DATA_BLOB out = {};
    const auto protect = dpapi<decltype(&CryptProtectData)>("CryptProtectData");
    if (!protect || !protect(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) return false;
    static const wchar_t kHex[] = L"0123456789abcdef";
    for (DWORD i = 0; i < out.cbData; ++i) {
        append_char(hex, kHex[out.pbData[i] >> 4]);
        append_char(hex, kHex[out.pbData[i] & 15]);
    }
    LocalFree(out.pbData);
    return true;
}

static int hex_value(wchar_t c) {
    return c >= L'0' && c <= L'9' ? c - L'0' : c >= L'a' && c <= L'f' ? c - L'a' + 10 : -1;
}

bool password_unprotect(const wchar_t* hex, WideString* password) {
    assign(password, L"");
    ByteBuffer blob = {};
    bool ok = true;
    for (const wchar_t* p = hex; ok && p && p[0]; p += 2) {
        const int high = hex_value(p[0]), low = p[1] ? hex_value(p[1]) : -1;
        ok = high >= 0 && low >= 0;
        const uint8_t byte = (uint8_t)(high * 16 + low);
        if (ok) append_bytes(&blob, &byte, 1);
    }
    DATA_BLOB in = {(DWORD)blob.length, blob.data};
    DATA_BLOB entropy = {sizeof kEntropy, reinterpret_cast<BYTE*>(const_cast<wchar_t*>(kEntropy))};
    DATA_BLOB out = {};
    const auto unprotect = dpapi<decltype(&CryptUnprotectData)>("CryptUnprotectData");
    ok = ok && blob.length > 0 && unprotect &&
         unprotect(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out);
    release(&blob);
    if (!ok) return false;
    // The text was stored with its terminator; anything else is not ours.
    const int units = (int)(out.cbData / sizeof(wchar_t));
    const wchar_t* text = reinterpret_cast<const wchar_t*>(out.pbData);
    ok = units > 0 && text[units - 1] == 0;
    if (ok) assign(password, text, units - 1);
    SecureZeroMemory(out.pbData, out.cbData);
    LocalFree(out.pbData);
    return ok;
}

bool scan_folder_save(const ShareSetupResult& r) {
    WideString protected_password = {};
    // Without DPAPI the password is simply not kept: the wizard shows it for this run only.
    if (r.password.length > 0) password_protect(text_of(r.password), &protected_password);
    const struct {
        const wchar_t* key;
        const wchar_t* value;
    } values[] = {{L"Ready", L"1"},
                  {L"Folder", text_of(r.folder)},
                  {L"Share", text_of(r.share)},
                  {L"User", text_of(r.user)},
                  {L"Password", L""},
                  {L"PasswordProtected", text_of(protected_password)},
                  {L"Computer", text_of(r.computer)},
                  {L"IP", text_of(r.ip)},
                  {L"UNC", text_of(r.unc)},
                  {L"Everyone", r.everyone ? L"1" : L"0"}};
    bool ok = true;
    for (const auto& v : values) ok = write_text(v.key, kSection, v.value) && ok;
    release(&protected_password);
    return ok;
}

void scan_folder_load(SavedScanFolder* out) {
    saved_scan_folder_release(out);
    WideString flag = {}, hex = {};
    read_text(L"Ready", kSection, L"0", &flag);
    out->ready = flag.length > 0 && flag.data[0] == L'1';
    read_text(L"Everyone", kSection, L"0", &flag);
    out->everyone = flag.length > 0 && flag.data[0] == L'1';
    read_text(L"Folder", kSection, L"", &out->folder);
    read_text(L"Share", kSection, L"", &out->share);
    read_text(L"User", kSection, L"", &out->user);
    read_text(L"Computer", kSection, L"", &out->computer);
    read_text(L"IP", kSection, L"", &out->ip);
    read_text(L"UNC", kSection, L"", &out->unc);
    read_text(L"PasswordProtected", kSection, L"", &hex);
    if (hex.length > 0) password_unprotect(text_of(hex), &out->password);
    release(&flag);
    release(&hex);
}

// True for a character that keeps its own direction in right-to-left text: a Latin
// letter or a digit. Anything else (backslash, dot, dash, blank) takes the direction of
// its neighbours and may wander to the other end of the value.
static bool holds_direction(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
}

// In Arabic a left-to-right mark (U+200E) goes after the label's colon, before the blank,
// so the blank and a value's leading backslashes belong to the left-to-right value. The
// mark stays outside the value: a value selected from pasted text is exactly what the user
// must type. A value ending in a character without a direction gets a closing mark too.
// Marks, unlike embeddings, hold no state, so a part of the text pasted elsewhere cannot
// turn the direction of what follows it.
void append_labelled_value(WideString* out, int language, int id, const wchar_t* separator, const wchar_t* value) {
    const wchar_t kLrm = 0x200E;
    const bool arabic = language == LANGUAGE_ARABIC;
    append(out, tr_in(language, id));
    const int length = (int)text_length(separator);
    const int blanks = length > 0 && separator[length - 1] == L' ' ? 1 : 0;
    append(out, separator, length - blanks);
    if (arabic) append_char(out, kLrm);
    append(out, L" ", blanks);
    append(out, value);
    const int n = (int)text_length(value);
    if (arabic && n > 0 && !holds_direction(value[n - 1])) append_char(out, kLrm);
}

void share_details_text(const wchar_t* folder, const wchar_t* computer, const wchar_t* ip, const wchar_t* unc,
                        const wchar_t* user, const wchar_t* password, bool everyone, bool existing, int language,
                        WideString* out) {
    assign(out, L"");
    append_labelled_value(out, language, 278, L" ", folder);
    append(out, L"\r\n");
    append_labelled_value(out, language, 248, L": ", computer);
    append(out, L"\r\n");
    append_labelled_value(out, language, 249, L": ", ip);
    append(out, L"\r\n");
    append_labelled_value(out, language, 250, L": ", unc);
    append(out, L"\r\n");
    append_labelled_value(out, language, 251, L": ", user);
    append(out, L"\r\n");
    append_labelled_value(out, language, 252, L": ", password);
    append(out, L"\r\n\r\n");
    if (!everyone && existing) {
        append(out, tr_in(language, 286));
        append(out, L"\r\n\r\n");
    }
    append(out, tr_in(language, everyone ? 265 : 255));
    append(out, L"\r\n");
    append(out, tr_in(language, everyone ? 243 : 256));
}
