// Turning the first frame of the pixel data into the preview bitmap.
#pragma once

#include "bitmap.h"
#include "loader.h"

#include <cstdint>

namespace dicom {

// ((Rows x Columns x BitsAllocated + 7) div 8) x SamplesPerPixel, in 64 bits.
uint64_t FrameBytes(const TData28& Data);

// Renders frame 1 of Data into Bitmap. Returns -1 for failure, 1 when drawn
// (and in the quiet cases that leave Bitmap as it was), 0 without pixel data.
int32_t RenderImage(TData28& Data, TBitmap& Bitmap, const TransferSyntaxState& TS);

} // namespace dicom

// The steps of RenderImage, exposed for the tools and tests.
namespace dicom {

// Frames larger than this come from corrupt or hostile headers: refused.
constexpr uint64_t kMaxFrameBytes = uint64_t(1) << 30;

// a x b / c with a 64-bit intermediate, rounded to nearest, halves away from
// zero; -1 when c is 0.
int32_t MulDiv(int32_t A, int32_t B, int32_t C);

// Rewrites Count bytes of Planes planes, SampleBytes wide per sample, as
// interleaved samples.
bool PlanarToInterleaved(uint8_t* Frame, int Planes, int SampleBytes, uint64_t Count);

// Display values of Count 16-bit samples (read as signed or unsigned) in
// Min..Max, Max > Min: (sample - Min) x 255 / (Max - Min), to the nearest,
// halves up. Vector lanes where the processor has them, else a table.
void Stretch16(const uint16_t* Src, size_t Count, int32_t Min, int32_t Max, bool Signed, uint8_t* Out,
               bool AllowVector = true);

// Y, Cb, Cr (or Y0, Y1, Cb, Cr with Is422) groups from Count source bytes to
// R, G, B triples in Dest (DestCount bytes). False when Dest is too small.
bool ConvertYBRToRGB(const uint8_t* Source, uint8_t* Dest, uint64_t DestCount, bool Is422, uint64_t Count);

void YBRPixelToRGB(uint8_t Y, int8_t Cr, int8_t Cb, uint8_t& R, uint8_t& G, uint8_t& B);

// Entries 0..255: ascending grey, descending for MONOCHROME1.
void MakeGreyColourTable(TBitmap::TColourTable& Table, TPhotometric Photometric);

// The three palette LUTs of Data, read through its pixel data element's
// stream, as 0xFFRRGGBB per entry (Entries of the red descriptor; missing
// data stays black).
std::vector<uint32_t> LoadPaletteColourTable(const TData28& Data, const TransferSyntaxState& TS);

// Decodes a whole JPEG stream into Bitmap at the stream's own size: 8-bit
// indexed with the grey table for the two greyscale codes, 24-bit
// otherwise. 8-bit samples are drawn as they are; 12-bit ones (by the
// stream's frame header) are stretched over the frame's own range like
// uncompressed samples, as 12-bit two's complement with Signed. Raises
// EJPEGError("JPEG error #N") when the library refuses the stream.
void DecodeJPEGToBitmap(const uint8_t* Stream, size_t Count, TPhotometric Photometric, TBitmap& Bitmap,
                        bool Signed = false);

} // namespace dicom
