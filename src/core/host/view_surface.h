#pragma once
// ViewSurface: the dump view's window: painting, the scroll bar, mouse
// capture, timers and the font's measures.
#include <cstdint>

#include "host/font.h"

namespace octile {

struct PixelRect {
    int32_t left = -1, top = -1, right = -1, bottom = -1;
    bool operator==(const PixelRect&) const = default;
};

struct Point {
    int32_t x = 0, y = 0;
};

struct FontMetrics {
    int32_t charWidth = 8;
    int32_t lineHeight = 16;
};

class ViewSurface {
  public:
    virtual ~ViewSurface() = default;

    virtual void RepaintView() = 0;       // repaint everything now
    virtual void UpdateInversions() = 0;  // the inverted spans changed
    virtual void SetScrollRange(int32_t minimum, int32_t maximum) = 0;
    virtual void SetScrollPos(int32_t position) = 0;
    virtual void ShowScrollBar(bool show) = 0;
    virtual void SetCapture() = 0;
    virtual void ReleaseCapture() = 0;
    virtual void SetTimer(uint32_t id, uint32_t milliseconds) = 0;
    virtual void KillTimer(uint32_t id) = 0;
    virtual Point GetCursorPos() = 0;  // in view client coordinates
    virtual int32_t GetWheelScrollLines() = 0;
    // Character width and line height of the font made from the description.
    virtual FontMetrics MeasureFont(const ViewFont& font) = 0;
};

}  // namespace octile
