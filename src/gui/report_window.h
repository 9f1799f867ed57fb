#pragma once
// CTextWnd: the compare report window. It paints the report text in the
// view's font and colours from its top-left corner and does not scroll.
#include <QFont>
#include <QStringList>

#include "gui/popup_window.h"
#include "host/ui_host.h"

namespace octile {

class CTextWnd : public PopupWindow {
    Q_OBJECT
  public:
    CTextWnd();

    // Takes the report and shows the window with a client area of the
    // report's size, in place when it is open.
    void ShowReport(const ReportWindowData& report);
    const ReportWindowData& Report() const { return report_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    ReportWindowData report_;
    // Made once per report rather than at every paint.
    QFont font_;
    int ascent_ = 0;
    int lineHeight_ = 0;
    QStringList lines_;
};

}  // namespace octile
