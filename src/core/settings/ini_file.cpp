#include "settings/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "io/file_handle.h"

namespace octile {

namespace {

constexpr size_t npos = std::string_view::npos;
constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr size_t kChunk = 64 * 1024;

using Put = std::function<bool(std::string_view)>;

bool Blank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && Blank(s[b])) ++b;
    while (e > b && Blank(s[e - 1])) --e;
    return std::string_view(s.data() + b, e - b);
}

char FoldChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Fold(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = FoldChar(c);
    return out;
}

bool FoldEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldChar(a[i]) != FoldChar(b[i])) return false;
    }
    return true;
}

bool NamesMatch(std::string_view a, std::string_view b, bool caseSensitive) {
    return caseSensitive ? a == b : FoldEqual(a, b);
}

// Cuts a UTF-8 value after max characters without splitting a sequence.
std::string_view CutChars(std::string_view s, size_t max) {
    if (s.size() <= max) return s;  // no more characters than bytes
    size_t chars = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (chars == max) return s.substr(0, i);
            ++chars;
        }
    }
    return s;
}

// A line without its line end: the '\n' and one '\r' before it (a '\r' also
// ends a last line that has no '\n'). *crlf is set when it ended in CR LF.
std::string_view Content(std::string_view line, bool* crlf = nullptr) {
    const bool newline = !line.empty() && line.back() == '\n';
    if (newline) line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
        if (newline && crlf != nullptr) *crlf = true;
    }
    return line;
}

// The line of text that begins at offset, its line end included.
std::string_view LineAt(std::string_view text, size_t offset) {
    const size_t nl = text.find('\n', offset);
    return text.substr(offset, nl == npos ? npos : nl + 1 - offset);
}

bool IsHeader(std::string_view content) {
    size_t i = 0;
    while (i < content.size() && Blank(content[i])) ++i;
    return i < content.size() && content[i] == '[';
}

// The name a section header line gives, trimmed; the whole rest of the line
// when it has no ']'.
std::string_view HeaderName(std::string_view content) {
    const std::string_view t = Trim(content);
    const size_t close = t.find(']');
    return Trim(t.substr(1, close == npos ? npos : close - 1));
}

// Where a key line's '=' is, npos for a line that holds no key: blank, a
// comment, or without '='. (A header is never asked.)
size_t KeyLength(std::string_view content) {
    const std::string_view t = Trim(content);
    if (t.empty() || t.front() == ';') return npos;
    return content.find('=');
}

std::string_view ValueOf(std::string_view content, size_t keyLength) {
    std::string_view v = Trim(content.substr(keyLength + 1));
    // A value in matching quotes loses them.
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return CutChars(v, IniFile::kMaxValueChars);
}

// Calls visit(content, keyLength) for each key line of a section as read
// (its header line skipped) until visit returns true.
template <class Visit>
void ForEachReadKey(std::string_view block, Visit visit) {
    size_t pos = 0;
    bool header = true;
    while (pos < block.size()) {
        const std::string_view line = LineAt(block, pos);
        pos += line.size();
        if (header) {
            header = false;
            continue;
        }
        const std::string_view content = Content(line);
        const size_t keyLength = KeyLength(content);
        if (keyLength != npos && visit(content, keyLength)) return;
    }
}

// Reads a regular file, at most kMaxFileBytes of it. False when it cannot
// be opened or is no regular file; whole is false when it exists but was not
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
        const uint64_t size = static_cast<uint64_t>(st.st_size);
        // Read straight into a string of the file's size: no second copy.
        out.resize(std::min(size, IniFile::kMaxFileBytes));
        size_t got = 0;
        for (;;) {
            if (got < out.size()) {
                const int64_t n =
                    ReadSome(fd, reinterpret_cast<uint8_t*>(out.data()) + got, out.size() - got);
                if (n <= 0) {
                    ok = n == 0;
                    break;
                }
                got += static_cast<size_t>(n);
                continue;
            }
            // At the size the file had: its end, unless it has grown.
            uint8_t more[4096];
            const int64_t n = ReadSome(fd, more, sizeof more);
            if (n <= 0) {
                ok = n == 0;
                break;
            }
            if (got >= IniFile::kMaxFileBytes) {
                whole = false;
                break;
            }
            out.append(reinterpret_cast<const char*>(more), static_cast<size_t>(n));
            got = out.size();
        }
        out.resize(std::min<uint64_t>(got, IniFile::kMaxFileBytes));
        // Fewer bytes than the file holds: a failing disk, or a file larger
        // than any settings file the program writes.
        if (out.size() < size) whole = false;
    }
    if (!ok) whole = false;
    ::close(fd);
    return ok;
}

// Lines front to back from text in memory, or from a file descriptor through
// a buffer that holds the longest line met, with each line's offset. Copy
// then hands on a range of the same bytes.
class LineReader {
  public:
    explicit LineReader(std::string_view text) : text_(text), memory_(true) {}
    // expected: the file's size; reaching the end before it is a failure (a
    // read cut short).
    LineReader(int fd, uint64_t expected) : fd_(fd), expected_(expected) {}

    // The next line, its line end included (the last line may have none),
    // and where it begins. False at the end, or when a read failed.
    bool Next(std::string_view& line, uint64_t& offset) {
        if (memory_) {
            if (pos_ >= text_.size()) return false;
            line = LineAt(text_, pos_);
            offset = pos_;
            pos_ += line.size();
            return true;
        }
        for (;;) {
            const void* nl = scanned_ < end_
                                 ? std::memchr(buf_.data() + scanned_, '\n', end_ - scanned_)
                                 : nullptr;
            if (nl != nullptr) {
                const size_t stop = static_cast<size_t>(static_cast<const char*>(nl) - buf_.data());
                return Take(stop + 1, line, offset);
            }
            scanned_ = end_;
            if (eof_) return begin_ < end_ && Take(end_, line, offset);
            Fill();
            if (failed_) return false;
        }
    }

    bool Failed() const { return failed_; }

    // Puts bytes [from, to) of the text or file.
    bool Copy(uint64_t from, uint64_t to, const Put& put) {
        if (from >= to) return true;
        if (memory_) return put(text_.substr(from, to - from));
        if (::lseek(fd_, static_cast<off_t>(from), SEEK_SET) < 0) return false;
        buf_.resize(std::max(buf_.size(), kChunk));
        while (from < to) {
            const int64_t n = ReadSome(fd_, reinterpret_cast<uint8_t*>(buf_.data()),
                                       std::min<uint64_t>(buf_.size(), to - from));
            // The file shrank since it was read, or cannot be read again.
            if (n <= 0) return false;
            if (!put(std::string_view(buf_.data(), static_cast<size_t>(n)))) return false;
            from += static_cast<uint64_t>(n);
        }
        return true;
    }

  private:
    bool Take(size_t stop, std::string_view& line, uint64_t& offset) {
        line = std::string_view(buf_.data() + begin_, stop - begin_);
        offset = offset_;
        offset_ += line.size();
        begin_ = scanned_ = stop;
        return true;
    }

    void Fill() {
        // Keeps the line begun, at the front; grows only for a line longer
        // than the buffer.
        if (begin_ > 0) {
            std::memmove(buf_.data(), buf_.data() + begin_, end_ - begin_);
            end_ -= begin_;
            scanned_ -= begin_;
            begin_ = 0;
        }
        if (end_ == buf_.size()) buf_.resize(std::max(kChunk, buf_.size() * 2));
        const int64_t n =
            ReadSome(fd_, reinterpret_cast<uint8_t*>(buf_.data()) + end_, buf_.size() - end_);
        if (n < 0) {
            failed_ = true;
        } else if (n == 0) {
            eof_ = true;
            failed_ = offset_ + (end_ - begin_) < expected_;
        } else {
            end_ += static_cast<size_t>(n);
        }
    }

    std::string_view text_;
    bool memory_ = false;
    size_t pos_ = 0;
    int fd_ = -1;
    uint64_t expected_ = 0;
    std::vector<char> buf_;
    size_t begin_ = 0;  // the next line's first byte in buf_
    size_t scanned_ = 0;
    size_t end_ = 0;
    uint64_t offset_ = 0;  // the file offset of buf_[begin_]
    bool eof_ = false;
    bool failed_ = false;
};

// What one pass over a file finds out about one of its sections.
struct SectionScan {
    bool found = false;
    uint64_t begin = 0;  // the section's bytes: its header line to the next header
    uint64_t end = 0;
    std::string text;
    // Later sections of the same name: a removal takes them along.
    std::vector<std::pair<uint64_t, uint64_t>> repeats;
    uint64_t size = 0;        // the bytes read
    bool crlf = false;        // some line ends in CR LF
    bool open = false;        // the last line has no line feed
    bool openReturn = false;  // and ends in a carriage return
};

// Reads lines to the end of the file, or when toEnd is false to the end of
// the section. False when a read failed.
bool ScanSection(LineReader& reader, std::string_view section, bool caseSensitive, bool toEnd,
                 SectionScan& scan) {
    const std::string_view name = Trim(section);
    bool inside = false;
    bool repeat = false;
    std::string_view line;
    uint64_t offset = 0;
    while (reader.Next(line, offset)) {
        if (offset == 0 && line.substr(0, kBom.size()) == kBom) {
            line.remove_prefix(kBom.size());
            offset = kBom.size();
        }
        scan.size = offset + line.size();
        if (line.empty()) continue;
        scan.open = line.back() != '\n';
        scan.openReturn = scan.open && line.back() == '\r';
        bool crlf = false;
        const std::string_view content = Content(line, &crlf);
        scan.crlf = scan.crlf || crlf;
        if (!IsHeader(content)) {
            if (inside) scan.text.append(line);
            continue;
        }
        if (inside) {
            inside = false;
            scan.end = offset;
            if (!toEnd) break;
        }
        if (repeat) {
            repeat = false;
            scan.repeats.back().second = offset;
        }
        if (NamesMatch(HeaderName(content), name, caseSensitive)) {
            if (scan.found) {
                repeat = true;
                scan.repeats.emplace_back(offset, offset);
            } else {
                scan.found = inside = true;
                scan.begin = offset;
                scan.text.append(line);
            }
        }
    }
    if (inside) scan.end = scan.size;
    if (repeat) scan.repeats.back().second = scan.size;
    return !reader.Failed();
}

// Writes to a descriptor through a buffer.
class FdWriter {
  public:
    explicit FdWriter(int fd) : fd_(fd) { buf_.reserve(kChunk); }
    bool Put(std::string_view s) {
        if (buf_.size() + s.size() > kChunk) {
            if (!Flush()) return false;
            if (s.size() >= kChunk) return WriteAll(s);
        }
        buf_.append(s);
        return true;
    }
    bool Flush() {
        const bool ok = WriteAll(buf_);
        buf_.clear();
        return ok;
    }

  private:
    bool WriteAll(std::string_view s) {
        return WriteSequential(fd_, reinterpret_cast<const uint8_t*>(s.data()), s.size()) ==
               s.size();
    }
    int fd_;
    std::string buf_;
};

// The file that path names once symbolic links are followed (it need not
// exist yet); empty when the links loop or cannot be read.
std::string ResolveLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string target(std::max<size_t>(static_cast<size_t>(st.st_size) + 1, 256), '\0');
        for (;;) {
            const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
            if (n < 0) return {};
            if (static_cast<size_t>(n) < target.size()) {
                target.resize(static_cast<size_t>(n));
                break;
            }
            target.resize(target.size() * 2);
        }
        if (target.empty()) return {};
        if (target.front() == '/') {
            path = target;
        } else {
            const size_t slash = path.rfind('/');
            path = (slash == npos ? std::string() : path.substr(0, slash + 1)) + target;
        }
    }
    return {};
}

// Writes what produce puts into a new file beside the file path names (a
// symbolic link followed), gives it that file's permission bits, and renames
// it over that file: a crash or a full disk never leaves a truncated file,
// and a link stays a link. Never written in place, not even where no new file
// can be made beside it: a section rewritten alone is copied from the file
// being replaced.
bool ReplaceFile(const std::string& path, const std::function<bool(const Put&)>& produce) {
    const std::string target = ResolveLinks(path);
    if (target.empty()) return false;
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    const std::string tmp = target + ".tmp" + std::to_string(::getpid());
    ::unlink(tmp.c_str());  // left by a crash of a process of the same number
    const int fd =
        ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exists ? 0600 : 0644);
    if (fd < 0) return false;
    if (exists) {
        // The owner and group the file had where the system allows (the
        // program run by another user), and not the umask's bits but the
        // file's: a private 0600 file stays so. Set-user and set-group ids
        // go, as they go when a file is written into.
        const int owned = ::fchown(fd, st.st_uid, st.st_gid);
        (void)owned;
        (void)::fchmod(fd, st.st_mode & 01777);
    }
    FdWriter writer(fd);
    bool ok = produce([&writer](std::string_view s) { return writer.Put(s); }) && writer.Flush();
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(tmp.c_str(), target.c_str()) != 0) ok = false;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

}  // namespace

// ---------------------------------------------------------------- reading

IniFile IniFile::Load(const std::string& path, bool caseSensitiveSections, bool* whole) {
    std::string text;
    bool readWhole = true;
    if (!ReadRegularFile(path, text, readWhole)) text.clear();
    if (whole != nullptr) *whole = readWhole;
    IniFile f;
    f.caseSensitiveSections_ = caseSensitiveSections;
    f.Parse(std::move(text));
    return f;
}

IniFile IniFile::FromText(std::string_view text, bool caseSensitiveSections) {
    IniFile f;
    f.caseSensitiveSections_ = caseSensitiveSections;
    f.Parse(std::string(text));
    return f;
}

void IniFile::Parse(std::string&& text) {
    text_ = std::move(text);
    bom_ = text_.substr(0, kBom.size()) == kBom ? kBom.size() : 0;
    starts_.clear();
    const std::string_view all(text_);
    size_t pos = bom_;
    while (pos < all.size()) {
        const std::string_view line = LineAt(all, pos);
        bool crlf = false;
        if (IsHeader(Content(line, &crlf))) starts_.push_back(pos);
        crlf_ = crlf_ || crlf;
        pos += line.size();
    }
    starts_.shrink_to_fit();
    count_ = starts_.size() + 1;
    RebuildIndex();
}

std::string_view IniFile::ReadBlock(size_t number) const {
    const size_t begin = number == 0 ? bom_ : starts_[number - 1];
    const size_t end = number < starts_.size() ? starts_[number] : text_.size();
    return std::string_view(text_).substr(begin, end - begin);
}

std::string_view IniFile::NameOf(size_t number) const {
    if (number > starts_.size()) return edited_.at(number).name;
    return HeaderName(Content(LineAt(text_, starts_[number - 1])));
}

bool IniFile::NamesEqual(std::string_view a, std::string_view b) const {
    return NamesMatch(a, b, caseSensitiveSections_);
}

uint64_t IniFile::HashName(std::string_view name) const {
    uint64_t h = 0xCBF29CE484222325ull;  // FNV-1a
    for (char c : name) {
        h ^= static_cast<unsigned char>(caseSensitiveSections_ ? c : FoldChar(c));
        h *= 0x100000001B3ull;
    }
    return (h ^ (h >> 29)) * 0x9E3779B97F4A7C15ull >> 16;
}

void IniFile::RebuildIndex() {
    size_t slots = 16;
    while (slots * 3 < count_ * 4) slots *= 2;  // at most three quarters full
    slots_.assign(slots, 0);
    indexed_ = 0;
    for (size_t n = 1; n < count_; ++n) {
        const auto it = edited_.find(n);
        if (it == edited_.end() || !it->second.removed) IndexSection(n);
    }
}

void IniFile::IndexSection(size_t number) {
    if ((indexed_ + 1) * 4 > slots_.size() * 3) {
        RebuildIndex();  // counts this section too
        return;
    }
    const std::string_view name = NameOf(number);
    const size_t mask = slots_.size() - 1;
    for (size_t s = HashName(name) & mask;; s = (s + 1) & mask) {
        if (slots_[s] == 0) {
            slots_[s] = static_cast<uint32_t>(number + 1);
            ++indexed_;
            return;
        }
        // A repeated name: the first section of it is the one read.
        if (NamesEqual(NameOf(slots_[s] - 1), name)) return;
    }
}

size_t IniFile::FindSection(std::string_view section) const {
    if (slots_.empty()) return 0;
    const std::string_view name = Trim(section);
    const size_t mask = slots_.size() - 1;
    for (size_t s = HashName(name) & mask; slots_[s] != 0; s = (s + 1) & mask) {
        if (NamesEqual(NameOf(slots_[s] - 1), name)) return slots_[s] - 1;
    }
    return 0;
}

std::optional<std::string> IniFile::Find(std::string_view section, std::string_view key) const {
    const size_t n = FindSection(section);
    if (n == 0) return std::nullopt;
    const std::string_view k = Trim(key);
    if (const auto e = edited_.find(n); e != edited_.end()) {
        const auto it = e->second.keys.find(Fold(k));
        if (it == e->second.keys.end()) return std::nullopt;
        const Line& line = e->second.lines[it->second];
        return std::string(ValueOf(line.text, line.keyLength));
    }
    std::optional<std::string> found;
    ForEachReadKey(ReadBlock(n), [&](std::string_view content, size_t keyLength) {
        if (!FoldEqual(Trim(content.substr(0, keyLength)), k)) return false;
        found = std::string(ValueOf(content, keyLength));
        return true;
    });
    return found;
}

std::string IniFile::Get(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const {
    auto v = Find(section, key);
    return v ? *v : std::string(CutChars(defaultValue, kMaxValueChars));
}

bool IniFile::HasSection(std::string_view section) const { return FindSection(section) != 0; }

void IniFile::ForEachKey(
    std::string_view section,
    const std::function<void(std::string_view key, std::string_view value)>& visit) const {
    const size_t n = FindSection(section);
    if (n == 0) return;
    if (const auto e = edited_.find(n); e != edited_.end()) {
        for (const Line& line : e->second.lines) {
            if (line.keyLength == npos) continue;
            visit(Trim(std::string_view(line.text).substr(0, line.keyLength)),
                  ValueOf(line.text, line.keyLength));
        }
        return;
    }
    ForEachReadKey(ReadBlock(n), [&](std::string_view content, size_t keyLength) {
        visit(Trim(content.substr(0, keyLength)), ValueOf(content, keyLength));
        return false;
    });
}

// ---------------------------------------------------------------- changing

IniFile::Edited& IniFile::Edit(size_t number) {
    if (const auto it = edited_.find(number); it != edited_.end()) return it->second;
    Edited e;
    const std::string_view block = ReadBlock(number);
    size_t pos = 0;
    while (pos < block.size()) {
        const std::string_view line = LineAt(block, pos);
        const std::string_view content = Content(line);
        if (pos == 0) {
            e.header = content;
        } else {
            const size_t keyLength = KeyLength(content);
            if (keyLength != npos) {
                e.keys.emplace(Fold(Trim(content.substr(0, keyLength))), e.lines.size());
                e.afterLastKey = e.lines.size() + 1;
            }
            e.lines.push_back({std::string(content), keyLength});
        }
        pos += line.size();
    }
    e.endsWithLineEnd = !block.empty() && block.back() == '\n';
    return edited_.emplace(number, std::move(e)).first->second;
}

bool IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    const std::string_view k = Trim(key);
    std::string text;
    text.reserve(k.size() + 1 + value.size());
    text.append(k).append("=").append(value);
    size_t n = FindSection(section);
    if (n == 0) {
        Edited fresh;
        fresh.name = Trim(section);
        fresh.header = "[" + fresh.name + "]";
        fresh.lines.push_back({std::move(text), k.size()});
        fresh.keys.emplace(Fold(k), 0);
        fresh.afterLastKey = 1;
        n = count_++;
        edited_.emplace(n, std::move(fresh));
        IndexSection(n);
        changed_ = true;
        return true;
    }
    if (!edited_.contains(n)) {
        // A section as read stays so when its line already says this.
        bool same = false;
        ForEachReadKey(ReadBlock(n), [&](std::string_view content, size_t keyLength) {
            if (!FoldEqual(Trim(content.substr(0, keyLength)), k)) return false;
            same = content == text;
            return true;
        });
        if (same) return false;
    }
    Edited& e = Edit(n);
    std::string folded = Fold(k);
    if (const auto it = e.keys.find(folded); it != e.keys.end()) {
        Line& line = e.lines[it->second];
        if (line.text == text && line.keyLength == k.size()) return false;
        line = {std::move(text), k.size()};
        changed_ = true;
        return true;
    }
    // New keys go after the section's last key, before trailing blank lines
    // and comments; only non-key lines move.
    const size_t at = e.afterLastKey;
    e.lines.insert(e.lines.begin() + static_cast<std::ptrdiff_t>(at), {std::move(text), k.size()});
    e.keys.emplace(std::move(folded), at);
    e.afterLastKey = at + 1;
    changed_ = true;
    return true;
}

bool IniFile::RemoveSection(std::string_view section) {
    const size_t first = FindSection(section);
    if (first == 0) return false;
    // Later sections of the name go too: the first of them would take its place.
    const std::string name(NameOf(first));
    for (size_t n = first; n < count_; ++n) {
        const auto it = edited_.find(n);
        if (it != edited_.end() && it->second.removed) continue;
        if (n == first || NamesEqual(NameOf(n), name)) edited_[n].removed = true;
    }
    changed_ = true;
    RebuildIndex();
    return true;
}

// ---------------------------------------------------------------- writing

void IniFile::RenderEdited(const Edited& e, std::string& out) const {
    const std::string_view eol = crlf_ ? "\r\n" : "\n";
    out = e.header;
    for (const Line& line : e.lines) out.append(eol).append(line.text);
    if (e.endsWithLineEnd) {
        out.append(eol);
    } else if (!out.empty() && out.back() == '\r') {
        // The last line's own carriage return, which a reader drops as a
        // line end when the file ends with it.
        out.push_back('\r');
    }
}

bool IniFile::Render(const Put& put) const {
    const std::string_view eol = crlf_ ? "\r\n" : "\n";
    const std::string_view all(text_);
    if (bom_ > 0 && !put(all.substr(0, bom_))) return false;
    bool any = false;         // a line was written (the byte-order mark is none)
    bool lineEnd = false;     // and what was written ends with a line end
    bool lastReturn = false;  // and ends with a carriage return
    auto emit = [&](std::string_view s) {
        if (s.empty()) return true;
        any = true;
        lineEnd = s.back() == '\n';
        lastReturn = s.back() == '\r';
        return put(s);
    };
    std::string section;
    auto emitEdited = [&](const Edited& e) {
        if (e.removed) return true;
        // After a last line that had no line end, a section added begins a
        // line; a carriage return there is the line end's first half.
        if (any && !lineEnd && !emit(lastReturn ? "\n" : eol)) return false;
        RenderEdited(e, section);
        return emit(section);
    };
    // The sections as read go out in runs between those a write changed.
    const size_t read = starts_.size();
    std::vector<size_t> changed;
    for (const auto& [n, e] : edited_) {
        if (n <= read) changed.push_back(n);
    }
    std::sort(changed.begin(), changed.end());
    auto begin = [&](size_t n) { return n == 0 ? bom_ : n <= read ? starts_[n - 1] : all.size(); };
    size_t from = 0;
    for (size_t n : changed) {
        if (!emit(all.substr(begin(from), begin(n) - begin(from)))) return false;
        if (!emitEdited(edited_.at(n))) return false;
        from = n + 1;
    }
    if (!emit(all.substr(begin(from)))) return false;
    for (size_t n = read + 1; n < count_; ++n) {
        if (!emitEdited(edited_.at(n))) return false;
    }
    return true;
}

std::string IniFile::Text() const {
    std::string out;
    out.reserve(text_.size() + 64);
    Render([&out](std::string_view s) {
        out.append(s);
        return true;
    });
    return out;
}

bool IniFile::Save(const std::string& path) const {
    return ReplaceFile(path, [this](const Put& put) { return Render(put); });
}

// ---------------------------------------------------------------- one section

namespace {

// The text edit makes of the section scan found (given as section), or
// nothing when it is the same.
std::optional<std::string> EditScanned(const SectionScan& scan, IniFile section,
                                       const std::function<void(IniFile&)>& edit) {
    edit(section);
    if (!section.Changed()) return std::nullopt;
    std::string text = section.Text();
    if (scan.found ? text == scan.text : text.empty()) return std::nullopt;
    return text;
}

// The file as scan found it, with newText in the place of the section (at
// the end when it had none).
bool Splice(LineReader& reader, const SectionScan& scan, std::string_view newText, const Put& put) {
    if (scan.found && newText.empty()) {
        // Removed, with the later sections of its name that would take its place.
        if (!reader.Copy(0, scan.begin, put)) return false;
        uint64_t from = scan.end;
        for (const auto& [begin, end] : scan.repeats) {
            if (!reader.Copy(from, begin, put)) return false;
            from = end;
        }
        return reader.Copy(from, scan.size, put);
    }
    if (scan.found) {
        return reader.Copy(0, scan.begin, put) && put(newText) &&
               reader.Copy(scan.end, scan.size, put);
    }
    if (!reader.Copy(0, scan.size, put)) return false;
    if (newText.empty()) return true;
    // A last line without line end gets one; a carriage return there is its
    // first half.
    if (scan.open && !put(scan.openReturn ? "\n" : scan.crlf ? "\r\n" : "\n")) return false;
    return put(newText);
}

}  // namespace

IniFile IniFile::SectionFile(std::string text, bool caseSensitiveSections, bool crlf) {
    IniFile f;
    f.caseSensitiveSections_ = caseSensitiveSections;
    f.Parse(std::move(text));
    f.crlf_ = crlf;  // a section added or changed gets the file's line ends
    return f;
}

IniFile IniFile::SectionOfText(std::string_view text, std::string_view section,
                               bool caseSensitiveSections) {
    LineReader reader(text);
    SectionScan scan;
    ScanSection(reader, section, caseSensitiveSections, false, scan);
    return SectionFile(std::move(scan.text), caseSensitiveSections, scan.crlf);
}

IniFile IniFile::LoadSection(const std::string& path, std::string_view section,
                             bool caseSensitiveSections, bool* whole) {
    IniFile f;
    f.caseSensitiveSections_ = caseSensitiveSections;
    bool readWhole = true;
    const int fd =
        path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        readWhole = path.empty() || errno == ENOENT || errno == ENOTDIR;
    } else {
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            LineReader reader(fd, static_cast<uint64_t>(st.st_size));
            SectionScan scan;
            readWhole = ScanSection(reader, section, caseSensitiveSections, false, scan);
            f.Parse(std::move(scan.text));
        } else {
            readWhole = false;
        }
        ::close(fd);
    }
    if (whole != nullptr) *whole = readWhole;
    return f;
}

IniFile::EditResult IniFile::EditSection(const std::string& path, std::string_view section,
                                         bool caseSensitiveSections,
                                         const std::function<void(IniFile&)>& edit) {
    if (path.empty()) return EditResult::kFailed;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    // A file not there yet reads as empty; one that cannot be read is not
    // written over.
    if (fd < 0 && errno != ENOENT && errno != ENOTDIR) return EditResult::kFailed;
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        return EditResult::kFailed;
    }
    LineReader reader = fd >= 0 ? LineReader(fd, static_cast<uint64_t>(st.st_size))
                                : LineReader(std::string_view());
    SectionScan scan;
    EditResult result = EditResult::kFailed;
    if (ScanSection(reader, section, caseSensitiveSections, true, scan)) {
        const std::optional<std::string> text =
            EditScanned(scan, SectionFile(scan.text, caseSensitiveSections, scan.crlf), edit);
        if (!text) {
            result = EditResult::kUnchanged;
        } else if (ReplaceFile(path,
                               [&](const Put& put) { return Splice(reader, scan, *text, put); })) {
            result = EditResult::kWritten;
        }
    }
    if (fd >= 0) ::close(fd);
    return result;
}

std::optional<std::string> IniFile::EditSectionOfText(std::string_view text,
                                                      std::string_view section,
                                                      bool caseSensitiveSections,
                                                      const std::function<void(IniFile&)>& edit) {
    LineReader reader(text);
    SectionScan scan;
    ScanSection(reader, section, caseSensitiveSections, true, scan);
    const std::optional<std::string> newText =
        EditScanned(scan, SectionFile(scan.text, caseSensitiveSections, scan.crlf), edit);
    if (!newText) return std::nullopt;
    std::string out;
    out.reserve(text.size() + newText->size());
    Splice(reader, scan, *newText, [&out](std::string_view s) {
        out.append(s);
        return true;
    });
    return out;
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& path) {
    return IniFile::Load(path).Get(section, key, defaultValue);
}

}  // namespace octile
