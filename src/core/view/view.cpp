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
    if (!markedPath_.empty()) SaveMarks(markedPath_);
    markedPath_ = doc_.GetPathName();
    fileOpen_ = !markedPath_.empty();
    typing_.Clear();
    if (fileOpen_) {
        LoadMarks(markedPath_);
        commandEnable_ = true;
        display_.dump.extraDigits = ExtraDigitsForLength(doc_.GetFileLength());
        page_.Open(doc_.GetFileLength(), display_.dump.extraDigits);
        lengthSerial_ = doc_.LengthSerial();
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
    if (fileOpen_ && doc_.LengthSerial() != lengthSerial_) FitToLength();
    UpdateSelection(SelectionStep::kRefresh);
    if (InTextArea(selection_.caret)) {
        DrawCaret(CaretDraw::kHide);
    } else if (fileOpen_ && page_.valid > 0) {
        selection_.caret.row = page_.textArea.bottom - 1;
        DrawCaret(CaretDraw::kMove);
    }
    host_.RepaintView();
}

void COctileView::FitToLength() {
    // The file is longer or shorter than when the page was laid out (an
    // edit, or another program): the scroll range, the address width and a
    // page that would start past the end follow it.
    lengthSerial_ = doc_.LengthSerial();
    const uint64_t length = doc_.GetFileLength();
    const uint64_t offset = page_.offset;
    const int32_t digits = ExtraDigitsForLength(length);
    if (digits != display_.dump.extraDigits) {
        display_.dump.extraDigits = digits;
        host_.RecalcFrameWidth();
    }
    page_.Open(length, digits);
    page_.offset = length == 0 ? 0 : offset < length ? offset : page_.LastLine();
    host_.SetScrollRange(0, page_.ScrollTop());
    host_.SetScrollPos(page_.ScrollPos(page_.offset));
    page_.Read(doc_, display_.dump);  // the page's place or its address width may have changed
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

}  // namespace octile
