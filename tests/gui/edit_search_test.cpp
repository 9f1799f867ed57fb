// Search, replace, copy and paste, insert and delete in a real window,
// driven by the keys a user presses; the dialogs are answered by the host.
#include <QClipboard>
#include <QFile>
#include <deque>

#include "gui/gui_fixture.h"

using namespace octile;
using namespace octile::test;

namespace {

struct ScriptedHost : QtUiHost {
    int DoModal(DialogRef dialog) override {
        if (auto* s = std::get_if<CSearchSecDlg*>(&dialog)) {
            (*s)->searchText = searchText;
            (*s)->replaceText = replaceText;
            (*s)->replaceAll = replaceAll;
            return IDOK;
        }
        if (auto* e = std::get_if<CEditInsertDlg*>(&dialog)) {
            shownPosition = (*e)->position;
            shownDelete = (*e)->deleteMode;
            (*e)->count = count;
            return IDOK;
        }
        return IDCANCEL;
    }
    int MessageBox(const std::u16string& text, uint32_t) override {
        messages.push_back(text);
        if (answers.empty()) return IDCANCEL;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    void Beep() override { ++beeps; }
    void PumpMessages() override {
        if (escapeOnPump != nullptr) QTest::keyClick(escapeOnPump, Qt::Key_Escape);
        QtUiHost::PumpMessages();
    }
    std::u16string searchText, replaceText, count = u"0";
    int replaceAll = 0;
    std::u16string shownPosition;
    bool shownDelete = false;
    std::vector<std::u16string> messages;
    std::deque<int> answers;
    int beeps = 0;
    QWidget* escapeOnPump = nullptr;
};

QByteArray Encoded(const char* utf8, const char* code) {
    const QByteArray text(utf8);
    if (QByteArray(code) == "UTF-16LE") {
        const QString s = QString::fromUtf8(text);
        return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
    }
    // Shift-JIS and EUC-JP bytes of the few characters used here.
    if (QByteArray(code) == "SJIS") return QByteArray("\x82\xA0\x82\xA2", 4);  // あい
    return QByteArray("\xA4\xA2\xA4\xA4", 4);                                  // あい in EUC
}

struct EditProgram : ProgramWith<ScriptedHost> {
    explicit EditProgram(const QByteArray& bytes, bool writable = true)
        : ProgramWith<ScriptedHost>(writable ? "[Setting]\nNoReadOnly=1\n" : "[Setting]\n") {
        path = home.WriteFile("edit.bin", bytes);
        if (!app.ProcessShellCommand({path})) qFatal("open failed");
        Show();
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(&dump(), key, mods);
    }
    void Select(uint64_t a, uint64_t b) {
        view().UpdateSelection(SelectionStep::kAnchor, a);
        view().UpdateSelection(SelectionStep::kCaret, b);
    }
    // Puts the caret on the byte's high digit (on the first page) and the
    // selection on the byte, as a click there would.
    void ClickOn(uint64_t offset) {
        view().SetWindowOffset(0);
        COctileView::Cell cell;
        if (!view().OffsetToCell(COctileView::CellMode::kHex, offset, cell))
            qFatal("offset not on the first page");
        view().SetCaretCell(cell);
        Select(offset, offset);
    }
    QByteArray Disk() const {
        QFile f(QString::fromStdString(path));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    std::string path;
};

}  // namespace

class EditSearchTest : public QObject {
    Q_OBJECT
  private slots:
    void findInEveryCodeAndRepeat();
    void escapeStopsALongSearch();
    void replaceOneByOneAndAll();
    void copyThenPasteReproducesTheBytes();
    void insertAndDeleteKeysOpenTheirDialogs();
};

void EditSearchTest::findInEveryCodeAndRepeat() {
    QByteArray bytes(0x40, '.');
    bytes += Encoded("あい", "SJIS") + QByteArray(0x30, '.');
    const int euc = bytes.size();
    bytes += Encoded("あい", "EUC") + QByteArray(0x30, '.');
    const int u16 = bytes.size();
    bytes += Encoded("あい", "UTF-16LE") + QByteArray(0x30, '.');
    bytes += Encoded("あい", "SJIS") + QByteArray(0x10, '.');
    EditProgram p(bytes);

    p.host.searchText = u"あい";
    p.Key(Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(p.view().Anchor(), uint64_t{0x40});
    p.Key(Qt::Key_F3);  // the next one in Shift-JIS
    QCOMPARE(p.view().Anchor(), uint64_t(u16 + 4 + 0x30));
    p.Key(Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(p.view().Anchor(), uint64_t{0x40});

    p.window->RunCommand(ID_CODE_EUC);
    p.Key(Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(p.view().Anchor(), uint64_t(euc));
    p.window->RunCommand(ID_CODE_UNICODE);
    p.Key(Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(p.view().Anchor(), uint64_t(u16));

    p.window->RunCommand(ID_SEARCH_MODE_HEX);
    p.host.searchText = u"82a082a2";
    p.ClickOn(0);
    p.Key(Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(p.view().Anchor(), uint64_t{0x40});
    p.host.searchText = u"fefe";
    const int beeps = p.host.beeps;
    p.Key(Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(p.host.beeps, beeps + 1);  // nothing found
    QCOMPARE(p.view().Anchor(), uint64_t{0x40});
}

void EditSearchTest::escapeStopsALongSearch() {
    EditProgram p(QByteArray(4 << 20, 'a'));
    p.app.searchCommands().SetPumpInterval(std::chrono::milliseconds(0));
    SearchEngine::Options small;
    small.blockSize = 4096;
    p.app.searchCommands().SetEngineOptions(small);
    p.host.searchText = u"zzz";
    p.host.escapeOnPump = &p.dump();
    p.Key(Qt::Key_F, Qt::ControlModifier);
    p.host.escapeOnPump = nullptr;
    QVERIFY(!p.app.searchCommands().IsSearching());
    QVERIFY(p.app.searchCommands().IsAbortRequested());
    QCOMPARE(p.view().Anchor(), uint64_t{0});
}

void EditSearchTest::replaceOneByOneAndAll() {
    EditProgram p(QByteArray("..ab..ab..ab..ab"));
    p.host.searchText = u"ab";
    p.host.replaceText = u"XY";
    p.host.answers = {IDYES, IDNO, IDCANCEL};  // replace, skip, stop
    p.window->RunCommand(ID_REPLACE);
    QCOMPARE(p.Disk(), QByteArray("..XY..ab..ab..ab"));
    QCOMPARE(p.host.messages.front(),
             std::u16string(u"置換します。いいですか。（中止する場合はｷｬﾝｾﾙ）"));
    QCOMPARE(p.host.messages.size(), size_t{3});

    p.host.replaceAll = 1;
    p.ClickOn(0);
    p.window->RunCommand(ID_REPLACE);
    QCOMPARE(p.Disk(), QByteArray("..XY..XY..XY..XY"));
}

void EditSearchTest::copyThenPasteReproducesTheBytes() {
    QByteArray bytes(0x100, '\0');
    for (int i = 0; i < 0x20; ++i) bytes[i] = char(0xA0 + i);
    EditProgram p(bytes);
    p.Select(0, 0x1F);
    p.Key(Qt::Key_C, Qt::ControlModifier);
    QVERIFY(QApplication::clipboard()->text().contains(QStringLiteral("a0 a1 a2")));
    p.ClickOn(0x80);
    p.Key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(p.Disk().mid(0x80, 0x20), bytes.left(0x20));
    QCOMPARE(p.Disk().size(), 0x100);

    // Into a read-only file nothing is pasted.
    EditProgram ro(QByteArray(0x40, 'r'), false);
    ro.ClickOn(0);
    ro.Key(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(ro.Disk(), QByteArray(0x40, 'r'));
}

void EditSearchTest::insertAndDeleteKeysOpenTheirDialogs() {
    EditProgram p(QByteArray("0123456789abcdef0123456789abcdef"));
    p.Select(0x13, 0x11);
    p.host.count = u"3";
    p.Key(Qt::Key_Insert);
    QCOMPARE(p.host.shownPosition, std::u16string(u"00000011"));
    QVERIFY(!p.host.shownDelete);
    QCOMPARE(p.Disk(),
             QByteArray("0123456789abcdef0") + QByteArray(3, '\0') + QByteArray("123456789abcdef"));
    QVERIFY(
        QString::fromStdU16String(p.view().DumpText()).contains(QStringLiteral("30 00 00 00 31")));

    p.Select(2, 2);
    p.host.count = u"2";
    p.Key(Qt::Key_Delete);
    QCOMPARE(p.host.shownPosition, std::u16string(u"00000002"));
    QVERIFY(p.host.shownDelete);
    QCOMPARE(p.Disk().left(6), QByteArray("014567"));
    QCOMPARE(p.Disk().size(), 33);
}

QTEST_MAIN(EditSearchTest)
#include "edit_search_test.moc"
