#include "view/display_settings.h"

#include "charcode/charcode.h"
#include "util/utf.h"
#include "view/view_font.h"

namespace octile {

namespace {

// The settings keys of the five mark kinds' colours.
constexpr const char* kMarkColourKeys[DisplaySettings::kMarkKinds] = {
    "MarkColor", "MarkColor2", "MarkColor3", "MarkColor4", "MarkColor5"};

}  // namespace

uint32_t& DisplaySettings::ColourOf(uint32_t id) {
    if (id == ID_VIEW_COLOR) return textColour;
    if (id == ID_VIEW_BKCOLOR) return backColour;
    return markColours[id - ID_MARK_COLOR1];
}

int32_t DisplaySettings::CodeOfCommand(uint32_t id) const {
    switch (id) {
        case ID_CODE_SJIS:
            return CODE_SJIS;
        case ID_CODE_UNICODE:
            return CODE_UNICODE;
        case ID_CODE_EUC:
            return CODE_EUC;
        case ID_CODE_UTF8:
            return CODE_UTF8;
        default:
            return dump.charCode == CODE_SJIS      ? CODE_UNICODE
                   : dump.charCode == CODE_UNICODE ? CODE_EUC
                   : dump.charCode == CODE_EUC     ? CODE_UTF8
                                                   : CODE_SJIS;
    }
}

bool DisplaySettings::UpdateCommand(uint32_t id, CmdUI& ui) const {
    switch (id) {
        case ID_SEARCH_MODE_HEX:
        case ID_SEARCH_MODE_STRING:
            ui.Enable(true);
            ui.SetRadio(hexSearch == (id == ID_SEARCH_MODE_HEX ? 1 : 0));
            return true;
        case ID_CODE_SJIS:
        case ID_CODE_UNICODE:
        case ID_CODE_EUC:
        case ID_CODE_UTF8:
            ui.Enable(true);
            ui.SetCheck(dump.charCode == CodeOfCommand(id));
            return true;
        case ID_VIEW_UPPER:
            ui.Enable(true);
            ui.SetCheck(dump.upper);
            return true;
        default:
            return false;
    }
}

int32_t DisplaySettings::ReadMaxPictureMegapixels(ProfileStore& store) {
    const int32_t stored =
        store.GetProfileInt("View", "MaxPictureMegapixels", kDefaultMaxPictureMegapixels);
    return stored >= 1 && stored <= kLargestMaxPictureMegapixels ? stored
                                                                 : kDefaultMaxPictureMegapixels;
}

void DisplaySettings::Read(ProfileStore& store, const std::u16string& defaultFace) {
    auto colour = [&](const char* key, uint32_t def) {
        return static_cast<uint32_t>(store.GetProfileInt("View", key, static_cast<int32_t>(def)));
    };
    textColour = colour("Color", 0x000000);
    backColour = colour("BKColor", 0xFFFFFF);
    for (int i = 0; i < kMarkKinds; ++i)
        markColours[i] = colour(kMarkColourKeys[i], kDefaultMarkColours[i]);
    // A stored code (JIS included) reads as it is; a value that is no code,
    // edited by hand, keeps the default.
    const int32_t code = store.GetProfileInt("View", "CodeType", CODE_SJIS);
    dump.charCode = code >= CODE_SJIS && code <= CODE_UTF8 ? code : CODE_SJIS;
    pictureDisplay = store.GetProfileInt("View", "Viewer", 0) != 0;
    inspectorDisplay = store.GetProfileInt("View", "Inspector", 0) != 0;
    maxPictureMegapixels = ReadMaxPictureMegapixels(store);
    dump.upper = store.GetProfileInt("View", "Upper", 0) != 0;
    compPath = store.GetProfileString("View", "CompPath", "");
    font.height = store.GetProfileInt("Font", "Height", -15);
    font.weight = store.GetProfileInt("Font", "Weight", 400);
    font.italic = static_cast<uint8_t>(store.GetProfileInt("Font", "Italic", 0) & 0xFF);
    font.faceName =
        Utf8ToUtf16(store.GetProfileString("Font", "FaceName", Utf16ToUtf8(defaultFace)));
    TrimFaceName(font);
}

void DisplaySettings::Write(ProfileStore& store) const {
    auto colour = [&](const char* key, uint32_t value) {
        store.WriteProfileInt("View", key, static_cast<int32_t>(value));
    };
    colour("Color", textColour);
    colour("BKColor", backColour);
    for (int i = 0; i < kMarkKinds; ++i) colour(kMarkColourKeys[i], markColours[i]);
    store.WriteProfileInt("View", "CodeType", dump.charCode);
    store.WriteProfileInt("View", "Viewer", pictureDisplay ? 1 : 0);
    store.WriteProfileInt("View", "Inspector", inspectorDisplay ? 1 : 0);
    store.WriteProfileInt("View", "MaxPictureMegapixels", maxPictureMegapixels);
    store.WriteProfileInt("View", "Upper", dump.upper ? 1 : 0);
    store.WriteProfileString("View", "CompPath", compPath);
    store.WriteProfileInt("Font", "Height", font.height);
    store.WriteProfileInt("Font", "Weight", font.weight);
    store.WriteProfileInt("Font", "Italic", font.italic);
    store.WriteProfileString("Font", "FaceName", Utf16ToUtf8(font.faceName));
}

}  // namespace octile
