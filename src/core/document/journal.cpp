#include "document/journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "io/file_handle.h"
#include "settings/paths.h"
#include "settings/profile_store.h"
#include "util/checksum.h"

namespace octile {

namespace {

// A record: a 56-byte header, its data, and its whole length again at the
// end so that a chain can be walked from its newest record back.
//   0 u32 magic   4 u8 type   5 u8 kind   6 u8 role   7 u8 0
//   8 u64 step id   16 u64 position   24 u64 count (BYTES: data length;
//   COMMIT: the file's length)   32 u64 extra (BEGIN: the step undone or
//   redone; COMMIT: modification time)   40 u64 data checksum
//   48 u64 header checksum (bytes 0 to 47)
constexpr uint32_t kRecordMagic = 0x314A544F;  // "OTJ1"
constexpr uint64_t kHeader = 56;
constexpr uint64_t kFooter = 8;
constexpr uint64_t kMaxRecordData = kMiB;  // longer writes are recorded in pieces
enum RecordType : uint8_t { kBegin = 1, kBytes = 2, kCommit = 3, kReset = 4 };

struct Header {
    uint8_t type = 0;
    uint8_t kind = 0;
    uint8_t role = 0;
    uint64_t id = 0;
    uint64_t position = 0;
    uint64_t count = 0;
    uint64_t extra = 0;
    uint64_t dataSum = 0;
};

void EncodeHeader(const Header& h, uint8_t* p) {
    std::memset(p, 0, kHeader);
    PutLe64(p, kRecordMagic);
    p[4] = h.type;
    p[5] = h.kind;
    p[6] = h.role;
    PutLe64(p + 8, h.id);
    PutLe64(p + 16, h.position);
    PutLe64(p + 24, h.count);
    PutLe64(p + 32, h.extra);
    PutLe64(p + 40, h.dataSum);
    PutLe64(p + 48, Checksum64(p, 48));
}

bool DecodeHeader(const uint8_t* p, Header& h) {
    if ((Le64(p) & 0xFFFFFFFF) != kRecordMagic || Le64(p + 48) != Checksum64(p, 48)) return false;
    h.type = p[4];
    h.kind = p[5];
    h.role = p[6];
    h.id = Le64(p + 8);
    h.position = Le64(p + 16);
    h.count = Le64(p + 24);
    h.extra = Le64(p + 32);
    h.dataSum = Le64(p + 40);
    return h.type >= kBegin && h.type <= kReset;
}

uint64_t DataLength(const Header& h) { return h.type == kBytes ? h.count : 0; }

bool PreadAll(int fd, uint8_t* p, uint64_t n, uint64_t at) {
    while (n > 0) {
        const ssize_t got = ::pread(fd, p, n, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        n -= static_cast<uint64_t>(got);
        at += static_cast<uint64_t>(got);
    }
    return true;
}

uint64_t Hash(const std::string& text) {
    return Checksum64(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

uint64_t FolderBytes(const std::string& dir, int64_t* newest) {
    uint64_t total = 0;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return 0;
    while (const dirent* e = ::readdir(d)) {
        struct stat st {};
        if (e->d_name[0] == '.' || ::stat((dir + e->d_name).c_str(), &st) != 0) continue;
        total += static_cast<uint64_t>(st.st_size);
        if (newest) *newest = std::max<int64_t>(*newest, st.st_mtim.tv_sec);
    }
    ::closedir(d);
    return total;
}

void RemoveFolder(const std::string& dir) {
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            if (e->d_name[0] != '.') ::unlink((dir + e->d_name).c_str());
        }
        ::closedir(d);
    }
    ::rmdir(dir.c_str());
}

// Drops whole journals of other files, the least recently changed first,
// until all together fit under the limit. A journal holding an unfinished
// shift is kept: it is needed to repair its file.
void EnforceTotalLimit(const std::string& root, const std::string& own, uint64_t limit) {
    struct Entry {
        std::string dir;
        uint64_t bytes;
        int64_t newest;
    };
    std::vector<Entry> entries;
    uint64_t total = 0;
    DIR* d = ::opendir(root.c_str());
    if (!d) return;
    while (const dirent* e = ::readdir(d)) {
        if (e->d_name[0] == '.') continue;
        Entry entry{root + e->d_name + "/", 0, 0};
        entry.bytes = FolderBytes(entry.dir, &entry.newest);
        total += entry.bytes;
        entries.push_back(std::move(entry));
    }
    ::closedir(d);
    if (total <= limit) return;
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.newest < b.newest; });
    for (const Entry& e : entries) {
        if (total <= limit) break;
        if (e.dir == own || ::access((e.dir + "shift").c_str(), F_OK) == 0) continue;
        RemoveFolder(e.dir);
        total -= e.bytes;
    }
}

}  // namespace

JournalOptions ReadJournalOptions(ProfileStore* profile) {
    JournalOptions options;
    const std::string user = GetPerUserFolder();
    if (!user.empty()) options.folder = user + "journal/";
    if (!profile) return options;
    // Hand-edited values outside their range keep the defaults.
    const int32_t file = profile->GetProfileInt("Journal", "MaxFileMiB", 1024);
    const int32_t total = profile->GetProfileInt("Journal", "MaxTotalMiB", 4096);
    if (file >= 1) options.maxFileBytes = static_cast<uint64_t>(file) * kMiB;
    if (total >= 1) options.maxTotalBytes = static_cast<uint64_t>(total) * kMiB;
    options.maxTotalBytes = std::max(options.maxTotalBytes, options.maxFileBytes);
    options.sync = profile->GetProfileInt("Journal", "Sync", 1) != 0;
    return options;
}

FileState StatFileState(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return {};
    return {static_cast<uint64_t>(st.st_size),
            static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::string EditJournal::FolderFor(const JournalOptions& options, int fd,
                                   const std::string& resolvedPath) {
    struct stat st {};
    if (options.folder.empty() || ::fstat(fd, &st) != 0) return {};
    char name[64];
    std::snprintf(name, sizeof name, "%016llx-%016llx-%016llx/",
                  static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino),
                  static_cast<unsigned long long>(Hash(resolvedPath)));
    return options.folder + (options.folder.back() == '/' ? "" : "/") + name;
}

bool EditJournal::HasPendingShift(const JournalOptions& options, int fd,
                                  const std::string& resolvedPath) {
    const std::string dir = FolderFor(options, fd, resolvedPath);
    return !dir.empty() && ::access((dir + "shift").c_str(), F_OK) == 0;
}

std::unique_ptr<EditJournal> EditJournal::Open(const JournalOptions& options, int fd,
                                               const std::string& resolvedPath) {
    const std::string dir = FolderFor(options, fd, resolvedPath);
    if (dir.empty() || !MakeFolders(options.folder)) return nullptr;
    std::unique_ptr<EditJournal> journal(new EditJournal);
    journal->options_ = options;
    if (journal->options_.folder.back() != '/') journal->options_.folder += '/';
    journal->dir_ = dir;
    if (::mkdir(journal->dir_.c_str(), 0700) == 0) {
        const int p =
            ::open((journal->dir_ + "path").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (p >= 0) {
            WriteSequential(p, reinterpret_cast<const uint8_t*>(resolvedPath.data()),
                            resolvedPath.size());
            ::close(p);
        }
    } else if (errno != EEXIST) {
        return nullptr;
    }
    if (!journal->Load()) return nullptr;
    // An overwrite cut short keeps what it recorded: it can be undone. (An
    // unfinished shift is the shift file's to complete.)
    if (journal->pending_.active && !journal->ShiftPending()) journal->Commit(fd);
    EnforceTotalLimit(journal->options_.folder, journal->dir_, options.maxTotalBytes);
    return journal;
}

EditJournal::~EditJournal() {
    if (fd_ >= 0) ::close(fd_);
}

std::string EditJournal::ChunkPath(uint64_t chunk) const {
    char name[32];
    std::snprintf(name, sizeof name, "log.%08llx", static_cast<unsigned long long>(chunk));
    return dir_ + name;
}

bool EditJournal::OpenChunk(uint64_t chunk, bool create) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = ::open(ChunkPath(chunk).c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0600);
    if (fd_ < 0) return false;
    struct stat st {};
    ::fstat(fd_, &st);
    size_ = static_cast<uint64_t>(st.st_size);
    if (create && (chunks_.empty() || chunks_.back() != chunk)) chunks_.push_back(chunk);
    return true;
}

bool EditJournal::Load() {
    chunks_.clear();
    done_.clear();
    undone_.clear();
    pending_ = {};
    lastKnown_ = false;
    if (DIR* d = ::opendir(dir_.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            unsigned long long n = 0;
            char tail = 0;
            if (std::sscanf(e->d_name, "log.%8llx%c", &n, &tail) == 1) chunks_.push_back(n);
        }
        ::closedir(d);
    } else {
        return false;
    }
    std::sort(chunks_.begin(), chunks_.end());
    if (chunks_.empty()) return OpenChunk(0, true);

    // Replays every chunk. A record that does not check ends the log there:
    // it was being written when the process died.
    Pending replay;
    for (size_t i = 0; i < chunks_.size(); ++i) {
        const uint64_t chunk = chunks_[i];
        if (!OpenChunk(chunk, false)) return false;
        uint64_t at = 0;
        uint8_t head[kHeader];
        Header h;
        while (at + kHeader + kFooter <= size_ && PreadAll(fd_, head, kHeader, at) &&
               DecodeHeader(head, h)) {
            const uint64_t end = at + kHeader + DataLength(h) + kFooter;
            if (DataLength(h) > kMaxRecordData || end > size_) break;
            nextId_ = std::max(nextId_, h.id + 1);
            switch (h.type) {
                case kBegin:
                    replay = {};
                    replay.active = true;
                    replay.role = static_cast<Role>(h.role);
                    replay.step = {h.id,
                                   static_cast<EditKind>(h.kind),
                                   h.position,
                                   h.count,
                                   {chunk, end, end}};
                    replay.bytes = h.extra;  // the step undone or redone
                    replay.begun = true;
                    break;
                case kBytes:
                    if (replay.active && replay.step.id == h.id) {
                        replay.step.chain.end = end;
                        if (replay.role == Role::Edit && replay.step.kind == EditKind::Overwrite) {
                            replay.step.count += h.count;
                        }
                    }
                    break;
                case kReset:
                    done_.clear();
                    undone_.clear();
                    replay = {};
                    break;
                case kCommit:
                    last_ = {h.count, static_cast<int64_t>(h.extra)};
                    lastKnown_ = true;
                    if (replay.active && replay.step.id == h.id) {
                        pending_ = replay;
                        pending_.bytes = 0;
                        ApplyPending(replay.bytes);
                    }
                    replay = {};
                    break;
            }
            at = end;
        }
        if (at < size_) {
            // The torn end of the newest chunk is cut off; a broken older
            // chunk ends the history there.
            if (::ftruncate(fd_, static_cast<off_t>(at)) != 0) return false;
            size_ = at;
            for (size_t j = i + 1; j < chunks_.size(); ++j) ::unlink(ChunkPath(chunks_[j]).c_str());
            chunks_.resize(i + 1);
            if (i + 1 < chunks_.size() || replay.active) replay = {};
            break;
        }
    }
    // A step whose commit never came: an overwrite was cut short (its bytes
    // so far are recorded and can be undone), or a shift the shift file
    // completes.
    pending_ = replay;
    pendingTarget_ = replay.bytes;
    pending_.bytes = 0;
    return OpenChunk(chunks_.back(), false);
}

void EditJournal::ApplyPending(uint64_t target) {
    Step step = pending_.step;
    switch (pending_.role) {
        case Role::Edit:
            if (step.kind == EditKind::Overwrite && step.chain.empty()) break;
            done_.push_back(step);
            undone_.clear();
            break;
        case Role::Undo:
            if (!done_.empty() && done_.back().id == target) {
                done_.pop_back();
            } else {
                done_.clear();
            }
            step.id = target;
            undone_.push_back(step);
            break;
        case Role::Redo:
            if (!undone_.empty() && undone_.back().id == target) {
                undone_.pop_back();
            } else {
                undone_.clear();
            }
            step.id = target;
            done_.push_back(step);
            break;
    }
    constexpr size_t kMaxSteps = 100000;  // the in-memory history stays bounded
    while (done_.size() > kMaxSteps) done_.pop_front();
    while (undone_.size() > kMaxSteps) undone_.pop_front();
    pending_ = {};
}

void EditJournal::Refresh() {
    struct stat st {};
    const bool newer = ::access(ChunkPath(chunks_.back() + 1).c_str(), F_OK) == 0;
    if (newer || ::access(ChunkPath(chunks_.back()).c_str(), F_OK) != 0 || ::fstat(fd_, &st) != 0 ||
        static_cast<uint64_t>(st.st_size) != size_) {
        Load();
    }
}

std::vector<HistoryEntry> EditJournal::History() const {
    std::vector<HistoryEntry> entries;
    for (const Step& s : done_) entries.push_back({s.kind, s.position, s.count, false});
    for (auto it = undone_.rbegin(); it != undone_.rend(); ++it) {
        entries.push_back({it->kind, it->position, it->count, true});
    }
    return entries;
}

bool EditJournal::MatchesFile(int fd) const { return !lastKnown_ || StatFileState(fd) == last_; }

bool EditJournal::Fits(uint64_t bytes) const {
    return bytes + kHeader + kFooter <= options_.maxFileBytes;
}

bool EditJournal::ShiftPending() const { return ::access(ShiftPath().c_str(), F_OK) == 0; }

bool EditJournal::Append(uint8_t type, uint8_t kind, uint64_t id, uint64_t position, uint64_t count,
                         uint64_t extra, const uint8_t* data, uint64_t n) {
    std::vector<uint8_t> record(kHeader + n + kFooter);
    Header h;
    h.type = type;
    h.kind = kind;
    h.role = static_cast<uint8_t>(pending_.role);
    h.id = id;
    h.position = position;
    h.count = count;
    h.extra = extra;
    h.dataSum = n ? Checksum64(data, n) : 0;
    EncodeHeader(h, record.data());
    if (n) std::memcpy(record.data() + kHeader, data, n);
    PutLe64(record.data() + kHeader + n, record.size());
    FileFaults* faults = CurrentFileFaults();
    if (faults && faults->journalErrno != 0) {
        errno = faults->journalErrno;
        return false;
    }
    uint64_t done = 0;
    while (done < record.size()) {
        const ssize_t w = ::pwrite(fd_, record.data() + done, record.size() - done,
                                   static_cast<off_t>(size_ + done));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            const int err = errno;
            [[maybe_unused]] const int t = ::ftruncate(fd_, static_cast<off_t>(size_));
            errno = err;
            return false;
        }
        done += static_cast<uint64_t>(w);
    }
    size_ += record.size();
    return true;
}

bool EditJournal::Begin(int fd, Role role, EditKind kind, uint64_t position, uint64_t count) {
    Refresh();
    if (ShiftPending()) {
        errno = EBUSY;
        return false;
    }
    uint64_t target = 0;
    if (role == Role::Undo || role == Role::Redo) {
        const Step* top = role == Role::Undo ? UndoTop() : RedoTop();
        if (!top) {
            errno = ENOENT;
            return false;
        }
        target = top->id;
        kind = top->kind;
        position = top->position;
        count = top->count;
    } else if (!MatchesFile(fd) && (CanUndo() || CanRedo())) {
        // Another program changed the file: the recorded bytes no longer
        // describe it, so the history goes.
        if (!Append(kReset, 0, 0, 0, 0, 0, nullptr, 0)) return false;
        done_.clear();
        undone_.clear();
    }
    // A new chunk starts between steps once the newest is large enough, so
    // that the oldest can later be dropped whole.
    const uint64_t chunkLimit = std::max<uint64_t>(options_.maxFileBytes / 8, 64 * 1024);
    if (size_ >= chunkLimit) {
        if (!OpenChunk(chunks_.back() + 1, true)) return false;
        EnforceTotalLimit(options_.folder, dir_, options_.maxTotalBytes);
    }
    // The step's first record is written with its first bytes (or its
    // commit): a step that changes nothing leaves nothing in the log.
    pending_ = {};
    pending_.active = true;
    pending_.role = role;
    pending_.step = {nextId_++, kind, position, count, {}};
    pendingTarget_ = target;
    return true;
}

bool EditJournal::EnsureBegun() {
    if (pending_.begun) return true;
    const Step& s = pending_.step;
    if (!Append(kBegin, static_cast<uint8_t>(s.kind), s.id, s.position, s.count, pendingTarget_,
                nullptr, 0)) {
        return false;
    }
    pending_.begun = true;
    pending_.step.chain = {chunks_.back(), size_, size_};
    return true;
}

bool EditJournal::Adopt(uint64_t id, Role role, EditKind kind, uint64_t position, uint64_t count,
                        uint64_t target) {
    if (pending_.active && pending_.step.id == id) {
        // Bytes recorded before the process died are recorded again.
        if (pending_.begun) pending_.step.chain = {chunks_.back(), size_, size_};
        return true;
    }
    pending_ = {};
    pending_.active = true;
    pending_.role = role;
    pending_.step = {id, kind, position, count, {}};
    pendingTarget_ = target;
    nextId_ = std::max(nextId_, id + 1);
    return true;
}

bool EditJournal::RecordBytes(uint64_t position, const uint8_t* data, uint64_t n) {
    if (!pending_.active) return false;
    if (pending_.abandoned) return true;
    if (!Fits(pending_.bytes + n)) {
        Abandon();
        return true;
    }
    // An overwrite is where its first changed byte is, as long as all it
    // changed (the history shows it so; undo puts the caret there).
    const bool counting = pending_.role == Role::Edit && pending_.step.kind == EditKind::Overwrite;
    if (counting && pending_.bytes == 0) pending_.step.position = position;
    if (!EnsureBegun()) return false;
    for (uint64_t done = 0; done < n;) {
        const uint64_t piece = std::min(n - done, kMaxRecordData);
        if (!Append(kBytes, static_cast<uint8_t>(pending_.step.kind), pending_.step.id,
                    position + done, piece, 0, data + done, piece)) {
            return false;
        }
        done += piece;
    }
    pending_.bytes += n;
    if (counting) pending_.step.count += n;
    pending_.step.chain.end = size_;
    return true;
}

void EditJournal::Abandon() {
    if (!pending_.active || pending_.abandoned) return;
    Append(kReset, 0, 0, 0, 0, 0, nullptr, 0);
    done_.clear();
    undone_.clear();
    pending_.abandoned = true;
}

bool EditJournal::Commit(int fd) {
    if (!pending_.active) return true;
    if (!EnsureBegun()) {
        pending_ = {};
        return false;
    }
    const FileState state = StatFileState(fd);
    const bool ok = Append(kCommit, static_cast<uint8_t>(pending_.step.kind), pending_.step.id, 0,
                           state.length, static_cast<uint64_t>(state.mtimeNs), nullptr, 0);
    if (ok) {
        last_ = state;
        lastKnown_ = true;
        if (options_.sync) ::fdatasync(fd_);
    }
    if (ok && !pending_.abandoned) {
        ApplyPending(pendingTarget_);
    } else {
        pending_ = {};
    }
    EnforceLimits();
    return ok;
}

void EditJournal::EnforceLimits() {
    while (chunks_.size() > 1 && TotalBytes() > options_.maxFileBytes) DropOldestChunk();
}

uint64_t EditJournal::TotalBytes() const {
    uint64_t total = 0;
    for (uint64_t chunk : chunks_) {
        struct stat st {};
        if (::stat(ChunkPath(chunk).c_str(), &st) == 0) total += static_cast<uint64_t>(st.st_size);
    }
    return total;
}

void EditJournal::DropOldestChunk() {
    const uint64_t chunk = chunks_.front();
    ::unlink(ChunkPath(chunk).c_str());
    chunks_.erase(chunks_.begin());
    auto old = [chunk](const Step& s) { return s.chain.chunk <= chunk; };
    done_.erase(std::remove_if(done_.begin(), done_.end(), old), done_.end());
    undone_.erase(std::remove_if(undone_.begin(), undone_.end(), old), undone_.end());
}

bool EditJournal::ReadRecordBefore(const Chain& chain, uint64_t end, ByteRecord& record,
                                   uint64_t& start) const {
    const int fd = ::open(ChunkPath(chain.chunk).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    uint8_t buf[kHeader];
    Header h;
    bool ok = end >= chain.begin + kHeader + kFooter && PreadAll(fd, buf, kFooter, end - kFooter);
    const uint64_t length = ok ? Le64(buf) : 0;
    ok = ok && length >= kHeader + kFooter && length <= end - chain.begin;
    start = end - length;
    ok = ok && PreadAll(fd, buf, kHeader, start) && DecodeHeader(buf, h) && h.type == kBytes &&
         h.count == length - kHeader - kFooter;
    if (ok) {
        record.position = h.position;
        record.data.resize(h.count);
        ok = PreadAll(fd, record.data.data(), h.count, start + kHeader) &&
             Checksum64(record.data.data(), h.count) == h.dataSum;
    }
    ::close(fd);
    return ok;
}

bool EditJournal::ReadChain(const Chain& chain, std::vector<uint8_t>& bytes) const {
    std::vector<ByteRecord> records;
    if (!ForEachBackwards(chain, [&](ByteRecord& r) {
            records.push_back(std::move(r));
            return true;
        })) {
        return false;
    }
    bytes.clear();
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        bytes.insert(bytes.end(), it->data.begin(), it->data.end());
    }
    return true;
}

}  // namespace octile
