// octile-cli dump, end to end: the output must be the text FormatDump makes
// of the range, as UTF-8.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "charcode/charcode.h"
#include "cli_runner.h"
#include "dump/dump_format.h"
#include "resources/resources.h"
#include "util/utf.h"

namespace octile {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

using test::CliResult;

class CliDumpTest : public testing::Test {
  protected:
    CliResult Run(const std::vector<std::string>& args) { return test::RunCli(args, dir_.path()); }

    test::TempDir dir_;
};

// The listing the view would make of first..last (both included; last
// UINT64_MAX = to the end) of a file holding file, as UTF-8.
std::string Expected(const Bytes& file, uint64_t first, uint64_t last, int32_t code, bool upper) {
    DumpSettings s;
    s.extraDigits = ExtraDigitsForLength(file.size());
    s.upper = upper;
    s.charCode = code;
    const uint64_t stop =
        last == UINT64_MAX ? file.size() : std::min<uint64_t>(last + 1, file.size());
    const uint64_t count = first < stop ? stop - first : 0;
    Bytes buffer(count + 16, 0);
    for (uint64_t i = 0; i < count + 16 && first + i < file.size(); ++i)
        buffer[i] = file[first + i];
    return Utf16ToUtf8(FormatDump(s, first, buffer.data(), count, nullptr));
}

std::string Hex(uint64_t v) {
    std::ostringstream s;
    s << std::hex << v;
    return s.str();
}

// Bytes rich in lead bytes, EUC pairs, kana, controls and UTF-16 surrogates,
// with double-byte characters forced across the 64 KiB and 1 MiB boundaries.
Bytes MixedFile(size_t size) {
    std::mt19937 rng(99);
    const uint8_t pool[] = {0x41, 0x0A, 0x00, 0x82, 0xA0, 0x88, 0x9F, 0xA4, 0xA2, 0x8E, 0xB1,
                            0x8F, 0x80, 0xFF, 0x30, 0xD8, 0xDC, 0xE0, 0x40, 0x7F, 0x85};
    Bytes data(size);
    for (auto& b : data)
        b = rng() % 4 == 0 ? static_cast<uint8_t>(rng()) : pool[rng() % sizeof(pool)];
    for (const size_t boundary : {size_t{0x10000}, size_t{0x20000}, size_t{0x100000}}) {
        if (boundary + 1 >= size) continue;
        data[boundary - 1] = 0x82;  // Shift-JIS あ
        data[boundary] = 0xA0;
    }
    if (size > 0x10011 + 1) {  // EUC あ across a boundary counted from start 0x11
        data[0x10010] = 0xA4;
        data[0x10011] = 0xA2;
    }
    return data;
}

TEST_F(CliDumpTest, OutputIsFormatDumpOfTheRange) {
    const Bytes file = MixedFile(0x100000 + 0x4321);
    const fs::path path = dir_.Write("mixed.bin", file);
    struct Range {
        std::optional<uint64_t> start, end;
    };
    const Range ranges[] = {
        {std::nullopt, std::nullopt},
        {0x11, 0x2003F},    // unaligned start, lead byte at a block's edge
        {0xFFFF, 0x10000},  // one character, trail past the range's end
        {0x0, UINT64_MAX},  // sixteen F digits: to the end
        {0x1FFF5, std::nullopt},
        {file.size() - 1, std::nullopt},  // the last byte alone
        {0x100, uint64_t{1} << 40},       // end past the end of the file
    };
    const std::pair<const char*, int32_t> codes[] = {
        {"sjis", CODE_SJIS}, {"unicode", CODE_UNICODE}, {"jis", CODE_JIS}, {"euc", CODE_EUC}};
    for (const auto& [name, code] : codes) {
        for (const bool upper : {false, true}) {
            for (const Range& range : ranges) {
                std::vector<std::string> args = {"dump", path.string(), "--code", name};
                if (upper) args.push_back("--upper");
                if (range.start) args.insert(args.end(), {"--start", Hex(*range.start)});
                if (range.end) args.insert(args.end(), {"--end", Hex(*range.end)});
                SCOPED_TRACE(testing::PrintToString(args));
                const CliResult r = Run(args);
                ASSERT_EQ(r.status, 0) << r.err;
                EXPECT_EQ(r.err, "");
                const std::string expected = Expected(file, range.start.value_or(0),
                                                      range.end.value_or(UINT64_MAX), code, upper);
                ASSERT_TRUE(r.out == expected)
                    << "output differs, " << r.out.size() << " vs " << expected.size() << " bytes";
            }
        }
    }
}

TEST_F(CliDumpTest, DefaultsAreShiftJisLowerCaseWholeFile) {
    const Bytes file = {'O', 'k', 0x82, 0xA0, 0x0A};
    const CliResult r = Run({"dump", dir_.Write("small.bin", file)});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(
        r.out,
        "--------|-0--1--2--3--4--5--6--7--8--9--A--B--C--D--E--F-|---0123456789ABCDEF\r\n"
        "00000000|4f 6b 82 a0 0a " +
            std::string(33, ' ') +
            "|   Okあ.           \r\n"
            "--------|------------------------------------------------|-------------------\r\n");
}

TEST_F(CliDumpTest, LoneSurrogatesBecomeReplacementCharacters) {
    // U+D83D U+DE00 form a pair; a lone U+D800 becomes U+FFFD.
    const Bytes file = {0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xD8, 0x41, 0x00};
    const CliResult r = Run({"dump", dir_.Write("u16.bin", file), "--code", "unicode"});
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("|   \xF0\x9F\x98\x80\xEF\xBF\xBD"
                         "A "),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out, Expected(file, 0, UINT64_MAX, CODE_UNICODE, false));
}

TEST_F(CliDumpTest, SparseFileBeyond4GiBHasNineDigitAddresses) {
    const uint64_t length = (uint64_t{1} << 32) + 0x100;
    const fs::path path = dir_.File("sparse.bin");
    {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, static_cast<off_t>(length)), 0);
        const uint8_t tail[] = {'E', 'n', 'd', 0x88, 0x9F, 0x82};  // a lead byte last
        ASSERT_EQ(pwrite(fd, tail, sizeof(tail), static_cast<off_t>(length - sizeof(tail))),
                  static_cast<ssize_t>(sizeof(tail)));
        close(fd);
    }
    // Only the tail is compared: the expected text needs the bytes after start.
    const uint64_t start = length - 0x20;
    Bytes tailFile(0x20, 0);
    {
        const int fd = ::open(path.c_str(), O_RDONLY);
        ASSERT_EQ(pread(fd, tailFile.data(), tailFile.size(), static_cast<off_t>(start)), 0x20);
        close(fd);
    }
    const CliResult r = Run({"dump", path.string(), "--start", Hex(start), "--upper"});
    ASSERT_EQ(r.status, 0) << r.err;
    // The expected text of the tail, with the whole file's address width.
    DumpSettings s;
    s.extraDigits = 1;
    s.upper = true;
    tailFile.resize(0x20 + 16, 0);
    EXPECT_EQ(r.out, Utf16ToUtf8(FormatDump(s, start, tailFile.data(), 0x20, nullptr)));
    EXPECT_NE(r.out.find("\r\n1000000F0|00 00"), std::string::npos);
    EXPECT_NE(r.out.find("|   ..........End亜.\r\n"),
              std::string::npos);  // the lone lead: one cell

    const CliResult head = Run({"dump", path.string(), "--end", "1f"});
    ASSERT_EQ(head.status, 0);
    EXPECT_NE(head.out.find("\r\n000000000|00 00"), std::string::npos);
    EXPECT_NE(head.out.find("\r\n000000010|00 00"), std::string::npos);
}

TEST_F(CliDumpTest, EmptyOutputsAreRulerAndClosingRule) {
    const std::string ruler16 =
        std::string(16, '-') +
        "|-0--1--2--3--4--5--6--7--8--9--A--B--C--D--E--F-|---0123456789ABCDEF\r\n";
    const std::string closing16 =
        std::string(16, '-') +
        "|------------------------------------------------|-------------------\r\n";
    const CliResult empty = Run({"dump", dir_.Write("empty.bin", Bytes{})});
    ASSERT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, ruler16 + closing16);  // an empty file has 16-digit addresses

    const fs::path small = dir_.Write("small.bin", Bytes(0x20, 0x41));
    for (const char* start : {"20", "21", "ffffffffffffffff"}) {
        const CliResult r = Run({"dump", small.string(), "--start", start});
        ASSERT_EQ(r.status, 0) << start;
        EXPECT_EQ(r.out, std::string(8, '-') + ruler16.substr(16) + std::string(8, '-') +
                             closing16.substr(16))
            << start;
    }
}

TEST_F(CliDumpTest, RefusedRequestsExitWithTwo) {
    const fs::path file = dir_.Write("f.bin", Bytes(64, 0x41));
    const std::string rangeHex = Utf16ToUtf8(LoadString(IDS_RANGE_HEX)) + "\n";
    const std::string missing = dir_.File("missing.bin");
    struct Case {
        std::vector<std::string> args;
        std::string err;  // the whole of stderr, or empty for a usage message
    };
    const Case cases[] = {
        {{"dump", file.string(), "--start", "zz"}, rangeHex},
        {{"dump", file.string(), "--start", " 1"}, rangeHex},
        {{"dump", file.string(), "--start", "-1"}, rangeHex},
        {{"dump", file.string(), "--end", "\xEF\xBC\x91"}, rangeHex},  // full-width 1
        {{"dump", file.string(), "--end", "00000000000000001"}, rangeHex},
        {{"dump", file.string(), "--start", "20", "--end", "1f"}, rangeHex},
        {{"dump", missing},
         Utf16ToUtf8(ReplacePercent1(LoadString(AFX_IDP_FILE_NOT_FOUND), Utf8ToUtf16(missing))) +
             "\n"},
        {{"dump", dir_.path()},
         Utf16ToUtf8(
             ReplacePercent1(LoadString(AFX_IDP_FILE_ACCESS_DENIED), Utf8ToUtf16(dir_.path()))) +
             "\n"},
        {{"dump", file.string(), "--code", "utf8"}, ""},
        {{"dump", file.string(), "--bogus"}, ""},
        {{"dump", file.string(), "--start"}, ""},
        {{"dump", file.string(), "--upper=1"}, ""},
        {{"dump"}, ""},
        {{"dump", file.string(), file.string()}, ""},
        {{"nosuchcommand"}, ""},
        {{}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const CliResult r = Run(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        if (c.err.empty()) {
            EXPECT_NE(r.err.find("usage"), std::string::npos) << r.err;
        } else {
            EXPECT_EQ(r.err, c.err);
        }
    }
}

}  // namespace
}  // namespace octile
