// octile-cli compare OLD NEW: the compare report, as the editor shows it. Two
// files go to the compare engine; where either side is a stream (standard
// input, a pipe, a device) both are read front to back here, a megabyte of
// each at a time, for the same report.
#include <algorithm>
#include <cstring>
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

const char16_t kHex[] = u"0123456789abcdef";

void AppendHex2(std::u16string& out, uint8_t b) {
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 0xF]);
}

void AppendPadded(std::u16string& out, const std::u16string& text, size_t width) {
    out += text;
    if (text.size() < width) out.append(width - text.size(), u' ');
}

// The report's first line: the two names over their columns, escaped.
std::u16string Header(const std::string& oldName, const std::string& newName) {
    std::u16string line(10, u' ');
    AppendPadded(line, Utf8ToUtf16(EscapeControls(oldName)), 48);
    line += u"  ";
    AppendPadded(line, Utf8ToUtf16(EscapeControls(newName)), 48);
    return line + u"\n";
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
        for (uint64_t j = 0; j < std::max(ta, tb); j += 16) {
            const size_t t = static_cast<size_t>(ta > j ? std::min<uint64_t>(16, ta - j) : 0);
            const size_t u = static_cast<size_t>(tb > j ? std::min<uint64_t>(16, tb - j) : 0);
            const uint8_t* p = x.get() + j;
            const uint8_t* q = y.get() + j;
            if (t == u && std::memcmp(p, q, t) == 0) continue;
            const auto low = static_cast<uint32_t>(o + j);
            for (int shift = 28; shift >= 0; shift -= 4)
                report.push_back(kHex[(low >> shift) & 0xF]);
            report += u": ";
            for (size_t k = 0; k < t; ++k) {
                AppendHex2(report, p[k]);
                report.push_back(u' ');
            }
            report.append((16 - t) * 3, u' ');
            report += u"  ";
            for (size_t k = 0; k < u; ++k) {
                if (k < t && p[k] == q[k]) {
                    report += u" . ";
                } else {
                    AppendHex2(report, q[k]);
                    report.push_back(u' ');
                }
            }
            report += u"\n";
            if (++lines >= kMaxCompareLines) return true;
        }
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
