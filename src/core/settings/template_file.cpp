#include "settings/template_file.h"

#include "resources/resources.h"
#include "settings/ini_file.h"
#include "util/utf.h"

namespace octile {

FileFilter ReadFileFilter(const std::string& templatePath) {
    const IniFile ini = IniFile::Load(templatePath);
    FileFilter f;
    f.filter = Utf8ToUtf16(ini.Get("Setting", "Filter", Utf16ToUtf8(LoadString(IDS_FILTER))));
    f.defaultExtension =
        Utf8ToUtf16(ini.Get("Setting", "DefFilter", Utf16ToUtf8(LoadString(IDS_DEF_FILTER))));
    return f;
}

TemplateFlags ReadTemplateFlags(const std::string& templatePath) {
    const IniFile ini = IniFile::Load(templatePath);
    TemplateFlags t;
    t.silentReplace = ini.Get("Setting", "SilentReplace", "0") == "1";
    t.noRecent = ini.Get("Setting", "NoRecent", "0") == "1";
    t.noReadOnly = ini.Get("Setting", "NoReadOnly", "0") == "1";
    return t;
}

}  // namespace octile
