#pragma once
// A UiHost for core tests: records what the core asked for and answers
// dialogs and message boxes from a script.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/ui_host.h"
#include "memory_profile_store.h"  // the store double, beside the host double
#include "post_queue.h"
#include "view/view.h"

namespace octile::test {

class FakeHost : public UiHost {
  public:
    struct Message {
        std::u16string text;
        uint32_t type;
        int waitCursorDepth = 0;  // the wait cursors shown while it was asked
    };

    // Answers, taken in order; an empty queue answers IDOK / IDCANCEL.
    std::deque<int> messageAnswers;
    std::deque<std::function<int(DialogRef)>> dialogScript;
    std::deque<std::function<bool(FileDialogRequest&)>> fileDialogScript;

    std::vector<Message> messages;
    std::vector<FileDialogRequest> fileRequests;
    std::vector<std::string> opened;  // OpenWithShell
    std::vector<std::u16string> statusTexts;
    int beeps = 0;
    int repaints = 0;
    int closeRequests = 0;
    int titleUpdates = 0;
    int32_t scrollMin = 0, scrollMax = 0, scrollPos = 0;
    bool scrollVisible = true;
    bool captured = false;
    std::map<uint32_t, uint32_t> timers;
    Point cursor;
    int32_t wheelLines = 3;
    FontMetrics metrics{8, 16};
    std::u16string clipboard;
    int pictureShows = 0;
    int pictureCloses = 0;
    std::vector<ReportWindowData> reports;
    int pumps = 0;
    int waitCursorDepth = 0;  // Begin calls not yet ended
    // Runs inside PumpMessages: what the user does while a long operation
    // lets messages through (Escape, closing the window).
    std::function<void()> onPump;
    // Whether the host takes posted tasks (as the window does); they wait
    // in posted until the test runs them.
    bool postsToWindow = false;
    PostQueue posted;

    int MessageBox(const std::u16string& text, uint32_t type) override {
        messages.push_back({text, type, waitCursorDepth});
        if (!messageAnswers.empty()) {
            const int a = messageAnswers.front();
            messageAnswers.pop_front();
            return a;
        }
        return IDOK;
    }
    void Beep() override { ++beeps; }
    void SetMessageText(const std::u16string& text) override { statusTexts.push_back(text); }
    void PumpMessages() override {
        ++pumps;
        if (onPump) onPump();
    }
    bool CanPostToWindow() const override { return postsToWindow; }
    void PostToWindow(std::function<void()> task) override { posted.Post(std::move(task)); }
    void BeginWaitCursor() override { ++waitCursorDepth; }
    void EndWaitCursor() override { --waitCursorDepth; }
    int DoModal(DialogRef dialog) override {
        if (dialogScript.empty()) return IDCANCEL;
        auto f = std::move(dialogScript.front());
        dialogScript.pop_front();
        return f(dialog);
    }
    bool GetFileName(FileDialogRequest& request) override {
        bool ok = false;
        if (!fileDialogScript.empty()) {
            auto f = std::move(fileDialogScript.front());
            fileDialogScript.pop_front();
            ok = f(request);
        }
        fileRequests.push_back(request);
        return ok;
    }
    bool BrowseForFolder(std::string&) override { return false; }
    void SetClipboardText(const std::u16string& text) override { clipboard = text; }
    std::u16string GetClipboardText() override { return clipboard; }
    void OpenWithShell(const std::string& path) override { opened.push_back(path); }
    void CloseMainWindow() override { ++closeRequests; }
    void UpdateTitle() override { ++titleUpdates; }
    void RecalcFrameWidth() override {}
    void RepaintView() override { ++repaints; }
    void UpdateInversions() override {}
    void SetScrollRange(int32_t minimum, int32_t maximum) override {
        scrollMin = minimum;
        scrollMax = maximum;
    }
    void SetScrollPos(int32_t position) override { scrollPos = position; }
    void ShowScrollBar(bool show) override { scrollVisible = show; }
    void SetCapture() override { captured = true; }
    void ReleaseCapture() override { captured = false; }
    void SetTimer(uint32_t id, uint32_t ms) override { timers[id] = ms; }
    void KillTimer(uint32_t id) override { timers.erase(id); }
    Point GetCursorPos() override { return cursor; }
    int32_t GetWheelScrollLines() override { return wheelLines; }
    FontMetrics MeasureFont(const ViewFont&) override { return metrics; }
    void ShowReport(const ReportWindowData& report) override { reports.push_back(report); }
    void ShowPicture(const CDib&) override { ++pictureShows; }
    void ClosePicture() override { ++pictureCloses; }

    // Script helpers.
    template <class Dlg>
    void AnswerDialog(std::function<int(Dlg&)> f) {
        dialogScript.push_back([f](DialogRef ref) {
            Dlg** d = std::get_if<Dlg*>(&ref);
            return d ? f(**d) : IDCANCEL;
        });
    }
};

// Puts the view's caret on the high hex digit of the byte at offset. The
// offset need not be on the page: the cell is where the byte would be.
inline void PutCaretOnByte(COctileView& view, uint64_t offset) {
    COctileView::Cell cell;
    view.OffsetToCell(COctileView::CellMode::kHexAnywhere, offset, cell);
    view.SetCaretCell(cell);
}

}  // namespace octile::test
