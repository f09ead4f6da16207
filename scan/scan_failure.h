// scan/scan_failure.h
// Turns TWAIN condition codes, WIA results and eSCL failures into sentences that tell the user what to
// do (in the interface language, app/strings.h), and names condition codes for the log.
// Every returned WideString is new and owned by the caller.
#ifndef ZAN_SCAN_SCAN_FAILURE_H
#define ZAN_SCAN_SCAN_FAILURE_H

#include <stdint.h>

#include "core/wide_string.h"

// String ids of the scan texts (tr(id)).
const int TEXT_SCANNING = 142;
const int TEXT_SCANNING_PAGE = 143;
const int TEXT_OPENING_DEVICE = 144;
const int TEXT_FINISHED_PAGES = 145;
const int TEXT_FINISHED_PAGES_COUNT = 146;
const int TEXT_SCAN_FAILED = 147;
const int TEXT_LOW_MEMORY = 151;
const int TEXT_NO_TWAIN_DRIVER = 152;
const int TEXT_NO_PAPER_ADF = 153;
const int TEXT_DEVICE_OFFLINE = 156;
const int TEXT_TRANSFER_ERROR = 161;
const int TEXT_DEVICE_NOT_FOUND = 162;
const int TEXT_CANNOT_OPEN_DEVICE = 163;
const int TEXT_SCAN_CANCELLED = 164;
const int TEXT_CANCELLED_DRIVER_SCREEN = 165;

// Name of a TWAIN condition code ("PAPERJAM"); "?" for unnamed values and for -1, the
// stand-in for a status that could not be read.
const wchar_t* twcc_name(int condition_code);
WideString twain_failure_text(int condition_code);
WideString wia_failure_text(uint32_t hresult);
struct EsclFailure;
// The sentence of an eSCL failure (scan/escl.h), its argument filled in.
WideString escl_failure_text(const EsclFailure& failure);

#endif
