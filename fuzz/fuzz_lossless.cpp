// The lossless JPEG decoder from arbitrary bytes, into an output block of
// exactly the capacity it is given, so any write past it is caught.
#include "harness.h"

#include "extrout.h"

#include <algorithm>
#include <memory>

namespace {

// Bytes of the frame the first SOF3 header declares, 0 without one.
size_t DeclaredFrameBytes(const uint8_t* Data, size_t Size)
{
    for (size_t I = 0; I + 9 < Size; ++I) {
        if (Data[I] != 0xFF || Data[I + 1] != 0xC3)
            continue;
        const size_t P = Data[I + 4];
        const size_t Y = (Data[I + 5] << 8) | Data[I + 6];
        const size_t X = (Data[I + 7] << 8) | Data[I + 8];
        const size_t Nf = Data[I + 9];
        return X * Y * Nf * (P == 8 ? 1 : 2);
    }
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    // The renderer sizes the buffer from the data set, which may disagree
    // with the stream: try the exact size, one byte short, half, and a
    // buffer sized for 8-bit samples, chosen by the input.
    constexpr size_t kMax = 16u << 20;
    const size_t Exact = std::min(DeclaredFrameBytes(Data, Size), kMax);
    size_t Capacity = Exact;
    switch (Size % 4) {
    case 1: Capacity = Exact == 0 ? 0 : Exact - 1; break;
    case 2: Capacity = Exact / 2; break;
    case 3: Capacity = Exact / 2 + 1; break;
    default: break;
    }
    // A copy of exactly Size bytes: the decoder must not read beyond it.
    std::unique_ptr<uint8_t[]> Source(new uint8_t[Size == 0 ? 1 : Size]);
    if (Size != 0)
        std::memcpy(Source.get(), Data, Size);
    std::unique_ptr<uint8_t[]> Output(new uint8_t[Capacity == 0 ? 1 : Capacity]);
    extrout::DecodeLosslessJPEG(Source.get(), Capacity == 0 ? nullptr : Output.get(), Capacity, 0, Size);
    return 0;
}
