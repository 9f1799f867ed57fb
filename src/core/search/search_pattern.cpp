#include "search/search_pattern.h"

#include <algorithm>
#include <climits>

#include "charcode/charcode.h"
#include "util/utf.h"

namespace octile {

namespace {

// Code page 932 bytes of the text; empty when there is no text.
std::vector<uint8_t> EncodeShiftJis(std::u16string_view text) {
    // Two bytes per unit is the worst case; one more zero byte lets
    // ShiftJisToEuc look one byte past a lead byte at the end.
    std::vector<uint8_t> out(2 * text.size() + 1, 0);
    const int n = WideToShiftJis(text.data(), static_cast<int>(text.size()), out.data(),
                                 static_cast<int>(2 * text.size()));
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

std::u16string UpToNull(const char16_t* units, size_t count) {
    const char16_t* end = std::find(units, units + count, u'\0');
    return std::u16string(units, end);
}

// ShiftJisToWide into a destination of readSize bytes.
std::u16string DecodeShiftJis(const uint8_t* bytes, int count, uint64_t readSize) {
    const int dstBytes = static_cast<int>(std::min<uint64_t>(readSize, INT_MAX - 1) & ~1ull);
    if (dstBytes < 2) return std::u16string();
    std::vector<char16_t> dst(static_cast<size_t>(dstBytes) / 2);
    const int units = ShiftJisToWide(bytes, count, dst.data(), dstBytes, nullptr);
    return UpToNull(dst.data(), static_cast<size_t>(units));
}

// The UTF-8 text of count bytes: a character begun in the last bytes is
// completed from the bytes after them; a byte that begins no well-formed
// sequence becomes ".", as it shows in the column.
std::u16string DecodeUtf8Text(const uint8_t* bytes, uint64_t count) {
    std::u16string text;
    uint64_t i = 0;
    while (i < count) {
        char32_t c = 0;
        const int n = DecodeUtf8(bytes + i, &c);
        if (n == 0) {
            text.push_back(u'.');
            i += 1;
            continue;
        }
        if (c == 0) break;
        if (c < 0x10000) {
            text.push_back(static_cast<char16_t>(c));
        } else {
            text.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        }
        i += static_cast<uint64_t>(n);
    }
    return text;
}

}  // namespace

uint8_t PatternNibble(char16_t c) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    unsigned v = c & 0xFFu;
    if (v >= 0x61) v -= 7;
    return static_cast<uint8_t>(v & 0xF);
}

SearchPattern BuildSearchPattern(std::u16string_view text, int32_t hexSearch, int32_t charCode,
                                 uint64_t readSize) {
    SearchPattern p;
    const size_t n = text.size();
    if (n == 0) return p;
    // Every form takes at least one byte per two units, so a text that long
    // cannot fit; refuse it before encoding anything.
    if (readSize == 0 || n / 2 > readSize || n > static_cast<size_t>(INT_MAX / 2)) {
        p.status = SearchPattern::TooLong;
        return p;
    }
    if (hexSearch != 0 && n % 2 == 0) {
        p.bytes.resize(n / 2);
        for (size_t k = 0; k < n / 2; ++k) {
            p.bytes[k] = static_cast<uint8_t>(PatternNibble(text[2 * k]) * 16 +
                                              PatternNibble(text[2 * k + 1]));
        }
    } else if (charCode == CODE_SJIS) {
        p.bytes = EncodeShiftJis(text);
    } else if (charCode == CODE_UTF8) {
        const std::string utf8 = Utf16ToUtf8(text);
        p.bytes.assign(utf8.begin(), utf8.end());
    } else if (charCode == CODE_UNICODE) {
        p.bytes.resize(2 * n);
        for (size_t k = 0; k < n; ++k) {
            p.bytes[2 * k] = static_cast<uint8_t>(text[k] & 0xFF);
            p.bytes[2 * k + 1] = static_cast<uint8_t>(text[k] >> 8);
        }
    } else {
        std::vector<uint8_t> sjis = EncodeShiftJis(text);
        if (!sjis.empty()) {
            const int count = static_cast<int>(sjis.size());
            sjis.push_back(0);  // read after a lead byte at the end
            p.bytes.resize(2 * sjis.size() + 1);
            p.bytes.resize(static_cast<size_t>(ShiftJisToEuc(sjis.data(), count, p.bytes.data())));
        }
    }
    if (p.bytes.empty()) {
        p.status = SearchPattern::Empty;
    } else if (p.bytes.size() > readSize) {
        p.status = SearchPattern::TooLong;
        p.bytes.clear();
    } else {
        p.status = SearchPattern::Ok;
    }
    return p;
}

std::u16string SearchProposal(const uint8_t* bytes, uint64_t count, int32_t hexSearch,
                              int32_t charCode, uint64_t readSize) {
    if (hexSearch != 0) {
        static constexpr char16_t kDigits[] = u"0123456789abcdef";
        std::u16string text;
        text.reserve(2 * count);
        for (uint64_t i = 0; i < count; ++i) {
            text.push_back(kDigits[bytes[i] >> 4]);
            text.push_back(kDigits[bytes[i] & 0xF]);
        }
        return text;
    }
    const int n = static_cast<int>(std::min<uint64_t>(count, INT_MAX / 2));
    if (charCode == CODE_SJIS) return DecodeShiftJis(bytes, n, readSize);
    if (charCode == CODE_UTF8) return DecodeUtf8Text(bytes, count);
    if (charCode == CODE_UNICODE) {
        // An odd last byte makes a unit of its own with a high byte of 0.
        std::vector<char16_t> units((count + 1) / 2);
        for (uint64_t k = 0; k < units.size(); ++k) {
            const uint8_t high = 2 * k + 1 < count ? bytes[2 * k + 1] : 0;
            units[k] = static_cast<char16_t>(bytes[2 * k] | high << 8);
        }
        return UpToNull(units.data(), units.size());
    }
    std::vector<uint8_t> sjis(2 * static_cast<size_t>(n) + 1, 0);
    const int k = EucToShiftJis(bytes, n, sjis.data());
    if (k <= 0) return std::u16string();
    return DecodeShiftJis(sjis.data(), k, readSize);
}

}  // namespace octile
