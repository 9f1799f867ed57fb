#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "settings/ini_file.h"
#include "settings/paths.h"
#include "settings/profile_store.h"
#include "settings/template_file.h"
#include "temp_dir.h"

namespace octile {
namespace {

using test::ReadAll;
using test::TempDir;

TEST(IniFile, LookupFollowsPrivateProfileRules) {
    const IniFile ini = IniFile::FromText(
        "\xEF\xBB\xBF; comment=not a key\r\n"
        "top=before any section\r\n"
        "[ Setting ]\r\n"
        "  Filter  =  a|b||  \r\n"
        "filter=second wins nothing\r\n"
        "Quoted=\"x y\"\r\n"
        "NoValue=\r\n"
        "[setting]\r\n"
        "Extra=in a repeated section\r\n"
        "[Other]\r\n"
        "Filter=other\r\n");
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"Setting", "Filter", "a|b||"},
        {"SETTING", "FILTER", "a|b||"},
        {"setting", " filter ", "a|b||"},
        {"Setting", "Quoted", "x y"},
        {"Setting", "NoValue", ""},
        {"Other", "Filter", "other"},
        {"Setting", "Extra", "<default>"},  // only the first section of a name is read
        {"Setting", "; comment", "<default>"},
        {"Missing", "Filter", "<default>"},
        {"Setting", "top", "<default>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ini.Get(c.section, c.key, "<default>"), c.expected) << c.section << "/" << c.key;
    }
}

TEST(IniFile, ValuesAreCutAt1023Characters) {
    std::string longValue;
    for (int i = 0; i < 2000; ++i) longValue += "あ";
    const IniFile ini = IniFile::FromText("[S]\nk=" + longValue + "\n");
    const std::string v = ini.Get("S", "k", "");
    EXPECT_EQ(v.size(), 1023u * 3);  // whole characters, never a cut sequence
    EXPECT_EQ(v, longValue.substr(0, 1023 * 3));
}

TEST(IniFile, WriteChangesOneValueAndKeepsEveryOtherLine) {
    const std::string original =
        "; my settings\r\n"
        "[Setting]\r\n"
        "Filter = keep|me||\r\n"
        "NoRecent=0\r\n"
        "\r\n"
        "[View]\r\n"
        "Color=1\r\n";
    IniFile ini = IniFile::FromText(original);
    ini.Set("setting", "norecent", "1");
    ini.Set("Setting", "New", "added");
    ini.Set("Fresh", "Key", "v");
    EXPECT_EQ(ini.Text(),
              "; my settings\r\n"
              "[Setting]\r\n"
              "Filter = keep|me||\r\n"
              "norecent=1\r\n"
              "New=added\r\n"
              "\r\n"
              "[View]\r\n"
              "Color=1\r\n"
              "[Fresh]\r\n"
              "Key=v\r\n");
    EXPECT_EQ(ini.Get("Setting", "NoRecent", ""), "1");
    EXPECT_EQ(ini.Get("Setting", "new", ""), "added");
    EXPECT_EQ(ini.Get("View", "Color", ""), "1");
}

TEST(IniFile, OddFilesLoadWithoutHarm) {
    TempDir dir;
    const std::string longLine(3 << 20, 'x');
    const std::string noSections = dir.Write("nosec.ini", "a=1\nb=2");
    const std::string huge = dir.Write("huge.ini", "[S]\nk=" + longLine + "\n[T]\nz=9");
    const std::string lf = dir.Write("lf.ini", "[S]\nk=v");
    EXPECT_EQ(IniFile::Load(noSections).Get("S", "a", "d"), "d");
    EXPECT_EQ(IniFile::Load(huge).Get("S", "k", "").size(), 1023u);
    EXPECT_EQ(IniFile::Load(huge).Get("T", "z", ""), "9");
    EXPECT_EQ(IniFile::Load(dir.File("missing.ini")).Get("S", "k", "d"), "d");
    EXPECT_EQ(IniFile::Load(dir.path()).Get("S", "k", "d"), "d");  // a folder
    IniFile f = IniFile::Load(lf);
    f.Set("S", "k", "w");
    ASSERT_TRUE(f.Save(lf));
    EXPECT_EQ(ReadAll(lf), "[S]\nk=w");  // LF and the missing final line end stay
}

TEST(IniFile, FifoIsNotReadAsATemplate) {
    TempDir dir;
    const std::string fifo = dir.File("pipe.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(GetPrivateProfileString("Setting", "Filter", "d", fifo), "d");
}

TEST(TemplateFile, SwitchesAreOnOnlyForExactlyOne) {
    TempDir dir;
    struct Case {
        const char* value;
        bool on;
    } cases[] = {{"1", true},    {" 1 ", true}, {"0", false}, {"01", false},
                 {"yes", false}, {"2", false},  {"", false},  {"1x", false}};
    for (const Case& c : cases) {
        const std::string p =
            dir.Write("t.ini", std::string("[Setting]\nSilentReplace=") + c.value +
                                   "\nNoRecent=" + c.value + "\nNoReadOnly=" + c.value + "\n");
        const TemplateFlags f = ReadTemplateFlags(p);
        EXPECT_EQ(f.silentReplace, c.on) << c.value;
        EXPECT_EQ(f.noRecent, c.on) << c.value;
        EXPECT_EQ(f.noReadOnly, c.on) << c.value;
    }
    const TemplateFlags none = ReadTemplateFlags("");
    EXPECT_FALSE(none.silentReplace || none.noRecent || none.noReadOnly);
}

#ifdef OCTILE_PLUGIN_DIR
// The template shipped in the program folder shows every file first, as a
// Linux folder holds few files with extensions, and adds none on save.
TEST(TemplateFile, ShippedTemplateOffersAllFilesFirst) {
    const FileFilter f = ReadFileFilter(std::string(OCTILE_PLUGIN_DIR) + "/octile.ini");
    const std::vector<FilterEntry> entries = SplitFileFilter(f.filter);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().description, u"全てのﾌｧｲﾙ(*.*)");
    EXPECT_EQ(entries.front().patterns,
              std::vector<std::u16string>{u"*"});  // every name, with or without a dot
    EXPECT_EQ(f.defaultExtension, u"");
}
#endif

TEST(TemplateFile, FilterDefaultsAndOverrides) {
    TempDir dir;
    FileFilter def = ReadFileFilter(dir.File("absent.ini"));
    EXPECT_EQ(def.filter, u"実行ﾌｧｲﾙ(*.exe)|*.exe|全てのﾌｧｲﾙ(*.*)|*.*||");
    EXPECT_EQ(def.defaultExtension, u"exe");
    const std::string p =
        dir.Write("t.ini", "[Setting]\nFilter=ﾃｷｽﾄ(*.txt)|*.txt||\nDefFilter=txt\n");
    FileFilter f = ReadFileFilter(p);
    EXPECT_EQ(f.filter, u"ﾃｷｽﾄ(*.txt)|*.txt||");
    EXPECT_EQ(f.defaultExtension, u"txt");
}

TEST(ProfileInt, ParsesWhatHandsMayWrite) {
    struct Case {
        const char* text;
        int32_t expected;
    } cases[] = {
        {"15", 15},
        {"-15", -15},
        {" 42", 42},
        {"16777215", 16777215},
        {"0xFF", 255},
        {"4294967295", -1},  // wraps as a DWORD
        {"99999999999", static_cast<int32_t>(99999999999ll & 0xFFFFFFFF)},
        {"12abc", 12},
        {"abc", 7},
        {"", 7},
        {"-", 7},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseProfileInt(c.text, 7), c.expected) << c.text;
}

class EnvGuard {
  public:
    explicit EnvGuard(const char* name) : name_(name) {
        const char* v = std::getenv(name);
        if (v) saved_ = v, had_ = true;
    }
    ~EnvGuard() {
        if (had_) {
            ::setenv(name_, saved_.c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::string saved_;
    bool had_ = false;
};

TEST(Paths, XdgFoldersAndFallbacks) {
    EnvGuard g1("XDG_CONFIG_HOME"), g2("XDG_DATA_HOME"), g3("HOME");
    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_CONFIG_HOME", "/cfg/", 1);
    ::setenv("XDG_DATA_HOME", "/data", 1);
    EXPECT_EQ(GetProfileStorePath(), "/cfg/Zenkobo/ﾊﾞｲﾅﾘｴﾃﾞｨﾀ.ini");
    EXPECT_EQ(GetPerUserFolder(), "/data/Octile/");
    // Unset, empty, relative and over-long values fall back to the home folder.
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("XDG_DATA_HOME", "relative/path", 1);
    EXPECT_EQ(GetProfileStorePath(), "/home/someone/.config/Zenkobo/ﾊﾞｲﾅﾘｴﾃﾞｨﾀ.ini");
    EXPECT_EQ(GetPerUserFolder(), "/home/someone/.local/share/Octile/");
    ::setenv("XDG_CONFIG_HOME", ("/" + std::string(100000, 'x')).c_str(), 1);
    ::setenv("XDG_DATA_HOME", "", 1);
    EXPECT_EQ(GetProfileStorePath(), "/home/someone/.config/Zenkobo/ﾊﾞｲﾅﾘｴﾃﾞｨﾀ.ini");
    EXPECT_EQ(GetPerUserFolder(), "/home/someone/.local/share/Octile/");
    // Without HOME the password database names the home folder.
    ::unsetenv("HOME");
    const std::string p = GetProfileStorePath();
    EXPECT_TRUE(p.empty() || (p.front() == '/' && p.find("/.config/Zenkobo/") != std::string::npos))
        << p;
}

TEST(Paths, ProgramFolderIsThisExecutablesFolder) {
    const std::string folder = GetProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(folder + "core_tests")) << folder;
}

TEST(IniProfileStore, RoundTripAndDeleteTree) {
    TempDir dir;
    const std::string maker = dir.File("Zenkobo");
    const std::string path = maker + "/ﾊﾞｲﾅﾘｴﾃﾞｨﾀ.ini";
    {
        IniProfileStore store(path);
        EXPECT_EQ(store.GetProfileInt("View", "Color", 123), 123);
        store.WriteProfileInt("View", "Color", 0x00FF00);
        store.WriteProfileInt("Font", "Height", -15);
        store.WriteProfileString("Font", "FaceName", "ＭＳ ゴシック");
        store.WriteProfileString("Setting", "Template", "/a\nb");
        store.Flush();
    }
    {
        IniProfileStore store(path);
        EXPECT_EQ(store.GetProfileInt("View", "Color", 0), 0x00FF00);
        EXPECT_EQ(store.GetProfileInt("Font", "Height", 0), -15);
        EXPECT_EQ(store.GetProfileString("Font", "FaceName", ""), "ＭＳ ゴシック");
        EXPECT_EQ(store.GetProfileString("Setting", "Template", ""), "/ab");
        store.DeleteProfileTree();
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(std::filesystem::exists(maker));

    // The maker's folder survives when another program keeps something in it.
    {
        IniProfileStore store(path);
        store.WriteProfileInt("View", "Color", 1);
        store.Flush();
    }
    std::ofstream(maker + "/other.ini") << "[x]\n";
    IniProfileStore(path).DeleteProfileTree();
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(std::filesystem::exists(maker + "/other.ini"));
}

}  // namespace
}  // namespace octile
