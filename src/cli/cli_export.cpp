// octile-cli save and hexlist: the partial save and the hex listing export
// of the window, from the same code.
#include <string>

#include "charcode/charcode.h"
#include "cli/cli_command.h"
#include "cli/cli_host.h"
#include "cli/cli_util.h"
#include "document/document.h"
#include "document/range_export.h"
#include "dump/dump_format.h"
#include "util/utf.h"

namespace octile::cli {

const std::string_view kSaveUsage = "FILE OUT [--start HEX] [--end HEX]";
const std::string_view kHexListUsage =
    "FILE OUT [--start HEX] [--end HEX] [--code sjis|unicode|jis|euc] [--upper]";

namespace {

int RunExport(std::string_view name, const Args& args, ExportKind kind) {
    const Command& command = FindCommand(name);
    Options options;
    const bool hex = kind == ExportKind::HexList;
    const bool parsed =
        hex ? options.Parse(command, args,
                            {{"start", true}, {"end", true}, {"code", true}, {"upper", false}}, 2,
                            2)
            : options.Parse(command, args, {{"start", true}, {"end", true}}, 2, 2);
    if (!parsed) return kExitRefused;
    int32_t code = CODE_SJIS;
    if (const auto v = options.Value("code"); v && !ParseCharCode(*v, code)) {
        return UsageError(command, "unknown character code " + std::string(*v));
    }

    ExportRequest request;
    request.kind = kind;
    request.outputPath = std::string(options.Positional()[1]);
    request.startText = Utf8ToUtf16(options.Value("start").value_or("0"));
    request.endText = Utf8ToUtf16(options.Value("end").value_or("FFFFFFFFFFFFFFFF"));

    CliHost host;
    COctileDoc doc(host);
    if (!OpenDocument(doc, std::string(options.Positional()[0]), false)) return kExitRefused;
    // The address width the view would use for this file.
    request.dump.extraDigits = ExtraDigitsForLength(doc.GetFileLength());
    request.dump.upper = options.Has("upper");
    request.dump.charCode = code;
    return ExportRange(doc, host, request) ? kExitOk : kExitRefused;
}

}  // namespace

int RunSave(const Args& args) { return RunExport("save", args, ExportKind::PartialSave); }

int RunHexList(const Args& args) { return RunExport("hexlist", args, ExportKind::HexList); }

}  // namespace octile::cli
