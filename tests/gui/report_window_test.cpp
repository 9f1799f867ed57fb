// The compare report window on real widgets: shown in the view's font and
// colours at 108 x 65 cells, cut to the screen's free area and scrolled
// when the screen is too small, refilled in place by a later compare, and
// back where it was closed.
#include "gui/report_window.h"

#include <QImage>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>

#include "gui/gui_fixture.h"
#include "resources/resources.h"

using namespace octile;
using namespace octile::test;

namespace {

// Answers the compare dialog and the colour and font choosers from a script.
struct CompareHost : ColourFontHost {
    bool GetFileName(FileDialogRequest& request) override {
        if (fileAnswer.empty()) return false;
        request.chosenPath = fileAnswer;
        return true;
    }
    std::string fileAnswer;
};

// A shown program with new.bin open and old files beside it.
struct CompareProgram : ProgramWith<CompareHost> {
    CompareProgram() {
        newPath = home.WriteFile("new.bin", "ABCDEFGH");
        differentPath = home.WriteFile("a&b.bin", "AXCDEFGH");
        if (!app.ProcessShellCommand({newPath})) qFatal("open failed");
        Show();
    }
    CTextWnd* Compare(const std::string& old) {
        host.fileAnswer = old;
        window->RunCommand(ID_COMPARE);
        return host.ReportWindow();
    }
    QSize ReportSize() { return {108 * view().CharWidth(), 65 * view().LineHeight()}; }
    // Puts the report window on the large screen to the right, where a
    // whole report fits.
    static void MoveToLargeScreen(CTextWnd* report, QPoint at) {
        QVERIFY(QGuiApplication::screenAt(at) != nullptr);
        QVERIFY(QGuiApplication::screenAt(at)->availableGeometry().height() >= 1600);
        report->move(at);
        QTRY_COMPARE(report->pos(), at);
    }
    std::string newPath;
    std::string differentPath;
};

// Pixels of a band of the window's lines that are not the background.
int Ink(const QImage& image, int firstLine, int lines, int lineHeight, QRgb background) {
    int n = 0;
    for (int y = firstLine * lineHeight; y < (firstLine + lines) * lineHeight; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) != (background & 0xFFFFFF)) ++n;
        }
    }
    return n;
}

}  // namespace

class ReportWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void reportShowsInTheViewsFontAndColours();
    void tallReportIsCutToTheScreenAndScrolls();
    void laterComparesReuseTheWindowInPlace();
    void closedWindowComesBackWhereItWasClosed();
};

void ReportWindowTest::reportShowsInTheViewsFontAndColours() {
    CompareProgram p;
    const uint32_t text = 0x801000, back = 0xD0F0F0;
    p.host.colours = {text, back};
    p.app.RouteCommand(ID_VIEW_COLOR);
    p.app.RouteCommand(ID_VIEW_BKCOLOR);
    QVERIFY(p.host.ReportWindow() == nullptr);

    CTextWnd* report = p.Compare(p.differentPath);
    QVERIFY(report != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(report));
    QCOMPARE(report->windowTitle(), QStringLiteral("ﾊﾞｲﾅﾘｴﾃﾞｨﾀ"));
    QCOMPARE(report->Canvas()->size(), p.ReportSize());
    QCOMPARE(report->pos(), QPoint(0, 0));
    // The heading (paths, the ampersand kept) and one difference line.
    const QString shown = ToQString(report->Report().text);
    QVERIFY(shown.startsWith(QStringLiteral("          ") + PathToQString(p.differentPath)));
    QVERIFY(shown.contains(PathToQString(p.newPath)));
    QCOMPARE(shown.count(QLatin1Char('\n')), 2);
    QVERIFY(shown.contains(QStringLiteral("\n00000000: 41 58 43")));
    QCOMPARE(report->Report().font.height, p.view().Font().height);
    QCOMPARE(report->Report().font.faceName, p.view().Font().faceName);

    // Painted: the background colour all over, the text colour on the two
    // lines from the top-left, nothing below them.
    const QImage image = report->Canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int lh = p.view().LineHeight();
    const QRgb background = ToQColor(back).rgb();
    QCOMPARE(image.pixel(image.width() - 1, image.height() - 1) & 0xFFFFFF, background & 0xFFFFFF);
    QVERIFY(Ink(image, 0, 1, lh, background) > 0);
    QVERIFY(Ink(image, 1, 1, lh, background) > 0);
    QCOMPARE(Ink(image, 2, 63, lh, background), 0);
    bool textColourSeen = false;
    for (int y = lh; y < 2 * lh && !textColourSeen; ++y) {
        for (int x = 0; x < image.width() && !textColourSeen; ++x) {
            textColourSeen = (image.pixel(x, y) & 0xFFFFFF) == (ToQColor(text).rgb() & 0xFFFFFF);
        }
    }
    QVERIFY(textColourSeen);
    // The first difference line starts at the left edge: "0" in column 0.
    int leftInk = 0;
    for (int y = lh; y < 2 * lh; ++y) {
        for (int x = 0; x < p.view().CharWidth(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) != (background & 0xFFFFFF)) ++leftInk;
        }
    }
    QVERIFY(leftInk > 0);

    // The window belongs to the main window's life.
    p.window->close();
    QVERIFY(p.host.ReportWindow() == nullptr);
}

void ReportWindowTest::tallReportIsCutToTheScreenAndScrolls() {
    CompareProgram p;
    CTextWnd* report = p.Compare(p.differentPath);
    QVERIFY(QTest::qWaitForWindowExposed(report));
    // 65 lines of the Japanese font are taller than the 1080 rows of the
    // primary screen.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(p.ReportSize().height() > area.height());
    QVERIFY2(area.contains(report->frameGeometry()), "the whole frame is on the screen");
    QCOMPARE(report->frameGeometry().height(), area.height());
    // The whole width stays, with the vertical scroll bar beside it.
    QScrollArea* scroll = report->ScrollArea();
    const int bar = report->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr,
                                                 scroll->verticalScrollBar());
    QCOMPARE(report->width(), p.ReportSize().width() + bar);
    QCOMPARE(report->Canvas()->size(), p.ReportSize());
    QVERIFY(scroll->verticalScrollBar()->isVisible());
    QVERIFY(!scroll->horizontalScrollBar()->isVisible());
    // Scrolled to its end, the last line comes into the window.
    QScrollBar* vertical = scroll->verticalScrollBar();
    QCOMPARE(vertical->maximum(), p.ReportSize().height() - scroll->viewport()->height());
    vertical->setValue(vertical->maximum());
    QCOMPARE(report->Canvas()->y() + p.ReportSize().height(), scroll->viewport()->height());

    // Where the screen takes the whole report, the window is its size and
    // nothing scrolls.
    CompareProgram::MoveToLargeScreen(report, QPoint(2000, 120));
    CTextWnd* again = p.Compare(p.differentPath);
    QCOMPARE(again, report);
    QCOMPARE(again->size(), p.ReportSize());
    QCOMPARE(again->pos(), QPoint(2000, 120));
    QTRY_VERIFY(!scroll->verticalScrollBar()->isVisible());
    QCOMPARE(vertical->value(), 0);  // a new report starts at its top
}

void ReportWindowTest::laterComparesReuseTheWindowInPlace() {
    CompareProgram p;
    CTextWnd* first = p.Compare(p.differentPath);
    QVERIFY(QTest::qWaitForWindowExposed(first));
    CompareProgram::MoveToLargeScreen(first, QPoint(2150, 120));

    // A file equal to the open one: the same window, in place.
    CTextWnd* second = p.Compare(p.newPath);
    QCOMPARE(second, first);
    QVERIFY(second->isVisible());
    QCOMPARE(second->Report().text, std::u16string(u"同じです\n"));
    QCOMPARE(second->size(), p.ReportSize());
    QCOMPARE(second->pos(), QPoint(2150, 120));

    // A font twice as large: the report is taller than even this screen, so
    // the window keeps its left edge and moves up as far as the screen needs.
    ViewFont larger = p.view().Font();
    larger.height = 2 * larger.height;
    p.host.fontAnswer = larger;
    p.app.RouteCommand(ID_VIEW_FONT);
    CTextWnd* third = p.Compare(p.newPath);
    QCOMPARE(third, first);
    QCOMPARE(third->Report().font.height, larger.height);
    QCOMPARE(third->Canvas()->size(), p.ReportSize());
    const QRect area = QGuiApplication::screenAt(QPoint(2150, 120))->availableGeometry();
    QVERIFY(p.ReportSize().height() > area.height());
    QCOMPARE(third->frameGeometry().topLeft(), QPoint(2150, area.top()));
    QCOMPARE(third->frameGeometry().height(), area.height());
}

void ReportWindowTest::closedWindowComesBackWhereItWasClosed() {
    CompareProgram p;
    CTextWnd* report = p.Compare(p.differentPath);
    QVERIFY(QTest::qWaitForWindowExposed(report));
    CompareProgram::MoveToLargeScreen(report, QPoint(2090, 60));
    report->close();
    QVERIFY(!report->isVisible());
    QCOMPARE(report->RememberedPosition(), QPoint(2090, 60));

    CTextWnd* again = p.Compare(p.newPath);
    QVERIFY(again->isVisible());
    QCOMPARE(again->pos(), QPoint(2090, 60));
    QCOMPARE(again->size(), p.ReportSize());
    QCOMPARE(again->Report().text, std::u16string(u"同じです\n"));

    // Closed where the screen has no room for it (a monitor that is gone),
    // it comes back wholly on the nearest screen's free area.
    again->move(4300, 1500);
    QTRY_COMPARE(again->pos(), QPoint(4300, 1500));
    again->close();
    CTextWnd* pulled = p.Compare(p.newPath);
    const QRect area = QGuiApplication::screenAt(QPoint(4000, 100))->availableGeometry();
    QVERIFY2(area.contains(pulled->frameGeometry()), "the whole frame is on the screen");
    QCOMPARE(pulled->frameGeometry().right(), area.right());
    QCOMPARE(pulled->size(), p.ReportSize());
}

QTEST_MAIN(ReportWindowTest)
#include "report_window_test.moc"
