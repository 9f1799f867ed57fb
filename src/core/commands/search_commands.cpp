#include "commands/search_commands.h"

#include "commands/clipboard.h"
#include "document/long_operation.h"
#include "resources/resources.h"
#include "search/replace_run.h"
#include "search/search_pattern.h"
#include "settings/template_file.h"

namespace octile {

namespace {

// Between blocks of a search: reports the progress (which lets the window
// system dispatch waiting messages, Escape among them), but only every so
// often, so that fast scans are not slowed by it; stops the search when the
// progress says so.
class Pacer {
  public:
    using Clock = std::chrono::steady_clock;

    Pacer(Progress& progress, SearchEngine& engine, uint64_t fileLength, uint64_t origin,
          bool backward, std::chrono::milliseconds interval)
        : progress_(progress),
          engine_(engine),
          origin_(origin),
          backward_(backward),
          lines_((fileLength + 15) / 16),
          interval_(interval),
          last_(Clock::now()) {}

    bool operator()(uint64_t position) {
        if (progress_.WindowGone()) return true;
        const Clock::time_point now = Clock::now();
        if (now - last_ >= interval_) {
            last_ = now;
            progress_.Report(Percent(position));
            // A command run meanwhile may have changed the file.
            engine_.InvalidateCache();
        }
        return progress_.Cancelled();
    }

    SearchPoll Poll() {
        return [this](uint64_t position) { return (*this)(position); };
    }

  private:
    // How far the scan has come from the first window, measured around the
    // file rounded up to whole lines: ((d * 100) / 16) / lines.
    int Percent(uint64_t position) const {
        if (lines_ == 0) return 0;
        const uint64_t circle = 16 * lines_;
        uint64_t d;
        if (!backward_) {
            d = position >= origin_ ? position - origin_ : circle - origin_ + position;
        } else {
            d = origin_ >= position ? origin_ - position : origin_ + circle - position;
        }
        const uint64_t whole = d / 16;
        uint64_t percent;
        if (whole < (UINT64_MAX >> 8)) {
            percent = (whole * 100 + (d % 16) * 100 / 16) / lines_;
        } else {
            percent = static_cast<uint64_t>(static_cast<long double>(d) * 100 / 16 / lines_);
        }
        return static_cast<int>(std::min<uint64_t>(percent, 100));
    }

    Progress& progress_;
    SearchEngine& engine_;
    uint64_t origin_;
    bool backward_;
    uint64_t lines_;
    std::chrono::milliseconds interval_;
    Clock::time_point last_;
};

}  // namespace

SearchCommands::SearchCommands(Feedback& feedback, DialogHost& dialogs, ClipboardHost& clipboard,
                               COctileDoc& doc, COctileView& view)
    : feedback_(feedback), dialogs_(dialogs), clipboard_(clipboard), doc_(doc), view_(view) {}

void SearchCommands::OnViewDestroyed() {
    stop_.stop = true;
    stop_.windowGone = true;
}

// ---------------------------------------------------------------- commands

bool SearchCommands::OnUpdateCommand(uint32_t id, CmdUI& ui) {
    const bool idle = !IsSearching() && !stop_.windowGone;
    const bool writable = doc_.HasFile() && !doc_.IsReadOnly();
    switch (id) {
        case ID_SEARCH:
            ui.Enable(idle && view_.CommandEnabled());
            return true;
        case ID_SEARCH_NEXT:
        case ID_SEARCH_PREV:
            ui.Enable(idle && view_.CommandEnabled() && !searchText_.empty());
            return true;
        case ID_SEARCH_ABORT:
            ui.Enable(IsSearching());
            return true;
        case ID_REPLACE:
            ui.Enable(idle && writable);
            return true;
        case ID_EDIT_COPY:
            ui.Enable(!stop_.windowGone && doc_.HasFile());
            return true;
        case ID_EDIT_PASTE:
            ui.Enable(idle && writable);
            return true;
        default:
            return false;
    }
}

bool SearchCommands::Enabled(uint32_t id) {
    CmdUI ui;
    OnUpdateCommand(id, ui);
    return ui.enabled;
}

bool SearchCommands::OnCommand(uint32_t id) {
    switch (id) {
        case ID_SEARCH:
            OnFind();
            return true;
        case ID_SEARCH_NEXT:
            OnFindNext(false);
            return true;
        case ID_SEARCH_PREV:
            OnFindNext(true);
            return true;
        case ID_SEARCH_ABORT:
            if (Enabled(id)) stop_.stop = true;
            return true;
        case ID_REPLACE:
            OnReplace();
            return true;
        case ID_EDIT_COPY:
            if (Enabled(id)) CopySelection(feedback_, clipboard_, doc_, view_);
            return true;
        case ID_EDIT_PASTE:
            if (Enabled(id)) PasteClipboard(feedback_, clipboard_, doc_, view_);
            return true;
        default:
            return false;
    }
}

// The selection clipped to the read window (stored back into the anchor and
// the caret offset) and its bytes as text.
std::u16string SearchCommands::TakeProposal() {
    const uint64_t w = view_.WindowOffset();
    const uint64_t r = view_.ReadSize();
    if (r == 0 || view_.ReadWindow() == nullptr) return std::u16string();
    uint64_t lo = 0, hi = 0;
    view_.GetSelectionRange(lo, hi);
    const uint64_t top = w + r - 1;
    lo = std::min(std::max(lo, w), top);
    hi = std::max(std::min(hi, top), lo);
    const bool anchorLow = view_.Anchor() <= view_.CaretOffset();
    view_.UpdateSelection(SelectionStep::kAnchor, anchorLow ? lo : hi);
    view_.UpdateSelection(SelectionStep::kCaret, anchorLow ? hi : lo);
    view_.DrawCaret(CaretDraw::kMove);
    return SearchProposal(view_.ReadWindow() + (lo - w), hi - lo + 1, view_.HexSearch(),
                          view_.GetCharCode(), r);
}

void SearchCommands::OnFind() {
    if (!Enabled(ID_SEARCH)) return;
    CSearchSecDlg dlg;
    searchText_ = TakeProposal();
    dlg.searchText = searchText_;
    if (dialogs_.DoModal(&dlg) != IDOK) return;
    BusyScope busy(doc_.busy(), BusyState::kSearch, feedback_);
    searchText_ = dlg.searchText;
    if (searchText_.empty()) return;
    if (!SearchFile(searchText_, false) && !stop_.windowGone) feedback_.Beep();
}

void SearchCommands::OnFindNext(bool backward) {
    if (!Enabled(backward ? ID_SEARCH_PREV : ID_SEARCH_NEXT)) return;
    BusyScope busy(doc_.busy(), BusyState::kSearch, feedback_);
    if (!SearchFile(searchText_, backward) && !stop_.windowGone) feedback_.Beep();
}

// ---------------------------------------------------------------- search

SearchResult SearchCommands::Search(SearchEngine& engine, bool backward, Progress& progress) {
    Pacer pacer(progress, engine, doc_.GetFileLength(), view_.WindowOffset(), backward,
                pumpInterval_);
    const COctileView::Cell caret = view_.CaretCell();
    const SearchRequest request{view_.CellToOffset(caret.column, caret.row).offset,
                                view_.WindowOffset(), view_.ReadSize(), backward};
    return engine.Find(request, pacer.Poll());
}

bool SearchCommands::SearchFile(const std::u16string& text, bool backward) {
    stop_.stop = false;
    if (stop_.windowGone || !doc_.HasFile()) return false;
    const SearchPattern pattern =
        BuildSearchPattern(text, view_.HexSearch(), view_.GetCharCode(), view_.ReadSize());
    if (pattern.status != SearchPattern::Ok) return false;
    SearchEngine engine(doc_.file(), doc_.GetFileLength(), engineOptions_);
    engine.SetPattern(pattern.bytes);
    Progress progress = SearchProgress();
    const SearchResult hit = Search(engine, backward, progress);
    progress.Finish();
    if (hit.status != SearchResult::Found || stop_.windowGone) return false;
    if (!backward && hit.wrapped) wrapped_ = true;
    ShowHit(hit, pattern.bytes.size());
    return true;
}

// Selects the match, puts the caret on its last byte's high digit (or on the
// clipped end when the match runs past the page) and moves the view to the
// hit's window, which reloads and redraws the page.
void SearchCommands::ShowHit(const SearchResult& hit, uint64_t length) {
    const uint64_t last = hit.match + length - 1;
    const uint64_t r = view_.ReadSize();
    view_.UpdateSelection(SelectionStep::kAnchor, hit.match);
    view_.UpdateSelection(SelectionStep::kCaret, last);
    const DumpLayout layout = view_.Layout();
    COctileView::Cell cell;
    if (CaretAfterHit(hit.window, r, hit.match, length) == last) {
        cell = layout.CellOf(last - hit.window, DumpArea::kHex);
    } else {
        cell = {layout.LastHexCell(), static_cast<int32_t>(r / DumpLayout::kBytesPerLine)};
    }
    view_.SetCaretCell(cell);
    view_.SetWindowOffset(hit.window, true);
    if (onHit) onHit(hit.match);
}

// ---------------------------------------------------------------- replace

void SearchCommands::OnReplace() {
    if (!Enabled(ID_REPLACE)) return;
    const TemplateFlags flags = ReadTemplateFlags(doc_.TemplatePath());
    CSearchSecDlg dlg;
    dlg.replaceMode = 1;
    dlg.replaceAll = flags.silentReplace ? 1 : 0;
    searchText_ = TakeProposal();
    dlg.searchText = searchText_;
    if (dialogs_.DoModal(&dlg) != IDOK) return;
    BusyScope busy(doc_.busy(), BusyState::kSearch, feedback_);
    searchText_ = dlg.searchText;
    replaceText_ = dlg.replaceText;
    const uint64_t r = view_.ReadSize();
    // Both patterns are built once for the run, so that a change of the
    // character code while it runs cannot give them different lengths.
    const SearchPattern search =
        BuildSearchPattern(searchText_, view_.HexSearch(), view_.GetCharCode(), r);
    const SearchPattern replacement =
        BuildSearchPattern(replaceText_, view_.HexSearch(), view_.GetCharCode(), r);
    if (search.status == SearchPattern::Empty || replacement.status == SearchPattern::Empty) return;
    if (search.status == SearchPattern::TooLong || replacement.status == SearchPattern::TooLong) {
        feedback_.Beep();
        return;
    }
    if (search.bytes.size() != replacement.bytes.size()) return;

    wrapped_ = false;
    SearchEngine engine(doc_.file(), doc_.GetFileLength(), engineOptions_);
    engine.SetPattern(search.bytes);
    if (dlg.replaceAll != 0) {
        ReplaceAll(engine, replacement.bytes);
    } else {
        ReplaceConfirmed(engine, replacement.bytes);
    }
}

bool SearchCommands::WriteReplacement(SearchEngine& engine, uint64_t offset,
                                      const std::vector<uint8_t>& bytes) {
    const uint32_t n = static_cast<uint32_t>(bytes.size());
    if (doc_.WriteBytes(bytes.data(), n, offset) != n) {
        if (!doc_.WriteRefusedByJournal()) {
            ShowPathMessage(feedback_, IDS_WRITE_ERROR, doc_.GetPathName());
        }
        return false;
    }
    engine.NoteWrite(offset, bytes.data(), bytes.size());
    return true;
}

// Every hit is shown and asked about.
void SearchCommands::ReplaceConfirmed(SearchEngine& engine,
                                      const std::vector<uint8_t>& replacement) {
    const COctileView::Cell caret = view_.CaretCell();
    ReplaceRound round(view_.CellToOffset(caret.column, caret.row).offset);
    for (;;) {
        stop_.stop = false;
        Progress progress = SearchProgress();
        const SearchResult hit = Search(engine, false, progress);
        progress.Finish();
        if (stop_.windowGone) return;
        if (hit.status != SearchResult::Found) {
            feedback_.Beep();
            return;
        }
        if (hit.wrapped) wrapped_ = true;
        ShowHit(hit, replacement.size());
        if (!round.Accept(hit)) return;
        const int answer = feedback_.MessageBox(LoadString(IDS_REPLACE_QUESTION),
                                                MB_YESNOCANCEL | MB_ICONQUESTION);
        engine.InvalidateCache();
        if (stop_.windowGone) return;
        if (answer == IDYES) {
            if (!WriteReplacement(engine, hit.match, replacement)) return;
            view_.ReloadWindow();
        } else if (answer != IDNO) {
            return;
        }
    }
}

// Nothing needs showing between hits: the run searches and writes on its
// own, and the view shows the last hit once at the end.
void SearchCommands::ReplaceAll(SearchEngine& engine, const std::vector<uint8_t>& replacement) {
    stop_.stop = false;
    const COctileView::Cell caret = view_.CaretCell();
    const uint64_t start = view_.CellToOffset(caret.column, caret.row).offset;
    const uint32_t n = static_cast<uint32_t>(replacement.size());
    Progress progress = SearchProgress();
    Pacer pacer(progress, engine, doc_.GetFileLength(), view_.WindowOffset(), false, pumpInterval_);
    bool writeFailed = false;
    EditStep step(doc_, start);  // the whole run is one step of the history
    const ReplaceAllResult result = RunReplaceAll(
        engine, replacement, start, view_.WindowOffset(), view_.ReadSize(),
        [&](uint64_t offset) {
            writeFailed = doc_.WriteBytes(replacement.data(), n, offset) != n;
            return !writeFailed;
        },
        pacer.Poll());
    progress.Finish();
    if (stop_.windowGone) return;
    if (result.wrapped) wrapped_ = true;
    if (result.hit) ShowHit(result.lastHit, replacement.size());
    if (writeFailed) {
        if (!doc_.WriteRefusedByJournal()) {
            ShowPathMessage(feedback_, IDS_WRITE_ERROR, doc_.GetPathName());
        }
    } else if (result.end == ReplaceAllResult::NothingFound ||
               result.end == ReplaceAllResult::Aborted) {
        feedback_.Beep();
    }
}

}  // namespace octile
