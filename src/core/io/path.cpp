#include "io/path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace octile {

namespace {

// The working directory, or "" when it cannot be determined (removed,
// unreachable, longer than any buffer offered).
std::string WorkingDirectory() {
    for (size_t size = 4096; size <= (1u << 20); size *= 2) {
        std::vector<char> cwd(size);
        if (::getcwd(cwd.data(), cwd.size()) != nullptr) return std::string(cwd.data());
        if (errno != ERANGE) return std::string();
    }
    return std::string();
}

}  // namespace

std::string AbsolutePath(const std::string& path) {
    if (path.empty() || path.front() == '/') return path;
    const std::string cwd = WorkingDirectory();
    // getcwd names a reachable folder from the root; anything else (Linux
    // prefixes "(unreachable)") is no place to resolve against.
    if (cwd.empty() || cwd.front() != '/') return std::string();
    return cwd == "/" ? "/" + path : cwd + "/" + path;
}

std::string FullPath(const std::string& path) {
    if (path.empty()) return path;
    const std::string abs = AbsolutePath(path);
    if (abs.empty()) return path;  // shown as given: it names no file here
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos <= abs.size()) {
        size_t slash = abs.find('/', pos);
        if (slash == std::string::npos) slash = abs.size();
        const std::string part = abs.substr(pos, slash - pos);
        pos = slash + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (const std::string& p : parts) out += "/" + p;
    return out.empty() ? "/" : out;
}

bool IsSameFile(int fd, const std::string& path) {
    struct stat opened {
    }, named{};
    return fd >= 0 && ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

}  // namespace octile

namespace octile {

std::string ResolvedPath(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    std::string target(4096, '\0');
    const ssize_t n = ::readlink(link, target.data(), target.size());
    if (n <= 0 || static_cast<size_t>(n) >= target.size()) return {};
    target.resize(static_cast<size_t>(n));
    return target;
}

}  // namespace octile
