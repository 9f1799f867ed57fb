#pragma once
// The user-edited template file: file-dialog filter and three switches in
// section "Setting". It is read anew at every use.
#include <string>

namespace octile {

struct FileFilter {
    std::u16string filter;            // "desc|pattern|...||"
    std::u16string defaultExtension;  // "exe"
};

struct TemplateFlags {
    bool silentReplace = false;
    bool noRecent = false;
    bool noReadOnly = false;
};

FileFilter ReadFileFilter(const std::string& templatePath);
// A switch is on only when its whole value is "1".
TemplateFlags ReadTemplateFlags(const std::string& templatePath);

}  // namespace octile
