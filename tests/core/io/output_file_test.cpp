// OutputFile: what is not a regular file is refused before anything is
// opened for writing; the target keeps its old contents until Commit, then
// holds the new ones with its mode, owner and symbolic links as they were.
#include "io/output_file.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "temp_dir.h"

namespace octile {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;
using test::TempDir;

constexpr uid_t kNobody = 65534;

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.insert(e.path().filename());
    return out;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

bool Write(OutputFile& out, const std::string& bytes) {
    return out.Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()) == bytes.size();
}

// Writes bytes to path through an OutputFile and commits them.
bool Replace(const std::string& path, const std::string& bytes) {
    OutputFile out;
    return out.Open(path) == OutputStatus::Ready && Write(out, bytes) && out.Commit();
}

// Runs check where permissions hold: in a child process as the user nobody
// when this one is root, else here. The child reports check's result (a
// small number) as its exit status.
int Unprivileged(const std::function<int()>& check) {
    if (::geteuid() != 0) return check();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const bool dropped = ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
        ::_exit(dropped ? check() : 99);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(OutputFileTest, RefusesWhatIsNotARegularFileBeforeOpeningIt) {
    TempDir dir;
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string socket = dir.File("socket");
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const std::string folder = dir.File("folder");
    fs::create_directory(folder);
    const std::string linkToFifo = dir.File("link-to-fifo");
    const std::string linkToLink = dir.File("link-to-link");
    const std::string linkToNull = dir.File("link-to-null");
    fs::create_symlink("fifo", linkToFifo);
    fs::create_symlink("link-to-fifo", linkToLink);
    fs::create_symlink("/dev/null", linkToNull);
    const std::set<std::string> before = Names(dir.path());

    // A FIFO without a reader: opening it for writing would never return.
    for (const std::string& path : {fifo, socket, folder, folder + "/", linkToFifo, linkToLink,
                                    std::string("/dev/null"), linkToNull}) {
        SCOPED_TRACE(path);
        OutputFile out;
        EXPECT_EQ(out.Open(path), OutputStatus::NotRegularFile);
        EXPECT_FALSE(out.IsOpen());
    }
    EXPECT_EQ(Names(dir.path()), before);
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_empty(folder));
    ::close(s);
}

TEST(OutputFileTest, TheTargetKeepsItsContentsUntilCommit) {
    TempDir dir;
    const std::string path = dir.Write("out", std::string("old contents"));
    {
        OutputFile out;
        ASSERT_EQ(out.Open(path), OutputStatus::Ready);
        ASSERT_TRUE(Write(out, "new"));
        EXPECT_FALSE(out.InPlace());
        EXPECT_EQ(ReadAll(path), "old contents");
        const std::set<std::string> names = Names(dir.path());
        ASSERT_EQ(names.size(), 2u);
        EXPECT_EQ(names.begin()->rfind(".out.octile-", 0), 0u) << *names.begin();
        // Dropped without Commit: the new file goes.
    }
    EXPECT_EQ(ReadAll(path), "old contents");
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"out"});

    {
        OutputFile out;
        ASSERT_EQ(out.Open(dir.File("new")), OutputStatus::Ready);
        ASSERT_TRUE(Write(out, "never committed"));
    }
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"out"});

    ASSERT_TRUE(Replace(path, "new"));
    EXPECT_EQ(ReadAll(path), "new");
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"out"});
}

TEST(OutputFileTest, KeepsModeOwnerAndSymbolicLinks) {
    TempDir dir, other;
    const mode_t umask = ::umask(0);
    ::umask(umask);

    const std::string tight = dir.Write("tight", std::string("old"));
    ASSERT_EQ(::chmod(tight.c_str(), 0600), 0);
    ASSERT_TRUE(Replace(tight, "new"));
    EXPECT_EQ(ModeOf(tight), S_IFREG | 0600);

    const std::string fresh = dir.File("fresh");
    ASSERT_TRUE(Replace(fresh, "new"));
    EXPECT_EQ(ModeOf(fresh), S_IFREG | (0666 & ~umask));

    // Links, relative and chained, into another folder: the file they lead
    // to is replaced, with its mode; the links stay. A dangling link makes
    // the file it names.
    const std::string target = other.Write("target", std::string("old"));
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    const std::string link = dir.File("link"), chain = dir.File("chain");
    fs::create_symlink(fs::relative(target, dir.path()), link);
    fs::create_symlink("link", chain);
    const std::string dangling = dir.File("dangling");
    fs::create_symlink(other.File("made"), dangling);
    for (const std::string& path : {link, chain, dangling}) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(Replace(path, "through " + path));
        EXPECT_TRUE(fs::is_symlink(path));
        EXPECT_EQ(ReadAll(path), "through " + path);
    }
    EXPECT_EQ(ModeOf(target), S_IFREG | 0640);
    EXPECT_EQ(Names(other.path()), (std::set<std::string>{"made", "target"}));
    EXPECT_EQ(Names(dir.path()),
              (std::set<std::string>{"chain", "dangling", "fresh", "link", "tight"}));

    // Another user's file keeps its owner where this process may give it back.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(tight.c_str(), kNobody, kNobody), 0);
        ASSERT_TRUE(Replace(tight, "newer"));
        struct stat st {};
        ASSERT_EQ(::stat(tight.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, kNobody);
        EXPECT_EQ(st.st_gid, kNobody);
        EXPECT_EQ(st.st_mode, S_IFREG | 0600);
    }
}

// A writable file where no new file can be made beside it is written in
// place; a file that may not be written is not replaced, though its folder
// would allow it.
TEST(OutputFileTest, WithoutRoomBesideTheTargetWritesInPlace) {
    enum Result { kInPlace = 1, kReplaced, kRefused, kOther };
    struct Case {
        const char* name;
        mode_t folderMode;
        mode_t fileMode;
        bool anotherUsersFile;  // needs root to set up
        Result result;
    };
    const Case cases[] = {
        {"folder not writable", 0555, 0666, false, kInPlace},
        {"sticky folder, another user's file", 01777, 0666, true, kInPlace},
        {"sticky folder, own file", 01777, 0666, false, kReplaced},
        {"file not writable", 0777, 0444, false, kRefused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.anotherUsersFile && ::geteuid() != 0) continue;
        TempDir dir;
        const std::string folder = dir.File("folder");
        fs::create_directory(folder);
        const std::string path = folder + "/out";
        {
            const std::string made = dir.Write("folder/out", std::string("old contents"));
            ASSERT_EQ(::chmod(made.c_str(), c.fileMode), 0);
        }
        // The file is the test user's (nobody's when root runs the tests),
        // unless it is to be another's.
        if (::geteuid() == 0 && !c.anotherUsersFile) {
            ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
            ASSERT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
        }
        ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
        ASSERT_EQ(::chmod(folder.c_str(), c.folderMode), 0);
        const int result = Unprivileged([&] {
            OutputFile out;
            const OutputStatus status = out.Open(path);
            if (status == OutputStatus::CannotCreate) return int{kRefused};
            if (status != OutputStatus::Ready) return int{kOther};
            const bool inPlace = out.InPlace();
            if (!Write(out, "new") || !out.Commit()) return int{kOther};
            return int{inPlace ? kInPlace : kReplaced};
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(ReadAll(path), c.result == kRefused ? "old contents" : "new");
        EXPECT_EQ(Names(folder), std::set<std::string>{"out"});
        ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    }
}

TEST(OutputFileTest, ALongNameGetsAShortenedTemporaryName) {
    TempDir dir;
    // 255 bytes: 85 three-byte characters.
    std::string name;
    for (int i = 0; i < 85; ++i) name += "\xE3\x81\x82";
    const std::string path = dir.Write(name, std::string("old"));
    OutputFile out;
    ASSERT_EQ(out.Open(path), OutputStatus::Ready);
    const std::set<std::string> names = Names(dir.path());
    ASSERT_EQ(names.size(), 2u);
    for (const std::string& n : names) EXPECT_LE(n.size(), 255u);
    ASSERT_TRUE(Write(out, "new"));
    ASSERT_TRUE(out.Commit());
    EXPECT_EQ(ReadAll(path), "new");
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{name});
}

}  // namespace
}  // namespace octile
