#include "settings/profile_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "settings/paths.h"

namespace octile {

int32_t ParseProfileInt(const std::string& text, int32_t defaultValue) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    uint32_t value = 0;  // wraps like a 32-bit register
    size_t digits = 0;
    for (; i < text.size(); ++i, ++digits) {
        const char c = text[i];
        unsigned d;
        if (c >= '0' && c <= '9') {
            d = static_cast<unsigned>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            d = static_cast<unsigned>(c - 'a' + 10);
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            d = static_cast<unsigned>(c - 'A' + 10);
        } else {
            break;
        }
        value = value * base + d;
    }
    if (digits == 0) return defaultValue;
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

IniProfileStore::IniProfileStore(std::string path) : path_(std::move(path)) {
    if (!path_.empty()) file_ = IniFile::Load(path_, false, &readWhole_);
}

IniProfileStore::~IniProfileStore() { Flush(); }

int32_t IniProfileStore::GetProfileInt(const std::string& section, const std::string& entry,
                                       int32_t defaultValue) {
    auto v = file_.Find(section, entry);
    return v ? ParseProfileInt(*v, defaultValue) : defaultValue;
}

std::string IniProfileStore::GetProfileString(const std::string& section, const std::string& entry,
                                              const std::string& defaultValue) {
    auto v = file_.Find(section, entry);
    return v ? *v : defaultValue;
}

void IniProfileStore::WriteProfileInt(const std::string& section, const std::string& entry,
                                      int32_t value) {
    // A value written as it already stands leaves the file as it is: an
    // unchanged file is not written again.
    if (file_.Set(section, entry, std::to_string(value))) dirty_ = true;
}

void IniProfileStore::WriteProfileString(const std::string& section, const std::string& entry,
                                         const std::string& value) {
    // A value is one line; line breaks cannot be stored and are dropped.
    std::string clean;
    for (char c : value) {
        if (c != '\r' && c != '\n') clean.push_back(c);
    }
    if (file_.Set(section, entry, clean)) dirty_ = true;
}

void IniProfileStore::DeleteProfileTree() {
    file_ = IniFile();
    dirty_ = false;
    readWhole_ = true;  // nothing is left to lose
    if (path_.empty()) return;
    ::unlink(path_.c_str());
    // The maker's folder goes only when nothing else is left in it.
    const std::string folder = ParentFolder(path_);
    if (!folder.empty()) ::rmdir(folder.c_str());
}

void IniProfileStore::Flush() {
    // A store that could not be read whole is not written over: the values
    // not read would be lost.
    if (!dirty_ || path_.empty() || !readWhole_) return;
    const std::string folder = ParentFolder(path_);
    if (!folder.empty()) MakeFolders(folder);
    if (file_.Save(path_)) dirty_ = false;
}

}  // namespace octile
