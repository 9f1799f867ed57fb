#include "gui/dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <initializer_list>
#include <vector>

#include "app/app_dialogs.h"
#include "gui/app_icon.h"
#include "gui/qt_text.h"
#include "gui/qt_ui_host.h"
#include "host/ui_host.h"
#include "resources/resources.h"

namespace octile {

namespace {

// "OK" and "ｷｬﾝｾﾙ" at the bottom right, OK the default button.
QHBoxLayout* OkCancelRow(QDialog* dialog) {
    auto* ok = new QPushButton(QStringLiteral("OK"), dialog);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), dialog);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

// Tab visits the controls in the order given; missing ones are left out.
void ChainTabOrder(std::vector<QWidget*> chain) {
    std::erase(chain, nullptr);
    for (size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

// The keyboard order of a dialog: Tab visits the given controls in turn and
// then OK and Cancel. The dialog opens in the first control, an edit's text
// selected, so that what the user types replaces it and Enter accepts it.
// (OK is made before the fields; without this it would take the focus.)
void KeyboardOrder(QDialog* dialog, std::initializer_list<QWidget*> controls) {
    std::vector<QWidget*> chain(controls);
    chain.push_back(dialog->findChild<QPushButton*>(QStringLiteral("okButton")));
    chain.push_back(dialog->findChild<QPushButton*>(QStringLiteral("cancelButton")));
    ChainTabOrder(chain);
    QWidget* first = chain.front();
    first->setFocus(Qt::TabFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(first)) edit->selectAll();
}

// A labelled edit on its own row of a grid.
QLineEdit* AddField(QGridLayout* grid, int row, const QString& label, const std::u16string& value,
                    const QString& name) {
    QWidget* owner = grid->parentWidget();
    auto* caption = new QLabel(label, owner);
    caption->setObjectName(name + QStringLiteral("Label"));
    auto* edit = new QLineEdit(ToQString(value), owner);
    edit->setObjectName(name + QStringLiteral("Edit"));
    edit->setMinimumWidth(160);
    caption->setBuddy(edit);
    grid->addWidget(caption, row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

// A dialog whose fields sit in a grid above the OK and Cancel buttons.
QGridLayout* FieldGrid(QDialog* dialog) {
    auto* layout = new QVBoxLayout(dialog);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    layout->addLayout(OkCancelRow(dialog));
    return grid;
}

}  // namespace

SettingDialog::SettingDialog(CSettingDlg& data, UiHost& host, QWidget* parent)
    : QDialog(parent), data_(data), host_(host) {
    setObjectName(QStringLiteral("settingDialog"));
    setWindowTitle(QStringLiteral("環境設定"));

    auto* templateLabel = new QLabel(QStringLiteral("ﾃﾝﾌﾟﾚｰﾄ"), this);
    templateEdit_ = new QLineEdit(PathToQString(data.templatePath), this);
    templateEdit_->setObjectName(QStringLiteral("templatePathEdit"));
    templateEdit_->setMinimumWidth(320);
    auto* browseTemplate = new QPushButton(QStringLiteral("参照(&R)..."), this);
    browseTemplate->setObjectName(QStringLiteral("browseTemplateButton"));
    browseTemplate->setAutoDefault(false);

    auto* folderLabel = new QLabel(QStringLiteral("ﾌﾟﾗｸﾞｲﾝ"), this);
    folderEdit_ = new QLineEdit(PathToQString(data.plugInFolder), this);
    folderEdit_->setObjectName(QStringLiteral("plugInFolderEdit"));
    auto* browseFolder = new QPushButton(QStringLiteral("参照..."), this);
    browseFolder->setObjectName(QStringLiteral("browseFolderButton"));
    browseFolder->setAutoDefault(false);

    auto* grid = new QGridLayout;
    grid->addWidget(templateLabel, 0, 0);
    grid->addWidget(templateEdit_, 0, 1);
    grid->addWidget(browseTemplate, 0, 2);
    grid->addWidget(folderLabel, 1, 0);
    grid->addWidget(folderEdit_, 1, 1);
    grid->addWidget(browseFolder, 1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(OkCancelRow(this));

    KeyboardOrder(this, {templateEdit_, browseTemplate, folderEdit_, browseFolder});

    connect(browseTemplate, &QPushButton::clicked, this, &SettingDialog::BrowseTemplate);
    connect(browseFolder, &QPushButton::clicked, this, &SettingDialog::BrowseFolder);
}

// The edits' texts; the dialog's data takes them only on OK.
CSettingDlg SettingDialog::Edits() const {
    return {QStringToPath(templateEdit_->text()), QStringToPath(folderEdit_->text())};
}

void SettingDialog::BrowseTemplate() {
    CSettingDlg edits = Edits();
    if (octile::BrowseTemplate(edits, host_))
        templateEdit_->setText(PathToQString(edits.templatePath));
}

void SettingDialog::BrowseFolder() {
    CSettingDlg edits = Edits();
    if (octile::BrowseFolder(edits, host_)) folderEdit_->setText(PathToQString(edits.plugInFolder));
}

void SettingDialog::accept() {
    data_ = Edits();
    QDialog::accept();
}

AboutDialog::AboutDialog(CAboutDlg& data, UiHost& host, QWidget* parent)
    : QDialog(parent), data_(data), host_(host) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("iconLabel"));
    icon->setPixmap(ApplicationIcon().pixmap(32, 32));
    auto* version = new QLabel(QStringLiteral("Octile ﾊﾞｲﾅﾘｴﾃﾞｨﾀ Ver 1.33"), this);
    version->setObjectName(QStringLiteral("versionLabel"));
    label64bit_ = new QLabel(QStringLiteral("64bit"), this);
    label64bit_->setObjectName(QStringLiteral("label64bit"));
    label64bit_->hide();

    auto* reset = new QPushButton(QStringLiteral("ﾚｼﾞｽﾄﾘ削除"), this);
    reset->setObjectName(QStringLiteral("resetButton"));
    reset->setAutoDefault(false);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);

    auto* texts = new QVBoxLayout;
    texts->addWidget(version);
    texts->addWidget(label64bit_);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(reset);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);

    // No field to type in: the box opens on OK, so that Enter or Space only
    // closes it; Tab reaches the reset button.
    setTabOrder(reset, ok);
    ok->setFocus(Qt::TabFocusReason);

    connect(reset, &QPushButton::clicked, this, &AboutDialog::OnReset);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

int AboutDialog::Run() {
    data_.OnInitDialog();
    label64bit_->setVisible(data_.show64bit);
    return ExecDialog(*this);
}

void AboutDialog::OnReset() {
    if (ConfirmSettingsReset(host_)) done(CAboutDlg::IDC_RESET);
}

SingleFieldDialog::SingleFieldDialog(const QString& title, const QString& label,
                                     const QString& value, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(title);
    auto* caption = new QLabel(label, this);
    caption->setObjectName(QStringLiteral("fieldLabel"));
    edit_ = new QLineEdit(value, this);
    edit_->setObjectName(QStringLiteral("fieldEdit"));
    edit_->setMinimumWidth(160);
    auto* row = new QHBoxLayout;
    row->addWidget(caption);
    row->addWidget(edit_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(OkCancelRow(this));
    KeyboardOrder(this, {edit_});
}

QString SingleFieldDialog::Value() const { return edit_->text(); }

int ExecDialog(QDialog& dialog) {
    const int result = dialog.exec();
    if (result == QDialog::Accepted) return IDOK;
    if (result == QDialog::Rejected) return IDCANCEL;
    return result;
}

int RunDialog(CSettingDlg& data, UiHost& host, QWidget* parent) {
    SettingDialog dialog(data, host, parent);
    return ExecDialog(dialog);
}

int RunDialog(CAboutDlg& data, UiHost& host, QWidget* parent) {
    AboutDialog dialog(data, host, parent);
    return dialog.Run();
}

int RunDialog(CJumpSecDlg& data, UiHost&, QWidget* parent) {
    SingleFieldDialog dialog(QStringLiteral("ｼﾞｬﾝﾌﾟ"), QStringLiteral("ﾌｧｲﾙｱﾄﾞﾚｽ"),
                             ToQString(data.address), parent);
    dialog.setObjectName(QStringLiteral("jumpDialog"));
    const int result = ExecDialog(dialog);
    if (result == IDOK) data.address = ToU16(dialog.Value());
    return result;
}

int RunDialog(CSetSectorDlg& data, UiHost&, QWidget* parent) {
    SingleFieldDialog dialog(QStringLiteral("読み込みｻｲｽﾞ"), QStringLiteral("読み込みｻｲｽﾞ"),
                             ToQString(data.size), parent);
    dialog.setObjectName(QStringLiteral("readSizeDialog"));
    const int result = ExecDialog(dialog);
    if (result == IDOK) data.size = ToU16(dialog.Value());
    return result;
}

int RunDialog(CEditInsertDlg& data, UiHost&, QWidget* parent) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("editInsertDialog"));
    dialog.setWindowTitle(data.deleteMode ? QStringLiteral("削除") : QStringLiteral("挿入"));
    QGridLayout* grid = FieldGrid(&dialog);
    QLineEdit* count = AddField(grid, 0, QStringLiteral("バイト数"), data.count, "count");
    QLineEdit* position = AddField(grid, 1, QStringLiteral("位置"), data.position, "position");
    KeyboardOrder(&dialog, {count, position});
    const int result = ExecDialog(dialog);
    if (result == IDOK) {
        data.count = ToU16(count->text());
        data.position = ToU16(position->text());
    }
    return result;
}

int RunDialog(CEditRangeDlg& data, UiHost&, QWidget* parent) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("editRangeDialog"));
    dialog.setWindowTitle(QStringLiteral("範囲書き換え"));
    QGridLayout* grid = FieldGrid(&dialog);
    QLineEdit* value = AddField(grid, 0, QStringLiteral("書き込む値"), data.value, "value");
    value->setMaxLength(2);
    auto* hex = new QLabel(QStringLiteral("（16進）"), &dialog);
    hex->setObjectName(QStringLiteral("hexLabel"));
    grid->addWidget(hex, 0, 2);
    QLineEdit* start = AddField(grid, 1, QStringLiteral("開始位置"), data.start, "start");
    QLineEdit* end = AddField(grid, 2, QStringLiteral("終了位置"), data.end, "end");
    KeyboardOrder(&dialog, {value, start, end});
    const int result = ExecDialog(dialog);
    if (result == IDOK) {
        data.value = ToU16(value->text());
        data.start = ToU16(start->text());
        data.end = ToU16(end->text());
    }
    return result;
}

int RunDialog(CFileRangeDialog& data, UiHost&, QWidget* parent) {
    // Qt's own dialog, so that the range fields can join its layout.
    QFileDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("fileRangeDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    ConfigureFileDialog(dialog, data.file);

    auto* range = new QWidget(&dialog);
    range->setObjectName(QStringLiteral("rangeFields"));
    auto* row = new QHBoxLayout(range);
    row->setContentsMargins(0, 0, 0, 0);
    auto addField = [&](const QString& label, const std::u16string& value, const QString& name) {
        auto* caption = new QLabel(label, range);
        caption->setObjectName(name + QStringLiteral("Label"));
        auto* edit = new QLineEdit(ToQString(value), range);
        edit->setObjectName(name + QStringLiteral("Edit"));
        caption->setBuddy(edit);
        row->addWidget(caption);
        row->addWidget(edit, 1);
        return edit;
    };
    QLineEdit* start = addField(QStringLiteral("開始位置"), data.start, "start");
    QLineEdit* end = addField(QStringLiteral("終了位置"), data.end, "end");
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        grid->addWidget(range, grid->rowCount(), 0, 1, grid->columnCount());
    } else if (dialog.layout() != nullptr) {
        dialog.layout()->addWidget(range);
    }
    // The chooser opens in its file name by itself. From there Tab goes to
    // the file type, then to the range, and only then to the chooser's
    // buttons (which it would otherwise visit before the range).
    std::vector<QWidget*> order{dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")),
                                dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo")),
                                start, end};
    if (auto* box = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))) {
        for (auto role : {QDialogButtonBox::AcceptRole, QDialogButtonBox::RejectRole}) {
            for (QAbstractButton* button : box->buttons()) {
                if (box->buttonRole(button) == role) order.push_back(button);
            }
        }
    }
    ChainTabOrder(order);

    const int result = ExecDialog(dialog);
    if (result != IDOK) return result;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return IDCANCEL;
    data.file.chosenPath = QStringToPath(files.first());
    data.start = ToU16(start->text());
    data.end = ToU16(end->text());
    return result;
}

int RunDialog(CSearchSecDlg& data, UiHost&, QWidget* parent) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("searchDialog"));
    dialog.setWindowTitle(QStringLiteral("検索"));
    QGridLayout* grid = FieldGrid(&dialog);
    QLineEdit* search = AddField(grid, 0, QStringLiteral("検索文字列"), data.searchText, "search");
    QLineEdit* replace =
        AddField(grid, 1, QStringLiteral("置換文字列"), data.replaceText, "replace");
    auto* all = new QCheckBox(QStringLiteral("全部(ESCで中断)"), &dialog);
    all->setObjectName(QStringLiteral("replaceAllCheck"));
    all->setChecked(data.replaceAll != 0);
    grid->addWidget(all, 2, 1);
    // The replace controls exist in both modes; searching hides and disables them.
    const bool replaceMode = data.replaceMode != 0;
    auto* replaceLabel = dialog.findChild<QLabel*>(QStringLiteral("replaceLabel"));
    for (QWidget* w : {static_cast<QWidget*>(replaceLabel), static_cast<QWidget*>(replace),
                       static_cast<QWidget*>(all)}) {
        w->setEnabled(replaceMode);
        w->setVisible(replaceMode);
    }
    KeyboardOrder(&dialog, {search, replace, all});
    const int result = ExecDialog(dialog);
    if (result == IDOK) {
        data.searchText = ToU16(search->text());
        data.replaceText = ToU16(replace->text());
        data.replaceAll = all->isChecked() ? 1 : 0;
    }
    return result;
}

}  // namespace octile
