#include "commands/bitmap_save.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/fake_host.h"
#include "core/temp_dir.h"
#include "core/test_dibs.h"
#include "resources/resources.h"
#include "util/utf.h"

namespace octile {
namespace {

using test::MakeDib;

class SaveBitmapCommand : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(dib_.TakeBitmap(MakeDib({4, 3, 24})), 1); }
    void Choose(const std::string& path) {
        host_.fileDialogScript.push_back([path](FileDialogRequest& r) {
            r.chosenPath = path;
            return true;
        });
    }
    test::FakeHost host_;
    test::TempDir dir_;
    CDib dib_;
    COctileDoc doc_{host_};
};

TEST_F(SaveBitmapCommand, AsksWithTheBitmapDialogAndWritesTheFile) {
    const std::string path = dir_.File("picture.bmp");
    dir_.Write("picture.bmp", std::string(5000, 'x'));  // an existing longer file is replaced
    Choose(path);
    EXPECT_TRUE(OnFileSaveBitmap(host_, host_, dib_, doc_));
    ASSERT_EQ(host_.fileRequests.size(), 1u);
    const FileDialogRequest& r = host_.fileRequests[0];
    EXPECT_TRUE(r.save);
    EXPECT_EQ(r.title, u"BITMAP保存");
    EXPECT_EQ(r.filter, LoadString(IDS_BMP_FILTER));
    EXPECT_EQ(r.defaultExtension, u"bmp");
    EXPECT_TRUE(r.overwritePrompt);
    EXPECT_TRUE(r.initialPath.empty());
    EXPECT_TRUE(host_.messages.empty());
    const auto expected = dib_.BitmapFileBytes();
    EXPECT_EQ(test::ReadAll(path), std::string(expected.begin(), expected.end()));
}

// The open file, by its name, a symbolic link or a hard link, is refused
// with the save error and keeps its bytes.
TEST_F(SaveBitmapCommand, RefusesTheOpenFileByAnyName) {
    const std::string open = dir_.Write("open.bin", std::string(300, 'o'));
    const std::string link = dir_.File("link.bmp");
    const std::string hard = dir_.File("hard.bmp");
    ASSERT_EQ(::symlink(open.c_str(), link.c_str()), 0);
    ASSERT_EQ(::link(open.c_str(), hard.c_str()), 0);
    ASSERT_TRUE(doc_.OnOpenDocument(open));
    for (const std::string& name : {open, link, hard}) {
        SCOPED_TRACE(name);
        host_.messages.clear();
        Choose(name);
        EXPECT_FALSE(OnFileSaveBitmap(host_, host_, dib_, doc_));
        ASSERT_EQ(host_.messages.size(), 1u);
        EXPECT_EQ(host_.messages[0].text,
                  ReplacePercent1(LoadString(IDS_SAVE_ERROR), Utf8ToUtf16(name)));
        EXPECT_EQ(test::ReadAll(open), std::string(300, 'o'));
    }
    // Another file is written as usual.
    Choose(dir_.File("other.bmp"));
    EXPECT_TRUE(OnFileSaveBitmap(host_, host_, dib_, doc_));
}

TEST_F(SaveBitmapCommand, CancelNameWithoutBaseAndMissingFolder) {
    // Cancel: nothing asked, nothing written.
    EXPECT_FALSE(OnFileSaveBitmap(host_, host_, dib_, doc_));
    EXPECT_TRUE(host_.messages.empty());

    // ".bmp" as the whole name: "FileOpen NG", no file.
    Choose(dir_.File(".bmp"));
    EXPECT_FALSE(OnFileSaveBitmap(host_, host_, dib_, doc_));
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].text, u"FileOpen NG");
    EXPECT_FALSE(std::filesystem::exists(dir_.File(".bmp")));

    // A folder that does not exist: message 10000 with the full path.
    const std::string missing = dir_.File("no/such/folder/p.bmp");
    Choose(missing);
    EXPECT_FALSE(OnFileSaveBitmap(host_, host_, dib_, doc_));
    ASSERT_EQ(host_.messages.size(), 2u);
    EXPECT_EQ(host_.messages[1].text,
              ReplacePercent1(LoadString(IDS_SAVE_ERROR), Utf8ToUtf16(missing)));
}

// FIFOs (without a reader: an open for writing would never return), devices
// and folders, also behind a symbolic link, are refused with a message of
// their own and stay as they were.
TEST_F(SaveBitmapCommand, RefusesOutputsThatAreNotRegularFiles) {
    const std::string fifo = dir_.File("fifo.bmp"), folder = dir_.File("folder.bmp");
    const std::string link = dir_.File("link.bmp");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(folder);
    std::filesystem::create_symlink(fifo, link);
    for (const std::string& path : {fifo, link, folder, std::string("/dev/full")}) {
        SCOPED_TRACE(path);
        host_.messages.clear();
        Choose(path);
        EXPECT_FALSE(OnFileSaveBitmap(host_, host_, dib_, doc_));
        ASSERT_EQ(host_.messages.size(), 1u);
        EXPECT_EQ(host_.messages[0].text,
                  ReplacePercent1(LoadString(IDS_NOT_REGULAR_FILE), Utf8ToUtf16(path)));
        EXPECT_EQ(SaveBitmapAs(dib_, path), IDS_NOT_REGULAR_FILE);
    }
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

// An existing bitmap behind a symbolic link: the file the link leads to is
// replaced and keeps its mode; the link stays.
TEST_F(SaveBitmapCommand, ReplacesTheFileALinkLeadsToAndKeepsItsMode) {
    const std::string target = dir_.Write("target.bmp", std::string(5000, 'x'));
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    const std::string link = dir_.File("link.bmp");
    ASSERT_EQ(::symlink("target.bmp", link.c_str()), 0);
    Choose(link);
    EXPECT_TRUE(OnFileSaveBitmap(host_, host_, dib_, doc_));
    const auto expected = dib_.BitmapFileBytes();
    EXPECT_EQ(test::ReadAll(target), std::string(expected.begin(), expected.end()));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::status(target).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path()))
        names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"link.bmp", "target.bmp"}));
}

}  // namespace
}  // namespace octile
