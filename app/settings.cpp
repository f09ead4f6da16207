// app/settings.cpp
// The settings file through the platform's private-profile functions. The file starts
// with a UTF-16LE byte-order mark so that those functions keep every value in UTF-16:
// without it they fall back to the ANSI code page and Arabic names turn into '?'.
#include "app/settings.h"

#include <windows.h>

#include <shlobj.h>

#include "app/strings.h"
#include "core/file.h"
#include "core/heap.h"
#include "core/path.h"
#include "core/text.h"

static const wchar_t kFileName[] = L"ZanGroupScanner.ini";
static const wchar_t kSection[] = L"Settings";
// The profile functions' buffer size for one value, terminator included.
static const int kValueUnits = 2048;
static const int kNeverPlaced = -2147483647 - 1;

static AppSettings g_settings;
static WideString g_settings_path;
// A stored SaveDir whose folder is missing right now (an unplugged drive): it is written
// back unchanged unless the user picks another folder than the fallback in effect.
static WideString g_stored_save_dir;
static WideString g_fallback_save_dir;

// Every key of section "Settings" in the order it is saved; exactly one member is set.
struct SettingKey {
    const wchar_t* key;
    int AppSettings::*number;
    bool AppSettings::*flag;
    WideString AppSettings::*text;
    int number_default;
    const wchar_t* text_default;
};

static const SettingKey kKeys[] = {
    {L"Language", &AppSettings::Language, nullptr, nullptr, 0, nullptr},
    {L"LastDevice", nullptr, nullptr, &AppSettings::LastDevice, 0, L""},
    {L"ColorMode", &AppSettings::ColorMode, nullptr, nullptr, 0, nullptr},
    {L"Dpi", &AppSettings::Dpi, nullptr, nullptr, 300, nullptr},
    {L"Source", &AppSettings::Source, nullptr, nullptr, 0, nullptr},
    {L"Paper", &AppSettings::Paper, nullptr, nullptr, 0, nullptr},
    {L"Brightness", &AppSettings::Brightness, nullptr, nullptr, 0, nullptr},
    {L"Contrast", &AppSettings::Contrast, nullptr, nullptr, 0, nullptr},
    {L"Threshold", &AppSettings::Threshold, nullptr, nullptr, 128, nullptr},
    {L"ShowDriverUi", nullptr, &AppSettings::ShowDriverUi, nullptr, 0, nullptr},
    {L"ShowAllWia", nullptr, &AppSettings::ShowAllWia, nullptr, 0, nullptr},
    {L"SaveDir", nullptr, nullptr, &AppSettings::SaveDir, 0, L""},
    {L"Format", &AppSettings::Format, nullptr, nullptr, 0, nullptr},
    {L"NamingMode", &AppSettings::NamingMode, nullptr, nullptr, 0, nullptr},
    {L"NamePrefix", nullptr, nullptr, &AppSettings::NamePrefix, 0, L"Scan"},
    {L"Counter", &AppSettings::Counter, nullptr, nullptr, 1, nullptr},
    {L"FixedFolder", nullptr, &AppSettings::FixedFolder, nullptr, 0, nullptr},
    {L"Ocr", nullptr, &AppSettings::Ocr, nullptr, 0, nullptr},
    {L"OcrLang", nullptr, nullptr, &AppSettings::OcrLang, 0, L"both"},
    {L"Compression", &AppSettings::Compression, nullptr, nullptr, 0, nullptr},
    {L"AutoCrop", nullptr, &AppSettings::AutoCrop, nullptr, 0, nullptr},
    {L"AutoDeskew", nullptr, &AppSettings::AutoDeskew, nullptr, 0, nullptr},
    {L"RemoveBlank", nullptr, &AppSettings::RemoveBlank, nullptr, 0, nullptr},
    {L"AppendBatch", nullptr, &AppSettings::AppendBatch, nullptr, 0, nullptr},
    {L"Watermark", nullptr, nullptr, &AppSettings::Watermark, 0, L""},
    {L"WatermarkOpacity", &AppSettings::WatermarkOpacity, nullptr, nullptr, 25, nullptr},
    {L"PdfPasswordOn", nullptr, &AppSettings::PdfPasswordOn, nullptr, 0, nullptr},
    {L"PdfCipher", &AppSettings::PdfCipher, nullptr, nullptr, 0, nullptr},
    {L"AfterSave", &AppSettings::AfterSave, nullptr, nullptr, 0, nullptr},
    {L"WinX", &AppSettings::WinX, nullptr, nullptr, kNeverPlaced, nullptr},
    {L"WinY", &AppSettings::WinY, nullptr, nullptr, kNeverPlaced, nullptr},
    {L"WinW", &AppSettings::WinW, nullptr, nullptr, 0, nullptr},
    {L"WinH", &AppSettings::WinH, nullptr, nullptr, 0, nullptr},
    {L"Maximized", nullptr, &AppSettings::Maximized, nullptr, 0, nullptr},
    {L"MergeDir", nullptr, nullptr, &AppSettings::MergeDir, 0, L""},
};

AppSettings* app_settings() {
    return &g_settings;
}

ScanSettings scan_settings_of(const AppSettings& s) {
    const ScanSettings scan = {s.ColorMode, s.Dpi,      s.Source,   s.Paper,
                               s.Brightness, s.Contrast, s.Threshold, s.ShowDriverUi};
    return scan;
}

// ---- loading rules

int parse_decimal(const wchar_t* text) {
    if (!text) return 0;
    const bool negative = *text == L'-';
    if (negative) ++text;
    // 64 bits, stopped just past the 32-bit range so that no digit run can overflow.
    int64_t value = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text) {
        value = value * 10 + (*text - L'0');
        if (value > 2147483648LL) value = 2147483648LL;
    }
    if (negative) return (int)-value;
    return value > 2147483647LL ? 2147483647 : (int)value;
}

static int clamp(int value, int low, int high) {
    return value < low ? low : value > high ? high : value;
}

void settings_repair(AppSettings* s) {
    if (!s) return;
    // Only 0 and 1 exist; anything else would make the run-time switch toggle to a value
    // that is neither language.
    if (s->Language != 1) s->Language = 0;
    s->ColorMode = clamp(s->ColorMode, 0, 2);
    s->Dpi = clamp(s->Dpi, 50, 1200);
    s->Source = clamp(s->Source, 0, 2);
    s->Paper = clamp(s->Paper, 0, 4);
    s->Brightness = clamp(s->Brightness, -100, 100);
    s->Contrast = clamp(s->Contrast, -100, 100);
    s->Threshold = clamp(s->Threshold, 0, 255);
    s->Format = clamp(s->Format, 0, 3);
    s->NamingMode = clamp(s->NamingMode, 0, 2);
    if (s->Counter < 1) s->Counter = 1;
    s->Compression = clamp(s->Compression, 0, 2);
    s->WatermarkOpacity = clamp(s->WatermarkOpacity, 5, 100);
    // A negative cipher would otherwise reach the writer as an unknown method.
    s->PdfCipher = clamp(s->PdfCipher, 0, 1);
    s->AfterSave = clamp(s->AfterSave, 0, 2);
}

// ---- raw access

int read_int(const wchar_t* key, const wchar_t* section, int default_value) {
    // An empty file name would make the profile functions fall back to win.ini.
    if (!key || !section || g_settings_path.length == 0) return default_value;
    wchar_t buffer[kValueUnits] = {};
    GetPrivateProfileStringW(section, key, L"", buffer, kValueUnits, g_settings_path.data);
    if (buffer[0] == 0) return default_value;
    return parse_decimal(buffer);
}

bool read_text(const wchar_t* key, const wchar_t* section, const wchar_t* default_value, WideString* out) {
    if (!out) return false;
    if (!key || !section || g_settings_path.length == 0) return assign(out, default_value);
    wchar_t buffer[kValueUnits] = {};
    GetPrivateProfileStringW(section, key, default_value ? default_value : L"", buffer, kValueUnits,
                             g_settings_path.data);
    return assign(out, buffer);
}

bool write_text(const wchar_t* key, const wchar_t* section, const wchar_t* value) {
    if (!key || !section || g_settings_path.length == 0) return false;
    return WritePrivateProfileStringW(section, key, value ? value : L"", g_settings_path.data) != FALSE;
}

bool write_int(const wchar_t* key, const wchar_t* section, int value) {
    WideString text = {};
    const bool ok = append_int(&text, value) && write_text(key, section, text_of(text));
    release(&text);
    return ok;
}

bool delete_section(const wchar_t* section) {
    if (!section || g_settings_path.length == 0) return false;
    return WritePrivateProfileStringW(section, nullptr, nullptr, g_settings_path.data) != FALSE;
}

// ---- the file

bool settings_create_file(const wchar_t* path) {
    if (!path || !*path) return false;
    static const uint8_t kHeader[26] = {0xFF, 0xFE, '[', 0, 'S', 0, 'e', 0, 't', 0, 't', 0, 'i', 0,
                                        'n',  0,    'g', 0, 's', 0, ']', 0, '\r', 0, '\n', 0};
    create_parent_folders(path);
    return write_whole_file(path, kHeader, (int)sizeof kHeader);
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
static bool is_valid_utf8(const uint8_t* p, int n) {
    for (int i = 0; i < n;) {
        const uint8_t c = p[i];
        int extra = 0;
        uint32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            code = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            code = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            code = c & 0x07u;
        } else {
            return false;
        }
        if (i + extra >= n) return false;
        for (int k = 1; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            code = (code << 6) | (p[i + k] & 0x3Fu);
        }
        if ((extra == 2 && code < 0x800) || (extra == 3 && (code < 0x10000 || code > 0x10FFFF))) return false;
        if (code >= 0xD800 && code <= 0xDFFF) return false;
        i += extra + 1;
    }
    return true;
}

// UTF-16LE without a mark: a NUL byte in the first line. Eight-bit text (UTF-8 or ANSI)
// never holds one; ASCII in UTF-16LE has one after every character.
static bool looks_like_utf16le(const uint8_t* p, int n) {
    for (int i = 0; i < n && p[i] != '\n'; ++i)
        if (p[i] == 0) return true;
    return false;
}

bool settings_convert_to_utf16(const wchar_t* path) {
    if (!path || !*path) return false;
    if (!file_exists(path)) return true;
    ByteBuffer bytes = {};
    if (!read_whole_file(path, &bytes)) {
        release(&bytes);
        return false;
    }
    const uint8_t* p = bytes.data;
    int n = bytes.length;
    if (n >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF))) {
        release(&bytes);
        return true;
    }
    static const uint8_t kMark[2] = {0xFF, 0xFE};
    ByteBuffer out = {};
    if (looks_like_utf16le(p, n)) {
        // Already UTF-16 (written by a tool that leaves the mark out): it only needs the
        // mark; converting it from UTF-8 would turn every value into garbage.
        bool ok = append_bytes(&out, kMark, 2) && append_bytes(&out, p, n - n % 2);
        ok = ok && write_whole_file(path, out.data, out.length);
        release(&out);
        release(&bytes);
        return ok;
    }
    unsigned code_page = CODE_PAGE_ANSI;
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
        p += 3;
        n -= 3;
        code_page = CODE_PAGE_UTF8;
    } else if (is_valid_utf8(p, n)) {
        code_page = CODE_PAGE_UTF8;
    }
    WideString text = multibyte_to_wide(reinterpret_cast<const char*>(p), n, code_page);
    bool ok = append_bytes(&out, kMark, 2);
    // wchar_t is UTF-16 in memory on every Windows target, which is little-endian.
    ok = ok && append_bytes(&out, text.data, text.length * 2);
    ok = ok && (text.length > 0 || n == 0) && write_whole_file(path, out.data, out.length);
    release(&out);
    release(&text);
    release(&bytes);
    return ok;
}

static bool opens_for_read_write(const wchar_t* path) {
    HANDLE h = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

WideString settings_locate(const wchar_t* exe_folder, const wchar_t* appdata_folder) {
    if (exe_folder && *exe_folder) {
        WideString portable = path_join(exe_folder, kFileName);
        const bool usable = file_exists(portable.data) ? opens_for_read_write(portable.data)
                                                        : !folder_exists(portable.data) &&
                                                              settings_create_file(portable.data);
        if (usable) return portable;
        release(&portable);
    }
    WideString folder = path_join(appdata_folder && *appdata_folder ? appdata_folder : L"C:\\", L"ZanGroupScanner");
    WideString per_user = path_join(text_of(folder), kFileName);
    release(&folder);
    if (!file_exists(per_user.data)) settings_create_file(per_user.data);
    return per_user;
}

static WideString appdata_folder() {
    wchar_t buffer[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, buffer))) return wide_copy(buffer);
    return wide_copy(L"C:\\");
}

// ---- loading and saving

static void load_save_dir() {
    release(&g_stored_save_dir);
    release(&g_fallback_save_dir);
    AppSettings* s = &g_settings;
    if (s->SaveDir.length > 0 && folder_exists(s->SaveDir.data)) return;
    WideString documents = documents_folder();
    WideString fallback = path_join(text_of(documents), L"ZanGroup Scans");
    release(&documents);
    if (s->SaveDir.length > 0) {
        g_stored_save_dir = s->SaveDir;
        g_fallback_save_dir = wide_copy(text_of(fallback));
    } else {
        release(&s->SaveDir);
    }
    s->SaveDir = fallback;
}

static void load_values() {
    AppSettings* s = &g_settings;
    for (const SettingKey& k : kKeys) {
        if (k.number) s->*k.number = read_int(k.key, kSection, k.number_default);
        if (k.flag) s->*k.flag = read_int(k.key, kSection, k.number_default) != 0;
        if (k.text) read_text(k.key, kSection, k.text_default, &(s->*k.text));
    }
    assign(&s->PdfPassword, L"");
    settings_repair(s);
    load_save_dir();
    set_interface_language(s->Language);
}

bool settings_load_from(const wchar_t* path) {
    if (!path || !*path) return false;
    if (!assign(&g_settings_path, path)) return false;
    bool ok = file_exists(path) ? settings_convert_to_utf16(path) : settings_create_file(path);
    load_values();
    return ok;
}

bool settings_load() {
    WideString exe = module_folder();
    WideString appdata = appdata_folder();
    WideString path = settings_locate(text_of(exe), text_of(appdata));
    release(&appdata);
    release(&exe);
    const bool ok = settings_load_from(text_of(path));
    release(&path);
    return ok;
}

void settings_save() {
    const AppSettings* s = &g_settings;
    const bool keep_stored_dir =
        g_stored_save_dir.length > 0 && text_equals(text_of(s->SaveDir), text_of(g_fallback_save_dir)) == 0;
    for (const SettingKey& k : kKeys) {
        if (k.number) write_int(k.key, kSection, s->*k.number);
        if (k.flag) write_int(k.key, kSection, s->*k.flag ? 1 : 0);
        if (k.text == &AppSettings::SaveDir && keep_stored_dir)
            write_text(k.key, kSection, g_stored_save_dir.data);
        else if (k.text)
            write_text(k.key, kSection, text_of(s->*k.text));
    }
}

bool settings_choose_save_dir(const wchar_t* folder) {
    if (!folder || !*folder || !assign(&g_settings.SaveDir, folder)) return false;
    release(&g_stored_save_dir);
    release(&g_fallback_save_dir);
    return true;
}

const wchar_t* settings_path() {
    return text_of(g_settings_path);
}

void settings_set_language(int language) {
    g_settings.Language = language == 1 ? 1 : 0;
    set_interface_language(g_settings.Language);
}

void settings_release() {
    for (const SettingKey& k : kKeys)
        if (k.text) release(&(g_settings.*k.text));
    release(&g_settings.PdfPassword);
    mem_fill(&g_settings, 0, sizeof g_settings);
    release(&g_stored_save_dir);
    release(&g_fallback_save_dir);
    release(&g_settings_path);
}
