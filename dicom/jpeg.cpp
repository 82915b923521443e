// JPEG streams other than lossless ones into the bitmap, at the stream's own
// size: 8-bit samples through libjpeg-turbo, 12-bit ones, chosen by the
// precision of the frame header, through jpeg12.cpp and the greyscale
// stretch.
#include "render.h"

#include "errors.h"
#include "greyscale.h"
#include "jpeg12.h"
#include "jpegext.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

namespace dicom {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return;
// we jump back to the decode and raise from ordinary C++ code.
struct TJPEGError {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
    bool DataEnded = false; // a marker or the stream's end came before the image's last block
};

[[noreturn]] void JPEGErrorExit(j_common_ptr Info)
{
    std::longjmp(reinterpret_cast<TJPEGError*>(Info->err)->Jump, 1);
}

void JPEGOutputMessage(j_common_ptr) {}

void JPEGEmitMessage(j_common_ptr Info, int Level)
{
    if (Level < 0) {
        ++Info->err->num_warnings;
        if (Info->err->msg_code == JWRN_HIT_MARKER || Info->err->msg_code == JWRN_JPEG_EOF)
            reinterpret_cast<TJPEGError*>(Info->err)->DataEnded = true;
    }
}

// Runs libjpeg over the stream. Only plain data lives in this frame, so the
// long jump skips no destructor. Returns 0 or libjpeg's message number.
int DecodeJPEGRows(const uint8_t* Stream, size_t Count, bool Grey, bool Rgb, TBitmap* Bitmap)
{
    jpeg_decompress_struct Info;
    TJPEGError Err;
    Info.err = jpeg_std_error(&Err.Pub);
    Err.Pub.error_exit = JPEGErrorExit;
    Err.Pub.output_message = JPEGOutputMessage;
    Err.Pub.emit_message = JPEGEmitMessage;
    if (setjmp(Err.Jump)) {
        const int Code = Err.Pub.msg_code;
        jpeg_destroy_decompress(&Info);
        return Code == 0 ? JERR_UNKNOWN_MARKER : Code;
    }
    jpeg_create_decompress(&Info);
    // Progressive and multi-scan streams hold the whole image as
    // coefficients (two bytes a sample) inside libjpeg; a few hundred bytes
    // can ask for gigabytes. Past this the library refuses instead.
    Info.mem->max_memory_to_use = static_cast<long>(kMaxFrameBytes / 2);
    jpeg_mem_src(&Info, Stream, static_cast<unsigned long>(Count));
    jpeg_read_header(&Info, TRUE);
    // Without a JFIF or Adobe marker libjpeg guesses YCbCr for three
    // components; an RGB image says they are R, G and B as they stand.
    if (Rgb && Info.num_components == 3 && !Info.saw_JFIF_marker && !Info.saw_Adobe_marker)
        Info.jpeg_color_space = JCS_RGB;
    Info.out_color_space = Grey ? JCS_GRAYSCALE : JCS_RGB;
    // An image too big to draw is refused from its header, before libjpeg
    // reads the stream into buffers of that size.
    jpeg_calc_output_dimensions(&Info);
    if (uint64_t(Info.output_width) * Info.output_height * (Grey ? 1 : 3) > kMaxFrameBytes) {
        jpeg_destroy_decompress(&Info);
        return JERR_IMAGE_TOO_BIG;
    }
    jpeg_start_decompress(&Info);
    const uint64_t Need = uint64_t(Info.output_width) * Info.output_height * (Grey ? 1 : 3);
    if (Need > kMaxFrameBytes || Info.output_components != (Grey ? 1 : 3)) {
        const int Code = Need > kMaxFrameBytes ? JERR_IMAGE_TOO_BIG : JERR_CONVERSION_NOTIMPL;
        jpeg_destroy_decompress(&Info);
        return Code;
    }
    // SetSize allocates; no libjpeg frame is between here and a bad_alloc.
    try {
        Bitmap->SetSize(static_cast<int>(Info.output_width), static_cast<int>(Info.output_height), Grey ? 8 : 24);
    } catch (const std::bad_alloc&) {
        jpeg_destroy_decompress(&Info);
        return JERR_OUT_OF_MEMORY;
    }
    // Once the coded data has run out, libjpeg decodes every later block of a
    // one-scan Huffman image without restarts as all-zero coefficients, the
    // same flat colour everywhere. A few hundred bytes claiming a huge image
    // would have it decode hundreds of megabytes of that; instead, once the
    // rows that can still mix with real data (the block row being decoded
    // and, through upsampling, its neighbours) are out, the last of them is
    // copied down and the rest skipped without decoding.
    const bool Flat = !jpeg_has_multiple_scans(&Info) && !Info.arith_code && Info.restart_interval == 0;
    const JDIMENSION Margin = 4 * static_cast<JDIMENSION>(Info.max_v_samp_factor * Info.min_DCT_scaled_size);
    JDIMENSION StopAt = Info.output_height;
    while (Info.output_scanline < StopAt) {
        if (Flat && Err.DataEnded && StopAt == Info.output_height && Info.output_scanline > 0)
            StopAt = std::min(Info.output_height, Info.output_scanline + Margin);
        JSAMPROW Row = Bitmap->Row(static_cast<int>(Info.output_scanline));
        jpeg_read_scanlines(&Info, &Row, 1);
    }
    if (Info.output_scanline < Info.output_height) {
        const uint8_t* Last = Bitmap->Row(static_cast<int>(Info.output_scanline) - 1);
        for (int Y = static_cast<int>(Info.output_scanline); Y < static_cast<int>(Info.output_height); ++Y)
            std::memcpy(Bitmap->Row(Y), Last, Bitmap->Stride());
        // Skipping still walks the coded data; the last row is read, not
        // skipped (a skip to the bottom would take the end of the image as
        // read), so what follows the data (a bad marker, say) fails the
        // decode as it always did.
        jpeg_skip_scanlines(&Info, Info.output_height - Info.output_scanline - 1);
        JSAMPROW Row = Bitmap->Row(static_cast<int>(Info.output_height) - 1);
        jpeg_read_scanlines(&Info, &Row, 1);
    }
    jpeg_finish_decompress(&Info);
    jpeg_destroy_decompress(&Info);
    return 0;
}

} // namespace

void DecodeJPEGToBitmap(const uint8_t* Stream, size_t Count, TPhotometric Photometric, TBitmap& Bitmap, bool Signed)
{
    TBitmap Local;
    const bool Grey = IsGrey(Photometric);
    if (FramePrecision(Stream, Count) == 12) {
        TSamples12 Frame;
        DecodeJPEG12(Stream, Count, Grey, Photometric == pmRGB, Frame);
        // Signed samples are coded as their 12-bit two's complement.
        if (Signed)
            for (uint16_t& S : Frame.Samples)
                S = static_cast<uint16_t>(((S & 0x0FFF) ^ 0x0800) - 0x0800);
        StretchToBitmap(Frame.Samples.data(), Frame.Width, Frame.Height, Frame.Components, Photometric, Signed, Local);
        Bitmap = std::move(Local);
        return;
    }
    if (const int Code = DecodeJPEGRows(Stream, Count, Grey, Photometric == pmRGB, &Local); Code != 0) {
        char Message[40];
        std::snprintf(Message, sizeof Message, "JPEG error #%d", Code);
        throw EJPEGError(Message);
    }
    if (Grey)
        MakeGreyColourTable(Local.ColourTable(), Photometric);
    Bitmap = std::move(Local);
}

} // namespace dicom
