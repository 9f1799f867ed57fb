#include "settings/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "io/file_handle.h"

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

// Reads a regular file, at most kMaxFileBytes of it. False when it cannot
// be opened or is no regular file; *whole is false when it exists but was not
// read to its end (an error, a read cut short, or the size limit). A file
// that does not exist is whole: there is nothing in it to lose.
bool ReadRegularFile(const std::string& path, std::string& out, bool& whole) {
    whole = true;
    if (path.empty()) return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        whole = errno == ENOENT || errno == ENOTDIR;
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        uint8_t buf[65536];
        while (out.size() < IniFile::kMaxFileBytes) {
            const int64_t n = ReadSome(fd, buf, sizeof buf);
            if (n < 0) {
                ok = false;
                break;
            }
            if (n == 0) break;
            out.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(n));
        }
        if (out.size() > IniFile::kMaxFileBytes) out.resize(IniFile::kMaxFileBytes);
        // Fewer bytes than the file holds: a failing disk, or a file larger
        // than any settings file the program writes.
        if (ok && out.size() < static_cast<uint64_t>(st.st_size)) whole = false;
    }
    if (!ok) whole = false;
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

std::string IniFile::FoldSection(std::string_view s) const {
    return caseSensitiveSections_ ? std::string(s) : Fold(s);
}

IniFile IniFile::Load(const std::string& path, bool caseSensitiveSections, bool* whole) {
    std::string text;
    bool readWhole = true;
    if (!ReadRegularFile(path, text, readWhole)) text.clear();
    if (whole != nullptr) *whole = readWhole;
    return FromText(text, caseSensitiveSections);
}

IniFile IniFile::FromText(std::string_view text, bool caseSensitiveSections) {
    IniFile f;
    f.caseSensitiveSections_ = caseSensitiveSections;
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
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t nl = text.find('\n', pos);
        std::string_view raw = text.substr(pos, nl == std::string_view::npos ? npos : nl - pos);
        pos = nl == std::string_view::npos ? text.size() : nl + 1;
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        const std::string_view t = Trim(raw);
        if (!t.empty() && t.front() == '[') {
            const size_t close = t.find(']');
            Block b;
            b.header = std::string(raw);
            b.hasHeader = true;
            b.name =
                FoldSection(Trim(t.substr(1, close == std::string_view::npos ? npos : close - 1)));
            sections_.emplace(b.name, blocks_.size());
            blocks_.push_back(std::move(b));
            continue;
        }
        Block& b = blocks_.back();
        Line line{std::string(raw), false};
        if (!t.empty() && t.front() != ';' && t.find('=') != std::string_view::npos) {
            line.isKey = true;
            b.keys.emplace(Fold(Trim(t.substr(0, t.find('=')))), b.lines.size());
            b.afterLastKey = b.lines.size() + 1;
        }
        b.lines.push_back(std::move(line));
    }
}

const IniFile::Block* IniFile::FindBlock(std::string_view section) const {
    auto it = sections_.find(FoldSection(Trim(section)));
    return it == sections_.end() ? nullptr : &blocks_[it->second];
}

IniFile::Block* IniFile::FindBlock(std::string_view section) {
    auto it = sections_.find(FoldSection(Trim(section)));
    return it == sections_.end() ? nullptr : &blocks_[it->second];
}

std::optional<std::string> IniFile::Find(std::string_view section, std::string_view key) const {
    const Block* b = FindBlock(section);
    if (b == nullptr) return std::nullopt;
    auto it = b->keys.find(Fold(Trim(key)));
    if (it == b->keys.end()) return std::nullopt;
    return ValueOf(b->lines[it->second].text);
}

std::string IniFile::Get(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const {
    auto v = Find(section, key);
    return v ? *v : std::string(CutChars(defaultValue, kMaxValueChars));
}

bool IniFile::HasSection(std::string_view section) const { return FindBlock(section) != nullptr; }

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    const std::string k = Fold(Trim(key));
    const std::string text = std::string(Trim(key)) + "=" + std::string(value);
    Block* b = FindBlock(section);
    if (b == nullptr) {
        Block fresh;
        fresh.header = "[" + std::string(Trim(section)) + "]";
        fresh.hasHeader = true;
        fresh.name = FoldSection(Trim(section));
        sections_.emplace(fresh.name, blocks_.size());
        blocks_.push_back(std::move(fresh));
        b = &blocks_.back();
        finalNewline_ = true;
    }
    auto it = b->keys.find(k);
    if (it != b->keys.end()) {
        b->lines[it->second].text = text;
        return;
    }
    // New keys go after the section's last key, before trailing blank lines
    // and comments; only non-key lines move.
    const size_t at = b->afterLastKey;
    b->lines.insert(b->lines.begin() + static_cast<std::ptrdiff_t>(at), Line{text, true});
    b->keys.emplace(k, at);
    b->afterLastKey = at + 1;
}

std::string IniFile::Text() const {
    std::string out;
    if (bom_) out = "\xEF\xBB\xBF";
    const char* eol = crlf_ ? "\r\n" : "\n";
    bool first = true;
    auto put = [&](const std::string& line) {
        if (!first) out += eol;
        out += line;
        first = false;
    };
    for (const Block& b : blocks_) {
        if (b.hasHeader) put(b.header);
        for (const Line& l : b.lines) put(l.text);
    }
    if (!first && finalNewline_) out += eol;
    return out;
}

bool IniFile::Save(const std::string& path) const {
    const std::string text = Text();
    const std::string tmp = path + ".tmp" + std::to_string(::getpid());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = WriteSequential(fd, reinterpret_cast<const uint8_t*>(text.data()), text.size()) ==
              text.size();
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
