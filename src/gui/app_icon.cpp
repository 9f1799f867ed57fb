#include "gui/app_icon.h"

#include <QPainter>
#include <QPixmap>

#include "command/command_ids.h"
#include "gui/qt_text.h"
#include "resources/resources.h"

// Resources of a static library are registered by name, outside any namespace.
static void InitOctileResources() { Q_INIT_RESOURCE(octile); }

namespace octile {

namespace {

// The shapes of octile.svg, on a 64 × 64 grid.
QPixmap PaintApplicationIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x4e, 0x79));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);
    p.fillRect(QRectF(9, 9, 46, 3), QColor(0x9d, 0xc3, 0xe6));
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 4; ++column) {
            const bool selected = row == 1 && (column == 1 || column == 2);
            p.setBrush(selected ? QColor(0xf5, 0xa6, 0x23) : QColor(Qt::white));
            p.drawRoundedRect(QRectF(9 + 12 * column, 17 + 14 * row, 10, 10), 2, 2);
        }
    }
    return pixmap;
}

const char* ThemeIconName(uint32_t command) {
    switch (command) {
        case ID_FILE_OPEN:
            return "document-open";
        case ID_FILE_HEXLIST:
            return "document-save-as";
        case ID_EDIT_COPY:
            return "edit-copy";
        case ID_EDIT_PASTE:
            return "edit-paste";
        case ID_SEARCH:
            return "edit-find";
        case ID_APP_ABOUT:
            return "help-about";
        default:
            return "";
    }
}

// A plain button face with the first letter of the tool tip.
QIcon DrawnToolbarIcon(uint32_t command) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x1f, 0x4e, 0x79));
    p.setBrush(QColor(0xde, 0xeb, 0xf7));
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    const QString tip = ToQString(LoadToolTip(command));
    if (!tip.isEmpty()) {
        QFont font = p.font();
        font.setPixelSize(11);
        p.setFont(font);
        p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, tip.left(1));
    }
    return QIcon(pixmap);
}

}  // namespace

QIcon ApplicationIcon() {
    static const QIcon icon = [] {
        InitOctileResources();
        QIcon svg(QStringLiteral(":/octile.svg"));
        if (!svg.pixmap(32, 32).isNull()) return svg;
        QIcon drawn;
        for (int size : {16, 24, 32, 48, 64, 128}) drawn.addPixmap(PaintApplicationIcon(size));
        return drawn;
    }();
    return icon;
}

QIcon ToolbarIcon(uint32_t command) {
    return QIcon::fromTheme(QString::fromLatin1(ThemeIconName(command)), DrawnToolbarIcon(command));
}

}  // namespace octile
