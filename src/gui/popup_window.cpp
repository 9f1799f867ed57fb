#include "gui/popup_window.h"

#include <QCloseEvent>

#include "gui/app_icon.h"
#include "gui/qt_text.h"
#include "resources/resources.h"

namespace octile {

PopupWindow::PopupWindow() : QWidget(nullptr, Qt::Window) {
    setWindowTitle(ToQString(LoadString(AFX_IDS_APP_TITLE)));
    setWindowIcon(ApplicationIcon());
    // The main window's closing ends the program, not this one's.
    setAttribute(Qt::WA_QuitOnClose, false);
}

void PopupWindow::ShowClientSize(QSize size) {
    if (isVisible()) remembered_ = pos();
    move(remembered_);
    resize(size.expandedTo(QSize(1, 1)));
    show();
    update();
}

void PopupWindow::closeEvent(QCloseEvent* event) {
    remembered_ = pos();
    QWidget::closeEvent(event);
}

}  // namespace octile
