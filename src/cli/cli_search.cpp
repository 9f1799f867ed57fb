// octile-cli find and replace: the search engine of the window on a file.
#include <cstdio>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_util.h"
#include "dump/dump_format.h"
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
    "[--read-size HEX]";

namespace {

constexpr uint64_t kDefaultReadSize = 0x100;

// The options of find; replace takes all but the last (it always searches
// forward, from the caret).
constexpr OptionRule kFindOptions[] = {{"hex", false},   {"code", true},      {"caret", true},
                                       {"window", true}, {"read-size", true}, {"backward", false}};
constexpr std::span<const OptionRule> kReplaceOptions =
    std::span(kFindOptions).first(std::size(kFindOptions) - 1);

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
             std::vector<uint8_t>& bytes) {
    SearchPattern p = BuildSearchPattern(Utf8ToUtf16(text), setup.hex, setup.code, setup.readSize);
    if (p.status == SearchPattern::Empty) {
        UsageError(command, "empty search text");
        return false;
    }
    if (p.status == SearchPattern::TooLong) {
        UsageError(command, "the pattern is longer than the read size");
        return false;
    }
    bytes = std::move(p.bytes);
    return true;
}

std::string Address(uint64_t fileLength, uint64_t value) {
    DumpSettings settings;
    settings.extraDigits = ExtraDigitsForLength(fileLength);
    return Utf16ToUtf8(FormatAddress(settings, value));
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
    std::printf("%s %s\n", Address(length, hit.match).c_str(), Address(length, hit.window).c_str());
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
        !Pattern(command, setup, options.Positional()[2], replacement)) {
        return kExitRefused;
    }
    if (pattern.size() != replacement.size()) {
        return UsageError(command, "the search and replacement patterns differ in length");
    }
    const FileHandle file = OpenOrReport(setup.path, FileHandle::ReadWrite);
    if (!file.IsOpen()) return kExitRefused;
    const uint64_t length = file.Length();
    SearchEngine engine(file, length);
    engine.SetPattern(std::move(pattern));
    const ReplaceAllResult result = RunReplaceAll(
        engine, replacement, setup.caret, setup.window, setup.readSize, [&](uint64_t offset) {
            if (file.WriteAt(replacement.data(), replacement.size(), offset) !=
                replacement.size()) {
                return false;
            }
            std::printf("%s\n", Address(length, offset).c_str());
            return true;
        });
    if (result.end == ReplaceAllResult::WriteFailed) {
        std::fflush(stdout);
        PrintMessage(
            ReplacePercent1(LoadString(IDS_WRITE_ERROR), Utf8ToUtf16(FullPath(setup.path))));
        return kExitRefused;
    }
    return result.replaced > 0 ? kExitOk : kExitNothingFound;
}

}  // namespace octile::cli
