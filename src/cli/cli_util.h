#pragma once
// What the subcommands of octile-cli share: option parsing, messages on
// standard error, hexadecimal arguments, writing output.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/cli_command.h"
#include "document/document.h"
#include "document/journal.h"
#include "io/file_handle.h"

namespace octile::cli {

struct OptionRule {
    std::string_view name;  // without the leading "--"
    bool takesValue;        // "--name VALUE" or "--name=VALUE"; else a switch
};

// A subcommand's arguments split into options and positional arguments.
class Options {
  public:
    // False, with a usage error printed, for an unknown option, a missing
    // value or a number of positional arguments outside [minPositional,
    // maxPositional]. "--" ends the options.
    bool Parse(const Command& command, const Args& args, std::span<const OptionRule> rules,
               size_t minPositional, size_t maxPositional);
    bool Parse(const Command& command, const Args& args, std::initializer_list<OptionRule> rules,
               size_t minPositional, size_t maxPositional) {
        return Parse(command, args, std::span(rules.begin(), rules.size()), minPositional,
                     maxPositional);
    }

    const std::vector<std::string_view>& Positional() const { return positional_; }
    // The last value given for the option.
    std::optional<std::string_view> Value(std::string_view name) const;
    bool Has(std::string_view name) const;

  private:
    std::vector<std::string_view> positional_;
    std::vector<std::pair<std::string_view, std::string_view>> values_;
};

// Prints "octile-cli: DETAIL" and the command's usage on standard error and
// returns kExitRefused.
int UsageError(const Command& command, std::string_view detail);

// Prints a program message (UTF-16) as one UTF-8 line on standard error.
void PrintMessage(std::u16string_view text);

// An offset typed in hexadecimal without prefix (at most 16 digits). On
// anything else prints message 10007 and returns false.
bool ParseHexArgument(std::string_view text, uint64_t& value);

// "sjis", "unicode", "jis" or "euc" to the character code.
bool ParseCharCode(std::string_view text, int32_t& code);

// Opens an existing file for a subcommand; when that fails, prints the
// editor's message for it (with the full path) and returns a closed handle.
FileHandle OpenOrReport(const std::string& path, FileHandle::Mode mode);

// An offset as the tool prints it: hexadecimal, as wide as the window's
// address column for a file of fileLength bytes.
std::string FormatOffset(uint64_t fileLength, uint64_t value);

// The edit journal's folder and limits from the user's settings file; every
// subcommand that opens a document gives it these before the open.
JournalOptions UserJournalOptions();

// The switch of the subcommands that change the file: make the change
// without undo data (and drop the history before it).
inline constexpr OptionRule kNoUndoOption = {"no-undo", false};

// Writes all of text, retrying short writes; false on an error.
inline bool WriteAll(int fd, std::string_view text) {
    return WriteSequential(fd, reinterpret_cast<const uint8_t*>(text.data()), text.size()) ==
           text.size();
}

}  // namespace octile::cli
