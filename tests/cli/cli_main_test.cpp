// octile-cli as a command of the system: --version, the help of the tool and
// of each command, options in any order, "0x" before hexadecimal numbers, and
// the bash completion, which must offer what the help lists.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli_runner.h"

namespace octile {
namespace {

namespace fs = std::filesystem;
using test::CliResult;

// The source tree: this file is tests/cli/ in it.
const fs::path kSourceRoot = fs::path(__FILE__).parent_path().parent_path().parent_path();

// The lines of text that begin with prefix, each cut at its first blank after
// the prefix.
std::vector<std::string> Words(const std::string& text, const std::string& prefix) {
    std::vector<std::string> words;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(prefix, 0) != 0) continue;
        words.push_back(line.substr(prefix.size(), line.find(' ', prefix.size()) - prefix.size()));
    }
    return words;
}

class CliMainTest : public testing::Test {
  protected:
    CliResult Run(const std::vector<std::string>& args) { return test::RunCli(args, dir_.path()); }

    // The command names the help lists, one a line.
    std::vector<std::string> CommandNames() {
        const std::string help = Run({"--help"}).out;
        const std::string commands = help.substr(help.find("commands:\n"));
        return Words(commands.substr(0, commands.find("\n\n")), "  ");
    }

    test::TempDir dir_;
};

TEST_F(CliMainTest, VersionIsTheProjectVersion) {
    std::ifstream cmake(kSourceRoot / "CMakeLists.txt");
    const std::string text((std::istreambuf_iterator<char>(cmake)),
                           std::istreambuf_iterator<char>());
    std::smatch version;
    ASSERT_TRUE(
        std::regex_search(text, version, std::regex(R"(project\(Octile VERSION ([0-9.]+))")));
    const CliResult r = Run({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "octile-cli " + version[1].str() + "\n");
    EXPECT_EQ(r.err, "");
}

// The help has a line for every command; each command's help names it in its
// usage and has a line for every option, wherever --help stands.
TEST_F(CliMainTest, HelpOfTheToolAndOfEachCommand) {
    for (const char* help : {"--help", "-h", "help"}) {
        const CliResult r = Run({help});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("usage: octile-cli COMMAND", 0), 0u);
    }
    const std::vector<std::string> names = CommandNames();
    EXPECT_EQ(names, (std::vector<std::string>{"dump", "hexlist", "save", "insert", "delete",
                                               "fill", "undo", "redo", "history", "recover", "find",
                                               "replace", "picture", "compare"}));
    const std::string file = dir_.Write("f.bin", "abc");
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const CliResult r = Run({name, "--help"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("usage: octile-cli " + name + " ", 0), 0u) << r.out;
        // Each option of the usage line has its line.
        const std::string usage = r.out.substr(0, r.out.find('\n'));
        std::vector<std::string> inUsage;
        const std::regex option(R"(\[(--[a-z-]+))");
        for (auto it = std::sregex_iterator(usage.begin(), usage.end(), option);
             it != std::sregex_iterator(); ++it) {
            inUsage.push_back((*it)[1]);
        }
        inUsage.push_back("--help");
        EXPECT_EQ(Words(r.out, "  "), inUsage);
        // After the arguments too, and before a bad one: nothing is run.
        const CliResult after = Run({name, file, "zz", "--help"});
        EXPECT_EQ(after.status, 0);
        EXPECT_EQ(after.out, r.out);
    }
    EXPECT_EQ(test::ReadAll(file), "abc");
}

// Options stand before, between or after the arguments, and before the
// command's name; "--" ends them.
TEST_F(CliMainTest, OptionsInAnyOrder) {
    const std::string file = dir_.Write("f.bin", std::string(0x40, 'A') + "Octile");
    const std::vector<std::vector<std::string>> orders = {
        {"dump", file, "--upper", "--start", "10", "--code", "euc"},
        {"dump", "--upper", "--start=10", file, "--code=euc"},
        {"dump", "--start", "10", "--upper", "--code", "euc", "--", file},
        {"--upper", "--code", "euc", "dump", "--start", "10", file},
        {"--start=10", "--code=euc", "--upper", "dump", file},
    };
    const CliResult first = Run(orders[0]);
    ASSERT_EQ(first.status, 0);
    EXPECT_NE(first.out.find("\n00000040|4F 63 74 69 6C 65"), std::string::npos) << first.out;
    for (const auto& args : orders) {
        const CliResult r = Run(args);
        EXPECT_EQ(r.status, 0) << testing::PrintToString(args) << r.err;
        EXPECT_EQ(r.out, first.out) << testing::PrintToString(args);
    }
    EXPECT_EQ(Run({"--hex", "find", file, "4F63"}).out, "00000040 00000000\n");
    EXPECT_EQ(Run({"find", file, "4F63", "--hex"}).out, "00000040 00000000\n");
    // An option no command knows, before the command.
    const CliResult bogus = Run({"--bogus", "dump", file});
    EXPECT_EQ(bogus.status, 2);
    EXPECT_EQ(bogus.out, "");
    EXPECT_EQ(bogus.err.rfind("octile-cli: --bogus", 0), 0u) << bogus.err;
}

// Offsets, counts and byte values may carry "0x" or "0X".
TEST_F(CliMainTest, HexadecimalNumbersMayCarryZeroX) {
    const std::string data = "0123456789abcdefghijklmnopqrstuvwxyz";
    struct Case {
        std::vector<std::string> plain, prefixed;
    };
    const std::string f = dir_.File("f.bin");
    const Case cases[] = {
        {{"dump", f, "--start", "10", "--end", "1f"},
         {"dump", f, "--start", "0x10", "--end", "0X1F"}},
        {{"find", f, "a", "--caret", "3"}, {"find", f, "a", "--caret", "0x3"}},
        {{"insert", f, "2", "3"}, {"insert", f, "0x2", "0X3"}},
        {{"delete", f, "1", "10"}, {"delete", f, "0x1", "0x10"}},
        {{"fill", f, "3", "5", "41"}, {"fill", f, "0x3", "0x5", "0x41"}},
        {{"save", f, dir_.File("o.bin"), "--start", "1", "--end", "3"},
         {"save", f, dir_.File("o.bin"), "--start", "0x1", "--end", "0X3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.prefixed));
        dir_.Write("f.bin", data);
        const CliResult plain = Run(c.plain);
        const std::string plainFile = test::ReadAll(f) + test::ReadAll(dir_.File("o.bin"));
        dir_.Write("f.bin", data);
        fs::remove(dir_.File("o.bin"));
        const CliResult prefixed = Run(c.prefixed);
        EXPECT_EQ(prefixed.status, 0) << prefixed.err;
        EXPECT_EQ(prefixed.out, plain.out);
        EXPECT_EQ(test::ReadAll(f) + test::ReadAll(dir_.File("o.bin")), plainFile);
    }
}

// The completion script is valid bash, and offers the commands and each
// command's options exactly as the help lists them, and the codes of --code.
TEST_F(CliMainTest, BashCompletionOffersTheCommandsAndOptions) {
    const std::string script = (kSourceRoot / "resources/octile-cli.bash-completion").string();
    ASSERT_TRUE(fs::exists(script));
    EXPECT_EQ(test::RunProgram({"bash", "-n", script}, dir_.path(), {}).status, 0);
    // Completes the words and prints the candidates, one a line.
    const auto complete = [&](const std::vector<std::string>& words) {
        std::vector<std::string> argv = {
            "bash", "-c",
            "source \"$0\"; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _octile_cli; "
            "printf '%s\\n' \"${COMPREPLY[@]}\"",
            script};
        argv.insert(argv.end(), words.begin(), words.end());
        return Words(test::RunProgram(argv, dir_.path(), {}).out, "");
    };
    const std::vector<std::string> names = CommandNames();
    EXPECT_EQ(complete({"octile-cli", ""}), names);
    EXPECT_EQ(complete({"octile-cli", "--upper", "de"}), (std::vector<std::string>{"delete"}));
    for (const std::string& name : names) {
        std::vector<std::string> options = Words(Run({name, "--help"}).out, "  ");
        EXPECT_EQ(complete({"octile-cli", name, "f.bin", "--"}), options) << name;
    }
    EXPECT_EQ(complete({"octile-cli", "dump", "--code", ""}),
              (std::vector<std::string>{"sjis", "unicode", "jis", "euc", "utf8"}));
}

}  // namespace
}  // namespace octile
