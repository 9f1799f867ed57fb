// octile-cli undo, redo, history and --no-undo, end to end. Every call is a
// new process, so each undo reads the journal an earlier run left: the
// history outlives the program.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "resources/resources.h"
#include "settings/paths.h"
#include "util/utf.h"

namespace octile {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kB = 0x10000;

using test::CliResult;
using test::RandomBytes;
using test::ReadAll;

// A program message as the tool prints it: one UTF-8 line.
std::string Line(const std::u16string& message) { return test::ToolLine(message); }
std::string PathLine(uint32_t id, const std::string& path) {
    return Line(ReplacePercent1(LoadString(id), Utf8ToUtf16(path)));
}

class CliUndoTest : public testing::Test {
  protected:
    void TearDown() override {
        std::error_code ec;
        fs::remove(GetProfileStorePath(), ec);
    }

    CliResult Run(const std::vector<std::string>& args) { return test::RunCli(args, dir_.path()); }

    // The user's settings file with these lines.
    static void WriteSettings(const std::string& text) {
        const std::string path = GetProfileStorePath();
        ASSERT_TRUE(MakeFolders(ParentFolder(path)));
        std::ofstream(path, std::ios::binary) << text;
    }

    test::TempDir dir_;
};

TEST_F(CliUndoTest, EachChangeUndoesAndRedoesInLaterRuns) {
    const std::string original = RandomBytes(3 * kB + 5, 11);
    const std::string path = dir_.Write("f.bin", original);
    const std::vector<std::vector<std::string>> edits = {
        {"insert", path, "4", "10"},        {"insert", path, "0", "10000"},
        {"delete", path, "3", "20"},        {"delete", path, "ffff", "10000"},
        {"fill", path, "8", "1000f", "5a"}, {"replace", path, "ab", "cd", "--hex"},
    };
    for (const auto& edit : edits) {
        SCOPED_TRACE(edit[0] + " " + edit[2] + " " + edit[3]);
        dir_.Write("f.bin", original);
        ASSERT_EQ(Run(edit).status, 0);
        const std::string after = ReadAll(path);
        ASSERT_NE(after, original);
        for (const char* step : {"undo", "redo", "undo"}) {
            const CliResult r = Run({step, path});
            EXPECT_EQ(r.status, 0) << step;
            EXPECT_EQ(r.err, "") << step;
            EXPECT_TRUE(ReadAll(path) == (step[0] == 'u' ? original : after)) << step;
        }
    }
}

TEST_F(CliUndoTest, CountsOfStepsStopWhereTheHistoryEnds) {
    const std::string path = dir_.Write("f.bin", RandomBytes(2 * kB, 12));
    std::vector<std::string> states = {ReadAll(path)};
    for (const std::vector<std::string>& edit :
         std::vector<std::vector<std::string>>{{"insert", path, "100", "30"},
                                               {"fill", path, "0", "ff", "0"},
                                               {"delete", path, "7", "1"}}) {
        ASSERT_EQ(Run(edit).status, 0);
        states.push_back(ReadAll(path));
    }
    struct Case {
        std::string command, count;
        int status;
        size_t state;     // the file afterwards: states[state]
        std::string err;  // what the tool says
    };
    const Case cases[] = {
        {"undo", "2", 0, 1, ""},
        {"redo", "", 0, 2, ""},
        {"undo", "5", 1, 0, Line(LoadString(IDS_NOTHING_TO_UNDO))},
        {"undo", "1", 1, 0, Line(LoadString(IDS_NOTHING_TO_UNDO))},
        {"redo", "3", 0, 3, ""},
        {"redo", "1", 1, 3, Line(LoadString(IDS_NOTHING_TO_REDO))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command + " " + c.count);
        std::vector<std::string> args = {c.command, path};
        if (!c.count.empty()) args.push_back(c.count);
        const CliResult r = Run(args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
        EXPECT_TRUE(ReadAll(path) == states[c.state]);
    }
}

TEST_F(CliUndoTest, HistoryListsTheStepsOldestFirst) {
    const std::string path = dir_.Write("f.bin", RandomBytes(kB, 13));
    CliResult r = Run({"history", path});
    EXPECT_EQ(r.status, 1);  // nothing recorded yet
    EXPECT_EQ(r.out, "");

    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"insert", path, "4", "10"},
                                               {"fill", path, "0", "f", "ff"},
                                               {"delete", path, "1", "2"},
                                               {"undo", path}}) {
        ASSERT_EQ(Run(args).status, 0) << args[0];
    }
    r = Run({"history", path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "1 insert 00000004 10\n"
              "2 overwrite 00000000 10\n"
              "3 delete 00000001 2 (undone)\n");
}

TEST_F(CliUndoTest, UndoIsRefusedAfterAnotherProgramChangedTheFile) {
    // The other program rewrites the file shorter, or overwrites a byte and
    // leaves a later modification time.
    for (const bool sameLength : {false, true}) {
        SCOPED_TRACE(sameLength ? "same length" : "shorter");
        const std::string path = dir_.Write("f.bin", RandomBytes(kB, 14));
        ASSERT_EQ(Run({"insert", path, "10", "8"}).status, 0);
        std::string changed = ReadAll(path);
        if (sameLength) {
            changed[0] = static_cast<char>(~changed[0]);
            std::fstream(path, std::ios::binary | std::ios::in | std::ios::out) << changed[0];
            struct stat st {};
            ASSERT_EQ(::stat(path.c_str(), &st), 0);
            const timespec later[2] = {st.st_atim, {st.st_mtim.tv_sec + 2, st.st_mtim.tv_nsec}};
            ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), later, 0), 0);
        } else {
            changed = "another program's bytes";
            dir_.Write("f.bin", changed);
        }
        const CliResult r = Run({"undo", path});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, PathLine(IDS_JOURNAL_FILE_CHANGED, path));
        EXPECT_TRUE(ReadAll(path) == changed);
    }
}

TEST_F(CliUndoTest, ChangesTooLargeToUndoNeedNoUndo) {
    WriteSettings("[Journal]\nMaxFileMiB=1\n");
    const std::string original = RandomBytes(2 * 1024 * 1024 + 100, 15);
    const std::string path = dir_.Write("f.bin", original);
    ASSERT_EQ(Run({"insert", path, "0", "1"}).status, 0);
    const std::string inserted = ReadAll(path);

    // Filling the whole file needs 2 MiB of undo data: refused, the file and
    // its history as they were.
    CliResult r = Run({"fill", path, "0", "FFFFFFFFFFFFFFFF", "5a"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, Line(LoadString(IDS_JOURNAL_TOO_LARGE)) +
                         "octile-cli: --no-undo を付けて実行すると、元に戻すための記録なしで変更し"
                         "ます\n");
    EXPECT_TRUE(ReadAll(path) == inserted);
    EXPECT_EQ(Run({"history", path}).out, "1 insert 00000000 1\n");

    // With --no-undo it is made, and the history before it goes.
    r = Run({"fill", path, "0", "FFFFFFFFFFFFFFFF", "5a", "--no-undo"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(ReadAll(path) == std::string(inserted.size(), '\x5a'));
    EXPECT_EQ(Run({"history", path}).status, 1);
    EXPECT_EQ(Run({"undo", path}).status, 1);
}

TEST_F(CliUndoTest, ArgumentsAndACleanRecover) {
    const std::string path = dir_.Write("f.bin", "0123456789");
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"undo", path, "0"},
                                               {"undo", path, "x"},
                                               {"redo", path, "-1"},
                                               {"redo", path, "1", "2"},
                                               {"history"},
                                               {"recover", path, "1"}}) {
        const CliResult r = Run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("usage: octile-cli " + args[0]), std::string::npos) << r.err;
    }
    const CliResult r = Run({"recover", path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "nothing to complete\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadAll(path), "0123456789");
}

}  // namespace
}  // namespace octile
