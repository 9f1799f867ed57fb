#include "dump/dump_format.h"

// The hexadecimal texts typed into the address and size fields.

namespace octile {

int HexDigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

uint64_t ParseHex(std::u16string_view text) {
    uint64_t value = 0;
    for (const char16_t c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0) break;
        value = (value << 4) | static_cast<uint64_t>(digit);  // wraps modulo 2^64
    }
    return value;
}

bool ParseHexStrict(std::u16string_view text, uint64_t& value) {
    if (text.size() > 16) return false;
    uint64_t v = 0;
    for (const char16_t c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0) return false;
        v = (v << 4) | static_cast<uint64_t>(digit);
    }
    value = v;
    return true;
}

}  // namespace octile
