#pragma once
// A file written front to back that takes the place of its target only when
// it is complete. Every output Octile writes at a user's path (partial save,
// hex listing, bitmap save) goes through it:
//
// - A path that exists and is not a regular file (a FIFO, a socket, a device,
//   a folder; also through symbolic links) is refused before anything is
//   opened for writing: opening a FIFO without a reader would never return.
// - The bytes go into a new file beside the target (".<name>.octile-XXXXXX"),
//   which Commit flushes to the disk and renames over the target. Until then
//   the target keeps its old contents; an output dropped before its Commit
//   removes the new file and leaves the target as it was.
// - A symbolic link stays a link: the file it leads to is the one replaced.
// - The new file takes the old one's mode (and owner and group where the
//   system allows); a file that did not exist gets 0666 less the umask.
// - Where no new file can be made beside the target (the folder is not
//   writable, or a sticky folder would refuse the rename) but the file itself
//   is writable, it is emptied and written in place, as a plain open for
//   writing would: refusing would lose outputs that could always be written,
//   at the price of the old contents on a failure part way.
#include <sys/types.h>

#include <cstdint>
#include <string>

namespace octile {

enum class OutputStatus {
    Ready,           // open: Write, then Commit
    NotRegularFile,  // the path names something other than a regular file
    CannotCreate,    // no file can be written there; errno says why
};

class OutputFile {
  public:
    OutputFile() = default;
    // Without a Commit the new file goes and the target stays as it was.
    ~OutputFile();
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Checks the path and opens the file to write into. An empty path, a
    // missing folder, a target that cannot be written: CannotCreate.
    OutputStatus Open(const std::string& path);

    bool IsOpen() const { return fd_ >= 0; }
    // The descriptor to write into, for writers that take one; -1 when not
    // open. Writes go front to back (WriteSequential, under the file faults).
    int fd() const { return fd_; }
    // Writes count bytes after those written before; returns the bytes
    // written (short, with errno set when the system gave a reason).
    uint64_t Write(const uint8_t* data, uint64_t count) const;

    // Makes what was written the target's contents: gives the new file the
    // target's mode and owner, flushes it to the disk and renames it over the
    // target. False, with errno set, when any step fails: the new file is
    // removed and the target is unchanged.
    bool Commit();

    // The file the output replaces: the path with symbolic links at its end
    // followed; empty before Open.
    const std::string& target() const { return target_; }
    // True when the output is written into the target itself.
    bool InPlace() const { return IsOpen() && temporary_.empty(); }

  private:
    void Discard();

    int fd_ = -1;
    std::string target_;
    std::string temporary_;  // the new file beside the target; empty in place
    bool keepMode_ = false;  // the target existed: its mode and owner carry over
    mode_t mode_ = 0;
    uid_t owner_ = 0;
    gid_t group_ = 0;
};

}  // namespace octile
