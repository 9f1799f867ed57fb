#pragma once
// The modal dialogs as plain data: each holds the values it exchanges with
// its controls. The window system shows them (DialogHost::DoModal); tests
// answer them from a script.
#include <cstdint>
#include <string>
#include <variant>

namespace octile {

// A file chooser request. The filter is "desc|pattern|...|" text.
struct FileDialogRequest {
    bool save = false;
    std::u16string title;  // always set: the chooser shows no title of its own
    std::u16string filter;
    std::u16string defaultExtension;
    std::string initialPath;
    bool overwritePrompt = false;
    std::string chosenPath;  // filled on OK
};

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
};

// "ｼﾞｬﾝﾌﾟ": the file address (edit 212), hexadecimal.
struct CJumpSecDlg {
    std::u16string address;
};

// "読み込みｻｲｽﾞ": the read size (edit 220), hexadecimal.
struct CSetSectorDlg {
    std::u16string size;
};

// "挿入" or "削除": byte count (edit 1006, "バイト数") and position (edit
// 1005, "位置"), both hexadecimal.
struct CEditInsertDlg {
    bool deleteMode = false;
    std::u16string count;
    std::u16string position;
};

// "範囲書き換え": value (edit 1003, at most 2 characters, "（16進）"), start
// (edit 201) and end (edit 202).
struct CEditRangeDlg {
    std::u16string value;
    std::u16string start;
    std::u16string end;
};

// A save-file chooser extended by "開始位置" (edit 201) and "終了位置" (edit 202).
struct CFileRangeDialog {
    FileDialogRequest file;
    std::u16string start;
    std::u16string end;
};

// "検索": search text (edit 213); in replace mode also the replacement
// (edit 214, "置換文字列") and replace-all (check box 1004, "全部(ESCで中断)").
struct CSearchSecDlg {
    std::u16string searchText;
    std::u16string replaceText;
    int replaceAll = 0;
    int replaceMode = 0;
};

using DialogRef = std::variant<CSettingDlg*, CAboutDlg*, CJumpSecDlg*, CSetSectorDlg*,
                               CEditInsertDlg*, CEditRangeDlg*, CFileRangeDialog*, CSearchSecDlg*>;

}  // namespace octile
