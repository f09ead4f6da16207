// scan/escl_win32.cpp
// The Windows half of eSCL: HTTP through WinHTTP, one scan on the scan thread, the copiers
// for the device list (saved addresses and DNS-SD) and the saved addresses themselves.
//
// A scan is: GET ScannerCapabilities, POST ScanJobs with the request (201 and a Location
// naming the job), GET <job>/NextDocument for each page until the copier answers 404,
// and DELETE <job> when the user cancels or the scan fails half way. A refused request
// is explained by the copier's ScannerStatus (feeder empty, jam, cover open...).
//
// HTTPS: copiers ship self-signed certificates. When a secure request to a copier fails
// on its certificate, that host (and only that host) is trusted for the rest of the run,
// the request is repeated and the user is told once by a status line.
#include "scan/escl.h"

#include <windns.h>
#include <winhttp.h>

#include "app/log.h"
#include "app/settings.h"
#include "app/strings.h"
#include "core/file.h"
#include "core/heap.h"
#include "core/library.h"
#include "core/system.h"
#include "core/text.h"
#include "image/codec.h"
#include "image/page_image.h"
#include "scan/device_list.h"
#include "scan/scan_failure.h"
#include "scan/twain_host.h"
#include "scan/twain_session.h"

static volatile LONG g_timeout_ms = 60000;

void escl_set_timeout_ms(int milliseconds) {
    InterlockedExchange(&g_timeout_ms, milliseconds > 0 ? milliseconds : 60000);
}

// ---- hosts whose own certificate was accepted in this run
const int ESCL_MAX_TRUSTED = 32;
static Lock* g_trust_lock = nullptr;
static WideString g_trusted[ESCL_MAX_TRUSTED];
static int g_trusted_count = 0;

static void trust_lock_once() {
    static volatile LONG made = 0;
    if (InterlockedCompareExchange(&made, 1, 0) == 0) {
        g_trust_lock = lock_create();
    } else {
        while (!g_trust_lock) Sleep(1);
    }
}

static bool host_trusted(const WideString& host) {
    trust_lock_once();
    lock_enter(g_trust_lock);
    bool found = false;
    for (int i = 0; i < g_trusted_count && !found; ++i) found = compare_no_case(text_of(g_trusted[i]), text_of(host)) == 0;
    lock_leave(g_trust_lock);
    return found;
}

// True when the host was newly added (the user is told then).
static bool trust_host(const WideString& host) {
    trust_lock_once();
    lock_enter(g_trust_lock);
    bool found = false;
    for (int i = 0; i < g_trusted_count && !found; ++i) found = compare_no_case(text_of(g_trusted[i]), text_of(host)) == 0;
    const bool added = !found && g_trusted_count < ESCL_MAX_TRUSTED;
    if (added) g_trusted[g_trusted_count++] = wide_copy(text_of(host));
    lock_leave(g_trust_lock);
    return added;
}

// ---- HTTP
// WinHTTP is taken from the system folder on first use instead of being imported: the
// program is often started from Downloads or a USB stick, where a winhttp.dll planted
// beside it would be loaded at start-up in place of the system's.
struct WinHttpCalls {
    decltype(&WinHttpCloseHandle) CloseHandle;
    decltype(&WinHttpConnect) Connect;
    decltype(&WinHttpOpen) Open;
    decltype(&WinHttpOpenRequest) OpenRequest;
    decltype(&WinHttpQueryDataAvailable) QueryDataAvailable;
    decltype(&WinHttpQueryHeaders) QueryHeaders;
    decltype(&WinHttpReadData) ReadData;
    decltype(&WinHttpReceiveResponse) ReceiveResponse;
    decltype(&WinHttpSendRequest) SendRequest;
    decltype(&WinHttpSetOption) SetOption;
    decltype(&WinHttpSetTimeouts) SetTimeouts;
};
static WinHttpCalls g_http;

static BOOL CALLBACK load_winhttp(INIT_ONCE*, void*, void**) {
    HMODULE library = system_library_load(L"winhttp.dll");
    WinHttpCalls calls = {};
    const bool ok = library &&
                    library_take(library, "WinHttpCloseHandle", &calls.CloseHandle) &&
                    library_take(library, "WinHttpConnect", &calls.Connect) &&
                    library_take(library, "WinHttpOpen", &calls.Open) &&
                    library_take(library, "WinHttpOpenRequest", &calls.OpenRequest) &&
                    library_take(library, "WinHttpQueryDataAvailable", &calls.QueryDataAvailable) &&
                    library_take(library, "WinHttpQueryHeaders", &calls.QueryHeaders) &&
                    library_take(library, "WinHttpReadData", &calls.ReadData) &&
                    library_take(library, "WinHttpReceiveResponse", &calls.ReceiveResponse) &&
                    library_take(library, "WinHttpSendRequest", &calls.SendRequest) &&
                    library_take(library, "WinHttpSetOption", &calls.SetOption) &&
                    library_take(library, "WinHttpSetTimeouts", &calls.SetTimeouts);
    if (ok) g_http = calls;
    else log_line(L"eSCL: WinHTTP is not available (error %u)", (unsigned)GetLastError());
    return ok;
}

// False when the system has no usable WinHTTP.
static bool winhttp_ready() {
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    return InitOnceExecuteOnce(&once, load_winhttp, nullptr, nullptr) != FALSE;
}

struct HttpAnswer {
    int status;          // 0: no answer (error tells why)
    DWORD error;
    bool too_large;
    bool certificate_accepted;   // this request trusted the host for the first time
    ByteBuffer body;
    WideString location;
};

// WinHTTP says ERROR_WINHTTP_TIMEOUT; some implementations pass the socket's own code up
// (WSAETIMEDOUT).
const DWORD SOCKET_TIMED_OUT = 10060;
static bool is_timeout(DWORD error) {
    return error == ERROR_WINHTTP_TIMEOUT || error == SOCKET_TIMED_OUT || error == ERROR_TIMEOUT;
}

// The failures of a secure connection a copier's self-signed certificate causes: the
// certificate's own errors, the general secure failure, and (some implementations) the
// secure channel error that stands for a refused certificate.
static bool is_certificate_error(DWORD error) {
    static const DWORD kErrors[] = {ERROR_WINHTTP_SECURE_FAILURE,       ERROR_WINHTTP_SECURE_CHANNEL_ERROR,
                                    ERROR_WINHTTP_SECURE_INVALID_CA,    ERROR_WINHTTP_SECURE_CERT_DATE_INVALID,
                                    ERROR_WINHTTP_SECURE_CERT_CN_INVALID, ERROR_WINHTTP_SECURE_INVALID_CERT,
                                    ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE};
    for (DWORD e : kErrors) {
        if (e == error) return true;
    }
    return false;
}

static void answer_release(HttpAnswer* answer) {
    release(&answer->body);
    release(&answer->location);
    *answer = HttpAnswer{};
}

// WinHttpConnect takes an IPv6 literal without its brackets.
static WideString connect_host(const EsclAddress& device) {
    const wchar_t* h = text_of(device.host);
    if (h[0] == L'[') return wide_copy(h + 1, device.host.length - 2);
    return wide_copy(h);
}

static bool read_body(HINTERNET request, size_t max_body, HttpAnswer* answer) {
    for (;;) {
        DWORD available = 0;
        if (!g_http.QueryDataAvailable(request, &available)) return false;
        if (available == 0) return true;
        if ((size_t)answer->body.length + available > max_body) {
            answer->too_large = true;
            return false;
        }
        if (!reserve(&answer->body, answer->body.length + (int)available + 1)) return false;
        DWORD got = 0;
        if (!g_http.ReadData(request, answer->body.data + answer->body.length, available, &got)) return false;
        if (got == 0) return true;
        answer->body.length += (int)got;
    }
}

static void read_location(HINTERNET request, HttpAnswer* answer) {
    wchar_t buffer[1024];
    DWORD size = sizeof(buffer);
    if (g_http.QueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, buffer, &size,
                            WINHTTP_NO_HEADER_INDEX)) {
        assign(&answer->location, buffer, (int)(size / sizeof(wchar_t)));
    }
}

static bool send_once(HINTERNET connection, const EsclAddress& device, const wchar_t* method, const wchar_t* path,
                      const ByteBuffer* body, size_t max_body, int timeout_ms, bool ignore_certificate,
                      HttpAnswer* answer) {
    HINTERNET request = g_http.OpenRequest(connection, method, path, nullptr, WINHTTP_NO_REFERER,
                                           WINHTTP_DEFAULT_ACCEPT_TYPES, device.https ? WINHTTP_FLAG_SECURE : 0);
    bool ok = request != nullptr;
    if (ok && ignore_certificate) {
        DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                      SECURITY_FLAG_IGNORE_CERT_DATE_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
        g_http.SetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof(flags));
    }
    if (ok) {
        // The wait for the answer's headers has a time-out of its own (90 s by default),
        // apart from the four WinHttpSetTimeouts sets: a copier that stalls must hit ours.
        DWORD ms = (DWORD)timeout_ms;
        g_http.SetTimeouts(request, timeout_ms, timeout_ms, timeout_ms, timeout_ms);
        g_http.SetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &ms, sizeof(ms));
    }
    const wchar_t* headers = body ? L"Content-Type: text/xml\r\n" : WINHTTP_NO_ADDITIONAL_HEADERS;
    const DWORD length = body ? (DWORD)body->length : 0;
    ok = ok && g_http.SendRequest(request, headers, body ? (DWORD)-1L : 0,
                                  body ? body->data : WINHTTP_NO_REQUEST_DATA, length, length, 0) &&
         g_http.ReceiveResponse(request, nullptr);
    if (ok) {
        DWORD status = 0, size = sizeof(status);
        ok = g_http.QueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
        if (ok) {
            read_location(request, answer);
            ok = read_body(request, max_body, answer);
            if (ok) answer->status = (int)status;
        }
    }
    if (!ok) answer->error = GetLastError();
    if (request) g_http.CloseHandle(request);
    return ok;
}

// One request to the copier. path is the absolute resource path ("/eSCL/ScanJobs").
static bool http_request(const EsclAddress& device, const wchar_t* method, const wchar_t* path,
                         const ByteBuffer* body, size_t max_body, int timeout_ms, HttpAnswer* answer) {
    *answer = HttpAnswer{};
    if (!winhttp_ready()) {
        answer->error = ERROR_MOD_NOT_FOUND;
        return false;
    }
    HINTERNET session = g_http.Open(L"ZanGroupScanner", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0);
    WideString host = connect_host(device);
    HINTERNET connection = nullptr;
    if (session) {
        g_http.SetTimeouts(session, timeout_ms, timeout_ms, timeout_ms, timeout_ms);
        connection = g_http.Connect(session, text_of(host), (INTERNET_PORT)device.port, 0);
    }
    bool ok = false;
    if (connection) {
        const bool trusted = device.https && host_trusted(device.host);
        ok = send_once(connection, device, method, path, body, max_body, timeout_ms, trusted, answer);
        // A copier's own certificate: the request is repeated with the certificate checks
        // off for this host only, and the host is trusted from then on when that works.
        if (!ok && device.https && !trusted && is_certificate_error(answer->error)) {
            answer_release(answer);
            ok = send_once(connection, device, method, path, body, max_body, timeout_ms, true, answer);
            if (ok) {
                answer->certificate_accepted = trust_host(device.host);
                log_line(L"eSCL: certificate of %s not trusted by the system; accepted for this host",
                         text_of(device.host));
            }
        }
    } else {
        answer->error = GetLastError();
    }
    log_line(L"eSCL %s %s -> %d (error %u)", method, path, answer->status, (unsigned)answer->error);
    if (connection) g_http.CloseHandle(connection);
    if (session) g_http.CloseHandle(session);
    release(&host);
    return ok;
}

static WideString resource_path(const EsclAddress& device, const wchar_t* name) {
    WideString path = wide_copy(text_of(device.root));
    append(&path, L"/");
    append(&path, name);
    return path;
}

// Reads the capabilities; on failure fills the failure.
static bool get_capabilities(const EsclAddress& device, int timeout_ms, EsclCapabilities* caps, EsclFailure* failure,
                             bool* certificate_told) {
    WideString path = resource_path(device, L"ScannerCapabilities");
    HttpAnswer answer;
    const bool answered = http_request(device, L"GET", text_of(path), nullptr, ESCL_MAX_XML_BYTES, timeout_ms, &answer);
    if (certificate_told) *certificate_told = answer.certificate_accepted;
    bool ok = false;
    if (!answered) {
        WideString label = escl_address_label(device);
        escl_failure_set(failure, is_timeout(answer.error) ? ESCL_TEXT_TIMEOUT
                                  : answer.too_large                     ? ESCL_TEXT_BAD_ANSWER
                                                                         : ESCL_TEXT_UNREACHABLE,
                         0, text_of(label));
        release(&label);
    } else if (answer.status != 200) {
        escl_failure_set(failure, escl_failure_id(answer.status, nullptr), answer.status, nullptr);
    } else if (!escl_parse_capabilities(reinterpret_cast<const char*>(answer.body.data), (size_t)answer.body.length,
                                        caps)) {
        log_line(L"eSCL: capabilities not readable (%d bytes)", answer.body.length);
        escl_failure_set(failure, ESCL_TEXT_BAD_ANSWER, 0, nullptr);
    } else {
        ok = true;
    }
    answer_release(&answer);
    release(&path);
    return ok;
}

// ---- one scan
struct EsclSession {
    EsclAddress device;
    volatile LONG* cancel;
    int timeout_ms;
    int pages;
    bool feeder;
    bool cancelled;
    WideString job_path;    // empty until the copier made the job
    EsclFailure failure;
};

static void tell_certificate(const EsclSession& s) {
    EsclFailure notice = {};
    WideString label = escl_address_label(s.device);
    escl_failure_set(&notice, ESCL_TEXT_CERTIFICATE, 0, text_of(label));
    WideString text = escl_failure_text(notice);
    post_scan_status(text_of(text));
    release(&text);
    release(&label);
    escl_failure_release(&notice);
}

// The copier's status, with the state of the session's job when there is one.
static bool read_status(const EsclSession& s, EsclStatus* status) {
    WideString path = resource_path(s.device, L"ScannerStatus");
    HttpAnswer answer;
    const int timeout = s.timeout_ms < 10000 ? s.timeout_ms : 10000;
    const bool known = http_request(s.device, L"GET", text_of(path), nullptr, ESCL_MAX_XML_BYTES, timeout, &answer) &&
                       answer.status == 200 &&
                       escl_parse_status(reinterpret_cast<const char*>(answer.body.data), (size_t)answer.body.length,
                                         s.job_path.length > 0 ? text_of(s.job_path) : nullptr, status);
    if (known) {
        log_line(L"eSCL status: state=%S adf=%S job=%S reason=%S", status->state, status->adf_state,
                 status->job_state, status->job_reason);
    }
    answer_release(&answer);
    release(&path);
    return known;
}

// A refused request: the copier's reason when its status gives one, else the one for
// http_status (0: the job stopped without a word).
static void fail_from_status(EsclSession* s, int http_status) {
    EsclStatus status = {};
    const bool known = read_status(*s, &status);
    int id = escl_failure_id(http_status, known ? &status : nullptr);
    if (id == ESCL_TEXT_HTTP_ERROR && http_status == 0) id = ESCL_TEXT_JOB_STOPPED;
    escl_failure_set(&s->failure, id, http_status, nullptr);
}

// NextDocument said 404: the job is over. A job the copier aborted (a jam half way) fails
// with the copier's reason; a job that ended without a page fails too. A feeder that is
// empty after a finished job is normal and says nothing.
static void end_of_job(EsclSession* s) {
    EsclStatus status = {};
    const bool known = read_status(*s, &status);
    const bool aborted = known && (mem_compare(status.job_state, "Aborted", 8) == 0 ||
                                   mem_compare(status.job_state, "Canceled", 9) == 0);
    if (aborted || s->pages == 0) {
        int id = escl_failure_id(0, known ? &status : nullptr);
        if (id == ESCL_TEXT_HTTP_ERROR) id = aborted ? ESCL_TEXT_JOB_STOPPED : s->feeder ? 168 : ESCL_TEXT_NO_PAGES;
        escl_failure_set(&s->failure, id, 0, nullptr);
    }
    release(&s->job_path);
}

static void fail_transport(EsclSession* s, const HttpAnswer& answer) {
    WideString label = escl_address_label(s->device);
    escl_failure_set(&s->failure, is_timeout(answer.error) ? ESCL_TEXT_TIMEOUT : ESCL_TEXT_UNREACHABLE, 0,
                     text_of(label));
    release(&label);
}

static void delete_job(EsclSession* s) {
    if (s->job_path.length == 0) return;
    HttpAnswer answer;
    const int timeout = s->timeout_ms < 10000 ? s->timeout_ms : 10000;
    http_request(s->device, L"DELETE", text_of(s->job_path), nullptr, ESCL_MAX_XML_BYTES, timeout, &answer);
    answer_release(&answer);
    release(&s->job_path);
}

static bool create_job(EsclSession* s, const EsclJobPlan& plan) {
    ByteBuffer xml = {};
    WideString path = resource_path(s->device, L"ScanJobs");
    HttpAnswer answer;
    bool ok = escl_job_xml(plan, &xml);
    const bool answered = ok && http_request(s->device, L"POST", text_of(path), &xml, ESCL_MAX_XML_BYTES,
                                             s->timeout_ms, &answer);
    ByteBuffer location = {};
    append_utf8(&location, text_of(answer.location));
    append_bytes(&location, "", 1);
    WideString job = escl_location_path(reinterpret_cast<const char*>(location.data));
    if (!ok) {
        escl_failure_set(&s->failure, TEXT_LOW_MEMORY, 0, nullptr);
    } else if (!answered) {
        fail_transport(s, answer);
        ok = false;
    } else if ((answer.status != 201 && answer.status != 200) || job.length == 0) {
        log_line(L"eSCL: job refused (HTTP %d, location '%s')", answer.status, text_of(answer.location));
        fail_from_status(s, answer.status == 201 || answer.status == 200 ? 0 : answer.status);
        ok = false;
    } else {
        // A relative location is taken below the root; an absolute one's host is ignored.
        if (job.data[0] != L'/') {
            WideString full = resource_path(s->device, text_of(job));
            release(&job);
            job = full;
        }
        s->job_path = job;
        job = WideString{};
        log_line(L"eSCL job: %s", text_of(s->job_path));
    }
    release(&job);
    release(&location);
    answer_release(&answer);
    release(&path);
    release(&xml);
    return ok;
}

static bool is_jpeg(const ByteBuffer& body) {
    return body.length >= 3 && body.data[0] == 0xFF && body.data[1] == 0xD8 && body.data[2] == 0xFF;
}

// Waits up to ms, returning early (true) when the user cancels.
static bool wait_or_cancel(const EsclSession& s, int ms) {
    for (int waited = 0; waited < ms; waited += 50) {
        if (*s.cancel) return true;
        Sleep(50);
    }
    return *s.cancel != 0;
}

// Fetches pages until the copier says the job is done (404), the user cancels or a
// request fails. The copier may answer 503 while it is still scanning a page: that is
// retried once a second, within the time-out.
static void fetch_pages(EsclSession* s, int dpi) {
    WideString next = wide_copy(text_of(s->job_path));
    append(&next, L"/NextDocument");
    int busy_ms = 0;
    while (s->failure.text_id == 0) {
        if (*s->cancel) {
            log_line(L"cancel requested by user");
            s->cancelled = true;
            delete_job(s);
            break;
        }
        if (s->pages >= ESCL_MAX_PAGES) {
            delete_job(s);
            break;
        }
        HttpAnswer answer;
        const bool answered =
            http_request(s->device, L"GET", text_of(next), nullptr, ESCL_MAX_PAGE_BYTES, s->timeout_ms, &answer);
        if (!answered) {
            if (answer.too_large) {
                escl_failure_set(&s->failure, ESCL_TEXT_NOT_JPEG, s->pages + 1, nullptr);
            } else {
                fail_transport(s, answer);
            }
        } else if (answer.status == 404) {
            end_of_job(s);
            answer_release(&answer);
            break;
        } else if (answer.status == 503 && busy_ms < s->timeout_ms) {
            busy_ms += 1000;
            wait_or_cancel(*s, 1000);
        } else if (answer.status != 200) {
            fail_from_status(s, answer.status);
        } else {
            busy_ms = 0;
            PageImage* page = is_jpeg(answer.body) ? codec_decode_bytes(answer.body.data, (size_t)answer.body.length, dpi)
                                                   : nullptr;
            if (!page) {
                log_line(L"eSCL: page %d is not a readable JPEG (%d bytes)", s->pages + 1, answer.body.length);
                escl_failure_set(&s->failure, ESCL_TEXT_NOT_JPEG, s->pages + 1, nullptr);
            } else if (post_scan_page(page, s->pages + 1)) {
                s->pages++;
            }
        }
        answer_release(&answer);
    }
    if (s->failure.text_id != 0) delete_job(s);
    release(&next);
}

// The result as a TWAIN session words it: pages and a failure give success with the
// failure appended, so the pages are kept.
static bool session_result(const EsclSession& s, WideString* text) {
    WideString failure = s.failure.text_id != 0 ? escl_failure_text(s.failure) : WideString{};
    bool ok;
    if (s.failure.text_id != 0 && s.pages == 0) {
        assign(text, text_of(failure));
        ok = false;
    } else if (s.failure.text_id != 0) {
        format(text, L"%s %d - %s", tr(TEXT_FINISHED_PAGES), s.pages, text_of(failure));
        ok = true;
    } else if (s.cancelled && s.pages == 0) {
        assign(text, tr(TEXT_SCAN_CANCELLED));
        ok = false;
    } else {
        format(text, L"%s%d", tr(TEXT_FINISHED_PAGES_COUNT), s.pages);
        ok = true;
    }
    release(&failure);
    return ok;
}

static const wchar_t* wide_name(const char* name) {
    static const wchar_t* const kWide[] = {L"Platen", L"Feeder", L"RGB24", L"Grayscale8", L"BlackAndWhite1"};
    static const char* const kNarrow[] = {"Platen", "Feeder", "RGB24", "Grayscale8", "BlackAndWhite1"};
    for (int i = 0; i < 5; ++i) {
        if (mem_compare(name, kNarrow[i], text8_length(kNarrow[i]) + 1) == 0) return kWide[i];
    }
    return L"?";
}

// Pages and status lines go to the report window (post_owned), which is main_window.
bool escl_scan(const ScanJob& job, HWND, WideString* text, volatile LONG* cancel) {
    EsclSession* s = static_cast<EsclSession*>(mem_alloc(sizeof(EsclSession)));
    if (!s) {
        assign(text, tr(TEXT_LOW_MEMORY));
        return false;
    }
    s->cancel = cancel;
    s->timeout_ms = (int)g_timeout_ms;
    const ScanSettings& settings = job.settings;
    log_line(L"eSCL scan: '%s' url=%s dpi=%d mode=%d source=%d paper=%d", text_of(job.device.device_key),
             text_of(job.device.escl_url), settings.Dpi, settings.ColorMode, settings.Source, settings.Paper);
    post_scan_status(tr(TEXT_OPENING_DEVICE));
    codec_startup();   // kept running: the main window decodes and draws with it too
    EsclCapabilities caps = {};
    bool told = false;
    if (!escl_parse_address(text_of(job.device.escl_url), &s->device)) {
        escl_failure_set(&s->failure, TEXT_DEVICE_NOT_FOUND, 0, nullptr);
    } else if (get_capabilities(s->device, s->timeout_ms, &caps, &s->failure, &told)) {
        if (told) tell_certificate(*s);
        const EsclJobPlan plan = escl_plan_job(caps, settings);
        s->feeder = plan.input == ESCL_INPUT_FEEDER;
        if (settings.Source != 0 && !s->feeder) log_line(L"eSCL: no feeder, scanning the glass");
        log_line(L"eSCL job request: input=%s duplex=%d mode=%s dpi=%d region=%dx%d brightness=%d contrast=%d",
                 wide_name(escl_input_name(plan.input)), plan.duplex ? 1 : 0, wide_name(escl_color_name(plan.color_mode)),
                 plan.resolution, plan.width, plan.height, plan.send_brightness ? plan.brightness : -1,
                 plan.send_contrast ? plan.contrast : -1);
        if (*cancel) {
            s->cancelled = true;
        } else if (create_job(s, plan)) {
            post_scan_status(tr(TEXT_SCANNING));
            fetch_pages(s, plan.resolution);
        }
    } else if (told) {
        tell_certificate(*s);
    }
    const bool ok = session_result(*s, text);
    log_line(L"eSCL scan done: pages=%d result=%d", s->pages, ok ? 1 : 0);
    escl_capabilities_release(&caps);
    escl_failure_release(&s->failure);
    escl_address_release(&s->device);
    release(&s->job_path);
    mem_free(s);
    return ok;
}

// ---- copiers for the device list
const int ESCL_MAX_FOUND = 32;
static EsclDiscovery volatile g_discovery = nullptr;

void escl_set_discovery(EsclDiscovery discovery) {
    g_discovery = discovery;
}

static void found_release(EsclFound* found, int count) {
    for (int i = 0; i < count; ++i) {
        release(&found[i].name);
        release(&found[i].url);
        release(&found[i].uuid);
    }
}

// The next line of a text of lines ('\n', a trailing '\r' dropped); *p moves past it.
static WideString next_line(const wchar_t** p) {
    const wchar_t* start = *p;
    const wchar_t* end = start;
    while (*end && *end != L'\n') ++end;
    int n = (int)(end - start);
    if (n > 0 && start[n - 1] == L'\r') --n;
    *p = *end ? end + 1 : end;
    return wide_copy(start, n);
}

// One field of a "name|url|uuid" line; *p moves past the bar.
static WideString next_field(const wchar_t** p) {
    const wchar_t* start = *p;
    while (**p && **p != L'|') ++*p;
    WideString field = wide_copy(start, (int)(*p - start));
    if (**p == L'|') ++*p;
    return field;
}

int escl_discovery_from_file(const wchar_t* path, EsclFound* found, int max_found) {
    ByteBuffer bytes = {};
    if (!read_whole_file(path, &bytes)) return 0;
    WideString text = multibyte_to_wide(reinterpret_cast<const char*>(bytes.data), bytes.length, CODE_PAGE_UTF8);
    release(&bytes);
    int count = 0;
    const wchar_t* p = text_of(text);
    while (*p && count < max_found) {
        WideString line = next_line(&p);
        const wchar_t* q = text_of(line);
        EsclFound f = {};
        f.name = next_field(&q);
        f.url = next_field(&q);
        f.uuid = next_field(&q);
        if (f.url.length > 0) {
            found[count++] = f;
        } else {
            found_release(&f, 1);
        }
        release(&line);
    }
    release(&text);
    return count;
}

// ---- DNS-SD through the system (dnsapi.dll's DnsServiceBrowse, Windows 10 and later)
typedef DNS_STATUS(WINAPI* BrowseFn)(PDNS_SERVICE_BROWSE_REQUEST, PDNS_SERVICE_CANCEL);
typedef DNS_STATUS(WINAPI* BrowseCancelFn)(PDNS_SERVICE_CANCEL);
typedef VOID(WINAPI* RecordListFreeFn)(PDNS_RECORD, DNS_FREE_TYPE);

// The browse answers arrive on the system's threads, also after a cancel: they land in
// this process-wide record, which the lock guards and `open` gates.
struct BrowseState {
    Lock* lock;
    bool open;
    EsclFound found[ESCL_MAX_FOUND];
    int count;
    RecordListFreeFn free_records;
};
static BrowseState g_browse = {};

static void browse_add(const DNS_RECORDW* records) {
    WideString instance = {}, target = {}, name = {}, uuid = {}, root = {}, address = {};
    int port = 0;
    bool secure = false;
    for (const DNS_RECORDW* r = records; r; r = r->pNext) {
        if (r->wType == DNS_TYPE_PTR && r->Data.PTR.pNameHost) {
            assign(&instance, r->Data.PTR.pNameHost);
            secure = contains_no_case(r->pName, L"_uscans.");
        } else if (r->wType == DNS_TYPE_SRV && r->Data.SRV.pNameTarget) {
            assign(&target, r->Data.SRV.pNameTarget);
            port = r->Data.SRV.wPort;
        } else if (r->wType == DNS_TYPE_TEXT) {
            for (DWORD i = 0; i < r->Data.TXT.dwStringCount; ++i) {
                const wchar_t* t = r->Data.TXT.pStringArray[i];
                if (!t) continue;
                if (starts_with_no_case(t, L"ty=")) assign(&name, t + 3);
                if (starts_with_no_case(t, L"UUID=")) assign(&uuid, t + 5);
                if (starts_with_no_case(t, L"rs=")) assign(&root, t[3] == L'/' ? t + 4 : t + 3);
            }
        } else if (r->wType == DNS_TYPE_A) {
            const uint8_t* b = reinterpret_cast<const uint8_t*>(&r->Data.A.IpAddress);
            format(&address, L"%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
        }
    }
    const WideString& host = address.length > 0 ? address : target;
    if (host.length > 0 && port > 0) {
        EsclFound f = {};
        f.name = name.length > 0 ? wide_copy(text_of(name)) : wide_copy(text_of(instance));
        f.uuid = wide_copy(text_of(uuid));
        format(&f.url, L"%s://%s:%d/%s", secure ? L"https" : L"http", text_of(host), port,
               root.length > 0 ? text_of(root) : L"eSCL");
        lock_enter(g_browse.lock);
        if (g_browse.open && g_browse.count < ESCL_MAX_FOUND) {
            g_browse.found[g_browse.count++] = f;
        } else {
            found_release(&f, 1);
        }
        lock_leave(g_browse.lock);
    }
    release(&instance);
    release(&target);
    release(&name);
    release(&uuid);
    release(&root);
    release(&address);
}

static VOID WINAPI browse_callback(DWORD status, PVOID, PDNS_RECORD records) {
    if (status == ERROR_SUCCESS && records) browse_add(reinterpret_cast<const DNS_RECORDW*>(records));
    if (records && g_browse.free_records) g_browse.free_records(records, DnsFreeRecordList);
}

const int ESCL_BROWSE_MS = 2000;
// DnsServiceBrowse's answer when the browse runs on (DNS_REQUEST_PENDING).
const DNS_STATUS ESCL_BROWSE_PENDING = 9506;

static int system_discovery(EsclFound* found, int max_found) {
    HMODULE dns = LoadLibraryExW(L"dnsapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    BrowseFn browse = dns ? reinterpret_cast<BrowseFn>(reinterpret_cast<void*>(GetProcAddress(dns, "DnsServiceBrowse"))) : nullptr;
    BrowseCancelFn cancel = dns ? reinterpret_cast<BrowseCancelFn>(reinterpret_cast<void*>(GetProcAddress(dns, "DnsServiceBrowseCancel"))) : nullptr;
    RecordListFreeFn free_records = dns ? reinterpret_cast<RecordListFreeFn>(reinterpret_cast<void*>(GetProcAddress(dns, "DnsRecordListFree"))) : nullptr;
    if (!browse || !cancel || !free_records) {
        log_line(L"eSCL: DNS-SD browsing not available on this system");
        // Kept loaded: nothing of it runs.
        return 0;
    }
    if (!g_browse.lock) g_browse.lock = lock_create();
    if (!g_browse.lock) return 0;
    lock_enter(g_browse.lock);
    g_browse.open = true;
    g_browse.free_records = free_records;
    lock_leave(g_browse.lock);
    static const wchar_t* const kServices[] = {L"_uscan._tcp.local", L"_uscans._tcp.local"};
    DNS_SERVICE_CANCEL cancels[2] = {};
    bool started[2] = {};
    for (int i = 0; i < 2; ++i) {
        DNS_SERVICE_BROWSE_REQUEST request = {};
        request.Version = DNS_QUERY_REQUEST_VERSION1;
        request.QueryName = kServices[i];
        request.pBrowseCallback = browse_callback;
        started[i] = browse(&request, &cancels[i]) == ESCL_BROWSE_PENDING;
    }
    Sleep(ESCL_BROWSE_MS);
    for (int i = 0; i < 2; ++i) {
        if (started[i]) cancel(&cancels[i]);
    }
    // The library stays loaded: a late answer may still call browse_callback.
    lock_enter(g_browse.lock);
    g_browse.open = false;
    int count = 0;
    for (int i = 0; i < g_browse.count; ++i) {
        if (count < max_found) {
            found[count++] = g_browse.found[i];
        } else {
            found_release(&g_browse.found[i], 1);
        }
        g_browse.found[i] = EsclFound{};
    }
    g_browse.count = 0;
    lock_leave(g_browse.lock);
    return count;
}

static bool listed(const DeviceList* list, const DeviceEntry& entry) {
    for (int i = 0; i < list->count; ++i) {
        const DeviceEntry& e = list->entries[i];
        if (e.kind != DEVICE_KIND_ESCL) continue;
        if (text_equals(text_of(e.device_key), text_of(entry.device_key)) == 0 ||
            compare_no_case(text_of(e.escl_url), text_of(entry.escl_url)) == 0) {
            return true;
        }
    }
    return false;
}

// Adds one copier unless it is listed already. True when added.
static bool add_copier(DeviceList* list, const EsclAddress& address, const EsclCapabilities* caps,
                       const wchar_t* name, const wchar_t* uuid) {
    DeviceEntry entry = {};
    bool added = escl_fill_entry(&entry, address, caps, name, uuid) && !listed(list, entry) &&
                 device_list_copy_entry(list, entry);
    if (added) log_line(L"eSCL device: %s | %s", text_of(entry.display_name), text_of(entry.device_key));
    device_entry_release(&entry);
    return added;
}

const int ESCL_PROBE_MS = 3000;

int escl_enumerate(const wchar_t* saved, DeviceList* list) {
    if (!list) return 0;
    int added = 0;
    const int probe_ms = g_timeout_ms < ESCL_PROBE_MS ? (int)g_timeout_ms : ESCL_PROBE_MS;
    const wchar_t* p = saved ? saved : L"";
    while (*p) {
        WideString line = next_line(&p);
        EsclAddress address = {};
        if (escl_parse_address(text_of(line), &address)) {
            // An address that does not answer stays listed under its address: the copier
            // may be switched off now, and a scan then says why it cannot be reached.
            EsclCapabilities caps = {};
            EsclFailure failure = {};
            const bool known = get_capabilities(address, probe_ms, &caps, &failure, nullptr);
            if (!known) log_line(L"eSCL: %s did not answer with its capabilities", text_of(line));
            if (add_copier(list, address, known ? &caps : nullptr, nullptr, nullptr)) added++;
            escl_capabilities_release(&caps);
            escl_failure_release(&failure);
        }
        escl_address_release(&address);
        release(&line);
    }
    EsclFound* found = static_cast<EsclFound*>(mem_alloc_array(ESCL_MAX_FOUND, sizeof(EsclFound)));
    const EsclDiscovery discovery = g_discovery;
    const int count = !found ? 0 : discovery ? discovery(found, ESCL_MAX_FOUND) : system_discovery(found, ESCL_MAX_FOUND);
    for (int i = 0; i < count; ++i) {
        EsclAddress address = {};
        if (escl_parse_address(text_of(found[i].url), &address) &&
            add_copier(list, address, nullptr, text_of(found[i].name), text_of(found[i].uuid))) {
            added++;
        }
        escl_address_release(&address);
    }
    if (found) found_release(found, count);
    mem_free(found);
    log_line(L"eSCL devices: found=%d listed=%d", count, added);
    return added;
}

// ---- addresses the user added
static const wchar_t* const kSection = L"EsclDevices";
const int ESCL_MAX_SAVED = 64;

WideString escl_saved_addresses() {
    WideString all = {};
    const int count = read_int(L"Count", kSection, 0);
    for (int i = 0; i < count && i < ESCL_MAX_SAVED; ++i) {
        WideString key = {}, value = {};
        format(&key, L"A%d", i);
        if (read_text(text_of(key), kSection, L"", &value) && value.length > 0) {
            append(&all, text_of(value));
            append(&all, L"\n");
        }
        release(&key);
        release(&value);
    }
    return all;
}

// Rewrites the section with the lines of all.
static void write_saved(const WideString& all) {
    delete_section(kSection);
    int count = 0;
    const wchar_t* p = text_of(all);
    while (*p) {
        WideString key = {}, value = next_line(&p);
        format(&key, L"A%d", count++);
        write_text(text_of(key), kSection, text_of(value));
        release(&key);
        release(&value);
    }
    write_int(L"Count", kSection, count);
}

static bool saved_contains(const WideString& all, const wchar_t* address) {
    bool found = false;
    const wchar_t* p = text_of(all);
    while (*p && !found) {
        WideString line = next_line(&p);
        found = compare_no_case(text_of(line), address) == 0;
        release(&line);
    }
    return found;
}

// The stored spelling: "host[:port]" for the usual http://host/eSCL, else the URL.
static WideString stored_form(const EsclAddress& address) {
    if (!address.https && text_equals(text_of(address.root), L"/eSCL") == 0) return escl_address_label(address);
    return escl_address_url(address);
}

bool escl_add_device_address(const wchar_t* text, EsclFailure* failure) {
    EsclAddress address = {};
    if (!escl_parse_address(text, &address)) {
        escl_failure_set(failure, ESCL_TEXT_BAD_ADDRESS, 0, nullptr);
        return false;
    }
    WideString form = stored_form(address);
    WideString all = escl_saved_addresses();
    int count = 0;
    for (int i = 0; i < all.length; ++i) count += all.data[i] == L'\n' ? 1 : 0;
    if (!saved_contains(all, text_of(form)) && count < ESCL_MAX_SAVED) {
        append(&all, text_of(form));
        append(&all, L"\n");
        write_saved(all);
        log_line(L"eSCL address added: %s", text_of(form));
    }
    release(&all);
    release(&form);
    escl_address_release(&address);
    return true;
}

bool escl_remove_device_address(const wchar_t* text) {
    EsclAddress address = {};
    if (!escl_parse_address(text, &address)) return false;
    WideString form = stored_form(address);
    WideString all = escl_saved_addresses();
    WideString kept = {};
    bool removed = false;
    const wchar_t* p = text_of(all);
    while (*p) {
        WideString line = next_line(&p);
        if (compare_no_case(text_of(line), text_of(form)) == 0) {
            removed = true;
        } else {
            append(&kept, text_of(line));
            append(&kept, L"\n");
        }
        release(&line);
    }
    if (removed) write_saved(kept);
    release(&kept);
    release(&all);
    release(&form);
    escl_address_release(&address);
    return removed;
}
