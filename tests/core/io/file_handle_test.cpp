#include "io/file_handle.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "file_fault_scope.h"
#include "temp_dir.h"

namespace octile {
namespace {

// Reserve takes the room to grow before anything is written: where the file
// system reserves, the file keeps its length and bytes until the writes that
// grow it (so nothing changes if the process dies first); elsewhere zeros
// stand at the end; without the room the file is left as it was.
TEST(FileHandleReserveTest, TakesTheRoomOrLeavesTheFileAsItWas) {
    struct Case {
        const char* name;
        int reserveErrno;
        uint64_t writeBudget;
        bool reserved;
        std::string after;
    } cases[] = {
        {"reserved past the end", 0, FileFaults::kUnlimited, true, "abcdef"},
        {"no reservation: zeros at the end", EOPNOTSUPP, FileFaults::kUnlimited, true,
         std::string("abcdef") + std::string(0x20000, '\0')},
        {"no reservation, no room for the zeros", EOPNOTSUPP, 0x100, false, "abcdef"},
        {"no room", ENOSPC, FileFaults::kUnlimited, false, "abcdef"},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.Write("f.bin", "abcdef");
        OpenError error;
        const FileHandle file = FileHandle::Open(path, FileHandle::ReadWrite, &error);
        ASSERT_TRUE(file.IsOpen());
        {
            test::FileFaultScope scope;
            scope.faults.reserveErrno = c.reserveErrno;
            scope.faults.writeBudget = c.writeBudget;
            scope.faults.writeErrno = ENOSPC;
            EXPECT_EQ(file.Reserve(6 + 0x20000), c.reserved);
            if (!c.reserved) {
                EXPECT_EQ(errno, ENOSPC);
            }
        }
        EXPECT_TRUE(test::ReadAll(path) == c.after) << "file differs";
        EXPECT_TRUE(file.Reserve(3));  // not beyond the length: nothing to do
        EXPECT_TRUE(test::ReadAll(path) == c.after);
    }
}

// What each open and create error tells the user: a read-only file system
// or a running program is access denied, a full disk or quota is a full disk,
// never the unknown error.
TEST(OpenErrorTable, WriteSideErrnos) {
    const std::pair<int, OpenError> cases[] = {
        {ENOENT, OpenError::NotFound},    {EACCES, OpenError::AccessDenied},
        {EROFS, OpenError::AccessDenied}, {ETXTBSY, OpenError::AccessDenied},
        {ENOSPC, OpenError::DiskFull},    {EDQUOT, OpenError::DiskFull},
        {EFBIG, OpenError::DiskFull},     {ENAMETOOLONG, OpenError::BadPath},
        {EMFILE, OpenError::TooManyOpen}, {EIO, OpenError::Unknown},
    };
    for (const auto& [err, expected] : cases) {
        EXPECT_EQ(OpenErrorFromErrno(err), expected) << err;
    }
}

}  // namespace
}  // namespace octile
