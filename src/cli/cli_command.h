#pragma once
// The subcommands of octile-cli. To add one: write src/cli/cli_NAME.cpp with
// its Run function, its options and its Command row, declare the row here,
// and add it to the table in cli_main.cpp. The help, the usage lines and the
// parsing all come from the row.
#include <span>
#include <string_view>
#include <vector>

namespace octile::cli {

// The arguments after the subcommand's name.
using Args = std::vector<std::string_view>;

enum ExitCode : int {
    kExitOk = 0,
    kExitNothingFound = 1,
    kExitRefused = 2,  // bad arguments, a refused request or an I/O error
};

struct OptionRule {
    std::string_view name;   // without the leading "--"
    std::string_view value;  // the value's name in the help ("HEX"); empty for a switch
    std::string_view help;   // one line

    // "--name VALUE" or "--name=VALUE"; else a switch.
    constexpr bool TakesValue() const { return !value.empty(); }
};

struct Command {
    std::string_view name;
    std::string_view arguments;  // the positional arguments, after "octile-cli NAME "
    std::string_view summary;    // one line
    std::span<const OptionRule> options;
    int (*run)(const Args& args);
};

// The table of subcommands (cli_main.cpp), in the order the help lists them.
std::span<const Command* const> Commands();

extern const Command kDumpCommand;     // cli_dump.cpp
extern const Command kHexListCommand;  // cli_export.cpp
extern const Command kSaveCommand;
extern const Command kInsertCommand;  // cli_edit.cpp
extern const Command kDeleteCommand;
extern const Command kFillCommand;
extern const Command kUndoCommand;  // cli_undo.cpp
extern const Command kRedoCommand;
extern const Command kHistoryCommand;
extern const Command kRecoverCommand;
extern const Command kFindCommand;  // cli_search.cpp
extern const Command kReplaceCommand;
extern const Command kPictureCommand;  // cli_picture.cpp
extern const Command kCompareCommand;  // cli_compare.cpp

}  // namespace octile::cli
