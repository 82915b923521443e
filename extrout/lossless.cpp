// Lossless JPEG (process 14: Huffman coding, frame header SOF3) decoder.
//
// Tables are numbered by their order in the last DHT segment, and a stream
// with fewer tables than components reuses the first. Codes of up to 8 bits
// resolve through an 8-bit lookup whose consumed length is the one recorded
// for the value; longer codes are matched length by length, and a code that
// matches nothing gives the table's last value. The fast path below folds all
// of that into one wider lookup built by running the same resolution over
// every bit pattern, so both give the same samples.
#include "extrout.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace extrout {

namespace {

struct EStop {}; // a malformed stream: the decode gives false

struct THuffmanEntry {
    int Length = -1, Code = -1, Value = -1;
};

struct THuffmanTable {
    int Counts[17] = {};
    int Start[17] = {};
    THuffmanEntry Entries[32];
    int Total = 0;
    int MaxLength = 0;
    int LastValue = 0;
    uint8_t Lookup[256];
    uint8_t LengthOfValue[18];
};

// Bits of the lookup that resolves code and extra bits in one step.
constexpr int kFastBits = 12;

struct TFastEntry {
    int32_t Diff;    // the difference, when Total is set
    uint8_t Total;   // code plus extra bits; 0 when the pattern is too short
    uint8_t CodeLen; // code bits; 0 when longer than the lookup
    uint8_t Category;
    uint8_t Pad;
};

struct TFastTable {
    const THuffmanTable* Huff;
    TFastEntry E[1 << kFastBits];
};

inline uint64_t LoadBE64(const uint8_t* P)
{
    uint64_t V;
    std::memcpy(&V, P, 8);
    return __builtin_bswap64(V);
}

// EXTEND of T.81 F.2.2.1 for S in 1..15.
inline int32_t Extend(uint32_t V, int S)
{
    const int32_t Low = static_cast<int32_t>(V - (1u << (S - 1))) >> 31; // -1 when V is below half
    return static_cast<int32_t>(V) + (Low & (1 - (1 << S)));
}

// The code at the top of Bits (at least 16 valid bits) resolved as the
// bit-by-bit decoder does: its category and the code bits it consumes.
inline void ResolveCode(const THuffmanTable& T, uint64_t Bits, int& Category, int& Consumed)
{
    const int Top = static_cast<int>(Bits >> 56);
    const int V = T.Lookup[Top];
    if (V != 255) {
        Category = V;
        Consumed = T.LengthOfValue[V];
        return;
    }
    int Code = Top;
    for (int L = 9;; ++L) {
        Code = (Code << 1) | static_cast<int>((Bits >> (64 - L)) & 1);
        if (T.Counts[L] > 0) {
            for (int I = T.Start[L]; I < T.Start[L] + T.Counts[L]; ++I) {
                if (T.Entries[I].Code == Code) {
                    Category = T.Entries[I].Value;
                    Consumed = L;
                    return;
                }
            }
        }
        if (L >= T.MaxLength) {
            Category = T.LastValue;
            Consumed = L;
            return;
        }
    }
}

void BuildFastTable(const THuffmanTable& H, TFastTable& F)
{
    F.Huff = &H;
    for (uint32_t P = 0; P < (1u << kFastBits); ++P) {
        const uint64_t Bits = static_cast<uint64_t>(P) << (64 - kFastBits);
        int Category, Consumed;
        ResolveCode(H, Bits, Category, Consumed);
        TFastEntry& E = F.E[P];
        E = TFastEntry{0, 0, 0, 0, 0};
        if (Consumed > kFastBits)
            continue;
        E.CodeLen = static_cast<uint8_t>(Consumed);
        E.Category = static_cast<uint8_t>(Category);
        if (Category == 0) {
            E.Total = static_cast<uint8_t>(Consumed);
        } else if (Category >= 16) {
            E.Diff = 32768;
            E.Total = static_cast<uint8_t>(Consumed);
        } else if (Consumed + Category <= kFastBits) {
            const uint32_t V = static_cast<uint32_t>((Bits << Consumed) >> (64 - Category));
            E.Diff = Extend(V, Category);
            E.Total = static_cast<uint8_t>(Consumed + Category);
        }
    }
}

// Everything a difference needs beyond the wide lookup.
__attribute__((noinline)) int32_t SlowDiff(uint64_t Bits, uint64_t& Cursor, const TFastTable& T, const TFastEntry& E)
{
    int Category, Consumed;
    if (E.CodeLen != 0) {
        Category = E.Category;
        Consumed = E.CodeLen;
    } else {
        ResolveCode(*T.Huff, Bits, Category, Consumed);
    }
    Cursor += static_cast<uint64_t>(Consumed);
    if (Category == 0)
        return 0;
    if (Category >= 16)
        return 32768;
    const uint32_t V = static_cast<uint32_t>((Bits << Consumed) >> (64 - Category));
    Cursor += static_cast<uint64_t>(Category);
    return Extend(V, Category);
}

// The next difference at bit Cursor of Data (big-endian bit order). Data must
// hold 8 readable bytes from Cursor's byte on.
inline int32_t NextDiff(const uint8_t* Data, uint64_t& Cursor, const TFastTable& T)
{
    const uint64_t Bits = LoadBE64(Data + (Cursor >> 3)) << (Cursor & 7);
    const TFastEntry& E = T.E[Bits >> (64 - kFastBits)];
    if (__builtin_expect(E.Total != 0, 1)) {
        Cursor += E.Total;
        return E.Diff;
    }
    return SlowDiff(Bits, Cursor, T, E);
}

struct TLosslessState {
    std::vector<uint8_t> Data; // Size bytes of stream, then zero padding
    size_t Size = 0;
    size_t BytePos = 0;
    uint32_t P = 0, Y = 0, X = 0, Nf = 0;
    uint32_t Ss = 0, Pt = 0, RI = 0;
    bool LosslessFrameSeen = false;
    int TableCount = 0;
    THuffmanTable Tables[5]; // 1..4 used; 0 takes tables past the fourth
    std::vector<size_t> Restarts; // positions of RSTm markers after compaction

    uint8_t ReadMarkerByte()
    {
        if (BytePos >= Size)
            throw EStop();
        return Data[BytePos++];
    }
    uint32_t ReadMarkerWord()
    {
        const uint32_t Hi = ReadMarkerByte();
        return (Hi << 8) | ReadMarkerByte();
    }

    void ReadTable(THuffmanTable& T);
    void ReadHuffmanSegment(size_t SegmentEnd);
    bool WalkHeaders();
    void CompactEntropyData();
};

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
        const uint8_t B = D[From++];
        D[To++] = B;
        if (B != 0xFF || From >= Size)
            continue;
        const uint8_t Next = D[From];
        if (Next == 0x00)
            ++From;
        else if (Next == 0xD9)
            break;
        else if (Next >= 0xD0 && Next <= 0xD7)
            Restarts.push_back(To - 1);
    }
}

template <typename T>
struct TOut;
template <>
struct TOut<uint8_t> {
    using Type = uint8_t;
};
template <>
struct TOut<uint16_t> {
    typedef uint16_t __attribute__((may_alias, aligned(1))) Type;
};

template <int Ss>
inline int32_t Predict(int32_t Ra, int32_t Rb, int32_t Rc)
{
    switch (Ss) {
    case 2: return Rb;
    case 3: return Rc;
    case 4: return Ra + Rb - Rc;
    case 5: return Ra + ((Rb - Rc) >> 1);
    case 6: return Rb + ((Ra - Rc) >> 1);
    case 7: return (Ra + Rb) >> 1;
    default: return Ra;
    }
}

// Reconstructs one frame: Step is the number of interleaved components with
// chains of their own (3 for 8-bit colour, else 1).
template <typename T, int Step>
class TReconstructor {
public:
    using O = typename TOut<T>::Type;

    TReconstructor(TLosslessState& S, O* Out, const TFastTable* const* Tables)
        : S(S), Data(S.Data.data()), Out(Out), Tables(Tables)
    {
    }

    // True when all samples were decoded; Written counts the samples stored.
    bool Run(uint64_t& Written);

private:
    template <int Ss, bool Checked>
    bool Span(O* Row, uint64_t RowLen, uint64_t From, uint64_t To);
    template <bool Checked>
    bool SpanBy(uint32_t Ss, O* Row, uint64_t RowLen, uint64_t From, uint64_t To);
    bool Restart();

    TLosslessState& S;
    const uint8_t* Data;
    O* Out;
    const TFastTable* const* Tables;
    uint64_t Cursor = 0;
    uint64_t Limit = 0; // bits in the stream
    uint64_t Written = 0;
};

template <typename T, int Step>
template <int Ss, bool Checked>
bool TReconstructor<T, Step>::Span(O* Row, uint64_t RowLen, uint64_t From, uint64_t To)
{
    O* Q = Row + From * Step;
    O* const End = Row + To * Step;
    uint64_t C = Cursor;
    while (Q < End) {
        for (int K = 0; K < Step; ++K) {
            const int32_t Ra = Q[-Step];
            const int32_t Rb = Ss == 1 ? 0 : static_cast<int32_t>(Q[-static_cast<int64_t>(RowLen)]);
            const int32_t Rc = Ss == 1 || Ss == 2 || Ss == 7
                                   ? 0
                                   : static_cast<int32_t>(Q[-static_cast<int64_t>(RowLen) - Step]);
            const int32_t D = NextDiff(Data, C, *Tables[K]);
            if (Checked && C > Limit) {
                Cursor = C;
                Written = static_cast<uint64_t>(Q - Out);
                return false;
            }
            *Q++ = static_cast<T>(Predict<Ss>(Ra, Rb, Rc) + D);
        }
    }
    Cursor = C;
    return true;
}

template <typename T, int Step>
template <bool Checked>
bool TReconstructor<T, Step>::SpanBy(uint32_t Ss, O* Row, uint64_t RowLen, uint64_t From, uint64_t To)
{
    switch (Ss) {
    case 2: return Span<2, Checked>(Row, RowLen, From, To);
    case 3: return Span<3, Checked>(Row, RowLen, From, To);
    case 4: return Span<4, Checked>(Row, RowLen, From, To);
    case 5: return Span<5, Checked>(Row, RowLen, From, To);
    case 6: return Span<6, Checked>(Row, RowLen, From, To);
    case 7: return Span<7, Checked>(Row, RowLen, From, To);
    default: return Span<1, Checked>(Row, RowLen, From, To);
    }
}

// Moves the reader to the byte after the next restart marker.
template <typename T, int Step>
bool TReconstructor<T, Step>::Restart()
{
    const size_t Aligned = static_cast<size_t>((Cursor + 7) >> 3);
    const auto It = std::lower_bound(S.Restarts.begin(), S.Restarts.end(), Aligned);
    if (It == S.Restarts.end())
        return false;
    Cursor = static_cast<uint64_t>(*It + 2) * 8;
    return Cursor <= Limit;
}

template <typename T, int Step>
bool TReconstructor<T, Step>::Run(uint64_t& WrittenOut)
{
    const uint64_t RowLen = static_cast<uint64_t>(S.X) * S.Nf; // samples per line
    const uint64_t Width = RowLen / Step;                       // units per line
    // A restart interval counts MCUs: one pixel of every component.
    const uint64_t Interval = S.RI == 0 ? 0 : static_cast<uint64_t>(S.RI) * (Step == 1 ? S.Nf : 1);
    const int32_t Initial = static_cast<int32_t>(1u << ((S.P - S.Pt - 1) & 31));
    // The widest a sample's code and extra bits get is 31 bits.
    constexpr uint64_t kMaxBytesPerSample = 4;

    Cursor = static_cast<uint64_t>(S.BytePos - 1) * 8;
    Limit = static_cast<uint64_t>(S.Size) * 8;
    Written = 0;
    bool Fresh = true;  // the next unit takes the initial prediction
    uint64_t FirstRow = 0; // the line in which the current interval began
    uint64_t Done = 0;  // units of the current interval decoded

    for (uint64_t Y = 0; Y < S.Y; ++Y) {
        O* Row = Out + Y * RowLen;
        uint64_t U = 0;
        while (U < Width) {
            if (Interval != 0 && Done == Interval) {
                if (!Restart()) {
                    WrittenOut = Y * RowLen + U * Step;
                    return false;
                }
                Done = 0;
                Fresh = true;
                FirstRow = Y;
            }
            uint64_t End = Interval == 0 ? Width : std::min(Width, U + (Interval - Done));
            Done += End - U;
            if (Fresh) {
                // The first unit of the scan or of an interval: every
                // component starts from the initial prediction.
                for (int K = 0; K < Step; ++K) {
                    const int32_t D = NextDiff(Data, Cursor, *Tables[K]);
                    if (Cursor > Limit) {
                        WrittenOut = Y * RowLen + U * Step + K;
                        return false;
                    }
                    Row[U * Step + K] = static_cast<T>(Initial + D);
                }
                ++U;
                Fresh = false;
            }
            while (U < End) {
                uint32_t Ss = S.Ss;
                uint64_t To = End;
                if (Y == FirstRow) {
                    Ss = 1;
                } else if (U == 0) {
                    Ss = 2;
                    To = 1;
                }
                const bool Safe = (Cursor >> 3) + (To - U) * Step * kMaxBytesPerSample + 8 <= S.Size;
                const bool Ok = Safe ? SpanBy<false>(Ss, Row, RowLen, U, To) : SpanBy<true>(Ss, Row, RowLen, U, To);
                if (!Ok) {
                    WrittenOut = Written;
                    return false;
                }
                U = To;
            }
        }
    }
    WrittenOut = RowLen * S.Y;
    return true;
}

template <typename T, int Step>
bool Reconstruct(TLosslessState& S, uint8_t* Output, uint64_t Samples)
{
    using O = typename TOut<T>::Type;
    // Component c codes with table c (all with table 1 when single).
    static_assert(Step == 1 || Step == 3);
    std::vector<TFastTable> Fast(Step);
    const TFastTable* Tables[3];
    for (int K = 0; K < Step; ++K) {
        BuildFastTable(S.Tables[K + 1], Fast[K]);
        Tables[K] = &Fast[K];
    }
    O* Out = reinterpret_cast<O*>(Output);
    TReconstructor<T, Step> R(S, Out, Tables);
    uint64_t Written = 0;
    const bool Ok = R.Run(Written);
    if (!Ok && sizeof(T) == 2 && Written < Samples) {
        // Wide output counts as cleared before decoding.
        std::memset(Output + Written * 2, 0, (Samples - Written) * 2);
    }
    return Ok;
}

} // namespace

bool DecodeLosslessJPEG(const uint8_t* Source, uint8_t* Output, size_t Capacity, size_t Offset, size_t Size)
{
    if (Size < 32 || Source == nullptr)
        return false;
    try {
        TLosslessState S;
        S.Size = Size;
        // Padding lets the bit reader load whole words near the end.
        S.Data.resize(Size + 16, 0);
        std::memcpy(S.Data.data(), Source + Offset, Size);

        if (!S.WalkHeaders())
            return false;
        if (!S.LosslessFrameSeen)
            return true;
        S.CompactEntropyData();

        if (S.TableCount < static_cast<int>(S.Nf)) {
            if (S.TableCount == 0)
                return false;
            for (uint32_t I = 2; I <= S.Nf; ++I)
                S.Tables[I] = S.Tables[1];
        }
        for (uint32_t I = 1; I <= S.Nf; ++I) {
            THuffmanTable& T = S.Tables[I];
            std::memset(T.Lookup, 255, sizeof T.Lookup);
            std::memset(T.LengthOfValue, 123, sizeof T.LengthOfValue);
            for (int K = 1; K <= T.Total; ++K) {
                const THuffmanEntry& E = T.Entries[K];
                if (E.Length > 8)
                    continue;
                T.LengthOfValue[E.Value] = static_cast<uint8_t>(E.Length);
                // A malformed table can run its codes past the length's
                // range; those places do not exist.
                const uint32_t First = static_cast<uint32_t>(E.Code) << (8 - E.Length);
                const uint32_t Places = 1u << (8 - E.Length);
                for (uint32_t J = First; J < First + Places && J < 256; ++J)
                    T.Lookup[J] = static_cast<uint8_t>(E.Value);
            }
        }

        S.BytePos += 1;
        const uint64_t Samples = static_cast<uint64_t>(S.X) * S.Nf * S.Y;
        const uint64_t SampleBytes = S.P == 8 ? 1 : 2;
        if (Samples * SampleBytes > Capacity || (Output == nullptr && Samples != 0))
            return false;
        if (Samples == 0)
            return true;
        if (S.P != 8)
            return Reconstruct<uint16_t, 1>(S, Output, Samples);
        if (S.Nf == 3)
            return Reconstruct<uint8_t, 3>(S, Output, Samples);
        return Reconstruct<uint8_t, 1>(S, Output, Samples);
    } catch (const EStop&) {
        return false;
    }
}

} // namespace extrout
