#include "io/path.h"

#include <unistd.h>

#include <vector>

namespace octile {

std::string FullPath(const std::string& path) {
    if (path.empty()) return path;
    std::string abs = path;
    if (abs.front() != '/') {
        std::vector<char> cwd(4096);
        if (::getcwd(cwd.data(), cwd.size()) != nullptr) abs = std::string(cwd.data()) + "/" + abs;
    }
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

}  // namespace octile
