// A bitmap file inside a document, as the picture display reads it: the
// signature test on the read window, ReadBitmapFile at the anchor, TakeBitmap
// and the checks before drawing; a picture taken is saved as a bitmap file
// and read back unchanged.
//
// Input: byte 0: the bytes before the picture (the anchor); the rest: the file.
#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "commands/bitmap_save.h"
#include "fuzz_input.h"
#include "picture/dib.h"
#include "picture/picture_host.h"
#include "picture_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace octile;
    using namespace octile::fuzz;
    FuzzInput in(data, size);
    const uint64_t anchor = in.Byte();
    const std::vector<uint8_t> picture = in.Rest();
    std::vector<uint8_t> file(anchor, 0x5A);
    file.insert(file.end(), picture.begin(), picture.end());

    // The header checks on the raw bytes, exactly as many as there are.
    const ExactBlock raw(picture);
    if (const auto l = ReadDibLayout(raw.data(), raw.size())) {
        FUZZ_CHECK(l->headerSize + l->colourTableSize <= raw.size());
    }

    // The signature test on a read window holding the file (look-ahead too).
    std::vector<uint8_t> window = file;
    window.resize(file.size() + 16, 0);
    const ExactBlock page(window);
    if (const auto match =
            DetectSignature(page.data(), static_cast<uint32_t>(file.size()), 0, anchor)) {
        FUZZ_CHECK(match->start <= anchor && anchor - match->start <= 6);
    }

    const std::string path = ScratchFolder() + "/doc.bmp";
    FUZZ_CHECK(WriteFile(path, file.data(), file.size()));
    CDib dib;
    {
        OpenError error = OpenError::None;
        const FileHandle handle = FileHandle::Open(path, FileHandle::ReadOnly, &error);
        FUZZ_CHECK(handle.IsOpen());
        std::optional<PackedBitmap> block = ReadBitmapFile(handle, anchor);
        if (block) FUZZ_CHECK(block->size() + 14 <= picture.size());
        dib.TakeBitmap(std::move(block));
    }
    DrawLikeAWindow(dib);
    if (!dib.HasBitmap()) return 0;

    // Saved and read again: the same bitmap (core headers are not saved).
    const std::string out = ScratchFolder() + "/saved.bmp";
    const uint32_t message = SaveBitmapAs(dib, out);
    const auto l = ReadPackedLayout(dib.Bitmap());
    if (l->headerSize != kInfoHeaderSize) {
        FUZZ_CHECK(message != 0);
        return 0;
    }
    FUZZ_CHECK(message == 0);
    OpenError error = OpenError::None;
    const FileHandle saved = FileHandle::Open(out, FileHandle::ReadOnly, &error);
    CDib again;
    FUZZ_CHECK(again.TakeBitmap(ReadBitmapFile(saved, 0)) != 0);
    FUZZ_CHECK(again.Bitmap() == dib.Bitmap());
    FUZZ_CHECK(again.GetPictureRect() == dib.GetPictureRect());
    FUZZ_CHECK(again.IsTopDown() == dib.IsTopDown());
    return 0;
}
