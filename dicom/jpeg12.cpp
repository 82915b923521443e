#include "jpeg12.h"

#include "errors.h"
#include "render.h"

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

// The 12-bit library declares the same structures as libjpeg-turbo under the
// same names (only its functions are renamed): kept in a namespace of their
// own so the two never meet as one type. The options are the ones the
// library was built with: without them the header leaves a member out of
// the memory manager, and writing its limit lands on the wrong field.
#define JPEG_INTERNAL_OPTIONS
namespace dicom::ijg12 {
extern "C" {
#include <gdcmjpeg/12/jpeglib.h>
#include <gdcmjpeg/12/jerror.h>
}
} // namespace dicom::ijg12

namespace dicom {

namespace {

using namespace ijg12;

static_assert(BITS_IN_JSAMPLE == 12 && sizeof(JSAMPLE) == sizeof(uint16_t), "the 12-bit IJG build");

// Fatal errors jump back to the decode, as in the 8-bit branch.
struct TError12 {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
    bool DataEnded = false; // a marker or the stream's end came before the image's last block
};

[[noreturn]] void ErrorExit(j_common_ptr Info)
{
    std::longjmp(reinterpret_cast<TError12*>(Info->err)->Jump, 1);
}

void OutputMessage(j_common_ptr) {}

void EmitMessage(j_common_ptr Info, int Level)
{
    if (Level < 0) {
        ++Info->err->num_warnings;
        if (Info->err->msg_code == JWRN_HIT_MARKER || Info->err->msg_code == JWRN_JPEG_EOF)
            reinterpret_cast<TError12*>(Info->err)->DataEnded = true;
    }
}

// The library of this age reads only from stdio; a stream in memory is one
// buffer, and its end reads as an end-of-image marker, as libjpeg-turbo's
// memory source does.
const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr Info)
{
    WARNMS(Info, JWRN_JPEG_EOF);
    Info->src->next_input_byte = kEndOfImage;
    Info->src->bytes_in_buffer = 2;
    return TRUE;
}

void SkipInput(j_decompress_ptr Info, long Count)
{
    jpeg_source_mgr& S = *Info->src;
    while (Count > 0) {
        if (S.bytes_in_buffer == 0)
            FillInput(Info);
        const size_t N = std::min(S.bytes_in_buffer, static_cast<size_t>(Count));
        S.next_input_byte += N;
        S.bytes_in_buffer -= N;
        Count -= static_cast<long>(N);
    }
}

void TermSource(j_decompress_ptr) {}

// Runs the library over the stream into Out. Only plain data lives in this
// frame (Out belongs to the caller), so the long jump skips no destructor.
// Returns 0 or the library's message number.
int DecodeRows(const uint8_t* Stream, size_t Count, bool Grey, bool Rgb, TSamples12& Out)
{
    jpeg_decompress_struct Info;
    jpeg_source_mgr Source;
    TError12 Err;
    Info.err = jpeg_std_error(&Err.Pub);
    Err.Pub.error_exit = ErrorExit;
    Err.Pub.output_message = OutputMessage;
    Err.Pub.emit_message = EmitMessage;
    if (setjmp(Err.Jump)) {
        const int Code = Err.Pub.msg_code;
        jpeg_destroy_decompress(&Info);
        return Code == 0 ? JERR_UNKNOWN_MARKER : Code;
    }
    jpeg_create_decompress(&Info);
    // The 8-bit branch's bound on what the library may hold, for what it is
    // worth here (see below).
    Info.mem->max_memory_to_use = static_cast<long>(kMaxFrameBytes / 2);
    Source.next_input_byte = Stream;
    Source.bytes_in_buffer = Count;
    Source.init_source = InitSource;
    Source.fill_input_buffer = FillInput;
    Source.skip_input_data = SkipInput;
    Source.resync_to_restart = jpeg_resync_to_restart;
    Source.term_source = TermSource;
    Info.src = &Source;
    jpeg_read_header(&Info, TRUE);
    // The caller chose this library by the frame header; a stream whose
    // scans say otherwise is not ours to draw.
    if (Info.data_precision != 12 || Info.process == JPROC_LOSSLESS) {
        jpeg_destroy_decompress(&Info);
        return JERR_BAD_PRECISION;
    }
    if (Rgb && Info.num_components == 3 && !Info.saw_JFIF_marker && !Info.saw_Adobe_marker)
        Info.jpeg_color_space = JCS_RGB;
    Info.out_color_space = Grey ? JCS_GRAYSCALE : JCS_RGB;
    const int Components = Grey ? 1 : 3;
    // Refused from the header, before the library sets up buffers of that
    // size: samples are two bytes here.
    jpeg_calc_output_dimensions(&Info);
    if (uint64_t(Info.output_width) * Info.output_height * Components * 2 > kMaxFrameBytes) {
        jpeg_destroy_decompress(&Info);
        return JERR_IMAGE_TOO_BIG;
    }
    // Nor does this library honour max_memory_to_use (it says yes to every
    // request): the coefficients that a progressive or multi-scan stream
    // has it hold for the whole image are bounded here, as libjpeg-turbo
    // bounds them in the 8-bit branch.
    if (jpeg_has_multiple_scans(&Info)) {
        uint64_t Coefficients = 0;
        for (int C = 0; C < Info.num_components; ++C)
            Coefficients += uint64_t(Info.comp_info[C].width_in_data_units) * Info.comp_info[C].height_in_data_units * DCTSIZE2;
        if (Coefficients * sizeof(JCOEF) > kMaxFrameBytes / 2) {
            jpeg_destroy_decompress(&Info);
            return JERR_OUT_OF_MEMORY;
        }
    }
    jpeg_start_decompress(&Info);
    const uint64_t Width = Info.output_width, Height = Info.output_height;
    if (Width * Height * Components * 2 > kMaxFrameBytes || Info.output_components != Components) {
        const int Code = Info.output_components != Components ? JERR_CONVERSION_NOTIMPL : JERR_IMAGE_TOO_BIG;
        jpeg_destroy_decompress(&Info);
        return Code;
    }
    const size_t RowSamples = static_cast<size_t>(Width) * Components;
    try {
        // Every row is written below; the zeros are only for a row the
        // library fails to give.
        Out.Samples.assign(RowSamples * Height, 0);
    } catch (const std::bad_alloc&) {
        jpeg_destroy_decompress(&Info);
        return JERR_OUT_OF_MEMORY;
    }
    Out.Width = static_cast<int>(Width);
    Out.Height = static_cast<int>(Height);
    Out.Components = Components;
    // Once the coded data of a one-scan Huffman image without restarts has
    // run out, every later block decodes to the same flat colour: past the
    // rows that can still mix with real data, the last of them is copied
    // down. This library cannot skip rows; where the data ran into the end
    // of the image (or of the stream) nothing after it is read anyway, and
    // the rest of the decode is dropped. Data cut by any other marker is
    // decoded to the end, so what follows it is read as it always is.
    const bool Flat = !jpeg_has_multiple_scans(&Info) && !Info.arith_code && Info.restart_interval == 0;
    const JDIMENSION Margin = 4 * static_cast<JDIMENSION>(Info.max_v_samp_factor * Info.min_codec_data_unit);
    JDIMENSION StopAt = Info.output_height;
    while (Info.output_scanline < StopAt) {
        if (Flat && Err.DataEnded && Info.unread_marker == JPEG_EOI && StopAt == Info.output_height &&
            Info.output_scanline > 0)
            StopAt = std::min(Info.output_height, Info.output_scanline + Margin);
        JSAMPROW Row = reinterpret_cast<JSAMPROW>(Out.Samples.data() + RowSamples * Info.output_scanline);
        if (jpeg_read_scanlines(&Info, &Row, 1) != 1)
            break; // a suspending source only; ours never suspends
    }
    if (Info.output_scanline > 0 && Info.output_scanline < Info.output_height) {
        const uint16_t* Last = Out.Samples.data() + RowSamples * (Info.output_scanline - 1);
        for (JDIMENSION Y = Info.output_scanline; Y < Info.output_height; ++Y)
            std::memcpy(Out.Samples.data() + RowSamples * Y, Last, RowSamples * sizeof(uint16_t));
    } else {
        jpeg_finish_decompress(&Info);
    }
    jpeg_destroy_decompress(&Info);
    return 0;
}

} // namespace

void DecodeJPEG12(const uint8_t* Stream, size_t Count, bool Grey, bool Rgb, TSamples12& Out)
{
    if (const int Code = DecodeRows(Stream, Count, Grey, Rgb, Out); Code != 0) {
        Out = TSamples12{};
        char Message[40];
        std::snprintf(Message, sizeof Message, "JPEG error #%d", Code);
        throw EJPEGError(Message);
    }
}

} // namespace dicom
