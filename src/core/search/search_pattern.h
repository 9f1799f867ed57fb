#pragma once
// The byte pattern a search looks for, built afresh from the typed text with
// the hexadecimal flag and the character code in force, and the text proposed
// from the selected bytes when the search or replace dialog opens.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace octile {

struct SearchPattern {
    enum Status {
        Ok,
        Empty,    // no text: nothing to search for
        TooLong,  // longer than the read size (or a read size of 0): refused with the beep
    };
    Status status = Empty;
    std::vector<uint8_t> bytes;
};

// Hexadecimal text of even length gives one byte per digit pair; every other
// text is encoded in the character code (CharCodeValue; values other than
// SJIS, UNICODE and UTF8 encode as EUC; a lone surrogate becomes U+FFFD in
// UTF-8). A pattern must fit the read size.
SearchPattern BuildSearchPattern(std::u16string_view text, int32_t hexSearch, int32_t charCode,
                                 uint64_t readSize);

// The digit value the pattern arithmetic gives a character: A-Z become a-z,
// the low 8 bits are kept, 7 is taken off from 0x61 up, the low 4 bits remain.
// Characters that are no hexadecimal digit are not rejected.
uint8_t PatternNibble(char16_t c);

// The text proposed for count selected bytes. bytes must be followed by at
// least 16 readable bytes (the read window's look-ahead), because a character
// begun in the last byte is completed from them. Decoded text stops at its
// first null character, and holds at most readSize / 2 units in the Shift-JIS
// and EUC forms (a longer one becomes "."). In UTF-8 a byte that begins no
// well-formed sequence becomes ".".
std::u16string SearchProposal(const uint8_t* bytes, uint64_t count, int32_t hexSearch,
                              int32_t charCode, uint64_t readSize);

}  // namespace octile
