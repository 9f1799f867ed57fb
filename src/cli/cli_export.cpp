// octile-cli save and hexlist: the partial save and the hex listing export
// of the window, from the same code. The hex listing of a stream (standard
// input, a pipe, a device) is made here, block by block as it arrives, in the
// same format.
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <vector>

#include "charcode/charcode.h"
#include "cli/cli_command.h"
#include "cli/cli_host.h"
#include "cli/cli_input.h"
#include "cli/cli_util.h"
#include "document/document.h"
#include "document/long_operation.h"
#include "document/range_export.h"
#include "dump/dump_format.h"
#include "io/output_file.h"
#include "io/path.h"
#include "resources/resources.h"
#include "util/utf.h"

namespace octile::cli {

namespace {

int RunSave(const Args& args);
int RunHexList(const Args& args);

constexpr OptionRule kSaveOptions[] = {kStartOption, kEndOption};
constexpr OptionRule kHexListOptions[] = {kStartOption, kEndOption, kCodeOption, kUpperOption};

// True when path names something that is read as a stream: standard input,
// or an existing FIFO, socket or character device. Anything else goes
// through the document, which explains what it cannot open.
bool IsStreamInput(const std::string& path) {
    struct stat st {};
    if (path == "-") return true;
    if (::stat(path.c_str(), &st) != 0) return false;
    return !S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode);
}

// The hex listing of a stream into output, as ExportRange writes that of an
// open file: UTF-16LE with a byte order mark, a ruled block for each 256
// bytes from start, the output replacing the file at its path only once it
// is complete, and the same refusals and messages.
int StreamHexList(const std::string& source, const std::string& output,
                  const ExportRequest& request) {
    Input input;
    OpenFailure failure;
    if (!input.Open(source, &failure)) {
        ReportOpenFailure(failure, input.shown());
        return kExitRefused;
    }
    const std::string outputShown = FullPath(output);
    if (IsExtensionOnlyName(output)) {
        PrintProgramMessage(IDS_FILEOPEN_NG);
        return kExitRefused;
    }
    uint64_t first = 0;
    uint64_t last = 0;
    if (!ParseHexStrict(request.startText, first) || !ParseHexStrict(request.endText, last) ||
        first > last) {
        PrintProgramMessage(IDS_RANGE_HEX);
        return kExitRefused;
    }
    // Standard input redirected from the output file itself.
    if (!input.IsStream() && IsSameFile(input.file().fd(), output)) {
        PrintProgramMessage(IDS_SAVE_ERROR, outputShown);
        return kExitRefused;
    }
    OutputFile out;
    errno = 0;
    switch (out.Open(output)) {
        case OutputStatus::Ready:
            break;
        case OutputStatus::NotRegularFile:
            PrintProgramMessage(IDS_NOT_REGULAR_FILE, outputShown);
            return kExitRefused;
        case OutputStatus::CannotCreate:
            PrintProgramMessage(IDS_SAVE_ERROR, outputShown, errno != 0 ? SystemReason(errno) : "");
            return kExitRefused;
    }

    DumpSettings settings = request.dump;
    settings.extraDigits = input.ExtraDigits();
    std::u16string text = u"\uFEFF";
    std::vector<uint8_t> bytes;
    const auto write = [&] {
        bytes.resize(2 * text.size());
        for (size_t i = 0; i < text.size(); ++i) {
            bytes[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
            bytes[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
        }
        text.clear();
        errno = 0;
        if (out.Write(bytes.data(), bytes.size()) == bytes.size()) return true;
        const int err = errno;
        PrintProgramMessage(err != 0 ? IDS_IO_ERROR : IDS_WRITE_ERROR, outputShown,
                            err != 0 ? SystemReason(err) : "");
        return false;
    };

    const uint64_t stop =
        last == kToEndOfFile ? (input.IsStream() ? kToEndOfFile : input.Length()) : last + 1;
    if (!input.SkipTo(first)) return kExitRefused;
    BlockReader reader(input, kHexListBlock, COctileDoc::kLookAhead);
    for (uint64_t pos = first; pos < stop;) {
        const uint64_t want = std::min(kHexListBlock, stop - pos);
        const uint64_t count = reader.Next(want);
        if (input.Failed()) return kExitRefused;
        if (count == 0) break;
        // Each block decodes afresh, with its own ruler and closing rule.
        DumpFormatter formatter(settings, pos);
        formatter.Begin(text);
        formatter.Feed(reader.data(), count, text);
        formatter.End(text);
        // Written in pieces of about a megabyte of text.
        if (text.size() >= (512 << 10) && !write()) return kExitRefused;
        pos += count;
        if (count < want) break;
    }
    if (!text.empty() && !write()) return kExitRefused;
    if (!out.Commit()) {
        PrintProgramMessage(IDS_SAVE_ERROR, outputShown, SystemReason(errno));
        return kExitRefused;
    }
    return kExitOk;
}

int RunExport(const Command& command, const Args& args, ExportKind kind) {
    Options options;
    if (!options.Parse(command, args, 2, 2)) return kExitRefused;
    int32_t code = CODE_SJIS;
    if (const auto v = options.Value("code"); v && !ParseCharCode(*v, code)) {
        return UsageError(command, Say(Text::kUnknownCode, *v));
    }

    ExportRequest request;
    request.kind = kind;
    request.outputPath = std::string(options.Positional()[1]);
    const auto start = HexText("--start", options.Value("start").value_or("0"));
    const auto end = HexText("--end", options.Value("end").value_or("FFFFFFFFFFFFFFFF"));
    if (!start || !end) return kExitRefused;
    request.startText = *start;
    request.endText = *end;
    request.dump.upper = options.Has("upper");
    request.dump.charCode = code;

    const std::string source(options.Positional()[0]);
    if (kind == ExportKind::HexList && IsStreamInput(source)) {
        return StreamHexList(source, request.outputPath, request);
    }
    CliHost host;
    COctileDoc doc(host);
    if (!OpenDocument(doc, source, false)) return kExitRefused;
    // The address width the view would use for this file.
    request.dump.extraDigits = ExtraDigitsForLength(doc.GetFileLength());
    return ExportRange(doc, host, request) ? kExitOk : kExitRefused;
}

int RunSave(const Args& args) { return RunExport(kSaveCommand, args, ExportKind::PartialSave); }

int RunHexList(const Args& args) { return RunExport(kHexListCommand, args, ExportKind::HexList); }

}  // namespace

const Command kSaveCommand = {"save", "FILE OUT", "copy a range of FILE into OUT", kSaveOptions,
                              RunSave};
const Command kHexListCommand = {"hexlist", "FILE OUT",
                                 "write the dump listing into OUT (hex list)", kHexListOptions,
                                 RunHexList};

}  // namespace octile::cli
