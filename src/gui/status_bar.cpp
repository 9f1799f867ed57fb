#include "gui/status_bar.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "app/main_frame.h"
#include "gui/qt_text.h"
#include "resources/resources.h"

namespace octile {

namespace {

static_assert(CStatusBarEx2::kPaneCount == CMainFrame::kPaneCount);

bool IsMarkPane(int index) { return index >= 1 && index <= 5; }

}  // namespace

StatusPane::StatusPane(int index, QWidget* parent) : QLabel(parent), index_(index) {
    setContentsMargins(kPadding, 0, kPadding, 0);
    setMargin(0);
    setIndent(0);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setTextFormat(Qt::PlainText);
}

void StatusPane::SetFill(uint32_t colour) {
    if (fill_ == colour) return;
    fill_ = colour;
    update();
}

void StatusPane::FitToText() {
    const int width = fontMetrics().horizontalAdvance(text()) + 2 * kPadding;
    if (index_ == CStatusBarEx2::kAddressPane) {
        setMinimumWidth(width);
        setMaximumWidth(QWIDGETSIZE_MAX);
    } else {
        setFixedWidth(width);
    }
}

void StatusPane::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    // The message pane's width is set from outside; the others follow their text.
    if (event->type() == QEvent::FontChange && index_ > 0) FitToText();
}

void StatusPane::paintEvent(QPaintEvent* event) {
    if (!fill_) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.fillRect(rect(), ToQColor(*fill_));
}

void StatusPane::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

void StatusPane::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        event->accept();
        if (onClicked) onClicked(index_);
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

CStatusBarEx2::CStatusBarEx2(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("statusBar"));
    for (int i = 0; i < kPaneCount; ++i) {
        auto* pane = new StatusPane(i, this);
        panes_[static_cast<size_t>(i)] = pane;
        if (i == 0) {
            pane->setObjectName(QStringLiteral("messagePane"));
        } else {
            pane->setObjectName(QStringLiteral("statusPane%1").arg(i));
        }
        // The mark colours start black until the view sets them.
        if (IsMarkPane(i)) pane->SetFill(0);
        pane->onClicked = [this](int index) {
            if (onPaneClicked) onPaneClicked(index);
        };
        addWidget(pane, i == kAddressPane ? 1 : 0);
        // Each indicator's string table text sizes its pane until the first refresh.
        if (i > 0) {
            pane->setText(ToQString(LoadString(CMainFrame::kIndicators[i])));
            pane->FitToText();
        }
    }
}

void CStatusBarEx2::SetMarkPaneColour(int index, uint32_t colour) {
    if (index < 0 || index > 4) return;
    Pane(index + 1)->SetFill(colour);
}

void CStatusBarEx2::SetPaneText(int index, const QString& text) {
    if (index <= 0 || index >= kPaneCount) return;
    StatusPane* pane = Pane(index);
    // Called at every idle tick: only a new text needs measuring.
    if (pane->text() == text) return;
    pane->setText(text);
    pane->FitToText();
}

void CStatusBarEx2::SetMessagePaneWidth(int width) { Pane(0)->setFixedWidth(std::max(0, width)); }

}  // namespace octile
