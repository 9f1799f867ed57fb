#include "dump/dump_layout.h"

#include <algorithm>
#include <limits>

#include "dump/dump_format.h"

namespace octile {

DumpLayout DumpLayout::For(const DumpSettings& s) { return DumpLayout(octile::AddressWidth(s)); }

DumpHit DumpLayout::HitTest(int32_t column, int32_t row) const {
    DumpHit h;
    h.line = static_cast<int64_t>(row) - kFirstLineRow;
    if (column < FirstBar()) return h;
    if (column < LastHexCell()) {
        // From the bar on: the bar itself is digit -1 of byte 0.
        const int32_t d = column - HexColumn(0);
        h.area = DumpArea::kHex;
        h.digit = static_cast<HexDigit>(d % kHexCellWidth);
        h.byte = d / kHexCellWidth;
        return h;
    }
    if (column >= CharColumn(0) && column < CharEnd()) {
        h.area = DumpArea::kChar;
        h.digit = HexDigit::kHigh;
        h.byte = column - CharColumn(0);
    }
    return h;
}

DumpCell DumpLayout::CellOf(uint64_t rel, DumpArea area) const {
    // Rows are taken as a signed distance, so offsets far before the first
    // line land above it rather than wrapping back onto the page.
    const auto signedRel = static_cast<int64_t>(rel);
    int64_t row = signedRel / kBytesPerLine + kFirstLineRow;
    if (signedRel < 0 && signedRel % kBytesPerLine != 0) row -= 1;
    const auto i = static_cast<int32_t>(rel % kBytesPerLine);
    DumpCell cell;
    cell.row = static_cast<int32_t>(std::clamp<int64_t>(row, std::numeric_limits<int32_t>::min(),
                                                        std::numeric_limits<int32_t>::max()));
    cell.column = area == DumpArea::kChar ? CharColumn(i) : HexColumn(i);
    return cell;
}

}  // namespace octile
