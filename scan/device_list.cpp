// scan/device_list.cpp
#include "scan/device_list.h"

#include "app/strings.h"
#include "core/heap.h"
#include "core/text.h"

DeviceList* device_list_new() {
    return static_cast<DeviceList*>(mem_alloc(sizeof(DeviceList)));
}

DeviceEntry* device_list_add(DeviceList* list) {
    if (!list) return nullptr;
    if (list->count >= list->capacity) {
        const int wanted = list->capacity == 0 ? 8 : list->capacity * 2;
        size_t bytes = 0;
        if (!size_mul((size_t)wanted, sizeof(DeviceEntry), &bytes)) return nullptr;
        void* grown = mem_realloc(list->entries, bytes);
        if (!grown) return nullptr;
        list->entries = static_cast<DeviceEntry*>(grown);
        mem_fill(list->entries + list->count, 0, (size_t)(wanted - list->count) * sizeof(DeviceEntry));
        list->capacity = wanted;
    }
    DeviceEntry* entry = &list->entries[list->count++];
    mem_fill(entry, 0, sizeof(DeviceEntry));
    return entry;
}

void device_entry_release(DeviceEntry* entry) {
    if (!entry) return;
    release(&entry->display_name);
    release(&entry->manufacturer);
    release(&entry->product_family);
    release(&entry->product_name);
    release(&entry->wia_device_id);
    release(&entry->device_key);
    release(&entry->detail_label);
    release(&entry->escl_url);
}

void device_list_free(DeviceList* list) {
    if (!list) return;
    for (int i = 0; i < list->count; ++i) device_entry_release(&list->entries[i]);
    mem_free(list->entries);
    release(&list->driver_hint);
    mem_free(list);
}

bool device_entry_copy(DeviceEntry* out, const DeviceEntry& entry) {
    *out = DeviceEntry{};
    out->kind = entry.kind;
    out->twain_id = entry.twain_id;
    out->dsm_mask = entry.dsm_mask;
    out->wia_device_type = entry.wia_device_type;
    out->looks_like_printer = entry.looks_like_printer;
    const bool ok = assign(&out->display_name, text_of(entry.display_name)) &&
                    assign(&out->manufacturer, text_of(entry.manufacturer)) &&
                    assign(&out->product_family, text_of(entry.product_family)) &&
                    assign(&out->product_name, text_of(entry.product_name)) &&
                    assign(&out->wia_device_id, text_of(entry.wia_device_id)) &&
                    assign(&out->device_key, text_of(entry.device_key)) &&
                    assign(&out->detail_label, text_of(entry.detail_label)) &&
                    assign(&out->escl_url, text_of(entry.escl_url));
    if (!ok) device_entry_release(out);
    return ok;
}

bool device_list_copy_entry(DeviceList* list, const DeviceEntry& entry) {
    DeviceEntry* copy = device_list_add(list);
    if (!copy) return false;
    const bool ok = device_entry_copy(copy, entry);
    if (!ok) list->count--;
    return ok;
}

WideString twain_name(const char* field) {
    WideString name = {};
    if (!field) return name;
    int n = 0;
    while (n < 34 && field[n] != 0) ++n;
    while (n > 0 && (field[n - 1] == ' ' || field[n - 1] == '\t')) --n;
    if (n == 0) return name;
    return multibyte_to_wide(field, n, CODE_PAGE_ANSI);
}

WideString twain_identity_key(const TW_IDENTITY& identity) {
    WideString key = twain_name(identity.Manufacturer);
    WideString family = twain_name(identity.ProductFamily);
    WideString product = twain_name(identity.ProductName);
    append(&key, L"|");
    append(&key, text_of(family));
    append(&key, L"|");
    append(&key, text_of(product));
    release(&family);
    release(&product);
    return key;
}

WideString twain_sighting_key(const wchar_t* key, int n) {
    WideString result = wide_copy(key);
    if (n > 1) {
        append(&result, L" #");
        append_int(&result, n);
    }
    return result;
}

bool device_key_matches_twain(const wchar_t* a, const wchar_t* b) {
    return compare_no_case(a, b) == 0;
}

bool device_names_look_like_printer(const wchar_t* manufacturer, const wchar_t* family,
                                    const wchar_t* product) {
    static const wchar_t* const kWords[] = {
        L"printer", L"print", L"fax", L"xps", L"onenote", L"pdf creator", L"cutepdf", L"dopdf",
        L"bullzip", L"\x0637\x0627\x0628\x0639\x0629", L"\x0637\x0628\x0627\x0639\x0629",
    };
    WideString all = wide_copy(manufacturer);
    append(&all, L" ");
    append(&all, family);
    append(&all, L" ");
    append(&all, product);
    bool hit = false;
    for (const wchar_t* word : kWords) {
        if (contains_no_case(text_of(all), word)) {
            hit = true;
            break;
        }
    }
    release(&all);
    return hit;
}

static int find_exact_key(const DeviceList* list, const wchar_t* key) {
    if (!key || !key[0]) return -1;
    for (int i = 0; i < list->count; ++i) {
        if (text_equals(text_of(list->entries[i].device_key), key) == 0) return i;
    }
    return -1;
}

int device_list_choose(const DeviceList* list, const wchar_t* selection_key, const wchar_t* last_device) {
    if (!list || list->count == 0) return -1;
    int chosen = find_exact_key(list, selection_key);
    if (chosen < 0) chosen = find_exact_key(list, last_device);
    for (int i = 0; chosen < 0 && i < list->count; ++i) {
        const DeviceEntry& e = list->entries[i];
        if (e.kind == DEVICE_KIND_TWAIN && !e.looks_like_printer) chosen = i;
    }
    return chosen < 0 ? 0 : chosen;
}

const int TEXT_PRINTER_FAX = 150;
const int TEXT_TWAIN_DRIVER = 201;
const int TEXT_WIA_DRIVER = 202;
const int TEXT_NO_SCANNER_FOUND = 139;
const int TEXT_ESCL_DRIVER = 311;

// The host and port of an eSCL entry's URL ("http://host:port/root").
static void append_escl_host(WideString* label, const WideString& url) {
    const wchar_t* p = text_of(url);
    for (int i = 0; p[i]; ++i) {
        if (p[i] == L':' && p[i + 1] == L'/' && p[i + 2] == L'/') {
            p += i + 3;
            break;
        }
    }
    int n = 0;
    while (p[n] && p[n] != L'/') ++n;
    if (n == 0) return;
    append(label, L" \x00B7 ");
    append(label, p, n);
}

WideString device_combo_label(const DeviceEntry& entry) {
    WideString label = wide_copy(text_of(entry.display_name));
    append(&label, entry.kind == DEVICE_KIND_WIA ? L"  (WIA)" : entry.kind == DEVICE_KIND_ESCL ? L"  (eSCL)" : L"  (TWAIN)");
    if (entry.looks_like_printer) {
        append(&label, L"  \x00B7  ");
        append(&label, tr(TEXT_PRINTER_FAX));
    }
    return label;
}

WideString device_driver_label(const DeviceEntry* entry) {
    if (!entry) return wide_copy(tr(TEXT_NO_SCANNER_FOUND));
    const bool twain = entry->kind == DEVICE_KIND_TWAIN;
    WideString label = wide_copy(tr(twain                                ? TEXT_TWAIN_DRIVER
                                    : entry->kind == DEVICE_KIND_ESCL ? TEXT_ESCL_DRIVER
                                                                      : TEXT_WIA_DRIVER));
    if (entry->kind == DEVICE_KIND_ESCL) append_escl_host(&label, entry->escl_url);
    if (twain) {
        const uint32_t both = DSM_BIT_TWAIN32 | DSM_BIT_TWAINDSM;
        append(&label, entry->dsm_mask == both               ? L" \x00B7 DSM 1.x + 2.x"
                       : entry->dsm_mask == DSM_BIT_TWAINDSM ? L" \x00B7 TWAIN DSM 2.x"
                                                             : L" \x00B7 twain_32");
    }
    if (entry->manufacturer.length > 0) {
        append(&label, L" \x00B7 ");
        append(&label, text_of(entry->manufacturer));
    }
    return label;
}

const int TEXT_DEVICES_SUFFIX = 136;
const int TEXT_FOUND_PREFIX = 137;
const int TEXT_NO_DEVICES = 138;

WideString device_list_status_text(const DeviceList& list) {
    WideString text = {};
    if (list.count > 0) {
        format(&text, L"%s%d%s", tr(TEXT_FOUND_PREFIX), list.count, tr(TEXT_DEVICES_SUFFIX));
        return text;
    }
    format(&text, L"%s \x2014 %s", tr(TEXT_NO_DEVICES), tr(TEXT_NO_SCANNER_FOUND));
    if (list.driver_hint.length > 0) {
        append(&text, L"  (");
        append(&text, text_of(list.driver_hint));
        append(&text, L")");
    }
    return text;
}

static DeviceEntry* find_twain_entry(DeviceList* list, const wchar_t* key) {
    for (int i = 0; i < list->count; ++i) {
        DeviceEntry* e = &list->entries[i];
        if (e->kind == DEVICE_KIND_TWAIN && device_key_matches_twain(text_of(e->device_key), key)) return e;
    }
    return nullptr;
}

static bool fill_twain_entry(DeviceEntry* e, const TW_IDENTITY& identity, uint32_t dsm_bit, bool is_default,
                             const WideString& key) {
    e->kind = DEVICE_KIND_TWAIN;
    e->twain_id = identity.Id;
    e->dsm_mask = dsm_bit;
    e->manufacturer = twain_name(identity.Manufacturer);
    e->product_family = twain_name(identity.ProductFamily);
    e->product_name = twain_name(identity.ProductName);
    if (!assign(&e->device_key, text_of(key))) return false;
    if (is_default) return assign(&e->display_name, text_of(e->product_name));
    const wchar_t* shown = e->product_name.length > 0     ? text_of(e->product_name)
                           : e->product_family.length > 0 ? text_of(e->product_family)
                                                          : L"(TWAIN source)";
    if (!assign(&e->display_name, shown)) return false;
    e->looks_like_printer = device_names_look_like_printer(text_of(e->manufacturer), text_of(e->product_family),
                                                           text_of(e->product_name))
                                ? 1
                                : 0;
    return format(&e->detail_label, L"%s | TWAIN %d.%d", text_of(e->manufacturer), (int)identity.ProtocolMajor,
                  (int)identity.ProtocolMinor);
}

DeviceEntry* device_list_add_twain(DeviceList* list, const TW_IDENTITY& identity, uint32_t dsm_bit,
                                   bool is_default, bool* merged) {
    if (merged) *merged = false;
    if (!list) return nullptr;
    WideString base = twain_identity_key(identity);
    DeviceEntry* result = nullptr;
    // A manager that lists the same names twice has two scanners: the repeat takes the next
    // free " #n" key. Only a sighting through the other manager merges into an entry.
    for (int n = 1; n <= list->count + 1; ++n) {
        WideString key = twain_sighting_key(text_of(base), n);
        DeviceEntry* same = find_twain_entry(list, text_of(key));
        if (same && (same->dsm_mask & dsm_bit) == 0) {
            same->dsm_mask |= dsm_bit;
            if (merged) *merged = true;
            result = same;
        } else if (!same) {
            DeviceEntry* e = device_list_add(list);
            if (e && !fill_twain_entry(e, identity, dsm_bit, is_default, key)) {
                device_entry_release(e);
                list->count--;
                e = nullptr;
            }
            result = e;
        }
        release(&key);
        if (result || !same) break;
    }
    release(&base);
    return result;
}
