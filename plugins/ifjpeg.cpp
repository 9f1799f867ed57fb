// Image plug-in for JPEG (libjpeg-turbo): the picture as 24 bits. CMYK
// pictures (as Adobe writes them, inverted) are converted to RGB.
// jpeglib.h needs FILE and size_t first; include sorting would move it after.
// clang-format off
#include <cstdio>
// clang-format on

#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <limits>
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
    if (count <= 0) return;
    auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
    const auto n = static_cast<size_t>(count);
    if (n <= src->pub.bytes_in_buffer) {
        src->pub.next_input_byte += n;
        src->pub.bytes_in_buffer -= n;
        return;
    }
    // What lies beyond the buffer is passed over without being read.
    src->source->Skip(n - src->pub.bytes_in_buffer);
    src->pub.bytes_in_buffer = 0;
}

void ErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void Silent(j_common_ptr) {}

// A progressive picture is decoded scan by scan, and each scan visits every
// block of its components however little data it carries: a small file of
// many scans takes long even within the pixel limit (a thousand scans of a
// 64-megapixel picture, over a minute). The scans together may visit
// kScanPasses times the picture's blocks (a usual progressive picture visits
// them 5 or 6 times, in about 10 scans), at least kMinBlockVisits blocks (a
// tenth of a second's work), and there are at most kMaxScans scans.
constexpr uint64_t kScanPasses = 12;
constexpr uint64_t kMinBlockVisits = uint64_t{1} << 20;
constexpr int kMaxScans = 1000;
// What libjpeg may allocate for a picture, per pixel of the pixel limit: a
// progressive picture keeps all its coefficients, 2 bytes a pixel for each
// of up to 4 components at full resolution; the rest is row buffers.
constexpr uint64_t kDecoderBytesPerPixel = 8;
constexpr uint64_t kDecoderSpareBytes = uint64_t{32} << 20;

// Counts the blocks the scans visit; libjpeg calls it for every row of
// blocks it takes in, the first time in a scan with that scan's components.
// The host's progress callback is asked at each of those calls too: a
// progressive picture is taken in whole before its first row comes out.
struct ScanBudget {
    jpeg_progress_mgr pub;
    int scan = 0;
    uint64_t visits = 0;
    uint64_t maxVisits = 0;
    bool exceeded = false;
    const DibOutput* out = nullptr;
    bool stopped = false;
};

void LimitScans(j_common_ptr cinfo) {
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    auto* budget = reinterpret_cast<ScanBudget*>(d->progress);
    budget->stopped = budget->out->Stopped(d->output_scanline);
    if (budget->stopped) ErrorExit(cinfo);
    if (d->input_scan_number == budget->scan) return;
    budget->scan = d->input_scan_number;
    for (int i = 0; i < d->comps_in_scan; ++i) {
        const jpeg_component_info* c = d->cur_comp_info[i];
        budget->visits += uint64_t{c->width_in_blocks} * c->height_in_blocks;
    }
    budget->exceeded = budget->scan > kMaxScans || budget->visits > budget->maxVisits;
    if (budget->exceeded) ErrorExit(cinfo);
}

// Everything that must outlive a longjmp out of libjpeg lives here, above
// the frame of Decode, and is cleaned up by its destructor.
struct JpegDecode {
    explicit JpegDecode(Source& from) : source(from) {}
    JpegDecode(const JpegDecode&) = delete;
    JpegDecode& operator=(const JpegDecode&) = delete;

    Source& source;
    jpeg_decompress_struct cinfo{};
    ErrorManager error{};
    SourceManager input{};
    ScanBudget budget{};
    bool created = false;
    std::vector<uint8_t> cmyk;

    ~JpegDecode() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

// Creates the decompressor on the source and reads the picture's header.
// Called after the caller's setjmp: libjpeg's errors leave through it.
void ReadHeader(JpegDecode& d) {
    d.cinfo.err = jpeg_std_error(&d.error.pub);
    d.error.pub.error_exit = ErrorExit;
    d.error.pub.output_message = Silent;
    jpeg_create_decompress(&d.cinfo);
    d.created = true;
    const uint64_t pixels =
        std::min<uint64_t>(MaxPixels(), (std::numeric_limits<long>::max() - kDecoderSpareBytes) /
                                            kDecoderBytesPerPixel);
    d.cinfo.mem->max_memory_to_use =
        static_cast<long>(pixels * kDecoderBytesPerPixel + kDecoderSpareBytes);
    d.input.source = &d.source;
    d.input.pub.init_source = InitSource;
    d.input.pub.fill_input_buffer = FillInput;
    d.input.pub.skip_input_data = SkipInput;
    d.input.pub.resync_to_restart = jpeg_resync_to_restart;
    d.input.pub.term_source = TermSource;
    d.cinfo.src = &d.input.pub;
    if (jpeg_read_header(&d.cinfo, TRUE) != JPEG_HEADER_OK)
        ErrorExit(reinterpret_cast<j_common_ptr>(&d.cinfo));
}

// GetPictureInfo's reader: the size from the frame header. No object with a
// destructor may live in this frame (longjmp).
int ReadSize(JpegDecode& d, SpiPictureInfo& info) {
    if (setjmp(d.error.jump)) return kSpiBrokenData;
    ReadHeader(d);
    info.width = d.cinfo.image_width;
    info.height = d.cinfo.image_height;
    info.colourDepth = 24;
    return kSpiOk;
}

// What an error out of libjpeg means to the host: a picture that needs more
// memory or work than it is allowed is not tried again (kSpiNoMemory).
int ErrorResult(const JpegDecode& d) {
    if (d.budget.stopped) return kSpiAborted;
    const int code = d.error.pub.msg_code;
    return d.budget.exceeded || code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE
               ? kSpiNoMemory
               : kSpiBrokenData;
}

// Runs libjpeg. No object with a destructor may live in this frame: libjpeg's
// errors return here through longjmp.
int Decode(JpegDecode& d, DibOutput& out) {
    if (setjmp(d.error.jump)) return ErrorResult(d);
    ReadHeader(d);
    // Refused before libjpeg allocates anything for the picture.
    if (!WithinLimit(d.cinfo.image_width, d.cinfo.image_height)) return kSpiNoMemory;
    const bool cmyk = d.cinfo.jpeg_color_space == JCS_CMYK || d.cinfo.jpeg_color_space == JCS_YCCK;
    d.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    if (!out.Allocate(d.cinfo.image_width, d.cinfo.image_height, 24)) return kSpiNoMemory;
    uint64_t blocks = 0;
    for (int i = 0; i < d.cinfo.num_components; ++i) {
        const jpeg_component_info& c = d.cinfo.comp_info[i];
        blocks += uint64_t{c.width_in_blocks} * c.height_in_blocks;
    }
    d.budget.maxVisits = std::max(blocks * kScanPasses, kMinBlockVisits);
    d.budget.out = &out;
    d.budget.pub.progress_monitor = LimitScans;
    d.cinfo.progress = &d.budget.pub;
    jpeg_start_decompress(&d.cinfo);
    if (d.cinfo.output_width != out.Width() || d.cinfo.output_height != out.Height()) {
        return kSpiBrokenData;
    }
    if (cmyk) d.cmyk.resize(size_t{d.cinfo.output_width} * 4);
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        const JDIMENSION y = d.cinfo.output_scanline;
        if (out.Stopped(y)) return kSpiAborted;
        JSAMPROW row = cmyk ? d.cmyk.data() : out.Row(y);
        if (jpeg_read_scanlines(&d.cinfo, &row, 1) != 1) return kSpiBrokenData;
        if (cmyk) {
            uint8_t* bgr = out.Row(y);
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

// The decoder's state is large (the input buffer among it), so it is on the
// heap.
int DecodePicture(Source& source, DibOutput& out) {
    const auto d = std::make_unique<JpegDecode>(source);
    return Decode(*d, out);
}

int ReadPictureInfo(Source& source, SpiPictureInfo& info) {
    const auto d = std::make_unique<JpegDecode>(source);
    return ReadSize(*d, info);
}

}  // namespace
}  // namespace octile::spi

OCTILE_SPI_ENTRY_POINTS(octile::spi::kInfo, octile::spi::DecodePicture,
                        octile::spi::ReadPictureInfo, "\xFF\xD8\xFF")
