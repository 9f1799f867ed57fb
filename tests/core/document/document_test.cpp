#include "document/document.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <numeric>

#include "command/command_ids.h"
#include "fake_host.h"
#include "temp_dir.h"
#include "util/utf.h"

namespace octile {
namespace {

using test::FakeHost;
using test::ReadAll;
using test::TempDir;

std::vector<uint8_t> Bytes(size_t n, uint8_t first = 0) {
    std::vector<uint8_t> v(n);
    std::iota(v.begin(), v.end(), first);
    return v;
}

class DocumentTest : public ::testing::Test {
  protected:
    DocumentTest() : doc(host) {
        doc.templatePath = [this] { return templatePath; };
        doc.chooseFile = [this](FileDialogRequest& r) { return host.GetFileName(r); };
        doc.openDocumentFile = [this](const std::string& p) { return doc.OnOpenDocument(p); };
    }
    void SetNoReadOnly(bool on) {
        templatePath = dir.Write("octile.ini",
                                 std::string("[Setting]\nNoReadOnly=") + (on ? "1" : "0") + "\n");
    }

    TempDir dir;
    FakeHost host;
    COctileDoc doc;
    std::string templatePath;
};

TEST_F(DocumentTest, ReadBytesFillsLookAheadAndZeros) {
    const auto data = Bytes(1000);
    ASSERT_TRUE(doc.OnOpenDocument(dir.Write("f.bin", data)));
    EXPECT_EQ(doc.GetFileLength(), 1000u);

    std::vector<uint8_t> buf(256 + 16, 0xEE);
    // In the middle: n bytes plus the file's next 16.
    EXPECT_EQ(doc.ReadBytes(buf.data(), 256, 100), 256u);
    EXPECT_TRUE(std::equal(buf.begin(), buf.end(), data.begin() + 100));

    // Near the end: the count is what the file has; every other byte is 0.
    std::fill(buf.begin(), buf.end(), 0xEE);
    EXPECT_EQ(doc.ReadBytes(buf.data(), 256, 990), 10u);
    EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + 10, data.begin() + 990));
    EXPECT_TRUE(std::all_of(buf.begin() + 10, buf.end(), [](uint8_t b) { return b == 0; }));

    // The span ends inside the file but the look-ahead runs past its end.
    std::fill(buf.begin(), buf.end(), 0xEE);
    EXPECT_EQ(doc.ReadBytes(buf.data(), 256, 1000 - 256 - 4), 256u);
    EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + 260, data.begin() + 740));
    EXPECT_TRUE(std::all_of(buf.begin() + 260, buf.end(), [](uint8_t b) { return b == 0; }));

    // At and past the end.
    for (uint64_t off : {1000ull, 5000ull, ~0ull - 100}) {
        std::fill(buf.begin(), buf.end(), 0xEE);
        EXPECT_EQ(doc.ReadBytes(buf.data(), 256, off), 0u) << off;
        EXPECT_TRUE(std::all_of(buf.begin(), buf.end(), [](uint8_t b) { return b == 0; }));
    }
}

TEST_F(DocumentTest, NoFileAndEmptyFile) {
    std::vector<uint8_t> buf(32, 0xEE);
    EXPECT_EQ(doc.ReadBytes(buf.data(), 16, 0), 0u);
    EXPECT_EQ(buf[0], 0xEE);  // untouched without a file
    EXPECT_EQ(doc.WriteBytes(buf.data(), 16, 0), 0u);
    EXPECT_EQ(doc.IsReadOnly(), 1);
    EXPECT_EQ(doc.GetTitle(), u"無題");

    ASSERT_TRUE(doc.OnOpenDocument(dir.Write("empty.bin", "")));
    EXPECT_EQ(doc.GetFileLength(), 0u);
    EXPECT_FALSE(doc.IsInFile(0));
    EXPECT_EQ(doc.ReadBytes(buf.data(), 16, 0), 0u);
    EXPECT_EQ(doc.GetTitle(), u"empty.bin");
}

TEST_F(DocumentTest, OffsetsBeyond4GiBOnASparseFile) {
    const std::string path = dir.File("sparse.bin");
    const uint64_t size = (5ull << 30) + 123;
    {
        const int fd = ::open(path.c_str(), O_CREAT | O_RDWR, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
        ::close(fd);
    }
    SetNoReadOnly(true);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_EQ(doc.IsReadOnly(), 0);
    EXPECT_EQ(doc.GetFileLength(), size);

    // Both halves of the offset count: a write at 4 GiB + x must not land at x.
    const uint64_t high = (4ull << 30) + 0x10;
    const uint8_t marker[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    EXPECT_EQ(doc.WriteBytes(marker, 4, high), 4u);
    std::vector<uint8_t> buf(16 + 16);
    EXPECT_EQ(doc.ReadBytes(buf.data(), 16, high - 4), 16u);
    EXPECT_EQ(buf[4], 0xDE);
    EXPECT_EQ(buf[7], 0xEF);
    EXPECT_EQ(doc.ReadBytes(buf.data(), 16, 0x10 - 4), 16u);
    EXPECT_EQ(buf[4], 0);
    EXPECT_EQ(doc.ReadBytes(buf.data(), 16, size - 3), 3u);
}

TEST_F(DocumentTest, WriteBytesGoesStraightToTheFile) {
    const std::string path = dir.Write("w.bin", Bytes(64));
    SetNoReadOnly(true);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    const uint8_t b[2] = {0x41, 0x42};
    EXPECT_EQ(doc.WriteBytes(b, 2, 10), 2u);
    const std::string disk = ReadAll(path);
    EXPECT_EQ(disk[10], 'A');
    EXPECT_EQ(disk[11], 'B');
    EXPECT_EQ(disk.size(), 64u);
}

TEST_F(DocumentTest, OpenModesFollowNoReadOnly) {
    const std::string path = dir.Write("m.bin", Bytes(8));
    // Default template: read-only, and writes do not reach the file.
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(doc.IsReadOnly(), 1);
    const uint8_t b = 0xFF;
    EXPECT_EQ(doc.WriteBytes(&b, 1, 0), 0u);
    EXPECT_EQ(ReadAll(path)[0], '\0');

    SetNoReadOnly(true);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(doc.IsReadOnly(), 0);
    EXPECT_EQ(doc.WriteBytes(&b, 1, 0), 1u);
}

// Runs body as an unprivileged user when the tests run as root (root may
// write any file); returns body's result.
int AsUnprivileged(const std::string& folder, const std::function<int()>& body) {
    if (::geteuid() != 0) return body();
    ::chmod(folder.c_str(), 0755);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(100);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(DocumentTest, NoReadOnlyWithAFileTheUserCannotWrite) {
    const std::string path = dir.Write("ro.bin", Bytes(8));
    ::chmod(path.c_str(), 0444);
    SetNoReadOnly(true);
    ::chmod(templatePath.c_str(), 0644);
    // The open counts as done, but the document is left without a file.
    EXPECT_EQ(AsUnprivileged(dir.path(),
                             [&] {
                                 FakeHost h;
                                 COctileDoc d(h);
                                 d.templatePath = [&] { return templatePath; };
                                 const bool ok = d.OnOpenDocument(path);
                                 return ok && !d.HasFile() && d.GetFileLength() == 0 &&
                                                h.messages.empty()
                                            ? 0
                                            : 1;
                             }),
              0);
}

// The file opened is the one the kernel finds: a symbolic link to a folder
// is followed before "..", which the shown path folds as text.
TEST_F(DocumentTest, OpensTheFileThePathNamesThroughASymlinkedFolder) {
    std::filesystem::create_directories(dir.File("real/sub"));
    dir.Write("real/f.bin", "kernel's file");
    dir.Write("f.bin", "textual file");
    ASSERT_EQ(::symlink(dir.File("real/sub").c_str(), dir.File("link").c_str()), 0);
    ASSERT_TRUE(doc.OnOpenDocument(dir.File("link/../f.bin")));
    uint8_t buffer[13 + COctileDoc::kLookAhead] = {};
    ASSERT_EQ(doc.ReadBytes(buffer, 13, 0), 13u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 13), "kernel's file");
    EXPECT_EQ(doc.GetPathName(), dir.File("f.bin"));  // the title's text, as before
    // Reopened read-write, it stays the same file.
    SetNoReadOnly(false);
    doc.OnCommand(ID_READ_ONLY);
    ASSERT_EQ(doc.IsReadOnly(), 0);
    const uint8_t x = 'K';
    ASSERT_EQ(doc.WriteBytes(&x, 1, 0), 1u);
    EXPECT_EQ(test::ReadAll(dir.File("real/f.bin")), "Kernel's file");
    EXPECT_EQ(test::ReadAll(dir.File("f.bin")), "textual file");
}

// With a working directory that no longer exists a relative path names no
// file: it is refused, never taken from the root of the file system.
TEST_F(DocumentTest, RelativePathWithoutAWorkingDirectoryIsRefused) {
    const std::string gone = dir.File("gone");
    std::filesystem::create_directory(gone);
    const std::string absolute = dir.Write("abs.bin", "abs");
    const std::string before = std::filesystem::current_path();
    ASSERT_EQ(::chdir(gone.c_str()), 0);
    ASSERT_EQ(::rmdir(gone.c_str()), 0);
    EXPECT_EQ(AbsolutePath("etc/passwd"), "");
    const bool relative = doc.OnOpenDocument("etc/passwd");
    const bool whole = doc.OnOpenDocument(absolute);
    ASSERT_EQ(::chdir(before.c_str()), 0);
    EXPECT_FALSE(relative);
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages[0].text, u"etc/passwd に正しくないパスが含まれています。");
    EXPECT_TRUE(whole);
    EXPECT_EQ(doc.GetPathName(), absolute);
}

TEST_F(DocumentTest, ProbeFailuresShowTheFrameworkTexts) {
    const std::string dirPath = dir.path() + "/sub";
    std::filesystem::create_directory(dirPath);
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::string path;
        std::u16string expected;
    } cases[] = {
        {dir.File("nope.bin"), Utf8ToUtf16(dir.File("nope.bin")) + u" が見つかりませんでした。"},
        {dir.File("nope/x.bin"),
         Utf8ToUtf16(dir.File("nope/x.bin")) + u" が見つかりませんでした。"},
        {dirPath, Utf8ToUtf16(dirPath) + u" へのアクセスは拒否されました。"},
        {fifo, Utf8ToUtf16(fifo) + u" へのアクセスは拒否されました。"},
        {dir.path() + "/" + std::string(5000, 'n'),
         Utf8ToUtf16(dir.path() + "/" + std::string(5000, 'n')) +
             u" に正しくないパスが含まれています。"},
    };
    const std::string keep = dir.Write("keep.bin", Bytes(32));
    ASSERT_TRUE(doc.OnOpenDocument(keep));
    for (const Case& c : cases) {
        host.messages.clear();
        EXPECT_FALSE(doc.OnOpenDocument(c.path));
        ASSERT_EQ(host.messages.size(), 1u) << c.path;
        EXPECT_EQ(host.messages[0].text, c.expected);
        EXPECT_EQ(host.messages[0].type, MB_OK | MB_ICONEXCLAMATION);
        // The previous file stays open.
        EXPECT_EQ(doc.GetPathName(), keep);
        EXPECT_EQ(doc.GetFileLength(), 32u);
        EXPECT_TRUE(doc.HasFile());
    }
}

TEST_F(DocumentTest, OpenDialogStartsReadOnlyAndToggleReopens) {
    const std::string path = dir.Write("d.bin", Bytes(16));
    SetNoReadOnly(true);  // the dialog ignores it
    host.fileDialogScript.push_back([&](FileDialogRequest& r) {
        r.chosenPath = path;
        return true;
    });
    doc.OnCommand(ID_FILE_OPEN);
    ASSERT_EQ(host.fileRequests.size(), 1u);
    EXPECT_EQ(host.fileRequests[0].title, u"開く");
    EXPECT_EQ(host.fileRequests[0].filter, u"実行ﾌｧｲﾙ(*.exe)|*.exe|全てのﾌｧｲﾙ(*.*)|*.*||");
    EXPECT_EQ(host.fileRequests[0].defaultExtension, u"exe");
    EXPECT_EQ(doc.GetPathName(), path);
    EXPECT_EQ(doc.IsReadOnly(), 1);

    doc.OnCommand(ID_READ_ONLY);
    EXPECT_EQ(doc.IsReadOnly(), 0);
    const uint8_t b = 0x7A;
    EXPECT_EQ(doc.WriteBytes(&b, 1, 3), 1u);
    EXPECT_EQ(ReadAll(path)[3], 'z');
    doc.OnCommand(ID_READ_ONLY);
    EXPECT_EQ(doc.IsReadOnly(), 1);
    EXPECT_EQ(doc.WriteBytes(&b, 1, 4), 0u);

    // Cancel shows nothing; the last path is the next initial name.
    doc.OnCommand(ID_FILE_OPEN);
    EXPECT_EQ(host.fileRequests[1].initialPath, path);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(DocumentTest, ToggleKeepsAFileTheUserCannotWriteReadOnly) {
    const std::string path = dir.Write("ro.bin", Bytes(8));
    ::chmod(path.c_str(), 0444);
    EXPECT_EQ(AsUnprivileged(dir.path(),
                             [&] {
                                 FakeHost h;
                                 COctileDoc d(h);
                                 if (!d.OnOpenDocument(path)) return 1;
                                 d.OnCommand(ID_READ_ONLY);
                                 const uint8_t b = 1;
                                 return d.IsReadOnly() == 1 && d.HasFile() &&
                                                d.WriteBytes(&b, 1, 0) == 0
                                            ? 0
                                            : 2;
                             }),
              0);
}

TEST_F(DocumentTest, CommandEnabling) {
    auto state = [&](uint32_t id) {
        CmdUI ui;
        EXPECT_TRUE(doc.OnUpdateCommand(id, ui)) << id;
        return ui;
    };
    EXPECT_FALSE(state(ID_FILE_SAVE_AS).enabled);
    EXPECT_FALSE(state(ID_EDIT_COPY).enabled);
    EXPECT_TRUE(state(ID_READ_ONLY).checked);  // ticked before any file is opened
    for (uint32_t id : {ID_EDIT_PASTE, ID_EDIT_FILL, ID_EDIT_INSERT, ID_EDIT_DELETE}) {
        EXPECT_FALSE(state(id).enabled);
    }
    ASSERT_TRUE(doc.OnOpenDocument(dir.Write("e.bin", Bytes(4))));
    EXPECT_TRUE(state(ID_FILE_SAVE_AS).enabled);
    EXPECT_TRUE(state(ID_EDIT_COPY).enabled);
    doc.OnCommand(ID_READ_ONLY);
    for (uint32_t id : {ID_EDIT_PASTE, ID_EDIT_FILL, ID_EDIT_INSERT, ID_EDIT_DELETE}) {
        EXPECT_TRUE(state(id).enabled);
    }
    EXPECT_FALSE(state(ID_READ_ONLY).checked);
}

TEST_F(DocumentTest, RelativePathsBecomeFullPaths) {
    EXPECT_EQ(FullPath("/a/./b/../c"), "/a/c");
    EXPECT_EQ(FullPath("/"), "/");
    const std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(FullPath("x/y"), cwd + "/x/y");
}

// A second process on the same file, as another Octile would be.
TEST_F(DocumentTest, SecondProcessProbeFailsWhileFileIsHeldReadWrite) {
    const std::string path = dir.Write("shared.bin", Bytes(16));
    SetNoReadOnly(true);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_EQ(doc.IsReadOnly(), 0);

    auto otherProcessOpens = [&]() -> int {
        const pid_t pid = ::fork();
        if (pid == 0) {
            FakeHost h;
            COctileDoc other(h);
            const bool ok = other.OnOpenDocument(path);
            const bool sharingText =
                h.messages.size() == 1 &&
                h.messages[0].text ==
                    Utf8ToUtf16(path) + u" へのアクセス中に共有違反が発生しました。";
            ::_exit(ok ? 0 : (sharingText ? 1 : 2));
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(otherProcessOpens(), 1);
    doc.OnCommand(ID_READ_ONLY);  // now read-only: the other may open it
    EXPECT_EQ(otherProcessOpens(), 0);
}

}  // namespace
}  // namespace octile
