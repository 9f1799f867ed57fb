// octile-cli compare OLD NEW: the compare report, as the editor shows it. Two
// files go to the compare engine; where either side is a stream (standard
// input, a pipe, a device) both are read front to back here, a megabyte of
// each at a time, for the same report.
#include <memory>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_input.h"
#include "cli/cli_util.h"
#include "compare/compare.h"
#include "util/utf.h"

namespace octile::cli {

namespace {

constexpr uint64_t kChunk = 1 << 20;  // a multiple of 16: no line straddles two

// The report's first line: the two names over their columns, escaped.
std::u16string Header(const std::string& oldName, const std::string& newName) {
    return CompareHeader(Utf8ToUtf16(EscapeControls(oldName)),
                         Utf8ToUtf16(EscapeControls(newName)));
}

// The difference lines of the report CompareFiles makes, of two inputs read
// front to back. False after a read error (its message printed).
bool CompareStreams(Input& a, Input& b, std::u16string& report) {
    auto x = std::make_unique<uint8_t[]>(kChunk);
    auto y = std::make_unique<uint8_t[]>(kChunk);
    int lines = 0;
    for (uint64_t o = 0;; o += kChunk) {
        const uint64_t ta = a.Read(x.get(), kChunk);
        const uint64_t tb = b.Read(y.get(), kChunk);
        if (a.Failed() || b.Failed()) return false;
        if (AppendDifferenceLines(o, x.get(), ta, y.get(), tb, lines, report)) return true;
        if (ta < kChunk && tb < kChunk) break;
    }
    return true;
}

int RunCompare(const Args& args) {
    Options options;
    if (!options.Parse(kCompareCommand, args, 2, 2)) return kExitRefused;
    const std::string oldPath(options.Positional()[0]);
    const std::string newPath(options.Positional()[1]);
    Input oldInput, newInput;
    OpenFailure failure;
    if (!oldInput.Open(oldPath, &failure)) {
        PrintLine(Say(Text::kCannotReadOld, oldPath), FailureReason(failure));
        return kExitRefused;
    }
    if (!newInput.Open(newPath, &failure)) {
        PrintLine(Say(Text::kCannotReadNew, newPath), FailureReason(failure));
        return kExitRefused;
    }
    std::u16string report;
    if (oldInput.IsStream() || newInput.IsStream()) {
        if (!CompareStreams(oldInput, newInput, report)) return kExitRefused;
        // The engine's report of equal files, or its lines under the names.
        report = report.empty() ? std::u16string(u"同じです\n") : Header(oldPath, newPath) + report;
    } else {
        // The engine opens the files again by their names ("-" would be a
        // file of that name); standard input is open as /dev/stdin.
        const int result = CompareFiles(oldPath == "-" ? "/dev/stdin" : oldPath,
                                        newPath == "-" ? "/dev/stdin" : newPath, report);
        if (result != COMPARE_OK) {
            PrintLine(Say(result == COMPARE_NO_OLD ? Text::kCannotReadOld : Text::kCannotReadNew,
                          result == COMPARE_NO_OLD ? oldPath : newPath));
            return kExitRefused;
        }
        // A report with differences begins with the names: as given, escaped.
        if (report.starts_with(u"          ")) {
            report.replace(0, report.find(u'\n') + 1, Header(oldPath, newPath));
        }
    }
    return WriteStdout(Utf16ToUtf8(report)) ? kExitOk : kExitRefused;
}

}  // namespace

const Command kCompareCommand = {
    "compare", "OLD NEW", "print the compare report of two files", {}, RunCompare};

}  // namespace octile::cli
