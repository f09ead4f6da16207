// app/presets.cpp
#include "app/presets.h"

#include "core/heap.h"
#include "core/text.h"

static const wchar_t kSection[] = L"Presets";

const int kDpiChoices[DPI_CHOICE_COUNT] = {75, 100, 150, 200, 300, 400, 600, 1200};

// The eleven values in their stored order, as 32-bit numbers.
static void values_of(const ScanPreset& p, int out[11]) {
    const int v[11] = {p.ColorMode, p.Dpi,      p.Source,     p.Paper,       p.Brightness, p.Contrast,
                       p.Threshold, p.AutoCrop, p.AutoDeskew, p.RemoveBlank, p.Format};
    mem_copy(out, v, sizeof v);
}

static void set_values(ScanPreset* p, const int v[11]) {
    p->ColorMode = v[0];
    p->Dpi = v[1];
    p->Source = v[2];
    p->Paper = v[3];
    p->Brightness = v[4];
    p->Contrast = v[5];
    p->Threshold = v[6];
    p->AutoCrop = v[7] != 0;
    p->AutoDeskew = v[8] != 0;
    p->RemoveBlank = v[9] != 0;
    p->Format = v[10];
}

// The name as stored: '|' separates the values, so a '|' typed in the name becomes '/'.
static bool stored_name(const wchar_t* name, WideString* out) {
    if (!assign(out, name)) return false;
    for (int i = 0; i < out->length; ++i)
        if (out->data[i] == L'|') out->data[i] = L'/';
    return true;
}

bool preset_format(const ScanPreset& preset, WideString* out) {
    if (!out) return false;
    if (!stored_name(text_of(preset.name), out)) return false;
    int v[11];
    values_of(preset, v);
    for (int i = 0; i < 11; ++i)
        if (!append_char(out, L'|') || !append_int(out, v[i])) return false;
    return true;
}

bool preset_parse(const wchar_t* text, ScanPreset* out) {
    if (!out) return false;
    if (!text || !*text) return false;
    int bar = 0;
    while (text[bar] && text[bar] != L'|') ++bar;
    if (!text[bar]) return false;
    int v[11] = {};
    const wchar_t* p = text + bar + 1;
    for (int i = 0; i < 11; ++i) {
        const wchar_t* digits = *p == L'-' ? p + 1 : p;
        if (*digits < L'0' || *digits > L'9') return false;
        v[i] = parse_decimal(p);
        p = digits;
        while (*p >= L'0' && *p <= L'9') ++p;
        if (i < 10) {
            if (*p != L'|') return false;
            ++p;
        }
    }
    if (!assign(&out->name, text, bar)) return false;
    set_values(out, v);
    return true;
}

void release_preset(ScanPreset* preset) {
    if (preset) release(&preset->name);
}

static void key_of(int index, WideString* key) {
    format(key, L"P%d", index);
}

int preset_count() {
    const int count = read_int(L"Count", kSection, 0);
    return count < 0 ? 0 : count > PRESET_LIMIT ? PRESET_LIMIT : count;
}

bool read_preset(int index, ScanPreset* out) {
    if (!out || index < 0) return false;
    WideString key = {};
    WideString value = {};
    key_of(index, &key);
    read_text(text_of(key), kSection, L"", &value);
    const bool ok = preset_parse(text_of(value), out);
    release(&value);
    release(&key);
    return ok;
}

int preset_key_for_entry(int entry) {
    if (entry < 0) return -1;
    const int count = preset_count();
    for (int i = 0; i < count; ++i) {
        ScanPreset p = {};
        const bool readable = read_preset(i, &p);
        release_preset(&p);
        if (readable && entry-- == 0) return i;
    }
    return -1;
}

static bool write_preset(int index, const ScanPreset& preset) {
    WideString key = {};
    WideString value = {};
    key_of(index, &key);
    const bool ok = preset_format(preset, &value) && write_text(text_of(key), kSection, text_of(value));
    release(&value);
    release(&key);
    return ok;
}

bool save_preset(const ScanPreset& preset) {
    if (preset.name.length == 0) return false;
    WideString name = {};
    if (!stored_name(text_of(preset.name), &name)) return false;
    const int count = preset_count();
    int index = -1;
    for (int i = 0; i < count && index < 0; ++i) {
        ScanPreset existing = {};
        if (read_preset(i, &existing) && compare_no_case(text_of(existing.name), text_of(name)) == 0) index = i;
        release_preset(&existing);
    }
    release(&name);
    if (index >= 0) return write_preset(index, preset);
    // Beyond the limit the entry would be invisible on the next start.
    if (count >= PRESET_LIMIT) return false;
    return write_preset(count, preset) && write_int(L"Count", kSection, count + 1);
}

bool delete_preset(const wchar_t* name) {
    if (!name) return false;
    const int count = preset_count();
    ScanPreset* kept = static_cast<ScanPreset*>(mem_alloc_array((size_t)count + 1, sizeof(ScanPreset)));
    if (!kept) return false;
    int kept_count = 0;
    bool removed = false;
    for (int i = 0; i < count; ++i) {
        ScanPreset p = {};
        if (!read_preset(i, &p)) continue;
        if (compare_no_case(text_of(p.name), name) == 0) {
            removed = true;
            release_preset(&p);
            continue;
        }
        kept[kept_count++] = p;
    }
    delete_section(kSection);
    for (int i = 0; i < kept_count; ++i) write_preset(i, kept[i]);
    write_int(L"Count", kSection, kept_count);
    for (int i = 0; i < kept_count; ++i) release_preset(&kept[i]);
    mem_free(kept);
    return removed;
}

ScanPreset preset_from_settings(const wchar_t* name, const AppSettings& s) {
    ScanPreset p = {};
    p.name = wide_copy(name);
    p.ColorMode = s.ColorMode;
    p.Dpi = s.Dpi;
    p.Source = s.Source;
    p.Paper = s.Paper;
    p.Brightness = s.Brightness;
    p.Contrast = s.Contrast;
    p.Threshold = s.Threshold;
    p.AutoCrop = s.AutoCrop;
    p.AutoDeskew = s.AutoDeskew;
    p.RemoveBlank = s.RemoveBlank;
    p.Format = s.Format;
    return p;
}

void preset_apply_to(const ScanPreset& p, AppSettings* s) {
    if (!s) return;
    s->ColorMode = p.ColorMode;
    s->Dpi = p.Dpi;
    s->Source = p.Source;
    s->Paper = p.Paper;
    s->Brightness = p.Brightness;
    s->Contrast = p.Contrast;
    s->Threshold = p.Threshold;
    s->AutoCrop = p.AutoCrop;
    s->AutoDeskew = p.AutoDeskew;
    s->RemoveBlank = p.RemoveBlank;
    s->Format = p.Format;
    // The record's other fields were repaired on loading, so this changes only the copied ones.
    settings_repair(s);
}

bool apply_preset(int index, ScanPreset* out) {
    if (!out) return false;
    if (!read_preset(index, out)) return false;
    preset_apply_to(*out, app_settings());
    return true;
}

int nearest_dpi_index(int dpi) {
    int best = 0;
    int64_t best_distance = -1;
    for (int i = 0; i < DPI_CHOICE_COUNT; ++i) {
        int64_t d = (int64_t)dpi - kDpiChoices[i];
        if (d < 0) d = -d;
        if (best_distance < 0 || d < best_distance) {
            best = i;
            best_distance = d;
        }
    }
    return best;
}
