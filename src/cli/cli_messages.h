#pragma once
// The messages of octile-cli on standard error: each one line, beginning
// "octile-cli: ", in Japanese when the locale's messages are Japanese (the
// first non-empty of LC_ALL, LC_MESSAGES and LANG begins with "ja") and in
// English otherwise. The program's own messages (the string table, which the
// window shows in Japanese whatever the locale) are printed as they are in a
// Japanese locale and from the English table of cli_program_texts.h in any
// other. Control characters and bidirectional overrides never reach the
// terminal: a file name that holds them is printed with escapes.
#include <cstdint>
#include <string>
#include <string_view>

namespace octile::cli {

// Whether the locale's messages are Japanese (read once).
bool JapaneseMessages();

// The tool's own texts, each in both languages; "%1" and "%2" stand for
// arguments.
enum class Text {
    kUnknownCommand,
    kUnknownOption,
    kTakesNoValue,
    kNeedsValue,
    kMissingArgument,
    kTooManyArguments,
    kUnknownCode,
    kCaretOffPage,
    kEmptySearchText,
    kEmptyReplacement,
    kPatternTooLong,
    kPatternLengthsDiffer,
    kBadHexPattern,
    kNotForStream,
    kNotWithAll,
    kNoSignature,
    kNotDecoded,
    kPictureOverLimit,
    kRunWithNoUndo,
    kNoJournal,
    kBadStepCount,
    kCannotReadOld,
    kCannotReadNew,
    kNotRegularFile,  // a reason, like the system's
};

// The text in the locale's language with "%1" replaced by arg, "%2" by arg2.
std::string Say(Text text, std::string_view arg = {}, std::string_view arg2 = {});

// A message of the program (a string table text with its "%1" filled in, as
// the core makes it) in the locale's language: the text itself in a
// Japanese locale, else its English text with the same "%1". A text of no
// string table entry the table knows stays as it is.
std::string LocalizeProgramText(std::u16string_view text);
// The string table entry id with "%1" replaced by arg, in the locale's language.
std::string ProgramText(uint32_t id, std::string_view arg = {});

// The system's reason for errno err, as strerror gives it in the locale's
// language ("is a directory", "permission denied" ...).
std::string SystemReason(int err);

// The text with every control character (C0, DEL, C1), bidirectional
// override or isolate (U+202A to U+202E, U+2066 to U+2069) and byte that is
// not UTF-8 written as an escape: \x1b, \u202e, \xff.
std::string EscapeControls(std::string_view text);

// Prints "octile-cli: TEXT" on standard error, with ": REASON" (in Japanese
// "（REASON）") when a reason is given, escaped.
void PrintLine(std::string_view text, std::string_view reason = {});

}  // namespace octile::cli
