// Lossless JPEG (process 14: Huffman coding, frame header SOF3) decoder: the
// frame driver. The marker walk is in lossless_markers.cpp, the tables in
// lossless_huffman.cpp, the hot loop in lossless_scan.cpp.
//
// Tables are numbered by their order in the last DHT segment, and a stream
// with fewer tables than components reuses the first.
#include "extrout.h"
#include "lossless_huffman.h"
#include "lossless_scan.h"
#include "lossless_state.h"

namespace extrout {

using namespace lossless;

uint64_t LosslessJPEGOutputSize(const uint8_t* Source, size_t Offset, size_t Size)
{
    if (Size < 32 || Source == nullptr)
        return 0;
    try {
        TLosslessState S(Source, Offset, Size);
        if (!S.WalkHeaders() || !S.LosslessFrameSeen)
            return 0;
        return static_cast<uint64_t>(S.X) * S.Nf * S.Y * (S.P == 8 ? 1 : 2);
    } catch (const EStop&) {
        return 0;
    }
}

bool DecodeLosslessJPEG(const uint8_t* Source, uint8_t* Output, size_t Capacity, size_t Offset, size_t Size)
{
    if (Size < 32 || Source == nullptr)
        return false;
    try {
        TLosslessState S(Source, Offset, Size);
        if (!S.WalkHeaders())
            return false;
        if (!S.LosslessFrameSeen)
            return true;
        S.CompactEntropyData();
        if (!CompleteTables(S))
            return false;

        S.BytePos += 1;
        const uint64_t Samples = static_cast<uint64_t>(S.X) * S.Nf * S.Y;
        const uint64_t SampleBytes = S.P == 8 ? 1 : 2;
        if (Samples * SampleBytes > Capacity || (Output == nullptr && Samples != 0))
            return false;
        if (Samples == 0)
            return true;
        return DecodeScan(S, Output, Samples);
    } catch (const EStop&) {
        return false;
    }
}

} // namespace extrout
