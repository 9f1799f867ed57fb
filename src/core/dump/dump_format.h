#pragma once
// The dump text (ruler, address + 16 bytes in hexadecimal + the same bytes as
// characters, closing rule) and the address texts shown and typed everywhere.
#include <cstdint>
#include <string>
#include <string_view>

#include "util/utf.h"

namespace octile {

// The three view settings the dump depends on.
struct DumpSettings {
    int32_t extraDigits = 0;  // the address width is 8 + this (negative counts as 0)
    bool upper = false;       // hexadecimal digits of bytes and addresses in upper case
    int32_t charCode = 0;     // CharCodeValue; any other value gives an empty character column
    // For a terminal or a pipe (the command line's dump): lines end in LF
    // alone instead of CR LF, and the Unicode column shows a bidirectional
    // override or isolate (U+202A to U+202E, U+2066 to U+2069), which a
    // terminal would obey, as ". " over its two cells, as it shows a control
    // character. (The UTF-8 column always hides them; the other columns
    // cannot show them.)
    bool lfOnly = false;
    bool hideBidi = false;
};

struct CellRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;  // cells; right/bottom exclusive
};

// value in hexadecimal, left-padded with "0" to the address width; a value
// with more digits keeps them all.
std::u16string FormatAddress(const DumpSettings& s, uint64_t value);

// The value of a hexadecimal digit ("0"-"9", "a"-"f", "A"-"F"), else -1.
int HexDigitValue(char16_t c);

// Hexadecimal text to a number, wrapping modulo 2^64 (more than 16 digits keep
// the value of the last 16). Empty text gives 0. Parsing stops at the first
// character that is not a hexadecimal digit; use ParseHexStrict to refuse such
// text.
uint64_t ParseHex(std::u16string_view text);

// Like ParseHex, but false for any character that is not "0"-"9", "a"-"f",
// "A"-"F" (blank, sign, full-width digit) and for more than 16 digits. Empty
// text gives 0 and true.
bool ParseHexStrict(std::u16string_view text, uint64_t& value);

// The extra address digits for a file of this length: enough for the digits
// of length - 1 beyond 8 (an empty file wraps to 2^64 - 1 and gets 8).
int32_t ExtraDigitsForLength(uint64_t fileLength);

// The cells one character of the dump text takes in a fixed-pitch font: as
// many as it has bytes in code page 932 (one for ASCII and half-width
// katakana, two for the rest); in the Unicode column units below 0x100 take
// one and the rest two; in the UTF-8 column East Asian wide characters take
// two and the rest one (the blanks after a character make up its bytes). The
// window draws the text cell by cell with it.
int CharacterCells(char32_t c, int32_t charCode);

// Lays out one line of the dump text (up to, not including, its "\n") on the
// cell grid: calls place(column, position, units) for every character that
// is drawn, a surrogate pair taking two units, with its first cell; blanks are
// skipped and a "\r" ends the line. place returns false to stop early (the
// rest lies outside what is drawn).
template <typename Place>
void LayOutDumpLine(std::u16string_view line, int32_t charCode, Place&& place) {
    int column = 0;
    for (size_t k = 0; k < line.size();) {
        const char16_t unit = line[k];
        if (unit == u'\r') return;
        char32_t c = unit;
        size_t units = 1;
        if (IsHighSurrogate(unit) && k + 1 < line.size() && IsLowSurrogate(line[k + 1])) {
            c = CombineSurrogates(unit, line[k + 1]);
            units = 2;
        }
        if (unit != u' ' && !place(column, k, units)) return;
        column += CharacterCells(c, charCode);
        k += units;
    }
}

// The address width in cells: 8 + the extra digits.
int32_t AddressWidth(const DumpSettings& s);

// The dump of count bytes at buf, whose first byte is at file offset start.
// buf holds count bytes followed by at least 16 readable look-ahead bytes (the
// bytes that follow in the file, 0 past its end): a character that begins in
// the last line ends there. In the Shift-JIS, EUC and UTF-8 columns a
// character belongs to the line of its first byte: one that runs into the
// next line is shown whole at the end of its line, and the next line's column
// starts with a blank for each byte already shown. rect (may be null)
// receives the text area: the hexadecimal and character areas of the dump lines.
std::u16string FormatDump(const DumpSettings& s, uint64_t start, const uint8_t* buf, uint64_t count,
                          CellRect* rect);

// FormatDump of a long range, block by block, with the same text as one call:
//   DumpFormatter f(settings, start);
//   f.Begin(out); f.Feed(block1, n1, out); f.Feed(block2, n2, out); ... f.End(out);
// The text is appended to out, so a caller can write and clear it between
// blocks. With a std::string the text comes as UTF-8 (what Utf16ToUtf8 makes
// of it: a lone surrogate of the Unicode column becomes U+FFFD), for files and
// pipes, without a conversion pass.
class DumpFormatter {
  public:
    DumpFormatter(const DumpSettings& s, uint64_t start);

    // Appends the ruler line.
    void Begin(std::u16string& out) const;
    void Begin(std::string& out) const;
    // Appends the lines of the next count bytes. buf holds them followed by at
    // least 16 readable look-ahead bytes: the first bytes of the next block, or
    // what follows the range (0 past the end of the file). Every block but the
    // last must hold whole lines (a multiple of 16 bytes); a character begun in
    // a block's last byte continues into the next block's first line. Blocks
    // after a short one are ignored.
    void Feed(const uint8_t* buf, uint64_t count, std::u16string& out);
    void Feed(const uint8_t* buf, uint64_t count, std::string& out);
    // The same lines written at out, which has room for Room(count) units;
    // returns the end of what was written. For callers that keep their own
    // buffer and want no copy.
    char16_t* Feed(const uint8_t* buf, uint64_t count, char16_t* out);
    char* Feed(const uint8_t* buf, uint64_t count, char* out);
    // The most units (UTF-16 or UTF-8) that Feed writes for count bytes.
    size_t Room(uint64_t count) const;
    // Appends the closing rule.
    void End(std::u16string& out) const;
    void End(std::string& out) const;

    // The text area of the lines fed so far (bottom saturates at INT32_MAX).
    CellRect Rect() const;
    uint64_t LineCount() const { return lines_; }
    // The bytes of the next line that the last line fed already showed: with
    // the address, all the state that decides the next line's text.
    int Carry() const { return carry_; }
    // The address of the next line.
    uint64_t Address() const { return address_; }
    // Takes the carry from the count bytes at buf (whole lines, followed by
    // look-ahead), the lines before the next one fed, without writing or
    // counting them. The carry is right when those lines settle the split
    // into characters (almost any line does: a byte below 0x40 can only
    // begin a character in every code); a caller that formats a range in
    // pieces checks it against the piece before.
    void Settle(const uint8_t* buf, uint64_t count);

  private:
    template <typename Text>
    void FeedText(const uint8_t* buf, uint64_t count, Text& out);
    template <typename Char>
    Char* FeedAt(const uint8_t* buf, uint64_t count, Char* out);
    // The units one line may take.
    size_t LineRoom() const;
    // Writes one dump line of d (1 to 16) bytes at line to o; returns its end.
    // head (may be null) is the line's text up to its character column, made
    // beforehand with those of a batch of lines: its address in the last
    // digits of 16 units, then 64 units that begin with the rest (see
    // LineHeads in the source).
    template <typename Char>
    Char* WriteLine(Char* o, const uint8_t* line, int d, const char* head, int digits);

    int32_t width_;
    bool upper_;
    int32_t charCode_;
    bool lfOnly_;
    bool hideBidi_;
    uint64_t address_;  // address of the next line
    uint64_t lines_ = 0;
    int carry_ = 0;         // bytes of the next line already shown by the line before
    bool partial_ = false;  // a short line was fed: the range has ended
};

}  // namespace octile
