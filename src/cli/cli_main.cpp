// octile-cli: the editor's file operations for scripts, one subcommand each.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "cli/cli_command.h"

namespace octile::cli {

const std::vector<Command>& Commands() {
    // One row per subcommand, in the order the usage lists them.
    static const std::vector<Command> commands = {
        {"dump", kDumpUsage, RunDump},          {"hexlist", kHexListUsage, RunHexList},
        {"save", kSaveUsage, RunSave},          {"insert", kInsertUsage, RunInsert},
        {"delete", kDeleteUsage, RunDelete},    {"fill", kFillUsage, RunFill},
        {"undo", kUndoUsage, RunUndo},          {"redo", kRedoUsage, RunRedo},
        {"history", kHistoryUsage, RunHistory}, {"recover", kRecoverUsage, RunRecover},
        {"find", kFindUsage, RunFind},          {"replace", kReplaceUsage, RunReplace},
        {"picture", kPictureUsage, RunPicture}, {"compare", kCompareUsage, RunCompare},
    };
    return commands;
}

const Command& FindCommand(std::string_view name) {
    for (const Command& c : Commands()) {
        if (c.name == name) return c;
    }
    std::abort();  // every caller names a row of the table
}

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs("usage:\n", to);
    for (const Command& c : Commands()) {
        std::fprintf(to, "  octile-cli %.*s %.*s\n", static_cast<int>(c.name.size()), c.name.data(),
                     static_cast<int>(c.usage.size()), c.usage.data());
    }
    std::fputs(
        "Offsets and byte counts are hexadecimal without prefix; the COUNT of undo and redo\n"
        "is a decimal number of steps. Exit status: 0 done, 1 nothing found (no match, an\n"
        "empty history, a history that ran out before COUNT steps), 2 refused or failed.\n"
        "Changes are recorded for undo, also across runs; --no-undo makes one without.\n"
        "history prints one line per step, oldest first: number, kind, offset, bytes,\n"
        "\"(undone)\" for a step redo would apply again. recover completes an insert or\n"
        "delete that was cut short (every command that opens the file to change it does).\n",
        to);
}

}  // namespace

}  // namespace octile::cli

int main(int argc, char** argv) {
    using namespace octile::cli;
    if (argc < 2) {
        PrintUsage(stderr);
        return kExitRefused;
    }
    const std::string_view name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(stdout);
        return kExitOk;
    }
    for (const Command& c : Commands()) {
        if (c.name == name) return c.run(Args(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "octile-cli: unknown command %s\n", argv[1]);
    PrintUsage(stderr);
    return kExitRefused;
}
