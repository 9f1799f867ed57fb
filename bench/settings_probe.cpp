// settings_probe: opens and closes the settings store or one file's marks
// once, as the program does at start and at exit, and prints how long each
// took: "<open seconds> <close seconds>". bench/settings_bench.sh runs it
// under /usr/bin/time for the run's peak memory.
//
//   settings_probe profile PATH            read the store and a few values;
//                                          write them back as they stand
//   settings_probe profile-change PATH     the same, one value changed
//   settings_probe marks FILE DOCUMENT     load the document's marks from the
//                                          marks file FILE; save them unchanged
//   settings_probe marks-toggle FILE DOCUMENT   the same, one mark toggled
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "settings/profile_store.h"
#include "view/mark_list.h"

namespace {

double Since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace

int main(int argc, char** argv) {
    using namespace octile;
    const std::string mode = argc > 2 ? argv[1] : "";
    auto t = std::chrono::steady_clock::now();
    double open = 0;
    if (mode == "profile" || mode == "profile-change") {
        auto store = std::make_unique<IniProfileStore>(argv[2]);
        const int32_t colour = store->GetProfileInt("View", "Color", 0);
        const int32_t code = store->GetProfileInt("View", "CodeType", 0);
        const std::string face = store->GetProfileString("Font", "FaceName", "");
        const std::string recent = store->GetProfileString("Recent File List", "File1", "");
        open = Since(t);
        t = std::chrono::steady_clock::now();
        store->WriteProfileInt("View", "Color", mode == "profile" ? colour : colour + 1);
        store->WriteProfileInt("View", "CodeType", code);
        store->WriteProfileString("Font", "FaceName", face);
        store->WriteProfileString("Recent File List", "File1", recent);
        store.reset();  // flushed as the program ends
    } else if ((mode == "marks" || mode == "marks-toggle") && argc > 3) {
        MarkList marks;
        marks.Load(argv[2], argv[3]);
        open = Since(t);
        t = std::chrono::steady_clock::now();
        if (mode == "marks-toggle") marks.Toggle(1, 0x1000, 0x1000, 0x100F);
        if (!marks.Save(argv[2], argv[3])) {
            std::fprintf(stderr, "settings_probe: the marks were not saved\n");
            return 1;
        }
    } else {
        std::fprintf(stderr,
                     "usage: settings_probe profile|profile-change PATH\n"
                     "       settings_probe marks|marks-toggle MARKS-FILE DOCUMENT\n");
        return 2;
    }
    std::printf("%.6f %.6f\n", open, Since(t));
    return 0;
}
