#include "view/selection.h"

#include <algorithm>
#include <limits>

namespace octile {

void Selection::Range(uint64_t& start, uint64_t& end) const {
    start = std::min(anchor_, caretOffset_);
    end = std::max(anchor_, caretOffset_);
}

bool Selection::Update(SelectionStep step, uint64_t value, uint64_t length,
                       const DumpLayout& layout, const PageSpan& page) {
    constexpr uint64_t kLine = DumpLayout::kBytesPerLine;
    switch (step) {
        case SelectionStep::kAnchor:
            anchor_ = value;
            break;
        case SelectionStep::kCaret:
            caretOffset_ = value;
            break;
        case SelectionStep::kLeft:
            if (caretOffset_ > 0) --caretOffset_;
            break;
        case SelectionStep::kRight:
            ++caretOffset_;
            break;
        case SelectionStep::kUp:
            caretOffset_ = caretOffset_ < kLine ? 0 : caretOffset_ - kLine;
            break;
        case SelectionStep::kDown:
            caretOffset_ += kLine;
            break;
        case SelectionStep::kTop:
            caretOffset_ = 0;
            break;
        case SelectionStep::kBottom:
            caretOffset_ = length - 1;
            break;
        case SelectionStep::kRefresh:
            break;
    }
    if (length == 0) {
        // An empty file has no byte to stand on: both ends stay at 0 (a
        // cell offset on the empty page would wrap below it).
        anchor_ = caretOffset_ = 0;
    } else {
        // Neither end stays past the end of a file that became shorter.
        caretOffset_ = std::min(caretOffset_, length - 1);
        anchor_ = std::min(anchor_, length - 1);
    }
    uint64_t s, e;
    Range(s, e);
    DumpCell start = layout.CellOf(s - page.windowOffset, DumpArea::kHex);
    DumpCell end = layout.CellOf(e - page.windowOffset, DumpArea::kHex);
    end.column += static_cast<int32_t>(HexDigit::kLow);
    const auto rows = static_cast<int32_t>(
        std::min<uint64_t>(page.readSize / kLine, std::numeric_limits<int32_t>::max()));
    if (end.row >= DumpLayout::kFirstLineRow && start.row <= rows && length != 0) {
        bool clipped = false;
        if (start.row < DumpLayout::kFirstLineRow) {
            start = {layout.HexColumn(0), DumpLayout::kFirstLineRow};
            clipped = true;
        }
        if (end.row > rows) {
            end = {layout.HexEnd(), rows};
            clipped = true;
        }
        cells_ = {start.column, start.row, end.column, end.row};
        return clipped;
    }
    cells_ = {-1, -1, -1, -1};
    return false;
}

}  // namespace octile
