#include "cli/cli_util.h"

#include <algorithm>
#include <cstdio>

#include "charcode/charcode.h"
#include "document/file_error.h"
#include "dump/dump_format.h"
#include "resources/resources.h"
#include "settings/paths.h"
#include "settings/profile_store.h"
#include "util/utf.h"

namespace octile::cli {

bool Options::Parse(const Command& command, const Args& args, std::span<const OptionRule> rules,
                    size_t minPositional, size_t maxPositional) {
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
        const auto rule = std::find_if(rules.begin(), rules.end(),
                                       [&](const OptionRule& s) { return s.name == name; });
        const std::string option = "--" + std::string(name);
        if (rule == rules.end()) return fail("unknown option " + option);
        if (!rule->takesValue) {
            if (inlineValue) return fail(option + " takes no value");
            values_.emplace_back(rule->name, std::string_view());
        } else if (inlineValue) {
            values_.emplace_back(rule->name, *inlineValue);
        } else if (i + 1 < args.size()) {
            values_.emplace_back(rule->name, args[++i]);
        } else {
            return fail(option + " needs a value");
        }
    }
    if (positional_.size() < minPositional) return fail("missing argument");
    if (positional_.size() > maxPositional) return fail("too many arguments");
    return true;
}

std::optional<std::string_view> Options::Value(std::string_view name) const {
    for (auto it = values_.rbegin(); it != values_.rend(); ++it) {
        if (it->first == name) return it->second;
    }
    return std::nullopt;
}

bool Options::Has(std::string_view name) const { return Value(name).has_value(); }

int UsageError(const Command& command, std::string_view detail) {
    std::fprintf(stderr, "octile-cli: %.*s\nusage: octile-cli %.*s %.*s\n",
                 static_cast<int>(detail.size()), detail.data(),
                 static_cast<int>(command.name.size()), command.name.data(),
                 static_cast<int>(command.usage.size()), command.usage.data());
    return kExitRefused;
}

void PrintMessage(std::u16string_view text) {
    const std::string line = Utf16ToUtf8(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

bool ParseHexArgument(std::string_view text, uint64_t& value) {
    if (ParseHexStrict(Utf8ToUtf16(text), value)) return true;
    PrintMessage(LoadString(IDS_RANGE_HEX));
    return false;
}

bool ParseCharCode(std::string_view text, int32_t& code) {
    static constexpr std::pair<std::string_view, int32_t> kNames[] = {
        {"sjis", CODE_SJIS}, {"unicode", CODE_UNICODE}, {"jis", CODE_JIS}, {"euc", CODE_EUC}};
    for (const auto& [name, value] : kNames) {
        if (text == name) {
            code = value;
            return true;
        }
    }
    return false;
}

FileHandle OpenOrReport(const std::string& path, FileHandle::Mode mode) {
    OpenError error = OpenError::None;
    FileHandle file = FileHandle::Open(path, mode, &error);
    if (!file.IsOpen()) PrintMessage(OpenErrorMessage(error, FullPath(path)));
    return file;
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

}  // namespace octile::cli
