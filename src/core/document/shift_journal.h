#pragma once
// The record of the insert or delete running now, in the journal's "shift"
// file: what the shift does, its payload, and two slots that take turns
// holding a copy of the segment of the tail being moved.
//
// A segment's copy (checked by a checksum) is written before its bytes move,
// so whatever moment the process dies, the newest slot that checks holds
// the one segment whose move may be torn; every segment before it moved
// whole, every one after it has not moved. Completing the shift is then:
// move that segment again from its copy, and go on. With sync on, the copy
// reaches the disk before the file's bytes it protects, and the file's
// moved segment before its slot is reused.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/journal.h"

namespace octile {

// The largest segment moved at once (the shift's buffer); a test may make it
// smaller so that small files take many segments.
uint64_t ShiftSegmentSize();
void SetShiftSegmentSizeForTesting(uint64_t bytes);  // 0: the default

struct ShiftRecord {
    uint64_t stepId = 0;
    EditJournal::Role role = EditJournal::Role::Edit;
    EditKind kind = EditKind::Insert;  // the history step's kind
    uint64_t target = 0;               // the step undone or redone
    bool deleting = false;             // the tail moves back (delete) or forward
    bool byBlocks = false;             // the file system moves whole blocks (ShiftBlocks)
    uint64_t position = 0;
    uint64_t count = 0;
    uint64_t lengthBefore = 0;
    // Insert: the bytes that go at position (none: zeros). Delete: the
    // bytes it removes, kept for undo.
    std::vector<uint8_t> payload;
};

class ShiftJournal {
  public:
    // Writes the shift's record (synced when sync). Null on failure.
    static std::unique_ptr<ShiftJournal> Start(const std::string& path, const ShiftRecord& record,
                                               bool sync);
    // The unfinished shift at path; null when there is none or its record
    // does not check.
    static std::unique_ptr<ShiftJournal> Find(const std::string& path, ShiftRecord& record,
                                              bool sync);
    ~ShiftJournal();
    ShiftJournal(const ShiftJournal&) = delete;
    ShiftJournal& operator=(const ShiftJournal&) = delete;

    // Keeps the copy of segment seq, which starts at the file offset source.
    bool SaveSegment(uint64_t seq, uint64_t source, const uint8_t* data, uint64_t n);
    // The newest segment whose copy checks; false when none does.
    bool LatestSegment(uint64_t& seq, uint64_t& source, std::vector<uint8_t>& data) const;
    // The shift is complete and recorded in the log: the file goes.
    void Finish();
    bool sync() const { return sync_; }
    // The segment size this shift was started with.
    uint64_t segment() const { return segment_; }

  private:
    ShiftJournal(std::string path, int fd, uint64_t stepId, uint64_t slotBase, uint64_t segment,
                 bool sync)
        : path_(std::move(path)),
          fd_(fd),
          stepId_(stepId),
          slotBase_(slotBase),
          segment_(segment),
          sync_(sync) {}
    uint64_t SlotOffset(uint64_t seq) const;

    std::string path_;
    int fd_ = -1;
    uint64_t stepId_ = 0;
    uint64_t slotBase_ = 0;
    uint64_t segment_ = 0;
    bool sync_ = true;
};

}  // namespace octile
