#include "app/app.h"

#include <clocale>

#include "commands/bitmap_save.h"
#include "document/journal.h"
#include "resources/resources.h"
#include "settings/paths.h"
#include "settings/template_file.h"
#include "util/utf.h"

namespace octile {

COctileApp::COctileApp(UiHost& host, ProfileStore& store, std::string programFolder)
    : host_(host),
      store_(store),
      programFolder_(std::move(programFolder)),
      pictures_(host.CanPostToWindow() ? PictureLoader::Post([&host](std::function<void()> task) {
                    host.PostToWindow(std::move(task));
                })
                                       : PictureLoader::Post(),
                [this](PictureLoader::Result& result) {
                    if (view_->IsPictureDisplay() && doc_->HasFile()) ShowLoadedPicture(result);
                }) {
    doc_ = std::make_unique<COctileDoc>(host_);
    // Edits are journalled under the per-user data folder, so they can be
    // undone (also after a restart) and an interrupted shift completed.
    doc_->SetJournalOptions(ReadJournalOptions(&store_));
    doc_->templatePath = [this] { return TemplateInUse(); };
    doc_->chooseFile = [this](FileDialogRequest& request) { return host_.GetFileName(request); };
    doc_->openDocumentFile = [this](const std::string& p) { return OpenDocumentFile(p); };
    view_ = std::make_unique<COctileView>(host_, *doc_, store_);
    edit_ = std::make_unique<EditCommands>(host_, host_, *doc_, *view_);
    search_ = std::make_unique<SearchCommands>(host_, host_, host_, *doc_, *view_);
    compare_ = std::make_unique<CompareCommand>(host_, host_, host_, *doc_, *view_);
    search_->onHit = [this](uint64_t) { DetectPicture(); };
    view_->isBusy = [this] { return Busy(); };
    view_->onDetectPicture = [this] { DetectPicture(); };
}

COctileApp::~COctileApp() = default;

void COctileApp::LoadSettings() {
    std::setlocale(LC_ALL, "");
    // Steps 1-3: the conversion marker is written once, on the first run.
    const int32_t marker = store_.GetProfileInt("Convert", "IsConvertIniFile", 0);
    if (marker == 0) {
        store_.WriteProfileInt("Convert", "IsConvertIniFile", 1);
        store_.Flush();
    }
    // Step 4.
    templatePath_ = store_.GetProfileString("Setting", "Template", programFolder_ + "octile.ini");
    plugInFolder_ = store_.GetProfileString("Setting", "PlugInPath", programFolder_);
    // Steps 5-6.
    noRecent_ = ReadTemplateFlags(TemplateInUse()).noRecent;
    if (!noRecent_) LoadRecentFiles();
}

std::string COctileApp::TemplateInUse() const {
    return IsExistingFile(templatePath_) ? templatePath_ : programFolder_ + "octile.ini";
}

std::string COctileApp::PlugInFolderInUse() const {
    const std::string folder = PictureFolder(plugInFolder_, programFolder_);
    return IsExistingFolder(folder) ? folder : programFolder_;
}

void COctileApp::LoadRecentFiles() {
    recent_.clear();
    for (int i = 1; i <= kRecentFiles; ++i) {
        const std::string p =
            store_.GetProfileString("Recent File List", "File" + std::to_string(i), "");
        if (!p.empty()) recent_.push_back(p);
    }
}

void COctileApp::SaveRecentFiles() {
    for (int i = 1; i <= kRecentFiles; ++i) {
        const size_t k = static_cast<size_t>(i - 1);
        store_.WriteProfileString("Recent File List", "File" + std::to_string(i),
                                  k < recent_.size() ? recent_[k] : std::string());
    }
}

void COctileApp::AddToRecent(const std::string& path) {
    if (noRecent_) return;
    std::erase(recent_, path);
    recent_.insert(recent_.begin(), path);
    if (recent_.size() > static_cast<size_t>(kRecentFiles)) recent_.resize(kRecentFiles);
}

bool COctileApp::ProcessShellCommand(const std::vector<std::string>& args) {
    // The first argument that is not a switch names the file.
    std::string file;
    for (const std::string& a : args) {
        if (!a.empty() && a[0] != '-') {
            file = a;
            break;
        }
    }
    if (file.empty()) {
        view_->OnInitialUpdate();
        host_.UpdateTitle();
        return true;
    }
    return OpenDocumentFile(file);
}

bool COctileApp::Busy() const { return doc_->busy().Busy(); }

void COctileApp::DetectPicture() {
    if (!view_->IsPictureDisplay() || !doc_->HasFile()) return;
    const auto match = DetectSignature(view_->ReadWindow(), view_->ValidCount(),
                                       view_->WindowOffset(), view_->Anchor());
    // The picture shown follows the newest detection: one still decoding
    // for an earlier anchor is dropped.
    if (!match) {
        pictures_.Cancel();
        return;
    }
    PictureLoader::Job job{doc_->GetPathName(), match->start, PlugInFolderInUse(),
                           view_->Display().MaxPicturePixels()};
    if (auto result = pictures_.Load(std::move(job), kPictureWait)) ShowLoadedPicture(*result);
}

void COctileApp::ShowLoadedPicture(PictureLoader::Result& result) {
    // A picture that could not be decoded leaves the one held before.
    if (result.taken != 0) picture_ = std::move(result.dib);
    host_.ShowPicture(picture_);
}

bool COctileApp::OpenDocumentFile(const std::string& path) {
    // A file dropped while an operation runs would pull the file from under it.
    if (Busy()) return false;
    if (!doc_->OnOpenDocument(path)) return false;
    AddToRecent(doc_->GetPathName());
    view_->OnInitialUpdate();
    host_.UpdateTitle();
    return true;
}

void COctileApp::OnMainWindowDestroy() {
    pictures_.Cancel();
    search_->OnViewDestroyed();
    view_->OnDestroy();
    doc_->OnCloseDocument();
}

int COctileApp::ExitInstance() {
    if (exited_) return 0;
    exited_ = true;
    store_.WriteProfileString("Setting", "Template", templatePath_);
    store_.WriteProfileString("Setting", "PlugInPath", plugInFolder_);
    if (!resetOnExit_) {
        if (!noRecent_) SaveRecentFiles();
        store_.Flush();
        return 0;
    }
    store_.DeleteProfileTree();
    return 0;
}

bool COctileApp::RouteCommand(uint32_t id) {
    // While a search dispatches messages, nothing may change the file under it.
    if (search_->IsSearching() && EditCommands::LockedWhileBusy(id)) return true;
    if (edit_->OnCommand(id)) return true;
    if (search_->OnCommand(id)) return true;
    if (compare_->OnCommand(id)) return true;
    if (view_->OnCommand(id)) return true;
    if (doc_->OnCommand(id)) return true;
    if (frame_ && frame_->OnCommand(id)) return true;
    return OnCommand(id);
}

bool COctileApp::RunCommand(uint32_t id) {
    // A command that became disabled since its item was drawn is not run.
    if (!RouteUpdate(id).enabled) return false;
    RouteCommand(id);
    return true;
}

bool COctileApp::QueryClose() {
    if (!Busy()) return true;
    // Only a search can be cancelled; the other operations end by themselves.
    RouteCommand(ID_SEARCH_ABORT);
    return false;
}

CmdUI COctileApp::RouteUpdate(uint32_t id) {
    CmdUI ui;
    if (search_->IsSearching() && EditCommands::LockedWhileBusy(id)) {
        ui.Enable(false);
        return ui;
    }
    if (edit_->OnUpdateCommand(id, ui)) return ui;
    if (search_->OnUpdateCommand(id, ui)) return ui;
    if (compare_->OnUpdateCommand(id, ui)) return ui;
    if (view_->OnUpdateCommand(id, ui)) return ui;
    if (doc_->OnUpdateCommand(id, ui)) return ui;
    if (frame_ && frame_->OnUpdateCommand(id, ui)) return ui;
    OnUpdateCommand(id, ui);
    return ui;
}

std::vector<std::u16string> COctileApp::RecentFileMenuTexts() const {
    // recent_ holds at most kRecentFiles paths and stays empty under NoRecent.
    std::vector<std::u16string> texts;
    texts.reserve(recent_.size());
    for (size_t i = 0; i < recent_.size(); ++i) {
        std::u16string text = u"&" + Utf8ToUtf16(std::to_string(i + 1)) + u" ";
        for (char16_t c : Utf8ToUtf16(recent_[i])) {
            if (c == u'&') text += u'&';
            text += c;
        }
        texts.push_back(std::move(text));
    }
    return texts;
}

bool COctileApp::OnCommand(uint32_t id) {
    if (id >= ID_FILE_MRU_FIRST && id < ID_FILE_MRU_FIRST + kRecentFiles) {
        const size_t k = id - ID_FILE_MRU_FIRST;
        if (k < recent_.size()) {
            const std::string p = recent_[k];
            if (!OpenDocumentFile(p)) {
                // A recent file that no longer opens leaves the list.
                std::erase(recent_, p);
            }
        }
        return true;
    }
    switch (id) {
        case ID_HELP_README:
            OpenHelp("readme.txt");
            return true;
        case ID_HELP_HISTORY:
            OpenHelp("history.txt");
            return true;
        case ID_HELP_SETTING:
            OpenHelp("setting.txt");
            return true;
        case ID_SETTINGS:
            OnSettings();
            return true;
        case ID_APP_ABOUT:
            OnAbout();
            return true;
        case ID_APP_EXIT:
            host_.CloseMainWindow();
            return true;
        case ID_VIEW_PICTURE:
            view_->SetPictureDisplay(!view_->IsPictureDisplay());
            if (view_->IsPictureDisplay()) {
                DetectPicture();
            } else {
                pictures_.Cancel();
                host_.ClosePicture();
            }
            return true;
        case ID_VIEW_INSPECTOR:
            view_->SetInspectorDisplay(!view_->IsInspectorDisplay());
            host_.ShowInspector(view_->IsInspectorDisplay());
            return true;
        case ID_FILE_SAVE_BITMAP:
            OnFileSaveBitmap(host_, host_, picture_, *doc_);
            return true;
        default:
            return false;
    }
}

bool COctileApp::OnUpdateCommand(uint32_t id, CmdUI& ui) {
    if (id >= ID_FILE_MRU_FIRST && id <= ID_FILE_MRU_LAST) {
        const size_t k = id - ID_FILE_MRU_FIRST;
        ui.Enable(!noRecent_ && k < recent_.size());
        return true;
    }
    switch (id) {
        case ID_HELP_README:
        case ID_HELP_HISTORY:
        case ID_HELP_SETTING:
        case ID_SETTINGS:
        case ID_APP_ABOUT:
        case ID_APP_EXIT:
            ui.Enable(true);
            return true;
        case ID_VIEW_PICTURE:
            ui.Enable(true);
            ui.SetCheck(view_->IsPictureDisplay());
            return true;
        case ID_VIEW_INSPECTOR:
            ui.Enable(true);
            ui.SetCheck(view_->IsInspectorDisplay());
            return true;
        case ID_FILE_SAVE_BITMAP:
            ui.Enable(doc_->HasFile() && view_->IsPictureDisplay() &&
                      !picture_.GetPictureRect().IsEmpty());
            return true;
        default:
            return false;
    }
}

void COctileApp::OpenHelp(const char* name) {
    // A missing file is passed on all the same; the desktop shows nothing.
    host_.OpenWithShell(programFolder_ + name);
}

void COctileApp::OnSettings() {
    CSettingDlg dlg{templatePath_, plugInFolder_};
    if (host_.DoModal(&dlg) == IDOK) {
        templatePath_ = dlg.templatePath;
        plugInFolder_ = dlg.plugInFolder;
    }
}

void COctileApp::OnAbout() {
    CAboutDlg dlg;
    if (host_.DoModal(&dlg) == CAboutDlg::IDC_RESET) {
        resetOnExit_ = true;
        host_.CloseMainWindow();
    }
}

std::u16string COctileApp::WindowTitle() const {
    return doc_->GetTitle() + u" - " + LoadPrompt(IDR_MAINFRAME);
}

}  // namespace octile
