#include "compare/compare.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>

#include "fake_host.h"
#include "temp_dir.h"
#include "util/utf.h"

namespace octile {
namespace {

using test::TempDir;

std::string Bytes(std::initializer_list<int> v) {
    std::string s;
    for (int b : v) s.push_back(static_cast<char>(b));
    return s;
}

// The report as reading 16 bytes at a time would make it: an independent
// model of the rules, used to check the block-reading implementation.
std::string ModelReport(const std::string& oldPath, const std::string& newPath,
                        const std::string& a, const std::string& b) {
    char head[512];
    std::snprintf(head, sizeof head, "          %-48s  %-48s\n", oldPath.c_str(), newPath.c_str());
    std::string out = head;
    int lines = 0;
    for (size_t o = 0;; o += 16) {
        const size_t t = o < a.size() ? std::min<size_t>(16, a.size() - o) : 0;
        const size_t u = o < b.size() ? std::min<size_t>(16, b.size() - o) : 0;
        if (t == 0 && u == 0) break;
        bool differs = t != u;
        for (size_t j = 0; j < t && !differs; ++j) differs = a[o + j] != b[o + j];
        if (!differs) continue;
        char buf[16];
        std::snprintf(buf, sizeof buf, "%08x: ", static_cast<unsigned>(o));
        out += buf;
        for (size_t j = 0; j < 16; ++j) {
            if (j < t) {
                std::snprintf(buf, sizeof buf, "%02x ", static_cast<unsigned char>(a[o + j]));
                out += buf;
            } else {
                out += "   ";
            }
        }
        out += "  ";
        for (size_t j = 0; j < u; ++j) {
            if (j < t && a[o + j] == b[o + j]) {
                out += " . ";
            } else {
                std::snprintf(buf, sizeof buf, "%02x ", static_cast<unsigned char>(b[o + j]));
                out += buf;
            }
        }
        out += "\n";
        if (++lines > 64) break;
    }
    return lines == 0 ? "同じです\n" : out;
}

std::string Report(const std::string& oldPath, const std::string& newPath) {
    std::u16string r;
    EXPECT_EQ(CompareFiles(oldPath, newPath, r), COMPARE_OK);
    return Utf16ToUtf8(r);
}

TEST(Compare, SmallCasesLineByLine) {
    TempDir dir;
    const std::string o = dir.Write("o", Bytes({0x41, 0x42, 0x43}));
    const std::string n = dir.Write("n", Bytes({0x41, 0x58, 0x43, 0x44}));
    const std::string report = Report(o, n);
    const std::string line = report.substr(report.find('\n') + 1);
    EXPECT_EQ(line, "00000000: 41 42 43 " + std::string(13 * 3, ' ') + "   . 58  . 44 \n");

    const std::string o2 = dir.Write("o2", Bytes({0x41, 0x42}));
    const std::string n2 = dir.Write("n2", Bytes({0x41, 0x42, 0, 0}));
    const std::string r2 = Report(o2, n2);
    EXPECT_EQ(r2.substr(r2.find('\n') + 1),
              "00000000: 41 42 " + std::string(14 * 3, ' ') + "   .  . 00 00 \n");
    EXPECT_EQ(Report(o, o), "同じです\n");
    EXPECT_EQ(Report(dir.Write("e1", ""), dir.Write("e2", "")), "同じです\n");
}

TEST(Compare, HeadingPadsPathsTo48) {
    TempDir dir;
    const std::string shortPath = dir.Write("a", "x");
    const std::string longPath = dir.Write(std::string(60, 'L'), "y");
    const std::string r = Report(shortPath, longPath);
    EXPECT_EQ(r.substr(0, r.find('\n') + 1),
              ModelReport(shortPath, longPath, "x", "y").substr(0, r.find('\n') + 1));
    EXPECT_EQ(r.find(longPath), 10 + std::max<size_t>(48, shortPath.size()) + 2);
}

TEST(Compare, AgreesWithTheSixteenByteModel) {
    TempDir dir;
    std::mt19937 rng(7);
    struct Case {
        size_t oldSize, newSize;
        int changes;
    } cases[] = {
        {0, 5, 0},
        {5, 0, 0},
        {16, 16, 1},
        {17, 33, 0},
        {3 << 20, 3 << 20, 3},              // differences in separate chunks
        {(1 << 20) + 5, (1 << 20) + 9, 1},  // lengths differ just past a chunk
        {2 << 20, (2 << 20) - 16, 0},
        {4096, 4096, 400},  // every block differs: cut after 65 lines
    };
    for (const Case& c : cases) {
        std::string a(c.oldSize, '\0');
        for (char& ch : a) ch = static_cast<char>(rng());
        std::string b = a.substr(0, std::min(c.oldSize, c.newSize));
        while (b.size() < c.newSize) b.push_back(static_cast<char>(rng()));
        for (int i = 0; i < c.changes && !b.empty(); ++i) b[rng() % b.size()] ^= 0x5A;
        const std::string o = dir.Write("old", a), n = dir.Write("new", b);
        EXPECT_EQ(Report(o, n), ModelReport(o, n, a, b)) << c.oldSize << " " << c.newSize;
    }
}

TEST(Compare, EveryBlockDiffersStopsAfter65Lines) {
    TempDir dir;
    const std::string o = dir.Write("o", std::string(0x2000, 'a'));
    const std::string n = dir.Write("n", std::string(0x2000, 'b'));
    const std::string r = Report(o, n);
    EXPECT_EQ(std::count(r.begin(), r.end(), '\n'), 66);
    EXPECT_NE(r.find("\n00000400: "), std::string::npos);
    EXPECT_EQ(r.find("\n00000410: "), std::string::npos);
}

TEST(Compare, OffsetsBeyond4GiBShowTheirLow32Bits) {
    TempDir dir;
    const uint64_t size = (4ull << 30) + 0x40;
    const std::string o = dir.File("o"), n = dir.File("n");
    for (const std::string& p : {o, n}) {
        const int fd = ::open(p.c_str(), O_CREAT | O_RDWR, 0644);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
        if (p == n) {
            const char x = 1;
            ASSERT_EQ(::pwrite(fd, &x, 1, static_cast<off_t>(size - 0x20)), 1);
        }
        ::close(fd);
    }
    const std::string r = Report(o, n);
    EXPECT_NE(r.find("\n00000020: 00 "), std::string::npos) << r;
}

TEST(Compare, HolesCompareAsZeros) {
    TempDir dir;
    const uint64_t size = (3 << 20) + 40;
    const std::string sparse = dir.File("sparse");
    const int fd = ::open(sparse.c_str(), O_CREAT | O_RDWR, 0644);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
    ASSERT_EQ(::pwrite(fd, "data", 4, 1 << 20), 4);
    ::close(fd);
    std::string dense(size, '\0');
    dense.replace(1 << 20, 4, "data");
    const std::string same = dir.Write("dense", dense);
    EXPECT_EQ(Report(sparse, same), "同じです\n");
    dense[size - 3] = 'z';  // a difference in the last, short block
    const std::string differ = dir.Write("dense2", dense);
    EXPECT_EQ(
        Report(sparse, differ),
        ModelReport(sparse, differ, std::string(size, '\0').replace(1 << 20, 4, "data"), dense));
}

TEST(Compare, UnopenableFiles) {
    TempDir dir;
    const std::string there = dir.Write("t", "x");
    std::u16string r;
    EXPECT_EQ(CompareFiles(dir.File("none"), there, r), COMPARE_NO_OLD);
    EXPECT_EQ(CompareFiles(there, dir.path(), r), COMPARE_NO_NEW);  // a folder
    EXPECT_EQ(CompareOpenFailure(COMPARE_NO_OLD, "/x"), u"旧ファイル/xがありません");
    EXPECT_EQ(CompareOpenFailure(COMPARE_NO_NEW, "/y"), u"新ファイル/yがありません");
}

}  // namespace
}  // namespace octile
