#include "bitmap.h"

#include <cstring>
#include <new>

namespace dicom {

namespace {

// The pixels of the last bitmap let go of, kept for the next one on the same
// thread: the preview renders a new bitmap at every selection, mostly of the
// size of the last, and a new block would be fresh pages, a fault and a
// cleared page per 4 KiB, whenever the heap has been handed back to the
// kernel in between. A block serves a bitmap of at least half its size, and
// blocks beyond kSpareMax are never kept.
constexpr size_t kSpareMax = size_t(64) << 20;

struct TSpare {
    uint8_t* P = nullptr;
    size_t Bytes = 0;
    ~TSpare();
};

thread_local TSpare Spare;
// Set once the slot is gone at thread exit; bitmaps that die later free
// their blocks themselves.
thread_local bool SpareGone = false;

TSpare::~TSpare()
{
    std::free(P);
    P = nullptr;
    Bytes = 0;
    SpareGone = true;
}

// A block of at least Count bytes, the spare when it fits; Capacity gets its
// size. Zeroed or not as asked.
uint8_t* TakeBlock(size_t Count, bool Zeroed, size_t& Capacity, bool& Reused)
{
    Reused = false;
    if (!SpareGone && Spare.P != nullptr && Spare.Bytes >= Count && Spare.Bytes / 2 <= Count) {
        uint8_t* const P = std::exchange(Spare.P, nullptr);
        Capacity = std::exchange(Spare.Bytes, 0);
        Reused = true;
        if (Zeroed)
            std::memset(P, 0, Count);
        return P;
    }
    // calloc hands large blocks over as fresh pages, zero without a pass.
    auto* const P = static_cast<uint8_t*>(Zeroed ? std::calloc(Count, 1) : std::malloc(Count));
    Capacity = P != nullptr ? Count : 0;
    return P;
}

} // namespace

void TBitmap::TFree::operator()(uint8_t* P) const
{
    if (P == nullptr)
        return;
    if (SpareGone || Capacity == 0 || Capacity > kSpareMax) {
        std::free(P);
        return;
    }
    std::free(Spare.P);
    Spare.P = P;
    Spare.Bytes = Capacity;
}

size_t TBitmap::SpareBytes() { return SpareGone || Spare.P == nullptr ? 0 : Spare.Bytes; }

void TBitmap::ReleaseSpare()
{
    if (SpareGone)
        return;
    std::free(std::exchange(Spare.P, nullptr));
    Spare.Bytes = 0;
}

void TBitmap::SetSize(int Width, int Height, int BitsPerPixel) { Resize(Width, Height, BitsPerPixel, true); }

void TBitmap::SetSizeForOverwrite(int Width, int Height, int BitsPerPixel)
{
    Resize(Width, Height, BitsPerPixel, false);
}

void TBitmap::Resize(int Width, int Height, int BitsPerPixel, bool Zeroed)
{
    W = Width > 0 ? Width : 0;
    H = Height > 0 ? Height : 0;
    Bpp = BitsPerPixel == 24 ? 24 : 8;
    RowBytes = (static_cast<size_t>(W) * (Bpp / 8) + 3) & ~static_cast<size_t>(3);
    // The old block goes to the spare slot first, so a bitmap made again at
    // its own size takes it back.
    Pixels.reset();
    Reused = false;
    const size_t Count = RowBytes * static_cast<size_t>(H);
    if (Count > 0) {
        size_t Capacity = 0;
        uint8_t* const P = TakeBlock(Count, Zeroed, Capacity, Reused);
        if (P == nullptr) {
            W = H = 0;
            RowBytes = 0;
            throw std::bad_alloc();
        }
        Pixels = std::unique_ptr<uint8_t[], TFree>(P, TFree{Capacity});
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
    Reused = std::exchange(Other.Reused, false);
    Pixels = std::move(Other.Pixels);
    Colours = Other.Colours;
    return *this;
}

TBitmap& TBitmap::operator=(const TBitmap& Other)
{
    if (this == &Other)
        return *this;
    SetSizeForOverwrite(Other.W, Other.H, Other.Bpp);
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
