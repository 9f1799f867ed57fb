// Qt's own dialogs as the program shows them, under the C locale: message
// boxes, the file and colour choosers in Japanese, and the font dialog with
// the fonts that suit the dump, opening on the current font.
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>

#include "gui/font_dialog.h"
#include "gui/gui_fixture.h"
#include "resources/resources.h"
#include "view/view_font.h"

using namespace octile;
using namespace octile::test;

namespace {

QStringList ButtonTexts(QMessageBox* box) {
    QStringList texts;
    for (QAbstractButton* b : box->buttons()) texts << b->text();
    texts.sort();
    return texts;
}

// Clicks the message box button with the text, from the event loop.
void ClickTextLater(QMessageBox* box, const QString& text) {
    QTimer::singleShot(0, box, [box, text] {
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == text) return b->click();
        }
        qWarning("no button %s", qPrintable(text));
        box->close();
    });
}

void LaterOnDialog(QWidget* dialog, std::function<void(QDialog*)> act) {
    auto* d = qobject_cast<QDialog*>(dialog);
    QTimer::singleShot(0, dialog, [d, act] { act(d); });
}

QStringList LabelTexts(QWidget* dialog) {
    QStringList texts;
    for (QLabel* l : dialog->findChildren<QLabel*>()) texts << l->text();
    return texts;
}

// Only the search dialog is answered here; message boxes are the real ones.
struct ReplaceHost : QtUiHost {
    int DoModal(DialogRef dialog) override {
        if (auto* s = std::get_if<CSearchSecDlg*>(&dialog)) {
            (*s)->searchText = u"ab";
            (*s)->replaceText = u"XY";
            (*s)->replaceAll = 0;
            return IDOK;
        }
        return IDCANCEL;
    }
};

ViewFont Font(const QString& face, int32_t height, int32_t weight, uint8_t italic) {
    ViewFont f;
    f.faceName = ToU16(face);
    f.height = height;
    f.weight = weight;
    f.italic = italic;
    return f;
}

const QString kCjkMono = QStringLiteral("Noto Sans Mono CJK JP");
const QString kLatinMono = QStringLiteral("DejaVu Sans Mono");

bool Installed(const QString& family) { return QFontDatabase::families().contains(family); }

QStringList Items(const QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
    return items;
}

QString Current(const QListWidget* list) {
    return list->currentItem() == nullptr ? QString() : list->currentItem()->text();
}

QListWidget* List(QWidget* dialog, const char* name) {
    auto* list = dialog->findChild<QListWidget*>(QLatin1String(name));
    if (list == nullptr) qFatal("no list %s", name);
    return list;
}

QLineEdit* SizeEdit(QWidget* dialog) {
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("sizeEdit"));
    if (edit == nullptr) qFatal("no size edit");
    return edit;
}

void SelectText(QListWidget* list, const QString& text) {
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    if (found.isEmpty()) qFatal("no item %s", qPrintable(text));
    list->setCurrentItem(found.front());
}

}  // namespace

Q_DECLARE_METATYPE(octile::ViewFont)

class SystemDialogsTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void messageBoxButtonsReadAsTheProgramNamesThem_data();
    void messageBoxButtonsReadAsTheProgramNamesThem();
    void replaceQuestionHasTheButtonsItNames();
    void fileChooserIsQtsOwnInJapanese_data();
    void fileChooserIsQtsOwnInJapanese();
    void overwriteQuestionIsJapanese();
    void colourChooserIsJapanese();
    void fontDialogOpensOnTheCurrentFontAndOkKeepsIt_data();
    void fontDialogOpensOnTheCurrentFontAndOkKeepsIt();
    void fontCommandWithoutAChangeKeepsTheViewFont();
    void fontDialogTakesASizeTypedTheMomentItOpens();
    void fontDialogReturnsWhatWasChanged_data();
    void fontDialogReturnsWhatWasChanged();
    void fontDialogRefusesSizesOutsideOneToSeventeen_data();
    void fontDialogRefusesSizesOutsideOneToSeventeen();
    void fontDialogListsFontsWithOneLatinAdvance_data();
    void fontDialogListsFontsWithOneLatinAdvance();
    void fontDialogHasNoEffectsOrWritingSystem();
};

void SystemDialogsTest::initTestCase() {
    QVERIFY(InstallQtTranslations());
    // The point sizes below are for 96 dots per inch.
    QCOMPARE(QWidget().logicalDpiY(), 96);
}

void SystemDialogsTest::messageBoxButtonsReadAsTheProgramNamesThem_data() {
    QTest::addColumn<uint>("type");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("click");
    QTest::addColumn<int>("answer");
    const QString ok = QStringLiteral("OK"), cancel = QStringLiteral("ｷｬﾝｾﾙ"),
                  yes = QStringLiteral("はい(&Y)"), no = QStringLiteral("いいえ(&N)");
    QTest::newRow("ok") << uint(MB_OK | MB_ICONEXCLAMATION) << QStringList{ok} << ok << int(IDOK);
    QTest::newRow("ok cancel: cancel")
        << uint(MB_OKCANCEL) << QStringList{ok, cancel} << cancel << int(IDCANCEL);
    QTest::newRow("yes no: no") << uint(MB_YESNO | MB_ICONQUESTION) << QStringList{yes, no} << no
                                << int(IDNO);
    QTest::newRow("yes no cancel: yes") << uint(MB_YESNOCANCEL | MB_ICONQUESTION)
                                        << QStringList{yes, no, cancel} << yes << int(IDYES);
    QTest::newRow("yes no cancel: cancel")
        << uint(MB_YESNOCANCEL | MB_ICONQUESTION) << QStringList{yes, no, cancel} << cancel
        << int(IDCANCEL);
}

void SystemDialogsTest::messageBoxButtonsReadAsTheProgramNamesThem() {
    QFETCH(uint, type);
    QFETCH(QStringList, buttons);
    QFETCH(QString, click);
    QFETCH(int, answer);
    Program p;
    QStringList shown;
    ModalScript script({[&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (box == nullptr) return w->close(), void();
        shown = ButtonTexts(box);
        ClickTextLater(box, click);
    }});
    QCOMPARE(p.host.MessageBox(u"メッセージ", type), answer);
    QVERIFY(script.Done());
    buttons.sort();
    QCOMPARE(shown, buttons);
}

void SystemDialogsTest::replaceQuestionHasTheButtonsItNames() {
    ProgramWith<ReplaceHost> p("[Setting]\nNoReadOnly=1\n");
    const std::string path = p.home.WriteFile("replace.bin", "..ab..ab..ab");
    QVERIFY(p.app.ProcessShellCommand({path}));
    p.Show();
    QString question;
    QStringList first, second;
    ModalScript script({
        [&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box == nullptr) return w->close(), void();
            question = box->text();
            first = ButtonTexts(box);
            ClickTextLater(box, QStringLiteral("はい(&Y)"));
        },
        [&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box == nullptr) return w->close(), void();
            second = ButtonTexts(box);
            ClickTextLater(box, QStringLiteral("ｷｬﾝｾﾙ"));
        },
    });
    p.window->RunCommand(ID_REPLACE);
    QVERIFY(script.Done());
    QCOMPARE(question, QStringLiteral("置換します。いいですか。（中止する場合はｷｬﾝｾﾙ）"));
    const QStringList expected = [] {
        QStringList l{QStringLiteral("はい(&Y)"), QStringLiteral("いいえ(&N)"),
                      QStringLiteral("ｷｬﾝｾﾙ")};
        l.sort();
        return l;
    }();
    QCOMPARE(first, expected);
    QCOMPARE(second, expected);
    // Yes replaced the first match, Cancel stopped before the second.
    QFile f(QString::fromStdString(path));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("..XY..ab..ab"));
}

void SystemDialogsTest::fileChooserIsQtsOwnInJapanese_data() {
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("acceptText");
    QTest::newRow("open") << false << QStringLiteral("開く(&O)");
    QTest::newRow("save") << true << QStringLiteral("保存(&S)");
}

void SystemDialogsTest::fileChooserIsQtsOwnInJapanese() {
    QFETCH(bool, save);
    QFETCH(QString, acceptText);
    Program p;
    FileDialogRequest request;
    request.title = u"ﾌｧｲﾙを開く";
    request.filter = u"全てのﾌｧｲﾙ (*.*)|*.*||";
    request.save = save;
    request.overwritePrompt = save;
    request.initialPath = p.home.ProgramFolder();
    bool nonNative = false;
    QString fileNameLabel, lookInLabel, accept, cancel;
    ModalScript script({[&](QWidget* w) {
        auto* chooser = qobject_cast<QFileDialog*>(w);
        if (chooser == nullptr) return w->close(), void();
        nonNative = chooser->testOption(QFileDialog::DontUseNativeDialog);
        const auto label = [&](const char* name) {
            auto* l = chooser->findChild<QLabel*>(QLatin1String(name));
            return l == nullptr ? QString() : l->text();
        };
        fileNameLabel = label("fileNameLabel");
        lookInLabel = label("lookInLabel");
        if (auto* box = chooser->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))) {
            if (auto* b = box->button(save ? QDialogButtonBox::Save : QDialogButtonBox::Open))
                accept = b->text();
            if (auto* b = box->button(QDialogButtonBox::Cancel)) cancel = b->text();
        }
        LaterOnDialog(chooser, [](QDialog* d) { d->reject(); });
    }});
    QVERIFY(!p.host.GetFileName(request));
    QVERIFY(script.Done());
    QVERIFY(nonNative);
    QCOMPARE(fileNameLabel, QStringLiteral("ファイル名(&N):"));
    QCOMPARE(lookInLabel, QCoreApplication::translate("QFileDialog", "Look in:"));
    QVERIFY(lookInLabel != QStringLiteral("Look in:"));
    QCOMPARE(accept, acceptText);
    QCOMPARE(cancel, QStringLiteral("キャンセル"));
}

void SystemDialogsTest::overwriteQuestionIsJapanese() {
    Program p;
    FileDialogRequest request;
    request.title = u"名前を付けて保存";
    request.filter = u"全てのﾌｧｲﾙ (*.*)|*.*||";
    request.save = true;
    request.overwritePrompt = true;
    request.initialPath = p.home.WriteFile("exists.bin", "x");
    QString question;
    QStringList buttons;
    bool backInChooser = false;
    ModalScript script({
        [&](QWidget* w) { LaterOnDialog(w, [](QDialog* d) { d->accept(); }); },
        [&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box == nullptr) return w->close(), void();
            question = box->text();
            buttons = ButtonTexts(box);
            ClickTextLater(box, QStringLiteral("いいえ(&N)"));
        },
        [&](QWidget* w) {
            // No keeps the chooser open.
            backInChooser = qobject_cast<QFileDialog*>(w) != nullptr;
            LaterOnDialog(w, [](QDialog* d) { d->reject(); });
        },
    });
    QVERIFY(!p.host.GetFileName(request));
    QVERIFY(script.Done());
    QVERIFY2(question.contains(QStringLiteral("exists.bin")) &&
                 question.contains(QStringLiteral("置き換えますか")),
             qPrintable(question));
    QStringList expected{QStringLiteral("はい(&Y)"), QStringLiteral("いいえ(&N)")};
    expected.sort();
    QCOMPARE(buttons, expected);
    QVERIFY(backInChooser);
}

void SystemDialogsTest::colourChooserIsJapanese() {
    Program p;
    const uint32_t initial = 0x00336699;
    uint32_t colour = initial;
    bool nonNative = false;
    QString title;
    QStringList labels;
    QColor preset;
    ModalScript script({[&](QWidget* w) {
        auto* chooser = qobject_cast<QColorDialog*>(w);
        if (chooser == nullptr) return w->close(), void();
        nonNative = chooser->testOption(QColorDialog::DontUseNativeDialog);
        title = chooser->windowTitle();
        labels = LabelTexts(chooser);
        preset = chooser->currentColor();
        LaterOnDialog(chooser, [](QDialog* d) { d->reject(); });
    }});
    QVERIFY(!p.host.ChooseColor(colour));
    QVERIFY(script.Done());
    QVERIFY(nonNative);
    QCOMPARE(title, QStringLiteral("色を選択"));
    QVERIFY2(labels.contains(QStringLiteral("基本カラー(&B)")), qPrintable(labels.join(u'|')));
    QCOMPARE(preset, ToQColor(initial));
    QCOMPARE(colour, initial);
}

void SystemDialogsTest::fontDialogOpensOnTheCurrentFontAndOkKeepsIt_data() {
    QTest::addColumn<ViewFont>("font");
    QTest::addColumn<QString>("family");  // empty: the stand-in for a missing face
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("size");
    QTest::newRow("CJK monospace, 15 px")
        << Font(kCjkMono, -15, 400, 0) << kCjkMono << QStringLiteral("標準") << "11";
    QTest::newRow("Latin monospace, bold italic 20 px")
        << Font(kLatinMono, -20, 700, 1) << kLatinMono << QStringLiteral("太字 斜体") << "15";
    QTest::newRow("cell height, light italic")
        << Font(kCjkMono, 16, 300, 1) << kCjkMono << QStringLiteral("斜体") << "12";
    QTest::newRow("face not installed") << Font(QStringLiteral("ＭＳ ゴシック"), -14, 400, 0)
                                        << QString() << QStringLiteral("標準") << "11";
}

void SystemDialogsTest::fontDialogOpensOnTheCurrentFontAndOkKeepsIt() {
    QFETCH(ViewFont, font);
    QFETCH(QString, family);
    QFETCH(QString, style);
    QFETCH(QString, size);
    if (!family.isEmpty() && !Installed(family)) QSKIP("font not installed");
    if (family.isEmpty()) family = JapaneseMonospaceFamily();
    Program p;
    QString shownFamily, shownStyle, shownSize, listedSize;
    ModalScript script({[&](QWidget* w) {
        if (qobject_cast<ViewFontDialog*>(w) == nullptr) return w->close(), void();
        shownFamily = Current(List(w, "familyList"));
        shownStyle = Current(List(w, "styleList"));
        shownSize = SizeEdit(w)->text();
        listedSize = Current(List(w, "sizeList"));
        ClickLater(w, "okButton");
    }});
    ViewFont chosen = font;
    QVERIFY(p.host.ChooseFont(chosen));
    QVERIFY(script.Done());
    QCOMPARE(shownFamily, family);
    QCOMPARE(shownStyle, style);
    QCOMPARE(shownSize, size);
    QCOMPARE(listedSize, size);
    QVERIFY(chosen == font);
}

void SystemDialogsTest::fontCommandWithoutAChangeKeepsTheViewFont() {
    auto home = std::make_shared<PrivateHome>();
    ViewFont before;
    {
        Program p(QByteArray(), home);
        p.Show();
        before = p.view().Font();
        ModalScript script({[&](QWidget* w) {
            if (qobject_cast<ViewFontDialog*>(w) == nullptr) return w->close(), void();
            ClickLater(w, "okButton");
        }});
        p.window->RunCommand(ID_VIEW_FONT);
        QVERIFY(script.Done());
        QVERIFY(p.view().Font() == before);
    }
    // What the view stored at its end is read back unchanged.
    Program again(QByteArray(), home);
    QVERIFY(again.view().Font() == before);
    QCOMPARE(again.store.GetProfileInt("Font", "Italic", -1), 0);
    QCOMPARE(again.store.GetProfileInt("Font", "Height", 0), before.height);
}

// As a person does: the font command, then at once Tab, Tab to the size,
// a size typed over the one shown, Enter.
void SystemDialogsTest::fontDialogTakesASizeTypedTheMomentItOpens() {
    Program p;
    p.Show();
    const ViewFont before = p.view().Font();
    QString focusedAtOpen, focusedAfterTabs;
    ModalScript script({[&](QWidget* w) {
        if (qobject_cast<ViewFontDialog*>(w) == nullptr) return w->close(), void();
        if (!QTest::qWaitFor([&] { return QApplication::activeWindow() == w; })) {
            return w->close(), void();
        }
        focusedAtOpen = QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        focusedAfterTabs = QApplication::focusWidget()->objectName();
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("12"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }});
    p.window->RunCommand(ID_VIEW_FONT);
    QVERIFY(script.Done());
    QCOMPARE(focusedAtOpen, QStringLiteral("familyList"));
    QCOMPARE(focusedAfterTabs, QStringLiteral("sizeEdit"));
    ViewFont expected = before;
    expected.height = -FontPointsToPixels(12, QWidget().logicalDpiY());
    QVERIFY(p.view().Font() == expected);
}

void SystemDialogsTest::fontDialogReturnsWhatWasChanged_data() {
    QTest::addColumn<QString>("family");  // empty: left as it is
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("size");  // typed
    QTest::addColumn<ViewFont>("expected");
    // From Noto Sans Mono CJK JP, 14 px (10.5 points, shown as 11), normal.
    QTest::newRow("family") << kLatinMono << QString() << QString()
                            << Font(kLatinMono, -14, 400, 0);
    QTest::newRow("bold") << QString() << QStringLiteral("太字") << QString()
                          << Font(kCjkMono, -14, 700, 0);
    QTest::newRow("italic") << QString() << QStringLiteral("斜体") << QString()
                            << Font(kCjkMono, -14, 400, 1);
    QTest::newRow("16 points") << QString() << QString() << "16" << Font(kCjkMono, -21, 400, 0);
    QTest::newRow("half points") << QString() << QString() << "7.5" << Font(kCjkMono, -10, 400, 0);
    QTest::newRow("the size shown, typed again")
        << QString() << QString() << "11" << Font(kCjkMono, -14, 400, 0);
    QTest::newRow("all three") << kLatinMono << QStringLiteral("太字 斜体") << "9"
                               << Font(kLatinMono, -12, 700, 1);
}

void SystemDialogsTest::fontDialogReturnsWhatWasChanged() {
    QFETCH(QString, family);
    QFETCH(QString, style);
    QFETCH(QString, size);
    QFETCH(ViewFont, expected);
    if (!Installed(kCjkMono) || (!family.isEmpty() && !Installed(family)))
        QSKIP("font not installed");
    Program p;
    ModalScript script({[&](QWidget* w) {
        if (qobject_cast<ViewFontDialog*>(w) == nullptr) return w->close(), void();
        if (!family.isEmpty()) SelectText(List(w, "familyList"), family);
        if (!style.isEmpty()) SelectText(List(w, "styleList"), style);
        if (!size.isEmpty()) {
            QLineEdit* edit = SizeEdit(w);
            edit->selectAll();
            QTest::keyClicks(edit, size);
        }
        ClickLater(w, "okButton");
    }});
    ViewFont font = Font(kCjkMono, -14, 400, 0);
    QVERIFY(p.host.ChooseFont(font));
    QVERIFY(script.Done());
    QCOMPARE(ToQString(font.faceName), ToQString(expected.faceName));
    QCOMPARE(font.height, expected.height);
    QCOMPARE(font.weight, expected.weight);
    QCOMPARE(font.italic, expected.italic);
}

void SystemDialogsTest::fontDialogRefusesSizesOutsideOneToSeventeen_data() {
    QTest::addColumn<QString>("size");
    QTest::newRow("18") << "18";
    QTest::newRow("0") << "0";
    QTest::newRow("0.5") << "0.5";
    QTest::newRow("-3") << "-3";
    QTest::newRow("not a number") << "abc";
    QTest::newRow("empty") << "";
}

void SystemDialogsTest::fontDialogRefusesSizesOutsideOneToSeventeen() {
    QFETCH(QString, size);
    Program p;
    QString title, message;
    QStringList buttons;
    bool stillOpen = false;
    ModalScript script({
        [&](QWidget* w) {
            if (qobject_cast<ViewFontDialog*>(w) == nullptr) return w->close(), void();
            SizeEdit(w)->setText(size);
            ClickLater(w, "okButton");
        },
        [&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box == nullptr) return w->close(), void();
            title = box->windowTitle();
            message = box->text();
            buttons = ButtonTexts(box);
            ClickTextLater(box, QStringLiteral("OK"));
        },
        [&](QWidget* w) {
            if (qobject_cast<ViewFontDialog*>(w) == nullptr) return w->close(), void();
            stillOpen = true;
            SizeEdit(w)->setText(QStringLiteral("17"));
            ClickLater(w, "okButton");
        },
    });
    ViewFont font = Font(kCjkMono, -12, 400, 0);
    QVERIFY(p.host.ChooseFont(font));
    QVERIFY(script.Done());
    QCOMPARE(title, QStringLiteral("ﾌｫﾝﾄの指定"));
    QCOMPARE(message, QStringLiteral("サイズは 1 から 17 ポイントの間で指定してください。"));
    QCOMPARE(buttons, QStringList{QStringLiteral("OK")});
    QVERIFY(stillOpen);
    QCOMPARE(font.height, -23);  // 17 points at 96 dots per inch
}

void SystemDialogsTest::fontDialogListsFontsWithOneLatinAdvance_data() {
    QTest::addColumn<QString>("family");
    QTest::addColumn<bool>("listed");
    QTest::newRow("CJK monospace, dual width") << kCjkMono << true;
    QTest::newRow("Korean CJK monospace") << QStringLiteral("Noto Sans Mono CJK KR") << true;
    QTest::newRow("fixed pitch Latin") << kLatinMono << true;
    QTest::newRow("proportional CJK") << QStringLiteral("Noto Sans CJK JP") << false;
    QTest::newRow("proportional Latin") << QStringLiteral("DejaVu Sans") << false;
}

void SystemDialogsTest::fontDialogListsFontsWithOneLatinAdvance() {
    QFETCH(QString, family);
    QFETCH(bool, listed);
    if (!Installed(family)) QSKIP("font not installed");
    // Opened on a face of its own, so that the current one is not what lists
    // the family.
    ViewFontDialog dialog(Font(QStringLiteral("Nimbus Mono PS"), -15, 400, 0));
    const QStringList items = Items(List(&dialog, "familyList"));
    QCOMPARE(items.contains(family), listed);
    QCOMPARE(DumpFontFamilies().contains(family), listed);
}

void SystemDialogsTest::fontDialogHasNoEffectsOrWritingSystem() {
    ViewFontDialog dialog(Font(kCjkMono, -15, 400, 0));
    QVERIFY(dialog.findChildren<QCheckBox*>().isEmpty());
    QVERIFY(dialog.findChildren<QComboBox*>().isEmpty());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("ﾌｫﾝﾄの指定"));
    QStringList texts = LabelTexts(&dialog);
    for (QAbstractButton* b : dialog.findChildren<QAbstractButton*>()) texts << b->text();
    for (const char16_t* word : {u"下線", u"取り消し線", u"文字飾り", u"文字セット", u"Underline",
                                 u"Strikeout", u"Effects", u"Writing"}) {
        QVERIFY2(texts.filter(QString::fromUtf16(word), Qt::CaseInsensitive).isEmpty(),
                 qPrintable(QString::fromUtf16(word)));
    }
    QCOMPARE(Items(List(&dialog, "styleList")),
             (QStringList{QStringLiteral("標準"), QStringLiteral("斜体"), QStringLiteral("太字"),
                          QStringLiteral("太字 斜体")}));
    for (const QString& size : Items(List(&dialog, "sizeList"))) {
        QVERIFY2(size.toInt() >= 1 && size.toInt() <= 17, qPrintable(size));
    }
}

// The C locale throughout: Qt's texts must be Japanese without a Japanese
// locale.
int main(int argc, char* argv[]) {
    ::setenv("LC_ALL", "C", 1);
    ::setenv("LANG", "C", 1);
    ::unsetenv("LANGUAGE");
    QApplication::setAttribute(Qt::AA_Use96Dpi);
    QApplication app(argc, argv);
    SystemDialogsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "system_dialogs_test.moc"
