#include "app/main_frame.h"

namespace octile {

CMainFrame::CMainFrame(ProfileStore& store, COctileDoc& doc, COctileView& view)
    : store_(store), doc_(doc), view_(view) {}

std::optional<CMainFrame::Placement> CMainFrame::ReadPosition() const {
    Placement p;
    p.x = store_.GetProfileInt("Position", "X", 0);
    p.y = store_.GetProfileInt("Position", "Y", 0);
    p.w = store_.GetProfileInt("Position", "W", 0);
    p.h = store_.GetProfileInt("Position", "H", 0);
    if (p.w <= 0 || p.h <= 0) return std::nullopt;
    return p;
}

void CMainFrame::WritePosition(const Placement& p) {
    store_.WriteProfileInt("Position", "X", p.x);
    store_.WriteProfileInt("Position", "Y", p.y);
    store_.WriteProfileInt("Position", "W", p.w);
    store_.WriteProfileInt("Position", "H", p.h);
}

int32_t CMainFrame::IdealFrameWidth(int32_t frameWidth, int32_t clientWidth,
                                    int32_t scrollBarWidth) const {
    return (frameWidth - clientWidth) + scrollBarWidth + view_.TextPixelWidth() - 1;
}

int32_t CMainFrame::MessagePaneWidth(int32_t frameWidth, int32_t clientWidth,
                                     int32_t scrollBarWidth) const {
    return IdealFrameWidth(frameWidth, clientWidth, scrollBarWidth) / 3;
}

std::u16string CMainFrame::PaneText(int pane) const {
    switch (pane) {
        case 1: case 2: case 3: case 4: case 5:
            return u"M";
        case 6:
            return doc_.IsReadOnly() ? u"R/O" : u"R/W";
        case 7:
            switch (view_.GetCharCode()) {
                case 0: return u"SJIS";
                case 1: return u"UNICODE";
                case 2: return u"JIS";
                case 3: return u"EUC";
                default: return u" ";
            }
        case 8: {
            uint64_t start = 0, end = 0;
            view_.GetSelectionRange(start, end);
            return u"Addr=" + FormatAddress(view_.dumpSettings(), start) + u"-" +
                   FormatAddress(view_.dumpSettings(), end);
        }
        default:
            return {};
    }
}

uint32_t CMainFrame::MarkPaneColour(int pane) const {
    if (pane < 1 || pane > 5) return 0;
    return view_.GetMarkColour(pane);
}

uint32_t CMainFrame::ClickCommand(int pane) {
    if (pane >= 1 && pane <= 5) return ID_MARK_COLOR1 + static_cast<uint32_t>(pane - 1);
    if (pane == 6) return ID_READ_ONLY;
    if (pane == 7) return ID_CODE_NEXT;
    return 0;
}

}  // namespace octile
