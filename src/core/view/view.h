#pragma once
// COctileView: the dump view's state and behaviour without a window system.
// It holds one page of the file (the read window) and scrolls it by lines,
// pages, wheel, scroll bar and drag; the window and the commands ask it.
// The parts live in value classes beside it: the selection and its drag,
// the inverted spans, the marks, the display settings, the typing state;
// DumpLayout places every column of the page.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command/command_ids.h"
#include "document/document.h"
#include "dump/dump_format.h"
#include "dump/dump_layout.h"
#include "host/ui_host.h"
#include "settings/ini_file.h"
#include "settings/profile_store.h"
#include "view/display_settings.h"
#include "view/inversion.h"
#include "view/mark_list.h"
#include "view/page_window.h"
#include "view/selection.h"
#include "view/typing_state.h"

namespace octile {

// One line of the data inspector: what it shows and the text beside it.
struct InspectorLine {
    std::u16string label;
    std::u16string text;
};

class COctileView : public CommandTarget {
  public:
    static constexpr uint32_t kDragTimerId = 1;
    static constexpr uint32_t kDragTimerMs = 50;
    static constexpr uint64_t kInitialReadSize = 256;
    // Largest read size accepted from the read-size dialog: the page must be
    // one read request and its text must stay small enough to draw.
    static constexpr uint64_t kMaxReadSize = 0x1000000;  // 16 MiB

    enum ScrollRequest {
        SB_LINEUP = 0,
        SB_LINEDOWN = 1,
        SB_PAGEUP = 2,
        SB_PAGEDOWN = 3,
        SB_THUMBPOSITION = 4,
        SB_THUMBTRACK = 5,
        SB_TOP = 6,
        SB_BOTTOM = 7,
        SB_ENDSCROLL = 8,
    };
    using Area = DumpArea;
    using Cell = DumpCell;
    using Mark = octile::Mark;
    using Step = SelectionStep;
    // The cell OffsetToCell gives; the numbers are the modes' old values.
    enum class CellMode : int {
        kHex = 0,          // the byte's high digit, when the byte is on the page
        kChar = 1,         // the byte's character cell, when it is on the page
        kHexAnywhere = 2,  // the high digit's cell wherever the byte lies: rows
                           // before the first or past the last line of the page
    };
    using ColourRect = MarkRect;
    static constexpr int32_t kMarkCapacityStep = MarkList::kCapacityStep;
    static constexpr int64_t kMaxLoadedMarks = MarkList::kMaxLoaded;

    struct HitTest {
        uint64_t offset = 0;
        Area area = Area::kNone;
        HexDigit digit = HexDigit::kNone;
    };

    COctileView(UiHost& host, COctileDoc& doc, ProfileStore& store);
    ~COctileView() override;

    // Called when the status bar should show a mark colour (index 0..4).
    std::function<void(int, uint32_t)> onMarkColour;
    // Picture detection at the anchor (after opening, a mark visit, a hit).
    std::function<void()> onDetectPicture;
    // True while a long operation runs: typing waits for it.
    std::function<bool()> isBusy;

    // Life.
    void OnCreate();
    void OnInitialUpdate();
    void OnDestroy();

    // Painting: records the caret and selection as inverted on a freshly
    // drawn page. The window then draws the page and inverts InvertedSpans().
    void BeginPaint();
    const std::vector<PixelRect>& InvertedSpans() const { return inversion_.Spans(); }

    // Input from the window.
    void OnLButtonDown(int32_t x, int32_t y, bool shift);
    void OnMouseMove(int32_t x, int32_t y);
    void OnLButtonUp(int32_t x, int32_t y);
    void OnTimer(uint32_t id);
    void OnMouseWheel(int32_t delta);
    void OnVScroll(int request, int32_t position);
    void OnSize(int32_t height, bool minimized);

    // Operations shared with the other parts of the view.
    HitTest CellToOffset(int32_t column, int32_t row) const;
    // False (and {-1, -1}) for kHex and kChar when the byte is not on the page.
    bool OffsetToCell(CellMode mode, uint64_t offset, Cell& cell) const;
    // True when the selection runs past the page's top or bottom.
    bool UpdateSelection(SelectionStep step, uint64_t value = 0);
    void GetSelectionRange(uint64_t& start, uint64_t& end) const { selection_.Range(start, end); }
    void DrawCaret(CaretDraw flags);
    void InvertSpan(const PixelRect& r);
    void ReloadWindow();
    void SetWindowOffset(uint64_t offset, bool force = false);
    void ScrollLineDown();
    void ScrollLineUp();
    void ResizeRows(int32_t height);
    void MeasureFont();
    void SetReadSize(uint64_t size);

    // Typing: one byte of Shift-JIS text per event; OnText converts text
    // delivered as UTF-16 to those bytes.
    void OnChar(uint8_t byte);
    void OnText(std::u16string_view text);
    bool HasPendingLead() const { return typing_.Pending(); }

    // The data inspector. Its lines: the file's length and the selection's
    // (kInspectorLengthLines), then every row of InspectorRows() read at the
    // caret's byte. With no file open every text is empty, and so is a row
    // whose bytes run past the end of the file.
    static constexpr size_t kInspectorLengthLines = 2;
    std::vector<InspectorLine> InspectorLines();
    // Writes the value typed for InspectorRows()[row] at the caret's byte, as
    // one undoable edit, and reads the page again. Beeps and returns false
    // for a read-only file, text that is no value of the row, or bytes that
    // would run past the end of the file (the file is never lengthened).
    bool WriteInspectorValue(size_t row, std::u16string_view text);
    // The byte the caret stands on, where typing would write: none while no
    // file is open or the caret stands on no byte's cell.
    std::optional<uint64_t> CaretByte() const;

    // Marks.
    void ToggleMark(int32_t kind);
    void NextMark();
    void PreviousMark();
    void GoToMark(size_t index);
    // Loads the marks of path from its section of the marks file.
    void LoadMarks(const std::string& path);
    // Saves the marks under path (nothing is written when they did not
    // change); false when they could not be saved.
    bool SaveMarks(const std::string& path);
    const std::vector<Mark>& Marks() const { return marks_.Marks(); }
    int32_t MarkCapacity() const { return marks_.Capacity(); }
    int32_t CurrentMark() const { return marks_.Current(); }
    // The mark backgrounds on the page, in painting order.
    std::vector<ColourRect> MarkBackgrounds() const;
    std::string MarksFilePath() const;
    static std::string FormatMarkOffset(uint64_t value) { return MarkList::FormatOffset(value); }
    static std::string MarkSectionName(const std::string& path) {
        return MarkList::SectionName(path);
    }

    // Commands.
    void OnChooseColour(uint32_t id);
    void OnChooseFont();
    void SetCharCode(int32_t code);
    void OnPagePrev();
    void OnPageNext();
    void OnJump();
    void OnReadSize();
    bool OnCommand(uint32_t id) override;
    bool OnUpdateCommand(uint32_t id, CmdUI& ui) override;

    // Settings.
    void ReadSettings();
    void WriteSettings();
    void SetMarkColour(int index, uint32_t colour);

    // State, for the window and for tests.
    const std::u16string& DumpText() const { return page_.text; }
    const CellRect& TextArea() const { return page_.textArea; }
    // Where the columns of the page lie, for its address width.
    DumpLayout Layout() const { return DumpLayout::For(display_.dump); }
    // The pixel width of the dump's widest line: the text area's cells.
    int32_t TextPixelWidth() const { return (page_.textArea.right + 1) * metrics_.charWidth; }
    bool IsFileOpen() const { return fileOpen_; }
    const DumpSettings& dumpSettings() const { return display_.dump; }
    const DisplaySettings& Display() const { return display_; }
    int32_t ExtraDigits() const { return display_.dump.extraDigits; }
    int32_t GetCharCode() const { return display_.dump.charCode; }
    bool IsUpper() const { return display_.dump.upper; }
    bool IsPictureDisplay() const { return display_.pictureDisplay; }
    void SetPictureDisplay(bool on) { display_.pictureDisplay = on; }
    bool IsInspectorDisplay() const { return display_.inspectorDisplay; }
    void SetInspectorDisplay(bool on) { display_.inspectorDisplay = on; }
    uint32_t TextColour() const { return display_.textColour; }
    uint32_t BackColour() const { return display_.backColour; }
    uint32_t GetMarkColour(int kind) const { return display_.MarkColour(kind); }  // kind 1..5
    const ViewFont& Font() const { return display_.font; }
    // The file last compared with ("CompPath"), offered by the next compare.
    const std::string& CompPath() const { return display_.compPath; }
    void SetCompPath(std::string path) { display_.compPath = std::move(path); }
    int32_t CharWidth() const { return metrics_.charWidth; }
    int32_t LineHeight() const { return metrics_.lineHeight; }
    uint64_t WindowOffset() const { return page_.offset; }
    uint64_t ReadSize() const { return page_.size; }
    uint32_t ValidCount() const { return page_.valid; }
    const uint8_t* ReadWindow() const { return page_.bytes.get(); }
    uint64_t FileLineCount() const { return page_.fileLines; }
    uint64_t ScrollUnit() const { return page_.scrollUnit; }
    Cell CaretCell() const { return selection_.caret; }
    void SetCaretCell(Cell c) { selection_.caret = c; }
    uint64_t Anchor() const { return selection_.Anchor(); }
    uint64_t CaretOffset() const { return selection_.CaretOffset(); }
    const CellRect& SelectionCells() const { return selection_.Cells(); }
    bool IsDragging() const { return selection_.dragging; }
    const std::string& MarkedFilePath() const { return markedPath_; }
    const std::string& PerUserFolder() const { return perUserFolder_; }
    bool CommandEnabled() const { return commandEnable_; }
    // 1: search text is hexadecimal; 0: a character string.
    int32_t HexSearch() const { return display_.hexSearch; }

  private:
    void FitToLength();
    void Collapse();
    void DragTo(int32_t x, int32_t y);
    bool InTextArea(const Cell& c) const;
    Cell CellAtPixel(int32_t x, int32_t y) const;
    PageSpan Page() const { return {page_.offset, page_.size}; }
    void MoveCaretAfter(uint64_t offset, CellMode mode);
    void TypeHex(const HitTest& hit, uint8_t byte);
    void TypeChar(uint64_t offset, uint8_t byte);

    UiHost& host_;
    COctileDoc& doc_;
    ProfileStore& store_;

    DisplaySettings display_;
    Selection selection_;
    Inversion inversion_;
    MarkList marks_;
    TypingState typing_;
    CellMetrics metrics_;

    PageWindow page_{kInitialReadSize};
    bool fileOpen_ = false;
    uint64_t lengthSerial_ = 0;  // the document's length this view is laid out for
    std::string markedPath_;
    std::string perUserFolder_;
    bool commandEnable_ = false;  // the six command enable flags, set together
    int32_t clientHeight_ = 0;
};

}  // namespace octile
