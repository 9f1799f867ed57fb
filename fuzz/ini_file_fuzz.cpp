// IniFile as the three settings files use it: the template file (read through
// its path by the template readers), the profile store (read, changed,
// flushed and read again) and the marks file (sections matched exactly).
// Checks that a file's text survives being parsed and written again, and
// that a value set is the value found, in memory and after a reload.
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "settings/ini_file.h"
#include "settings/profile_store.h"
#include "settings/template_file.h"
#include "util/utf.h"

namespace octile::fuzz {
namespace {

// Section names and keys the text mentions, as a user may have written them.
void CollectNames(std::string_view text, std::vector<std::string>& sections,
                  std::vector<std::string>& keys) {
    size_t pos = 0;
    while (pos < text.size() && sections.size() < 8 && keys.size() < 8) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) nl = text.size();
        const std::string_view line = text.substr(pos, nl - pos);
        pos = nl + 1;
        if (!line.empty() && line.front() == '[') {
            const size_t close = line.find(']');
            sections.emplace_back(
                line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
        } else if (const size_t eq = line.find('='); eq != std::string_view::npos) {
            keys.emplace_back(line.substr(0, eq));
        }
    }
    sections.emplace_back("Setting");
    sections.emplace_back("");
    keys.emplace_back("Filter");
    keys.emplace_back("Max");
}

// UTF-8 characters as the value cut counts them: bytes that begin one.
size_t Characters(const std::string& s) {
    size_t n = 0;
    for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

bool Blank(char c) { return c == ' ' || c == '\t'; }

// A name that reads back as itself from a written line.
bool CleanName(const std::string& s, bool key) {
    if (s.empty() || Blank(s.front()) || Blank(s.back())) return false;
    if (key && (s.front() == ';' || s.front() == '[')) return false;
    for (char c : s) {
        if (c == '\n' || c == '\r' || c == ']' || c == '=') return false;
    }
    return true;
}

void CheckFile(const std::string& text, bool caseSensitive) {
    const IniFile ini = IniFile::FromText(text, caseSensitive);
    // Writing normalises line ends once; after that the text is stable. (A
    // carriage return that ends no line may end the last one a round later.)
    const std::string written = ini.Text();
    bool loneReturn = false;
    for (size_t i = 0; i < text.size(); ++i) {
        loneReturn =
            loneReturn || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
    }
    if (!loneReturn) FUZZ_CHECK(IniFile::FromText(written, caseSensitive).Text() == written);

    std::vector<std::string> sections, keys;
    CollectNames(text, sections, keys);
    const IniFile reread = IniFile::FromText(written, caseSensitive);
    for (const std::string& s : sections) {
        for (const std::string& k : keys) {
            const auto v = ini.Find(s, k);
            if (!loneReturn) FUZZ_CHECK(v == reread.Find(s, k));
            if (v) FUZZ_CHECK(Characters(*v) <= IniFile::kMaxValueChars);
        }
    }
    // A value set is found at once; and after writing and reading the file
    // when section and key can stand in it (names the program writes).
    IniFile any = ini;
    IniFile clean = ini;
    const std::string value = "v=" + std::to_string(text.size());
    for (size_t i = 0; i < sections.size() && i < keys.size(); ++i) {
        any.Set(sections[i], keys[i], value);
        FUZZ_CHECK(any.Find(sections[i], keys[i]) == value);
        if (CleanName(sections[i], false) && CleanName(keys[i], true)) {
            clean.Set(sections[i], keys[i], value);
        }
    }
    const IniFile back = IniFile::FromText(clean.Text(), caseSensitive);
    for (size_t i = 0; i < sections.size() && i < keys.size(); ++i) {
        if (!CleanName(sections[i], false) || !CleanName(keys[i], true)) continue;
        FUZZ_CHECK(back.Find(sections[i], keys[i]) == value);
    }
}

}  // namespace
}  // namespace octile::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace octile;
    using namespace octile::fuzz;
    const std::string text(reinterpret_cast<const char*>(data), size);

    // The profile store and the marks file are read with both section rules.
    CheckFile(text, false);
    CheckFile(text, true);

    // The template file, read through its path as the program reads it.
    const std::string path = ScratchFolder() + "/octile.ini";
    FUZZ_CHECK(WriteFile(path, data, size));
    const IniFile ini = IniFile::FromText(text);
    const TemplateFlags flags = ReadTemplateFlags(path);
    FUZZ_CHECK(flags.noRecent == (ini.Get("Setting", "NoRecent", "0") == "1"));
    FUZZ_CHECK(flags.noReadOnly == (ini.Get("Setting", "NoReadOnly", "0") == "1"));
    FUZZ_CHECK(flags.silentReplace == (ini.Get("Setting", "SilentReplace", "0") == "1"));
    const FileFilter filter = ReadFileFilter(path);
    if (const auto f = ini.Find("Setting", "Filter")) FUZZ_CHECK(filter.filter == Utf8ToUtf16(*f));

    // The same file as the profile store: read, changed, flushed, read again.
    {
        IniProfileStore store(path);
        (void)store.GetProfileInt("View", "BKColor", 0xFFFFFF);
        (void)store.GetProfileString("Font", "FaceName", "");
        store.WriteProfileInt("View", "CodeType", static_cast<int32_t>(size));
        store.WriteProfileString("Recent File List", "File1", "/tmp/a\nb");
        store.Flush();
    }
    IniProfileStore again(path);
    FUZZ_CHECK(again.GetProfileInt("View", "CodeType", -1) == static_cast<int32_t>(size));
    FUZZ_CHECK(again.GetProfileString("Recent File List", "File1", "") == "/tmp/ab");
    return 0;
}
