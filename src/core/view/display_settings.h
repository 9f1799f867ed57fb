#pragma once
// DisplaySettings: how the view shows the file, as the profile store keeps
// it: text and background colours, the five mark colours, the character
// code and digit case of the dump, picture display and its pixel limit, the
// file last compared with, the search mode and the font.
#include <cstdint>
#include <string>

#include "command/command_ids.h"
#include "dump/dump_format.h"
#include "host/ui_host.h"
#include "settings/profile_store.h"

namespace octile {

struct DisplaySettings {
    static constexpr int kMarkKinds = 5;
    static constexpr uint32_t kDefaultMarkColours[kMarkKinds] = {0x0000FF, 0x00FF00, 0xFFFF00,
                                                                 0xFF00FF, 0x00FFFF};

    // The dump's character code and digit case; the view sets the address
    // digits from the file's length.
    DumpSettings dump;
    uint32_t textColour = 0x000000;
    uint32_t backColour = 0xFFFFFF;
    uint32_t markColours[kMarkKinds] = {kDefaultMarkColours[0], kDefaultMarkColours[1],
                                        kDefaultMarkColours[2], kDefaultMarkColours[3],
                                        kDefaultMarkColours[4]};
    bool pictureDisplay = false;
    bool inspectorDisplay = false;  // "Inspector": the data inspector panel shown
    // "MaxPictureMegapixels": pictures that declare more pixels (width x
    // height, in millions) are not decoded. A held bitmap is at most 256 MiB,
    // so no picture of more than 256 megapixels could be shown: stored values
    // outside 1..256 read as the default.
    static constexpr int32_t kDefaultMaxPictureMegapixels = 64;
    static constexpr int32_t kLargestMaxPictureMegapixels = 256;
    int32_t maxPictureMegapixels = kDefaultMaxPictureMegapixels;
    std::string compPath;   // "CompPath": offered by the next compare
    int32_t hexSearch = 0;  // 1: search text is hexadecimal; 0: a character string
    ViewFont font;

    // The colour of a mark kind (1..5); 0 for any other kind.
    uint32_t MarkColour(int kind) const {
        return kind >= 1 && kind <= kMarkKinds ? markColours[kind - 1] : 0;
    }
    // The colour a colour command (ID_VIEW_COLOR, ID_VIEW_BKCOLOR,
    // ID_MARK_COLOR1..5) chooses.
    uint32_t& ColourOf(uint32_t id);
    // The character code a code command chooses: ID_CODE_NEXT the one after
    // the present (Shift-JIS, Unicode, EUC-JP, UTF-8, round).
    int32_t CodeOfCommand(uint32_t id) const;
    // The check marks of the character code, digit case and search mode
    // commands; false for any other command.
    bool UpdateCommand(uint32_t id, CmdUI& ui) const;
    uint64_t MaxPicturePixels() const {
        return static_cast<uint64_t>(maxPictureMegapixels) * 1'000'000;
    }
    // The picture pixel limit the store holds, in megapixels.
    static int32_t ReadMaxPictureMegapixels(ProfileStore& store);
    // Reads the settings kept in the store; the face name falls back to
    // defaultFace and is cut to its longest.
    void Read(ProfileStore& store, const std::u16string& defaultFace);
    void Write(ProfileStore& store) const;
};

}  // namespace octile
