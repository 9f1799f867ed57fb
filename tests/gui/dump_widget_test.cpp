// The dump on real widgets: keys, the jump dialog, wheel, scroll bar and
// mouse drive the view as they would for a user, and the page is painted
// with the selection inverted.
#include <QFontDatabase>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <QWheelEvent>

#include "charcode/charcode.h"
#include "gui/gui_fixture.h"
#include "gui/key_translate.h"
#include "resources/resources.h"

using namespace octile;
using namespace octile::test;

namespace {

constexpr int kFileLength = 0x2000;

// Lines of different bytes, except that the first two lines are equal (for
// the pixel comparison).
QByteArray Pattern() {
    QByteArray bytes(kFileLength, '\0');
    for (int i = 0; i < kFileLength; ++i) {
        bytes[i] = static_cast<char>((i % 16) * 7 + (i >= 32 ? i / 16 : 0));
    }
    return bytes;
}

// A program with a 0x2000-byte file open (read-only unless writable) and the
// window shown.
struct OpenProgram : Program {
    explicit OpenProgram(bool writable = false)
        : Program(writable ? QByteArray("[Setting]\nNoReadOnly=1\n") : QByteArray()) {
        path = home.WriteFile("data.bin", Pattern());
        if (!app.ProcessShellCommand({path})) qFatal("open failed");
        Show();
    }
    int cw() { return view().CharWidth(); }
    int lh() { return view().LineHeight(); }
    // The centre of a cell, in viewport coordinates.
    QPoint Cell(int column, int row) { return {column * cw() + cw() / 2, row * lh() + lh() / 2}; }
    // The high digit of byte k of data row r.
    QPoint ByteCell(int k, int row) { return Cell(view().Layout().HexColumn(k), row); }
    QWidget* viewport() { return dump().viewport(); }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(&dump(), key, modifiers);
    }
    void Wheel(QWidget* target, int delta) {
        const QPointF at(20, 20);
        QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }
    // Rows of the read window: as many 16-byte lines as fit below the ruler.
    uint64_t ExpectedReadSize() { return uint64_t(viewport()->height() / lh() - 1) * 16; }
    uint64_t LastLine() { return kFileLength - 16; }

    std::string path;
};

}  // namespace

class DumpWidgetTest : public QObject {
    Q_OBJECT
  private slots:
    void keysTranslateToTheAcceleratorTable_data();
    void keysTranslateToTheAcceleratorTable();
    void openingShowsTheFirstPage();
    void emptyViewIgnoresInput();
    void pagingKeysMoveTheWindow();
    void acceleratorsWorkAnywhereInTheWindow();
    void jumpDialogMovesToTheTypedAddress_data();
    void jumpDialogMovesToTheTypedAddress();
    void wheelScrollsByLines_data();
    void wheelScrollsByLines();
    void scrollBarRequestsGoThroughTheView();
    void arrowsMoveTheCaretAndCollapse();
    void arrowsAtTheEdgesScrollOrStay();
    void homeAndEndMoveOnlyTheCaretCell();
    void shiftArrowsMoveOnlyTheCaretOffset();
    void shiftLeftWithAnchorAboveTheWindowScrollsUp();
    void dragInsideSelectsWithoutMovingTheCaretCell();
    void dragBelowTheTextScrollsAndExtends();
    void selectedBytesAreInverted();
    void markedBytesAreColouredUnderTheirDigits();
    void viewFontFollowsTheDescription();
    void glyphsLandWhereTheTextEngineDrawsThem();
    void typedDigitsOverwriteTheFile_data();
    void typedDigitsOverwriteTheFile();
};

void DumpWidgetTest::keysTranslateToTheAcceleratorTable_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<uint>("command");
    QTest::newRow("PgDn") << int(Qt::Key_PageDown) << 0 << uint(ID_PAGE_NEXT);
    QTest::newRow("PgUp") << int(Qt::Key_PageUp) << 0 << uint(ID_PAGE_PREV);
    QTest::newRow("Ctrl+G") << int(Qt::Key_G) << int(Qt::ControlModifier) << uint(ID_JUMP);
    QTest::newRow("Shift+Left") << int(Qt::Key_Left) << int(Qt::ShiftModifier)
                                << uint(ID_SELECT_LEFT);
    QTest::newRow("Ctrl+Shift+End")
        << int(Qt::Key_End) << int(Qt::ControlModifier | Qt::ShiftModifier)
        << uint(ID_SELECT_BOTTOM);
    QTest::newRow("keypad Down") << int(Qt::Key_Down) << int(Qt::KeypadModifier)
                                 << uint(ID_CARET_DOWN);
    QTest::newRow("Shift+F3") << int(Qt::Key_F3) << int(Qt::ShiftModifier) << uint(ID_SEARCH_PREV);
    QTest::newRow("Ctrl+F2") << int(Qt::Key_F2) << int(Qt::ControlModifier) << uint(ID_MARK1);
    QTest::newRow("Ctrl+1") << int(Qt::Key_1) << int(Qt::ControlModifier) << uint(ID_MARK1);
    QTest::newRow("Shift+Insert") << int(Qt::Key_Insert) << int(Qt::ShiftModifier)
                                  << uint(ID_EDIT_PASTE);
    QTest::newRow("Esc") << int(Qt::Key_Escape) << 0 << uint(ID_SEARCH_ABORT);
    QTest::newRow("Alt+Left") << int(Qt::Key_Left) << int(Qt::AltModifier) << 0u;
    QTest::newRow("plain G") << int(Qt::Key_G) << 0 << 0u;
    QTest::newRow("Tab") << int(Qt::Key_Tab) << 0 << 0u;
}

void DumpWidgetTest::keysTranslateToTheAcceleratorTable() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(uint, command);
    const QKeyEvent event(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(AcceleratorCommand(event), uint32_t(command));
}

void DumpWidgetTest::openingShowsTheFirstPage() {
    OpenProgram p;
    QVERIFY(p.view().IsFileOpen());
    QCOMPARE(p.view().WindowOffset(), uint64_t(0));
    QCOMPARE(p.view().ReadSize(), p.ExpectedReadSize());
    QVERIFY(p.view().ReadSize() >= 32);
    QCOMPARE(uint64_t(p.view().ValidCount()), p.view().ReadSize());
    QCOMPARE(p.view().DumpText().substr(0, 10), std::u16string(u"--------|-"));
    QScrollBar* bar = p.dump().verticalScrollBar();
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), kFileLength / 16 - 1);
    QCOMPARE(bar->value(), 0);
    // The window is exactly as wide as a dump line needs.
    QCOMPARE(p.window->width(), p.window->IdealFrameWidth());
}

void DumpWidgetTest::emptyViewIgnoresInput() {
    Program p;
    QVERIFY(p.app.ProcessShellCommand({}));
    p.Show();
    QVERIFY(!p.dump().verticalScrollBar()->isVisible());
    QTest::keyClick(&p.dump(), Qt::Key_PageDown);
    QTest::keyClick(&p.dump(), Qt::Key_Down);
    QTest::mouseClick(p.dump().viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 40));
    // The jump is disabled before a file is open, so its dialog never shows.
    bool dialogShown = false;
    ModalScript script({[&](QWidget* dialog) {
        dialogShown = true;
        dialog->close();
    }});
    QTest::keyClick(&p.dump(), Qt::Key_G, Qt::ControlModifier);
    QApplication::processEvents();
    QVERIFY(!dialogShown);
    QCOMPARE(p.view().WindowOffset(), uint64_t(0));
    QCOMPARE(p.view().CaretCell(), (COctileView::Cell{10, 1}));
    QVERIFY(!p.view().IsDragging());
}

void DumpWidgetTest::pagingKeysMoveTheWindow() {
    OpenProgram p;
    const uint64_t r = p.view().ReadSize();
    QScrollBar* bar = p.dump().verticalScrollBar();
    p.Key(Qt::Key_PageDown);
    QCOMPARE(p.view().WindowOffset(), r);
    QCOMPARE(bar->value(), int((r + 15) / 16));
    p.Key(Qt::Key_PageDown);
    QCOMPARE(p.view().WindowOffset(), 2 * r);
    p.Key(Qt::Key_PageUp);
    QCOMPARE(p.view().WindowOffset(), r);
    p.Key(Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(p.view().WindowOffset(), p.LastLine());
    QCOMPARE(bar->value(), bar->maximum());
    p.Key(Qt::Key_PageDown);  // the last line is already at the top
    QCOMPARE(p.view().WindowOffset(), p.LastLine());
    p.Key(Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(p.view().WindowOffset(), uint64_t(0));
    QCOMPARE(bar->value(), 0);
}

void DumpWidgetTest::acceleratorsWorkAnywhereInTheWindow() {
    OpenProgram p;
    const uint64_t r = p.view().ReadSize();
    QTest::keyClick(p.window->statusBar(), Qt::Key_PageDown);
    QCOMPARE(p.view().WindowOffset(), r);
    QTest::keyClick(p.window->toolBar(), Qt::Key_PageUp);
    QCOMPARE(p.view().WindowOffset(), uint64_t(0));
    // Tab does not take the focus away from the dump.
    QVERIFY(p.dump().hasFocus());
    p.Key(Qt::Key_Tab);
    QVERIFY(p.dump().hasFocus());
}

void DumpWidgetTest::jumpDialogMovesToTheTypedAddress_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("button");
    QTest::addColumn<qulonglong>("expected");
    QTest::newRow("1234") << "1234"
                          << "okButton" << qulonglong(0x1234);
    QTest::newRow("lower-case hex") << "1ab"
                                    << "okButton" << qulonglong(0x1ab);
    QTest::newRow("cancel") << "1234"
                            << "cancelButton" << qulonglong(0);
    QTest::newRow("the file length") << "2000"
                                     << "okButton" << qulonglong(0);
}

void DumpWidgetTest::jumpDialogMovesToTheTypedAddress() {
    QFETCH(QString, typed);
    QFETCH(QString, button);
    QFETCH(qulonglong, expected);
    OpenProgram p;
    QString title, shown;
    const QByteArray end = button.toLatin1();
    ModalScript script({[&](QWidget* dialog) {
        title = dialog->windowTitle();
        auto* edit = dialog->findChild<QLineEdit*>("fieldEdit");
        if (edit == nullptr) return dialog->close(), void();
        shown = edit->text();
        edit->setText(typed);
        ClickLater(dialog, end.constData());
    }});
    p.Key(Qt::Key_G, Qt::ControlModifier);
    QVERIFY(script.Done());
    QCOMPARE(title, QStringLiteral("ｼﾞｬﾝﾌﾟ"));
    QCOMPARE(shown, QStringLiteral("00000000"));
    QCOMPARE(p.view().WindowOffset(), uint64_t(expected));
}

void DumpWidgetTest::wheelScrollsByLines_data() {
    QTest::addColumn<qulonglong>("start");
    QTest::addColumn<int>("delta");
    QTest::addColumn<bool>("overScrollBar");
    QTest::addColumn<qulonglong>("expected");
    // Three lines a notch: 48 bytes.
    QTest::newRow("down a notch") << qulonglong(0) << -120 << false << qulonglong(48);
    QTest::newRow("down two notches") << qulonglong(0x100) << -240 << false << qulonglong(0x160);
    QTest::newRow("up past the start") << qulonglong(32) << 120 << false << qulonglong(0);
    QTest::newRow("up a notch") << qulonglong(0x100) << 120 << false << qulonglong(0xD0);
    QTest::newRow("down past the end")
        << qulonglong(kFileLength - 16) << -120 << false << qulonglong(kFileLength - 16);
    QTest::newRow("half a notch") << qulonglong(0x100) << -60 << false << qulonglong(0x118);
    QTest::newRow("over the scroll bar") << qulonglong(0) << -120 << true << qulonglong(48);
}

void DumpWidgetTest::wheelScrollsByLines() {
    QFETCH(qulonglong, start);
    QFETCH(int, delta);
    QFETCH(bool, overScrollBar);
    QFETCH(qulonglong, expected);
    OpenProgram p;
    QApplication::setWheelScrollLines(3);
    p.view().SetWindowOffset(start);
    QCOMPARE(p.view().WindowOffset(), uint64_t(start));
    p.Wheel(overScrollBar ? static_cast<QWidget*>(p.dump().verticalScrollBar()) : p.viewport(),
            delta);
    QCOMPARE(p.view().WindowOffset(), uint64_t(expected));
}

void DumpWidgetTest::scrollBarRequestsGoThroughTheView() {
    OpenProgram p;
    const uint64_t r = p.view().ReadSize();
    QScrollBar* bar = p.dump().verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(p.view().WindowOffset(), uint64_t(16));
    QCOMPARE(bar->value(), 1);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(p.view().WindowOffset(), uint64_t(0));
    // A page is the read size, not the slider's own page step.
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(p.view().WindowOffset(), r);
    QCOMPARE(bar->value(), int((r + 15) / 16));
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    QCOMPARE(p.view().WindowOffset(), uint64_t(0));
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    QCOMPARE(p.view().WindowOffset(), p.LastLine());
    QCOMPARE(bar->value(), bar->maximum());
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    QCOMPARE(p.view().WindowOffset(), uint64_t(0));
    // A page the view refuses leaves the slider where the view has it.
    const uint64_t nearEnd = (kFileLength - r / 2) / 16 * 16;
    p.view().SetWindowOffset(nearEnd);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(p.view().WindowOffset(), nearEnd);
    QCOMPARE(bar->value(), int(nearEnd / 16));
    // Dragging the thumb: one position is one line.
    bar->setSliderPosition(100);
    QCOMPARE(p.view().WindowOffset(), uint64_t(100 * 16));
    QCOMPARE(bar->value(), 100);
}

void DumpWidgetTest::arrowsMoveTheCaretAndCollapse() {
    OpenProgram p;
    const DumpLayout L = p.view().Layout();
    QCOMPARE(p.view().CaretCell(), (COctileView::Cell{10, 1}));
    p.Key(Qt::Key_Right);  // the blank after byte 0 belongs to byte 0
    QCOMPARE(p.view().CaretCell(), (COctileView::Cell{L.HexDigitColumn(0, HexDigit::kBlank), 1}));
    QCOMPARE(p.view().Anchor(), uint64_t(0));
    QCOMPARE(p.view().CaretOffset(), uint64_t(0));
    p.Key(Qt::Key_Right);
    QCOMPARE(p.view().CaretCell(), (COctileView::Cell{L.HexColumn(1), 1}));
    QCOMPARE(p.view().Anchor(), uint64_t(1));
    QCOMPARE(p.view().CaretOffset(), uint64_t(1));
    p.Key(Qt::Key_Down);
    QCOMPARE(p.view().CaretCell(), (COctileView::Cell{L.HexColumn(1), 2}));
    QCOMPARE(p.view().Anchor(), uint64_t(17));
    QCOMPARE(p.view().CaretOffset(), uint64_t(17));
    p.Key(Qt::Key_Up);
    QCOMPARE(p.view().CaretCell(), (COctileView::Cell{L.HexColumn(1), 1}));
    QCOMPARE(p.view().CaretOffset(), uint64_t(1));
    // A click puts the caret on the cell and collapses the selection there.
    QTest::mouseClick(p.viewport(), Qt::LeftButton, Qt::NoModifier, p.ByteCell(5, 3));
    QCOMPARE(p.view().CaretCell(), (COctileView::Cell{L.HexColumn(5), 3}));
    QCOMPARE(p.view().Anchor(), uint64_t(37));
    QCOMPARE(p.view().CaretOffset(), uint64_t(37));
}

void DumpWidgetTest::arrowsAtTheEdgesScrollOrStay() {
    OpenProgram p;
    const DumpLayout L = p.view().Layout();
    const int lastRow = int(p.view().ReadSize() / 16);
    // Left on the first digit and Up on row 1 at the start change nothing.
    QTest::mouseClick(p.viewport(), Qt::LeftButton, Qt::NoModifier, p.ByteCell(0, 1));
    p.Key(Qt::Key_Left);
    p.Key(Qt::Key_Up);
    QCOMPARE(p.view().CaretCell(), (COctileView::Cell{L.HexColumn(0), 1}));
    QCOMPARE(p.view().WindowOffset(), uint64_t(0));
    // Right on the last character cell stays there.
    QTest::mouseClick(p.viewport(), Qt::LeftButton, Qt::NoModifier, p.Cell(L.CharColumn(15), 1));
    p.Key(Qt::Key_Right);
    QCOMPARE(p.view().CaretCell(), (COctileView::Cell{L.CharColumn(15), 1}));
    QCOMPARE(p.view().CaretOffset(), uint64_t(15));
    // Down on the last data row scrolls a line and keeps the caret on that row.
    QTest::mouseClick(p.viewport(), Qt::LeftButton, Qt::NoModifier, p.ByteCell(2, lastRow));
    p.Key(Qt::Key_Down);
    QCOMPARE(p.view().WindowOffset(), uint64_t(16));
    QCOMPARE(p.view().CaretCell(), (COctileView::Cell{L.HexColumn(2), lastRow}));
    QCOMPARE(p.view().CaretOffset(), uint64_t(16 + 16 * (lastRow - 1) + 2));
    // Up on row 1 scrolls back.
    QTest::mouseClick(p.viewport(), Qt::LeftButton, Qt::NoModifier, p.ByteCell(2, 1));
    p.Key(Qt::Key_Up);
    QCOMPARE(p.view().WindowOffset(), uint64_t(0));
    QCOMPARE(p.view().CaretCell(), (COctileView::Cell{L.HexColumn(2), 1}));
    QCOMPARE(p.view().CaretOffset(), uint64_t(2));
    // At the end of the file Down stays.
    p.Key(Qt::Key_End, Qt::ControlModifier);
    const uint64_t last = p.view().WindowOffset();
    QTest::mouseClick(p.viewport(), Qt::LeftButton, Qt::NoModifier, p.ByteCell(0, 1));
    p.Key(Qt::Key_Down);
    QCOMPARE(p.view().WindowOffset(), last);
    QCOMPARE(p.view().CaretCell(), (COctileView::Cell{L.HexColumn(0), 1}));
}

void DumpWidgetTest::homeAndEndMoveOnlyTheCaretCell() {
    OpenProgram p;
    const DumpLayout L = p.view().Layout();
    const int lastRow = int(p.view().ReadSize() / 16);
    QTest::mouseClick(p.viewport(), Qt::LeftButton, Qt::NoModifier, p.ByteCell(4, 2));
    p.Key(Qt::Key_End);
    QCOMPARE(p.view().CaretCell(), (COctileView::Cell{L.CharColumn(15), lastRow}));
    QCOMPARE(p.view().Anchor(), uint64_t(20));
    QCOMPARE(p.view().CaretOffset(), uint64_t(20));
    p.Key(Qt::Key_Home);
    QCOMPARE(p.view().CaretCell(), (COctileView::Cell{L.HexColumn(0), 1}));
    QCOMPARE(p.view().CaretOffset(), uint64_t(20));
}

void DumpWidgetTest::shiftArrowsMoveOnlyTheCaretOffset() {
    OpenProgram p;
    const DumpLayout L = p.view().Layout();
    QTest::mouseClick(p.viewport(), Qt::LeftButton, Qt::NoModifier, p.ByteCell(1, 1));
    const COctileView::Cell caret{L.HexColumn(1), 1};
    struct Step {
        Qt::Key key;
        uint64_t caretOffset;
    };
    const Step steps[] = {{Qt::Key_Right, 2}, {Qt::Key_Down, 18}, {Qt::Key_Left, 17},
                          {Qt::Key_Up, 1},    {Qt::Key_Left, 0},  {Qt::Key_Left, 0}};
    for (const Step& s : steps) {
        p.Key(s.key, Qt::ShiftModifier);
        QCOMPARE(p.view().CaretOffset(), s.caretOffset);
        QCOMPARE(p.view().Anchor(), uint64_t(1));
        QCOMPARE(p.view().CaretCell(), caret);
        QCOMPARE(p.view().WindowOffset(), uint64_t(0));
    }
}

void DumpWidgetTest::shiftLeftWithAnchorAboveTheWindowScrollsUp() {
    OpenProgram p;
    const uint64_t r = p.view().ReadSize();
    // Anchor 0, then a page down and a Shift+click on the second row.
    QTest::mouseClick(p.viewport(), Qt::LeftButton, Qt::NoModifier, p.ByteCell(0, 1));
    p.Key(Qt::Key_PageDown);
    QTest::mouseClick(p.viewport(), Qt::LeftButton, Qt::ShiftModifier, p.ByteCell(0, 2));
    QCOMPARE(p.view().Anchor(), uint64_t(0));
    QCOMPARE(p.view().CaretOffset(), r + 16);
    p.Key(Qt::Key_Left, Qt::ShiftModifier);
    QCOMPARE(p.view().WindowOffset(), r - 16);
    QCOMPARE(p.view().CaretOffset(), r + 15);
    p.Key(Qt::Key_Left, Qt::ShiftModifier);
    QCOMPARE(p.view().WindowOffset(), r - 32);
    QCOMPARE(p.view().CaretOffset(), r + 14);
    QCOMPARE(p.view().Anchor(), uint64_t(0));
}

void DumpWidgetTest::dragInsideSelectsWithoutMovingTheCaretCell() {
    OpenProgram p;
    const DumpLayout L = p.view().Layout();
    QTest::mousePress(p.viewport(), Qt::LeftButton, Qt::NoModifier, p.ByteCell(2, 1));
    QVERIFY(p.view().IsDragging());
    QTest::mouseMove(p.viewport(), p.ByteCell(6, 3));
    QCOMPARE(p.view().Anchor(), uint64_t(2));
    QCOMPARE(p.view().CaretOffset(), uint64_t(38));
    QCOMPARE(p.view().CaretCell(), (COctileView::Cell{L.HexColumn(2), 1}));
    QTest::mouseRelease(p.viewport(), Qt::LeftButton, Qt::NoModifier, p.ByteCell(7, 3));
    QVERIFY(!p.view().IsDragging());
    QCOMPARE(p.view().CaretOffset(), uint64_t(39));
    QCOMPARE(p.view().CaretCell(), (COctileView::Cell{L.HexColumn(7), 3}));
    QVERIFY(!p.host.IsTimerActive(COctileView::kDragTimerId));
}

void DumpWidgetTest::dragBelowTheTextScrollsAndExtends() {
    OpenProgram p;
    const uint64_t r = p.view().ReadSize();
    QTest::mousePress(p.viewport(), Qt::LeftButton, Qt::NoModifier, p.ByteCell(0, 1));
    QVERIFY(p.host.IsTimerActive(COctileView::kDragTimerId));
    const QPoint below(p.ByteCell(3, 1).x(), p.viewport()->height() + 30);
    QTest::mouseMove(p.viewport(), below);
    QCOMPARE(p.view().WindowOffset(), uint64_t(16));
    QCOMPARE(p.view().CaretOffset(), r + 15);
    QCOMPARE(p.view().Anchor(), uint64_t(0));
    // Held there, the drag timer keeps scrolling a line at a time and keeps
    // the selection reaching the last byte of the window.
    QTRY_VERIFY(p.view().WindowOffset() >= 48);
    QTest::mouseRelease(p.viewport(), Qt::LeftButton, Qt::NoModifier, below);
    QVERIFY(!p.view().IsDragging());
    QVERIFY(!p.host.IsTimerActive(COctileView::kDragTimerId));
    const uint64_t w = p.view().WindowOffset();
    QCOMPARE(p.view().CaretOffset(), w - 16 + r + 15);
    QCOMPARE(p.view().Anchor(), uint64_t(0));
}

void DumpWidgetTest::selectedBytesAreInverted() {
    OpenProgram p;
    const DumpLayout L = p.view().Layout();
    const int cw = p.cw();
    const int lh = p.lh();
    // Select bytes 0 to 3 of row 1 with the caret cell left on byte 0.
    QTest::mouseClick(p.viewport(), Qt::LeftButton, Qt::NoModifier, p.ByteCell(0, 1));
    for (int i = 0; i < 3; ++i) p.Key(Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(p.view().CaretOffset(), uint64_t(3));
    // Byte 2 of rows 1 and 2 hold the same value and so the same text.
    const QByteArray bytes = Pattern();
    QCOMPARE(bytes[2], bytes[18]);

    const QImage image = p.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QColor background = ToQColor(p.view().BackColour());
    const int left = L.HexColumn(2) * cw;  // the two digits of byte 2
    int inverted = 0;
    int checked = 0;
    for (int y = 1; y < lh - 2; ++y) {
        for (int x = left; x < left + 2 * cw; ++x) {
            const QRgb selected = image.pixel(x, lh + y);
            const QRgb plain = image.pixel(x, 2 * lh + y);
            ++checked;
            if ((selected & 0xFFFFFF) == (~plain & 0xFFFFFF)) ++inverted;
        }
    }
    QCOMPARE(inverted, checked);
    // A plain cell shows the background where there is no glyph.
    QCOMPARE(QColor(image.pixel(left, 2 * lh + 1)), background);
}

void DumpWidgetTest::markedBytesAreColouredUnderTheirDigits() {
    OpenProgram p;
    const DumpLayout L = p.view().Layout();
    const int cw = p.cw();
    const int lh = p.lh();
    // Byte 1 gets a kind-1 mark (F4), byte 3 a kind-2 mark (Ctrl+2); then
    // the caret leaves them so that no inversion lies on top.
    QTest::mouseClick(p.viewport(), Qt::LeftButton, Qt::NoModifier, p.ByteCell(1, 1));
    p.Key(Qt::Key_F4);
    QTest::mouseClick(p.viewport(), Qt::LeftButton, Qt::NoModifier, p.ByteCell(3, 1));
    p.Key(Qt::Key_2, Qt::ControlModifier);
    QTest::mouseClick(p.viewport(), Qt::LeftButton, Qt::NoModifier, p.ByteCell(8, 4));
    QCOMPARE(p.view().Marks().size(), size_t(2));

    const QImage image = p.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRgb background = ToQColor(p.view().BackColour()).rgb();
    // Counts of pixels in a cell range of data row 1 (inner lines only).
    auto count = [&](int firstColumn, int cells, QRgb colour) {
        int n = 0;
        for (int y = lh + 1; y < 2 * lh - 1; ++y) {
            for (int x = firstColumn * cw; x < (firstColumn + cells) * cw; ++x) {
                if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) ++n;
            }
        }
        return n;
    };
    const int cellPixels = cw * (lh - 2);
    struct Case {
        int byte;
        uint32_t colour;
    };
    for (const Case& c : {Case{1, p.view().GetMarkColour(1)}, Case{3, p.view().GetMarkColour(2)}}) {
        const QRgb mark = ToQColor(c.colour).rgb();
        const int digits = L.HexColumn(c.byte);
        // The blank after the digits is all mark colour, the digits show it
        // around their glyphs, and no background shows through.
        QCOMPARE(count(L.HexDigitColumn(c.byte, HexDigit::kBlank), 1, mark), cellPixels);
        QVERIFY(count(digits, 2, mark) > cellPixels);
        QCOMPARE(count(digits, 3, background), 0);
        // The character column stays uncoloured.
        QCOMPARE(count(L.CharColumn(c.byte), 1, mark), 0);
    }
    // Bytes 0 and 2 have no mark.
    for (int byte : {0, 2}) {
        QCOMPARE(count(L.HexDigitColumn(byte, HexDigit::kBlank), 1, background), cellPixels);
    }
}

void DumpWidgetTest::viewFontFollowsTheDescription() {
    // A face that is not installed gives the system's Japanese monospace font.
    ViewFont missing;
    missing.faceName = u"No Such Face 1234";
    missing.height = -15;
    missing.weight = 700;
    missing.italic = 1;
    const QFont fallback = MakeViewFont(missing);
    QCOMPARE(fallback.family(), JapaneseMonospaceFamily());
    if (!QFontDatabase::families(QFontDatabase::Japanese).isEmpty()) {
        QVERIFY(QFontDatabase::families(QFontDatabase::Japanese).contains(fallback.family()));
    }
    QCOMPARE(fallback.pixelSize(), 15);
    QCOMPARE(fallback.weight(), QFont::Bold);
    QVERIFY(fallback.italic());
    // An installed face is used as it is.
    ViewFont installed;
    installed.faceName = ToU16(QFontDatabase::families().value(0));
    installed.height = -20;
    const QFont chosen = MakeViewFont(installed);
    QCOMPARE(chosen.family(), QFontDatabase::families().value(0));
    QCOMPARE(chosen.pixelSize(), 20);
    QCOMPARE(chosen.weight(), QFont::Normal);
    // The view measures its cells with that font.
    QtUiHost host;
    const FontMetrics m = host.MeasureFont(installed);
    const QFontMetrics qt(chosen);
    QCOMPARE(m.charWidth, qt.horizontalAdvance(QLatin1Char('0')));
    QCOMPARE(m.lineHeight, qt.height() + std::max(0, qt.leading()));
}

// The widget draws each character's glyphs, shaped once and kept, in one run
// per font; the page must be what drawing every character with drawText on
// its cell gives: kanji, kana, ASCII, undefined pairs, lone bytes, and in
// the Unicode column characters from fonts other than the dump's.
void DumpWidgetTest::glyphsLandWhereTheTextEngineDrawsThem() {
    for (const int32_t code : {CODE_SJIS, CODE_UNICODE}) {
        Program p;
        QByteArray bytes;
        for (int i = 0; i < 40; ++i) {
            bytes += "\x93\xfa\x96\x7b\x8c\xea\xb1\xb2 ASCII \x82\xa0\x82\xa2\xeb\x40";
            bytes += static_cast<char>(i * 37 + 11);
            bytes += static_cast<char>(i * 91 + 3);
        }
        const std::string path = p.home.WriteFile("text.bin", bytes);
        QVERIFY(p.app.ProcessShellCommand({path}));
        p.Show();
        p.view().SetCharCode(code);
        QApplication::processEvents();
        const QImage image =
            p.dump().viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);

        QImage expected(image.size(), QImage::Format_RGB32);
        {
            QPainter painter(&expected);
            painter.fillRect(expected.rect(), ToQColor(p.view().BackColour()));
            painter.setFont(MakeViewFont(p.view().Font()));
            painter.setPen(ToQColor(p.view().TextColour()));
            const int cw = p.view().CharWidth();
            const int lh = p.view().LineHeight();
            const int ascent = QFontMetrics(painter.font()).ascent();
            const std::u16string& text = p.view().DumpText();
            size_t start = 0;
            for (int row = 0; start < text.size(); ++row) {
                const size_t end = std::min(text.find(u'\n', start), text.size());
                const std::u16string_view line(text.data() + start, end - start);
                LayOutDumpLine(line, code, [&](int column, size_t k, size_t units) {
                    painter.drawText(QPointF(column * cw, row * lh + ascent),
                                     QString::fromUtf16(line.data() + k, qsizetype(units)));
                    return true;
                });
                start = end + 1;
            }
            painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            for (const PixelRect& r : p.view().InvertedSpans()) {
                painter.fillRect(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top),
                                 Qt::white);
            }
        }
        int differing = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                differing += (image.pixel(x, y) & 0xFFFFFF) != (expected.pixel(x, y) & 0xFFFFFF);
            }
        }
        QCOMPARE(differing, 0);
    }
}

void DumpWidgetTest::typedDigitsOverwriteTheFile_data() {
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("expected");
    QTest::newRow("read-write 41") << true << "41" << int(Qt::NoModifier) << 0x41;
    QTest::newRow("read-write aB") << true << "aB" << int(Qt::NoModifier) << 0xAB;
    QTest::newRow("read-only 41") << false << "41" << int(Qt::NoModifier) << 0x00;
    QTest::newRow("read-only aB") << false << "aB" << int(Qt::NoModifier) << 0x00;
    QTest::newRow("with Alt") << true << "aB" << int(Qt::AltModifier) << 0x00;
}

void DumpWidgetTest::typedDigitsOverwriteTheFile() {
    QFETCH(bool, writable);
    QFETCH(QString, typed);
    QFETCH(int, modifiers);
    QFETCH(int, expected);
    OpenProgram p(writable);
    const DumpLayout L = p.view().Layout();
    QTest::mouseClick(p.viewport(), Qt::LeftButton, Qt::NoModifier, p.ByteCell(0, 1));
    QTest::keyClicks(&p.dump(), typed, Qt::KeyboardModifiers(modifiers));
    QFile file(PathToQString(p.path));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(int(uint8_t(file.read(1)[0])), expected);
    // After both digits the caret stands on the next byte's high digit.
    const bool written = expected != 0;
    QCOMPARE(p.view().CaretCell(), (COctileView::Cell{L.HexColumn(written ? 1 : 0), 1}));
}

QTEST_MAIN(DumpWidgetTest)
#include "dump_widget_test.moc"
