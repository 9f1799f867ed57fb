#pragma once
// The edit journal: every change Octile writes into a file is first recorded
// here, so that it can be undone and redone (also after the program was
// closed), and so that an insert or delete cut short by a crash, a signal or
// a power cut can be completed at the next open.
//
// One folder per file under the journal folder, named after the file's
// device, inode and resolved path:
//   log.NNNNNNNN  records, appended; the oldest chunk is dropped first when
//                 the journal outgrows its limit
//   shift         the insert or delete running now: its parameters, its
//                 payload, and two slots that hold a copy of the segment of
//                 the tail being moved (see ShiftJournal)
// Nothing here writes the edited file itself: byte_shift.cpp and undo.cpp do,
// in the order this class's callers promise (record first, then the bytes).
#include <sys/types.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace octile {

inline constexpr uint64_t kMiB = 1024 * 1024;

struct JournalOptions {
    std::string folder;                    // empty: no journal, edits cannot be undone
    uint64_t maxFileBytes = 1024 * kMiB;   // one file's journal
    uint64_t maxTotalBytes = 4096 * kMiB;  // all journals together
    bool sync = true;  // fdatasync at checkpoints: survives a power cut, not only a kill
};

// The journal folder under the per-user data folder, the limits from the
// "[Journal]" section of the settings ("MaxFileMiB", "MaxTotalMiB", "Sync").
class ProfileStore;
JournalOptions ReadJournalOptions(ProfileStore* profile);

enum class EditKind : uint8_t { Overwrite = 1, Insert = 2, Delete = 3 };

// One step of the history, newest last.
struct HistoryEntry {
    EditKind kind;
    uint64_t position;
    uint64_t count;  // bytes changed, inserted or deleted
    bool undone;     // redo would apply it again
};

// The file's length and modification time after a change: a later
// difference means another program changed the file.
struct FileState {
    uint64_t length = 0;
    int64_t mtimeNs = 0;
    bool operator==(const FileState&) const = default;
};
FileState StatFileState(int fd);

// Where a chain of byte records lies in the log: one chunk, records
// [begin, end).
struct Chain {
    uint64_t chunk = 0;
    uint64_t begin = 0;
    uint64_t end = 0;
    bool empty() const { return begin == end; }
};

struct Step {
    uint64_t id = 0;
    EditKind kind = EditKind::Overwrite;
    uint64_t position = 0;
    uint64_t count = 0;
    // The bytes the inverse of the last application needs: for an
    // overwrite the bytes it replaced, for a delete the bytes it removed,
    // for an insert the bytes an undo removed (redo puts them back).
    Chain chain;
};

// A byte record read back from a chain.
struct ByteRecord {
    uint64_t position = 0;
    std::vector<uint8_t> data;
};

class EditJournal {
  public:
    // Opens or creates the journal of the file open as fd (resolvedPath is
    // where the kernel found it). Null when the folder cannot be made.
    static std::unique_ptr<EditJournal> Open(const JournalOptions& options, int fd,
                                             const std::string& resolvedPath);
    // The journal's folder for that file (empty without a journal folder),
    // and whether an insert or delete of it is unfinished there.
    static std::string FolderFor(const JournalOptions& options, int fd,
                                 const std::string& resolvedPath);
    static bool HasPendingShift(const JournalOptions& options, int fd,
                                const std::string& resolvedPath);
    ~EditJournal();
    EditJournal(const EditJournal&) = delete;
    EditJournal& operator=(const EditJournal&) = delete;

    const JournalOptions& options() const { return options_; }
    const std::string& folder() const { return dir_; }

    // Reads the log again when another process appended to it since.
    void Refresh();

    bool CanUndo() const { return !done_.empty(); }
    bool CanRedo() const { return !undone_.empty(); }
    const Step* UndoTop() const { return done_.empty() ? nullptr : &done_.back(); }
    const Step* RedoTop() const { return undone_.empty() ? nullptr : &undone_.back(); }
    std::vector<HistoryEntry> History() const;

    // True when the file is as the journal last saw it (or the journal has
    // no history yet).
    bool MatchesFile(int fd) const;

    // Whether a change that needs bytes of undo data fits under the limit.
    bool Fits(uint64_t bytes) const;

    // --- Recording. Each returns false when the journal could not be
    // written; the caller then leaves the file unchanged.

    // Begins a step. When the file changed since the last recorded state
    // the history is dropped first (its undo data would no longer apply).
    // undoOf/redoOf: the step this one undoes or redoes (0 for a new edit).
    enum class Role : uint8_t { Edit = 1, Undo = 2, Redo = 3 };
    bool Begin(int fd, Role role, EditKind kind, uint64_t position, uint64_t count);
    // Bytes at position that are about to be overwritten or removed.
    bool RecordBytes(uint64_t position, const uint8_t* data, uint64_t n);
    // Ends the step: the file's state after it. An edit step without bytes
    // leaves no step in the history; one that wrote nothing should be
    // cancelled instead (see Cancel), so that it leaves no record at all.
    bool Commit(int fd);
    // Gives up recording the running step and the history before it (a
    // change too large to keep); the file may still be written.
    void Abandon();
    // Forgets the step begun when nothing of it was written to the file.
    void Cancel() { pending_ = {}; }
    bool InStep() const { return pending_.active; }
    bool Recording() const { return pending_.active && !pending_.abandoned; }

    // The bytes of a chain in the order they were recorded, joined (a shift's
    // payload). False when the log cannot be read or a record does not check.
    bool ReadChain(const Chain& chain, std::vector<uint8_t>& bytes) const;
    // Streams a chain newest first through a callback without holding more
    // than one record; false on a read or check failure, or when visit
    // returns false.
    template <class Visit>
    bool ForEachBackwards(const Chain& chain, Visit&& visit) const;
    bool ReadRecordBefore(const Chain& chain, uint64_t end, ByteRecord& record,
                          uint64_t& start) const;

    // The shift area (the "shift" file), and whether a shift is unfinished.
    std::string ShiftPath() const { return dir_ + "shift"; }
    bool ShiftPending() const;
    // The id the next Begin gives its step, and the step Begin started.
    uint64_t NextStepId() const { return nextId_; }
    uint64_t PendingId() const { return pending_.active ? pending_.step.id : 0; }
    uint64_t PendingTarget() const { return pendingTarget_; }
    // Continues the step with this id when it is the one begun, else begins
    // it under that id (completing a shift recorded by an earlier process).
    bool Adopt(uint64_t id, Role role, EditKind kind, uint64_t position, uint64_t count,
               uint64_t target);

  private:
    EditJournal() = default;
    bool Load();
    void ApplyPending(uint64_t target);
    bool EnsureBegun();
    bool Append(uint8_t type, uint8_t kind, uint64_t id, uint64_t position, uint64_t count,
                uint64_t extra, const uint8_t* data, uint64_t n);
    bool OpenChunk(uint64_t chunk, bool create);
    void EnforceLimits();
    void DropOldestChunk();
    std::string ChunkPath(uint64_t chunk) const;
    uint64_t TotalBytes() const;

    JournalOptions options_;
    std::string dir_;               // ends in "/"
    std::vector<uint64_t> chunks_;  // chunk numbers on disk, oldest first
    int fd_ = -1;                   // the newest chunk, opened for appending
    uint64_t size_ = 0;             // its length
    uint64_t nextId_ = 1;
    std::deque<Step> done_;
    std::deque<Step> undone_;
    FileState last_;
    bool lastKnown_ = false;
    struct Pending {
        bool active = false;
        bool abandoned = false;
        bool begun = false;  // its first record is in the log
        Role role = Role::Edit;
        Step step;
        uint64_t bytes = 0;
    } pending_;
    uint64_t pendingTarget_ = 0;
};

template <class Visit>
bool EditJournal::ForEachBackwards(const Chain& chain, Visit&& visit) const {
    uint64_t end = chain.end;
    while (end > chain.begin) {
        ByteRecord record;
        uint64_t start = 0;
        if (!ReadRecordBefore(chain, end, record, start) || !visit(record)) return false;
        end = start;
    }
    return true;
}

}  // namespace octile
