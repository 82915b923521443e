// A plain, slow lossless JPEG decoder written step by step from the decoder's
// rules (byte and bit positions, an 8-bit lookup, codes extended bit by bit,
// one sample at a time) for comparing the fast decoder against it on many
// generated and damaged streams. It shares no code with the fast one.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace lref {

struct Stop {};

struct Table {
    int Counts[17] = {};
    int Start[17] = {};
    int Len[32], Code[32], Val[32];
    int Total = 0, MaxLength = 0, LastValue = 0;
    uint8_t Lookup[256];
    uint8_t LenOf[18];
    Table()
    {
        for (int I = 0; I < 32; ++I)
            Len[I] = Code[I] = Val[I] = -1;
    }
};

class Decoder {
public:
    bool Decode(const uint8_t* Src, uint8_t* Out, size_t Capacity, size_t Offset, size_t Size)
    {
        if (Size < 32)
            return false;
        try {
            return Run(Src + Offset, Out, Capacity, Size);
        } catch (Stop&) {
            return false;
        }
    }

private:
    std::vector<uint8_t> D;
    size_t N = 0, Pos = 0;
    int Bit = 0;
    int P = 0, Y = 0, X = 0, Nf = 0, Ss = 0, Pt = 0, RI = 0;
    bool Seen = false;
    int Count = 0;
    Table T[6];
    std::vector<size_t> Rst;

    int Byte()
    {
        if (Pos >= N)
            throw Stop();
        return D[Pos++];
    }
    int Word()
    {
        int H = Byte();
        return H * 256 + Byte();
    }
    // Bit k counted from the first entropy bit; bits past the end read 0.
    int BitAt(uint64_t K) const { return K / 8 < N ? (D[K / 8] >> (7 - K % 8)) & 1 : 0; }
    uint64_t Cursor() const { return (uint64_t)(Pos - 1) * 8 + Bit; }
    void Advance(int Bits)
    {
        uint64_t C = Cursor() + Bits;
        Pos = C / 8 + 1;
        Bit = C % 8;
    }
    int ReadBit()
    {
        int B = BitAt(Cursor());
        Advance(1);
        return B;
    }
    int ReadBits(int K)
    {
        int V = 0;
        for (int I = 0; I < K; ++I)
            V = V * 2 + ReadBit();
        return V;
    }
    int Peek8() const
    {
        int V = 0;
        for (int I = 0; I < 8; ++I)
            V = V * 2 + BitAt(Cursor() + I);
        return V;
    }

    void ReadTable(Table& H)
    {
        Byte();
        int Sum = 0;
        H.MaxLength = 0;
        for (int L = 1; L <= 16; ++L) {
            H.Counts[L] = Byte();
            Sum += H.Counts[L];
            if (H.Counts[L])
                H.MaxLength = L;
        }
        if (Sum > 17)
            throw Stop();
        for (int I = 0; I < 32; ++I)
            H.Len[I] = H.Code[I] = H.Val[I] = -1;
        int K = 0;
        for (int L = 1; L <= 16; ++L)
            if (H.Counts[L] > 0) {
                H.Start[L] = K + 1;
                for (int I = 0; I < H.Counts[L]; ++I) {
                    int V = Byte();
                    if (V > 16)
                        throw Stop();
                    ++K;
                    H.Len[K] = L;
                    H.Val[K] = V;
                    H.LastValue = V;
                }
            }
        H.Total = K;
        // Figure C.2, with a zero size after the last entry.
        int Code = 0, Idx = 1;
        if (K == 0)
            return;
        int Si = H.Len[1];
        for (;;) {
            do {
                H.Code[Idx] = Code++;
                ++Idx;
            } while (Idx <= K && H.Len[Idx] == Si);
            if (Idx > K)
                break;
            do {
                Code <<= 1;
                ++Si;
            } while (H.Len[Idx] != Si);
        }
    }

    int Difference(const Table& H)
    {
        int S;
        int V = H.Lookup[Peek8()];
        if (V < 255) {
            Advance(H.LenOf[V]);
            S = V;
        } else {
            int Code = ReadBits(8);
            S = -1;
            for (int L = 9; S < 0; ++L) {
                Code = Code * 2 + ReadBit();
                for (int E = H.Start[L]; E < H.Start[L] + H.Counts[L]; ++E)
                    if (H.Code[E] == Code) {
                        S = H.Val[E];
                        break;
                    }
                if (S < 0 && L >= H.MaxLength)
                    S = H.LastValue;
            }
        }
        int Diff;
        if (S == 0)
            Diff = 0;
        else if (S == 1)
            Diff = ReadBit() ? 1 : -1;
        else if (S <= 15) {
            int Vb = ReadBits(S);
            Diff = Vb >= (1 << (S - 1)) ? Vb : Vb - ((1 << S) - 1);
        } else
            Diff = 32768;
        if (Cursor() > (uint64_t)N * 8)
            throw Stop();
        return Diff;
    }

    static int Pred(int Sel, int Ra, int Rb, int Rc)
    {
        switch (Sel) {
        case 2: return Rb;
        case 3: return Rc;
        case 4: return Ra + Rb - Rc;
        case 5: return Ra + ((Rb - Rc) >> 1);
        case 6: return Rb + ((Ra - Rc) >> 1);
        case 7: return (Ra + Rb) >> 1;
        default: return Ra;
        }
    }

    void RestartAt()
    {
        size_t Aligned = (Cursor() + 7) / 8;
        for (size_t M : Rst)
            if (M >= Aligned) {
                Pos = M + 2 + 1;
                Bit = 0;
                if (Cursor() > (uint64_t)N * 8)
                    throw Stop();
                return;
            }
        throw Stop();
    }

    bool Run(const uint8_t* Src, uint8_t* Out, size_t Capacity, size_t Size)
    {
        N = Size;
        D.assign(Src, Src + Size);
        Pos = 2;
        for (;;) {
            if (Pos >= N)
                break;
            if (Byte() != 0xFF)
                return false;
            int M = Byte();
            if (M == 0 || M == 1 || M == 0xFF || (M >= 0xD0 && M <= 0xD7))
                continue;
            int Len = Word();
            if (Len < 2)
                return false;
            size_t End = Pos + Len - 2;
            if (End > N)
                return false;
            if (M == 0xC3)
                Seen = true;
            if ((M >= 0xC0 && M <= 0xC3) || (M >= 0xC5 && M <= 0xC7) || (M >= 0xC9 && M <= 0xCB) ||
                (M >= 0xCD && M <= 0xCF)) {
                P = Byte();
                Y = Word();
                X = Word();
                Nf = Byte();
                if (!Seen || (Nf != 1 && Nf != 3))
                    return false;
            } else if (M == 0xC4) {
                int K = 0;
                do {
                    ReadTable(K < 4 ? T[K + 1] : T[5]);
                    ++K;
                } while ((long)End - (long)Pos >= 18);
                Count = K < 4 ? K : 4;
            } else if (M == 0xDD) {
                RI = Word();
            } else if (M == 0xDA) {
                int Ns = Byte();
                Pos += 2 * Ns;
                Ss = Byte();
                Byte();
                Pt = Byte() & 15;
            }
            Pos = End;
            if (M == 0xDA)
                break;
        }
        if (!Seen)
            return true;
        // Compaction.
        size_t From = Pos, To = Pos;
        while (From < N) {
            uint8_t B = D[From++];
            D[To++] = B;
            if (B == 0xFF && From < N) {
                if (D[From] == 0)
                    ++From;
                else if (D[From] == 0xD9)
                    break;
                else if (D[From] >= 0xD0 && D[From] <= 0xD7)
                    Rst.push_back(To - 1);
            }
        }
        if (Count < Nf) {
            if (Count == 0)
                return false;
            for (int I = 2; I <= Nf; ++I)
                T[I] = T[1];
        }
        for (int I = 1; I <= Nf; ++I) {
            std::memset(T[I].Lookup, 255, 256);
            std::memset(T[I].LenOf, 123, 18);
            for (int K = 1; K <= T[I].Total; ++K) {
                int L = T[I].Len[K];
                if (L > 8)
                    continue;
                T[I].LenOf[T[I].Val[K]] = (uint8_t)L;
                for (int J = 0; J < (1 << (8 - L)); ++J) {
                    int At = (T[I].Code[K] << (8 - L)) + J;
                    if (At < 256)
                        T[I].Lookup[At] = (uint8_t)T[I].Val[K];
                }
            }
        }
        Pos += 1;
        Bit = 0;
        const uint64_t Xs = (uint64_t)X * Nf, Total = Xs * Y;
        const bool Wide = P != 8;
        if (Total * (Wide ? 2 : 1) > Capacity)
            return false;
        const int Init = (int)(1u << ((unsigned)(P - Pt - 1) & 31));
        if (Wide)
            std::memset(Out, 0, Total * 2);
        auto Get = [&](uint64_t I) -> int {
            if (Wide) {
                uint16_t V;
                std::memcpy(&V, Out + 2 * I, 2);
                return V;
            }
            return Out[I];
        };
        auto Put = [&](uint64_t I, int V) {
            if (Wide) {
                uint16_t W = (uint16_t)V;
                std::memcpy(Out + 2 * I, &W, 2);
            } else
                Out[I] = (uint8_t)V;
        };
        // Each of three components has its own chain and table.
        const int Comps = Nf == 3 ? 3 : 1;
        const uint64_t Units = Xs / Comps; // pixels (or samples) per line
        const uint64_t Interval = RI == 0 ? 0 : (uint64_t)RI * (Comps == 1 ? Nf : 1);
        uint64_t Done = 0, FirstRow = 0;
        bool Fresh = true;
        for (uint64_t Yy = 0; Yy < (uint64_t)Y; ++Yy)
            for (uint64_t U = 0; U < Units; ++U) {
                if (Interval && Done == Interval) {
                    RestartAt();
                    Done = 0;
                    Fresh = true;
                    FirstRow = Yy;
                }
                for (int C = 0; C < Comps; ++C) {
                    const uint64_t I = Yy * Xs + U * Comps + C;
                    int Pr;
                    if (Fresh)
                        Pr = Init;
                    else if (Yy == FirstRow)
                        Pr = Get(I - Comps);
                    else if (U == 0)
                        Pr = Get(I - Xs);
                    else
                        Pr = Pred(Ss >= 2 && Ss <= 7 ? Ss : 1, Get(I - Comps), Get(I - Xs), Get(I - Xs - Comps));
                    int Df = Difference(T[1 + C]);
                    Put(I, (int)((unsigned)Pr + (unsigned)Df)); // Init may be 2^31
                }
                Fresh = false;
                ++Done;
            }
        return true;
    }
};

inline bool DecodeLosslessJPEG(const uint8_t* Src, uint8_t* Out, size_t Capacity, size_t Offset, size_t Size)
{
    Decoder D;
    return D.Decode(Src, Out, Capacity, Offset, Size);
}

} // namespace lref
