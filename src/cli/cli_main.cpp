// octile-cli: the editor's file operations for scripts, one subcommand each.
#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

#include "cli/cli_command.h"
#include "cli/cli_messages.h"
#include "cli/cli_util.h"

#ifndef OCTILE_VERSION
#error "the build defines OCTILE_VERSION, the project's version"
#endif

namespace octile::cli {

std::span<const Command* const> Commands() {
    static constexpr const Command* kCommands[] = {
        &kDumpCommand, &kHexListCommand, &kSaveCommand,    &kInsertCommand,  &kDeleteCommand,
        &kFillCommand, &kUndoCommand,    &kRedoCommand,    &kHistoryCommand, &kRecoverCommand,
        &kFindCommand, &kReplaceCommand, &kPictureCommand, &kCompareCommand,
    };
    return kCommands;
}

namespace {

constexpr std::string_view kUsage =
    "usage: octile-cli COMMAND ARGUMENTS [OPTIONS]\n"
    "       octile-cli COMMAND --help | --help | --version\n";

std::string Help() {
    std::string text = std::string(kUsage) + "\ncommands:\n";
    size_t width = 0;
    for (const Command* c : Commands()) {
        width = std::max(width, c->name.size() + 1 + c->arguments.size());
    }
    for (const Command* c : Commands()) {
        const std::string head = std::string(c->name) + " " + std::string(c->arguments);
        text += "  " + head + std::string(width - head.size() + 2, ' ') + std::string(c->summary) +
                "\n";
    }
    text +=
        "\noptions:\n"
        "  --help, -h  show this help; COMMAND --help shows the command's options\n"
        "  --version   print the version\n"
        "\n"
        "A FILE of - is standard input; dump, hexlist, find and compare also read\n"
        "pipes and devices. Offsets, counts and byte values are hexadecimal, with or\n"
        "without 0x; the COUNT of undo and redo is a decimal number of steps.\n"
        "Options may stand anywhere. Exit status: 0 done, 1 nothing found (no match,\n"
        "no picture, an empty history), "
        "2 refused or failed.\n";
    return text;
}

bool IsHelp(std::string_view arg) { return arg == "--help" || arg == "-h"; }

// The rule of an option by its name in any command ("--name" or
// "--name=VALUE"), or null.
const OptionRule* AnyOption(std::string_view arg) {
    const std::string_view name = arg.substr(2, arg.find('=') - 2);
    for (const Command* c : Commands()) {
        for (const OptionRule& rule : c->options) {
            if (rule.name == name) return &rule;
        }
    }
    return nullptr;
}

}  // namespace

}  // namespace octile::cli

int main(int argc, char** argv) {
    using namespace octile::cli;
    const Args all(argv + 1, argv + argc);
    // Options may stand before the command's name: they are the command's.
    Args leading;
    size_t i = 0;
    for (; i < all.size(); ++i) {
        const std::string_view arg = all[i];
        if (IsHelp(arg)) {
            std::fputs(Help().c_str(), stdout);
            return kExitOk;
        }
        if (arg == "--version") {
            std::fputs("octile-cli " OCTILE_VERSION "\n", stdout);
            return kExitOk;
        }
        if (arg.size() < 3 || !arg.starts_with("--")) break;
        const OptionRule* rule = AnyOption(arg);
        if (rule == nullptr) {
            PrintLine(Say(Text::kUnknownOption, arg.substr(0, arg.find('='))));
            std::fputs(kUsage.data(), stderr);
            return kExitRefused;
        }
        leading.push_back(arg);
        if (rule->TakesValue() && arg.find('=') == std::string_view::npos && i + 1 < all.size()) {
            leading.push_back(all[++i]);
        }
    }
    if (i == all.size()) {
        std::fputs(kUsage.data(), stderr);
        return kExitRefused;
    }
    const std::string_view name = all[i];
    if (name == "help") {
        std::fputs(Help().c_str(), stdout);
        return kExitOk;
    }
    for (const Command* c : Commands()) {
        if (c->name != name) continue;
        Args args(all.begin() + static_cast<ptrdiff_t>(i) + 1, all.end());
        for (const std::string_view arg : args) {
            if (arg == "--") break;
            if (IsHelp(arg)) {
                std::fputs(CommandHelp(*c).c_str(), stdout);
                return kExitOk;
            }
        }
        args.insert(args.begin(), leading.begin(), leading.end());
        return c->run(args);
    }
    PrintLine(Say(Text::kUnknownCommand, name));
    std::fputs(kUsage.data(), stderr);
    return kExitRefused;
}
