#include "jpeg12_encoder.h"

#include <cstddef>
#include <cstdio>
#include <algorithm>
#include <csetjmp>
#include <cstdlib>

#define JPEG_INTERNAL_OPTIONS // the layout the library was built with
namespace ijg12 {
extern "C" {
#include <gdcmjpeg/12/jpeglib.h>
}
} // namespace ijg12

namespace testgen {

namespace {

using namespace ijg12;

struct TDest {
    jpeg_destination_mgr Pub;
    std::vector<uint8_t>* Out;
    JOCTET Buffer[4096];
};

void InitDest(j_compress_ptr C)
{
    auto* D = reinterpret_cast<TDest*>(C->dest);
    D->Pub.next_output_byte = D->Buffer;
    D->Pub.free_in_buffer = sizeof D->Buffer;
}

boolean EmptyDest(j_compress_ptr C)
{
    auto* D = reinterpret_cast<TDest*>(C->dest);
    D->Out->insert(D->Out->end(), D->Buffer, D->Buffer + sizeof D->Buffer);
    InitDest(C);
    return TRUE;
}

void TermDest(j_compress_ptr C)
{
    auto* D = reinterpret_cast<TDest*>(C->dest);
    D->Out->insert(D->Out->end(), D->Buffer, D->Buffer + (sizeof D->Buffer - D->Pub.free_in_buffer));
}

[[noreturn]] void Fail(j_common_ptr)
{
    std::fprintf(stderr, "12-bit JPEG encoder failed\n");
    std::abort();
}

const JOCTET kEnd[2] = {0xFF, JPEG_EOI};
void NoOp(j_decompress_ptr) {}
boolean Refill(j_decompress_ptr D)
{
    D->src->next_input_byte = kEnd;
    D->src->bytes_in_buffer = 2;
    return TRUE;
}
void Skip(j_decompress_ptr D, long N)
{
    while (N > 0) {
        if (D->src->bytes_in_buffer == 0)
            Refill(D);
        const long K = std::min<long>(N, static_cast<long>(D->src->bytes_in_buffer));
        D->src->next_input_byte += K;
        D->src->bytes_in_buffer -= static_cast<size_t>(K);
        N -= K;
    }
}

struct TPlainError {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
};

} // namespace

std::vector<uint8_t> MakeJPEG12(int Width, int Height, int Components,
                                const std::function<uint16_t(int, int, int)>& Sample, bool Progressive)
{
    std::vector<uint8_t> Out;
    jpeg_compress_struct C;
    jpeg_error_mgr Err;
    C.err = jpeg_std_error(&Err);
    Err.error_exit = Fail;
    jpeg_create_compress(&C);
    TDest D;
    D.Out = &Out;
    D.Pub.init_destination = InitDest;
    D.Pub.empty_output_buffer = EmptyDest;
    D.Pub.term_destination = TermDest;
    C.dest = &D.Pub;
    C.image_width = static_cast<JDIMENSION>(Width);
    C.image_height = static_cast<JDIMENSION>(Height);
    C.input_components = Components;
    C.in_color_space = Components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&C);
    jpeg_set_quality(&C, 100, TRUE);
    C.optimize_coding = TRUE; // the standard tables are for 8 bits
    if (Progressive)
        jpeg_simple_progression(&C);
    jpeg_start_compress(&C, TRUE);
    std::vector<JSAMPLE> Row(static_cast<size_t>(Width) * Components);
    for (int Y = 0; Y < Height; ++Y) {
        for (int X = 0; X < Width; ++X)
            for (int K = 0; K < Components; ++K)
                Row[static_cast<size_t>(X) * Components + K] = static_cast<JSAMPLE>(Sample(X, Y, K));
        JSAMPROW P = Row.data();
        jpeg_write_scanlines(&C, &P, 1);
    }
    jpeg_finish_compress(&C);
    jpeg_destroy_compress(&C);
    return Out;
}

int PlainDecodeJPEG12(const std::vector<uint8_t>& Stream, bool Grey, std::vector<uint16_t>& Samples)
{
    jpeg_decompress_struct D;
    jpeg_source_mgr Src;
    TPlainError Err;
    D.err = jpeg_std_error(&Err.Pub);
    Err.Pub.output_message = [](j_common_ptr) {};
    Err.Pub.error_exit = [](j_common_ptr C) { std::longjmp(reinterpret_cast<TPlainError*>(C->err)->Jump, 1); };
    if (setjmp(Err.Jump)) {
        jpeg_destroy_decompress(&D);
        return Err.Pub.msg_code;
    }
    jpeg_create_decompress(&D);
    Src.next_input_byte = Stream.data();
    Src.bytes_in_buffer = Stream.size();
    Src.init_source = NoOp;
    Src.fill_input_buffer = Refill;
    Src.skip_input_data = Skip;
    Src.resync_to_restart = jpeg_resync_to_restart;
    Src.term_source = NoOp;
    D.src = &Src;
    jpeg_read_header(&D, TRUE);
    D.out_color_space = Grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&D);
    const size_t Row = size_t(D.output_width) * D.output_components;
    Samples.assign(Row * D.output_height, 0);
    while (D.output_scanline < D.output_height) {
        JSAMPROW P = reinterpret_cast<JSAMPROW>(Samples.data() + Row * D.output_scanline);
        jpeg_read_scanlines(&D, &P, 1);
    }
    jpeg_finish_decompress(&D);
    jpeg_destroy_decompress(&D);
    return 0;
}

} // namespace testgen
