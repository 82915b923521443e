#include "palette.h"

#include "errors.h"
#include "render.h"
#include "streams.h"

#include <cstring>

namespace dicom {

std::vector<uint32_t> LoadPaletteColourTable(const TData28& Data, const TransferSyntaxState& TS)
{
    const size_t Entries = Data.RedDescriptor.Entries;
    std::vector<uint32_t> Table(Entries, 0xFF000000u);
    TStream* Stream = Data.PixelData ? Data.PixelData->Stream : nullptr;
    if (Stream == nullptr)
        return Table;
    const struct {
        const TLUTDescriptor& D;
        int64_t Offset;
        uint32_t Length;
        int Shift;
    } Colours[3] = {
        {Data.RedDescriptor, Data.RedDataOffset, Data.RedDataLength, 16},
        {Data.GreenDescriptor, Data.GreenDataOffset, Data.GreenDataLength, 8},
        {Data.BlueDescriptor, Data.BlueDataOffset, Data.BlueDataLength, 0},
    };
    std::vector<uint8_t> Raw;
    for (const auto& C : Colours) {
        if (C.Offset <= 0 || C.Length == 0)
            continue;
        const size_t N = std::min<size_t>(C.D.Entries, Entries);
        // 8-bit entries may come one per byte (an element Entries bytes long)
        // or one per 16-bit word.
        const bool Packed = C.D.BitsPerEntry == 8 && C.Length < 2 * size_t(C.D.Entries);
        const size_t Want = std::min<size_t>(Packed ? (N + 1) & ~size_t(1) : 2 * N, C.Length);
        Raw.assign(Want, 0);
        try {
            Stream->Seek(C.Offset);
            Stream->Read(Raw.data(), Want);
        } catch (const EDicomError&) {
            continue;
        }
        // Which byte of a word holds the component, in file order.
        const bool High = C.D.BitsPerEntry != 8;
        const size_t Pick = High != TS.BigEndian ? 1 : 0;
        for (size_t I = 0; I < N; ++I) {
            uint8_t V = 0;
            if (Packed) {
                // Packed bytes still travel in 16-bit words: a big-endian
                // file holds each pair swapped.
                const size_t At = TS.BigEndian ? I ^ 1 : I;
                V = At < Want ? Raw[At] : 0;
            }
            else if (2 * I + Pick < Want)
                V = Raw[2 * I + Pick];
            Table[I] |= static_cast<uint32_t>(V) << C.Shift;
        }
    }
    return Table;
}

void FillPalette(TBitmap& Out, const std::vector<uint32_t>& Table, const uint16_t* Indices, uint64_t Shown,
                 uint16_t AbsentIndex, int Rows, int Columns, int W, int ShownRows)
{
    const auto IndexAt = [&](uint64_t I) { return I < Shown ? Indices[I] : AbsentIndex; };
    if (Table.size() <= 256) {
        Out.SetSize(W, Rows, 8);
        std::copy(Table.begin(), Table.end(), Out.ColourTable().begin());
        for (int R = 0; R < Rows; ++R) {
            uint8_t* Dst = Out.Row(R);
            if (R >= ShownRows) {
                if (AbsentIndex != 0)
                    std::memset(Dst, static_cast<uint8_t>(AbsentIndex), static_cast<size_t>(Columns));
                continue;
            }
            for (int X = 0; X < Columns; ++X)
                Dst[X] = static_cast<uint8_t>(IndexAt(uint64_t(R) * Columns + X));
        }
    } else {
        // More colours than an indexed bitmap holds: draw them directly.
        Out.SetSize(W, Rows, 24);
        const uint32_t AbsentColour = Table[AbsentIndex] & 0xFFFFFFu;
        for (int R = 0; R < Rows; ++R) {
            if (R >= ShownRows && AbsentColour == 0)
                continue;
            uint8_t* Dst = Out.Row(R);
            for (int X = 0; X < Columns; ++X) {
                const uint32_t C = Table[IndexAt(uint64_t(R) * Columns + X)];
                Dst[X * 3] = static_cast<uint8_t>(C >> 16);
                Dst[X * 3 + 1] = static_cast<uint8_t>(C >> 8);
                Dst[X * 3 + 2] = static_cast<uint8_t>(C);
            }
        }
    }
}

} // namespace dicom
