#include "cli/cli_input.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "cli/cli_messages.h"
#include "cli/cli_util.h"
#include "document/file_error.h"
#include "dump/dump_format.h"
#include "io/path.h"
#include "resources/resources.h"
#include "util/utf.h"

namespace octile::cli {

namespace {

bool IsFileKind(mode_t mode) { return S_ISREG(mode) || S_ISBLK(mode); }

OpenFailure FromErrno(int err) { return {OpenErrorFromErrno(err), err, false}; }

}  // namespace

std::string FailureReason(const OpenFailure& failure) {
    if (failure.notRegular) return Say(Text::kNotRegularFile);
    return failure.err != 0 ? SystemReason(failure.err) : std::string();
}

void ReportOpenFailure(const OpenFailure& failure, const std::string& shown) {
    PrintMessage(OpenErrorMessage(failure.error, shown), FailureReason(failure));
}

bool CheckDocumentFile(const std::string& path, bool writable) {
    const std::string shown = FullPath(path);
    struct stat st {};
    OpenFailure failure;
    if (path.empty()) {
        failure = FromErrno(ENOENT);
    } else if (::stat(path.c_str(), &st) != 0) {
        failure = FromErrno(errno);
    } else if (S_ISDIR(st.st_mode)) {
        failure = {OpenError::AccessDenied, EISDIR, false};
    } else if (!IsFileKind(st.st_mode)) {
        failure = {OpenError::AccessDenied, 0, true};
    } else {
        // Non-blocking, as the core opens: a file swapped for a FIFO since
        // the stat must not hold the open.
        const int fd = ::open(path.c_str(),
                              (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
        failure = FromErrno(errno);
    }
    ReportOpenFailure(failure, shown);
    return false;
}

FileHandle OpenOrReport(const std::string& path, FileHandle::Mode mode) {
    if (!CheckDocumentFile(path, mode == FileHandle::ReadWrite)) return FileHandle();
    OpenError error = OpenError::None;
    errno = 0;
    FileHandle file = FileHandle::Open(path, mode, &error);
    if (!file.IsOpen()) {
        ReportOpenFailure({error, error == OpenError::Sharing ? 0 : errno, false}, FullPath(path));
    }
    return file;
}

Input::~Input() {
    if (ownsStream_) ::close(streamFd_);
}

bool Input::Open(std::string_view path, OpenFailure* failure) {
    const auto fail = [&](OpenFailure f) {
        *failure = f;
        return false;
    };
    if (path == "-") {
        shown_ = std::string(path);
        struct stat st {};
        if (::fstat(STDIN_FILENO, &st) != 0) return fail(FromErrno(errno));
        if (S_ISDIR(st.st_mode)) return fail({OpenError::AccessDenied, EISDIR, false});
        // A file given as standard input is read as the file itself, from its
        // start, with its length; where it cannot be opened again it is
        // read as a stream.
        if (IsFileKind(st.st_mode)) {
            file_ = FileHandle::Open("/dev/stdin", FileHandle::ReadOnly, nullptr);
            if (file_.IsOpen()) return true;
        }
        streamFd_ = STDIN_FILENO;
        return true;
    }
    const std::string name(path);
    shown_ = FullPath(name);
    struct stat st {};
    if (name.empty()) return fail(FromErrno(ENOENT));
    if (::stat(name.c_str(), &st) != 0) return fail(FromErrno(errno));
    if (S_ISDIR(st.st_mode)) return fail({OpenError::AccessDenied, EISDIR, false});
    if (IsFileKind(st.st_mode)) {
        OpenError error = OpenError::None;
        errno = 0;
        file_ = FileHandle::Open(name, FileHandle::ReadOnly, &error);
        if (!file_.IsOpen()) return fail({error, errno, false});
        return true;
    }
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return fail(FromErrno(errno));
    streamFd_ = fd;
    ownsStream_ = true;
    return true;
}

int32_t Input::ExtraDigits() const { return IsStream() ? 0 : ExtraDigitsForLength(Length()); }

void Input::Fail(int err) {
    failed_ = true;
    PrintProgramMessage(IDS_IO_ERROR, shown_, err != 0 ? SystemReason(err) : std::string());
}

bool Input::SkipTo(uint64_t offset) {
    if (offset <= position_) return true;
    if (!IsStream()) {
        position_ = offset;
        return true;
    }
    std::vector<uint8_t> scrap(64 * 1024);
    while (position_ < offset && !ended_) {
        Read(scrap.data(), std::min<uint64_t>(scrap.size(), offset - position_));
        if (failed_) return false;
    }
    return true;
}

uint64_t Input::Read(uint8_t* buffer, uint64_t count) {
    if (failed_ || count == 0) return 0;
    if (!IsStream()) {
        // A short read with errno set failed; without, it met the file's end.
        errno = 0;
        const uint64_t got = file_.ReadAt(buffer, count, position_);
        if (got < count && errno != 0) {
            Fail(errno);
            return 0;
        }
        position_ += got;
        return got;
    }
    uint64_t done = 0;
    while (done < count && !ended_) {
        const int64_t n = ReadSome(streamFd_, buffer + done, count - done);
        if (n > 0) {
            done += static_cast<uint64_t>(n);
        } else if (n == 0) {
            ended_ = true;  // a terminal is not asked again after its end of file
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // A descriptor left non-blocking by whoever handed it over.
            pollfd p = {streamFd_, POLLIN, 0};
            ::poll(&p, 1, -1);
        } else {
            Fail(errno);
            return 0;
        }
    }
    position_ += done;
    return done;
}

BlockReader::BlockReader(Input& input, uint64_t blockBytes, uint64_t lookAhead)
    : input_(input),
      lookAhead_(lookAhead),
      buffers_{std::vector<uint8_t>(blockBytes + lookAhead),
               std::vector<uint8_t>(blockBytes + lookAhead)} {}

uint64_t BlockReader::Next(uint64_t want) {
    // The block given last stays; its look-ahead starts the other buffer.
    const std::vector<uint8_t>& before = buffers_[current_];
    current_ = 1 - current_;
    std::vector<uint8_t>& buffer = buffers_[current_];
    std::memcpy(buffer.data(), before.data() + last_, filled_ - last_);
    filled_ -= last_;
    last_ = 0;
    if (filled_ < want + lookAhead_) {
        filled_ += input_.Read(buffer.data() + filled_, want + lookAhead_ - filled_);
        if (input_.Failed()) return 0;
    }
    last_ = std::min(want, filled_);
    if (filled_ < last_ + lookAhead_) {
        std::fill(buffer.begin() + static_cast<ptrdiff_t>(filled_),
                  buffer.begin() + static_cast<ptrdiff_t>(last_ + lookAhead_), 0);
    }
    return last_;
}

std::string FormatInputOffset(const Input& input, uint64_t value) {
    DumpSettings settings;
    settings.extraDigits = input.ExtraDigits();
    return Utf16ToUtf8(FormatAddress(settings, value));
}

}  // namespace octile::cli
