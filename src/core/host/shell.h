#pragma once
// Shell: the main window and the windows beside it (compare report, picture),
// and the desktop's default application for a file.
#include <cstdint>
#include <string>

#include "host/font.h"

namespace octile {

class CDib;

// The compare report window's contents and its client size in pixels.
struct ReportWindowData {
    std::u16string text;
    uint32_t textColour = 0;
    uint32_t backColour = 0xFFFFFF;
    ViewFont font;
    int32_t width = 0;
    int32_t height = 0;
};

class Shell {
  public:
    virtual ~Shell() = default;

    // Opens the file with the desktop's default application.
    virtual void OpenWithShell(const std::string& path) = 0;

    // The main window.
    virtual void CloseMainWindow() = 0;
    virtual void UpdateTitle() = 0;
    virtual void RecalcFrameWidth() = 0;

    // Shows (or refills in place) the compare report window.
    virtual void ShowReport(const ReportWindowData& report) { (void)report; }
    // Shows the picture window with dib (created at its remembered place when
    // closed), or closes it.
    virtual void ShowPicture(const CDib& dib) { (void)dib; }
    virtual void ClosePicture() {}
    // Shows or hides the data inspector panel beside the dump.
    virtual void ShowInspector(bool on) { (void)on; }
};

}  // namespace octile
