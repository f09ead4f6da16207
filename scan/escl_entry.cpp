// scan/escl_entry.cpp
// Device-list entries for eSCL copiers.
#include "scan/escl.h"

#include "core/text.h"
#include "scan/device_list.h"

// ---- device entries
// A UUID as a key part: "urn:uuid:" dropped, lower case, so the capabilities' spelling and
// the DNS-SD record's give the same key.
static WideString uuid_key_part(const wchar_t* uuid) {
    const wchar_t* p = uuid ? uuid : L"";
    if (starts_with_no_case(p, L"urn:uuid:")) p += 9;
    WideString part = wide_copy(p);
    for (int i = 0; i < part.length; ++i) {
        if (part.data[i] >= L'A' && part.data[i] <= L'Z') part.data[i] = (wchar_t)(part.data[i] + 32);
    }
    return part;
}

bool escl_fill_entry(DeviceEntry* entry, const EsclAddress& address, const EsclCapabilities* caps,
                     const wchar_t* name, const wchar_t* uuid) {
    WideString label = escl_address_label(address);
    const wchar_t* model = caps && caps->make_and_model.length > 0 ? text_of(caps->make_and_model) : nullptr;
    const wchar_t* shown = model ? model : name && name[0] ? name : text_of(label);
    WideString id = uuid_key_part(caps && caps->uuid.length > 0 ? text_of(caps->uuid) : uuid);
    WideString url = escl_address_url(address);
    entry->kind = DEVICE_KIND_ESCL;
    bool ok = assign(&entry->display_name, shown) && assign(&entry->product_name, model ? model : L"") &&
              assign(&entry->manufacturer, caps ? text_of(caps->manufacturer) : L"") &&
              assign(&entry->device_key, L"eSCL:") && append(&entry->device_key, text_of(id.length > 0 ? id : label)) &&
              assign(&entry->escl_url, text_of(url)) && format(&entry->detail_label, L"eSCL | %s", text_of(url));
    release(&label);
    release(&id);
    release(&url);
    return ok;
}

bool escl_address_of_key(const wchar_t* key, EsclAddress* out) {
    if (!key || !starts_with_no_case(key, L"eSCL:")) return false;
    return escl_parse_address(key + 5, out);
}
