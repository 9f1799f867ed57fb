#pragma once
// Everything the core asks of a window system, as one class: the Qt shell
// implements it, and so do the command line's host and the tests' fake.
// Code that drives the whole window (the view, the application) takes a
// UiHost; the rest takes only the parts it uses.
#include "host/clipboard_host.h"
#include "host/dialog_host.h"
#include "host/feedback.h"
#include "host/font.h"
#include "host/shell.h"
#include "host/view_surface.h"

namespace octile {

class UiHost : public Feedback,
               public DialogHost,
               public ClipboardHost,
               public ViewSurface,
               public Shell {
  public:
    ~UiHost() override = default;
};

}  // namespace octile
