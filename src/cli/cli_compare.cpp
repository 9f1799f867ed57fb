// octile-cli compare OLD NEW: the compare report, as the editor shows it.
#include <unistd.h>

#include "cli/cli_command.h"
#include "cli/cli_util.h"
#include "compare/compare.h"
#include "util/utf.h"

namespace octile::cli {

const std::string_view kCompareUsage = "OLD NEW";

int RunCompare(const Args& args) {
    const Command& self = FindCommand("compare");
    Options options;
    if (!options.Parse(self, args, {}, 2, 2)) return kExitRefused;
    const std::string oldPath(options.Positional()[0]);
    const std::string newPath(options.Positional()[1]);
    std::u16string report;
    const int result = CompareFiles(oldPath, newPath, report);
    if (result != COMPARE_OK) {
        PrintMessage(CompareOpenFailure(result, result == COMPARE_NO_OLD ? oldPath : newPath));
        return kExitRefused;
    }
    const std::string text = Utf16ToUtf8(report);
    return WriteAll(STDOUT_FILENO, text) ? kExitOk : kExitRefused;
}

}  // namespace octile::cli
