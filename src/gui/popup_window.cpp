#include "gui/popup_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <utility>
#include <vector>

#include "app/main_frame.h"
#include "gui/app_icon.h"
#include "gui/qt_text.h"
#include "resources/resources.h"

namespace octile {

QRect AvailableAreaAt(QPoint point) {
    // The primary screen first, so that it wins among equally near ones.
    QList<QScreen*> screens = QGuiApplication::screens();
    if (QScreen* primary = QGuiApplication::primaryScreen()) {
        screens.removeAll(primary);
        screens.prepend(primary);
    }
    std::vector<ScreenArea> areas;
    for (const QScreen* screen : screens) {
        const QRect r = screen->availableGeometry();
        areas.push_back({r.x(), r.y(), r.width(), r.height()});
    }
    const int i = NearestArea(areas, point.x(), point.y());
    if (i < 0) return {};
    return QRect(areas[i].x, areas[i].y, areas[i].w, areas[i].h);
}

QRect FitOntoScreen(const QRect& outer) {
    const QRect area = AvailableAreaAt(outer.topLeft());
    if (area.isEmpty()) return outer;
    const CMainFrame::Placement fitted =
        FitIntoArea({outer.x(), outer.y(), outer.width(), outer.height()},
                    {area.x(), area.y(), area.width(), area.height()});
    return QRect(fitted.x, fitted.y, fitted.w, fitted.h);
}

QMargins FrameMargins(const QWidget* window) {
    const QWindow* handle = window->windowHandle();
    return handle != nullptr && handle->handle() != nullptr ? handle->frameMargins() : QMargins();
}

FrameWatch::FrameWatch(QWidget* window, std::function<void(QMargins)> onChange,
                       std::function<void()> onDone)
    : window_(window), onChange_(std::move(onChange)), onDone_(std::move(onDone)) {
    timer_.setInterval(kPollMs);
    connect(&timer_, &QTimer::timeout, this, &FrameWatch::Poll);
}

void FrameWatch::Start(QMargins known) {
    known_ = known;
    polls_ = 0;
    timer_.start();
}

void FrameWatch::Poll() {
    const QMargins now = FrameMargins(window_);
    if (now != known_) {
        known_ = now;
        onChange_(now);
    }
    if (!now.isNull() || ++polls_ >= kMaxPolls) {
        timer_.stop();
        if (onDone_) onDone_();
    }
}

PopupWindow::PopupWindow()
    : QWidget(nullptr, Qt::Window), frameWatch_(this, [this](QMargins) { Place(); }) {
    setWindowTitle(ToQString(LoadString(AFX_IDS_APP_TITLE)));
    setWindowIcon(ApplicationIcon());
    // The main window's closing ends the program, not this one's.
    setAttribute(Qt::WA_QuitOnClose, false);
}

QSize PopupWindow::FitClientSize(QSize wanted, QSize room) const { return wanted.boundedTo(room); }

void PopupWindow::ShowClientSize(QSize size) {
    if (isVisible()) remembered_ = pos();
    wanted_ = size.expandedTo(QSize(1, 1));
    // Made now, so that a platform that knows the frame at once reports it.
    create();
    Place();
    const bool framed = !FrameMargins(this).isNull();
    show();
    update();
    if (!framed) frameWatch_.Start(FrameMargins(this));
}

void PopupWindow::Place() {
    const QMargins m = FrameMargins(this);
    const QRect area = AvailableAreaAt(remembered_);
    QSize client = wanted_;
    if (!area.isEmpty()) {
        const QSize room = area.size().shrunkBy(m).expandedTo(QSize(1, 1));
        if (client.width() > room.width() || client.height() > room.height()) {
            client = FitClientSize(client, room).boundedTo(room);
        }
    }
    client = client.expandedTo(QSize(1, 1));
    const QRect outer = FitOntoScreen(QRect(remembered_, client.grownBy(m)));
    setGeometry(outer.marginsRemoved(m));
}

void PopupWindow::closeEvent(QCloseEvent* event) {
    remembered_ = pos();
    QWidget::closeEvent(event);
}

}  // namespace octile
