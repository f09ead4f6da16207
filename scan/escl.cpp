// scan/escl.cpp
// The portable half of eSCL: a small XML reader with fixed limits, the capabilities and
// status documents, the scan request, addresses and device entries.
//
// The XML reader is not a general parser: it walks tags and text, keeps the local names
// (namespace prefix dropped) of the open elements as a path, and hands the text of each
// element to a visitor when the element closes. Copiers differ in prefixes and in the
// order of elements, never in local names, so matching by local name and path is enough.
// Everything a copier sends is bounded: the document size, the nesting depth, the number
// of elements and the text kept per element.
#include "scan/escl.h"

#include "core/heap.h"
#include "core/text.h"

// ---- the XML reader
const int XML_NAME_MAX = 48;

struct XmlPath {
    char names[ESCL_MAX_XML_DEPTH][XML_NAME_MAX];
    int depth;
};

// Called when an element closes: the path includes it (names[depth - 1]); text is its
// own character data, entity references decoded, cut to ESCL_MAX_XML_TEXT bytes.
typedef void (*XmlVisitor)(const XmlPath& path, const char* text, void* context);

static bool is_name_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' || c == '_' ||
           c == '-' || c == '.' || (unsigned char)c >= 0x80;
}

static bool same8(const char* a, const char* b) {
    size_t n = text8_length(a);
    return n == text8_length(b) && mem_compare(a, b, n) == 0;
}

static bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Finds text8 at or after *i; leaves *i behind it. False when it does not occur.
static bool skip_past(const char* xml, size_t size, size_t* i, const char* text8) {
    const size_t n = text8_length(text8);
    for (size_t k = *i; k + n <= size; ++k) {
        if (mem_compare(xml + k, text8, n) == 0) {
            *i = k + n;
            return true;
        }
    }
    return false;
}

struct TextBuffer {
    char data[ESCL_MAX_XML_TEXT + 1];
    int length;
};

static void text_add(TextBuffer* t, char c) {
    if (t->length < ESCL_MAX_XML_TEXT) t->data[t->length++] = c;
}

// Decodes one entity reference at xml[*i] == '&'. Unknown ones are kept as they are.
static void text_add_entity(TextBuffer* t, const char* xml, size_t size, size_t* i) {
    static const struct {
        const char* name;
        char value;
    } kEntities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    for (const auto& e : kEntities) {
        const size_t n = text8_length(e.name);
        if (*i + n <= size && mem_compare(xml + *i, e.name, n) == 0) {
            text_add(t, e.value);
            *i += n;
            return;
        }
    }
    text_add(t, '&');
    *i += 1;
}

static const char* local_name(const char* name) {
    const char* local = name;
    for (const char* p = name; *p; ++p) {
        if (*p == ':') local = p + 1;
    }
    return local;
}

// Reads the name at xml[*i] into out (cut to XML_NAME_MAX - 1), local part only.
static void read_name(const char* xml, size_t size, size_t* i, char* out) {
    char full[XML_NAME_MAX] = {};
    int n = 0;
    while (*i < size && is_name_char(xml[*i])) {
        if (n < XML_NAME_MAX - 1) full[n++] = xml[*i];
        ++*i;
    }
    const char* local = local_name(full);
    int k = 0;
    while (local[k]) {
        out[k] = local[k];
        ++k;
    }
    out[k] = 0;
}

// Skips the rest of a tag up to its '>' (attribute values may hold '>'). Returns false at
// the end of the input; *empty tells whether the tag closed itself ("/>").
static bool skip_tag_rest(const char* xml, size_t size, size_t* i, bool* empty) {
    char quote = 0;
    char last = 0;
    for (; *i < size; ++*i) {
        const char c = xml[*i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            *empty = last == '/';
            ++*i;
            return true;
        }
        if (!is_space(c)) last = c;
    }
    return false;
}

static bool xml_walk(const char* xml, size_t size, XmlVisitor visit, void* context) {
    if (!xml || size == 0 || size > ESCL_MAX_XML_BYTES) return false;
    XmlPath* path = static_cast<XmlPath*>(mem_alloc(sizeof(XmlPath)));
    TextBuffer* texts = static_cast<TextBuffer*>(mem_alloc_array(ESCL_MAX_XML_DEPTH, sizeof(TextBuffer)));
    bool ok = path && texts;
    int elements = 0;
    bool root_seen = false;
    size_t i = 0;
    while (ok && i < size) {
        const char c = xml[i];
        if (c != '<') {
            if (path->depth > 0) {
                TextBuffer* t = &texts[path->depth - 1];
                if (c == '&') {
                    text_add_entity(t, xml, size, &i);
                    continue;
                }
                text_add(t, c);
            }
            ++i;
            continue;
        }
        if (i + 4 <= size && mem_compare(xml + i, "<!--", 4) == 0) {
            ok = skip_past(xml, size, &i, "-->");
        } else if (i + 9 <= size && mem_compare(xml + i, "<![CDATA[", 9) == 0) {
            const size_t start = i + 9;
            ok = skip_past(xml, size, &i, "]]>");
            for (size_t k = start; ok && path->depth > 0 && k + 3 < i; ++k) text_add(&texts[path->depth - 1], xml[k]);
        } else if (i + 1 < size && (xml[i + 1] == '?' || xml[i + 1] == '!')) {
            ok = skip_past(xml, size, &i, ">");
        } else if (i + 1 < size && xml[i + 1] == '/') {
            i += 2;
            char name[XML_NAME_MAX];
            read_name(xml, size, &i, name);
            bool unused = false;
            ok = path->depth > 0 && same8(name, path->names[path->depth - 1]) && skip_tag_rest(xml, size, &i, &unused);
            if (ok) {
                TextBuffer* t = &texts[path->depth - 1];
                t->data[t->length] = 0;
                visit(*path, t->data, context);
                path->depth--;
            }
        } else {
            ++i;
            char name[XML_NAME_MAX];
            read_name(xml, size, &i, name);
            bool empty = false;
            ok = name[0] != 0 && ++elements <= ESCL_MAX_XML_ELEMENTS && path->depth < ESCL_MAX_XML_DEPTH &&
                 !(root_seen && path->depth == 0) && skip_tag_rest(xml, size, &i, &empty);
            if (ok) {
                root_seen = true;
                mem_copy(path->names[path->depth], name, sizeof(name));
                texts[path->depth].length = 0;
                path->depth++;
                if (empty) {
                    texts[path->depth - 1].data[0] = 0;
                    visit(*path, "", context);
                    path->depth--;
                }
            }
        }
    }
    ok = ok && root_seen && path->depth == 0;
    mem_free(path);
    mem_free(texts);
    return ok;
}

// ---- small helpers on the reader's output
static const char* leaf(const XmlPath& path) {
    return path.names[path.depth - 1];
}

static bool leaf_is(const XmlPath& path, const char* name) {
    return same8(leaf(path), name);
}

static bool parent_is(const XmlPath& path, const char* name) {
    return path.depth >= 2 && same8(path.names[path.depth - 2], name);
}

static bool within(const XmlPath& path, const char* name) {
    for (int i = 0; i < path.depth - 1; ++i) {
        if (same8(path.names[i], name)) return true;
    }
    return false;
}

// The text without surrounding blanks: *start and *length.
static void trimmed(const char* text, const char** start, int* length) {
    int n = (int)text8_length(text);
    int s = 0;
    while (s < n && is_space(text[s])) ++s;
    while (n > s && is_space(text[n - 1])) --n;
    *start = text + s;
    *length = n - s;
}

static bool text_is(const char* text, const char* value) {
    const char* s;
    int n;
    trimmed(text, &s, &n);
    return (size_t)n == text8_length(value) && mem_compare(s, value, (size_t)n) == 0;
}

// A decimal number of at most 7 digits, else -1.
static int number_of(const char* text) {
    const char* s;
    int n;
    trimmed(text, &s, &n);
    if (n == 0 || n > 7) return -1;
    int value = 0;
    for (int i = 0; i < n; ++i) {
        if (s[i] < '0' || s[i] > '9') return -1;
        value = value * 10 + (s[i] - '0');
    }
    return value;
}

static void assign_utf8(WideString* out, const char* text) {
    const char* s;
    int n;
    trimmed(text, &s, &n);
    release(out);
    if (n > 0) *out = multibyte_to_wide(s, n, CODE_PAGE_UTF8);
}

static void copy_text8(char* out, int capacity, const char* text) {
    const char* s;
    int n;
    trimmed(text, &s, &n);
    if (n > capacity - 1) n = capacity - 1;
    mem_copy(out, s, (size_t)n);
    out[n] = 0;
}

// ---- capabilities
struct CapsContext {
    EsclCapabilities* caps;
    bool is_caps;
};

static int input_of(const XmlPath& path) {
    static const char* const kInputs[] = {"PlatenInputCaps", "AdfSimplexInputCaps", "AdfDuplexInputCaps"};
    for (int k = 0; k < 3; ++k) {
        if (within(path, kInputs[k]) || leaf_is(path, kInputs[k])) return k;
    }
    return -1;
}

static uint32_t color_bit(const char* text) {
    if (text_is(text, "RGB24")) return ESCL_COLOR_RGB24;
    if (text_is(text, "Grayscale8")) return ESCL_COLOR_GRAYSCALE8;
    if (text_is(text, "BlackAndWhite1")) return ESCL_COLOR_BLACKANDWHITE1;
    return 0;
}

static void add_resolution(EsclInputCaps* in, int dpi) {
    if (dpi < 1 || dpi > 9600 || in->resolution_count >= ESCL_MAX_RESOLUTIONS) return;
    for (int i = 0; i < in->resolution_count; ++i) {
        if (in->resolutions[i] == dpi) return;
    }
    in->resolutions[in->resolution_count++] = dpi;
}

static void visit_range(EsclRange* range, const XmlPath& path, const char* text) {
    const int value = number_of(text);
    if (value < 0) return;
    if (leaf_is(path, "Min")) range->min = value;
    if (leaf_is(path, "Max")) range->max = value;
    range->present = true;
}

static void visit_caps(const XmlPath& path, const char* text, void* context) {
    CapsContext* c = static_cast<CapsContext*>(context);
    EsclCapabilities* caps = c->caps;
    if (path.depth == 1) {
        c->is_caps = leaf_is(path, "ScannerCapabilities");
        return;
    }
    if (path.depth == 2) {
        if (leaf_is(path, "MakeAndModel")) assign_utf8(&caps->make_and_model, text);
        if (leaf_is(path, "Manufacturer")) assign_utf8(&caps->manufacturer, text);
        if (leaf_is(path, "UUID")) assign_utf8(&caps->uuid, text);
    }
    if (leaf_is(path, "AdfOption") && text_is(text, "Duplex")) caps->adf_duplex = true;
    if (parent_is(path, "BrightnessSupport")) visit_range(&caps->brightness, path, text);
    if (parent_is(path, "ContrastSupport")) visit_range(&caps->contrast, path, text);
    const int input = input_of(path);
    if (input < 0) return;
    EsclInputCaps* in = &caps->inputs[input];
    in->present = true;
    const int value = number_of(text);
    if (leaf_is(path, "MaxWidth") && value > 0) in->max_width = value;
    if (leaf_is(path, "MaxHeight") && value > 0) in->max_height = value;
    if (leaf_is(path, "ColorMode")) in->color_modes |= color_bit(text);
    if ((leaf_is(path, "DocumentFormat") || leaf_is(path, "DocumentFormatExt")) && text_is(text, "image/jpeg")) {
        in->jpeg = true;
    }
    if (leaf_is(path, "XResolution") && parent_is(path, "DiscreteResolution")) add_resolution(in, value);
    if (parent_is(path, "XResolutionRange") && value > 0 && value <= 9600) {
        if (leaf_is(path, "Min")) in->range_min = value;
        if (leaf_is(path, "Max")) in->range_max = value;
    }
}

void escl_capabilities_release(EsclCapabilities* caps) {
    if (!caps) return;
    release(&caps->make_and_model);
    release(&caps->manufacturer);
    release(&caps->uuid);
    *caps = EsclCapabilities{};
}

bool escl_parse_capabilities(const char* xml, size_t size, EsclCapabilities* out) {
    *out = EsclCapabilities{};
    CapsContext context = {out, false};
    const bool ok = xml_walk(xml, size, visit_caps, &context) && context.is_caps;
    if (!ok) escl_capabilities_release(out);
    return ok;
}

// ---- status
struct StatusContext {
    EsclStatus* out;
    ByteBuffer job_path;   // UTF-8
    bool is_status;
    char uri[256];
    char job_state[24];
    char job_reason[64];
};

static bool ends_with8(const char* text, const ByteBuffer& tail) {
    const size_t n = text8_length(text);
    const size_t t = (size_t)tail.length;
    return t > 0 && n >= t && mem_compare(text + n - t, tail.data, t) == 0;
}

static void visit_status(const XmlPath& path, const char* text, void* context) {
    StatusContext* c = static_cast<StatusContext*>(context);
    if (path.depth == 1) {
        c->is_status = leaf_is(path, "ScannerStatus");
        return;
    }
    if (path.depth == 2 && leaf_is(path, "State")) copy_text8(c->out->state, sizeof(c->out->state), text);
    if (path.depth == 2 && leaf_is(path, "AdfState")) copy_text8(c->out->adf_state, sizeof(c->out->adf_state), text);
    if (within(path, "JobInfo")) {
        if (leaf_is(path, "JobUri")) copy_text8(c->uri, sizeof(c->uri), text);
        if (leaf_is(path, "JobState")) copy_text8(c->job_state, sizeof(c->job_state), text);
        if (leaf_is(path, "JobStateReason") && !c->job_reason[0]) {
            copy_text8(c->job_reason, sizeof(c->job_reason), text);
        }
    } else if (leaf_is(path, "JobInfo")) {
        if (ends_with8(c->uri, c->job_path)) {
            mem_copy(c->out->job_state, c->job_state, sizeof(c->job_state));
            mem_copy(c->out->job_reason, c->job_reason, sizeof(c->job_reason));
        }
        c->uri[0] = 0;
        c->job_state[0] = 0;
        c->job_reason[0] = 0;
    }
}

bool escl_parse_status(const char* xml, size_t size, const wchar_t* job_path, EsclStatus* out) {
    *out = EsclStatus{};
    StatusContext* context = static_cast<StatusContext*>(mem_alloc(sizeof(StatusContext)));
    if (!context) return false;
    context->out = out;
    if (job_path) append_utf8(&context->job_path, job_path);
    const bool ok = xml_walk(xml, size, visit_status, context) && context->is_status;
    release(&context->job_path);
    mem_free(context);
    if (!ok) *out = EsclStatus{};
    return ok;
}

// ---- the scan request
void escl_paper_size(int paper, int* width, int* height) {
    static const int kSizes[5][2] = {{2480, 3508}, {3508, 4961}, {1748, 2480}, {2550, 4200}, {2550, 3300}};
    const int k = paper >= 0 && paper <= 4 ? paper : 0;
    *width = kSizes[k][0];
    *height = kSizes[k][1];
}

static uint32_t choose_color(const EsclInputCaps& in, int colour_mode) {
    static const uint32_t kPreference[3][3] = {
        {ESCL_COLOR_RGB24, ESCL_COLOR_GRAYSCALE8, ESCL_COLOR_BLACKANDWHITE1},
        {ESCL_COLOR_GRAYSCALE8, ESCL_COLOR_RGB24, ESCL_COLOR_BLACKANDWHITE1},
        {ESCL_COLOR_BLACKANDWHITE1, ESCL_COLOR_GRAYSCALE8, ESCL_COLOR_RGB24},
    };
    const int m = colour_mode >= 0 && colour_mode <= 2 ? colour_mode : 0;
    if (in.color_modes == 0) return kPreference[m][0];
    for (uint32_t bit : kPreference[m]) {
        if (in.color_modes & bit) return bit;
    }
    return kPreference[m][0];
}

static int choose_resolution(const EsclInputCaps& in, int dpi) {
    if (in.resolution_count > 0) {
        int best = in.resolutions[0];
        for (int i = 1; i < in.resolution_count; ++i) {
            const int r = in.resolutions[i];
            const int d = r > dpi ? r - dpi : dpi - r;
            const int bd = best > dpi ? best - dpi : dpi - best;
            if (d < bd || (d == bd && r < best)) best = r;
        }
        return best;
    }
    if (in.range_min > 0 && in.range_max >= in.range_min) {
        return dpi < in.range_min ? in.range_min : dpi > in.range_max ? in.range_max : dpi;
    }
    return dpi;
}

static bool scale_onto(const EsclRange& range, int value, int* out) {
    if (value == 0 || !range.present || range.min >= range.max) return false;
    *out = (int)(range.min + (int64_t)(value + 100) * (range.max - range.min) / 200);
    return true;
}

EsclJobPlan escl_plan_job(const EsclCapabilities& caps, const ScanSettings& settings) {
    EsclJobPlan plan = {};
    const bool has_platen = caps.inputs[ESCL_INPUT_PLATEN].present;
    const bool has_feeder = caps.inputs[ESCL_INPUT_FEEDER].present || caps.inputs[ESCL_INPUT_FEEDER_DUPLEX].present;
    const bool want_feeder = settings.Source != 0;
    plan.input = want_feeder ? (has_feeder || !has_platen ? ESCL_INPUT_FEEDER : ESCL_INPUT_PLATEN)
                             : (has_platen || !has_feeder ? ESCL_INPUT_PLATEN : ESCL_INPUT_FEEDER);
    plan.duplex = plan.input == ESCL_INPUT_FEEDER && settings.Source == 2 &&
                  (caps.adf_duplex || caps.inputs[ESCL_INPUT_FEEDER_DUPLEX].present);
    int which = plan.input;
    if (plan.input == ESCL_INPUT_FEEDER && (plan.duplex || !caps.inputs[ESCL_INPUT_FEEDER].present) &&
        caps.inputs[ESCL_INPUT_FEEDER_DUPLEX].present) {
        which = ESCL_INPUT_FEEDER_DUPLEX;
    }
    const EsclInputCaps& in = caps.inputs[which];
    plan.color_mode = choose_color(in, settings.ColorMode);
    plan.resolution = choose_resolution(in, settings.Dpi);
    escl_paper_size(settings.Paper, &plan.width, &plan.height);
    if (in.max_width > 0 && plan.width > in.max_width) plan.width = in.max_width;
    if (in.max_height > 0 && plan.height > in.max_height) plan.height = in.max_height;
    plan.send_brightness = scale_onto(caps.brightness, settings.Brightness, &plan.brightness);
    plan.send_contrast = scale_onto(caps.contrast, settings.Contrast, &plan.contrast);
    return plan;
}

const char* escl_input_name(int input) {
    return input == ESCL_INPUT_PLATEN ? "Platen" : "Feeder";
}

const char* escl_color_name(uint32_t color_mode) {
    return color_mode == ESCL_COLOR_GRAYSCALE8        ? "Grayscale8"
           : color_mode == ESCL_COLOR_BLACKANDWHITE1 ? "BlackAndWhite1"
                                                      : "RGB24";
}

static bool append_element(ByteBuffer* out, const char* indent, const char* name, const char* value) {
    return append_text(out, indent) && append_text(out, "<") && append_text(out, name) && append_text(out, ">") &&
           append_text(out, value) && append_text(out, "</") && append_text(out, name) && append_text(out, ">\r\n");
}

static bool append_number(ByteBuffer* out, const char* indent, const char* name, int value) {
    char digits[16];
    int n = 0;
    int64_t v = value < 0 ? -(int64_t)value : value;
    do {
        digits[n++] = (char)('0' + v % 10);
        v /= 10;
    } while (v > 0 && n < 14);
    char text[17];
    int k = 0;
    if (value < 0) text[k++] = '-';
    while (n > 0) text[k++] = digits[--n];
    text[k] = 0;
    return append_element(out, indent, name, text);
}

// The version 2.0 request every eSCL copier accepts: the region in three-hundredths of an
// inch from the top left corner, JPEG pages named both the old (DocumentFormat) and the
// newer (DocumentFormatExt) way.
bool escl_job_xml(const EsclJobPlan& plan, ByteBuffer* out) {
    bool ok = append_text(out,
                          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                          "<scan:ScanSettings xmlns:scan=\"http://schemas.hp.com/imaging/escl/2011/05/03\" "
                          "xmlns:pwg=\"http://www.pwg.org/schemas/2010/12/sm\">\r\n") &&
              append_element(out, "  ", "pwg:Version", "2.0") &&
              append_element(out, "  ", "scan:Intent", "Document") &&
              append_text(out, "  <pwg:ScanRegions pwg:MustHonor=\"false\">\r\n    <pwg:ScanRegion>\r\n") &&
              append_element(out, "      ", "pwg:ContentRegionUnits", "escl:ThreeHundredthsOfInches") &&
              append_number(out, "      ", "pwg:XOffset", 0) && append_number(out, "      ", "pwg:YOffset", 0) &&
              append_number(out, "      ", "pwg:Width", plan.width) &&
              append_number(out, "      ", "pwg:Height", plan.height) &&
              append_text(out, "    </pwg:ScanRegion>\r\n  </pwg:ScanRegions>\r\n") &&
              append_element(out, "  ", "pwg:InputSource", escl_input_name(plan.input));
    if (ok && plan.input == ESCL_INPUT_FEEDER) {
        ok = append_element(out, "  ", "scan:Duplex", plan.duplex ? "true" : "false");
    }
    ok = ok && append_element(out, "  ", "scan:ColorMode", escl_color_name(plan.color_mode)) &&
         append_number(out, "  ", "scan:XResolution", plan.resolution) &&
         append_number(out, "  ", "scan:YResolution", plan.resolution) &&
         append_element(out, "  ", "pwg:DocumentFormat", "image/jpeg") &&
         append_element(out, "  ", "scan:DocumentFormatExt", "image/jpeg");
    if (ok && plan.send_brightness) ok = append_number(out, "  ", "scan:Brightness", plan.brightness);
    if (ok && plan.send_contrast) ok = append_number(out, "  ", "scan:Contrast", plan.contrast);
    return ok && append_text(out, "</scan:ScanSettings>\r\n");
}

// ---- failures
void escl_failure_set(EsclFailure* failure, int text_id, int number, const wchar_t* detail) {
    if (!failure) return;
    failure->text_id = text_id;
    failure->number = number;
    assign(&failure->detail, detail ? detail : L"");
}

void escl_failure_release(EsclFailure* failure) {
    if (!failure) return;
    release(&failure->detail);
    *failure = EsclFailure{};
}

const int TEXT_NO_PAPER_FEEDER = 168;
const int TEXT_PAPER_JAM = 154;
const int TEXT_DOUBLE_FEED = 155;
const int TEXT_COVER_OPEN = 157;
const int TEXT_OFFLINE = 156;
const int TEXT_BUSY = 158;

static bool has8(const char* text, const char* part) {
    const size_t n = text8_length(text), p = text8_length(part);
    for (size_t i = 0; p > 0 && i + p <= n; ++i) {
        if (mem_compare(text + i, part, p) == 0) return true;
    }
    return false;
}

int escl_failure_id(int http_status, const EsclStatus* status) {
    if (status) {
        const char* adf = status->adf_state;
        if (has8(adf, "Empty") || has8(status->job_reason, "MediaEmpty")) return TEXT_NO_PAPER_FEEDER;
        if (has8(adf, "Jam") || has8(status->job_reason, "Jam")) return TEXT_PAPER_JAM;
        if (has8(adf, "Multipick")) return TEXT_DOUBLE_FEED;
        if (has8(adf, "Open")) return TEXT_COVER_OPEN;
        if (same8(status->state, "Down") || same8(status->state, "Stopped")) return TEXT_OFFLINE;
    }
    if (http_status == 401 || http_status == 403) return ESCL_TEXT_UNAUTHORISED;
    if (http_status == 503) return TEXT_BUSY;
    return ESCL_TEXT_HTTP_ERROR;
}

// ---- addresses
static bool is_host_char(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'.' ||
           c == L'-' || c == L'_';
}

static bool is_path_char(wchar_t c) {
    return c > L' ' && c < 0x7F && c != L'?' && c != L'#' && c != L'%' && c != L'\\';
}

void escl_address_release(EsclAddress* address) {
    if (!address) return;
    release(&address->host);
    release(&address->root);
    *address = EsclAddress{};
}

bool escl_parse_address(const wchar_t* text, EsclAddress* out) {
    if (!text) return false;
    const wchar_t* p = text;
    bool https = false;
    if (starts_with_no_case(p, L"https://")) {
        https = true;
        p += 8;
    } else if (starts_with_no_case(p, L"http://")) {
        p += 7;
    }
    const wchar_t* host = p;
    int host_length = 0;
    bool v6 = false;
    if (*p == L'[') {
        v6 = true;
        ++p;
        host = p;
        while ((*p >= L'0' && *p <= L'9') || (*p >= L'a' && *p <= L'f') || (*p >= L'A' && *p <= L'F') || *p == L':' ||
               *p == L'.') {
            ++p;
        }
        host_length = (int)(p - host);
        if (*p != L']') return false;
        ++p;
    } else {
        while (is_host_char(*p)) ++p;
        host_length = (int)(p - host);
    }
    if (host_length == 0 || host_length > 253) return false;
    int port = https ? 443 : 80;
    if (*p == L':') {
        ++p;
        int value = 0, digits = 0;
        while (*p >= L'0' && *p <= L'9' && digits < 6) {
            value = value * 10 + (*p - L'0');
            ++p;
            ++digits;
        }
        if (digits == 0 || value < 1 || value > 65535) return false;
        port = value;
    }
    const wchar_t* root = p;
    if (*p == L'/') {
        while (is_path_char(*p)) ++p;
    }
    if (*p != 0) return false;
    int root_length = (int)(p - root);
    while (root_length > 0 && root[root_length - 1] == L'/') --root_length;
    EsclAddress a = {};
    a.https = https;
    a.port = port;
    bool ok = v6 ? (assign(&a.host, L"[") && append(&a.host, host, host_length) && append(&a.host, L"]"))
                 : assign(&a.host, host, host_length);
    ok = ok && (root_length > 0 ? assign(&a.root, root, root_length) : assign(&a.root, L"/eSCL"));
    if (!ok) {
        escl_address_release(&a);
        return false;
    }
    *out = a;
    return true;
}

WideString escl_address_url(const EsclAddress& address) {
    WideString url = {};
    format(&url, L"%s://%s:%d%s", address.https ? L"https" : L"http", text_of(address.host), address.port,
           text_of(address.root));
    return url;
}

WideString escl_address_label(const EsclAddress& address) {
    WideString label = wide_copy(text_of(address.host));
    if (address.port != (address.https ? 443 : 80)) {
        append(&label, L":");
        append_int(&label, address.port);
    }
    return label;
}

WideString escl_location_path(const char* location) {
    WideString path = {};
    if (!location) return path;
    const char* s;
    int n;
    trimmed(location, &s, &n);
    int start = 0;
    for (int i = 0; i + 2 < n; ++i) {
        if (s[i] == ':' && s[i + 1] == '/' && s[i + 2] == '/') {
            start = i + 3;
            while (start < n && s[start] != '/') ++start;
            break;
        }
        if (s[i] == '/') break;
    }
    while (n > start && s[n - 1] == '/') --n;
    for (int i = start; i < n; ++i) {
        if (!is_path_char((wchar_t)(unsigned char)s[i])) return path;
    }
    if (n > start) path = multibyte_to_wide(s + start, n - start, CODE_PAGE_UTF8);
    return path;
}
