#pragma once
// The subcommands of octile-cli. To add one: write src/cli/cli_NAME.cpp with
// its Run function and usage text, declare both here, and add one row to the
// table in cli_main.cpp.
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

struct Command {
    std::string_view name;
    std::string_view usage;  // the arguments, after "octile-cli NAME "
    int (*run)(const Args& args);
};

// The table of subcommands (cli_main.cpp), and one row of it by name.
const std::vector<Command>& Commands();
const Command& FindCommand(std::string_view name);

// dump FILE [--start HEX] [--end HEX] [--code sjis|unicode|jis|euc] [--upper]
extern const std::string_view kDumpUsage;
int RunDump(const Args& args);

// hexlist FILE OUT [--start HEX] [--end HEX] [--code ...] [--upper]; save FILE OUT [--start HEX]
// [--end HEX]
extern const std::string_view kHexListUsage;
extern const std::string_view kSaveUsage;
int RunHexList(const Args& args);
int RunSave(const Args& args);

// insert FILE POS COUNT; delete FILE POS COUNT; fill FILE START END VALUE (each
// [--no-undo])
extern const std::string_view kInsertUsage;
extern const std::string_view kDeleteUsage;
extern const std::string_view kFillUsage;
int RunInsert(const Args& args);
int RunDelete(const Args& args);
int RunFill(const Args& args);

// undo FILE [COUNT]; redo FILE [COUNT]; history FILE; recover FILE
extern const std::string_view kUndoUsage;
extern const std::string_view kRedoUsage;
extern const std::string_view kHistoryUsage;
extern const std::string_view kRecoverUsage;
int RunUndo(const Args& args);
int RunRedo(const Args& args);
int RunHistory(const Args& args);
int RunRecover(const Args& args);

// picture FILE ANCHOR OUT.bmp [--plugins DIR]
extern const std::string_view kPictureUsage;
int RunPicture(const Args& args);

// find FILE TEXT [...]; replace FILE SEARCH REPLACEMENT [...] [--no-undo]
extern const std::string_view kFindUsage;
extern const std::string_view kReplaceUsage;
int RunFind(const Args& args);
int RunReplace(const Args& args);

// compare OLD NEW
extern const std::string_view kCompareUsage;
int RunCompare(const Args& args);

}  // namespace octile::cli
