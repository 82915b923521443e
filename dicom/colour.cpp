#include "colour.h"

#include "render.h"

#include <cstring>
#include <memory>

namespace dicom {

void FillRGB(TBitmap& Out, const uint8_t* Display, int Rows, int Columns, int Samples)
{
    for (int R = 0; R < Rows; ++R) {
        uint8_t* Dst = Out.Row(R);
        const uint8_t* Src = Display + static_cast<uint64_t>(R) * Columns * Samples;
        if (Samples == 3) {
            std::memcpy(Dst, Src, static_cast<size_t>(Columns) * 3);
            continue;
        }
        for (int X = 0; X < Columns; ++X)
            for (int K = 0; K < 3; ++K)
                Dst[X * 3 + K] = Src[static_cast<size_t>(X) * Samples + std::min(K, Samples - 1)];
    }
}

void YBRPixelToRGB(uint8_t Y, int8_t Cr, int8_t Cb, uint8_t& R, uint8_t& G, uint8_t& B)
{
    if (Y == 0) {
        R = G = B = 0;
        return;
    }
    const long double CrF = Cr, CbF = Cb;
    const auto T = [](long double V) { return static_cast<int32_t>(V); };
    R = static_cast<uint8_t>(Y + T(1.401988L * CrF - 0.0000037L * CbF));
    G = static_cast<uint8_t>(Y - T(0.34411L * CbF + 0.7141L * CrF));
    B = static_cast<uint8_t>(Y + T(1.771978L * CbF - 0.00013L * CrF));
}

bool ConvertYBRToRGB(const uint8_t* Source, uint8_t* Dest, uint64_t DestCount, bool Is422, uint64_t Count)
{
    // Every (Y, Cb, Cr) has 256^3 outcomes; a table of the chroma terms keeps
    // the long double arithmetic out of the per-pixel loop.
    const uint64_t Groups = Is422 ? Count / 4 : Count / 3;
    const uint64_t Need = Groups * (Is422 ? 6 : 3);
    if (Need > DestCount)
        return false;
    struct TTerms {
        int16_t R[256][256], G[256][256], B[256][256];
    };
    static const std::unique_ptr<const TTerms> Terms = [] {
        auto T = std::make_unique<TTerms>();
        for (int Cb = 0; Cb < 256; ++Cb)
            for (int Cr = 0; Cr < 256; ++Cr) {
                uint8_t R, G, B;
                YBRPixelToRGB(128, static_cast<int8_t>(Cr - 128), static_cast<int8_t>(Cb - 128), R, G, B);
                T->R[Cb][Cr] = static_cast<int16_t>(static_cast<int8_t>(R - 128));
                T->G[Cb][Cr] = static_cast<int16_t>(static_cast<int8_t>(G - 128));
                T->B[Cb][Cr] = static_cast<int16_t>(static_cast<int8_t>(B - 128));
            }
        return std::unique_ptr<const TTerms>(std::move(T));
    }();
    const auto Put = [&](uint8_t Y, uint8_t Cb, uint8_t Cr, uint8_t* D) {
        if (Y == 0) {
            D[0] = D[1] = D[2] = 0;
            return;
        }
        D[0] = static_cast<uint8_t>(Y + Terms->R[Cb][Cr]);
        D[1] = static_cast<uint8_t>(Y + Terms->G[Cb][Cr]);
        D[2] = static_cast<uint8_t>(Y + Terms->B[Cb][Cr]);
    };
    for (uint64_t I = 0; I < Groups; ++I) {
        if (Is422) {
            const uint8_t* S = Source + I * 4;
            Put(S[0], S[2], S[3], Dest + I * 6);
            Put(S[1], S[2], S[3], Dest + I * 6 + 3);
        } else {
            const uint8_t* S = Source + I * 3;
            Put(S[0], S[1], S[2], Dest + I * 3);
        }
    }
    return true;
}

} // namespace dicom
