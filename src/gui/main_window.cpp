#include "gui/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QShowEvent>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <algorithm>

#include "app/app.h"
#include "gui/app_icon.h"
#include "gui/dump_widget.h"
#include "gui/inspector_panel.h"
#include "gui/key_translate.h"
#include "gui/picture_window.h"
#include "gui/popup_window.h"
#include "gui/qt_text.h"
#include "gui/qt_ui_host.h"
#include "gui/status_bar.h"
#include "resources/resources.h"

namespace octile {

namespace {

constexpr int kIdleMilliseconds = 100;

uint32_t CommandOf(const QAction* action) { return action->data().toUInt(); }

bool HasLocalFiles(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls()) return false;
    const QList<QUrl> urls = mime->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); });
}

}  // namespace

MainWindow::MainWindow(COctileApp& app, QtUiHost& host, QWidget* parent)
    : QMainWindow(parent),
      app_(app),
      host_(host),
      frame_(app.store(), app.doc(), app.view()),
      frameWatch_(
          this, [this](QMargins) { ApplyPlacement(); }, [this] { placement_.reset(); }) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowIcon(ApplicationIcon());
    host_.SetApp(&app_);
    host_.SetMainWindow(this);

    placement_ = frame_.ReadPosition();
    BuildMenus();
    BuildToolbar();
    BuildStatusBar();
    // The view reports every mark colour it sets, its stored ones first (the
    // dump's creation reads them), so the mark panes need no idle refresh.
    app_.view().onMarkColour = [this](int index, uint32_t colour) {
        statusBar_->SetMarkPaneColour(index, colour);
    };
    // Making the dump runs the view's window creation.
    dump_ = new DumpWidget(app_.view(), host_, this);
    setCentralWidget(dump_);
    dump_->setFocus();
    // The data inspector, shown as the settings last left it.
    inspector_ = new InspectorPanel(app_.view(), this);
    addDockWidget(Qt::RightDockWidgetArea, inspector_);
    inspector_->setVisible(app_.view().IsInspectorDisplay());
    app_.SetFrameTarget(this);

    setAcceptDrops(true);
    // Accelerators act wherever the focus is in this window.
    qApp->installEventFilter(this);

    idleTimer_.setInterval(kIdleMilliseconds);
    connect(&idleTimer_, &QTimer::timeout, this, &MainWindow::OnIdle);
    idleTimer_.start();
    RecalcFrameWidth();
    OnIdle();
    if (placement_) {
        // Made now, so that a platform that knows the frame at once reports it.
        create();
        ApplyPlacement();
    }
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    Destroy();
    app_.view().onMarkColour = nullptr;
    app_.SetFrameTarget(nullptr);
    host_.SetMainWindow(nullptr);
    host_.SetMessagePane(nullptr);
}

void MainWindow::BuildMenus() {
    menuBar()->setObjectName(QStringLiteral("menuBar"));
    for (const MenuItem& top : MainMenu()) {
        QMenu* menu = menuBar()->addMenu(ToQString(top.caption));
        AddMenuItems(menu, menu, top.children);
        // Leaving the menus brings back the idle text.
        connect(menu, &QMenu::aboutToHide, this, &MainWindow::ShowIdle);
    }
}

void MainWindow::AddMenuItems(QMenu* menu, QMenu* top, const std::vector<MenuItem>& items) {
    for (const MenuItem& item : items) {
        switch (item.kind) {
            case MenuItem::Separator:
                menu->addSeparator();
                break;
            case MenuItem::Popup: {
                QMenu* sub = menu->addMenu(ToQString(item.caption));
                AddMenuItems(sub, top, item.children);
                connect(sub->menuAction(), &QAction::hovered, this,
                        [this] { host_.SetMessageText(std::u16string()); });
                break;
            }
            case MenuItem::Item: {
                const uint32_t id = item.id;
                QAction* action = menu->addAction(ToQString(item.caption));
                action->setObjectName(QStringLiteral("menuAction%1").arg(id));
                action->setData(id);
                menuActions_[id] = action;
                menuOf_[id] = top;
                if (id == ID_FILE_MRU_FIRST) recentPlaceholder_ = action;
                connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
                connect(action, &QAction::hovered, this, [this, id] { ShowPrompt(id); });
                break;
            }
        }
    }
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { RefreshMenu(menu); });
}

void MainWindow::BuildToolbar() {
    toolBar_ = addToolBar(ToQString(LoadToolTip(ID_VIEW_TOOLBAR)));
    toolBar_->setObjectName(QStringLiteral("toolBar"));
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->setMovable(false);
    for (uint32_t id : ToolbarButtons()) {
        if (id == 0) {
            toolBar_->addSeparator();
            continue;
        }
        const QString tip = ToQString(LoadToolTip(id));
        QAction* action = toolBar_->addAction(ToolbarIcon(id), tip);
        action->setObjectName(QStringLiteral("toolAction%1").arg(id));
        action->setToolTip(tip);
        action->setData(id);
        toolbarActions_[id] = action;
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        connect(action, &QAction::hovered, this, [this, id] { ShowPrompt(id); });
    }
}

void MainWindow::BuildStatusBar() {
    statusBar_ = new CStatusBarEx2(this);
    setStatusBar(statusBar_);
    host_.SetMessagePane(messagePane());
    statusBar_->onPaneClicked = [this](int pane) { OnPaneClicked(pane); };
    ShowIdle();
}

void MainWindow::OnPaneClicked(int pane) {
    const uint32_t id = CMainFrame::ClickCommand(pane);
    if (id == 0) return;
    // Posted, as a click notification would post it: the command runs once
    // the click has been handled.
    QTimer::singleShot(0, this, [this, id] { RunCommand(id); });
}

QLabel* MainWindow::messagePane() const { return statusBar_->Pane(0); }

QAction* MainWindow::MenuAction(uint32_t id) const {
    for (QAction* action : recentActions_) {
        if (CommandOf(action) == id) return action;
    }
    auto it = menuActions_.find(id);
    return it == menuActions_.end() ? nullptr : it->second;
}

QAction* MainWindow::ToolbarAction(uint32_t id) const {
    auto it = toolbarActions_.find(id);
    return it == toolbarActions_.end() ? nullptr : it->second;
}

QMenu* MainWindow::MenuOf(uint32_t id) const {
    auto it = menuOf_.find(id);
    return it == menuOf_.end() ? nullptr : it->second;
}

void MainWindow::RunCommand(uint32_t id) {
    if (destroyed_) return;
    app_.RunCommand(id);
}

void MainWindow::RefreshMenu(QMenu* menu) {
    if (menu->actions().contains(recentPlaceholder_)) RefreshRecentFiles(menu);
    QActionGroup* radioGroup = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() || action->menu() != nullptr || !action->isVisible()) continue;
        const CmdUI ui = app_.RouteUpdate(CommandOf(action));
        action->setEnabled(ui.enabled);
        // A radio mark is drawn for the items of an exclusive group.
        if (ui.radio) {
            if (radioGroup == nullptr) {
                radioGroup = menu->findChild<QActionGroup*>(QString(), Qt::FindDirectChildrenOnly);
                if (radioGroup == nullptr) {
                    radioGroup = new QActionGroup(menu);
                    radioGroup->setExclusionPolicy(
                        QActionGroup::ExclusionPolicy::ExclusiveOptional);
                }
            }
            action->setActionGroup(radioGroup);
        } else if (action->actionGroup() != nullptr) {
            action->setActionGroup(nullptr);
        }
        action->setCheckable(ui.checked);
        action->setChecked(ui.checked);
    }
}

void MainWindow::RefreshRecentFiles(QMenu* menu) {
    for (QAction* action : recentActions_) delete action;
    recentActions_.clear();
    const std::vector<std::u16string> texts = app_.RecentFileMenuTexts();
    recentPlaceholder_->setVisible(texts.empty());
    for (size_t i = 0; i < texts.size(); ++i) {
        const uint32_t id = ID_FILE_MRU_FIRST + static_cast<uint32_t>(i);
        auto* action = new QAction(ToQString(texts[i]), menu);
        action->setObjectName(QStringLiteral("recentFileAction%1").arg(i + 1));
        action->setData(id);
        menu->insertAction(recentPlaceholder_, action);
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        connect(action, &QAction::hovered, this, [this] { ShowPrompt(ID_FILE_MRU_FIRST); });
        recentActions_.push_back(action);
    }
}

void MainWindow::OnIdle() {
    RefreshToolbar();
    RefreshStatusBar();
    if (!destroyed_ && !inspector_->isHidden()) inspector_->Refresh();
}

void MainWindow::ShowInspector(bool on) {
    if (destroyed_) return;
    inspector_->setVisible(on);
    RecalcFrameWidth();
    if (on) inspector_->Refresh();
}

void MainWindow::RefreshToolbar() {
    if (destroyed_) return;
    for (auto& [id, action] : toolbarActions_) action->setEnabled(app_.RouteUpdate(id).enabled);
}

void MainWindow::RefreshStatusBar() {
    if (destroyed_) return;
    for (int pane = 6; pane < CStatusBarEx2::kPaneCount; ++pane) {
        statusBar_->SetPaneText(pane, ToQString(frame_.PaneText(pane)));
    }
    // The idle text follows the selection and the file; a prompt or an
    // operation's message shown instead stays until it is replaced.
    if (messagePane()->text() == idleText_) ShowIdle();
    const FrameWidths w = MeasureFrameWidths();
    statusBar_->SetMessagePaneWidth(frame_.MessagePaneWidth(w.frame, w.client, w.scrollBar));
}

// The window's width against the width its client area gives the dump's
// text and scroll bar, as the frame and client widths of a frame window.
MainWindow::FrameWidths MainWindow::MeasureFrameWidths() const {
    int chrome = contentsMargins().left() + contentsMargins().right();
    if (layout() != nullptr) {
        chrome += layout()->contentsMargins().left() + layout()->contentsMargins().right();
    }
    if (dump_ != nullptr) chrome += 2 * dump_->frameWidth();
    // A shown inspector docked beside the dump takes its width and the
    // separator's from the window, not from the dump.
    if (inspector_ != nullptr && !inspector_->isHidden() && !inspector_->isFloating()) {
        chrome += inspector_->width() +
                  style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, this);
    }
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, dump_);
    return {width(), width() - chrome, scrollBar};
}

int MainWindow::IdealFrameWidth() const {
    const FrameWidths w = MeasureFrameWidths();
    return frame_.IdealFrameWidth(w.frame, w.client, w.scrollBar);
}

// The saved rectangle is the outer one, frame included, while the window's
// own geometry leaves the frame out. Under a window manager the frame is
// known only once the window has been framed, after it is shown: the
// placement is then applied again (FrameWatch), so that the outer height
// and the outer top-left corner come back as saved. The width follows the
// dump line, not the saved width. The whole frame is kept on the screen.
void MainWindow::ApplyPlacement() {
    if (!placement_) return;
    const QMargins m = FrameMargins(this);
    const CMainFrame::Placement& p = *placement_;
    const QRect outer =
        FitOntoScreen(QRect(p.x, p.y, width() + m.left() + m.right(), std::max(1, p.h)));
    setGeometry(outer.x() + m.left(), outer.y() + m.top(), width(),
                std::max(1, outer.height() - m.top() - m.bottom()));
}

void MainWindow::RecalcFrameWidth() { setFixedWidth(IdealFrameWidth()); }

bool MainWindow::OnCommand(uint32_t id) {
    switch (id) {
        case ID_VIEW_TOOLBAR:
            toolBar_->setVisible(toolBar_->isHidden());
            return true;
        case ID_VIEW_STATUS_BAR:
            statusBar()->setVisible(statusBar()->isHidden());
            return true;
        default:
            return false;
    }
}

bool MainWindow::OnUpdateCommand(uint32_t id, CmdUI& ui) {
    switch (id) {
        case ID_VIEW_TOOLBAR:
            ui.Enable(true);
            ui.SetCheck(!toolBar_->isHidden());
            return true;
        case ID_VIEW_STATUS_BAR:
            ui.Enable(true);
            ui.SetCheck(!statusBar()->isHidden());
            return true;
        default:
            return false;
    }
}

void MainWindow::ShowPrompt(uint32_t id) { host_.SetMessageText(LoadPrompt(id)); }

void MainWindow::ShowIdle() {
    idleText_ = ToQString(frame_.IdleText());
    messagePane()->setText(idleText_);
}

bool MainWindow::event(QEvent* event) {
    // The message pane shows the prompts; Qt's status tips would hide the panes.
    if (event->type() == QEvent::StatusTip) return true;
    return QMainWindow::event(event);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // A picture found while the first file opened was shown before this
    // window; keep it in front.
    if (!event->spontaneous() && host_.PictureWindow() && host_.PictureWindow()->isVisible()) {
        QTimer::singleShot(0, host_.PictureWindow(), [this] { host_.PictureWindow()->raise(); });
    }
    if (!placement_ || event->spontaneous() || frameWatch_.Active()) return;
    if (FrameMargins(this).isNull()) {
        frameWatch_.Start(QMargins());
    } else {
        ApplyPlacement();  // the frame was known before the window was shown
        placement_.reset();
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && !destroyed_) {
        auto* widget = qobject_cast<QWidget*>(watched);
        // The menu bar in keyboard mode keeps its keys, as a menu loop would.
        // Keys typed into the inspector's table are its own.
        if (widget != nullptr && widget->window() == this &&
            qobject_cast<QMenuBar*>(widget) == nullptr &&
            !inspector_->OwnsKey(widget, *static_cast<QKeyEvent*>(event))) {
            const uint32_t id = AcceleratorCommand(*static_cast<QKeyEvent*>(event));
            if (id != 0) {
                RunCommand(id);
                return true;
            }
        }
    } else if (event->type() == QEvent::Leave && watched->parent() == toolBar_) {
        ShowIdle();  // the pointer left a toolbar button
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::Destroy() {
    if (destroyed_) return;
    destroyed_ = true;
    idleTimer_.stop();
    const QRect outer = frameGeometry();
    frame_.WritePosition({outer.x(), outer.y(), outer.width(), outer.height()});
    host_.DestroyViewWindows();
    app_.OnMainWindowDestroy();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A refused close is tried again until the running operation has returned.
    if (!app_.QueryClose()) {
        event->ignore();
        QTimer::singleShot(kCloseRetryMs, this, [this] { close(); });
        return;
    }
    Destroy();
    QMainWindow::closeEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (HasLocalFiles(event->mimeData())) event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (HasLocalFiles(event->mimeData())) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    if (destroyed_ || !HasLocalFiles(event->mimeData())) return;
    event->acceptProposedAction();
    // One document: each file replaces the one before, the last stays open.
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) app_.OpenDocumentFile(QStringToPath(url.toLocalFile()));
    }
}

}  // namespace octile
