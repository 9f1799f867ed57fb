#include "gui/report_window.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include "gui/qt_text.h"
#include "gui/qt_ui_host.h"

namespace octile {

CTextWnd::CTextWnd() {
    setObjectName(QStringLiteral("reportWindow"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CTextWnd::ShowReport(const ReportWindowData& report) {
    report_ = report;
    font_ = MakeViewFont(report_.font);
    const QFontMetrics metrics(font_);
    ascent_ = metrics.ascent();
    lineHeight_ = ViewLineHeight(metrics);
    // Plain drawText shows "&" as it is; lines break only at line feeds.
    lines_ = ToQString(report_.text).split(QLatin1Char('\n'));
    ShowClientSize(QSize(report.width, report.height));
}

void CTextWnd::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), ToQColor(report_.backColour));
    painter.setFont(font_);
    painter.setPen(ToQColor(report_.textColour));
    int baseline = ascent_;
    for (const QString& line : lines_) {
        if (baseline - ascent_ > event->rect().bottom()) break;
        if (!line.isEmpty()) painter.drawText(QPointF(0, baseline), line);
        baseline += lineHeight_;
    }
}

}  // namespace octile
