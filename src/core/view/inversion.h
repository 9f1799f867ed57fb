#pragma once
// Inversion: the pixel spans of the page that show inverted, the caret and
// the selection. Inverting a span twice restores it, so the list holds what
// differs from the page as drawn; the window inverts each span it lists.
#include <cstdint>
#include <vector>

#include "dump/dump_format.h"
#include "dump/dump_layout.h"
#include "host/ui_host.h"

namespace octile {

// DrawCaret's flags; the numbers are the flags' old values.
enum class CaretDraw : int {
    kHide = 1,  // restore what the caret and the selection inverted
    kShow = 2,  // invert the caret and the selection where they are now
    kMove = 3,  // both: from where they were to where they are
};

// The pixel size of one cell of the page.
struct CellMetrics {
    int32_t charWidth = 8;
    int32_t lineHeight = 16;
};

class Inversion {
  public:
    const std::vector<PixelRect>& Spans() const { return spans_; }

    // The caret's box inside its cell, and the selection's cells in pixels.
    static PixelRect CaretRect(const DumpCell& caret, const CellMetrics& m);
    static PixelRect SelectionRect(const CellRect& cells, const CellMetrics& m);

    // Inverts r, as the hexadecimal area shows it: a rectangle of more than
    // a line runs from its left to the line's end, over whole lines, and to
    // its right on the last; one that starts in the character column is the
    // caret's underline there.
    void Invert(const PixelRect& r, const DumpLayout& layout, const CellMetrics& m);
    // What DrawCaret does to the caret and the selection.
    void Draw(CaretDraw flags, const PixelRect& caret, const PixelRect& selection,
              const DumpLayout& layout, const CellMetrics& m);
    // The page was drawn afresh: nothing is inverted on it.
    void Clear();

  private:
    void Toggle(const PixelRect& r);

    PixelRect caret_;
    PixelRect selection_;
    std::vector<PixelRect> spans_;
};

}  // namespace octile
