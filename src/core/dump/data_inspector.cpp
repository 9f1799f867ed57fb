#include "dump/data_inspector.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>

#include "charcode/charcode.h"
#include "util/utf.h"

namespace octile {

namespace {

using K = InspectorKind;

uint64_t Load(const uint8_t* p, int bytes, bool bigEndian) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) {
        const int at = bigEndian ? i : bytes - 1 - i;
        v = v << 8 | p[at];
    }
    return v;
}

void Store(uint64_t v, int bytes, bool bigEndian, std::vector<uint8_t>& out) {
    out.assign(static_cast<size_t>(bytes), 0);
    for (int i = 0; i < bytes; ++i) {
        const int at = bigEndian ? bytes - 1 - i : i;
        out[static_cast<size_t>(at)] = static_cast<uint8_t>(v >> (8 * i));
    }
}

int64_t SignExtend(uint64_t v, int bytes) {
    if (bytes == 8) return static_cast<int64_t>(v);
    const uint64_t sign = uint64_t{1} << (8 * bytes - 1);
    return static_cast<int64_t>((v ^ sign) - sign);
}

std::u16string Ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::string Narrow(std::u16string_view text) {
    std::string s;
    for (char16_t c : text) {
        if (c > 0x7E) return {};  // only ASCII forms are values
        s.push_back(static_cast<char>(c));
    }
    // Blanks around the value are forgiven.
    const size_t a = s.find_first_not_of(' ');
    const size_t b = s.find_last_not_of(' ');
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

template <typename F>
std::u16string FormatFloat(F f) {
    if (std::isnan(f)) return u"NaN";
    if (std::isinf(f)) return f < 0 ? u"-Infinity" : u"Infinity";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, f);
    return Ascii(std::string(buf, r.ptr));
}

std::u16string FormatTime(int64_t seconds, bool utc) {
    // Years outside 1 to 9999 have no calendar text here.
    constexpr int64_t kMin = -62135596800;  // 0001-01-01 00:00:00 UTC
    constexpr int64_t kMax = 253402300799;  // 9999-12-31 23:59:59 UTC
    if (seconds < kMin || seconds > kMax) return u"-";
    const auto t = static_cast<time_t>(seconds);
    std::tm tm{};
    if ((utc ? gmtime_r(&t, &tm) : localtime_r(&t, &tm)) == nullptr) return u"-";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return Ascii(buf);
}

bool ParseTime(const std::string& s, bool utc, int64_t& seconds) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
    char tail = 0;
    if (std::sscanf(s.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &sec, &tail) != 6 ||
        y < 1 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 ||
        mi > 59 || sec < 0 || sec > 60) {
        return false;
    }
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = sec;
    tm.tm_isdst = -1;
    const time_t t = utc ? timegm(&tm) : mktime(&tm);
    if (tm.tm_mday != d) return false;  // a day the month does not have
    seconds = static_cast<int64_t>(t);
    return true;
}

// The character at data in one code, and how many bytes it takes (0: none).
char32_t DecodeAt(int32_t code, const uint8_t* data, size_t n, int& used) {
    used = 0;
    if (n == 0) return 0;  // (data may be null then)
    uint8_t b[8] = {};
    std::memcpy(b, data, std::min<size_t>(n, 6));
    switch (code) {
        case CODE_SJIS:
        case CODE_EUC: {
            uint8_t sjis[8] = {};
            int count = 1;
            if (code == CODE_EUC) {
                // One EUC character: two bytes for 0x8E and 0xA1-0xFE, three for 0x8F.
                // JIS X 0212 (0x8F and two bytes) has no Shift-JIS form to show.
                if (b[0] == 0x8F) return 0;
                const int len = (b[0] == 0x8E || b[0] >= 0xA1) ? 2 : 1;
                if (static_cast<size_t>(len) > n) return 0;
                const int got = EucToShiftJis(b, len == 1 ? 1 : len - 1, sjis);
                if (got <= 0 || (len > 1 && sjis[0] == 0)) return 0;
                used = len;
                count = got;
            } else {
                std::memcpy(sjis, b, 2);
                if (n == 1) sjis[1] = 0;
                count = 1;
            }
            char16_t wide[4] = {};
            int overhang = 0;
            const int units = ShiftJisToWide(sjis, 1, wide, sizeof wide, &overhang);
            if (units != 1) return 0;
            if (code == CODE_SJIS) {
                used = 1 + overhang;
                if (static_cast<size_t>(used) > n) return 0;
            }
            (void)count;
            // The column's stand-ins for bytes that decode to nothing ("."
            // and "・" for an undefined pair) are no character.
            const bool standIn = (wide[0] == u'.' && sjis[0] != '.') ||
                                 (wide[0] == u'\u30FB' && !(sjis[0] == 0x81 && sjis[1] == 0x45));
            if (standIn) {
                used = 0;
                return 0;
            }
            return wide[0];
        }
        case CODE_UNICODE: {
            if (n < 2) return 0;
            const char16_t u = static_cast<char16_t>(b[0] | b[1] << 8);
            if (u >= 0xD800 && u < 0xDC00) {
                if (n < 4) return 0;
                const char16_t low = static_cast<char16_t>(b[2] | b[3] << 8);
                if (low < 0xDC00 || low >= 0xE000) return 0;
                used = 4;
                return 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (low - 0xDC00);
            }
            if (u >= 0xDC00 && u < 0xE000) return 0;
            used = 2;
            return u;
        }
        case CODE_UTF8: {
            char32_t c = 0;
            const int len = DecodeUtf8(b, &c);
            if (len == 0 || static_cast<size_t>(len) > n) return 0;
            used = len;
            return c;
        }
        default:
            return 0;
    }
}

std::u16string Utf32ToUtf16(const std::u32string& chars) {
    std::u16string out;
    for (char32_t c : chars) {
        if (c >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

// The code points of a text; a lone surrogate stays as it is.
std::u32string Utf16ToUtf32(std::u16string_view text) {
    std::u32string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char32_t u = text[i];
        if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            out.push_back(CombineSurrogates(u, text[++i]));
        } else {
            out.push_back(u);
        }
    }
    return out;
}

bool IsShownAsDot(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

const std::vector<InspectorRow>& InspectorRows() {
    static const std::vector<InspectorRow> rows = {
        {K::Binary, 1, false, 0, u"2進数"},
        {K::Signed, 1, false, 0, u"int8"},
        {K::Unsigned, 1, false, 0, u"uint8"},
        {K::Signed, 2, false, 0, u"int16 LE"},
        {K::Signed, 2, true, 0, u"int16 BE"},
        {K::Unsigned, 2, false, 0, u"uint16 LE"},
        {K::Unsigned, 2, true, 0, u"uint16 BE"},
        {K::Signed, 4, false, 0, u"int32 LE"},
        {K::Signed, 4, true, 0, u"int32 BE"},
        {K::Unsigned, 4, false, 0, u"uint32 LE"},
        {K::Unsigned, 4, true, 0, u"uint32 BE"},
        {K::Signed, 8, false, 0, u"int64 LE"},
        {K::Signed, 8, true, 0, u"int64 BE"},
        {K::Unsigned, 8, false, 0, u"uint64 LE"},
        {K::Unsigned, 8, true, 0, u"uint64 BE"},
        {K::Float, 4, false, 0, u"float32 LE"},
        {K::Float, 4, true, 0, u"float32 BE"},
        {K::Float, 8, false, 0, u"float64 LE"},
        {K::Float, 8, true, 0, u"float64 BE"},
        {K::UnixTimeUtc, 4, false, 0, u"time32 LE (UTC)"},
        {K::UnixTimeLocal, 4, false, 0, u"time32 LE (ﾛｰｶﾙ)"},
        {K::UnixTimeUtc, 4, true, 0, u"time32 BE (UTC)"},
        {K::UnixTimeLocal, 4, true, 0, u"time32 BE (ﾛｰｶﾙ)"},
        {K::UnixTimeUtc, 8, false, 0, u"time64 LE (UTC)"},
        {K::UnixTimeLocal, 8, false, 0, u"time64 LE (ﾛｰｶﾙ)"},
        {K::UnixTimeUtc, 8, true, 0, u"time64 BE (UTC)"},
        {K::UnixTimeLocal, 8, true, 0, u"time64 BE (ﾛｰｶﾙ)"},
        {K::Character, 2, false, CODE_SJIS, u"ｼﾌﾄJIS"},
        {K::Character, 4, false, CODE_UNICODE, u"Unicode"},
        {K::Character, 3, false, CODE_EUC, u"EUC"},
        {K::Character, 4, false, CODE_UTF8, u"UTF-8"},
    };
    return rows;
}

std::u16string InspectValue(const InspectorRow& row, const uint8_t* data, size_t n) {
    if (row.kind == K::Character) {
        int used = 0;
        const char32_t c = DecodeAt(row.charCode, data, n, used);
        if (used == 0) return n == 0 ? u"" : u".";
        char buf[16];
        std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(c));
        std::u16string text = IsShownAsDot(c) ? u"." : Utf32ToUtf16(std::u32string(1, c));
        return text + u" (" + Ascii(buf) + u")";
    }
    if (n < static_cast<size_t>(row.bytes)) return {};
    const uint64_t v = Load(data, row.bytes, row.bigEndian);
    switch (row.kind) {
        case K::Binary: {
            std::u16string bits;
            for (int i = 7; i >= 0; --i) bits.push_back((v >> i & 1) ? u'1' : u'0');
            return bits;
        }
        case K::Signed:
            return Ascii(std::to_string(SignExtend(v, row.bytes)));
        case K::Unsigned:
            return Ascii(std::to_string(v));
        case K::Float:
            if (row.bytes == 4) {
                float f;
                const auto bits = static_cast<uint32_t>(v);
                std::memcpy(&f, &bits, 4);
                return FormatFloat(f);
            } else {
                double d;
                std::memcpy(&d, &v, 8);
                return FormatFloat(d);
            }
        case K::UnixTimeUtc:
        case K::UnixTimeLocal:
            return FormatTime(SignExtend(v, row.bytes), row.kind == K::UnixTimeUtc);
        case K::Character:
            break;
    }
    return {};
}

bool EncodeValue(const InspectorRow& row, std::u16string_view text, std::vector<uint8_t>& bytes) {
    if (row.kind == K::Character) {
        const std::u32string chars = Utf16ToUtf32(text);
        if (chars.size() != 1) return false;
        const char32_t c = chars[0];
        switch (row.charCode) {
            case CODE_UNICODE: {
                const std::u16string units = Utf32ToUtf16(chars);
                bytes.clear();
                for (char16_t u : units) {
                    bytes.push_back(static_cast<uint8_t>(u & 0xFF));
                    bytes.push_back(static_cast<uint8_t>(u >> 8));
                }
                return true;
            }
            case CODE_UTF8: {
                if (c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return false;
                const std::string s = Utf16ToUtf8(Utf32ToUtf16(chars));
                bytes.assign(s.begin(), s.end());
                return true;
            }
            case CODE_SJIS:
            case CODE_EUC: {
                const std::u16string units = Utf32ToUtf16(chars);
                uint8_t sjis[8] = {};
                const int n =
                    WideToShiftJis(units.data(), static_cast<int>(units.size()), sjis, sizeof sjis);
                if (n <= 0 || (n == 1 && sjis[0] == '?' && c != U'?')) return false;
                if (row.charCode == CODE_SJIS) {
                    bytes.assign(sjis, sjis + n);
                    return true;
                }
                uint8_t euc[16] = {};
                const int e = ShiftJisToEuc(sjis, n, euc);
                if (e <= 0) return false;
                bytes.assign(euc, euc + e);
                return true;
            }
            default:
                return false;
        }
    }
    const std::string s = Narrow(text);
    if (s.empty()) return false;
    const char* first = s.data();
    const char* last = s.data() + s.size();
    switch (row.kind) {
        case K::Binary: {
            if (s.size() > 8 || s.find_first_not_of("01") != std::string::npos) return false;
            uint64_t v = 0;
            for (char c : s) v = v << 1 | static_cast<uint64_t>(c - '0');
            Store(v, 1, false, bytes);
            return true;
        }
        case K::Signed:
        case K::Unsigned: {
            const bool negative = s[0] == '-';
            if (negative && row.kind == K::Unsigned) return false;
            const char* p = first + (negative || s[0] == '+' ? 1 : 0);
            int base = 10;
            if (last - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
                base = 16;
                p += 2;
            }
            uint64_t magnitude = 0;
            const auto r = std::from_chars(p, last, magnitude, base);
            if (r.ec != std::errc() || r.ptr != last || p == last) return false;
            const int bits = 8 * row.bytes;
            if (row.kind == K::Unsigned) {
                if (bits < 64 && magnitude >> bits != 0) return false;
                Store(magnitude, row.bytes, row.bigEndian, bytes);
                return true;
            }
            const uint64_t limit = uint64_t{1} << (bits - 1);  // |min|; max is limit - 1
            if (negative ? magnitude > limit : magnitude >= limit) {
                // Hexadecimal may also give the bit pattern of a negative value.
                if (negative || base != 16 || (bits < 64 && magnitude >> bits != 0)) return false;
            }
            const uint64_t v = negative ? uint64_t{0} - magnitude : magnitude;
            Store(v, row.bytes, row.bigEndian, bytes);
            return true;
        }
        case K::Float: {
            double d = 0;
            std::string t = s;
            for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (t == "nan") {
                d = std::numeric_limits<double>::quiet_NaN();
            } else if (t == "infinity" || t == "inf" || t == "+infinity" || t == "+inf") {
                d = std::numeric_limits<double>::infinity();
            } else if (t == "-infinity" || t == "-inf") {
                d = -std::numeric_limits<double>::infinity();
            } else {
                const char* p = first + (s[0] == '+' ? 1 : 0);
                const auto r = std::from_chars(p, last, d);
                if (r.ec != std::errc() || r.ptr != last) return false;
            }
            if (row.bytes == 4) {
                if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) {
                    return false;
                }
                const float f = static_cast<float>(d);
                uint32_t bits;
                std::memcpy(&bits, &f, 4);
                Store(bits, 4, row.bigEndian, bytes);
            } else {
                uint64_t bits;
                std::memcpy(&bits, &d, 8);
                Store(bits, 8, row.bigEndian, bytes);
            }
            return true;
        }
        case K::UnixTimeUtc:
        case K::UnixTimeLocal: {
            int64_t seconds = 0;
            if (!ParseTime(s, row.kind == K::UnixTimeUtc, seconds)) return false;
            if (row.bytes == 4 && (seconds < INT32_MIN || seconds > INT32_MAX)) return false;
            Store(static_cast<uint64_t>(seconds), row.bytes, row.bigEndian, bytes);
            return true;
        }
        case K::Character:
            break;
    }
    return false;
}

std::u16string FormatLength(uint64_t length) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "0x%llX (%llu)", static_cast<unsigned long long>(length),
                  static_cast<unsigned long long>(length));
    return Ascii(buf);
}

}  // namespace octile
