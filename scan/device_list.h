// scan/device_list.h
// DeviceEntry (one TWAIN, WIA or eSCL scanner) and DeviceList (the entries one enumeration posts),
// with the naming, key and merge rules for TWAIN sources. A list owns its entries and
// their strings; the receiver of a posted list frees it with device_list_free.
#ifndef ZAN_SCAN_DEVICE_LIST_H
#define ZAN_SCAN_DEVICE_LIST_H

#include <stdint.h>

#include "core/wide_string.h"
#include "scan/twain.h"

const int DEVICE_KIND_TWAIN = 0;
const int DEVICE_KIND_WIA = 1;
const int DEVICE_KIND_ESCL = 2;   // a network copier reached over eSCL (scan/escl.h)
// dsm_mask bits: which source manager listed a TWAIN entry.
const uint32_t DSM_BIT_TWAIN32 = 1;
const uint32_t DSM_BIT_TWAINDSM = 2;

struct DeviceEntry {
    int32_t kind;
    WideString display_name;
    WideString manufacturer;
    WideString product_family;
    WideString product_name;
    WideString wia_device_id;
    WideString device_key;
    uint32_t twain_id;
    uint32_t dsm_mask;
    uint32_t wia_device_type;
    uint8_t looks_like_printer;
    WideString detail_label;
    WideString escl_url;   // eSCL only: "http(s)://host:port/root"
};

struct DeviceList {
    DeviceEntry* entries;
    int count;
    int capacity;
    int twain_count;
    int wia_count;
    WideString driver_hint;  // empty unless no TWAIN source was found
};

// ---- list
// A new empty list, or null when out of memory.
DeviceList* device_list_new();
// Appends a zeroed entry and returns it for filling; null when out of memory.
DeviceEntry* device_list_add(DeviceList* list);
// Frees every entry's strings, the array and the record; null is allowed.
void device_list_free(DeviceList* list);
// Appends a deep copy of entry to list. False when out of memory.
bool device_list_copy_entry(DeviceList* list, const DeviceEntry& entry);
// Fills out with a deep copy of entry. False when out of memory (out is then empty).
bool device_entry_copy(DeviceEntry* out, const DeviceEntry& entry);
// Frees the strings of one entry (the entry itself belongs to its list).
void device_entry_release(DeviceEntry* entry);

// ---- TWAIN names and keys
// One TW_STR32 field: up to its terminator or 34 bytes, from the ANSI code page, trailing
// blanks and tabs removed.
WideString twain_name(const char* field);
// Manufacturer "|" ProductFamily "|" ProductName, as a new string.
WideString twain_identity_key(const TW_IDENTITY& identity);
// The key of the n-th source with the same names seen through one manager: the key itself
// for n = 1, else the key followed by " #n", so identical scanners stay apart.
WideString twain_sighting_key(const wchar_t* key, int n);
// Two TWAIN keys name the same device when they are equal ignoring case.
bool device_key_matches_twain(const wchar_t* a, const wchar_t* b);
// True when the three names hint at a printer, fax or PDF writer rather than a scanner.
bool device_names_look_like_printer(const wchar_t* manufacturer, const wchar_t* family,
                                    const wchar_t* product);

// ---- choosing the entry after a new list arrives
// Index of the entry to select: the first whose key equals selection_key exactly (a user's
// choice in a selection dialog), else the first whose key equals last_device exactly
// (when not empty), else the first TWAIN entry that does not look like a printer, else the
// first entry. -1 for an empty list. Either key may be null.
int device_list_choose(const DeviceList* list, const wchar_t* selection_key, const wchar_t* last_device);

// ---- labels shown to the user, built in the interface language when they are shown
// The device list line: the name, "  (TWAIN)", "  (WIA)" or "  (eSCL)", and "  ·  printer/fax?"
// (id 150) for a printer-like entry. New string.
WideString device_combo_label(const DeviceEntry& entry);
// The driver line of the selected entry: "TWAIN driver" (id 201) with the managers that
// listed it, "WIA driver" (id 202), or "Network scanning (eSCL)" (id 311) with the copier's
// address, then the manufacturer when known; with no entry
// (null) "No scanner found — install the driver, then refresh" (id 139). New string.
WideString device_driver_label(const DeviceEntry* entry);

// The status line after an enumeration: "Found " (id 137), the count, " device(s)" (id 136);
// or "No devices" (id 138), " — ", id 139, and "  (" hint ")" when the list has a
// driver-files hint. New string.
WideString device_list_status_text(const DeviceList& list);

// ---- merging TWAIN sightings
// Adds a source listed by the manager with the given dsm bit, or ORs that bit into the
// entry of the same device listed by the other manager. A default source (found through
// GETDEFAULT) gets no label and no printer check. Returns the entry (null when out of
// memory); *merged tells whether an existing entry took the sighting.
DeviceEntry* device_list_add_twain(DeviceList* list, const TW_IDENTITY& identity, uint32_t dsm_bit,
                                   bool is_default, bool* merged);

#endif
