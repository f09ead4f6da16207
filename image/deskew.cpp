// image/deskew.cpp
// Skew estimate by projection profiles and rotation by an arbitrary angle.
//
// The estimate samples up to 80,000 dark points of the working copy and, for each trial
// angle, projects them onto the axis perpendicular to the text lines. When the angle
// matches the lines, the points of one line fall into few bins and the sum of squared bin
// counts peaks; a coarse pass (half degrees over +-7) and a fine pass (tenths around the
// best) find that peak with 42 projections.
#include "image/auto_process.h"

#include <math.h>

#include "core/heap.h"

static const double PI = 3.14159265358979;
static const int MAX_POINTS = 80000;
// Fewer dark points than this carry no measurable line structure.
static const int MIN_POINTS = 200;

struct SkewPoint {
    int16_t x, y;  // offsets from the centre of the working copy
};

// Dark points of the working copy, evenly thinned to at most MAX_POINTS.
static int collect_points(const PageImage* grey, SkewPoint* points) {
    const int w = grey->width;
    const int h = grey->height;
    uint32_t histogram[256] = {};
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = grey->pixels + (int64_t)y * grey->stride;
        for (int x = 0; x < w; ++x) ++histogram[row[x]];
    }
    const int t = otsu_threshold(histogram, (int64_t)w * h);
    int64_t dark = 0;
    for (int i = 0; i < t; ++i) dark += histogram[i];
    const int64_t step = t < 1 ? 1 : dark / MAX_POINTS + 1;

    int taken = 0;
    int64_t number = 0;
    for (int y = 0; y < h && taken < MAX_POINTS; ++y) {
        const uint8_t* row = grey->pixels + (int64_t)y * grey->stride;
        for (int x = 0; x < w && taken < MAX_POINTS; ++x) {
            if (row[x] >= t - 10) continue;
            if (number++ % step != 0) continue;
            points[taken].x = (int16_t)(x - w / 2);
            points[taken].y = (int16_t)(y - h / 2);
            ++taken;
        }
    }
    return taken;
}

static double profile_score(const SkewPoint* points, int count, int* bins, int n, double degrees) {
    const double r = degrees * PI / 180.0;
    const double c = cos(r);
    const double s = sin(r);
    mem_fill(bins, 0, (size_t)n * sizeof(int));
    const int half = n / 2;
    for (int i = 0; i < count; ++i) {
        const int bin = (int)(points[i].y * c - points[i].x * s + half);
        if (bin >= 0 && bin < n) ++bins[bin];
    }
    double score = 0;
    for (int i = 0; i < n; ++i) score += (double)bins[i] * bins[i];
    return score;
}

double working_copy_skew(const PageImage* grey) {
    if (!grey || !grey->pixels || grey->bits_per_pixel != 8) return 0;
    const int n = grey->width + grey->height + 8;
    SkewPoint* points = static_cast<SkewPoint*>(mem_alloc_array(MAX_POINTS, sizeof(SkewPoint)));
    int* bins = static_cast<int*>(mem_alloc_array((size_t)n, sizeof(int)));
    double best_angle = 0;
    if (points && bins) {
        const int count = collect_points(grey, points);
        if (count > MIN_POINTS) {
            double best = -1;
            // The small epsilons keep the last step of each pass despite rounding.
            for (double a = -7.0; a <= 7.000000001; a += 0.5) {
                const double score = profile_score(points, count, bins, n, a);
                if (score > best) {
                    best = score;
                    best_angle = a;
                }
            }
            const double centre = best_angle;
            for (double a = centre - 0.6; a <= centre + 0.6 + 0.000000001; a += 0.1) {
                const double score = profile_score(points, count, bins, n, a);
                if (score > best) {
                    best = score;
                    best_angle = a;
                }
            }
        }
    }
    mem_free(points);
    mem_free(bins);
    return best_angle;
}

double page_estimate_skew(const PageImage* page) {
    PageImage* grey = page_image_analysis_copy(page, ANALYSIS_BOX);
    const double angle = working_copy_skew(grey);
    page_image_free(grey);
    return angle;
}

// Source positions are stepped along each row in 32.32 fixed point: one addition per
// pixel instead of two multiplications, and the bilinear weights need only the top 8
// bits of the fraction.
static const double FIXED_ONE = 4294967296.0;

template <int Channels>
static inline bool same_pixel(const uint8_t* a, const uint8_t* b) {
    for (int k = 0; k < Channels; ++k)
        if (a[k] != b[k]) return false;
    return true;
}

template <int Channels>
static void rotate_rows(const PageImage* src, PageImage* out, double degrees) {
    const int64_t w = src->width;
    const int64_t h = src->height;
    const double theta = degrees * PI / 180.0;
    const double c = cos(theta);
    const double s = sin(theta);
    const double cx = (double)w * 0.5;
    const double cy = (double)h * 0.5;
    const int64_t step_x = (int64_t)(c * FIXED_ONE);
    const int64_t step_y = (int64_t)(s * FIXED_ONE);
    const uint8_t* const pixels = src->pixels;
    const int64_t stride = src->stride;
    const int64_t used = w * Channels;
    // Unsigned comparisons: a negative position wraps to a huge value and fails too.
    const uint64_t last_x = (uint64_t)(w - 1);
    const uint64_t last_y = (uint64_t)(h - 1);
    for (int64_t y = 0; y < h; ++y) {
        uint8_t* dst = out->pixels + y * out->stride;
        const double dy = (double)y - cy;
        int64_t fx_pos = (int64_t)floor((-cx * c - dy * s + cx) * FIXED_ONE);
        int64_t fy_pos = (int64_t)floor((-cx * s + dy * c + cy) * FIXED_ONE);
        for (int64_t x = 0; x < w; ++x, fx_pos += step_x, fy_pos += step_y, dst += Channels) {
            const int64_t ax = fx_pos >> 32;
            const int64_t ay = fy_pos >> 32;
            if ((uint64_t)ax >= last_x || (uint64_t)ay >= last_y) {
                for (int k = 0; k < Channels; ++k) dst[k] = 255;
                continue;
            }
            const uint32_t fx = (uint32_t)(fx_pos >> 24) & 255;
            const uint32_t fy = (uint32_t)(fy_pos >> 24) & 255;
            const uint8_t* p = pixels + ay * stride + ax * Channels;
            const uint8_t* q = p + stride;
            // Paper and the inside of strokes are uniform: there the weighted sum is the
            // pixel itself (the weights add up to 65536), so it is copied.
            if (same_pixel<Channels>(p, p + Channels) && same_pixel<Channels>(p, q) &&
                same_pixel<Channels>(p, q + Channels)) {
                for (int k = 0; k < Channels; ++k) dst[k] = p[k];
                continue;
            }
            const uint32_t w00 = (256 - fx) * (256 - fy);
            const uint32_t w10 = fx * (256 - fy);
            const uint32_t w01 = (256 - fx) * fy;
            const uint32_t w11 = fx * fy;
            for (int k = 0; k < Channels; ++k)
                dst[k] = (uint8_t)((w00 * p[k] + w10 * p[k + Channels] + w01 * q[k] + w11 * q[k + Channels]) >> 16);
        }
        mem_fill(out->pixels + y * out->stride + used, 0, (size_t)(out->stride - used));
    }
}

PageImage* page_rotate_by(const PageImage* page, double degrees) {
    if (!page || !page->pixels || page->width <= 0 || page->height <= 0) return nullptr;
    // Also refuses NaN, whose conversion to the fixed-point positions is undefined.
    if (!(degrees >= -360.0 && degrees <= 360.0)) return nullptr;
    PageImage* grey = nullptr;
    const PageImage* src = page;
    if (page->bits_per_pixel == 1) {
        grey = page_image_to_grey(page);
        if (!grey) return nullptr;
        src = grey;
    } else if (page->bits_per_pixel != 8 && page->bits_per_pixel != 24) {
        return nullptr;
    }
    PageImage* out = page_image_new();
    if (out && !page_image_alloc(out, src->width, src->height, src->bits_per_pixel, src->dpi)) {
        page_image_free(out);
        out = nullptr;
    }
    if (out && src->bits_per_pixel == 24)
        rotate_rows<3>(src, out, degrees);
    else if (out)
        rotate_rows<1>(src, out, degrees);
    if (grey && out) {
        // A black-and-white page stays black-and-white.
        PageImage* mono = page_image_threshold(out, 128);
        page_image_free(out);
        out = mono;
    }
    page_image_free(grey);
    return out;
}
