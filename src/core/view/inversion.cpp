#include "view/inversion.h"

#include <algorithm>

namespace octile {

PixelRect Inversion::CaretRect(const DumpCell& caret, const CellMetrics& m) {
    return {caret.column * m.charWidth + 1, caret.row * m.lineHeight + 1,
            (caret.column + 1) * m.charWidth - 2, (caret.row + 1) * m.lineHeight - 2};
}

PixelRect Inversion::SelectionRect(const CellRect& cells, const CellMetrics& m) {
    return {cells.left * m.charWidth, cells.top * m.lineHeight, (cells.right + 1) * m.charWidth - 1,
            (cells.bottom + 1) * m.lineHeight - 1};
}

void Inversion::Toggle(const PixelRect& r) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    // Inverting twice restores the pixels: a rectangle already inverted
    // leaves the list.
    auto it = std::find(spans_.begin(), spans_.end(), r);
    if (it != spans_.end()) {
        spans_.erase(it);
    } else {
        spans_.push_back(r);
    }
}

void Inversion::Invert(const PixelRect& in, const DumpLayout& layout, const CellMetrics& m) {
    PixelRect r = in;
    if (r.top > r.bottom) r = {0, in.bottom, 0, in.top};
    const int32_t cw = m.charWidth;
    const int32_t lh = m.lineHeight;
    const int32_t hexLeft = layout.HexColumn(0) * cw;
    const int32_t hexRight = layout.HexEnd() * cw;
    const int32_t charLeft = layout.CharColumn(0) * cw;
    if (r.bottom <= r.top + lh) {
        if (r.left >= charLeft) {
            Toggle({r.left, r.bottom, std::max(r.right, charLeft), r.bottom + 2});
        } else {
            Toggle({r.left, r.top, std::min(r.right, hexRight), r.bottom});
        }
        return;
    }
    Toggle({std::min(r.left, hexRight), r.top, hexRight, r.top + lh});
    int32_t y = r.top + lh;
    while (y < r.bottom - lh) {
        Toggle({hexLeft, y, hexRight, y + lh});
        y += lh;
    }
    Toggle({hexLeft, y, std::min(r.right, hexRight), r.bottom});
}

void Inversion::Draw(CaretDraw flags, const PixelRect& caret, const PixelRect& selection,
                     const DumpLayout& layout, const CellMetrics& m) {
    const int bits = static_cast<int>(flags);
    if (bits & static_cast<int>(CaretDraw::kHide)) {
        Invert(caret_, layout, m);
        caret_ = PixelRect{};
        Invert(selection_, layout, m);
        selection_ = PixelRect{};
    }
    if (bits & static_cast<int>(CaretDraw::kShow)) {
        selection_ = selection;
        Invert(selection_, layout, m);
        caret_ = caret;
        Invert(caret_, layout, m);
    }
}

void Inversion::Clear() {
    spans_.clear();
    caret_ = PixelRect{};
    selection_ = PixelRect{};
}

}  // namespace octile
