#pragma once
// DumpLayout: where each part of a dump line lies on the cell grid, for one
// address width. A line is the address, a bar, sixteen hexadecimal cells of
// three (high digit, low digit, blank), the separator (a bar and blanks) and
// sixteen character cells; row 0 is the ruler and the lines start at row 1.
// Every column the view, the commands and the window compute comes from here.
#include <cstdint>
#include <string_view>

namespace octile {

struct DumpSettings;

// A cell of the dump text: column and row.
struct DumpCell {
    int32_t column = 0;
    int32_t row = 0;
    bool operator==(const DumpCell&) const = default;
};

// The part of a dump line a cell belongs to.
enum class DumpArea : int32_t { kNone = -1, kHex = 0, kChar = 1 };

// The digit of a hexadecimal cell a column stands on.
enum class HexDigit : int32_t { kNone = -1, kHigh = 0, kLow = 1, kBlank = 2 };

// What a cell shows: the line (row - 1; negative above the first line), the
// byte of that line and the part and digit. Outside both areas byte is 0.
struct DumpHit {
    int64_t line = 0;
    int32_t byte = 0;
    DumpArea area = DumpArea::kNone;
    HexDigit digit = HexDigit::kNone;
};

class DumpLayout {
  public:
    static constexpr int32_t kBytesPerLine = 16;
    static constexpr int32_t kHexCellWidth = 3;  // two digits and a blank
    static constexpr int32_t kFirstLineRow = 1;  // row 0 is the ruler
    // What stands between the hexadecimal and the character cells.
    static constexpr std::string_view kSeparator = "|   ";
    static constexpr int32_t kSeparatorWidth = static_cast<int32_t>(kSeparator.size());
    static constexpr int32_t kHexWidth = kBytesPerLine * kHexCellWidth;

    // addressWidth: the cells of the address (8 and more).
    explicit constexpr DumpLayout(int32_t addressWidth) : width_(addressWidth) {}
    static DumpLayout For(const DumpSettings& s);

    constexpr int32_t AddressColumn() const { return 0; }
    constexpr int32_t AddressWidth() const { return width_; }
    // The bar between the address and the first byte.
    constexpr int32_t FirstBar() const { return width_; }
    // The high digit of byte i's hexadecimal cell (i = 16: the cell after the last).
    constexpr int32_t HexColumn(int32_t i) const { return width_ + 1 + kHexCellWidth * i; }
    constexpr int32_t HexDigitColumn(int32_t i, HexDigit d) const {
        return HexColumn(i) + static_cast<int32_t>(d);
    }
    // The first cell after the hexadecimal cells: the second bar.
    constexpr int32_t HexEnd() const { return HexColumn(kBytesPerLine); }
    constexpr int32_t SecondBar() const { return HexEnd(); }
    // The last cell of the hexadecimal area: the blank after the last byte.
    constexpr int32_t LastHexCell() const { return HexEnd() - 1; }
    // Byte i's cell in the character column (i = 16: the cell after the last).
    constexpr int32_t CharColumn(int32_t i) const { return SecondBar() + kSeparatorWidth + i; }
    constexpr int32_t CharEnd() const { return CharColumn(kBytesPerLine); }
    // The text area's columns: the hexadecimal and character cells; right exclusive.
    constexpr int32_t TextLeft() const { return HexColumn(0); }
    constexpr int32_t TextRight() const { return CharEnd(); }
    // The row of a line of the page (0 the first).
    static constexpr int64_t Row(int64_t line) { return line + kFirstLineRow; }

    // The cell a column stands on. The first bar counts as the hexadecimal
    // area's, with no digit (byte 0); the blank after the last byte as none.
    DumpHit HitTest(int32_t column, int32_t row) const;
    // The cell of the byte rel bytes after the first line's first (rel taken
    // as signed: the bytes before it land above, rows clamped to int32) in
    // the hexadecimal or the character area.
    DumpCell CellOf(uint64_t rel, DumpArea area) const;

  private:
    int32_t width_;
};

}  // namespace octile
