// Colour frames: YBR to RGB, and RGB display bytes into a 24-bit bitmap.
#pragma once

#include "bitmap.h"

#include <algorithm>
#include <cstdint>
#include <type_traits>

namespace dicom {

// Colour frames of more than 8 bits whose samples are not levels but YBR
// codes: the top 8 of the stored bits keep the chroma centred on 128.
template <typename T>
void TopBitsFrame(const T* Src, uint64_t Count, uint8_t* Out, int BitsStored)
{
    using U = std::make_unsigned_t<T>;
    const int Stored = std::clamp<int>(BitsStored, 8, sizeof(T) * 8);
    const uint64_t Mask = Stored >= 64 ? ~uint64_t(0) : (uint64_t(1) << Stored) - 1;
    for (uint64_t I = 0; I < Count; ++I)
        Out[I] = static_cast<uint8_t>((static_cast<U>(Src[I]) & Mask) >> (Stored - 8));
}

// Output of the colour path: three display bytes per pixel, red, green,
// blue. A frame of fewer samples repeats its last one.
void FillRGB(TBitmap& Out, const uint8_t* Display, int Rows, int Columns, int Samples);

} // namespace dicom
