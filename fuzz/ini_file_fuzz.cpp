// IniFile as the three settings files use it: the template file (read by the
// template readers), the profile store (read, changed, written and read
// again) and the marks file (sections matched exactly, one section read and
// rewritten on its own). Checks that a file's text is written back as it
// was read, that a value set is the value found, in memory and after a
// reload, and that a section read or rewritten alone gives what the whole
// file gives. Everything runs in memory: no file is written.
#include <algorithm>
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
    while (pos < text.size() && sections.size() < 4 && keys.size() < 4) {
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

// Section names as the file matches them: blanks around them trimmed, and
// without regard to ASCII case unless caseSensitive.
bool SameName(std::string_view a, std::string_view b, bool caseSensitive) {
    const auto trim = [](std::string_view t) {
        while (!t.empty() && Blank(t.front())) t.remove_prefix(1);
        while (!t.empty() && Blank(t.back())) t.remove_suffix(1);
        return t;
    };
    a = trim(a);
    b = trim(b);
    const auto fold = [caseSensitive](char c) {
        return !caseSensitive && c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return fold(x) == fold(y); });
}

using KeyList = std::vector<std::pair<std::string, std::string>>;

KeyList KeysOf(const IniFile& ini, const std::string& section) {
    KeyList out;
    ini.ForEachKey(section, [&out](std::string_view k, std::string_view v) {
        out.emplace_back(std::string(k), std::string(v));
    });
    return out;
}

void CheckFile(const std::string& text, bool caseSensitive, uint8_t choice) {
    const IniFile ini = IniFile::FromText(text, caseSensitive);
    // Unchanged, the text is written back byte for byte.
    FUZZ_CHECK(!ini.Changed());
    FUZZ_CHECK(ini.Text() == text);

    std::vector<std::string> sections, keys;
    CollectNames(text, sections, keys);
    for (const std::string& s : sections) {
        for (const std::string& k : keys) {
            const auto v = ini.Find(s, k);
            if (v) FUZZ_CHECK(Characters(*v) <= IniFile::kMaxValueChars);
        }
    }
    // One section read alone answers as the whole file does.
    const std::string& s = sections[choice % sections.size()];
    const IniFile alone = IniFile::SectionOfText(text, s, caseSensitive);
    FUZZ_CHECK(alone.HasSection(s) == ini.HasSection(s));
    FUZZ_CHECK(KeysOf(alone, s) == KeysOf(ini, s));
    for (const std::string& k : keys) FUZZ_CHECK(alone.Find(s, k) == ini.Find(s, k));

    // A value set is found at once, and setting it again changes nothing;
    // after writing and reading the file it is found too when section and
    // key can stand in it (names the program writes).
    IniFile any = ini;
    IniFile clean = ini;
    const std::string value = "v=" + std::to_string(text.size());
    const size_t pairs = std::min(sections.size(), keys.size());
    for (size_t i = 0; i < pairs; ++i) {
        any.Set(sections[i], keys[i], value);
        FUZZ_CHECK(any.Find(sections[i], keys[i]) == value);
        if (CleanName(sections[i], false) && CleanName(keys[i], true)) {
            clean.Set(sections[i], keys[i], value);
        }
    }
    const std::string written = any.Text();
    FUZZ_CHECK(!any.Set(sections[pairs - 1], keys[pairs - 1], value));
    FUZZ_CHECK(any.Text() == written);
    const IniFile back = IniFile::FromText(clean.Text(), caseSensitive);
    for (size_t i = 0; i < pairs; ++i) {
        if (!CleanName(sections[i], false) || !CleanName(keys[i], true)) continue;
        FUZZ_CHECK(back.Find(sections[i], keys[i]) == value);
    }

    // A section rewritten on its own, as the marks file is, gives the text
    // the same change makes of the whole file: values set, the section
    // removed, or both.
    const auto edit = [&](IniFile& f) {
        if ((choice & 0x20) == 0) {
            for (size_t i = 0; i < keys.size() && i < 3; ++i) f.Set(s, keys[i], value);
        }
        if ((choice & 0x60) != 0) f.RemoveSection(s);
    };
    IniFile whole = ini;
    edit(whole);
    const std::optional<std::string> spliced =
        IniFile::EditSectionOfText(text, s, caseSensitive, edit);
    FUZZ_CHECK(spliced.value_or(text) == whole.Text());
    // Names that can stand in the file: every other section reads as before.
    bool standing = CleanName(s, false);
    for (size_t i = 0; i < keys.size() && i < 3; ++i)
        standing = standing && CleanName(keys[i], true);
    if (!spliced || !standing) return;
    const IniFile after = IniFile::FromText(*spliced, caseSensitive);
    for (const std::string& other : sections) {
        if (SameName(other, s, caseSensitive)) continue;
        for (const std::string& k : keys) FUZZ_CHECK(after.Find(other, k) == ini.Find(other, k));
    }
}

}  // namespace
}  // namespace octile::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace octile;
    using namespace octile::fuzz;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const uint8_t choice = size > 0 ? data[size / 2] : 0;

    // The profile store reads sections without regard to case, the marks
    // file exactly.
    CheckFile(text, (choice & 1) != 0, choice >> 1);

    // The template file, read by the template readers.
    const IniFile ini = IniFile::FromText(text);
    const TemplateFlags flags = ReadTemplateFlags(ini);
    FUZZ_CHECK(flags.noRecent == (ini.Get("Setting", "NoRecent", "0") == "1"));
    FUZZ_CHECK(flags.noReadOnly == (ini.Get("Setting", "NoReadOnly", "0") == "1"));
    FUZZ_CHECK(flags.silentReplace == (ini.Get("Setting", "SilentReplace", "0") == "1"));
    const FileFilter filter = ReadFileFilter(ini);
    if (const auto f = ini.Find("Setting", "Filter")) FUZZ_CHECK(filter.filter == Utf8ToUtf16(*f));

    // The same file as the profile store: read, changed, written, read again.
    IniProfileStore store(ini);
    (void)store.GetProfileInt("View", "BKColor", 0xFFFFFF);
    (void)store.GetProfileString("Font", "FaceName", "");
    store.WriteProfileInt("View", "CodeType", static_cast<int32_t>(size));
    store.WriteProfileString("Recent File List", "File1", "/tmp/a\nb");
    IniProfileStore again(IniFile::FromText(store.file().Text()));
    FUZZ_CHECK(again.GetProfileInt("View", "CodeType", -1) == static_cast<int32_t>(size));
    FUZZ_CHECK(again.GetProfileString("Recent File List", "File1", "") == "/tmp/ab");
    return 0;
}
