// net/firewall_win32.cpp
// The firewall policy object (INetFwPolicy2) and the saved mask in the registry.
#include "net/firewall.h"

#include <windows.h>

#include <netfw.h>

#include "net/com_ids.h"

static const wchar_t kSavedKey[] = L"SOFTWARE\\ZanGroup\\Scanner";
static const wchar_t kSavedValue[] = L"FirewallBeforeLock";

// The policy object of the current operation; one thread uses it at a time.
static thread_local INetFwPolicy2* t_policy = nullptr;

static long windows_open_policy(void*) {
    if (t_policy) return S_OK;
    void* object = nullptr;
    const HRESULT hr = CoCreateInstance(kClsidNetFwPolicy2, nullptr, CLSCTX_INPROC_SERVER, kIidNetFwPolicy2, &object);
    if (SUCCEEDED(hr)) t_policy = static_cast<INetFwPolicy2*>(object);
    return hr;
}

static long windows_read_enabled(void*, int profile_bit, bool* enabled) {
    if (!t_policy) return E_POINTER;
    VARIANT_BOOL value = VARIANT_FALSE;
    const HRESULT hr = t_policy->get_FirewallEnabled(static_cast<NET_FW_PROFILE_TYPE2>(profile_bit), &value);
    *enabled = SUCCEEDED(hr) && value != VARIANT_FALSE;
    return hr;
}

static long windows_write_enabled(void*, int profile_bit, bool enabled) {
    if (!t_policy) return E_POINTER;
    return t_policy->put_FirewallEnabled(static_cast<NET_FW_PROFILE_TYPE2>(profile_bit),
                                         enabled ? VARIANT_TRUE : VARIANT_FALSE);
}

static void windows_close_policy(void*) {
    if (t_policy) t_policy->Release();
    t_policy = nullptr;
}

// The 64-bit view: a 32-bit program would otherwise keep its value under Wow6432Node.
static unsigned windows_save_mask(void*, unsigned mask) {
    HKEY key = nullptr;
    LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSavedKey, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY, nullptr,
                                  &key, nullptr);
    if (result != ERROR_SUCCESS) return (unsigned)result;
    const DWORD value = mask;
    result = RegSetValueExW(key, kSavedValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
    return (unsigned)result;
}

static bool windows_load_mask(void*, unsigned* mask) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSavedKey, 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return false;
    DWORD type = 0, value = 0, size = sizeof value;
    const LONG result = RegQueryValueExW(key, kSavedValue, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return false;
    *mask = value;
    return true;
}

const FirewallSystem* firewall_system_windows() {
    static const FirewallSystem system = {nullptr,           windows_open_policy, windows_read_enabled,
                                          windows_write_enabled, windows_close_policy, windows_save_mask,
                                          windows_load_mask};
    return &system;
}
