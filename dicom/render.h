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
