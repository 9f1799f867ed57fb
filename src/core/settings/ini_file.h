#pragma once
// INI files read and written with the rules of private profile files:
// sections and keys match without regard to case, blanks around names and
// values are trimmed, the first match wins, values are cut at 1023
// characters, and a write changes one value in place keeping every other
// line as it was. Text is UTF-8; CR LF and LF line ends and a byte-order
// mark are accepted and kept.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace octile {

class IniFile {
public:
    static constexpr size_t kMaxValueChars = 1023;
    // Files larger than this are read only up to it.
    static constexpr uint64_t kMaxFileBytes = 64ull << 20;

    IniFile() = default;

    // A missing or unreadable file, or one that is not a regular file, loads
    // as an empty one.
    static IniFile Load(const std::string& path);
    static IniFile FromText(std::string_view text);

    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    std::string Get(std::string_view section, std::string_view key,
                    std::string_view defaultValue) const;
    bool HasSection(std::string_view section) const;

    // Changes the value in place, or adds the key at the end of its section,
    // or adds the section at the end of the file.
    void Set(std::string_view section, std::string_view key, std::string_view value);

    std::string Text() const;
    // Writes a new file beside the old one and renames it over, so a crash
    // or a full disk never leaves a truncated file. Creates no folders.
    bool Save(const std::string& path) const;

private:
    struct Line {
        std::string text;
        enum Kind { Other, Section, Key } kind = Other;
        std::string name;   // folded section or key name
        size_t section = 0; // index of the section line this line belongs to (npos before any)
    };

    void Parse(std::string_view text);
    void Reindex() const;
    static std::string Fold(std::string_view s);

    std::vector<Line> lines_;
    bool crlf_ = false;
    bool bom_ = false;
    bool finalNewline_ = true;

    mutable bool indexed_ = false;
    mutable std::unordered_map<std::string, size_t> sectionIndex_;  // folded name -> first line
    mutable std::unordered_map<std::string, size_t> keyIndex_;      // section '\0' key -> line
    mutable std::unordered_map<std::string, size_t> sectionEnd_;    // folded name -> last line of first section
};

// Reads one value from a file anew at every call, as the template file is
// read: an empty path or a missing file gives the default.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& path);

}  // namespace octile
