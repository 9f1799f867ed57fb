// octile-cli undo, redo, history and recover: the edit journal of a file,
// kept across runs, so a script can take back what an earlier run changed.
#include <charconv>
#include <cstdio>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_host.h"
#include "cli/cli_util.h"
#include "document/document.h"
#include "document/journal.h"
#include "document/undo.h"

namespace octile::cli {

namespace {

const char* KindName(EditKind kind) {
    switch (kind) {
        case EditKind::Insert:
            return "insert";
        case EditKind::Delete:
            return "delete";
        case EditKind::Overwrite:
            break;
    }
    return "overwrite";
}

// Undoes or redoes COUNT steps (decimal, 1 when left out), newest first,
// stopping at the first that cannot be done.
int RunSteps(const Command& command, const Args& args, bool redo) {
    Options options;
    if (!options.Parse(command, args, 1, 2)) return kExitRefused;
    const auto& pos = options.Positional();
    uint64_t count = 1;
    if (pos.size() > 1) {
        const std::string_view text = pos[1];
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
        if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
            count == 0) {
            return UsageError(command, Say(Text::kBadStepCount));
        }
    }
    CliHost host;
    COctileDoc doc(host);
    if (!OpenDocument(doc, std::string(pos[0]), true)) return kExitRefused;
    for (uint64_t i = 0; i < count; ++i) {
        const bool available = redo ? doc.CanRedo() : doc.CanUndo();
        // Called also when the history has run out, for its message.
        const bool done = redo ? RedoEdit(doc, host) : UndoEdit(doc, host);
        if (!done) return available ? kExitRefused : kExitNothingFound;
    }
    return kExitOk;
}

int RunUndo(const Args& args) { return RunSteps(kUndoCommand, args, false); }

int RunRedo(const Args& args) { return RunSteps(kRedoCommand, args, true); }

int RunHistory(const Args& args) {
    Options options;
    if (!options.Parse(kHistoryCommand, args, 1, 1)) return kExitRefused;
    CliHost host;
    COctileDoc doc(host);
    // The journal is kept only for a file open read-write.
    if (!OpenDocument(doc, std::string(options.Positional()[0]), true)) return kExitRefused;
    const EditJournal* journal = doc.journal();
    if (!journal) {
        if (host.messages() == 0) PrintLine(Say(Text::kNoJournal, doc.GetPathName()));
        return kExitRefused;
    }
    const uint64_t length = doc.GetFileLength();
    const std::vector<HistoryEntry> history = journal->History();
    size_t index = 0;
    for (const HistoryEntry& e : history) {
        std::printf("%zu %s %s %llx%s\n", ++index, KindName(e.kind),
                    FormatOffset(length, e.position).c_str(),
                    static_cast<unsigned long long>(e.count), e.undone ? " (undone)" : "");
    }
    return history.empty() ? kExitNothingFound : kExitOk;
}

int RunRecover(const Args& args) {
    Options options;
    if (!options.Parse(kRecoverCommand, args, 1, 1)) return kExitRefused;
    CliHost host;
    COctileDoc doc(host);
    // Opening read-write completes an insert or delete that was cut short,
    // and says so.
    if (!OpenDocument(doc, std::string(options.Positional()[0]), true)) return kExitRefused;
    // A shift still pending could not be completed (the document said why).
    if (doc.journal() && doc.journal()->ShiftPending()) return kExitRefused;
    if (host.messages() == 0) std::puts("nothing to complete");
    return kExitOk;
}

}  // namespace

const Command kUndoCommand = {
    "undo", "FILE [COUNT]", "undo the newest COUNT changes (default 1)", {}, RunUndo};
const Command kRedoCommand = {
    "redo", "FILE [COUNT]", "redo the newest COUNT undone changes", {}, RunRedo};
const Command kHistoryCommand = {
    "history", "FILE", "list the recorded changes, oldest first", {}, RunHistory};
const Command kRecoverCommand = {
    "recover", "FILE", "complete an insert or delete cut short", {}, RunRecover};

}  // namespace octile::cli
