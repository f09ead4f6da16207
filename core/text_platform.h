// core/text_platform.h
// Internal to core: the one case-ignoring comparison primitive that each platform file
// provides and the portable text code builds on.
#ifndef ZAN_CORE_TEXT_PLATFORM_H
#define ZAN_CORE_TEXT_PLATFORM_H

// Invariant, case-ignoring comparison of a[0..na) with b[0..nb): -1, 0 or 1.
int compare_units_no_case(const wchar_t* a, int na, const wchar_t* b, int nb);

#endif
