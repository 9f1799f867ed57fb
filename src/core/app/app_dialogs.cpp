#include "app/app_dialogs.h"

#include "resources/resources.h"

namespace octile {

bool BrowseTemplate(CSettingDlg& dlg, UiHost& host) {
    FileDialogRequest request;
    request.title = u"開く";
    request.filter = LoadString(IDS_INI_FILTER);
    request.defaultExtension = LoadString(IDS_INI_EXT);
    request.initialPath = dlg.templatePath;
    if (!host.GetFileName(request)) return false;
    dlg.templatePath = request.chosenPath;
    return true;
}

bool BrowseFolder(CSettingDlg& dlg, UiHost& host) {
    std::string folder = dlg.plugInFolder;
    if (!host.BrowseForFolder(folder)) return false;
    dlg.plugInFolder = std::move(folder);
    return true;
}

bool ConfirmSettingsReset(UiHost& host) {
    return host.MessageBox(LoadString(IDS_ABOUT_RESET_QUESTION), MB_YESNO | MB_ICONQUESTION) ==
           IDYES;
}

}  // namespace octile
