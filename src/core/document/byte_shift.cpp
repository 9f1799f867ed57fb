#include "document/byte_shift.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "document/long_operation.h"
#include "document/shift_journal.h"
#include "document/undo.h"
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
    void EndWaitCursor() { busy_.EndWaitCursor(); }
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

namespace {

// SIGINT, SIGTERM and SIGHUP wait while a shift runs: the shift reaches its
// consistent end, then the signal takes its usual course.
class SignalHold {
  public:
    SignalHold() {
        if (depth_++ > 0) return;
        caught_ = 0;
        struct sigaction hold {};
        hold.sa_handler = [](int signo) { caught_ = signo; };
        sigemptyset(&hold.sa_mask);
        for (size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &hold, &saved_[i]);
    }
    ~SignalHold() {
        if (--depth_ > 0) return;
        for (size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &saved_[i], nullptr);
        if (caught_ != 0) ::raise(caught_);
    }
    SignalHold(const SignalHold&) = delete;
    SignalHold& operator=(const SignalHold&) = delete;

  private:
    static constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};
    static inline int depth_ = 0;
    static inline volatile sig_atomic_t caught_ = 0;
    static inline std::array<struct sigaction, 3> saved_{};
};

// Where segment seq of a shift reads its bytes; false when the shift has no
// segment seq.
bool SegmentSource(const ShiftRecord& r, uint64_t segment, uint64_t seq, uint64_t& source,
                   uint64_t& n) {
    if (r.deleting) {
        // Front to back: segment seq holds the bytes after the deleted ones.
        const uint64_t done = seq * segment;
        const uint64_t first = r.position + r.count;
        if (first >= r.lengthBefore || done >= r.lengthBefore - first) return false;
        source = first + done;
        n = std::min(segment, r.lengthBefore - source);
    } else {
        // Back to front: segment seq ends seq segments before the old end.
        const uint64_t tail = r.lengthBefore - r.position;
        const uint64_t done = seq * segment;
        if (done >= tail) return false;
        n = std::min(segment, tail - done);
        source = r.lengthBefore - done - n;
    }
    return true;
}

uint64_t SegmentTarget(const ShiftRecord& r, uint64_t source) {
    return r.deleting ? source - r.count : source + r.count;
}

bool SyncFile(const COctileDoc& doc, const ShiftJournal* slots) {
    return !slots || !slots->sync() || ::fdatasync(doc.file().fd()) == 0;
}

// Moves the segments from seq on: each read whole, its copy kept in a slot,
// then written to its new place.
bool MoveSegments(COctileDoc& doc, ShiftJournal* slots, const ShiftRecord& r, uint64_t seq,
                  uint8_t* buffer, uint64_t segment, ShiftRun& run) {
    const uint64_t tail = r.deleting
                              ? r.lengthBefore - std::min(r.lengthBefore, r.position + r.count)
                              : r.lengthBefore - r.position;
    uint64_t source = 0;
    uint64_t n = 0;
    for (; SegmentSource(r, segment, seq, source, n); ++seq) {
        if (doc.file().ReadAt(buffer, n, source) != n) return false;
        if (slots && !slots->SaveSegment(seq, source, buffer, n)) {
            doc.ShowJournalFailure();
            return false;
        }
        if (doc.file().WriteAt(buffer, n, SegmentTarget(r, source)) != n || !SyncFile(doc, slots)) {
            return false;
        }
        run.Report(std::min(tail, (seq + 1) * segment), tail);
    }
    return true;
}

// The end of a shift whose segments all moved: the inserted bytes go in, or
// the file is cut; then the step is recorded and the shift file goes.
bool FinishShift(COctileDoc& doc, EditJournal* journal, ShiftJournal* slots, const ShiftRecord& r) {
    const FileHandle& file = doc.file();
    if (r.deleting) {
        if (!file.Truncate(r.lengthBefore - r.count)) return false;
    } else if (!r.byBlocks || r.payload.size() == r.count) {
        // (Blocks inserted by the file system are zeros already.)
        std::vector<uint8_t> zeros;
        const std::vector<uint8_t>* bytes = &r.payload;
        if (r.payload.size() != r.count) {
            zeros.assign(r.count, 0);
            bytes = &zeros;
        }
        if (file.WriteAt(bytes->data(), r.count, r.position) != r.count) return false;
    }
    if (!SyncFile(doc, slots)) return false;
    if (journal && slots) {
        const bool recorded =
            journal->Adopt(r.stepId, r.role, r.kind, r.position, r.count, r.target) &&
            (!r.deleting || journal->RecordBytes(r.position, r.payload.data(), r.payload.size())) &&
            journal->Commit(file.fd());
        if (!recorded) {
            doc.ShowJournalFailure();
            return false;
        }
        slots->Finish();
    }
    return true;
}

// Whether the shift is of whole blocks at a block boundary inside the file,
// which ShiftBlocks may do without moving a byte.
bool BlocksMayMove(const FileHandle& file, const ShiftRecord& r) {
    struct stat st {};
    if (::fstat(file.fd(), &st) != 0 || st.st_blksize <= 0) return false;
    const auto block = static_cast<uint64_t>(st.st_blksize);
    if (r.position % block != 0 || r.count % block != 0) return false;
    return r.deleting ? r.count < r.lengthBefore - r.position : r.position < r.lengthBefore;
}

// An insert first takes the file's new length from the file system, so that
// one without the room refuses before any byte has moved.
bool Reserve(const FileHandle& file, const ShiftRecord& r) {
    return r.deleting || file.Reserve(r.lengthBefore + r.count);
}

}  // namespace

bool ShiftTail(COctileDoc& doc, Feedback& feedback, const ShiftRequest& request) {
    if (request.count == 0 || request.count > kMaxShiftCount) {
        ShowMessage(feedback, IDS_FILL_VALUE);
        return false;
    }
    EditJournal* journal = doc.journal();
    if (journal && journal->ShiftPending() &&
        RecoverInterruptedShift(doc, feedback) != Recovery::Completed) {
        return false;
    }
    if (doc.JournalUnavailable()) {
        doc.ShowJournalFailure();
        return false;
    }
    ShiftRun run(doc, feedback);
    const uint64_t length = doc.GetFileLength();
    if (request.position >= length) {  // nothing to move: a change of nothing
        run.Finish();
        return true;
    }
    const uint64_t segment = ShiftSegmentSize();
    auto buffer = TryAllocate(segment);
    if (!buffer) return run.Fail(IDS_SAVE_NO_MEMORY);

    ShiftRecord r;
    r.role = request.role;
    r.kind = request.kind;
    r.deleting = request.deleting;
    r.position = request.position;
    // A delete reaching past the end deletes up to the end.
    r.count = r.deleting ? std::min(request.count, length - r.position) : request.count;
    r.lengthBefore = length;
    r.payload = request.payload;
    const FileHandle& file = doc.file();

    // A file another program shortened is left as it is: its missing bytes
    // cannot be read (the I/O error, as the first short read would give).
    const uint64_t actual = file.Length();
    if (actual < length) {
        doc.RemeasureLength();
        return run.Fail(IDS_IO_ERROR);
    }
    bool recording = journal && doc.UndoRecording() && request.role == EditJournal::Role::Edit;
    if (r.deleting) {
        if (recording && !journal->Fits(r.count)) {
            run.EndWaitCursor();
            if (feedback.MessageBox(LoadString(IDS_JOURNAL_TOO_LARGE),
                                    MB_YESNO | MB_ICONQUESTION) != IDYES) {
                return false;
            }
            recording = false;
        }
        r.payload.resize(r.count);
        if (file.ReadAt(r.payload.data(), r.count, r.position) != r.count) {
            return run.Fail(IDS_IO_ERROR);
        }
    }
    // The step begins before the file is touched: reserving its room
    // already changes the file's modification time.
    if (journal && !journal->Begin(file.fd(), request.role, request.kind, r.position, r.count)) {
        run.EndWaitCursor();
        doc.ShowJournalFailure();
        return false;
    }
    // Whole blocks at a block boundary inside the file: the file system may
    // move them itself (ext4, XFS), in constant time and atomically.
    r.byBlocks = BlocksMayMove(file, r);
    if (!r.byBlocks && !Reserve(file, r)) {
        const int err = errno;
        if (journal) journal->Cancel();
        doc.RemeasureLength();
        return run.Fail(err == ENOSPC || err == EDQUOT || err == EFBIG ? AFX_IDP_FILE_DISKFULL
                                                                       : IDS_IO_ERROR);
    }

    SignalHold hold;
    std::unique_ptr<ShiftJournal> slots;
    auto record = [&] {
        if (!journal) return true;
        slots = ShiftJournal::Start(journal->ShiftPath(), r, journal->options().sync);
        if (slots) return true;
        journal->Cancel();
        // The zeros a file system without reservations took go again.
        if (!r.deleting && file.Length() > length) file.Truncate(length);
        doc.RemeasureLength();
        run.EndWaitCursor();
        doc.ShowJournalFailure();
        return false;
    };
    if (journal) {
        if (!recording && request.role == EditJournal::Role::Edit) journal->Abandon();
        r.stepId = journal->PendingId();
        r.target = journal->PendingTarget();
    }
    if (!record()) return false;
    bool moved = false;
    if (r.byBlocks) {
        moved = file.ShiftBlocks(r.position, r.count, r.deleting);
        if (!moved) {
            // The file system cannot: block by block after all, recorded so.
            r.byBlocks = false;
            if (!Reserve(file, r)) {
                const int err = errno;
                if (slots) slots->Finish();
                if (journal) journal->Cancel();
                doc.RemeasureLength();
                return run.Fail(err == ENOSPC || err == EDQUOT || err == EFBIG
                                    ? AFX_IDP_FILE_DISKFULL
                                    : IDS_IO_ERROR);
            }
            if (!record()) return false;
        }
    }
    bool ok = (moved || MoveSegments(doc, slots.get(), r, 0, buffer.get(), segment, run)) &&
              FinishShift(doc, journal, slots.get(), r);
    run.Finish();
    buffer.reset();
    doc.RemeasureLength();
    if (!ok) {
        // The shift stays recorded: opening the file again completes it.
        run.Fail(IDS_IO_ERROR);
    }
    return ok;
}

bool InsertBytes(COctileDoc& doc, Feedback& feedback, uint64_t position, uint64_t count) {
    ShiftRequest request;
    request.position = position;
    request.count = count;
    return ShiftTail(doc, feedback, request);
}

bool DeleteBytes(COctileDoc& doc, Feedback& feedback, uint64_t position, uint64_t count) {
    ShiftRequest request;
    request.deleting = true;
    request.kind = EditKind::Delete;
    request.position = position;
    request.count = count;
    return ShiftTail(doc, feedback, request);
}

Recovery RecoverInterruptedShift(COctileDoc& doc, Feedback& feedback) {
    EditJournal* journal = doc.journal();
    if (!journal || !journal->ShiftPending()) return Recovery::None;
    ShiftRecord r;
    auto slots = ShiftJournal::Find(journal->ShiftPath(), r, journal->options().sync);
    if (!slots) {
        // A shift file that never got its record written: nothing moved.
        ::unlink(journal->ShiftPath().c_str());
        return Recovery::None;
    }
    auto fail = [&] {
        ShowPathMessage(feedback, IDS_SHIFT_NOT_COMPLETED, doc.GetPathName());
        doc.RemeasureLength();
        return Recovery::Failed;
    };
    const FileHandle& file = doc.file();
    const uint64_t length = file.Length();
    const uint64_t after = r.deleting ? r.lengthBefore - r.count : r.lengthBefore + r.count;
    if (doc.IsReadOnly() || (length != r.lengthBefore && length != after) ||
        (r.deleting && r.count > r.lengthBefore - std::min(r.lengthBefore, r.position))) {
        return fail();
    }
    ShiftRun run(doc, feedback);
    const uint64_t segment = slots->segment();
    auto buffer = TryAllocate(segment);
    if (!buffer) return fail();
    SignalHold hold;
    if (r.byBlocks) {
        // The file system moves blocks atomically: the length tells whether
        // it did; if it did not, it is asked again, and else the shift goes
        // block by block.
        bool moved = length == after || file.ShiftBlocks(r.position, r.count, r.deleting);
        if (!moved) r.byBlocks = false;
        if (moved) {
            const bool ok = FinishShift(doc, journal, slots.get(), r);
            run.Finish();
            doc.RemeasureLength();
            if (!ok) return fail();
            ShowPathMessage(feedback,
                            r.deleting ? IDS_SHIFT_COMPLETED_DELETE : IDS_SHIFT_COMPLETED_INSERT,
                            doc.GetPathName());
            return Recovery::Completed;
        }
    }
    uint64_t seq = 0;
    uint64_t source = 0;
    std::vector<uint8_t> copy;
    bool ok = r.deleting || file.Reserve(after);
    // The newest segment whose copy checks may be torn: it moves again from
    // its copy, and the shift goes on after it.
    if (ok && slots->LatestSegment(seq, source, copy)) {
        ok = file.WriteAt(copy.data(), copy.size(), SegmentTarget(r, source)) == copy.size() &&
             SyncFile(doc, slots.get());
        ++seq;
    }
    ok = ok && MoveSegments(doc, slots.get(), r, seq, buffer.get(), segment, run) &&
         FinishShift(doc, journal, slots.get(), r);
    run.Finish();
    doc.RemeasureLength();
    if (!ok) return fail();
    ShowPathMessage(feedback, r.deleting ? IDS_SHIFT_COMPLETED_DELETE : IDS_SHIFT_COMPLETED_INSERT,
                    doc.GetPathName());
    return Recovery::Completed;
}

bool FillRange(COctileDoc& doc, Feedback& feedback, const FillRequest& request) {
    const uint64_t start = request.start;
    // A range reaching past the end fills up to the end, wherever it ends;
    // one that starts past the end has nothing to fill (the I/O error below).
    doc.RemeasureLength();
    const uint64_t length = doc.GetFileLength();
    const uint64_t end = std::max(start, std::min(RangeEnd(request.end, length), length));
    // The bytes a fill replaces are its undo data: a fill larger than the
    // journal may hold runs only when the user agrees it cannot be undone.
    const bool recording = doc.UndoRecording();
    if (doc.journal() && recording && end > start && !doc.journal()->Fits(end - start)) {
        if (feedback.MessageBox(LoadString(IDS_JOURNAL_TOO_LARGE), MB_YESNO | MB_ICONQUESTION) !=
            IDYES) {
            return false;
        }
        doc.SetUndoRecording(false);
    }
    EditStep step(doc, start);
    doc.SetUndoRecording(recording);
    if (!step.ok()) return false;
    ShiftRun run(doc, feedback);
    auto buffer = TryAllocate(kShiftBlock + kLookAhead + 1);
    if (!buffer) {
        run.Fail(IDS_SAVE_NO_MEMORY);
        return false;
    }
    bool ok = true;
    if (start >= end) ok = run.Fail(IDS_IO_ERROR);
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
            ok = doc.WriteRefusedByJournal() ? false : run.Fail(IDS_IO_ERROR);
            break;
        }
        run.Report(b - start, end - start);
        if (end - b <= kShiftBlock) break;  // also keeps b from wrapping
    }
    run.Finish();
    return ok;
}

}  // namespace octile
