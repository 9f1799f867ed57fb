// COctileView: what the mouse and the keyboard do on the page: clicks,
// drags, the wheel and the scroll bar, and typing over bytes.
#include <algorithm>
#include <cstring>
#include <string>

#include "charcode/charcode.h"
#include "resources/resources.h"
#include "settings/ini_file.h"
#include "settings/paths.h"
#include "util/utf.h"
#include "view/view.h"
#include "view/view_font.h"

namespace octile {

namespace {

constexpr uint64_t kLine = DumpLayout::kBytesPerLine;

}  // namespace

// ---------------------------------------------------------------- mouse

void COctileView::OnLButtonDown(int32_t x, int32_t y, bool shift) {
    const Cell cell = CellAtPixel(x, y);
    selection_.lastMouse = cell;
    if (!InTextArea(cell) || page_.fileLines == 0) return;
    selection_.caret = cell;
    const uint64_t offset = CellToOffset(cell.column, cell.row).offset;
    if (!shift) UpdateSelection(SelectionStep::kAnchor, offset);
    UpdateSelection(SelectionStep::kCaret, offset);
    DrawCaret(CaretDraw::kMove);
    selection_.dragging = true;
    host_.SetCapture();
    host_.SetTimer(kDragTimerId, kDragTimerMs);
}

void COctileView::DragTo(int32_t x, int32_t y) {
    const Cell cell = CellAtPixel(x, y);
    if (InTextArea(cell)) {
        if (!(cell == selection_.lastMouse)) {
            UpdateSelection(SelectionStep::kCaret, CellToOffset(cell.column, cell.row).offset);
            DrawCaret(CaretDraw::kMove);
        }
    } else {
        uint64_t newOffset;
        uint64_t caret;
        if (cell.row >= DumpLayout::kFirstLineRow) {
            newOffset = page_.offset + kLine;
            caret = page_.offset + page_.size + kLine - 1;
        } else {
            newOffset = page_.LineUp();
            caret = newOffset;
        }
        UpdateSelection(SelectionStep::kCaret, caret);
        const uint64_t before = page_.offset;
        SetWindowOffset(newOffset);
        // At either end of the file the window stays; show the selection anyway.
        if (page_.offset == before) DrawCaret(CaretDraw::kMove);
    }
    selection_.lastMouse = cell;
}

void COctileView::OnMouseMove(int32_t x, int32_t y) {
    if (selection_.dragging) DragTo(x, y);
}

void COctileView::OnTimer(uint32_t id) {
    if (id != kDragTimerId || !selection_.dragging) return;
    const Point p = host_.GetCursorPos();
    DragTo(p.x, p.y);
}

void COctileView::OnLButtonUp(int32_t x, int32_t y) {
    if (!selection_.dragging) return;
    const Cell cell = CellAtPixel(x, y);
    if (InTextArea(cell)) {
        selection_.caret = cell;
        UpdateSelection(SelectionStep::kCaret, CellToOffset(cell.column, cell.row).offset);
    }
    host_.KillTimer(kDragTimerId);
    host_.ReleaseCapture();
    selection_.dragging = false;
    DrawCaret(CaretDraw::kMove);
}

void COctileView::OnMouseWheel(int32_t delta) {
    SetWindowOffset(page_.Wheel(delta, host_.GetWheelScrollLines()));
}

void COctileView::OnVScroll(int request, int32_t position) {
    switch (request) {
        case SB_LINEUP:
            ScrollLineUp();
            break;
        case SB_LINEDOWN:
            ScrollLineDown();
            break;
        case SB_PAGEUP:
            OnPagePrev();
            break;
        case SB_PAGEDOWN:
            OnPageNext();
            break;
        case SB_THUMBTRACK:
            SetWindowOffset(page_.Thumb(position));
            break;
        case SB_TOP:
            SetWindowOffset(0);
            break;
        case SB_BOTTOM:
            SetWindowOffset(page_.LastLine());
            break;
        default:
            break;
    }
}

void COctileView::OnSize(int32_t height, bool minimized) {
    if (minimized || height <= 0) return;
    clientHeight_ = height;
    ResizeRows(height);
}

// ---------------------------------------------------------------- typing

void COctileView::MoveCaretAfter(uint64_t offset, CellMode mode) {
    Cell cell;
    if (!OffsetToCell(mode, offset + 1, cell)) {
        ScrollLineDown();
        OffsetToCell(mode, offset + 1, cell);
    }
    selection_.caret = cell;
}

void COctileView::OnText(std::u16string_view text) {
    const bool utf8 = display_.dump.charCode == CODE_UTF8;
    for (size_t k = 0; k < text.size(); ++k) {
        uint8_t bytes[4];
        int n = 0;
        if (utf8) {
            // A surrogate pair is one character of four bytes; a lone
            // surrogate becomes U+FFFD.
            const size_t units =
                IsHighSurrogate(text[k]) && k + 1 < text.size() && IsLowSurrogate(text[k + 1]) ? 2
                                                                                               : 1;
            const std::string encoded = Utf16ToUtf8(text.substr(k, units));
            k += units - 1;
            n = static_cast<int>(encoded.size());
            std::memcpy(bytes, encoded.data(), encoded.size());
            // A character whose bytes would run past the end of the file is
            // refused whole: a part of it would leave a broken sequence.
            const HitTest hit = CellToOffset(selection_.caret.column, selection_.caret.row);
            const uint64_t length = doc_.LiveLength();
            if (hit.area == Area::kChar && hit.offset < length &&
                length - hit.offset < static_cast<uint64_t>(n)) {
                typing_.Clear();
                continue;
            }
        } else {
            n = WideToShiftJis(&text[k], 1, bytes, sizeof bytes);
        }
        for (int i = 0; i < n; ++i) {
            const uint64_t before =
                CellToOffset(selection_.caret.column, selection_.caret.row).offset;
            OnChar(bytes[i]);
            if (i + 1 < n &&
                CellToOffset(selection_.caret.column, selection_.caret.row).offset <= before) {
                // The caret could not move on past the end of the file: the
                // character's next byte has no place, and must not land on
                // the byte the caret was pulled back to. A lead waiting for
                // it is dropped with it.
                typing_.Clear();
                break;
            }
        }
    }
}

void COctileView::OnChar(uint8_t byte) {
    // A lead byte typed into another file, or before the file was reopened,
    // has no place to go any more.
    typing_.Expire(doc_.OpenSerial());
    const HitTest hit = CellToOffset(selection_.caret.column, selection_.caret.row);
    const bool refused = !doc_.HasFile() || doc_.IsReadOnly() || hit.offset >= doc_.LiveLength() ||
                         (isBusy && isBusy()) || !page_.bytes || hit.offset < page_.offset ||
                         hit.offset - page_.offset >= page_.valid || hit.area == Area::kNone;
    if (refused) {
        // A refused key ends a half-typed character too: its trail byte, if
        // this was one, is gone, and a later key must not pair with the lead.
        typing_.Clear();
        return;
    }
    if (hit.area == Area::kHex) {
        TypeHex(hit, byte);
    } else {
        TypeChar(hit.offset, byte);
    }
}

void COctileView::TypeHex(const HitTest& hit, uint8_t byte) {
    typing_.Clear();
    const int digit = HexDigitValue(byte);
    if (digit < 0) return;
    const auto v = static_cast<uint8_t>(digit);
    uint8_t& b = page_.bytes[hit.offset - page_.offset];
    if (hit.digit == HexDigit::kHigh) {
        b = static_cast<uint8_t>((b & 0x0F) | (v << 4));
        page_.WriteBack(doc_);
        ReloadWindow();
        OnCommand(ID_CARET_RIGHT);
    } else if (hit.digit == HexDigit::kLow) {
        b = static_cast<uint8_t>((b & 0xF0) | v);
        page_.WriteBack(doc_);
        MoveCaretAfter(hit.offset, CellMode::kHex);
        ReloadWindow();
    } else {
        // On the blank after a byte: the digit goes to the next byte.
        MoveCaretAfter(hit.offset, CellMode::kHex);
        OnChar(byte);
    }
}

void COctileView::TypeChar(uint64_t offset, uint8_t byte) {
    const TypedChar typed = typing_.Type(display_.dump.charCode, byte, offset, doc_.OpenSerial());
    if (typed.pair) {
        page_.StoreByte(doc_, typed.leadOffset, typed.bytes[0]);
        page_.StoreByte(doc_, offset, typed.bytes[1]);
    } else {
        if (typed.count >= 1) page_.StoreByte(doc_, offset, typed.bytes[0]);
        if (typed.count >= 2) {
            // The second byte may lie past the page's valid bytes: the window
            // moves on first.
            if (offset + 1 - page_.offset >= page_.valid) {
                page_.WriteBack(doc_);
                ScrollLineDown();
            }
            page_.StoreByte(doc_, offset + 1, typed.bytes[1]);
            ++offset;
        }
        if (typed.skipNext) ++offset;
    }
    page_.WriteBack(doc_);
    MoveCaretAfter(offset, CellMode::kChar);
    ReloadWindow();
}

}  // namespace octile
