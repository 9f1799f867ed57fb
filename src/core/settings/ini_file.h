#pragma once
// INI files read and written with the rules of private profile files:
// sections and keys match without regard to case, blanks around names and
// values are trimmed, the first match wins, values are cut at 1023
// characters, and a write changes one value in place keeping every other
// line as it was. Text is UTF-8; CR LF and LF line ends and a byte-order
// mark are accepted and kept.
//
// The text is kept as it was read, with the offset of each section's
// header and a hash of their names: a file of a million sections costs
// little more than its bytes, a lookup reads only its own section, and the
// sections no write touched are written back byte for byte. A section that
// a write changes is held as lines from then on.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace octile {

class IniFile {
  public:
    static constexpr size_t kMaxValueChars = 1023;
    // Whole files larger than this are read only up to it. A section read
    // on its own (LoadSection, EditSection) has no such limit: only that
    // section is held in memory.
    static constexpr uint64_t kMaxFileBytes = 64ull << 20;

    IniFile() = default;

    // A missing or unreadable file, or one that is not a regular file, loads
    // as an empty one. caseSensitiveSections: section names match exactly
    // (the marks file names its sections by file paths, which differ by case
    // on Linux). whole (may be null) receives false when the file exists but
    // was not read to its end: saving what was loaded would lose the rest.
    static IniFile Load(const std::string& path, bool caseSensitiveSections = false,
                        bool* whole = nullptr);
    static IniFile FromText(std::string_view text, bool caseSensitiveSections = false);

    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    std::string Get(std::string_view section, std::string_view key,
                    std::string_view defaultValue) const;
    bool HasSection(std::string_view section) const;
    // Calls visit with every key of the first section of that name, in the
    // order of its lines, repeated keys included: the key trimmed as it is
    // written, and its value as Find gives it.
    void ForEachKey(
        std::string_view section,
        const std::function<void(std::string_view key, std::string_view value)>& visit) const;

    // Changes the value in place, or adds the key after the last key of its
    // section, or adds the section at the end of the file. False when the
    // line was already exactly that: nothing changed.
    bool Set(std::string_view section, std::string_view key, std::string_view value);
    // Removes the sections of that name with all their lines (a section
    // repeated further on would otherwise stand in for the first); false when
    // there is none.
    bool RemoveSection(std::string_view section);
    // Set or RemoveSection changed something since the text was read.
    bool Changed() const { return changed_; }

    std::string Text() const;
    // Writes a new file beside the old one and renames it over, so a crash
    // or a full disk never leaves a truncated file. A symbolic link is
    // followed: the file it names is replaced and keeps its permission
    // bits, and the link stays a link. Creates no folders.
    bool Save(const std::string& path) const;

    // The marks file holds a section for every file that has marks and may
    // be large; these read and rewrite one section of a file without holding
    // the rest in memory.
    //
    // The first section of that name alone (its header line and the lines up
    // to the next header), empty when there is none. whole as for Load: false
    // when the file exists but that section could not be read to its end.
    static IniFile LoadSection(const std::string& path, std::string_view section,
                               bool caseSensitiveSections, bool* whole = nullptr);
    static IniFile SectionOfText(std::string_view text, std::string_view section,
                                 bool caseSensitiveSections);

    enum class EditResult { kUnchanged, kWritten, kFailed };
    // Hands the file's first section of that name, as LoadSection reads it,
    // to edit, which changes it with Set (which adds the section at the end
    // of the file when it is not there) or removes it, and any later section
    // of that name, with RemoveSection. The file is then
    // rewritten as Save writes, its other bytes passed through as they were
    // and the section's in their place. Nothing is written when the section
    // did not change; kFailed when the file could not be read whole (its
    // other sections would be lost) or not written.
    static EditResult EditSection(const std::string& path, std::string_view section,
                                  bool caseSensitiveSections,
                                  const std::function<void(IniFile&)>& edit);
    // The same over a file's text in memory: the new text, or nothing when
    // the section did not change.
    static std::optional<std::string> EditSectionOfText(std::string_view text,
                                                        std::string_view section,
                                                        bool caseSensitiveSections,
                                                        const std::function<void(IniFile&)>& edit);

  private:
    // A line of a section that a write changed. keyLength: the bytes of its
    // key before the '=', npos when the line holds no key.
    struct Line {
        std::string text;
        size_t keyLength = std::string::npos;
    };
    // A section as lines, once a write changed it or removed it.
    struct Edited {
        std::string header;  // without its line end
        std::string name;    // a section Set added: the name it was given
        std::vector<Line> lines;
        std::unordered_map<std::string, size_t> keys;  // folded key -> first line
        size_t afterLastKey = 0;                       // where a new key goes
        bool endsWithLineEnd = true;
        bool removed = false;
    };
    using Put = std::function<bool(std::string_view)>;

    void Parse(std::string&& text);
    // A section read alone, given the line ends of the file it came from.
    static IniFile SectionFile(std::string text, bool caseSensitiveSections, bool crlf);
    // Sections are numbered from 1 in file order, those Set added after
    // those read; 0 stands for the lines before the first header.
    size_t SectionCount() const { return count_; }
    std::string_view ReadBlock(size_t number) const;  // a section as read
    std::string_view NameOf(size_t number) const;
    size_t FindSection(std::string_view section) const;  // 0 when none
    void IndexSection(size_t number);
    void RebuildIndex();
    Edited& Edit(size_t number);
    bool NamesEqual(std::string_view a, std::string_view b) const;
    uint64_t HashName(std::string_view name) const;
    bool Render(const Put& put) const;
    void RenderEdited(const Edited& e, std::string& out) const;

    std::string text_;  // the file as read
    size_t bom_ = 0;    // the byte-order mark's length at its start
    // Where each section's header line begins in text_ (section n at n - 1).
    std::vector<uint64_t> starts_;
    size_t count_ = 1;  // sections, counting 0
    std::unordered_map<size_t, Edited> edited_;
    // Open addressing by name hash: section number + 1, 0 for free; the
    // first section of each name only, removed ones left out.
    std::vector<uint32_t> slots_;
    size_t indexed_ = 0;
    bool crlf_ = false;
    bool caseSensitiveSections_ = false;
    bool changed_ = false;
};

// Reads one value from a file anew at every call, as the template file is
// read: an empty path or a missing file gives the default.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& path);

}  // namespace octile
