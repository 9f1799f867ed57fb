// octile-cli save, hexlist and picture write their outputs as the window
// does: an output that is not a regular file is refused at once with the
// program's message and exit 2; an existing output is replaced whole.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "core/temp_dir.h"
#include "core/test_dibs.h"
#include "resources/resources.h"
#include "util/utf.h"

namespace octile {
namespace {

namespace fs = std::filesystem;
using test::CliResult;
using test::ReadAll;

class CliExportTest : public testing::Test {
  protected:
    void SetUp() override {
        bmp_ = test::BitmapFile(test::PatternImage(5, 3, 8));
        file_ = dir_.Write("picture.bmp", bmp_);
    }
    // The commands that write OUT, each with its arguments.
    std::vector<std::vector<std::string>> Writers(const std::string& out) const {
        return {{"save", file_, out}, {"hexlist", file_, out}, {"picture", file_, "0", out}};
    }
    CliResult Run(const std::vector<std::string>& args) { return test::RunCli(args, dir_.path()); }

    test::TempDir dir_;
    test::Bytes bmp_;
    std::string file_;
};

// A FIFO without a reader would hold an open for writing forever: the
// commands must return (the test's time limit stands guard) with the message.
TEST_F(CliExportTest, OutputsThatAreNotRegularFilesAreRefused) {
    const std::string fifo = dir_.File("fifo"), folder = dir_.File("folder");
    const std::string link = dir_.File("link");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(folder);
    fs::create_symlink(fifo, link);
    for (const std::string& out : {fifo, link, folder, std::string("/dev/null")}) {
        for (const std::vector<std::string>& args : Writers(out)) {
            SCOPED_TRACE(args[0] + " " + out);
            const CliResult r = Run(args);
            EXPECT_EQ(r.status, 2);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err, test::ToolLine(ReplacePercent1(LoadString(IDS_NOT_REGULAR_FILE),
                                                            Utf8ToUtf16(out))));
        }
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_empty(folder));
}

// An existing output, here behind a symbolic link, is replaced by the new
// contents; the link and the file's mode stay, and nothing is left beside it.
TEST_F(CliExportTest, AnExistingOutputIsReplacedWhole) {
    const std::string target = dir_.Write("target", std::string(0x2000, 'x'));
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    const std::string link = dir_.File("out");
    fs::create_symlink("target", link);
    for (const std::vector<std::string>& args : Writers(link)) {
        SCOPED_TRACE(args[0]);
        const CliResult r = Run(args);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string now = ReadAll(target);
        if (args[0] == "hexlist") {
            EXPECT_EQ(now.substr(0, 2), "\xFF\xFE");
        } else {
            EXPECT_EQ(now, std::string(bmp_.begin(), bmp_.end()));  // save: the whole file
        }
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    }
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_.path())) {
        const std::string name = e.path().filename();
        if (name.rfind("cli-", 0) != 0) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"out", "picture.bmp", "target"}));
}

// The hex listing of standard input (by "-" or by name) is that of the same
// bytes in a file, byte for byte: made as they arrive, in the same format.
TEST_F(CliExportTest, AHexListOfAStreamIsThatOfTheFile) {
    std::string bytes = test::RandomBytes(0x30011, 8);
    bytes[0xFF] = '\x82';  // a Shift-JIS character across two 256-byte blocks
    bytes[0x100] = '\xA0';
    const std::string path = dir_.Write("in.bin", bytes);
    const std::vector<std::vector<std::string>> optionSets = {
        {},
        {"--start", "11", "--end", "2003F", "--code", "euc", "--upper"},
        {"--code", "unicode", "--end", "0x1000"},
        {"--code", "utf8", "--start", "0X1fff5"},
    };
    for (const auto& options : optionSets) {
        std::vector<std::string> fromFile = {"hexlist", path, dir_.File("file.txt")};
        fromFile.insert(fromFile.end(), options.begin(), options.end());
        ASSERT_EQ(Run(fromFile).status, 0);
        const std::string expected = ReadAll(dir_.File("file.txt"));
        for (const std::string name : {"-", "/dev/stdin"}) {
            SCOPED_TRACE(name + " " + testing::PrintToString(options));
            std::vector<std::string> args = {"hexlist", name, dir_.File("stream.txt")};
            args.insert(args.end(), options.begin(), options.end());
            const CliResult r = test::RunCli(args, dir_.path(), {.input = bytes});
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_TRUE(ReadAll(dir_.File("stream.txt")) == expected) << "listing differs";
        }
    }
}

}  // namespace
}  // namespace octile
