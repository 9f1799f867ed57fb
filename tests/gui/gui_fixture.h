#pragma once
// What the Qt tests share: a private home for the settings, small files, the
// whole program (store, host, application, main window), a host that answers
// the colour and font choosers, and a way to answer modal windows from a
// script.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QSaveFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app.h"
#include "gui/dump_widget.h"
#include "gui/main_window.h"
#include "gui/qt_text.h"
#include "gui/qt_translations.h"
#include "gui/qt_ui_host.h"
#include "settings/paths.h"
#include "settings/profile_store.h"

namespace octile::test {

// The offscreen platform's screens, set up before the test's QApplication
// reads them: a 1920 x 1080 primary screen and a 2560 x 1600 one to its
// right, as on a desktop with two monitors (by default it has one small
// screen). Only a plain "offscreen" platform is changed.
inline const bool kOffscreenScreensSet = [] {
    if (qgetenv("QT_QPA_PLATFORM") != "offscreen") return false;
    // One file for every test run; written whole and renamed into place, so
    // that tests running side by side never read half of it.
    const QString path = QDir::temp().filePath(QStringLiteral("octile-test-screens-1.json"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(R"({"screens": [
        {"name": "primary", "x": 0, "y": 0, "width": 1920, "height": 1080,
         "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
        {"name": "right", "x": 1920, "y": 0, "width": 2560, "height": 1600,
         "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    if (!file.commit()) return false;
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(path));
    return true;
}();

// A folder of its own per test, with XDG_CONFIG_HOME and XDG_DATA_HOME
// pointing into it before anything reads them. It also serves as the
// program folder, so the template file is <dir>/octile.ini.
class PrivateHome {
  public:
    PrivateHome() { Enter(); }
    // Points the settings folders here (again).
    void Enter() const {
        ::setenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.filePath("config")).constData(), 1);
        ::setenv("XDG_DATA_HOME", QFile::encodeName(dir_.filePath("data")).constData(), 1);
    }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    std::string ProgramFolder() const { return QStringToPath(dir_.path()) + "/"; }

    // Writes a file and returns its path.
    std::string WriteFile(const QString& name, const QByteArray& bytes) const {
        QFile f(Path(name));
        if (!f.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(Path(name)));
        f.write(bytes);
        return QStringToPath(Path(name));
    }

  private:
    QTemporaryDir dir_;
};

// The program as main() puts it together, with the settings in a private
// home. The window is made but not shown. Host may be a QtUiHost that
// answers some requests from a script.
template <typename Host>
struct ProgramWith {
    // templateText, when given, is written to the template file before
    // start-up reads it. A shared home lets a later program start where an
    // earlier one ended, as a restart would.
    explicit ProgramWith(const QByteArray& templateText = QByteArray(),
                         std::shared_ptr<PrivateHome> sharedHome = nullptr)
        : homeOwner(sharedHome ? std::move(sharedHome) : std::make_shared<PrivateHome>()),
          home((homeOwner->Enter(), *homeOwner)),
          store(GetProfileStorePath()),
          app(host, store, home.ProgramFolder()) {
        InstallQtTranslations();
        if (!templateText.isNull()) home.WriteFile("octile.ini", templateText);
        app.LoadSettings();
        window = std::make_unique<MainWindow>(app, host);
    }
    ~ProgramWith() {
        if (window) window->close();
        window.reset();
        app.ExitInstance();
    }
    ProgramWith(const ProgramWith&) = delete;
    ProgramWith& operator=(const ProgramWith&) = delete;

    void Show() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->dump()->setFocus();
    }
    COctileView& view() { return app.view(); }
    DumpWidget& dump() { return *window->dump(); }

    std::shared_ptr<PrivateHome> homeOwner;
    PrivateHome& home;
    IniProfileStore store;
    Host host;
    COctileApp app;
    std::unique_ptr<MainWindow> window;
};

using Program = ProgramWith<QtUiHost>;

// Answers the colour and font choosers from a script and records the colours
// they were preset to.
struct ColourFontHost : QtUiHost {
    bool ChooseColor(uint32_t& colour) override {
        offeredColours.push_back(colour);
        if (colours.empty()) return false;
        colour = colours.front();
        colours.pop_front();
        return true;
    }
    bool ChooseFont(ViewFont& font) override {
        if (!fontAnswer) return false;
        font = *fontAnswer;
        return true;
    }
    std::deque<uint32_t> colours;
    std::vector<uint32_t> offeredColours;
    std::optional<ViewFont> fontAnswer;
};

// Answers modal windows as they open: each step waits for a new active
// modal widget and acts on it. Steps run from the event loop, so they also
// reach a window opened from inside an earlier step.
class ModalScript : public QObject {
  public:
    using Step = std::function<void(QWidget*)>;

    explicit ModalScript(std::initializer_list<Step> steps) : steps_(steps) {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, &ModalScript::Poll);
        timer_.start();
    }
    bool Done() const { return steps_.empty(); }

  private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        // A script that went wrong must not leave the test waiting forever:
        // after a long while every modal window is closed.
        if (++polls_ > kGiveUpPolls) {
            if (modal != nullptr) modal->close();
            return;
        }
        if (steps_.empty() || modal == nullptr || modal == last_) return;
        polls_ = 0;
        last_ = modal;
        Step step = std::move(steps_.front());
        steps_.pop_front();
        step(modal);
    }

    static constexpr int kGiveUpPolls = 3000;

    std::deque<Step> steps_;
    QPointer<QWidget> last_;
    int polls_ = 0;
    QTimer timer_;
};

// Types name over a file chooser's proposed name, as a person does: once the
// chooser is the active window, with keys, so that the chooser drops the
// proposed file from its selection. False when it has no name field or
// never becomes active.
inline bool TypeFileName(QFileDialog* chooser, const QString& name) {
    auto* edit = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (edit == nullptr) return false;
    if (!QTest::qWaitFor([&] { return QApplication::activeWindow() == chooser; })) return false;
    edit->selectAll();
    QTest::keyClicks(edit, name);
    return true;
}

// What a file chooser showed when it opened.
struct FileChooserShown {
    explicit FileChooserShown(const QFileDialog& chooser)
        : title(chooser.windowTitle()),
          filters(chooser.nameFilters()),
          suffix(chooser.defaultSuffix()),
          selected(chooser.selectedFiles().value(0)),
          saving(chooser.acceptMode() == QFileDialog::AcceptSave),
          existingOnly(chooser.fileMode() == QFileDialog::ExistingFile),
          confirmOverwrite(!chooser.testOption(QFileDialog::DontConfirmOverwrite)) {}
    FileChooserShown() = default;

    QString title;
    QStringList filters;
    QString suffix;
    QString selected;  // the first file selected
    bool saving = false;
    bool existingOnly = false;
    bool confirmOverwrite = false;
};

// Clicks a button of a modal window later, from the event loop, so that a
// window it opens can be answered by the next step.
inline void ClickLater(QWidget* window, const char* objectName) {
    QTimer::singleShot(0, window, [window, objectName] {
        auto* button = window->findChild<QAbstractButton*>(QLatin1String(objectName));
        if (button == nullptr) qFatal("no button %s", objectName);
        button->click();
    });
}

}  // namespace octile::test
