// Picture detection and the plug-in host: the signature table, the calls the
// plug-ins receive (through a recording test plug-in), what is taken from
// them, and the real JPEG, PNG and GIF plug-ins decoding real pictures.
#include "picture/picture_host.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "core/post_queue.h"
#include "core/temp_dir.h"
#include "core/test_dibs.h"
#include "core/test_images.h"
#include "picture/picture_loader.h"
#include "picture/spi.h"

namespace octile {
namespace {

namespace fs = std::filesystem;
using test::BitmapFile;
using test::Bytes;
using test::Image;
using test::Rgb;

// The recording plug-in's picture format and its modes.
enum Mode : uint8_t {
    kModeNoDescriptor = 0x01,
    kModeFileFails = 0x02,
    kModeTopDown = 0x04,
    kModePaletted = 0x08,
    kModeHugeWidth = 0x10,
    kModeShortBits = 0x20,
    kModeCoreHeader = 0x40,
    kModeSlow = 0x80,  // decoding takes a second unless the host asks it to stop
};

Bytes MakiPicture(const Image& img, uint8_t mode = 0) {
    Bytes b = {'M', 'A', 'K', 'I', mode, uint8_t(img.width), uint8_t(img.height)};
    for (const Rgb& p : img.pixels) b.insert(b.end(), {p.r, p.g, p.b});
    return b;
}

Bytes Junk(size_t n, uint32_t seed = 3) {
    std::mt19937 rng(seed);
    Bytes b(n);
    // No byte of the junk starts a signature or the test format.
    for (auto& x : b) x = uint8_t('a' + rng() % 8);
    return b;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

Image Pixels(const CDib& dib) { return test::PackedPixels(dib.Bitmap()); }

// ---------------------------------------------------------------------------
// Signatures.

TEST(DetectSignature, TableOrderBackOffsetsAndWindowBounds) {
    const auto bmpHeader = [](uint32_t size = 0x1000, uint32_t header = 40, uint16_t planes = 1) {
        Bytes h(28, 0);
        h[0] = 'B';
        h[1] = 'M';
        for (int i = 0; i < 4; ++i) h[2 + i] = uint8_t(size >> (8 * i));
        h[14] = uint8_t(header);
        h[26] = uint8_t(planes);
        return h;
    };
    const auto text = [](const char* s) { return Bytes(s, s + std::strlen(s)); };
    using S = PictureSignature;
    struct Case {
        const char* name;
        Bytes window;  // the window's bytes
        uint64_t windowOffset;
        uint64_t anchor;
        std::optional<SignatureMatch> expected;
        uint32_t cut = 0;  // the window's last bytes that are not file bytes
    };
    Bytes reservedHigh = bmpHeader();
    reservedHigh[9] = 0x55;  // outside the 32 bits tested at +5
    const Case cases[] = {
        {"bitmap header at the anchor", Concat({Junk(3), bmpHeader()}), 0x100, 0x103,
         SignatureMatch{S::Bitmap, 0x103}},
        {"bitmap header one byte before", Concat({Junk(3), bmpHeader()}), 0x100, 0x104,
         SignatureMatch{S::BitmapBefore, 0x103}},
        {"bitmap header two bytes before", Concat({Junk(3), bmpHeader()}), 0x100, 0x105,
         std::nullopt},
        {"header starting before the window",
         [&] {
             Bytes h = bmpHeader();
             h.erase(h.begin());
             return h;
         }(),
         0x101, 0x101, std::nullopt},
        {"file size of 16 MiB (byte 5 set)", bmpHeader(0x01000000), 0, 0, std::nullopt},
        {"high byte of the second reserved word is not tested", reservedHigh, 0, 0,
         SignatureMatch{S::Bitmap, 0}},
        {"core header", bmpHeader(0x1000, 12), 0, 0, std::nullopt},
        {"two planes", bmpHeader(0x1000, 40, 2), 0, 0, std::nullopt},
        {"bitmap header cut by the valid bytes", bmpHeader(), 0, 0, std::nullopt, 1},
        {"FF D8", Concat({Junk(5), {0xFF, 0xD8}}), 0x10, 0x15, SignatureMatch{S::Jpeg, 0x15}},
        {"FF with D8 past the valid bytes", Concat({Junk(5), {0xFF, 0xD8}}), 0x10, 0x15,
         std::nullopt, 1},
        {"MAKI cut by the valid bytes", text("MAKI"), 0x10, 0x10, std::nullopt, 1},
        {"GIF", text("GIF89a"), 0x20, 0x20, SignatureMatch{S::Gif, 0x20}},
        {"PICT", text("PICT"), 0x20, 0x20, SignatureMatch{S::Pict, 0x20}},
        {"Pi", text("Pi"), 0x20, 0x20, SignatureMatch{S::Pi, 0x20}},
        {"PI is not Pi", text("PIx"), 0x20, 0x20, std::nullopt},
        {"MAKI", text("MAKI02"), 0x20, 0x20, SignatureMatch{S::Maki, 0x20}},
        {"JFIF starts 6 bytes earlier", Concat({Junk(6), text("JFIF")}), 0x30, 0x36,
         SignatureMatch{S::Jfif, 0x30}},
        {"JFIF at the window start, picture before it", text("JFIF"), 0x30, 0x30,
         SignatureMatch{S::Jfif, 0x2A}},
        {"JFIF less than 6 bytes into the file", text("JFIF"), 3, 3, std::nullopt},
        {"PNG starts 1 byte earlier", Concat({{0x89}, text("PNG")}), 0x40, 0x41,
         SignatureMatch{S::Png, 0x40}},
        {"PNG at the file start", text("PNG"), 0, 0, std::nullopt},
        {"anchor on the 0x89 of a PNG", Concat({{0x89}, text("PNG")}), 0x40, 0x40, std::nullopt},
        {"anchor before the window", text("GIF"), 0x40, 0x3F, std::nullopt},
        {"anchor past the valid bytes", text("GIF"), 0x40, 0x43, std::nullopt},
        {"no signature", Junk(64), 0, 10, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Past the valid bytes the window holds signatures that must not count.
        Bytes window = c.window;
        const uint32_t valid = uint32_t(window.size() - c.cut);
        const Bytes tail = Concat({text("GIF"), bmpHeader()});
        window.insert(window.end(), tail.begin(), tail.end());
        const auto m = DetectSignature(window.data(), valid, c.windowOffset, c.anchor);
        ASSERT_EQ(m.has_value(), c.expected.has_value());
        if (m) {
            EXPECT_EQ(m->signature, c.expected->signature);
            EXPECT_EQ(m->start, c.expected->start);
        }
    }
}

// ---------------------------------------------------------------------------
// The host with the recording plug-in.

class PluginHostTest : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = dir_.File("spi");
        fs::create_directory(folder_);
        log_ = dir_.File("calls.log");
        ::setenv("OCTILE_SPI_LOG", log_.c_str(), 1);
        host_.SetPlugInFolder(folder_);
    }
    void TearDown() override {
        ::unsetenv("OCTILE_SPI_LOG");
        EXPECT_TRUE(NoneLoaded());
    }

    // Copies test plug-in variant into the folder under the given name.
    void Install(const std::string& variant, const std::string& as) {
        fs::copy_file(std::string(OCTILE_TEST_SPI_DIR) + "/" + variant + ".spi",
                      folder_ + "/" + as);
    }

    // The calls recorded since the last look, one per line.
    std::vector<std::string> Calls() {
        std::vector<std::string> lines;
        std::istringstream in(test::ReadAll(log_));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        fs::remove(log_);
        return lines;
    }

    // True when no library of the folder is loaded.
    bool NoneLoaded() const {
        bool none = true;
        for (const auto& e : fs::directory_iterator(folder_)) {
            if (void* h = ::dlopen(e.path().c_str(), RTLD_LAZY | RTLD_NOLOAD)) {
                ADD_FAILURE() << e.path() << " is still loaded";
                ::dlclose(h);
                none = false;
            }
        }
        return none;
    }

    std::string Write(const std::string& name, const Bytes& content) {
        return dir_.Write(name, content);
    }

    test::TempDir dir_;
    std::string folder_;
    std::string log_;
    PictureHost host_;
    CDib dib_;
};

TEST_F(PluginHostTest, DescriptorProbeThenDecodeFromTheFileAtThePictureOffset) {
    Install("a", "a.spi");
    const Image img = test::PatternImage(3, 2);
    const std::string path = Write("pic.bin", Concat({Junk(0x123), MakiPicture(img), Junk(50)}));
    EXPECT_EQ(host_.LoadPicture(dib_, path, 0x123), 1);
    EXPECT_EQ(Pixels(dib_), img);
    EXPECT_EQ(host_.LastHit(), PictureHost::Hit::Direct);
    EXPECT_EQ(host_.LastPluginPath(), folder_ + "/a.spi");
    EXPECT_FALSE(host_.HasPlugin());
    const std::vector<std::string> expected = {
        "a info 0 5",
        "a supported fd 291 " + path + " yes",
        "a picture file 291 " + path,
    };
    EXPECT_EQ(Calls(), expected);
}

TEST_F(PluginHostTest, MemoryProbeHoldsTheBytesFromTheOffsetToTheEnd) {
    Install("a", "a.spi");
    const Image img = test::PatternImage(4, 3);
    const Bytes picture = Concat({MakiPicture(img, kModeNoDescriptor), Junk(20)});
    const std::string path = Write("pic.bin", Concat({Junk(0x40), picture}));
    EXPECT_EQ(host_.LoadPicture(dib_, path, 0x40), 1);
    EXPECT_EQ(Pixels(dib_), img);
    const auto calls = Calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[0], "a info 0 5");
    EXPECT_EQ(calls[1], "a supported fd 64 " + path + " no");
    EXPECT_EQ(calls[2], "a info 0 5");
    // The address probed is the address decoded, with n = length - offset.
    unsigned long long probed = 0, decoded = 0, length = 0;
    char name[512] = {};
    ASSERT_EQ(std::sscanf(calls[3].c_str(), "a supported mem %llu %511s yes", &probed, name), 2);
    EXPECT_EQ(name, path);
    ASSERT_EQ(std::sscanf(calls[4].c_str(), "a picture mem %llu %llu", &decoded, &length), 2);
    EXPECT_EQ(decoded, probed);
    EXPECT_EQ(length, picture.size());
    EXPECT_GE(probed, uint64_t(kSpiAddressMin));
}

TEST_F(PluginHostTest, MemoryProbeReadsAtMostOneMebibyte) {
    Install("a", "a.spi");
    const Image img = test::PatternImage(2, 2);
    const std::string path =
        Write("big.bin", Concat({Junk(0x10), MakiPicture(img, kModeNoDescriptor)}));
    fs::resize_file(path, 0x10 + 3 * 1048576);  // sparse tail
    EXPECT_EQ(host_.LoadPicture(dib_, path, 0x10), 1);
    const auto calls = Calls();
    ASSERT_FALSE(calls.empty());
    unsigned long long address = 0, length = 0;
    ASSERT_EQ(std::sscanf(calls.back().c_str(), "a picture mem %llu %llu", &address, &length), 2);
    EXPECT_EQ(length, 1048576u);
}

TEST_F(PluginHostTest, PictureBehind128ByteHeaderIsFoundAtAddressPlus128) {
    Install("a", "a.spi");
    const Image img = test::PatternImage(3, 3);
    const Bytes rest = Concat({Junk(128, 9), MakiPicture(img)});
    const std::string path = Write("mac.bin", Concat({Junk(0x21), rest}));
    EXPECT_EQ(host_.LoadPicture(dib_, path, 0x21), 1);
    EXPECT_EQ(Pixels(dib_), img);
    EXPECT_EQ(host_.LastHit(), PictureHost::Hit::Skip128);
    const auto calls = Calls();
    // Descriptor: no second try. Memory: address, then address + 128; the
    // decode at the address fails, the one at address + 128 succeeds.
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(calls[1], "a supported fd 33 " + path + " no");
    unsigned long long first = 0, second = 0, d1 = 0, n1 = 0, d2 = 0, n2 = 0;
    ASSERT_EQ(std::sscanf(calls[3].c_str(), "a supported mem %llu", &first), 1);
    EXPECT_NE(calls[3].find(" no"), std::string::npos);
    ASSERT_EQ(std::sscanf(calls[4].c_str(), "a supported mem %llu", &second), 1);
    EXPECT_NE(calls[4].find(" yes"), std::string::npos);
    EXPECT_EQ(second, first + 128);
    ASSERT_EQ(std::sscanf(calls[5].c_str(), "a picture mem %llu %llu", &d1, &n1), 2);
    ASSERT_EQ(std::sscanf(calls[6].c_str(), "a picture mem %llu %llu", &d2, &n2), 2);
    EXPECT_EQ(d1, first);
    EXPECT_EQ(n1, rest.size());
    EXPECT_EQ(d2, first + 128);
    EXPECT_EQ(n2, rest.size() - 128);
}

TEST_F(PluginHostTest, EachLibraryGetsTheDescriptorAtThePicture) {
    Install("greedy", "0greedy.spi");
    Install("a", "1a.spi");
    const Image img = test::PatternImage(2, 1);
    const std::string path = Write("pic.bin", Concat({Junk(0x77), MakiPicture(img), Junk(4000)}));
    EXPECT_EQ(host_.LoadPicture(dib_, path, 0x77), 1);
    const auto calls = Calls();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[1], "greedy supported fd read 2048");
    EXPECT_EQ(calls[3], "a supported fd 119 " + path + " yes");
}

TEST_F(PluginHostTest, SearchSkipsArchivesLibrariesWithoutEntryPointsAndNonLibraries) {
    Install("archive", "0archive.spi");
    Install("noinfo", "1noinfo.spi");
    Install("a", "2a.spi");
    Install("b", "3b.spi");
    fs::create_directory(folder_ + "/1dir.spi");
    dir_.Write("spi/1junk.spi", "not a shared object");
    Install("b", "2a.txt");  // not a *.spi name
    const Image img = test::PatternImage(2, 2);
    const std::string path = Write("pic.bin", Concat({Junk(5), MakiPicture(img)}));
    EXPECT_EQ(host_.LoadPicture(dib_, path, 5), 1);
    const std::vector<std::string> expected = {
        "archive info 0 5",
        "a info 0 5",
        "a supported fd 5 " + path + " yes",
        "a picture file 5 " + path,
    };
    EXPECT_EQ(Calls(), expected);
}

TEST_F(PluginHostTest, ArchivePluginsOnlyLeaveTheBitmapFallback) {
    Install("archive", "archive.spi");
    const Image img = test::PatternImage(5, 4);
    const Bytes bmp = BitmapFile(img);
    const std::string withBmp = Write("pic.bin", Concat({Junk(9), bmp, Junk(9)}));
    EXPECT_EQ(host_.LoadPicture(dib_, withBmp, 9), 1);
    EXPECT_EQ(Pixels(dib_), img);
    EXPECT_EQ(host_.LastHit(), PictureHost::Hit::None);
    // Asked for its version on each search, never whether it supports anything.
    for (const std::string& call : Calls()) EXPECT_EQ(call, "archive info 0 5");

    const std::string maki = Write("maki.bin", MakiPicture(img));
    EXPECT_EQ(host_.LoadPicture(dib_, maki, 0), 0);
    EXPECT_EQ(Pixels(dib_), img);  // the previous picture stays
}

TEST_F(PluginHostTest, AcceptingLibraryWithoutGetPictureFallsThrough) {
    Install("nopicture", "nopicture.spi");
    const Image img = test::PatternImage(2, 2);
    const std::string path = Write("pic.bin", MakiPicture(img));
    EXPECT_EQ(host_.LoadPicture(dib_, path, 0), 0);
    EXPECT_FALSE(dib_.HasBitmap());
    const auto calls = Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[1], "nopicture supported fd 0 " + path + " yes");
    EXPECT_EQ(calls[3].rfind("nopicture supported mem ", 0), 0u);
}

TEST_F(PluginHostTest, FailingFileDecodeTriesOffsetPlus128ThenMemory) {
    Install("a", "a.spi");
    const Image img = test::PatternImage(3, 1);
    const std::string path =
        Write("pic.bin", Concat({Junk(0x10), MakiPicture(img, kModeFileFails)}));
    EXPECT_EQ(host_.LoadPicture(dib_, path, 0x10), 1);
    EXPECT_EQ(Pixels(dib_), img);
    const auto calls = Calls();
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(calls[2], "a picture file 16 " + path);
    EXPECT_EQ(calls[3], "a picture file 144 " + path);
    EXPECT_EQ(calls[6].rfind("a picture mem ", 0), 0u);
}

TEST_F(PluginHostTest, BmpAndM3uExtensionsBypassThePlugins) {
    Install("a", "a.spi");
    const Image bmpImage = test::PatternImage(3, 2, 11);
    const Image makiImage = test::PatternImage(2, 2, 12);
    struct Case {
        const char* name;
        Bytes atOffset;
        bool taken;
    };
    const Case cases[] = {
        {"x.bmp", BitmapFile(bmpImage), true},     {"x.BMP", BitmapFile(bmpImage), true},
        {"x.Bmp", MakiPicture(makiImage), false},  // read as a bitmap file only
        {"x.m3u", BitmapFile(bmpImage), false},    {"x.M3u", MakiPicture(makiImage), false},
        {"x.m3u.bmp", BitmapFile(bmpImage), true},
    };
    const Bytes previous = BitmapFile(test::PatternImage(1, 1));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDib dib;
        const std::string first = Write("first.bmp", previous);
        ASSERT_EQ(host_.LoadPicture(dib, first, 0), 1);
        const std::string path = Write(c.name, Concat({Junk(7), c.atOffset}));
        EXPECT_EQ(host_.LoadPicture(dib, path, 7), c.taken ? 1 : 0);
        EXPECT_EQ(Pixels(dib), c.taken ? bmpImage : test::PatternImage(1, 1));
        EXPECT_TRUE(Calls().empty());
    }
    // A dot in a folder name is not an extension.
    fs::create_directory(dir_.File("d.bmp"));
    const std::string inFolder = Write("d.bmp/picture", MakiPicture(makiImage));
    EXPECT_EQ(host_.LoadPicture(dib_, inFolder, 0), 1);
    EXPECT_EQ(Pixels(dib_), makiImage);
}

TEST_F(PluginHostTest, UnusablePluginOutputIsNotTaken) {
    Install("a", "a.spi");
    const Image img = test::PatternImage(5, 3);
    const std::string first = Write("first.bin", MakiPicture(img));
    ASSERT_EQ(host_.LoadPicture(dib_, first, 0), 1);
    Calls();
    for (const uint8_t mode : {kModeHugeWidth, kModeShortBits}) {
        SCOPED_TRACE(int(mode));
        const std::string path = Write("bad.bin", MakiPicture(test::PatternImage(4, 4), mode));
        EXPECT_EQ(host_.LoadPicture(dib_, path, 0), 0);
        EXPECT_EQ(Pixels(dib_), img);
        // The decode succeeded, so the load ends there: one decode call only.
        const auto calls = Calls();
        ASSERT_EQ(calls.size(), 3u) << testing::PrintToString(calls);
        EXPECT_EQ(calls[2].rfind("a picture file 0", 0), 0u);
    }
}

TEST_F(PluginHostTest, TopDownPalettedAndCoreHeaderOutput) {
    Install("a", "a.spi");
    const Image img = test::PatternImage(6, 5);

    const std::string topDown = Write("td.bin", MakiPicture(img, kModeTopDown));
    EXPECT_EQ(host_.LoadPicture(dib_, topDown, 0), 1);
    EXPECT_TRUE(dib_.IsTopDown());
    EXPECT_EQ(dib_.GetPictureRect(), (PictureRect{0, 0, 6, 5}));
    EXPECT_EQ(Pixels(dib_), img);
    const Bytes saved = dib_.BitmapFileBytes();
    EXPECT_EQ(test::ReadLe32(saved.data() + 2), 54u + 20 * 5);

    const std::string paletted = Write("pal.bin", MakiPicture(img, kModePaletted));
    EXPECT_EQ(host_.LoadPicture(dib_, paletted, 0), 1);
    ASSERT_EQ(dib_.Palette().size(), 256u);
    Image expected = img;
    for (Rgb& p : expected.pixels) p = {p.r, uint8_t(255 - p.r), uint8_t(p.r / 2)};
    EXPECT_EQ(Pixels(dib_), expected);
    EXPECT_EQ(test::ReadLe32(dib_.BitmapFileBytes().data() + 10), 1078u);

    const std::string core = Write("core.bin", MakiPicture(img, kModeCoreHeader));
    EXPECT_EQ(host_.LoadPicture(dib_, core, 0), 1);
    EXPECT_EQ(dib_.GetPictureRect(), (PictureRect{0, 0, 6, 5}));
    EXPECT_EQ(test::ReadLe32(dib_.Bitmap().data()), 12u);
}

TEST_F(PluginHostTest, MissingFolderOrFileTakesNothing) {
    host_.SetPlugInFolder(dir_.File("no-such-folder"));
    const Image img = test::PatternImage(2, 3);
    const std::string path = Write("pic.bin", Concat({Junk(4), BitmapFile(img)}));
    EXPECT_EQ(host_.LoadPicture(dib_, path, 4), 1);  // the bitmap fallback still works
    EXPECT_EQ(host_.LoadPicture(dib_, dir_.File("missing.bin"), 0), 0);
    EXPECT_EQ(host_.LoadPicture(dib_, "", 0), 0);
    EXPECT_EQ(host_.LoadPicture(dib_, path, 1u << 30), 0);  // offset past the end
    EXPECT_EQ(Pixels(dib_), img);
    EXPECT_EQ(PictureFolder("", "/opt/octile/"), "/opt/octile/");
    EXPECT_EQ(PictureFolder("/plug", "/opt/octile/"), "/plug");
}

// ---------------------------------------------------------------------------
// Loading off the window thread.

class PictureLoaderTest : public PluginHostTest {
  protected:
    void SetUp() override {
        PluginHostTest::SetUp();
        Install("a", "a.spi");
        slowPath_ = Write("slow.bin", Concat({Junk(9), MakiPicture(slow_, kModeSlow)}));
        fastPath_ = Write("fast.bin", Concat({Junk(9), MakiPicture(fast_)}));
    }
    PictureLoader::Job Slow() const { return {slowPath_, 9, folder_, 0}; }
    PictureLoader::Job Fast() const { return {fastPath_, 9, folder_, 0}; }
    // Whether the calls logged so far include a decode that was stopped.
    bool Stopped() const {
        return test::ReadAll(log_).find("a picture stopped") != std::string::npos;
    }
    // Waits (10 s at most) until a decode was stopped.
    bool WaitUntilStopped() const {
        for (int i = 0; i < 1000 && !Stopped(); ++i) ::usleep(10000);
        return Stopped();
    }
    // Waits (10 s at most) until the plug-in was asked to decode: the
    // decoding thread has taken the job.
    bool WaitUntilDecoding() const {
        const auto asked = [this] {
            return test::ReadAll(log_).find("a picture ") != std::string::npos;
        };
        for (int i = 0; i < 1000 && !asked(); ++i) ::usleep(10000);
        return asked();
    }
    PictureLoader::Post Posting() {
        return [this](std::function<void()> task) { posted_.Post(std::move(task)); };
    }
    PictureLoader::Deliver Recording() {
        return [this](PictureLoader::Result& r) { delivered_.push_back(Pixels(r.dib)); };
    }

    const Image slow_ = test::PatternImage(2, 3, 7);
    const Image fast_ = test::PatternImage(3, 1, 8);
    std::string slowPath_, fastPath_;
    test::PostQueue posted_;
    std::vector<Image> delivered_;
};

TEST_F(PictureLoaderTest, WithoutAWindowThreadTheLoadRunsInPlace) {
    PictureLoader loader(nullptr, Recording());
    auto result = loader.Load(Fast(), std::chrono::milliseconds(0));
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->taken, 1);
    EXPECT_EQ(Pixels(result->dib), fast_);
    EXPECT_FALSE(loader.Loading());
    EXPECT_TRUE(delivered_.empty());
}

TEST_F(PictureLoaderTest, ASlowPictureIsDeliveredThroughThePostWhenReady) {
    PictureLoader loader(Posting(), Recording());
    // A quick picture is back within the wait.
    auto quick = loader.Load(Fast(), std::chrono::seconds(10));
    ASSERT_TRUE(quick.has_value());
    EXPECT_EQ(Pixels(quick->dib), fast_);
    // A slow one is not: the caller goes on, and the picture comes later.
    EXPECT_FALSE(loader.Load(Slow(), std::chrono::milliseconds(20)).has_value());
    EXPECT_TRUE(loader.Loading());
    EXPECT_EQ(posted_.Run(std::chrono::seconds(10)), 1u);
    ASSERT_EQ(delivered_.size(), 1u);
    EXPECT_EQ(delivered_[0], slow_);
    EXPECT_FALSE(loader.Loading());
    EXPECT_FALSE(Stopped());
}

TEST_F(PictureLoaderTest, ANewerLoadOrCancelStopsTheOneInHand) {
    PictureLoader loader(Posting(), Recording());
    // Superseded: the slow decode is stopped and only the newer picture comes.
    EXPECT_FALSE(loader.Load(Slow(), std::chrono::milliseconds(0)).has_value());
    ASSERT_TRUE(WaitUntilDecoding());
    std::optional<PictureLoader::Result> newer = loader.Load(Fast(), std::chrono::seconds(10));
    ASSERT_TRUE(newer.has_value());
    EXPECT_EQ(Pixels(newer->dib), fast_);
    EXPECT_TRUE(WaitUntilStopped());
    fs::remove(log_);
    // Cancelled: stopped, and nothing is delivered.
    EXPECT_FALSE(loader.Load(Slow(), std::chrono::milliseconds(0)).has_value());
    ASSERT_TRUE(WaitUntilDecoding());
    loader.Cancel();
    EXPECT_FALSE(loader.Loading());
    EXPECT_TRUE(WaitUntilStopped());
    posted_.Run(std::chrono::milliseconds(200));
    EXPECT_TRUE(delivered_.empty());
}

TEST_F(PictureLoaderTest, DestroyedWhileLoadingStopsTheDecode) {
    {
        PictureLoader loader(Posting(), Recording());
        EXPECT_FALSE(loader.Load(Slow(), std::chrono::milliseconds(0)).has_value());
        ASSERT_TRUE(WaitUntilDecoding());
    }
    EXPECT_TRUE(Stopped());
    posted_.Run();
    EXPECT_TRUE(delivered_.empty());
}

// ---------------------------------------------------------------------------
// The pixel limit.

bool IsDecodeCall(const std::string& call) { return call.find(" picture ") != std::string::npos; }

TEST_F(PluginHostTest, DeclaredSizeOverTheLimitEndsTheLoadBeforeAnyDecode) {
    Install("sized", "sized.spi");
    host_.SetMaxPixels(100);
    const Image atLimit = test::PatternImage(10, 10);
    const std::string within = Write("within.bin", Concat({Junk(3), MakiPicture(atLimit)}));
    EXPECT_EQ(host_.LoadPicture(dib_, within, 3), 1);
    EXPECT_EQ(Pixels(dib_), atLimit);
    EXPECT_FALSE(host_.RefusedSize());
    const std::vector<std::string> decoded = {
        "sized info 0 5",
        "sized supported fd 3 " + within + " yes",
        "sized limit 100",
        "sized pictureinfo file 3 10x10",
        "sized picture file 3 " + within,
    };
    EXPECT_EQ(Calls(), decoded);

    // One pixel more, from the descriptor probe and from the memory probe:
    // asked for its size, never decoded, and nothing else tried after it.
    for (const uint8_t mode : {uint8_t{0}, uint8_t{kModeNoDescriptor}}) {
        SCOPED_TRACE(int(mode));
        const std::string over =
            Write("over.bin", Concat({Junk(3), MakiPicture(test::PatternImage(101, 1), mode)}));
        EXPECT_EQ(host_.LoadPicture(dib_, over, 3), 0);
        EXPECT_EQ(Pixels(dib_), atLimit);
        EXPECT_EQ(host_.RefusedSize(), (PictureSize{101, 1}));
        const auto calls = Calls();
        EXPECT_TRUE(std::none_of(calls.begin(), calls.end(), IsDecodeCall))
            << testing::PrintToString(calls);
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back(),
                  mode == 0 ? "sized pictureinfo file 3 101x1" : "sized pictureinfo mem 101x1");
    }
}

TEST_F(PluginHostTest, PixelLimitHoldsForPluginOutputAndBitmapFiles) {
    Install("a", "a.spi");  // reports no sizes: its output is measured
    host_.SetMaxPixels(100);
    struct Case {
        const char* name;
        const char* file;
        Bytes picture;
        std::optional<PictureSize> refused;
        size_t decodes;  // GetPicture calls
    };
    const Case cases[] = {
        {"plug-in output at the limit", "p.bin", MakiPicture(test::PatternImage(10, 10)),
         std::nullopt, 1},
        {"plug-in output one row over", "p.bin", MakiPicture(test::PatternImage(10, 11)),
         PictureSize{10, 11}, 1},
        {"bitmap file at the limit", "b.bin", BitmapFile(test::PatternImage(25, 4)), std::nullopt,
         0},
        {"bitmap file over", "b.bin", BitmapFile(test::PatternImage(101, 1)), PictureSize{101, 1},
         0},
        {"bitmap file by its extension, over", "b.bmp", BitmapFile(test::PatternImage(1, 101)),
         PictureSize{1, 101}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Image previous = test::PatternImage(2, 2, 4);
        ASSERT_EQ(host_.LoadPicture(dib_, Write("first.bmp", BitmapFile(previous)), 0), 1);
        const std::string path = Write(c.file, Concat({Junk(9), c.picture, Junk(9)}));
        EXPECT_EQ(host_.LoadPicture(dib_, path, 9), c.refused ? 0 : 1);
        EXPECT_EQ(host_.RefusedSize(), c.refused);
        if (c.refused) {
            EXPECT_EQ(Pixels(dib_), previous);
        }
        const auto calls = Calls();
        EXPECT_EQ(size_t(std::count_if(calls.begin(), calls.end(), IsDecodeCall)), c.decodes);
    }
    // 0 restores the default, under which all of these are small.
    host_.SetMaxPixels(0);
    EXPECT_EQ(host_.MaxPixels(), kSpiDefaultMaxPixels);
    const std::string over = Write("p.bin", MakiPicture(test::PatternImage(10, 11)));
    EXPECT_EQ(host_.LoadPicture(dib_, over, 0), 1);
    EXPECT_FALSE(host_.RefusedSize());
}

// ---------------------------------------------------------------------------
// The real plug-ins.

#ifdef OCTILE_PLUGIN_DIR

struct Sample {
    std::string name;
    Bytes data;
    Image expected;
    int bitCount;
    bool exact = true;  // false: within a JPEG's rounding of the reference
};

std::vector<Sample> Samples() {
    std::vector<Sample> s;
    const Image rgb = test::PatternImage(13, 7, 5);
    s.push_back({"png rgb", test::EncodePng(rgb), rgb, 24});
    const test::PngOptions interlaced{true};
    const Image big = test::PatternImage(9, 11, 6);
    s.push_back({"png interlaced", test::EncodePng(big, interlaced), big, 24});
    const test::PngOptions paletted{false, false, 5};
    s.push_back(
        {"png paletted", test::EncodePng(rgb, paletted), test::PngExpected(rgb, paletted), 8});
    const test::PngOptions grey{false, true};
    s.push_back({"png grey", test::EncodePng(rgb, grey), test::PngExpected(rgb, grey), 24});
    const test::PngOptions alpha{true, false, 0, true};
    s.push_back({"png alpha", test::EncodePng(rgb, alpha), test::PngExpected(rgb, alpha), 24});
    const Image gradient = test::GradientImage(37, 21);
    const Bytes jpeg = test::EncodeJpeg(gradient);
    s.push_back({"jpeg", jpeg, test::DecodeJpegReference(jpeg), 24});
    const Bytes greyJpeg = test::EncodeJpeg(gradient, true);
    s.push_back({"jpeg grey", greyJpeg, test::DecodeJpegReference(greyJpeg), 24});
    const Bytes progressive = test::EncodeJpeg(gradient, false, true);
    s.push_back({"jpeg progressive", progressive, test::DecodeJpegReference(progressive), 24});
    const test::GifPicture gif = test::PatternGif(7, 5);
    s.push_back({"gif", test::EncodeGif(gif), test::GifExpected(gif), 8});
    test::GifPicture gifInterlaced = test::PatternGif(6, 19, 4);
    gifInterlaced.interlaced = true;
    s.push_back(
        {"gif interlaced", test::EncodeGif(gifInterlaced), test::GifExpected(gifInterlaced), 8});
    test::GifPicture framed = test::PatternGif(3, 2, 8);
    framed.screenWidth = 8;
    framed.screenHeight = 6;
    framed.left = 4;
    framed.top = 3;
    framed.background = 17;
    s.push_back(
        {"gif frame on a larger screen", test::EncodeGif(framed), test::GifExpected(framed), 8});
    return s;
}

TEST(RealPlugins, DecodeEmbeddedPicturesFromFileAndMemory) {
    test::TempDir dir;
    PictureHost host(OCTILE_PLUGIN_DIR);
    for (const Sample& s : Samples()) {
        SCOPED_TRACE(s.name);
        const uint64_t offset = 0x101;
        const std::string path =
            dir.Write("embedded.bin", Concat({Junk(offset), s.data, Junk(333)}));
        CDib dib;
        ASSERT_EQ(host.LoadPicture(dib, path, offset), 1);
        EXPECT_EQ(test::ReadLe16(dib.Bitmap().data() + 14), s.bitCount);
        EXPECT_EQ(Pixels(dib), s.expected);
        EXPECT_FALSE(host.HasPlugin());
    }
}

// Calls one plug-in's entry points directly.
class DirectPlugin {
  public:
    explicit DirectPlugin(const std::string& name)
        : library_(::dlopen((std::string(OCTILE_PLUGIN_DIR) + "/" + name).c_str(),
                            RTLD_NOW | RTLD_LOCAL)) {
        if (library_) {
            info_ = reinterpret_cast<GetPluginInfoFn>(::dlsym(library_.get(), "GetPluginInfo"));
            supported_ = reinterpret_cast<IsSupportedFn>(::dlsym(library_.get(), "IsSupported"));
            picture_ = reinterpret_cast<GetPictureFn>(::dlsym(library_.get(), "GetPicture"));
            size_ = reinterpret_cast<GetPictureInfoFn>(::dlsym(library_.get(), "GetPictureInfo"));
            limit_ =
                reinterpret_cast<SetPictureLimitFn>(::dlsym(library_.get(), "SetPictureLimit"));
        }
    }
    ~DirectPlugin() {
        if (limit_) limit_(0);
    }
    bool Loaded() const { return info_ && supported_ && picture_ && size_ && limit_; }
    void SetLimit(uint64_t pixels) const { limit_(pixels); }
    // GetPictureInfo from memory: the declared size, nothing on failure.
    std::optional<PictureSize> DeclaredSize(const Bytes& data) const {
        SpiPictureInfo info{};
        if (size_(reinterpret_cast<const char*>(data.data()), intptr_t(data.size()),
                  kSpiSourceMemory, &info) != kSpiOk) {
            return std::nullopt;
        }
        return PictureSize{info.width, info.height};
    }
    std::string Version() const {
        char buf[5] = {};
        info_(0, buf, 5);
        return std::string(buf, 4);
    }
    bool SupportsMemory(const Bytes& data) const {
        Bytes buffer = data;
        buffer.resize(std::max<size_t>(buffer.size(), 2048) + 128, 0);
        return supported_("x", reinterpret_cast<intptr_t>(buffer.data())) != 0;
    }
    // Through a descriptor positioned at offset 3 of a file; the position
    // must stay where it is.
    bool SupportsDescriptor(const std::string& path) const {
        const int fd = ::open(path.c_str(), O_RDONLY);
        ::lseek(fd, 3, SEEK_SET);
        const bool yes = supported_(path.c_str(), fd) != 0;
        EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 3);
        ::close(fd);
        return yes;
    }
    // GetPicture from memory; on success the packed picture.
    std::optional<PackedBitmap> Decode(const Bytes& data, int* result = nullptr) const {
        void* info = nullptr;
        void* bits = nullptr;
        const int r = picture_(reinterpret_cast<const char*>(data.data()), intptr_t(data.size()),
                               kSpiSourceMemory, &info, &bits, nullptr, 0);
        if (result) *result = r;
        if (r != kSpiOk) {
            EXPECT_EQ(info, nullptr);
            EXPECT_EQ(bits, nullptr);
            return std::nullopt;
        }
        auto packed = PackPluginOutput(info, bits);
        std::free(info);
        std::free(bits);
        return packed;
    }
    // GetPicture from memory with a progress callback that asks the plug-in
    // to stop once it has been called stopAfter times; calls counts them.
    int DecodeStopping(const Bytes& data, int stopAfter, int& calls) const {
        struct Progress {
            int stopAfter;
            int calls = 0;
        } progress{stopAfter};
        const SpiProgressCallback callback = [](int, int, intptr_t user) {
            auto* p = reinterpret_cast<Progress*>(user);
            return ++p->calls > p->stopAfter ? 1 : 0;
        };
        void* info = nullptr;
        void* bits = nullptr;
        const int r = picture_(reinterpret_cast<const char*>(data.data()), intptr_t(data.size()),
                               kSpiSourceMemory, &info, &bits, reinterpret_cast<void*>(callback),
                               reinterpret_cast<intptr_t>(&progress));
        EXPECT_EQ(info == nullptr, r != kSpiOk);
        EXPECT_EQ(bits == nullptr, r != kSpiOk);
        std::free(info);
        std::free(bits);
        calls = progress.calls;
        return r;
    }
    int DecodeFile(const std::string& path, intptr_t offset) const {
        void* info = nullptr;
        void* bits = nullptr;
        const int r = picture_(path.c_str(), offset, kSpiSourceFile, &info, &bits, nullptr, 0);
        std::free(info);
        std::free(bits);
        return r;
    }

  private:
    LibraryHandle library_;
    GetPluginInfoFn info_ = nullptr;
    IsSupportedFn supported_ = nullptr;
    GetPictureFn picture_ = nullptr;
    GetPictureInfoFn size_ = nullptr;
    SetPictureLimitFn limit_ = nullptr;
};

TEST(RealPlugins, EachAcceptsOnlyItsOwnFormat) {
    test::TempDir dir;
    const Image img = test::PatternImage(4, 4);
    const std::pair<const char*, Bytes> formats[] = {
        {"ifjpeg.spi", test::EncodeJpeg(img)},
        {"ifpng.spi", test::EncodePng(img)},
        {"ifgif.spi", test::EncodeGif(test::PatternGif(4, 4))},
    };
    const Bytes bmp = BitmapFile(img);
    for (const auto& [plugin, own] : formats) {
        SCOPED_TRACE(plugin);
        DirectPlugin p(plugin);
        ASSERT_TRUE(p.Loaded());
        EXPECT_EQ(p.Version().size(), 4u);
        EXPECT_NE(p.Version()[2], 'A');
        for (const auto& [other, data] : formats) {
            SCOPED_TRACE(other);
            const bool mine = std::string(other) == plugin;
            EXPECT_EQ(p.SupportsMemory(data), mine);
            EXPECT_EQ(p.SupportsDescriptor(dir.Write("probe.bin", Concat({Junk(3), data}))), mine);
            // Memory decode gives the picture the file decode gives.
            if (mine) {
                const auto packed = p.Decode(data);
                ASSERT_TRUE(packed.has_value());
                EXPECT_EQ(test::PackedPixels(*packed).width, 4u);
                EXPECT_EQ(p.DecodeFile(dir.Write("at5.bin", Concat({Junk(5), data})), 5), kSpiOk);
            }
        }
        EXPECT_FALSE(p.SupportsMemory(bmp));
        EXPECT_FALSE(p.SupportsMemory(Bytes(16, 0)));
    }
}

TEST(RealPlugins, DecodingStopsWhenTheProgressCallbackAsks) {
    const Image img = test::PatternImage(24, 40, 3);
    test::GifPicture gif = test::PatternGif(24, 40, 2);
    gif.interlaced = true;
    const std::pair<const char*, Bytes> cases[] = {
        {"ifpng.spi", test::EncodePng(img)},
        {"ifpng.spi", test::EncodePng(img, test::PngOptions{true, false, 0, true})},
        {"ifjpeg.spi", test::EncodeJpeg(img)},
        {"ifjpeg.spi", test::EncodeJpeg(img, false, true)},
        {"ifgif.spi", test::EncodeGif(gif)},
    };
    for (const auto& [plugin, data] : cases) {
        SCOPED_TRACE(plugin);
        DirectPlugin p(plugin);
        ASSERT_TRUE(p.Loaded());
        int calls = 0;
        // Asked at least once a row; never told to stop, it decodes.
        EXPECT_EQ(p.DecodeStopping(data, INT32_MAX, calls), kSpiOk);
        EXPECT_GE(calls, 40);
        // Told to stop before it starts, or part way: nothing comes back.
        for (const int after : {0, 1, 20}) {
            EXPECT_EQ(p.DecodeStopping(data, after, calls), kSpiAborted) << after;
            EXPECT_EQ(calls, after + 1);
        }
    }
}

TEST(RealPlugins, BrokenPicturesFailCleanly) {
    test::TempDir dir;
    const Image img = test::PatternImage(16, 16);
    struct Broken {
        const char* plugin;
        const char* name;
        Bytes data;
    };
    std::vector<Broken> cases;
    const Bytes png = test::EncodePng(img);
    const Bytes jpeg = test::EncodeJpeg(img);
    const Bytes gif = test::EncodeGif(test::PatternGif(16, 16));
    for (const auto& [plugin, data] :
         {std::pair{"ifpng.spi", png}, {"ifjpeg.spi", jpeg}, {"ifgif.spi", gif}}) {
        cases.push_back({plugin, "signature only", Bytes(data.begin(), data.begin() + 8)});
        cases.push_back({plugin, "header only", Bytes(data.begin(), data.begin() + 40)});
        Bytes garbage(data.begin(), data.begin() + 8);
        const Bytes junk = Junk(3000, 77);
        garbage.insert(garbage.end(), junk.begin(), junk.end());
        cases.push_back({plugin, "garbage after the signature", garbage});
    }
    cases.push_back({"ifpng.spi", "bad checksum", [&] {
                         Bytes b = png;
                         b[29] ^= 0xFF;
                         return b;
                     }()});

    for (const Broken& c : cases) {
        SCOPED_TRACE(std::string(c.plugin) + ": " + c.name);
        DirectPlugin p(c.plugin);
        ASSERT_TRUE(p.Loaded());
        int result = kSpiOk;
        EXPECT_FALSE(p.Decode(c.data, &result).has_value());
        EXPECT_NE(result, kSpiOk);
        const std::string path = dir.Write("broken.bin", Concat({Junk(2), c.data}));
        EXPECT_NE(p.DecodeFile(path, 2), kSpiOk);
    }
}

// One grey level all over: tiny as a JPEG or PNG at any size.
Image FlatImage(uint32_t width, uint32_t height) {
    return Image{width, height, std::vector<Rgb>(size_t{width} * height, Rgb{90, 90, 90})};
}

// The JPEG with the size in its frame header replaced.
Bytes WithJpegSize(Bytes jpeg, uint16_t width, uint16_t height) {
    for (size_t i = 2; i + 9 < jpeg.size(); i += 2 + (size_t{jpeg[i + 2]} << 8 | jpeg[i + 3])) {
        if (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2) {
            jpeg[i + 5] = uint8_t(height >> 8);
            jpeg[i + 6] = uint8_t(height);
            jpeg[i + 7] = uint8_t(width >> 8);
            jpeg[i + 8] = uint8_t(width);
            return jpeg;
        }
    }
    ADD_FAILURE() << "no frame header";
    return jpeg;
}

// The JPEG with its last scan written times more over (in the entropy-coded
// data FF is never followed by DA).
Bytes WithLastScanRepeated(const Bytes& jpeg, int times) {
    size_t last = 0;
    for (size_t i = 0; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) last = i;
    }
    const size_t end = jpeg.size() - 2;  // the end-of-image marker
    Bytes out(jpeg.begin(), jpeg.begin() + long(end));
    for (int k = 0; k < times; ++k)
        out.insert(out.end(), jpeg.begin() + long(last), jpeg.begin() + long(end));
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

// A PNG of width x height whose data stops after the given rows (in small
// data chunks, so that those rows are written out).
Bytes PngCutAfterRows(uint32_t width, uint32_t height, uint32_t rows) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, test::PngWrite, test::PngFlush);
    png_set_compression_buffer_size(png, 256);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(size_t{width} * 3, 0x40);
    for (uint32_t y = 0; y < rows; ++y) png_write_row(png, row.data());
    png_write_flush(png);
    png_destroy_write_struct(&png, &info);
    return out;
}

// The headers of a 1-bit bitmap file of width x height, without its pixels.
Bytes BitmapFileHeaders(uint32_t width, uint32_t height) {
    Bytes f(14 + 40 + 8, 0);
    f[0] = 'B';
    f[1] = 'M';
    test::Put32(&f[2], uint32_t(f.size()));
    test::Put32(&f[10], uint32_t(f.size()));
    test::Put32(&f[14], 40);
    test::Put32(&f[18], width);
    test::Put32(&f[22], height);
    f[26] = 1;
    f[28] = 1;
    return f;
}

TEST(RealPlugins, HostilePicturesGiveNoPicture) {
    test::TempDir dir;
    const Bytes progressive = test::EncodeJpeg(FlatImage(16, 16), false, true);
    const Bytes png = test::EncodePng(test::PatternImage(16, 16));
    const Bytes gif = test::EncodeGif(test::PatternGif(16, 16));
    test::GifPicture onHugeScreen = test::PatternGif(4, 4);
    onHugeScreen.screenWidth = 65535;
    onHugeScreen.screenHeight = 4000;
    Bytes hugeImage = gif;             // the picture outside its 16x16 screen: shown on its own
    const size_t desc = 13 + 3 * 256;  // after the global colour table
    ASSERT_EQ(hugeImage[desc], 0x2C);
    for (const size_t at : {desc + 5, desc + 7}) hugeImage[at] = hugeImage[at + 1] = 0xFF;
    struct Case {
        const char* name;
        const char* plugin;  // the plug-in that takes it; nullptr: none
        Bytes data;
        std::optional<PictureSize> refused;  // over the default limit
    };
    const Case cases[] = {
        {"progressive JPEG declaring 9000x9000 in 2000 scans", "ifjpeg.spi",
         WithLastScanRepeated(WithJpegSize(progressive, 9000, 9000), 2000),
         PictureSize{9000, 9000}},
        {"PNG declaring 16000x16000, cut after 16 rows", "ifpng.spi",
         PngCutAfterRows(16000, 16000, 16), PictureSize{16000, 16000}},
        {"GIF of 4x4 on a 65535x4000 screen", "ifgif.spi", test::EncodeGif(onHugeScreen),
         PictureSize{65535, 4000}},
        {"GIF declaring a 65535x65535 picture", "ifgif.spi", hugeImage, PictureSize{65535, 65535}},
        {"bitmap file declaring 10000x8000", nullptr, BitmapFileHeaders(10000, 8000),
         PictureSize{10000, 8000}},
        {"JPEG cut inside its headers", "ifjpeg.spi",
         Bytes(progressive.begin(), progressive.begin() + 100), std::nullopt},
        {"PNG cut inside its data", "ifpng.spi", Bytes(png.begin(), png.end() - 40), std::nullopt},
        {"GIF cut inside its data", "ifgif.spi", Bytes(gif.begin(), gif.end() - 20), std::nullopt},
    };
    PictureHost host(OCTILE_PLUGIN_DIR);
    const Image previous = test::PatternImage(3, 2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDib dib;
        ASSERT_EQ(host.LoadPicture(dib, dir.Write("first.bmp", BitmapFile(previous)), 0), 1);
        const std::string path = dir.Write("hostile.bin", Concat({Junk(0x101), c.data, Junk(9)}));
        EXPECT_EQ(host.LoadPicture(dib, path, 0x101), 0);
        EXPECT_EQ(Pixels(dib), previous);
        EXPECT_EQ(host.RefusedSize(), c.refused);
        if (c.plugin == nullptr) continue;
        // The plug-in on its own refuses what its limit does not allow, and
        // tells the declared size all the same.
        DirectPlugin p(c.plugin);
        ASSERT_TRUE(p.Loaded());
        int result = kSpiOk;
        EXPECT_FALSE(p.Decode(c.data, &result).has_value());
        if (c.refused) {
            EXPECT_EQ(result, kSpiNoMemory);
            EXPECT_EQ(p.DeclaredSize(c.data), c.refused);
        } else {
            EXPECT_NE(result, kSpiOk);
        }
    }
}

TEST(RealPlugins, PictureAtTheLimitDecodesAndOnePixelMoreDoesNot) {
    test::TempDir dir;
    const auto encode = [](const char* plugin, uint32_t width, uint32_t height) {
        const std::string name = plugin;
        if (name == "ifjpeg.spi") return test::EncodeJpeg(FlatImage(width, height));
        if (name == "ifpng.spi") return test::EncodePng(test::PatternImage(width, height));
        return test::EncodeGif(test::PatternGif(width, height));
    };
    PictureHost host(OCTILE_PLUGIN_DIR);
    host.SetMaxPixels(120);
    for (const char* plugin : {"ifjpeg.spi", "ifpng.spi", "ifgif.spi"}) {
        SCOPED_TRACE(plugin);
        const Bytes at = encode(plugin, 12, 10);
        const Bytes over = encode(plugin, 11, 11);
        CDib dib;
        EXPECT_EQ(host.LoadPicture(dib, dir.Write("at.bin", Concat({Junk(5), at})), 5), 1);
        EXPECT_EQ(dib.GetPictureRect(), (PictureRect{0, 0, 12, 10}));
        EXPECT_FALSE(host.RefusedSize());
        EXPECT_EQ(host.LoadPicture(dib, dir.Write("over.bin", Concat({Junk(5), over})), 5), 0);
        EXPECT_EQ(host.RefusedSize(), (PictureSize{11, 11}));

        DirectPlugin p(plugin);
        ASSERT_TRUE(p.Loaded());
        p.SetLimit(120);
        int result = kSpiOk;
        EXPECT_TRUE(p.Decode(at).has_value());
        EXPECT_FALSE(p.Decode(over, &result).has_value());
        EXPECT_EQ(result, kSpiNoMemory);
        EXPECT_EQ(p.DeclaredSize(over), (PictureSize{11, 11}));
        p.SetLimit(0);  // the default
        EXPECT_TRUE(p.Decode(over).has_value());
    }
}

TEST(RealPlugins, ProgressiveJpegScannedTooOftenIsRefused) {
    const Bytes small = test::EncodeJpeg(FlatImage(16, 16), false, true);
    const Bytes grey = test::EncodeJpeg(FlatImage(1024, 1024), true, true);
    struct Case {
        const char* name;
        Bytes data;
        int result;
    };
    // 1024x1024 grey: 16384 blocks in 6 scans, each visiting all of them; the
    // least budget, 2^20 visits, is 64 such scans.
    const Case cases[] = {
        {"16x16 as written", small, kSpiOk},
        {"16x16 in more than 1000 scans", WithLastScanRepeated(small, 1000), kSpiNoMemory},
        {"1024x1024 as written", grey, kSpiOk},
        {"1024x1024 with 56 scans more", WithLastScanRepeated(grey, 56), kSpiOk},
        {"1024x1024 with 60 scans more", WithLastScanRepeated(grey, 60), kSpiNoMemory},
    };
    DirectPlugin p("ifjpeg.spi");
    ASSERT_TRUE(p.Loaded());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int result = -1;
        p.Decode(c.data, &result);
        EXPECT_EQ(result, c.result);
    }
}

#endif  // OCTILE_PLUGIN_DIR

}  // namespace
}  // namespace octile
