// Paints the dump window's page the way holding PgDn does, and prints the
// milliseconds a page costs: the whole program on the offscreen platform,
// its settings in a private folder, a file of Shift-JIS text (kana and kanji)
// or of random bytes.
//
//   paint_probe kanji|random [PAGES [FONT]]
//
// FONT is the dump's font family (default: the program's default font).
//
// Prints "PAGE_MS <median> <worst>" for PAGES page-downs: each reads and
// formats the next page and repaints the dump before it returns. Then
// "PAINT_MS <median> <worst>": the repaint alone of each of those pages
// (the dump's paint and the copy to the screen).
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "app/app.h"
#include "charcode/charcode.h"
#include "gui/dump_widget.h"
#include "gui/main_window.h"
#include "gui/qt_text.h"
#include "gui/qt_ui_host.h"
#include "settings/paths.h"
#include "settings/profile_store.h"

namespace {

// Shift-JIS text: lines of kanji and kana with a little ASCII.
QByteArray KanjiText(size_t size) {
    std::mt19937 rng(7);
    QByteArray data;
    data.reserve(static_cast<qsizetype>(size));
    while (static_cast<size_t>(data.size()) < size) {
        for (int i = 0; i < 30; ++i) {
            const uint32_t jis = (0x30 + rng() % 0x40) * 256 + 0x21 + rng() % 94;
            const uint16_t sjis = octile::JisToShiftJisCode(jis);
            data.append(static_cast<char>(sjis >> 8));
            data.append(static_cast<char>(sjis));
        }
        data.append("\r\n");
    }
    return data;
}

QByteArray RandomBytes(size_t size) {
    std::mt19937 rng(8);
    QByteArray data(static_cast<qsizetype>(size), '\0');
    for (char& c : data) c = static_cast<char>(rng());
    return data;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    ::setenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")).constData(), 1);
    ::setenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("data")).constData(), 1);
    QApplication qapp(argc, argv);
    const std::string kind = argc > 1 ? argv[1] : "kanji";
    const int pages = argc > 2 ? std::max(1, std::atoi(argv[2])) : 300;

    const QString path = home.filePath("page.bin");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) return 2;
        f.write(kind == "random" ? RandomBytes(8 << 20) : KanjiText(8 << 20));
    }
    octile::IniProfileStore store(octile::GetProfileStorePath());
    if (argc > 3) store.WriteProfileString("Font", "FaceName", argv[3]);
    octile::QtUiHost host;
    octile::COctileApp app(host, store, octile::QStringToPath(home.path()) + "/");
    app.LoadSettings();
    octile::MainWindow window(app, host);
    window.show();
    if (!app.OpenDocumentFile(octile::QStringToPath(path))) return 2;
    QApplication::processEvents();
    octile::DumpWidget& dump = *window.dump();

    std::vector<double> step, paint;
    QElapsedTimer timer;
    for (int i = 0; i < pages; ++i) {
        timer.start();
        app.view().OnVScroll(octile::COctileView::SB_PAGEDOWN, 0);
        step.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        QApplication::processEvents();
        timer.start();
        dump.viewport()->repaint();
        paint.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        QApplication::processEvents();
    }
    for (auto* times : {&step, &paint}) std::sort(times->begin(), times->end());
    std::printf("PAGE_MS %.3f %.3f\n", step[step.size() / 2], step.back());
    std::printf("PAINT_MS %.3f %.3f\n", paint[paint.size() / 2], paint.back());
    std::printf("ROWS %d\n", dump.viewport()->height() / std::max(1, app.view().LineHeight()));
    window.close();
    app.ExitInstance();
    return 0;
}
