// scan/escl.h
// Driverless scanning from network copiers over eSCL (AirScan): HTTP requests to the copier.
// The portable half (escl.cpp) reads the copier's XML answers with fixed limits, builds the
// scan request from the scan settings, parses addresses and maps the copier's answers to
// string ids with their arguments. The Windows half (escl_win32.cpp) speaks HTTP through
// WinHTTP, runs one scan on the scan thread, finds copiers by DNS-SD and keeps the
// addresses the user added in the settings file. Every WideString returned is new and
// belongs to the caller.
#ifndef ZAN_SCAN_ESCL_H
#define ZAN_SCAN_ESCL_H

#include <stddef.h>
#include <stdint.h>

#include "app/settings.h"
#include "core/wide_string.h"

struct DeviceEntry;
struct DeviceList;

// ---- string ids of the eSCL texts (tr(id))
const int ESCL_TEXT_UNAUTHORISED = 303;   // %d: the HTTP status
const int ESCL_TEXT_HTTP_ERROR = 304;     // %d: the HTTP status
const int ESCL_TEXT_UNREACHABLE = 305;    // %s: the address
const int ESCL_TEXT_TIMEOUT = 306;
const int ESCL_TEXT_NOT_JPEG = 307;       // %d: the page number
const int ESCL_TEXT_BAD_ANSWER = 308;
const int ESCL_TEXT_CERTIFICATE = 309;    // %s: the address
const int ESCL_TEXT_JOB_STOPPED = 310;
const int ESCL_TEXT_DRIVER = 311;
const int ESCL_TEXT_BAD_ADDRESS = 312;
const int ESCL_TEXT_NO_PAGES = 313;

// ---- limits on what a copier may send (a hostile answer must not exhaust the program)
const size_t ESCL_MAX_XML_BYTES = 1 << 20;        // capabilities and status documents
const size_t ESCL_MAX_PAGE_BYTES = 256u << 20;    // one JPEG page
const int ESCL_MAX_XML_DEPTH = 32;
const int ESCL_MAX_XML_ELEMENTS = 100000;
const int ESCL_MAX_XML_TEXT = 512;                // characters kept of one element's text
const int ESCL_MAX_RESOLUTIONS = 32;
const int ESCL_MAX_PAGES = 2000;                  // pages taken from one job

// ---- capabilities (ScannerCapabilities)
const int ESCL_INPUT_PLATEN = 0;
const int ESCL_INPUT_FEEDER = 1;          // simplex feeder
const int ESCL_INPUT_FEEDER_DUPLEX = 2;
const uint32_t ESCL_COLOR_RGB24 = 1;
const uint32_t ESCL_COLOR_GRAYSCALE8 = 2;
const uint32_t ESCL_COLOR_BLACKANDWHITE1 = 4;

struct EsclInputCaps {
    bool present;
    int max_width;        // three-hundredths of an inch; 0 when not given
    int max_height;
    uint32_t color_modes; // ESCL_COLOR_* bits
    bool jpeg;            // image/jpeg among the document formats
    int resolutions[ESCL_MAX_RESOLUTIONS];  // discrete X resolutions, as listed
    int resolution_count;
    int range_min;        // a resolution range, 0 when none
    int range_max;
};

struct EsclRange {
    bool present;
    int min;
    int max;
};

struct EsclCapabilities {
    WideString make_and_model;
    WideString manufacturer;
    WideString uuid;
    EsclInputCaps inputs[3];   // by ESCL_INPUT_*
    bool adf_duplex;           // "Duplex" among the feeder options
    EsclRange brightness;
    EsclRange contrast;
};

// Reads a ScannerCapabilities document. False (and out emptied) when it is not one, is
// larger than ESCL_MAX_XML_BYTES, nests deeper than ESCL_MAX_XML_DEPTH or holds more than
// ESCL_MAX_XML_ELEMENTS elements. Element names are matched without their namespace prefix.
bool escl_parse_capabilities(const char* xml, size_t size, EsclCapabilities* out);
void escl_capabilities_release(EsclCapabilities* caps);

// ---- scanner status (ScannerStatus)
struct EsclStatus {
    char state[24];       // pwg:State: "Idle", "Processing", "Stopped", "Down"
    char adf_state[40];   // scan:AdfState, e.g. "ScannerAdfJam"; empty when absent
    char job_state[24];   // the JobState of the job whose JobUri ends with the wanted job path
    char job_reason[64];  // its first JobStateReason
};
// job_path may be null (no job looked for). False when the document is not a status.
bool escl_parse_status(const char* xml, size_t size, const wchar_t* job_path, EsclStatus* out);

// ---- the scan request (ScanSettings)
struct EsclJobPlan {
    int input;            // ESCL_INPUT_PLATEN or ESCL_INPUT_FEEDER
    bool duplex;
    uint32_t color_mode;  // one ESCL_COLOR_* bit
    int resolution;
    int width;            // the region, three-hundredths of an inch, from the top left
    int height;
    bool send_brightness;
    int brightness;       // in the copier's range
    bool send_contrast;
    int contrast;
};
// Paper size index (0 A4, 1 A3, 2 A5, 3 Legal, 4 Letter; A4 for any other) in
// three-hundredths of an inch.
void escl_paper_size(int paper, int* width, int* height);
// The request for settings on a copier with caps: the source asked for when the copier
// has it, else the other one; duplex only when asked and advertised; the colour mode when
// offered, else the nearest offered; the nearest offered resolution (ties to the lower);
// the paper cut to the source's maximum; brightness and contrast only when not 0 and the
// copier advertises a range, scaled from -100..100 onto it.
EsclJobPlan escl_plan_job(const EsclCapabilities& caps, const ScanSettings& settings);
// The ScanSettings document of a plan (UTF-8 XML, JPEG pages), appended to out.
bool escl_job_xml(const EsclJobPlan& plan, ByteBuffer* out);
// "Platen"/"Feeder", "RGB24"/"Grayscale8"/"BlackAndWhite1" (for the log and the request).
const char* escl_input_name(int input);
const char* escl_color_name(uint32_t color_mode);

// ---- failures: a string id and its argument, worded only when shown
struct EsclFailure {
    int text_id;          // 0: no failure
    int number;           // the argument of ids that take %d
    WideString detail;    // the argument of ids that take %s
};
void escl_failure_set(EsclFailure* failure, int text_id, int number, const wchar_t* detail);
void escl_failure_release(EsclFailure* failure);
// The sentence in the interface language. New string.
WideString escl_failure_text(const EsclFailure& failure);
// The text id for an HTTP status the copier refused a request with (401/403 sign-in,
// 503 busy, else the generic HTTP text), improved by the copier's status when known:
// feeder empty, jam, multi-feed, open cover, offline. status may be null.
int escl_failure_id(int http_status, const EsclStatus* status);

// ---- addresses
struct EsclAddress {
    bool https;
    WideString host;
    int port;             // 80 / 443 when not given
    WideString root;      // the resource path, "/eSCL" when not given; no trailing slash
};
// "HOST", "HOST:PORT", "[v6]:PORT" or "http(s)://HOST[:PORT][/root]". False for anything
// else (blanks, an empty host, a port outside 1..65535, characters that cannot be in a host
// name). out is filled only on success.
bool escl_parse_address(const wchar_t* text, EsclAddress* out);
void escl_address_release(EsclAddress* address);
// "http://host:port/root". New string.
WideString escl_address_url(const EsclAddress& address);
// "host" or "host:port" when the port is not the scheme's default. New string.
WideString escl_address_label(const EsclAddress& address);
// The path a Location header names, for a request to the same copier: the path of an
// absolute URL, or a relative one as it is. The host of an absolute URL is never
// followed. Empty when there is none.
WideString escl_location_path(const char* location);

// ---- device entries (escl_entry.cpp)
// Fills a zeroed entry for a copier: kind eSCL, the name (make and model, else the given
// name, else the address label), key "eSCL:" + the UUID (else + the address label), the
// URL, the manufacturer. caps and name may be null.
bool escl_fill_entry(DeviceEntry* entry, const EsclAddress& address, const EsclCapabilities* caps,
                     const wchar_t* name, const wchar_t* uuid);
// The address of a key "eSCL:HOST[:PORT]"; false for other keys.
bool escl_address_of_key(const wchar_t* key, EsclAddress* out);

// ---- Windows side (escl_win32.cpp)
#ifdef _WIN32
#include <windows.h>

struct ScanJob;

// One eSCL scan on the scan thread. Pages (WM_APP+10) and status lines (WM_APP+13) go
// to main_window; *text gets the result text. cancel is read between requests; a cancel
// deletes the job on the copier.
bool escl_scan(const ScanJob& job, HWND main_window, WideString* text, volatile LONG* cancel);
// How long one request may wait for the copier (60 s unless set; tests shorten it).
void escl_set_timeout_ms(int milliseconds);

// Appends the copiers: the saved addresses (one per line in saved, each asked for its
// capabilities) and those found by DNS-SD that are not already listed. Returns how many.
int escl_enumerate(const wchar_t* saved, DeviceList* list);

// DNS-SD: found copiers (_uscan._tcp and _uscans._tcp). The program browses through the
// system's DnsServiceBrowse when dnsapi.dll has it; tests put a stand-in in its place.
struct EsclFound {
    WideString name;      // the service's "ty" text, else its instance name
    WideString url;       // http(s)://host:port/root
    WideString uuid;
};
typedef int (*EsclDiscovery)(EsclFound* found, int max_found);
void escl_set_discovery(EsclDiscovery discovery);   // null restores the system's
// The stand-in of tests and zancli: lines "name|url|uuid" of a UTF-8 file.
int escl_discovery_from_file(const wchar_t* path, EsclFound* found, int max_found);

// ---- addresses the user added (section "EsclDevices" of the settings file; main thread)
// The saved addresses, one per line. New string.
WideString escl_saved_addresses();
// Adds an address typed by the user (the entry beside the device list) unless it is
// saved already; the device appears at the next enumeration. False with failure filled
// (ESCL_TEXT_BAD_ADDRESS) when it is not an address.
bool escl_add_device_address(const wchar_t* text, EsclFailure* failure);
// Forgets a saved address (compared ignoring case). False when it was not saved.
bool escl_remove_device_address(const wchar_t* text);
#endif

#endif
