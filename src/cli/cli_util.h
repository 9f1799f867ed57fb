#pragma once
// What the subcommands of octile-cli share: option parsing, the usage and help
// texts, messages on standard error, hexadecimal arguments, writing output.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_messages.h"
#include "document/journal.h"
#include "io/file_handle.h"

namespace octile::cli {

// The options the subcommands share. An option's name takes a value or not
// whichever command it is given to, so options may also stand before the
// command's name.
inline constexpr OptionRule kStartOption = {"start", "HEX",
                                            "first offset of the range (default 0)"};
inline constexpr OptionRule kEndOption = {
    "end", "HEX", "last offset of the range, included (default: the end of the file)"};
inline constexpr OptionRule kCodeOption = {
    "code", "CODE", "character code: sjis (default), unicode, jis, euc or utf8"};
inline constexpr OptionRule kUpperOption = {"upper", "", "upper-case hexadecimal digits"};
inline constexpr OptionRule kNoUndoOption = {
    "no-undo", "", "make the change without undo data, dropping the history before it"};

// A subcommand's arguments split into options and positional arguments.
class Options {
  public:
    // False, with a usage error printed, for an unknown option, a missing
    // value or a number of positional arguments outside [minPositional,
    // maxPositional]. Options may stand anywhere; "--" ends them, and "-"
    // is a positional argument (standard input).
    bool Parse(const Command& command, const Args& args, size_t minPositional,
               size_t maxPositional);

    const std::vector<std::string_view>& Positional() const { return positional_; }
    // The last value given for the option.
    std::optional<std::string_view> Value(std::string_view name) const;
    bool Has(std::string_view name) const;

  private:
    std::vector<std::string_view> positional_;
    std::vector<std::pair<std::string_view, std::string_view>> values_;
};

// "octile-cli NAME ARGUMENTS [--option VALUE] ...".
std::string UsageLine(const Command& command);
// The command's help: its usage, summary and one line per option.
std::string CommandHelp(const Command& command);

// Prints "octile-cli: DETAIL" and the command's usage on standard error and
// returns kExitRefused.
int UsageError(const Command& command, std::string_view detail);

// Prints a program message (UTF-16, as the core makes it) as one line on
// standard error, in the locale's language, with the system's reason if any.
void PrintMessage(std::u16string_view text, std::string_view reason = {});
// The same for string table entry id with "%1" replaced by arg.
void PrintProgramMessage(uint32_t id, std::string_view arg = {}, std::string_view reason = {});

// A hexadecimal number as typed for an offset or count: an optional "0x" or
// "0X", then 1 to 16 digits. what names the argument in the message (such as
// "--start"). On anything else prints message 10007 and returns false.
bool ParseHexArgument(std::string_view what, std::string_view text, uint64_t& value);
// Hexadecimal text the core parses (edit positions, counts, values, export
// ranges) without its "0x" or "0X". "0x" alone is refused with message 10007
// (nullopt); other text goes on unchanged, for the core's own checks.
std::optional<std::u16string> HexText(std::string_view what, std::string_view text);

// "sjis", "unicode", "jis", "euc" or "utf8" to the character code.
bool ParseCharCode(std::string_view text, int32_t& code);

// An offset as the tool prints it: hexadecimal, as wide as the window's
// address column for a file of fileLength bytes.
std::string FormatOffset(uint64_t fileLength, uint64_t value);

// The edit journal's folder and limits from the user's settings file; every
// subcommand that opens a document gives it these before the open.
JournalOptions UserJournalOptions();

// Writes all of text, retrying short writes; false on an error (errno set).
inline bool WriteAll(int fd, std::string_view text) {
    errno = 0;
    return WriteSequential(fd, reinterpret_cast<const uint8_t*>(text.data()), text.size()) ==
           text.size();
}

// Writes text to standard output; on an error prints the write error with
// the system's reason and returns false.
bool WriteStdout(std::string_view text);

}  // namespace octile::cli
