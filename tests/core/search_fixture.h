#pragma once
// A document, its view and the search commands over a temporary file, for the
// search, replace and clipboard tests.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "session.h"
#include "temp_dir.h"

namespace octile::test {

using Bytes = std::vector<uint8_t>;

inline Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

class SearchFixture : public ::testing::Test {
  protected:
    SearchFixture() = default;

    void Open(const Bytes& bytes, bool writable = false) {
        path = dir.Write("f.bin", bytes);
        ASSERT_TRUE(doc.OnOpenDocument(path));
        view.OnInitialUpdate();
        if (writable) doc.OnCommand(ID_READ_ONLY);
        ASSERT_EQ(doc.IsReadOnly() == 0, writable);
    }
    Bytes FileBytes() const { return ToBytes(ReadAll(path)); }

    void Cmd(uint32_t id) { ASSERT_TRUE(commands.OnCommand(id)) << id; }
    bool IsEnabled(uint32_t id) {
        CmdUI ui;
        EXPECT_TRUE(commands.OnUpdateCommand(id, ui)) << id;
        return ui.enabled;
    }

    // Answers the next search dialog with OK and these texts; records what
    // the dialog was opened with.
    void AnswerDialog(std::u16string search, std::u16string replacement = u"", int all = -1) {
        host.AnswerDialog<CSearchSecDlg>([=, this](CSearchSecDlg& d) {
            opened = d;
            d.searchText = search;
            d.replaceText = replacement;
            if (all >= 0) d.replaceAll = all;
            return IDOK;
        });
    }

    // The caret on the high digit of the byte at offset, which must be on the
    // page, and the selection collapsed onto it.
    void PutCaretOn(uint64_t offset) {
        PutCaretOnByte(view, offset);
        view.UpdateSelection(SelectionStep::kAnchor, offset);
        view.UpdateSelection(SelectionStep::kCaret, offset);
    }
    uint64_t CaretCellOffset() const {
        const COctileView::Cell c = view.CaretCell();
        return view.CellToOffset(c.column, c.row).offset;
    }
    std::u16string LastStatus() const {
        return host.statusTexts.empty() ? u"" : host.statusTexts.back();
    }

    TempDir dir;
    Session session;
    FakeHost& host = session.host;
    MemoryProfileStore& store = session.store;
    COctileDoc& doc = session.doc;
    COctileView& view = session.view;
    SearchCommands& commands = session.search;
    std::string& templatePath = session.templatePath;
    std::string path;
    CSearchSecDlg opened;
};

inline const std::u16string kDone = u"検索中(100%)　中断はESCキーを押下";

}  // namespace octile::test
