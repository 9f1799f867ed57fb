// octile-cli dump: the dump listing of a byte range, as the view formats it,
// of a file or a stream.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <thread>

#include "charcode/charcode.h"
#include "cli/cli_command.h"
#include "cli/cli_input.h"
#include "cli/cli_util.h"
#include "document/document.h"
#include "document/long_operation.h"
#include "dump/dump_format.h"
#include "dump/parallel_dump.h"
#include "resources/resources.h"

namespace octile::cli {

namespace {

int RunDump(const Args& args);

constexpr OptionRule kDumpOptions[] = {
    kStartOption,
    kEndOption,
    kCodeOption,
    kUpperOption,
    {"crlf", "", "end the lines with CR LF, as the editor's listing does (default LF)"}};

// Bytes read per step, for each thread that formats. The text (about 7 times
// the bytes) stays small enough to be written from the cache, and its
// buffers are reused block after block.
constexpr uint64_t kPieceBytes = 512 * 1024;
// The bytes after a block that a character begun in its last byte may need.
constexpr uint64_t kLookAhead = COctileDoc::kLookAhead;

int RunDump(const Args& args) {
    const Command& command = kDumpCommand;
    Options options;
    if (!options.Parse(command, args, 1, 1)) return kExitRefused;
    uint64_t start = 0;
    uint64_t end = kToEndOfFile;
    if (const auto v = options.Value("start"); v && !ParseHexArgument("--start", *v, start)) {
        return kExitRefused;
    }
    if (const auto v = options.Value("end"); v && !ParseHexArgument("--end", *v, end)) {
        return kExitRefused;
    }
    int32_t code = CODE_SJIS;
    if (const auto v = options.Value("code"); v && !ParseCharCode(*v, code)) {
        return UsageError(command, Say(Text::kUnknownCode, *v));
    }
    if (start > end) {
        PrintProgramMessage(IDS_RANGE_HEX);
        return kExitRefused;
    }

    Input input;
    OpenFailure failure;
    if (!input.Open(options.Positional()[0], &failure)) {
        ReportOpenFailure(failure, input.shown());
        return kExitRefused;
    }

    DumpSettings settings;
    settings.extraDigits = input.ExtraDigits();
    settings.upper = options.Has("upper");
    settings.charCode = code;
    // For the terminal and the tools of a pipe: LF line ends unless asked,
    // and no bidirectional override reaches the terminal raw. (The
    // formatter already shows every control character as ".".)
    settings.lfOnly = !options.Has("crlf");
    settings.hideBidi = true;
    // Both ends are included; a start at or past the end gives no lines. A
    // stream ends where its bytes end.
    const uint64_t limit = input.IsStream() ? kToEndOfFile : input.Length();
    const uint64_t stop = end == kToEndOfFile ? limit : std::min(end + 1, limit);

    // The text goes out as UTF-8, block by block; the pieces of a block are
    // formatted side by side while the next block is read. (The reader is
    // made first, so that its buffers outlast the formatter's threads.)
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    const uint64_t blockBytes = kPieceBytes * threads;
    BlockReader reader(input, blockBytes, kLookAhead);
    ParallelDumpFormatter formatter(settings, start, threads);
    std::string text;
    const auto write = [](std::string_view piece) { return WriteStdout(piece); };

    formatter.Begin(text);
    if (!write(text) || !input.SkipTo(start)) return kExitRefused;
    uint64_t pos = start;
    uint64_t want = std::min(blockBytes, stop - pos);
    uint64_t count = pos < stop ? reader.Next(want) : 0;
    while (count > 0) {
        formatter.Start(reader.data(), count);
        pos += count;
        // The input ends where a block comes short (a file may have shrunk).
        const uint64_t nextWant =
            count == want && pos < stop ? std::min(blockBytes, stop - pos) : 0;
        const uint64_t nextCount = nextWant > 0 ? reader.Next(nextWant) : 0;
        if (!formatter.Finish(write)) return kExitRefused;
        want = nextWant;
        count = nextCount;
    }
    if (input.Failed()) return kExitRefused;
    text.clear();
    formatter.End(text);
    return write(text) ? kExitOk : kExitRefused;
}

}  // namespace

const Command kDumpCommand = {"dump", "FILE", "write the dump listing to standard output",
                              kDumpOptions, RunDump};

}  // namespace octile::cli
