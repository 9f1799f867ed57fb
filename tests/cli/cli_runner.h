#pragma once
// Runs octile-cli as a child process with its output captured, in a locale of
// the test's choosing and with the test's bytes on its standard input.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/temp_dir.h"
#include "util/utf.h"

extern char** environ;

namespace octile::test {

struct CliResult {
    int status = -1;  // the exit code; -1 when it did not exit normally
    std::string out;
    std::string err;
};

// What the child gets besides its arguments.
struct CliEnv {
    // The locale variables; every other one of LC_ALL, LC_MESSAGES, LANG and
    // LANGUAGE is removed. Japanese unless a test asks otherwise, so that the
    // program's messages are the string table's.
    std::vector<std::string> locale = {"LANG=ja_JP.UTF-8"};
    // Written to standard input through a pipe; without, standard input is
    // /dev/null.
    std::optional<std::string> input;
};

// The environment of this process with the locale variables replaced.
inline std::vector<std::string> ChildEnvironment(const CliEnv& env) {
    std::vector<std::string> vars;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string var = *e;
        const std::string name = var.substr(0, var.find('='));
        if (name != "LC_ALL" && name != "LC_MESSAGES" && name != "LANG" && name != "LANGUAGE") {
            vars.push_back(var);
        }
    }
    vars.insert(vars.end(), env.locale.begin(), env.locale.end());
    return vars;
}

// Starts program (found on PATH when it has no "/") with argv; standard
// output and error go to the files cli-stdout and cli-stderr in scratch (an
// existing folder). *stdinWriter receives the pipe's writing end when
// env.input is set. Returns the process id, or -1 when it could not be
// started.
inline pid_t SpawnProgram(const std::vector<std::string>& argv0,
                          const std::filesystem::path& scratch, const CliEnv& env,
                          int* stdinWriter) {
    const std::string out = (scratch / "cli-stdout").string();
    const std::string err = (scratch / "cli-stderr").string();
    int pipeFds[2] = {-1, -1};
    if (env.input && ::pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (env.input) {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[0], 0);
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // The test ignores SIGPIPE (a child may stop reading early); the child
    // gets the default back.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    std::vector<std::string> args = argv0;
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> vars = ChildEnvironment(env);
    std::vector<char*> envp;
    for (auto& v : vars) envp.push_back(v.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    const int rc =
        posix_spawnp(&pid, args[0].c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (env.input) {
        ::close(pipeFds[0]);
        *stdinWriter = pipeFds[1];
    }
    return rc == 0 ? pid : -1;
}

// Starts octile-cli with args (see SpawnProgram); standard input is /dev/null.
inline pid_t SpawnCli(const std::vector<std::string>& args, const std::filesystem::path& scratch) {
    std::vector<std::string> argv = {OCTILE_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    return SpawnProgram(argv, scratch, CliEnv{}, nullptr);
}

// Waits for a process SpawnCli started; the raw wait status in *waitStatus.
inline CliResult WaitCli(pid_t pid, const std::filesystem::path& scratch,
                         int* waitStatus = nullptr) {
    CliResult r;
    if (pid < 0) return r;
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (waitStatus) *waitStatus = status;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadAll((scratch / "cli-stdout").string());
    r.err = ReadAll((scratch / "cli-stderr").string());
    return r;
}

// Runs program with argv to its end, its input from env and its output
// captured through files in scratch.
inline CliResult RunProgram(const std::vector<std::string>& argv,
                            const std::filesystem::path& scratch, const CliEnv& env) {
    ::signal(SIGPIPE, SIG_IGN);
    int writer = -1;
    const pid_t pid = SpawnProgram(argv, scratch, env, &writer);
    if (writer >= 0) {
        // Short of a reader (a refusal before reading), the rest is dropped.
        const std::string& input = *env.input;
        for (size_t done = 0; pid >= 0 && done < input.size();) {
            const ssize_t n = ::write(writer, input.data() + done, input.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        ::close(writer);
    }
    return WaitCli(pid, scratch);
}

// A message line as the tool prints it in a Japanese locale: "octile-cli: ",
// the program's text, and the system's reason in brackets when there is one.
inline std::string ToolLine(std::u16string_view text, const std::string& reason = "") {
    return "octile-cli: " + Utf16ToUtf8(text) + (reason.empty() ? "" : "（" + reason + "）") + "\n";
}

// Runs octile-cli with args to its end.
inline CliResult RunCli(const std::vector<std::string>& args, const std::filesystem::path& scratch,
                        const CliEnv& env = {}) {
    std::vector<std::string> argv = {OCTILE_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, scratch, env);
}

}  // namespace octile::test
