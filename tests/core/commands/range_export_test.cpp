// Partial save and hex listing: the output must hold the range's bytes, or
// the FormatDump text of each 256-byte block of it, and stop quietly at the
// end of the file.
#include "document/range_export.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "charcode/charcode.h"
#include "dump/dump_format.h"
#include "fake_host.h"
#include "file_fault_scope.h"
#include "resources/resources.h"
#include "session.h"
#include "temp_dir.h"
#include "util/utf.h"

namespace octile {
namespace {

using test::FakeHost;
using test::FileFaultScope;
using test::RandomBytes;
using test::ReadAll;
using test::TempDir;

constexpr uint64_t kB = 0x10000;
constexpr uint64_t kAll = UINT64_MAX;

std::u16string Hex(uint64_t v) { return FormatAddress(DumpSettings{0, true, 0}, v); }

std::string Utf16Bytes(const std::u16string& text) {
    std::string out;
    for (const char16_t u : text) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    }
    return out;
}

std::u16string FromUtf16Bytes(const std::string& bytes) {
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                             (static_cast<uint8_t>(bytes[i + 1]) << 8)));
    }
    return text;
}

// The bytes of the range first..last (last included, kAll: to the end).
std::string SaveModel(const std::string& file, uint64_t first, uint64_t last) {
    const uint64_t end = last == kAll ? file.size() : std::min<uint64_t>(last + 1, file.size());
    return first < end ? file.substr(first, end - first) : std::string();
}

// The hex listing as the block-by-block definition makes it: the byte-order
// mark, then FormatDump of every block of up to 256 bytes, each with the 16
// bytes after it in the file (0 past its end) as look-ahead.
std::string HexListModel(const std::string& file, uint64_t first, uint64_t last,
                         const DumpSettings& settings) {
    std::u16string text = u"\uFEFF";
    const uint64_t length = file.size();
    const uint64_t end = last == kAll ? length : std::min<uint64_t>(last + 1, length);
    for (uint64_t b = first; b < end; b += 256) {
        const uint64_t n = std::min<uint64_t>(256, end - b);
        std::vector<uint8_t> block(n + 16, 0);
        const uint64_t available = std::min<uint64_t>(n + 16, length - b);
        std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(b), available, block.begin());
        text += FormatDump(settings, b, block.data(), n, nullptr);
    }
    return Utf16Bytes(text);
}

std::u16string Saving(int percent) { return FormatPercentD(LoadString(IDS_SAVING), percent); }

class RangeExportTest : public ::testing::Test {
  protected:
    void Open(const std::string& bytes) {
        original = bytes;
        docPath = dir.Write("doc.bin", bytes);
        ASSERT_TRUE(doc.OnOpenDocument(docPath));
    }
    bool Export(ExportKind kind, uint64_t first, uint64_t last, const std::string& name = "out",
                const DumpSettings& settings = {}) {
        out = dir.File(name);
        ExportRequest r;
        r.kind = kind;
        r.outputPath = out;
        r.startText = Hex(first);
        r.endText = Hex(last);
        r.dump = settings;
        return ExportRange(doc, host, r);
    }
    std::u16string PathMessage(uint32_t id, const std::string& path) const {
        return ReplacePercent1(LoadString(id), Utf8ToUtf16(path));
    }

    TempDir dir;
    FakeHost host;
    COctileDoc doc{host};
    std::string original;
    std::string docPath;
    std::string out;
};

struct Range {
    const char* name;
    uint64_t first;
    uint64_t last;
};

// Ranges of a file of length bytes, around blocks of the given size.
std::vector<Range> Ranges(uint64_t length, uint64_t block) {
    return {
        {"one line from 0x10", 0x10, 0x1F},
        {"the whole file (sixteen F digits)", 0, kAll},
        {"across a block end", block - 1, 2 * block},
        {"unaligned start to the end", 5, kAll},
        {"end beyond the end of the file", 100, length + 1000},
        {"the last byte", length - 1, length - 1},
        {"start at the end of the file", length, kAll},
        {"start past the end of the file", length + 5, length + 50},
    };
}

const uint64_t kLength = 3 * kB + 100;

TEST_F(RangeExportTest, PartialSaveHoldsTheRangesBytes) {
    Open(RandomBytes(kLength, 11));
    for (const Range& r : Ranges(kLength, kB)) {
        SCOPED_TRACE(r.name);
        host.messages.clear();
        host.statusTexts.clear();
        EXPECT_TRUE(Export(ExportKind::PartialSave, r.first, r.last));
        ASSERT_TRUE(ReadAll(out) == SaveModel(original, r.first, r.last)) << "output differs";
        EXPECT_TRUE(host.messages.empty());
        ASSERT_FALSE(host.statusTexts.empty());
        EXPECT_EQ(host.statusTexts.back(), Saving(100));
    }
    EXPECT_EQ(ReadAll(docPath), original);  // the open file is never changed
}

TEST_F(RangeExportTest, HexListingIsTheDumpOfEach256ByteBlock) {
    // Shift-JIS lead bytes at the ends of blocks, so characters straddle them.
    const uint64_t length = 0x9000 + 100;
    std::string bytes = RandomBytes(length, 12);
    for (uint64_t i = 255; i < length; i += 256) bytes[i] = '\x82';
    for (uint64_t i = 256; i < length; i += 256) bytes[i] = '\xA0';
    Open(bytes);
    const DumpSettings settings[] = {
        {0, false, CODE_SJIS}, {1, true, CODE_UNICODE}, {0, true, CODE_EUC}, {0, false, CODE_JIS}};
    for (const DumpSettings& s : settings) {
        for (const Range& r : Ranges(length, 0x4000)) {
            SCOPED_TRACE(testing::Message() << r.name << ", code " << s.charCode);
            host.messages.clear();
            EXPECT_TRUE(Export(ExportKind::HexList, r.first, r.last, "out.txt", s));
            ASSERT_TRUE(ReadAll(out) == HexListModel(original, r.first, r.last, s))
                << "output differs";
            EXPECT_TRUE(host.messages.empty());
        }
    }
}

TEST_F(RangeExportTest, HexListingOf300Bytes) {
    Open(RandomBytes(300, 13));
    ASSERT_TRUE(Export(ExportKind::HexList, 0, kAll, "out.txt", DumpSettings{0, true, CODE_SJIS}));
    const std::string bytes = ReadAll(out);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    const std::u16string text = FromUtf16Bytes(bytes.substr(2));
    std::vector<std::u16string> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t eol = text.find(u"\r\n", at);
        ASSERT_NE(eol, std::u16string::npos) << "every line ends in CR LF";
        lines.push_back(text.substr(at, eol - at));
        at = eol + 2;
    }
    // Ruler, 16 lines, rule; ruler, 3 lines, rule.
    ASSERT_EQ(lines.size(), 1u + 16 + 1 + 1 + 3 + 1);
    const std::u16string ruler = u"--------" + LoadString(IDS_RULER);
    const std::u16string rule =
        u"--------|" + std::u16string(48, u'-') + u"|" + std::u16string(19, u'-');
    EXPECT_EQ(lines[0], ruler);
    EXPECT_EQ(lines[17], rule);
    EXPECT_EQ(lines[18], ruler);
    EXPECT_EQ(lines[19].substr(0, 9), u"00000100|");
    EXPECT_EQ(lines[21].substr(0, 9), u"00000120|");
    // The last line has 12 bytes: 12 hex cells, then 4 empty ones.
    EXPECT_EQ(lines[21].substr(9 + 36, 12 + 1), std::u16string(12, u' ') + u"|");
    EXPECT_NE(lines[21][9 + 33], u' ');
    EXPECT_EQ(lines[22], rule);
}

TEST_F(RangeExportTest, RefusedRequestsWriteNothing) {
    Open("0123456789");
    struct Case {
        const char* name;
        std::string output;
        std::u16string start, end;
        uint32_t message;
    };
    const Case cases[] = {
        {"a name that is only an extension", ".txt", u"0", u"9", IDS_FILEOPEN_NG},
        {"start after end", "a.txt", u"5", u"4", IDS_RANGE_HEX},
        {"start not hexadecimal", "b.txt", u"5g", u"9", IDS_RANGE_HEX},
        {"end not hexadecimal", "c.txt", u"0", u" 9", IDS_RANGE_HEX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host.messages.clear();
        ExportRequest r;
        r.outputPath = dir.File(c.output);
        r.startText = c.start;
        r.endText = c.end;
        for (ExportKind kind : {ExportKind::PartialSave, ExportKind::HexList}) {
            r.kind = kind;
            EXPECT_FALSE(ExportRange(doc, host, r));
        }
        ASSERT_EQ(host.messages.size(), 2u);
        EXPECT_EQ(host.messages[0].text, LoadString(c.message));
        EXPECT_FALSE(std::filesystem::exists(r.outputPath));
    }
    EXPECT_TRUE(host.statusTexts.empty());
    EXPECT_TRUE(IsExtensionOnlyName("/tmp/dir.d/.bin"));
    EXPECT_FALSE(IsExtensionOnlyName("/tmp/.d/a.bin"));
    EXPECT_FALSE(IsExtensionOnlyName("/tmp/a"));
}

TEST_F(RangeExportTest, OutputThatCannotBeCreated) {
    Open("0123456789");
    const std::string missing = dir.File("no-such-folder/out.bin");
    ExportRequest r;
    r.outputPath = missing;
    r.startText = u"0";
    r.endText = u"9";
    EXPECT_FALSE(ExportRange(doc, host, r));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, PathMessage(IDS_SAVE_ERROR, missing));
    EXPECT_EQ(host.statusTexts.back(), Saving(100));

    // The open file by any name would be emptied before it is read: refused,
    // for both kinds of export.
    const std::string link = dir.File("link.bin"), hard = dir.File("hard.bin");
    ASSERT_EQ(::symlink(docPath.c_str(), link.c_str()), 0);
    ASSERT_EQ(::link(docPath.c_str(), hard.c_str()), 0);
    for (const ExportKind kind : {ExportKind::PartialSave, ExportKind::HexList}) {
        for (const std::string& self : {docPath, link, hard}) {
            SCOPED_TRACE(self);
            host.messages.clear();
            r.kind = kind;
            r.outputPath = self;
            EXPECT_FALSE(ExportRange(doc, host, r));
            ASSERT_EQ(host.messages.size(), 1u);
            EXPECT_EQ(host.messages[0].text, PathMessage(IDS_SAVE_ERROR, self));
            EXPECT_EQ(ReadAll(docPath), "0123456789");
        }
    }
}

// The names in the export's folder that are not the document's or the
// output's: new files left behind.
std::vector<std::string> Leftovers(const TempDir& dir) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = e.path().filename();
        if (name != "doc.bin" && name != "out") out.push_back(name);
    }
    return out;
}

// A failing write or read part way: the output keeps its old contents, no new
// file is left behind, and the message names the output (write) or the
// document (read).
TEST_F(RangeExportTest, FailuresPartWay) {
    Open(RandomBytes(kLength, 14));
    const DumpSettings settings{0, false, CODE_SJIS};
    struct Case {
        const char* name;
        ExportKind kind;
        FileFaults faults;
        uint32_t message;
        bool documentPath;
    };
    const Case cases[] = {
        {"save, disk full",
         ExportKind::PartialSave,
         {FileFaults::kUnlimited, 0, kB + 10, ENOSPC},
         IDS_IO_ERROR,
         false},
        {"save, short write without an error",
         ExportKind::PartialSave,
         {FileFaults::kUnlimited, 0, kB + 10, 0},
         IDS_WRITE_ERROR,
         false},
        {"hex listing, disk full",
         ExportKind::HexList,
         {FileFaults::kUnlimited, 0, 100001, ENOSPC},
         IDS_IO_ERROR,
         false},
        {"hex listing, no room for the byte-order mark",
         ExportKind::HexList,
         {FileFaults::kUnlimited, 0, 1, ENOSPC},
         IDS_IO_ERROR,
         false},
        // The first block is read with its 16 look-ahead bytes.
        {"save, the document's second block unreadable",
         ExportKind::PartialSave,
         {kB + 16, EIO, FileFaults::kUnlimited, 0},
         IDS_IO_ERROR,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host.messages.clear();
        dir.Write("out", std::string("an older file"));
        {
            FileFaultScope scope;
            scope.faults = c.faults;
            EXPECT_FALSE(Export(c.kind, 0, kAll, "out", settings));
        }
        EXPECT_EQ(ReadAll(out), "an older file");
        EXPECT_EQ(Leftovers(dir), std::vector<std::string>{});
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].text,
                  PathMessage(c.message, c.documentPath ? doc.GetPathName() : out));
        EXPECT_EQ(host.statusTexts.back(), Saving(100));
    }
}

// A listing of several pieces: each is written while the next is formatted.
// The text is the same, and a fault in a later piece is reported as in the
// first and leaves the old output.
TEST_F(RangeExportTest, HexListingOfSeveralPieces) {
    Open(RandomBytes(2 * kHexListPiece + 1000, 15));
    const DumpSettings settings{0, false, CODE_SJIS};
    const std::string hex = HexListModel(original, 0, kAll, settings);
    const std::string firstPiece = HexListModel(original, 0, kHexListPiece - 1, settings);
    ASSERT_EQ(hex.compare(0, firstPiece.size(), firstPiece), 0);
    const uint64_t inSecond = firstPiece.size() + 1001;
    struct Case {
        const char* name;
        FileFaults faults;
        uint32_t message;  // 0: none
        bool documentPath;
    };
    const Case cases[] = {
        {"no fault", {}, 0, false},
        {"disk full in the second piece",
         {FileFaults::kUnlimited, 0, inSecond, ENOSPC},
         IDS_IO_ERROR,
         false},
        {"short write in the last piece",
         {FileFaults::kUnlimited, 0, hex.size() - 1, 0},
         IDS_WRITE_ERROR,
         false},
        // The first piece is read with its 16 look-ahead bytes.
        {"the document's second piece unreadable",
         {kHexListPiece + 16, EIO, FileFaults::kUnlimited, 0},
         IDS_IO_ERROR,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        host.messages.clear();
        dir.Write("out", std::string("an older file"));
        {
            FileFaultScope scope;
            scope.faults = c.faults;
            EXPECT_EQ(Export(ExportKind::HexList, 0, kAll, "out", settings), c.message == 0);
        }
        ASSERT_TRUE(ReadAll(out) == (c.message == 0 ? hex : "an older file")) << "output differs";
        EXPECT_EQ(Leftovers(dir), std::vector<std::string>{});
        if (c.message == 0) {
            EXPECT_TRUE(host.messages.empty());
        } else {
            ASSERT_EQ(host.messages.size(), 1u);
            EXPECT_EQ(host.messages[0].text,
                      PathMessage(c.message, c.documentPath ? doc.GetPathName() : out));
        }
        EXPECT_EQ(host.statusTexts.back(), Saving(100));
    }
}

// FIFOs (here without a reader, whose open for writing would never return),
// devices and folders, also behind a symbolic link, are refused with a
// message of their own and stay as they were.
TEST_F(RangeExportTest, OutputsThatAreNotRegularFiles) {
    Open("0123456789");
    const std::string fifo = dir.File("fifo"), folder = dir.File("folder");
    const std::string link = dir.File("link");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(folder);
    std::filesystem::create_symlink(fifo, link);
    for (const ExportKind kind : {ExportKind::PartialSave, ExportKind::HexList}) {
        for (const std::string& path : {fifo, link, folder, std::string("/dev/null")}) {
            SCOPED_TRACE(path);
            host.messages.clear();
            ExportRequest r;
            r.kind = kind;
            r.outputPath = path;
            r.startText = u"0";
            r.endText = u"9";
            EXPECT_FALSE(ExportRange(doc, host, r));
            ASSERT_EQ(host.messages.size(), 1u);
            EXPECT_EQ(host.messages[0].text, PathMessage(IDS_NOT_REGULAR_FILE, path));
        }
    }
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

// An existing output is replaced whole; behind a symbolic link the file it
// leads to is, and the link and the file's mode stay.
TEST_F(RangeExportTest, ReplacesTheFileALinkLeadsToAndKeepsItsMode) {
    Open(RandomBytes(0x300, 16));
    const std::string target = dir.Write("target", std::string(0x1000, 'x'));
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    ASSERT_EQ(::symlink("target", dir.File("out").c_str()), 0);
    const DumpSettings settings{0, false, CODE_SJIS};
    EXPECT_TRUE(Export(ExportKind::PartialSave, 0x10, 0x1F));
    EXPECT_EQ(ReadAll(target), original.substr(0x10, 16));
    EXPECT_TRUE(Export(ExportKind::HexList, 0, kAll, "out", settings));
    EXPECT_TRUE(ReadAll(target) == HexListModel(original, 0, kAll, settings));
    EXPECT_TRUE(std::filesystem::is_symlink(out));
    EXPECT_EQ(std::filesystem::status(target).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(Leftovers(dir), std::vector<std::string>{"target"});
    EXPECT_TRUE(host.messages.empty());
}

// ---------------------------------------------------------------- commands

class ExportCommandsTest : public ::testing::Test {
  protected:
    void Open(const std::string& bytes) {
        original = bytes;
        ASSERT_TRUE(session.Open(dir.Write("doc.bin", bytes)));
    }

    TempDir dir;
    test::Session session;
    FakeHost& host = session.host;
    COctileView& view = session.view;
    EditCommands& commands = session.edit;
    std::string original;
};

TEST_F(ExportCommandsTest, NothingOpenDisablesPartialSaveAndHexListing) {
    CmdUI ui;
    ASSERT_TRUE(commands.OnUpdateCommand(ID_FILE_SAVE_AS, ui));
    EXPECT_FALSE(ui.enabled);
    ASSERT_TRUE(commands.OnUpdateCommand(ID_FILE_HEXLIST, ui));
    EXPECT_FALSE(ui.enabled);
}

TEST_F(ExportCommandsTest, PartialSaveAsksForFileAndRange) {
    Open(RandomBytes(0x300, 21));
    view.UpdateSelection(SelectionStep::kAnchor, 0x1F);
    view.UpdateSelection(SelectionStep::kCaret, 0x10);
    CFileRangeDialog seen;
    const std::string output = dir.File("part.bin");
    host.AnswerDialog<CFileRangeDialog>([&](CFileRangeDialog& d) {
        seen = d;
        d.file.chosenPath = output;
        return IDOK;
    });
    EXPECT_TRUE(commands.OnCommand(ID_FILE_SAVE_AS));
    EXPECT_TRUE(seen.file.save);
    EXPECT_TRUE(seen.file.overwritePrompt);
    EXPECT_EQ(seen.file.title, u"部分保存");
    EXPECT_EQ(seen.file.filter, LoadString(IDS_FILTER));
    EXPECT_EQ(seen.file.defaultExtension, LoadString(IDS_DEF_FILTER));
    EXPECT_TRUE(seen.file.initialPath.empty());
    EXPECT_EQ(seen.start, FormatAddress(view.dumpSettings(), 0x10));
    EXPECT_EQ(seen.end, FormatAddress(view.dumpSettings(), 0x1F));
    EXPECT_EQ(ReadAll(output), original.substr(0x10, 16));
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(ExportCommandsTest, HexListingUsesTheViewsSettingsAndIsBusyMeanwhile) {
    Open(RandomBytes(0x9000, 22));
    CFileRangeDialog seen;
    const std::string output = dir.File("list.txt");
    host.AnswerDialog<CFileRangeDialog>([&](CFileRangeDialog& d) {
        seen = d;
        d.file.chosenPath = output;
        d.start = u"3";
        return IDOK;
    });
    int pumps = 0;
    host.onPump = [&] {
        ++pumps;
        EXPECT_TRUE(commands.Busy());
        for (uint32_t id : {ID_EDIT_INSERT, ID_FILE_SAVE_AS, ID_FILE_HEXLIST, ID_READ_ONLY}) {
            CmdUI ui;
            EXPECT_TRUE(commands.OnUpdateCommand(id, ui));
            EXPECT_FALSE(ui.enabled) << id;
        }
        EXPECT_TRUE(commands.OnCommand(ID_FILE_HEXLIST));  // swallowed: no second dialog
    };
    EXPECT_TRUE(commands.OnCommand(ID_FILE_HEXLIST));
    EXPECT_GT(pumps, 0);
    EXPECT_FALSE(commands.Busy());
    EXPECT_EQ(seen.file.title, u"16進ﾌｧｲﾙ格納");
    EXPECT_EQ(seen.file.filter, LoadString(IDS_TXT_FILTER));
    EXPECT_EQ(seen.file.defaultExtension, LoadString(IDS_TXT_EXT));
    // Caret at 0 with no wider selection: the end reads sixteen F digits.
    EXPECT_EQ(seen.end, FormatAddress(view.dumpSettings(), UINT64_MAX));
    EXPECT_TRUE(ReadAll(output) == HexListModel(original, 3, kAll, view.dumpSettings()));
    EXPECT_EQ(ReadAll(dir.File("doc.bin")), original);
}

}  // namespace
}  // namespace octile
