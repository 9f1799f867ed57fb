// octile-cli insert, delete and fill: the byte-shifting edits of the window,
// run on the file in place.
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_host.h"
#include "cli/cli_util.h"
#include "document/byte_shift.h"
#include "document/document.h"
#include "util/utf.h"

namespace octile::cli {

const std::string_view kInsertUsage = "FILE POS COUNT [--no-undo]";
const std::string_view kDeleteUsage = "FILE POS COUNT [--no-undo]";
const std::string_view kFillUsage = "FILE START END VALUE [--no-undo]";

namespace {

int RunShift(std::string_view name, const Args& args, bool deleteMode) {
    const Command& command = FindCommand(name);
    Options options;
    if (!options.Parse(command, args, {kNoUndoOption}, 3, 3)) return kExitRefused;
    const auto& pos = options.Positional();
    CliHost host;
    uint64_t position = 0;
    uint64_t count = 0;
    if (!ParseShiftRequest(host, Utf8ToUtf16(pos[1]), Utf8ToUtf16(pos[2]), position, count)) {
        return kExitRefused;
    }
    COctileDoc doc(host);
    doc.SetUndoRecording(!options.Has("no-undo"));
    if (!OpenDocument(doc, std::string(pos[0]), true)) return kExitRefused;
    const bool ok = deleteMode ? DeleteBytes(doc, host, position, count)
                               : InsertBytes(doc, host, position, count);
    return EditExit(host, ok);
}

}  // namespace

int RunInsert(const Args& args) { return RunShift("insert", args, false); }

int RunDelete(const Args& args) { return RunShift("delete", args, true); }

int RunFill(const Args& args) {
    const Command& command = FindCommand("fill");
    Options options;
    if (!options.Parse(command, args, {kNoUndoOption}, 4, 4)) return kExitRefused;
    const auto& pos = options.Positional();
    CliHost host;
    const std::u16string value = Utf8ToUtf16(pos[3]);
    FillRequest request;
    if (!CheckFillValueLength(host, value) ||
        !ParseFillRequest(host, Utf8ToUtf16(pos[1]), Utf8ToUtf16(pos[2]), value, request)) {
        return kExitRefused;
    }
    COctileDoc doc(host);
    doc.SetUndoRecording(!options.Has("no-undo"));
    if (!OpenDocument(doc, std::string(pos[0]), true)) return kExitRefused;
    return EditExit(host, FillRange(doc, host, request));
}

}  // namespace octile::cli
