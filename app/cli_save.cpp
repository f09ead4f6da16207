// app/cli_save.cpp
// zancli save: the program's save — the same naming rules and the same worker as the
// Save button, with the dialogs answered from the command line — over image files put
// into a page store. Prints every progress and result message as the worker posts it,
// then each written file.
#include "app/cli.h"
#include "app/strings.h"
#include "core/heap.h"
#include "core/path.h"
#include "core/system.h"
#include "core/text.h"
#include "image/codec.h"
#include "image/page_store.h"
#include "output/save_naming.h"
#include "output/save_worker.h"

namespace {

struct SaveCommand {
    SaveSettings settings;
    SaveNamingRequest naming;
    const wchar_t* mode;      // "color", "gray" or "bw"
    const wchar_t* place;     // FOLDER (generated names) or TARGET (ask)
    wchar_t** images;
    int image_count;
    int64_t budget_mb;        // 0: the store's default
    bool stats;
};

bool parse_number(const wchar_t* text, int limit, int* value) {
    *value = 0;
    if (!text || !text[0]) return false;
    int64_t v = 0;
    for (int k = 0; text[k]; ++k) {
        if (text[k] < L'0' || text[k] > L'9') return false;
        v = v * 10 + (text[k] - L'0');
        if (v > limit) return false;
    }
    *value = (int)v;
    return true;
}

// Index of text in names, or -1.
int choice(const wchar_t* text, const wchar_t* const* names, int count) {
    for (int k = 0; k < count; ++k)
        if (text_equals(text, names[k]) == 0) return k;
    return -1;
}

bool parse(int argc, wchar_t** argv, SaveCommand* c) {
    static const wchar_t* const kFormats[] = {L"pdf", L"jpg", L"png", L"tiff"};
    static const wchar_t* const kNaming[] = {L"ask", L"datetime", L"counter"};
    static const wchar_t* const kCiphers[] = {L"aes", L"rc4"};
    static const wchar_t* const kModes[] = {L"color", L"gray", L"bw"};
    c->settings.compression = 1;
    c->settings.watermark_opacity = 25;
    assign(&c->settings.ocr_lang, L"both");
    c->naming.prefix = L"Scan";
    c->naming.counter = 1;
    c->mode = L"color";
    int k = 0;
    bool format_given = false;
    for (; k < argc && argv[k][0] == L'-' && argv[k][1] == L'-'; k += 2) {
        const wchar_t* name = argv[k];
        if (text_equals(name, L"--stats") == 0) {
            c->stats = true;
            --k;
            continue;
        }
        if (k + 1 >= argc) return false;
        const wchar_t* value = argv[k + 1];
        int number = 0;
        if (text_equals(name, L"--format") == 0) {
            c->settings.format = choice(value, kFormats, 4);
            format_given = c->settings.format >= 0;
            if (!format_given) return false;
        } else if (text_equals(name, L"--naming") == 0) {
            c->naming.naming_mode = choice(value, kNaming, 3);
            if (c->naming.naming_mode < 0) return false;
        } else if (text_equals(name, L"--prefix") == 0) {
            c->naming.prefix = value;
        } else if (text_equals(name, L"--counter") == 0) {
            if (!parse_number(value, 1000000, &c->naming.counter) || c->naming.counter < 1) return false;
        } else if (text_equals(name, L"--watermark") == 0) {
            assign(&c->settings.watermark, value);
        } else if (text_equals(name, L"--opacity") == 0) {
            if (!parse_number(value, 100, &c->settings.watermark_opacity)) return false;
        } else if (text_equals(name, L"--level") == 0) {
            if (!parse_number(value, 2, &c->settings.compression)) return false;
        } else if (text_equals(name, L"--password") == 0) {
            c->settings.protect = true;
            assign(&c->settings.password, value);
        } else if (text_equals(name, L"--cipher") == 0) {
            c->settings.cipher = choice(value, kCiphers, 2);
            if (c->settings.cipher < 0) return false;
        } else if (text_equals(name, L"--mode") == 0) {
            if (choice(value, kModes, 3) < 0) return false;
            c->mode = value;
        } else if (text_equals(name, L"--budget-mb") == 0) {
            if (!parse_number(value, 1 << 20, &number) || number < 1) return false;
            c->budget_mb = number;
        } else {
            return false;
        }
    }
    if (!format_given || argc - k < 2) return false;
    c->place = argv[k];
    c->images = argv + k + 1;
    c->image_count = argc - k - 1;
    return true;
}

// ---- the dialogs, answered from the command line

// The ask mode's input dialog answers with the name of the TARGET argument.
bool answer_name(void* context, const wchar_t*, WideString* answer) {
    WideString file = path_file_name(static_cast<const wchar_t*>(context));
    WideString stem = path_without_extension(text_of(file));
    assign(answer, text_of(stem));
    release(&file);
    release(&stem);
    return true;
}

bool answer_replace(void*, const wchar_t* existing) {
    WideString line = {};
    format(&line, L"replace=%s", existing);
    cli_print(text_of(line));
    release(&line);
    return true;
}

bool no_dialog(void*, const wchar_t*, const wchar_t*, int, bool, WideString*) {
    return false;
}

// ---- the worker's messages, printed as they come

void print_message(void*, unsigned message, unsigned wparam, WideString* text) {
    WideString line = {};
    if (message == SAVE_MESSAGE_PROGRESS && text)
        format(&line, L"progress=%u text=%s", wparam, text_of(*text));
    else if (message == SAVE_MESSAGE_PROGRESS)
        format(&line, L"progress=%u", wparam);
    else
        format(&line, L"done=%u %s", wparam, text ? text_of(*text) : L"");
    cli_print(text_of(line));
    release(&line);
    save_message_text_free(text);
}

void print_log(void*, const wchar_t* text) {
    WideString line = {};
    format(&line, L"log=%s", text);
    cli_print(text_of(line));
    release(&line);
}

const wchar_t* english(void*, int id) {
    return tr_in(LANGUAGE_ENGLISH, id);
}

void release_command(SaveCommand* c) {
    save_settings_release(&c->settings);
}

// Chooses the target as the Save button does. False after printing the reason.
bool choose_target(SaveCommand* c, WideString* target) {
    WideString folder = {};
    if (c->naming.naming_mode == SAVE_NAMING_ASK) {
        folder = path_folder(c->place);
        if (folder.length == 0) assign(&folder, L".");
    } else {
        assign(&folder, c->place);
    }
    c->naming.folder = text_of(folder);
    c->naming.fixed_folder = true;
    c->naming.format = c->settings.format;
    c->naming.page_count = c->image_count;
    local_time_now(&c->naming.now);
    const SaveNamingUi ui = {const_cast<wchar_t*>(c->place), answer_name, answer_replace, no_dialog};
    SaveNamingResult result;
    const SaveNamingOutcome outcome = save_choose_path_with(&c->naming, &ui, &result);
    WideString line = {};
    if (outcome == SAVE_PATH_CHOSEN) {
        assign(target, text_of(result.path));
        if (c->naming.naming_mode == SAVE_NAMING_COUNTER) {
            format(&line, L"counter=%d", result.counter);
            cli_print(text_of(line));
        }
    } else {
        format(&line, L"Could not save: %s", outcome == SAVE_PATH_FAILED ? text_of(result.error) : L"cancelled");
        cli_error(text_of(line));
    }
    release(&line);
    save_naming_result_release(&result);
    release(&folder);
    return outcome == SAVE_PATH_CHOSEN;
}

}  // namespace

int cli_save(int argc, wchar_t** argv) {
    SaveCommand c = {};
    if (!parse(argc, argv, &c)) {
        release_command(&c);
        return cli_usage(L"save");
    }
    if (!codec_startup()) {
        cli_error(L"image codec not available");
        release_command(&c);
        return 1;
    }
    PageStoreOptions options = {};
    options.memory_budget = c.budget_mb << 20;
    PageStore* store = page_store_open(&options);
    StoredPage** stored = static_cast<StoredPage**>(mem_alloc_array((size_t)c.image_count, sizeof(StoredPage*)));
    bool ok = store && stored;
    if (!ok) cli_error(L"out of memory");
    WideString line = {};
    for (int k = 0; ok && k < c.image_count; ++k) {
        PageImage* page = cli_load_page(c.images[k], c.mode);
        stored[k] = page ? page_store_add(store, page) : nullptr;
        if (!stored[k]) {
            page_image_free(page);
            format(&line, L"cannot read image %s", c.images[k]);
            cli_error(text_of(line));
            ok = false;
        }
    }
    WideString target = {};
    ok = ok && choose_target(&c, &target);
    if (ok) {
        PdfStorePages from_store = {store, stored, nullptr, c.image_count, 0};
        SaveJob job = {};
        job.receiver = SaveReceiver{nullptr, print_message, print_log, english};
        job.target = target;
        job.pages = save_pages_of_store(&from_store);
        job.settings = c.settings;
        job.ocr = save_default_ocr();
        ok = save_run(&job);
        for (int k = 0; ok && k < save_saved_file_count(); ++k) {
            format(&line, L"saved=%s", save_saved_file(k));
            cli_print(text_of(line));
        }
    }
    if (c.stats) {
        const PageStoreStats stats = store ? page_store_stats(store) : PageStoreStats{};
        format(&line, L"peak_private_mb=%u budget_mb=%u temp_file_peak_mb=%u", (unsigned)(cli_peak_private_bytes() >> 20),
               (unsigned)(stats.budget >> 20), (unsigned)(stats.temp_file_peak_bytes >> 20));
        cli_print(text_of(line));
    }
    release(&line);
    release(&target);
    page_store_close(store);
    mem_free(stored);
    release_command(&c);
    codec_shutdown();
    return ok ? 0 : 1;
}
