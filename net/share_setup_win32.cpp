// net/share_setup_win32.cpp
// The share setup's Windows services: netapi32 (looked up at run time), SIDs and DACLs,
// the registry, the Network List Manager; and the worker thread.
#include "net/share_setup.h"

#include <lm.h>
#include <aclapi.h>
#include <netlistmgr.h>
#include <sddl.h>

#include "core/file.h"
#include "net/com_ids.h"
#include "core/heap.h"
#include "core/library.h"
#include "core/path.h"
#include "core/system.h"
#include "net/connection_check.h"
#include "net/net_post.h"

struct NetApi {
    HMODULE library;
    decltype(&NetApiBufferFree) buffer_free;
    decltype(&NetUserGetInfo) user_get_info;
    decltype(&NetUserAdd) user_add;
    decltype(&NetUserSetInfo) user_set_info;
    decltype(&NetUserEnum) user_enum;
    decltype(&NetLocalGroupAddMembers) group_add_members;
    decltype(&NetShareAdd) share_add;
    decltype(&NetShareSetInfo) share_set_info;
    decltype(&NetShareGetInfo) share_get_info;
    decltype(&NetShareDel) share_del;
};

// Looked up on first use and kept for the process; one share setup runs at a time.
static NetApi g_api = {};

static bool windows_load(void*) {
    if (g_api.library) return true;
    NetApi api = {};
    api.library = system_library_load(L"netapi32.dll");
    if (!api.library) return false;
    const bool ok = library_take(api.library, "NetApiBufferFree", &api.buffer_free) &&
                    library_take(api.library, "NetUserGetInfo", &api.user_get_info) &&
                    library_take(api.library, "NetUserAdd", &api.user_add) && library_take(api.library, "NetUserSetInfo", &api.user_set_info) &&
                    library_take(api.library, "NetUserEnum", &api.user_enum) &&
                    library_take(api.library, "NetLocalGroupAddMembers", &api.group_add_members) &&
                    library_take(api.library, "NetShareAdd", &api.share_add) &&
                    library_take(api.library, "NetShareSetInfo", &api.share_set_info) &&
                    library_take(api.library, "NetShareGetInfo", &api.share_get_info) && library_take(api.library, "NetShareDel", &api.share_del);
    if (!ok) {
        FreeLibrary(api.library);
        return false;
    }
    g_api = api;
    return true;
}

static unsigned windows_ensure_folder(void*, const wchar_t* folder) {
    if (ensure_folder(folder)) return 0;
    const unsigned error = last_error_code();
    return error ? error : 3;
}

static bool windows_folder_exists(void*, const wchar_t* folder) {
    return folder_exists(folder);
}

static unsigned windows_user_get(void*, const wchar_t* name, WideString* comment) {
    BYTE* buffer = nullptr;
    const NET_API_STATUS status = g_api.user_get_info(nullptr, name, 1, &buffer);
    if (status == NERR_Success && buffer) assign(comment, reinterpret_cast<USER_INFO_1*>(buffer)->usri1_comment);
    if (buffer) g_api.buffer_free(buffer);
    return status;
}

static unsigned windows_user_add(void*, const wchar_t* name, const wchar_t* password, const wchar_t* comment) {
    USER_INFO_1 info = {};
    info.usri1_name = const_cast<wchar_t*>(name);
    info.usri1_password = const_cast<wchar_t*>(password);
    info.usri1_priv = USER_PRIV_USER;
    info.usri1_comment = const_cast<wchar_t*>(comment);
    info.usri1_flags = UF_SCRIPT | UF_PASSWD_CANT_CHANGE | UF_DONT_EXPIRE_PASSWD;
    return g_api.user_add(nullptr, 1, reinterpret_cast<BYTE*>(&info), nullptr);
}

static unsigned windows_user_set_password(void*, const wchar_t* name, const wchar_t* password) {
    USER_INFO_1003 info = {const_cast<wchar_t*>(password)};
    return g_api.user_set_info(nullptr, name, 1003, reinterpret_cast<BYTE*>(&info), nullptr);
}

// The name of a well-known SID (S-1-5-32-<alias>), or false.
static bool builtin_alias_name(DWORD alias, WideString* name) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, alias, 0, 0, 0, 0, 0, 0, &sid)) return false;
    wchar_t account[256] = {}, domain[256] = {};
    DWORD account_size = 256, domain_size = 256;
    SID_NAME_USE use = SidTypeUnknown;
    const bool ok = LookupAccountSidW(nullptr, sid, account, &account_size, domain, &domain_size, &use) != 0;
    FreeSid(sid);
    if (ok) assign(name, account);
    return ok;
}

static unsigned windows_users_group_add(void*, const wchar_t* name) {
    LOCALGROUP_MEMBERS_INFO_3 member = {const_cast<wchar_t*>(name)};
    NET_API_STATUS status = g_api.group_add_members(nullptr, L"Users", 3, reinterpret_cast<BYTE*>(&member), 1);
    if (status == NERR_GroupNotFound || status == ERROR_NO_SUCH_ALIAS) {
        WideString users = {};
        if (builtin_alias_name(DOMAIN_ALIAS_RID_USERS, &users))
            status = g_api.group_add_members(nullptr, users.data, 3, reinterpret_cast<BYTE*>(&member), 1);
        release(&users);
    }
    return status == ERROR_MEMBER_IN_ALIAS ? 0 : status;
}

static void set_dword(HKEY root, const wchar_t* path, const wchar_t* name, DWORD value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

static void windows_hide_account(void*, const wchar_t* name) {
    set_dword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\SpecialAccounts\\UserList",
              name, 0);
}

// The built-in Guest account under whatever name it has: the one whose RID is 501.
static WideString guest_name() {
    WideString guest = wide_copy(L"Guest");
    BYTE* buffer = nullptr;
    DWORD read = 0, total = 0;
    if (g_api.user_enum(nullptr, 0, FILTER_NORMAL_ACCOUNT, &buffer, 128, &read, &total, nullptr) == NERR_Success && buffer) {
        const USER_INFO_0* users = reinterpret_cast<USER_INFO_0*>(buffer);
        for (DWORD i = 0; i < read; ++i) {
            BYTE sid[SECURITY_MAX_SID_SIZE];
            DWORD sid_size = sizeof sid;
            wchar_t domain[256];
            DWORD domain_size = 256;
            SID_NAME_USE use = SidTypeUnknown;
            if (!LookupAccountNameW(nullptr, users[i].usri0_name, sid, &sid_size, domain, &domain_size, &use)) continue;
            const UCHAR count = *GetSidSubAuthorityCount(sid);
            if (count > 0 && *GetSidSubAuthority(sid, count - 1) == DOMAIN_USER_RID_GUEST) assign(&guest, users[i].usri0_name);
        }
    }
    if (buffer) g_api.buffer_free(buffer);
    return guest;
}

static unsigned windows_guest_enable(void*) {
    WideString guest = guest_name();
    BYTE* buffer = nullptr;
    DWORD flags = UF_SCRIPT;
    if (g_api.user_get_info(nullptr, guest.data, 1, &buffer) == NERR_Success && buffer)
        flags = reinterpret_cast<USER_INFO_1*>(buffer)->usri1_flags & ~(DWORD)UF_ACCOUNTDISABLE;
    if (buffer) g_api.buffer_free(buffer);
    USER_INFO_1008 info = {flags};
    const unsigned status = g_api.user_set_info(nullptr, guest.data, 1008, reinterpret_cast<BYTE*>(&info), nullptr);
    release(&guest);
    return status;
}

static void windows_everyone_registry(void*) {
    set_dword(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Lsa", L"forceguest", 0);
    set_dword(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Lsa", L"everyoneincludesanonymous", 1);
    set_dword(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\LanmanServer\\Parameters",
              L"restrictnullsessaccess", 0);
}

static long windows_networks_to_private(void*) {
    void* object = nullptr;
    HRESULT hr = CoCreateInstance(kClsidNetworkListManager, nullptr, CLSCTX_ALL, kIidNetworkListManager, &object);
    if (FAILED(hr)) return hr;
    INetworkListManager* manager = static_cast<INetworkListManager*>(object);
    IEnumNetworks* networks = nullptr;
    hr = manager->GetNetworks(NLM_ENUM_NETWORK_CONNECTED, &networks);
    if (SUCCEEDED(hr) && networks) {
        INetwork* network = nullptr;
        ULONG fetched = 0;
        while (networks->Next(1, &network, &fetched) == S_OK && network) {
            NLM_NETWORK_CATEGORY category = NLM_NETWORK_CATEGORY_PRIVATE;
            if (SUCCEEDED(network->GetCategory(&category)) && category == NLM_NETWORK_CATEGORY_PUBLIC)
                network->SetCategory(NLM_NETWORK_CATEGORY_PRIVATE);
            network->Release();
            network = nullptr;
        }
        networks->Release();
    }
    manager->Release();
    return hr;
}

static bool windows_account_sid(void*, const wchar_t* name, WideString* sid_text) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sid_size = sizeof sid;
    wchar_t domain[256];
    DWORD domain_size = 256;
    SID_NAME_USE use = SidTypeUnknown;
    if (!LookupAccountNameW(nullptr, name, sid, &sid_size, domain, &domain_size, &use)) return false;
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return false;
    assign(sid_text, text);
    LocalFree(text);
    return true;
}

static unsigned windows_set_folder_dacl(void*, const wchar_t* folder, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return GetLastError();
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    DWORD status = GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) ? ERROR_SUCCESS : GetLastError();
    if (status == ERROR_SUCCESS)
        status = SetNamedSecurityInfoW(const_cast<wchar_t*>(folder), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                       nullptr, dacl, nullptr);
    LocalFree(descriptor);
    return status;
}

static SHARE_INFO_502 share_record(const wchar_t* share, const wchar_t* folder, PSECURITY_DESCRIPTOR descriptor) {
    SHARE_INFO_502 info = {};
    info.shi502_netname = const_cast<wchar_t*>(share);
    info.shi502_type = STYPE_DISKTREE;
    info.shi502_remark = const_cast<wchar_t*>(kShareRemark);
    info.shi502_permissions = ACCESS_ALL;
    info.shi502_max_uses = (DWORD)-1;
    info.shi502_path = const_cast<wchar_t*>(folder);
    info.shi502_security_descriptor = descriptor;
    return info;
}

static unsigned share_add_or_set(bool add, const wchar_t* share, const wchar_t* folder, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return GetLastError();
    SHARE_INFO_502 info = share_record(share, folder, descriptor);
    const NET_API_STATUS status = add ? g_api.share_add(nullptr, 502, reinterpret_cast<BYTE*>(&info), nullptr)
                                      : g_api.share_set_info(nullptr, const_cast<wchar_t*>(share), 502,
                                                             reinterpret_cast<BYTE*>(&info), nullptr);
    LocalFree(descriptor);
    return status;
}

static unsigned windows_share_add(void*, const wchar_t* share, const wchar_t* folder, const wchar_t* sddl) {
    return share_add_or_set(true, share, folder, sddl);
}

static unsigned windows_share_set(void*, const wchar_t* share, const wchar_t* folder, const wchar_t* sddl) {
    return share_add_or_set(false, share, folder, sddl);
}

static unsigned windows_share_get(void*, const wchar_t* share, WideString* path, WideString* remark) {
    BYTE* buffer = nullptr;
    const NET_API_STATUS status = g_api.share_get_info(nullptr, const_cast<wchar_t*>(share), 2, &buffer);
    if (status == NERR_Success && buffer) {
        assign(path, reinterpret_cast<SHARE_INFO_2*>(buffer)->shi2_path);
        assign(remark, reinterpret_cast<SHARE_INFO_2*>(buffer)->shi2_remark);
    }
    if (buffer) g_api.buffer_free(buffer);
    return status;
}

static unsigned windows_share_delete(void*, const wchar_t* share) {
    return g_api.share_del(nullptr, const_cast<wchar_t*>(share), 0);
}

static void windows_computer_name(void*, WideString* name) {
    wchar_t buffer[256] = {};
    DWORD size = 256;
    if (GetComputerNameW(buffer, &size)) assign(name, buffer);
}

static void windows_local_ip(void*, WideString* ip) {
    WideString found = local_ipv4_address();
    release(ip);
    *ip = found;
}

static bool windows_random_bytes(void*, void* bytes, int count) {
    return random_fill(bytes, count);
}

const ShareSystem* share_system_windows() {
    static const ShareSystem system = {
        nullptr,          windows_load,          windows_ensure_folder,        windows_folder_exists,
        windows_user_get, windows_user_add,      windows_user_set_password,    windows_users_group_add,
        windows_hide_account, windows_guest_enable, windows_everyone_registry, windows_networks_to_private,
        windows_account_sid, windows_set_folder_dacl, windows_share_add,       windows_share_get,
        windows_share_set, windows_share_delete, windows_computer_name,        windows_local_ip,
        windows_random_bytes};
    return &system;
}

bool folder_path_has_no_links(const wchar_t* folder) {
    // Every existing prefix up to each separator, and the whole path.
    WideString prefix = {};
    bool ok = true;
    for (int i = 0; ok; ++i) {
        const wchar_t c = folder[i];
        if ((c == L'\\' || c == 0) && i > 3) {
            assign(&prefix, folder, i);
            const DWORD a = GetFileAttributesW(text_of(prefix));
            if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT)) ok = false;
        }
        if (c == 0) break;
    }
    release(&prefix);
    return ok;
}

// ---- the worker

struct ShareSetupJob {
    HWND owner;
    WideString folder, share, password;
    uint8_t everyone;
};

static void post_result(HWND owner, ShareSetupResult* result) {
    if (!net_post_record(owner, WM_SHARE_SETUP_DONE, 0, result)) share_setup_result_free(result);
}

static DWORD WINAPI share_setup_worker(void* parameter) {
    ShareSetupJob* job = static_cast<ShareSetupJob*>(parameter);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ShareSetupResult* result = static_cast<ShareSetupResult*>(mem_alloc(sizeof(ShareSetupResult)));
    if (result)
        share_setup_run(result, text_of(job->folder), text_of(job->share), job->everyone != 0, text_of(job->password),
                        share_system_windows(), elevation_system_windows());
    if (SUCCEEDED(com)) CoUninitialize();
    if (result) post_result(job->owner, result);
    release(&job->folder);
    release(&job->share);
    release(&job->password);
    mem_free(job);
    return 0;
}

void share_setup_start(HWND owner, const wchar_t* folder, const wchar_t* share, bool everyone, const wchar_t* password) {
    ShareSetupJob* job = static_cast<ShareSetupJob*>(mem_alloc(sizeof(ShareSetupJob)));
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    if (job) {
        job->owner = owner;
        job->folder = wide_copy(folder);
        job->share = wide_copy(share);
        job->password = wide_copy(password);
        job->everyone = everyone ? 1 : 0;
        HANDLE thread = CreateThread(nullptr, 0, share_setup_worker, job, 0, nullptr);
        if (thread) {
            CloseHandle(thread);
            return;
        }
        error = GetLastError();
        release(&job->folder);
        release(&job->share);
        release(&job->password);
        mem_free(job);
    }
    ShareSetupResult* result = static_cast<ShareSetupResult*>(mem_alloc(sizeof(ShareSetupResult)));
    if (!result) return;
    result->error = error;
    report_add_id(&result->report, 266);
    post_result(owner, result);
}
