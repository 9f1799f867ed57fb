// Image plug-in for JPEG (libjpeg-turbo): the picture as 24 bits. CMYK
// pictures (as Adobe writes them, inverted) are converted to RGB.
// jpeglib.h needs FILE and size_t first; include sorting would move it after.
// clang-format off
#include <cstdio>
// clang-format on

#include <jpeglib.h>

#include <csetjmp>
#include <memory>
#include <vector>

#include "spi_common.h"

namespace octile::spi {
namespace {

const char* const kInfo[] = {"00IN", "Octile JPEG plug-in", "*.jpg;*.jpeg;*.jpe;*.jfif", "JPEG"};
constexpr size_t kInputBlock = 16384;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// libjpeg reads the picture through this manager from a Source; at the end
// of the data it is given an end-of-image marker, so a truncated picture
// decodes as far as it goes.
struct SourceManager {
    jpeg_source_mgr pub;
    Source* source;
    JOCTET buffer[kInputBlock];
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
    const size_t n = src->source->Read(src->buffer, sizeof src->buffer);
    if (n == 0) {
        src->pub.next_input_byte = kEndOfImage;
        src->pub.bytes_in_buffer = sizeof kEndOfImage;
    } else {
        src->pub.next_input_byte = src->buffer;
        src->pub.bytes_in_buffer = n;
    }
    return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
    jpeg_source_mgr* src = cinfo->src;
    while (count > static_cast<long>(src->bytes_in_buffer)) {
        count -= static_cast<long>(src->bytes_in_buffer);
        FillInput(cinfo);
    }
    if (count > 0) {
        src->next_input_byte += count;
        src->bytes_in_buffer -= static_cast<size_t>(count);
    }
}

void ErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void Silent(j_common_ptr) {}

// A progressive picture made of very many scans takes very long to decode
// for nothing: such a picture is refused.
constexpr int kMaxScans = 1000;
// What libjpeg may allocate for one picture (a progressive picture of the
// largest size keeps all its coefficients).
constexpr long kMaxDecoderMemory = 640L << 20;

void LimitScans(j_common_ptr cinfo) {
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) ErrorExit(cinfo);
}

// Everything that must outlive a longjmp out of libjpeg lives here, above
// the frame of Decode, and is cleaned up by its destructor.
struct JpegDecode {
    JpegDecode(Source& from, DibOutput& to) : source(from), out(to) {}
    JpegDecode(const JpegDecode&) = delete;
    JpegDecode& operator=(const JpegDecode&) = delete;

    Source& source;
    jpeg_decompress_struct cinfo{};
    ErrorManager error{};
    SourceManager input{};
    jpeg_progress_mgr progress{};
    bool created = false;
    std::vector<uint8_t> cmyk;
    DibOutput& out;

    ~JpegDecode() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

// Runs libjpeg. No object with a destructor may live in this frame: libjpeg's
// errors return here through longjmp.
int Decode(JpegDecode& d) {
    d.cinfo.err = jpeg_std_error(&d.error.pub);
    d.error.pub.error_exit = ErrorExit;
    d.error.pub.output_message = Silent;
    if (setjmp(d.error.jump)) return kSpiBrokenData;
    jpeg_create_decompress(&d.cinfo);
    d.created = true;
    d.cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
    d.progress.progress_monitor = LimitScans;
    d.cinfo.progress = &d.progress;
    d.input.source = &d.source;
    d.input.pub.init_source = InitSource;
    d.input.pub.fill_input_buffer = FillInput;
    d.input.pub.skip_input_data = SkipInput;
    d.input.pub.resync_to_restart = jpeg_resync_to_restart;
    d.input.pub.term_source = TermSource;
    d.cinfo.src = &d.input.pub;

    if (jpeg_read_header(&d.cinfo, TRUE) != JPEG_HEADER_OK) return kSpiBrokenData;
    const bool cmyk = d.cinfo.jpeg_color_space == JCS_CMYK || d.cinfo.jpeg_color_space == JCS_YCCK;
    d.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    // Refused before libjpeg allocates anything for the picture.
    if (!d.out.Allocate(d.cinfo.image_width, d.cinfo.image_height, 24)) return kSpiNoMemory;
    jpeg_start_decompress(&d.cinfo);
    if (d.cinfo.output_width != d.out.Width() || d.cinfo.output_height != d.out.Height()) {
        return kSpiBrokenData;
    }
    if (cmyk) d.cmyk.resize(size_t{d.cinfo.output_width} * 4);
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        const JDIMENSION y = d.cinfo.output_scanline;
        JSAMPROW row = cmyk ? d.cmyk.data() : d.out.Row(y);
        if (jpeg_read_scanlines(&d.cinfo, &row, 1) != 1) return kSpiBrokenData;
        if (cmyk) {
            uint8_t* bgr = d.out.Row(y);
            const uint8_t* in = d.cmyk.data();
            for (JDIMENSION x = 0; x < d.cinfo.output_width; ++x, in += 4, bgr += 3) {
                const unsigned k = in[3];
                bgr[0] = static_cast<uint8_t>(in[2] * k / 255);
                bgr[1] = static_cast<uint8_t>(in[1] * k / 255);
                bgr[2] = static_cast<uint8_t>(in[0] * k / 255);
            }
        }
    }
    return kSpiOk;
}

// GetPicture's decoder. The decoder's state is large (the input buffer among
// it), so it is on the heap.
int DecodePicture(Source& source, DibOutput& out) {
    const auto d = std::make_unique<JpegDecode>(source, out);
    return Decode(*d);
}

}  // namespace
}  // namespace octile::spi

OCTILE_SPI_ENTRY_POINTS(octile::spi::kInfo, octile::spi::DecodePicture, "\xFF\xD8\xFF")
