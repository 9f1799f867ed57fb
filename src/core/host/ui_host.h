#pragma once
// Everything the core asks of a window system. The Qt shell implements it;
// tests use a fake that records what was asked and answers from a script.
#include <algorithm>
#include <cstdint>
#include <string>

#include "host/dialogs.h"

namespace octile {
class CDib;
}

namespace octile {

enum MessageBoxType : uint32_t {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_ICONHAND = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONASTERISK = 0x40,
};

enum DialogResult : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

struct PixelRect {
    int32_t left = -1, top = -1, right = -1, bottom = -1;
    bool operator==(const PixelRect&) const = default;
};

struct Point {
    int32_t x = 0, y = 0;
};

// The view font's description: the four stored fields. The rest of the
// description is fixed (fixed pitch, Shift-JIS character set).
struct ViewFont {
    int32_t height = -15;  // negative: character height in pixels
    int32_t weight = 400;
    uint8_t italic = 0;
    std::u16string faceName;  // at most 31 characters
    bool operator==(const ViewFont&) const = default;
};

// The pixel size of the font made from the description. A negative height is
// the character height, a positive one the cell height, taken as the same
// size; 0 asks for the default 15.
inline int32_t ViewFontPixelSize(const ViewFont& font) {
    if (font.height == 0) return 15;
    // Widened first: the magnitude of the most negative height does not fit.
    const int64_t pixels = font.height < 0 ? -int64_t{font.height} : int64_t{font.height};
    return static_cast<int32_t>(std::min<int64_t>(pixels, INT32_MAX));
}

// The weight (1..1000) of the font made from the description; 0 or below
// asks for the normal weight, 400.
inline int32_t ViewFontWeight(const ViewFont& font) {
    return font.weight <= 0 ? 400 : std::min(font.weight, 1000);
}

struct FontMetrics {
    int32_t charWidth = 8;
    int32_t lineHeight = 16;
};

// The compare report window's contents and its client size in pixels.
struct ReportWindowData {
    std::u16string text;
    uint32_t textColour = 0;
    uint32_t backColour = 0xFFFFFF;
    ViewFont font;
    int32_t width = 0;
    int32_t height = 0;
};

class UiHost {
public:
    virtual ~UiHost() = default;

    // Messages and feedback.
    virtual int MessageBox(const std::u16string& text, uint32_t type) = 0;
    virtual void Beep() = 0;
    virtual void SetMessageText(const std::u16string& text) = 0;
    virtual void PumpMessages() = 0;
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;

    // Dialogs: IDOK, IDCANCEL or the dialog's own end code.
    virtual int DoModal(DialogRef dialog) = 0;
    virtual bool GetFileName(FileDialogRequest& request) = 0;
    virtual bool BrowseForFolder(std::string& folder) = 0;

    // Clipboard (Unicode text).
    virtual void SetClipboardText(const std::u16string& text) = 0;
    virtual std::u16string GetClipboardText() = 0;

    // The desktop's default application for a file.
    virtual void OpenWithShell(const std::string& path) = 0;

    // The main window.
    virtual void CloseMainWindow() = 0;
    virtual void UpdateTitle() = 0;
    virtual void RecalcFrameWidth() = 0;

    // The dump view's window.
    virtual void RepaintView() = 0;        // repaint everything now
    virtual void UpdateInversions() = 0;   // the inverted spans changed
    virtual void SetScrollRange(int32_t minimum, int32_t maximum) = 0;
    virtual void SetScrollPos(int32_t position) = 0;
    virtual void ShowScrollBar(bool show) = 0;
    virtual void SetCapture() = 0;
    virtual void ReleaseCapture() = 0;
    virtual void SetTimer(uint32_t id, uint32_t milliseconds) = 0;
    virtual void KillTimer(uint32_t id) = 0;
    virtual Point GetCursorPos() = 0;      // in view client coordinates
    virtual int32_t GetWheelScrollLines() = 0;
    // Character width and line height of the font made from the description.
    virtual FontMetrics MeasureFont(const ViewFont& font) = 0;

    // The colour chooser, preset to colour (0x00BBGGRR); false on cancel.
    virtual bool ChooseColor(uint32_t& colour) { (void)colour; return false; }
    // The font chooser (fixed-pitch fonts only), preset to font; false on cancel.
    virtual bool ChooseFont(ViewFont& font) { (void)font; return false; }
    // Shows (or refills in place) the compare report window.
    virtual void ShowReport(const ReportWindowData& report) { (void)report; }
    // Shows the picture window with dib (created at its remembered place when
    // closed), or closes it.
    virtual void ShowPicture(const CDib& dib) { (void)dib; }
    virtual void ClosePicture() {}
};

}  // namespace octile
