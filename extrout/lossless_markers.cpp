// The marker walk of a lossless JPEG stream: frame and scan headers, Huffman
// table segments, restart interval, and the compaction of the entropy-coded
// data that follows the scan header.
#include "lossless_state.h"

#include <algorithm>
#include <cstring>

namespace extrout::lossless {

TLosslessState::TLosslessState(const uint8_t* Source, size_t Offset, size_t Size) : Size(Size)
{
    // Padding lets the bit reader load whole words near the end.
    Data.resize(Size + 32, 0);
    std::memcpy(Data.data(), Source + Offset, Size);
}

void TLosslessState::ReadTable(THuffmanTable& T)
{
    ReadMarkerByte(); // class and identifier: tables go by their order
    int Sum = 0;
    T.MaxLength = 0;
    for (int L = 1; L <= 16; ++L) {
        T.Counts[L] = ReadMarkerByte();
        Sum += T.Counts[L];
        if (T.Counts[L] != 0)
            T.MaxLength = L;
    }
    if (Sum > 17)
        throw EStop();
    for (auto& E : T.Entries)
        E = THuffmanEntry();
    int K = 0;
    for (int L = 1; L <= 16; ++L) {
        if (T.Counts[L] == 0)
            continue;
        T.Start[L] = K + 1;
        for (int I = 0; I < T.Counts[L]; ++I) {
            const int V = ReadMarkerByte();
            if (V > 16)
                throw EStop();
            ++K;
            T.Entries[K].Length = L;
            T.Entries[K].Value = V;
            T.LastValue = V;
        }
    }
    T.Total = K;
    // Canonical codes (T.81 Figure C.2).
    int Code = 0;
    int Size = K > 0 ? T.Entries[1].Length : 0;
    for (int I = 1; I <= K;) {
        while (I <= K && T.Entries[I].Length == Size) {
            T.Entries[I].Code = Code++;
            ++I;
        }
        if (I > K)
            break;
        while (T.Entries[I].Length != Size) {
            Code <<= 1;
            ++Size;
        }
    }
}

void TLosslessState::ReadHuffmanSegment(size_t SegmentEnd)
{
    int Count = 0;
    do {
        // The state holds four tables; later ones are read to keep the walk
        // in step and then dropped.
        ReadTable(Count < 4 ? Tables[Count + 1] : Tables[0]);
        ++Count;
    } while (BytePos + 18 <= SegmentEnd);
    TableCount = std::min(Count, 4);
}

bool TLosslessState::WalkHeaders()
{
    BytePos = 2; // the start of image, whatever it holds
    for (;;) {
        if (BytePos >= Size)
            return true;
        if (ReadMarkerByte() != 0xFF)
            return false;
        const uint8_t Marker = ReadMarkerByte();
        if (Marker == 0x00 || Marker == 0x01 || Marker == 0xFF || (Marker >= 0xD0 && Marker <= 0xD7))
            continue;
        const uint32_t Length = ReadMarkerWord();
        // A length below 2 would move the walk backwards, forever.
        if (Length < 2)
            return false;
        const size_t SegmentEnd = BytePos + Length - 2;
        if (SegmentEnd > Size)
            return false;
        if (Marker == 0xC3)
            LosslessFrameSeen = true;
        const bool IsSOF = Marker >= 0xC0 && Marker <= 0xCF && Marker != 0xC4 && Marker != 0xC8 && Marker != 0xCC;
        if (IsSOF) {
            P = ReadMarkerByte();
            Y = ReadMarkerWord();
            X = ReadMarkerWord();
            Nf = ReadMarkerByte();
            if (!LosslessFrameSeen)
                throw EStop();
            if (Nf != 1 && Nf != 3)
                throw EStop();
        } else if (Marker == 0xC4) {
            ReadHuffmanSegment(SegmentEnd);
        } else if (Marker == 0xDD) {
            RI = ReadMarkerWord();
        } else if (Marker == 0xDA) {
            const uint32_t Ns = ReadMarkerByte();
            BytePos += 2 * Ns;
            Ss = ReadMarkerByte();
            ReadMarkerByte();
            Pt = ReadMarkerByte() & 15;
        }
        BytePos = SegmentEnd;
        if (Marker == 0xDA)
            return true;
    }
}

// Drops the stuffed zero after each 0xFF, in place, up to the end of image.
// Restart markers stay in the data; their positions are noted.
void TLosslessState::CompactEntropyData()
{
    uint8_t* D = Data.data();
    size_t From = BytePos, To = BytePos;
    while (From < Size) {
        // Plain bytes up to the next 0xFF move down as one block.
        const void* F = std::memchr(D + From, 0xFF, Size - From);
        const size_t Next = F == nullptr ? Size : static_cast<size_t>(static_cast<const uint8_t*>(F) - D);
        if (To != From)
            std::memmove(D + To, D + From, Next - From);
        To += Next - From;
        From = Next;
        if (From >= Size)
            break;
        D[To++] = 0xFF;
        if (++From >= Size)
            break;
        const uint8_t After = D[From];
        if (After == 0x00)
            ++From;
        else if (After == 0xD9)
            break;
        else if (After >= 0xD0 && After <= 0xD7)
            Restarts.push_back(To - 1);
    }
}

} // namespace extrout::lossless
