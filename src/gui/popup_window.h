#pragma once
// PopupWindow: a top-level window of the view's own (the compare report
// now, the picture later), titled with the application title. Closing it
// only hides it; shown again, it comes back where it was closed.
#include <QPoint>
#include <QSize>
#include <QWidget>

namespace octile {

class PopupWindow : public QWidget {
    Q_OBJECT
  public:
    PopupWindow();

    // Shows the window with a client area of the given size. An open window
    // keeps its place; a closed one comes back at the position it was
    // closed at ((0, 0) before the first time).
    void ShowClientSize(QSize size);
    QPoint RememberedPosition() const { return remembered_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QPoint remembered_{0, 0};
};

}  // namespace octile
