#include "app/main_frame.h"

#include <algorithm>

#include "resources/resources.h"
#include "util/utf.h"

namespace octile {

namespace {

// A length in hexadecimal digits without leading zeros, in the dump's case.
std::u16string HexLength(uint64_t value, bool upper) {
    const char16_t* digits = upper ? u"0123456789ABCDEF" : u"0123456789abcdef";
    std::u16string text;
    do {
        text.insert(text.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return text;
}

}  // namespace

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
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
            return u"M";
        case 6:
            return doc_.IsReadOnly() ? u"R/O" : u"R/W";
        case 7:
            switch (view_.GetCharCode()) {
                case 0:
                    return u"SJIS";
                case 1:
                    return u"UNICODE";
                case 2:
                    return u"JIS";
                case 3:
                    return u"EUC";
                case 4:
                    return u"UTF-8";
                default:
                    return u" ";
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

std::u16string CMainFrame::IdleText() const {
    if (!view_.IsFileOpen() || !doc_.HasFile()) return LoadString(AFX_IDS_IDLEMESSAGE);
    uint64_t start = 0, end = 0;
    view_.GetSelectionRange(start, end);
    const uint64_t length = doc_.GetFileLength();
    const uint64_t selected = length == 0 ? 0 : end - start + 1;
    return u"選択長 0x" + HexLength(selected, view_.IsUpper()) + u" (" +
           Utf8ToUtf16(std::to_string(selected)) + u") ﾌｧｲﾙ長 0x" +
           HexLength(length, view_.IsUpper()) + u" (" + Utf8ToUtf16(std::to_string(length)) + u")";
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

namespace {

// How far a coordinate lies outside [first, first + length).
int64_t Outside(int64_t v, int64_t first, int64_t length) {
    if (v < first) return first - v;
    const int64_t last = first + std::max<int64_t>(length, 1) - 1;
    return v > last ? v - last : 0;
}

}  // namespace

int NearestArea(const std::vector<ScreenArea>& areas, int32_t x, int32_t y) {
    int best = -1;
    int64_t bestDistance = 0;
    for (size_t i = 0; i < areas.size(); ++i) {
        const ScreenArea& a = areas[i];
        const int64_t dx = Outside(x, a.x, a.w);
        const int64_t dy = Outside(y, a.y, a.h);
        const int64_t distance = dx * dx + dy * dy;
        if (best < 0 || distance < bestDistance) {
            best = static_cast<int>(i);
            bestDistance = distance;
        }
    }
    return best;
}

CMainFrame::Placement FitIntoArea(const CMainFrame::Placement& rect, const ScreenArea& area) {
    CMainFrame::Placement fitted = rect;
    fitted.w = std::min(rect.w, area.w);
    fitted.h = std::min(rect.h, area.h);
    // In 64 bits: a saved position may be anywhere in the 32-bit range.
    const auto clampTo = [](int64_t v, int64_t low, int64_t high) {
        return static_cast<int32_t>(std::clamp(v, low, std::max(low, high)));
    };
    fitted.x = clampTo(rect.x, area.x, int64_t{area.x} + area.w - fitted.w);
    fitted.y = clampTo(rect.y, area.y, int64_t{area.y} + area.h - fitted.h);
    return fitted;
}

PixelSize ShrinkToFit(PixelSize size, PixelSize bounds) {
    if (size.w <= 0 || size.h <= 0 || (size.w <= bounds.w && size.h <= bounds.h)) return size;
    const int64_t w = size.w, h = size.h;
    const int64_t bw = std::max(bounds.w, 1), bh = std::max(bounds.h, 1);
    // The side that overflows the most sets the scale: bw / w against bh / h.
    if (bw * h <= bh * w) {
        return {static_cast<int32_t>(bw), static_cast<int32_t>(std::max<int64_t>(1, h * bw / w))};
    }
    return {static_cast<int32_t>(std::max<int64_t>(1, w * bh / h)), static_cast<int32_t>(bh)};
}

}  // namespace octile
