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

    // Changes the value in place, or adds the key after the last key of its
    // section, or adds the section at the end of the file.
    void Set(std::string_view section, std::string_view key, std::string_view value);

    std::string Text() const;
    // Writes a new file beside the old one and renames it over, so a crash
    // or a full disk never leaves a truncated file. Creates no folders.
    bool Save(const std::string& path) const;

  private:
    struct Line {
        std::string text;
        bool isKey = false;
    };
    // A section's header line and the lines up to the next header. The first
    // block holds the lines before any header and has no name.
    struct Block {
        std::string header;
        std::string name;  // folded; empty for the first block
        bool hasHeader = false;
        std::vector<Line> lines;
        std::unordered_map<std::string, size_t> keys;  // folded key -> first line
        size_t afterLastKey = 0;                       // where a new key goes
    };

    void Parse(std::string_view text);
    Block* FindBlock(std::string_view section);
    const Block* FindBlock(std::string_view section) const;
    static std::string Fold(std::string_view s);
    std::string FoldSection(std::string_view s) const;

    std::vector<Block> blocks_{1};
    std::unordered_map<std::string, size_t> sections_;  // folded name -> first block
    bool crlf_ = false;
    bool bom_ = false;
    bool finalNewline_ = true;
    bool caseSensitiveSections_ = false;
};

// Reads one value from a file anew at every call, as the template file is
// read: an empty path or a missing file gives the default.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& path);

}  // namespace octile
