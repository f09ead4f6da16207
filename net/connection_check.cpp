// net/connection_check.cpp
// The connection check worker and the address helpers. Winsock and the IP helper are
// looked up per operation from the system folder, so a system without them still starts
// and the check reports that diagnostics are unavailable.
#include "net/connection_check.h"

#include <iphlpapi.h>
#include <icmpapi.h>

#include "app/strings.h"
#include "core/heap.h"
#include "core/library.h"
#include "core/text.h"
#include "net/net_post.h"

static const char kEchoPayload[24] = "ZanGroupScanner";
static const DWORD kEchoTimeoutMs = 900;
static const long kPortWaitUs = 650000;
static const long kWebWaitUs = 1200000;
static const DWORD kWebTimeoutMs = 1500;
static const wchar_t kUnavailable[] = L"Network diagnostics are unavailable (optional Win7 APIs could not be loaded).";

ConnectionProbePlan connection_plan_default() {
    ConnectionProbePlan plan = {};
    const int ports[] = {80, 443, 515, 9100};
    for (int p : ports) plan.ports[plan.port_count++] = p;
    plan.web_port = 80;
    plan.echo = true;
    return plan;
}

void connection_check_result_free(ConnectionCheckResult* result) {
    if (!result) return;
    report_release(&result->report);
    mem_free(result);
}

// ---- address helpers

bool parse_ipv4(const wchar_t* text, uint32_t* value) {
    *value = 0;
    if (!text) return false;
    uint32_t total = 0;
    const wchar_t* p = text;
    for (int group = 0; group < 4; ++group) {
        if (group > 0) {
            if (*p != L'.') return false;
            ++p;
        }
        int digits = 0, number = 0;
        while (*p >= L'0' && *p <= L'9' && digits < 4) {
            number = number * 10 + (*p++ - L'0');
            ++digits;
        }
        if (digits == 0 || digits > 3 || number > 255) return false;
        total = (total << 8) | (uint32_t)number;
    }
    if (*p != 0) return false;
    *value = total;
    return true;
}

bool is_valid_ipv4(const wchar_t* text) {
    uint32_t value = 0;
    return parse_ipv4(text, &value);
}

int http_status_of(const char* answer, int length) {
    if (length < 11 || answer[0] != 'H' || answer[1] != 'T' || answer[2] != 'T' || answer[3] != 'P' || answer[4] != '/')
        return 0;
    int i = 0;
    while (i < length && answer[i] != ' ' && answer[i] != 0) ++i;
    while (i < length && answer[i] == ' ') ++i;
    int status = 0;
    for (int n = 0; n < 3 && i < length && answer[i] >= '0' && answer[i] <= '9'; ++n, ++i)
        status = status * 10 + (answer[i] - '0');
    return status;
}

static bool is_private(uint32_t a) {
    const uint32_t first = a >> 24, second = (a >> 16) & 255;
    return first == 10 || (first == 172 && second >= 16 && second <= 31) || (first == 192 && second == 168);
}

uint32_t choose_local_address(const uint32_t* addresses, int count) {
    for (int i = 0; i < count; ++i)
        if (is_private(addresses[i])) return addresses[i];
    return count > 0 ? addresses[0] : 0;
}

// ---- run-time libraries

struct Winsock {
    HMODULE library;
    decltype(&WSAStartup) startup;
    decltype(&WSACleanup) cleanup;
    decltype(&socket) open;
    decltype(&closesocket) close;
    decltype(&connect) connect_to;
    decltype(&select) wait;
    decltype(&getsockopt) get_option;
    decltype(&setsockopt) set_option;
    decltype(&send) send_bytes;
    decltype(&recv) receive;
    decltype(&ioctlsocket) control;
    decltype(&htonl) to_net_long;
    decltype(&htons) to_net_short;
    decltype(&ntohl) to_host_long;
};

static bool winsock_load(Winsock* w) {
    *w = Winsock{};
    w->library = system_library_load(L"ws2_32.dll");
    if (!w->library) return false;
    const bool ok = library_take(w->library, "WSAStartup", &w->startup) && library_take(w->library, "WSACleanup", &w->cleanup) &&
                    library_take(w->library, "socket", &w->open) && library_take(w->library, "closesocket", &w->close) &&
                    library_take(w->library, "connect", &w->connect_to) && library_take(w->library, "select", &w->wait) &&
                    library_take(w->library, "getsockopt", &w->get_option) && library_take(w->library, "setsockopt", &w->set_option) &&
                    library_take(w->library, "send", &w->send_bytes) && library_take(w->library, "recv", &w->receive) &&
                    library_take(w->library, "ioctlsocket", &w->control) && library_take(w->library, "htonl", &w->to_net_long) &&
                    library_take(w->library, "htons", &w->to_net_short) && library_take(w->library, "ntohl", &w->to_host_long);
    if (!ok) {
        FreeLibrary(w->library);
        *w = Winsock{};
    }
    return ok;
}

static bool echo_once(uint32_t address, const Winsock& w) {
    HMODULE library = system_library_load(L"iphlpapi.dll");
    if (!library) return false;
    decltype(&IcmpCreateFile) create = nullptr;
    decltype(&IcmpCloseHandle) close = nullptr;
    decltype(&IcmpSendEcho) send_echo = nullptr;
    bool ok = false;
    if (library_take(library, "IcmpCreateFile", &create) && library_take(library, "IcmpCloseHandle", &close) &&
        library_take(library, "IcmpSendEcho", &send_echo)) {
        HANDLE icmp = create();
        if (icmp != INVALID_HANDLE_VALUE) {
            char reply[92] = {};
            char payload[sizeof kEchoPayload];
            mem_copy(payload, kEchoPayload, sizeof payload);
            const DWORD replies = send_echo(icmp, w.to_net_long(address), payload, sizeof payload, nullptr, reply,
                                            sizeof reply, kEchoTimeoutMs);
            ok = replies > 0 && reinterpret_cast<ICMP_ECHO_REPLY*>(reply)->Status == 0;
            close(icmp);
        }
    }
    FreeLibrary(library);
    return ok;
}

// FD_ISSET calls into ws2_32 itself, which is only looked up at run time here.
static bool in_set(const fd_set& set, SOCKET s) {
    for (u_int i = 0; i < set.fd_count; ++i)
        if (set.fd_array[i] == s) return true;
    return false;
}

// A non-blocking connect that waits up to `wait_us`; the connected socket, or INVALID_SOCKET.
static SOCKET connect_with_wait(const Winsock& w, uint32_t address, int port, long wait_us, bool watch_errors) {
    SOCKET s = w.open(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return s;
    u_long non_blocking = 1;
    w.control(s, FIONBIO, &non_blocking);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = w.to_net_short((u_short)port);
    to.sin_addr.s_addr = w.to_net_long(address);
    w.connect_to(s, reinterpret_cast<sockaddr*>(&to), sizeof to);
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval wait = {wait_us / 1000000, wait_us % 1000000};
    const int ready = w.wait(0, nullptr, &writable, watch_errors ? &failed : nullptr, &wait);
    int error = 1;
    int size = sizeof error;
    bool connected = ready >= 1 && in_set(writable, s) &&
                     w.get_option(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 && error == 0;
    if (!connected) {
        w.close(s);
        return INVALID_SOCKET;
    }
    return s;
}

static int read_web_status(const Winsock& w, uint32_t address, int port, const wchar_t* host) {
    SOCKET s = connect_with_wait(w, address, port, kWebWaitUs, false);
    if (s == INVALID_SOCKET) return 0;
    u_long blocking = 0;
    w.control(s, FIONBIO, &blocking);
    const DWORD timeout = kWebTimeoutMs;
    w.set_option(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    w.set_option(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    char host8[64] = {};
    for (int i = 0; host[i] && i < 63; ++i) host8[i] = (char)host[i];
    char request[256];
    const int length = wsprintfA(request, "GET / HTTP/1.0\r\nHost: %s\r\nUser-Agent: ZanGroupScanner/2.1\r\nConnection: close\r\n\r\n",
                                 host8);
    w.send_bytes(s, request, length, 0);
    char answer[1024] = {};
    const int got = w.receive(s, answer, 1023, 0);
    w.close(s);
    return got > 0 ? http_status_of(answer, got) : 0;
}

void connection_check_run(const wchar_t* address, const ConnectionProbePlan& plan, ConnectionCheckResult* r) {
    r->address_valid = is_valid_ipv4(address) ? 1 : 0;
    Winsock w = {};
    bool started = false;
    if (winsock_load(&w)) {
        WSADATA data = {};
        started = w.startup(MAKEWORD(2, 2), &data) == 0;
    }
    uint32_t ip = 0;
    if (started && parse_ipv4(address, &ip)) {
        r->ping_ok = plan.echo && echo_once(ip, w) ? 1 : 0;
        report_add_id(&r->report, r->ping_ok ? 213 : 214);
        for (int i = 0; i < plan.port_count && !r->port_open; ++i) {
            SOCKET s = connect_with_wait(w, ip, plan.ports[i], kPortWaitUs, true);
            if (s == INVALID_SOCKET) continue;
            w.close(s);
            r->port_open = 1;
            r->open_port = plan.ports[i];
        }
        if (r->port_open) report_add_id_number(&r->report, 217, r->open_port);
        else report_add_id(&r->report, 218);
        r->web_status = read_web_status(w, ip, plan.web_port, address);
        r->web_ok = r->web_status > 0 ? 1 : 0;
        if (r->web_ok) report_add_id_number(&r->report, 215, r->web_status);
        else report_add_id(&r->report, 216);
        report_add_blank(&r->report);
        report_add_id(&r->report, 221);
    }
    if (report_is_empty(r->report)) {
        if (r->address_valid) report_add_fixed(&r->report, kUnavailable);
        else report_add_id(&r->report, 219);
    }
    if (started) w.cleanup();
    if (w.library) FreeLibrary(w.library);
}

// ---- the worker

struct ConnectionCheckJob {
    HWND owner;
    WideString address;
    ConnectionProbePlan plan;
};

static void post_result(HWND owner, ConnectionCheckResult* result) {
    // A dialog closed meanwhile, or a full queue: the record is freed here, never lost.
    if (!net_post_record(owner, WM_CONNECTION_CHECK_DONE, 0, result)) connection_check_result_free(result);
}

static DWORD WINAPI connection_check_worker(void* parameter) {
    ConnectionCheckJob* job = static_cast<ConnectionCheckJob*>(parameter);
    ConnectionCheckResult* result = static_cast<ConnectionCheckResult*>(mem_alloc(sizeof(ConnectionCheckResult)));
    if (result) connection_check_run(text_of(job->address), job->plan, result);
    if (result) post_result(job->owner, result);
    release(&job->address);
    mem_free(job);
    return 0;
}

void connection_check_start(HWND owner, const wchar_t* address, const ConnectionProbePlan& plan) {
    ConnectionCheckJob* job = static_cast<ConnectionCheckJob*>(mem_alloc(sizeof(ConnectionCheckJob)));
    ConnectionCheckResult* failed = nullptr;
    if (job) {
        job->owner = owner;
        job->address = wide_copy(address);
        job->plan = plan;
        HANDLE thread = CreateThread(nullptr, 0, connection_check_worker, job, 0, nullptr);
        if (thread) {
            CloseHandle(thread);
            return;
        }
        const DWORD error = GetLastError();
        release(&job->address);
        mem_free(job);
        failed = static_cast<ConnectionCheckResult*>(mem_alloc(sizeof(ConnectionCheckResult)));
        if (failed) report_add_system_error(&failed->report, error);
    } else {
        failed = static_cast<ConnectionCheckResult*>(mem_alloc(sizeof(ConnectionCheckResult)));
        if (failed) report_add_system_error(&failed->report, ERROR_NOT_ENOUGH_MEMORY);
    }
    if (failed) post_result(owner, failed);
}

// ---- this computer and the printer ports

static bool read_valid_address(HKEY key, const wchar_t* name, WideString* out) {
    wchar_t buffer[129] = {};
    DWORD type = 0, size = 256;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    buffer[128] = 0;
    if (!is_valid_ipv4(buffer)) return false;
    assign(out, buffer);
    return true;
}

WideString suggest_machine_address() {
    WideString result = {};
    static const wchar_t kPorts[] = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports";
    HKEY ports = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPorts, 0, KEY_READ | KEY_WOW64_64KEY, &ports) != ERROR_SUCCESS &&
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPorts, 0, KEY_READ, &ports) != ERROR_SUCCESS)
        return result;
    for (DWORD index = 0;; ++index) {
        wchar_t name[257] = {};
        DWORD length = 257;
        if (RegEnumKeyExW(ports, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY port = nullptr;
        if (RegOpenKeyExW(ports, name, 0, KEY_READ, &port) != ERROR_SUCCESS) continue;
        read_valid_address(port, L"HostName", &result);
        if (result.length == 0) read_valid_address(port, L"IPAddress", &result);
        RegCloseKey(port);
    }
    RegCloseKey(ports);
    return result;
}

WideString local_ipv4_address() {
    WideString text = {};
    HMODULE library = system_library_load(L"iphlpapi.dll");
    decltype(&GetAdaptersAddresses) get_addresses = nullptr;
    if (!library) return text;
    if (!library_take(library, "GetAdaptersAddresses", &get_addresses)) {
        FreeLibrary(library);
        return text;
    }
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG size = 0;
    get_addresses(AF_INET, flags, nullptr, nullptr, &size);
    IP_ADAPTER_ADDRESSES* list = size ? static_cast<IP_ADAPTER_ADDRESSES*>(mem_alloc(size)) : nullptr;
    uint32_t found[64];
    int count = 0;
    if (list && get_addresses(AF_INET, flags, nullptr, list, &size) == ERROR_SUCCESS) {
        for (IP_ADAPTER_ADDRESSES* a = list; a && count < 64; a = a->Next) {
            if (a->OperStatus != IfOperStatusUp || a->IfType == IF_TYPE_SOFTWARE_LOOPBACK) continue;
            for (IP_ADAPTER_UNICAST_ADDRESS* u = a->FirstUnicastAddress; u && count < 64; u = u->Next) {
                if (!u->Address.lpSockaddr || u->Address.lpSockaddr->sa_family != AF_INET) continue;
                const uint8_t* b = reinterpret_cast<const uint8_t*>(
                    &reinterpret_cast<sockaddr_in*>(u->Address.lpSockaddr)->sin_addr);
                found[count++] = ((uint32_t)b[0] << 24) | ((uint32_t)b[1] << 16) | ((uint32_t)b[2] << 8) | b[3];
            }
        }
    }
    mem_free(list);
    FreeLibrary(library);
    const uint32_t chosen = choose_local_address(found, count);
    if (count > 0)
        format(&text, L"%u.%u.%u.%u", chosen >> 24, (chosen >> 16) & 255, (chosen >> 8) & 255, chosen & 255);
    return text;
}
