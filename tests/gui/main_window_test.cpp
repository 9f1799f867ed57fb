// The main window on real widgets: title, menus, about box, settings
// dialog, file drop, toolbar and status bar.
#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

#include "gui/dialogs.h"
#include "gui/gui_fixture.h"
#include "resources/resources.h"

using namespace octile;
using namespace octile::test;

namespace {

// Opens the menu that holds a command, as the user would, and closes it again:
// the items then carry the state computed before it opened.
QAction* ShownMenuAction(Program& p, uint32_t id) {
    QMenu* menu = p.window->MenuOf(id);
    if (menu == nullptr) return nullptr;
    menu->popup(QPoint(0, 0));
    QAction* action = p.window->MenuAction(id);
    menu->hide();
    return action;
}

// Answers the file and folder choosers from a script and records the requests.
struct ChooserHost : QtUiHost {
    bool GetFileName(FileDialogRequest& request) override {
        fileRequests.push_back(request);
        if (fileAnswer.empty()) return false;
        request.chosenPath = fileAnswer;
        return true;
    }
    bool BrowseForFolder(std::string& folder) override {
        folderAsked = folder;
        if (folderAnswer.empty()) return false;
        folder = folderAnswer;
        return true;
    }
    std::vector<FileDialogRequest> fileRequests;
    std::string fileAnswer;
    std::string folderAnswer;
    std::string folderAsked;
};

void Drop(QWidget* target, const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void titleNamesTheFileOrUntitled();
    void readOnlyCheckFollowsTemplate_data();
    void readOnlyCheckFollowsTemplate();
    void aboutResetAnsweredYesDeletesSettings();
    void aboutResetAnsweredNoKeepsBoxOpen();
    void settingsDialogBrowsesAndCommitsOnlyOnOk_data();
    void settingsDialogBrowsesAndCommitsOnlyOnOk();
    void fileChooserShowsTheRequest_data();
    void fileChooserShowsTheRequest();
    void nameFiltersTakeQtsForm();
    void droppingTwoFilesLeavesTheSecondOpen();
    void recentFilesReplaceThePlaceholder();
    void noRecentKeepsThePlaceholderGreyed();
    void messagePaneShowsPromptsAndIdleText();
    void barTogglesHideAndCheck();
    void toolbarCarriesTipsAndFollowsEnabling();
    void savedPlaceIsPulledOntoTheScreen_data();
    void savedPlaceIsPulledOntoTheScreen();
    void helpWithoutADesktopOpenerShowsTheText();
};

void MainWindowTest::titleNamesTheFileOrUntitled() {
    Program p;
    QVERIFY(p.app.ProcessShellCommand({}));
    QCOMPARE(p.window->windowTitle(), QStringLiteral("無題 - Octile ﾊﾞｲﾅﾘｴﾃﾞｨﾀ"));
    const std::string path = p.home.WriteFile("data.bin", QByteArray(40, 'x'));
    QVERIFY(p.app.OpenDocumentFile(path));
    QCOMPARE(p.window->windowTitle(), QStringLiteral("data.bin - Octile ﾊﾞｲﾅﾘｴﾃﾞｨﾀ"));
}

void MainWindowTest::readOnlyCheckFollowsTemplate_data() {
    QTest::addColumn<QByteArray>("templateText");
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("no template file") << QByteArray() << true;
    QTest::newRow("NoReadOnly=0") << QByteArray("[Setting]\nNoReadOnly=0\n") << true;
    QTest::newRow("NoReadOnly=1") << QByteArray("[Setting]\nNoReadOnly=1\n") << false;
    QTest::newRow("NoReadOnly=1 in another section")
        << QByteArray("[Other]\nNoReadOnly=1\n") << true;
}

void MainWindowTest::readOnlyCheckFollowsTemplate() {
    QFETCH(QByteArray, templateText);
    QFETCH(bool, readOnly);
    Program p(templateText);
    const std::string path = p.home.WriteFile("data.bin", QByteArray(40, 'x'));
    QVERIFY(p.app.ProcessShellCommand({path}));

    QAction* item = ShownMenuAction(p, ID_READ_ONLY);
    QVERIFY(item != nullptr);
    QCOMPARE(item->text(), QStringLiteral("読み取り専用(&R)"));
    QVERIFY(item->isEnabled());
    QCOMPARE(item->isChecked(), readOnly);

    // The item toggles the mode and its check follows.
    item->trigger();
    QCOMPARE(p.app.doc().IsReadOnly() != 0, !readOnly);
    QCOMPARE(ShownMenuAction(p, ID_READ_ONLY)->isChecked(), !readOnly);
}

void MainWindowTest::aboutResetAnsweredYesDeletesSettings() {
    Program p;
    QVERIFY(p.app.ProcessShellCommand({}));
    p.Show();
    const QString settings = PathToQString(GetProfileStorePath());
    QVERIFY2(QFile::exists(settings), "the first start writes the settings file");

    bool label64bitShown = false;
    bool iconShown = false;
    QString question;
    ModalScript script({
        [&](QWidget* about) {
            QCOMPARE(about->windowTitle(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
            label64bitShown = about->findChild<QLabel*>("label64bit")->isVisible();
            iconShown = !about->findChild<QLabel*>("iconLabel")->pixmap().isNull();
            ClickLater(about, "resetButton");
        },
        [&](QWidget* box) {
            auto* message = qobject_cast<QMessageBox*>(box);
            if (message == nullptr) return box->close(), void();
            question = message->text();
            message->button(QMessageBox::Yes)->click();
        },
    });
    p.window->MenuAction(ID_APP_ABOUT)->trigger();

    QVERIFY(script.Done());
    QVERIFY(label64bitShown);
    QVERIFY(iconShown);
    QCOMPARE(question, QStringLiteral("Octileのレジストリを削除して終了します。いいですか。"));
    QVERIFY(p.app.resetOnExit());
    QVERIFY2(!p.window->isVisible(), "the main window was closed");
    p.app.ExitInstance();
    QVERIFY(!QFile::exists(settings));
}

void MainWindowTest::aboutResetAnsweredNoKeepsBoxOpen() {
    Program p;
    QVERIFY(p.app.ProcessShellCommand({}));
    p.Show();
    QPointer<QWidget> aboutBox;
    bool stillOpenAfterNo = false;
    ModalScript script({
        [&](QWidget* about) {
            aboutBox = about;
            ClickLater(about, "resetButton");
        },
        [&](QWidget* box) {
            auto* message = qobject_cast<QMessageBox*>(box);
            if (message == nullptr) return box->close(), void();
            message->button(QMessageBox::No)->click();
        },
        [&](QWidget* again) {
            stillOpenAfterNo = again == aboutBox && again->isVisible();
            ClickLater(again, "okButton");
        },
    });
    p.window->MenuAction(ID_APP_ABOUT)->trigger();
    QVERIFY(script.Done());
    QVERIFY(stillOpenAfterNo);
    QVERIFY(!p.app.resetOnExit());
    QVERIFY(p.window->isVisible());
    p.window->close();
    p.app.ExitInstance();
    QVERIFY(QFile::exists(PathToQString(GetProfileStorePath())));
}

void MainWindowTest::settingsDialogBrowsesAndCommitsOnlyOnOk_data() {
    QTest::addColumn<bool>("choose");
    QTest::addColumn<QString>("endButton");
    QTest::addColumn<bool>("committed");
    QTest::newRow("browse, cancel") << true << QStringLiteral("cancelButton") << false;
    QTest::newRow("browse, ok") << true << QStringLiteral("okButton") << true;
    QTest::newRow("choosers cancelled, ok") << false << QStringLiteral("okButton") << false;
}

void MainWindowTest::settingsDialogBrowsesAndCommitsOnlyOnOk() {
    QFETCH(bool, choose);
    QFETCH(QString, endButton);
    QFETCH(bool, committed);
    ProgramWith<ChooserHost> p;
    QVERIFY(p.app.ProcessShellCommand({}));
    const std::string oldTemplate = p.app.templatePath();
    const std::string oldFolder = p.app.GetPlugInFolder();
    if (choose) {
        p.host.fileAnswer = QStringToPath(p.home.Path("chosen.ini"));
        p.host.folderAnswer = QStringToPath(p.home.Path("plugins"));
    }

    QString title, initialTemplate, initialFolder, templateShown, folderShown;
    const QByteArray end = endButton.toLatin1();
    ModalScript script({
        [&](QWidget* settings) {
            title = settings->windowTitle();
            auto* templateEdit = settings->findChild<QLineEdit*>("templatePathEdit");
            auto* folderEdit = settings->findChild<QLineEdit*>("plugInFolderEdit");
            if (templateEdit == nullptr || folderEdit == nullptr) return settings->close(), void();
            initialTemplate = templateEdit->text();
            initialFolder = folderEdit->text();
            settings->findChild<QAbstractButton*>("browseTemplateButton")->click();
            settings->findChild<QAbstractButton*>("browseFolderButton")->click();
            templateShown = templateEdit->text();
            folderShown = folderEdit->text();
            ClickLater(settings, end.constData());
        },
    });
    p.window->MenuAction(ID_SETTINGS)->trigger();
    QVERIFY(script.Done());

    QCOMPARE(title, QStringLiteral("環境設定"));
    QCOMPARE(initialTemplate, PathToQString(oldTemplate));
    QCOMPARE(initialFolder, PathToQString(oldFolder));
    // The template chooser: the ini filter, default extension and the edit's text.
    QCOMPARE(p.host.fileRequests.size(), size_t(1));
    const FileDialogRequest& asked = p.host.fileRequests.front();
    QVERIFY(!asked.save);
    QCOMPARE(asked.filter, std::u16string(u"設定ﾌｧｲﾙ(*.ini)|*.ini||"));
    QCOMPARE(asked.defaultExtension, std::u16string(u"ini"));
    QCOMPARE(asked.initialPath, oldTemplate);
    QCOMPARE(p.host.folderAsked, oldFolder);

    const std::string newTemplate = choose ? p.host.fileAnswer : oldTemplate;
    const std::string newFolder = choose ? p.host.folderAnswer : oldFolder;
    QCOMPARE(templateShown, PathToQString(newTemplate));
    QCOMPARE(folderShown, PathToQString(newFolder));
    QCOMPARE(p.app.templatePath(), committed ? newTemplate : oldTemplate);
    QCOMPARE(p.app.GetPlugInFolder(), committed ? newFolder : oldFolder);
}

void MainWindowTest::fileChooserShowsTheRequest_data() {
    QTest::addColumn<bool>("save");
    QTest::addColumn<bool>("accept");
    QTest::newRow("open, ok") << false << true;
    QTest::newRow("open, cancel") << false << false;
    QTest::newRow("save, ok") << true << true;
}

void MainWindowTest::fileChooserShowsTheRequest() {
    QFETCH(bool, save);
    QFETCH(bool, accept);
    Program p;
    QVERIFY(p.app.ProcessShellCommand({}));
    const std::string initial = p.home.WriteFile("start.exe", "MZ");
    FileDialogRequest request;
    request.save = save;
    request.title = u"開く";
    request.filter = u"実行ﾌｧｲﾙ(*.exe)|*.exe|全てのﾌｧｲﾙ(*.*)|*.*||";
    request.defaultExtension = u"exe";
    request.initialPath = initial;
    request.overwritePrompt = save;

    FileChooserShown shown;
    ModalScript script({[&](QWidget* window) {
        auto* chooser = qobject_cast<QFileDialog*>(window);
        if (chooser == nullptr) return window->close(), void();
        shown = FileChooserShown(*chooser);
        if (accept && !save) {
            static_cast<QDialog*>(chooser)->accept();  // QFileDialog::accept is protected
        } else if (accept) {
            if (!TypeFileName(chooser, QStringLiteral("new"))) return chooser->reject(), void();
            static_cast<QDialog*>(chooser)->accept();
        } else {
            chooser->reject();
        }
    }});
    const bool chosen = p.host.GetFileName(request);
    QVERIFY(script.Done());

    QCOMPARE(shown.title, QStringLiteral("開く"));
    QCOMPARE(shown.filters, (QStringList{"実行ﾌｧｲﾙ(*.exe) (*.exe)", "全てのﾌｧｲﾙ(*.*) (*)"}));
    QCOMPARE(shown.suffix, QStringLiteral("exe"));
    QCOMPARE(shown.selected, PathToQString(initial));
    QCOMPARE(shown.saving, save);
    QCOMPARE(shown.existingOnly, !save);
    if (save) QVERIFY(shown.confirmOverwrite);
    QCOMPARE(chosen, accept);
    if (accept) {
        QCOMPARE(request.chosenPath, save ? QStringToPath(p.home.Path("new.exe")) : initial);
    }
}

// The splitting is the core's; this checks Qt's "desc (p1 p2)" form.
void MainWindowTest::nameFiltersTakeQtsForm() {
    QCOMPARE(ToQtNameFilters(u"画像|*.bmp;*.png|その他|*.txt||"),
             (QStringList{"画像 (*.bmp *.png)", "その他 (*.txt)"}));
}

void MainWindowTest::droppingTwoFilesLeavesTheSecondOpen() {
    Program p;
    QVERIFY(p.app.ProcessShellCommand({}));
    const std::string first = p.home.WriteFile("first.bin", QByteArray(100, 'a'));
    const std::string second = p.home.WriteFile("second.bin", QByteArray(300, 'b'));
    Drop(p.window.get(),
         {QUrl::fromLocalFile(PathToQString(first)), QUrl::fromLocalFile(PathToQString(second))});
    QCOMPARE(p.app.doc().GetPathName(), second);
    QCOMPARE(p.app.doc().GetFileLength(), uint64_t{300});
    QCOMPARE(p.window->windowTitle(), QStringLiteral("second.bin - Octile ﾊﾞｲﾅﾘｴﾃﾞｨﾀ"));
    QCOMPARE(p.app.recentFiles(), (std::vector<std::string>{second, first}));
}

void MainWindowTest::recentFilesReplaceThePlaceholder() {
    Program p;
    QVERIFY(p.app.ProcessShellCommand({}));
    QAction* placeholder = ShownMenuAction(p, ID_FILE_MRU_FIRST);
    QCOMPARE(placeholder->text(), QStringLiteral("最新のﾌｧｲﾙ"));
    QVERIFY(placeholder->isVisible());
    QVERIFY(!placeholder->isEnabled());

    const std::string first = p.home.WriteFile("a&b.bin", QByteArray(20, 'a'));
    const std::string second = p.home.WriteFile("second.bin", QByteArray(20, 'b'));
    QVERIFY(p.app.OpenDocumentFile(first));
    QVERIFY(p.app.OpenDocumentFile(second));
    QAction* newest = ShownMenuAction(p, ID_FILE_MRU_FIRST);
    QAction* older = p.window->MenuAction(ID_FILE_MRU_FIRST + 1);
    QVERIFY(newest != nullptr && older != nullptr && newest != placeholder);
    QVERIFY(!placeholder->isVisible());
    QCOMPARE(newest->text(), QStringLiteral("&1 ") + PathToQString(second));
    QCOMPARE(older->text(), QStringLiteral("&2 ") + PathToQString(first).replace("&", "&&"));
    QVERIFY(newest->isEnabled() && older->isEnabled());

    older->trigger();
    QCOMPARE(p.app.doc().GetPathName(), first);
}

void MainWindowTest::noRecentKeepsThePlaceholderGreyed() {
    Program p("[Setting]\nNoRecent=1\n");
    QVERIFY(p.app.noRecent());
    QVERIFY(p.app.OpenDocumentFile(p.home.WriteFile("data.bin", QByteArray(20, 'a'))));
    QAction* placeholder = ShownMenuAction(p, ID_FILE_MRU_FIRST);
    QCOMPARE(placeholder->text(), QStringLiteral("最新のﾌｧｲﾙ"));
    QVERIFY(placeholder->isVisible());
    QVERIFY(!placeholder->isEnabled());
}

void MainWindowTest::messagePaneShowsPromptsAndIdleText() {
    Program p;
    QVERIFY(p.app.ProcessShellCommand({}));
    QLabel* pane = p.window->messagePane();
    QCOMPARE(pane->text(), QStringLiteral("ﾚﾃﾞｨ"));
    QMenu* fileMenu = p.window->MenuOf(ID_FILE_OPEN);
    fileMenu->popup(QPoint(0, 0));
    p.window->MenuAction(ID_FILE_OPEN)->hover();
    QCOMPARE(pane->text(), QStringLiteral("既存のﾌｧｲﾙを開く"));
    p.window->MenuAction(ID_APP_EXIT)->hover();
    QCOMPARE(pane->text(), QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示"));
    fileMenu->hide();
    QCOMPARE(pane->text(), QStringLiteral("ﾚﾃﾞｨ"));
    p.window->ToolbarAction(ID_APP_ABOUT)->hover();
    QCOMPARE(pane->text(), QStringLiteral("ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示"));
}

void MainWindowTest::barTogglesHideAndCheck() {
    Program p;
    QVERIFY(p.app.ProcessShellCommand({}));
    p.Show();
    QVERIFY(ShownMenuAction(p, ID_VIEW_TOOLBAR)->isChecked());
    QVERIFY(ShownMenuAction(p, ID_VIEW_STATUS_BAR)->isChecked());

    p.window->MenuAction(ID_VIEW_TOOLBAR)->trigger();
    QVERIFY(!p.window->toolBar()->isVisible());
    QVERIFY(!ShownMenuAction(p, ID_VIEW_TOOLBAR)->isChecked());
    QVERIFY(p.window->statusBar()->isVisible());

    p.window->MenuAction(ID_VIEW_STATUS_BAR)->trigger();
    QVERIFY(!p.window->statusBar()->isVisible());
    QVERIFY(!ShownMenuAction(p, ID_VIEW_STATUS_BAR)->isChecked());

    p.window->MenuAction(ID_VIEW_TOOLBAR)->trigger();
    QVERIFY(p.window->toolBar()->isVisible());
    QVERIFY(ShownMenuAction(p, ID_VIEW_TOOLBAR)->isChecked());
}

void MainWindowTest::toolbarCarriesTipsAndFollowsEnabling() {
    Program p;
    QVERIFY(p.app.ProcessShellCommand({}));
    const QList<QAction*> actions = p.window->toolBar()->actions();
    QStringList tips;
    for (QAction* a : actions) tips << (a->isSeparator() ? QStringLiteral("|") : a->toolTip());
    QCOMPARE(tips, (QStringList{"開く", "16進ﾌｧｲﾙ格納", "|", "ｺﾋﾟｰ", "貼り付け", "|", "検索", "|",
                                "ﾊﾞｰｼﾞｮﾝ情報"}));

    // The idle refresh brings every button to the state its command reports:
    // copy needs an open file, open and about are always available.
    p.window->ToolbarAction(ID_EDIT_COPY)->setEnabled(true);
    p.window->ToolbarAction(ID_FILE_OPEN)->setEnabled(false);
    QTRY_VERIFY(!p.window->ToolbarAction(ID_EDIT_COPY)->isEnabled());
    QTRY_VERIFY(p.window->ToolbarAction(ID_FILE_OPEN)->isEnabled());
    QVERIFY(p.window->ToolbarAction(ID_APP_ABOUT)->isEnabled());
}

void MainWindowTest::savedPlaceIsPulledOntoTheScreen_data() {
    // The screens: 1920 x 1080 at (0, 0), the primary one, and 2560 x 1600
    // at (1920, 0). "right" stands for the rightmost X a window may have
    // on the right screen, 4480 - its width.
    QTest::addColumn<QRect>("saved");  // X, Y, W, H as in the profile
    QTest::addColumn<QPoint>("expectedTopLeft");
    QTest::addColumn<int>("expectedHeight");
    QTest::addColumn<bool>("fromTheRight");  // expected X counts back from 4480
    QTest::newRow("on the second screen")
        << QRect(2200, 100, 500, 700) << QPoint(2200, 100) << 700 << false;
    QTest::newRow("on a monitor that is gone")
        << QRect(6000, 200, 500, 700) << QPoint(0, 200) << 700 << true;
    QTest::newRow("above and left of all")
        << QRect(-500, -300, 500, 700) << QPoint(0, 0) << 700 << false;
    QTest::newRow("taller than the screen")
        << QRect(100, 300, 500, 2000) << QPoint(100, 0) << 1080 << false;
    QTest::newRow("below the bottom edge")
        << QRect(100, 900, 500, 700) << QPoint(100, 380) << 700 << false;
}

void MainWindowTest::savedPlaceIsPulledOntoTheScreen() {
    QFETCH(QRect, saved);
    QFETCH(QPoint, expectedTopLeft);
    QFETCH(int, expectedHeight);
    QFETCH(bool, fromTheRight);
    auto home = std::make_shared<PrivateHome>();
    {
        IniProfileStore store(GetProfileStorePath());
        store.WriteProfileInt("Position", "X", saved.x());
        store.WriteProfileInt("Position", "Y", saved.y());
        store.WriteProfileInt("Position", "W", saved.width());
        store.WriteProfileInt("Position", "H", saved.height());
        store.Flush();
    }
    QRect shown;
    {
        Program p(QByteArray(), home);
        QVERIFY(p.app.ProcessShellCommand({}));
        p.Show();
        const QPoint onScreen = fromTheRight ? QPoint(4000, expectedTopLeft.y()) : expectedTopLeft;
        const QRect area = QGuiApplication::screenAt(onScreen)->availableGeometry();
        QTRY_VERIFY2(area.contains(p.window->frameGeometry()), "the whole frame is on the screen");
        QPoint topLeft = expectedTopLeft;
        if (fromTheRight) topLeft.setX(4480 - p.window->frameGeometry().width());
        QTRY_COMPARE(p.window->frameGeometry().topLeft(), topLeft);
        QCOMPARE(p.window->frameGeometry().height(), expectedHeight);
        shown = p.window->frameGeometry();
    }
    // What is saved at exit is the place the window had: the next start
    // opens there unchanged.
    Program again(QByteArray(), home);
    QCOMPARE(again.store.GetProfileInt("Position", "X", -1), shown.x());
    QCOMPARE(again.store.GetProfileInt("Position", "Y", -1), shown.y());
    QCOMPARE(again.store.GetProfileInt("Position", "H", -1), shown.height());
    QVERIFY(again.app.ProcessShellCommand({}));
    again.Show();
    QTRY_COMPARE(again.window->frameGeometry(), shown);
}

// Without xdg-open on the path, 使用方法 shows readme.txt in a window of the
// program's own, with the text as the file holds it.
void MainWindowTest::helpWithoutADesktopOpenerShowsTheText() {
    Program p;
    QVERIFY(p.app.ProcessShellCommand({}));
    p.Show();
    p.home.WriteFile("readme.txt", QStringLiteral("使用方法の本文\nline two\n").toUtf8());
    const QByteArray path = qgetenv("PATH");
    QTemporaryDir empty;
    qputenv("PATH", QFile::encodeName(empty.path()));
    p.window->MenuAction(ID_HELP_README)->trigger();
    qputenv("PATH", path);
    QPlainTextEdit* text = nullptr;
    QTRY_VERIFY((text = p.window->findChild<QPlainTextEdit*>()) != nullptr);
    QVERIFY(text->window()->isVisible());
    QCOMPARE(text->window()->windowTitle(), QStringLiteral("readme.txt"));
    QCOMPARE(text->toPlainText(), QStringLiteral("使用方法の本文\nline two\n"));
    QVERIFY(text->isReadOnly());
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
