#include "commands/clipboard.h"

#include <fcntl.h>
#include <unistd.h>

#include "resources/resources.h"
#include "search_fixture.h"
#include "util/utf.h"

namespace octile {
namespace {

using test::Bytes;
using test::ToBytes;

std::u16string Repeat(std::u16string_view s, int n) {
    std::u16string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

const std::u16string kRuler =
    u"|-0--1--2--3--4--5--6--7--8--9--A--B--C--D--E--F-|---0123456789ABCDEF";

std::u16string ClosingRule(int width) {
    return std::u16string(width, u'-') + u"|" + std::u16string(48, u'-') + u"|" +
           std::u16string(19, u'-') + u"\r\n";
}

TEST(ParsePasteText, Forms) {
    struct Case {
        std::u16string text;
        Bytes bytes;
    };
    const std::u16string head = u"--------" + kRuler + u"\r\n";
    const Case cases[] = {
        {u"41 42 43", {0x41, 0x42, 0x43}},
        {u"414243", {0x41, 0x24}},  // the third character is always a separator
        {u"4a-Bc", {0x4A, 0xBC}},
        {u"4", {0x40}},  // a lone digit takes the terminating zero
        {u" 41", {}},
        {u"41 |2", {0x41}},
        {u"41 42\r\n", {0x41, 0x42}},  // a line end is no digit pair
        {u"", {}},
        // A listing: addresses and the character column are ignored.
        {head + u"00000000|41 42 43 " + Repeat(u"   ", 13) + u"|   ABC" + std::u16string(13, u' ') +
             u"\r\n" + ClosingRule(8),
         {0x41, 0x42, 0x43}},
        // Lines cut off or edited by hand end where their text ends.
        {head + u"00000000|41 42 4\r\n00000010|43 44|x\r\n0\r\n00000020|45 4",
         {0x41, 0x42, 0x43, 0x44, 0x45}},
        // An empty line ends the listing.
        {head + u"00000000|41 \r\n\r\n00000010|42 \r\n", {0x41}},
        // The address width is the ruler's.
        {u"------------" + kRuler + u"\r\n000000001230|fe ff \r\n", {0xFE, 0xFF}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParsePasteText(c.text), c.bytes) << Utf16ToUtf8(c.text);
    }
}

class ClipboardTest : public test::SearchFixture {};

TEST_F(ClipboardTest, CopyThreeBytesAt1234) {
    Bytes bytes(0x2000, 0);
    bytes[0x1234] = 'A';
    bytes[0x1235] = 'B';
    bytes[0x1236] = 'C';
    Open(bytes);
    view.UpdateSelection(SelectionStep::kAnchor, 0x1236);
    view.UpdateSelection(SelectionStep::kCaret, 0x1234);
    Cmd(ID_EDIT_COPY);
    const std::u16string expected = u"--------" + kRuler + u"\r\n" + u"00001234|41 42 43 " +
                                    Repeat(u"   ", 13) + u"|   ABC" + std::u16string(13, u' ') +
                                    u"\r\n" + ClosingRule(8);
    EXPECT_EQ(host.clipboard, expected);
}

TEST_F(ClipboardTest, CopyThenPasteElsewhereReproducesTheBytes) {
    Bytes bytes(0x400);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    struct Case {
        uint64_t from, to, at;
    };
    const Case cases[] = {
        {0x10, 0x1F, 0x300}, {0x23, 0x61, 0x305}, {0x40, 0x40, 0x3F0}, {0x05, 0xFA, 0x200}};
    for (const Case& c : cases) {
        Open(bytes, true);
        view.UpdateSelection(SelectionStep::kAnchor, c.from);
        view.UpdateSelection(SelectionStep::kCaret, c.to);
        Cmd(ID_EDIT_COPY);
        view.SetWindowOffset(c.at & ~0xFFull);
        PutCaretOn(c.at);
        Cmd(ID_EDIT_PASTE);
        Bytes expected = bytes;
        const uint64_t n = std::min<uint64_t>(c.to - c.from + 1, bytes.size() - c.at);
        std::copy(bytes.begin() + c.from, bytes.begin() + c.from + n, expected.begin() + c.at);
        EXPECT_EQ(FileBytes(), expected) << std::hex << c.from;
        // The caret and the selection stay.
        EXPECT_EQ(view.Anchor(), c.at);
        doc.OnCloseDocument();
    }
}

TEST_F(ClipboardTest, PasteRunsOnWindowByWindow) {
    Open(Bytes(0x100, 0), true);
    view.SetReadSize(0x20);
    view.SetWindowOffset(0x40);
    PutCaretOn(0x50);
    std::u16string text;
    for (int i = 0; i < 0x30; ++i) text += u"ab ";
    host.clipboard = text;
    Cmd(ID_EDIT_PASTE);
    Bytes expected(0x100, 0);
    std::fill(expected.begin() + 0x50, expected.begin() + 0x80, 0xAB);
    EXPECT_EQ(FileBytes(), expected);
    // The window filled up twice: it moved on by two read sizes.
    EXPECT_EQ(view.WindowOffset(), 0x80u);
    EXPECT_EQ(view.ReadWindow()[0], 0x00);
    EXPECT_EQ(view.Anchor(), 0x50u);
}

TEST_F(ClipboardTest, PasteNeverLengthensTheFile) {
    Open(ToBytes("0123456789"), true);
    view.SetReadSize(0x20);
    PutCaretOn(9);
    host.clipboard = u"41 42";
    Cmd(ID_EDIT_PASTE);
    EXPECT_EQ(test::ReadAll(path), "012345678A");
    // Far past the end: the view stays on the last window inside the file.
    std::u16string text;
    for (int i = 0; i < 0x100; ++i) text += u"42 ";
    host.clipboard = text;
    PutCaretOn(4);
    Cmd(ID_EDIT_PASTE);
    EXPECT_EQ(test::ReadAll(path), "0123BBBBBB");
    EXPECT_EQ(view.WindowOffset(), 0u);
}

TEST_F(ClipboardTest, PasteIntoAReadOnlyFileDoesNothing) {
    Open(ToBytes("0123456789"), false);
    host.clipboard = u"41 42";
    EXPECT_FALSE(IsEnabled(ID_EDIT_PASTE));
    PasteClipboard(host, host, doc, view);  // even when carried out directly
    EXPECT_EQ(test::ReadAll(path), "0123456789");
}

TEST_F(ClipboardTest, TooLargeACopyIsRefused) {
    path = dir.File("big.bin");
    const int fd = ::open(path.c_str(), O_CREAT | O_RDWR, 0644);
    ASSERT_EQ(::ftruncate(fd, 64 << 20), 0);
    ::close(fd);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    view.OnInitialUpdate();
    host.clipboard = u"unchanged";
    view.UpdateSelection(SelectionStep::kAnchor, 0);
    view.UpdateSelection(SelectionStep::kCaret, (8 << 20) - 1);
    Cmd(ID_EDIT_COPY);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text,
              u"ﾌｧｲﾙ'" + Utf8ToUtf16(doc.GetPathName()) + u"'の保存でﾒﾓﾘ不足が発生しました。");
    EXPECT_EQ(host.clipboard, u"unchanged");
    // A selection within the bound is copied.
    view.UpdateSelection(SelectionStep::kCaret, 0xFFFF);
    Cmd(ID_EDIT_COPY);
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.clipboard.size(), 2 * (8 + 69 + 2) + 0x1000 * (8 + 69 + 2));
}

}  // namespace
}  // namespace octile
