// The greyscale stretch: samples of more than 8 bits mapped over the frame's
// own range to 8-bit display values, and the greyscale bitmaps made of them.
#pragma once

#include "bitmap.h"
#include "loader.h"

#include <cstddef>
#include <cstdint>

namespace dicom {

inline bool IsGrey(TPhotometric P) { return P == pmMonochrome2 || P == pmMonochrome1; }

// Greyscale and RGB frames of more than 8 bits: stretched over the frame's
// own range. Only the first Count of the N samples may be other than zero;
// the zeros after them count in the range but are left to the caller. Gives
// the display value of a zero sample. For int16_t, uint16_t, int32_t and
// uint32_t samples.
template <typename T>
uint8_t StretchFrame(const T* Src, uint64_t N, uint64_t Count, uint8_t* Out);

// A 16-bit greyscale frame straight from the file into Out, W pixels wide,
// without a frame-sized buffer. Gives -1 on a read error, 1 otherwise. For
// int16_t and uint16_t samples.
template <typename T>
int32_t RenderGrey16(const TData28& Data, const TransferSyntaxState& TS, TBitmap& Out, int W);

// A frame decoded at its own size, Components (1 or 3) 16-bit samples a
// pixel, stretched over its own range into Bitmap: 8-bit with the grey table
// of Photometric for one component, 24-bit RGB for three.
void StretchToBitmap(const uint16_t* Samples, int Width, int Height, int Components, TPhotometric Photometric,
                     bool Signed, TBitmap& Bitmap);

// Output of the greyscale path: one index per pixel, the first sample of
// each, rows widened to the bitmap's width.
void FillIndexed(TBitmap& Out, const uint8_t* Display, int Rows, int Columns, int Stride);

} // namespace dicom
