#pragma once
// The data inspector: the bytes at the caret read as numbers, times and
// characters, and a value typed into it turned back into bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace octile {

enum class InspectorKind : uint8_t {
    Binary,  // the byte's eight bits
    Signed,  // two's complement integer
    Unsigned,
    Float,        // IEEE 754 binary32 or binary64
    UnixTimeUtc,  // seconds since 1970-01-01 00:00:00 UTC, signed
    UnixTimeLocal,
    Character,  // the character at the caret in one code
};

struct InspectorRow {
    InspectorKind kind;
    int bytes;  // 1, 2, 4 or 8 (characters: the most they may take)
    bool bigEndian;
    int32_t charCode;  // Character rows: CharCodeValue
    const char16_t* label;
};

// Every row the inspector shows, in order.
const std::vector<InspectorRow>& InspectorRows();

// The text of row for the bytes at the caret: data holds the n bytes from the
// caret to the end of the file (n may be 0; more than 8 are not needed).
// Empty when the bytes do not reach far enough.
std::u16string InspectValue(const InspectorRow& row, const uint8_t* data, size_t n);

// The bytes a typed value stands for, in the row's width and byte order;
// false for text that is no such value or lies outside the row's range.
// Times are typed as "YYYY-MM-DD HH:MM:SS" (UTC for the UTC rows, local time
// for the local ones); integers in decimal or with "0x" in hexadecimal;
// characters as the one character to write.
bool EncodeValue(const InspectorRow& row, std::u16string_view text, std::vector<uint8_t>& bytes);

// The file's length or the selection's, as "0x1A2B (6699)".
std::u16string FormatLength(uint64_t length);

}  // namespace octile
