#include "document/byte_shift.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "document/long_operation.h"
#include "dump/dump_format.h"

namespace octile {

namespace {

constexpr uint64_t kLookAhead = COctileDoc::kLookAhead;

// One run of an edit: the busy mark with the wait cursor, the progress text
// and the failure message.
class ShiftRun {
  public:
    ShiftRun(COctileDoc& doc, Feedback& feedback)
        : doc_(doc),
          feedback_(feedback),
          busy_(doc.busy(), BusyState::kFileOperation, feedback),
          progress_(feedback, IDS_REWRITING) {}

    // Removes the wait cursor and shows a message with the document's path.
    bool Fail(uint32_t id) {
        busy_.EndWaitCursor();
        ShowPathMessage(feedback_, id, doc_.GetPathName());
        return false;
    }
    void Report(uint64_t done, uint64_t total) { progress_.Report(Percent(done, total)); }
    void Finish() { progress_.Finish(); }

  private:
    COctileDoc& doc_;
    Feedback& feedback_;
    BusyScope busy_;
    Progress progress_;
};

}  // namespace

bool ParseShiftRequest(Feedback& feedback, std::u16string_view positionText,
                       std::u16string_view countText, uint64_t& position, uint64_t& count) {
    if (!ParseHexStrict(positionText, position) || !ParseHexStrict(countText, count)) {
        ShowMessage(feedback, IDS_RANGE_HEX);
        return false;
    }
    if (count == 0 || count > kMaxShiftCount) {
        ShowMessage(feedback, IDS_FILL_VALUE);
        return false;
    }
    return true;
}

bool CheckFillValueLength(Feedback& feedback, std::u16string_view valueText) {
    if (valueText.size() <= kMaxFillValueChars) return true;
    feedback.MessageBox(ReplacePercent1(LoadString(kStringSizeMessageId), u"2"),
                        MB_OK | MB_ICONEXCLAMATION);
    return false;
}

bool ParseFillRequest(Feedback& feedback, std::u16string_view startText,
                      std::u16string_view endText, std::u16string_view valueText,
                      FillRequest& request) {
    if (!ParseRangeTexts(feedback, startText, endText, request.start, request.end)) return false;
    uint64_t value = 0;
    if (valueText.empty() || !ParseHexStrict(valueText, value)) {
        ShowMessage(feedback, IDS_FILL_VALUE);
        return false;
    }
    request.value = static_cast<uint8_t>(value & 0xFF);
    return true;
}

bool InsertBytes(COctileDoc& doc, Feedback& feedback, uint64_t position, uint64_t count) {
    if (count == 0 || count > kMaxShiftCount) {
        ShowMessage(feedback, IDS_FILL_VALUE);
        return false;
    }
    ShiftRun run(doc, feedback);
    const uint64_t length = doc.GetFileLength();
    // Two halves used in turn, each followed by room for the look-ahead of
    // its read so that it never lands on the other half's held bytes.
    constexpr uint64_t kHalf = kShiftBlock + kLookAhead;
    auto buffer = TryAllocate(2 * kHalf);
    if (!buffer) {
        run.Fail(IDS_SAVE_NO_MEMORY);
        return false;
    }
    // The new length first: a file system without the room refuses here,
    // before any byte has moved, not at the last block's growing write. A
    // file another program shortened is left as it is: its missing bytes
    // cannot be read (the I/O error, as the first short read would give).
    const uint64_t actual = doc.file().Length();
    if (position < length) {
        const bool shortened = actual < length;
        if (shortened || !doc.file().Reserve(length + count)) {
            const int err = shortened ? EIO : errno;
            run.Fail(err == ENOSPC || err == EDQUOT || err == EFBIG ? AFX_IDP_FILE_DISKFULL
                                                                    : IDS_IO_ERROR);
            doc.RemeasureLength();
            return false;
        }
    }
    uint8_t* const halves[2] = {buffer.get(), buffer.get() + kHalf};
    const uint32_t c = static_cast<uint32_t>(count);
    // The held bytes are the last c bytes of the half not being read into;
    // before the first block they are the zeros to insert.
    std::memset(halves[1] + kShiftBlock - c, 0, c);

    bool ok = true;
    int h = 0;
    for (uint64_t b = position; b < length; b += kShiftBlock) {
        const uint64_t want = std::min(length - b, kShiftBlock);
        const uint32_t n = doc.ReadBytes(halves[h], want, b);
        // Every block must be read whole before any byte of it is
        // overwritten; a short read would leave stale bytes in the file.
        if (n < want) {
            ok = run.Fail(IDS_IO_ERROR);
            break;
        }
        const uint8_t* held = halves[1 - h] + kShiftBlock - c;
        const bool last = length - b <= kShiftBlock;
        // The last block is written whole; any other keeps back its last c
        // bytes, which go in front of the next block.
        const uint32_t body = last ? n : n - c;
        const uint32_t written = doc.WriteBytes(held, c, b);
        if (written != c || doc.WriteBytes(halves[h], body, b + c) != body) {
            ok = run.Fail(IDS_IO_ERROR);
            break;
        }
        h = 1 - h;
        run.Report(b - position, length - position);
        if (last) break;
    }
    // A shift that stopped half way never made its last, growing write: the
    // zeros a file system without reservations took go again, so the file
    // ends where it ended.
    if (!ok && position < length && length + count > actual) doc.file().Truncate(actual);
    run.Finish();
    buffer.reset();
    doc.RemeasureLength();
    return ok;
}

bool DeleteBytes(COctileDoc& doc, Feedback& feedback, uint64_t position, uint64_t count) {
    if (count == 0 || count > kMaxShiftCount) {
        ShowMessage(feedback, IDS_FILL_VALUE);
        return false;
    }
    ShiftRun run(doc, feedback);
    const uint64_t length = doc.GetFileLength();
    // One block with the deleted bytes carried in front of it.
    auto buffer = TryAllocate(count + kShiftBlock + kLookAhead + 1);
    if (!buffer) {
        run.Fail(IDS_SAVE_NO_MEMORY);
        return false;
    }
    // A count reaching past the end deletes up to the end.
    const uint64_t c = position < length ? std::min(count, length - position) : count;

    bool ok = true;
    for (uint64_t b = position; b < length; b += kShiftBlock) {
        const uint64_t rest = length - b;
        const uint64_t want = std::min(rest, c + kShiftBlock);
        const uint32_t n = doc.ReadBytes(buffer.get(), want, b);
        if (n < want) {  // nothing, or not the whole block: the read failed
            ok = run.Fail(IDS_IO_ERROR);
            break;
        }
        const bool last = rest < c + kShiftBlock;
        const uint32_t moved = static_cast<uint32_t>(last ? rest - c : kShiftBlock);
        if (moved > 0 && doc.WriteBytes(buffer.get() + c, moved, b) != moved) {
            ok = run.Fail(IDS_IO_ERROR);
            break;
        }
        if (last) {
            if (!doc.file().Truncate(length - c)) ok = run.Fail(IDS_IO_ERROR);
            break;
        }
        run.Report(b - position, length - position);
    }
    run.Finish();
    buffer.reset();
    doc.RemeasureLength();
    return ok;
}

bool FillRange(COctileDoc& doc, Feedback& feedback, const FillRequest& request) {
    ShiftRun run(doc, feedback);
    auto buffer = TryAllocate(kShiftBlock + kLookAhead + 1);
    if (!buffer) {
        run.Fail(IDS_SAVE_NO_MEMORY);
        return false;
    }
    const uint64_t start = request.start;
    const uint64_t end = RangeEnd(request.end, doc.GetFileLength());

    bool ok = true;
    for (uint64_t b = start; b < end; b += kShiftBlock) {
        const uint64_t want = std::min(end - b, kShiftBlock);
        // Reading first keeps the fill inside the file: bytes past its end
        // are never written.
        const uint32_t n = doc.ReadBytes(buffer.get(), want, b);
        if (n == 0 || (n < want && ReadFellShort(doc, b, n))) {
            ok = run.Fail(IDS_IO_ERROR);
            break;
        }
        std::memset(buffer.get(), request.value, n);
        if (doc.WriteBytes(buffer.get(), n, b) != n) {
            ok = run.Fail(IDS_IO_ERROR);
            break;
        }
        run.Report(b - start, end - start);
        if (end - b <= kShiftBlock) break;  // also keeps b from wrapping
    }
    run.Finish();
    return ok;
}

}  // namespace octile
