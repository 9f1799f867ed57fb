#pragma once
// What the block-streaming file operations share: the wait cursor, a buffer
// that may fail to be obtained, messages with a path, and the progress text.
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "host/ui_host.h"
#include "resources/resources.h"
#include "util/utf.h"

namespace octile {

// Shows the wait cursor while it lives; End() removes it early (before a
// message box) and keeps Begin/End balanced.
class WaitCursor {
public:
    explicit WaitCursor(UiHost& host) : host_(host) { host_.BeginWaitCursor(); }
    ~WaitCursor() { End(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    void End() {
        if (shown_) host_.EndWaitCursor();
        shown_ = false;
    }

private:
    UiHost& host_;
    bool shown_ = true;
};

// A block buffer, or none when memory cannot be had.
inline std::unique_ptr<uint8_t[]> TryAllocate(uint64_t size) {
    try {
        return std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// Message id with "%1" replaced by path (UTF-8), in an OK message box.
inline void ShowPathMessage(UiHost& host, uint32_t id, const std::string& path) {
    host.MessageBox(ReplacePercent1(LoadString(id), Utf8ToUtf16(path)), MB_OK | MB_ICONEXCLAMATION);
}

inline void ShowMessage(UiHost& host, uint32_t id) {
    host.MessageBox(LoadString(id), MB_OK | MB_ICONEXCLAMATION);
}

// done * 100 / total without overflow for any 64-bit length.
inline uint64_t Percent(uint64_t done, uint64_t total) {
    if (total == 0) return 100;
    if (done <= UINT64_MAX / 100) return done * 100 / total;
    return done / (total / 100);
}

// Shows the progress text id ("...(%d%%)") and lets the window repaint.
inline void ShowProgress(UiHost& host, uint32_t id, uint64_t percent, bool pump = true) {
    host.SetMessageText(FormatPercentD(LoadString(id), static_cast<long long>(percent)));
    if (pump) host.PumpMessages();
}

}  // namespace octile
