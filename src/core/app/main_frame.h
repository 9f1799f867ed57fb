#pragma once
// CMainFrame: what the main window decides without a window system: its
// saved placement, the fixed width a dump line needs, the status panes'
// texts and colours, and the commands that clicks on the panes post.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "command/command_ids.h"
#include "document/document.h"
#include "settings/profile_store.h"
#include "view/view.h"

namespace octile {

class CMainFrame {
  public:
    static constexpr int kPaneCount = 9;
    // Indicator ids in pane order: the message pane, mark kinds 1 to 5, the
    // access mode, the character code and the address range.
    static constexpr uint32_t kIndicators[kPaneCount] = {0,
                                                         ID_INDICATOR_MARK1,
                                                         ID_INDICATOR_MARK2,
                                                         ID_INDICATOR_MARK3,
                                                         ID_INDICATOR_MARK4,
                                                         ID_INDICATOR_MARK5,
                                                         ID_INDICATOR_MODE,
                                                         ID_INDICATOR_CODE,
                                                         ID_INDICATOR_ADDR};

    struct Placement {
        int32_t x = 0, y = 0, w = 0, h = 0;
    };

    CMainFrame(ProfileStore& store, COctileDoc& doc, COctileView& view);

    // The saved placement; none unless both width and height are above 0.
    std::optional<Placement> ReadPosition() const;
    void WritePosition(const Placement& p);

    // The outer width that shows a whole dump line: the frame's border
    // (window width - client width), the scroll bar, and the text area's
    // right edge in cells.
    int32_t IdealFrameWidth(int32_t frameWidth, int32_t clientWidth, int32_t scrollBarWidth) const;
    // The message pane's width: a third of the ideal frame width, rounded
    // down; the address pane takes what is left.
    int32_t MessagePaneWidth(int32_t frameWidth, int32_t clientWidth, int32_t scrollBarWidth) const;

    // Texts of the panes 1 to 8 ("M", "R/O", "SJIS", "Addr=...").
    std::u16string PaneText(int pane) const;
    // The message pane's text while nothing else is shown there: "ﾚﾃﾞｨ"
    // without a file, else the selection's length and the file's
    // ("選択長 0x11 (17) ﾌｧｲﾙ長 0x2000 (8192)").
    std::u16string IdleText() const;
    // The colour of a mark pane (1 to 5): the view's colour of that kind.
    uint32_t MarkPaneColour(int pane) const;
    // The command a click on a pane posts, or 0.
    static uint32_t ClickCommand(int pane);

  private:
    ProfileStore& store_;
    COctileDoc& doc_;
    COctileView& view_;
};

// Where top-level windows may go: the part of a screen that panels and
// docks leave free, in screen pixels.
struct ScreenArea {
    int32_t x = 0, y = 0, w = 0, h = 0;
};

// The index of the area that holds the point, else of the one nearest to
// it; the first of equally near areas wins, so the primary screen's area
// belongs first. -1 when there is no area.
int NearestArea(const std::vector<ScreenArea>& areas, int32_t x, int32_t y);

// Pulls an outer window rectangle wholly onto an area: a side longer than
// the area's becomes as long as the area's, then the rectangle moves by the
// least distance that puts it inside. A rectangle already inside is kept.
CMainFrame::Placement FitIntoArea(const CMainFrame::Placement& rect, const ScreenArea& area);

// A w x h picture scaled down, in proportion, until it fits into maxW x
// maxH (each side at least 1); one that fits already keeps its size.
struct PixelSize {
    int32_t w = 0, h = 0;
    bool operator==(const PixelSize&) const = default;
};
PixelSize ShrinkToFit(PixelSize size, PixelSize bounds);

}  // namespace octile
