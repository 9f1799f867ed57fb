// octile-cli dump: the dump listing of a byte range, as the view formats it.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "charcode/charcode.h"
#include "cli/cli_command.h"
#include "cli/cli_util.h"
#include "document/byte_shift.h"
#include "dump/dump_format.h"
#include "io/file_handle.h"
#include "resources/resources.h"
#include "util/utf.h"

namespace octile::cli {

const std::string_view kDumpUsage =
    "FILE [--start HEX] [--end HEX] [--code sjis|unicode|jis|euc] [--upper]";

namespace {

// Bytes formatted per step: large enough for large writes, small enough that
// the text of one step stays in the cache.
constexpr uint64_t kBlockBytes = 64 * 1024;
// The bytes after a block that a character begun in its last byte may need.
constexpr uint64_t kLookAhead = COctileDoc::kLookAhead;

}  // namespace

int RunDump(const Args& args) {
    const Command& command = FindCommand("dump");
    Options options;
    if (!options.Parse(command, args,
                       {{"start", true}, {"end", true}, {"code", true}, {"upper", false}}, 1, 1)) {
        return kExitRefused;
    }
    uint64_t start = 0;
    uint64_t end = kToEndOfFile;
    if (const auto v = options.Value("start"); v && !ParseHexArgument(*v, start)) {
        return kExitRefused;
    }
    if (const auto v = options.Value("end"); v && !ParseHexArgument(*v, end)) {
        return kExitRefused;
    }
    int32_t code = CODE_SJIS;
    if (const auto v = options.Value("code"); v && !ParseCharCode(*v, code)) {
        return UsageError(command, "unknown character code " + std::string(*v));
    }
    if (start > end) {
        PrintMessage(LoadString(IDS_RANGE_HEX));
        return kExitRefused;
    }

    const std::string path(options.Positional()[0]);
    const FileHandle file = OpenOrReport(path, FileHandle::ReadOnly);
    if (!file.IsOpen()) return kExitRefused;
    const uint64_t length = file.Length();

    DumpSettings settings;
    settings.extraDigits = ExtraDigitsForLength(length);
    settings.upper = options.Has("upper");
    settings.charCode = code;
    // Both ends are included; a start at or past the end gives no lines.
    const uint64_t stop = end == kToEndOfFile ? length : std::min(end + 1, length);

    // The text goes out as UTF-8 block by block through one reused string.
    DumpFormatter formatter(settings, start);
    std::string text;
    std::vector<uint8_t> buffer(kBlockBytes + kLookAhead);
    const auto flush = [&text] {
        const bool ok = WriteAll(STDOUT_FILENO, text);
        text.clear();
        return ok;
    };
    const auto writeFailed = [] {
        PrintMessage(ReplacePercent1(LoadString(IDS_WRITE_ERROR), u"/dev/stdout"));
        return kExitRefused;
    };

    formatter.Begin(text);
    for (uint64_t pos = start; pos < stop; pos += kBlockBytes) {
        const uint64_t count = std::min(kBlockBytes, stop - pos);
        // The look-ahead holds the file's bytes after the block, 0 past its end.
        const uint64_t wanted = std::min(count + kLookAhead, length - pos);
        // A short read with errno set failed; without, it met the file's end.
        errno = 0;
        const uint64_t got = file.ReadAt(buffer.data(), wanted, pos);
        if (got < wanted && errno != 0) {
            flush();
            PrintMessage(ReplacePercent1(LoadString(IDS_IO_ERROR), Utf8ToUtf16(FullPath(path))));
            return kExitRefused;
        }
        std::fill(buffer.begin() + static_cast<int64_t>(got),
                  buffer.begin() + static_cast<int64_t>(count + kLookAhead), 0);
        // A file that shrank while it was read ends where it now ends.
        const uint64_t shown = std::min(count, got);
        formatter.Feed(buffer.data(), shown, text);
        if (!flush()) return writeFailed();
        if (shown < count) break;
    }
    formatter.End(text);
    if (!flush()) return writeFailed();
    return kExitOk;
}

}  // namespace octile::cli
