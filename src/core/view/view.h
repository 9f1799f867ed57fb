#pragma once
// COctileView: the dump view's state and behaviour without a window system.
// It holds one page of the file (the read window), the caret and the
// selection, scrolls by lines, pages, wheel, scroll bar and drag, and
// records which pixel spans are inverted so the window can draw them.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command/command_ids.h"
#include "document/document.h"
#include "host/ui_host.h"
#include "settings/ini_file.h"
#include "settings/profile_store.h"
#include "dump/dump_format.h"

namespace octile {

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
    enum Area { AREA_NONE = -1, AREA_HEX = 0, AREA_CHAR = 1 };

    struct Cell {
        int32_t column = 0;
        int32_t row = 0;
        bool operator==(const Cell&) const = default;
    };
    // A coloured byte range; end included.
    struct Mark {
        uint64_t start = 0;
        uint64_t end = 0;
        int32_t kind = 1;
        bool operator==(const Mark&) const = default;
    };
    struct ColourRect {
        PixelRect rect;
        uint32_t colour = 0;
    };
    static constexpr int32_t kMarkCapacityStep = 100;
    // Entries read from a hand-edited marks file are bounded by this.
    static constexpr int64_t kMaxLoadedMarks = 100000;

    struct HitTest {
        uint64_t offset = 0;
        int32_t area = AREA_NONE;
        int32_t digit = -1;  // -1, 0 high, 1 low, 2 blank
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
    const std::vector<PixelRect>& InvertedSpans() const { return spans_; }

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
    bool OffsetToCell(int mode, uint64_t offset, Cell& cell) const;
    bool UpdateSelection(int step, uint64_t value = 0);
    void GetSelectionRange(uint64_t& start, uint64_t& end) const;
    void DrawCaret(int flags);
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
    bool HasPendingLead() const { return pending_; }

    // Marks.
    void ToggleMark(int32_t kind);
    void NextMark();
    void PreviousMark();
    void GoToMark(size_t index);
    // Loads the marks of path from the marks file, or from saved: the marks
    // file as SaveMarks has just written it.
    void LoadMarks(const std::string& path, const IniFile* saved = nullptr);
    // Saves the marks under path; returns the marks file as written, when it was.
    std::optional<IniFile> SaveMarks(const std::string& path);
    const std::vector<Mark>& Marks() const { return marks_; }
    int32_t MarkCapacity() const { return markCapacity_; }
    int32_t CurrentMark() const { return currentMark_; }
    // The mark backgrounds on the page, in painting order.
    std::vector<ColourRect> MarkBackgrounds() const;
    std::string MarksFilePath() const;
    static std::string FormatMarkOffset(uint64_t value);
    // The marks file's section for a path: the path itself, with "%", "]",
    // line breaks and trailing blanks written as %XX so that no path can end
    // its section early or read another file's marks.
    static std::string MarkSectionName(const std::string& path);

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
    const std::u16string& DumpText() const { return dumpText_; }
    const CellRect& TextArea() const { return textArea_; }
    // The pixel width of the dump's widest line: the text area's cells.
    int32_t TextPixelWidth() const { return (textArea_.right + 1) * charWidth_; }
    bool IsFileOpen() const { return fileOpen_; }
    const DumpSettings& dumpSettings() const { return dump_; }
    int32_t ExtraDigits() const { return dump_.extraDigits; }
    int32_t GetCharCode() const { return dump_.charCode; }
    bool IsUpper() const { return dump_.upper; }
    bool IsPictureDisplay() const { return viewer_; }
    void SetPictureDisplay(bool on) { viewer_ = on; }
    uint32_t TextColour() const { return textColour_; }
    uint32_t BackColour() const { return backColour_; }
    uint32_t GetMarkColour(int kind) const;  // kind 1..5
    const ViewFont& Font() const { return font_; }
    // The file last compared with ("CompPath"), offered by the next compare.
    const std::string& CompPath() const { return compPath_; }
    void SetCompPath(std::string path) { compPath_ = std::move(path); }
    int32_t CharWidth() const { return charWidth_; }
    int32_t LineHeight() const { return lineHeight_; }
    uint64_t WindowOffset() const { return windowOffset_; }
    uint64_t ReadSize() const { return readSize_; }
    uint32_t ValidCount() const { return validCount_; }
    const uint8_t* ReadWindow() const { return readWindow_.get(); }
    uint64_t FileLineCount() const { return fileLineCount_; }
    uint64_t ScrollUnit() const { return scrollUnit_; }
    Cell CaretCell() const { return caret_; }
    void SetCaretCell(Cell c) { caret_ = c; }
    uint64_t Anchor() const { return anchor_; }
    uint64_t CaretOffset() const { return caretOffset_; }
    const CellRect& SelectionCells() const { return selCells_; }
    bool IsDragging() const { return dragging_; }
    const std::string& MarkedFilePath() const { return markedPath_; }
    const std::string& PerUserFolder() const { return perUserFolder_; }
    bool CommandEnabled() const { return commandEnable_; }
    // 1: search text is hexadecimal; 0: a character string.
    int32_t HexSearch() const { return hexSearch_; }

private:
    void Collapse();
    void DragTo(int32_t x, int32_t y);
    bool InTextArea(const Cell& c) const;
    PixelRect CaretRect() const;
    PixelRect SelectionRect() const;
    void Toggle(const PixelRect& r);
    void ApplyScrollRange();
    void StepMark(bool forward);
    // The first mark holding the anchor, or the mark count when none does.
    size_t MarkUnderAnchor() const;
    void WriteBack();
    void StoreByte(uint64_t offset, uint8_t value);
    void MoveCaretAfter(uint64_t offset, int mode);
    void TypeHex(const HitTest& hit, uint8_t byte);
    void TypeChar(uint64_t offset, uint8_t byte);

    UiHost& host_;
    COctileDoc& doc_;
    ProfileStore& store_;

    DumpSettings dump_;
    uint64_t windowOffset_ = 0;
    uint64_t readSize_ = kInitialReadSize;
    std::unique_ptr<uint8_t[]> readWindow_;
    uint32_t validCount_ = 0;
    std::u16string dumpText_;
    CellRect textArea_{10, 1, 79, 24};
    uint64_t fileLineCount_ = 0;
    uint64_t scrollUnit_ = 1;
    Cell caret_{10, 1};
    uint64_t anchor_ = 0;
    uint64_t caretOffset_ = 0;
    CellRect selCells_{-1, -1, -1, -1};
    PixelRect invertedCaret_;
    PixelRect invertedSelection_;
    std::vector<PixelRect> spans_;
    int32_t lineHeight_ = 16;
    int32_t charWidth_ = 8;
    bool dragging_ = false;
    Cell lastMouse_{0, 0};
    bool fileOpen_ = false;
    std::string markedPath_;
    std::string perUserFolder_;
    bool commandEnable_ = false;  // the six command enable flags, set together
    int32_t clientHeight_ = 0;

    // Display settings.
    uint32_t textColour_ = 0x000000;
    uint32_t backColour_ = 0xFFFFFF;
    static constexpr uint32_t kDefaultMarkColours[5] = {0x0000FF, 0x00FF00, 0xFFFF00, 0xFF00FF,
                                                         0x00FFFF};
    uint32_t markColours_[5] = {kDefaultMarkColours[0], kDefaultMarkColours[1],
                                kDefaultMarkColours[2], kDefaultMarkColours[3],
                                kDefaultMarkColours[4]};
    bool viewer_ = false;
    std::string compPath_;
    ViewFont font_;
    int32_t hexSearch_ = 0;

    std::vector<Mark> marks_;
    // False when the marks file could not be read whole at the last load:
    // the list may lack marks the file holds, and is not saved over them.
    bool marksReadWhole_ = true;
    int32_t markCapacity_ = kMarkCapacityStep;
    int32_t currentMark_ = 0;

    // Typing: a Shift-JIS lead byte waiting for its trail byte.
    bool pending_ = false;
    uint8_t pendingLead_ = 0;
    uint64_t pendingOffset_ = 0;
    uint64_t pendingSerial_ = 0;  // the document's OpenSerial when the lead was typed
};

}  // namespace octile
