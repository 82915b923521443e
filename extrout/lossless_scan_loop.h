// The hot loop of the lossless JPEG decoder: bit reader, difference decoding
// through the wide lookup, prediction and reconstruction, restart intervals.
// Compiled twice, for any x86-64 and for processors with BMI2 (see
// lossless_scan_bmi2.cpp); everything here has internal linkage so the two
// builds never mix.
#pragma once

#include "lossless_huffman.h"
#include "lossless_state.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace extrout::lossless {

namespace {

inline uint64_t LoadBE64(const uint8_t* P)
{
    uint64_t V;
    std::memcpy(&V, P, 8);
    return __builtin_bswap64(V);
}

// The next difference at bit Cursor of Data (big-endian bit order). Data must
// hold 8 readable bytes from Cursor's byte on. Code and extra bits take at
// most 31 bits, so one load serves both.
inline int32_t NextDiff(const uint8_t* Data, uint64_t& Cursor, const TFastTable& T)
{
    const uint64_t Bits = LoadBE64(Data + (Cursor >> 3)) << (Cursor & 7);
    const uint32_t I = static_cast<uint32_t>(Bits >> (64 - kFastBits));
    const uint32_t N = T.Total[I];
    if (__builtin_expect(N == 0, 0)) {
        const TDiff R = SlowDiff(Bits, T);
        Cursor += R.Bits;
        return R.Diff;
    }
    Cursor += N;
    return static_cast<int32_t>(Bits >> (64 - N)) + T.Offset[I];
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

// The next difference; the buffer must hold 12 bits or more, and 26 or more
// when the call does not refill (fast codes are at most 11 bits with 15
// extra bits, or 12 bits with none). The long way leaves 56 bits or more. The lookup reads the buffer before the refill, so the load of
// new bytes runs beside the lookup instead of ahead of it: the two are the
// chain every sample waits on, and the refill adds enough bits for the rest.
template <bool WithRefill = true>
inline int32_t NextDiff(TBits& B, const uint8_t* In, const TFastTable& T)
{
    const uint32_t I = static_cast<uint32_t>(B.Buf >> (64 - kFastBits));
    const uint32_t N = T.Total[I];
    if (WithRefill)
        Refill(B, In);
    if (__builtin_expect(N == 0, 0)) {
        if (!WithRefill)
            Refill(B, In); // the long way wants 31 bits
        const TDiff R = SlowDiff(B.Buf, T);
        B.Buf <<= R.Bits;
        B.Count -= R.Bits;
        Refill(B, In);
        return R.Diff;
    }
    const int32_t D = static_cast<int32_t>(B.Buf >> (64 - N)) + T.Offset[I];
    B.Buf <<= N;
    B.Count -= N;
    return D;
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
        : S(S), Data(S.Data.get()), Out(Out), Tables(Tables)
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
    if constexpr (!Checked && Step == 1) {
        // Pairs with one refill: the refill is a third of a sample's work,
        // and its 56 bits serve two fast samples of up to 26 bits each.
        while (End - Q >= 2) {
            if (__builtin_expect(B.Count < kFastBits, 0))
                Refill(B, In);
            const int32_t Rb0 = Ss == 1 ? 0 : static_cast<int32_t>(Above[0]);
            const int32_t Rc0 = Ss == 1 || Ss == 2 || Ss == 7 ? 0 : static_cast<int32_t>(Above[-1]);
            const T V0 = static_cast<T>(Predict<Ss>(Ra[0], Rb0, Rc0) + NextDiff<true>(B, In, *Tab[0]));
            Q[0] = V0;
            const int32_t Rb1 = Ss == 1 ? 0 : static_cast<int32_t>(Above[1]);
            const int32_t Rc1 = Ss == 1 || Ss == 2 || Ss == 7 ? 0 : static_cast<int32_t>(Above[0]);
            const T V1 = static_cast<T>(Predict<Ss>(V0, Rb1, Rc1) + NextDiff<false>(B, In, *Tab[0]));
            Q[1] = V1;
            Ra[0] = V1;
            Q += 2;
            Above += 2;
        }
        if (B.Count < kFastBits)
            Refill(B, In);
    }
    while (Q < End) {
        for (int K = 0; K < Step; ++K) {
            const int32_t Rb = Ss == 1 ? 0 : static_cast<int32_t>(Above[K]);
            const int32_t Rc = Ss == 1 || Ss == 2 || Ss == 7 ? 0 : static_cast<int32_t>(Above[K - Step]);
            const int32_t D = NextDiff(B, In, *Tab[K]);
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

inline bool DecodeScanHere(TLosslessState& S, uint8_t* Output, uint64_t Samples)
{
    // Three components keep three prediction chains at any precision, as
    // T.81 has them: one chain through interleaved colour samples would
    // predict red from blue.
    if (S.P != 8)
        return S.Nf == 3 ? Reconstruct<uint16_t, 3>(S, Output, Samples) : Reconstruct<uint16_t, 1>(S, Output, Samples);
    if (S.Nf == 3)
        return Reconstruct<uint8_t, 3>(S, Output, Samples);
    return Reconstruct<uint8_t, 1>(S, Output, Samples);
}

} // namespace

} // namespace extrout::lossless
