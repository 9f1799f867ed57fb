#include "cli/cli_listing.h"

#include <cstring>

namespace octile::cli {

namespace {

// The UTF-8 forms of U+202A to U+202E (E2 80 AA to AE) and U+2066 to U+2069
// (E2 81 A6 to A9) begin with E2.
bool IsBidiControl(const char* p, const char* end) {
    if (end - p < 3) return false;
    const auto b1 = static_cast<unsigned char>(p[1]);
    const auto b2 = static_cast<unsigned char>(p[2]);
    return (b1 == 0x80 && b2 >= 0xAA && b2 <= 0xAE) || (b1 == 0x81 && b2 >= 0xA6 && b2 <= 0xA9);
}

// The next byte at or after p that is c, or end.
const char* Next(const char* p, const char* end, char c) {
    const void* hit = std::memchr(p, c, static_cast<size_t>(end - p));
    return hit != nullptr ? static_cast<const char*>(hit) : end;
}

}  // namespace

void MakeTerminalSafe(std::string& text, bool crlf) {
    char* out = text.data();
    const char* p = text.data();
    const char* const end = p + text.size();
    // Runs between the bytes to look at are moved whole; the next CR and the
    // next E2 are kept until passed.
    const char* cr = crlf ? end : Next(p, end, '\r');
    const char* e2 = Next(p, end, '\xE2');
    while (p < end) {
        const char* stop = cr < e2 ? cr : e2;
        if (out != p) std::memmove(out, p, static_cast<size_t>(stop - p));
        out += stop - p;
        p = stop;
        if (p == end) break;
        if (p == cr) {
            ++p;  // dropped
            cr = Next(p, end, '\r');
        } else {
            if (IsBidiControl(p, end)) {
                *out++ = '.';
                *out++ = ' ';
                p += 3;
            } else {
                *out++ = *p++;
            }
            e2 = Next(p, end, '\xE2');
            if (cr < p) cr = Next(p, end, '\r');
        }
    }
    text.resize(static_cast<size_t>(out - text.data()));
}

}  // namespace octile::cli
