#pragma once
// CDibWnd: the picture window. Its client area is the picture's size, or
// the picture scaled down in proportion when the screen's free area cannot
// take it; it draws the held picture (kept in proportion when resized) and
// is black while nothing can be drawn. Showing it leaves the keyboard with
// the main window, so that keys like F3 go on working there.
#include <QImage>

#include "gui/popup_window.h"
#include "picture/dib.h"

namespace octile {

class CDibWnd : public PopupWindow {
    Q_OBJECT
  public:
    CDibWnd();

    // Shows dib (which must outlive the window's use of it) at the picture's
    // size, in place when the window is open.
    void ShowPicture(const CDib& dib);
    // The picture as drawn, null when it cannot be read.
    const QImage& Image() const { return image_; }

  protected:
    QSize FitClientSize(QSize wanted, QSize room) const override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void Rebuild();

    const CDib* dib_ = nullptr;
    uint64_t serial_ = UINT64_MAX;
    QImage image_;
};

}  // namespace octile
