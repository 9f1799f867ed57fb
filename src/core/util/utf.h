#pragma once
// Conversions between the UTF-8 used for paths and files on Linux and the
// UTF-16 that every user-interface text is held in.
#include <string>
#include <string_view>

namespace octile {

constexpr bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
constexpr bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
// The code point of a high surrogate followed by a low one.
constexpr char32_t CombineSurrogates(char32_t high, char32_t low) {
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}

// Invalid UTF-8 sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view s);
// Lone surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view s);

// Replaces every "%1" with the given text (file paths in messages).
std::u16string ReplacePercent1(std::u16string_view text, std::u16string_view with);
// Replaces the first "%d" with a decimal number.
std::u16string FormatPercentD(std::u16string_view text, long long value);

}  // namespace octile
