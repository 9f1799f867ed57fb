#include "io/file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace octile {

namespace {

// The largest span handed to one system call.
constexpr uint64_t kMaxSpan = 0x40000000;

FileFaults* g_faults = nullptr;

// How much of a span the installed faults let through; 0 with errno set
// (or left alone for a fault without errno) when the budget is spent.
uint64_t FaultAllowance(uint64_t& budget, int err, uint64_t span) {
    if (budget == 0) {
        if (err != 0) errno = err;
        return 0;
    }
    return std::min(span, budget);
}

// Moves count bytes with op(done, span) -> bytes moved or -1, one span at a
// time, retrying interrupted calls, until done, an error or a call that moves
// nothing; the installed faults cut the spans. Returns the bytes moved.
template <class Op>
uint64_t Transfer(uint64_t count, bool reading, Op op) {
    uint64_t done = 0;
    while (done < count) {
        uint64_t span = std::min(count - done, kMaxSpan);
        if (g_faults != nullptr) [[unlikely]] {
            span = reading ? FaultAllowance(g_faults->readBudget, g_faults->readErrno, span)
                           : FaultAllowance(g_faults->writeBudget, g_faults->writeErrno, span);
            if (span == 0) break;
        }
        const ssize_t n = op(done, span);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (n == 0) break;
        if (g_faults != nullptr) [[unlikely]] {
            (reading ? g_faults->readBudget : g_faults->writeBudget) -= static_cast<uint64_t>(n);
        }
        done += static_cast<uint64_t>(n);
    }
    return done;
}

flock WholeFile(short type) {
    flock lk{};
    lk.l_type = type;
    lk.l_whence = SEEK_SET;
    lk.l_start = 0;
    lk.l_len = 0;
    return lk;
}

}  // namespace

void SetFileFaults(FileFaults* faults) { g_faults = faults; }

FileFaults* CurrentFileFaults() { return g_faults; }

int64_t ReadSome(int fd, uint8_t* buffer, uint64_t count) {
    uint64_t span = std::min(count, kMaxSpan);
    if (g_faults != nullptr) [[unlikely]] {
        span = FaultAllowance(g_faults->readBudget, g_faults->readErrno, span);
        if (span == 0 && count > 0) return g_faults->readErrno != 0 ? -1 : 0;
    }
    ssize_t n;
    do {
        n = ::read(fd, buffer, span);
    } while (n < 0 && errno == EINTR);
    if (n > 0 && g_faults != nullptr) [[unlikely]]
        g_faults->readBudget -= static_cast<uint64_t>(n);
    return n;
}

uint64_t WriteSequential(int fd, const uint8_t* data, uint64_t count) {
    return Transfer(count, false,
                    [&](uint64_t done, uint64_t span) { return ::write(fd, data + done, span); });
}

OpenError OpenErrorFromErrno(int err) {
    switch (err) {
        case ENOENT:
        case ENOTDIR:
            return OpenError::NotFound;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:    // a read-only file system
        case ETXTBSY:  // a program running from the file
            return OpenError::AccessDenied;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return OpenError::DiskFull;
        case ENAMETOOLONG:
        case ELOOP:
        case EINVAL:
            return OpenError::BadPath;
        case EMFILE:
        case ENFILE:
            return OpenError::TooManyOpen;
        default:
            return OpenError::Unknown;
    }
}

FileHandle::~FileHandle() { Close(); }

FileHandle::FileHandle(FileHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

void FileHandle::Close() {
    if (fd_ >= 0) {
        ::close(fd_);  // also releases the OFD lock
        fd_ = -1;
    }
}

FileHandle FileHandle::Open(const std::string& path, Mode mode, OpenError* error) {
    auto fail = [&](OpenError e) {
        if (error) *error = e;
        return FileHandle();
    };
    if (path.empty()) return fail(OpenError::BadPath);
    // O_NONBLOCK keeps a FIFO from blocking the open; it is cleared below.
    int flags = (mode == ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0) return fail(OpenErrorFromErrno(errno));
    FileHandle h(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0) return fail(OpenErrorFromErrno(errno));
    // Only files with a length can be paged through and edited in place.
    if (S_ISDIR(st.st_mode)) return fail(OpenError::AccessDenied);
    if (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode)) return fail(OpenError::AccessDenied);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    if (mode == Probe) {
        flock lk = WholeFile(F_RDLCK);
        if (::fcntl(fd, F_OFD_GETLK, &lk) == 0 && lk.l_type != F_UNLCK) {
            return fail(OpenError::Sharing);
        }
    } else if (mode == ReadWrite) {
        flock lk = WholeFile(F_WRLCK);
        if (::fcntl(fd, F_OFD_SETLK, &lk) != 0) {
            return fail(errno == EAGAIN || errno == EACCES ? OpenError::Sharing
                                                           : OpenErrorFromErrno(errno));
        }
    }
    if (error) *error = OpenError::None;
    return h;
}

FileHandle FileHandle::Create(const std::string& path) {
    if (path.empty()) {
        errno = ENOENT;
        return FileHandle();
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
    return fd < 0 ? FileHandle() : FileHandle(fd);
}

uint64_t FileHandle::ReadAt(uint8_t* buffer, uint64_t count, uint64_t offset) const {
    if (fd_ < 0) return 0;
    return Transfer(count, true, [&](uint64_t done, uint64_t span) {
        return ::pread(fd_, buffer + done, span, static_cast<off_t>(offset + done));
    });
}

uint64_t FileHandle::WriteAt(const uint8_t* buffer, uint64_t count, uint64_t offset) const {
    if (fd_ < 0) return 0;
    return Transfer(count, false, [&](uint64_t done, uint64_t span) {
        return ::pwrite(fd_, buffer + done, span, static_cast<off_t>(offset + done));
    });
}

uint64_t FileHandle::Length() const {
    if (fd_ < 0) return 0;
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    return end < 0 ? 0 : static_cast<uint64_t>(end);
}

bool FileHandle::Reserve(uint64_t newLength) const {
    const uint64_t length = Length();
    if (fd_ < 0 || newLength <= length) return fd_ >= 0;
    if (newLength > static_cast<uint64_t>(INT64_MAX)) {
        errno = EFBIG;
        return false;
    }
    // The blocks are taken past the end without lengthening the file: a
    // process that dies before its writes leaves the file as it was.
    int err = 0;
    if (g_faults != nullptr && g_faults->reserveErrno != 0) [[unlikely]] {
        err = g_faults->reserveErrno;
    } else if (::fallocate(fd_, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(length),
                           static_cast<off_t>(newLength - length)) != 0) {
        err = errno;
    }
    if (err == 0) return true;
    if (err == EOPNOTSUPP || err == ENOSYS) {
        // Nothing can be reserved here: zeros written at the end take the
        // space instead (the file is then newLength long).
        static const uint8_t kZeros[64 * 1024] = {};
        errno = 0;
        uint64_t at = length;
        while (at < newLength) {
            const uint64_t n = std::min<uint64_t>(newLength - at, sizeof kZeros);
            if (WriteAt(kZeros, n, at) != n) break;
            at += n;
        }
        if (at == newLength) return true;
        err = errno != 0 ? errno : ENOSPC;
    }
    // Whatever was taken goes back: the file keeps its length, and blocks
    // allocated past its end are released.
    if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) {
        // Nothing more can be done: the error that stopped the growth is the one to tell.
    }
    errno = err;
    return false;
}

bool FileHandle::ShiftBlocks(uint64_t offset, uint64_t count, bool collapse) const {
    if (fd_ < 0) return false;
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || st.st_blksize <= 0) return false;
    const auto block = static_cast<uint64_t>(st.st_blksize);
    const uint64_t length = static_cast<uint64_t>(st.st_size);
    if (count == 0 || offset % block != 0 || count % block != 0 || offset >= length ||
        (collapse && count >= length - offset) ||
        offset + count > static_cast<uint64_t>(INT64_MAX)) {
        errno = EINVAL;
        return false;
    }
    if (g_faults != nullptr) [[unlikely]] {
        // Under injected faults the edits take their block-by-block path,
        // whose failures the faults describe.
        errno = g_faults->rangeErrno != 0 ? g_faults->rangeErrno : EOPNOTSUPP;
        return false;
    }
    return ::fallocate(fd_, collapse ? FALLOC_FL_COLLAPSE_RANGE : FALLOC_FL_INSERT_RANGE,
                       static_cast<off_t>(offset), static_cast<off_t>(count)) == 0;
}

bool FileHandle::Truncate(uint64_t length) const {
    return fd_ >= 0 && ::ftruncate(fd_, static_cast<off_t>(length)) == 0;
}

}  // namespace octile
