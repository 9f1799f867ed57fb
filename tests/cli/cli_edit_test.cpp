// octile-cli insert, delete, fill, save and hexlist, end to end: the files
// they leave must be what the window's operations make, and refusals must
// exit 2 with the program's message.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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

constexpr uint64_t kB = 0x10000;

using test::CliResult;
using test::RandomBytes;
using test::ReadAll;

std::string Hex(uint64_t v) {
    std::ostringstream s;
    s << std::hex << v;
    return s.str();
}

// A program message as the tool prints it: one UTF-8 line.
std::string Line(const std::u16string& message, const std::string& reason = "") {
    return test::ToolLine(message, reason);
}

class CliEditTest : public testing::Test {
  protected:
    CliResult Run(const std::vector<std::string>& args) { return test::RunCli(args, dir_.path()); }

    test::TempDir dir_;
};

TEST_F(CliEditTest, InsertAndDeleteMatchTheModel) {
    struct Case {
        uint64_t length, position, count;
    };
    const Case cases[] = {
        {5, 2, 3},
        {kB + 1, 0, kB},               // a tail one byte longer than a block
        {3 * kB, 1, 1},                // a tail of several blocks, ending one short of a block
        {2 * kB + 10, 2 * kB + 9, 1},  // the last byte
        {100, 100, 4},                 // at the end: nothing changes
        {100, 90, 0x20},               // delete past the end: up to the end
    };
    uint32_t seed = 1;
    for (const Case& c : cases) {
        for (const bool deleting : {false, true}) {
            SCOPED_TRACE(testing::Message() << (deleting ? "delete " : "insert ") << c.length << " "
                                            << c.position << " " << c.count);
            const std::string original = RandomBytes(c.length, seed++);
            const std::string path = dir_.Write("f.bin", original);
            std::string model = original;
            if (c.position < model.size()) {
                if (deleting) {
                    model.erase(c.position, c.count);
                } else {
                    model.insert(c.position, c.count, '\0');
                }
            }
            const CliResult r =
                Run({deleting ? "delete" : "insert", path, Hex(c.position), Hex(c.count)});
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.err, "");
            EXPECT_TRUE(ReadAll(path) == model) << "file differs from the model";
        }
    }
}

TEST_F(CliEditTest, FillMatchesTheModel) {
    const uint64_t length = 2 * kB + 50;
    struct Case {
        std::string start, end, value;
        uint64_t first, stop;  // bytes filled
        uint8_t v;
        int status;
    };
    const Case cases[] = {
        {"0", "3", "7", 0, 4, 0x07, 0},
        {"fff0", "1000f", "Ab", 0xFFF0, 0x10010, 0xAB, 0},
        {"10", "FFFFFFFFFFFFFFFF", "ff", 0x10, length, 0xFF, 0},
        // Past the end: up to the end, in whichever block the range ends.
        {"20000", "20100", "1", 0x20000, length, 0x01, 0},
        {"10000", "40000", "2", 0x10000, length, 0x02, 0},
        {"30000", "30010", "3", 0, 0, 0x03, 2},  // nothing of it in the file: 10006
    };
    uint32_t seed = 50;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start + ".." + c.end);
        const std::string original = RandomBytes(length, seed++);
        const std::string path = dir_.Write("f.bin", original);
        std::string model = original;
        std::fill(model.begin() + static_cast<std::ptrdiff_t>(c.first),
                  model.begin() + static_cast<std::ptrdiff_t>(c.stop), static_cast<char>(c.v));
        const CliResult r = Run({"fill", path, c.start, c.end, c.value});
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.status == 0
                             ? std::string()
                             : Line(ReplacePercent1(LoadString(IDS_IO_ERROR), Utf8ToUtf16(path))));
        EXPECT_TRUE(ReadAll(path) == model) << "file differs from the model";
    }
}

TEST_F(CliEditTest, SaveAndHexListOfRanges) {
    const uint64_t length = kB + 300;
    const std::string file = RandomBytes(length, 77);
    const std::string path = dir_.Write("f.bin", file);
    struct Case {
        std::vector<std::string> options;
        uint64_t first, last;  // included
        int32_t code;
        bool upper;
    };
    const Case cases[] = {
        {{}, 0, length - 1, CODE_SJIS, false},
        {{"--start", "10", "--end", "1f"}, 0x10, 0x1F, CODE_SJIS, false},
        {{"--start=fff5", "--code", "euc", "--upper"}, 0xFFF5, length - 1, CODE_EUC, true},
        {{"--start", "ff", "--end", "ffffff", "--code", "unicode"},
         0xFF,
         length - 1,
         CODE_UNICODE,
         false},
        {{"--start", "3", "--code", "utf8"}, 3, length - 1, CODE_UTF8, false},
        {{"--start", Hex(length)}, length, length - 1, CODE_JIS, false},  // empty range
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        std::vector<std::string> save = {"save", path, dir_.File("out.bin")};
        save.insert(save.end(), c.options.begin(), c.options.end());
        // save takes no --code or --upper.
        const bool saveOptionsOnly = std::none_of(
            c.options.begin(), c.options.end(),
            [](const std::string& o) { return o.starts_with("--code") || o == "--upper"; });
        const std::string bytes =
            c.first < length ? file.substr(c.first, c.last + 1 - c.first) : "";
        if (saveOptionsOnly) {
            const CliResult r = Run(save);
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.err, "");
            EXPECT_TRUE(ReadAll(dir_.File("out.bin")) == bytes);
        }

        std::vector<std::string> hexlist = {"hexlist", path, dir_.File("out.txt")};
        hexlist.insert(hexlist.end(), c.options.begin(), c.options.end());
        const CliResult r = Run(hexlist);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        DumpSettings s;
        s.extraDigits = ExtraDigitsForLength(length);
        s.upper = c.upper;
        s.charCode = c.code;
        std::u16string text = u"\uFEFF";
        for (uint64_t b = c.first; b <= c.last && b < length; b += 256) {
            const uint64_t n = std::min<uint64_t>(256, c.last + 1 - b);
            std::string block = file.substr(b, n + 16);
            block.resize(n + 16, '\0');
            text += FormatDump(s, b, reinterpret_cast<const uint8_t*>(block.data()), n, nullptr);
        }
        std::string expected;
        for (const char16_t u : text) {
            expected.push_back(static_cast<char>(u & 0xFF));
            expected.push_back(static_cast<char>(u >> 8));
        }
        EXPECT_TRUE(ReadAll(dir_.File("out.txt")) == expected) << "listing differs";
    }
    EXPECT_TRUE(ReadAll(path) == file);
}

TEST_F(CliEditTest, RefusalsExitTwoWithTheMessage) {
    const std::string path = dir_.Write("f.bin", "0123456789");
    const std::string missing = dir_.File("missing.bin");
    const std::string noFolder = dir_.File("no-folder/out.bin");
    struct Case {
        std::vector<std::string> args;
        std::u16string message;
        std::string reason;  // the system's, in Japanese
    };
    const Case cases[] = {
        {{"insert", path, "0", "0"}, LoadString(IDS_FILL_VALUE)},
        {{"insert", path, "0", "10001"}, LoadString(IDS_FILL_VALUE)},
        {{"delete", path, "0", "1g"}, LoadString(IDS_RANGE_HEX)},
        {{"delete", path, "x", "1"}, LoadString(IDS_RANGE_HEX)},
        {{"fill", path, "5", "4", "1"}, LoadString(IDS_RANGE_HEX)},
        {{"fill", path, "0", "4", ""}, LoadString(IDS_FILL_VALUE)},
        {{"fill", path, "0", "4", "zz"}, LoadString(IDS_FILL_VALUE)},
        {{"fill", path, "0", "4", "123"}, ReplacePercent1(LoadString(61716), u"2")},
        {{"insert", missing, "0", "1"},
         ReplacePercent1(LoadString(AFX_IDP_FILE_NOT_FOUND), Utf8ToUtf16(missing)),
         "そのようなファイルやディレクトリはありません"},
        {{"save", path, dir_.File(".txt")}, LoadString(IDS_FILEOPEN_NG)},
        {{"hexlist", path, dir_.File("o.txt"), "--start", "9", "--end", "8"},
         LoadString(IDS_RANGE_HEX)},
        {{"save", path, noFolder},
         ReplacePercent1(LoadString(IDS_SAVE_ERROR), Utf8ToUtf16(noFolder))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        const CliResult r = Run(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, Line(c.message, c.reason));
    }
    EXPECT_EQ(ReadAll(path), "0123456789");
    EXPECT_FALSE(fs::exists(dir_.File(".txt")));

    // Wrong argument counts and options are usage errors.
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"insert", path, "0"},
                                               {"fill", path, "0", "1"},
                                               {"save", path},
                                               {"save", path, dir_.File("o"), "--upper"}}) {
        const CliResult r = Run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("usage: octile-cli " + args[0]), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace octile
