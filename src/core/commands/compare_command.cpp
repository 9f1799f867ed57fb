#include "commands/compare_command.h"

#include "compare/compare.h"
#include "settings/template_file.h"

namespace octile {

bool CompareCommand::OnCommand(uint32_t id) {
    if (id != ID_COMPARE) return false;
    OnCompare();
    return true;
}

bool CompareCommand::OnUpdateCommand(uint32_t id, CmdUI& ui) {
    if (id != ID_COMPARE) return false;
    ui.Enable(view_.IsFileOpen());
    return true;
}

void CompareCommand::OnCompare() {
    const FileFilter f = ReadFileFilter(doc_.TemplatePath());
    FileDialogRequest request;
    request.title = u"比較";
    request.filter = f.filter;
    request.defaultExtension = f.defaultExtension;
    request.initialPath = view_.CompPath().empty() ? doc_.GetPathName() : view_.CompPath();
    if (!dialogs_.GetFileName(request)) return;
    view_.SetCompPath(request.chosenPath);
    const std::string& old = view_.CompPath();
    ReportWindowData report;
    const int result = CompareFiles(old, doc_.GetPathName(), report.text);
    if (result != COMPARE_OK) {
        feedback_.MessageBox(
            CompareOpenFailure(result, result == COMPARE_NO_OLD ? old : doc_.GetPathName()),
            MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    report.textColour = view_.TextColour();
    report.backColour = view_.BackColour();
    report.font = view_.Font();
    report.width = 108 * view_.CharWidth();
    report.height = 65 * view_.LineHeight();
    shell_.ShowReport(report);
}

}  // namespace octile
