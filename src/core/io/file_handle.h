#pragma once
// An open file descriptor with 64-bit positioned reads and writes, and the
// sharing rules between Octile processes: a read-write open holds an
// open-file-description write lock on the whole file, and the probe open
// fails while another open holds one.
#include <cstdint>
#include <string>

namespace octile {

// A test seam: while installed, the reads and writes of every FileHandle stop
// after a byte budget, the way a failing disk or a full file system stops
// them. Unset (the normal case) it costs one pointer test per call.
struct FileFaults {
    static constexpr uint64_t kUnlimited = UINT64_MAX;
    uint64_t readBudget = kUnlimited;   // bytes still read normally
    int readErrno = 0;                  // then: fail with it, or 0: read nothing
    uint64_t writeBudget = kUnlimited;  // bytes still written normally
    int writeErrno = 0;                 // then: fail with it (ENOSPC, EIO), or 0: write nothing
    int reserveErrno = 0;               // Reserve's fallocate fails with it (ENOSPC, EOPNOTSUPP)
    int journalErrno = 0;               // the edit journal's writes fail with it
    int rangeErrno = 0;                 // ShiftBlocks fails with it (always fails under faults)
};

// Installs faults for every FileHandle; nullptr removes them. Not owned.
void SetFileFaults(FileFaults* faults);
FileFaults* CurrentFileFaults();

// For files read or written front to back through a plain descriptor (the
// settings and marks files, saved bitmaps), under the same faults as a
// FileHandle. ReadSome is one read(2): bytes read, 0 at the end, -1 with
// errno on an error. WriteSequential loops over short writes and returns the
// bytes written (short, with errno set when the system gave a reason).
int64_t ReadSome(int fd, uint8_t* buffer, uint64_t count);
uint64_t WriteSequential(int fd, const uint8_t* data, uint64_t count);

// Why an open failed.
enum class OpenError {
    None,
    NotFound,
    AccessDenied,
    BadPath,
    TooManyOpen,
    Sharing,
    DiskFull,
    Unknown,
};

OpenError OpenErrorFromErrno(int err);

class FileHandle {
  public:
    enum Mode { Probe, ReadOnly, ReadWrite };

    FileHandle() = default;
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // Opens an existing file; never creates or truncates.
    static FileHandle Open(const std::string& path, Mode mode, OpenError* error);
    // Creates or empties a file for writing only (export outputs, never the
    // document). Returns no handle with errno set on failure.
    static FileHandle Create(const std::string& path);

    bool IsOpen() const { return fd_ >= 0; }
    void Close();

    // Reads up to count bytes; loops over short reads. Returns the bytes read
    // (less at the end of the file, 0 on an error).
    uint64_t ReadAt(uint8_t* buffer, uint64_t count, uint64_t offset) const;
    // Writes count bytes; returns the bytes written (short on an error).
    uint64_t WriteAt(const uint8_t* buffer, uint64_t count, uint64_t offset) const;
    // The length now, measured by seeking to the end (0 on an error).
    uint64_t Length() const;
    bool Truncate(uint64_t length) const;
    // Inserts count zero bytes at offset, or removes count bytes there
    // (collapse), by changing the file system's map of the file's blocks:
    // constant time, and atomic. Only where the file system offers it (ext4,
    // XFS) and for whole blocks at a block boundary inside the file (a
    // collapse must leave a byte after the range); false with errno set
    // (EOPNOTSUPP, EINVAL) elsewhere, the file unchanged.
    bool ShiftBlocks(uint64_t offset, uint64_t count, bool collapse) const;
    // Takes the space for the file to grow to newLength from the file system
    // now, so that the writes that grow it cannot run out of room. Where the
    // file system can, the blocks are reserved past the end and the length
    // stays (fallocate, keeping the size); elsewhere zeros are written there
    // and the file is newLength long. On failure the file keeps its length
    // and bytes, and errno says why (ENOSPC, EDQUOT, EFBIG ...). A newLength
    // not beyond the length now changes nothing.
    bool Reserve(uint64_t newLength) const;
    int fd() const { return fd_; }

  private:
    explicit FileHandle(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace octile
