// A small lossless JPEG (SOF3) encoder for tests: any precision, one or three
// components, the seven predictors, restart intervals, and Huffman tables
// given as BITS/HUFFVAL or made at random. The three components of colour
// frames use tables 1..3 and keep their own prediction chains.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <random>
#include <vector>

namespace lenc {

struct HuffSpec {
    int Counts[17] = {}; // [1..16]
    std::vector<int> Values;
};

// A table holding all 17 categories with lengths drawn at random (2..16),
// lengthened until the code space is not full.
inline HuffSpec RandomTable(std::mt19937& Rng, int MinLen = 2, int MaxLen = 16)
{
    std::vector<int> Len(17);
    for (int& L : Len)
        L = std::uniform_int_distribution<int>(MinLen, MaxLen)(Rng);
    auto Kraft = [&] {
        double K = 0;
        for (int L : Len)
            K += 1.0 / (1 << L);
        return K;
    };
    while (Kraft() >= 1.0) {
        int I = std::uniform_int_distribution<int>(0, 16)(Rng);
        if (Len[I] < 16)
            ++Len[I];
    }
    std::vector<int> Order(17);
    for (int I = 0; I < 17; ++I)
        Order[I] = I;
    std::shuffle(Order.begin(), Order.end(), Rng);
    HuffSpec H;
    for (int L = 1; L <= 16; ++L)
        for (int V : Order)
            if (Len[V] == L) {
                H.Counts[L]++;
                H.Values.push_back(V);
            }
    return H;
}

// Categories 0..16 with lengths 2,3,3,3,4,5,6,7,8,9,10,11,12,13,14,15,16.
inline HuffSpec FixedTable()
{
    const int Lens[17] = {2, 3, 3, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    HuffSpec H;
    for (int L = 1; L <= 16; ++L)
        for (int V = 0; V <= 16; ++V)
            if (Lens[V] == L) {
                H.Counts[L]++;
                H.Values.push_back(V);
            }
    return H;
}

struct StreamParams {
    int P = 8, Nf = 1, X = 0, Y = 0, Ss = 1, Pt = 0, RI = 0;
    std::vector<HuffSpec> Tables; // written in one DHT segment
    bool EOI = true;
    bool DRI = false; // write a DRI segment even when RI is 0
};

class BitWriter {
public:
    std::vector<uint8_t> Out;
    void Put(uint32_t Bits, int N)
    {
        for (int I = N - 1; I >= 0; --I) {
            Acc = (Acc << 1) | ((Bits >> I) & 1);
            if (++Fill == 8)
                Flush();
        }
    }
    void Align()
    {
        while (Fill != 0)
            Put(1, 1);
    }

private:
    void Flush()
    {
        Out.push_back(static_cast<uint8_t>(Acc));
        if (Acc == 0xFF)
            Out.push_back(0);
        Acc = 0;
        Fill = 0;
    }
    uint32_t Acc = 0;
    int Fill = 0;
};

struct Code {
    uint32_t Bits = 0;
    int Len = 0;
};

inline std::vector<Code> Codes(const HuffSpec& H)
{
    std::vector<Code> C(17);
    uint32_t Next = 0;
    size_t K = 0;
    for (int L = 1; L <= 16; ++L) {
        for (int I = 0; I < H.Counts[L]; ++I) {
            C[H.Values[K++]] = Code{Next, L};
            ++Next;
        }
        Next <<= 1;
    }
    return C;
}

inline void Put16(std::vector<uint8_t>& O, int V)
{
    O.push_back(static_cast<uint8_t>(V >> 8));
    O.push_back(static_cast<uint8_t>(V));
}

// Samples: raster order, components interleaved; values taken modulo 2^16.
inline std::vector<uint8_t> Encode(const std::vector<int>& Samples, const StreamParams& S)
{
    std::vector<uint8_t> O = {0xFF, 0xD8};
    // Frame header.
    O.insert(O.end(), {0xFF, 0xC3});
    Put16(O, 8 + 3 * S.Nf);
    O.push_back(static_cast<uint8_t>(S.P));
    Put16(O, S.Y);
    Put16(O, S.X);
    O.push_back(static_cast<uint8_t>(S.Nf));
    for (int C = 0; C < S.Nf; ++C)
        O.insert(O.end(), {static_cast<uint8_t>(C + 1), 0x11, 0});
    // Huffman tables, one segment.
    if (!S.Tables.empty()) {
        std::vector<uint8_t> Seg;
        for (size_t T = 0; T < S.Tables.size(); ++T) {
            Seg.push_back(static_cast<uint8_t>(T));
            for (int L = 1; L <= 16; ++L)
                Seg.push_back(static_cast<uint8_t>(S.Tables[T].Counts[L]));
            for (int V : S.Tables[T].Values)
                Seg.push_back(static_cast<uint8_t>(V));
        }
        O.insert(O.end(), {0xFF, 0xC4});
        Put16(O, static_cast<int>(Seg.size()) + 2);
        O.insert(O.end(), Seg.begin(), Seg.end());
    }
    if (S.RI != 0 || S.DRI) {
        O.insert(O.end(), {0xFF, 0xDD, 0, 4});
        Put16(O, S.RI);
    }
    // Scan header.
    O.insert(O.end(), {0xFF, 0xDA});
    Put16(O, 6 + 2 * S.Nf);
    O.push_back(static_cast<uint8_t>(S.Nf));
    const bool Chains = S.Nf == 3;
    for (int C = 0; C < S.Nf; ++C)
        O.insert(O.end(), {static_cast<uint8_t>(C + 1), static_cast<uint8_t>(Chains ? C << 4 : 0)});
    O.insert(O.end(), {static_cast<uint8_t>(S.Ss), 0, static_cast<uint8_t>(S.Pt)});

    std::vector<std::vector<Code>> Tab;
    for (const auto& T : S.Tables)
        Tab.push_back(Codes(T));
    const int Comps = Chains ? 3 : 1;
    const int64_t Xs = static_cast<int64_t>(S.X) * S.Nf, Units = Xs / Comps;
    const int64_t Interval = S.RI == 0 ? 0 : static_cast<int64_t>(S.RI) * (Comps == 1 ? S.Nf : 1);
    const int Init = static_cast<int>(1u << ((S.P - S.Pt - 1) & 31));
    const uint32_t Mask = S.P == 8 ? 0xFF : 0xFFFF;
    auto At = [&](int64_t I) { return static_cast<int>(static_cast<uint32_t>(Samples[I]) & Mask); };
    BitWriter W;
    int64_t Done = 0, FirstRow = 0, Marker = 0;
    bool Fresh = true;
    for (int64_t Y = 0; Y < S.Y; ++Y)
        for (int64_t U = 0; U < Units; ++U) {
            if (Interval && Done == Interval) {
                W.Align();
                W.Out.push_back(0xFF);
                W.Out.push_back(static_cast<uint8_t>(0xD0 + (Marker++ & 7)));
                Done = 0;
                Fresh = true;
                FirstRow = Y;
            }
            for (int C = 0; C < Comps; ++C) {
                const int64_t I = Y * Xs + U * Comps + C;
                int Pr;
                if (Fresh)
                    Pr = Init;
                else if (Y == FirstRow)
                    Pr = At(I - Comps);
                else if (U == 0)
                    Pr = At(I - Xs);
                else {
                    const int Ra = At(I - Comps), Rb = At(I - Xs), Rc = At(I - Xs - Comps);
                    switch (S.Ss) {
                    case 2: Pr = Rb; break;
                    case 3: Pr = Rc; break;
                    case 4: Pr = Ra + Rb - Rc; break;
                    case 5: Pr = Ra + ((Rb - Rc) >> 1); break;
                    case 6: Pr = Rb + ((Ra - Rc) >> 1); break;
                    case 7: Pr = (Ra + Rb) >> 1; break;
                    default: Pr = Ra; break;
                    }
                }
                // The difference modulo the sample range, centred.
                const int Mod = S.P == 8 ? 256 : 65536;
                int D = ((At(I) - Pr) % Mod + Mod) % Mod;
                if (D > Mod / 2)
                    D -= Mod;
                int Cat = 0;
                while (Cat < 16 && (std::abs(D) >> Cat) != 0)
                    ++Cat;
                const Code& K = Tab[Comps == 3 ? C : 0][Cat];
                W.Put(K.Bits, K.Len);
                if (Cat > 0 && Cat < 16)
                    W.Put(static_cast<uint32_t>(D >= 0 ? D : D + (1 << Cat) - 1), Cat);
            }
            Fresh = false;
            ++Done;
        }
    W.Align();
    O.insert(O.end(), W.Out.begin(), W.Out.end());
    if (S.EOI)
        O.insert(O.end(), {0xFF, 0xD9});
    return O;
}

} // namespace lenc
