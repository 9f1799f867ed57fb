// The settings files as files: what is written back, one section rewritten on
// its own, large files, and how a rewrite treats the file on disk.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "settings/ini_file.h"
#include "settings/profile_store.h"
#include "temp_dir.h"

namespace octile {
namespace {

using test::ReadAll;
using test::TempDir;

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

// Names in folder beginning with prefix: a rewrite leaves no new file behind.
size_t Leftovers(const std::string& folder, const std::string& prefix) {
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        n += e.path().filename().string().rfind(prefix, 0) == 0;
    }
    return n;
}

TEST(IniFile, SectionsNoWriteTouchedStayByteForByte) {
    // Line ends of every kind, a byte-order mark, carriage returns that end
    // no line, a repeated section.
    const std::string text =
        "\xEF\xBB\xBF; top\r\n[A]\nk=1\r\nodd\r\r\n\n[B]\r\nx = 2\n[a]\nk=3\n[C]\nlast=4\r";
    IniFile ini = IniFile::FromText(text);
    EXPECT_EQ(ini.Text(), text);
    EXPECT_TRUE(ini.Set("B", "x", "5"));
    EXPECT_TRUE(ini.Changed());
    // Only [B] is written anew, in the file's line ends (CR LF, as some line has them).
    EXPECT_EQ(ini.Text(),
              "\xEF\xBB\xBF; top\r\n[A]\nk=1\r\nodd\r\r\n\n[B]\r\nx=5\r\n[a]\nk=3\n[C]\nlast=4\r");
    EXPECT_FALSE(ini.Set("B", "x", "5"));

    IniFile same = IniFile::FromText(text);
    EXPECT_FALSE(same.Set("C", "last", "4"));
    EXPECT_FALSE(same.Changed());
    EXPECT_EQ(same.Text(), text);
}

TEST(IniFile, OneSectionRewrittenAlone) {
    const std::string text =
        "[keep]\nv=1\n[S]\nk=old\n; note\n[other]\nw=2\n[S]\nrepeated=1\n[tail]\nno line end";
    // A carriage return ending the last line without a line feed.
    const std::string lone = "[A]\r\nk=1\r";
    const auto set = [](IniFile& f) {
        f.Set("S", "k", "new");
        f.Set("S", "added", "yes");
    };
    const auto remove = [](IniFile& f) { f.RemoveSection("S"); };
    const auto removeAbsent = [](IniFile& f) { f.RemoveSection("Fresh"); };
    const auto add = [](IniFile& f) { f.Set("Fresh", "a", "1"); };
    const auto nothing = [](IniFile& f) { f.Set("S", "k", "old"); };
    struct Case {
        const char* name;
        std::string text;
        std::string section;
        std::function<void(IniFile&)> edit;
        std::optional<std::string> expected;
    } cases[] = {
        {"changed in place, a key added after the last key", text, "S", set,
         "[keep]\nv=1\n[S]\nk=new\nadded=yes\n; note\n[other]\nw=2\n[S]\nrepeated=1\n"
         "[tail]\nno line end"},
        {"removed with its repeat", text, "S", remove,
         "[keep]\nv=1\n[other]\nw=2\n[tail]\nno line end"},
        {"added after a last line without line end", text, "Fresh", add,
         "[keep]\nv=1\n[S]\nk=old\n; note\n[other]\nw=2\n[S]\nrepeated=1\n[tail]\nno line end\n"
         "[Fresh]\na=1\n"},
        {"a value set as it stands", text, "S", nothing, std::nullopt},
        // The return and a line feed end the line: its value stays "1".
        {"added after a lone carriage return", lone, "Fresh", add,
         "[A]\r\nk=1\r\n[Fresh]\r\na=1\r\n"},
        {"no section to remove", text, "Fresh", removeAbsent, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The file in memory, and on disk: the same bytes result.
        EXPECT_EQ(IniFile::EditSectionOfText(c.text, c.section, true, c.edit), c.expected);
        TempDir dir;
        const std::string path = dir.Write("f.ini", c.text);
        const IniFile::EditResult result = IniFile::EditSection(path, c.section, true, c.edit);
        EXPECT_EQ(result,
                  c.expected ? IniFile::EditResult::kWritten : IniFile::EditResult::kUnchanged);
        EXPECT_EQ(ReadAll(path), c.expected.value_or(c.text));
        // The whole file read and changed gives the same text.
        IniFile whole = IniFile::FromText(c.text, true);
        c.edit(whole);
        EXPECT_EQ(whole.Text(), c.expected.value_or(c.text));
    }
    // Read alone, a section answers as in the whole file: the first of its name.
    const IniFile alone = IniFile::SectionOfText(text, "S", true);
    EXPECT_EQ(alone.Text(), "[S]\nk=old\n; note\n");
    EXPECT_FALSE(IniFile::SectionOfText(text, "s", true).HasSection("s"));
    EXPECT_EQ(IniFile::SectionOfText(text, "s", false).Get("S", "k", ""), "old");
}

TEST(IniFile, ManySectionsFindTheirOwnValues) {
    std::string text = "; generated\n";
    constexpr int kSections = 200000;
    for (int i = 0; i < kSections; ++i) {
        text += "[Section" + std::to_string(i) + "]\nKey=" + std::to_string(i) + "\n";
    }
    text += "[section7]\nKey=repeated\n";
    IniFile ini = IniFile::FromText(text);
    for (int i : {0, 1, 7, 65535, 65536, kSections / 2, kSections - 1}) {
        EXPECT_EQ(ini.Get("SECTION" + std::to_string(i), "key", ""), std::to_string(i)) << i;
    }
    EXPECT_FALSE(ini.HasSection("Section" + std::to_string(kSections)));
    // A change writes one line anew; sections added are found among them all.
    ASSERT_TRUE(ini.Set("Section123", "Key", "x"));
    for (int i = 0; i < 1000; ++i) ini.Set("New" + std::to_string(i), "k", std::to_string(i));
    EXPECT_EQ(ini.Get("new999", "k", ""), "999");
    EXPECT_EQ(ini.Get("Section124", "Key", ""), "124");
    const std::string written = ini.Text();
    const size_t at = text.find("[Section123]\nKey=123\n");
    EXPECT_EQ(written.substr(0, at), text.substr(0, at));
    EXPECT_EQ(written.substr(at, 20), "[Section123]\nKey=x\n[");
    EXPECT_EQ(written.substr(at + 19, text.size() - at - 21), text.substr(at + 21));
}

// A rewrite replaces the file a symbolic link names, not the link, and keeps
// the file's permission bits.
TEST(IniProfileStore, RewriteKeepsModeAndFollowsLinks) {
    struct Case {
        const char* name;
        const char* link;    // what the store's path links to; null: the file itself
        const char* second;  // a link the first one names, or null
    } cases[] = {
        {"a private file", nullptr, nullptr},
        {"a link to a file elsewhere", "../real/store.ini", nullptr},
        {"a link to a link", "../real/hop.ini", "store.ini"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::filesystem::create_directories(dir.File("config"));
        std::filesystem::create_directories(dir.File("real"));
        const std::string target = c.link ? dir.File("real/store.ini") : dir.File("config/p.ini");
        const std::string path = dir.File("config/p.ini");
        dir.Write(c.link ? "real/store.ini" : "config/p.ini", "[View]\nColor=1\n");
        ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
        if (c.second) {
            ASSERT_EQ(::symlink(c.second, dir.File("real/hop.ini").c_str()), 0);
        }
        if (c.link) {
            ASSERT_EQ(::symlink(c.link, path.c_str()), 0);
        }
        {
            IniProfileStore store(path);
            store.WriteProfileInt("View", "Color", 2);
            store.Flush();
        }
        EXPECT_EQ(ReadAll(target), "[View]\nColor=2\n");
        EXPECT_EQ(StatOf(target).st_mode & 07777, 0600u);
        if (c.link) {
            struct stat st {};
            ASSERT_EQ(::lstat(path.c_str(), &st), 0);
            EXPECT_TRUE(S_ISLNK(st.st_mode));
        }
        EXPECT_EQ(
            Leftovers(dir.File("real"), "store.ini.") + Leftovers(dir.File("config"), "p.ini."),
            0u);
    }
}

// Values written as they already stand leave the file as it is: the program
// writes its settings at every exit.
TEST(IniProfileStore, UnchangedValuesDoNotRewriteTheFile) {
    TempDir dir;
    const std::string path = dir.Write("p.ini", "[View]\nColor = 1\nCodeType=3\n[Font]\nName=x\n");
    const struct stat before = StatOf(path);
    {
        IniProfileStore store(path);
        store.WriteProfileInt("View", "CodeType", 3);
        store.WriteProfileString("Font", "Name", "x");
        store.Flush();
    }
    const struct stat after = StatOf(path);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    {
        IniProfileStore store(path);
        store.WriteProfileInt("View", "Color", 1);  // "Color = 1" is written as "Color=1"
    }
    EXPECT_EQ(ReadAll(path), "[View]\nColor=1\nCodeType=3\n[Font]\nName=x\n");
}

}  // namespace
}  // namespace octile
