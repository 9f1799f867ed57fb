#include "search/search_engine.h"

#include <string.h>  // memrchr, memmem
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define OCTILE_SEARCH_AVX2 1
#endif

namespace octile {

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

#ifdef OCTILE_SEARCH_AVX2
// Whether the processor has AVX2: the candidate scan then takes 32 starts a
// step instead of 16.
bool HasAvx2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}
#endif

// How often a byte turns up in ordinary files (text, code, binaries): higher
// is more common. The matcher looks for the two rarest bytes of the pattern
// first, so that few positions need a full comparison.
int Commonness(uint8_t b) {
    static constexpr char kLetters[] = "etaoinshrdlucmfwypvbgkjqxz";
    if (b == 0x00) return 255;
    if (b == 0x20) return 250;
    if (b == 0xFF) return 220;
    if (b >= 'a' && b <= 'z') {
        return 240 - 3 * static_cast<int>(std::strchr(kLetters, b) - kLetters);
    }
    if (b == '\n' || b == '\r' || b == '\t') return 200;
    if (b >= '0' && b <= '9') return 170;
    if (b >= 'A' && b <= 'Z') return 140;
    if (b > 0x20 && b < 0x7F) return 120;
    if (b < 0x20) return 110;
    return 90;
}

}  // namespace

// Finds the first or last occurrence of the pattern in a buffer. Candidates
// are positions where the pattern's two rarest bytes match (sixteen positions
// per step with SSE2); each is then compared in full. When a repetitive
// pattern makes the comparisons cost more than the scan itself, the matcher
// switches to glibc's memmem (Two-Way, linear time) for the rest of the
// search, on a reversed copy for backward searches.
class SearchEngine::Matcher {
  public:
    Matcher(const std::vector<uint8_t>& pattern, size_t allowance)
        : p_(pattern.data()),
          n_(pattern.size()),
          allowance_(allowance),
          reversed_(pattern.rbegin(), pattern.rend()) {
        size_t best = 0;
        for (size_t i = 1; i < n_; ++i) {
            if (Commonness(p_[i]) < Commonness(p_[best])) best = i;
        }
        i1_ = best;
        i2_ = best == 0 ? n_ - 1 : 0;
        for (size_t i = 0; i < n_; ++i) {
            if (i == i1_) continue;
            const bool differs = p_[i] != p_[i1_];
            const bool bestDiffers = p_[i2_] != p_[i1_];
            if ((differs && !bestDiffers) ||
                (differs == bestDiffers && Commonness(p_[i]) < Commonness(p_[i2_]))) {
                i2_ = i;
            }
        }
    }

    void Reset() {
        work_ = 0;
        scanned_ = 0;
        linear_ = false;
    }
    void AddScanned(uint64_t bytes) { scanned_ += bytes; }
    size_t Length() const { return n_; }

    // Index of the first occurrence lying wholly within h[0, len), or kNone.
    size_t FindFirst(const uint8_t* h, size_t len) {
        if (len < n_) return kNone;
        if (n_ == 1) {
            const void* r = std::memchr(h, p_[0], len);
            return r ? static_cast<size_t>(static_cast<const uint8_t*>(r) - h) : kNone;
        }
        if (linear_) return LinearFirst(h, len);
        const size_t last = len - n_;
        const uint8_t c1 = p_[i1_];
        const uint8_t c2 = p_[i2_];
        size_t s = 0;
#if defined(__SSE2__)
#if defined(OCTILE_SEARCH_AVX2)
        if (useWide_ && HasAvx2()) {
            size_t found = kNone;
            if (FirstWide(h, len, s, found)) return found;
        }
#endif
        const __m128i v1 = _mm_set1_epi8(static_cast<char>(c1));
        const __m128i v2 = _mm_set1_epi8(static_cast<char>(c2));
        for (; useVector_ && s + 15 <= last; s += 16) {
            unsigned mask = Candidates(h + s, v1, v2);
            while (mask != 0) {
                const size_t at = s + static_cast<size_t>(__builtin_ctz(mask));
                if (Verify(h + at)) return at;
                if (linear_) return After(at, LinearFirst(h + at + 1, len - at - 1));
                mask &= mask - 1;
            }
        }
#endif
        while (s <= last) {
            const void* r = std::memchr(h + s + i1_, c1, last - s + 1);
            if (r == nullptr) return kNone;
            const size_t at = static_cast<size_t>(static_cast<const uint8_t*>(r) - h) - i1_;
            if (h[at + i2_] == c2) {
                if (Verify(h + at)) return at;
                if (linear_) return After(at, LinearFirst(h + at + 1, len - at - 1));
            }
            s = at + 1;
        }
        return kNone;
    }

    // Index of the last occurrence lying wholly within h[0, len), or kNone.
    size_t FindLast(const uint8_t* h, size_t len) {
        if (len < n_) return kNone;
        if (n_ == 1) {
            const void* r = memrchr(h, p_[0], len);
            return r ? static_cast<size_t>(static_cast<const uint8_t*>(r) - h) : kNone;
        }
        if (linear_) return LinearLast(h, len);
        const uint8_t c1 = p_[i1_];
        const uint8_t c2 = p_[i2_];
        size_t top = len - n_ + 1;  // candidates left: [0, top)
#if defined(__SSE2__)
#if defined(OCTILE_SEARCH_AVX2)
        if (useWide_ && HasAvx2()) {
            size_t found = kNone;
            if (LastWide(h, top, found)) return found;
        }
#endif
        const __m128i v1 = _mm_set1_epi8(static_cast<char>(c1));
        const __m128i v2 = _mm_set1_epi8(static_cast<char>(c2));
        for (; useVector_ && top >= 16; top -= 16) {
            const size_t base = top - 16;
            unsigned mask = Candidates(h + base, v1, v2);
            while (mask != 0) {
                const unsigned bit = 31u - static_cast<unsigned>(__builtin_clz(mask));
                const size_t at = base + bit;
                if (Verify(h + at)) return at;
                if (linear_) return LinearLast(h, at + n_ - 1);
                mask &= ~(1u << bit);
            }
        }
#endif
        while (top > 0) {
            const void* r = memrchr(h + i1_, c1, top);
            if (r == nullptr) return kNone;
            const size_t at = static_cast<size_t>(static_cast<const uint8_t*>(r) - h) - i1_;
            if (h[at + i2_] == c2) {
                if (Verify(h + at)) return at;
                if (linear_) return LinearLast(h, at + n_ - 1);
            }
            top = at;
        }
        return kNone;
    }

    void SetScan(VectorScan scan) {
        useVector_ = scan != VectorScan::None;
        useWide_ = scan == VectorScan::Widest;
    }

  private:
#if defined(OCTILE_SEARCH_AVX2)
    // Bit k set: the pattern's two rarest bytes match at start at + k, for 32
    // starts.
    [[gnu::target("avx2")]] uint32_t WideCandidates(const uint8_t* at, __m256i v1,
                                                    __m256i v2) const {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + i1_));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + i2_));
        return static_cast<uint32_t>(_mm256_movemask_epi8(
            _mm256_and_si256(_mm256_cmpeq_epi8(a, v1), _mm256_cmpeq_epi8(b, v2))));
    }

    // FindFirst's candidate scan 32 starts a step from s, as far as whole
    // steps go: true with found when that decides the search, else false
    // with s where the scan stopped.
    [[gnu::target("avx2")]] bool FirstWide(const uint8_t* h, size_t len, size_t& s, size_t& found) {
        const size_t last = len - n_;
        const __m256i v1 = _mm256_set1_epi8(static_cast<char>(p_[i1_]));
        const __m256i v2 = _mm256_set1_epi8(static_cast<char>(p_[i2_]));
        for (; s + 31 <= last; s += 32) {
            uint32_t mask = WideCandidates(h + s, v1, v2);
            while (mask != 0) {
                const size_t at = s + static_cast<size_t>(__builtin_ctz(mask));
                if (Verify(h + at)) {
                    found = at;
                    return true;
                }
                if (linear_) {
                    found = After(at, LinearFirst(h + at + 1, len - at - 1));
                    return true;
                }
                mask &= mask - 1;
            }
        }
        return false;
    }

    // The same for FindLast, down from the candidates [0, top).
    [[gnu::target("avx2")]] bool LastWide(const uint8_t* h, size_t& top, size_t& found) {
        const __m256i v1 = _mm256_set1_epi8(static_cast<char>(p_[i1_]));
        const __m256i v2 = _mm256_set1_epi8(static_cast<char>(p_[i2_]));
        for (; top >= 32; top -= 32) {
            const size_t base = top - 32;
            uint32_t mask = WideCandidates(h + base, v1, v2);
            while (mask != 0) {
                const unsigned bit = 31u - static_cast<unsigned>(__builtin_clz(mask));
                const size_t at = base + bit;
                if (Verify(h + at)) {
                    found = at;
                    return true;
                }
                if (linear_) {
                    found = LinearLast(h, at + n_ - 1);
                    return true;
                }
                mask &= ~(uint32_t{1} << bit);
            }
        }
        return false;
    }
#endif
#if defined(__SSE2__)
    // Bit k set: the pattern's two rarest bytes match at start at + k.
    unsigned Candidates(const uint8_t* at, __m128i v1, __m128i v2) const {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + i1_));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + i2_));
        return static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, v1), _mm_cmpeq_epi8(b, v2))));
    }
#endif

    static size_t After(size_t at, size_t found) { return found == kNone ? kNone : at + 1 + found; }

    // Compares the candidate in full, counting the work.
    bool Verify(const uint8_t* at) {
        const size_t head = std::min<size_t>(n_, 16);
        work_ += head;
        bool equal = std::memcmp(at, p_, head) == 0;
        if (equal && n_ > head) {
            work_ += n_;
            equal = std::memcmp(at + head, p_ + head, n_ - head) == 0;
        }
        if (!equal && work_ > allowance_ + 4 * scanned_) linear_ = true;
        return equal;
    }

    size_t LinearFirst(const uint8_t* h, size_t len) const {
        const void* r = memmem(h, len, p_, n_);
        return r ? static_cast<size_t>(static_cast<const uint8_t*>(r) - h) : kNone;
    }

    // The last occurrence is the first one in the reversed bytes.
    size_t LinearLast(const uint8_t* h, size_t len) {
        if (len < n_) return kNone;
        scratch_.resize(len);
        std::reverse_copy(h, h + len, scratch_.begin());
        const void* r = memmem(scratch_.data(), len, reversed_.data(), n_);
        if (r == nullptr) return kNone;
        const size_t j = static_cast<size_t>(static_cast<const uint8_t*>(r) - scratch_.data());
        return len - j - n_;
    }

    const uint8_t* p_;
    size_t n_;
    size_t i1_ = 0;
    size_t i2_ = 0;
    size_t allowance_;
    uint64_t work_ = 0;
    uint64_t scanned_ = 0;
    bool linear_ = false;
    bool useVector_ = true;  // false: memchr steps only (the scan used where SSE2 is missing)
    bool useWide_ = true;    // 32 starts a step where the processor has AVX2
    std::vector<uint8_t> reversed_;
    std::vector<uint8_t> scratch_;
};

// ---------------------------------------------------------------- grid

namespace {

// The first window after a backward walk has passed offset 0: the window that
// ends on the last line of the file. Read sizes below 16 can put that offset
// past the end of a file whose length is no multiple of 16; the window that
// holds the file's last byte serves then.
uint64_t BackwardWrapTop(uint64_t fileLength, uint64_t readSize) {
    const uint64_t rounded = 16 * ((fileLength + 15) / 16);
    uint64_t top = rounded > readSize ? rounded - readSize : 0;
    if (top >= fileLength) top = fileLength > readSize ? fileLength - readSize : 0;
    return top;
}

}  // namespace

// The view shows a hit on the search window in which its first byte was
// examined. Forward windows run W0, W0 + R, ... up to the end of the file, then
// 0, R, 2R, ...; a forward match that runs past its window is shown from its
// own first byte. Backward windows run W0, W0 - R, ... down to the last one
// at or above 0, then window 0 (which holds the bytes below that one), then
// from the top of the file downwards in the same way.
uint64_t HitWindow(const SearchRequest& request, uint64_t fileLength, uint64_t match,
                   uint64_t patternLength) {
    const uint64_t r = request.readSize;
    if (r == 0) return match;
    if (!request.backward) {
        const uint64_t w0 = request.windowOffset;
        const uint64_t w =
            match > request.caret && match >= w0 ? w0 + (match - w0) / r * r : match / r * r;
        return match + patternLength > w + r ? match : w;
    }
    const uint64_t top =
        match < request.caret ? request.windowOffset : BackwardWrapTop(fileLength, r);
    if (match >= top) return top;
    const uint64_t steps = (top - match + r - 1) / r;
    return steps > top / r ? 0 : top - steps * r;
}

uint64_t CaretAfterHit(uint64_t window, uint64_t readSize, uint64_t match, uint64_t patternLength) {
    const uint64_t rows = readSize / 16;
    const uint64_t last = match + patternLength - 1;
    // No row of the page holds the selection's start: the caret goes to the
    // cell of its last byte.
    if (rows == 0 || (match - window) / 16 + 1 > rows) return last;
    // The selection runs past the page: its end is clipped to the last row,
    // whose caret cell (after the last byte's digits) stands for that row's start.
    if ((last - window) / 16 + 1 > rows) return window + 16 * (rows - 1);
    return last;
}

// ---------------------------------------------------------------- engine

// Reads one block on a thread of its own while the engine scans the one
// before: a search through a file in the page cache then costs about what
// reading it costs. One read at a time; its buffer is swapped with the
// engine's when the engine comes to that block.
// Scans the starts [scan.from, scan.to] of the count bytes read at offset into
// buffer (fewer at the end of the file); returns where the pattern is found,
// counted from scan.from, or kNone.
size_t SearchEngine::ScanBlock(Matcher& matcher, const BlockScan& scan, const uint8_t* buffer,
                               uint64_t offset, uint64_t count) {
    const uint64_t n = matcher.Length();
    const uint64_t end = offset + count;
    if (end < scan.from + n) return kNone;
    const uint64_t top = std::min(scan.to, end - n);
    const uint8_t* at = buffer + (scan.from - offset);
    const size_t len = static_cast<size_t>(top - scan.from + n);
    const size_t found = scan.backward ? matcher.FindLast(at, len) : matcher.FindFirst(at, len);
    matcher.AddScanned(top - scan.from + 1);
    return found;
}

// The other thread of a long scan: reads the block after (or, backwards,
// before) the one the engine's thread reads, and scans it with a matcher of
// its own while the data is in its cache.
class SearchEngine::ReadAhead {
  public:
    explicit ReadAhead(const FileHandle& file) : file_(file) {}
    ~ReadAhead() {
        if (!thread_.joinable()) return;
        {
            const std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Starts reading count bytes at offset into a buffer of size bytes and
    // scanning them as scan with a copy of matcher. False when no thread can
    // be had.
    bool Start(uint64_t offset, uint64_t count, size_t size, const BlockScan& scan,
               const Matcher& matcher, uint64_t matcherGeneration) {
        Drop();
        if (!matcher_ || matcherGeneration != generation_) {
            matcher_ = std::make_unique<Matcher>(matcher);
            generation_ = matcherGeneration;
        }
        if (size > size_) {
            buffer_.reset();
            buffer_ = std::make_unique_for_overwrite<uint8_t[]>(size);
            size_ = size;
        }
        if (!thread_.joinable()) {
            try {
                thread_ = std::thread([this] { Run(); });
            } catch (const std::system_error&) {
                return false;
            }
        }
        offset_ = offset;
        count_ = count;
        scan_ = scan;
        found_ = kNone;
        pending_ = true;
        {
            const std::lock_guard lock(mutex_);
            busy_.store(true, std::memory_order_release);
        }
        changed_.notify_one();
        return true;
    }

    // When the read in hand is of count bytes at offset: waits for it, gives
    // its buffer to buffer (taking buffer's in exchange, at least size bytes)
    // and returns the bytes read, and where the scan found the pattern when
    // it was this scan. Otherwise drops the read and returns nothing.
    struct Taken {
        uint64_t got = 0;
        bool scanned = false;
        size_t found = kNone;  // from the scan's first start
    };
    std::optional<Taken> Take(uint64_t offset, uint64_t count, const BlockScan& scan,
                              std::unique_ptr<uint8_t[]>& buffer, size_t& size) {
        if (!pending_) return std::nullopt;
        Drop();
        if (offset != offset_ || count != count_) return std::nullopt;
        std::swap(buffer, buffer_);
        std::swap(size, size_);
        return Taken{got_, scan_ == scan, found_};
    }

    // Forgets the matcher's counts, as a new search does.
    void ResetMatcher() {
        Drop();
        if (matcher_) matcher_->Reset();
    }

    // Waits for the read in hand, if any, and forgets it.
    void Drop() {
        if (!pending_) return;
        pending_ = false;
        // A read of a block in the page cache takes a fraction of a
        // millisecond: waiting awake costs less than being woken.
        for (int spin = 0; spin < kSpins && busy_.load(std::memory_order_acquire); ++spin) {
            Pause(spin);
        }
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !busy_.load(std::memory_order_acquire); });
    }

  private:
    static constexpr int kSpins = 1 << 14;

    // One turn of a wait awake; now and then the processor is offered to
    // other threads, which on a busy machine may be the one waited for.
    static void Pause(int spin) {
        if (spin % 64 == 63) {
            std::this_thread::yield();
            return;
        }
#if defined(__SSE2__)
        _mm_pause();
#endif
    }

    void Run() {
        for (;;) {
            // The next request follows soon in a long scan: watch for it
            // awake for a while before sleeping.
            for (int spin = 0; spin < kSpins && !busy_.load(std::memory_order_acquire); ++spin) {
                Pause(spin);
            }
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return busy_.load() || quit_; });
                if (quit_) return;
            }
            got_ = file_.ReadAt(buffer_.get(), count_, offset_);
            found_ = ScanBlock(*matcher_, scan_, buffer_.get(), offset_, got_);
            {
                const std::lock_guard lock(mutex_);
                busy_.store(false, std::memory_order_release);
            }
            changed_.notify_one();
        }
    }

    const FileHandle& file_;
    std::mutex mutex_;
    std::condition_variable changed_;
    // The request and its result: the engine's between reads, the thread's
    // while busy_.
    std::unique_ptr<uint8_t[]> buffer_;
    size_t size_ = 0;
    uint64_t offset_ = 0;
    uint64_t count_ = 0;
    uint64_t got_ = 0;
    BlockScan scan_;
    size_t found_ = kNone;
    // The thread's copy of the engine's matcher (which the engine's thread
    // goes on using), made again for a new pattern.
    std::unique_ptr<Matcher> matcher_;
    uint64_t generation_ = 0;
    bool pending_ = false;           // the engine's: a read was started, not taken or dropped
    std::atomic<bool> busy_{false};  // the thread has a read to do, or is doing it
    bool quit_ = false;
    std::thread thread_;
};

SearchEngine::SearchEngine(const FileHandle& file, uint64_t fileLength)
    : SearchEngine(file, fileLength, Options()) {}

SearchEngine::SearchEngine(const FileHandle& file, uint64_t fileLength, Options options)
    : file_(file), length_(fileLength), options_(options) {
    options_.blockSize = std::max<size_t>(options_.blockSize, 1);
}

SearchEngine::~SearchEngine() = default;

void SearchEngine::SetPattern(std::vector<uint8_t> pattern) {
    pattern_ = std::move(pattern);
    patternHasData_ = std::any_of(pattern_.begin(), pattern_.end(), [](uint8_t b) { return b; });
    matcher_ = std::make_unique<Matcher>(pattern_, options_.verifyAllowance);
    matcher_->SetScan(vectorScan_);
    ++matcherGeneration_;
    const size_t need = options_.blockSize + (pattern_.empty() ? 0 : pattern_.size() - 1);
    if (need > bufferSize_) {
        buffer_.reset();
        buffer_ = std::make_unique_for_overwrite<uint8_t[]>(need);
        bufferSize_ = need;
    }
    InvalidateCache();
}

void SearchEngine::SetVectorScan(VectorScan scan) {
    vectorScan_ = scan;
    if (matcher_) matcher_->SetScan(scan);
    ++matcherGeneration_;
}

void SearchEngine::InvalidateCache() {
    cacheValid_ = false;
    cacheStart_ = cacheEnd_ = 0;
}

void SearchEngine::NoteWrite(uint64_t offset, const uint8_t* bytes, size_t count) {
    if (!cacheValid_) return;
    const uint64_t from = std::max(offset, cacheStart_);
    const uint64_t to = std::min(offset + count, cacheEnd_);
    if (from >= to) return;
    std::memcpy(buffer_.get() + (from - cacheStart_), bytes + (from - offset), to - from);
}

uint64_t SearchEngine::WantEnd(uint64_t start) const {
    return std::min(length_, start + options_.blockSize + pattern_.size() - 1);
}

// The length, block size and pattern stay as they are while a block is kept
// (a new pattern forgets it), so the kept block asked for WantEnd(cacheStart_).
SearchEngine::Loaded SearchEngine::LoadBlock(uint64_t b, const BlockScan& scan,
                                             std::optional<uint64_t> ahead,
                                             const BlockScan& aheadScan) {
    const uint64_t start = b * options_.blockSize;
    const uint64_t want = WantEnd(start) - start;
    const bool kept = cacheValid_ && cacheStart_ == start;
    std::optional<ReadAhead::Taken> taken;
    if (!kept && readAhead_) taken = readAhead_->Take(start, want, scan, buffer_, bufferSize_);
    Loaded loaded;
    if (taken && taken->scanned) {
        loaded.scanned = true;
        loaded.found = taken->found;
    }
    // The next block goes to the other thread before this thread reads, so
    // that both read at once; a block that came scanned leaves the next one
    // to this thread, so that the two take the blocks in turn, each scanning
    // what it read. Under the test seam's faults every read stays on this
    // thread, so that the fault budget counts them in order.
    if (ahead && !loaded.scanned && options_.blockSize >= options_.readAheadMin &&
        CurrentFileFaults() == nullptr) {
        const uint64_t next = *ahead * options_.blockSize;
        if (next < length_) {
            if (!readAhead_) readAhead_ = std::make_unique<ReadAhead>(file_);
            readAhead_->Start(next, WantEnd(next) - next, bufferSize_, aheadScan, *matcher_,
                              matcherGeneration_);
        }
    }
    if (!kept) {
        const uint64_t got = taken ? taken->got : file_.ReadAt(buffer_.get(), want, start);
        cacheStart_ = start;
        cacheEnd_ = start + got;
        cacheValid_ = true;
    }
    loaded.end = cacheEnd_;
    return loaded;
}

bool SearchEngine::HasData(uint64_t from, uint64_t to) const {
    return !options_.skipHoles || !patternHasData_ || NextData(from) <= to + pattern_.size() - 1;
}

void SearchEngine::DropReadAhead() {
    if (readAhead_) readAhead_->Drop();
}

uint64_t SearchEngine::NextData(uint64_t at) const {
    const off_t data = ::lseek(file_.fd(), static_cast<off_t>(at), SEEK_DATA);
    if (data >= 0) return static_cast<uint64_t>(data);
    return errno == ENXIO ? UINT64_MAX : at;
}

SearchEngine::Scan SearchEngine::FindFirstIn(uint64_t lo, uint64_t hi, const SearchPoll& poll,
                                             uint64_t& match) {
    const uint64_t n = pattern_.size();
    if (hi < lo || hi - lo < n) return Scan::None;
    const uint64_t first = lo;
    const uint64_t last = hi - n;  // the last start that fits
    const uint64_t k = options_.blockSize;
    const bool skip = options_.skipHoles && patternHasData_;
    bool scanning = false;  // a block of this scan went by without a match
    for (uint64_t b = first / k;; ++b) {
        const uint64_t start = b * k;
        const uint64_t from = std::max(first, start);
        const uint64_t to = std::min(last, start + k - 1);
        if (skip) {
            // No byte of data under this block's starts and the pattern's
            // bytes after them: on to the first start that reaches data.
            const uint64_t data = NextData(from);
            if (data > to + n - 1) {
                if (data == UINT64_MAX || data > last + n - 1) return Scan::None;
                const uint64_t next = data - (n - 1);
                if (poll && poll(next)) return Scan::Aborted;
                b = next / k - 1;
                continue;
            }
        }
        // A long scan reads and scans the next block on another thread while
        // it reads and scans this one (unless the next is all hole).
        const BlockScan scan{from, to, false};
        const BlockScan next{start + k, std::min(last, start + 2 * k - 1), false};
        const bool more = scanning && to < last && HasData(next.from, next.to);
        const Loaded loaded =
            LoadBlock(b, scan, more ? std::optional<uint64_t>(b + 1) : std::nullopt, next);
        const uint64_t end = loaded.end;
        scanning = true;
        const size_t at = loaded.scanned
                              ? loaded.found
                              : ScanBlock(*matcher_, scan, buffer_.get(), start, end - start);
        if (at != kNone) {
            match = from + at;
            return Scan::Found;
        }
        // A short read: the file ends earlier than it did.
        if (end < WantEnd(start) || to == last) return Scan::None;
        if (poll && poll(start + k)) return Scan::Aborted;
    }
}

SearchEngine::Scan SearchEngine::FindLastIn(uint64_t lo, uint64_t hi, const SearchPoll& poll,
                                            uint64_t& match) {
    const uint64_t n = pattern_.size();
    if (hi < lo || hi - lo < n) return Scan::None;
    const uint64_t first = lo;
    const uint64_t last = hi - n;
    const uint64_t k = options_.blockSize;
    const bool skip = options_.skipHoles && patternHasData_;
    bool scanning = false;  // a block of this scan went by without a match
    for (uint64_t b = last / k;; --b) {
        const uint64_t start = b * k;
        const uint64_t from = std::max(first, start);
        const uint64_t to = std::min(last, start + k - 1);
        if (skip && NextData(from) > to + n - 1) {  // all hole: nothing to read
            if (from == first) return Scan::None;
            if (poll && poll(start)) return Scan::Aborted;
            continue;
        }
        const BlockScan scan{from, to, true};
        const BlockScan next{std::max(first, start - k), start - 1, true};
        const bool more = scanning && from > first && HasData(next.from, next.to);
        const Loaded loaded =
            LoadBlock(b, scan, more ? std::optional<uint64_t>(b - 1) : std::nullopt, next);
        scanning = true;
        const size_t at =
            loaded.scanned ? loaded.found
                           : ScanBlock(*matcher_, scan, buffer_.get(), start, loaded.end - start);
        if (at != kNone) {
            match = from + at;
            return Scan::Found;
        }
        if (from == first) return Scan::None;
        if (poll && poll(start)) return Scan::Aborted;
    }
}

SearchResult SearchEngine::Find(const SearchRequest& request, const SearchPoll& poll) {
    SearchResult result;
    const uint64_t n = pattern_.size();
    const uint64_t s = length_;
    const uint64_t c = request.caret;
    if (s == 0 || n == 0 || request.readSize == 0 || n > request.readSize) return result;
    matcher_->Reset();
    if (readAhead_) readAhead_->ResetMatcher();
    // The part below the caret: everything before its byte, the whole file when
    // the caret stands past the end.
    const uint64_t below = std::min(c, s);
    const bool above = c < s - 1;  // bytes after the caret's
    uint64_t m = 0;
    Scan scan;
    if (!request.backward) {
        scan = above ? FindFirstIn(c + 1, s, poll, m) : Scan::None;
        if (scan == Scan::None) {
            scan = FindFirstIn(0, below, poll, m);
            result.wrapped = true;
        }
    } else {
        scan = FindLastIn(0, below, poll, m);
        if (scan == Scan::None && above) {
            scan = FindLastIn(c + 1, s, poll, m);
            result.wrapped = true;
        }
    }
    // A block read ahead and not reached: the file may be written before
    // the next search.
    DropReadAhead();
    if (scan == Scan::Aborted) {
        result.status = SearchResult::Aborted;
        result.wrapped = false;
        return result;
    }
    if (scan == Scan::None) {
        result.wrapped = false;
        return result;
    }
    result.status = SearchResult::Found;
    result.match = m;
    result.window = HitWindow(request, s, m, n);
    return result;
}

}  // namespace octile
