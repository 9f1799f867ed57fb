// octile-cli compare, end to end: the engine's report of two files, and the
// same report where either side or both are streams.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "../core/temp_dir.h"
#include "cli_runner.h"
#include "compare/compare.h"
#include "util/utf.h"

namespace octile {
namespace {

using test::CliResult;

// The report without its first line (the names), or all of a report of equal files.
std::string Body(const std::string& report) {
    return report.starts_with("          ") ? report.substr(report.find('\n') + 1) : report;
}

TEST(CliCompare, PrintsTheReportAndRefusesMissingFiles) {
    test::TempDir dir;
    const std::string a = dir.Write("a.bin", std::string("\x41\x42\x43", 3));
    const std::string b = dir.Write("b.bin", std::string("\x41\x58\x43\x44", 4));
    std::u16string expected;
    ASSERT_EQ(CompareFiles(a, b, expected), COMPARE_OK);

    const CliResult r = test::RunCli({"compare", a, b}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Utf16ToUtf8(expected));
    EXPECT_NE(r.out.find("00000000: 41 42 43 "), std::string::npos);

    const CliResult same = test::RunCli({"compare", a, a}, dir.path());
    EXPECT_EQ(same.out, "同じです\n");

    const CliResult missing = test::RunCli({"compare", dir.File("none"), b}, dir.path());
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "octile-cli: 旧ファイル" + dir.File("none") +
                               "がありません（そのようなファイルやディレクトリはありません）\n");
    const CliResult missingNew =
        test::RunCli({"compare", a, dir.File("none")}, dir.path(), {.locale = {"LANG=C"}});
    EXPECT_EQ(missingNew.status, 2);
    EXPECT_EQ(missingNew.err, "octile-cli: cannot read the new file " + dir.File("none") +
                                  ": no such file or directory\n");
    EXPECT_EQ(test::RunCli({"compare", a}, dir.path()).status, 2);
}

// Either side may be standard input, by "-" or by name, and both may be pipes
// (process substitution): the difference lines are the engine's, the names
// those given.
TEST(CliCompare, StreamsGiveTheEnginesReport) {
    test::TempDir dir;
    std::mt19937 rng(5);
    const auto bytes = [&](size_t n) {
        std::string s(n, '\0');
        for (char& c : s) c = static_cast<char>('a' + rng() % 2);
        return s;
    };
    struct Pair {
        std::string old, now;
    };
    const std::string big = bytes(0x180000);
    std::string bigChanged = big;
    bigChanged[0x100003] ^= 1;  // in the second megabyte
    const Pair pairs[] = {
        {"", ""},
        {"abc", "abc"},
        {"abc", "abd"},
        {bytes(100), bytes(37)},
        {bytes(3000), bytes(3000)},  // more than 65 differing lines: the first 65
        {big, bigChanged},
        {big, big + "tail"},
    };
    for (const Pair& p : pairs) {
        SCOPED_TRACE(std::to_string(p.old.size()) + " and " + std::to_string(p.now.size()));
        const std::string a = dir.Write("a.bin", p.old);
        const std::string b = dir.Write("b.bin", p.now);
        std::u16string engine;
        ASSERT_EQ(CompareFiles(a, b, engine), COMPARE_OK);
        const std::string expected = Utf16ToUtf8(engine);

        const CliResult oldStream = test::RunCli({"compare", "-", b}, dir.path(), {.input = p.old});
        const CliResult newStream =
            test::RunCli({"compare", a, "/dev/stdin"}, dir.path(), {.input = p.now});
        const CliResult both = test::RunProgram(
            {"bash", "-c", "exec \"$0\" compare <(cat \"$1\") <(cat \"$2\")", OCTILE_CLI, a, b},
            dir.path(), {});
        for (const CliResult* r : {&oldStream, &newStream, &both}) {
            EXPECT_EQ(r->status, 0) << r->err;
            EXPECT_TRUE(Body(r->out) == Body(expected)) << r->out.substr(0, 400);
            EXPECT_EQ(r->out.starts_with("          "), expected.starts_with("          "));
        }
        if (expected.starts_with("          ")) {
            EXPECT_EQ(oldStream.out.substr(0, 12), "          - ");
            EXPECT_NE(newStream.out.find("  /dev/stdin"), std::string::npos);
            EXPECT_NE(both.out.find("/dev/fd/"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace octile
