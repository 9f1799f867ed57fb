#include "app/app.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/app_dialogs.h"
#include "fake_host.h"
#include "memory_profile_store.h"
#include "resources/resources.h"
#include "temp_dir.h"
#include "util/utf.h"

namespace octile {
namespace {

using test::FakeHost;
using test::TempDir;

class AppTest : public ::testing::Test {
  protected:
    AppTest() : programFolder(dir.path() + "/prog/") {
        std::filesystem::create_directory(programFolder);
    }
    std::unique_ptr<COctileApp> MakeApp() {
        auto app = std::make_unique<COctileApp>(host, store, programFolder);
        app->LoadSettings();
        app->view().OnCreate();
        return app;
    }
    void WriteTemplate(const std::string& body) {
        std::ofstream(programFolder + "octile.ini") << "[Setting]\n" << body;
    }

    TempDir dir;
    std::string programFolder;
    FakeHost host;
    MemoryProfileStore store;
};

TEST_F(AppTest, FirstRunWritesTheMarkerOnceAndDefaultsApply) {
    auto app = MakeApp();
    EXPECT_EQ(store.GetProfileInt("Convert", "IsConvertIniFile", 0), 1);
    EXPECT_EQ(app->templatePath(), programFolder + "octile.ini");
    EXPECT_EQ(app->GetPlugInFolder(), programFolder);
    EXPECT_EQ(store.writes, 1u);  // nothing else is written while starting

    // A second start finds the marker and writes nothing.
    store.writes = 0;
    auto again = std::make_unique<COctileApp>(host, store, programFolder);
    again->LoadSettings();
    EXPECT_EQ(store.writes, 0u);
}

TEST_F(AppTest, StoredPathsWinOverTheProgramFolderWhileTheyExist) {
    // Stored paths that exist are read.
    const std::string own = dir.Write("own.ini", "[Setting]\nNoReadOnly=1\n");
    const std::string plugins = dir.path() + "/plugins/";
    std::filesystem::create_directory(plugins);
    store.WriteProfileString("Setting", "Template", own);
    store.WriteProfileString("Setting", "PlugInPath", plugins);
    auto app = MakeApp();
    EXPECT_EQ(app->templatePath(), own);
    EXPECT_EQ(app->TemplateInUse(), own);
    EXPECT_EQ(app->PlugInFolderInUse(), plugins);
    const std::string file = dir.Write("a.bin", std::string(40, 'x'));
    ASSERT_TRUE(app->ProcessShellCommand({file}));
    EXPECT_EQ(app->doc().IsReadOnly(), 0);

    // Stored paths that are gone (the program moved): the program folder's
    // are read in this run; the stored values stay as the user set them.
    store.WriteProfileString("Setting", "Template", "/elsewhere/t.ini");
    store.WriteProfileString("Setting", "PlugInPath", "/plugins/");
    WriteTemplate("NoReadOnly=1\n");
    auto moved = MakeApp();
    EXPECT_EQ(moved->templatePath(), "/elsewhere/t.ini");
    EXPECT_EQ(moved->GetPlugInFolder(), "/plugins/");
    EXPECT_EQ(moved->TemplateInUse(), programFolder + "octile.ini");
    EXPECT_EQ(moved->PlugInFolderInUse(), programFolder);
    const std::string other = dir.Write("b.bin", std::string(40, 'x'));
    ASSERT_TRUE(moved->ProcessShellCommand({other}));
    EXPECT_EQ(moved->doc().IsReadOnly(), 0);  // the program folder's NoReadOnly=1
}

TEST_F(AppTest, CommandLineFileOpensReadOnlyUnlessNoReadOnly) {
    const std::string file = dir.Write("a.bin", std::string(40, 'x'));
    auto app = MakeApp();
    ASSERT_TRUE(app->ProcessShellCommand({"--some-switch", file}));
    EXPECT_EQ(app->doc().IsReadOnly(), 1);
    EXPECT_TRUE(app->RouteUpdate(ID_READ_ONLY).checked);
    EXPECT_EQ(app->WindowTitle(), u"a.bin - Octile ﾊﾞｲﾅﾘｴﾃﾞｨﾀ");
    EXPECT_TRUE(app->view().IsFileOpen());

    WriteTemplate("NoReadOnly=1\n");
    auto rw = MakeApp();
    ASSERT_TRUE(rw->ProcessShellCommand({file}));
    EXPECT_EQ(rw->doc().IsReadOnly(), 0);
    EXPECT_FALSE(rw->RouteUpdate(ID_READ_ONLY).checked);
}

TEST_F(AppTest, NoFileAndAnUnopenableFile) {
    auto app = MakeApp();
    ASSERT_TRUE(app->ProcessShellCommand({}));
    EXPECT_EQ(app->WindowTitle(), u"無題 - Octile ﾊﾞｲﾅﾘｴﾃﾞｨﾀ");
    EXPECT_FALSE(app->view().IsFileOpen());

    auto bad = MakeApp();
    EXPECT_FALSE(bad->ProcessShellCommand({dir.File("missing.bin")}));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].text.find(u"が見つかりませんでした。"), std::u16string::npos);
}

TEST_F(AppTest, ExitWritesSettingsAndRecentFiles) {
    auto app = MakeApp();
    for (const char* name : {"1.bin", "2.bin", "3.bin", "4.bin", "5.bin", "2.bin"}) {
        ASSERT_TRUE(app->OpenDocumentFile(dir.Write(name, "x")));
    }
    EXPECT_EQ(app->recentFiles(), (std::vector<std::string>{dir.File("2.bin"), dir.File("5.bin"),
                                                            dir.File("4.bin"), dir.File("3.bin")}));
    app->OnMainWindowDestroy();
    app->ExitInstance();
    EXPECT_EQ(store.GetProfileString("Setting", "Template", ""), programFolder + "octile.ini");
    EXPECT_EQ(store.GetProfileString("Setting", "PlugInPath", ""), programFolder);
    EXPECT_EQ(store.GetProfileString("Recent File List", "File1", ""), dir.File("2.bin"));
    EXPECT_EQ(store.GetProfileString("Recent File List", "File4", ""), dir.File("3.bin"));
    EXPECT_EQ(store.GetProfileInt("View", "BKColor", 0), 0xFFFFFF);
    EXPECT_EQ(store.GetProfileString("Font", "FaceName", ""), "ＭＳ ゴシック");

    // The next start offers them in the same order.
    auto next = MakeApp();
    EXPECT_EQ(next->recentFiles().front(), dir.File("2.bin"));
    EXPECT_TRUE(next->RouteUpdate(ID_FILE_MRU_FIRST + 3).enabled);
    ASSERT_TRUE(next->RouteCommand(ID_FILE_MRU_FIRST + 1));
    EXPECT_EQ(next->doc().GetPathName(), dir.File("5.bin"));
}

TEST_F(AppTest, NoRecentKeepsTheStoredListUntouched) {
    store.WriteProfileString("Recent File List", "File1", "/old/file");
    WriteTemplate("NoRecent=1\n");
    auto app = MakeApp();
    EXPECT_TRUE(app->recentFiles().empty());
    EXPECT_FALSE(app->RouteUpdate(ID_FILE_MRU_FIRST).enabled);
    ASSERT_TRUE(app->OpenDocumentFile(dir.Write("n.bin", "x")));
    EXPECT_TRUE(app->recentFiles().empty());
    app->OnMainWindowDestroy();
    app->ExitInstance();
    EXPECT_EQ(store.GetProfileString("Recent File List", "File1", ""), "/old/file");
    EXPECT_FALSE(store.Has("Recent File List", "File2"));
}

TEST_F(AppTest, AboutResetDeletesTheStoreAtExit) {
    auto app = MakeApp();
    // "No" keeps the about box open; "Yes" ends it with the reset code.
    host.messageAnswers = {IDNO, IDYES};
    EXPECT_FALSE(ConfirmSettingsReset(host));
    EXPECT_TRUE(ConfirmSettingsReset(host));
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].text, u"Octileのレジストリを削除して終了します。いいですか。");
    EXPECT_EQ(host.messages[0].type, MB_YESNO | MB_ICONQUESTION);

    host.AnswerDialog<CAboutDlg>([](CAboutDlg&) { return IDOK; });
    app->RouteCommand(ID_APP_ABOUT);
    EXPECT_FALSE(app->resetOnExit());
    EXPECT_EQ(host.closeRequests, 0);

    host.AnswerDialog<CAboutDlg>([](CAboutDlg&) { return CAboutDlg::IDC_RESET; });
    app->RouteCommand(ID_APP_ABOUT);
    EXPECT_TRUE(app->resetOnExit());
    EXPECT_EQ(host.closeRequests, 1);
    app->OnMainWindowDestroy();
    app->ExitInstance();
    EXPECT_TRUE(store.deleted);
    EXPECT_TRUE(store.values.empty());
}

TEST_F(AppTest, SettingsDialogOkReplacesCancelKeeps) {
    auto app = MakeApp();
    host.AnswerDialog<CSettingDlg>([&](CSettingDlg& d) {
        EXPECT_EQ(d.templatePath, programFolder + "octile.ini");
        d.templatePath = "/t/changed.ini";
        d.plugInFolder = "";
        return IDCANCEL;
    });
    app->RouteCommand(ID_SETTINGS);
    EXPECT_EQ(app->templatePath(), programFolder + "octile.ini");

    // The new template path takes effect at the next use, without a restart.
    const std::string t = dir.Write("other.ini", "[Setting]\nNoReadOnly=1\n");
    host.AnswerDialog<CSettingDlg>([&](CSettingDlg& d) {
        d.templatePath = t;
        d.plugInFolder = "";
        return IDOK;
    });
    app->RouteCommand(ID_SETTINGS);
    EXPECT_EQ(app->templatePath(), t);
    EXPECT_EQ(app->GetPlugInFolder(), "");
    ASSERT_TRUE(app->OpenDocumentFile(dir.Write("s.bin", "x")));
    EXPECT_EQ(app->doc().IsReadOnly(), 0);
}

TEST_F(AppTest, HelpCommandsOpenTheProgramFoldersTexts) {
    auto app = MakeApp();
    app->RouteCommand(ID_HELP_README);
    app->RouteCommand(ID_HELP_HISTORY);
    app->RouteCommand(ID_HELP_SETTING);
    EXPECT_EQ(host.opened,
              (std::vector<std::string>{programFolder + "readme.txt", programFolder + "history.txt",
                                        programFolder + "setting.txt"}));
}

TEST_F(AppTest, RouteAsksTheViewBeforeTheDocument) {
    auto app = MakeApp();
    // Before a file: paging is disabled by the view's flags.
    EXPECT_FALSE(app->RouteUpdate(ID_PAGE_NEXT).enabled);
    EXPECT_FALSE(app->RouteUpdate(ID_JUMP).enabled);
    ASSERT_TRUE(app->OpenDocumentFile(dir.Write("r.bin", std::string(100, 'r'))));
    EXPECT_TRUE(app->RouteUpdate(ID_PAGE_NEXT).enabled);
    EXPECT_TRUE(app->RouteUpdate(ID_READ_SIZE).enabled);
    EXPECT_TRUE(app->RouteUpdate(ID_APP_ABOUT).enabled);
}

TEST_F(AppTest, RunCommandSkipsWhatItsUpdateDisables) {
    // Each command's handler asks the user unconditionally; only the update
    // handler stands between a disabled item and the question.
    struct Case {
        uint32_t id;
        bool withFile;
        bool runs;
    };
    const Case cases[] = {
        {ID_JUMP, false, false},
        {ID_JUMP, true, true},
        {ID_COMPARE, false, false},
        {ID_COMPARE, true, true},
        {ID_FILE_SAVE_BITMAP, true, false},  // no picture detected
        {ID_APP_ABOUT, false, true},
    };
    const std::string file = dir.Write("run.bin", std::string(64, 'r'));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "id " << c.id << (c.withFile ? " with file" : ""));
        auto app = MakeApp();
        if (c.withFile) {
            ASSERT_TRUE(app->OpenDocumentFile(file));
        }
        host.fileRequests.clear();
        host.dialogScript.clear();
        int dialogs = 0;
        host.dialogScript.push_back([&](DialogRef) { return ++dialogs, IDCANCEL; });
        EXPECT_EQ(app->RunCommand(c.id), c.runs);
        EXPECT_EQ(dialogs + host.fileRequests.size(), c.runs ? 1u : 0u);
    }
    host.dialogScript.clear();
}

TEST_F(AppTest, QueryCloseRefusesWhileASearchRunsAndStopsIt) {
    auto app = MakeApp();
    EXPECT_TRUE(app->QueryClose());  // idle, no file
    ASSERT_TRUE(app->OpenDocumentFile(dir.Write("big.bin", std::string(1 << 20, '\x11'))));
    EXPECT_TRUE(app->QueryClose());  // idle, a file open
    app->searchCommands().SetEngineOptions({4096, 64 << 10});
    app->searchCommands().SetPumpInterval(std::chrono::milliseconds(0));
    std::vector<bool> answers;
    host.onPump = [&] { answers.push_back(app->QueryClose()); };
    host.AnswerDialog<CSearchSecDlg>([](CSearchSecDlg& d) {
        d.searchText = u"zz";
        return IDOK;
    });
    app->RouteCommand(ID_SEARCH);
    host.onPump = nullptr;
    // The refusal asked the search to stop: it ended at its first look at the messages.
    EXPECT_EQ(answers, std::vector<bool>{false});
    EXPECT_FALSE(app->Busy());
    EXPECT_TRUE(app->QueryClose());
}

TEST_F(AppTest, UndoRunsOnTheJournalAndWaitsForARunningSearch) {
    WriteTemplate("NoReadOnly=1\n");
    auto app = MakeApp();
    const std::string file = dir.Write("undo.bin", std::string(1 << 20, '\x11'));
    ASSERT_TRUE(app->OpenDocumentFile(file));
    EXPECT_FALSE(app->RouteUpdate(ID_EDIT_UNDO).enabled);
    test::PutCaretOnByte(app->view(), 0);
    app->view().OnText(u"7");
    ASSERT_EQ(test::ReadAll(file)[0], '\x71');

    app->searchCommands().SetEngineOptions({4096, 64 << 10});
    app->searchCommands().SetPumpInterval(std::chrono::milliseconds(0));
    std::vector<bool> enabledWhileSearching;
    host.onPump = [&] {
        enabledWhileSearching.push_back(app->RouteUpdate(ID_EDIT_UNDO).enabled);
        app->RouteCommand(ID_EDIT_UNDO);
    };
    host.AnswerDialog<CSearchSecDlg>([](CSearchSecDlg& d) {
        d.searchText = u"zz";
        return IDOK;
    });
    app->RouteCommand(ID_SEARCH);
    host.onPump = nullptr;
    ASSERT_FALSE(enabledWhileSearching.empty());
    EXPECT_EQ(enabledWhileSearching, std::vector<bool>(enabledWhileSearching.size(), false));
    EXPECT_EQ(test::ReadAll(file)[0], '\x71');  // the undo did not run under the search

    EXPECT_TRUE(app->RunCommand(ID_EDIT_UNDO));
    EXPECT_EQ(test::ReadAll(file)[0], '\x11');
    EXPECT_TRUE(app->RunCommand(ID_EDIT_REDO));
    EXPECT_EQ(test::ReadAll(file)[0], '\x71');
}

TEST_F(AppTest, RecentFileMenuTextsNumberAndEscapeThePaths) {
    auto app = MakeApp();
    EXPECT_TRUE(app->RecentFileMenuTexts().empty());
    const std::vector<std::string> names = {"a&b.bin", "plain.bin", "&&x&.bin", "ﾌｧｲﾙ.bin",
                                            "fifth.bin"};
    for (const std::string& name : names) ASSERT_TRUE(app->OpenDocumentFile(dir.Write(name, "x")));
    const std::u16string folder = Utf8ToUtf16(dir.File(""));
    // Newest first and never more than the menu's four.
    EXPECT_EQ(app->RecentFileMenuTexts(),
              (std::vector<std::u16string>{
                  u"&1 " + folder + u"fifth.bin", u"&2 " + folder + u"ﾌｧｲﾙ.bin",
                  u"&3 " + folder + u"&&&&x&&.bin", u"&4 " + folder + u"plain.bin"}));

    WriteTemplate("NoRecent=1\n");
    auto none = MakeApp();
    ASSERT_TRUE(none->OpenDocumentFile(dir.File("plain.bin")));
    EXPECT_TRUE(none->RecentFileMenuTexts().empty());
}

// Answers the folder browser from a script; the file chooser stays FakeHost's.
struct FolderHost : test::FakeHost {
    bool BrowseForFolder(std::string& folder) override {
        foldersAsked.push_back(folder);
        if (folderAnswer.empty()) return false;
        folder = folderAnswer;
        return true;
    }
    std::string folderAnswer;
    std::vector<std::string> foldersAsked;
};

TEST(SettingDialog, BrowseButtonsReplaceOnlyTheirOwnFieldOnOk) {
    struct Case {
        const char* fileAnswer;    // nullptr: the chooser is cancelled
        const char* folderAnswer;  // empty: the browser is cancelled
    };
    for (const Case c : {Case{"/new/t.ini", "/new/plugins"}, Case{nullptr, ""}}) {
        SCOPED_TRACE(c.fileAnswer ? "chosen" : "cancelled");
        FolderHost host;
        if (c.fileAnswer) {
            host.fileDialogScript.push_back([&](FileDialogRequest& r) {
                r.chosenPath = c.fileAnswer;
                return true;
            });
        }
        host.folderAnswer = c.folderAnswer;
        CSettingDlg dlg{"/old/t.ini", "/old/plugins"};

        EXPECT_EQ(BrowseTemplate(dlg, host), c.fileAnswer != nullptr);
        ASSERT_EQ(host.fileRequests.size(), 1u);
        const FileDialogRequest& asked = host.fileRequests[0];
        EXPECT_FALSE(asked.save);
        EXPECT_EQ(asked.title, u"開く");
        EXPECT_EQ(asked.filter, u"設定ﾌｧｲﾙ(*.ini)|*.ini||");
        EXPECT_EQ(asked.defaultExtension, u"ini");
        EXPECT_EQ(asked.initialPath, "/old/t.ini");
        EXPECT_EQ(dlg.templatePath, c.fileAnswer ? c.fileAnswer : "/old/t.ini");
        EXPECT_EQ(dlg.plugInFolder, "/old/plugins");

        EXPECT_EQ(BrowseFolder(dlg, host), *c.folderAnswer != '\0');
        EXPECT_EQ(host.foldersAsked, std::vector<std::string>{"/old/plugins"});
        EXPECT_EQ(dlg.plugInFolder, *c.folderAnswer ? c.folderAnswer : "/old/plugins");
        EXPECT_EQ(dlg.templatePath, c.fileAnswer ? c.fileAnswer : "/old/t.ini");
    }
}

// A 2 x 2 24-bit bitmap file.
std::string SmallBitmapFile() {
    std::string f = "BM";
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) f.push_back(static_cast<char>(v >> (8 * i)));
    };
    auto u16 = [&](uint16_t v) {
        f.push_back(static_cast<char>(v));
        f.push_back(static_cast<char>(v >> 8));
    };
    u32(14 + 40 + 16);
    u32(0);
    u32(54);
    u32(40);
    u32(2);
    u32(2);
    u16(1);
    u16(24);
    u32(0);
    u32(16);
    u32(0);
    u32(0);
    u32(0);
    u32(0);
    f += std::string("\x00\x00\xff\x00\xff\x00\x00\x00\xff\x00\x00\xff\xff\xff\x00\x00", 16);
    return f;
}

TEST_F(AppTest, PictureDisplayShowsThePictureAtTheAnchor) {
    const std::string bitmap = std::string(0x10, 'x') + SmallBitmapFile() + std::string(64, 'y');
    const std::string file = dir.Write("pic.BMP", bitmap + "GIF89a" + std::string(64, 'z'));
    auto app = MakeApp();
    ASSERT_TRUE(app->OpenDocumentFile(file));
    EXPECT_EQ(host.pictureShows, 0);  // display is off
    EXPECT_FALSE(app->RouteUpdate(ID_FILE_SAVE_BITMAP).enabled);

    app->view().UpdateSelection(SelectionStep::kAnchor, 0x10);
    app->RouteCommand(ID_VIEW_PICTURE);  // on: detection runs at once
    EXPECT_TRUE(app->RouteUpdate(ID_VIEW_PICTURE).checked);
    EXPECT_EQ(host.pictureShows, 1);
    EXPECT_EQ(app->picture().GetPictureRect().right, 2);
    EXPECT_TRUE(app->RouteUpdate(ID_FILE_SAVE_BITMAP).enabled);

    // A signature whose picture cannot be decoded (no plug-in takes it)
    // shows the window with the picture held before.
    app->view().UpdateSelection(SelectionStep::kAnchor, bitmap.size());
    app->DetectPicture();
    EXPECT_EQ(host.pictureShows, 2);
    EXPECT_EQ(app->picture().GetPictureRect().right, 2);

    app->RouteCommand(ID_VIEW_PICTURE);  // off: the window closes
    EXPECT_EQ(host.pictureCloses, 1);
    EXPECT_FALSE(app->RouteUpdate(ID_FILE_SAVE_BITMAP).enabled);
}

TEST_F(AppTest, APictureSlowToDecodeComesWhenReadyUnlessDetectionMovedOn) {
    // The test plug-in's format: "MAKI", mode (0x80: a second to decode),
    // width, height, RGB triples.
    const auto maki = [](uint8_t mode, uint8_t w, uint8_t h) {
        return std::string("MAKI") + char(mode) + char(w) + char(h) + std::string(w * h * 3, 'p');
    };
    std::filesystem::copy_file(std::string(OCTILE_TEST_SPI_DIR) + "/a.spi",
                               programFolder + "a.spi");
    const std::string slow = std::string(0x10, 'x') + maki(0x80, 2, 2) + std::string(0x20, 'y');
    const std::string file = dir.Write("pics.bin", slow + maki(0, 3, 1));
    host.postsToWindow = true;
    auto app = MakeApp();
    ASSERT_TRUE(app->OpenDocumentFile(file));
    const auto detectAt = [&](uint64_t anchor) {
        app->view().UpdateSelection(SelectionStep::kAnchor, anchor);
        app->DetectPicture();
    };

    // Turning the display on returns before the picture is decoded; it is
    // shown once the decoding thread posts it.
    app->view().UpdateSelection(SelectionStep::kAnchor, 0x10);
    app->RouteCommand(ID_VIEW_PICTURE);
    EXPECT_EQ(host.pictureShows, 0);
    EXPECT_TRUE(app->PictureLoading());
    EXPECT_EQ(host.posted.Run(std::chrono::seconds(10)), 1u);
    EXPECT_EQ(host.pictureShows, 1);
    EXPECT_EQ(app->picture().GetPictureRect().right, 2);

    // Detection at a place without a picture drops the one still decoding.
    detectAt(0x10);
    detectAt(0x12);
    EXPECT_FALSE(app->PictureLoading());
    // A quick picture found meanwhile replaces the slow one.
    detectAt(0x10);
    detectAt(slow.size());
    for (int i = 0; i < 100 && host.pictureShows < 2; ++i)
        host.posted.Run(std::chrono::milliseconds(100));
    EXPECT_EQ(host.pictureShows, 2);
    EXPECT_EQ(app->picture().GetPictureRect().right, 3);
    // Nothing more arrives: the slow decodes were stopped or dropped.
    host.posted.Run(std::chrono::milliseconds(300));
    EXPECT_EQ(host.pictureShows, 2);
    EXPECT_EQ(app->picture().GetPictureRect().right, 3);
}

TEST(Resources, MenuAndAcceleratorsCarryTheCommands) {
    // Every menu command has a prompt; accelerators point at menu or cursor commands.
    std::vector<uint32_t> ids;
    std::function<void(const std::vector<MenuItem>&)> walk =
        [&](const std::vector<MenuItem>& items) {
            for (const MenuItem& m : items) {
                if (m.kind == MenuItem::Popup) walk(m.children);
                if (m.kind == MenuItem::Item) ids.push_back(m.id);
            }
        };
    walk(MainMenu());
    EXPECT_EQ(MainMenu().size(), 6u);
    for (uint32_t id : ids) EXPECT_FALSE(LoadPrompt(id).empty()) << id;
    EXPECT_EQ(FindAccelerator(VK_F3, ACC_SHIFT), ID_SEARCH_PREV);
    EXPECT_EQ(FindAccelerator('1', ACC_CONTROL), ID_MARK1);
    EXPECT_EQ(FindAccelerator(VK_F4, ACC_NONE), ID_MARK1);
    EXPECT_EQ(FindAccelerator(VK_INSERT, ACC_SHIFT), ID_EDIT_PASTE);
    EXPECT_EQ(FindAccelerator(VK_END, ACC_CONTROL | ACC_SHIFT), ID_SELECT_BOTTOM);
    EXPECT_EQ(FindAccelerator('Q', ACC_CONTROL), 0u);
    EXPECT_EQ(LoadToolTip(ID_FILE_OPEN), u"開く");
    EXPECT_EQ(LoadPrompt(ID_FILE_OPEN), u"既存のﾌｧｲﾙを開く");
}

TEST(Resources, CodeMenuOffersTheFourCodes) {
    std::vector<std::pair<std::u16string, uint32_t>> items;
    std::function<void(const std::vector<MenuItem>&)> walk =
        [&](const std::vector<MenuItem>& menu) {
            for (const MenuItem& m : menu) {
                if (m.kind != MenuItem::Popup) continue;
                if (m.caption == u"文字ｺｰﾄﾞ(&O)") {
                    for (const MenuItem& item : m.children)
                        items.push_back({item.caption, item.id});
                }
                walk(m.children);
            }
        };
    walk(MainMenu());
    EXPECT_EQ(items,
              (std::vector<std::pair<std::u16string, uint32_t>>{{u"ｼﾌﾄJIS(&S)", ID_CODE_SJIS},
                                                                {u"Unicode(&U)", ID_CODE_UNICODE},
                                                                {u"EUC(&E)", ID_CODE_EUC},
                                                                {u"UTF-8(&8)", ID_CODE_UTF8}}));
    EXPECT_EQ(LoadToolTip(ID_CODE_UTF8), u"UTF-8");
}

}  // namespace
}  // namespace octile
