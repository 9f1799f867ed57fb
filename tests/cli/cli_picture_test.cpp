// octile-cli picture, end to end: pictures embedded at odd offsets of a
// larger file are detected at their anchors, decoded by the plug-ins built
// with the program, and saved as bitmap files with the source's pixels;
// pictures over the pixel limit of the user's settings are refused.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cinttypes>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "core/temp_dir.h"
#include "core/test_dibs.h"
#include "core/test_images.h"
#include "settings/paths.h"

namespace octile {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::CliResult;
using test::Image;

std::string Hex(uint64_t v) {
    char buf[20];
    std::snprintf(buf, sizeof buf, "%" PRIX64, v);
    return buf;
}

// Filler that holds no picture signature.
Bytes Filler(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = uint8_t('a' + (i * 7) % 19);
    return b;
}

class CliPictureTest : public testing::Test {
  protected:
    struct Embedded {
        uint64_t start = 0;
        Bytes data;
    };

    void SetUp() override {
        jpegImage_ = test::GradientImage(40, 24);
        jpeg_.data = test::EncodeJpeg(jpegImage_);
        pngImage_ = test::PatternImage(17, 9, 21);
        png_.data = test::EncodePng(pngImage_);
        gifPicture_ = test::PatternGif(11, 7, 5);
        gif_.data = test::EncodeGif(gifPicture_);
        bmpImage_ = test::PatternImage(5, 3, 8);

        Bytes file = Filler(0x1F3);
        const auto place = [&](Embedded& e, size_t gap) {
            e.start = file.size();
            file.insert(file.end(), e.data.begin(), e.data.end());
            const Bytes f = Filler(gap);
            file.insert(file.end(), f.begin(), f.end());
        };
        place(jpeg_, 0x35);
        place(png_, 0x101);
        place(gif_, 0x55);
        path_ = dir_.Write("container.dat", file);
        fileBytes_ = file;
    }

    CliResult Picture(uint64_t anchor, const std::string& out,
                      const std::vector<std::string>& extra = {}, const test::CliEnv& env = {}) {
        std::vector<std::string> args = {"picture", path_, Hex(anchor), out};
        args.insert(args.end(), extra.begin(), extra.end());
        return test::RunCli(args, dir_.path(), env);
    }

    test::TempDir dir_;
    std::string path_;
    Bytes fileBytes_;
    Image jpegImage_, pngImage_, bmpImage_;
    test::GifPicture gifPicture_;
    Embedded jpeg_, png_, gif_;
};

TEST_F(CliPictureTest, EmbeddedPicturesAreFoundAtTheirAnchorsAndSavedWithTheirPixels) {
    // The JPEG's pixels are what libjpeg itself decodes from the same bytes.
    const Image jpegPixels = test::DecodeJpegReference(jpeg_.data);
    struct Case {
        const char* name;
        uint64_t anchor;
        uint64_t start;
        const Image* expected;
        uint32_t pixelOffset;
    };
    const Image gifPixels = test::GifExpected(gifPicture_);
    const Case cases[] = {
        {"JPEG at FF D8", jpeg_.start, jpeg_.start, &jpegPixels, 54},
        {"JPEG at JFIF", jpeg_.start + 6, jpeg_.start, &jpegPixels, 54},
        {"PNG at PNG", png_.start + 1, png_.start, &pngImage_, 54},
        {"GIF", gif_.start, gif_.start, &gifPixels, 1078},
    };
    ASSERT_EQ(std::string(fileBytes_.begin() + long(jpeg_.start) + 6,
                          fileBytes_.begin() + long(jpeg_.start) + 10),
              "JFIF");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = dir_.File("out.bmp");
        const CliResult r = Picture(c.anchor, out);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, Hex(c.start) + " " + std::to_string(c.expected->width) + "x" +
                             std::to_string(c.expected->height) + "\n");
        const std::string saved = test::ReadAll(out);
        ASSERT_GE(saved.size(), 54u);
        const auto* p = reinterpret_cast<const uint8_t*>(saved.data());
        EXPECT_EQ(test::ReadLe32(p + 2), saved.size());
        EXPECT_EQ(test::ReadLe32(p + 10), c.pixelOffset);
        EXPECT_EQ(test::BmpFilePixels(saved), *c.expected);
        fs::remove(out);
    }
}

TEST_F(CliPictureTest, BitmapFileIsTakenByTheFallback) {
    // A bitmap file embedded at an odd offset: no plug-in accepts it, the
    // bitmap reader takes it, and the saved file is the embedded one.
    const Bytes bmp = test::BitmapFile(bmpImage_);
    Bytes file = Filler(0x77);
    file.insert(file.end(), bmp.begin(), bmp.end());
    const Bytes tail = Filler(40);
    file.insert(file.end(), tail.begin(), tail.end());
    const std::string path = dir_.Write("with-bitmap.dat", file);
    const std::string out = dir_.File("bitmap.bmp");
    const CliResult r = test::RunCli({"picture", path, "77", out}, dir_.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::ReadAll(out), std::string(bmp.begin(), bmp.end()));
    EXPECT_EQ(test::BmpFilePixels(test::ReadAll(out)), bmpImage_);
}

TEST_F(CliPictureTest, NothingFoundNothingDecodedAndRefusals) {
    const std::string out = dir_.File("none.bmp");
    // No signature at the anchor (filler, and the 0x89 before "PNG").
    EXPECT_EQ(Picture(0x10, out).status, 1);
    EXPECT_EQ(Picture(png_.start, out).status, 1);
    // A signature, but no plug-in in the folder decodes it.
    fs::create_directory(dir_.File("empty"));
    EXPECT_EQ(Picture(gif_.start, out, {"--plugins", dir_.File("empty")}).status, 1);
    EXPECT_FALSE(fs::exists(out));
    // Refused: a name that is only an extension, a bad anchor, a missing file.
    const CliResult ng = Picture(gif_.start, dir_.File(".bmp"));
    EXPECT_EQ(ng.status, 2);
    EXPECT_EQ(ng.err, "octile-cli: FileOpen NG\n");
    EXPECT_EQ(Picture(0, out, {"--plugins"}).status, 2);
    EXPECT_EQ(test::RunCli({"picture", path_, "xyz", out}, dir_.path()).status, 2);
    EXPECT_EQ(test::RunCli({"picture", dir_.File("missing"), "0", out}, dir_.path()).status, 2);

    // The source by any name is refused as the output, and keeps its bytes.
    const std::string link = dir_.File("link.bmp");
    ASSERT_EQ(::symlink(path_.c_str(), link.c_str()), 0);
    for (const std::string& self : {path_, link}) {
        const CliResult r = Picture(gif_.start, self);
        EXPECT_EQ(r.status, 2) << self;
        EXPECT_NE(r.err.find("の保存でｴﾗｰが発生しました"), std::string::npos) << r.err;
        EXPECT_EQ(test::ReadAll(path_), std::string(fileBytes_.begin(), fileBytes_.end()));
    }
}

// The user's settings hold the pixel limit: [View] MaxPictureMegapixels.
class CliPictureLimitTest : public CliPictureTest {
  protected:
    void TearDown() override { fs::remove(GetProfileStorePath()); }

    void SetLimit(const std::string& megapixels) {
        const std::string path = GetProfileStorePath();
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary)
            << "[View]\nMaxPictureMegapixels=" << megapixels << "\n";
    }

    // A file with the picture 0x40 bytes in; the picture's anchor.
    uint64_t Embed(const Bytes& picture, uint64_t anchorInPicture) {
        Bytes file = Filler(0x40);
        file.insert(file.end(), picture.begin(), picture.end());
        const Bytes tail = Filler(0x20);
        file.insert(file.end(), tail.begin(), tail.end());
        path_ = dir_.Write("embedded.dat", file);
        return 0x40 + anchorInPicture;
    }
};

TEST_F(CliPictureLimitTest, PictureOverTheLimitExitsWithItsDeclaredSize) {
    test::GifPicture onHugeScreen = test::PatternGif(4, 4);
    onHugeScreen.screenWidth = 65535;
    onHugeScreen.screenHeight = 4000;
    const std::string out = dir_.File("bomb.bmp");
    const CliResult r = Picture(Embed(test::EncodeGif(onHugeScreen), 0), out);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "octile-cli: 画像の大きさ 65535x4000 ピクセルは上限の 64 "
              "メガピクセルを超えています（[View] MaxPictureMegapixels）\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(out));
    const CliResult english =
        Picture(Embed(test::EncodeGif(onHugeScreen), 0), out, {}, {.locale = {"LANG=C"}});
    EXPECT_EQ(english.status, 1);
    EXPECT_EQ(english.err,
              "octile-cli: the picture declares 65535x4000 pixels, more than the limit of 64 "
              "megapixels ([View] MaxPictureMegapixels)\n");
}

TEST_F(CliPictureLimitTest, TheLimitComesFromTheSettingsAndOddValuesKeepTheDefault) {
    // One megapixel exactly, and one row more.
    const Bytes at = test::EncodePng(test::GradientImage(1000, 1000));
    const Bytes over = test::EncodePng(test::GradientImage(1000, 1001));
    struct Case {
        const char* stored;
        bool overTaken;
    };
    const Case cases[] = {
        {"1", false}, {"256", true}, {"0", true}, {"-1", true}, {"257", true}, {"x", true},
    };
    const std::string out = dir_.File("limit.bmp");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        SetLimit(c.stored);
        EXPECT_EQ(Picture(Embed(at, 1), out).status, 0);
        const CliResult r = Picture(Embed(over, 1), out, {}, {.locale = {"LANG=C"}});
        EXPECT_EQ(r.status, c.overTaken ? 0 : 1);
        if (!c.overTaken) {
            EXPECT_EQ(r.err,
                      "octile-cli: the picture declares 1000x1001 pixels, more than the limit "
                      "of 1 megapixels ([View] MaxPictureMegapixels)\n");
        }
    }
}

}  // namespace
}  // namespace octile
