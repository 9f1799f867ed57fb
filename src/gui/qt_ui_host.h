#pragma once
// QtUiHost: the window-system services the core asks for, done with Qt.
#include <QFont>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <map>
#include <memory>
#include <string>

#include "host/ui_host.h"

class QFileDialog;
class QFontMetrics;
class QLabel;
class QWidget;

namespace octile {

class COctileApp;
class CTextWnd;
class CDibWnd;
class DumpWidget;
class MainWindow;

// The font the dump is drawn in: the stored face when it is installed,
// otherwise the system's Japanese monospace font.
QFont MakeViewFont(const ViewFont& font);
QString JapaneseMonospaceFamily();
// The height of a dump line in a font: its height plus any leading.
int ViewLineHeight(const QFontMetrics& metrics);

// A "desc|pattern|desc|pattern||" filter as Qt name filters: each pair
// SplitFileFilter finds keeps its description as shown, followed by its
// patterns, space separated, in parentheses.
QStringList ToQtNameFilters(const std::u16string& filter);

// Sets a file dialog up as a request asks: title, filters, default
// extension, open or save mode, the overwrite prompt and the initial path.
void ConfigureFileDialog(QFileDialog& dialog, const FileDialogRequest& request);

class QtUiHost : public UiHost {
  public:
    QtUiHost();
    ~QtUiHost() override;
    QtUiHost(const QtUiHost&) = delete;
    QtUiHost& operator=(const QtUiHost&) = delete;

    // The windows the services act on; each registers itself when made.
    void SetApp(COctileApp* app) { app_ = app; }
    void SetMainWindow(MainWindow* window);
    void SetMessagePane(QLabel* pane);
    void SetDumpWidget(DumpWidget* dump);

    // Feedback.
    int MessageBox(const std::u16string& text, uint32_t type) override;
    void Beep() override;
    void SetMessageText(const std::u16string& text) override;
    void PumpMessages() override;
    bool CanPostToWindow() const override { return true; }
    void PostToWindow(std::function<void()> task) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;

    // DialogHost.
    int DoModal(DialogRef dialog) override;
    bool GetFileName(FileDialogRequest& request) override;
    bool BrowseForFolder(std::string& folder) override;
    bool ChooseColor(uint32_t& colour) override;
    bool ChooseFont(ViewFont& font) override;

    // ClipboardHost.
    void SetClipboardText(const std::u16string& text) override;
    std::u16string GetClipboardText() override;

    // Shell.
    void OpenWithShell(const std::string& path) override;
    // Shows a text file (a help text) in a window of its own.
    void ShowTextFile(const QString& file);
    void CloseMainWindow() override;
    void UpdateTitle() override;
    void RecalcFrameWidth() override;
    void ShowReport(const ReportWindowData& report) override;
    void ShowPicture(const CDib& dib) override;
    void ClosePicture() override;
    void ShowInspector(bool on) override;

    // ViewSurface.
    void RepaintView() override;
    void UpdateInversions() override;
    void SetScrollRange(int32_t minimum, int32_t maximum) override;
    void SetScrollPos(int32_t position) override;
    void ShowScrollBar(bool show) override;
    void SetCapture() override;
    void ReleaseCapture() override;
    void SetTimer(uint32_t id, uint32_t milliseconds) override;
    void KillTimer(uint32_t id) override;
    Point GetCursorPos() override;
    int32_t GetWheelScrollLines() override;
    FontMetrics MeasureFont(const ViewFont& font) override;

    bool IsTimerActive(uint32_t id) const;
    // The compare report window; none before the first report.
    CTextWnd* ReportWindow() const { return reportWindow_.get(); }
    // The picture window; none before the first picture.
    CDibWnd* PictureWindow() const { return pictureWindow_.get(); }
    // The view's own top-level windows go with the main window.
    void DestroyViewWindows();
    // The owner of dialogs: the active modal dialog, else the main window.
    QWidget* DialogParent() const;

  private:
    void StopTimers();

    COctileApp* app_ = nullptr;
    QPointer<MainWindow> mainWindow_;
    QPointer<QLabel> messagePane_;
    QPointer<DumpWidget> dump_;
    std::map<uint32_t, std::unique_ptr<QTimer>> timers_;
    std::unique_ptr<CTextWnd> reportWindow_;
    std::unique_ptr<CDibWnd> pictureWindow_;
    int waitCursorDepth_ = 0;
};

}  // namespace octile
