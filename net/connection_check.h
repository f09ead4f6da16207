// net/connection_check.h
// A read-only check of the path from this PC to a copier: an ICMP echo, TCP connects to
// the usual machine ports and the status line of the machine's web page. A worker posts
// one result record to the window that asked. Also the address helpers the other network
// tools use.
#ifndef ZAN_NET_CONNECTION_CHECK_H
#define ZAN_NET_CONNECTION_CHECK_H

// Winsock 2 must come before windows.h.
#include <winsock2.h>
#include <windows.h>

#include "core/wide_string.h"
#include "net/net_report.h"

const UINT WM_CONNECTION_CHECK_DONE = WM_APP + 60;

// Posted with WM_APP+60 (lParam); the receiver frees it with connection_check_result_free.
struct ConnectionCheckResult {
    uint8_t address_valid;
    uint8_t ping_ok;
    uint8_t web_ok;
    uint8_t port_open;
    int web_status;
    int open_port;
    NetReport report;
};
void connection_check_result_free(ConnectionCheckResult* result);

// What is probed: the ports in order and the port of the web page. The program always uses
// the default; tests and "zancli check --ports" point it at servers on 127.0.0.1.
const int CONNECTION_MAX_PORTS = 8;
struct ConnectionProbePlan {
    int ports[CONNECTION_MAX_PORTS];
    int port_count;
    int web_port;
    bool echo;     // send the ICMP echo (needs rights the sandbox may lack)
};
ConnectionProbePlan connection_plan_default();   // 80, 443, 515, 9100; web 80; echo

// Starts the worker; returns at once. Exactly one WM_APP+60 reaches `owner` (or the record
// is freed when the owner is gone or the post fails).
void connection_check_start(HWND owner, const wchar_t* address, const ConnectionProbePlan& plan);
// The whole check on the calling thread, filling `result` (zeroed by the caller).
void connection_check_run(const wchar_t* address, const ConnectionProbePlan& plan, ConnectionCheckResult* result);

// ---- address helpers
bool is_valid_ipv4(const wchar_t* text);
// a.b.c.d as a*2^24 + b*2^16 + c*2^8 + d (host order).
bool parse_ipv4(const wchar_t* text, uint32_t* value);
// The status of an HTTP answer's first bytes (up to three digits after "HTTP/... "), or 0
// when the answer is shorter than 11 bytes or not an HTTP status line.
int http_status_of(const char* answer, int length);
// The private IPv4 among addresses given in list order (host order), else the first, else 0.
uint32_t choose_local_address(const uint32_t* addresses, int count);
// The last valid "HostName" of the Standard TCP/IP printer ports, "IPAddress" as fallback.
WideString suggest_machine_address();
// This computer's IPv4 address as text; empty when none.
WideString local_ipv4_address();

#endif
