#include "view/view.h"

#include <algorithm>
#include <limits>
#include <new>

#include "charcode/charcode.h"
#include "charcode/cp932_table.h"
#include "resources/resources.h"
#include "settings/ini_file.h"
#include "settings/paths.h"
#include "settings/template_file.h"
#include "util/utf.h"

namespace octile {

namespace {

constexpr size_t kMaxFaceName = 31;

int32_t ClampToInt32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace

COctileView::COctileView(UiHost& host, COctileDoc& doc, ProfileStore& store)
    : host_(host), doc_(doc), store_(store) {
    readWindow_.reset(new (std::nothrow) uint8_t[kInitialReadSize + COctileDoc::kLookAhead]());
    font_.faceName = LoadString(IDS_FONT_FACE);
}

COctileView::~COctileView() = default;

// ---------------------------------------------------------------- life

void COctileView::OnCreate() {
    ReadSettings();
    host_.SetScrollRange(0, 0);
    host_.SetScrollPos(0);
    host_.ShowScrollBar(false);
    MeasureFont();
}

void COctileView::OnInitialUpdate() {
    perUserFolder_ = GetPerUserFolder();
    if (!perUserFolder_.empty()) MakeFolders(perUserFolder_.substr(0, perUserFolder_.size() - 1));
    std::optional<IniFile> saved;
    if (!markedPath_.empty()) saved = SaveMarks(markedPath_);
    markedPath_ = doc_.GetPathName();
    fileOpen_ = !markedPath_.empty();
    pending_ = false;
    if (fileOpen_) {
        LoadMarks(markedPath_, saved ? &*saved : nullptr);  // no second read of the file
        commandEnable_ = true;
        windowOffset_ = 0;
        dump_.extraDigits = ExtraDigitsForLength(doc_.GetFileLength());
        fileLineCount_ = (doc_.GetFileLength() + 15) / 16;
        anchor_ = caretOffset_ = 0;
        scrollUnit_ = 1;
        for (int32_t i = 0; i < dump_.extraDigits; ++i) scrollUnit_ *= 16;
        ApplyScrollRange();
        host_.SetScrollPos(0);
        host_.ShowScrollBar(true);
        ReloadWindow();
    }
    host_.RecalcFrameWidth();
    if (fileOpen_ && onDetectPicture) onDetectPicture();
}

void COctileView::ApplyScrollRange() {
    const int64_t top = static_cast<int64_t>(fileLineCount_ / scrollUnit_) - 1;
    host_.SetScrollRange(0, ClampToInt32(std::max<int64_t>(top, 0)));
}

void COctileView::OnDestroy() {
    if (!markedPath_.empty()) SaveMarks(markedPath_);
    marks_.clear();
    markCapacity_ = 0;
    if (dragging_) {  // the drag timer runs
        host_.KillTimer(kDragTimerId);
        dragging_ = false;
    }
    WriteSettings();
}

// ---------------------------------------------------------------- settings

namespace {

// The settings keys of the five mark kinds' colours.
constexpr const char* kMarkColourKeys[5] = {"MarkColor", "MarkColor2", "MarkColor3", "MarkColor4",
                                            "MarkColor5"};

}  // namespace

void COctileView::ReadSettings() {
    auto colour = [&](const char* key, uint32_t def) {
        return static_cast<uint32_t>(store_.GetProfileInt("View", key, static_cast<int32_t>(def)));
    };
    textColour_ = colour("Color", 0x000000);
    backColour_ = colour("BKColor", 0xFFFFFF);
    for (int i = 0; i < 5; ++i) SetMarkColour(i, colour(kMarkColourKeys[i], kDefaultMarkColours[i]));
    dump_.charCode = store_.GetProfileInt("View", "CodeType", 0);
    viewer_ = store_.GetProfileInt("View", "Viewer", 0) != 0;
    dump_.upper = store_.GetProfileInt("View", "Upper", 0) != 0;
    compPath_ = store_.GetProfileString("View", "CompPath", "");
    font_.height = store_.GetProfileInt("Font", "Height", -15);
    font_.weight = store_.GetProfileInt("Font", "Weight", 400);
    font_.italic = static_cast<uint8_t>(store_.GetProfileInt("Font", "Italic", 0) & 0xFF);
    font_.faceName = Utf8ToUtf16(
        store_.GetProfileString("Font", "FaceName", Utf16ToUtf8(LoadString(IDS_FONT_FACE))));
    if (font_.faceName.size() > kMaxFaceName) font_.faceName.resize(kMaxFaceName);
}

void COctileView::WriteSettings() {
    auto colour = [&](const char* key, uint32_t value) {
        store_.WriteProfileInt("View", key, static_cast<int32_t>(value));
    };
    colour("Color", textColour_);
    colour("BKColor", backColour_);
    for (int i = 0; i < 5; ++i) colour(kMarkColourKeys[i], markColours_[i]);
    store_.WriteProfileInt("View", "CodeType", dump_.charCode);
    store_.WriteProfileInt("View", "Viewer", viewer_ ? 1 : 0);
    store_.WriteProfileInt("View", "Upper", dump_.upper ? 1 : 0);
    store_.WriteProfileString("View", "CompPath", compPath_);
    store_.WriteProfileInt("Font", "Height", font_.height);
    store_.WriteProfileInt("Font", "Weight", font_.weight);
    store_.WriteProfileInt("Font", "Italic", font_.italic);
    store_.WriteProfileString("Font", "FaceName", Utf16ToUtf8(font_.faceName));
}

void COctileView::SetMarkColour(int index, uint32_t colour) {
    if (index < 0 || index > 4) return;
    markColours_[index] = colour;
    if (onMarkColour) onMarkColour(index, colour);
}

uint32_t COctileView::GetMarkColour(int kind) const {
    return kind >= 1 && kind <= 5 ? markColours_[kind - 1] : 0;
}

// ---------------------------------------------------------------- geometry

COctileView::HitTest COctileView::CellToOffset(int32_t column, int32_t row) const {
    const int32_t e = dump_.extraDigits;
    // The row product is a signed value added to the window offset.
    const uint64_t base = windowOffset_ + static_cast<uint64_t>(16 * (static_cast<int64_t>(row) - 1));
    HitTest h;
    h.offset = base;
    if (column < e + 8) return h;
    if (column <= e + 55) {
        const int32_t d = column - (e + 9);
        h.area = AREA_HEX;
        h.digit = d % 3;
        h.offset = base + static_cast<uint64_t>(static_cast<int64_t>(d / 3));
        return h;
    }
    if (column >= e + 61 && column <= e + 76) {
        h.area = AREA_CHAR;
        h.digit = 0;
        h.offset = base + static_cast<uint64_t>(column - e - 61);
    }
    return h;
}

bool COctileView::OffsetToCell(int mode, uint64_t offset, Cell& cell) const {
    if (mode == 0 || mode == 1) {
        if (offset < windowOffset_ || offset - windowOffset_ >= readSize_) {
            cell = {-1, -1};
            return false;
        }
    }
    const uint64_t rel = offset - windowOffset_;  // wraps for offsets before the window
    // Rows are taken as a signed distance, so offsets far before the window
    // land above it rather than wrapping back onto the page.
    cell.row = ClampToInt32(static_cast<int64_t>(rel) / 16 + 1);
    if (static_cast<int64_t>(rel) < 0 && static_cast<int64_t>(rel) % 16 != 0) cell.row -= 1;
    const int32_t col = static_cast<int32_t>(rel % 16);
    const bool hex = mode == 0 || mode == 2;
    cell.column = dump_.extraDigits + (hex ? 9 + 3 * col : 61 + col);
    return true;
}

bool COctileView::InTextArea(const Cell& c) const {
    return c.column >= textArea_.left && c.column < textArea_.right && c.row >= textArea_.top &&
           c.row < textArea_.bottom;
}

// ---------------------------------------------------------------- selection

bool COctileView::UpdateSelection(int step, uint64_t value) {
    const uint64_t length = doc_.GetFileLength();
    switch (step) {
        case 0: anchor_ = value; break;
        case 1: caretOffset_ = value; break;
        case 2: if (caretOffset_ > 0) --caretOffset_; break;
        case 3: ++caretOffset_; break;
        case 4: caretOffset_ = caretOffset_ < 16 ? 0 : caretOffset_ - 16; break;
        case 5: caretOffset_ += 16; break;
        case 6: caretOffset_ = 0; break;
        case 7: caretOffset_ = length - 1; break;
        default: break;
    }
    if (length == 0) {
        // An empty file has no byte to stand on: both ends stay at 0 (a
        // cell offset on the empty page would wrap below it).
        anchor_ = caretOffset_ = 0;
    } else if (caretOffset_ > length - 1) {
        caretOffset_ = length - 1;
    }
    const uint64_t s = std::min(anchor_, caretOffset_);
    const uint64_t e = std::max(anchor_, caretOffset_);
    Cell start, end;
    OffsetToCell(2, s, start);
    OffsetToCell(2, e, end);
    end.column += 1;
    const int32_t rows = ClampToInt32(static_cast<int64_t>(readSize_ / 16));
    if (end.row >= 1 && start.row <= rows && length != 0) {
        bool clipped = false;
        if (start.row <= 0) {
            start = {dump_.extraDigits + 9, 1};
            clipped = true;
        }
        if (end.row > rows) {
            end = {dump_.extraDigits + 57, rows};
            clipped = true;
        }
        selCells_ = {start.column, start.row, end.column, end.row};
        return clipped;
    }
    selCells_ = {-1, -1, -1, -1};
    return false;
}

void COctileView::GetSelectionRange(uint64_t& start, uint64_t& end) const {
    start = std::min(anchor_, caretOffset_);
    end = std::max(anchor_, caretOffset_);
}

// ---------------------------------------------------------------- inversion

PixelRect COctileView::CaretRect() const {
    return {caret_.column * charWidth_ + 1, caret_.row * lineHeight_ + 1,
            (caret_.column + 1) * charWidth_ - 2, (caret_.row + 1) * lineHeight_ - 2};
}

PixelRect COctileView::SelectionRect() const {
    return {selCells_.left * charWidth_, selCells_.top * lineHeight_,
            (selCells_.right + 1) * charWidth_ - 1, (selCells_.bottom + 1) * lineHeight_ - 1};
}

void COctileView::Toggle(const PixelRect& r) {
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

void COctileView::InvertSpan(const PixelRect& in) {
    PixelRect r = in;
    if (r.top > r.bottom) r = {0, in.bottom, 0, in.top};
    const int32_t e = dump_.extraDigits;
    const int32_t cw = charWidth_;
    const int32_t lh = lineHeight_;
    const int32_t hexLeft = (e + 9) * cw;
    const int32_t hexRight = (e + 57) * cw;
    const int32_t charLeft = (e + 61) * cw;
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

void COctileView::DrawCaret(int flags) {
    if (flags & 1) {
        InvertSpan(invertedCaret_);
        invertedCaret_ = PixelRect{};
        InvertSpan(invertedSelection_);
        invertedSelection_ = PixelRect{};
    }
    if (flags & 2) {
        invertedSelection_ = SelectionRect();
        InvertSpan(invertedSelection_);
        invertedCaret_ = CaretRect();
        InvertSpan(invertedCaret_);
    }
    host_.UpdateInversions();
}

void COctileView::BeginPaint() {
    // The page was drawn afresh: nothing is inverted on it yet.
    spans_.clear();
    invertedCaret_ = PixelRect{};
    invertedSelection_ = PixelRect{};
    if (!fileOpen_) return;
    invertedSelection_ = SelectionRect();
    InvertSpan(invertedSelection_);
    invertedCaret_ = CaretRect();
    InvertSpan(invertedCaret_);
}

// ---------------------------------------------------------------- window

void COctileView::ReloadWindow() {
    if (!readWindow_) return;
    validCount_ = doc_.ReadBytes(readWindow_.get(), readSize_, windowOffset_);
    dumpText_ = FormatDump(dump_, windowOffset_, readWindow_.get(), validCount_, &textArea_);
    UpdateSelection(8);
    if (InTextArea(caret_)) {
        DrawCaret(1);
    } else if (fileOpen_) {
        caret_.row = textArea_.bottom - 1;
        DrawCaret(3);
    }
    host_.RepaintView();
}

void COctileView::SetWindowOffset(uint64_t offset, bool force) {
    if (offset == windowOffset_ && !force) return;
    if (!doc_.IsInFile(offset)) return;
    windowOffset_ = offset;
    host_.SetScrollPos(ClampToInt32(static_cast<int64_t>((offset + 15) / (16 * scrollUnit_))));
    ReloadWindow();
}

void COctileView::ScrollLineDown() {
    SetWindowOffset(std::min(windowOffset_ + 16, fileLineCount_ * 16));
}

void COctileView::ScrollLineUp() { SetWindowOffset(windowOffset_ < 16 ? 0 : windowOffset_ - 16); }

void COctileView::SetReadSize(uint64_t size) {
    readWindow_.reset();
    readSize_ = size;
    readWindow_.reset(new (std::nothrow) uint8_t[size + COctileDoc::kLookAhead]());
    ReloadWindow();
}

void COctileView::ResizeRows(int32_t height) {
    if (lineHeight_ <= 0) return;
    const int64_t rows = height / lineHeight_;
    if (rows - 1 < 1) return;
    const uint64_t size = static_cast<uint64_t>(rows - 1) * 16;
    if (size == readSize_) return;
    SetReadSize(size);
}

void COctileView::MeasureFont() {
    const FontMetrics m = host_.MeasureFont(font_);
    // A font the system reports with no size would make every cell empty.
    charWidth_ = std::max(1, m.charWidth);
    lineHeight_ = std::max(1, m.lineHeight);
}

// ---------------------------------------------------------------- mouse

void COctileView::OnLButtonDown(int32_t x, int32_t y, bool shift) {
    const Cell cell{x / charWidth_, y / lineHeight_};
    lastMouse_ = cell;
    if (!InTextArea(cell) || fileLineCount_ == 0) return;
    caret_ = cell;
    const uint64_t offset = CellToOffset(cell.column, cell.row).offset;
    if (!shift) UpdateSelection(0, offset);
    UpdateSelection(1, offset);
    DrawCaret(3);
    dragging_ = true;
    host_.SetCapture();
    host_.SetTimer(kDragTimerId, kDragTimerMs);
}

void COctileView::DragTo(int32_t x, int32_t y) {
    const Cell cell{x / charWidth_, y / lineHeight_};
    if (InTextArea(cell)) {
        if (!(cell == lastMouse_)) {
            UpdateSelection(1, CellToOffset(cell.column, cell.row).offset);
            DrawCaret(3);
        }
    } else {
        uint64_t newOffset;
        uint64_t caret;
        if (cell.row >= 1) {
            newOffset = windowOffset_ + 16;
            caret = windowOffset_ + readSize_ + 15;
        } else {
            newOffset = windowOffset_ < 16 ? 0 : windowOffset_ - 16;
            caret = newOffset;
        }
        UpdateSelection(1, caret);
        const uint64_t before = windowOffset_;
        SetWindowOffset(newOffset);
        // At either end of the file the window stays; show the selection anyway.
        if (windowOffset_ == before) DrawCaret(3);
    }
    lastMouse_ = cell;
}

void COctileView::OnMouseMove(int32_t x, int32_t y) {
    if (dragging_) DragTo(x, y);
}

void COctileView::OnTimer(uint32_t id) {
    if (id != kDragTimerId || !dragging_) return;
    const Point p = host_.GetCursorPos();
    DragTo(p.x, p.y);
}

void COctileView::OnLButtonUp(int32_t x, int32_t y) {
    if (!dragging_) return;
    const Cell cell{x / charWidth_, y / lineHeight_};
    if (InTextArea(cell)) {
        caret_ = cell;
        UpdateSelection(1, CellToOffset(cell.column, cell.row).offset);
    }
    host_.KillTimer(kDragTimerId);
    host_.ReleaseCapture();
    dragging_ = false;
    DrawCaret(3);
}

void COctileView::OnMouseWheel(int32_t delta) {
    const int32_t lines = host_.GetWheelScrollLines();
    int64_t step;
    if (lines != -1) {
        step = static_cast<int64_t>(ClampToInt32(static_cast<int64_t>(delta) * lines * 16)) / 120;
    } else {
        step = static_cast<int64_t>(readSize_) * delta / 120;
    }
    uint64_t target = windowOffset_ - static_cast<uint64_t>(step);
    if (delta >= 0) {
        if ((step > 0 && static_cast<uint64_t>(step) > windowOffset_) || target < 16) target = 0;
    } else {
        target = std::min(target, fileLineCount_ * 16);
    }
    SetWindowOffset(target);
}

void COctileView::OnVScroll(int request, int32_t position) {
    switch (request) {
        case SB_LINEUP: ScrollLineUp(); break;
        case SB_LINEDOWN: ScrollLineDown(); break;
        case SB_PAGEUP: OnPagePrev(); break;
        case SB_PAGEDOWN: OnPageNext(); break;
        case SB_THUMBTRACK:
            SetWindowOffset(scrollUnit_ * static_cast<uint64_t>(std::max(position, 0)) * 16);
            break;
        case SB_TOP: SetWindowOffset(0); break;
        case SB_BOTTOM: SetWindowOffset((fileLineCount_ - 1) * 16); break;
        default: break;
    }
}

void COctileView::OnSize(int32_t height, bool minimized) {
    if (minimized || height <= 0) return;
    clientHeight_ = height;
    ResizeRows(height);
}

// ---------------------------------------------------------------- typing

void COctileView::WriteBack() {
    // The page's bytes past the file's present end are not written back: the
    // file was shortened behind the page, and writing them would lengthen it.
    const uint64_t length = doc_.LiveLength();
    if (!readWindow_ || windowOffset_ >= length) return;
    const auto count =
        static_cast<uint32_t>(std::min<uint64_t>(validCount_, length - windowOffset_));
    doc_.WriteBytes(readWindow_.get(), count, windowOffset_);
}

void COctileView::StoreByte(uint64_t offset, uint8_t value) {
    // Bytes inside the read window (look-ahead included) go into it; a byte
    // whose window has moved on, as a lead byte typed before a scroll, goes
    // straight to the file instead of past the buffer.
    if (readWindow_ && offset >= windowOffset_ &&
        offset - windowOffset_ < readSize_ + COctileDoc::kLookAhead) {
        readWindow_[offset - windowOffset_] = value;
    } else if (offset < doc_.LiveLength()) {
        doc_.WriteBytes(&value, 1, offset);
    }
}

void COctileView::MoveCaretAfter(uint64_t offset, int mode) {
    Cell cell;
    if (!OffsetToCell(mode, offset + 1, cell)) {
        ScrollLineDown();
        OffsetToCell(mode, offset + 1, cell);
    }
    caret_ = cell;
}

void COctileView::OnText(std::u16string_view text) {
    for (char16_t unit : text) {
        uint8_t bytes[4];
        const int n = WideToShiftJis(&unit, 1, bytes, sizeof bytes);
        for (int i = 0; i < n; ++i) {
            const uint64_t before = CellToOffset(caret_.column, caret_.row).offset;
            OnChar(bytes[i]);
            if (i + 1 < n && CellToOffset(caret_.column, caret_.row).offset <= before) {
                // The caret could not move on past the end of the file: the
                // character's next byte has no place, and must not land on
                // the byte the caret was pulled back to. A lead waiting for
                // it is dropped with it.
                pending_ = false;
                break;
            }
        }
    }
}

void COctileView::OnChar(uint8_t byte) {
    // A lead byte typed into another file, or before the file was reopened,
    // has no place to go any more.
    if (pending_ && pendingSerial_ != doc_.OpenSerial()) pending_ = false;
    const HitTest hit = CellToOffset(caret_.column, caret_.row);
    const bool refused =
        !doc_.HasFile() || doc_.IsReadOnly() || hit.offset >= doc_.LiveLength() ||
        (isBusy && isBusy()) || !readWindow_ || hit.offset < windowOffset_ ||
        hit.offset - windowOffset_ >= validCount_ ||
        (hit.area != AREA_HEX && hit.area != AREA_CHAR);
    if (refused) {
        // A refused key ends a half-typed character too: its trail byte, if
        // this was one, is gone, and a later key must not pair with the lead.
        pending_ = false;
        return;
    }
    if (hit.area == AREA_HEX) {
        TypeHex(hit, byte);
    } else {
        TypeChar(hit.offset, byte);
    }
}

void COctileView::TypeHex(const HitTest& hit, uint8_t byte) {
    pending_ = false;
    const int digit = HexDigitValue(byte);
    if (digit < 0) return;
    const auto v = static_cast<uint8_t>(digit);
    uint8_t& b = readWindow_[hit.offset - windowOffset_];
    if (hit.digit == 0) {
        b = static_cast<uint8_t>((b & 0x0F) | (v << 4));
        WriteBack();
        ReloadWindow();
        OnCommand(ID_CARET_RIGHT);
    } else if (hit.digit == 1) {
        b = static_cast<uint8_t>((b & 0xF0) | v);
        WriteBack();
        MoveCaretAfter(hit.offset, 0);
        ReloadWindow();
    } else {
        // On the blank after a byte: the digit goes to the next byte.
        MoveCaretAfter(hit.offset, 0);
        OnChar(byte);
    }
}

void COctileView::TypeChar(uint64_t offset, uint8_t byte) {
    const bool lead = cp932::IsLeadByte(byte);
    // Stores the second byte of a two-byte result, moving the window on when
    // that byte lies past the page's valid bytes.
    auto storeSecond = [&](uint8_t value) {
        if (offset + 1 - windowOffset_ >= validCount_) {
            WriteBack();
            ScrollLineDown();
        }
        StoreByte(offset + 1, value);
        ++offset;
    };
    if (dump_.charCode == CODE_SJIS) {
        pending_ = false;
        StoreByte(offset, byte);
    } else if (dump_.charCode == CODE_UNICODE) {
        if (pending_) {
            pending_ = false;
            const uint8_t pair[3] = {pendingLead_, byte, 0};
            char16_t u[4];
            int overhang = 0;
            if (ShiftJisToWide(pair, 1, u, sizeof u, &overhang) == 1 && overhang == 1) {
                StoreByte(pendingOffset_, static_cast<uint8_t>(u[0] & 0xFF));
                StoreByte(offset, static_cast<uint8_t>(u[0] >> 8));
            }
        } else if (lead) {
            pending_ = true;
            pendingLead_ = byte;
            pendingOffset_ = offset;
            pendingSerial_ = doc_.OpenSerial();
        } else {
            const uint8_t one[2] = {byte, 0};
            char16_t u[4];
            if (ShiftJisToWide(one, 1, u, sizeof u, nullptr) == 1) {
                StoreByte(offset, static_cast<uint8_t>(u[0] & 0xFF));
                storeSecond(static_cast<uint8_t>(u[0] >> 8));
            } else {
                ++offset;
            }
        }
    } else {
        if (pending_) {
            pending_ = false;
            const uint8_t pair[3] = {pendingLead_, byte, 0};
            uint8_t e[8] = {};
            if (ShiftJisToEuc(pair, 2, e) != 0) {
                StoreByte(pendingOffset_, e[0]);
                StoreByte(offset, e[1]);
            }
        } else if (lead) {
            pending_ = true;
            pendingLead_ = byte;
            pendingOffset_ = offset;
            pendingSerial_ = doc_.OpenSerial();
        } else {
            const uint8_t one[2] = {byte, 0};
            uint8_t e[8] = {};
            const int n = ShiftJisToEuc(one, 1, e);
            if (n >= 1) StoreByte(offset, e[0]);
            if (n >= 2) storeSecond(e[1]);
        }
    }
    WriteBack();
    MoveCaretAfter(offset, 1);
    ReloadWindow();
}

// ---------------------------------------------------------------- display

void COctileView::OnChooseColour(uint32_t id) {
    uint32_t colour;
    if (id == ID_VIEW_COLOR) {
        colour = textColour_;
    } else if (id == ID_VIEW_BKCOLOR) {
        colour = backColour_;
    } else {
        colour = markColours_[id - ID_MARK_COLOR1];
    }
    if (!host_.ChooseColor(colour)) return;
    if (id == ID_VIEW_COLOR) {
        textColour_ = colour;
    } else if (id == ID_VIEW_BKCOLOR) {
        backColour_ = colour;
    } else {
        SetMarkColour(static_cast<int>(id - ID_MARK_COLOR1), colour);
    }
    ReloadWindow();
}

void COctileView::OnChooseFont() {
    ViewFont chosen = font_;
    if (!host_.ChooseFont(chosen)) return;
    font_ = chosen;
    if (font_.faceName.size() > kMaxFaceName) font_.faceName.resize(kMaxFaceName);
    MeasureFont();
    if (clientHeight_ > 0) ResizeRows(clientHeight_);
    host_.RecalcFrameWidth();
    // The rows or the width may not change, but the glyphs did.
    host_.RepaintView();
}

void COctileView::SetCharCode(int32_t code) {
    dump_.charCode = code;
    ReloadWindow();
}

// ---------------------------------------------------------------- marks

namespace {

// Decimal digits only, at most 20 and no overflow; false otherwise.
bool ParseDecimal(std::string_view text, uint64_t& value) {
    if (text.empty() || text.size() > 20) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const uint64_t d = static_cast<uint64_t>(c - '0');
        if (v > (UINT64_MAX - d) / 10) return false;
        v = v * 10 + d;
    }
    value = v;
    return true;
}

// The leading decimal integer of a text (after an optional sign); 0 when none.
int64_t LeadingInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int64_t v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = std::min<int64_t>(v * 10 + (text[i] - '0'), INT32_MAX);
    }
    return negative ? -v : v;
}

}  // namespace

std::string COctileView::FormatMarkOffset(uint64_t value) {
    // Nineteen digits as the marks file has always held them; the offsets
    // from 10^19 up take a twentieth, so every offset reads back equal.
    std::string s = std::to_string(value);
    if (s.size() < 19) s.insert(0, 19 - s.size(), '0');
    return s;
}

std::string COctileView::MarkSectionName(const std::string& path) {
    size_t keep = path.size();
    while (keep > 0 && (path[keep - 1] == ' ' || path[keep - 1] == '\t')) --keep;
    std::string out;
    for (size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        const bool blankAtEnd = i >= keep;
        if (c == '%' || c == ']' || c == '\r' || c == '\n' || blankAtEnd || (i == 0 && c == ' ')) {
            static const char* hex = "0123456789ABCDEF";
            out += '%';
            out += hex[(static_cast<unsigned char>(c) >> 4) & 0xF];
            out += hex[static_cast<unsigned char>(c) & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

std::string COctileView::MarksFilePath() const {
    return perUserFolder_.empty() ? std::string() : perUserFolder_ + "octile_mark.ini";
}

std::optional<IniFile> COctileView::SaveMarks(const std::string& path) {
    const std::string file = MarksFilePath();
    if (file.empty() || !marksReadWhole_) return std::nullopt;
    // The file holds every other file's marks: when it cannot be read whole,
    // writing it back would lose them, so these marks are not saved.
    bool whole = true;
    IniFile ini = IniFile::Load(file, true, &whole);
    if (!whole) return std::nullopt;
    const std::string section = MarkSectionName(path);
    for (size_t i = 0; i < marks_.size(); ++i) {
        const Mark& m = marks_[i];
        ini.Set(section, std::to_string(i),
                FormatMarkOffset(m.start) + " " + FormatMarkOffset(m.end) + " " + std::to_string(m.kind));
    }
    ini.Set(section, "Max", std::to_string(marks_.size()));
    if (!ini.Save(file)) return std::nullopt;
    return ini;
}

void COctileView::LoadMarks(const std::string& path, const IniFile* saved) {
    marks_.clear();
    currentMark_ = 0;
    const std::string file = MarksFilePath();
    marksReadWhole_ = true;
    if (file.empty()) return;
    const IniFile ini = saved != nullptr ? *saved : IniFile::Load(file, true, &marksReadWhole_);
    const std::string section = MarkSectionName(path);
    // A hand-edited count is taken only up to a bound; entries that do not
    // read as two offsets (that SaveMarks can write back) and a kind of 1 to 5
    // are left out.
    const int64_t count =
        std::clamp<int64_t>(LeadingInteger(ini.Get(section, "Max", "0")), 0, kMaxLoadedMarks);
    if (count > markCapacity_) markCapacity_ = static_cast<int32_t>(count);
    for (int64_t i = 0; i < count; ++i) {
        const std::string v = ini.Get(section, std::to_string(i), "0 0 0");
        const size_t b1 = v.find(' ');
        if (b1 == std::string::npos) continue;
        const size_t b2 = v.find(' ', b1 + 1);
        Mark m;
        const std::string_view sv(v);
        if (!ParseDecimal(sv.substr(0, b1), m.start)) continue;
        const std::string_view endText =
            b2 == std::string::npos ? sv.substr(b1 + 1) : sv.substr(b1 + 1, b2 - b1 - 1);
        if (!ParseDecimal(endText, m.end)) continue;
        const int64_t kind = b2 == std::string::npos ? 1 : LeadingInteger(sv.substr(b2 + 1));
        if (kind < 1 || kind > 5 || m.start > m.end) continue;
        m.kind = static_cast<int32_t>(kind);
        marks_.push_back(m);
    }
}

size_t COctileView::MarkUnderAnchor() const {
    for (size_t i = 0; i < marks_.size(); ++i) {
        if (marks_[i].start <= anchor_ && anchor_ <= marks_[i].end) return i;
    }
    return marks_.size();
}

void COctileView::ToggleMark(int32_t kind) {
    if (const size_t i = MarkUnderAnchor(); i < marks_.size()) {
        // A mark under the anchor: removed when of this kind, else it blocks.
        if (marks_[i].kind == kind) {
            marks_.erase(marks_.begin() + static_cast<std::ptrdiff_t>(i));
            if (currentMark_ > static_cast<int32_t>(i)) --currentMark_;
            if (currentMark_ >= static_cast<int32_t>(marks_.size())) currentMark_ = 0;
        }
        ReloadWindow();
        return;
    }
    if (static_cast<int32_t>(marks_.size()) >= markCapacity_) markCapacity_ += kMarkCapacityStep;
    uint64_t start, end;
    GetSelectionRange(start, end);
    marks_.push_back({start, end, kind});
    currentMark_ = static_cast<int32_t>(marks_.size()) - 1;
    ReloadWindow();
}

void COctileView::NextMark() { StepMark(true); }

void COctileView::PreviousMark() { StepMark(false); }

void COctileView::StepMark(bool forward) {
    if (marks_.empty()) return;
    const size_t n = marks_.size();
    const uint64_t length = doc_.GetFileLength();
    // Inside a mark: the next (or previous) mark of its kind in setting order.
    if (const size_t a = MarkUnderAnchor(); a < n) {
        const size_t step = forward ? 1 : n - 1;
        size_t t = (a + step) % n;
        while (t != a && marks_[t].kind != marks_[a].kind) t = (t + step) % n;
        GoToMark(t);
        return;
    }
    // Outside every mark: the nearest start after (before) the anchor,
    // counting round the end of the file; the earlier mark wins a tie.
    size_t best = 0;
    uint64_t bestDistance = UINT64_MAX;
    for (size_t i = 0; i < n; ++i) {
        const uint64_t s = marks_[i].start;
        const uint64_t d = forward ? (s > anchor_ ? s - anchor_ : s - anchor_ + length)
                                   : (s <= anchor_ ? anchor_ - s : anchor_ - s + length);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    GoToMark(best);
}

void COctileView::GoToMark(size_t index) {
    if (index >= marks_.size()) return;
    const Mark m = marks_[index];
    currentMark_ = static_cast<int32_t>(index);
    // A mark past the end of a file that has shrunk shows the file's last
    // line, so the page never claims offsets the file does not have.
    uint64_t window = m.start;
    if (!doc_.IsInFile(window)) window = fileLineCount_ > 0 ? (fileLineCount_ - 1) * 16 : 0;
    windowOffset_ = window;
    UpdateSelection(0, m.start);
    UpdateSelection(1, m.start);
    caret_ = {dump_.extraDigits + 9, 1};
    UpdateSelection(1, m.end);
    SetWindowOffset(window, true);
    if (onDetectPicture) onDetectPicture();
}

std::vector<COctileView::ColourRect> COctileView::MarkBackgrounds() const {
    std::vector<ColourRect> out;
    if (!fileOpen_ || readSize_ == 0) return out;
    const int64_t rows = static_cast<int64_t>(readSize_ / 16);
    const uint64_t last = windowOffset_ + readSize_ - 1;
    for (const Mark& m : marks_) {
        if (m.end < windowOffset_ || m.start > last) continue;
        const uint32_t colour = GetMarkColour(m.kind);
        uint64_t off = std::max(m.start, windowOffset_);
        const uint64_t hi = std::min(m.end, last);
        // One rectangle per row: the cells of the first to the last byte there.
        while (off <= hi) {
            const uint64_t rowEnd = std::min(hi, off + (15 - (off - windowOffset_) % 16));
            Cell a, b;
            OffsetToCell(2, off, a);
            OffsetToCell(2, rowEnd, b);
            if (a.row >= 1 && a.row <= rows) {
                out.push_back({{a.column * charWidth_, a.row * lineHeight_,
                                (b.column + 3) * charWidth_, (a.row + 1) * lineHeight_},
                               colour});
            }
            if (rowEnd == UINT64_MAX) break;
            off = rowEnd + 1;
        }
    }
    return out;
}

// ---------------------------------------------------------------- commands

void COctileView::Collapse() {
    const uint64_t offset = CellToOffset(caret_.column, caret_.row).offset;
    UpdateSelection(0, offset);
    UpdateSelection(1, offset);
    DrawCaret(3);
}

void COctileView::OnPagePrev() {
    SetWindowOffset(windowOffset_ < readSize_ ? 0 : windowOffset_ - readSize_);
}

void COctileView::OnPageNext() {
    SetWindowOffset(std::min(windowOffset_ + readSize_, 16 * fileLineCount_));
}

void COctileView::OnJump() {
    CJumpSecDlg dlg{FormatAddress(dump_, windowOffset_)};
    if (host_.DoModal(&dlg) != IDOK) return;
    uint64_t target = 0;
    if (!ParseHexStrict(dlg.address, target)) {
        host_.MessageBox(LoadString(IDS_RANGE_HEX), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    SetWindowOffset(target);
}

void COctileView::OnReadSize() {
    CSetSectorDlg dlg{FormatAddress(dump_, readSize_)};
    if (host_.DoModal(&dlg) != IDOK) return;
    uint64_t value = 0;
    if (!ParseHexStrict(dlg.size, value) || value > kMaxReadSize) {
        host_.MessageBox(LoadString(IDS_RANGE_HEX), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (value == readSize_) return;
    SetReadSize(value);
}

bool COctileView::OnCommand(uint32_t id) {
    const Cell saved = caret_;
    switch (id) {
        case ID_CARET_LEFT:
        case ID_CARET_RIGHT:
            caret_.column += id == ID_CARET_LEFT ? -1 : 1;
            if (!InTextArea(caret_)) caret_ = saved;
            Collapse();
            return true;
        case ID_CARET_UP:
        case ID_CARET_DOWN:
            // Past the first or last row the window scrolls a line instead.
            caret_.row += id == ID_CARET_UP ? -1 : 1;
            if (!InTextArea(caret_)) {
                caret_ = saved;
                if (id == ID_CARET_UP) {
                    ScrollLineUp();
                } else {
                    ScrollLineDown();
                }
            }
            Collapse();
            return true;
        case ID_CARET_HOME:
            caret_ = {textArea_.left, textArea_.top};
            DrawCaret(3);
            return true;
        case ID_CARET_END:
            caret_ = {textArea_.right - 1, textArea_.bottom - 1};
            DrawCaret(3);
            return true;
        case ID_WINDOW_TOP: SetWindowOffset(0); return true;
        case ID_WINDOW_BOTTOM: SetWindowOffset((fileLineCount_ - 1) * 16); return true;
        case ID_SELECT_UP:
        case ID_SELECT_LEFT:
            if (UpdateSelection(id == ID_SELECT_UP ? 4 : 2)) ScrollLineUp();
            DrawCaret(3);
            return true;
        case ID_SELECT_DOWN:
        case ID_SELECT_RIGHT:
            if (UpdateSelection(id == ID_SELECT_DOWN ? 5 : 3)) ScrollLineDown();
            DrawCaret(3);
            return true;
        case ID_SELECT_TOP:
            UpdateSelection(6);
            SetWindowOffset(0, true);
            return true;
        case ID_SELECT_BOTTOM:
            UpdateSelection(7);
            SetWindowOffset((fileLineCount_ - 1) * 16, true);
            return true;
        case ID_PAGE_PREV: OnPagePrev(); return true;
        case ID_PAGE_NEXT: OnPageNext(); return true;
        case ID_JUMP: OnJump(); return true;
        case ID_READ_SIZE: OnReadSize(); return true;
        case ID_VIEW_COLOR:
        case ID_VIEW_BKCOLOR:
        case ID_MARK_COLOR1:
        case ID_MARK_COLOR2:
        case ID_MARK_COLOR3:
        case ID_MARK_COLOR4:
        case ID_MARK_COLOR5:
            OnChooseColour(id);
            return true;
        case ID_VIEW_FONT: OnChooseFont(); return true;
        case ID_VIEW_UPPER:
            dump_.upper = !dump_.upper;
            ReloadWindow();
            return true;
        case ID_CODE_SJIS: SetCharCode(CODE_SJIS); return true;
        case ID_CODE_UNICODE: SetCharCode(CODE_UNICODE); return true;
        case ID_CODE_EUC: SetCharCode(CODE_EUC); return true;
        case ID_CODE_NEXT:
            SetCharCode(dump_.charCode == CODE_SJIS      ? CODE_UNICODE
                        : dump_.charCode == CODE_UNICODE ? CODE_EUC
                                                         : CODE_SJIS);
            return true;
        case ID_MARK1: ToggleMark(1); return true;
        case ID_MARK2: ToggleMark(2); return true;
        case ID_MARK3: ToggleMark(3); return true;
        case ID_MARK4: ToggleMark(4); return true;
        case ID_MARK5: ToggleMark(5); return true;
        case ID_MARK_NEXT: NextMark(); return true;
        case ID_MARK_PREV: PreviousMark(); return true;
        case ID_SEARCH_MODE_HEX: hexSearch_ = 1; return true;
        case ID_SEARCH_MODE_STRING: hexSearch_ = 0; return true;
        default: return false;
    }
}

bool COctileView::OnUpdateCommand(uint32_t id, CmdUI& ui) {
    switch (id) {
        case ID_FILE_HEXLIST:
        case ID_PAGE_PREV:
        case ID_PAGE_NEXT:
        case ID_JUMP:
        case ID_SEARCH:
        case ID_READ_SIZE:
            ui.Enable(commandEnable_);
            return true;
        case ID_SEARCH_MODE_HEX:
            ui.Enable(true);
            ui.SetRadio(hexSearch_ == 1);
            return true;
        case ID_CODE_SJIS:
        case ID_CODE_UNICODE:
        case ID_CODE_EUC:
            ui.Enable(true);
            ui.SetCheck(dump_.charCode == (id == ID_CODE_SJIS      ? CODE_SJIS
                                           : id == ID_CODE_UNICODE ? CODE_UNICODE
                                                                   : CODE_EUC));
            return true;
        case ID_VIEW_UPPER:
            ui.Enable(true);
            ui.SetCheck(dump_.upper);
            return true;
        case ID_MARK_NEXT:
        case ID_MARK_PREV:
            ui.Enable(!marks_.empty());
            return true;

        case ID_SEARCH_MODE_STRING:
            ui.Enable(true);
            ui.SetRadio(hexSearch_ == 0);
            return true;
        default: return false;
    }
}

}  // namespace octile
