// app/cli_net.cpp
// zancli check and watch: the connection check and the folder watch through the same
// workers the network dialogs use, with a message-only window standing in for the dialog.
#include "app/cli.h"
#include "app/strings.h"
#include "core/text.h"
#include "net/connection_check.h"
#include "net/folder_watch.h"

// A message-only window that receives the worker's one message.
static HWND make_receiver() {
    return CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// Waits for `message` posted to `window`; false when the loop ended first.
static bool wait_for(HWND window, UINT message, MSG* out) {
    while (GetMessageW(out, nullptr, 0, 0) > 0) {
        if (out->hwnd == window && out->message == message) return true;
        DispatchMessageW(out);
    }
    return false;
}

// "80,443" into ports; false on anything but 1..8 numbers 1..65535.
static bool parse_ports(const wchar_t* text, ConnectionProbePlan* plan) {
    plan->port_count = 0;
    int value = 0, digits = 0;
    for (const wchar_t* p = text;; ++p) {
        if (*p >= L'0' && *p <= L'9' && digits < 5) {
            value = value * 10 + (*p - L'0');
            ++digits;
            continue;
        }
        if ((*p != L',' && *p != 0) || digits == 0 || value < 1 || value > 65535) return false;
        if (plan->port_count == CONNECTION_MAX_PORTS) return false;
        plan->ports[plan->port_count++] = value;
        if (*p == 0) return true;
        value = digits = 0;
    }
}

static bool parse_number(const wchar_t* text, int* out) {
    int value = 0, digits = 0;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p < L'0' || *p > L'9' || ++digits > 9) return false;
        value = value * 10 + (*p - L'0');
    }
    *out = value;
    return digits > 0;
}

int cli_check(int argc, wchar_t** argv) {
    ConnectionProbePlan plan = connection_plan_default();
    const wchar_t* host = nullptr;
    for (int i = 0; i < argc; ++i) {
        if (text_equals(argv[i], L"--ports") == 0 && i + 1 < argc) {
            if (!parse_ports(argv[++i], &plan)) return cli_usage(L"check");
        } else if (text_equals(argv[i], L"--web-port") == 0 && i + 1 < argc) {
            if (!parse_number(argv[++i], &plan.web_port) || plan.web_port < 1 || plan.web_port > 65535)
                return cli_usage(L"check");
        } else if (text_equals(argv[i], L"--no-echo") == 0) {
            plan.echo = false;
        } else if (!host && argv[i][0] != L'-') {
            host = argv[i];
        } else {
            return cli_usage(L"check");
        }
    }
    if (!host) return cli_usage(L"check");
    HWND receiver = make_receiver();
    if (!receiver) {
        cli_error(L"check: no message window");
        return 1;
    }
    connection_check_start(receiver, host, plan);
    MSG msg = {};
    int code = 1;
    if (wait_for(receiver, WM_CONNECTION_CHECK_DONE, &msg)) {
        ConnectionCheckResult* result = reinterpret_cast<ConnectionCheckResult*>(msg.lParam);
        WideString text = {};
        report_text(result->report, LANGUAGE_ENGLISH, &text);
        cli_print(text_of(text));
        format(&text, L"valid=%d ping=%d port=%d web=%d status=%d", result->address_valid, result->ping_ok,
               result->open_port, result->web_ok, result->web_status);
        cli_print(text_of(text));
        release(&text);
        code = result->address_valid ? 0 : 1;
        connection_check_result_free(result);
    }
    DestroyWindow(receiver);
    return code;
}

int cli_watch(int argc, wchar_t** argv) {
    const wchar_t* folder = nullptr;
    int timeout = (int)FOLDER_WATCH_TIMEOUT_MS;
    for (int i = 0; i < argc; ++i) {
        if (text_equals(argv[i], L"--timeout-ms") == 0 && i + 1 < argc) {
            if (!parse_number(argv[++i], &timeout)) return cli_usage(L"watch");
        } else if (!folder) {
            folder = argv[i];
        } else {
            return cli_usage(L"watch");
        }
    }
    if (!folder) return cli_usage(L"watch");
    HWND receiver = make_receiver();
    if (!receiver) {
        cli_error(L"watch: no message window");
        return 1;
    }
    const unsigned number = folder_watch_start(receiver, folder, (unsigned)timeout);
    cli_print(L"watching");
    MSG msg = {};
    int code = 1;
    // Only the result of this watch counts; an older number would be stale.
    while (wait_for(receiver, WM_FOLDER_WATCH_DONE, &msg)) {
        FolderWatchResult* result = reinterpret_cast<FolderWatchResult*>(msg.lParam);
        if ((unsigned)msg.wParam != number) {
            folder_watch_result_free(result);
            continue;
        }
        WideString line = {};
        if (result->status == WATCH_FILE_ARRIVED) format(&line, L"arrived %s", text_of(result->text));
        else if (result->status == WATCH_TIMED_OUT) assign(&line, L"timeout");
        else if (result->status == WATCH_STOPPED) assign(&line, L"stopped");
        else format(&line, L"error %u %s", result->error, text_of(result->text));
        cli_print(text_of(line));
        release(&line);
        code = result->status == WATCH_FILE_ARRIVED ? 0 : 1;
        folder_watch_result_free(result);
        break;
    }
    DestroyWindow(receiver);
    return code;
}
