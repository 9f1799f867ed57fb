// octile-cli find and replace: the search engine of the window on a file.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_host.h"
#include "cli/cli_util.h"
#include "document/document.h"
#include "io/file_handle.h"
#include "resources/resources.h"
#include "search/replace_run.h"
#include "search/search_engine.h"
#include "search/search_pattern.h"
#include "util/utf.h"

namespace octile::cli {

const std::string_view kFindUsage =
    "FILE TEXT [--hex] [--code sjis|unicode|jis|euc] [--caret HEX] [--window HEX] "
    "[--read-size HEX] [--backward]";
const std::string_view kReplaceUsage =
    "FILE SEARCH REPLACEMENT [--hex] [--code sjis|unicode|jis|euc] [--caret HEX] [--window HEX] "
    "[--read-size HEX] [--no-undo]";

namespace {

constexpr uint64_t kDefaultReadSize = 0x100;

// The options of find, and of replace (which always searches forward, from
// the caret, and changes the file).
constexpr OptionRule kFindOptions[] = {{"hex", false},   {"code", true},      {"caret", true},
                                       {"window", true}, {"read-size", true}, {"backward", false}};
constexpr OptionRule kReplaceOptions[] = {{"hex", false},   {"code", true},      {"caret", true},
                                          {"window", true}, {"read-size", true}, kNoUndoOption};

// What find and replace share: the file, the texts' interpretation and where
// the view would stand.
struct SearchSetup {
    std::string path;
    int32_t hex = 0;
    int32_t code = 0;
    uint64_t caret = 0;
    uint64_t window = 0;
    uint64_t readSize = kDefaultReadSize;
    bool backward = false;
};

bool ParseSetup(const Command& command, const Options& options, SearchSetup& setup) {
    setup.path = std::string(options.Positional()[0]);
    setup.hex = options.Has("hex") ? 1 : 0;
    setup.backward = options.Has("backward");
    if (const auto v = options.Value("code"); v && !ParseCharCode(*v, setup.code)) {
        UsageError(command, "unknown character code " + std::string(*v));
        return false;
    }
    if (const auto v = options.Value("caret"); v && !ParseHexArgument(*v, setup.caret))
        return false;
    setup.window = setup.caret & ~uint64_t{15};  // the caret's line
    if (const auto v = options.Value("window"); v && !ParseHexArgument(*v, setup.window)) {
        return false;
    }
    if (const auto v = options.Value("read-size"); v && !ParseHexArgument(*v, setup.readSize)) {
        return false;
    }
    if (setup.window > setup.caret) {
        UsageError(command, "the caret must lie on the page: --window after --caret");
        return false;
    }
    return true;
}

// The pattern of a text argument, or false with the reason printed.
bool Pattern(const Command& command, const SearchSetup& setup, std::string_view text,
             std::vector<uint8_t>& bytes, std::string_view what = "search text") {
    SearchPattern p = BuildSearchPattern(Utf8ToUtf16(text), setup.hex, setup.code, setup.readSize);
    if (p.status == SearchPattern::Empty) {
        UsageError(command, "empty " + std::string(what));
        return false;
    }
    if (p.status == SearchPattern::TooLong) {
        UsageError(command, "the pattern is longer than the read size");
        return false;
    }
    bytes = std::move(p.bytes);
    return true;
}

}  // namespace

int RunFind(const Args& args) {
    const Command& command = FindCommand("find");
    Options options;
    if (!options.Parse(command, args, kFindOptions, 2, 2)) {
        return kExitRefused;
    }
    SearchSetup setup;
    std::vector<uint8_t> pattern;
    if (!ParseSetup(command, options, setup) ||
        !Pattern(command, setup, options.Positional()[1], pattern)) {
        return kExitRefused;
    }
    const FileHandle file = OpenOrReport(setup.path, FileHandle::ReadOnly);
    if (!file.IsOpen()) return kExitRefused;
    const uint64_t length = file.Length();
    SearchEngine engine(file, length);
    engine.SetPattern(std::move(pattern));
    const SearchResult hit =
        engine.Find({setup.caret, setup.window, setup.readSize, setup.backward});
    if (hit.status != SearchResult::Found) return kExitNothingFound;
    std::printf("%s %s\n", FormatOffset(length, hit.match).c_str(),
                FormatOffset(length, hit.window).c_str());
    return kExitOk;
}

int RunReplace(const Args& args) {
    const Command& command = FindCommand("replace");
    Options options;
    if (!options.Parse(command, args, kReplaceOptions, 3, 3)) {
        return kExitRefused;
    }
    SearchSetup setup;
    std::vector<uint8_t> pattern, replacement;
    if (!ParseSetup(command, options, setup) ||
        !Pattern(command, setup, options.Positional()[1], pattern) ||
        !Pattern(command, setup, options.Positional()[2], replacement, "replacement")) {
        return kExitRefused;
    }
    if (pattern.size() != replacement.size()) {
        return UsageError(command, "the search and replacement patterns differ in length");
    }
    CliHost host;
    COctileDoc doc(host);
    doc.SetUndoRecording(!options.Has("no-undo"));
    if (!OpenDocument(doc, setup.path, true)) return kExitRefused;
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
        if (!doc.WriteRefusedByJournal()) {
            PrintMessage(
                ReplacePercent1(LoadString(IDS_WRITE_ERROR), Utf8ToUtf16(doc.GetPathName())));
        }
        return EditExit(host, false);
    }
    return result.replaced > 0 ? kExitOk : kExitNothingFound;
}

}  // namespace octile::cli
