// A toolkit-free bitmap: 8-bit indexed with a 256-entry colour table, or
// 24-bit RGB. Rows run top-down; each row starts on a 4-byte boundary so a
// GUI can wrap the pixels without copying them. 24-bit pixels are stored
// red, green, blue.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <utility>

namespace dicom {

class TBitmap {
public:
    // Colour table entries are 0xFFRRGGBB (the same layout as QRgb).
    using TColourTable = std::array<uint32_t, 256>;

    TBitmap() = default;
    TBitmap(TBitmap&& Other) noexcept { *this = std::move(Other); }
    TBitmap& operator=(TBitmap&& Other) noexcept;
    TBitmap(const TBitmap& Other);
    TBitmap& operator=(const TBitmap& Other);

    // Drops any content and makes a zero-filled bitmap of the given size.
    // BitsPerPixel is 8 or 24. The colour table is reset to black. The zeros
    // cost nothing until a row is written: a large image whose file holds
    // only part of its pixels is mostly rows nobody writes.
    void SetSize(int Width, int Height, int BitsPerPixel);
    // SetSize without the zeros, for a writer that fills every byte of every
    // row itself, the padding at the end of each row included.
    void SetSizeForOverwrite(int Width, int Height, int BitsPerPixel);
    void Clear() { SetSize(0, 0, 8); }

    int Width() const { return W; }
    int Height() const { return H; }
    int BitsPerPixel() const { return Bpp; }
    bool Empty() const { return W == 0 || H == 0; }
    size_t Stride() const { return RowBytes; }
    uint8_t* Row(int Y) { return Pixels.get() + static_cast<size_t>(Y) * RowBytes; }
    const uint8_t* Row(int Y) const { return Pixels.get() + static_cast<size_t>(Y) * RowBytes; }
    uint8_t* Bits() { return Pixels.get(); }
    const uint8_t* Bits() const { return Pixels.get(); }
    size_t ByteCount() const { return RowBytes * static_cast<size_t>(H); }

    TColourTable& ColourTable() { return Colours; }
    const TColourTable& ColourTable() const { return Colours; }

    // The colour of pixel (X, Y) as 0xFFRRGGBB, whatever the format.
    uint32_t PixelColour(int X, int Y) const;

    static uint32_t Rgb(uint8_t R, uint8_t G, uint8_t B)
    {
        return 0xFF000000u | (static_cast<uint32_t>(R) << 16) | (static_cast<uint32_t>(G) << 8) | B;
    }

    // Bytes of the pixel block the thread keeps for its next bitmap (0 when
    // none); let go of with ReleaseSpare.
    static size_t SpareBytes();
    // True when the pixels are a block an earlier bitmap let go of: its
    // pages are mapped already.
    bool Recycled() const { return Reused; }
    static void ReleaseSpare();

private:
    // Hands the block to the thread's spare slot, or frees it.
    struct TFree {
        TFree() noexcept : Capacity(0) {}
        explicit TFree(size_t Bytes) noexcept : Capacity(Bytes) {}
        size_t Capacity;
        void operator()(uint8_t* P) const;
    };
    void Resize(int Width, int Height, int BitsPerPixel, bool Zeroed);
    int W = 0, H = 0, Bpp = 8;
    size_t RowBytes = 0;
    bool Reused = false;
    std::unique_ptr<uint8_t[], TFree> Pixels;
    TColourTable Colours{};
};

} // namespace dicom
