#include "host/dialogs.h"

#include "host/ui_host.h"
#include "resources/resources.h"

namespace octile {

bool CSettingDlg::OnBrowseTemplate(UiHost& host) {
    FileDialogRequest request;
    request.title = u"開く";
    request.filter = LoadString(IDS_INI_FILTER);
    request.defaultExtension = LoadString(IDS_INI_EXT);
    request.initialPath = templatePath;
    if (!host.GetFileName(request)) return false;
    templatePath = request.chosenPath;
    return true;
}

bool CSettingDlg::OnBrowseFolder(UiHost& host) {
    std::string folder = plugInFolder;
    if (!host.BrowseForFolder(folder)) return false;
    plugInFolder = std::move(folder);
    return true;
}

bool CAboutDlg::OnResetButton(UiHost& host) {
    return host.MessageBox(LoadString(IDS_ABOUT_RESET_QUESTION), MB_YESNO | MB_ICONQUESTION) ==
           IDYES;
}

}  // namespace octile
