// The data inspector's side of the view: what the panel shows for the caret
// and the write of a value typed into it.
#include <algorithm>

#include "document/long_operation.h"
#include "dump/data_inspector.h"
#include "resources/resources.h"
#include "view/view.h"

namespace octile {

namespace {

// The most bytes a row reads at the caret.
constexpr uint64_t kInspectedBytes = 8;

}  // namespace

std::optional<uint64_t> COctileView::CaretByte() const {
    if (!fileOpen_ || !doc_.HasFile()) return std::nullopt;
    const HitTest hit = CellToOffset(selection_.caret.column, selection_.caret.row);
    if (hit.area == Area::kNone) return std::nullopt;
    // On the blank after a byte a typed digit goes to the next byte.
    if (hit.area == Area::kHex && hit.digit == HexDigit::kNone) return hit.offset + 1;
    return hit.offset;
}

std::vector<InspectorLine> COctileView::InspectorLines() {
    const std::vector<InspectorRow>& rows = InspectorRows();
    std::vector<InspectorLine> lines;
    lines.reserve(kInspectorLengthLines + rows.size());
    lines.push_back({u"ﾌｧｲﾙ長", {}});
    lines.push_back({u"選択長", {}});
    for (const InspectorRow& row : rows) lines.push_back({row.label, {}});
    if (!fileOpen_ || !doc_.HasFile()) return lines;

    const uint64_t length = doc_.GetFileLength();
    lines[0].text = FormatLength(length);
    uint64_t start = 0, end = 0;
    selection_.Range(start, end);
    lines[1].text = FormatLength(length == 0 ? 0 : end - start + 1);

    const std::optional<uint64_t> at = CaretByte();
    if (!at || *at >= length) return lines;
    uint8_t buffer[kInspectedBytes + COctileDoc::kLookAhead] = {};
    const uint64_t wanted = std::min(kInspectedBytes, length - *at);
    const uint32_t n = doc_.ReadBytes(buffer, wanted, *at);
    for (size_t i = 0; i < rows.size(); ++i) {
        lines[kInspectorLengthLines + i].text = InspectValue(rows[i], buffer, n);
    }
    return lines;
}

bool COctileView::WriteInspectorValue(size_t row, std::u16string_view text) {
    const std::vector<InspectorRow>& rows = InspectorRows();
    const std::optional<uint64_t> at = CaretByte();
    const uint64_t length = doc_.HasFile() ? doc_.LiveLength() : 0;
    std::vector<uint8_t> bytes;
    const bool refused = row >= rows.size() || !at || doc_.IsReadOnly() || (isBusy && isBusy()) ||
                         *at >= length || !EncodeValue(rows[row], text, bytes) || bytes.empty() ||
                         bytes.size() > length - *at;
    if (refused) {
        host_.Beep();
        return false;
    }
    typing_.Clear();  // a half-typed character's lead must not pair across this write
    {
        // One step of the history, undone as a whole.
        EditStep step(doc_, *at);
        if (!step.ok()) return false;
        const auto count = static_cast<uint32_t>(bytes.size());
        if (doc_.WriteBytes(bytes.data(), count, *at) != count) {
            if (!doc_.WriteRefusedByJournal()) {
                ShowPathMessage(host_, IDS_WRITE_ERROR, doc_.GetPathName());
            }
            ReloadWindow();
            return false;
        }
    }
    ReloadWindow();
    return true;
}

}  // namespace octile
