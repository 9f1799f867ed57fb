// CDib: taking packed bitmaps (and refusing hostile ones), the bitmap file
// layout written and read, the drawing rectangle, and the save command.
#include "picture/dib.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <random>

#include "core/fake_host.h"
#include "core/temp_dir.h"
#include "core/test_dibs.h"
#include "core/test_images.h"
#include "util/utf.h"

namespace octile {
namespace {

using test::Bytes;
using test::ReadLe16;
using test::ReadLe32;

using test::DibShape;
using test::MakeCoreDib;
using test::MakeDib;
using test::Put32;

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
        EXPECT_EQ(holder.Palette()[i],
                  (PaletteEntry{dib[40 + i * 4 + 2], dib[40 + i * 4 + 1], dib[40 + i * 4], 0}));
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

TEST(DibReadBitmapFile, TakesWhatTheHeaderLaysOutWithinTheFileSizeField) {
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
        Bytes file;           // written after 5 leading bytes
        uint64_t expectSize;  // 0: nothing
    };
    const Case cases[] = {
        {"exact size", bitmapFile(exact), dib.size()},
        {"size smaller than the data present", bitmapFile(exact - 6), dib.size() - 6},
        {"size past the pixels: only what the header lays out",
         [&] {
             Bytes f = bitmapFile(exact + 4000);
             f.resize(f.size() + 4000, 0xEE);
             return f;
         }(),
         dib.size()},
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
        {"twice as wide: top and bottom cut",
         {0, 0, 40, 30},
         {0, 0, 80, 30},
         true,
         {0, -15, 80, 45}},
        {"twice as high: left and right cut",
         {0, 0, 40, 30},
         {0, 0, 40, 60},
         true,
         {-20, 0, 60, 60}},
        {"offset target", {0, 0, 10, 10}, {5, 7, 25, 17}, true, {5, 2, 25, 22}},
        {"keep-aspect off", {0, 0, 40, 30}, {0, 0, 80, 30}, false, {0, 0, 80, 30}},
        {"large picture in a large window",
         {0, 0, 60000, 40000},
         {0, 0, 60000, 80000},
         true,
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

}  // namespace
}  // namespace octile
