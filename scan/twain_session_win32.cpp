// scan/twain_session_win32.cpp
// The scan thread of a TWAIN session. Every TWAIN call happens on this thread; the
// source's callback only posts to the host window. Pages and texts leave the thread only
// inside posted messages, each owned by the receiver afterwards.
//
// Real drivers pump this thread's messages inside their calls (a progress window during a
// transfer, a modal screen inside MSG_ENABLEDS), so the host window procedure can run
// while a call into the manager is still on the stack. It then only records a cancel, a
// close request or "transfer ready"; the session acts on them when its own sequence has
// returned, and it ends a session the way TWAIN's exit path does (MSG_ENDXFER, MSG_RESET,
// MSG_DISABLEDS, MSG_CLOSEDS), keeping the manager loaded while a source is still open.
#include "scan/twain_session.h"

#include <ole2.h>

#include "app/log.h"
#include "app/strings.h"
#include "core/heap.h"
#include "core/text.h"
#include "image/page_image.h"
#include "scan/escl.h"
#include "scan/scan_failure.h"
#include "scan/twain_values.h"
#include "scan/wia.h"

static volatile LONG g_scan_running = 0;
static volatile LONG g_cancel_requested = 0;
// Set by the callback when the source signals "transfer ready" (the posted message may still
// be queued behind a cancel); cleared when a transfer loop starts.
static volatile LONG g_ready_signalled = 0;
static TwainSession* g_session = nullptr;
static HWND volatile g_scan_host = nullptr;

// ---- job
static void scan_job_free(ScanJob* job) {
    if (!job) return;
    device_entry_release(&job->device);
    if (job->result) free_posted_text(job->result);
    mem_free(job);
}

// Posts the one result message of a scan in the reserved record (which then belongs to
// the receiver). Without memory for the text the record goes out empty, and the receiver
// shows "Scan failed".
static void post_result(WideString** reserved, bool success, const wchar_t* text) {
    WideString* box = *reserved;
    *reserved = nullptr;
    if (!assign(box, text)) release(box);
    post_owned(WM_SCAN_DONE, success ? 1 : 0, box, free_posted_text);
}

// ---- calls into the manager: the session is busy while one is on the stack
static TW_UINT16 session_call(TwainSession* s, TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                              TW_MEMREF data) {
    s->busy++;
    const TW_UINT16 rc = dsm_call(&s->dsm, dest, dg, dat, msg, data);
    s->busy--;
    return rc;
}

static int session_status(TwainSession* s, TW_IDENTITY* source) {
    s->busy++;
    const int cc = dsm_status(&s->dsm, source);
    s->busy--;
    return cc;
}

static TW_UINT16 reset_pending(TwainSession* s) {
    TW_PENDINGXFERS pending = {0, 0};
    const TW_UINT16 rc = session_call(s, &s->source, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
    if (rc == TWRC_SUCCESS) s->source_state = 5;
    return rc;
}

// A session that ends after "transfer ready" first ends the transfers, as TWAIN's exit
// path does: MSG_ENDXFER in state 7, then MSG_RESET while transfers are pending (state 6).
// A source refuses MSG_DISABLEDS before that.
static void end_transfers(TwainSession* s) {
    if (s->source_state == 5 && g_ready_signalled) s->source_state = 6;
    if (s->source_state == 7) {
        TW_PENDINGXFERS pending = {0, 0};
        const TW_UINT16 rc = session_call(s, &s->source, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
        log_line(L"  ENDXFER rc=%d pending=%d", (int)rc, (int)(TW_INT16)pending.Count);
        if (rc == TWRC_SUCCESS) s->source_state = pending.Count != 0 ? 6 : 5;
    }
    if (s->source_state == 6) log_line(L"  RESET rc=%d", (int)reset_pending(s));
}

static ScanJob* scan_job_new(const DeviceEntry& device, const ScanSettings& settings) {
    ScanJob* job = static_cast<ScanJob*>(mem_alloc(sizeof(ScanJob)));
    if (!job) return nullptr;
    job->settings = settings;
    job->result = static_cast<WideString*>(mem_alloc(sizeof(WideString)));
    if (!job->result || !device_entry_copy(&job->device, device)) {
        mem_free(job->result);
        mem_free(job);
        return nullptr;
    }
    return job;
}

// ---- finish: exactly one result per session
static void scan_finish(TwainSession* s, bool success, const wchar_t* text) {
    if (s->finished) return;
    s->finished = true;
    s->busy++;
    if (s->source_enabled) {
        end_transfers(s);
        TW_USERINTERFACE ui = {0, 0, s->host_window};
        const TW_UINT16 rc = session_call(s, &s->source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
        log_line(L"DISABLEDS rc=%d", (int)rc);
        if (rc == TWRC_SUCCESS) {
            s->source_enabled = false;
            s->source_state = 4;
        }
    }
    if (s->source_open) {
        const TW_UINT16 rc = session_call(s, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &s->source);
        log_line(L"CLOSEDS rc=%d", (int)rc);
        if (rc == TWRC_SUCCESS) {
            s->source_open = false;
            s->source_state = 3;
        }
    }
    // Unloading the manager under a source that is still open would pull its code from
    // under the driver: it then stays loaded for the rest of the process.
    if (s->source_open) {
        log_line(L"%s kept loaded: the source did not close", dsm_file_name(s->dsm.dsm_number));
    } else {
        dsm_close(&s->dsm);
    }
    s->busy--;
    post_result(&s->result, success, text);
    PostQuitMessage(0);
}

static void finish_with_count(TwainSession* s) {
    WideString text = {};
    format(&text, L"%s%d", tr(TEXT_FINISHED_PAGES_COUNT), s->pages);
    scan_finish(s, true, text_of(text));
    release(&text);
}

// ---- finding and opening the source
struct SeenKeys {
    WideString keys[TWAIN_MAX_SOURCES];
    int count;
};

// The key of this sighting within one manager's listing: identical names get " #n".
static WideString sighting_key(SeenKeys* seen, const TW_IDENTITY& identity) {
    WideString base = twain_identity_key(identity);
    int n = 1;
    for (int i = 0; i < seen->count; ++i) {
        if (device_key_matches_twain(text_of(seen->keys[i]), text_of(base))) ++n;
    }
    WideString key = twain_sighting_key(text_of(base), n);
    if (seen->count < TWAIN_MAX_SOURCES) {
        seen->keys[seen->count++] = base;
    } else {
        release(&base);
    }
    return key;
}

static bool find_source(TwainSession* s, const wchar_t* device_key) {
    SeenKeys* seen = static_cast<SeenKeys*>(mem_alloc(sizeof(SeenKeys)));
    if (!seen) return false;
    bool found = false;
    TW_IDENTITY identity = {};
    TW_UINT16 rc = dsm_call(&s->dsm, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &identity);
    for (int read = 0; rc == TWRC_SUCCESS && read < TWAIN_MAX_SOURCES; ++read) {
        WideString key = sighting_key(seen, identity);
        found = device_key_matches_twain(text_of(key), device_key);
        release(&key);
        if (found) break;
        mem_fill(&identity, 0, sizeof(identity));
        rc = dsm_call(&s->dsm, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &identity);
    }
    for (int i = 0; i < seen->count; ++i) release(&seen->keys[i]);
    mem_free(seen);
    if (found) s->source = identity;
    return found;
}

static bool open_source(TwainSession* s, const ScanJob& job, WideString* error) {
    int order[2] = {DSM_TWAIN32, DSM_TWAINDSM};
    int managers = 2;
    if (job.device.dsm_mask & DSM_BIT_TWAIN32) {
        managers = (job.device.dsm_mask & DSM_BIT_TWAINDSM) ? 2 : 1;
    } else if (job.device.dsm_mask & DSM_BIT_TWAINDSM) {
        order[0] = DSM_TWAINDSM;
        managers = 1;
    }
    assign(error, L"");
    for (int i = 0; i < managers; ++i) {
        const wchar_t* name = dsm_file_name(order[i]);
        if (!dsm_load(order[i], &s->dsm, error)) {
            log_line(L"%s", text_of(*error));
            continue;
        }
        if (!dsm_open(&s->dsm, s->host_window, error)) {
            dsm_close(&s->dsm);
            continue;
        }
        if (!find_source(s, text_of(job.device.device_key))) {
            log_line(L"%s: device '%s' not found by this DSM", name, text_of(job.device.device_key));
            assign(error, tr(TEXT_DEVICE_NOT_FOUND));
            dsm_close(&s->dsm);
            continue;
        }
        const TW_UINT16 rc = dsm_call(&s->dsm, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &s->source);
        if (rc != TWRC_SUCCESS) {
            const int cc = dsm_status(&s->dsm, nullptr);
            log_line(L"%s: OPENDS rc=%d cc=%d(%s)", name, (int)rc, cc, twcc_name(cc));
            format(error, L"%s (TWCC %d / %s)", tr(TEXT_CANNOT_OPEN_DEVICE), cc, twcc_name(cc));
            dsm_close(&s->dsm);
            continue;
        }
        log_line(L"%s: OPENDS ok id=%u", name, (unsigned)s->source.Id);
        s->source_open = true;
        return true;
    }
    if (error->length == 0) assign(error, tr(TEXT_NO_TWAIN_DRIVER));
    return false;
}

// ---- negotiation
// Containers live in the manager's memory (a 2.x manager's own functions, else global
// memory), which the source reads with the same functions.
static void set_capability(TwainSession* s, TW_UINT16 cap, TW_UINT16 item_type, TW_UINT32 item,
                           const wchar_t* log_name) {
    TW_HANDLE container = dsm_mem_alloc(&s->dsm, sizeof(TW_ONEVALUE));
    TW_ONEVALUE* one = static_cast<TW_ONEVALUE*>(dsm_mem_lock(&s->dsm, container));
    if (!one) {
        dsm_mem_free(&s->dsm, container);
        log_line(L"  SET %s = %u -> no memory", log_name, (unsigned)item);
        return;
    }
    one->ItemType = item_type;
    one->Item = item;
    dsm_mem_unlock(&s->dsm, container);
    TW_CAPABILITY capability = {cap, TWON_ONEVALUE, container};
    const TW_UINT16 rc = session_call(s, &s->source, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability);
    WideString suffix = {};
    if (rc != TWRC_SUCCESS) {
        const int cc = session_status(s, &s->source);
        format(&suffix, L" cc=%d(%s)", cc, twcc_name(cc));
    }
    log_line(L"  SET %s = %u -> rc=%d%s", log_name, (unsigned)item, (int)rc, text_of(suffix));
    release(&suffix);
    dsm_mem_free(&s->dsm, container);
}

// The bytes a container can be read up to. Global memory knows its size; a 2.x manager's
// block does not tell, so the largest form a boolean answer takes bounds the read.
static size_t container_size(const TwainSession* s, const TW_CAPABILITY& capability) {
    if (!s->dsm.entry_points.DSM_MemLock) return GlobalSize(capability.hContainer);
    return capability.ConType == TWON_ENUMERATION ? offsetof(TW_ENUMERATION, ItemList) + 2 * sizeof(TW_UINT16)
                                                  : sizeof(TW_ONEVALUE);
}

// 1 or 0, or TWAIN_BOOL_UNKNOWN when the source cannot tell.
static int read_bool_capability(TwainSession* s, TW_UINT16 cap) {
    TW_CAPABILITY capability = {cap, TWON_DONTCARE16, nullptr};
    const TW_UINT16 rc = session_call(s, &s->source, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &capability);
    if (rc != TWRC_SUCCESS || !capability.hContainer) return TWAIN_BOOL_UNKNOWN;
    int value = TWAIN_BOOL_UNKNOWN;
    const void* data = dsm_mem_lock(&s->dsm, capability.hContainer);
    if (data) {
        value = twain_bool_from_container(capability.ConType, data, container_size(s, capability));
        dsm_mem_unlock(&s->dsm, capability.hContainer);
    }
    dsm_mem_free(&s->dsm, capability.hContainer);
    return value;
}

static TW_UINT16 __stdcall session_callback(TW_IDENTITY*, TW_IDENTITY*, TW_UINT32, TW_UINT16, TW_UINT16 msg,
                                            TW_MEMREF) {
    log_line(L"callback msg=0x%x", (unsigned)msg);
    if (msg == MSG_XFERREADY) InterlockedExchange(&g_ready_signalled, 1);
    HWND host = g_scan_host;
    if (msg >= MSG_XFERREADY && msg <= MSG_CLOSEDSOK && host) PostMessageW(host, WM_TWAIN_EVENT, msg, 0);
    return TWRC_SUCCESS;
}

// False when the session ended during negotiation.
static bool negotiate(TwainSession* s) {
    const ScanSettings& o = s->settings;
    TW_CALLBACK callback = {reinterpret_cast<TW_MEMREF>(session_callback), 0, 0};
    const TW_UINT16 rc = session_call(s, &s->source, DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, &callback);
    log_line(L"REGISTER_CALLBACK rc=%d", (int)rc);
    set_capability(s, ICAP_XFERMECH, TWTY_UINT16, TWSX_NATIVE, L"ICAP_XFERMECH(native)");
    set_capability(s, CAP_XFERCOUNT, TWTY_INT16, 0xFFFF, L"CAP_XFERCOUNT(-1)");
    // With the driver screen on, the user sets everything else there.
    if (o.ShowDriverUi) return true;
    if (read_bool_capability(s, CAP_DEVICEONLINE) == 0) {
        log_line(L"CAP_DEVICEONLINE = false");
        scan_finish(s, false, tr(TEXT_DEVICE_OFFLINE));
        return false;
    }
    set_capability(s, ICAP_UNITS, TWTY_UINT16, TWUN_INCHES, L"ICAP_UNITS(inches)");
    set_capability(s, ICAP_PIXELTYPE, TWTY_UINT16, twain_pixel_type(o.ColorMode), L"ICAP_PIXELTYPE");
    set_capability(s, ICAP_XRESOLUTION, TWTY_FIX32, twain_fix32_item(o.Dpi), L"ICAP_XRESOLUTION");
    set_capability(s, ICAP_YRESOLUTION, TWTY_FIX32, twain_fix32_item(o.Dpi), L"ICAP_YRESOLUTION");
    set_capability(s, ICAP_SUPPORTEDSIZES, TWTY_UINT16, twain_paper_size(o.Paper), L"ICAP_SUPPORTEDSIZES");
    const bool feeder = o.Source != 0;
    set_capability(s, CAP_FEEDERENABLED, TWTY_BOOL, feeder ? 1 : 0, L"CAP_FEEDERENABLED");
    if (feeder) {
        set_capability(s, CAP_AUTOFEED, TWTY_BOOL, 1, L"CAP_AUTOFEED");
        if (read_bool_capability(s, CAP_FEEDERLOADED) == 0) {
            log_line(L"CAP_FEEDERLOADED = false");
            scan_finish(s, false, tr(TEXT_NO_PAPER_ADF));
            return false;
        }
    }
    set_capability(s, CAP_DUPLEXENABLED, TWTY_BOOL, o.Source == 2 ? 1 : 0, L"CAP_DUPLEXENABLED");
    if (o.Brightness != 0) {
        set_capability(s, ICAP_BRIGHTNESS, TWTY_FIX32, twain_fix32_item(o.Brightness * 10.0), L"ICAP_BRIGHTNESS");
    }
    if (o.Contrast != 0) {
        set_capability(s, ICAP_CONTRAST, TWTY_FIX32, twain_fix32_item(o.Contrast * 10.0), L"ICAP_CONTRAST");
    }
    if (o.ColorMode == 2) {
        set_capability(s, ICAP_THRESHOLD, TWTY_FIX32, twain_fix32_item(o.Threshold), L"ICAP_THRESHOLD");
    }
    return true;
}

static void enable_source(TwainSession* s) {
    if (g_cancel_requested) {
        log_line(L"cancel requested by user");
        s->cancelled = true;
        scan_finish(s, false, tr(TEXT_SCAN_CANCELLED));
        return;
    }
    s->transfer_started = false;
    const TW_BOOL show = s->settings.ShowDriverUi ? 1 : 0;
    TW_USERINTERFACE ui = {show, show, s->host_window};
    post_scan_status(tr(TEXT_SCANNING));
    s->source_enabled = true;
    s->source_state = 5;
    const TW_UINT16 rc = session_call(s, &s->source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
    log_line(L"ENABLEDS rc=%d showUi=%d", (int)rc, (int)show);
    if (rc == TWRC_SUCCESS || rc == TWRC_CHECKSTATUS) {
        // A signal queued by a 1.x manager is handed over only through MSG_PROCESSEVENT, and
        // a driver that pumped messages inside MSG_ENABLEDS may have taken the message that
        // would have carried it: one message of our own makes sure the source is asked.
        PostMessageW(s->host_window, WM_NULL, 0, 0);
        return;
    }
    const int cc = session_status(s, &s->source);
    s->source_enabled = false;
    s->source_state = 4;
    log_line(L"ENABLEDS failed cc=%d(%s)", cc, twcc_name(cc));
    WideString text = twain_failure_text(cc);
    scan_finish(s, false, text_of(text));
    release(&text);
}

// ---- transfers

// Converts the native transfer's block (freed here) into a page and posts it. False when
// the block gives no page.
static bool deliver_page(TwainSession* s, HGLOBAL handle, int dpi) {
    PageImage* page = nullptr;
    const void* dib = GlobalLock(handle);
    if (dib) {
        // The block's real size bounds every read: a header that claims more is refused.
        page = page_image_from_dib(dib, GlobalSize(handle), dpi);
        GlobalUnlock(handle);
    }
    GlobalFree(handle);
    if (!page) return false;
    page->dpi = dpi;
    s->pages++;
    post_scan_page(page, s->pages);
    return true;
}

static void close_requested(TwainSession* s, unsigned msg) {
    log_line(L"DS requested close (0x%x)", msg);
    if (s->pages > 0) {
        finish_with_count(s);
    } else {
        scan_finish(s, false, tr(TEXT_CANCELLED_DRIVER_SCREEN));
    }
}

static void transfer_loop(TwainSession* s) {
    if (s->transfer_started) return;
    s->transfer_started = true;
    s->busy++;
    InterlockedExchange(&g_ready_signalled, 0);
    log_line(L"XFERREADY -> transfer loop");
    bool failed = false;
    WideString error = {};
    for (int round = 1; round <= TWAIN_MAX_ROUNDS; ++round) {
        TW_IMAGEINFO info = {};
        int dpi = s->settings.Dpi;
        if (session_call(s, &s->source, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info) == TWRC_SUCCESS) {
            dpi = twain_image_dpi(info.XResolution, s->settings.Dpi);
            log_line(L"  IMAGEINFO %dx%d bpp=%d pixeltype=%d dpi=%d", (int)info.ImageWidth, (int)info.ImageLength,
                     (int)info.BitsPerPixel, (int)info.PixelType, dpi);
        }
        TW_HANDLE handle = nullptr;
        const TW_UINT16 rc = session_call(s, &s->source, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
        log_line(L"  NATIVEXFER rc=%d handle=%p", (int)rc, handle);
        if (rc == TWRC_XFERDONE) {
            s->source_state = 7;
            if (!handle || !deliver_page(s, handle, dpi)) {
                failed = true;
                assign(&error, tr(TEXT_TRANSFER_ERROR));
            }
        } else if (rc == TWRC_CANCEL) {
            s->source_state = 7;
            s->cancelled = true;
            if (handle) GlobalFree(handle);
        } else {
            const int cc = session_status(s, &s->source);
            release(&error);
            error = twain_failure_text(cc);
            log_line(L"  transfer failed cc=%d(%s)", cc, twcc_name(cc));
            if (handle && rc != TWRC_FAILURE) GlobalFree(handle);
            failed = true;
        }
        TW_PENDINGXFERS pending = {0, 0};
        const TW_UINT16 end_rc = session_call(s, &s->source, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
        log_line(L"  ENDXFER rc=%d pending=%d", (int)end_rc, (int)(TW_INT16)pending.Count);
        if (end_rc == TWRC_SUCCESS) {
            s->source_state = pending.Count != 0 ? 6 : 5;
        } else if (!failed) {
            const int cc = session_status(s, &s->source);
            release(&error);
            error = twain_failure_text(cc);
            failed = true;
        }
        if (g_cancel_requested) s->cancelled = true;
        // A close request that arrived while the driver pumped messages stops the batch too.
        if (failed || s->cancelled || s->close_request) {
            if (s->source_state == 6) reset_pending(s);
            break;
        }
        if (pending.Count == 0) break;
        // Out of rounds with pages still pending: the source must leave state 6 before
        // MSG_DISABLEDS can succeed.
        if (round == TWAIN_MAX_ROUNDS) reset_pending(s);
    }
    if (failed && s->pages == 0) {
        scan_finish(s, false, text_of(error));
    } else if (failed) {
        WideString text = {};
        format(&text, L"%s %d - %s", tr(TEXT_FINISHED_PAGES), s->pages, text_of(error));
        scan_finish(s, true, text_of(text));
        release(&text);
    } else if (s->close_request) {
        close_requested(s, s->close_request);
    } else if (s->cancelled && s->pages == 0) {
        scan_finish(s, false, tr(TEXT_SCAN_CANCELLED));
    } else {
        finish_with_count(s);
    }
    release(&error);
    s->busy--;
}

static void cancel_by_user(TwainSession* s) {
    log_line(L"cancel requested by user");
    s->cancelled = true;
    if (s->pages > 0) {
        finish_with_count(s);
    } else {
        scan_finish(s, false, tr(TEXT_SCAN_CANCELLED));
    }
}

// Notes what the source signalled; acted on by act_on_requests.
static void record_source_message(TwainSession* s, TW_UINT16 msg) {
    if (msg == MSG_XFERREADY) {
        s->ready_request = true;
        if (s->source_state == 5) s->source_state = 6;
    } else if (msg == MSG_CLOSEDSREQ || msg == MSG_CLOSEDSOK) {
        s->close_request = msg;
    }
}

// Acts on the recorded requests once no sequence of the session is on the stack: a cancel
// first, then a close request, then "transfer ready".
static void act_on_requests(TwainSession* s) {
    while (!s->finished && s->busy == 0 && (s->cancel_request || s->close_request || s->ready_request)) {
        if (s->cancel_request) {
            s->cancel_request = false;
            cancel_by_user(s);
        } else if (s->close_request) {
            const TW_UINT16 msg = s->close_request;
            s->close_request = 0;
            close_requested(s, msg);
        } else {
            s->ready_request = false;
            transfer_loop(s);
        }
    }
}

LRESULT CALLBACK twain_session_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    TwainSession* s = g_session;
    if (s && !s->finished && window == s->host_window) {
        if (message == WM_TWAIN_EVENT) {
            record_source_message(s, (TW_UINT16)wparam);
            act_on_requests(s);
            return 0;
        }
        if (message == WM_SCAN_CANCEL) {
            s->cancel_request = true;
            act_on_requests(s);
            return 0;
        }
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

static void run_events(TwainSession* s) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (s->source_enabled && !s->finished) {
            TW_EVENT event = {&msg, 0};
            if (session_call(s, &s->source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event) == TWRC_DSEVENT) {
                record_source_message(s, event.TWMessage);
                act_on_requests(s);
                continue;
            }
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

static void run_twain(TwainSession* s, const ScanJob& job) {
    log_line(L"TWAIN scan: '%s' mask=%u dpi=%d mode=%d source=%d ui=%d", text_of(job.device.device_key),
             (unsigned)job.device.dsm_mask, s->settings.Dpi, s->settings.ColorMode, s->settings.Source,
             s->settings.ShowDriverUi ? 1 : 0);
    post_scan_status(tr(TEXT_OPENING_DEVICE));
    WideString error = {};
    s->busy++;
    if (!open_source(s, job, &error)) {
        scan_finish(s, false, text_of(error));
    } else if (negotiate(s)) {
        enable_source(s);
    }
    s->busy--;
    release(&error);
    act_on_requests(s);
    run_events(s);
}

DWORD WINAPI scan_thread(void* param) {
    ScanJob* job = static_cast<ScanJob*>(param);
    // Driver screens built on OLE or .NET need a single-threaded apartment.
    const HRESULT ole = OleInitialize(nullptr);
    InterlockedExchange(&g_ready_signalled, 0);
    TwainSession* s = static_cast<TwainSession*>(mem_alloc(sizeof(TwainSession)));
    HWND host = twain_host_window_create();
    if (!s || !host) {
        log_line(L"scan thread: no memory or host window");
        post_result(&job->result, false, tr(TEXT_SCAN_FAILED));
    } else {
        s->settings = job->settings;
        s->main_window = twain_report_window();
        s->host_window = host;
        s->source_state = 3;
        s->result = job->result;
        job->result = nullptr;
        g_scan_host = host;
        if (job->device.kind == DEVICE_KIND_TWAIN) {
            g_session = s;
            run_twain(s, *job);
        } else {
            // The host window stays without a session: a cancel reaches WIA and eSCL
            // through the flag.
            WideString text = {};
            const bool ok = job->device.kind == DEVICE_KIND_ESCL
                                ? escl_scan(*job, s->main_window, &text, &g_cancel_requested)
                                : wia_scan(*job, s->main_window, &text, &g_cancel_requested);
            scan_finish(s, ok, text_of(text));
            release(&text);
        }
        if (!s->finished) scan_finish(s, false, tr(TEXT_SCAN_CANCELLED));
    }
    g_session = nullptr;
    g_scan_host = nullptr;
    if (host) DestroyWindow(host);
    mem_free(s);
    if (SUCCEEDED(ole)) OleUninitialize();
    scan_job_free(job);
    InterlockedExchange(&g_scan_running, 0);
    return 0;
}

bool start_scan(const DeviceEntry& device, const ScanSettings& settings) {
    if (InterlockedCompareExchange(&g_scan_running, 1, 0) != 0) return false;
    // Cleared here, not on the thread, so a Cancel pressed right after the start counts.
    InterlockedExchange(&g_cancel_requested, 0);
    ScanJob* job = twain_host_class_register() ? scan_job_new(device, settings) : nullptr;
    HANDLE thread = job ? CreateThread(nullptr, 0, scan_thread, job, 0, nullptr) : nullptr;
    if (!thread) {
        scan_job_free(job);
        InterlockedExchange(&g_scan_running, 0);
        return false;
    }
    CloseHandle(thread);
    return true;
}

void scan_cancel() {
    InterlockedExchange(&g_cancel_requested, 1);
    HWND host = g_scan_host;
    if (host) PostMessageW(host, WM_SCAN_CANCEL, 0, 0);
}

bool scan_is_running() {
    return g_scan_running != 0;
}
