#include "settings/template_file.h"

#include <utility>

#include "resources/resources.h"
#include "settings/ini_file.h"
#include "util/utf.h"

namespace octile {

namespace {

// The white space a hand-edited filter may hold around its patterns.
bool IsSpace(char16_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

std::u16string_view Trim(std::u16string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

// Every part between separators, empty ones included.
std::vector<std::u16string_view> Split(std::u16string_view s, char16_t separator) {
    std::vector<std::u16string_view> parts;
    for (;;) {
        const size_t at = s.find(separator);
        parts.push_back(s.substr(0, at));
        if (at == std::u16string_view::npos) return parts;
        s.remove_prefix(at + 1);
    }
}

}  // namespace

FileFilter ReadFileFilter(const std::string& templatePath) {
    return ReadFileFilter(IniFile::Load(templatePath));
}

FileFilter ReadFileFilter(const IniFile& ini) {
    FileFilter f;
    f.filter = Utf8ToUtf16(ini.Get("Setting", "Filter", Utf16ToUtf8(LoadString(IDS_FILTER))));
    f.defaultExtension =
        Utf8ToUtf16(ini.Get("Setting", "DefFilter", Utf16ToUtf8(LoadString(IDS_DEF_FILTER))));
    return f;
}

std::vector<FilterEntry> SplitFileFilter(std::u16string_view filter) {
    const std::vector<std::u16string_view> parts = Split(filter, u'|');
    std::vector<FilterEntry> entries;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty()) break;  // the closing "||"
        FilterEntry entry;
        entry.description = parts[i];
        for (std::u16string_view pattern : Split(parts[i + 1], u';')) {
            pattern = Trim(pattern);
            if (pattern.empty()) continue;
            entry.patterns.emplace_back(pattern == u"*.*" ? u"*" : pattern);
        }
        if (entry.patterns.empty()) entry.patterns.emplace_back(u"*");
        entries.push_back(std::move(entry));
    }
    return entries;
}

TemplateFlags ReadTemplateFlags(const std::string& templatePath) {
    return ReadTemplateFlags(IniFile::Load(templatePath));
}

TemplateFlags ReadTemplateFlags(const IniFile& ini) {
    TemplateFlags t;
    t.silentReplace = ini.Get("Setting", "SilentReplace", "0") == "1";
    t.noRecent = ini.Get("Setting", "NoRecent", "0") == "1";
    t.noReadOnly = ini.Get("Setting", "NoReadOnly", "0") == "1";
    return t;
}

}  // namespace octile
