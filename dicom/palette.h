// Palette colour frames: samples to palette indices, and the indexed (or,
// for more than 256 colours, 24-bit) bitmap drawn from them.
#pragma once

#include "bitmap.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace dicom {

// A palette index per pixel: the sample clamped to the mapped range, less
// the first mapped value. Stride steps over extra samples of odd files.
template <typename T>
void PaletteIndices(const T* Src, uint64_t Pixels, int Stride, int32_t First, int32_t Last, uint16_t* Out)
{
    for (uint64_t I = 0; I < Pixels; ++I) {
        const int64_t S = static_cast<int64_t>(Src[I * static_cast<uint64_t>(Stride)]);
        Out[I] = static_cast<uint16_t>(std::clamp<int64_t>(S, First, Last) - First);
    }
}

// Draws Rows x Columns indices into Out (W pixels wide) through Table, the
// colours as LoadPaletteColourTable gives them: an 8-bit bitmap for up to
// 256 colours, 24-bit beyond. Only the first Shown indices are held; the
// rest are AbsentIndex, and rows from ShownRows on hold nothing else.
void FillPalette(TBitmap& Out, const std::vector<uint32_t>& Table, const uint16_t* Indices, uint64_t Shown,
                 uint16_t AbsentIndex, int Rows, int Columns, int W, int ShownRows);

} // namespace dicom
