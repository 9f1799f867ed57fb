// Image plug-in for GIF (giflib): the first picture of the file, on its
// logical screen, as 8 bits with the picture's colour table.
#include <gif_lib.h>

#include <algorithm>
#include <memory>

#include "spi_common.h"

namespace octile::spi {
namespace {

const char* const kInfo[] = {"00IN", "Octile GIF plug-in", "*.gif", "GIF"};

int ReadData(GifFileType* gif, GifByteType* out, int n) {
    if (n <= 0) return 0;
    return static_cast<int>(static_cast<Source*>(gif->UserData)->Read(out, static_cast<size_t>(n)));
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

// Skips an extension block; reads the transparent colour from a graphics
// control block. False on a read error.
bool ReadExtension(GifFileType* gif, int& transparent) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
    while (block != nullptr) {
        if (code == GRAPHICS_EXT_FUNC_CODE) {
            GraphicsControlBlock gcb;
            if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
                transparent = gcb.TransparentColor;
        }
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
    }
    return true;
}

int Decode(GifFileType* gif, DibOutput& out) {
    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) return kSpiBrokenData;
        if (type == TERMINATE_RECORD_TYPE) return kSpiBrokenData;  // no picture at all
        if (type == EXTENSION_RECORD_TYPE) {
            if (!ReadExtension(gif, transparent)) return kSpiBrokenData;
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) continue;
        if (DGifGetImageDesc(gif) == GIF_ERROR) return kSpiBrokenData;
        break;
    }
    const GifImageDesc& desc = gif->Image;
    const ColorMapObject* map = desc.ColorMap != nullptr ? desc.ColorMap : gif->SColorMap;
    if (map == nullptr || desc.Width <= 0 || desc.Height <= 0) return kSpiBrokenData;
    uint32_t left = static_cast<uint32_t>(desc.Left);
    uint32_t top = static_cast<uint32_t>(desc.Top);
    uint32_t width = static_cast<uint32_t>(gif->SWidth);
    uint32_t height = static_cast<uint32_t>(gif->SHeight);
    // A picture outside its screen is shown on its own.
    if (left + static_cast<uint32_t>(desc.Width) > width ||
        top + static_cast<uint32_t>(desc.Height) > height) {
        left = top = 0;
        width = static_cast<uint32_t>(desc.Width);
        height = static_cast<uint32_t>(desc.Height);
    }
    if (!out.Allocate(width, height, 8)) return kSpiNoMemory;
    for (int i = 0; i < map->ColorCount && i < 256; ++i) {
        out.SetColour(i, map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
    }
    const uint8_t background = static_cast<uint8_t>(std::clamp(gif->SBackGroundColor, 0, 255));
    out.Fill(background);

    // The rows in the order they are stored: interlaced pictures in four passes.
    const uint32_t h = static_cast<uint32_t>(desc.Height);
    const uint32_t w = static_cast<uint32_t>(desc.Width);
    const uint32_t passStart[] = {0, 4, 2, 1};
    const uint32_t passStep[] = {8, 8, 4, 2};
    const int passes = desc.Interlace ? 4 : 1;
    GifPixelType line[65536];
    if (w > sizeof line) return kSpiBrokenData;
    for (int pass = 0; pass < passes; ++pass) {
        const uint32_t first = desc.Interlace ? passStart[pass] : 0;
        const uint32_t step = desc.Interlace ? passStep[pass] : 1;
        for (uint32_t y = first; y < h; y += step) {
            if (DGifGetLine(gif, line, static_cast<int>(w)) == GIF_ERROR) return kSpiBrokenData;
            uint8_t* row = out.Row(top + y) + left;
            for (uint32_t x = 0; x < w; ++x) {
                if (line[x] != transparent) row[x] = line[x];
            }
        }
    }
    return kSpiOk;
}

// GetPicture's decoder: a source giflib does not open is not a GIF.
int DecodePicture(Source& source, DibOutput& out) {
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&source, ReadData, &error));
    if (!gif) return kSpiUnknownFormat;
    return Decode(gif.get(), out);
}

}  // namespace
}  // namespace octile::spi

OCTILE_SPI_ENTRY_POINTS(octile::spi::kInfo, octile::spi::DecodePicture, "GIF87a", "GIF89a")
