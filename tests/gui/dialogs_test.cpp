// The edit, range-export and search dialogs on real widgets: titles,
// labels, limits, and their structs filled on OK and left alone on Cancel.
#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include "gui/gui_fixture.h"

using namespace octile;
using namespace octile::test;

namespace {

QString LabelText(QWidget* dialog, const char* name) {
    auto* label = dialog->findChild<QLabel*>(QLatin1String(name));
    return label == nullptr ? QString() : label->text();
}

QLineEdit* Edit(QWidget* dialog, const char* name) {
    auto* edit = dialog->findChild<QLineEdit*>(QLatin1String(name));
    if (edit == nullptr) qFatal("no edit %s", name);
    return edit;
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT
  private slots:
    void editInsertDialog_data();
    void editInsertDialog();
    void editRangeDialogKeepsTheValueToTwoCharacters_data();
    void editRangeDialogKeepsTheValueToTwoCharacters();
    void fileRangeDialogAddsTheRangeToTheChooser_data();
    void fileRangeDialogAddsTheRangeToTheChooser();
    void searchDialogShowsReplaceControlsOnlyToReplace_data();
    void searchDialogShowsReplaceControlsOnlyToReplace();
};

void DialogsTest::editInsertDialog_data() {
    QTest::addColumn<bool>("deleteMode");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("title");
    QTest::newRow("insert, ok") << false << "okButton"
                                << "挿入";
    QTest::newRow("delete, ok") << true << "okButton"
                                << "削除";
    QTest::newRow("insert, cancel") << false << "cancelButton"
                                    << "挿入";
}

void DialogsTest::editInsertDialog() {
    QFETCH(bool, deleteMode);
    QFETCH(QString, button);
    QFETCH(QString, title);
    QtUiHost host;
    CEditInsertDlg data;
    data.deleteMode = deleteMode;
    data.count = u"0";
    data.position = u"00000010";

    QString shownTitle, name, countLabel, positionLabel, countShown, positionShown;
    const QByteArray end = button.toLatin1();
    ModalScript script({[&](QWidget* dialog) {
        shownTitle = dialog->windowTitle();
        name = dialog->objectName();
        countLabel = LabelText(dialog, "countLabel");
        positionLabel = LabelText(dialog, "positionLabel");
        countShown = Edit(dialog, "countEdit")->text();
        positionShown = Edit(dialog, "positionEdit")->text();
        Edit(dialog, "countEdit")->setText(QStringLiteral("1A"));
        Edit(dialog, "positionEdit")->setText(QStringLiteral("2b"));
        ClickLater(dialog, end.constData());
    }});
    const int result = host.DoModal(&data);
    QVERIFY(script.Done());

    QCOMPARE(shownTitle, title);
    QCOMPARE(name, QStringLiteral("editInsertDialog"));
    QCOMPARE(countLabel, QStringLiteral("バイト数"));
    QCOMPARE(positionLabel, QStringLiteral("位置"));
    QCOMPARE(countShown, QStringLiteral("0"));
    QCOMPARE(positionShown, QStringLiteral("00000010"));
    const bool ok = button == QLatin1String("okButton");
    QCOMPARE(result, ok ? int(IDOK) : int(IDCANCEL));
    QCOMPARE(data.count, ok ? std::u16string(u"1A") : std::u16string(u"0"));
    QCOMPARE(data.position, ok ? std::u16string(u"2b") : std::u16string(u"00000010"));
    QCOMPARE(data.deleteMode, deleteMode);
}

void DialogsTest::editRangeDialogKeepsTheValueToTwoCharacters_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("value");
    QTest::newRow("two digits") << "7f"
                                << "7f";
    QTest::newRow("three digits") << "123"
                                  << "12";
    QTest::newRow("one digit") << "7"
                               << "7";
}

void DialogsTest::editRangeDialogKeepsTheValueToTwoCharacters() {
    QFETCH(QString, typed);
    QFETCH(QString, value);
    QtUiHost host;
    CEditRangeDlg data;
    data.start = u"00000004";
    data.end = u"0000000B";

    QString title, valueLabel, hexLabel, startLabel, endLabel, startShown, endShown;
    ModalScript script({[&](QWidget* dialog) {
        title = dialog->windowTitle();
        valueLabel = LabelText(dialog, "valueLabel");
        hexLabel = LabelText(dialog, "hexLabel");
        startLabel = LabelText(dialog, "startLabel");
        endLabel = LabelText(dialog, "endLabel");
        startShown = Edit(dialog, "startEdit")->text();
        endShown = Edit(dialog, "endEdit")->text();
        QTest::keyClicks(Edit(dialog, "valueEdit"), typed);
        Edit(dialog, "endEdit")->setText(QStringLiteral("FFFFFFFFFFFFFFFF"));
        ClickLater(dialog, "okButton");
    }});
    QCOMPARE(host.DoModal(&data), int(IDOK));
    QVERIFY(script.Done());

    QCOMPARE(title, QStringLiteral("範囲書き換え"));
    QCOMPARE(valueLabel, QStringLiteral("書き込む値"));
    QCOMPARE(hexLabel, QStringLiteral("（16進）"));
    QCOMPARE(startLabel, QStringLiteral("開始位置"));
    QCOMPARE(endLabel, QStringLiteral("終了位置"));
    QCOMPARE(startShown, QStringLiteral("00000004"));
    QCOMPARE(endShown, QStringLiteral("0000000B"));
    QCOMPARE(data.value, ToU16(value));
    QCOMPARE(data.start, std::u16string(u"00000004"));
    QCOMPARE(data.end, std::u16string(u"FFFFFFFFFFFFFFFF"));
}

void DialogsTest::fileRangeDialogAddsTheRangeToTheChooser_data() {
    QTest::addColumn<bool>("accept");
    QTest::newRow("ok") << true;
    QTest::newRow("cancel") << false;
}

void DialogsTest::fileRangeDialogAddsTheRangeToTheChooser() {
    QFETCH(bool, accept);
    PrivateHome home;
    home.WriteFile("existing.txt", "x");
    QtUiHost host;
    CFileRangeDialog data;
    data.file.save = true;
    data.file.title = u"16進ﾌｧｲﾙ格納";
    data.file.filter = u"ﾃｷｽﾄﾌｧｲﾙ(*.txt)|*.txt|全てのﾌｧｲﾙ(*.*)|*.*||";
    data.file.defaultExtension = u"txt";
    data.file.overwritePrompt = true;
    data.file.initialPath = QStringToPath(home.Path("existing.txt"));
    data.start = u"00000010";
    data.end = u"0000001F";

    FileChooserShown shown;
    QString startLabel, endLabel, startShown, endShown;
    bool rangeVisible = false;
    ModalScript script({[&](QWidget* window) {
        auto* chooser = qobject_cast<QFileDialog*>(window);
        if (chooser == nullptr) return window->close(), void();
        shown = FileChooserShown(*chooser);
        startLabel = LabelText(chooser, "startLabel");
        endLabel = LabelText(chooser, "endLabel");
        startShown = Edit(chooser, "startEdit")->text();
        endShown = Edit(chooser, "endEdit")->text();
        rangeVisible =
            Edit(chooser, "startEdit")->isVisible() && Edit(chooser, "endEdit")->isVisible();
        Edit(chooser, "startEdit")->setText(QStringLiteral("20"));
        Edit(chooser, "endEdit")->setText(QStringLiteral("3f"));
        if (accept) {
            if (!TypeFileName(chooser, QStringLiteral("part"))) return chooser->reject(), void();
            static_cast<QDialog*>(chooser)->accept();  // QFileDialog::accept is protected
        } else {
            chooser->reject();
        }
    }});
    const int result = host.DoModal(&data);
    QVERIFY(script.Done());

    QCOMPARE(shown.title, QStringLiteral("16進ﾌｧｲﾙ格納"));
    QCOMPARE(shown.filters, (QStringList{"ﾃｷｽﾄﾌｧｲﾙ(*.txt) (*.txt)", "全てのﾌｧｲﾙ(*.*) (*)"}));
    QCOMPARE(shown.suffix, QStringLiteral("txt"));
    QVERIFY(shown.saving);
    QVERIFY(shown.confirmOverwrite);
    QCOMPARE(startLabel, QStringLiteral("開始位置"));
    QCOMPARE(endLabel, QStringLiteral("終了位置"));
    QCOMPARE(startShown, QStringLiteral("00000010"));
    QCOMPARE(endShown, QStringLiteral("0000001F"));
    QVERIFY(rangeVisible);
    QCOMPARE(result, accept ? int(IDOK) : int(IDCANCEL));
    if (accept) {
        QCOMPARE(data.file.chosenPath, QStringToPath(home.Path("part.txt")));
        QCOMPARE(data.start, std::u16string(u"20"));
        QCOMPARE(data.end, std::u16string(u"3f"));
    } else {
        QVERIFY(data.file.chosenPath.empty());
        QCOMPARE(data.start, std::u16string(u"00000010"));
        QCOMPARE(data.end, std::u16string(u"0000001F"));
    }
}

void DialogsTest::searchDialogShowsReplaceControlsOnlyToReplace_data() {
    QTest::addColumn<int>("replaceMode");
    QTest::addColumn<int>("replaceAllBefore");
    QTest::newRow("search") << 0 << 0;
    QTest::newRow("replace") << 1 << 0;
    QTest::newRow("replace, silent") << 1 << 1;
}

void DialogsTest::searchDialogShowsReplaceControlsOnlyToReplace() {
    QFETCH(int, replaceMode);
    QFETCH(int, replaceAllBefore);
    QtUiHost host;
    CSearchSecDlg data;
    data.replaceMode = replaceMode;
    data.replaceAll = replaceAllBefore;
    data.searchText = u"4142";

    QString title, searchLabel, replaceLabel, checkText, searchShown;
    bool replaceShown = false, replaceEnabled = false, checkShown = false, checkEnabled = false,
         labelShown = false, checkedBefore = false;
    ModalScript script({[&](QWidget* dialog) {
        title = dialog->windowTitle();
        searchLabel = LabelText(dialog, "searchLabel");
        replaceLabel = LabelText(dialog, "replaceLabel");
        searchShown = Edit(dialog, "searchEdit")->text();
        QLineEdit* replace = Edit(dialog, "replaceEdit");
        auto* all = dialog->findChild<QCheckBox*>("replaceAllCheck");
        if (all == nullptr) return dialog->close(), void();
        checkText = all->text();
        labelShown = dialog->findChild<QLabel*>("replaceLabel")->isVisible();
        replaceShown = replace->isVisible();
        replaceEnabled = replace->isEnabled();
        checkShown = all->isVisible();
        checkEnabled = all->isEnabled();
        checkedBefore = all->isChecked();
        Edit(dialog, "searchEdit")->setText(QStringLiteral("あいう"));
        if (replaceMode) {
            replace->setText(QStringLiteral("かきく"));
            all->setChecked(!all->isChecked());
        }
        ClickLater(dialog, "okButton");
    }});
    QCOMPARE(host.DoModal(&data), int(IDOK));
    QVERIFY(script.Done());

    QCOMPARE(title, QStringLiteral("検索"));
    QCOMPARE(searchLabel, QStringLiteral("検索文字列"));
    QCOMPARE(replaceLabel, QStringLiteral("置換文字列"));
    QCOMPARE(checkText, QStringLiteral("全部(ESCで中断)"));
    QCOMPARE(searchShown, QStringLiteral("4142"));
    const bool replacing = replaceMode != 0;
    QCOMPARE(labelShown, replacing);
    QCOMPARE(replaceShown, replacing);
    QCOMPARE(replaceEnabled, replacing);
    QCOMPARE(checkShown, replacing);
    QCOMPARE(checkEnabled, replacing);
    QCOMPARE(checkedBefore, replaceAllBefore != 0);
    QCOMPARE(data.searchText, std::u16string(u"あいう"));
    QCOMPARE(data.replaceText, replacing ? std::u16string(u"かきく") : std::u16string());
    QCOMPARE(data.replaceAll, replacing ? 1 - replaceAllBefore : replaceAllBefore);
    QCOMPARE(data.replaceMode, replaceMode);
}

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
