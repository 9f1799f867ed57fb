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
    ShowClientSize(QSize(report.width, report.height));
}

void CTextWnd::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), ToQColor(report_.backColour));
    const QFont font = MakeViewFont(report_.font);
    painter.setFont(font);
    painter.setPen(ToQColor(report_.textColour));
    const QFontMetrics metrics(font);
    const int lineHeight = ViewLineHeight(metrics);
    // Plain drawText shows "&" as it is; lines break only at line feeds.
    const QStringList lines = ToQString(report_.text).split(QLatin1Char('\n'));
    int baseline = metrics.ascent();
    for (const QString& line : lines) {
        if (baseline - metrics.ascent() > event->rect().bottom()) break;
        if (!line.isEmpty()) painter.drawText(QPointF(0, baseline), line);
        baseline += lineHeight;
    }
}

}  // namespace octile
