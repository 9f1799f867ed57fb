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

// Reads up to the first picture's descriptor, taking the transparent colour
// from the graphics control blocks before it. False when there is no
// picture or the data breaks off.
bool ReadFirstImage(GifFileType* gif, int& transparent) {
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) return false;
        if (type == TERMINATE_RECORD_TYPE) return false;  // no picture at all
        if (type == EXTENSION_RECORD_TYPE) {
            if (!ReadExtension(gif, transparent)) return false;
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) continue;
        return DGifGetImageDesc(gif) != GIF_ERROR;
    }
}

// Where the first picture lies on the bitmap handed back: on its logical
// screen, or on its own when it does not fit the screen.
struct Frame {
    uint32_t left = 0, top = 0, width = 0, height = 0;  // the picture
    uint32_t bitmapWidth = 0, bitmapHeight = 0;
};

bool PlaceImage(const GifFileType* gif, Frame& f) {
    const GifImageDesc& desc = gif->Image;
    if (desc.Width <= 0 || desc.Height <= 0 || desc.Left < 0 || desc.Top < 0) return false;
    f.left = static_cast<uint32_t>(desc.Left);
    f.top = static_cast<uint32_t>(desc.Top);
    f.width = static_cast<uint32_t>(desc.Width);
    f.height = static_cast<uint32_t>(desc.Height);
    f.bitmapWidth = static_cast<uint32_t>(gif->SWidth);
    f.bitmapHeight = static_cast<uint32_t>(gif->SHeight);
    if (f.left + f.width > f.bitmapWidth || f.top + f.height > f.bitmapHeight) {
        f.left = f.top = 0;
        f.bitmapWidth = f.width;
        f.bitmapHeight = f.height;
    }
    return true;
}

int Decode(GifFileType* gif, DibOutput& out) {
    int transparent = NO_TRANSPARENT_COLOR;
    if (!ReadFirstImage(gif, transparent)) return kSpiBrokenData;
    const GifImageDesc& desc = gif->Image;
    const ColorMapObject* map = desc.ColorMap != nullptr ? desc.ColorMap : gif->SColorMap;
    Frame f;
    if (map == nullptr || !PlaceImage(gif, f)) return kSpiBrokenData;
    // The screen a tiny picture lies on may be as large as the picture is
    // not: refused before the bitmap is allocated and filled.
    if (!WithinLimit(f.bitmapWidth, f.bitmapHeight)) return kSpiNoMemory;
    if (!out.Allocate(f.bitmapWidth, f.bitmapHeight, 8)) return kSpiNoMemory;
    for (int i = 0; i < map->ColorCount && i < 256; ++i) {
        out.SetColour(i, map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
    }
    const uint8_t background = static_cast<uint8_t>(std::clamp(gif->SBackGroundColor, 0, 255));
    out.Fill(background);

    // The rows in the order they are stored: interlaced pictures in four passes.
    const uint32_t passStart[] = {0, 4, 2, 1};
    const uint32_t passStep[] = {8, 8, 4, 2};
    const int passes = desc.Interlace ? 4 : 1;
    GifPixelType line[65536];
    if (f.width > sizeof line) return kSpiBrokenData;
    for (int pass = 0; pass < passes; ++pass) {
        const uint32_t first = desc.Interlace ? passStart[pass] : 0;
        const uint32_t step = desc.Interlace ? passStep[pass] : 1;
        for (uint32_t y = first; y < f.height; y += step) {
            if (out.Stopped(y)) return kSpiAborted;
            if (DGifGetLine(gif, line, static_cast<int>(f.width)) == GIF_ERROR)
                return kSpiBrokenData;
            uint8_t* row = out.Row(f.top + y) + f.left;
            for (uint32_t x = 0; x < f.width; ++x) {
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

// GetPictureInfo's reader: the bitmap's size from the screen and the first
// picture's descriptor.
int ReadPictureInfo(Source& source, SpiPictureInfo& info) {
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&source, ReadData, &error));
    if (!gif) return kSpiUnknownFormat;
    int transparent = NO_TRANSPARENT_COLOR;
    Frame f;
    if (!ReadFirstImage(gif.get(), transparent) || !PlaceImage(gif.get(), f)) return kSpiBrokenData;
    info.width = f.bitmapWidth;
    info.height = f.bitmapHeight;
    info.colourDepth = 8;
    return kSpiOk;
}

}  // namespace
}  // namespace octile::spi

OCTILE_SPI_ENTRY_POINTS(octile::spi::kInfo, octile::spi::DecodePicture,
                        octile::spi::ReadPictureInfo, "GIF87a", "GIF89a")
