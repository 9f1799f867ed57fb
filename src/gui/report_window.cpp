#include "gui/report_window.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include "gui/qt_text.h"
#include "gui/qt_ui_host.h"

namespace octile {

// Paints the report text; it fills the scroll area's viewport when that is
// larger than the report.
class ReportCanvas : public QWidget {
  public:
    ReportCanvas() {
        setObjectName(QStringLiteral("reportCanvas"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void SetReport(const ReportWindowData& report) {
        report_ = &report;
        font_ = MakeViewFont(report.font);
        const QFontMetrics metrics(font_);
        ascent_ = metrics.ascent();
        lineHeight_ = ViewLineHeight(metrics);
        // Plain drawText shows "&" as it is; lines break only at line feeds.
        lines_ = ToQString(report.text).split(QLatin1Char('\n'));
        setMinimumSize(QSize(report.width, report.height).expandedTo(QSize(1, 1)));
        update();
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        if (report_ == nullptr) return;
        painter.fillRect(event->rect(), ToQColor(report_->backColour));
        painter.setFont(font_);
        painter.setPen(ToQColor(report_->textColour));
        int baseline = ascent_;
        for (const QString& line : lines_) {
            if (baseline - ascent_ > event->rect().bottom()) break;
            if (!line.isEmpty()) painter.drawText(QPointF(0, baseline), line);
            baseline += lineHeight_;
        }
    }

  private:
    const ReportWindowData* report_ = nullptr;
    // Made once per report rather than at every paint.
    QFont font_;
    int ascent_ = 0;
    int lineHeight_ = 0;
    QStringList lines_;
};

CTextWnd::CTextWnd() {
    setObjectName(QStringLiteral("reportWindow"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("reportScrollArea"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    canvas_ = new ReportCanvas;
    scroll_->setWidget(canvas_);
    layout->addWidget(scroll_);
}

QWidget* CTextWnd::Canvas() const { return canvas_; }

QSize CTextWnd::FitClientSize(QSize wanted, QSize room) const {
    QSize client = wanted;
    if (client.height() > room.height()) {
        client.rwidth() +=
            style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll_->verticalScrollBar());
    }
    return client.boundedTo(room);
}

void CTextWnd::ShowReport(const ReportWindowData& report) {
    report_ = report;
    canvas_->SetReport(report_);
    scroll_->horizontalScrollBar()->setValue(0);
    scroll_->verticalScrollBar()->setValue(0);
    ShowClientSize(QSize(report.width, report.height));
}

}  // namespace octile
