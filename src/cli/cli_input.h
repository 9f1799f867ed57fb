#pragma once
// What the subcommands that only read (dump, hexlist, find, compare) read: a
// file, with a length and read at any offset as the window reads it, or a
// stream (standard input, a pipe, a FIFO, a character device), which has no
// length and is read once from its start. Both are read front to back in
// blocks the caller bounds, so a stream of any length takes bounded memory.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "io/file_handle.h"

namespace octile::cli {

// Why an input or a document's file could not be opened: the open error the
// window would report and the system's errno for its reason (0: none known).
struct OpenFailure {
    OpenError error = OpenError::None;
    int err = 0;
    bool notRegular = false;  // a FIFO, socket or device where a file is needed
};

// The reason of a failure in the locale's language ("is a directory").
std::string FailureReason(const OpenFailure& failure);
// Prints the window's open-error message for shown with the reason.
void ReportOpenFailure(const OpenFailure& failure, const std::string& shown);

// Checks that path names a file a document can open (a regular file or block
// device) and that this user may open it for reading, or also for writing;
// prints why not and returns false otherwise. The core's open follows, with
// its own checks (the sharing between Octile processes).
bool CheckDocumentFile(const std::string& path, bool writable);

// Opens an existing file (a regular file or block device) for a subcommand
// that reads it at offsets; when that fails prints the window's message for it
// with the system's reason and returns a closed handle.
FileHandle OpenOrReport(const std::string& path, FileHandle::Mode mode);

class Input {
  public:
    Input() = default;
    ~Input();
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    // Opens path ("-": standard input) for reading. A regular file or block
    // device (also as standard input) is read as a file, anything else as a
    // stream. A FIFO is opened as cat would: waiting for its writer.
    bool Open(std::string_view path, OpenFailure* failure);

    bool IsStream() const { return file_.fd() < 0; }
    // The file; not open for a stream.
    const FileHandle& file() const { return file_; }
    // The file's length; 0 for a stream.
    uint64_t Length() const { return IsStream() ? 0 : file_.Length(); }
    // The extra address digits of the listing: those of the file's length,
    // none for a stream (its addresses widen past 4 GiB).
    int32_t ExtraDigits() const;
    // The input as messages name it: the full path, or "-".
    const std::string& shown() const { return shown_; }
    // The offset of the next byte Read gives.
    uint64_t Position() const { return position_; }

    // Moves to offset, ahead of Position (a stream reads and drops the bytes
    // before it). False after a read error (message printed).
    bool SkipTo(uint64_t offset);
    // Reads count bytes from Position, fewer only where the input ends.
    // Returns the bytes read; after a read error Failed() is true and the
    // message (I/O error with the system's reason) has been printed.
    uint64_t Read(uint8_t* buffer, uint64_t count);
    bool Failed() const { return failed_; }
    bool Ended() const { return ended_; }

  private:
    void Fail(int err);

    FileHandle file_;
    int streamFd_ = -1;
    bool ownsStream_ = false;
    std::string shown_;
    uint64_t position_ = 0;
    bool ended_ = false;
    bool failed_ = false;
};

// Reads an input block by block for the dump formatter: each block is
// followed in memory by the look-ahead, the input's next bytes (0 past its
// end), which the next block then begins with. Two buffers take turns, so a
// block stays in memory, unchanged, until the Next after the one that gave
// it: the caller may format a block while the next is read.
class BlockReader {
  public:
    BlockReader(Input& input, uint64_t blockBytes, uint64_t lookAhead);

    // Reads the next block of at most want (at most blockBytes) bytes and
    // its look-ahead; returns its size, less than want where the input ends,
    // 0 after a read error (Input::Failed, message printed).
    uint64_t Next(uint64_t want);
    // The block Next read, followed by its look-ahead.
    const uint8_t* data() const { return buffers_[current_].data(); }

  private:
    Input& input_;
    uint64_t lookAhead_;
    std::vector<uint8_t> buffers_[2];
    int current_ = 0;      // the buffer of the block Next gave last
    uint64_t filled_ = 0;  // the bytes of that buffer read from the input
    uint64_t last_ = 0;    // the size of the block Next gave last
};

// An offset as the tool prints it for this input: as wide as the window's
// address column for the file, eight digits or more for a stream.
std::string FormatInputOffset(const Input& input, uint64_t value);

}  // namespace octile::cli
