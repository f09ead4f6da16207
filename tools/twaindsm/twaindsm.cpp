// tools/twaindsm/twaindsm.cpp
// A minimal TWAIN 2.x source manager for tests: it lists the ".ds" files of one folder
// (ZAN_TWAINDSM_SOURCES, else the folder of this DLL) and forwards the application's
// requests to the opened source. Like the real manager it makes a source's folder current
// while loading and opening it, hands sources its entry points, keeps the application's
// callback and calls it when a source signals (DAT_NULL or MSG_INVOKE_CALLBACK), queues the
// signal for MSG_PROCESSEVENT when no callback is registered, refuses requests in the wrong
// state with TWCC_SEQERROR, and gives out memory of its own that Global* functions cannot
// use. ZAN_TWAINDSM_CHOOSER=cancel makes its source chooser answer TWRC_CANCEL.
#include <windows.h>

#include "scan/twain.h"

const int kMaxSources = 64;

struct Source {
    TW_IDENTITY identity;
    wchar_t path[MAX_PATH];
    HMODULE module;
    DsEntryProc entry;
    bool open;
    bool enabled;   // between a successful MSG_ENABLEDS and MSG_DISABLEDS
};

struct Manager {
    bool open;
    HWND parent;
    TW_IDENTITY app;
    Source sources[kMaxSources];
    int count;
    int next;        // GETNEXT position
    TW_UINT16 condition;
    TW_UINT16 pending_message;  // a source's notice waiting for MSG_PROCESSEVENT
    DsmEntryProc callback;      // the application's, registered for the open source
};

static Manager g_dsm = {};
static HMODULE g_module = nullptr;

extern "C" TW_UINT16 __stdcall DSM_Entry(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat,
                                         TW_UINT16 msg, TW_MEMREF data);

// ---- memory services: blocks of the manager's own, marked so that a block from elsewhere
// (GlobalAlloc) is refused, and a block of ours given to Global* shows up as garbage
const DWORD kBlockMagic = 0x4D53445Au;  // "ZDSM"
struct BlockHeader {
    DWORD magic;
    DWORD size;
    DWORD locks;
    DWORD reserved;
};

static BlockHeader* block_of(TW_HANDLE h) {
    BlockHeader* b = static_cast<BlockHeader*>(h);
    return b && b->magic == kBlockMagic ? b : nullptr;
}

static TW_HANDLE __stdcall mem_allocate(TW_UINT32 size) {
    BlockHeader* b = static_cast<BlockHeader*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(BlockHeader) + size));
    if (!b) return nullptr;
    b->magic = kBlockMagic;
    b->size = size;
    return b;
}
static void __stdcall mem_free(TW_HANDLE h) {
    BlockHeader* b = block_of(h);
    if (!b) return;
    b->magic = 0;
    HeapFree(GetProcessHeap(), 0, b);
}
static TW_MEMREF __stdcall mem_lock(TW_HANDLE h) {
    BlockHeader* b = block_of(h);
    if (!b) return nullptr;
    b->locks++;
    return b + 1;
}
static void __stdcall mem_unlock(TW_HANDLE h) {
    BlockHeader* b = block_of(h);
    if (b && b->locks > 0) b->locks--;
}

static TW_ENTRYPOINT entry_points();

static TW_UINT16 fail(TW_UINT16 condition) {
    g_dsm.condition = condition;
    return TWRC_FAILURE;
}

static void sources_folder(wchar_t* folder) {
    const DWORD n = GetEnvironmentVariableW(L"ZAN_TWAINDSM_SOURCES", folder, MAX_PATH);
    if (n > 0 && n < MAX_PATH) return;
    folder[0] = 0;
    const DWORD m = GetModuleFileNameW(g_module, folder, MAX_PATH);
    if (m == 0 || m >= MAX_PATH) {
        folder[0] = 0;
        return;
    }
    for (int i = (int)m - 1; i >= 0; --i) {
        if (folder[i] == L'\\' || folder[i] == L'/') {
            folder[i] = 0;
            return;
        }
    }
}

// Makes the folder of s current, as real managers do while they load and open a source
// (its driver then finds the DLLs it keeps beside itself); the caller restores saved.
static void enter_source_folder(const Source* s, wchar_t* saved) {
    saved[0] = 0;
    GetCurrentDirectoryW(MAX_PATH, saved);
    wchar_t folder[MAX_PATH];
    lstrcpynW(folder, s->path, MAX_PATH);
    for (int i = lstrlenW(folder) - 1; i > 0; --i) {
        if (folder[i] == L'\\') {
            folder[i] = 0;
            break;
        }
    }
    SetCurrentDirectoryW(folder);
}

static void leave_source_folder(const wchar_t* saved) {
    if (saved[0]) SetCurrentDirectoryW(saved);
}

static bool load_source(Source* s) {
    if (s->module) return true;
    s->module = LoadLibraryW(s->path);
    if (!s->module) return false;
    FARPROC proc = GetProcAddress(s->module, "DS_Entry");
    if (!proc) {
        FreeLibrary(s->module);
        s->module = nullptr;
        return false;
    }
    s->entry = reinterpret_cast<DsEntryProc>(reinterpret_cast<void*>(proc));
    return true;
}

static void unload_source(Source* s) {
    if (s->module) FreeLibrary(s->module);
    s->module = nullptr;
    s->entry = nullptr;
    s->open = false;
    s->enabled = false;
}

// Reads the identity of every ".ds" file of the folder; Ids start at 1.
static void scan_folder() {
    wchar_t folder[MAX_PATH] = {};
    sources_folder(folder);
    g_dsm.count = 0;
    wchar_t pattern[MAX_PATH + 8];
    lstrcpynW(pattern, folder, MAX_PATH);
    lstrcatW(pattern, L"\\*.ds");
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (g_dsm.count >= kMaxSources || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        Source* s = &g_dsm.sources[g_dsm.count];
        ZeroMemory(s, sizeof(*s));
        if (lstrlenW(folder) + lstrlenW(found.cFileName) + 2 > MAX_PATH) continue;
        lstrcpyW(s->path, folder);
        lstrcatW(s->path, L"\\");
        lstrcatW(s->path, found.cFileName);
        wchar_t saved[MAX_PATH];
        enter_source_folder(s, saved);
        const bool loaded = load_source(s);
        const TW_UINT16 rc = loaded ? s->entry(&g_dsm.app, DG_CONTROL, DAT_IDENTITY, MSG_GET, &s->identity) : TWRC_FAILURE;
        unload_source(s);
        leave_source_folder(saved);
        if (rc != TWRC_SUCCESS) continue;
        s->identity.Id = (TW_UINT32)(g_dsm.count + 1);
        g_dsm.count++;
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

static Source* source_by_id(TW_UINT32 id) {
    return id >= 1 && (int)id <= g_dsm.count ? &g_dsm.sources[id - 1] : nullptr;
}

static TW_UINT16 open_source(TW_IDENTITY* origin, TW_IDENTITY* wanted) {
    Source* s = source_by_id(wanted->Id);
    if (!s) return fail(TWCC_NODS);
    if (s->open) return fail(TWCC_SEQERROR);
    wchar_t saved[MAX_PATH];
    enter_source_folder(s, saved);
    if (!load_source(s)) {
        leave_source_folder(saved);
        return fail(TWCC_NODS);
    }
    TW_ENTRYPOINT entry = entry_points();
    s->entry(origin, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &entry);
    *wanted = s->identity;
    const TW_UINT16 rc = s->entry(origin, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, wanted);
    leave_source_folder(saved);
    if (rc != TWRC_SUCCESS) {
        TW_STATUS status = {};
        s->entry(origin, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
        unload_source(s);
        return fail(status.ConditionCode);
    }
    s->open = true;
    g_dsm.pending_message = MSG_NULL;
    g_dsm.callback = nullptr;
    return TWRC_SUCCESS;
}

static TW_UINT16 close_source(TW_IDENTITY* origin, TW_IDENTITY* which) {
    Source* s = source_by_id(which->Id);
    if (!s || !s->open) return fail(TWCC_NODS);
    const TW_UINT16 rc = s->entry(origin, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, which);
    if (rc != TWRC_SUCCESS) return rc;
    unload_source(s);
    g_dsm.callback = nullptr;
    return TWRC_SUCCESS;
}

static TW_UINT16 identity_request(TW_IDENTITY* origin, TW_UINT16 msg, TW_IDENTITY* id) {
    switch (msg) {
    case MSG_GETFIRST:
        g_dsm.next = 0;
        [[fallthrough]];
    case MSG_GETNEXT:
        if (g_dsm.next >= g_dsm.count) return TWRC_ENDOFLIST;
        *id = g_dsm.sources[g_dsm.next++].identity;
        return TWRC_SUCCESS;
    case MSG_USERSELECT: {
        // No chooser window: the first source is the choice, unless the user "cancels".
        wchar_t answer[16] = {};
        GetEnvironmentVariableW(L"ZAN_TWAINDSM_CHOOSER", answer, 16);
        if (lstrcmpiW(answer, L"cancel") == 0) return TWRC_CANCEL;
        if (g_dsm.count == 0) return fail(TWCC_NODS);
        *id = g_dsm.sources[0].identity;
        return TWRC_SUCCESS;
    }
    case MSG_GETDEFAULT:
        if (g_dsm.count == 0) return fail(TWCC_NODS);
        *id = g_dsm.sources[0].identity;
        return TWRC_SUCCESS;
    case MSG_OPENDS:
        return open_source(origin, id);
    case MSG_CLOSEDS:
        return close_source(origin, id);
    default:
        return fail(TWCC_BADPROTOCOL);
    }
}

// Requests addressed to the manager itself.
static TW_UINT16 manager_request(TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    if (dg != DG_CONTROL) return fail(TWCC_BADPROTOCOL);
    if (dat == DAT_STATUS && msg == MSG_GET) {
        TW_STATUS* status = static_cast<TW_STATUS*>(data);
        status->ConditionCode = g_dsm.condition;
        status->Data = 0;
        g_dsm.condition = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    }
    if (dat == DAT_PARENT && msg == MSG_OPENDSM) {
        if (g_dsm.open) return fail(TWCC_SEQERROR);
        g_dsm.parent = data ? *static_cast<HWND*>(data) : nullptr;
        origin->Id = 1000;
        origin->SupportedGroups |= DF_DSM2;
        g_dsm.app = *origin;
        scan_folder();
        g_dsm.open = true;
        return TWRC_SUCCESS;
    }
    if (!g_dsm.open) return fail(TWCC_SEQERROR);
    if (dat == DAT_PARENT && msg == MSG_CLOSEDSM) {
        for (int i = 0; i < g_dsm.count; ++i) {
            if (g_dsm.sources[i].open) return fail(TWCC_SEQERROR);
        }
        g_dsm.open = false;
        return TWRC_SUCCESS;
    }
    if (dat == DAT_IDENTITY && data) return identity_request(origin, msg, static_cast<TW_IDENTITY*>(data));
    if (dat == DAT_ENTRYPOINT && msg == MSG_GET && data) {
        *static_cast<TW_ENTRYPOINT*>(data) = entry_points();
        return TWRC_SUCCESS;
    }
    return fail(TWCC_BADPROTOCOL);
}

static TW_ENTRYPOINT entry_points() {
    return TW_ENTRYPOINT{sizeof(TW_ENTRYPOINT), DSM_Entry, mem_allocate, mem_free, mem_lock, mem_unlock};
}

// A source's signal to the application: the registered callback when the application
// speaks TWAIN 2, else kept for the next MSG_PROCESSEVENT, with the application's loop
// woken so that it asks.
static TW_UINT16 signal_application(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT16 msg) {
    if (g_dsm.callback && (g_dsm.app.SupportedGroups & DF_APP2)) {
        return g_dsm.callback(origin, dest, DG_CONTROL, DAT_NULL, msg, nullptr);
    }
    g_dsm.pending_message = msg;
    if (g_dsm.parent) PostMessageW(g_dsm.parent, WM_NULL, 0, 0);
    return TWRC_SUCCESS;
}

extern "C" TW_UINT16 __stdcall DSM_Entry(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat,
                                         TW_UINT16 msg, TW_MEMREF data) {
    if (!origin) return fail(TWCC_BADVALUE);
    if (!dest) return manager_request(origin, dg, dat, msg, data);
    if (!g_dsm.open) return fail(TWCC_SEQERROR);
    // From a source to the application.
    Source* from = origin->Id != g_dsm.app.Id ? source_by_id(origin->Id) : nullptr;
    if (from && dest->Id == g_dsm.app.Id) {
        if (!from->open) return fail(TWCC_SEQERROR);
        if (dg == DG_CONTROL && dat == DAT_NULL) return signal_application(origin, dest, msg);
        if (dg == DG_CONTROL && dat == DAT_CALLBACK && msg == MSG_INVOKE_CALLBACK && data) {
            return signal_application(origin, dest, (TW_UINT16) static_cast<TW_CALLBACK*>(data)->Message);
        }
        return fail(TWCC_BADPROTOCOL);
    }
    Source* s = source_by_id(dest->Id);
    if (!s || !s->open) return fail(TWCC_BADDEST);
    // The manager keeps the callback itself (state 4 only: before the source is enabled).
    if (dg == DG_CONTROL && dat == DAT_CALLBACK) {
        if (msg != MSG_REGISTER_CALLBACK || !data) return fail(TWCC_BADPROTOCOL);
        if (s->enabled) return fail(TWCC_SEQERROR);
        g_dsm.callback = reinterpret_cast<DsmEntryProc>(static_cast<TW_CALLBACK*>(data)->CallBackProc);
        return TWRC_SUCCESS;
    }
    if (dg == DG_CONTROL && dat == DAT_EVENT && msg == MSG_PROCESSEVENT && g_dsm.pending_message != MSG_NULL) {
        static_cast<TW_EVENT*>(data)->TWMessage = g_dsm.pending_message;
        g_dsm.pending_message = MSG_NULL;
        return TWRC_DSEVENT;
    }
    const TW_UINT16 rc = s->entry(origin, dg, dat, msg, data);
    if (dg == DG_CONTROL && dat == DAT_USERINTERFACE) {
        if (msg == MSG_ENABLEDS && (rc == TWRC_SUCCESS || rc == TWRC_CHECKSTATUS)) s->enabled = true;
        if (msg == MSG_DISABLEDS && rc == TWRC_SUCCESS) s->enabled = false;
    }
    return rc;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
