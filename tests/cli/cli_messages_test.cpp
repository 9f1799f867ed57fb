// The messages of octile-cli: "octile-cli: " first, the language of the
// locale's messages (the program's Japanese texts in a Japanese locale,
// their English texts elsewhere), the system's reason for what it could not
// open or write, and file names without raw control characters.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/cli_program_texts.h"
#include "cli_runner.h"
#include "resources/resources.h"
#include "util/utf.h"

namespace octile {
namespace {

using test::CliEnv;
using test::CliResult;

const CliEnv kEnglish = {.locale = {"LANG=C"}};

std::string English(uint32_t id) {
    for (const cli::EnglishText& t : cli::kProgramTexts) {
        if (t.id == id) return Utf16ToUtf8(t.english);
    }
    return "";
}

// Every string table text the tool can print: what the document, the edits,
// the journal, undo, the exports and the bitmap save show through its host,
// and what it shows itself. Each has an English text with the same "%1".
TEST(CliMessages, EveryProgramTextTheToolPrintsHasAnEnglishText) {
    const uint32_t printed[] = {
        IDS_SAVE_ERROR,
        IDS_SAVE_NO_MEMORY,
        IDS_FILEOPEN_NG,
        IDS_WRITE_ERROR,
        IDS_IO_ERROR,
        IDS_RANGE_HEX,
        IDS_FILL_VALUE,
        IDS_JOURNAL_WRITE_ERROR,
        IDS_JOURNAL_FILE_CHANGED,
        IDS_JOURNAL_TOO_LARGE,
        IDS_JOURNAL_BROKEN,
        IDS_SHIFT_COMPLETED_INSERT,
        IDS_SHIFT_COMPLETED_DELETE,
        IDS_SHIFT_NOT_COMPLETED,
        IDS_NOTHING_TO_UNDO,
        IDS_NOTHING_TO_REDO,
        IDS_NOT_REGULAR_FILE,
        AFX_IDP_FAILED_TO_OPEN_DOC,
        AFX_IDP_FILE_NOT_FOUND,
        AFX_IDP_FILE_BAD_PATH,
        AFX_IDP_FILE_TOO_MANY_OPEN,
        AFX_IDP_FILE_ACCESS_DENIED,
        AFX_IDP_FILE_SHARING,
        AFX_IDP_FILE_GENERIC,
        AFX_IDP_FILE_DISKFULL,
        AFX_IDP_PARSE_STRING_SIZE,
    };
    for (const uint32_t id : printed) {
        SCOPED_TRACE(id);
        const std::u16string& japanese = LoadString(id);
        const std::string english = English(id);
        ASSERT_FALSE(japanese.empty());
        ASSERT_FALSE(english.empty());
        EXPECT_EQ(japanese.find(u"%1") != std::u16string::npos,
                  english.find("%1") != std::string::npos);
        EXPECT_TRUE(std::all_of(english.begin(), english.end(),
                                [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
    }
    EXPECT_EQ(std::size(cli::kProgramTexts), std::size(printed));
}

// The first non-empty of LC_ALL, LC_MESSAGES and LANG decides.
TEST(CliMessages, TheLanguageIsThatOfTheLocalesMessages) {
    test::TempDir dir;
    const std::string missing = dir.File("missing");
    const std::string japanese =
        test::ToolLine(ReplacePercent1(LoadString(AFX_IDP_FILE_NOT_FOUND), Utf8ToUtf16(missing)),
                       "そのようなファイルやディレクトリはありません");
    const std::string english =
        "octile-cli: " + missing + " was not found: no such file or directory\n";
    struct Case {
        std::vector<std::string> locale;
        bool japanese;
    };
    const Case cases[] = {
        {{"LANG=ja_JP.UTF-8"}, true},
        {{"LANG=C"}, false},
        {{}, false},
        {{"LANG=en_US.UTF-8"}, false},
        {{"LC_ALL=ja_JP.UTF-8", "LANG=C"}, true},
        {{"LC_ALL=C", "LANG=ja_JP.UTF-8"}, false},
        {{"LC_MESSAGES=ja_JP.eucJP", "LANG=en_US.UTF-8"}, true},
        {{"LC_ALL=", "LC_MESSAGES=", "LANG=ja"}, true},
        {{"LANGUAGE=ja", "LANG=C"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.locale));
        const CliResult r = test::RunCli({"dump", missing}, dir.path(), {.locale = c.locale});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, c.japanese ? japanese : english);
    }
}

// In a locale that is not Japanese: the English texts, with the system's
// reason where there is one, and nothing but ASCII besides the names.
TEST(CliMessages, EnglishTextsAndSystemReasons) {
    test::TempDir dir;
    const std::string f = dir.Write("f.bin", "0123456789");
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string noFolder = dir.File("no/out.bin");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {{"dump", dir.path()}, 2, "access to " + dir.path() + " was denied: is a directory"},
        {{"insert", fifo, "0", "1"}, 2, "access to " + fifo + " was denied: not a regular file"},
        {{"dump", f, "--end", "zz"}, 2, "give the range in hexadecimal: --end zz"},
        {{"insert", f, "0", "0"}, 2, "give the value to write"},
        {{"fill", f, "0", "4", "123"}, 2, "enter at most 2 characters"},
        {{"save", f, dir.File(".txt")}, 2, "FileOpen NG: the file name is only an extension"},
        {{"save", f, "/dev/null"}, 2, "/dev/null is not a regular file and cannot be written"},
        {{"save", f, noFolder}, 2, "an error occurred while saving the file '" + noFolder + "'"},
        {{"undo", f}, 1, "there is no change to undo"},
        {{"redo", f}, 1, "there is no change to redo"},
        {{"find", "-", "3", "--backward"},
         2,
         "--backward does not apply to a stream (standard input, a pipe or a device), which is "
         "read once from its start\nusage: octile-cli find FILE TEXT [--hex] [--code CODE] "
         "[--caret HEX] [--window HEX] [--read-size HEX] [--backward] [--all]"},
        {{"nosuch"},
         2,
         "unknown command nosuch\nusage: octile-cli COMMAND ARGUMENTS [OPTIONS]\n"
         "       octile-cli COMMAND --help | --help | --version"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const CliResult r = test::RunCli(c.args, dir.path(), kEnglish);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, "octile-cli: " + c.err + "\n");
    }
    // Standard output on a full device.
    const CliResult full = test::RunProgram(
        {"bash", "-c", "exec \"$0\" dump \"$1\" > /dev/full", OCTILE_CLI, f}, dir.path(), kEnglish);
    EXPECT_EQ(full.status, 2);
    EXPECT_EQ(full.err,
              "octile-cli: an error occurred while writing the file '/dev/stdout': no space left "
              "on device\n");
    // A file this user may not read (the superuser may read any).
    if (::geteuid() != 0) {
        const std::string locked = dir.Write("locked.bin", "x");
        ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
        for (const char* command : {"dump", "insert"}) {
            const std::vector<std::string> args =
                command == std::string("dump")
                    ? std::vector<std::string>{"dump", locked}
                    : std::vector<std::string>{"insert", locked, "0", "1"};
            EXPECT_EQ(test::RunCli(args, dir.path(), kEnglish).err,
                      "octile-cli: access to " + locked + " was denied: permission denied\n");
        }
    }
}

// A name with control characters or bidirectional controls is echoed with
// escapes, in messages and in the compare report's names.
TEST(CliMessages, NamesAreEscaped) {
    test::TempDir dir;
    const std::string odd = dir.File(
        "a\x1b[31mb\xE2\x80\xAE"
        "c\xC2\x85");
    const CliResult missing = test::RunCli({"dump", odd}, dir.path(), kEnglish);
    EXPECT_EQ(missing.err, "octile-cli: " + dir.File("a\\x1b[31mb\\u202ec\\u0085") +
                               " was not found: no such file or directory\n");
    dir.Write(
        "a\x1b[31mb\xE2\x80\xAE"
        "c\xC2\x85",
        "old");
    const std::string other = dir.Write("new\t", "new");
    const CliResult report = test::RunCli({"compare", odd, other}, dir.path(), kEnglish);
    EXPECT_EQ(report.status, 0);
    const std::string header = report.out.substr(0, report.out.find('\n'));
    EXPECT_NE(header.find(dir.File("a\\x1b[31mb\\u202ec\\u0085")), std::string::npos) << header;
    EXPECT_NE(header.find(dir.File("new\\x09")), std::string::npos) << header;
    EXPECT_EQ(header.find('\x1b'), std::string::npos);
    EXPECT_EQ(header.find('\t'), std::string::npos);
}

}  // namespace
}  // namespace octile
