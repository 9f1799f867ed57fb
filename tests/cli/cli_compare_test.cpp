// octile-cli compare, end to end.
#include <gtest/gtest.h>

#include "../core/temp_dir.h"
#include "cli_runner.h"
#include "compare/compare.h"
#include "util/utf.h"

namespace octile {
namespace {

TEST(CliCompare, PrintsTheReportAndRefusesMissingFiles) {
    test::TempDir dir;
    const std::string a = dir.Write("a.bin", std::string("\x41\x42\x43", 3));
    const std::string b = dir.Write("b.bin", std::string("\x41\x58\x43\x44", 4));
    std::u16string expected;
    ASSERT_EQ(CompareFiles(a, b, expected), COMPARE_OK);

    const test::CliResult r = test::RunCli({"compare", a, b}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Utf16ToUtf8(expected));
    EXPECT_NE(r.out.find("00000000: 41 42 43 "), std::string::npos);

    const test::CliResult same = test::RunCli({"compare", a, a}, dir.path());
    EXPECT_EQ(same.out, "同じです\n");

    const test::CliResult missing = test::RunCli({"compare", dir.File("none"), b}, dir.path());
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("旧ファイル" + dir.File("none") + "がありません"),
              std::string::npos);
    const test::CliResult missingNew = test::RunCli({"compare", a, dir.File("none")}, dir.path());
    EXPECT_EQ(missingNew.status, 2);
    EXPECT_NE(missingNew.err.find("新ファイル"), std::string::npos);
    EXPECT_EQ(test::RunCli({"compare", a}, dir.path()).status, 2);
}

}  // namespace
}  // namespace octile
