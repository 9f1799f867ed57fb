// octile-cli find and replace, end to end. find is checked against a plain
// implementation of which occurrence a search finds and on which window of
// the search window grid the view shows it, on files and on streams; find
// --all against a plain list of the matches.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "cli_runner.h"

namespace octile {
namespace {

using Bytes = std::vector<uint8_t>;
using test::CliEnv;
using test::CliResult;

// Which occurrence a search finds and the window it is shown on, from the
// definition: forwards the first occurrence wholly within [c + 1, S), else the
// first within [0, min(c, S)); backwards the last within [0, min(c, S)), else
// the last within [c + 1, S). The window is found by walking the grid.
struct Expected {
    bool found = false;
    uint64_t match = 0;
    uint64_t window = 0;
};

Expected Definition(const Bytes& file, const Bytes& p, uint64_t c, uint64_t w0, uint64_t r,
                    bool backward) {
    const uint64_t s = file.size();
    const uint64_t n = p.size();
    const auto at = [&](uint64_t m) {
        return m + n <= s && std::equal(p.begin(), p.end(), file.begin() + m);
    };
    const uint64_t below = std::min(c, s);
    std::optional<uint64_t> m;
    bool wrapped = false;
    if (!backward) {
        for (uint64_t k = c + 1; !m && k + n <= s; ++k) {
            if (at(k)) m = k;
        }
        for (uint64_t k = 0; !m && k + n <= below; ++k) {
            if (at(k)) m = k, wrapped = true;
        }
    } else {
        for (uint64_t k = below; !m && k >= n; --k) {
            if (at(k - n)) m = k - n;
        }
        for (uint64_t k = s; !m && k >= n && k - n > c; --k) {
            if (at(k - n)) m = k - n, wrapped = true;
        }
    }
    if (!m) return {};
    uint64_t w;
    if (!backward) {
        w = wrapped ? 0 : w0;
        while (w + r <= *m) w += r;
        if (*m + n > w + r) w = *m;
    } else {
        const uint64_t rounded = (s + 15) / 16 * 16;
        w = wrapped ? (rounded > r ? rounded - r : 0) : w0;
        while (w > *m) w = w >= r ? w - r : 0;
    }
    return {true, *m, w};
}

class CliSearchTest : public testing::Test {
  protected:
    CliResult Run(const std::vector<std::string>& args) { return test::RunCli(args, dir_.path()); }

    static std::string Hex(uint64_t v, int width = 8) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%0*llx", width, static_cast<unsigned long long>(v));
        return buf;
    }

    test::TempDir dir_;
};

TEST_F(CliSearchTest, FindAgreesWithTheDefinition) {
    std::mt19937_64 rng(314159);
    auto pick = [&](uint64_t lo, uint64_t hi) {
        return std::uniform_int_distribution<uint64_t>(lo, hi)(rng);
    };
    const uint64_t kReadSizes[] = {0x10, 0x20, 0x30, 0x100, 0x1000};
    int found = 0;
    const int kCases = 300;
    for (int i = 0; i < kCases; ++i) {
        const uint64_t size = i % 25 == 0 ? pick(0, 2) : pick(1, 3000);
        Bytes bytes(size);
        for (auto& b : bytes) b = static_cast<uint8_t>(0x61 + pick(0, 2));
        const uint64_t r = kReadSizes[pick(0, std::size(kReadSizes) - 1)];
        const uint64_t n = pick(1, std::min<uint64_t>(r, 6));
        Bytes pattern(n);
        for (auto& b : pattern) b = static_cast<uint8_t>(0x61 + pick(0, 2));
        if (i % 4 == 3) pattern[pick(0, n - 1)] = 0x64;  // a byte no file holds
        if (size > n && i % 2 == 0) {
            const uint64_t at = pick(0, size - n);
            std::copy(pattern.begin(), pattern.end(), bytes.begin() + at);
        }
        const uint64_t window = size == 0 ? 0 : pick(0, size - 1);
        // The caret anywhere on the page, now and then beyond it.
        const uint64_t page = std::max<uint64_t>(16, (std::min(r, size - window) + 15) / 16 * 16);
        const uint64_t caret =
            i % 10 == 1 ? window + pick(0, size + 40) : window + pick(0, page - 1);
        const bool backward = i % 2 == 1;
        std::string hex;
        for (uint8_t b : pattern) hex += Hex(b, 2);
        const std::string file = dir_.Write("f.bin", bytes);
        std::vector<std::string> args = {"find",        file,       hex,        "--hex",
                                         "--caret",     Hex(caret), "--window", Hex(window),
                                         "--read-size", Hex(r)};
        if (backward) args.push_back("--backward");
        const CliResult got = Run(args);
        const Expected want = Definition(bytes, pattern, caret, window, r, backward);
        const std::string what = "size " + std::to_string(size) + " caret " + Hex(caret) +
                                 " window " + Hex(window) + " read size " + Hex(r) + " " + hex +
                                 (backward ? " backward" : " forward");
        if (want.found) {
            ++found;
            ASSERT_EQ(got.status, 0) << what;
            const int width = size > (1ull << 32) ? 9 : 8;
            EXPECT_EQ(got.out, Hex(want.match, width) + " " + Hex(want.window, width) + "\n")
                << what;
        } else {
            ASSERT_EQ(got.status, 1) << what;
            EXPECT_EQ(got.out, "") << what;
        }
    }
    EXPECT_GT(found, kCases / 4);
    EXPECT_LT(found, kCases * 9 / 10);
}

TEST_F(CliSearchTest, FindEncodesTheTextInTheCharacterCode) {
    // "aあ": SJIS 61 82 A0, UTF-16LE 61 00 42 30, EUC 61 A4 A2, UTF-8 61 E3 81 82.
    const Bytes bytes = {0x20, 0x61, 0x82, 0xA0, 0x20, 0x61, 0x00, 0x42, 0x30,
                         0x20, 0x61, 0xA4, 0xA2, 0x20, 0x61, 0xE3, 0x81, 0x82};
    const std::string file = dir_.Write("f.bin", bytes);
    const std::pair<const char*, const char*> cases[] = {{"sjis", "00000001 00000000\n"},
                                                         {"unicode", "00000005 00000000\n"},
                                                         {"euc", "0000000a 00000000\n"},
                                                         {"jis", "0000000a 00000000\n"},
                                                         {"utf8", "0000000e 00000000\n"}};
    for (const auto& [code, out] : cases) {
        const CliResult r = Run({"find", file, "aあ", "--code", code});
        EXPECT_EQ(r.status, 0) << code;
        EXPECT_EQ(r.out, out) << code;
    }
}

// With --hex a text must be hexadecimal bytes: blanks, an odd number of
// digits or other characters are refused, never searched as text.
TEST_F(CliSearchTest, HexTextsMustBeHexadecimalBytes) {
    const std::string file = dir_.Write("g.bin", Bytes{0x00, 0x34, 0x41, 0x34, 0x20, 0x31});
    for (const std::string text : {"4A4", "4 1", "34 41", "zz", "0x41", "３４"}) {
        for (const bool replace : {false, true}) {
            SCOPED_TRACE(text + (replace ? " replace" : " find"));
            const CliResult r = replace ? Run({"replace", file, "3441", text, "--hex"})
                                        : Run({"find", file, text, "--hex"});
            EXPECT_EQ(r.status, 2);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1),
                      "octile-cli: 「" + text +
                          "」は16進数のバイト列ではありません（1バイトに2桁、空白なし）\n");
        }
    }
    EXPECT_EQ(test::ReadAll(file), std::string("\x00\x34\x41\x34\x20\x31", 6));
}

// Every match from the start: reading front to back, the next match is
// looked for after the end of the one before.
std::string AllMatches(const Bytes& file, const Bytes& p) {
    std::string out;
    for (size_t k = 0; k + p.size() <= file.size();) {
        if (std::equal(p.begin(), p.end(), file.begin() + static_cast<std::ptrdiff_t>(k))) {
            char line[32];
            std::snprintf(line, sizeof line, "%08zx\n", k);
            out += line;
            k += p.size();
        } else {
            ++k;
        }
    }
    return out;
}

TEST_F(CliSearchTest, FindAllListsEveryMatchOfAFileOrAStream) {
    std::mt19937 rng(2718);
    struct Case {
        Bytes file, pattern;
    };
    std::vector<Case> cases = {
        {{'a', 'a', 'a', 'a', 'a'}, {'a', 'a'}},  // 0 and 2: matches do not overlap
        {{'a', 'b', 'a', 'b', 'a'}, {'a', 'b', 'a'}},
        {{'x', 'y'}, {'z'}},
        {{}, {'a'}},
    };
    for (int i = 0; i < 30; ++i) {
        Bytes file(rng() % 3000), pattern(1 + rng() % 4);
        for (auto& b : file) b = static_cast<uint8_t>('a' + rng() % 3);
        for (auto& b : pattern) b = static_cast<uint8_t>('a' + rng() % 3);
        cases.push_back({file, pattern});
    }
    // Matches across the scan's megabyte blocks.
    Bytes large(0x280000, 0);
    for (auto& b : large) b = static_cast<uint8_t>(rng() % 250);
    const Bytes mark = {0xFB, 0xFC, 0xFD, 0xFE, 0xFF};
    for (const size_t at : {size_t{0}, size_t{0xFFFFD}, size_t{0x100010}, size_t{0x1FFFFC},
                            large.size() - mark.size()}) {
        std::copy(mark.begin(), mark.end(), large.begin() + static_cast<std::ptrdiff_t>(at));
    }
    cases.push_back({large, mark});
    cases.push_back({large, {0xFF}});
    for (const Case& c : cases) {
        const std::string path = dir_.Write("all.bin", c.file);
        std::string hex;
        for (const uint8_t b : c.pattern) hex += Hex(b, 2);
        const std::string want = AllMatches(c.file, c.pattern);
        SCOPED_TRACE("size " + std::to_string(c.file.size()) + " pattern " + hex);
        const CliResult fromFile = Run({"find", path, hex, "--hex", "--all"});
        const CliResult fromStream =
            test::RunCli({"find", "-", "--all", hex, "--hex"}, dir_.path(),
                         {.input = std::string(c.file.begin(), c.file.end())});
        for (const CliResult* r : {&fromFile, &fromStream}) {
            EXPECT_EQ(r->status, want.empty() ? 1 : 0);
            EXPECT_TRUE(r->out == want) << r->out.size() << " vs " << want.size() << " bytes";
        }
    }
    EXPECT_EQ(AllMatches(large, mark), "00000000\n000ffffd\n00100010\n001ffffc\n0027fffb\n");
}

// A stream is searched once, forwards from its start: what the search from
// a caret at 0 finds in the same bytes as a file. What would need the file
// again is refused.
TEST_F(CliSearchTest, FindOnAStreamIsTheSearchFromTheStart) {
    std::mt19937 rng(1618);
    for (int i = 0; i < 40; ++i) {
        Bytes bytes(rng() % 2000);
        for (auto& b : bytes) b = static_cast<uint8_t>('a' + rng() % 3);
        Bytes pattern(1 + rng() % 3);
        for (auto& b : pattern) b = static_cast<uint8_t>('a' + rng() % 3);
        std::string hex;
        for (const uint8_t b : pattern) hex += Hex(b, 2);
        const std::string readSize = Hex(16 * (1 + rng() % 20), 1);
        const std::string path = dir_.Write("s.bin", bytes);
        const CliResult file = Run({"find", path, hex, "--hex", "--read-size", readSize});
        for (const char* name : {"-", "/dev/stdin"}) {
            const CliResult stream =
                test::RunCli({"find", name, hex, "--hex", "--read-size", readSize}, dir_.path(),
                             {.input = std::string(bytes.begin(), bytes.end())});
            EXPECT_EQ(stream.status, file.status) << name << " " << hex;
            EXPECT_EQ(stream.out, file.out) << name << " " << hex;
        }
    }
    const CliEnv english = {.locale = {"LANG=C"}, .input = "abcabc"};
    struct Refusal {
        std::vector<std::string> args;
        std::string option;
    };
    const std::string path = dir_.Write("r.bin", Bytes{'a', 'b', 'c'});
    const Refusal refusals[] = {
        {{"find", "-", "b", "--backward"}, "--backward"},
        {{"find", "-", "b", "--caret", "1"}, "--caret"},
        {{"find", "-", "b", "--caret", "8", "--window", "8"}, "--caret"},
        {{"find", path, "b", "--all", "--backward"}, "--backward"},
        {{"find", path, "b", "--all", "--caret", "0"}, "--caret"},
        {{"find", path, "b", "--window", "0", "--all"}, "--window"},
    };
    for (const Refusal& c : refusals) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const CliResult r = test::RunCli(c.args, dir_.path(), english);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("octile-cli: " + c.option + " does not apply", 0), 0u) << r.err;
    }
    // The caret at the start is the search of a stream.
    EXPECT_EQ(test::RunCli({"find", "-", "b", "--caret", "0x0"}, dir_.path(), english).out,
              "00000001 00000000\n");
}

TEST_F(CliSearchTest, ReplaceAll) {
    struct Case {
        std::string before;
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string after;
    };
    const Case cases[] = {
        {"ab ab ab", {"ab", "xy"}, 0, "00000003\n00000006\n", "ab xy xy"},
        {"ab ab ab", {"ab", "xy", "--caret", "7"}, 0, "00000000\n00000003\n00000006\n", "xy xy xy"},
        {"a\r\nb\r\nc\r\n",
         {"0d0a", "2020", "--hex", "--caret", "4"},
         0,
         "00000007\n00000001\n",
         "a  b\r\nc  "},
        {"ab ab ab", {"cd", "xy"}, 1, "", "ab ab ab"},
        {"a a a", {"a", "あ"}, 2, "", "a a a"},
        {"ab ab ab", {"ab", "xy", "--caret", "2", "--window", "3"}, 2, "", "ab ab ab"},
        {"ab ab ab", {"ab", "xy", "--code", "ebcdic"}, 2, "", "ab ab ab"},
        {"ab ab ab", {"ab", "xy", "--read-size", "1"}, 2, "", "ab ab ab"},
        {"ab ab ab", {"ab", "xy", "--backward"}, 2, "", "ab ab ab"},  // replace only goes forward
        {"ab ab ab", {"ab", ""}, 2, "", "ab ab ab"},
        {"ab ab ab", {"", "xy"}, 2, "", "ab ab ab"},
    };
    for (const Case& c : cases) {
        const std::string file = dir_.Write("r.bin", Bytes(c.before.begin(), c.before.end()));
        std::vector<std::string> args = {"replace", file};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliResult r = Run(args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << " " << c.args[1];
        EXPECT_EQ(r.out, c.out) << c.args[0] << " " << c.args[1];
        EXPECT_EQ(test::ReadAll(file), c.after) << c.args[0] << " " << c.args[1];
        // An empty text is named for what it is.
        if (c.args[1].empty()) EXPECT_NE(r.err.find("置換後の文字列が空です"), std::string::npos);
        if (c.args[0].empty()) EXPECT_NE(r.err.find("検索する文字列が空です"), std::string::npos);
    }
}

}  // namespace
}  // namespace octile
