// tests/test_text.h
// Test helpers: UTF-16 text compared as UTF-8 std::string, so failures print readably
// and no C library wide-character function is involved.
#ifndef ZAN_TESTS_TEST_TEXT_H
#define ZAN_TESTS_TEST_TEXT_H

#include <string>

#include "core/text.h"

inline std::string utf8(const wchar_t* text) {
    ByteBuffer b = {};
    append_utf8(&b, text);
    std::string s(b.data ? reinterpret_cast<const char*>(b.data) : "", (size_t)b.length);
    release(&b);
    return s;
}

inline std::string utf8(const WideString& s) {
    return utf8(text_of(s));
}

#endif
