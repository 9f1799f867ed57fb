#pragma once
// The long operations on the open file dispatch waiting messages between
// blocks, so other commands can arrive while one runs. BusyState says
// whether one runs, and which kind; BusyScope marks one for its lifetime.
#include <cstdint>

#include "host/feedback.h"

namespace octile {

class BusyState {
  public:
    enum Kind : uint8_t {
        kFileOperation,  // insert, delete, fill, partial save, hex listing, copy
        kSearch,         // a search or replace run
        kKinds
    };

    bool Busy() const { return running_[kFileOperation] + running_[kSearch] > 0; }
    bool Running(Kind kind) const { return running_[kind] > 0; }

  private:
    friend class BusyScope;
    // Scopes nest: a search may start while an edit lets messages through.
    uint32_t running_[kKinds] = {};
};

// Marks an operation of one kind running while it lives. Given a Feedback it
// also shows the wait cursor, which EndWaitCursor() removes early (before a
// message box) keeping Begin and End balanced.
class BusyScope {
  public:
    BusyScope(BusyState& state, BusyState::Kind kind) : state_(state), kind_(kind) {
        ++state_.running_[kind_];
    }
    BusyScope(BusyState& state, BusyState::Kind kind, Feedback& cursor) : BusyScope(state, kind) {
        cursor_ = &cursor;
        cursor_->BeginWaitCursor();
    }
    ~BusyScope() {
        EndWaitCursor();
        --state_.running_[kind_];
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

    void EndWaitCursor() {
        if (cursor_) cursor_->EndWaitCursor();
        cursor_ = nullptr;
    }

  private:
    BusyState& state_;
    BusyState::Kind kind_;
    Feedback* cursor_ = nullptr;
};

}  // namespace octile
