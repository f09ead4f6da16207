// scan/wia_logic.cpp
// The WIA rules that need no device: values per setting, the scan area, range scaling,
// the choice of the item to scan and the import of BMP files as devices stream them.
#include "scan/wia.h"

#include "core/heap.h"

int wia_document_handling(int source) {
    if (source == 1) return 1;   // FEEDER
    if (source == 2) return 5;   // FEEDER | DUPLEX
    return 2;                    // FLATBED
}

int wia_data_type(int colour_mode) {
    if (colour_mode == 1) return 2;   // WIA_DATA_GRAYSCALE
    if (colour_mode == 2) return 0;   // WIA_DATA_THRESHOLD
    return 3;                         // WIA_DATA_COLOR
}

int wia_depth(int colour_mode) {
    if (colour_mode == 1) return 8;
    if (colour_mode == 2) return 1;
    return 24;
}

void wia_paper_thousandths(int paper, int* width, int* height) {
    static const int kSizes[5][2] = {{8268, 11693}, {11693, 16535}, {5827, 8268}, {8500, 14000}, {8500, 11000}};
    const int index = paper >= 1 && paper <= 4 ? paper : 0;
    if (width) *width = kSizes[index][0];
    if (height) *height = kSizes[index][1];
}

int wia_area_thousandths(int paper, bool have_device_max, int32_t device_max) {
    if (have_device_max && device_max > 0 && paper >= device_max) return device_max;
    return paper;
}

int64_t wia_pixels(int thousandths, int dpi) {
    return (int64_t)thousandths * dpi / 1000;
}

int32_t wia_scale(int v, int lo, int hi, int32_t min, int32_t max) {
    if (hi == lo) return min;
    return (int32_t)((int64_t)min + ((int64_t)v - lo) * ((int64_t)max - min) / ((int64_t)hi - lo));
}

int wia_choose_child(const WiaChildInfo* children, int count, bool feeder) {
    if (!children) return -1;
    const int32_t wanted = 0x1 | 0x2000;   // WiaItemTypeImage | WiaItemTypeTransfer
    int other = -1;
    for (int i = 0; i < count; ++i) {
        const WiaChildInfo& c = children[i];
        if ((c.item_type & wanted) != wanted || c.category == WIA_CATEGORY_UNREADABLE) continue;
        if (feeder) {
            if (c.category == WIA_CATEGORY_KIND_FEEDER) return i;
            continue;
        }
        if (c.category == WIA_CATEGORY_KIND_FLATBED) return i;
        if (c.category != WIA_CATEGORY_KIND_FEEDER && other < 0) other = i;
    }
    return feeder ? -1 : other;
}

// ---- BMP files
static uint32_t read_u32(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static uint16_t read_u16(const uint8_t* p) {
    return (uint16_t)(p[0] | p[1] << 8);
}

const size_t BMP_FILE_HEADER = 14;
const uint32_t BMP_CORE_INFO_HEADER = 40;
const uint32_t BMP_BITFIELDS = 3;

// Where a packed DIB's rows begin: header, the three masks a 40-byte header with
// bit fields carries, then the colour table. 0 when the header cannot be read.
static uint64_t packed_rows_offset(const uint8_t* dib, size_t size) {
    if (size < BMP_CORE_INFO_HEADER) return 0;
    const uint32_t header_size = read_u32(dib);
    if (header_size < BMP_CORE_INFO_HEADER) return 0;
    const int bit_count = read_u16(dib + 14);
    const uint32_t compression = read_u32(dib + 16);
    uint64_t entries = read_u32(dib + 32);
    if (entries == 0 && bit_count >= 1 && bit_count <= 8) entries = (uint64_t)1 << bit_count;
    uint64_t offset = header_size;
    if (compression == BMP_BITFIELDS && header_size == BMP_CORE_INFO_HEADER && (bit_count == 16 || bit_count == 32))
        offset += 12;
    return offset + entries * 4;
}

PageImage* wia_bmp_page(const uint8_t* bytes, size_t size, int default_dpi) {
    if (!bytes || size <= BMP_FILE_HEADER + BMP_CORE_INFO_HEADER || bytes[0] != 'B' || bytes[1] != 'M')
        return nullptr;
    const uint8_t* dib = bytes + BMP_FILE_HEADER;
    const size_t dib_size = size - BMP_FILE_HEADER;
    const uint64_t rows_at = packed_rows_offset(dib, dib_size);
    const uint64_t off_bits = read_u32(bytes + 10);
    // The rows must not overlap the header or the table and must start inside the data.
    if (rows_at == 0 || off_bits < BMP_FILE_HEADER + rows_at || off_bits >= size) return nullptr;
    if (off_bits == BMP_FILE_HEADER + rows_at) return page_image_from_dib(dib, dib_size, default_dpi);
    // A gap between the table and the rows: join header, table and rows into one block.
    const size_t head = (size_t)rows_at;
    const size_t rows = size - (size_t)off_bits;
    uint8_t* packed = static_cast<uint8_t*>(mem_alloc(head + rows));
    if (!packed) return nullptr;
    mem_copy(packed, dib, head);
    mem_copy(packed + head, bytes + off_bits, rows);
    PageImage* page = page_image_from_dib(packed, head + rows, default_dpi);
    mem_free(packed);
    return page;
}
