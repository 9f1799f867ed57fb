#pragma once
// MainWindow: the main frame. Menu bar, toolbar and status bar are built
// from the core's resource tables; every command goes through the
// application's command route.
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "app/main_frame.h"
#include "command/command_ids.h"
#include "gui/popup_window.h"

class QAction;
class QLabel;
class QMenu;
class QToolBar;

namespace octile {

class COctileApp;
class CStatusBarEx2;
class DumpWidget;
class InspectorPanel;
class QtUiHost;
struct MenuItem;

class MainWindow : public QMainWindow, public CommandTarget {
    Q_OBJECT
  public:
    MainWindow(COctileApp& app, QtUiHost& host, QWidget* parent = nullptr);
    ~MainWindow() override;

    DumpWidget* dump() const { return dump_; }
    InspectorPanel* inspector() const { return inspector_; }
    // Shows or hides the data inspector; the window widens by its width.
    void ShowInspector(bool on);
    QToolBar* toolBar() const { return toolBar_; }
    QLabel* messagePane() const;
    CStatusBarEx2* statusBarEx() const { return statusBar_; }
    // The menu action of a command (the first recent file for 57616).
    QAction* MenuAction(uint32_t id) const;
    QAction* ToolbarAction(uint32_t id) const;
    // The top-level menu holding a command.
    QMenu* MenuOf(uint32_t id) const;

    // Runs a command from a menu, accelerator or toolbar: disabled commands
    // are not run.
    void RunCommand(uint32_t id);
    // Brings a menu's items up to date, as before it opens.
    void RefreshMenu(QMenu* menu);
    // Brings the toolbar's buttons up to date, as at idle time.
    void RefreshToolbar();
    // Brings the status panes' texts and widths up to date (mark colours come
    // from the view's hook).
    void RefreshStatusBar();
    // Keeps the width to the width a dump line needs.
    void RecalcFrameWidth();
    int IdealFrameWidth() const;

    // The frame's commands: the toolbar and status bar toggles.
    bool OnCommand(uint32_t id) override;
    bool OnUpdateCommand(uint32_t id, CmdUI& ui) override;

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void BuildMenus();
    // Fills a menu; top is the menu-bar menu it hangs from, recorded for MenuOf.
    void AddMenuItems(QMenu* menu, QMenu* top, const std::vector<MenuItem>& items);
    void BuildToolbar();
    void BuildStatusBar();
    void RefreshRecentFiles(QMenu* menu);
    void ShowPrompt(uint32_t id);
    void ShowIdle();
    void OnIdle();
    void OnPaneClicked(int pane);
    void ApplyPlacement();
    // The widths CMainFrame sizes the frame from: the window's, its client
    // area's and the scroll bar's.
    struct FrameWidths {
        int frame = 0, client = 0, scrollBar = 0;
    };
    FrameWidths MeasureFrameWidths() const;
    void Destroy();
    // How often a close asked for during a long operation is tried again.
    static constexpr int kCloseRetryMs = 50;

    COctileApp& app_;
    QtUiHost& host_;
    CMainFrame frame_;
    DumpWidget* dump_ = nullptr;
    InspectorPanel* inspector_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    CStatusBarEx2* statusBar_ = nullptr;
    std::map<uint32_t, QAction*> menuActions_;
    std::map<uint32_t, QAction*> toolbarActions_;
    std::map<uint32_t, QMenu*> menuOf_;
    QAction* recentPlaceholder_ = nullptr;
    std::vector<QAction*> recentActions_;
    QTimer idleTimer_;
    // The message pane's idle text as last shown.
    QString idleText_;
    // The saved placement until the window manager has framed the window.
    std::optional<CMainFrame::Placement> placement_;
    FrameWatch frameWatch_;
    bool destroyed_ = false;
};

}  // namespace octile
