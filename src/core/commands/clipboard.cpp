#include "commands/clipboard.h"

#include <algorithm>
#include <climits>

#include "document/long_operation.h"
#include "resources/resources.h"

namespace octile {

namespace {

// The widest dump line: address, bar, 48 hexadecimal cells, bar and blanks, a
// carry blank, 16 character cells and the line end.
uint64_t LineUnits(const DumpSettings& s) {
    return static_cast<uint64_t>(AddressWidth(s)) + 1 + 48 + 4 + 1 + 16 + 2;
}

bool EndsDigitPair(char16_t high) {
    return high == u'|' || high == u' ' || high == u'\r' || high == u'\n';
}

}  // namespace

uint64_t CopyTextUnitsBound(const DumpSettings& settings, uint64_t count) {
    const uint64_t lines = count / 16 + 1;  // at least (count + 15) / 16, never overflowing
    return (lines + 2) * LineUnits(settings);
}

uint8_t PasteNibble(char16_t c) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    unsigned v = c;
    if (v >= 0x61) v -= 7;
    return static_cast<uint8_t>(v & 0xF);
}

std::vector<uint8_t> ParsePasteText(std::u16string_view text) {
    std::vector<uint8_t> bytes;
    const auto pair = [](char16_t high, char16_t low) {
        return static_cast<uint8_t>(PasteNibble(high) * 16 + PasteNibble(low));
    };
    size_t t = 0;
    while (t < text.size() && t < 16 && text[t] == u'-') ++t;

    if (t == 0) {
        // Plain text: the third character of every group is a separator.
        for (size_t k = 0; 3 * k < text.size(); ++k) {
            const char16_t high = text[3 * k];
            const char16_t low = 3 * k + 1 < text.size() ? text[3 * k + 1] : u'\0';
            if (EndsDigitPair(high)) break;
            bytes.push_back(pair(high, low));
        }
        return bytes;
    }

    // A dump listing: each line after a line feed, at most as long as the
    // ruler's text, and ending at the next line end.
    const size_t lineLength = LoadString(IDS_RULER).size();
    for (size_t lf = text.find(u'\n'); lf != std::u16string_view::npos;
         lf = text.find(u'\n', lf + 1)) {
        std::u16string_view line = text.substr(lf + 1, lineLength);
        line = line.substr(0, std::min(line.find(u'\r'), line.find(u'\n')));
        if (line.empty()) break;
        if (line.size() >= t &&
            line.substr(0, t).find_first_not_of(u'-') == std::u16string_view::npos) {
            continue;  // the closing rule
        }
        for (size_t j = 0; j < 16; ++j) {
            const size_t high = t + 1 + 3 * j;
            // A hand-edited or cut-off line ends where its text ends.
            if (high + 1 >= line.size() || EndsDigitPair(line[high])) break;
            bytes.push_back(pair(line[high], line[high + 1]));
        }
    }
    return bytes;
}

void CopySelection(Feedback& feedback, ClipboardHost& clipboard, COctileDoc& doc,
                   COctileView& view) {
    if (!doc.HasFile()) return;
    uint64_t lo = 0, hi = 0;
    view.GetSelectionRange(lo, hi);
    const uint64_t span = hi - lo;  // count - 1
    if (span >= kMaxCopyTextBytes ||
        2 * CopyTextUnitsBound(view.dumpSettings(), span + 1) > kMaxCopyTextBytes) {
        ShowPathMessage(feedback, IDS_SAVE_NO_MEMORY, doc.GetPathName());
        return;
    }
    const uint64_t count = span + 1;
    BusyScope busy(doc.busy(), BusyState::kFileOperation, feedback);
    std::vector<uint8_t> buffer(count + COctileDoc::kLookAhead + 1);
    const uint32_t got = doc.ReadBytes(buffer.data(), count, lo);
    if (got == 0) return;
    clipboard.SetClipboardText(FormatDump(view.dumpSettings(), lo, buffer.data(), got, nullptr));
}

void PasteClipboard(Feedback& feedback, ClipboardHost& clipboard, COctileDoc& doc,
                    COctileView& view) {
    const std::vector<uint8_t> bytes = ParsePasteText(clipboard.GetClipboardText());
    if (!doc.HasFile() || doc.IsReadOnly()) return;
    EditStep step(doc);  // a paste across pages is one step of the history
    const COctileView::Cell caret = view.CaretCell();
    const uint64_t pos = view.CellToOffset(caret.column, caret.row).offset;
    const uint64_t w0 = view.WindowOffset();
    const uint64_t r = view.ReadSize();
    const uint64_t length = doc.LiveLength();
    const uint64_t count = bytes.size();

    // Bytes that would land at or past the end of the file are dropped. The
    // rest is written window by window along the grid of the read window.
    const uint64_t end = pos < length ? std::min(length, pos + count) : pos;
    for (uint64_t at = pos; at < end;) {
        uint64_t next = end;
        if (r > 0 && at >= w0) next = std::min(end, w0 + ((at - w0) / r + 1) * r);
        next = std::min<uint64_t>(next, at + UINT32_MAX);
        const uint32_t n = static_cast<uint32_t>(next - at);
        if (doc.WriteBytes(bytes.data() + (at - pos), n, at) != n) {
            if (!doc.WriteRefusedByJournal()) {
                ShowPathMessage(feedback, IDS_WRITE_ERROR, doc.GetPathName());
            }
            break;
        }
        at = next;
    }

    // The read window moved on each time it filled up, but never past the
    // last window that starts inside the file.
    uint64_t window = w0;
    if (r > 0 && count > 0 && pos >= w0 && length > w0) {
        const uint64_t filled = (pos + count - w0) / r;
        const uint64_t last = (length - 1 - w0) / r;
        window = w0 + std::min(filled, last) * r;
    }
    if (window != w0) {
        view.SetWindowOffset(window, true);
    } else {
        view.ReloadWindow();
    }
}

}  // namespace octile
