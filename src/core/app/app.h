#pragma once
// COctileApp: start-up, exit, the application's commands and the command
// route (view, document, frame, application).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "command/command_ids.h"
#include "commands/compare_command.h"
#include "commands/edit_commands.h"
#include "commands/search_commands.h"
#include "document/document.h"
#include "host/ui_host.h"
#include "picture/dib.h"
#include "picture/picture_host.h"
#include "picture/picture_loader.h"
#include "settings/profile_store.h"
#include "view/view.h"

namespace octile {

class COctileApp : public CommandTarget {
  public:
    static constexpr int kRecentFiles = 4;

    COctileApp(UiHost& host, ProfileStore& store, std::string programFolder);
    ~COctileApp() override;

    // Start-up steps before the windows exist: locale, settings, template
    // switches and the recent-file list.
    void LoadSettings();
    // After the frame and view windows were created: open the first file
    // argument (or prepare the empty view). False ends the program.
    bool ProcessShellCommand(const std::vector<std::string>& args);
    // The application's open path: document, recent list, title, view.
    bool OpenDocumentFile(const std::string& path);
    // Called when the main window is being destroyed.
    void OnMainWindowDestroy();
    int ExitInstance();

    // The command route.
    bool RouteCommand(uint32_t id);
    CmdUI RouteUpdate(uint32_t id);
    // A command from a menu, toolbar button, key or status pane: run only
    // while its update handler enables it. True when it ran.
    bool RunCommand(uint32_t id);
    // Asked before the main window closes. A long operation dispatches
    // messages from inside its own loop, so the window must stay until it
    // returns: false while busy, after asking a running search to stop.
    bool QueryClose();
    // A frame target (main window) joins the route between document and app.
    void SetFrameTarget(CommandTarget* frame) { frame_ = frame; }

    bool OnCommand(uint32_t id) override;
    bool OnUpdateCommand(uint32_t id, CmdUI& ui) override;

    void OnSettings();
    void OnAbout();
    void OpenHelp(const char* name);

    // The window title: document title + " - Octile ﾊﾞｲﾅﾘｴﾃﾞｨﾀ".
    std::u16string WindowTitle() const;

    const std::string& programFolder() const { return programFolder_; }
    const std::string& templatePath() const { return templatePath_; }
    void setTemplatePath(std::string p) { templatePath_ = std::move(p); }
    const std::string& GetPlugInFolder() const { return plugInFolder_; }
    // The template file and plug-in folder read in this run: the stored ones
    // while they exist, else the program folder's (the program was moved or
    // installed elsewhere). The stored values stay as the user set them.
    std::string TemplateInUse() const;
    std::string PlugInFolderInUse() const;
    void setPlugInFolder(std::string p) { plugInFolder_ = std::move(p); }
    bool resetOnExit() const { return resetOnExit_; }
    bool noRecent() const { return noRecent_; }
    const std::vector<std::string>& recentFiles() const { return recent_; }
    // The recent-file menu items, newest first: "&1 path" with every "&" of
    // the path doubled so that it shows rather than marks a mnemonic.
    std::vector<std::u16string> RecentFileMenuTexts() const;

    COctileDoc& doc() { return *doc_; }
    COctileView& view() { return *view_; }
    EditCommands& editCommands() { return *edit_; }
    SearchCommands& searchCommands() { return *search_; }
    // The picture the picture window shows.
    const CDib& picture() const { return picture_; }
    // Picture detection at the anchor, when picture display is on. A
    // picture that takes longer than kPictureWait to decode is shown when it
    // is ready, unless detection runs again (or the display is turned off)
    // before that.
    void DetectPicture();
    static constexpr std::chrono::milliseconds kPictureWait{100};
    // Whether a picture found by detection is still being decoded.
    bool PictureLoading() const { return pictures_.Loading(); }
    // True while a long operation dispatches messages (the document's busy
    // state): commands that change or replace the open file must wait.
    bool Busy() const;
    UiHost& host() { return host_; }
    ProfileStore& store() { return store_; }

  private:
    void AddToRecent(const std::string& path);
    void ShowLoadedPicture(PictureLoader::Result& result);
    void LoadRecentFiles();
    void SaveRecentFiles();

    UiHost& host_;
    ProfileStore& store_;
    std::string programFolder_;
    std::string templatePath_;
    std::string plugInFolder_;
    bool resetOnExit_ = false;
    bool noRecent_ = false;
    std::vector<std::string> recent_;
    std::unique_ptr<COctileDoc> doc_;
    std::unique_ptr<COctileView> view_;
    std::unique_ptr<EditCommands> edit_;
    std::unique_ptr<SearchCommands> search_;
    std::unique_ptr<CompareCommand> compare_;
    CDib picture_;
    // After picture_: its thread ends before the picture goes.
    PictureLoader pictures_;
    CommandTarget* frame_ = nullptr;
    bool exited_ = false;
};

}  // namespace octile
