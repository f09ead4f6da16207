// app/options.cpp
#include "app/options.h"

#include "core/heap.h"
#include "core/text.h"

static const wchar_t kAdminPrefix[] = L"--zan-admin=";

int find_admin_argument(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i)
        if (starts_with_no_case(argv[i], kAdminPrefix)) return i;
    return -1;
}

AdminJob admin_job_kind(const wchar_t* job_name) {
    if (text_equals(job_name, L"fwlock") == 0 || text_equals(job_name, L"fwrestore") == 0)
        return ADMIN_JOB_FIREWALL;
    if (text_equals(job_name, L"share") == 0) return ADMIN_JOB_SHARE;
    return ADMIN_JOB_NONE;
}

int admin_job_refusal(AdminJob job, int argc) {
    // The job file is always the third argument, wherever the --zan-admin= option stood.
    const bool has_job_file = argc >= 3;
    switch (job) {
    case ADMIN_JOB_FIREWALL:
        return has_job_file ? 0 : 87;  // 87: ERROR_INVALID_PARAMETER
    case ADMIN_JOB_SHARE:
        return has_job_file ? 0 : 1;
    case ADMIN_JOB_NONE:
        break;
    }
    return 1;
}

void parse_options(int argc, wchar_t** argv, StartOptions* out) {
    for (int i = 1; i < argc; ++i) {
        const wchar_t* a = argv[i];
        const bool has_value = i + 1 < argc;
        if (text_equals(a, L"--lang=en") == 0) {
            out->language_given = true;
            out->language = 1;
        } else if (text_equals(a, L"--lang=ar") == 0) {
            out->language_given = true;
            out->language = 0;
        } else if (text_equals(a, L"--test-enum") == 0) {
            out->test_enum = true;
        } else if (text_equals(a, L"--test-scan") == 0) {
            if (has_value) assign(&out->test_scan, argv[++i]);
        } else if (text_equals(a, L"--demo") == 0) {
            if (has_value) {
                assign(&out->demo_image, argv[++i]);
                out->demo_pages = 4;
            }
        } else if (text_length(a) >= 8 && mem_compare(a, L"--show=", 7 * sizeof(wchar_t)) == 0) {
            out->show = a + 7;
        }
        // "--tmp-settings" is recognised and has no effect; anything else is ignored.
    }
}

void release_options(StartOptions* options) {
    release(&options->test_scan);
    release(&options->demo_image);
}

namespace {
struct ShowPage {
    const wchar_t* name;
    int command;
};
const ShowPage kShowPages[] = {
    {L"help", 102},     {L"settings", 220}, {L"diag", 204},       {L"merge", 221},
    {L"split", 222},    {L"connection", 223}, {L"firewall", 224}, {L"folder", 225},
};
}

int show_page_command(const wchar_t* name) {
    for (const ShowPage& p : kShowPages)
        if (text_equals(name, p.name) == 0) return p.command;
    return 0;
}

int choose_screen_dpi(int system_dpi, int dc_dpi) {
    if (system_dpi > 95) return system_dpi;
    return dc_dpi >= 97 ? dc_dpi : 96;
}
