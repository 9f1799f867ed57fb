// Closing the main window while a long operation dispatches messages: the
// operation runs to its end (or, for a search, stops), and only then does
// the window close; nothing destroyed is touched.
#include <QFileInfo>

#include "gui/gui_fixture.h"

using namespace octile;
using namespace octile::test;

namespace {

// Answers the insert dialog, and closes the main window from inside the
// operation's first dispatch of messages.
struct ClosingHost : QtUiHost {
    int DoModal(DialogRef dialog) override {
        if (auto* insert = std::get_if<CEditInsertDlg*>(&dialog)) {
            (*insert)->position = u"0";
            (*insert)->count = u"10";
            return IDOK;
        }
        return QtUiHost::DoModal(dialog);
    }
    void PumpMessages() override {
        ++pumps;
        if (closeOnPump != nullptr && pumps == 1) closeOnPump->close();
        QtUiHost::PumpMessages();
    }
    int pumps = 0;
    QWidget* closeOnPump = nullptr;
};

}  // namespace

class CloseDuringOperationTest : public QObject {
    Q_OBJECT
  private slots:
    void insertRunsToItsEndBeforeTheWindowCloses();
};

void CloseDuringOperationTest::insertRunsToItsEndBeforeTheWindowCloses() {
    ProgramWith<ClosingHost> p("[Setting]\nNoReadOnly=1\n");
    // Enough 64 KiB blocks that the insert dispatches messages many times.
    const std::string path = p.home.WriteFile("big.bin", QByteArray(8 << 20, 'q'));
    QVERIFY(p.app.ProcessShellCommand({path}));
    p.Show();
    p.host.closeOnPump = p.window.get();
    p.window->RunCommand(ID_EDIT_INSERT);
    QVERIFY(p.host.pumps > 1);
    QCOMPARE(QFileInfo(QString::fromStdString(path)).size(), qint64((8 << 20) + 0x10));
    // The close asked for in the middle happens once the insert has returned.
    QTRY_VERIFY(!p.window->isVisible());
}

QTEST_MAIN(CloseDuringOperationTest)
#include "close_during_operation_test.moc"
