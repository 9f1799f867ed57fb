#pragma once
// The user-edited template file: file-dialog filter and three switches in
// section "Setting". It is read anew at every use.
#include <string>
#include <string_view>
#include <vector>

namespace octile {

class IniFile;

struct FileFilter {
    std::u16string filter;            // "desc|pattern|...||"
    std::u16string defaultExtension;  // "exe"
};

// One "desc|pattern;pattern" pair of a filter.
struct FilterEntry {
    std::u16string description;
    std::vector<std::u16string> patterns;
};

struct TemplateFlags {
    bool silentReplace = false;
    bool noRecent = false;
    bool noReadOnly = false;
};

FileFilter ReadFileFilter(const std::string& templatePath);
// The same from a template file already read.
FileFilter ReadFileFilter(const IniFile& templateFile);
// The pairs of a "desc|pat;pat|desc|pat||" filter, up to the first empty
// description (the closing "||"); a description without its pattern part is
// dropped. Patterns are trimmed, empty ones dropped, "*.*" becomes "*", and a
// pair without patterns gets "*".
std::vector<FilterEntry> SplitFileFilter(std::u16string_view filter);
// A switch is on only when its whole value is "1".
TemplateFlags ReadTemplateFlags(const std::string& templatePath);
// The same from a template file already read.
TemplateFlags ReadTemplateFlags(const IniFile& templateFile);

}  // namespace octile
