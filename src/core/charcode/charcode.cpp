#include "charcode/charcode.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "charcode/conversion_steps.h"
#include "charcode/cp932_table.h"
#include "util/utf.h"

namespace octile {

namespace {

constexpr bool IsHalfWidthKana(uint8_t b) { return b >= 0xA1 && b <= 0xDF; }

struct CodeRange {
    char32_t first;
    char32_t last;
};

// The characters of East Asian Width W and F in Unicode 14.0, in order, with
// the unassigned code points of the CJK ideograph blocks and of planes 2 and
// 3, which default to W, and the unassigned ones of Symbols and Pictographs
// Extended-A, whose characters are all emoji of width W.
constexpr CodeRange kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x23F0, 0x23F0},   {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},
    {0x2648, 0x2653},   {0x267F, 0x267F},   {0x2693, 0x2693},   {0x26A1, 0x26A1},
    {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x26CE, 0x26CE},
    {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},
    {0x2728, 0x2728},   {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},
    {0x2757, 0x2757},   {0x2795, 0x2797},   {0x27B0, 0x27B0},   {0x27BF, 0x27BF},
    {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},   {0x2E80, 0x2E99},
    {0x2E9B, 0x2EF3},   {0x2F00, 0x2FD5},   {0x2FF0, 0x2FFB},   {0x3000, 0x303E},
    {0x3041, 0x3096},   {0x3099, 0x30FF},   {0x3105, 0x312F},   {0x3131, 0x318E},
    {0x3190, 0x31E3},   {0x31F0, 0x321E},   {0x3220, 0x3247},   {0x3250, 0x4DBF},
    {0x4E00, 0xA48C},   {0xA490, 0xA4C6},   {0xA960, 0xA97C},   {0xAC00, 0xD7A3},
    {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE52},   {0xFE54, 0xFE66},
    {0xFE68, 0xFE6B},   {0xFF01, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4},
    {0x16FF0, 0x16FF1}, {0x17000, 0x187F7}, {0x18800, 0x18CD5}, {0x18D00, 0x18D08},
    {0x1AFF0, 0x1AFF3}, {0x1AFF5, 0x1AFFB}, {0x1AFFD, 0x1AFFE}, {0x1B000, 0x1B122},
    {0x1B150, 0x1B152}, {0x1B164, 0x1B167}, {0x1B170, 0x1B2FB}, {0x1F004, 0x1F004},
    {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F202},
    {0x1F210, 0x1F23B}, {0x1F240, 0x1F248}, {0x1F250, 0x1F251}, {0x1F260, 0x1F265},
    {0x1F300, 0x1F320}, {0x1F32D, 0x1F335}, {0x1F337, 0x1F37C}, {0x1F37E, 0x1F393},
    {0x1F3A0, 0x1F3CA}, {0x1F3CF, 0x1F3D3}, {0x1F3E0, 0x1F3F0}, {0x1F3F4, 0x1F3F4},
    {0x1F3F8, 0x1F43E}, {0x1F440, 0x1F440}, {0x1F442, 0x1F4FC}, {0x1F4FF, 0x1F53D},
    {0x1F54B, 0x1F54E}, {0x1F550, 0x1F567}, {0x1F57A, 0x1F57A}, {0x1F595, 0x1F596},
    {0x1F5A4, 0x1F5A4}, {0x1F5FB, 0x1F64F}, {0x1F680, 0x1F6C5}, {0x1F6CC, 0x1F6CC},
    {0x1F6D0, 0x1F6D2}, {0x1F6D5, 0x1F6D7}, {0x1F6DD, 0x1F6DF}, {0x1F6EB, 0x1F6EC},
    {0x1F6F4, 0x1F6FC}, {0x1F7E0, 0x1F7EB}, {0x1F7F0, 0x1F7F0}, {0x1F90C, 0x1F93A},
    {0x1F93C, 0x1F945}, {0x1F947, 0x1F9FF}, {0x1FA70, 0x1FAFF}, {0x20000, 0x2FFFD},
    {0x30000, 0x3FFFD}};

}  // namespace

uint16_t JisToShiftJisCode(uint32_t jis) { return steps::JisToShiftJisCode(jis); }

uint16_t ShiftJisToJisCode(uint32_t sjis) {
    const uint8_t lead = static_cast<uint8_t>(sjis >> 8);
    const uint8_t trail = static_cast<uint8_t>(sjis);
    if (!cp932::IsLeadByte(lead) || !cp932::IsTrailByte(trail)) return 0;
    const auto t = static_cast<uint32_t>(cp932::LeadRow(lead));
    uint32_t j1;
    uint32_t j2;
    if (trail < 0x9F) {
        j1 = 2 * t + 0x21;
        j2 = trail < 0x7F ? trail - 0x1Fu : trail - 0x20u;
    } else {
        j1 = 2 * t + 0x22;
        j2 = trail - 0x7Eu;
    }
    const uint32_t code = j1 * 256 + j2;
    if (code < 0x2121 || code > 0x7E7E || j2 < 0x21 || j2 > 0x7E) return 0;
    return static_cast<uint16_t>(code);
}

int ShiftJisToWide(const uint8_t* src, int count, char16_t* dst, int dstBytes, int* overhang) {
    if (overhang != nullptr) *overhang = 0;
    if (count < 0) count = 0;
    const int capacity = dstBytes > 0 ? dstBytes / 2 : 0;
    if (capacity == 0) return 0;
    std::memset(dst, 0, static_cast<size_t>(capacity) * sizeof(char16_t));

    int units = 0;
    const int reached = steps::DecodeShiftJis(src, count, [&](char16_t u) {
        if (units < capacity) dst[units] = u;
        ++units;
    });
    if (overhang != nullptr) *overhang = reached - count;
    if (units == 0 || units > capacity) {
        // Nothing decoded, or no room for the whole text: the decoder yields
        // nothing and the caller gets ".".
        std::memset(dst, 0, static_cast<size_t>(capacity) * sizeof(char16_t));
        dst[0] = u'.';
        return 1;
    }
    return units;
}

int WideToShiftJis(const char16_t* src, int units, uint8_t* dst, int dstBytes) {
    if (dstBytes > 0) std::memset(dst, 0, static_cast<size_t>(dstBytes));
    if (units <= 0 || dstBytes <= 0) return -1;
    int o = 0;
    for (int i = 0; i < units; ++i) {
        const char16_t u = src[i];
        int32_t code = cp932::EncodeUnit(u);
        if (code < 0) {
            // A surrogate pair is one character and gets one default character.
            if (IsHighSurrogate(u) && i + 1 < units && IsLowSurrogate(src[i + 1])) ++i;
            code = '?';
        }
        const int length = code < 0x100 ? 1 : 2;
        if (o + length > dstBytes) {
            std::memset(dst, 0, static_cast<size_t>(dstBytes));
            return -1;
        }
        if (length == 2) dst[o++] = static_cast<uint8_t>(code >> 8);
        dst[o++] = static_cast<uint8_t>(code);
    }
    return o;
}

int EucToShiftJis(const uint8_t* src, int count, uint8_t* dst) {
    return steps::EucToShiftJis(src, count, dst);
}

int ShiftJisToEuc(const uint8_t* src, int count, uint8_t* dst) {
    int i = 0;
    int o = 0;
    while (i < count) {
        const uint8_t b = src[i];
        if (b < 0x7F) {
            dst[o++] = b;
            i += 1;
        } else if (cp932::IsLeadByte(b)) {
            const uint16_t jis = ShiftJisToJisCode(b * 256u + src[i + 1]);
            dst[o++] = static_cast<uint8_t>((jis >> 8) | 0x80);
            dst[o++] = static_cast<uint8_t>(jis | 0x80);
            i += 2;
        } else if (IsHalfWidthKana(b)) {
            dst[o++] = 0x8E;
            dst[o++] = b;
            i += 1;
        } else {
            dst[o++] = b;
            i += 1;
        }
    }
    dst[o] = 0;
    return o;
}

int DecodeUtf8(const uint8_t* src, char32_t* c) { return steps::DecodeUtf8(src, c); }

bool IsEastAsianWide(char32_t c) {
    if (c < kWide[0].first) return false;
    const CodeRange* r =
        std::upper_bound(std::begin(kWide), std::end(kWide), c,
                         [](char32_t v, const CodeRange& x) { return v < x.first; });
    return c <= r[-1].last;
}

}  // namespace octile
