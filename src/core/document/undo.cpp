#include "document/undo.h"

#include <algorithm>
#include <vector>

#include "document/byte_shift.h"
#include "document/long_operation.h"

namespace octile {

namespace {

using Role = EditJournal::Role;

enum class Failure { None, Journal, Record, File };

// Writes a chain's records back newest first, recording in the running step
// the bytes each one replaces: the inverse of the writes that made it.
Failure RewriteChain(COctileDoc& doc, EditJournal& journal, const Chain& chain) {
    const FileHandle& file = doc.file();
    std::vector<uint8_t> current;
    Failure failure = Failure::None;
    const bool ok = journal.ForEachBackwards(chain, [&](ByteRecord& record) {
        const uint64_t n = record.data.size();
        current.resize(n);
        if (file.ReadAt(current.data(), n, record.position) != n) {
            failure = Failure::File;
        } else if (!journal.RecordBytes(record.position, current.data(), n)) {
            failure = Failure::Record;
        } else if (file.WriteAt(record.data.data(), n, record.position) != n) {
            failure = Failure::File;
        }
        return failure == Failure::None;
    });
    return ok ? Failure::None : failure == Failure::None ? Failure::Journal : failure;
}

bool Apply(COctileDoc& doc, Feedback& feedback, Role role, uint64_t* where) {
    EditJournal* journal = doc.journal();
    if (!journal || doc.IsReadOnly()) return false;
    journal->Refresh();
    const Step* top = role == Role::Undo ? journal->UndoTop() : journal->RedoTop();
    if (!top) {
        ShowMessage(feedback, role == Role::Undo ? IDS_NOTHING_TO_UNDO : IDS_NOTHING_TO_REDO);
        return false;
    }
    const FileHandle& file = doc.file();
    if (!journal->MatchesFile(file.fd())) {
        ShowPathMessage(feedback, IDS_JOURNAL_FILE_CHANGED, doc.GetPathName());
        return false;
    }
    const Step step = *top;
    if (where) *where = step.position;
    const bool undo = role == Role::Undo;

    if (step.kind != EditKind::Overwrite) {
        // Undoing an insert deletes, undoing a delete inserts; redo the same
        // as the edit was.
        ShiftRequest request;
        request.role = role;
        request.kind = step.kind;
        request.deleting = (step.kind == EditKind::Insert) == undo;
        request.position = step.position;
        request.count = step.count;
        if (!request.deleting && !step.chain.empty() &&
            (!journal->ReadChain(step.chain, request.payload) ||
             request.payload.size() != step.count)) {
            ShowPathMessage(feedback, IDS_JOURNAL_BROKEN, doc.GetPathName());
            return false;
        }
        // An insert at the end of the file (the undo of a delete to its
        // end) appends: the shift engine moves nothing there.
        if (!request.deleting && request.position == doc.GetFileLength()) {
            if (!journal->Begin(file.fd(), role, step.kind, step.position, step.count)) {
                doc.ShowJournalFailure();
                return false;
            }
            request.payload.resize(step.count);
            const bool ok =
                file.WriteAt(request.payload.data(), step.count, step.position) == step.count &&
                journal->Commit(file.fd());
            doc.RemeasureLength();
            if (!ok) ShowPathMessage(feedback, IDS_IO_ERROR, doc.GetPathName());
            return ok;
        }
        return ShiftTail(doc, feedback, request);
    }

    BusyScope busy(doc.busy(), BusyState::kFileOperation, feedback);
    if (!journal->Begin(file.fd(), role, step.kind, step.position, step.count)) {
        busy.EndWaitCursor();
        doc.ShowJournalFailure();
        return false;
    }
    const Failure failure = RewriteChain(doc, *journal, step.chain);
    const bool committed = journal->Commit(file.fd());
    busy.EndWaitCursor();
    doc.RemeasureLength();
    if (failure == Failure::Journal) {
        ShowPathMessage(feedback, IDS_JOURNAL_BROKEN, doc.GetPathName());
    } else if (failure == Failure::File) {
        ShowPathMessage(feedback, IDS_IO_ERROR, doc.GetPathName());
    } else if (failure == Failure::Record || !committed) {
        doc.ShowJournalFailure();
    }
    return failure == Failure::None && committed;
}

}  // namespace

bool UndoEdit(COctileDoc& doc, Feedback& feedback, uint64_t* where) {
    return Apply(doc, feedback, Role::Undo, where);
}

bool RedoEdit(COctileDoc& doc, Feedback& feedback, uint64_t* where) {
    return Apply(doc, feedback, Role::Redo, where);
}

}  // namespace octile
