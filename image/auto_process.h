// image/auto_process.h
// The page analyses behind auto crop, deskew and blank-page removal, and the rotation
// by an arbitrary angle that straightens a page. Each analysis works on a reduced grey
// working copy that it frees before returning; results are plain values or new pages
// owned by the caller. No state is kept between calls.
#ifndef ZAN_IMAGE_AUTO_PROCESS_H
#define ZAN_IMAGE_AUTO_PROCESS_H

#include <stdint.h>

#include "image/page_image.h"

// Side of the square the working copy is reduced to fit.
const int ANALYSIS_BOX = 700;
// A page arriving from the scanner is straightened only for estimates in this range:
// smaller angles are noise of the estimate, larger ones are a wrong measurement.
const double DESKEW_ARRIVAL_MIN_DEGREES = 0.25;
const double DESKEW_ARRIVAL_MAX_DEGREES = 15.0;
// The deskew command applies any estimate at least this large.
const double DESKEW_COMMAND_MIN_DEGREES = 0.1;

struct PageRect {
    int x, y, w, h;
};

// ---- measurements
// Otsu's grey level for a 256-bin histogram of `count` pixels; 128 when no split exists.
int otsu_threshold(const uint32_t histogram[256], int64_t count);
// True when less than 0.12 % of the inner area is clearly darker than the paper.
// False when the working copy cannot be made.
bool page_is_blank(const PageImage* page);
// The content rectangle in the page's own pixels; false when nothing usable is found
// or the crop would remove less than 2 % or keep less than 5 % of the page.
bool page_find_content(const PageImage* page, PageRect* rect);
// Degrees to rotate the page by (page_rotate_by) to straighten it; 0 when the page has
// too little content to measure.
double page_estimate_skew(const PageImage* page);

// The same blank test and skew estimate on a working copy the caller made with
// page_image_analysis_copy(page, ANALYSIS_BOX), so that one copy serves both.
bool working_copy_is_blank(const PageImage* grey);
double working_copy_skew(const PageImage* grey);

// ---- operations (new page or null)
// Rotation about the centre, same size, depth and dpi; uncovered corners become white.
PageImage* page_rotate_by(const PageImage* page, double degrees);

// ---- the arrival path of a scanned page (main window and zancli process)
struct ArrivalOptions {
    bool deskew;
    bool crop;
    bool skip_blank;
};
struct ArrivalResult {
    bool blank;    // skip_blank was set and the page is blank: the caller discards it
    double angle;  // degrees the page was rotated by, 0 when it was not
};
// With skip_blank, a blank page is reported and left as it is. Otherwise applies deskew
// (only when DESKEW_ARRIVAL_MIN <= |angle| <= DESKEW_ARRIVAL_MAX) and crop to *page in
// that order, replacing *page by each new result and freeing the previous one, so no
// more than two full-size pages are alive at once. A step that fails leaves the page
// as it was.
ArrivalResult page_process_arrival(PageImage** page, const ArrivalOptions& options);

#endif
