#include "settings/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace octile {

namespace {

constexpr size_t npos = static_cast<size_t>(-1);

std::string_view Trim(std::string_view s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

// Cuts a UTF-8 value after max characters without splitting a sequence.
std::string_view CutChars(std::string_view s, size_t max) {
    size_t chars = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (chars == max) return s.substr(0, i);
            ++chars;
        }
    }
    return s;
}

std::string ValueOf(std::string_view line) {
    const size_t eq = line.find('=');
    std::string_view v = Trim(line.substr(eq + 1));
    // A value in matching quotes loses them.
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return std::string(CutChars(v, IniFile::kMaxValueChars));
}

bool ReadRegularFile(const std::string& path, std::string& out) {
    if (path.empty()) return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        char buf[65536];
        while (out.size() < IniFile::kMaxFileBytes) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0) {
                ok = false;
                break;
            }
            if (n == 0) break;
            out.append(buf, static_cast<size_t>(n));
        }
        if (out.size() > IniFile::kMaxFileBytes) out.resize(IniFile::kMaxFileBytes);
    }
    ::close(fd);
    return ok;
}

}  // namespace

std::string IniFile::Fold(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

IniFile IniFile::Load(const std::string& path) {
    std::string text;
    if (!ReadRegularFile(path, text)) text.clear();
    return FromText(text);
}

IniFile IniFile::FromText(std::string_view text) {
    IniFile f;
    f.Parse(text);
    return f;
}

void IniFile::Parse(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        bom_ = true;
        text.remove_prefix(3);
    }
    crlf_ = text.find("\r\n") != std::string_view::npos;
    finalNewline_ = text.empty() || text.back() == '\n';
    size_t section = npos;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string_view raw = text.substr(pos, nl == std::string_view::npos ? npos : nl - pos);
        pos = nl == std::string_view::npos ? text.size() : nl + 1;
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        Line line;
        line.text = std::string(raw);
        const std::string_view t = Trim(raw);
        if (!t.empty() && t.front() == '[') {
            const size_t close = t.find(']');
            line.kind = Line::Section;
            line.name = Fold(Trim(t.substr(1, close == std::string_view::npos ? npos : close - 1)));
            section = lines_.size();
        } else if (!t.empty() && t.front() != ';' && t.find('=') != std::string_view::npos) {
            line.kind = Line::Key;
            line.name = Fold(Trim(t.substr(0, t.find('='))));
        }
        line.section = section;
        lines_.push_back(std::move(line));
    }
    indexed_ = false;
}

void IniFile::Reindex() const {
    if (indexed_) return;
    sectionIndex_.clear();
    keyIndex_.clear();
    sectionEnd_.clear();
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& l = lines_[i];
        if (l.kind == Line::Section) {
            if (sectionIndex_.emplace(l.name, i).second) sectionEnd_[l.name] = i;
        } else if (l.section != npos) {
            const std::string& sec = lines_[l.section].name;
            // Only the first section of a name counts, as lookups stop there.
            if (sectionIndex_.at(sec) != l.section) continue;
            if (l.kind == Line::Key) {
                keyIndex_.emplace(sec + '\0' + l.name, i);
                sectionEnd_[sec] = i;
            }
        }
    }
    indexed_ = true;
}

std::optional<std::string> IniFile::Find(std::string_view section, std::string_view key) const {
    Reindex();
    auto it = keyIndex_.find(Fold(Trim(section)) + '\0' + Fold(Trim(key)));
    if (it == keyIndex_.end()) return std::nullopt;
    return ValueOf(lines_[it->second].text);
}

std::string IniFile::Get(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const {
    auto v = Find(section, key);
    return v ? *v : std::string(CutChars(defaultValue, kMaxValueChars));
}

bool IniFile::HasSection(std::string_view section) const {
    Reindex();
    return sectionIndex_.count(Fold(Trim(section))) != 0;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    Reindex();
    const std::string sec = Fold(Trim(section));
    const std::string k = Fold(Trim(key));
    const std::string text = std::string(Trim(key)) + "=" + std::string(value);
    auto it = keyIndex_.find(sec + '\0' + k);
    if (it != keyIndex_.end()) {
        lines_[it->second].text = text;
        return;
    }
    Line line{text, Line::Key, k, npos};
    auto end = sectionEnd_.find(sec);
    if (end != sectionEnd_.end()) {
        line.section = sectionIndex_.at(sec);
        const size_t at = end->second + 1;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
        // Lines after the insertion moved by one.
        for (size_t i = at + 1; i < lines_.size(); ++i) {
            if (lines_[i].section != npos && lines_[i].section >= at) ++lines_[i].section;
        }
        indexed_ = false;
        return;
    }
    if (!lines_.empty() && !finalNewline_) finalNewline_ = true;
    Line head{"[" + std::string(Trim(section)) + "]", Line::Section, sec, lines_.size()};
    line.section = lines_.size();
    lines_.push_back(std::move(head));
    lines_.push_back(std::move(line));
    finalNewline_ = true;
    indexed_ = false;
}

std::string IniFile::Text() const {
    std::string out;
    if (bom_) out = "\xEF\xBB\xBF";
    const char* eol = crlf_ ? "\r\n" : "\n";
    for (size_t i = 0; i < lines_.size(); ++i) {
        out += lines_[i].text;
        if (i + 1 < lines_.size() || finalNewline_) out += eol;
    }
    return out;
}

bool IniFile::Save(const std::string& path) const {
    const std::string text = Text();
    const std::string tmp = path + ".tmp" + std::to_string(::getpid());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    bool ok = true;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& path) {
    return IniFile::Load(path).Get(section, key, defaultValue);
}

}  // namespace octile
