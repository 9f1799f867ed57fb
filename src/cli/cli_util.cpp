#include "cli/cli_util.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "charcode/charcode.h"
#include "dump/dump_format.h"
#include "resources/resources.h"
#include "settings/paths.h"
#include "settings/profile_store.h"
#include "util/utf.h"

namespace octile::cli {

bool Options::Parse(const Command& command, const Args& args, size_t minPositional,
                    size_t maxPositional) {
    const auto fail = [&](const std::string& detail) {
        UsageError(command, detail);
        return false;
    };
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg.substr(0, 2) != "--") {
            positional_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string_view name = arg.substr(2);
        std::optional<std::string_view> inlineValue;
        if (const size_t eq = name.find('='); eq != std::string_view::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        const auto rule = std::find_if(command.options.begin(), command.options.end(),
                                       [&](const OptionRule& r) { return r.name == name; });
        const std::string option = "--" + std::string(name);
        if (rule == command.options.end()) return fail(Say(Text::kUnknownOption, option));
        if (!rule->TakesValue()) {
            if (inlineValue) return fail(Say(Text::kTakesNoValue, option));
            values_.emplace_back(rule->name, std::string_view());
        } else if (inlineValue) {
            values_.emplace_back(rule->name, *inlineValue);
        } else if (i + 1 < args.size()) {
            values_.emplace_back(rule->name, args[++i]);
        } else {
            return fail(Say(Text::kNeedsValue, option));
        }
    }
    if (positional_.size() < minPositional) return fail(Say(Text::kMissingArgument));
    if (positional_.size() > maxPositional) return fail(Say(Text::kTooManyArguments));
    return true;
}

std::optional<std::string_view> Options::Value(std::string_view name) const {
    for (auto it = values_.rbegin(); it != values_.rend(); ++it) {
        if (it->first == name) return it->second;
    }
    return std::nullopt;
}

bool Options::Has(std::string_view name) const { return Value(name).has_value(); }

namespace {

// "--name VALUE" or "--name".
std::string OptionSyntax(const OptionRule& rule) {
    std::string text = "--" + std::string(rule.name);
    if (rule.TakesValue()) text += " " + std::string(rule.value);
    return text;
}

}  // namespace

std::string UsageLine(const Command& command) {
    std::string line =
        "octile-cli " + std::string(command.name) + " " + std::string(command.arguments);
    for (const OptionRule& rule : command.options) line += " [" + OptionSyntax(rule) + "]";
    return line;
}

std::string CommandHelp(const Command& command) {
    constexpr OptionRule kHelp = {"help", "", "show this help"};
    size_t width = OptionSyntax(kHelp).size();
    for (const OptionRule& rule : command.options) {
        width = std::max(width, OptionSyntax(rule).size());
    }
    std::string text =
        "usage: " + UsageLine(command) + "\n" + std::string(command.summary) + "\n\noptions:\n";
    const auto add = [&](const OptionRule& rule) {
        const std::string syntax = OptionSyntax(rule);
        text += "  " + syntax + std::string(width - syntax.size() + 2, ' ') +
                std::string(rule.help) + "\n";
    };
    for (const OptionRule& rule : command.options) add(rule);
    add(kHelp);
    return text;
}

int UsageError(const Command& command, std::string_view detail) {
    PrintLine(detail);
    const std::string usage = "usage: " + UsageLine(command) + "\n";
    std::fwrite(usage.data(), 1, usage.size(), stderr);
    return kExitRefused;
}

void PrintMessage(std::u16string_view text, std::string_view reason) {
    PrintLine(LocalizeProgramText(text), reason);
}

void PrintProgramMessage(uint32_t id, std::string_view arg, std::string_view reason) {
    PrintLine(ProgramText(id, arg), reason);
}

bool ParseHexArgument(std::string_view what, std::string_view text, uint64_t& value) {
    const std::optional<std::u16string> digits = HexText(what, text);
    if (!digits) return false;
    if (!digits->empty() && ParseHexStrict(*digits, value)) return true;
    PrintProgramMessage(IDS_RANGE_HEX, {}, std::string(what) + " " + std::string(text));
    return false;
}

std::optional<std::u16string> HexText(std::string_view what, std::string_view text) {
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        if (text.size() == 2) {
            PrintProgramMessage(IDS_RANGE_HEX, {}, std::string(what) + " " + std::string(text));
            return std::nullopt;
        }
        text.remove_prefix(2);
    }
    return Utf8ToUtf16(text);
}

bool ParseCharCode(std::string_view text, int32_t& code) {
    static constexpr std::pair<std::string_view, int32_t> kNames[] = {{"sjis", CODE_SJIS},
                                                                      {"unicode", CODE_UNICODE},
                                                                      {"jis", CODE_JIS},
                                                                      {"euc", CODE_EUC},
                                                                      {"utf8", CODE_UTF8}};
    for (const auto& [name, value] : kNames) {
        if (text == name) {
            code = value;
            return true;
        }
    }
    return false;
}

std::string FormatOffset(uint64_t fileLength, uint64_t value) {
    DumpSettings settings;
    settings.extraDigits = ExtraDigitsForLength(fileLength);
    return Utf16ToUtf8(FormatAddress(settings, value));
}

JournalOptions UserJournalOptions() {
    IniProfileStore store(GetProfileStorePath());
    return ReadJournalOptions(&store);
}

bool WriteStdout(std::string_view text) {
    if (WriteAll(STDOUT_FILENO, text)) return true;
    const int err = errno;
    PrintProgramMessage(IDS_WRITE_ERROR, "/dev/stdout", err != 0 ? SystemReason(err) : "");
    return false;
}

}  // namespace octile::cli
