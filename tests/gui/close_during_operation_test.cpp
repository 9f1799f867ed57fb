// Closing the main window while a long operation dispatches messages: the
// operation runs to its end (a search stops), and only then does the window
// close; nothing destroyed is touched.
#include <QFileInfo>

#include "gui/gui_fixture.h"

using namespace octile;
using namespace octile::test;

namespace {

// Answers the dialogs of the operations, and closes the main window from
// inside the operation's first dispatch of messages.
struct ClosingHost : QtUiHost {
    int DoModal(DialogRef dialog) override {
        if (auto* e = std::get_if<CEditInsertDlg*>(&dialog)) {
            (*e)->position = u"0";
            (*e)->count = u"10";
            return IDOK;
        }
        if (auto* s = std::get_if<CSearchSecDlg*>(&dialog)) {
            (*s)->searchText = u"zz";
            (*s)->replaceText = u"yy";
            (*s)->replaceAll = 1;
            return IDOK;
        }
        if (auto* r = std::get_if<CFileRangeDialog*>(&dialog)) {
            (*r)->file.chosenPath = exportPath;
            (*r)->start = u"0";
            (*r)->end = u"ffffffffffffffff";
            return IDOK;
        }
        return IDCANCEL;
    }
    void PumpMessages() override {
        if (closeOnPump != nullptr && pumps++ == 0) closeOnPump->close();
        QtUiHost::PumpMessages();
    }
    void Beep() override {}
    int pumps = 0;
    QWidget* closeOnPump = nullptr;
    std::string exportPath;
};

constexpr int kSize = 8 << 20;  // enough 64 KiB blocks to dispatch messages many times

}  // namespace

class CloseDuringOperationTest : public QObject {
    Q_OBJECT
  private slots:
    void operationRunsToItsEndBeforeTheWindowCloses_data();
    void operationRunsToItsEndBeforeTheWindowCloses();
};

void CloseDuringOperationTest::operationRunsToItsEndBeforeTheWindowCloses_data() {
    QTest::addColumn<uint>("command");
    QTest::addColumn<qint64>("fileSize");    // the open file afterwards
    QTest::addColumn<qint64>("exportSize");  // the exported file, -1 for none
    QTest::newRow("insert") << uint(ID_EDIT_INSERT) << qint64(kSize + 0x10) << qint64(-1);
    QTest::newRow("delete") << uint(ID_EDIT_DELETE) << qint64(kSize - 0x10) << qint64(-1);
    QTest::newRow("partial save") << uint(ID_FILE_SAVE_AS) << qint64(kSize) << qint64(kSize);
    QTest::newRow("search") << uint(ID_SEARCH) << qint64(kSize) << qint64(-1);
    QTest::newRow("replace all") << uint(ID_REPLACE) << qint64(kSize) << qint64(-1);
}

void CloseDuringOperationTest::operationRunsToItsEndBeforeTheWindowCloses() {
    QFETCH(uint, command);
    QFETCH(qint64, fileSize);
    QFETCH(qint64, exportSize);
    ProgramWith<ClosingHost> p("[Setting]\nNoReadOnly=1\n");
    const std::string path = p.home.WriteFile("big.bin", QByteArray(kSize, 'q'));
    p.host.exportPath = QStringToPath(p.home.Path("part.bin"));
    QVERIFY(p.app.ProcessShellCommand({path}));
    p.Show();
    // Searches pump at every block, so the close arrives in the middle.
    p.app.searchCommands().SetPumpInterval(std::chrono::milliseconds(0));
    SearchEngine::Options small;
    small.blockSize = 4096;
    p.app.searchCommands().SetEngineOptions(small);
    p.host.closeOnPump = p.window.get();

    p.window->RunCommand(command);
    QVERIFY(p.host.pumps > 0);
    QCOMPARE(QFileInfo(QString::fromStdString(path)).size(), fileSize);
    if (exportSize >= 0) QCOMPARE(QFileInfo(p.home.Path("part.bin")).size(), exportSize);
    // The close asked for in the middle happens once the operation has returned.
    QTRY_VERIFY(!p.window->isVisible());
}

QTEST_MAIN(CloseDuringOperationTest)
#include "close_during_operation_test.moc"
