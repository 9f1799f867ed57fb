#pragma once
// What a long operation reports to and reads from while it runs: its
// progress text in the message line, with waiting messages dispatched after
// it, and whether it has been asked to stop.
#include <cstdint>

#include "host/feedback.h"
#include "resources/resources.h"
#include "util/utf.h"

namespace octile {

// A request to stop a running operation. Commands run while the operation
// dispatches messages set it; the operation reads it through its Progress.
struct StopRequest {
    bool stop = false;        // the user asked (Escape, the abort command)
    bool windowGone = false;  // the window is being destroyed: stop and show nothing more
};

class Progress {
  public:
    // textId: the progress text ("...(%d%%)"). Without a stop request the
    // operation cannot be stopped.
    Progress(Feedback& feedback, uint32_t textId, const StopRequest* stop = nullptr)
        : feedback_(feedback), textId_(textId), stop_(stop) {}

    // Shows the percentage and lets the window repaint and take input.
    void Report(uint64_t percent) {
        if (WindowGone()) return;
        Show(percent);
        feedback_.PumpMessages();
    }
    // Shows 100%, without dispatching messages: the operation has ended.
    void Finish() {
        if (!WindowGone()) Show(100);
    }

    bool Cancelled() const { return stop_ && (stop_->stop || stop_->windowGone); }
    bool WindowGone() const { return stop_ && stop_->windowGone; }

  private:
    void Show(uint64_t percent) {
        feedback_.SetMessageText(
            FormatPercentD(LoadString(textId_), static_cast<long long>(percent)));
    }

    Feedback& feedback_;
    uint32_t textId_;
    const StopRequest* stop_;
};

// done * 100 / total without overflow for any 64-bit length.
inline uint64_t Percent(uint64_t done, uint64_t total) {
    if (total == 0) return 100;
    if (done <= UINT64_MAX / 100) return done * 100 / total;
    return done / (total / 100);
}

}  // namespace octile
