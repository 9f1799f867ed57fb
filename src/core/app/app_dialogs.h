#pragma once
// The buttons of the application's own dialogs that ask the user something
// more: the settings dialog's two browse buttons and the about box's reset.
#include "host/dialogs.h"
#include "host/ui_host.h"

namespace octile {

// "参照(&R)...": the ini file chooser, starting at the template path; true
// when a file was chosen and replaced it.
bool BrowseTemplate(CSettingDlg& dlg, UiHost& host);
// "参照...": the folder browser; true when a folder replaced the plug-in folder.
bool BrowseFolder(CSettingDlg& dlg, UiHost& host);
// The about box's "ﾚｼﾞｽﾄﾘ削除" button: asks first; true ends the dialog with
// CAboutDlg::IDC_RESET.
bool ConfirmSettingsReset(UiHost& host);

}  // namespace octile
