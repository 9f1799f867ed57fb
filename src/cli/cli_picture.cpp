// octile-cli picture: detects the picture that starts at an anchor, as the
// view does with its read window at the anchor, decodes it with the image
// plug-ins (or as a bitmap file) and saves it as a bitmap file. The pixel
// limit is the window's: [View] MaxPictureMegapixels of the user's settings.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_input.h"
#include "cli/cli_util.h"
#include "commands/bitmap_save.h"
#include "io/file_handle.h"
#include "io/path.h"
#include "picture/dib.h"
#include "picture/picture_host.h"
#include "resources/resources.h"
#include "settings/paths.h"
#include "settings/profile_store.h"
#include "util/utf.h"
#include "view/display_settings.h"

namespace octile::cli {

namespace {

// The view's read window when it is placed at the anchor: the initial read size.
constexpr uint64_t kReadWindow = 256;

constexpr OptionRule kPictureOptions[] = {
    {"plugins", "DIR", "folder of the image plug-ins (default: the program folder)"}};

int RunPicture(const Args& args) {
    const Command& command = kPictureCommand;
    Options options;
    if (!options.Parse(command, args, 3, 3)) return kExitRefused;
    const std::string path = FullPath(std::string(options.Positional()[0]));
    const std::string output(options.Positional()[2]);
    uint64_t anchor = 0;
    if (!ParseHexArgument("ANCHOR", options.Positional()[1], anchor)) return kExitRefused;
    const std::string folder =
        options.Has("plugins") ? std::string(*options.Value("plugins")) : GetProgramFolder();

    const FileHandle file = OpenOrReport(path, FileHandle::ReadOnly);
    if (!file.IsOpen()) return kExitRefused;
    uint8_t window[kReadWindow];
    const auto valid = static_cast<uint32_t>(file.ReadAt(window, kReadWindow, anchor));
    const auto match = DetectSignature(window, valid, anchor, anchor);
    if (!match) {
        PrintLine(Say(Text::kNoSignature));
        return kExitNothingFound;
    }

    IniProfileStore store(GetProfileStorePath());
    DisplaySettings display;
    display.maxPictureMegapixels = DisplaySettings::ReadMaxPictureMegapixels(store);
    PictureHost host(folder);
    host.SetMaxPixels(display.MaxPicturePixels());
    CDib dib;
    host.LoadPicture(dib, path, match->start);
    if (const auto& refused = host.RefusedSize()) {
        PrintLine(Say(Text::kPictureOverLimit,
                      std::to_string(refused->width) + "x" + std::to_string(refused->height),
                      std::to_string(display.maxPictureMegapixels)));
        return kExitNothingFound;
    }
    if (!dib.HasBitmap()) {
        PrintLine(Say(Text::kNotDecoded));
        return kExitNothingFound;
    }
    // The source by any name is no place for the bitmap: it would be
    // overwritten by the picture decoded from it.
    const uint32_t message =
        IsSameFile(file.fd(), output) ? IDS_SAVE_ERROR : SaveBitmapAs(dib, output);
    if (message != 0) {
        PrintMessage(ReplacePercent1(LoadString(message), Utf8ToUtf16(FullPath(output))));
        return kExitRefused;
    }
    const PictureRect r = dib.GetPictureRect();
    std::printf("%" PRIX64 " %dx%d\n", match->start, r.Width(), r.Height());
    return kExitOk;
}

}  // namespace

const Command kPictureCommand = {"picture", "FILE ANCHOR OUT.bmp",
                                 "save the picture at ANCHOR as a bitmap file", kPictureOptions,
                                 RunPicture};

}  // namespace octile::cli
