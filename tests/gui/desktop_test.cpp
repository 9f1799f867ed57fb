// The window on a dark desktop theme and on a high-DPI screen: the chrome
// follows the theme while the dump keeps the user's stored colours, and at
// twice the device pixels the dump is drawn at full resolution and the
// fixed-width frame still holds a whole dump line.
#include <QImage>
#include <QMenuBar>
#include <QPalette>

#include "gui/gui_fixture.h"

using namespace octile;
using namespace octile::test;

class DesktopTest : public QObject {
    Q_OBJECT
  private slots:
    void darkThemeKeepsTheStoredColours();
    void highDpiDrawsAtDevicePixelsAndFitsALine();
};

void DesktopTest::darkThemeKeepsTheStoredColours() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(20, 20, 20));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    const QPalette saved = QApplication::palette();
    QApplication::setPalette(dark);

    Program p;
    const std::string file = p.home.WriteFile("d.bin", QByteArray(0x100, 'A'));
    QVERIFY(p.app.ProcessShellCommand({file}));
    p.Show();
    // The chrome follows the theme.
    QCOMPARE(p.window->menuBar()->palette().color(QPalette::Window), QColor(30, 30, 30));
    // The dump keeps the stored colours: white background, black text.
    const QImage shot = p.dump().viewport()->grab().toImage();
    const int y = p.view().LineHeight() * 3 + 1;
    QCOMPARE(shot.pixel(shot.width() - 3, y) & 0xFFFFFF, 0xFFFFFFu);
    int dark_ink = 0;
    for (int x = 0; x < 8 * p.view().CharWidth(); ++x) {
        for (int yy = p.view().LineHeight(); yy < 2 * p.view().LineHeight(); ++yy) {
            if (qGray(shot.pixel(x, yy)) < 64) ++dark_ink;
        }
    }
    QVERIFY(dark_ink > 0);  // the address column is drawn in the black text colour
    QApplication::setPalette(saved);
}

void DesktopTest::highDpiDrawsAtDevicePixelsAndFitsALine() {
    Program p;
    const std::string file = p.home.WriteFile("h.bin", QByteArray(0x1000, 'h'));
    QVERIFY(p.app.ProcessShellCommand({file}));
    p.Show();
    QCOMPARE(p.dump().devicePixelRatioF(), 2.0);
    const QPixmap shot = p.dump().viewport()->grab();
    // Drawn at device pixels, not scaled up from a logical-size image.
    QCOMPARE(shot.devicePixelRatio(), 2.0);
    QCOMPARE(shot.width(), p.dump().viewport()->width() * 2);
    // A whole dump line fits the frame's fixed width.
    const int line = (p.view().TextArea().right + 1) * p.view().CharWidth();
    QVERIFY2(p.dump().viewport()->width() >= line,
             qPrintable(QStringLiteral("%1 < %2").arg(p.dump().viewport()->width()).arg(line)));
}

int main(int argc, char** argv) {
    // Twice the device pixels per logical pixel, as on a high-DPI screen.
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    DesktopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "desktop_test.moc"
