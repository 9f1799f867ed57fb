#pragma once
// One Octile without its windows, put together the way the application puts
// it together: the fake host, a profile store in memory, the document, its
// view and the edit, search and compare commands, wired to each other. The
// tests that drive commands over a real file start from it.
#include <string>

#include "commands/compare_command.h"
#include "commands/edit_commands.h"
#include "commands/search_commands.h"
#include "document/document.h"
#include "fake_host.h"
#include "memory_profile_store.h"
#include "view/view.h"

namespace octile::test {

class Session {
  public:
    // The view window is created (its settings read); no file is open yet.
    Session() {
        doc.templatePath = [this] { return templatePath; };
        doc.chooseFile = [this](FileDialogRequest& request) { return host.GetFileName(request); };
        doc.openDocumentFile = [this](const std::string& path) { return Open(path); };
        view.isBusy = [this] { return doc.busy().Busy(); };
        view.OnCreate();
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Opens path in the document and shows its first page; false, with the
    // document's message shown, when it cannot be opened.
    bool Open(const std::string& path) {
        if (!doc.OnOpenDocument(path)) return false;
        view.OnInitialUpdate();
        return true;
    }

    FakeHost host;
    MemoryProfileStore store;
    std::string templatePath;  // the template file the document reads; empty: none
    COctileDoc doc{host};
    COctileView view{host, doc, store};
    EditCommands edit{host, host, doc, view};
    SearchCommands search{host, host, host, doc, view};
    CompareCommand compare{host, host, host, doc, view};
};

}  // namespace octile::test
