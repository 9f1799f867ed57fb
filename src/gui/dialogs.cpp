#include "gui/dialogs.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/app_icon.h"
#include "gui/qt_text.h"
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

    connect(browseTemplate, &QPushButton::clicked, this, &SettingDialog::BrowseTemplate);
    connect(browseFolder, &QPushButton::clicked, this, &SettingDialog::BrowseFolder);
}

void SettingDialog::BrowseTemplate() {
    FileDialogRequest request;
    request.filter = LoadString(IDS_INI_FILTER);
    request.defaultExtension = LoadString(IDS_INI_EXT);
    request.initialPath = QStringToPath(templateEdit_->text());
    if (host_.GetFileName(request)) templateEdit_->setText(PathToQString(request.chosenPath));
}

void SettingDialog::BrowseFolder() {
    std::string folder = QStringToPath(folderEdit_->text());
    if (host_.BrowseForFolder(folder)) folderEdit_->setText(PathToQString(folder));
}

void SettingDialog::accept() {
    data_.templatePath = QStringToPath(templateEdit_->text());
    data_.plugInFolder = QStringToPath(folderEdit_->text());
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

    connect(reset, &QPushButton::clicked, this, &AboutDialog::OnReset);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

int AboutDialog::Run() {
    data_.OnInitDialog();
    label64bit_->setVisible(data_.show64bit);
    return ExecDialog(*this);
}

void AboutDialog::OnReset() {
    if (data_.OnResetButton(host_)) done(CAboutDlg::IDC_RESET);
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
    edit_->selectAll();
    auto* row = new QHBoxLayout;
    row->addWidget(caption);
    row->addWidget(edit_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(OkCancelRow(this));
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

}  // namespace octile
