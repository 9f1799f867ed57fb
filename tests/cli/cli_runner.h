#pragma once
// Runs octile-cli as a child process with its output captured.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/temp_dir.h"

extern char** environ;

namespace octile::test {

struct CliResult {
    int status = -1;  // the exit code; -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Starts octile-cli with args; standard output and error go to the files
// cli-stdout and cli-stderr in scratch (an existing folder). Returns its
// process id, or -1 when it could not be started.
inline pid_t SpawnCli(const std::vector<std::string>& args, const std::filesystem::path& scratch) {
    const std::string out = (scratch / "cli-stdout").string();
    const std::string err = (scratch / "cli-stderr").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> all = {OCTILE_CLI};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, OCTILE_CLI, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
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

// Runs octile-cli with args to its end, its output captured through files in
// scratch.
inline CliResult RunCli(const std::vector<std::string>& args,
                        const std::filesystem::path& scratch) {
    return WaitCli(SpawnCli(args, scratch), scratch);
}

}  // namespace octile::test
