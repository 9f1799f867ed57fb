// The dialogs as a person uses them without the mouse: opened by their key or
// menu item on the real main window, typed into the moment they show, left
// with Enter or Escape. Each case checks what the typing did to the file, the
// view or the settings.
#include <QAbstractButton>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "gui/gui_fixture.h"

using namespace octile;
using namespace octile::test;

namespace {

// Records messages and beeps instead of showing them, so that a wrong turn
// shows up in the checks instead of waiting on a message box.
struct RecordingHost : QtUiHost {
    int MessageBox(const std::u16string& text, uint32_t) override {
        messages.push_back(ToQString(text));
        return IDOK;
    }
    void Beep() override { ++beeps; }
    // The settings dialog's browse buttons ask for these.
    bool GetFileName(FileDialogRequest&) override { return ++browses, false; }
    bool BrowseForFolder(std::string&) override { return ++browses, false; }
    QStringList messages;
    int beeps = 0;
    int browses = 0;
};

QByteArray FileBytes() {
    QByteArray bytes(0x100, '.');
    bytes.replace(0x50, 2, "ab");
    bytes.replace(0x90, 2, "ab");
    return bytes;
}

// The folder the file choosers save into. A chooser opens in the current
// folder and, once one has been accepted, in the folder last chosen, so one
// folder serves every case of the run.
const QTemporaryDir& ExportFolder() {
    static const QTemporaryDir folder;
    return folder;
}

// A writable file open in a shown, active main window, the bytes 10 to 1F
// selected; no exported files yet.
struct KeyboardProgram : ProgramWith<RecordingHost> {
    KeyboardProgram() : ProgramWith<RecordingHost>("[Setting]\nNoReadOnly=1\n") {
        path = home.WriteFile("data.bin", FileBytes());
        QDir::setCurrent(ExportFolder().path());
        for (const QString& name : {PartFile(), ListFile()}) QFile::remove(name);
        if (!app.ProcessShellCommand({path})) qFatal("open failed");
        Show();
        if (!QTest::qWaitForWindowActive(window.get())) qWarning("main window not active");
        view().UpdateSelection(SelectionStep::kAnchor, 0x10);
        view().UpdateSelection(SelectionStep::kCaret, 0x1F);
    }
    QByteArray Disk() const { return ReadAll(PathToQString(path)); }
    static QString PartFile() { return ExportFolder().filePath(QStringLiteral("part.bin")); }
    static QString ListFile() { return ExportFolder().filePath(QStringLiteral("list.txt")); }
    static QByteArray ReadAll(const QString& name) {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Everything a dialog of this file could change, in one text.
    QString State() const {
        auto* self = const_cast<KeyboardProgram*>(this);
        return QStringLiteral(
                   "disk %1, anchor %2, window %3, read size %4, template %5, "
                   "plug-ins %6, part.bin %7, list.txt %8, messages %9, browses %10")
            .arg(QString::fromLatin1(Disk().toHex()))
            .arg(self->view().Anchor())
            .arg(self->view().WindowOffset())
            .arg(self->view().ReadSize())
            .arg(PathToQString(app.templatePath()), PathToQString(app.GetPlugInFolder()))
            .arg(QFile::exists(PartFile()))
            .arg(QFile::exists(ListFile()))
            .arg(host.messages.join(u'|'))
            .arg(host.browses);
    }
    std::string path;
};

// A name for a focused control: its object name; the unnamed buttons of a
// chooser's button box by their role.
QString FocusName(QWidget* w) {
    if (w == nullptr) return QStringLiteral("(nothing)");
    if (w->objectName().isEmpty()) {
        auto* box = qobject_cast<QDialogButtonBox*>(w->parentWidget());
        auto* button = qobject_cast<QAbstractButton*>(w);
        if (box != nullptr && button != nullptr) {
            switch (box->buttonRole(button)) {
                case QDialogButtonBox::AcceptRole:
                    return QStringLiteral("acceptButton");
                case QDialogButtonBox::RejectRole:
                    return QStringLiteral("rejectButton");
                default:
                    break;
            }
        }
        return QString::fromLatin1(w->metaObject()->className());
    }
    return w->objectName();
}

// Waits until the dialog is the application's active window, the one that
// gets the keys. (The window system may report a dialog active as soon as
// its owner is.)
bool WaitUntilActive(QWidget* dialog) {
    return QTest::qWaitFor([dialog] { return QApplication::activeWindow() == dialog; });
}

// Keys typed while the focus is outside the dialog would land in the main
// window; such a dialog is closed unanswered instead.
bool HasFocusInside(QWidget* dialog) {
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr && dialog->isAncestorOf(focus);
}

void CloseDialog(QWidget* dialog) {
    if (auto* d = qobject_cast<QDialog*>(dialog)) d->reject();
}

// Presses a key on whatever has the keyboard focus, as a keyboard does; with
// nothing focused, on the dialog.
void Press(QWidget* dialog, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target != nullptr ? target : dialog, key, mods);
}

// Types text into whatever has the focus; a tab character presses Tab.
void Type(QWidget* dialog, const QString& keys) {
    for (QChar c : keys) {
        if (c == u'\t') {
            Press(dialog, Qt::Key_Tab);
            continue;
        }
        QWidget* target = QApplication::focusWidget();
        QTest::keyClicks(target != nullptr ? target : dialog, QString(c));
    }
}

// One dialog: how the program opens it, what a person types into it, the
// order Tab visits its controls in (from the first one round to the first
// again, or as far as listed), and what Enter then has done.
struct DialogCase {
    const char* name;
    Qt::Key key;  // the key that opens it on the dump; Qt::Key_unknown for a menu item
    Qt::KeyboardModifiers mods;
    uint32_t menuCommand;
    QString typed;
    QStringList tabOrder;
    std::function<void(KeyboardProgram&)> checkAccepted;
};

const std::vector<DialogCase>& Cases() {
    static const QStringList okCancel{QStringLiteral("okButton"), QStringLiteral("cancelButton")};
    // One case to a paragraph reads better than one value to a line.
    // clang-format off
    static const std::vector<DialogCase> cases = {
        {"search, Ctrl+F", Qt::Key_F, Qt::ControlModifier, 0, QStringLiteral("ab"),
         QStringList{"searchEdit"} + okCancel + QStringList{"searchEdit"},
         [](KeyboardProgram& p) {
             QCOMPARE(p.view().Anchor(), uint64_t{0x50});
             QCOMPARE(p.host.beeps, 0);
         }},
        {"replace all, menu", Qt::Key_unknown, {}, ID_REPLACE, QStringLiteral("ab\tXY\t "),
         QStringList{"searchEdit", "replaceEdit", "replaceAllCheck"} + okCancel +
             QStringList{"searchEdit"},
         [](KeyboardProgram& p) {
             QByteArray expected = FileBytes();
             expected.replace(0x50, 2, "XY");
             expected.replace(0x90, 2, "XY");
             QCOMPARE(p.Disk(), expected);
         }},
        {"insert, Insert", Qt::Key_Insert, {}, 0, QStringLiteral("3"),
         QStringList{"countEdit", "positionEdit"} + okCancel + QStringList{"countEdit"},
         [](KeyboardProgram& p) {
             QCOMPARE(p.Disk(), QByteArray(FileBytes()).insert(0x10, QByteArray(3, '\0')));
         }},
        {"delete, Delete", Qt::Key_Delete, {}, 0, QStringLiteral("2"),
         QStringList{"countEdit", "positionEdit"} + okCancel + QStringList{"countEdit"},
         [](KeyboardProgram& p) { QCOMPARE(p.Disk(), QByteArray(FileBytes()).remove(0x10, 2)); }},
        {"fill, menu", Qt::Key_unknown, {}, ID_EDIT_FILL, QStringLiteral("41"),
         QStringList{"valueEdit", "startEdit", "endEdit"} + okCancel + QStringList{"valueEdit"},
         [](KeyboardProgram& p) {
             QCOMPARE(p.Disk(), QByteArray(FileBytes()).replace(0x10, 0x10, QByteArray(0x10, 'A')));
         }},
        {"jump, Ctrl+G", Qt::Key_G, Qt::ControlModifier, 0, QStringLiteral("20"),
         QStringList{"fieldEdit"} + okCancel + QStringList{"fieldEdit"},
         [](KeyboardProgram& p) { QCOMPARE(p.view().WindowOffset(), uint64_t{0x20}); }},
        {"read size, menu", Qt::Key_unknown, {}, ID_READ_SIZE, QStringLiteral("40"),
         QStringList{"fieldEdit"} + okCancel + QStringList{"fieldEdit"},
         [](KeyboardProgram& p) { QCOMPARE(p.view().ReadSize(), uint64_t{0x40}); }},
        // Enter pressed on a browse button is OK all the same.
        {"settings, menu", Qt::Key_unknown, {}, ID_SETTINGS,
         QStringLiteral("/opt/other.ini\t\t/opt/plug-ins/\t"),
         QStringList{"templatePathEdit", "browseTemplateButton", "plugInFolderEdit",
                     "browseFolderButton"} + okCancel + QStringList{"templatePathEdit"},
         [](KeyboardProgram& p) {
             QCOMPARE(p.app.templatePath(), std::string("/opt/other.ini"));
             QCOMPARE(p.app.GetPlugInFolder(), std::string("/opt/plug-ins/"));
         }},
        // A chooser's list: from the name on, as far as its buttons.
        {"partial save, menu", Qt::Key_unknown, {}, ID_FILE_SAVE_AS, QStringLiteral("part.bin"),
         QStringList{"fileNameEdit", "fileTypeCombo", "startEdit", "endEdit", "acceptButton",
                     "rejectButton"},
         [](KeyboardProgram& p) {
             QCOMPARE(KeyboardProgram::ReadAll(KeyboardProgram::PartFile()),
                      FileBytes().mid(0x10, 0x10));
         }},
        {"hex listing, menu", Qt::Key_unknown, {}, ID_FILE_HEXLIST, QStringLiteral("list.txt"),
         QStringList{"fileNameEdit", "fileTypeCombo", "startEdit", "endEdit", "acceptButton",
                     "rejectButton"},
         [](KeyboardProgram& p) {
             const QByteArray listing = KeyboardProgram::ReadAll(KeyboardProgram::ListFile());
             const QString text = QString::fromUtf16(
                 reinterpret_cast<const char16_t*>(listing.constData()), listing.size() / 2);
             // The line of the range, nothing of the bytes around it.
             QVERIFY2(text.contains(QStringLiteral("00000010")), qPrintable(text));
             QVERIFY2(!text.contains(QStringLiteral("00000020")), qPrintable(text));
         }},
        // No field: the box opens on OK.
        {"about, menu", Qt::Key_unknown, {}, ID_APP_ABOUT, QString(),
         QStringList{"okButton", "resetButton", "okButton"},
         [](KeyboardProgram& p) {
             // Closed without the registry reset, which closes the main window too.
             QVERIFY(p.window->isVisible());
         }},
    };
    // clang-format on
    return cases;
}

// Opens the dialog of a case the way the program's user does.
void Open(KeyboardProgram& p, const DialogCase& c) {
    if (c.menuCommand == 0) {
        QTest::keyClick(&p.dump(), c.key, c.mods);
        return;
    }
    QAction* action = p.window->MenuAction(c.menuCommand);
    if (action == nullptr) qFatal("no menu item %u", c.menuCommand);
    action->trigger();
}

// What the dialog showed the moment it became active.
struct FirstFocus {
    QString name;
    // An edit with its whole text selected, ready to be typed over, or a
    // control that is no edit.
    bool readyToType = false;

    void Read() {
        QWidget* w = QApplication::focusWidget();
        name = FocusName(w);
        auto* edit = qobject_cast<QLineEdit*>(w);
        readyToType = edit == nullptr ? w != nullptr : edit->selectedText() == edit->text();
    }
};

void AddCaseRows() {
    QTest::addColumn<int>("index");
    for (size_t i = 0; i < Cases().size(); ++i) QTest::newRow(Cases()[i].name) << int(i);
}

}  // namespace

class DialogKeyboardTest : public QObject {
    Q_OBJECT
  private slots:
    void typingGoesIntoTheFirstFieldAndEnterAccepts_data() { AddCaseRows(); }
    void typingGoesIntoTheFirstFieldAndEnterAccepts();
    void tabFollowsTheControlOrderAndEscapeCancels_data() { AddCaseRows(); }
    void tabFollowsTheControlOrderAndEscapeCancels();
};

void DialogKeyboardTest::typingGoesIntoTheFirstFieldAndEnterAccepts() {
    QFETCH(int, index);
    const DialogCase& c = Cases()[size_t(index)];
    KeyboardProgram p;

    FirstFocus first;
    bool active = false;
    ModalScript script({[&](QWidget* dialog) {
        active = WaitUntilActive(dialog);
        first.Read();
        if (!HasFocusInside(dialog)) return CloseDialog(dialog);
        Type(dialog, c.typed);
        Press(dialog, Qt::Key_Return);
    }});
    Open(p, c);
    QVERIFY(script.Done());
    QVERIFY(active);
    QCOMPARE(first.name, c.tabOrder.front());
    QVERIFY(first.readyToType);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QCOMPARE(p.host.messages, QStringList());
    QCOMPARE(p.host.browses, 0);
    c.checkAccepted(p);
}

void DialogKeyboardTest::tabFollowsTheControlOrderAndEscapeCancels() {
    QFETCH(int, index);
    const DialogCase& c = Cases()[size_t(index)];
    KeyboardProgram p;
    const QString before = p.State();

    FirstFocus first;
    QStringList forward, backward;
    ModalScript script({[&](QWidget* dialog) {
        WaitUntilActive(dialog);
        first.Read();
        if (!HasFocusInside(dialog)) return CloseDialog(dialog);
        // What goes into the first field (a chooser's OK wants a file name).
        Type(dialog, c.typed.section(u'\t', 0, 0));
        for (qsizetype i = 1; i < c.tabOrder.size(); ++i) {
            Press(dialog, Qt::Key_Tab);
            forward << FocusName(QApplication::focusWidget());
        }
        // Back again to the first control; Shift+Tab walks the same order.
        for (qsizetype i = 1; i < c.tabOrder.size(); ++i) {
            Press(dialog, Qt::Key_Backtab, Qt::ShiftModifier);
            backward << FocusName(QApplication::focusWidget());
        }
        Press(dialog, Qt::Key_Escape);
    }});
    Open(p, c);
    QVERIFY(script.Done());

    QCOMPARE(first.name, c.tabOrder.front());
    QCOMPARE(forward, c.tabOrder.mid(1));
    QStringList reversed = c.tabOrder.mid(0, c.tabOrder.size() - 1);
    std::reverse(reversed.begin(), reversed.end());
    QCOMPARE(backward, reversed);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QCOMPARE(p.State(), before);
    QVERIFY(p.window->isVisible());
}

QTEST_MAIN(DialogKeyboardTest)
#include "dialog_keyboard_test.moc"
