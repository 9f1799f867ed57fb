// The data inspector in the real main window: its 表示 menu item shows and
// hides the dock beside the dump (the window widening by it) and is kept
// across a restart, its values follow the caret, and a value typed into a
// cell reaches the file on disk; the message pane shows the lengths.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTableWidget>

#include "gui/gui_fixture.h"
#include "gui/inspector_panel.h"
#include "resources/resources.h"

using namespace octile;
using namespace octile::test;

namespace {

// Counts beeps and records messages instead of showing them.
struct BeepHost : QtUiHost {
    void Beep() override { ++beeps; }
    int MessageBox(const std::u16string& text, uint32_t) override {
        messages.push_back(ToQString(text));
        return IDOK;
    }
    int beeps = 0;
    QStringList messages;
};

// Bytes 0x00, 0x01 ... 0x3F.
QByteArray Counting() {
    QByteArray bytes(0x40, '\0');
    for (int i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i);
    return bytes;
}

struct InspectorProgram : ProgramWith<BeepHost> {
    explicit InspectorProgram(const QByteArray& templateText = QByteArray(),
                              std::shared_ptr<PrivateHome> home = nullptr)
        : ProgramWith<BeepHost>(templateText, std::move(home)) {}

    InspectorPanel* panel() { return window->inspector(); }
    QTableWidget* table() { return panel()->table(); }
    // The row of a label in the table.
    int Row(const QString& label) {
        for (int r = 0; r < table()->rowCount(); ++r) {
            if (table()->item(r, InspectorPanel::kLabelColumn)->text() == label) return r;
        }
        qFatal("no row %s", qPrintable(label));
    }
    QString Value(const QString& label) {
        return table()->item(Row(label), InspectorPanel::kValueColumn)->text();
    }
    // Types text into a value cell as the user does: opens its editor, types
    // and presses Enter.
    void TypeValue(const QString& label, const QString& text) {
        QTableWidgetItem* item = table()->item(Row(label), InspectorPanel::kValueColumn);
        table()->setCurrentItem(item);
        table()->editItem(item);
        QPointer<QLineEdit> editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor != nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        // The delegate commits the text and closes its editor once the key
        // has been handled.
        QTRY_VERIFY(editor.isNull());
    }
    QByteArray Disk() const {
        QFile f(PathToQString(path));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void OpenCounting() {
        path = home.WriteFile("counting.bin", Counting());
        QVERIFY(app.ProcessShellCommand({path}));
    }
    std::string path;
};

}  // namespace

class InspectorTest : public QObject {
    Q_OBJECT
  private slots:
    void menuItemShowsTheDockAndIsKept();
    void valuesFollowTheCaret();
    void aTypedValueIsWrittenToTheFile();
};

void InspectorTest::menuItemShowsTheDockAndIsKept() {
    auto home = std::make_shared<PrivateHome>();
    {
        InspectorProgram p(QByteArray(), home);
        p.OpenCounting();
        p.Show();
        QAction* action = p.window->MenuAction(ID_VIEW_INSPECTOR);
        QVERIFY(action != nullptr);
        QCOMPARE(action->text(), QStringLiteral("ﾃﾞｰﾀ表示(&I)"));
        // In the 表示 menu, right after 画像表示.
        QMenu* menu = p.window->MenuOf(ID_VIEW_INSPECTOR);
        QCOMPARE(menu, p.window->MenuOf(ID_VIEW_PICTURE));
        const QList<QAction*> items = menu->actions();
        QCOMPARE(items.indexOf(action), items.indexOf(p.window->MenuAction(ID_VIEW_PICTURE)) + 1);

        QVERIFY(p.panel()->isHidden());
        QCOMPARE(p.panel()->objectName(), QStringLiteral("inspectorDock"));
        const int narrow = p.window->width();
        const int dumpWidth = p.dump().width();
        QCOMPARE(narrow, p.window->IdealFrameWidth());

        action->trigger();
        QVERIFY(p.panel()->isVisible());
        QCOMPARE(p.window->dockWidgetArea(p.panel()), Qt::RightDockWidgetArea);
        QVERIFY(p.app.RouteUpdate(ID_VIEW_INSPECTOR).checked);
        // The window widens by the dock; the dump keeps its width.
        QCOMPARE(p.window->width(), p.window->IdealFrameWidth());
        QVERIFY(p.window->width() >= narrow + p.panel()->width());
        QTRY_COMPARE(p.dump().width(), dumpWidth);
        QVERIFY(p.panel()->geometry().left() >= p.dump().geometry().right());
        // The lengths head the table.
        QCOMPARE(p.table()->item(0, InspectorPanel::kLabelColumn)->text(),
                 QStringLiteral("ﾌｧｲﾙ長"));
        QCOMPARE(p.table()->item(1, InspectorPanel::kLabelColumn)->text(),
                 QStringLiteral("選択長"));
        QCOMPARE(p.Value(QStringLiteral("ﾌｧｲﾙ長")), QStringLiteral("0x40 (64)"));
    }
    {
        // Shown again after a restart; the menu item hides it.
        InspectorProgram p(QByteArray(), home);
        QVERIFY(p.app.ProcessShellCommand({}));
        p.Show();
        QVERIFY(p.panel()->isVisible());
        QCOMPARE(p.window->width(), p.window->IdealFrameWidth());
        const int wide = p.window->width();
        p.window->MenuAction(ID_VIEW_INSPECTOR)->trigger();
        QVERIFY(p.panel()->isHidden());
        QVERIFY(!p.app.RouteUpdate(ID_VIEW_INSPECTOR).checked);
        QCOMPARE(p.window->width(), p.window->IdealFrameWidth());
        QVERIFY(p.window->width() < wide);
    }
    {
        InspectorProgram p(QByteArray(), home);
        QVERIFY(p.panel()->isHidden());
    }
}

void InspectorTest::valuesFollowTheCaret() {
    InspectorProgram p;
    p.OpenCounting();
    p.Show();
    p.window->MenuAction(ID_VIEW_INSPECTOR)->trigger();
    QCOMPARE(p.Value(QStringLiteral("uint8")), QStringLiteral("0"));
    QCOMPARE(p.Value(QStringLiteral("uint16 BE")), QStringLiteral("1"));

    // A line down: the byte at 0x10.
    QTest::keyClick(&p.dump(), Qt::Key_Down);
    QTRY_COMPARE(p.Value(QStringLiteral("uint8")), QStringLiteral("16"));
    QCOMPARE(p.Value(QStringLiteral("uint16 LE")), QStringLiteral("4368"));  // 0x1110
    // A selection of 0x11 bytes shows its length.
    QTest::keyClick(&p.dump(), Qt::Key_Down, Qt::ShiftModifier);
    QTRY_COMPARE(p.Value(QStringLiteral("選択長")), QStringLiteral("0x11 (17)"));
    // The message pane's idle text shows both lengths too.
    QTRY_COMPARE(p.window->messagePane()->text(),
                 QStringLiteral("選択長 0x11 (17) ﾌｧｲﾙ長 0x40 (64)"));
}

void InspectorTest::aTypedValueIsWrittenToTheFile() {
    InspectorProgram p("[Setting]\nNoReadOnly=1\n");
    p.OpenCounting();
    p.Show();
    QCOMPARE(p.view().Display().inspectorDisplay, false);
    p.window->MenuAction(ID_VIEW_INSPECTOR)->trigger();
    QTest::keyClick(&p.dump(), Qt::Key_Down);  // the caret on 0x10
    QTRY_COMPARE(p.Value(QStringLiteral("uint8")), QStringLiteral("16"));

    p.TypeValue(QStringLiteral("uint32 BE"), QStringLiteral("0xCAFEBABE"));
    QByteArray expected = Counting();
    expected.replace(0x10, 4, QByteArray::fromHex("CAFEBABE"));
    QCOMPARE(p.Disk(), expected);
    QCOMPARE(p.Value(QStringLiteral("uint8")), QStringLiteral("202"));  // 0xCA
    QCOMPARE(p.host.beeps, 0);

    // A value outside the row's range: a beep, the old text, the file as it was.
    p.TypeValue(QStringLiteral("uint8"), QStringLiteral("300"));
    QCOMPARE(p.host.beeps, 1);
    QCOMPARE(p.Value(QStringLiteral("uint8")), QStringLiteral("202"));
    QCOMPARE(p.Disk(), expected);
    QVERIFY(p.host.messages.isEmpty());
}

QTEST_MAIN(InspectorTest)
#include "inspector_test.moc"
