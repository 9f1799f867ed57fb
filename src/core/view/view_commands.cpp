// COctileView: the display options, the marks and the commands the view
// answers in the command route, with their menu states.
#include <algorithm>

#include "charcode/charcode.h"
#include "resources/resources.h"
#include "settings/ini_file.h"
#include "settings/paths.h"
#include "view/view.h"
#include "view/view_font.h"

namespace octile {

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

bool COctileView::SaveMarks(const std::string& path) { return marks_.Save(MarksFilePath(), path); }

void COctileView::LoadMarks(const std::string& path) { marks_.Load(MarksFilePath(), path); }

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
        case ID_CODE_UTF8:
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
