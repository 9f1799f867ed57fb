#pragma once
// The search engine: finds a byte pattern in the open file, forwards or
// backwards from the caret once around the file, and tells on which window of
// the search window grid the view is to show the hit.
//
// Which occurrence is found: forwards, the first one lying wholly within
// [c + 1, S), else the first within [0, min(c, S)); backwards, the last one
// within [0, min(c, S)), else the last within [c + 1, S). c is the caret's
// offset, S the file length; no occurrence includes the byte at c or runs past
// the end of the file back to its start.
//
// The file is read in large blocks; matches that cross block boundaries are
// found because every block is read with the pattern's length - 1 bytes of the
// next one. A long scan takes the blocks in turn with a thread of its own, each
// thread scanning the block it read.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "io/file_handle.h"

namespace octile {

struct SearchRequest {
    uint64_t caret = 0;         // c: the offset of the caret's cell
    uint64_t windowOffset = 0;  // W0: the view's window offset, at most c
    uint64_t readSize = 0;      // R: the spacing of the search window grid
    bool backward = false;
};

struct SearchResult {
    enum Status { Found, NotFound, Aborted };
    Status status = NotFound;
    uint64_t match = 0;    // offset of the match's first byte
    uint64_t window = 0;   // the window offset the view moves to
    bool wrapped = false;  // the match lies on the far side of the end of the file
};

// Called between blocks with the offset the scan has reached; true stops the
// search (it then reports Aborted).
using SearchPoll = std::function<bool(uint64_t position)>;

// The window of the search window grid on which a hit is shown (see the .cpp).
uint64_t HitWindow(const SearchRequest& request, uint64_t fileLength, uint64_t match,
                   uint64_t patternLength);

// The caret offset after the view has shown and selected a hit of
// patternLength bytes at match on window: the selection's last byte, or the
// start of the page's last row when the selection runs past the page.
uint64_t CaretAfterHit(uint64_t window, uint64_t readSize, uint64_t match, uint64_t patternLength);

class SearchEngine {
  public:
    struct Options {
        // One read: large, yet small enough to stay in the cache while scanned.
        size_t blockSize = 256u << 10;
        // Verification work allowed beyond four times the bytes scanned before
        // a search of a repetitive pattern switches to a linear-time matcher.
        size_t verifyAllowance = 64u << 10;
        // Blocks of at least this many bytes are read and scanned in turn by
        // this thread and another one during a long scan; handing a smaller
        // block over costs more than reading it.
        size_t readAheadMin = 64u << 10;
        // Holes of a sparse file are zeros: a pattern with a byte that is
        // not zero cannot lie wholly inside one, so they are passed over
        // (SEEK_DATA) without being read.
        bool skipHoles = true;
    };

    SearchEngine(const FileHandle& file, uint64_t fileLength);
    SearchEngine(const FileHandle& file, uint64_t fileLength, Options options);
    ~SearchEngine();
    SearchEngine(const SearchEngine&) = delete;
    SearchEngine& operator=(const SearchEngine&) = delete;

    // The pattern for the following searches; it must not be empty.
    void SetPattern(std::vector<uint8_t> pattern);

    // One search. A read size of 0, a pattern longer than the read size and an
    // empty file find nothing.
    SearchResult Find(const SearchRequest& request, const SearchPoll& poll = {});

    // The bytes at offset were written: keeps the block kept from the last
    // search in step with the file.
    void NoteWrite(uint64_t offset, const uint8_t* bytes, size_t count);
    // Forgets the kept block (the file may have changed behind the engine).
    void InvalidateCache();
    // How candidate positions are found: 32 at a time where the processor
    // has AVX2, else 16 (SSE2); Sse2 keeps to 16, and None finds them with
    // memchr alone, as on machines without SSE2 (for tests).
    enum class VectorScan { Widest, Sse2, None };
    void SetVectorScan(VectorScan scan);

    class Matcher;
    class ReadAhead;

  private:
    enum class Scan { Found, None, Aborted };
    Scan FindFirstIn(uint64_t lo, uint64_t hi, const SearchPoll& poll, uint64_t& match);
    Scan FindLastIn(uint64_t lo, uint64_t hi, const SearchPoll& poll, uint64_t& match);
    // A scan of the starts [from, to] of one block, forwards or backwards.
    struct BlockScan {
        uint64_t from = 0;
        uint64_t to = 0;
        bool backward = false;
        bool operator==(const BlockScan&) const = default;
    };
    static size_t ScanBlock(Matcher& matcher, const BlockScan& scan, const uint8_t* buffer,
                            uint64_t offset, uint64_t count);
    // What LoadBlock gives: the offset one past the last byte that could be
    // read and, when the thread that read the block also scanned it as
    // asked, where it found the pattern (counted from the scan's first start,
    // kNone when nowhere).
    struct Loaded {
        uint64_t end = 0;
        bool scanned = false;
        size_t found = 0;
    };
    // Makes the kept block cover the block of starts at index b, to be
    // scanned as scan. With ahead, the block of starts at index *ahead is
    // read and scanned as aheadScan on another thread meanwhile, for the next
    // call, unless this block came so: in a long scan the two threads take
    // the blocks in turn, each scanning what it read.
    Loaded LoadBlock(uint64_t b, const BlockScan& scan, std::optional<uint64_t> ahead,
                     const BlockScan& aheadScan);
    // Whether the starts [from, to] lie over data, not wholly over a hole
    // that the pattern cannot be in.
    bool HasData(uint64_t from, uint64_t to) const;
    // The read ahead, if one was started: waits for it and drops it.
    void DropReadAhead();
    // One past the last byte the block starting at start asks for: its starts
    // and the pattern's length - 1 bytes after them, within the file.
    uint64_t WantEnd(uint64_t start) const;
    // The first offset at or after at that is not in a hole (at itself where
    // the file system cannot tell); UINT64_MAX when only holes follow.
    uint64_t NextData(uint64_t at) const;

    const FileHandle& file_;
    uint64_t length_;
    Options options_;
    std::vector<uint8_t> pattern_;
    std::unique_ptr<Matcher> matcher_;
    uint64_t matcherGeneration_ = 0;  // counts the matchers made and their settings
    std::unique_ptr<ReadAhead> readAhead_;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t bufferSize_ = 0;
    uint64_t cacheStart_ = 0;
    uint64_t cacheEnd_ = 0;  // one past the last byte read
    bool cacheValid_ = false;
    VectorScan vectorScan_ = VectorScan::Widest;
    bool patternHasData_ = false;  // a byte of the pattern is not zero
};

}  // namespace octile
