#pragma once
// The modal dialogs as plain data: each holds the values it exchanges with
// its controls. The window system shows them (UiHost::DoModal); tests answer
// them from a script.
#include <cstdint>
#include <string>
#include <variant>

namespace octile {

class UiHost;

// "環境設定": template path (edit 1033) and plug-in folder (edit 1026).
struct CSettingDlg {
    std::string templatePath;
    std::string plugInFolder;
};

// "ﾊﾞｰｼﾞｮﾝ情報". Ends with IDOK, or with IDC_RESET when the settings
// reset was confirmed.
struct CAboutDlg {
    static constexpr int IDC_RESET = 1048;
    bool show64bit = false;  // the "64bit" label, made visible on initialisation
    void OnInitDialog() { show64bit = true; }
    // The "ﾚｼﾞｽﾄﾘ削除" button: asks first; true ends the dialog with IDC_RESET.
    bool OnResetButton(UiHost& host);
};

// "ｼﾞｬﾝﾌﾟ": the file address (edit 212), hexadecimal.
struct CJumpSecDlg {
    std::u16string address;
};

// "読み込みｻｲｽﾞ": the read size (edit 220), hexadecimal.
struct CSetSectorDlg {
    std::u16string size;
};

using DialogRef = std::variant<CSettingDlg*, CAboutDlg*, CJumpSecDlg*, CSetSectorDlg*>;

}  // namespace octile
