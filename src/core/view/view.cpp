#include "view/view.h"

#include <algorithm>

#include "charcode/charcode.h"
#include "resources/resources.h"
#include "settings/ini_file.h"
#include "settings/paths.h"
#include "view/view_font.h"

namespace octile {

namespace {

constexpr uint64_t kLine = DumpLayout::kBytesPerLine;

}  // namespace

COctileView::COctileView(UiHost& host, COctileDoc& doc, ProfileStore& store)
    : host_(host), doc_(doc), store_(store) {
    display_.font.faceName = LoadString(IDS_FONT_FACE);
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
    typing_.Clear();
    if (fileOpen_) {
        LoadMarks(markedPath_, saved ? &*saved : nullptr);  // no second read of the file
        commandEnable_ = true;
        display_.dump.extraDigits = ExtraDigitsForLength(doc_.GetFileLength());
        page_.Open(doc_.GetFileLength(), display_.dump.extraDigits);
        selection_.Reset();
        host_.SetScrollRange(0, page_.ScrollTop());
        host_.SetScrollPos(0);
        host_.ShowScrollBar(true);
        ReloadWindow();
    }
    host_.RecalcFrameWidth();
    if (fileOpen_ && onDetectPicture) onDetectPicture();
}

void COctileView::OnDestroy() {
    if (!markedPath_.empty()) SaveMarks(markedPath_);
    marks_.Release();
    if (selection_.dragging) {  // the drag timer runs
        host_.KillTimer(kDragTimerId);
        selection_.dragging = false;
    }
    WriteSettings();
}

// ---------------------------------------------------------------- settings

void COctileView::ReadSettings() {
    display_.Read(store_, LoadString(IDS_FONT_FACE));
    if (onMarkColour) {
        for (int i = 0; i < DisplaySettings::kMarkKinds; ++i)
            onMarkColour(i, display_.markColours[i]);
    }
}

void COctileView::WriteSettings() { display_.Write(store_); }

void COctileView::SetMarkColour(int index, uint32_t colour) {
    if (index < 0 || index >= DisplaySettings::kMarkKinds) return;
    display_.markColours[index] = colour;
    if (onMarkColour) onMarkColour(index, colour);
}

// ---------------------------------------------------------------- geometry

COctileView::HitTest COctileView::CellToOffset(int32_t column, int32_t row) const {
    const DumpHit hit = Layout().HitTest(column, row);
    // The line is a signed distance added to the window offset.
    HitTest h;
    h.offset = page_.offset + static_cast<uint64_t>(static_cast<int64_t>(kLine) * hit.line) +
               static_cast<uint64_t>(static_cast<int64_t>(hit.byte));
    h.area = hit.area;
    h.digit = hit.digit;
    return h;
}

bool COctileView::OffsetToCell(CellMode mode, uint64_t offset, Cell& cell) const {
    if (mode != CellMode::kHexAnywhere) {
        if (offset < page_.offset || offset - page_.offset >= page_.size) {
            cell = {-1, -1};
            return false;
        }
    }
    // The distance wraps for offsets before the window: they land above it.
    cell = Layout().CellOf(offset - page_.offset,
                           mode == CellMode::kChar ? DumpArea::kChar : DumpArea::kHex);
    return true;
}

bool COctileView::InTextArea(const Cell& c) const {
    return c.column >= page_.textArea.left && c.column < page_.textArea.right &&
           c.row >= page_.textArea.top && c.row < page_.textArea.bottom;
}

COctileView::Cell COctileView::CellAtPixel(int32_t x, int32_t y) const {
    return {x / metrics_.charWidth, y / metrics_.lineHeight};
}

// ---------------------------------------------------------------- selection

bool COctileView::UpdateSelection(SelectionStep step, uint64_t value) {
    return selection_.Update(step, value, doc_.GetFileLength(), Layout(), Page());
}

void COctileView::InvertSpan(const PixelRect& r) { inversion_.Invert(r, Layout(), metrics_); }

void COctileView::DrawCaret(CaretDraw flags) {
    inversion_.Draw(flags, Inversion::CaretRect(selection_.caret, metrics_),
                    Inversion::SelectionRect(selection_.Cells(), metrics_), Layout(), metrics_);
    host_.UpdateInversions();
}

void COctileView::BeginPaint() {
    // The page was drawn afresh: nothing is inverted on it yet.
    inversion_.Clear();
    if (!fileOpen_) return;
    inversion_.Draw(CaretDraw::kShow, Inversion::CaretRect(selection_.caret, metrics_),
                    Inversion::SelectionRect(selection_.Cells(), metrics_), Layout(), metrics_);
}

// ---------------------------------------------------------------- window

void COctileView::ReloadWindow() {
    if (!page_.bytes) return;
    page_.Read(doc_, display_.dump);
    UpdateSelection(SelectionStep::kRefresh);
    if (InTextArea(selection_.caret)) {
        DrawCaret(CaretDraw::kHide);
    } else if (fileOpen_) {
        selection_.caret.row = page_.textArea.bottom - 1;
        DrawCaret(CaretDraw::kMove);
    }
    host_.RepaintView();
}

void COctileView::SetWindowOffset(uint64_t offset, bool force) {
    if (offset == page_.offset && !force) return;
    if (!doc_.IsInFile(offset)) return;
    page_.offset = offset;
    host_.SetScrollPos(page_.ScrollPos(offset));
    ReloadWindow();
}

void COctileView::ScrollLineDown() { SetWindowOffset(page_.LineDown()); }

void COctileView::ScrollLineUp() { SetWindowOffset(page_.LineUp()); }

void COctileView::SetReadSize(uint64_t size) {
    page_.Allocate(size);
    ReloadWindow();
}

void COctileView::ResizeRows(int32_t height) {
    if (metrics_.lineHeight <= 0) return;
    const int64_t rows = height / metrics_.lineHeight;
    if (rows - 1 < 1) return;
    const uint64_t size = static_cast<uint64_t>(rows - 1) * kLine;
    if (size == page_.size) return;
    SetReadSize(size);
}

void COctileView::MeasureFont() {
    const FontMetrics m = host_.MeasureFont(display_.font);
    // A font the system reports with no size would make every cell empty.
    metrics_.charWidth = std::max(1, m.charWidth);
    metrics_.lineHeight = std::max(1, m.lineHeight);
}

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
    for (char16_t unit : text) {
        uint8_t bytes[4];
        const int n = WideToShiftJis(&unit, 1, bytes, sizeof bytes);
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

// ---------------------------------------------------------------- display

void COctileView::OnChooseColour(uint32_t id) {
    uint32_t colour = display_.ColourOf(id);
    if (!host_.ChooseColor(colour)) return;
    if (id == ID_VIEW_COLOR || id == ID_VIEW_BKCOLOR) {
        display_.ColourOf(id) = colour;
    } else {
        SetMarkColour(static_cast<int>(id - ID_MARK_COLOR1), colour);  // the status bar shows it
    }
    ReloadWindow();
}

void COctileView::OnChooseFont() {
    ViewFont chosen = display_.font;
    if (!host_.ChooseFont(chosen)) return;
    TrimFaceName(chosen);
    display_.font = chosen;
    MeasureFont();
    if (clientHeight_ > 0) ResizeRows(clientHeight_);
    host_.RecalcFrameWidth();
    // The rows or the width may not change, but the glyphs did.
    host_.RepaintView();
}

void COctileView::SetCharCode(int32_t code) {
    display_.dump.charCode = code;
    ReloadWindow();
}

// ---------------------------------------------------------------- marks

std::string COctileView::MarksFilePath() const {
    return perUserFolder_.empty() ? std::string() : perUserFolder_ + "octile_mark.ini";
}

std::optional<IniFile> COctileView::SaveMarks(const std::string& path) {
    return marks_.Save(MarksFilePath(), path);
}

void COctileView::LoadMarks(const std::string& path, const IniFile* saved) {
    marks_.Load(MarksFilePath(), path, saved);
}

void COctileView::ToggleMark(int32_t kind) {
    uint64_t start, end;
    GetSelectionRange(start, end);
    marks_.Toggle(kind, selection_.Anchor(), start, end);
    ReloadWindow();
}

void COctileView::NextMark() {
    GoToMark(marks_.Step(true, selection_.Anchor(), doc_.GetFileLength()));
}

void COctileView::PreviousMark() {
    GoToMark(marks_.Step(false, selection_.Anchor(), doc_.GetFileLength()));
}

void COctileView::GoToMark(size_t index) {
    if (index >= marks_.Size()) return;
    const Mark m = marks_[index];
    marks_.SetCurrent(index);
    // A mark past the end of a file that has shrunk shows the file's last
    // line, so the page never claims offsets the file does not have.
    uint64_t window = m.start;
    if (!doc_.IsInFile(window)) window = page_.fileLines > 0 ? page_.LastLine() : 0;
    page_.offset = window;
    UpdateSelection(SelectionStep::kAnchor, m.start);
    UpdateSelection(SelectionStep::kCaret, m.start);
    selection_.caret = {Layout().HexColumn(0), DumpLayout::kFirstLineRow};
    UpdateSelection(SelectionStep::kCaret, m.end);
    SetWindowOffset(window, true);
    if (onDetectPicture) onDetectPicture();
}

std::vector<COctileView::ColourRect> COctileView::MarkBackgrounds() const {
    if (!fileOpen_) return {};
    return marks_.Backgrounds(Layout(), Page(), metrics_, display_);
}

// ---------------------------------------------------------------- commands

void COctileView::Collapse() {
    const uint64_t offset = CellToOffset(selection_.caret.column, selection_.caret.row).offset;
    UpdateSelection(SelectionStep::kAnchor, offset);
    UpdateSelection(SelectionStep::kCaret, offset);
    DrawCaret(CaretDraw::kMove);
}

void COctileView::OnPagePrev() { SetWindowOffset(page_.PageUp()); }

void COctileView::OnPageNext() { SetWindowOffset(page_.PageDown()); }

void COctileView::OnJump() {
    CJumpSecDlg dlg{FormatAddress(display_.dump, page_.offset)};
    if (host_.DoModal(&dlg) != IDOK) return;
    uint64_t target = 0;
    if (!ParseHexStrict(dlg.address, target)) {
        host_.MessageBox(LoadString(IDS_RANGE_HEX), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    SetWindowOffset(target);
}

void COctileView::OnReadSize() {
    CSetSectorDlg dlg{FormatAddress(display_.dump, page_.size)};
    if (host_.DoModal(&dlg) != IDOK) return;
    uint64_t value = 0;
    if (!ParseHexStrict(dlg.size, value) || value > kMaxReadSize) {
        host_.MessageBox(LoadString(IDS_RANGE_HEX), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (value == page_.size) return;
    SetReadSize(value);
}

bool COctileView::OnCommand(uint32_t id) {
    const Cell saved = selection_.caret;
    switch (id) {
        case ID_CARET_LEFT:
        case ID_CARET_RIGHT:
            selection_.caret.column += id == ID_CARET_LEFT ? -1 : 1;
            if (!InTextArea(selection_.caret)) selection_.caret = saved;
            Collapse();
            return true;
        case ID_CARET_UP:
        case ID_CARET_DOWN:
            // Past the first or last row the window scrolls a line instead.
            selection_.caret.row += id == ID_CARET_UP ? -1 : 1;
            if (!InTextArea(selection_.caret)) {
                selection_.caret = saved;
                id == ID_CARET_UP ? ScrollLineUp() : ScrollLineDown();
            }
            Collapse();
            return true;
        case ID_CARET_HOME:
            selection_.caret = {page_.textArea.left, page_.textArea.top};
            DrawCaret(CaretDraw::kMove);
            return true;
        case ID_CARET_END:
            selection_.caret = {page_.textArea.right - 1, page_.textArea.bottom - 1};
            DrawCaret(CaretDraw::kMove);
            return true;
        case ID_WINDOW_TOP:
            SetWindowOffset(0);
            return true;
        case ID_WINDOW_BOTTOM:
            SetWindowOffset(page_.LastLine());
            return true;
        case ID_SELECT_UP:
        case ID_SELECT_LEFT:
            if (UpdateSelection(id == ID_SELECT_UP ? SelectionStep::kUp : SelectionStep::kLeft))
                ScrollLineUp();
            DrawCaret(CaretDraw::kMove);
            return true;
        case ID_SELECT_DOWN:
        case ID_SELECT_RIGHT:
            if (UpdateSelection(id == ID_SELECT_DOWN ? SelectionStep::kDown
                                                     : SelectionStep::kRight))
                ScrollLineDown();
            DrawCaret(CaretDraw::kMove);
            return true;
        case ID_SELECT_TOP:
            UpdateSelection(SelectionStep::kTop);
            SetWindowOffset(0, true);
            return true;
        case ID_SELECT_BOTTOM:
            UpdateSelection(SelectionStep::kBottom);
            SetWindowOffset(page_.LastLine(), true);
            return true;
        case ID_PAGE_PREV:
            OnPagePrev();
            return true;
        case ID_PAGE_NEXT:
            OnPageNext();
            return true;
        case ID_JUMP:
            OnJump();
            return true;
        case ID_READ_SIZE:
            OnReadSize();
            return true;
        case ID_VIEW_COLOR:
        case ID_VIEW_BKCOLOR:
        case ID_MARK_COLOR1:
        case ID_MARK_COLOR2:
        case ID_MARK_COLOR3:
        case ID_MARK_COLOR4:
        case ID_MARK_COLOR5:
            OnChooseColour(id);
            return true;
        case ID_VIEW_FONT:
            OnChooseFont();
            return true;
        case ID_VIEW_UPPER:
            display_.dump.upper = !display_.dump.upper;
            ReloadWindow();
            return true;
        case ID_CODE_SJIS:
        case ID_CODE_UNICODE:
        case ID_CODE_EUC:
        case ID_CODE_NEXT:
            SetCharCode(display_.CodeOfCommand(id));
            return true;
        case ID_MARK1:
            ToggleMark(1);
            return true;
        case ID_MARK2:
            ToggleMark(2);
            return true;
        case ID_MARK3:
            ToggleMark(3);
            return true;
        case ID_MARK4:
            ToggleMark(4);
            return true;
        case ID_MARK5:
            ToggleMark(5);
            return true;
        case ID_MARK_NEXT:
            NextMark();
            return true;
        case ID_MARK_PREV:
            PreviousMark();
            return true;
        case ID_SEARCH_MODE_HEX:
            display_.hexSearch = 1;
            return true;
        case ID_SEARCH_MODE_STRING:
            display_.hexSearch = 0;
            return true;
        default:
            return false;
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
        case ID_MARK_NEXT:
        case ID_MARK_PREV:
            ui.Enable(!marks_.Empty());
            return true;
        default:
            return display_.UpdateCommand(id, ui);
    }
}

}  // namespace octile
