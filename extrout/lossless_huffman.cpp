// Building the lossless decoder's Huffman lookups, and the bit-by-bit
// resolution of codes too long for them.
#include "lossless_huffman.h"

#include <cstring>

namespace extrout::lossless {

namespace {

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

} // namespace

bool CompleteTables(TLosslessState& S)
{
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
    return true;
}

void BuildFastTable(const THuffmanTable& H, TFastTable& F)
{
    F.Huff = &H;
    for (uint32_t P = 0; P < (1u << kFastBits); ++P) {
        const uint64_t Bits = static_cast<uint64_t>(P) << (64 - kFastBits);
        int Category, Consumed;
        ResolveCode(H, Bits, Category, Consumed);
        F.Total[P] = 0;
        F.Offset[P] = 0;
        const int Extra = Category >= 16 ? 0 : Category;
        // The sign of the difference is the first extra bit: it must be
        // among the peeked ones.
        if (Consumed > kFastBits || (Extra > 0 && Consumed == kFastBits))
            continue;
        const int32_t Code = static_cast<int32_t>(P >> (kFastBits - Consumed));
        int32_t Offset = -(Code << Extra);
        if (Category >= 16) {
            Offset += 32768;
        } else if (Extra > 0 && ((P >> (kFastBits - Consumed - 1)) & 1) == 0) {
            Offset += 1 - (1 << Extra); // a negative difference
        }
        F.Total[P] = static_cast<uint8_t>(Consumed + Extra);
        F.Offset[P] = Offset;
    }
}

// A code longer than the wide lookup.
TDiff SlowDiff(uint64_t Bits, const TFastTable& T)
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

} // namespace extrout::lossless
