#pragma once
// What the block-streaming file operations share: the wait cursor, a buffer
// that may fail to be obtained, messages with a path, the progress text, the
// range dialogs' start and end texts and the check of a short read.
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "document/document.h"
#include "host/ui_host.h"
#include "resources/resources.h"
#include "util/utf.h"
#include "dump/dump_format.h"

namespace octile {

// An end offset of sixteen F digits: up to the end of the file.
inline constexpr uint64_t kToEndOfFile = UINT64_MAX;

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

// Parses the start and end texts of a range dialog (end included). Text that
// is not hexadecimal or a start after the end gives message 10007; returns
// false after showing it.
inline bool ParseRangeTexts(UiHost& host, std::u16string_view startText,
                            std::u16string_view endText, uint64_t& first, uint64_t& last) {
    if (!ParseHexStrict(startText, first) || !ParseHexStrict(endText, last) || first > last) {
        ShowMessage(host, IDS_RANGE_HEX);
        return false;
    }
    return true;
}

// One past the range's last offset; kToEndOfFile ends it at the file's end.
inline uint64_t RangeEnd(uint64_t last, uint64_t fileLength) {
    return last == kToEndOfFile ? fileLength : last + 1;
}

// The block read at offset gave got bytes, fewer than asked. At the end of the
// file that is expected; anywhere else the read failed.
inline bool ReadFellShort(const COctileDoc& doc, uint64_t offset, uint64_t got) {
    return offset + got < doc.file().Length();
}

}  // namespace octile
