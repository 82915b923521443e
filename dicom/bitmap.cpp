#include "bitmap.h"

namespace dicom {

void TBitmap::SetSize(int Width, int Height, int BitsPerPixel)
{
    W = Width > 0 ? Width : 0;
    H = Height > 0 ? Height : 0;
    Bpp = BitsPerPixel == 24 ? 24 : 8;
    RowBytes = (static_cast<size_t>(W) * (Bpp / 8) + 3) & ~static_cast<size_t>(3);
    Pixels.assign(RowBytes * static_cast<size_t>(H), 0);
    Pixels.shrink_to_fit();
    Colours.fill(0xFF000000u);
}

uint32_t TBitmap::PixelColour(int X, int Y) const
{
    const uint8_t* R = Row(Y);
    if (Bpp == 8)
        return Colours[R[X]];
    const uint8_t* P = R + static_cast<size_t>(X) * 3;
    return Rgb(P[0], P[1], P[2]);
}

} // namespace dicom
