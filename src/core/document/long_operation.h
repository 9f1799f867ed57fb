#pragma once
// What the block-streaming file operations share: a buffer that may fail to
// be obtained, messages with a path, the range dialogs' start and end texts
// and the check of a short read. The busy mark with the wait cursor and the
// progress text are busy_scope.h's and progress.h's.
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "document/busy_scope.h"
#include "document/document.h"
#include "document/progress.h"
#include "dump/dump_format.h"
#include "host/feedback.h"
#include "resources/resources.h"
#include "util/utf.h"

namespace octile {

// An end offset of sixteen F digits: up to the end of the file.
inline constexpr uint64_t kToEndOfFile = UINT64_MAX;

// A block buffer, or none when memory cannot be had.
inline std::unique_ptr<uint8_t[]> TryAllocate(uint64_t size) {
    try {
        return std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// Message id with "%1" replaced by path (UTF-8), in an OK message box.
inline void ShowPathMessage(Feedback& feedback, uint32_t id, const std::string& path) {
    feedback.MessageBox(ReplacePercent1(LoadString(id), Utf8ToUtf16(path)),
                        MB_OK | MB_ICONEXCLAMATION);
}

inline void ShowMessage(Feedback& feedback, uint32_t id) {
    feedback.MessageBox(LoadString(id), MB_OK | MB_ICONEXCLAMATION);
}

// Parses the start and end texts of a range dialog (end included). Text that
// is not hexadecimal or a start after the end gives message 10007; returns
// false after showing it.
inline bool ParseRangeTexts(Feedback& feedback, std::u16string_view startText,
                            std::u16string_view endText, uint64_t& first, uint64_t& last) {
    if (!ParseHexStrict(startText, first) || !ParseHexStrict(endText, last) || first > last) {
        ShowMessage(feedback, IDS_RANGE_HEX);
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
