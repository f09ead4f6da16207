// image/auto_process.cpp
// Otsu's threshold, the blank-page test, the content rectangle of auto crop and the
// arrival path of a scanned page. All measure a grey working copy of at most
// ANALYSIS_BOX pixels a side, so their cost does not grow with the scan resolution.
// The skew estimate and the rotation live in deskew.cpp.
#include "image/auto_process.h"

#include "core/heap.h"

static void histogram_of(const PageImage* grey, int x0, int y0, int x1, int y1, uint32_t histogram[256]) {
    mem_fill(histogram, 0, 256 * sizeof(uint32_t));
    for (int y = y0; y < y1; ++y) {
        const uint8_t* row = grey->pixels + (int64_t)y * grey->stride;
        for (int x = x0; x < x1; ++x) ++histogram[row[x]];
    }
}

int otsu_threshold(const uint32_t histogram[256], int64_t count) {
    if (!histogram) return 128;
    double total_moment = 0;
    for (int i = 0; i < 256; ++i) total_moment += (double)i * histogram[i];
    int64_t w0 = 0;
    double s0 = 0;
    double best = -1;
    int level = 128;
    for (int i = 0; i < 256; ++i) {
        w0 += histogram[i];
        s0 += (double)i * histogram[i];
        if (w0 == 0) continue;
        const int64_t w1 = count - w0;
        if (w1 <= 0) break;
        const double difference = s0 / (double)w0 - (total_moment - s0) / (double)w1;
        const double between = (double)w1 * (double)w0 * difference * difference;
        // Strictly greater: the first of equal maxima is kept.
        if (between > best) {
            best = between;
            level = i;
        }
    }
    return level;
}

bool working_copy_is_blank(const PageImage* grey) {
    if (!grey || !grey->pixels || grey->bits_per_pixel != 8) return false;
    // The outer 4 % of each side is left out: scanner edges and lid shadows live there.
    const int mx = grey->width / 25;
    const int my = grey->height / 25;
    uint32_t histogram[256];
    histogram_of(grey, mx, my, grey->width - mx, grey->height - my, histogram);

    int64_t counted = 0;
    int peak = 0;
    for (int i = 0; i < 256; ++i) {
        counted += histogram[i];
        if (histogram[i] > histogram[peak]) peak = i;
    }
    if (counted <= 0) return false;
    // The paper is the most frequent level; marks at least 56 levels darker are content.
    int64_t dark = 0;
    for (int i = 0; i <= peak - 56; ++i) dark += histogram[i];
    return dark * 10000 / counted < 12;
}

bool page_is_blank(const PageImage* page) {
    PageImage* grey = page_image_analysis_copy(page, ANALYSIS_BOX);
    const bool blank = working_copy_is_blank(grey);
    page_image_free(grey);
    return blank;
}

// The mid level between the mean of each Otsu class; the threshold itself when one
// class is empty.
static int refined_mid_level(const uint32_t histogram[256], int threshold) {
    double low_sum = 0, high_sum = 0;
    int64_t low_count = 0, high_count = 0;
    for (int i = 0; i < 256; ++i) {
        if (i <= threshold) {
            low_sum += (double)i * histogram[i];
            low_count += histogram[i];
        } else {
            high_sum += (double)i * histogram[i];
            high_count += histogram[i];
        }
    }
    if (low_count == 0 || high_count == 0) return threshold;
    return (int)((low_sum / (double)low_count + high_sum / (double)high_count) * 0.5 + 0.5);
}

static int64_t border_mean(const PageImage* grey) {
    const int w = grey->width;
    const int h = grey->height;
    const uint8_t* top = grey->pixels;
    const uint8_t* bottom = grey->pixels + (int64_t)(h - 1) * grey->stride;
    int64_t sum = 0;
    for (int x = 0; x < w; ++x) sum += top[x] + bottom[x];
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = grey->pixels + (int64_t)y * grey->stride;
        sum += row[0] + row[w - 1];
    }
    return sum / (2 * (int64_t)w + 2 * (int64_t)h);
}

// First and last index whose count reaches the minimum; false when none does.
static bool counting_range(const int* counts, int n, int minimum, int* first, int* last) {
    *first = -1;
    *last = -1;
    for (int i = 0; i < n; ++i) {
        if (counts[i] < minimum) continue;
        if (*first < 0) *first = i;
        *last = i;
    }
    return *first >= 0;
}

// The content box in working-copy pixels, margins included; false when none.
static bool content_box(const PageImage* grey, int* left, int* top, int* right, int* bottom) {
    const int w = grey->width;
    const int h = grey->height;
    uint32_t histogram[256];
    histogram_of(grey, 0, 0, w, h, histogram);
    const int mid = refined_mid_level(histogram, otsu_threshold(histogram, (int64_t)w * h));
    // A dark border means the paper lies on a black lid: the paper itself is the content.
    const bool light_background = border_mean(grey) >= mid;

    int* column_counts = static_cast<int*>(mem_alloc_array((size_t)w, sizeof(int)));
    int* row_counts = static_cast<int*>(mem_alloc_array((size_t)h, sizeof(int)));
    bool found = false;
    if (column_counts && row_counts) {
        for (int y = 0; y < h; ++y) {
            const uint8_t* row = grey->pixels + (int64_t)y * grey->stride;
            for (int x = 0; x < w; ++x) {
                const bool content = light_background ? row[x] < mid - 10 : row[x] > mid;
                if (!content) continue;
                ++column_counts[x];
                ++row_counts[y];
            }
        }
        // On a light background two marks make a line count (specks are single pixels);
        // on a dark lid a line belongs to the paper only when a quarter of it is light.
        const int row_minimum = light_background ? 2 : w / 4;
        const int column_minimum = light_background ? 2 : h / 4;
        found = counting_range(row_counts, h, row_minimum, top, bottom) &&
                counting_range(column_counts, w, column_minimum, left, right) && *left < *right &&
                *top < *bottom;
    }
    mem_free(column_counts);
    mem_free(row_counts);
    if (!found) return false;

    int mx = 0, my = 0;
    if (light_background) {
        mx = w / 50;
        my = h / 50;
        if (mx < 3) mx = 2;
        if (my < 3) my = 2;
    }
    *left = *left - mx < 0 ? 0 : *left - mx;
    *top = *top - my < 0 ? 0 : *top - my;
    *right = *right + mx > w - 1 ? w - 1 : *right + mx;
    *bottom = *bottom + my > h - 1 ? h - 1 : *bottom + my;
    return true;
}

bool page_find_content(const PageImage* page, PageRect* rect) {
    if (!rect) return false;
    *rect = PageRect{0, 0, 0, 0};
    PageImage* grey = page_image_analysis_copy(page, ANALYSIS_BOX);
    if (!grey) return false;
    int left = 0, top = 0, right = 0, bottom = 0;
    const bool found = content_box(grey, &left, &top, &right, &bottom);
    const double sx = (double)page->width / grey->width;
    const double sy = (double)page->height / grey->height;
    page_image_free(grey);
    if (!found) return false;

    const int64_t full_width = page->width;
    const int64_t full_height = page->height;
    const int64_t x = (int64_t)(left * sx);
    const int64_t y = (int64_t)(top * sy);
    int64_t w = (int64_t)((right - left + 1) * sx);
    int64_t h = (int64_t)((bottom - top + 1) * sy);
    if (w > full_width - x) w = full_width - x;
    if (h > full_height - y) h = full_height - y;
    // Worth cropping only when at least 2 % goes and at least 5 % stays.
    const int64_t area = full_width * full_height;
    if (w * h > area * 98 / 100 || w * h < area / 20) return false;
    *rect = PageRect{(int)x, (int)y, (int)w, (int)h};
    return true;
}

ArrivalResult page_process_arrival(PageImage** page, const ArrivalOptions& options) {
    ArrivalResult result = {false, 0};
    if (!page || !*page) return result;
    double angle = 0;
    if (options.skip_blank || options.deskew) {
        PageImage* grey = page_image_analysis_copy(*page, ANALYSIS_BOX);
        result.blank = options.skip_blank && working_copy_is_blank(grey);
        if (options.deskew && !result.blank) angle = working_copy_skew(grey);
        page_image_free(grey);
        if (result.blank) return result;
    }
    const double size = angle < 0 ? -angle : angle;
    if (size >= DESKEW_ARRIVAL_MIN_DEGREES && size <= DESKEW_ARRIVAL_MAX_DEGREES) {
        PageImage* straight = page_rotate_by(*page, angle);
        if (straight) {
            page_image_free(*page);
            *page = straight;
            result.angle = angle;
        }
    }
    PageRect rect = {};
    if (options.crop && page_find_content(*page, &rect)) {
        PageImage* cropped = page_image_crop(*page, rect.x, rect.y, rect.w, rect.h);
        if (cropped) {
            page_image_free(*page);
            *page = cropped;
        }
    }
    return result;
}
