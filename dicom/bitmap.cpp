#include "bitmap.h"

#include <cstring>
#include <new>

namespace dicom {

void TBitmap::SetSize(int Width, int Height, int BitsPerPixel)
{
    W = Width > 0 ? Width : 0;
    H = Height > 0 ? Height : 0;
    Bpp = BitsPerPixel == 24 ? 24 : 8;
    RowBytes = (static_cast<size_t>(W) * (Bpp / 8) + 3) & ~static_cast<size_t>(3);
    Pixels.reset();
    const size_t Count = RowBytes * static_cast<size_t>(H);
    if (Count > 0) {
        // calloc hands large blocks over as fresh pages, zero without a pass.
        Pixels.reset(static_cast<uint8_t*>(std::calloc(Count, 1)));
        if (!Pixels) {
            W = H = 0;
            RowBytes = 0;
            throw std::bad_alloc();
        }
    }
    Colours.fill(0xFF000000u);
}

TBitmap::TBitmap(const TBitmap& Other) { *this = Other; }

// The source is left an empty bitmap, never sizes without pixels.
TBitmap& TBitmap::operator=(TBitmap&& Other) noexcept
{
    if (this == &Other)
        return *this;
    W = std::exchange(Other.W, 0);
    H = std::exchange(Other.H, 0);
    Bpp = std::exchange(Other.Bpp, 8);
    RowBytes = std::exchange(Other.RowBytes, 0);
    Pixels = std::move(Other.Pixels);
    Colours = Other.Colours;
    return *this;
}

TBitmap& TBitmap::operator=(const TBitmap& Other)
{
    if (this == &Other)
        return *this;
    SetSize(Other.W, Other.H, Other.Bpp);
    if (ByteCount() > 0)
        std::memcpy(Pixels.get(), Other.Pixels.get(), ByteCount());
    Colours = Other.Colours;
    return *this;
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
