#pragma once
// Selection: the anchor and the caret's offset (the selection runs between
// them, both included), the caret's cell, the selection's cells on the page
// and the state of a mouse drag.
#include <cstdint>

#include "dump/dump_format.h"
#include "dump/dump_layout.h"

namespace octile {

// How UpdateSelection moves the ends; the numbers are the steps' old values.
enum class SelectionStep : int {
    kAnchor = 0,   // the anchor to the value
    kCaret = 1,    // the caret's offset to the value
    kLeft = 2,     // the caret's offset a byte back (not before 0)
    kRight = 3,    // a byte on
    kUp = 4,       // a line back (0 from the first line)
    kDown = 5,     // a line on
    kTop = 6,      // to the first byte
    kBottom = 7,   // to the last byte
    kRefresh = 8,  // no move: the cells again, after the page moved
};

// The page the selection is shown on: its first offset and its bytes.
struct PageSpan {
    uint64_t windowOffset = 0;
    uint64_t readSize = 0;
};

class Selection {
  public:
    uint64_t Anchor() const { return anchor_; }
    uint64_t CaretOffset() const { return caretOffset_; }
    // The selection's cells: from the high digit of its first byte on the
    // page to the low digit of its last; all -1 when none is on the page.
    const CellRect& Cells() const { return cells_; }
    void Range(uint64_t& start, uint64_t& end) const;
    // Both ends to offset 0 (a file was opened).
    void Reset() { anchor_ = caretOffset_ = 0; }

    // Applies step to a file of length bytes and lays the selection out on
    // page; true when it runs past the page's top or bottom (clipped there).
    bool Update(SelectionStep step, uint64_t value, uint64_t length, const DumpLayout& layout,
                const PageSpan& page);

    DumpCell caret{10, 1};
    // A drag runs from a button press to its release; lastMouse is the cell
    // of the last mouse position seen.
    bool dragging = false;
    DumpCell lastMouse{0, 0};

  private:
    uint64_t anchor_ = 0;
    uint64_t caretOffset_ = 0;
    CellRect cells_{-1, -1, -1, -1};
};

}  // namespace octile
