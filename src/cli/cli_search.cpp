// octile-cli find and replace: the search engine of the window on a file.
// find also reads a stream (standard input, a pipe, a device), forwards from
// its start, and lists every match with --all; both scan the input front to
// back through a window of a block and the pattern's length - 1 bytes.
#include <string.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_host.h"
#include "cli/cli_input.h"
#include "cli/cli_util.h"
#include "document/document.h"
#include "dump/dump_format.h"
#include "io/file_handle.h"
#include "resources/resources.h"
#include "search/replace_run.h"
#include "search/search_engine.h"
#include "search/search_pattern.h"
#include "util/utf.h"

namespace octile::cli {

namespace {

int RunFind(const Args& args);
int RunReplace(const Args& args);

constexpr uint64_t kDefaultReadSize = 0x100;
// The bytes scanned per read of --all and of a stream.
constexpr uint64_t kScanBlock = 1 << 20;

constexpr OptionRule kHexOption = {"hex", "",
                                   "the texts are hexadecimal bytes, two digits each (4F6374)"};
constexpr OptionRule kCaretOption = {"caret", "HEX",
                                     "offset of the caret the search starts after (default 0)"};
constexpr OptionRule kWindowOption = {
    "window", "HEX", "offset of the page shown, at most the caret (default: the caret's line)"};
constexpr OptionRule kReadSizeOption = {"read-size", "HEX",
                                        "size of the page, and the longest pattern (default 100)"};

// The options of find, and of replace (which always searches forward, from
// the caret, and changes the file).
constexpr OptionRule kFindOptions[] = {
    kHexOption,
    kCodeOption,
    kCaretOption,
    kWindowOption,
    kReadSizeOption,
    {"backward", "", "search towards the start of the file"},
    {"all", "", "print the offset of every match from the start, one a line"}};
constexpr OptionRule kReplaceOptions[] = {kHexOption,    kCodeOption,     kCaretOption,
                                          kWindowOption, kReadSizeOption, kNoUndoOption};

// What find and replace share: the texts' interpretation and where the view
// would stand.
struct SearchSetup {
    int32_t hex = 0;
    int32_t code = 0;
    uint64_t caret = 0;
    uint64_t window = 0;
    uint64_t readSize = kDefaultReadSize;
    bool backward = false;
};

bool ParseSetup(const Command& command, const Options& options, SearchSetup& setup) {
    setup.hex = options.Has("hex") ? 1 : 0;
    setup.backward = options.Has("backward");
    if (const auto v = options.Value("code"); v && !ParseCharCode(*v, setup.code)) {
        UsageError(command, Say(Text::kUnknownCode, *v));
        return false;
    }
    if (const auto v = options.Value("caret"); v && !ParseHexArgument("--caret", *v, setup.caret)) {
        return false;
    }
    setup.window = setup.caret & ~uint64_t{15};  // the caret's line
    if (const auto v = options.Value("window");
        v && !ParseHexArgument("--window", *v, setup.window)) {
        return false;
    }
    if (const auto v = options.Value("read-size");
        v && !ParseHexArgument("--read-size", *v, setup.readSize)) {
        return false;
    }
    if (setup.window > setup.caret) {
        UsageError(command, Say(Text::kCaretOffPage));
        return false;
    }
    return true;
}

// Whether text is hexadecimal bytes: digits only, two for each byte.
bool IsHexBytes(std::string_view text) {
    return text.size() % 2 == 0 &&
           std::all_of(text.begin(), text.end(), [](char c) { return HexDigitValue(c) >= 0; });
}

// The pattern of a text argument, or false with the reason printed. With
// --hex the text must be hexadecimal bytes: the window would search other
// text as characters, a script means bytes and is told.
bool Pattern(const Command& command, const SearchSetup& setup, std::string_view text,
             std::vector<uint8_t>& bytes, Text empty) {
    if (text.empty()) {
        UsageError(command, Say(empty));
        return false;
    }
    if (setup.hex != 0 && !IsHexBytes(text)) {
        UsageError(command, Say(Text::kBadHexPattern, text));
        return false;
    }
    SearchPattern p = BuildSearchPattern(Utf8ToUtf16(text), setup.hex, setup.code, setup.readSize);
    if (p.status == SearchPattern::Empty) {
        UsageError(command, Say(empty));
        return false;
    }
    if (p.status == SearchPattern::TooLong) {
        UsageError(command, Say(Text::kPatternTooLong));
        return false;
    }
    bytes = std::move(p.bytes);
    return true;
}

// Calls found(offset) for each match of pattern that starts at or after from,
// in order, reading the input front to back. Matches do not overlap: the next
// is looked for after the end of the one before. found returns false to
// stop. False after a read error (message printed).
bool ScanForward(Input& input, const std::vector<uint8_t>& pattern, uint64_t from,
                 const std::function<bool(uint64_t)>& found) {
    const size_t n = pattern.size();
    const size_t keep = n - 1;  // a match may begin in the block before
    std::vector<uint8_t> buffer(kScanBlock + keep);
    uint64_t base = input.Position();  // the offset of buffer[0]
    size_t size = 0;
    uint64_t next = std::max(from, base);
    for (;;) {
        const uint64_t got = input.Read(buffer.data() + size, kScanBlock);
        if (input.Failed()) return false;
        size += got;
        size_t at = static_cast<size_t>(next - base);
        while (at + n <= size) {
            const void* hit = memmem(buffer.data() + at, size - at, pattern.data(), n);
            if (hit == nullptr) break;
            const size_t index =
                static_cast<size_t>(static_cast<const uint8_t*>(hit) - buffer.data());
            if (!found(base + index)) return true;
            at = index + n;
            next = base + at;
        }
        if (got < kScanBlock) return true;
        // The last keep bytes may begin a match that the next block completes.
        const size_t kept = std::min(keep, size);
        std::memmove(buffer.data(), buffer.data() + (size - kept), kept);
        base += size - kept;
        size = kept;
        next = std::max(next, base);
    }
}

int RunFind(const Args& args) {
    const Command& command = kFindCommand;
    Options options;
    if (!options.Parse(command, args, 2, 2)) return kExitRefused;
    SearchSetup setup;
    std::vector<uint8_t> pattern;
    if (!ParseSetup(command, options, setup) ||
        !Pattern(command, setup, options.Positional()[1], pattern, Text::kEmptySearchText)) {
        return kExitRefused;
    }
    const bool all = options.Has("all");
    if (all) {
        for (const std::string_view option : {"caret", "window", "backward"}) {
            if (options.Has(option)) {
                return UsageError(command, Say(Text::kNotWithAll, "--" + std::string(option)));
            }
        }
    }
    Input input;
    OpenFailure failure;
    if (!input.Open(options.Positional()[0], &failure)) {
        ReportOpenFailure(failure, input.shown());
        return kExitRefused;
    }

    if (all) {
        // Every match from the start of the input, one offset a line.
        std::string text;
        bool any = false;
        bool written = true;
        const bool read = ScanForward(input, pattern, 0, [&](uint64_t match) {
            any = true;
            text += FormatInputOffset(input, match) + "\n";
            if (text.size() < (64 << 10)) return true;
            written = WriteStdout(text);
            text.clear();
            return written;
        });
        if (!written || !WriteStdout(text) || !read) return kExitRefused;
        return any ? kExitOk : kExitNothingFound;
    }

    const SearchRequest request = {setup.caret, setup.window, setup.readSize, setup.backward};
    SearchResult hit;
    if (input.IsStream()) {
        // A stream is searched once, forwards from its start: the window's
        // search from a caret at 0, which finds no match at the caret.
        if (setup.backward) return UsageError(command, Say(Text::kNotForStream, "--backward"));
        if (setup.caret != 0) return UsageError(command, Say(Text::kNotForStream, "--caret"));
        if (setup.window != 0) return UsageError(command, Say(Text::kNotForStream, "--window"));
        const bool read = ScanForward(input, pattern, 1, [&](uint64_t match) {
            hit.status = SearchResult::Found;
            hit.match = match;
            return false;
        });
        if (!read) return kExitRefused;
        hit.window = HitWindow(request, 0, hit.match, pattern.size());
    } else {
        const uint64_t length = input.Length();
        SearchEngine engine(input.file(), length);
        engine.SetPattern(std::move(pattern));
        hit = engine.Find(request);
    }
    if (hit.status != SearchResult::Found) return kExitNothingFound;
    return WriteStdout(FormatInputOffset(input, hit.match) + " " +
                       FormatInputOffset(input, hit.window) + "\n")
               ? kExitOk
               : kExitRefused;
}

int RunReplace(const Args& args) {
    const Command& command = kReplaceCommand;
    Options options;
    if (!options.Parse(command, args, 3, 3)) return kExitRefused;
    SearchSetup setup;
    std::vector<uint8_t> pattern, replacement;
    if (!ParseSetup(command, options, setup) ||
        !Pattern(command, setup, options.Positional()[1], pattern, Text::kEmptySearchText) ||
        !Pattern(command, setup, options.Positional()[2], replacement, Text::kEmptyReplacement)) {
        return kExitRefused;
    }
    if (pattern.size() != replacement.size()) {
        return UsageError(command, Say(Text::kPatternLengthsDiffer));
    }
    CliHost host;
    COctileDoc doc(host);
    doc.SetUndoRecording(!options.Has("no-undo"));
    if (!OpenDocument(doc, std::string(options.Positional()[0]), true)) return kExitRefused;
    const uint64_t length = doc.GetFileLength();
    SearchEngine engine(doc.file(), length);
    engine.SetPattern(std::move(pattern));
    ReplaceAllResult result;
    {
        // The whole run is one step of the history: one undo takes it back.
        EditStep step(doc, setup.caret);
        if (!step.ok()) return EditExit(host, false);
        const auto size = static_cast<uint32_t>(replacement.size());
        result = RunReplaceAll(engine, replacement, setup.caret, setup.window, setup.readSize,
                               [&](uint64_t offset) {
                                   if (doc.WriteBytes(replacement.data(), size, offset) != size)
                                       return false;
                                   std::printf("%s\n", FormatOffset(length, offset).c_str());
                                   return true;
                               });
    }
    if (result.end == ReplaceAllResult::WriteFailed) {
        std::fflush(stdout);
        // A write the journal refused was explained by the document.
        if (!doc.WriteRefusedByJournal()) PrintProgramMessage(IDS_WRITE_ERROR, doc.GetPathName());
        return EditExit(host, false);
    }
    return result.replaced > 0 ? kExitOk : kExitNothingFound;
}

}  // namespace

const Command kFindCommand = {"find", "FILE TEXT", "print the offset of a match and of its page",
                              kFindOptions, RunFind};
const Command kReplaceCommand = {"replace", "FILE SEARCH REPLACEMENT",
                                 "replace every SEARCH; print each offset", kReplaceOptions,
                                 RunReplace};

}  // namespace octile::cli
