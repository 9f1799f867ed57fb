// The main frame on real widgets: the status panes and their clicks, the
// saved placement, the width that follows a dump line, and the colours
// that a restart keeps.
#include <QAction>
#include <QFile>
#include <QImage>
#include <QStatusBar>
#include <optional>

#include "charcode/charcode.h"
#include "gui/gui_fixture.h"
#include "gui/status_bar.h"
#include "resources/resources.h"

using namespace octile;
using namespace octile::test;

namespace {

using FrameProgram = ProgramWith<ColourFontHost>;

// Opens a file of length bytes (sparse beyond its first bytes).
std::string OpenFile(FrameProgram& p, const QString& name, qint64 length) {
    const std::string path = p.home.WriteFile(name, QByteArray(16, 'x'));
    QFile file(PathToQString(path));
    if (!file.resize(length)) qFatal("cannot size %s", qPrintable(name));
    if (!p.app.OpenDocumentFile(path)) qFatal("cannot open %s", qPrintable(name));
    return path;
}

StatusPane* Pane(FrameProgram& p, int index) { return p.window->statusBarEx()->Pane(index); }

int TextWidth(const StatusPane* pane) {
    return pane->fontMetrics().horizontalAdvance(pane->text());
}

// The colour the middle of a pane is painted with.
QColor PaneColour(StatusPane* pane) {
    const QImage image = pane->grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

void Click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }

}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT
  private slots:
    void statusPanesFollowTheView();
    void markPanesShowTheMarkColours();
    void codePaneClicksCycleTheCode();
    void paneClicksRunTheirCommands_data();
    void paneClicksRunTheirCommands();
    void positionIsSavedAndRestored();
    void positionNeedsWidthAndHeight_data();
    void positionNeedsWidthAndHeight();
    void frameWidthFollowsTheAddressAndTheFont();
    void coloursSurviveARestart();
};

void MainFrameTest::statusPanesFollowTheView() {
    FrameProgram p;
    QVERIFY(p.app.ProcessShellCommand({}));
    OpenFile(p, "data.bin", 0x2000);
    p.Show();
    QTRY_COMPARE(Pane(p, 6)->text(), QStringLiteral("R/O"));
    QCOMPARE(Pane(p, 7)->text(), QStringLiteral("SJIS"));
    QCOMPARE(Pane(p, 8)->text(), QStringLiteral("Addr=00000000-00000000"));

    // A selection made backwards shows its lower end first.
    const int cw = p.view().CharWidth();
    const int lh = p.view().LineHeight();
    const QPoint byte5(p.view().Layout().HexColumn(5) * cw + cw / 2, 2 * lh + lh / 2);
    QTest::mouseClick(p.dump().viewport(), Qt::LeftButton, Qt::NoModifier, byte5);
    QTest::keyClick(&p.dump(), Qt::Key_Up, Qt::ShiftModifier);
    QTRY_COMPARE(Pane(p, 8)->text(), QStringLiteral("Addr=00000005-00000015"));

    p.window->MenuAction(ID_READ_ONLY)->trigger();
    QTRY_COMPARE(Pane(p, 6)->text(), QStringLiteral("R/W"));
    p.window->MenuAction(ID_CODE_UNICODE)->trigger();
    QTRY_COMPARE(Pane(p, 7)->text(), QStringLiteral("UNICODE"));
    p.window->MenuAction(ID_CODE_UTF8)->trigger();
    QTRY_COMPARE(Pane(p, 7)->text(), QStringLiteral("UTF-8"));

    // Each text pane is as wide as its text; the message pane is a third of
    // the frame's width and the address pane takes the rest of the bar.
    QApplication::processEvents();
    for (int i : {6, 7}) QCOMPARE(Pane(p, i)->contentsRect().width(), TextWidth(Pane(p, i)));
    QCOMPARE(Pane(p, 0)->width(), p.window->IdealFrameWidth() / 3);
    StatusPane* address = Pane(p, 8);
    QVERIFY(address->contentsRect().width() > TextWidth(address));
    for (int i = 0; i < 8; ++i) QVERIFY(Pane(p, i)->geometry().right() < address->x());
    QVERIFY(p.window->statusBar()->width() - address->geometry().right() < 40);
}

void MainFrameTest::markPanesShowTheMarkColours() {
    FrameProgram p;
    QVERIFY(p.app.ProcessShellCommand({}));
    p.Show();
    // The defaults: red, green, cyan, magenta, yellow.
    const uint32_t defaults[] = {0x0000FF, 0x00FF00, 0xFFFF00, 0xFF00FF, 0x00FFFF};
    for (int kind = 1; kind <= 5; ++kind) {
        QCOMPARE(Pane(p, kind)->Fill(), std::optional<uint32_t>(defaults[kind - 1]));
        QCOMPARE(PaneColour(Pane(p, kind)), ToQColor(defaults[kind - 1]));
    }
    // A colour the view sets reaches its pane at once, not at the next idle.
    p.view().SetMarkColour(3, 0x204060);
    QCOMPARE(Pane(p, 4)->Fill(), std::optional<uint32_t>(0x204060));
    QCOMPARE(PaneColour(Pane(p, 4)), ToQColor(0x204060));
    QCOMPARE(Pane(p, 3)->Fill(), std::optional<uint32_t>(defaults[2]));
}

void MainFrameTest::codePaneClicksCycleTheCode() {
    FrameProgram p;
    QVERIFY(p.app.ProcessShellCommand({}));
    OpenFile(p, "data.bin", 0x100);
    p.Show();
    const struct {
        int32_t code;
        const char* name;
    } cycle[] = {
        {CODE_UNICODE, "UNICODE"}, {CODE_EUC, "EUC"}, {CODE_UTF8, "UTF-8"}, {CODE_SJIS, "SJIS"}};
    for (const auto& step : cycle) {
        Click(Pane(p, 7));
        QTRY_COMPARE(p.view().GetCharCode(), step.code);
        QTRY_COMPARE(Pane(p, 7)->text(), QString::fromLatin1(step.name));
    }
}

void MainFrameTest::paneClicksRunTheirCommands_data() {
    QTest::addColumn<int>("pane");
    QTest::addColumn<bool>("readOnlyAfter");
    QTest::addColumn<int>("colourAsked");  // the mark kind whose chooser opens, or 0
    QTest::newRow("message pane") << 0 << true << 0;
    QTest::newRow("mark pane 2") << 2 << true << 2;
    QTest::newRow("mark pane 5") << 5 << true << 5;
    QTest::newRow("access mode pane") << 6 << false << 0;
    QTest::newRow("address pane") << 8 << true << 0;
}

void MainFrameTest::paneClicksRunTheirCommands() {
    QFETCH(int, pane);
    QFETCH(bool, readOnlyAfter);
    QFETCH(int, colourAsked);
    FrameProgram p;
    QVERIFY(p.app.ProcessShellCommand({}));
    OpenFile(p, "data.bin", 0x100);
    p.Show();
    p.host.colours = {0x010203};
    const std::u16string text = p.view().DumpText();

    Click(Pane(p, pane));
    // The command is posted: nothing has run while the click is handled.
    QVERIFY(p.host.offeredColours.empty());
    QVERIFY(p.app.doc().IsReadOnly() != 0);
    QTest::qWait(50);

    QCOMPARE(p.app.doc().IsReadOnly() != 0, readOnlyAfter);
    QCOMPARE(p.view().GetCharCode(), int32_t(CODE_SJIS));
    QCOMPARE(p.view().DumpText(), text);
    if (colourAsked == 0) {
        QVERIFY(p.host.offeredColours.empty());
        return;
    }
    QCOMPARE(p.host.offeredColours.size(), size_t(1));
    const uint32_t defaults[] = {0x0000FF, 0x00FF00, 0xFFFF00, 0xFF00FF, 0x00FFFF};
    QCOMPARE(p.host.offeredColours[0], defaults[colourAsked - 1]);
    QCOMPARE(p.view().GetMarkColour(colourAsked), uint32_t(0x010203));
    QCOMPARE(Pane(p, colourAsked)->Fill(), std::optional<uint32_t>(0x010203));
}

void MainFrameTest::positionIsSavedAndRestored() {
    auto home = std::make_shared<PrivateHome>();
    QRect saved;
    {
        FrameProgram first(QByteArray(), home);
        QVERIFY(first.app.ProcessShellCommand({}));
        first.Show();
        first.window->move(123, 87);
        first.window->resize(first.window->width(), first.window->height() + 57);
        QTRY_COMPARE(first.window->frameGeometry().topLeft(), QPoint(123, 87));
        saved = first.window->frameGeometry();
    }
    {
        FrameProgram second(QByteArray(), home);
        QCOMPARE(second.store.GetProfileInt("Position", "X", -1), saved.x());
        QCOMPARE(second.store.GetProfileInt("Position", "Y", -1), saved.y());
        QCOMPARE(second.store.GetProfileInt("Position", "W", -1), saved.width());
        QCOMPARE(second.store.GetProfileInt("Position", "H", -1), saved.height());
        QVERIFY(second.app.ProcessShellCommand({}));
        second.Show();
        // The whole outer rectangle comes back, frame included.
        QTRY_COMPARE(second.window->frameGeometry(), saved);
    }
}

void MainFrameTest::positionNeedsWidthAndHeight_data() {
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<bool>("applied");
    QTest::newRow("width and height") << 500 << 450 << true;
    QTest::newRow("no width") << 0 << 450 << false;
    QTest::newRow("negative height") << 500 << -1 << false;
}

void MainFrameTest::positionNeedsWidthAndHeight() {
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(bool, applied);
    auto home = std::make_shared<PrivateHome>();
    {
        IniProfileStore store(GetProfileStorePath());
        store.WriteProfileInt("Position", "X", 211);
        store.WriteProfileInt("Position", "Y", 143);
        store.WriteProfileInt("Position", "W", w);
        store.WriteProfileInt("Position", "H", h);
        store.Flush();
    }
    FrameProgram p(QByteArray(), home);
    QVERIFY(p.app.ProcessShellCommand({}));
    p.Show();
    if (applied) {
        QTRY_COMPARE(p.window->frameGeometry().topLeft(), QPoint(211, 143));
        QTRY_COMPARE(p.window->frameGeometry().height(), h);
    } else {
        QApplication::processEvents();
        QVERIFY(p.window->frameGeometry().topLeft() != QPoint(211, 143));
    }
    // Whatever the saved width, the window is as wide as a dump line.
    QCOMPARE(p.window->width(), p.window->IdealFrameWidth());
}

void MainFrameTest::frameWidthFollowsTheAddressAndTheFont() {
    FrameProgram p;
    QVERIFY(p.app.ProcessShellCommand({}));
    OpenFile(p, "small.bin", 0x2000);
    p.Show();
    const int cw = p.view().CharWidth();
    const int eightDigits = p.window->width();
    QCOMPARE(eightDigits, p.window->IdealFrameWidth());

    // A file past 4 GiB needs a ninth address digit: one cell wider.
    OpenFile(p, "large.bin", Q_INT64_C(0x100000010));
    QCOMPARE(p.view().ExtraDigits(), 1);
    QCOMPARE(p.window->width(), eightDigits + cw);
    QCOMPARE(p.window->width(), p.window->IdealFrameWidth());
    QTRY_COMPARE(Pane(p, 8)->text(), QStringLiteral("Addr=000000000-000000000"));
    // Only the height can change.
    QCOMPARE(p.window->minimumWidth(), p.window->width());
    QCOMPARE(p.window->maximumWidth(), p.window->width());

    // A larger font makes the cells, and so the window, wider.
    ViewFont larger = p.view().Font();
    larger.height = 2 * p.view().Font().height;
    p.host.fontAnswer = larger;
    p.app.RouteCommand(ID_VIEW_FONT);
    QVERIFY(p.view().CharWidth() > cw);
    QVERIFY(p.window->width() > eightDigits + cw);
    QCOMPARE(p.window->width(), p.window->IdealFrameWidth());
    QTRY_COMPARE(Pane(p, 0)->width(), p.window->IdealFrameWidth() / 3);
}

void MainFrameTest::coloursSurviveARestart() {
    auto home = std::make_shared<PrivateHome>();
    const uint32_t text = 0x203040, back = 0xE0F0D0, mark3 = 0x8000FF;
    {
        FrameProgram first(QByteArray(), home);
        QVERIFY(first.app.ProcessShellCommand({}));
        OpenFile(first, "data.bin", 0x100);
        first.Show();
        first.host.colours = {text, back, mark3};
        first.app.RouteCommand(ID_VIEW_COLOR);
        first.app.RouteCommand(ID_VIEW_BKCOLOR);
        Click(Pane(first, 3));
        QTRY_VERIFY(first.host.colours.empty());
        QCOMPARE(first.view().GetMarkColour(3), mark3);
    }
    FrameProgram second(QByteArray(), home);
    QCOMPARE(second.view().TextColour(), text);
    QCOMPARE(second.view().BackColour(), back);
    QCOMPARE(second.view().GetMarkColour(3), mark3);
    QCOMPARE(Pane(second, 3)->Fill(), std::optional<uint32_t>(mark3));
    QVERIFY(second.app.ProcessShellCommand({}));
    second.Show();
    const QImage dump = second.dump().viewport()->grab().toImage();
    QCOMPARE(dump.pixelColor(dump.width() - 2, dump.height() - 2), ToQColor(back));
    QCOMPARE(PaneColour(Pane(second, 3)), ToQColor(mark3));
}

QTEST_MAIN(MainFrameTest)
#include "main_frame_test.moc"
