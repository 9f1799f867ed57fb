#include "document/shift_journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "io/file_handle.h"
#include "settings/paths.h"
#include "util/checksum.h"

namespace octile {

namespace {

constexpr uint64_t kDefaultSegment = 8 * kMiB;
uint64_t g_segment = 0;

constexpr uint64_t kBlock = 4096;               // the record and each slot's header
constexpr uint64_t kShiftMagic = 0x31534A544F;  // "OTJS1"
constexpr uint64_t kSlotMagic = 0x32534A544F;   // "OTJS2"

// The record's block:
//   0 magic  8 step id  16 role | kind << 8 | deleting << 16 | blocks << 17
//   24 target
//   32 position  40 count  48 length before  56 payload length
//   64 segment size  72 payload checksum  80 checksum of bytes 0 to 79
// A slot's header: 0 magic  8 step id  16 seq  24 source  32 length
//   40 data checksum  48 checksum of bytes 0 to 47
bool WriteAll(int fd, const uint8_t* p, uint64_t n, uint64_t at) {
    FileFaults* faults = CurrentFileFaults();
    if (faults && faults->journalErrno != 0) {
        errno = faults->journalErrno;
        return false;
    }
    while (n > 0) {
        const ssize_t w = ::pwrite(fd, p, n, static_cast<off_t>(at));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<uint64_t>(w);
        at += static_cast<uint64_t>(w);
    }
    return true;
}

bool ReadAll(int fd, uint8_t* p, uint64_t n, uint64_t at) {
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

uint64_t RoundUp(uint64_t n) { return (n + kBlock - 1) / kBlock * kBlock; }

void SyncFolder(const std::string& path) {
    const int d = ::open(ParentFolder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (d >= 0) {
        ::fsync(d);
        ::close(d);
    }
}

}  // namespace

uint64_t ShiftSegmentSize() { return g_segment ? g_segment : kDefaultSegment; }
void SetShiftSegmentSizeForTesting(uint64_t bytes) { g_segment = bytes; }

std::unique_ptr<ShiftJournal> ShiftJournal::Start(const std::string& path,
                                                  const ShiftRecord& record, bool sync) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    const uint64_t segment = ShiftSegmentSize();
    std::vector<uint8_t> block(kBlock + RoundUp(record.payload.size()), 0);
    uint8_t* p = block.data();
    PutLe64(p, kShiftMagic);
    PutLe64(p + 8, record.stepId);
    PutLe64(p + 16, static_cast<uint64_t>(record.role) | static_cast<uint64_t>(record.kind) << 8 |
                        static_cast<uint64_t>(record.deleting) << 16 |
                        static_cast<uint64_t>(record.byBlocks) << 17);
    PutLe64(p + 24, record.target);
    PutLe64(p + 32, record.position);
    PutLe64(p + 40, record.count);
    PutLe64(p + 48, record.lengthBefore);
    PutLe64(p + 56, record.payload.size());
    PutLe64(p + 64, segment);
    PutLe64(p + 72, Checksum64(record.payload.data(), record.payload.size()));
    PutLe64(p + 80, Checksum64(p, 80));
    if (!record.payload.empty()) {
        std::memcpy(p + kBlock, record.payload.data(), record.payload.size());
    }
    std::unique_ptr<ShiftJournal> journal(
        new ShiftJournal(path, fd, record.stepId, block.size(), segment, sync));
    if (!WriteAll(fd, block.data(), block.size(), 0) || (sync && ::fdatasync(fd) != 0)) {
        const int err = errno;
        journal->Finish();
        errno = err;
        return nullptr;
    }
    if (sync) SyncFolder(path);
    return journal;
}

std::unique_ptr<ShiftJournal> ShiftJournal::Find(const std::string& path, ShiftRecord& record,
                                                 bool sync) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return nullptr;
    uint8_t p[kBlock];
    const uint64_t kMaxPayload = 1 << 20;
    bool ok = ReadAll(fd, p, 88, 0) && Le64(p) == kShiftMagic && Le64(p + 80) == Checksum64(p, 80);
    const uint64_t payload = ok ? Le64(p + 56) : 0;
    const uint64_t segment = ok ? Le64(p + 64) : 0;
    ok = ok && payload <= kMaxPayload && segment > 0 && segment <= 1024 * kMiB;
    if (ok) {
        const uint64_t flags = Le64(p + 16);
        record.stepId = Le64(p + 8);
        record.role = static_cast<EditJournal::Role>(flags & 0xFF);
        record.kind = static_cast<EditKind>(flags >> 8 & 0xFF);
        record.deleting = (flags >> 16 & 1) != 0;
        record.byBlocks = (flags >> 17 & 1) != 0;
        record.target = Le64(p + 24);
        record.position = Le64(p + 32);
        record.count = Le64(p + 40);
        record.lengthBefore = Le64(p + 48);
        record.payload.resize(payload);
        ok = (payload == 0 || ReadAll(fd, record.payload.data(), payload, kBlock)) &&
             Checksum64(record.payload.data(), payload) == Le64(p + 72);
    }
    if (!ok) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<ShiftJournal>(
        new ShiftJournal(path, fd, record.stepId, kBlock + RoundUp(payload), segment, sync));
}

ShiftJournal::~ShiftJournal() {
    if (fd_ >= 0) ::close(fd_);
}

uint64_t ShiftJournal::SlotOffset(uint64_t seq) const {
    return slotBase_ + (seq % 2) * (kBlock + RoundUp(segment_));
}

bool ShiftJournal::SaveSegment(uint64_t seq, uint64_t source, const uint8_t* data, uint64_t n) {
    uint8_t head[kBlock] = {};
    PutLe64(head, kSlotMagic);
    PutLe64(head + 8, stepId_);
    PutLe64(head + 16, seq);
    PutLe64(head + 24, source);
    PutLe64(head + 32, n);
    PutLe64(head + 40, Checksum64(data, n));
    PutLe64(head + 48, Checksum64(head, 48));
    const uint64_t at = SlotOffset(seq);
    // The data first, the header that vouches for it last.
    return WriteAll(fd_, data, n, at + kBlock) && WriteAll(fd_, head, 56, at) &&
           (!sync_ || ::fdatasync(fd_) == 0);
}

bool ShiftJournal::LatestSegment(uint64_t& seq, uint64_t& source,
                                 std::vector<uint8_t>& data) const {
    bool found = false;
    for (uint64_t slot = 0; slot < 2; ++slot) {
        uint8_t head[56];
        const uint64_t at = SlotOffset(slot);
        if (!ReadAll(fd_, head, 56, at) || Le64(head) != kSlotMagic ||
            Le64(head + 48) != Checksum64(head, 48) || Le64(head + 8) != stepId_ ||
            Le64(head + 16) % 2 != slot || Le64(head + 32) > segment_) {
            continue;
        }
        const uint64_t s = Le64(head + 16);
        if (found && s < seq) continue;
        std::vector<uint8_t> bytes(Le64(head + 32));
        if (!ReadAll(fd_, bytes.data(), bytes.size(), at + kBlock) ||
            Checksum64(bytes.data(), bytes.size()) != Le64(head + 40)) {
            continue;
        }
        found = true;
        seq = s;
        source = Le64(head + 24);
        data = std::move(bytes);
    }
    return found;
}

void ShiftJournal::Finish() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    ::unlink(path_.c_str());
}

}  // namespace octile
