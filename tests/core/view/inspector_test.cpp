// The data inspector as the view serves it: the values read at the caret's
// byte, the lengths above them, and a typed value written back as one
// undoable edit that never lengthens the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "document/undo.h"
#include "dump/data_inspector.h"
#include "fake_host.h"
#include "temp_dir.h"
#include "view/view.h"

namespace octile {
namespace {

using test::FakeHost;
using test::ReadAll;
using test::TempDir;

class InspectorTest : public ::testing::Test {
  protected:
    InspectorTest() : doc(host), view(host, doc, store) {
        doc.SetJournalOptions({.folder = dir.File("journal")});
        view.OnCreate();
    }

    // A file of bytes 0, 1, 2 ... opened read-write.
    void Open(size_t n) {
        std::vector<uint8_t> bytes(n);
        std::iota(bytes.begin(), bytes.end(), 0);
        path = dir.Write("f.bin", bytes);
        ASSERT_TRUE(doc.OnOpenDocument(path));
        if (doc.IsReadOnly()) doc.OnCommand(ID_READ_ONLY);
        ASSERT_EQ(doc.IsReadOnly(), 0);
        view.OnInitialUpdate();
    }
    // The caret on the high digit of the byte at offset (on the first page).
    void Caret(uint64_t offset) {
        COctileView::Cell cell;
        ASSERT_TRUE(view.OffsetToCell(COctileView::CellMode::kHex, offset, cell));
        view.SetCaretCell(cell);
    }
    static size_t Row(std::u16string_view label) {
        const auto& rows = InspectorRows();
        const auto it = std::find_if(rows.begin(), rows.end(),
                                     [&](const InspectorRow& r) { return label == r.label; });
        EXPECT_NE(it, rows.end()) << "no row " << std::string(label.begin(), label.end());
        return static_cast<size_t>(it - rows.begin());
    }
    std::u16string Text(std::u16string_view label) {
        return view.InspectorLines()[COctileView::kInspectorLengthLines + Row(label)].text;
    }

    TempDir dir;
    FakeHost host;
    MemoryProfileStore store;
    COctileDoc doc;
    COctileView view;
    std::string path;
};

TEST_F(InspectorTest, ShowsTheLengthsAndTheValuesAtTheCaret) {
    std::vector<InspectorLine> lines = view.InspectorLines();
    ASSERT_EQ(lines.size(), COctileView::kInspectorLengthLines + InspectorRows().size());
    EXPECT_EQ(lines[0].label, u"ﾌｧｲﾙ長");
    EXPECT_EQ(lines[1].label, u"選択長");
    // No file open: labels only.
    for (const InspectorLine& line : lines) EXPECT_TRUE(line.text.empty());

    Open(0x40);
    Caret(0x10);
    lines = view.InspectorLines();
    EXPECT_EQ(lines[0].text, FormatLength(0x40));
    EXPECT_EQ(lines[1].text, FormatLength(1));
    EXPECT_EQ(Text(u"uint8"), u"16");
    EXPECT_EQ(Text(u"uint16 LE"), u"4368");       // 0x1110
    EXPECT_EQ(Text(u"uint16 BE"), u"4113");       // 0x1011
    EXPECT_EQ(Text(u"uint32 BE"), u"269554195");  // 0x10111213

    // A selection of 0x21 bytes.
    view.UpdateSelection(SelectionStep::kAnchor, 0x08);
    view.UpdateSelection(SelectionStep::kCaret, 0x28);
    EXPECT_EQ(view.InspectorLines()[1].text, FormatLength(0x21));
}

TEST_F(InspectorTest, BytesPastTheEndShowNothing) {
    Open(0x13);
    Caret(0x10);  // three bytes left: 10 11 12
    EXPECT_EQ(Text(u"uint8"), u"16");
    EXPECT_EQ(Text(u"uint16 BE"), u"4113");
    EXPECT_TRUE(Text(u"uint32 LE").empty());
    EXPECT_TRUE(Text(u"float64 LE").empty());
    EXPECT_TRUE(Text(u"time32 LE (UTC)").empty());
}

TEST_F(InspectorTest, AValueIsWrittenAsItsBytesAndUndoneAsOneStep) {
    Open(0x40);
    const std::string before = ReadAll(path);
    Caret(0x20);
    ASSERT_TRUE(view.WriteInspectorValue(Row(u"uint32 BE"), u"0xA1B2C3D4"));
    std::string expected = before;
    expected.replace(0x20, 4, "\xA1\xB2\xC3\xD4");
    EXPECT_EQ(ReadAll(path), expected);
    // The page was read again: the panel shows the new value.
    EXPECT_EQ(Text(u"uint32 BE"), u"2712847316");
    EXPECT_EQ(host.beeps, 0);

    ASSERT_TRUE(UndoEdit(doc, host));
    EXPECT_EQ(ReadAll(path), before);
}

TEST_F(InspectorTest, RefusedOnAReadOnlyFileForNoValueAndPastTheEnd) {
    Open(0x12);
    const std::string before = ReadAll(path);
    Caret(0x10);  // two bytes left
    // Four bytes would lengthen the file; two fit.
    EXPECT_FALSE(view.WriteInspectorValue(Row(u"int32 LE"), u"1"));
    EXPECT_FALSE(view.WriteInspectorValue(Row(u"uint8"), u"256"));
    EXPECT_FALSE(view.WriteInspectorValue(Row(u"uint8"), u"x"));
    EXPECT_EQ(host.beeps, 3);
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_FALSE(doc.CanUndo());

    doc.OnCommand(ID_READ_ONLY);
    ASSERT_NE(doc.IsReadOnly(), 0);
    EXPECT_FALSE(view.WriteInspectorValue(Row(u"uint8"), u"7"));
    EXPECT_EQ(host.beeps, 4);
    EXPECT_EQ(ReadAll(path), before);

    doc.OnCommand(ID_READ_ONLY);
    ASSERT_TRUE(view.WriteInspectorValue(Row(u"uint16 LE"), u"258"));
    EXPECT_EQ(ReadAll(path).size(), before.size());
    EXPECT_EQ(ReadAll(path).substr(0x10), std::string("\x02\x01", 2));
}

TEST_F(InspectorTest, ThePanelsStateIsKeptInTheSettings) {
    EXPECT_FALSE(view.IsInspectorDisplay());
    view.SetInspectorDisplay(true);
    view.WriteSettings();
    EXPECT_EQ(store.GetProfileInt("View", "Inspector", 0), 1);
    COctileView next(host, doc, store);
    next.ReadSettings();
    EXPECT_TRUE(next.IsInspectorDisplay());
}

}  // namespace
}  // namespace octile
