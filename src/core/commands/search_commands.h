#pragma once
// The search, replace and clipboard commands of the dump view: find 113, find
// next 32779, find previous 32794, abort 32811, replace 32795, copy 57634 and
// paste 57637, with the search state they share. The view is moved only
// through its public operations.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "command/command_ids.h"
#include "document/document.h"
#include "document/progress.h"
#include "host/clipboard_host.h"
#include "host/dialog_host.h"
#include "host/feedback.h"
#include "search/search_engine.h"
#include "view/view.h"

namespace octile {

class SearchCommands : public CommandTarget {
  public:
    SearchCommands(Feedback& feedback, DialogHost& dialogs, ClipboardHost& clipboard,
                   COctileDoc& doc, COctileView& view);

    bool OnCommand(uint32_t id) override;
    bool OnUpdateCommand(uint32_t id, CmdUI& ui) override;

    // The view's window is being destroyed: a running search or replace run
    // stops and touches the view no more. Every command is disabled after it.
    void OnViewDestroyed();

    // Runs after every hit that the view shows, with the new anchor (picture
    // detection).
    std::function<void(uint64_t anchor)> onHit;

    // One search with the text, forwards or backwards from the caret. On a hit
    // the view shows and selects the match and the result is true; otherwise
    // the view is unchanged. Beeping is the caller's.
    bool SearchFile(const std::u16string& text, bool backward);

    void OnFind();
    void OnFindNext(bool backward);
    void OnReplace();

    const std::u16string& SearchText() const { return searchText_; }
    const std::u16string& ReplaceText() const { return replaceText_; }
    bool IsSearching() const { return doc_.busy().Running(BusyState::kSearch); }
    bool IsAbortRequested() const { return stop_.stop; }
    // A forward search went past the end of the file since the last replace
    // command began.
    bool IsWrapped() const { return wrapped_; }

    // Tuning, for tests: the engine's block size and verification allowance,
    // and the least time between two dispatches of waiting messages.
    void SetEngineOptions(SearchEngine::Options options) { engineOptions_ = options; }
    void SetPumpInterval(std::chrono::milliseconds interval) { pumpInterval_ = interval; }

  private:
    bool Enabled(uint32_t id);
    std::u16string TakeProposal();
    SearchResult Search(SearchEngine& engine, bool backward, Progress& progress);
    void ShowHit(const SearchResult& hit, uint64_t length);
    bool WriteReplacement(SearchEngine& engine, uint64_t offset, const std::vector<uint8_t>& bytes);
    void ReplaceConfirmed(SearchEngine& engine, const std::vector<uint8_t>& replacement);
    void ReplaceAll(SearchEngine& engine, const std::vector<uint8_t>& replacement);
    Progress SearchProgress() { return Progress(feedback_, IDS_SEARCHING, &stop_); }

    Feedback& feedback_;
    DialogHost& dialogs_;
    ClipboardHost& clipboard_;
    COctileDoc& doc_;
    COctileView& view_;

    std::u16string searchText_;
    std::u16string replaceText_;
    bool wrapped_ = false;
    // Set by the abort command and when the view goes; read by a running
    // search through its Progress.
    StopRequest stop_;

    SearchEngine::Options engineOptions_;
    // Escape must stop a search within about a tenth of a second.
    std::chrono::milliseconds pumpInterval_{50};
};

}  // namespace octile
