// octile-cli insert, delete and fill: the byte-shifting edits of the window,
// run on the file in place.
#include <optional>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_host.h"
#include "cli/cli_util.h"
#include "document/byte_shift.h"
#include "document/document.h"
#include "util/utf.h"

namespace octile::cli {

namespace {

int RunInsert(const Args& args);
int RunDelete(const Args& args);
int RunFill(const Args& args);

constexpr OptionRule kEditOptions[] = {kNoUndoOption};

int RunShift(const Command& command, const Args& args, bool deleteMode) {
    Options options;
    if (!options.Parse(command, args, 3, 3)) return kExitRefused;
    const auto& pos = options.Positional();
    const auto positionText = HexText("POS", pos[1]);
    if (!positionText) return kExitRefused;
    const auto countText = HexText("COUNT", pos[2]);
    if (!countText) return kExitRefused;
    CliHost host;
    uint64_t position = 0;
    uint64_t count = 0;
    if (!ParseShiftRequest(host, *positionText, *countText, position, count)) {
        return kExitRefused;
    }
    COctileDoc doc(host);
    doc.SetUndoRecording(!options.Has("no-undo"));
    if (!OpenDocument(doc, std::string(pos[0]), true)) return kExitRefused;
    const bool ok = deleteMode ? DeleteBytes(doc, host, position, count)
                               : InsertBytes(doc, host, position, count);
    return EditExit(host, ok);
}

int RunInsert(const Args& args) { return RunShift(kInsertCommand, args, false); }

int RunDelete(const Args& args) { return RunShift(kDeleteCommand, args, true); }

int RunFill(const Args& args) {
    Options options;
    if (!options.Parse(kFillCommand, args, 4, 4)) return kExitRefused;
    const auto& pos = options.Positional();
    const auto start = HexText("START", pos[1]);
    if (!start) return kExitRefused;
    const auto end = HexText("END", pos[2]);
    if (!end) return kExitRefused;
    const auto value = HexText("VALUE", pos[3]);
    if (!value) return kExitRefused;
    CliHost host;
    FillRequest request;
    if (!CheckFillValueLength(host, *value) ||
        !ParseFillRequest(host, *start, *end, *value, request)) {
        return kExitRefused;
    }
    COctileDoc doc(host);
    doc.SetUndoRecording(!options.Has("no-undo"));
    if (!OpenDocument(doc, std::string(pos[0]), true)) return kExitRefused;
    return EditExit(host, FillRange(doc, host, request));
}

}  // namespace

const Command kInsertCommand = {"insert", "FILE POS COUNT",
                                "insert COUNT (1-10000) zero bytes at POS", kEditOptions,
                                RunInsert};
const Command kDeleteCommand = {"delete", "FILE POS COUNT", "delete COUNT (1-10000) bytes at POS",
                                kEditOptions, RunDelete};
const Command kFillCommand = {"fill", "FILE START END VALUE",
                              "overwrite START to END with the byte VALUE", kEditOptions, RunFill};

}  // namespace octile::cli
