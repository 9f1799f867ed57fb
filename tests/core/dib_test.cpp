// CDib: taking packed bitmaps (and refusing hostile ones), the bitmap file
// layout written and read, the drawing rectangle, and the save command.
#include "picture/dib.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <random>

#include "core/fake_host.h"
#include "core/temp_dir.h"
#include "core/test_images.h"
#include "picture/bitmap_save.h"
#include "resources/resources.h"
#include "util/utf.h"

namespace octile {
namespace {

using test::Bytes;
using test::ReadLe16;
using test::ReadLe32;

void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

struct DibShape {
    int32_t width = 4;
    int32_t height = 4;
    uint16_t bits = 24;
    uint32_t used = 0;         // used-colours field
    uint32_t compression = 0;
    uint32_t imageSizeField = 0;
    uint64_t rleBytes = 0;     // pixel bytes of a run-length encoded picture
};

uint64_t Stride(const DibShape& s) { return (uint64_t{s.bits} * uint64_t(s.width) + 31) / 32 * 4; }
uint32_t Colours(const DibShape& s) { return s.used != 0 ? s.used : s.bits <= 8 ? 1u << s.bits : 0; }
uint64_t ImageBytes(const DibShape& s) {
    return s.compression != 0 ? s.rleBytes : Stride(s) * uint64_t(s.height < 0 ? -int64_t(s.height) : s.height);
}

// A packed bitmap with a 40-byte header, its colour table and random pixels.
Bytes MakeDib(const DibShape& s, uint32_t seed = 7) {
    Bytes dib(40 + Colours(s) * 4 + ImageBytes(s));
    Put32(&dib[0], 40);
    Put32(&dib[4], uint32_t(s.width));
    Put32(&dib[8], uint32_t(s.height));
    dib[12] = 1;
    dib[14] = uint8_t(s.bits);
    Put32(&dib[16], s.compression);
    Put32(&dib[20], s.imageSizeField);
    Put32(&dib[32], s.used);
    std::mt19937 rng(seed);
    for (size_t i = 40; i < dib.size(); ++i) dib[i] = uint8_t(rng());
    return dib;
}

// A core-header (12-byte) bitmap: 16-bit width and height, 3-byte colours.
Bytes MakeCoreDib(uint16_t width, uint16_t height, uint16_t bits) {
    const uint32_t colours = bits <= 8 ? 1u << bits : 0;
    const uint64_t stride = (uint64_t{bits} * width + 31) / 32 * 4;
    Bytes dib(12 + colours * 3 + stride * height);
    Put32(&dib[0], 12);
    dib[4] = uint8_t(width);
    dib[5] = uint8_t(width >> 8);
    dib[6] = uint8_t(height);
    dib[7] = uint8_t(height >> 8);
    dib[8] = 1;
    dib[10] = uint8_t(bits);
    for (size_t i = 12; i < dib.size(); ++i) dib[i] = uint8_t(i * 13);
    return dib;
}

Bytes Prefix(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + long(n)); }

std::string AsString(const Bytes& b) { return std::string(b.begin(), b.end()); }

TEST(DibFileLayout, HeaderOffsetsAndSizesFollowTheColourTable) {
    struct Case {
        const char* name;
        DibShape shape;
        uint32_t pixelOffset;
        uint32_t imageSize;
    };
    const Case cases[] = {
        {"24 bits: no colour table", {5, 3, 24}, 54, 16 * 3},
        {"8 bits, used colours 0: 256 entries", {7, 2, 8}, 1078, 8 * 2},
        {"8 bits, 20 used colours", {7, 2, 8, 20}, 54 + 80, 8 * 2},
        {"4 bits: 16 entries", {9, 4, 4}, 54 + 64, 8 * 4},
        {"1 bit: 2 entries", {33, 2, 1}, 54 + 8, 8 * 2},
        {"32 bits", {3, 3, 32}, 54, 12 * 3},
        {"16 bits", {3, 2, 16}, 54, 8 * 2},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes dib = MakeDib(c.shape);
        Put32(&dib[20], 12345);  // a wrong image-size field is corrected
        CDib holder;
        ASSERT_NE(holder.TakeBitmap(dib), 0);
        const std::string path = dir.Write("out.bmp", "");
        ASSERT_TRUE(holder.SaveBitmap(path));
        const std::string file = test::ReadAll(path);
        const auto* p = reinterpret_cast<const uint8_t*>(file.data());
        ASSERT_EQ(file.size(), size_t{c.pixelOffset} + c.imageSize);
        EXPECT_EQ(file.substr(0, 2), "BM");
        EXPECT_EQ(ReadLe32(p + 2), file.size());
        EXPECT_EQ(ReadLe16(p + 6), 0);
        EXPECT_EQ(ReadLe16(p + 8), 0);
        EXPECT_EQ(ReadLe32(p + 10), c.pixelOffset);
        EXPECT_EQ(ReadLe32(p + 14 + 20), c.imageSize);
        Put32(&dib[20], c.imageSize);
        EXPECT_EQ(file.substr(14), AsString(dib));
    }
}

TEST(DibFileLayout, TopDownPictureSavesWithItsAbsoluteHeightAndReadsBack) {
    const DibShape shape{6, -3, 24};
    const Bytes dib = MakeDib(shape);
    CDib holder;
    ASSERT_EQ(holder.TakeBitmap(dib), 1);
    EXPECT_TRUE(holder.IsTopDown());
    EXPECT_EQ(holder.GetPictureRect(), (PictureRect{0, 0, 6, 3}));

    test::TempDir dir;
    const std::string path = dir.Write("top.bmp", "");
    ASSERT_TRUE(holder.SaveBitmap(path));
    const std::string file = test::ReadAll(path);
    const auto* p = reinterpret_cast<const uint8_t*>(file.data());
    const uint32_t image = 20 * 3;  // stride 20 for 6 pixels, three rows
    ASSERT_EQ(file.size(), 54u + image);
    EXPECT_EQ(ReadLe32(p + 2), 54u + image);
    EXPECT_EQ(int32_t(ReadLe32(p + 14 + 8)), -3);  // rows stay top row first
    EXPECT_EQ(ReadLe32(p + 14 + 20), image);
    // The rows come out in the order they were held: first stored row on top.
    const test::Image pixels = test::BmpFilePixels(file);
    ASSERT_EQ(pixels.height, 3u);
    EXPECT_EQ(pixels.At(0, 0), (test::Rgb{dib[40 + 2], dib[40 + 1], dib[40]}));

    // Read back as a bitmap file: the same picture, still top-down.
    OpenError error;
    const FileHandle f = FileHandle::Open(path, FileHandle::ReadOnly, &error);
    CDib again;
    ASSERT_EQ(again.TakeBitmap(ReadBitmapFile(f, 0)), 1);
    EXPECT_TRUE(again.IsTopDown());
    EXPECT_EQ(again.GetPictureRect(), holder.GetPictureRect());
    EXPECT_EQ(again.BitmapFileBytes(), Bytes(file.begin(), file.end()));
}

TEST(DibTakeBitmap, HostileHeadersAreNotTakenAndKeepThePreviousPicture) {
    struct Case {
        const char* name;
        Bytes block;
    };
    const auto with = [](DibShape s, auto edit) {
        Bytes b = MakeDib(s);
        edit(b);
        return b;
    };
    const auto none = [](Bytes&) {};
    const Case cases[] = {
        {"empty block", {}},
        {"shorter than the header size field", {40, 0, 0}},
        {"header size 0", with({}, [](Bytes& b) { Put32(&b[0], 0); })},
        {"header size 41", with({}, [](Bytes& b) { Put32(&b[0], 41); })},
        {"header size 108 (a version 4 header)", with({}, [](Bytes& b) { Put32(&b[0], 108); })},
        {"header size 40 in a 39-byte block", Prefix(MakeDib({}), 39)},
        {"width 0", with({}, [](Bytes& b) { Put32(&b[4], 0); })},
        {"negative width", with({}, [](Bytes& b) { Put32(&b[4], uint32_t(-4)); })},
        {"height 0", with({}, [](Bytes& b) { Put32(&b[8], 0); })},
        {"height INT_MIN", with({}, [](Bytes& b) { Put32(&b[8], 0x80000000u); })},
        {"0 bits per pixel", with({}, [](Bytes& b) { b[14] = 0; })},
        {"7 bits per pixel", with({}, [](Bytes& b) { b[14] = 7; })},
        {"bit-field compression", with({}, [](Bytes& b) { Put32(&b[16], 3); })},
        {"run-length compression of 24 bits", with({}, [](Bytes& b) { Put32(&b[16], 1); Put32(&b[20], 8); })},
        {"run-length encoded and top-down", with({4, -4, 8, 0, 1, 16, 16}, none)},
        {"run-length image size past the block", with({4, 4, 8, 0, 1, 17, 16}, none)},
        {"run-length image size 0", with({4, 4, 8, 0, 1, 0, 16}, none)},
        {"257 used colours", with({4, 4, 8, 257}, none)},
        {"colour table cut by the block", Prefix(MakeDib({4, 4, 8}), 140)},
        {"pixels one byte short", with({}, [](Bytes& b) { b.pop_back(); })},
        {"width 0x7FFFFFFF at 32 bits", with({}, [](Bytes& b) { Put32(&b[4], 0x7FFFFFFF); b[14] = 32; })},
        {"16384 x 16384 at 24 bits", with({}, [](Bytes& b) { Put32(&b[4], 16384); Put32(&b[8], 16384); })},
        {"core header with a cut colour table", Prefix(MakeCoreDib(4, 4, 8), 100)},
        {"core header with width 0", [] { Bytes b = MakeCoreDib(4, 4, 24); b[4] = 0; return b; }()},
    };
    const Bytes good = MakeDib({3, 2, 24}, 99);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDib holder;
        ASSERT_EQ(holder.TakeBitmap(good), 1);
        const Bytes held = holder.Bitmap();
        const uint64_t serial = holder.Serial();
        EXPECT_EQ(holder.TakeBitmap(c.block), 0);
        EXPECT_EQ(holder.Serial(), serial);
        EXPECT_EQ(holder.GetPictureRect(), (PictureRect{0, 0, 3, 2}));
        EXPECT_EQ(holder.Bitmap(), held);
    }
}

TEST(DibTakeBitmap, AcceptedFormsSetRectangleFlagAndPalette) {
    CDib holder;
    EXPECT_EQ(holder.TakeBitmap(std::nullopt), 0);
    EXPECT_TRUE(holder.GetPictureRect().IsEmpty());
    EXPECT_FALSE(holder.HasBitmap());

    // 8 bits with 3 used colours: palette entries are red, green, blue of
    // the table's blue, green, red, reserved entries.
    Bytes dib = MakeDib({5, 2, 8, 3});
    ASSERT_NE(holder.TakeBitmap(dib), 0);
    ASSERT_EQ(holder.Palette().size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(holder.Palette()[i], (PaletteEntry{dib[40 + i * 4 + 2], dib[40 + i * 4 + 1], dib[40 + i * 4], 0}));
    }
    EXPECT_EQ(holder.GetPictureRect(), (PictureRect{0, 0, 5, 2}));
    EXPECT_FALSE(holder.IsTopDown());

    // A block longer than its picture is trimmed to the packed size.
    Bytes longer = MakeDib({2, 2, 24});
    const size_t packed = longer.size();
    longer.resize(packed + 100, 0xEE);
    ASSERT_EQ(holder.TakeBitmap(longer), 1);
    EXPECT_EQ(holder.Bitmap().size(), packed);
    EXPECT_TRUE(holder.Palette().empty());

    // Core header: taken and drawn, with 3-byte colour entries, but not saved.
    const Bytes core = MakeCoreDib(300, 2, 8);
    ASSERT_NE(holder.TakeBitmap(core), 0);
    EXPECT_EQ(holder.GetPictureRect(), (PictureRect{0, 0, 300, 2}));
    ASSERT_EQ(holder.Palette().size(), 256u);
    EXPECT_EQ(holder.Palette()[1], (PaletteEntry{core[12 + 5], core[12 + 4], core[12 + 3], 0}));
    test::TempDir dir;
    const std::string path = dir.Write("core.bmp", "");
    EXPECT_FALSE(holder.SaveBitmap(path));
    const auto file = holder.BitmapFileBytes();
    ASSERT_GE(file.size(), 14u);
    EXPECT_EQ(ReadLe32(file.data() + 10), 14u + 12 + 256 * 3);

    // Run-length encoded: the image-size field gives the pixel bytes.
    const Bytes rle = MakeDib({4, 4, 8, 2, 1, 10, 10});
    ASSERT_NE(holder.TakeBitmap(rle), 0);
    ASSERT_TRUE(holder.SaveBitmap(path));
    const std::string saved = test::ReadAll(path);
    EXPECT_EQ(saved.size(), 54u + 8 + 10);
    EXPECT_EQ(saved.substr(14), AsString(rle));

    EXPECT_TRUE(holder.Clear());
    EXPECT_FALSE(holder.Clear());
    EXPECT_TRUE(holder.GetPictureRect().IsEmpty());
    EXPECT_FALSE(holder.SaveBitmap(path));
}

TEST(DibReadBitmapFile, TakesFileSizeMinus14BytesOnlyWhenTheFileHoldsThem) {
    const Bytes dib = MakeDib({3, 3, 24});
    const auto bitmapFile = [&](uint32_t sizeField, const char* type = "BM") {
        Bytes f(14, 0);
        f[0] = uint8_t(type[0]);
        f[1] = uint8_t(type[1]);
        Put32(&f[2], sizeField);
        Put32(&f[10], 54);
        f.insert(f.end(), dib.begin(), dib.end());
        return f;
    };
    const uint32_t exact = uint32_t(14 + dib.size());
    struct Case {
        const char* name;
        Bytes file;            // written after 5 leading bytes
        uint64_t expectSize;   // 0: nothing
    };
    const Case cases[] = {
        {"exact size", bitmapFile(exact), dib.size()},
        {"size smaller than the data present", bitmapFile(exact - 6), dib.size() - 6},
        {"size one byte more than the file holds", bitmapFile(exact + 1), 0},
        {"size 0xFFFFFFFF", bitmapFile(0xFFFFFFFF), 0},
        {"size 13", bitmapFile(13), 0},
        {"size 14", bitmapFile(14), 0},
        {"not BM", bitmapFile(exact, "MB"), 0},
        {"shorter than a file header", Bytes{'B', 'M', 1, 2, 3}, 0},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes content = {1, 2, 3, 4, 5};
        content.insert(content.end(), c.file.begin(), c.file.end());
        const std::string path = dir.Write("in.bin", content);
        OpenError error;
        const FileHandle f = FileHandle::Open(path, FileHandle::ReadOnly, &error);
        const auto block = ReadBitmapFile(f, 5);
        if (c.expectSize == 0) {
            EXPECT_FALSE(block.has_value());
        } else {
            ASSERT_TRUE(block.has_value());
            EXPECT_EQ(*block, Bytes(dib.begin(), dib.begin() + long(c.expectSize)));
        }
    }
}

TEST(DibReadBitmapFile, RoundTripsThroughTheHolder) {
    test::TempDir dir;
    for (const DibShape shape : {DibShape{13, 5, 24}, DibShape{10, 3, 8}, DibShape{17, 2, 4, 16}}) {
        SCOPED_TRACE(shape.bits);
        Bytes dib = MakeDib(shape);
        Put32(&dib[20], uint32_t(ImageBytes(shape)));
        Bytes file(14, 0);
        file[0] = 'B';
        file[1] = 'M';
        Put32(&file[2], uint32_t(14 + dib.size()));
        Put32(&file[10], uint32_t(54 + Colours(shape) * 4));
        file.insert(file.end(), dib.begin(), dib.end());
        const std::string in = dir.Write("in.bmp", file);
        OpenError error;
        const FileHandle f = FileHandle::Open(in, FileHandle::ReadOnly, &error);
        CDib holder;
        ASSERT_NE(holder.TakeBitmap(ReadBitmapFile(f, 0)), 0);
        const std::string out = dir.Write("out.bmp", "");
        ASSERT_TRUE(holder.SaveBitmap(out));
        EXPECT_EQ(test::ReadAll(out), AsString(file));
    }
}

TEST(DibPaintPicture, KeepAspectCoversTheTargetCentred) {
    struct Case {
        const char* name;
        PictureRect picture;
        PictureRect target;
        bool keepAspect;
        PictureRect expected;
    };
    const Case cases[] = {
        {"same proportions: unchanged", {0, 0, 40, 30}, {0, 0, 80, 60}, true, {0, 0, 80, 60}},
        {"twice as wide: top and bottom cut", {0, 0, 40, 30}, {0, 0, 80, 30}, true, {0, -15, 80, 45}},
        {"twice as high: left and right cut", {0, 0, 40, 30}, {0, 0, 40, 60}, true, {-20, 0, 60, 60}},
        {"offset target", {0, 0, 10, 10}, {5, 7, 25, 17}, true, {5, 2, 25, 22}},
        {"keep-aspect off", {0, 0, 40, 30}, {0, 0, 80, 30}, false, {0, 0, 80, 30}},
        {"large picture in a large window", {0, 0, 60000, 40000}, {0, 0, 60000, 80000}, true,
         {-30000, 0, 90000, 80000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(KeepAspectRect(c.picture, c.target, c.keepAspect), c.expected);
    }
    CDib holder;
    EXPECT_FALSE(holder.PaintPicture({0, 0, 10, 10}, true).has_value());
    ASSERT_EQ(holder.TakeBitmap(MakeDib({40, 30, 24})), 1);
    EXPECT_EQ(holder.PaintPicture({0, 0, 80, 30}, true), (PictureRect{0, -15, 80, 45}));
}

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
    dir_.Write("picture.bmp", std::string(5000, 'x'));  // an existing longer file is emptied
    Choose(path);
    EXPECT_TRUE(OnFileSaveBitmap(host_, dib_, doc_));
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
        EXPECT_FALSE(OnFileSaveBitmap(host_, dib_, doc_));
        ASSERT_EQ(host_.messages.size(), 1u);
        EXPECT_EQ(host_.messages[0].text,
                  ReplacePercent1(LoadString(IDS_SAVE_ERROR), Utf8ToUtf16(name)));
        EXPECT_EQ(test::ReadAll(open), std::string(300, 'o'));
    }
    // Another file is written as usual.
    Choose(dir_.File("other.bmp"));
    EXPECT_TRUE(OnFileSaveBitmap(host_, dib_, doc_));
}

TEST_F(SaveBitmapCommand, CancelNameWithoutBaseAndWriteFailures) {
    // Cancel: nothing asked, nothing written.
    EXPECT_FALSE(OnFileSaveBitmap(host_, dib_, doc_));
    EXPECT_TRUE(host_.messages.empty());

    // ".bmp" as the whole name: "FileOpen NG", no file.
    Choose(dir_.File(".bmp"));
    EXPECT_FALSE(OnFileSaveBitmap(host_, dib_, doc_));
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].text, u"FileOpen NG");
    EXPECT_FALSE(std::filesystem::exists(dir_.File(".bmp")));

    // A folder that does not exist: message 10000 with the full path.
    const std::string missing = dir_.File("no/such/folder/p.bmp");
    Choose(missing);
    EXPECT_FALSE(OnFileSaveBitmap(host_, dib_, doc_));
    ASSERT_EQ(host_.messages.size(), 2u);
    EXPECT_EQ(host_.messages[1].text, ReplacePercent1(LoadString(IDS_SAVE_ERROR), Utf8ToUtf16(missing)));

    // The file is created but the write fails (a full device).
    if (std::filesystem::exists("/dev/full")) {
        Choose("/dev/full");
        EXPECT_FALSE(OnFileSaveBitmap(host_, dib_, doc_));
        ASSERT_EQ(host_.messages.size(), 3u);
        EXPECT_EQ(host_.messages[2].text, ReplacePercent1(LoadString(IDS_SAVE_ERROR), u"/dev/full"));
    }
}

}  // namespace
}  // namespace octile
