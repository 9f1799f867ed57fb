// The picture window on real widgets: with picture display on, going to a
// mark at a picture shows it; closed, it comes back where it was; and the
// bitmap save writes a bitmap file of the picture; a picture larger than
// the screen is shown scaled down; a picture found by a search leaves the
// keyboard with the main window.
#include "gui/picture_window.h"

#include <QBuffer>
#include <QImage>
#include <QScreen>
#include <QThread>
#include <thread>

#include "gui/gui_fixture.h"

using namespace octile;
using namespace octile::test;

namespace {

struct SaveHost : QtUiHost {
    int DoModal(DialogRef dialog) override {
        if (auto* s = std::get_if<CSearchSecDlg*>(&dialog)) {
            (*s)->searchText = searchText;
            return IDOK;
        }
        return IDCANCEL;
    }
    void Beep() override { ++beeps; }
    std::u16string searchText;
    int beeps = 0;
    bool GetFileName(FileDialogRequest& request) override {
        lastTitle = request.title;
        if (answer.empty()) return false;
        request.chosenPath = answer;
        return true;
    }
    std::string answer;
    std::u16string lastTitle;
};

// A PNG of w x h: red on the left half, blue on the right.
QByteArray Png(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, x < w / 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A shown program on a file holding a PNG at an odd offset (and a second,
// larger one after it), with a mark on the first PNG's anchor (its "PNG"
// signature, one byte in).
struct PictureProgram : ProgramWith<SaveHost> {
    static constexpr uint64_t kAt = 0x33;
    static constexpr int kSecondWidth = 2400, kSecondHeight = 900;
    PictureProgram() {
        const QByteArray first = QByteArray(kAt, 'x') + Png(40, 30) + QByteArray(300, 'y');
        secondAt = first.size();
        path = home.WriteFile("pics.bin",
                              first + Png(kSecondWidth, kSecondHeight) + QByteArray(300, 'z'));
        if (!app.ProcessShellCommand({path})) qFatal("open failed");
        app.setPlugInFolder(OCTILE_PLUGIN_DIR);
        Show();
        view().UpdateSelection(SelectionStep::kAnchor, kAt + 1);
        view().UpdateSelection(SelectionStep::kCaret, kAt + 1);
        window->RunCommand(ID_MARK1);
        view().UpdateSelection(SelectionStep::kAnchor, 0);
        view().UpdateSelection(SelectionStep::kCaret, 0);
        window->RunCommand(ID_VIEW_PICTURE);
    }
    std::string path;
    uint64_t secondAt = 0;
};

}  // namespace

class PictureWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void goingToAMarkAtAPictureShowsIt();
    void closedWindowComesBackWhereItWas();
    void bitmapSaveWritesTheHeldPicture();
    void pictureWiderThanTheScreenIsScaledDown();
    void searchHitLeavesTheKeysWithTheMainWindow();
    void taskPostedFromAnotherThreadRunsOnTheWindowThread();
};

void PictureWindowTest::goingToAMarkAtAPictureShowsIt() {
    PictureProgram p;
    QVERIFY(p.host.PictureWindow() == nullptr);  // nothing at the anchor yet
    p.window->RunCommand(ID_MARK_NEXT);
    // Decoded on a thread of its own: shown once the window thread has it.
    QTRY_VERIFY(p.host.PictureWindow() != nullptr);
    CDibWnd* w = p.host.PictureWindow();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->size(), QSize(40, 30));
    QCOMPARE(w->windowTitle(), QStringLiteral("ﾊﾞｲﾅﾘｴﾃﾞｨﾀ"));
    const QImage shot = w->grab().toImage();
    QCOMPARE(shot.pixel(5, 5) & 0xFFFFFF, qRgb(255, 0, 0) & 0xFFFFFFu);
    QCOMPARE(shot.pixel(35, 25) & 0xFFFFFF, qRgb(0, 0, 255) & 0xFFFFFFu);

    // Turning the display off closes the window.
    p.window->RunCommand(ID_VIEW_PICTURE);
    QVERIFY(!w->isVisible());
}

void PictureWindowTest::closedWindowComesBackWhereItWas() {
    PictureProgram p;
    p.window->RunCommand(ID_MARK_NEXT);
    // Decoded on a thread of its own: shown once the window thread has it.
    QTRY_VERIFY(p.host.PictureWindow() != nullptr);
    CDibWnd* w = p.host.PictureWindow();
    w->move(70, 40);
    QTRY_COMPARE(w->pos(), QPoint(70, 40));
    w->close();
    p.view().UpdateSelection(SelectionStep::kAnchor, 0);
    p.window->RunCommand(ID_MARK_NEXT);
    QTRY_VERIFY(w->isVisible());
    QCOMPARE(w->pos(), QPoint(70, 40));
}

void PictureWindowTest::bitmapSaveWritesTheHeldPicture() {
    PictureProgram p;
    QVERIFY(!p.app.RouteUpdate(ID_FILE_SAVE_BITMAP).enabled);
    p.window->RunCommand(ID_MARK_NEXT);
    QTRY_VERIFY(p.app.RouteUpdate(ID_FILE_SAVE_BITMAP).enabled);
    p.host.answer = QStringToPath(p.home.Path("out.bmp"));
    p.window->RunCommand(ID_FILE_SAVE_BITMAP);
    QCOMPARE(p.host.lastTitle, std::u16string(u"BITMAP保存"));
    const QImage saved(p.home.Path("out.bmp"), "BMP");
    QCOMPARE(saved.size(), QSize(40, 30));
    QCOMPARE(saved.pixel(0, 29) & 0xFFFFFF, qRgb(255, 0, 0) & 0xFFFFFFu);
    QCOMPARE(saved.pixel(39, 0) & 0xFFFFFF, qRgb(0, 0, 255) & 0xFFFFFFu);
}

void PictureWindowTest::pictureWiderThanTheScreenIsScaledDown() {
    PictureProgram p;
    p.host.searchText = u"PNG";
    QTest::keyClick(&p.dump(), Qt::Key_F, Qt::ControlModifier);
    QTest::keyClick(&p.dump(), Qt::Key_F3);
    QCOMPARE(p.view().Anchor(), p.secondAt + 1);
    // Decoded on a thread of its own: shown once the window thread has it.
    QTRY_VERIFY(p.host.PictureWindow() != nullptr);
    CDibWnd* w = p.host.PictureWindow();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    const QRect area = w->screen()->availableGeometry();
    QVERIFY(PictureProgram::kSecondWidth > area.width());
    // A window manager frames the window after it is shown: wait for that.
    QTRY_VERIFY2(area.contains(w->frameGeometry()), "the whole frame is on the screen");
    // As wide as the screen takes, in the picture's proportions (8:3).
    const int width = area.width() - (w->frameGeometry().width() - w->width());
    QTRY_COMPARE(w->width(), width);
    QTRY_COMPARE(w->height(), width * PictureProgram::kSecondHeight / PictureProgram::kSecondWidth);
    // The whole picture is drawn: red at the left edge, blue at the right.
    const QImage shot = w->grab().toImage();
    QCOMPARE(shot.pixel(1, shot.height() / 2) & 0xFFFFFF, qRgb(255, 0, 0) & 0xFFFFFFu);
    QCOMPARE(shot.pixel(shot.width() - 2, shot.height() / 2) & 0xFFFFFF,
             qRgb(0, 0, 255) & 0xFFFFFFu);
}

void PictureWindowTest::searchHitLeavesTheKeysWithTheMainWindow() {
    PictureProgram p;
    QVERIFY(QTest::qWaitForWindowActive(p.window.get()));
    p.host.searchText = u"PNG";
    QTest::keyClick(&p.dump(), Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(p.view().Anchor(), PictureProgram::kAt + 1);
    // Decoded on a thread of its own: shown once the window thread has it.
    QTRY_VERIFY(p.host.PictureWindow() != nullptr);
    CDibWnd* w = p.host.PictureWindow();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->size(), QSize(40, 30));
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        // F3 in the main window finds the next picture ...
        QTest::keyClick(&p.dump(), Qt::Key_F3);
        QCOMPARE(p.view().Anchor(), p.secondAt + 1);
        QCOMPARE(p.host.beeps, 0);
        // ... but whether the keys stay there needs a real window system:
        // the offscreen platform activates every window it shows.
        QSKIP("run under a window manager by geometry_under_wm.sh");
    }
    // Give the window manager time to hand the focus over, as it would do
    // for a window that asks for it.
    QTest::qWait(500);
    QVERIFY(!w->isActiveWindow());
    QVERIFY(p.window->isActiveWindow());
    QWidget* focus = QApplication::focusWidget();
    QCOMPARE(focus, static_cast<QWidget*>(&p.dump()));
    // F3 goes where the keyboard is, and searches again.
    QTest::keyClick(focus, Qt::Key_F3);
    QCOMPARE(p.view().Anchor(), p.secondAt + 1);
    QCOMPARE(p.host.beeps, 0);
    QTest::qWait(200);
    QVERIFY(p.window->isActiveWindow());
}

void PictureWindowTest::taskPostedFromAnotherThreadRunsOnTheWindowThread() {
    PictureProgram p;
    QThread* ranOn = nullptr;
    std::thread poster([&] { p.host.PostToWindow([&] { ranOn = QThread::currentThread(); }); });
    poster.join();
    QTRY_VERIFY(ranOn != nullptr);
    QCOMPARE(ranOn, QCoreApplication::instance()->thread());
}

QTEST_MAIN(PictureWindowTest)
#include "picture_window_test.moc"
