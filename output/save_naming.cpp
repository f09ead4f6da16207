// output/save_naming.cpp
// The naming rules. Generated names are cleaned the same way wherever they come from,
// and every existence check looks at the files the save will really write, so a
// multi-page JPG save never overwrites Report_002.jpg because Report.jpg was free.
#include "output/save_naming.h"

#include "core/file.h"
#include "core/path.h"
#include "core/text.h"

const wchar_t* save_extension(int format) {
    switch (format) {
    case SAVE_FORMAT_PDF: return L".pdf";
    case SAVE_FORMAT_JPG: return L".jpg";
    case SAVE_FORMAT_PNG: return L".png";
    default: return L".tif";
    }
}

int save_format_label_id(int format) {
    if (format < SAVE_FORMAT_PDF) return 62;
    return format > SAVE_FORMAT_TIFF ? 65 : 62 + format;
}

// ---- names

static bool is_forbidden(wchar_t c) {
    if (c < 0x20) return true;
    for (const wchar_t* f = L"\"*/:<>?\\|"; *f; ++f)
        if (c == *f) return true;
    return false;
}

static wchar_t ascii_upper(wchar_t c) {
    return c >= L'a' && c <= L'z' ? (wchar_t)(c - L'a' + L'A') : c;
}

// Length of the stem that Windows compares with the device names: up to the first dot,
// trailing spaces not counted ("CON .txt" opens the console too).
static int device_stem_length(const wchar_t* name) {
    int end = 0;
    while (name[end] && name[end] != L'.') ++end;
    while (end > 0 && name[end - 1] == L' ') --end;
    return end;
}

bool save_is_reserved_name(const wchar_t* name) {
    if (!name) return false;
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    const int stem = device_stem_length(name);
    for (const wchar_t* device : kDevices) {
        int k = 0;
        while (k < stem && device[k] && ascii_upper(name[k]) == device[k]) ++k;
        if (k == stem && !device[k]) return true;
    }
    // COM1-COM9 and LPT1-LPT9.
    if (stem != 4 || name[3] < L'1' || name[3] > L'9') return false;
    const wchar_t a = ascii_upper(name[0]), b = ascii_upper(name[1]), c = ascii_upper(name[2]);
    return (a == L'C' && b == L'O' && c == L'M') || (a == L'L' && b == L'P' && c == L'T');
}

void save_clean_name(const wchar_t* name, WideString* out) {
    assign(out, L"");
    for (const wchar_t* p = name ? name : L""; *p; ++p)
        if (!is_forbidden(*p)) append_char(out, *p);
    while (out->length > 0 && (out->data[out->length - 1] == L'.' || out->data[out->length - 1] == L' '))
        out->data[--out->length] = 0;
    if (out->length == 0) {
        assign(out, L"Scan");
        return;
    }
    if (save_is_reserved_name(out->data)) {
        WideString renamed = wide_copy(out->data, device_stem_length(out->data));
        append_char(&renamed, L'_');
        append(&renamed, out->data + device_stem_length(out->data));
        assign(out, text_of(renamed));
        release(&renamed);
    }
}

void save_date_stamp(const LocalTime& t, WideString* out) {
    format(out, L"%04d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
}

void save_join(const wchar_t* folder, const wchar_t* name, WideString* out) {
    assign(out, folder);
    if (out->length > 0 && out->data[out->length - 1] != L'\\' && out->data[out->length - 1] != L'/')
        append_char(out, L'\\');
    append(out, name);
}

// ---- the files of one save

static bool one_file_per_page(int format, int page_count) {
    return (format == SAVE_FORMAT_JPG || format == SAVE_FORMAT_PNG) && page_count > 1;
}

int save_output_count(int format, int page_count) {
    return one_file_per_page(format, page_count) ? page_count : 1;
}

void save_output_path(const wchar_t* target, int file_format, int page_count, int index, WideString* out) {
    if (!one_file_per_page(file_format, page_count)) {
        assign(out, target);
        return;
    }
    WideString folder = path_folder(target);
    WideString file = path_file_name(target);
    WideString stem = path_without_extension(text_of(file));
    WideString extension = path_extension(text_of(file));
    WideString name = {};
    format(&name, L"%s_%03d%s", text_of(stem), index + 1, text_of(extension));
    if (folder.length > 0)
        save_join(text_of(folder), text_of(name), out);
    else
        assign(out, text_of(name));
    release(&folder);
    release(&file);
    release(&stem);
    release(&extension);
    release(&name);
}

bool save_find_existing_output(const wchar_t* target, int format, int page_count, WideString* existing,
                               bool (*exists)(const wchar_t* path)) {
    if (!exists) exists = file_exists;
    const int count = save_output_count(format, page_count);
    WideString path = {};
    bool found = false;
    for (int k = 0; k < count && !found; ++k) {
        save_output_path(target, format, page_count, k, &path);
        found = exists(text_of(path));
    }
    if (found) assign(existing, text_of(path));
    release(&path);
    return found;
}

// ---- choosing the path

static bool outputs_exist(const SaveNamingRequest* r, const WideString& target) {
    WideString existing = {};
    const bool found = save_find_existing_output(text_of(target), r->format, r->page_count, &existing, r->exists);
    release(&existing);
    return found;
}

// folder + "\" + clean(name) + extension.
static void target_of(const SaveNamingRequest* r, const wchar_t* name, WideString* out) {
    WideString cleaned = {};
    save_clean_name(name, &cleaned);
    append(&cleaned, save_extension(r->format));
    save_join(r->folder, text_of(cleaned), out);
    release(&cleaned);
}

// NamePrefix + "_" + stamp: the date-time name and the proposal of the ask mode.
static void stamped_name(const SaveNamingRequest* r, WideString* out) {
    WideString stamp = {};
    save_date_stamp(r->now, &stamp);
    assign(out, r->prefix);
    append_char(out, L'_');
    append(out, text_of(stamp));
    release(&stamp);
}

static SaveNamingOutcome name_by_counter(const SaveNamingRequest* r, SaveNamingResult* result) {
    WideString name = {};
    int counter = r->counter < 1 ? 1 : r->counter;
    bool free_name = false;
    for (;;) {
        format(&name, L"%s_%04d", r->prefix ? r->prefix : L"", counter);
        ++counter;
        target_of(r, text_of(name), &result->path);
        free_name = !outputs_exist(r, result->path);
        if (free_name || counter >= SAVE_COUNTER_LIMIT) break;
    }
    release(&name);
    if (!free_name) {
        format(&result->error, L"no free file name up to counter %d in %s", SAVE_COUNTER_LIMIT - 1, r->folder);
        return SAVE_PATH_FAILED;
    }
    result->counter = counter;
    return SAVE_PATH_CHOSEN;
}

static SaveNamingOutcome name_by_date_time(const SaveNamingRequest* r, SaveNamingResult* result) {
    WideString base = {};
    stamped_name(r, &base);
    WideString cleaned = {};
    save_clean_name(text_of(base), &cleaned);
    target_of(r, text_of(cleaned), &result->path);
    WideString candidate = {};
    bool free_name = !outputs_exist(r, result->path);
    for (int suffix = 2; !free_name && suffix <= SAVE_SUFFIX_LIMIT; ++suffix) {
        format(&candidate, L"%s_%d", text_of(cleaned), suffix);
        target_of(r, text_of(candidate), &result->path);
        free_name = !outputs_exist(r, result->path);
    }
    if (!free_name) format(&result->error, L"no free file name up to %s_%d", text_of(cleaned), SAVE_SUFFIX_LIMIT);
    release(&base);
    release(&cleaned);
    release(&candidate);
    return free_name ? SAVE_PATH_CHOSEN : SAVE_PATH_FAILED;
}

// Asks before replacing when a file that the save writes is there already.
static bool replace_allowed(const SaveNamingRequest* r, const SaveNamingUi* ui, const WideString& target) {
    WideString existing = {};
    bool allowed = true;
    if (save_find_existing_output(text_of(target), r->format, r->page_count, &existing, r->exists))
        allowed = ui->confirm_replace(ui->context, text_of(existing));
    release(&existing);
    return allowed;
}

static SaveNamingOutcome name_by_asking(const SaveNamingRequest* r, const SaveNamingUi* ui,
                                        SaveNamingResult* result) {
    WideString raw = {};
    stamped_name(r, &raw);
    WideString proposed = {};
    save_clean_name(text_of(raw), &proposed);
    release(&raw);
    WideString answer = {};
    SaveNamingOutcome outcome = SAVE_PATH_CANCELLED;
    if (r->fixed_folder) {
        if (ui->ask_name(ui->context, text_of(proposed), &answer)) {
            target_of(r, text_of(answer), &result->path);
            if (replace_allowed(r, ui, result->path)) outcome = SAVE_PATH_CHOSEN;
        }
    } else {
        // The dialog can only question the name it shows; for one file per page the
        // question is asked about the files that will really be written.
        const bool several = one_file_per_page(r->format, r->page_count);
        if (ui->save_dialog(ui->context, r->folder, text_of(proposed), r->format, !several, &answer) &&
            answer.length > 0) {
            assign(&result->path, text_of(answer));
            if (!several || replace_allowed(r, ui, result->path)) {
                outcome = SAVE_PATH_CHOSEN;
                WideString chosen_folder = path_folder(text_of(answer));
                if (chosen_folder.length > 0) assign(&result->folder, text_of(chosen_folder));
                release(&chosen_folder);
            }
        }
    }
    release(&proposed);
    release(&answer);
    return outcome;
}

SaveNamingOutcome save_choose_path_with(const SaveNamingRequest* request, const SaveNamingUi* ui,
                                        SaveNamingResult* result) {
    *result = SaveNamingResult{};
    result->counter = request->counter;
    assign(&result->folder, request->folder);
    ensure_folder(request->folder);   // creates the missing parents too
    SaveNamingOutcome outcome;
    if (request->naming_mode == SAVE_NAMING_COUNTER)
        outcome = name_by_counter(request, result);
    else if (request->naming_mode == SAVE_NAMING_DATE_TIME)
        outcome = name_by_date_time(request, result);
    else
        outcome = name_by_asking(request, ui, result);
    if (outcome != SAVE_PATH_CHOSEN) assign(&result->path, L"");
    return outcome;
}

void save_naming_result_release(SaveNamingResult* result) {
    release(&result->path);
    release(&result->folder);
    release(&result->error);
}
