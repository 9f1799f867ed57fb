// Undo and redo in the real main window: a byte typed into the dump is taken
// back with Ctrl+Z and brought back with Ctrl+Y, pressed where the focus is,
// and the 編集 menu offers both at its top, enabled while they can run.
#include <QAction>
#include <QFile>
#include <QMenu>

#include "gui/gui_fixture.h"

using namespace octile;
using namespace octile::test;

namespace {

// Records messages instead of showing them, so that an unexpected one shows
// up in the checks instead of waiting on a message box.
struct RecordingHost : QtUiHost {
    int MessageBox(const std::u16string& text, uint32_t) override {
        messages.push_back(ToQString(text));
        return IDOK;
    }
    QStringList messages;
};

const QByteArray kOriginal(0x40, '\x11');

// A writable file open in the shown, active window.
struct UndoProgram : ProgramWith<RecordingHost> {
    UndoProgram() : ProgramWith<RecordingHost>("[Setting]\nNoReadOnly=1\n") {
        path = home.WriteFile("undo.bin", kOriginal);
        if (!app.ProcessShellCommand({path})) qFatal("open failed");
        Show();
        if (!QTest::qWaitForWindowActive(window.get())) qWarning("main window not active");
    }
    QByteArray Disk() const {
        QFile f(PathToQString(path));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // A key pressed as the user presses it: to the widget that has the focus.
    void Press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus != nullptr ? focus : window.get(), key, mods);
    }
    // The caret on the byte's high digit, the byte selected, as a click does.
    void PutCaretOn(uint64_t offset) {
        COctileView::Cell cell;
        if (!view().OffsetToCell(COctileView::CellMode::kHex, offset, cell))
            qFatal("offset not on the page");
        view().SetCaretCell(cell);
        view().UpdateSelection(SelectionStep::kAnchor, offset);
        view().UpdateSelection(SelectionStep::kCaret, offset);
    }
    // Whether the menu item is enabled as the menu shows it when opened.
    bool ShownEnabled(uint32_t id) {
        QMenu* menu = window->MenuOf(id);
        if (menu == nullptr) qFatal("no menu holds %u", id);
        menu->popup(QPoint(0, 0));
        const bool enabled = window->MenuAction(id)->isEnabled();
        menu->hide();
        return enabled;
    }
    std::string path;
};

}  // namespace

class UndoRedoTest : public QObject {
    Q_OBJECT
  private slots:
    void ctrlZTakesATypedByteBackAndCtrlYBringsItBack();
    void editMenuStartsWithUndoAndRedo();
    void readOnlyModeOffersNeither();
};

void UndoRedoTest::ctrlZTakesATypedByteBackAndCtrlYBringsItBack() {
    UndoProgram p;
    p.PutCaretOn(0x23);
    p.Press(Qt::Key_7);
    QByteArray typed = kOriginal;
    typed[0x23] = '\x71';
    QCOMPARE(p.Disk(), typed);

    p.PutCaretOn(0);  // the caret elsewhere
    p.Press(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(p.Disk(), kOriginal);
    QCOMPARE(p.view().CaretOffset(), uint64_t{0x23});
    QCOMPARE(p.view().Anchor(), uint64_t{0x23});
    QVERIFY(p.ShownEnabled(ID_EDIT_REDO));
    QVERIFY(!p.ShownEnabled(ID_EDIT_UNDO));

    p.Press(Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(p.Disk(), typed);
    QCOMPARE(p.view().CaretOffset(), uint64_t{0x23});
    QVERIFY(p.ShownEnabled(ID_EDIT_UNDO));
    QVERIFY(!p.ShownEnabled(ID_EDIT_REDO));

    // A second Ctrl+Y has nothing to bring back; the keys typed no text.
    p.Press(Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(p.Disk(), typed);
    QVERIFY2(p.host.messages.isEmpty(), qPrintable(p.host.messages.join(QLatin1Char('\n'))));
}

void UndoRedoTest::editMenuStartsWithUndoAndRedo() {
    UndoProgram p;
    QMenu* menu = p.window->MenuOf(ID_EDIT_UNDO);
    QVERIFY(menu != nullptr);
    QCOMPARE(menu->title(), QStringLiteral("編集(&E)"));
    const QList<QAction*> items = menu->actions();
    QVERIFY(items.size() > 3);
    QCOMPARE(items[0]->text(), QStringLiteral("元に戻す(&Z)\tCtrl+Z"));
    QCOMPARE(items[1]->text(), QStringLiteral("やり直し(&Y)\tCtrl+Y"));
    QVERIFY(items[2]->isSeparator());
    QCOMPARE(items[3]->text(), QStringLiteral("ｺﾋﾟｰ(&C)\tCtrl+C"));
    // Nothing typed yet: nothing to undo or redo.
    QVERIFY(!p.ShownEnabled(ID_EDIT_UNDO));
    QVERIFY(!p.ShownEnabled(ID_EDIT_REDO));

    // The menu item runs the undo as the key does.
    p.PutCaretOn(0x05);
    p.Press(Qt::Key_A);
    QVERIFY(p.ShownEnabled(ID_EDIT_UNDO));
    p.window->MenuAction(ID_EDIT_UNDO)->trigger();
    QCOMPARE(p.Disk(), kOriginal);
}

void UndoRedoTest::readOnlyModeOffersNeither() {
    UndoProgram p;
    p.PutCaretOn(0x05);
    p.Press(Qt::Key_A);
    const QByteArray typed = p.Disk();
    QCOMPARE(typed[0x05], '\xA1');

    p.window->MenuAction(ID_READ_ONLY)->trigger();
    QVERIFY(p.app.doc().IsReadOnly() != 0);
    QVERIFY(!p.ShownEnabled(ID_EDIT_UNDO));
    QVERIFY(!p.ShownEnabled(ID_EDIT_REDO));
    p.Press(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(p.Disk(), typed);

    // Writable again, the typed byte can still be taken back.
    p.window->MenuAction(ID_READ_ONLY)->trigger();
    QVERIFY(p.ShownEnabled(ID_EDIT_UNDO));
    p.Press(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(p.Disk(), kOriginal);
}

QTEST_MAIN(UndoRedoTest)
#include "undo_redo_test.moc"
