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

// Bits of the wide lookup: codes up to this long resolve in one step.
constexpr int kFastBits = 12;

struct TFastEntry {
    uint8_t CodeLen; // code bits consumed; 0 when the code is longer
    uint8_t Extra;   // extra bits that follow (the category, 0 for 0 and 16)
    uint8_t Big;     // 1 for category 16: a difference of 32768
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

// EXTEND by table, with S = 0 giving 0.
constexpr uint32_t kHalf[17] = {0, 1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192, 16384, 32768};
constexpr int32_t kAdjust[17] = {0,     -1,    -3,    -7,     -15,    -31,    -63,     -127,   -255,
                                 -511,  -1023, -2047, -4095,  -8191,  -16383, -32767, -65535};

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
        E = TFastEntry{0, 0, 0, 0};
        if (Consumed > kFastBits)
            continue;
        E.CodeLen = static_cast<uint8_t>(Consumed);
        E.Extra = static_cast<uint8_t>(Category >= 16 ? 0 : Category);
        E.Big = Category >= 16;
    }
}

struct TDiff {
    int32_t Diff;
    uint32_t Bits; // consumed
};

// A code longer than the wide lookup.
__attribute__((noinline)) TDiff SlowDiff(uint64_t Bits, const TFastTable& T)
{
    int Category, Consumed;
    ResolveCode(*T.Huff, Bits, Category, Consumed);
    if (Category == 0)
        return {0, static_cast<uint32_t>(Consumed)};
    if (Category >= 16)
        return {32768, static_cast<uint32_t>(Consumed)};
    const uint32_t V = static_cast<uint32_t>((Bits << Consumed) >> (64 - Category));
    return {Extend(V, Category), static_cast<uint32_t>(Consumed + Category)};
}

// The next difference at bit Cursor of Data (big-endian bit order). Data must
// hold 8 readable bytes from Cursor's byte on. Code and extra bits take at
// most 31 bits, so one load serves both.
inline int32_t NextDiff(const uint8_t* Data, uint64_t& Cursor, const TFastTable& T)
{
    const uint64_t Bits = LoadBE64(Data + (Cursor >> 3)) << (Cursor & 7);
    const TFastEntry E = T.E[Bits >> (64 - kFastBits)];
    if (__builtin_expect(E.CodeLen == 0, 0)) {
        const TDiff R = SlowDiff(Bits, T);
        Cursor += R.Bits;
        return R.Diff;
    }
    const uint32_t S = E.Extra;
    const uint32_t V = static_cast<uint32_t>(((Bits << E.CodeLen) >> (63 - S)) >> 1);
    Cursor += E.CodeLen + S;
    return static_cast<int32_t>(V) + ((static_cast<int32_t>(V - kHalf[S]) >> 31) & kAdjust[S]) +
           (static_cast<int32_t>(E.Big) << 15);
}

// A 64-bit bit buffer over the compacted data: Buf holds the stream's bits
// from the cursor on, Count of them whole; Pos is the first byte not yet
// taken in. The cursor is Pos * 8 - Count.
struct TBits {
    uint64_t Buf;
    uint32_t Count;
    uint64_t Pos;
};

inline void Refill(TBits& B, const uint8_t* In)
{
    B.Buf |= LoadBE64(In + B.Pos) >> B.Count;
    B.Pos += (63 - B.Count) >> 3;
    B.Count |= 56;
}

inline TBits BitsAt(const uint8_t* In, uint64_t Cursor)
{
    TBits B{0, 0, Cursor >> 3};
    Refill(B, In);
    B.Buf <<= Cursor & 7;
    B.Count -= static_cast<uint32_t>(Cursor & 7);
    return B;
}

// The next difference; the buffer must hold 31 bits or more.
inline int32_t NextDiff(TBits& B, const TFastTable& T)
{
    const TFastEntry E = T.E[B.Buf >> (64 - kFastBits)];
    if (__builtin_expect(E.CodeLen == 0, 0)) {
        const TDiff R = SlowDiff(B.Buf, T);
        B.Buf <<= R.Bits;
        B.Count -= R.Bits;
        return R.Diff;
    }
    const uint32_t S = E.Extra;
    const uint32_t V = static_cast<uint32_t>(((B.Buf << E.CodeLen) >> (63 - S)) >> 1);
    const uint32_t N = E.CodeLen + S;
    B.Buf <<= N;
    B.Count -= N;
    return static_cast<int32_t>(V) + ((static_cast<int32_t>(V - kHalf[S]) >> 31) & kAdjust[S]) +
           (static_cast<int32_t>(E.Big) << 15);
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
// chains of their own (3 for colour, else 1).
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
    const O* Above = Q - RowLen;
    // Locals: the output may alias anything, so members would be reloaded
    // after every store.
    const uint8_t* const In = Data;
    TBits B = BitsAt(In, Cursor);
    const uint64_t Bound = Limit;
    const TFastTable* Tab[Step];
    for (int K = 0; K < Step; ++K)
        Tab[K] = Tables[K];
    // The left neighbours stay in registers.
    int32_t Ra[Step];
    for (int K = 0; K < Step; ++K)
        Ra[K] = Q[K - Step];
    while (Q < End) {
        for (int K = 0; K < Step; ++K) {
            const int32_t Rb = Ss == 1 ? 0 : static_cast<int32_t>(Above[K]);
            const int32_t Rc = Ss == 1 || Ss == 2 || Ss == 7 ? 0 : static_cast<int32_t>(Above[K - Step]);
            Refill(B, In);
            const int32_t D = NextDiff(B, *Tab[K]);
            if (Checked && B.Pos * 8 - B.Count > Bound) {
                Cursor = B.Pos * 8 - B.Count;
                Written = static_cast<uint64_t>(Q + K - Out);
                return false;
            }
            const T V = static_cast<T>(Predict<Ss>(Ra[K], Rb, Rc) + D);
            Q[K] = V;
            Ra[K] = V;
        }
        Q += Step;
        Above += Step;
    }
    Cursor = B.Pos * 8 - B.Count;
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
    // Unsigned: a nonsense precision can make this 2^31, and the sample
    // only keeps the low bits of the sum anyway.
    const uint32_t Initial = 1u << ((S.P - S.Pt - 1) & 31);
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
                    Row[U * Step + K] = static_cast<T>(Initial + static_cast<uint32_t>(D));
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

uint64_t LosslessJPEGOutputSize(const uint8_t* Source, size_t Offset, size_t Size)
{
    if (Size < 32 || Source == nullptr)
        return 0;
    try {
        TLosslessState S;
        S.Size = Size;
        S.Data.resize(Size + 32, 0);
        std::memcpy(S.Data.data(), Source + Offset, Size);
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
        TLosslessState S;
        S.Size = Size;
        // Padding lets the bit reader load whole words near the end.
        S.Data.resize(Size + 32, 0);
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
        // Three components keep three prediction chains at any precision,
        // as T.81 has them: one chain through interleaved colour samples
        // would predict red from blue.
        if (S.P != 8)
            return S.Nf == 3 ? Reconstruct<uint16_t, 3>(S, Output, Samples) : Reconstruct<uint16_t, 1>(S, Output, Samples);
        if (S.Nf == 3)
            return Reconstruct<uint8_t, 3>(S, Output, Samples);
        return Reconstruct<uint8_t, 1>(S, Output, Samples);
    } catch (const EStop&) {
        return false;
    }
}

} // namespace extrout
