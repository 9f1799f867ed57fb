// octile-cli insert and delete on a 256 MiB file, stopped by a signal at
// moments spread over the shift's run time. After SIGKILL, `recover` must
// leave the file exactly as the whole shift would have (or as it was, when
// the process died before the shift began), or refuse when another program
// changed the file since; after SIGTERM the process itself finishes the
// shift before it dies by the signal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "cli_runner.h"
#include "resources/resources.h"
#include "util/utf.h"

namespace octile {
namespace {

using Clock = std::chrono::steady_clock;
using test::CliResult;

constexpr uint64_t kMiB = 1024 * 1024;
constexpr uint64_t kLength = 256 * kMiB;
constexpr uint64_t kBlock = 4 * kMiB;

struct Shift {
    bool deleting;
    uint64_t position, count;
};

// Four shifts that bring the file back to its length: two inserts, two
// deletes.
constexpr Shift kShifts[] = {
    {false, 0, 16},
    {true, 0x123, 0x10000},
    {false, 0x123, 0x10000},
    {true, 0, 16},
};

std::string Hex(uint64_t v) {
    char text[20];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(v));
    return text;
}

// The original file: every 8-byte word is its offset times an odd constant,
// so no two words are alike and a byte moved to a wrong place shows.
void OriginalBytes(uint64_t offset, uint8_t* out, uint64_t n) {
    uint64_t word = offset & ~uint64_t{7};
    uint64_t skip = offset - word;
    while (n > 0) {
        const uint64_t value = word * 0x9E3779B97F4A7C15ull;  // little-endian on disk
        const uint64_t m = std::min<uint64_t>(8 - skip, n);
        std::memcpy(out, reinterpret_cast<const uint8_t*>(&value) + skip, m);
        out += m;
        n -= m;
        word += 8;
        skip = 0;
    }
}

// The file's expected content: the original with a chain of shifts applied.
class Model {
  public:
    uint64_t length() const { return length_; }

    void Apply(const Shift& s) {
        shifts_.push_back(s);
        length_ = s.deleting ? length_ - s.count : length_ + s.count;
    }
    // The length once s is applied.
    uint64_t LengthAfter(const Shift& s) const {
        return s.deleting ? length_ - s.count : length_ + s.count;
    }

    void Read(uint64_t offset, uint8_t* out, uint64_t n) const {
        Read(shifts_.size(), offset, out, n);
    }

  private:
    // The bytes at offset after the first depth shifts: each piece is taken
    // from the content before the last of them.
    void Read(size_t depth, uint64_t offset, uint8_t* out, uint64_t n) const {
        if (depth == 0) return OriginalBytes(offset, out, n);
        const Shift& s = shifts_[depth - 1];
        while (n > 0) {
            uint64_t m = n;
            if (offset < s.position) {
                m = std::min(n, s.position - offset);
                Read(depth - 1, offset, out, m);
            } else if (s.deleting) {
                Read(depth - 1, offset + s.count, out, m);
            } else if (offset < s.position + s.count) {
                m = std::min(n, s.position + s.count - offset);
                std::memset(out, 0, m);
            } else {
                Read(depth - 1, offset - s.count, out, m);
            }
            offset += m;
            out += m;
            n -= m;
        }
    }

    uint64_t length_ = kLength;
    std::vector<Shift> shifts_;
};

testing::AssertionResult Compare(int fd, const Model& model) {
    const off_t length = ::lseek(fd, 0, SEEK_END);
    if (static_cast<uint64_t>(length) != model.length()) {
        return testing::AssertionFailure()
               << "length " << length << ", expected " << model.length();
    }
    std::vector<uint8_t> got(kBlock), want(kBlock);
    for (uint64_t b = 0; b < model.length(); b += kBlock) {
        const uint64_t n = std::min(kBlock, model.length() - b);
        if (::pread(fd, got.data(), n, static_cast<off_t>(b)) != static_cast<ssize_t>(n)) {
            return testing::AssertionFailure() << "short read at " << b;
        }
        model.Read(b, want.data(), n);
        if (std::memcmp(got.data(), want.data(), n) != 0) {
            const auto at = std::mismatch(got.begin(), got.begin() + n, want.begin()).first;
            return testing::AssertionFailure() << "differs at offset 0x" << std::hex
                                               << b + static_cast<uint64_t>(at - got.begin());
        }
    }
    return testing::AssertionSuccess();
}

class CliKillTest : public testing::Test {
  protected:
    void SetUp() override {
        path_ = dir_.File("big.bin");
        const int fd = ::open(path_.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        std::vector<uint8_t> block(kBlock);
        for (uint64_t b = 0; b < kLength; b += kBlock) {
            OriginalBytes(b, block.data(), kBlock);
            ASSERT_EQ(::pwrite(fd, block.data(), kBlock, static_cast<off_t>(b)),
                      static_cast<ssize_t>(kBlock));
        }
        ::close(fd);
    }

    std::vector<std::string> Args(const Shift& s) const {
        return {s.deleting ? "delete" : "insert", path_, Hex(s.position), Hex(s.count)};
    }

    // The file equals the model, byte for byte.
    testing::AssertionResult Matches(const Model& model) const {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return testing::AssertionFailure() << "cannot open the file";
        testing::AssertionResult result = Compare(fd, model);
        ::close(fd);
        return result;
    }

    // Runs every shift once to its end and returns how long each took.
    std::vector<Clock::duration> MeasureShifts(Model& model) {
        std::vector<Clock::duration> times;
        for (const Shift& s : kShifts) {
            const auto start = Clock::now();
            const CliResult r = test::RunCli(Args(s), dir_.path());
            times.push_back(Clock::now() - start);
            EXPECT_EQ(r.status, 0) << r.err;
            model.Apply(s);
        }
        EXPECT_TRUE(Matches(model));
        return times;
    }

    // Starts each shift `moments` times and sends signo after delays spread
    // over its measured run time (the second insert and delete half a step
    // later than the first, so each kind is stopped at 2 * moments
    // moments), checking the file after each. Returns how many runs the
    // signal caught inside the shift.
    int Interrupt(int signo, int moments) {
        Model model;
        const std::vector<Clock::duration> times = MeasureShifts(model);
        int caughtInside = 0;
        for (int k = 0; k < moments; ++k) {
            for (size_t i = 0; i < std::size(kShifts); ++i) {
                const Shift& s = kShifts[i];
                SCOPED_TRACE(testing::Message() << Args(s)[0] << " " << Hex(s.position) << " "
                                                << Hex(s.count) << ", moment " << k);
                const pid_t pid = test::SpawnCli(Args(s), dir_.path());
                EXPECT_GT(pid, 0);
                if (pid <= 0) return caughtInside;
                std::this_thread::sleep_for(times[i] * (2 * k + (i < 2 ? 0 : 1)) / (2 * moments));
                ::kill(pid, signo);
                int status = 0;
                test::WaitCli(pid, dir_.path(), &status);
                const bool signalled = WIFSIGNALED(status) && WTERMSIG(status) == signo;
                EXPECT_TRUE(signalled || (WIFEXITED(status) && WEXITSTATUS(status) == 0))
                    << "wait status " << status;

                const CliResult r = test::RunCli({"recover", path_}, dir_.path());
                EXPECT_EQ(r.status, 0) << r.err;
                const bool completed = r.out.empty();
                if (completed) {
                    const uint32_t id =
                        s.deleting ? IDS_SHIFT_COMPLETED_DELETE : IDS_SHIFT_COMPLETED_INSERT;
                    EXPECT_EQ(r.err,
                              test::ToolLine(ReplacePercent1(LoadString(id), Utf8ToUtf16(path_))));
                } else {
                    EXPECT_EQ(r.out, "nothing to complete\n");
                }
                // SIGTERM waits for the shift's end: nothing is left to
                // complete.
                EXPECT_TRUE(signo == SIGKILL || !completed);

                // Whole or not at all: the length tells which.
                const bool applied = std::filesystem::file_size(path_) == model.LengthAfter(s);
                if (applied) model.Apply(s);
                EXPECT_TRUE(Matches(model));
                if (completed || (signalled && applied)) ++caughtInside;
                if (HasFailure()) return caughtInside;
            }
        }
        return caughtInside;
    }

    test::TempDir dir_;
    std::string path_;
};

TEST_F(CliKillTest, SigkillMidShiftRecoversTheWholeShift) {
    EXPECT_GT(Interrupt(SIGKILL, 6), 0) << "no signal landed inside a shift";
}

TEST_F(CliKillTest, SigtermMidShiftFinishesTheShiftFirst) {
    EXPECT_GT(Interrupt(SIGTERM, 3), 0) << "no signal landed inside a shift";
}

TEST_F(CliKillTest, RecoverRefusesWhenTheFileChangedSinceTheKill) {
    // Killed half way through, then another program appends a byte: the
    // shift's bytes no longer fit the file, so it is not completed.
    const std::vector<std::string> insert = Args(kShifts[0]);
    const auto start = Clock::now();
    ASSERT_EQ(test::RunCli(insert, dir_.path()).status, 0);
    const Clock::duration half = (Clock::now() - start) / 2;
    CliResult r;
    for (int attempt = 0; attempt < 5 && r.status != 2; ++attempt) {
        const pid_t pid = test::SpawnCli(insert, dir_.path());
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(half);
        ::kill(pid, SIGKILL);
        test::WaitCli(pid, dir_.path());
        const int fd = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        ASSERT_EQ(::write(fd, "x", 1), 1);
        ::close(fd);
        r = test::RunCli({"recover", path_}, dir_.path());
    }
    EXPECT_EQ(r.status, 2) << "no kill landed inside the insert";
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, test::ToolLine(
                         ReplacePercent1(LoadString(IDS_SHIFT_NOT_COMPLETED), Utf8ToUtf16(path_))));
}

}  // namespace
}  // namespace octile
