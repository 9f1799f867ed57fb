// octile: the binary editor's window.
#include <QApplication>
#include <string>
#include <vector>

#include "app/app.h"
#include "gui/app_icon.h"
#include "gui/main_window.h"
#include "gui/qt_translations.h"
#include "gui/qt_ui_host.h"
#include "settings/paths.h"
#include "settings/profile_store.h"

int main(int argc, char* argv[]) {
    QApplication qapp(argc, argv);  // takes Qt's own options out of argv
    QApplication::setWindowIcon(octile::ApplicationIcon());
    // Qt's own buttons and dialogs in Japanese, whatever the locale.
    octile::InstallQtTranslations();

    octile::IniProfileStore store(octile::GetProfileStorePath());
    octile::QtUiHost host;
    octile::COctileApp app(host, store, octile::GetProgramFolder());
    app.LoadSettings();

    int result = 0;
    {
        octile::MainWindow window(app, host);
        // Paths are passed on as the bytes they came in.
        const std::vector<std::string> args(argv + 1, argv + argc);
        if (!app.ProcessShellCommand(args)) {
            window.close();
            result = 1;
        } else {
            window.show();
            result = QApplication::exec();
        }
    }
    app.ExitInstance();
    return result;
}
