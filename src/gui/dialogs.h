#pragma once
// The modal dialogs as Qt windows. Each shows the values of its core
// struct, writes them back on OK and returns IDOK, IDCANCEL or its own end
// code.
#include <QDialog>

#include "host/dialogs.h"
#include "host/ui_host.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace octile {

// "環境設定": the template file and the plug-in folder.
class SettingDialog : public QDialog {
    Q_OBJECT
  public:
    SettingDialog(CSettingDlg& data, UiHost& host, QWidget* parent = nullptr);
    void accept() override;

  private:
    CSettingDlg Edits() const;
    void BrowseTemplate();
    void BrowseFolder();

    CSettingDlg& data_;
    UiHost& host_;
    QLineEdit* templateEdit_;
    QLineEdit* folderEdit_;
};

// "ﾊﾞｰｼﾞｮﾝ情報".
class AboutDialog : public QDialog {
    Q_OBJECT
  public:
    AboutDialog(CAboutDlg& data, UiHost& host, QWidget* parent = nullptr);
    int Run();

  private:
    void OnReset();

    CAboutDlg& data_;
    UiHost& host_;
    QLabel* label64bit_;
};

// "ｼﾞｬﾝﾌﾟ" and "読み込みｻｲｽﾞ": one label, one edit.
class SingleFieldDialog : public QDialog {
    Q_OBJECT
  public:
    SingleFieldDialog(const QString& title, const QString& label, const QString& value,
                      QWidget* parent = nullptr);
    QString Value() const;

  private:
    QLineEdit* edit_;
};

// Exec and map the result: Accepted → IDOK, Rejected → IDCANCEL, any other
// end code as it is.
int ExecDialog(QDialog& dialog);

int RunDialog(CSettingDlg& data, UiHost& host, QWidget* parent);
int RunDialog(CAboutDlg& data, UiHost& host, QWidget* parent);
int RunDialog(CJumpSecDlg& data, UiHost& host, QWidget* parent);
int RunDialog(CSetSectorDlg& data, UiHost& host, QWidget* parent);
int RunDialog(CEditInsertDlg& data, UiHost& host, QWidget* parent);
int RunDialog(CEditRangeDlg& data, UiHost& host, QWidget* parent);
int RunDialog(CFileRangeDialog& data, UiHost& host, QWidget* parent);
int RunDialog(CSearchSecDlg& data, UiHost& host, QWidget* parent);

}  // namespace octile
