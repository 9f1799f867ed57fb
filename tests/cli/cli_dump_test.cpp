// octile-cli dump, end to end: the output must be the text FormatDump makes
// of the range, as UTF-8, with LF line ends (CR LF with --crlf), from a file
// or from a stream.
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

// The listing as the tool prints it: a bidirectional override or isolate
// of the Unicode column (U+202A to U+202E, U+2066 to U+2069) as ". " over its
// two cells, and with --crlf the lines' own ends, else LF.
std::string Shown(const std::string& text, bool crlf = false) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        // Those characters' UTF-8 forms begin with E2.
        const char16_t u = text[i] == '\xE2' ? Utf8ToUtf16(text.substr(i, 3))[0] : 0;
        if ((u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069)) {
            out += ". ";
            i += 2;
        } else if (text[i] != '\r' || crlf) {
            out += text[i];
        }
    }
    return out;
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
    const std::pair<const char*, int32_t> codes[] = {{"sjis", CODE_SJIS},
                                                     {"unicode", CODE_UNICODE},
                                                     {"jis", CODE_JIS},
                                                     {"euc", CODE_EUC},
                                                     {"utf8", CODE_UTF8}};
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
                ASSERT_TRUE(r.out == Shown(expected))
                    << "output differs, " << r.out.size() << " vs " << expected.size() << " bytes";
                // --crlf: the listing's own line ends, byte for byte.
                if (range.start == 0x11u) {
                    args.push_back("--crlf");
                    EXPECT_TRUE(Run(args).out == Shown(expected, true)) << "--crlf output differs";
                }
            }
        }
    }
}

// Standard input by "-" and by name, and a file given as standard input: the
// listing of the same bytes, read as they arrive. A stream's addresses are
// eight digits wide, as those of a file under 4 GiB.
TEST_F(CliDumpTest, StreamsAreListedAsTheirBytes) {
    const Bytes file = MixedFile(0x100000 + 0x4321);
    const std::string input(file.begin(), file.end());
    struct Range {
        std::optional<uint64_t> start, end;
    };
    const Range ranges[] = {
        {std::nullopt, std::nullopt},    {0x11, 0x2003F},
        {0x1FFF5, std::nullopt},         {0x100, uint64_t{1} << 40},  // past the end of the stream
        {file.size() - 1, std::nullopt},
    };
    const std::pair<const char*, int32_t> codes[] = {
        {"sjis", CODE_SJIS}, {"unicode", CODE_UNICODE}, {"euc", CODE_EUC}, {"utf8", CODE_UTF8}};
    for (const char* name : {"-", "/dev/stdin"}) {
        for (const auto& [code, value] : codes) {
            for (const Range& range : ranges) {
                std::vector<std::string> args = {"dump", name, "--code", code};
                if (range.start) args.insert(args.end(), {"--start", Hex(*range.start)});
                if (range.end) args.insert(args.end(), {"--end", Hex(*range.end)});
                SCOPED_TRACE(testing::PrintToString(args));
                const CliResult r = test::RunCli(args, dir_.path(), {.input = input});
                ASSERT_EQ(r.status, 0) << r.err;
                ASSERT_TRUE(r.out == Shown(Expected(file, range.start.value_or(0),
                                                    range.end.value_or(UINT64_MAX), value, false)))
                    << "output differs";
            }
        }
    }
    // A start past the end of a stream: the ruler and the closing rule.
    const CliResult past =
        test::RunCli({"dump", "-", "--start", "10"}, dir_.path(), {.input = "ab"});
    EXPECT_EQ(past.out, Shown(Expected(Bytes{'a', 'b'}, 0x10, UINT64_MAX, CODE_SJIS, false)));
    // A file as standard input is read as the file.
    const std::string path = dir_.Write("in.bin", file);
    const CliResult redirected = test::RunProgram(
        {"bash", "-c", "exec \"$0\" dump - --start 1fff5 < \"$1\"", OCTILE_CLI, path}, dir_.path(),
        {});
    EXPECT_TRUE(redirected.out == Shown(Expected(file, 0x1FFF5, UINT64_MAX, CODE_SJIS, false)));
}

// What a terminal would obey never reaches it: every C0 and C1 control, DEL
// and the bidirectional overrides and isolates show as "." in every code (a
// bidirectional control of the Unicode column as ". " over its two cells).
TEST_F(CliDumpTest, ControlsAndBidiControlsShowAsDots) {
    Bytes file;
    for (int b = 0; b < 256; ++b) file.push_back(static_cast<uint8_t>(b));
    const char32_t hidden[] = {0x1B,   0x7F,   0x85,   0x9B,   0x202A, 0x202B, 0x202C,
                               0x202D, 0x202E, 0x2066, 0x2067, 0x2068, 0x2069};
    for (const char32_t c : hidden) {  // UTF-16LE
        file.push_back(static_cast<uint8_t>(c & 0xFF));
        file.push_back(static_cast<uint8_t>(c >> 8));
    }
    for (const char32_t c : hidden) {  // UTF-8
        const std::string utf8 = Utf16ToUtf8(std::u16string(1, static_cast<char16_t>(c)));
        file.insert(file.end(), utf8.begin(), utf8.end());
    }
    const std::string path = dir_.Write("controls.bin", file);
    // Where the text holds a raw control: the offset and bytes, or "".
    const auto rawControl = [](const std::string& t) -> std::string {
        for (size_t i = 0; i < t.size(); ++i) {
            const auto b = static_cast<uint8_t>(t[i]);
            const auto next = [&](size_t k) {
                return i + k < t.size() ? static_cast<uint8_t>(t[i + k]) : 0;
            };
            const bool c0 = (b < 0x20 && b != '\n') || b == 0x7F;
            const bool c1 = b == 0xC2 && next(1) >= 0x80 && next(1) <= 0x9F;
            const bool bidi =
                b == 0xE2 && ((next(1) == 0x80 && next(2) >= 0xAA && next(2) <= 0xAE) ||
                              (next(1) == 0x81 && next(2) >= 0xA6 && next(2) <= 0xA9));
            if (c0 || c1 || bidi) return std::to_string(i) + ": " + t.substr(i, 3);
        }
        return "";
    };
    for (const char* code : {"sjis", "unicode", "jis", "euc", "utf8"}) {
        const CliResult r = Run({"dump", path, "--code", code});
        ASSERT_EQ(r.status, 0) << code;
        EXPECT_EQ(rawControl(r.out), "") << code;
    }
    // The Unicode column's line at 0x100: four controls, then U+202A to U+202D.
    const std::string unicode = Run({"dump", path, "--code", "unicode"}).out;
    const size_t line = unicode.find("\n00000100|");
    ASSERT_NE(line, std::string::npos);
    EXPECT_EQ(unicode.substr(unicode.find('|', line + 10), 21), "|   . . . . . . . . \n");
}

TEST_F(CliDumpTest, DefaultsAreShiftJisLowerCaseWholeFile) {
    const Bytes file = {'O', 'k', 0x82, 0xA0, 0x0A};
    const CliResult r = Run({"dump", dir_.Write("small.bin", file)});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(
        r.out,
        "--------|-0--1--2--3--4--5--6--7--8--9--A--B--C--D--E--F-|---0123456789ABCDEF\n"
        "00000000|4f 6b 82 a0 0a " +
            std::string(33, ' ') +
            "|   Okあ.           \n"
            "--------|------------------------------------------------|-------------------\n");
}

TEST_F(CliDumpTest, Utf8ColumnTakesACellPerByte) {
    // "Aé", a control, "あ", "😀", a stray continuation byte, then a
    // character that runs into the second line.
    const Bytes file = {'A',  0xC3, 0xA9, 0x0A, 0xE3, 0x81, 0x82, 0xF0, 0x9F,
                        0x98, 0x80, 0x80, 'x',  'y',  'z',  0xE2, 0x82, 0xAC};
    const CliResult r = Run({"dump", dir_.Write("u8.bin", file), "--code", "utf8"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string out = r.out;
    std::erase(out, '\r');  // whichever line ends the tool writes
    EXPECT_EQ(
        out,
        "--------|-0--1--2--3--4--5--6--7--8--9--A--B--C--D--E--F-|---0123456789ABCDEF\n"
        "00000000|41 c3 a9 0a e3 81 82 f0 9f 98 80 80 78 79 7a e2 "
        "|   A\xC3\xA9 .\xE3\x81\x82 \xF0\x9F\x98\x80  .xyz\xE2\x82\xAC  \n"
        "00000010|82 ac " +
            std::string(42, ' ') + "|     " + std::string(14, ' ') +
            "\n"
            "--------|------------------------------------------------|-------------------\n");
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
    EXPECT_EQ(r.out, Shown(Expected(file, 0, UINT64_MAX, CODE_UNICODE, false)));
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
    EXPECT_EQ(r.out, Shown(Utf16ToUtf8(FormatDump(s, start, tailFile.data(), 0x20, nullptr))));
    EXPECT_NE(r.out.find("\n1000000F0|00 00"), std::string::npos);
    EXPECT_NE(r.out.find("|   ..........End亜.\n"),
              std::string::npos);  // the lone lead: one cell

    const CliResult head = Run({"dump", path.string(), "--end", "1f"});
    ASSERT_EQ(head.status, 0);
    EXPECT_NE(head.out.find("\n000000000|00 00"), std::string::npos);
    EXPECT_NE(head.out.find("\n000000010|00 00"), std::string::npos);
}

TEST_F(CliDumpTest, EmptyOutputsAreRulerAndClosingRule) {
    const std::string ruler16 =
        std::string(16, '-') +
        "|-0--1--2--3--4--5--6--7--8--9--A--B--C--D--E--F-|---0123456789ABCDEF\n";
    const std::string closing16 =
        std::string(16, '-') +
        "|------------------------------------------------|-------------------\n";
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

// Malformed offsets name the option and the value; a file that cannot be
// read names the system's reason.
TEST_F(CliDumpTest, RefusedRequestsExitWithTwo) {
    const fs::path file = dir_.Write("f.bin", Bytes(64, 0x41));
    const auto rangeHex = [](const std::string& what) {
        return test::ToolLine(LoadString(IDS_RANGE_HEX), what);
    };
    const std::string missing = dir_.File("missing.bin");
    struct Case {
        std::vector<std::string> args;
        std::string err;  // the whole of stderr, or empty for a usage message
    };
    const Case cases[] = {
        {{"dump", file.string(), "--start", "zz"}, rangeHex("--start zz")},
        {{"dump", file.string(), "--start", " 1"}, rangeHex("--start  1")},
        {{"dump", file.string(), "--start", "1 2"}, rangeHex("--start 1 2")},
        {{"dump", file.string(), "--start", "-1"}, rangeHex("--start -1")},
        {{"dump", file.string(), "--start", ""}, rangeHex("--start ")},
        {{"dump", file.string(), "--start", "0x"}, rangeHex("--start 0x")},
        {{"dump", file.string(), "--start", "0xg"}, rangeHex("--start 0xg")},
        {{"dump", file.string(), "--start", "0x0x1"}, rangeHex("--start 0x0x1")},
        {{"dump", file.string(), "--end", "\xEF\xBC\x91"}, rangeHex("--end \xEF\xBC\x91")},
        {{"dump", file.string(), "--end", "00000000000000001"},
         rangeHex("--end 00000000000000001")},
        {{"dump", file.string(), "--start", "20", "--end", "1f"},
         test::ToolLine(LoadString(IDS_RANGE_HEX))},
        {{"dump", missing},
         test::ToolLine(ReplacePercent1(LoadString(AFX_IDP_FILE_NOT_FOUND), Utf8ToUtf16(missing)),
                        "そのようなファイルやディレクトリはありません")},
        {{"dump", dir_.path()},
         test::ToolLine(
             ReplacePercent1(LoadString(AFX_IDP_FILE_ACCESS_DENIED), Utf8ToUtf16(dir_.path())),
             "ディレクトリです")},
        {{"dump", file.string(), "--code", "ebcdic"}, ""},
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
            EXPECT_NE(r.err.find("usage: octile-cli"), std::string::npos) << r.err;
            if (!c.args.empty()) EXPECT_EQ(r.err.rfind("octile-cli: ", 0), 0u) << r.err;
        } else {
            EXPECT_EQ(r.err, c.err);
        }
    }
}

}  // namespace
}  // namespace octile
