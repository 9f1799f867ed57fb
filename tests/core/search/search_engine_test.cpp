#include "search/search_engine.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "search_reference.h"
#include "temp_dir.h"

namespace octile {
namespace {

using test::ReferenceHit;
using test::ReferenceWalk;
using test::TempDir;

using Bytes = std::vector<uint8_t>;

// The candidate scans: the widest the processor has, SSE2's, and memchr's.
constexpr SearchEngine::VectorScan kScans[] = {SearchEngine::VectorScan::Widest,
                                               SearchEngine::VectorScan::Sse2,
                                               SearchEngine::VectorScan::None};

class EngineFile {
  public:
    EngineFile(const TempDir& dir, const Bytes& bytes) : bytes_(bytes) {
        OpenError error;
        file_ = FileHandle::Open(dir.Write("f.bin", bytes), FileHandle::ReadOnly, &error);
    }
    ReferenceHit Find(const Bytes& pattern, uint64_t caret, uint64_t window, uint64_t readSize,
                      bool backward, SearchEngine::Options options = {},
                      SearchEngine::VectorScan scan = SearchEngine::VectorScan::Widest) {
        SearchEngine engine(file_, bytes_.size(), options);
        engine.SetVectorScan(scan);
        engine.SetPattern(pattern);
        const SearchResult r = engine.Find({caret, window, readSize, backward});
        if (r.status != SearchResult::Found) return {};
        return {true, r.match, r.window};
    }
    const FileHandle& file() const { return file_; }

  private:
    Bytes bytes_;
    FileHandle file_;
};

// Hand-worked cases from the edge cases of the search, checked against both
// the engine and the reference walk.
TEST(SearchEngine, WorkedCases) {
    struct Case {
        const char* what;
        size_t size;
        std::vector<std::pair<uint64_t, Bytes>> plant;
        Bytes pattern;
        uint64_t caret, window, readSize;
        bool backward;
        ReferenceHit expected;
    };
    const Bytes kAAB{0x41, 0x41, 0x42};
    const std::vector<Case> cases = {
        {"the caret's own byte is never examined", 64, {{20, kAAB}}, kAAB, 20, 16, 16, false, {}},
        {"and backwards neither", 64, {{20, kAAB}}, kAAB, 20, 16, 16, true, {}},
        {"a match ending on the caret's byte is skipped",
         64,
         {{18, kAAB}},
         kAAB,
         20,
         16,
         16,
         true,
         {}},
        {"a partial match across a window does not hide one inside it",
         32,
         {{14, {0x41, 0x41, 0x41, 0x42}}},
         kAAB,
         0,
         0,
         16,
         false,
         {true, 15, 15}},
        {"a forward hit inside its window shows that window",
         64,
         {{40, kAAB}},
         kAAB,
         3,
         0,
         16,
         false,
         {true, 40, 32}},
        {"backward across a window boundary shows the first byte's window",
         64,
         {{30, kAAB}},
         kAAB,
         60,
         48,
         16,
         true,
         {true, 30, 16}},
        {"from the last byte of a 32-byte file the search starts at 0",
         32,
         {{0, kAAB}},
         kAAB,
         31,
         16,
         16,
         false,
         {true, 0, 0}},
        {"wrapped forward hits sit on the grid from 0",
         100,
         {{50, kAAB}},
         kAAB,
         70,
         64,
         32,
         false,
         {true, 50, 32}},
        {"backward bytes below the last grid window are searched",
         64,
         {{2, kAAB}},
         kAAB,
         45,
         40,
         16,
         true,
         {true, 2, 0}},
        {"backward from 0 scans down to byte 1", 64, {{0, kAAB}}, kAAB, 0, 0, 16, true, {}},
        {"backward from 0 finds byte 1", 64, {{1, kAAB}}, kAAB, 0, 0, 16, true, {true, 1, 0}},
        {"backward wrap reaches the last bytes of a ragged file",
         37,
         {{34, kAAB}},
         kAAB,
         0,
         0,
         16,
         true,
         {true, 34, 32}},
        {"backward from past the last line includes byte 0",
         20,
         {{0, kAAB}},
         kAAB,
         32,
         17,
         16,
         true,
         {true, 0, 0}},
        {"forward from past the end searches the whole file",
         20,
         {{17, kAAB}},
         kAAB,
         25,
         16,
         16,
         false,
         {true, 17, 16}},
        {"bytes 80-FF backwards", 50, {{7, {0xFF}}}, {0xFF}, 40, 32, 16, true, {true, 7, 0}},
        {"a file smaller than the read size without the pattern",
         40,
         {},
         kAAB,
         5,
         0,
         256,
         true,
         {}},
        {"an empty file", 0, {}, kAAB, 0, 0, 256, false, {}},
        {"a read size of 0", 64, {{40, kAAB}}, kAAB, 0, 0, 0, false, {}},
        {"a pattern longer than the read size", 64, {{40, kAAB}}, kAAB, 0, 0, 2, false, {}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        Bytes bytes(c.size, 0x20);
        for (const auto& [at, b] : c.plant) std::copy(b.begin(), b.end(), bytes.begin() + at);
        EngineFile f(dir, bytes);
        for (size_t block : {size_t{1}, size_t{7}, size_t{4096}}) {
            SearchEngine::Options options;
            options.blockSize = block;
            EXPECT_EQ(f.Find(c.pattern, c.caret, c.window, c.readSize, c.backward, options),
                      c.expected)
                << c.what << ", block " << block;
        }
        EXPECT_EQ(ReferenceWalk(bytes, c.pattern, c.caret, c.window, c.readSize, c.backward),
                  c.expected)
            << c.what << " (walk)";
    }
}

// The engine against the walk on generated files: small alphabets so that
// partial matches abound, patterns planted across window and block boundaries,
// every caret and window on the page, both directions, several block sizes,
// with and without SSE2 and with the linear-time fallback forced.
TEST(SearchEngine, AgreesWithTheWalk) {
    std::mt19937_64 rng(20240611);
    auto pick = [&](uint64_t lo, uint64_t hi) {  // inclusive
        return std::uniform_int_distribution<uint64_t>(lo, hi)(rng);
    };
    const uint64_t kReadSizes[] = {16, 17, 20, 32, 48, 100, 256};
    const size_t kBlocks[] = {1, 2, 3, 5, 16, 61, 4096};
    const uint8_t kAlphabet[] = {0x41, 0x42, 0x00, 0xFF, 0x80};
    int found = 0, total = 0;
    for (int fileCase = 0; fileCase < 400; ++fileCase) {
        TempDir dir;
        const uint64_t size = fileCase % 10 == 0  ? pick(0, 3)
                              : fileCase % 7 == 0 ? pick(1000, 5000)
                                                  : pick(1, 400);
        const size_t letters = pick(2, 5);
        Bytes bytes(size);
        for (auto& b : bytes) b = kAlphabet[pick(0, letters - 1)];
        const uint64_t readSize = kReadSizes[pick(0, std::size(kReadSizes) - 1)];
        const size_t block = kBlocks[pick(0, std::size(kBlocks) - 1)];
        // Patterns: random letters, most of them planted next to a
        // window or block boundary.
        std::vector<Bytes> patterns;
        for (int k = 0; k < 4; ++k) {
            const uint64_t n = pick(1, std::min<uint64_t>(readSize, k == 0 ? 40 : 6));
            Bytes p(n);
            for (auto& b : p) b = kAlphabet[pick(0, letters - 1)];
            patterns.push_back(p);
            if (size > n) {
                const uint64_t unit = k % 2 == 0 ? readSize : block;
                const uint64_t boundary = unit * pick(0, size / unit);
                const uint64_t at = std::min(size - n, boundary - std::min(boundary, pick(0, n)));
                std::copy(p.begin(), p.end(), bytes.begin() + at);
            }
        }
        EngineFile f(dir, bytes);
        for (int search = 0; search < 16; ++search) {
            const Bytes& pattern = patterns[pick(0, patterns.size() - 1)];
            const uint64_t window = size == 0 ? 0 : pick(0, size - 1);
            const uint64_t valid = size == 0 ? 0 : std::min(readSize, size - window);
            const uint64_t page = std::max<uint64_t>(16, (valid + 15) / 16 * 16);
            const uint64_t caret = window + pick(0, std::min(readSize, page) - 1);
            const bool backward = search % 2 == 1;
            SearchEngine::Options options;
            options.blockSize = block;
            if (search % 4 == 3) options.verifyAllowance = 0;
            // Some scans read ahead, small blocks and all.
            if (fileCase % 8 == 1 && block >= 16) options.readAheadMin = 1;
            const SearchEngine::VectorScan scan = kScans[search % 3];
            const ReferenceHit expected =
                ReferenceWalk(bytes, pattern, caret, window, readSize, backward);
            ASSERT_EQ(f.Find(pattern, caret, window, readSize, backward, options, scan), expected)
                << "size " << size << " caret " << caret << " window " << window << " read size "
                << readSize << " block " << block << " pattern length " << pattern.size()
                << " scan " << search % 3 << (backward ? " backward" : " forward");
            found += expected.found;
            ++total;
        }
    }
    // The generator must give both outcomes plenty of times.
    EXPECT_GT(found, total / 4);
    EXPECT_LT(found, total * 3 / 4 + total / 8);
}

// A sparse file: its holes are passed over without being read, and every
// search finds what reading them would have found, for patterns with leading
// or trailing zeros that reach from a hole into data, and for patterns of
// zeros alone, which lie inside the holes.
TEST(SearchEngine, HolesAreSkippedWithTheSameHits) {
    TempDir dir;
    constexpr uint64_t kSize = 8 << 20;
    const std::string path = dir.Sparse("sparse.bin", kSize);
    ASSERT_FALSE(path.empty());
    OpenError error;
    FileHandle file = FileHandle::Open(path, FileHandle::ReadWrite, &error);
    ASSERT_TRUE(file.IsOpen());
    // Islands of data between holes, one on a block boundary of the search.
    const uint64_t islands[] = {0x3000, 0x100000 - 0x1000, 0x5F0000, kSize - 0x1000};
    const Bytes island = [] {
        Bytes b(0x1000, 0x41);
        b[0] = 0x42;  // the island's first byte
        b[0x777] = 0x43;
        b[0xFFF] = 0x44;  // its last byte
        return b;
    }();
    for (uint64_t at : islands)
        ASSERT_EQ(file.WriteAt(island.data(), island.size(), at), island.size());
    const Bytes patterns[] = {
        {0x42}, {0x00, 0x00, 0x42}, {0x44, 0x00},
        {0x43}, {0x00, 0x00},       {0x44, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x42}};
    const uint64_t carets[] = {0, 0x2FFF, 0x3000, 0x4000, 0x100000, 0x5F0777, kSize - 1};
    for (const Bytes& pattern : patterns) {
        for (uint64_t caret : carets) {
            for (bool backward : {false, true}) {
                const SearchRequest request{caret, caret / 0x1000 * 0x1000, 0x1000, backward};
                SearchEngine::Options reading;
                reading.skipHoles = false;
                SearchEngine skipping(file, kSize), reader(file, kSize, reading);
                skipping.SetPattern(pattern);
                reader.SetPattern(pattern);
                const SearchResult a = skipping.Find(request);
                const SearchResult b = reader.Find(request);
                EXPECT_EQ(a.status, b.status) << caret << (backward ? " backward" : " forward");
                EXPECT_EQ(a.match, b.match) << caret << (backward ? " backward" : " forward");
                EXPECT_EQ(a.window, b.window);
            }
        }
    }
}

// 64 GiB of holes with two islands: a search passes the holes in an instant
// (read block by block it would not finish within the test's time limit).
TEST(SearchEngine, FindsDataAcrossAHugeSparseFile) {
    TempDir dir;
    constexpr uint64_t kSize = uint64_t{64} << 30;
    const std::string path = dir.Sparse("huge.bin", kSize);
    if (path.empty()) GTEST_SKIP() << "no sparse files here";
    OpenError error;
    FileHandle file = FileHandle::Open(path, FileHandle::ReadWrite, &error);
    const uint8_t mark[] = {'O', 'c', 't'};
    const uint64_t near = uint64_t{5} << 30, far = kSize - 100;
    ASSERT_EQ(file.WriteAt(mark, 3, near), 3u);
    ASSERT_EQ(file.WriteAt(mark, 3, far), 3u);
    SearchEngine engine(file, kSize);
    engine.SetPattern({'O', 'c', 't'});
    const SearchResult forward = engine.Find({0, 0, 0x1000, false});
    ASSERT_EQ(forward.status, SearchResult::Found);
    EXPECT_EQ(forward.match, near);
    const SearchResult next = engine.Find({near, near / 0x1000 * 0x1000, 0x1000, false});
    EXPECT_EQ(next.match, far);
    const SearchResult backward = engine.Find({far, far / 0x1000 * 0x1000, 0x1000, true});
    EXPECT_EQ(backward.match, near);
    const SearchResult wrapped = engine.Find({far, far / 0x1000 * 0x1000, 0x1000, false});
    EXPECT_TRUE(wrapped.wrapped);
    EXPECT_EQ(wrapped.match, near);
}

// Read sizes below 16 (the read-size dialog accepts them): the occurrence is
// the one the definition gives, and its window holds its first byte (or is
// the first window, from which a caret past its R bytes searches down).
TEST(SearchEngine, ReadSizesBelow16) {
    std::mt19937 rng(5);
    for (int round = 0; round < 200; ++round) {
        TempDir dir;
        Bytes bytes(1 + rng() % 60);
        for (auto& b : bytes) b = static_cast<uint8_t>(rng() % 2);
        EngineFile f(dir, bytes);
        const uint64_t size = bytes.size();
        const uint64_t readSize = 1 + rng() % 15;
        const Bytes pattern = {static_cast<uint8_t>(rng() % 2), static_cast<uint8_t>(rng() % 2)};
        if (pattern.size() > readSize) continue;
        const uint64_t window = rng() % size;
        const uint64_t caret = window + rng() % 16;
        const bool backward = round % 2 == 1;
        // The definition, by brute force.
        const auto at = [&](uint64_t m) {
            return m + 2 <= size && bytes[m] == pattern[0] && bytes[m + 1] == pattern[1];
        };
        const uint64_t below = std::min(caret, size);
        std::optional<uint64_t> m;
        if (!backward) {
            for (uint64_t k = caret + 1; !m && k + 2 <= size; ++k)
                if (at(k)) m = k;
            for (uint64_t k = 0; !m && k + 2 <= below; ++k)
                if (at(k)) m = k;
        } else {
            for (uint64_t k = below; !m && k >= 2; --k)
                if (at(k - 2)) m = k - 2;
            for (uint64_t k = size; !m && k >= 2 && k - 2 > caret; --k)
                if (at(k - 2)) m = k - 2;
        }
        const ReferenceHit hit = f.Find(pattern, caret, window, readSize, backward);
        ASSERT_EQ(hit.found, m.has_value()) << round;
        if (!m) continue;
        EXPECT_EQ(hit.match, *m) << round;
        EXPECT_LE(hit.window, hit.match) << round;
        EXPECT_TRUE(hit.match < hit.window + readSize || hit.window == window) << round;
    }
}

// A repetitive pattern in repetitive bytes: the linear-time matcher takes
// over and still finds exactly the walk's occurrence.
TEST(SearchEngine, RepetitiveBytes) {
    TempDir dir;
    Bytes bytes(3000, 'a');
    bytes[10] = 'b';
    bytes[2500] = 'b';
    EngineFile f(dir, bytes);
    Bytes pattern(200, 'a');
    pattern.back() = 'b';
    for (bool backward : {false, true}) {
        for (const SearchEngine::VectorScan scan : kScans) {
            SearchEngine::Options options;
            options.blockSize = 64;
            const ReferenceHit hit = f.Find(pattern, 1500, 1488, 256, backward, options, scan);
            EXPECT_EQ(hit, ReferenceWalk(bytes, pattern, 1500, 1488, 256, backward));
            EXPECT_EQ(hit.match, 2301u);
        }
    }
}

TEST(SearchEngine, PollStopsTheScanAndSeesItsProgress) {
    TempDir dir;
    const Bytes bytes(64 * 1024, 0x11);
    EngineFile f(dir, bytes);
    for (bool backward : {false, true}) {
        SearchEngine::Options options;
        options.blockSize = 1024;
        SearchEngine engine(f.file(), bytes.size(), options);
        engine.SetPattern({0x22, 0x33});
        std::vector<uint64_t> seen;
        const SearchResult r = engine.Find({0x8000, 0x8000, 256, backward}, [&](uint64_t position) {
            seen.push_back(position);
            return seen.size() == 3;
        });
        EXPECT_EQ(r.status, SearchResult::Aborted);
        ASSERT_EQ(seen.size(), 3u);
        // Block by block away from the caret.
        const std::vector<uint64_t> expected = backward
                                                   ? std::vector<uint64_t>{0x7C00, 0x7800, 0x7400}
                                                   : std::vector<uint64_t>{0x8400, 0x8800, 0x8C00};
        EXPECT_EQ(seen, expected);
    }
}

TEST(SearchEngine, KeptBlockFollowsWrites) {
    TempDir dir;
    Bytes bytes(100, 0);
    for (uint64_t at : {10, 40, 70}) bytes[at] = 0x7E;
    EngineFile f(dir, bytes);
    OpenError error;
    const FileHandle writer = FileHandle::Open(dir.File("f.bin"), FileHandle::ReadWrite, &error);
    ASSERT_TRUE(writer.IsOpen());
    SearchEngine engine(f.file(), bytes.size());
    engine.SetPattern({0x7E});
    const SearchRequest from0{0, 0, 256, false};
    EXPECT_EQ(engine.Find(from0).match, 10u);
    const uint8_t blank = 0x20;
    writer.WriteAt(&blank, 1, 10);
    // The engine keeps its block: told of the write it moves on to the next.
    engine.NoteWrite(10, &blank, 1);
    EXPECT_EQ(engine.Find(from0).match, 40u);
    writer.WriteAt(&blank, 1, 40);
    engine.InvalidateCache();
    EXPECT_EQ(engine.Find(from0).match, 70u);
}

TEST(SearchEngine, CaretAfterHit) {
    struct Case {
        uint64_t window, readSize, match, length, caret;
    };
    const Case cases[] = {
        {0x100, 0x100, 0x120, 4, 0x123},     // inside the page: the last byte
        {0x100, 0x100, 0x1F0, 0x20, 0x1F0},  // runs past the page: start of the last row
        {0x100, 0x100, 0x1FE, 2, 0x1FF},     // ends on the page's last byte
        {0x100, 0x14, 0x110, 3, 0x112},      // read size 20: starts below the last whole row
        {0x100, 0x8, 0x100, 2, 0x101},       // no whole row on the page
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CaretAfterHit(c.window, c.readSize, c.match, c.length), c.caret)
            << std::hex << c.match;
    }
}

}  // namespace
}  // namespace octile
