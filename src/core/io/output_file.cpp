#include "io/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string_view>
#include <vector>

#include "io/file_handle.h"

namespace octile {

namespace {

constexpr int kMaxLinks = 40;       // as many as the kernel follows before ELOOP
constexpr size_t kMaxName = 255;    // NAME_MAX of the usual file systems
constexpr size_t kLinkRoom = 4096;  // PATH_MAX
constexpr std::string_view kTemporaryInfix = ".octile-";
constexpr int kRandomChars = 6;

// The folder part of path with its slash; "" for a name alone.
std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Follows the symbolic links at the end of path, as open(2) would, to the
// path of the file to be written; *exists tells whether it exists, and st
// holds its lstat when it does. False with errno set when a link cannot be
// read, the links loop or a folder of the path cannot be searched.
bool FollowLinks(std::string path, std::string& target, struct stat& st, bool& exists) {
    for (int hops = 0;; ++hops) {
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno != ENOENT) return false;
            exists = false;  // a new file, or the missing file a dangling link names
            target = path;
            return true;
        }
        if (!S_ISLNK(st.st_mode)) {
            exists = true;
            target = path;
            return true;
        }
        if (hops == kMaxLinks) {
            errno = ELOOP;
            return false;
        }
        std::vector<char> link(kLinkRoom);
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0) return false;
        if (n == 0 || static_cast<size_t>(n) == link.size()) {
            errno = n == 0 ? ENOENT : ENAMETOOLONG;
            return false;
        }
        const std::string to(link.data(), static_cast<size_t>(n));
        path = to.front() == '/' ? to : FolderOf(path) + to;
    }
}

// Creates a new file with a name of its own beside target:
// ".<name>.octile-XXXXXX", the name shortened (at a character's start) so
// that the whole stays a valid file name. Returns its descriptor and its path
// in *temporary, or -1 with errno set.
int CreateBeside(const std::string& target, mode_t mode, std::string& temporary) {
    static constexpr char kChars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const std::string folder = FolderOf(target);
    std::string name = target.substr(folder.size());
    const size_t room = kMaxName - 1 - kTemporaryInfix.size() - kRandomChars;
    if (name.size() > room) {
        size_t cut = room;
        while (cut > 0 && (static_cast<uint8_t>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    const std::string stem = folder + "." + name + std::string(kTemporaryInfix);
    std::mt19937_64 rng(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = stem;
        for (int i = 0; i < kRandomChars; ++i) path += kChars[rng() % (sizeof kChars - 1)];
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
        if (fd >= 0) {
            temporary = std::move(path);
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    errno = EEXIST;
    return -1;
}

// True when the folder of target is sticky and would refuse to let this
// process rename over target, which it neither owns nor holds the folder of.
bool StickyFolderRefuses(const std::string& target, const struct stat& st) {
    const std::string folder = FolderOf(target);
    struct stat f {};
    if (::stat(folder.empty() ? "." : folder.c_str(), &f) != 0) return false;
    const uid_t me = ::geteuid();
    return (f.st_mode & S_ISVTX) != 0 && me != 0 && st.st_uid != me && f.st_uid != me;
}

}  // namespace

OutputFile::~OutputFile() { Discard(); }

OutputFile::OutputFile(OutputFile&& other) noexcept { *this = std::move(other); }

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        Discard();
        fd_ = other.fd_;
        target_ = std::move(other.target_);
        temporary_ = std::move(other.temporary_);
        keepMode_ = other.keepMode_;
        mode_ = other.mode_;
        owner_ = other.owner_;
        group_ = other.group_;
        other.fd_ = -1;
        other.temporary_.clear();
    }
    return *this;
}

void OutputFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
    keepMode_ = false;
}

OutputStatus OutputFile::Open(const std::string& path) {
    Discard();
    target_.clear();
    if (path.empty()) {
        errno = ENOENT;
        return OutputStatus::CannotCreate;
    }
    struct stat st {};
    bool exists = false;
    std::string target;
    if (!FollowLinks(path, target, st, exists)) return OutputStatus::CannotCreate;
    // Decided from lstat alone: nothing that is not a regular file is ever
    // opened for writing (a FIFO without a reader would hold the open).
    if (exists && !S_ISREG(st.st_mode)) return OutputStatus::NotRegularFile;
    target_ = target;
    if (!exists) {
        if (target.back() == '/') {  // a folder's name, for a folder that is not there
            errno = EISDIR;
            return OutputStatus::CannotCreate;
        }
        fd_ = CreateBeside(target, 0666, temporary_);  // 0666 less the umask
        return fd_ >= 0 ? OutputStatus::Ready : OutputStatus::CannotCreate;
    }
    // A file this process may not write is not replaced either, although its
    // folder would allow the rename.
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        return OutputStatus::CannotCreate;
    }
    if (!StickyFolderRefuses(target, st)) {
        // Readable by the owner alone until Commit gives it the target's mode.
        fd_ = CreateBeside(target, 0600, temporary_);
        if (fd_ >= 0) {
            keepMode_ = true;
            // Set-user and set-group ids go, as they go when a file is
            // written into.
            mode_ = st.st_mode & 01777;
            owner_ = st.st_uid;
            group_ = st.st_gid;
            return OutputStatus::Ready;
        }
        if (errno != EACCES && errno != EPERM) return OutputStatus::CannotCreate;
    }
    // No new file beside it: the target is emptied and written in place.
    // O_NONBLOCK: should something else have taken the file's name since the
    // lstat, the open does not wait for a FIFO's reader; fstat refuses it.
    const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return OutputStatus::CannotCreate;
    struct stat opened {};
    const bool regular = ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode);
    if (!regular || ::ftruncate(fd, 0) != 0) {
        const int err = errno;
        ::close(fd);
        errno = err;
        return regular ? OutputStatus::CannotCreate : OutputStatus::NotRegularFile;
    }
    fd_ = fd;
    return OutputStatus::Ready;
}

uint64_t OutputFile::Write(const uint8_t* data, uint64_t count) const {
    if (fd_ < 0) {
        errno = EBADF;
        return 0;
    }
    return WriteSequential(fd_, data, count);
}

bool OutputFile::Commit() {
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    if (keepMode_) {
        // The owner goes back only for a privileged process; the group for
        // one that belongs to it. Otherwise the new file stays this user's.
        if (::fchown(fd_, owner_, group_) != 0 &&
            ::fchown(fd_, static_cast<uid_t>(-1), group_) != 0) {
            // Neither: the new file stays this user's and group's.
        }
        if (::fchmod(fd_, mode_) != 0) {
            // The file keeps the mode it was made with (0666 less the umask).
        }
    }
    // When a file is replaced, the bytes reach the disk before the rename
    // makes them the target's: a crash leaves the old file or the new one,
    // never the old name over bytes still unwritten. fsync rather than
    // fdatasync: the new file's length must be written anyway, so the mode
    // and owner cost nothing more. File systems without a sync (EINVAL)
    // have nothing to flush. A new file has no old contents to lose: it is
    // not waited for.
    int err = 0;
    if (keepMode_ && ::fsync(fd_) != 0 && errno != EINVAL && errno != ENOSYS) err = errno;
    // A failing close can still lose the data (a full disk on a network share).
    if (::close(fd_) != 0 && err == 0) err = errno;
    fd_ = -1;
    if (err == 0 && !temporary_.empty() && ::rename(temporary_.c_str(), target_.c_str()) != 0) {
        err = errno;
    }
    if (err != 0) {
        Discard();
        errno = err;
        return false;
    }
    temporary_.clear();
    keepMode_ = false;
    return true;
}

}  // namespace octile
