#pragma once
// CTextWnd: the compare report window. It paints the report text in the
// view's font and colours from its top-left corner. A report taller or
// wider than the free area of the screen is shown in a window cut to that
// area, and scrolls.
#include <QFont>
#include <QStringList>

#include "gui/popup_window.h"
#include "host/ui_host.h"

class QScrollArea;

namespace octile {

class ReportCanvas;

class CTextWnd : public PopupWindow {
    Q_OBJECT
  public:
    CTextWnd();

    // Takes the report and shows the window with a client area of the
    // report's size (or what the screen can take of it), in place when it
    // is open.
    void ShowReport(const ReportWindowData& report);
    const ReportWindowData& Report() const { return report_; }
    // The widget the report is painted on: at least the report's size.
    QWidget* Canvas() const;
    QScrollArea* ScrollArea() const { return scroll_; }

  protected:
    // Cut to the room; a window cut in height gains the width of the
    // vertical scroll bar, so that whole lines stay visible.
    QSize FitClientSize(QSize wanted, QSize room) const override;

  private:
    ReportWindowData report_;
    QScrollArea* scroll_ = nullptr;
    ReportCanvas* canvas_ = nullptr;
};

}  // namespace octile
