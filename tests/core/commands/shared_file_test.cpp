// A file that others use too: a second Octile process on the same file in
// every combination of read-only and read-write, and a file shortened,
// lengthened or deleted by another program while it is shown. Nothing
// crashes; the page shows what the file holds when it is read again, and
// typing never writes past the file's present end.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "commands/clipboard.h"
#include "document/byte_shift.h"
#include "resources/resources.h"
#include "session.h"
#include "temp_dir.h"
#include "util/utf.h"

namespace octile {
namespace {

using test::FakeHost;
using test::PutCaretOnByte;
using test::ReadAll;
using test::TempDir;

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 26);
    return s;
}

// One Octile: a document opened on path, read-only or read-write as the
// template file's NoReadOnly says, and its view.
struct Octile : test::Session {
    Octile(TempDir& dir, bool readWrite) {
        templatePath =
            dir.Write(std::to_string(::getpid()) + (readWrite ? "rw.ini" : "ro.ini"),
                      std::string("[Setting]\nNoReadOnly=") + (readWrite ? "1" : "0") + "\n");
    }
    // Types a hexadecimal digit pair over the byte at offset (on the page).
    void TypeByte(uint64_t offset, const char* digits) {
        PutCaretOnByte(view, offset);
        view.OnChar(static_cast<uint8_t>(digits[0]));
        view.OnChar(static_cast<uint8_t>(digits[1]));
    }
    // The page's dump lines (between ruler and closing rule).
    size_t PageLines() const {
        size_t n = 0;
        for (char16_t c : view.DumpText()) n += c == u'\n';
        return n - 2;
    }
};

// Another Octile process holding the file, driven through a pipe: it opens
// the file, reports whether it could, then answers requests until told to
// end.
class OtherProcess {
  public:
    OtherProcess(TempDir& dir, const std::string& path, bool readWrite) {
        int toChild[2], fromChild[2];
        if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(toChild[1]);
            ::close(fromChild[0]);
            Serve(dir, path, readWrite, toChild[0], fromChild[1]);
            ::_exit(0);
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        out_ = toChild[1];
        in_ = fromChild[0];
        opened_ = Receive() == 'y';
    }
    ~OtherProcess() {
        if (pid_ <= 0) return;
        Send('q');
        ::close(out_);
        ::close(in_);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    OtherProcess(const OtherProcess&) = delete;
    OtherProcess& operator=(const OtherProcess&) = delete;

    bool Opened() const { return opened_; }
    // The byte its page shows at offset 5 after reading the page again.
    int ShownAfterReload() {
        Send('r');
        return Receive();
    }
    // Types "ee" over byte 5 and answers with the byte the file then holds.
    int TypeOverByte5() {
        Send('t');
        return Receive();
    }

  private:
    static void Serve(TempDir& dir, const std::string& path, bool readWrite, int in, int out) {
        Octile me(dir, readWrite);
        const bool ok = me.Open(path) && me.doc.IsReadOnly() == (readWrite ? 0 : 1);
        auto reply = [out](int v) {
            const uint8_t b = static_cast<uint8_t>(v);
            (void)!::write(out, &b, 1);
        };
        reply(ok ? 'y' : 'n');
        uint8_t request = 0;
        while (::read(in, &request, 1) == 1 && request != 'q') {
            if (request == 'r') {
                me.view.ReloadWindow();
                reply(me.view.ValidCount() > 5 ? me.view.ReadWindow()[5] : -1);
            } else if (request == 't') {
                me.TypeByte(5, "ee");
                reply(static_cast<uint8_t>(ReadAll(path)[5]));
            }
        }
    }
    void Send(char c) { (void)!::write(out_, &c, 1); }
    int Receive() {
        uint8_t b = 0;
        return ::read(in_, &b, 1) == 1 ? b : -1;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int in_ = -1;
    bool opened_ = false;
};

// Read-only opens take no lock; a read-write open holds the file against
// every open by another Octile, as the sharing rules say.
TEST(SharedFile, TwoOctilesInEveryMode) {
    struct Row {
        bool firstWrites;   // the process that opened the file first
        bool secondWrites;  // this one, opening it while the first holds it
        bool secondOpens;
    };
    const Row rows[] = {
        {false, false, true},
        {false, true, true},
        {true, false, false},
        {true, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.firstWrites ? "read-write" : "read-only") + " then " +
                     (row.secondWrites ? "read-write" : "read-only"));
        TempDir dir;
        const std::string path = dir.Write("shared.bin", Pattern(300));
        const std::string previous = dir.Write("previous.bin", Pattern(40));
        OtherProcess first(dir, path, row.firstWrites);
        ASSERT_TRUE(first.Opened());

        Octile second(dir, row.secondWrites);
        ASSERT_TRUE(second.Open(previous));
        const bool opened = second.Open(path);
        EXPECT_EQ(opened, row.secondOpens);
        if (!row.secondOpens) {
            // The sharing-violation message; the previous file stays open and shown.
            ASSERT_EQ(second.host.messages.size(), 1u);
            EXPECT_EQ(second.host.messages[0].text,
                      Utf8ToUtf16(FullPath(path)) + u" へのアクセス中に共有違反が発生しました。");
            EXPECT_EQ(second.doc.GetPathName(), FullPath(previous));
            EXPECT_TRUE(second.doc.HasFile());
            EXPECT_EQ(second.doc.GetFileLength(), 40u);
            // The first one edits on.
            if (row.firstWrites) {
                EXPECT_EQ(first.TypeOverByte5(), 0xEE);
            }
            continue;
        }
        EXPECT_TRUE(second.host.messages.empty());
        // Typing reaches the file only in a read-write Octile; the other one
        // shows the change once it reads its page again.
        second.TypeByte(5, "ee");
        const uint8_t now = static_cast<uint8_t>(ReadAll(path)[5]);
        EXPECT_EQ(now, row.secondWrites ? 0xEE : 'f');
        EXPECT_EQ(first.ShownAfterReload(), now);
        EXPECT_EQ(first.TypeOverByte5(), now);  // read-only: refused
    }
}

// The first Octile (read-only) switches to read-write while another holds
// the file read-write: the reopen fails silently, the document has no file,
// and nothing reads or writes it any more.
TEST(SharedFile, SwitchingToReadWriteWhileAnotherWrites) {
    TempDir dir;
    const std::string path = dir.Write("shared.bin", Pattern(300));
    Octile me(dir, false);
    ASSERT_TRUE(me.Open(path));
    OtherProcess writer(dir, path, true);
    ASSERT_TRUE(writer.Opened());

    me.doc.OnCommand(ID_READ_ONLY);
    EXPECT_FALSE(me.doc.HasFile());
    EXPECT_TRUE(me.host.messages.empty());
    me.view.ReloadWindow();
    EXPECT_EQ(me.view.ValidCount(), 0u);
    me.TypeByte(5, "00");
    EXPECT_EQ(writer.TypeOverByte5(), 0xEE);  // only the writer's typing reached the file
    EXPECT_EQ(ReadAll(path).size(), 300u);
}

// Runs a program to its end (another program changing the file); its exit
// status, or -1 when it could not run.
int RunProgram(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// Another program cuts the file short while a read-write Octile shows it.
TEST(SharedFile, ShortenedWhileShown) {
    TempDir dir;
    const std::string path = dir.Write("f.bin", Pattern(1000));
    Octile me(dir, true);
    ASSERT_TRUE(me.Open(path));
    ASSERT_EQ(me.view.ValidCount(), 256u);
    ASSERT_EQ(me.host.scrollMax, 62);  // the last of 63 lines
    ASSERT_EQ(RunProgram({"truncate", "-s", "100", path}), 0);

    // Before the page is read again it still shows 256 bytes: typing past the
    // file's new end is refused, and typing inside it does not lengthen it.
    me.TypeByte(200, "ee");
    EXPECT_EQ(ReadAll(path), Pattern(100));
    me.TypeByte(50, "ee");
    std::string expected = Pattern(100);
    expected[50] = '\xEE';
    EXPECT_EQ(ReadAll(path), expected);

    // A paste reaching past the new end writes only what lies inside it.
    COctileView::Cell cell;
    ASSERT_TRUE(me.view.OffsetToCell(COctileView::CellMode::kHex, 96, cell));
    me.view.SetCaretCell(cell);
    me.host.clipboard = u"01 02 03 04 05 06 07 08";
    PasteClipboard(me.host, me.host, me.doc, me.view);
    expected.replace(96, 4, "\x01\x02\x03\x04");
    EXPECT_EQ(ReadAll(path), expected);

    // Read again, the page shows what the file holds, the document and the
    // scroll range know the new length, and no page lies past the end.
    me.view.ReloadWindow();
    EXPECT_EQ(me.doc.GetFileLength(), 100u);
    EXPECT_EQ(me.host.scrollMax, 6);  // the last of 7 lines
    EXPECT_EQ(me.view.ValidCount(), 100u);
    EXPECT_EQ(me.PageLines(), 7u);
    EXPECT_EQ(me.view.ReadWindow()[50], 0xEE);
    EXPECT_EQ(me.view.ReadWindow()[100], 0);  // past the end: zeros, not stale bytes
    me.view.OnCommand(ID_PAGE_NEXT);
    EXPECT_EQ(me.view.WindowOffset(), 0u);

    // A search runs once around what the file holds: the hit lies inside it.
    EXPECT_TRUE(me.search.SearchFile(u"xyz", false));
    EXPECT_LE(me.view.Anchor() + 3, 100u);
    EXPECT_EQ(ReadAll(path), expected);

    // An insert works on the file as it is now.
    EXPECT_TRUE(InsertBytes(me.doc, me.host, 60, 16));
    EXPECT_EQ(ReadAll(path), expected.substr(0, 60) + std::string(16, '\0') + expected.substr(60));
    EXPECT_TRUE(me.host.messages.empty());
}

// The page past the new end moves back to the file's last line, and the
// caret stays on a line of bytes, never on the ruler.
TEST(SharedFile, PageAndCaretFollowAFileCutShort) {
    TempDir dir;
    const std::string path = dir.Write("f.bin", Pattern(0x3000));
    Octile me(dir, true);
    ASSERT_TRUE(me.Open(path));
    me.view.SetWindowOffset(0x2000);
    me.view.UpdateSelection(SelectionStep::kAnchor, 0x2010);
    me.view.UpdateSelection(SelectionStep::kCaret, 0x2080);
    ASSERT_EQ(RunProgram({"truncate", "-s", "291", path}), 0);  // 0x123 bytes
    me.view.ReloadWindow();
    EXPECT_EQ(me.view.WindowOffset(), 0x120u);  // the last line
    EXPECT_EQ(me.view.ValidCount(), 3u);
    EXPECT_EQ(me.view.Anchor(), 0x122u);
    EXPECT_GE(me.view.CaretCell().row, DumpLayout::kFirstLineRow);

    ASSERT_EQ(RunProgram({"truncate", "-s", "0", path}), 0);
    me.view.ReloadWindow();
    EXPECT_EQ(me.view.WindowOffset(), 0u);
    EXPECT_EQ(me.view.ValidCount(), 0u);
    EXPECT_EQ(me.host.scrollMax, 0);
    me.TypeByte(0, "11");
    EXPECT_EQ(ReadAll(path), "");
}

// Another program appends to the file while it is shown.
TEST(SharedFile, LengthenedWhileShown) {
    TempDir dir;
    const std::string path = dir.Write("f.bin", Pattern(100));
    Octile me(dir, true);
    ASSERT_TRUE(me.Open(path));
    ASSERT_EQ(me.view.ValidCount(), 100u);
    ASSERT_EQ(RunProgram({"sh", "-c", "head -c 300 /dev/zero >> \"$0\"", path}), 0);

    // Read again, the page shows the bytes the file has now, and the rest of
    // the file can be reached.
    me.view.ReloadWindow();
    EXPECT_EQ(me.view.ValidCount(), 256u);
    EXPECT_EQ(me.PageLines(), 16u);
    EXPECT_EQ(me.doc.GetFileLength(), 400u);
    EXPECT_EQ(me.host.scrollMax, 400 / 16 - 1);  // the last of 25 lines
    me.TypeByte(150, "ee");
    me.TypeByte(20, "ee");
    std::string expected = Pattern(100) + std::string(300, '\0');
    expected[20] = '\xEE';
    expected[150] = '\xEE';
    EXPECT_EQ(ReadAll(path), expected);
    me.view.OnCommand(ID_PAGE_NEXT);
    EXPECT_EQ(me.view.WindowOffset(), 256u);
    EXPECT_EQ(me.view.ValidCount(), 144u);
}

// Another program deletes the file while it is shown: the open descriptor
// keeps its bytes until the document lets go of it.
TEST(SharedFile, DeletedWhileOpen) {
    TempDir dir;
    const std::string path = dir.Write("f.bin", Pattern(300));
    Octile me(dir, true);
    ASSERT_TRUE(me.Open(path));
    ASSERT_EQ(::unlink(path.c_str()), 0);

    me.view.ReloadWindow();
    EXPECT_EQ(me.view.ValidCount(), 256u);
    me.TypeByte(7, "ee");
    uint8_t b = 0;
    ASSERT_EQ(me.doc.file().ReadAt(&b, 1, 7), 1u);
    EXPECT_EQ(b, 0xEE);  // went to the open file
    EXPECT_FALSE(std::filesystem::exists(path));

    // Reopening (the read-only switch) cannot find it: no message, no file.
    me.doc.OnCommand(ID_READ_ONLY);
    EXPECT_FALSE(me.doc.HasFile());
    EXPECT_TRUE(me.host.messages.empty());
    me.view.ReloadWindow();
    EXPECT_EQ(me.view.ValidCount(), 0u);
    me.TypeByte(7, "11");
    me.view.OnCommand(ID_PAGE_NEXT);
    EXPECT_FALSE(me.search.SearchFile(u"abc", false));
    me.view.OnDestroy();  // saves the marks of a path that is gone
    EXPECT_FALSE(std::filesystem::exists(path));

    // Another file opens as usual.
    const std::string other = dir.Write("g.bin", Pattern(20));
    ASSERT_TRUE(me.Open(other));
    EXPECT_EQ(me.view.ValidCount(), 20u);
}

}  // namespace
}  // namespace octile
