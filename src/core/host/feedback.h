#pragma once
// Feedback: how the core tells the user something without a window of its
// own: message boxes, the beep, the message line, the wait cursor, and
// letting waiting messages through while a long operation runs.
#include <cstdint>
#include <functional>
#include <string>

namespace octile {

enum MessageBoxType : uint32_t {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_ICONHAND = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONASTERISK = 0x40,
};

enum DialogResult : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

class Feedback {
  public:
    virtual ~Feedback() = default;

    // The answer: IDOK, IDCANCEL, IDYES or IDNO.
    virtual int MessageBox(const std::u16string& text, uint32_t type) = 0;
    virtual void Beep() = 0;
    // The status bar's message pane.
    virtual void SetMessageText(const std::u16string& text) = 0;
    // Dispatches the messages waiting (input, repaints) and returns.
    virtual void PumpMessages() = 0;
    // Work done on another thread reports back to the window through a
    // posted task: PostToWindow runs task on the window thread once it
    // handles its messages again, and may be called from any thread. Hosts
    // without a window thread cannot post; their callers do the work
    // themselves.
    virtual bool CanPostToWindow() const { return false; }
    virtual void PostToWindow(std::function<void()> task) { (void)task; }
    // Calls nest; each Begin is ended by one End.
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
};

}  // namespace octile
