#include "settings/paths.h"

#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace octile {

namespace {

// Paths longer than this from the environment are not trusted.
constexpr size_t kMaxEnvPath = PATH_MAX - 64;

bool UsableAbsolute(const char* value) {
    if (value == nullptr || value[0] != '/') return false;
    const std::string s(value);
    return s.size() <= kMaxEnvPath;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (UsableAbsolute(home)) return home;
    std::vector<char> buf(16384);
    struct passwd pw {};
    struct passwd* result = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result != nullptr &&
        UsableAbsolute(result->pw_dir)) {
        return result->pw_dir;
    }
    return {};
}

std::string WithoutTrailingSlash(std::string s) {
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

}  // namespace

std::string GetProgramFolder() {
    std::vector<char> buf(PATH_MAX + 1);
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return "./";
    std::string exe(buf.data(), static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? "./" : exe.substr(0, slash + 1);
}

std::string XdgBaseFolder(const char* variable, const char* homeRelativeDefault) {
    const char* value = std::getenv(variable);
    if (UsableAbsolute(value)) return WithoutTrailingSlash(value);
    const std::string home = HomeFolder();
    if (home.empty()) return {};
    return WithoutTrailingSlash(home) + "/" + homeRelativeDefault;
}

std::string GetProfileStorePath() {
    const std::string base = XdgBaseFolder("XDG_CONFIG_HOME", ".config");
    if (base.empty()) return {};
    return base + "/Zenkobo/ﾊﾞｲﾅﾘｴﾃﾞｨﾀ.ini";
}

std::string GetPerUserFolder() {
    const std::string base = XdgBaseFolder("XDG_DATA_HOME", ".local/share");
    if (base.empty()) return {};
    return base + "/Octile/";
}

std::string ParentFolder(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool IsExistingFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsExistingFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeFolders(const std::string& folder) {
    if (folder.empty()) return false;
    std::string partial;
    size_t pos = 0;
    while (pos <= folder.size()) {
        size_t slash = folder.find('/', pos);
        if (slash == std::string::npos) slash = folder.size();
        partial = folder.substr(0, slash);
        pos = slash + 1;
        if (partial.empty()) continue;
        if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace octile
