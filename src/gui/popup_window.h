#pragma once
// PopupWindow: a top-level window of the view's own (the compare report,
// the picture), titled with the application title. Closing it only hides
// it; shown again, it comes back where it was closed. It never reaches
// past the free area of its screen.
#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace octile {

// The free area (QScreen::availableGeometry) of the screen nearest to a
// point, the primary screen's among equals; null when there is no screen.
QRect AvailableAreaAt(QPoint point);
// An outer window rectangle cut to the free area of the screen nearest its
// top-left corner and moved by the least distance that puts it wholly there.
QRect FitOntoScreen(const QRect& outer);
// The window system's frame around a top-level window; empty until the
// window manager has framed it.
QMargins FrameMargins(const QWidget* window);

// Watches a newly shown window for its frame: a window manager frames a
// window only after it has been mapped, so outer sizes set before that
// leave out the frame. Each change of the margins is reported; the watch
// ends once a frame has been seen, or after a while without one (no window
// manager, or one that draws no frame).
class FrameWatch : public QObject {
  public:
    FrameWatch(QWidget* window, std::function<void(QMargins)> onChange,
               std::function<void()> onDone = {});
    // Starts watching; known are the margins the window was placed with.
    void Start(QMargins known);
    bool Active() const { return timer_.isActive(); }

  private:
    void Poll();

    static constexpr int kPollMs = 20;
    static constexpr int kMaxPolls = 150;

    QWidget* window_;
    std::function<void(QMargins)> onChange_;
    std::function<void()> onDone_;
    QMargins known_;
    int polls_ = 0;
    QTimer timer_;
};

class PopupWindow : public QWidget {
    Q_OBJECT
  public:
    PopupWindow();

    // Shows the window with a client area of the given size, or of the size
    // FitClientSize makes of it when the screen cannot take it. An open
    // window keeps its place; a closed one comes back at the position it was
    // closed at ((0, 0) before the first time). Either is moved as far as
    // needed to lie wholly on the screen.
    void ShowClientSize(QSize size);
    QPoint RememberedPosition() const { return remembered_; }

  protected:
    // The client size to use for a wanted one when room (the free area of
    // the screen less the frame) is smaller: by default, cut to room.
    virtual QSize FitClientSize(QSize wanted, QSize room) const;
    void closeEvent(QCloseEvent* event) override;

  private:
    // Sizes and places the window for the wanted client size, the
    // remembered position and the current frame.
    void Place();

    QPoint remembered_{0, 0};
    QSize wanted_;
    FrameWatch frameWatch_;
};

}  // namespace octile
