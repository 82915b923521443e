// Writes lossless JPEG files whose streams carry restart markers (the DCMTK
// encoder makes none), for DCMTK to decompress as the reference. DCMTK takes
// only intervals of whole lines. Usage:
// encaps_make_restart OUTDIR
#include "dicomgen.h"
#include "lossless_encoder.h"

#include <cstdio>
#include <random>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string Out = argv[1];
    std::mt19937 Rng(77);
    struct Case {
        const char* Name;
        int P, Nf, Bits, X, Y, Ss, RI;
    };
    const Case Cases[] = {
        {"rst_mono8_row", 8, 1, 8, 64, 40, 1, 64},      {"rst_mono8_rows", 8, 1, 8, 64, 40, 4, 192},
        {"rst_mono12_row", 12, 1, 16, 50, 33, 6, 50},   {"rst_mono16_rows", 16, 1, 16, 48, 30, 7, 96},
        {"rst_rgb8_row", 8, 3, 8, 40, 24, 1, 40},       {"rst_rgb8_rows", 8, 3, 8, 40, 24, 5, 80},
    };
    for (const auto& C : Cases) {
        std::vector<int> Img(static_cast<size_t>(C.X) * C.Y * C.Nf);
        const int Top = (1 << C.P) - 1;
        for (int Y = 0; Y < C.Y; ++Y)
            for (int X = 0; X < C.X; ++X)
                for (int K = 0; K < C.Nf; ++K) {
                    const int V = (X * 5 + Y * 3 + K * 40) * (Top / 200 + 1) + static_cast<int>(Rng() % (Top / 20 + 2));
                    Img[(static_cast<size_t>(Y) * C.X + X) * C.Nf + K] = std::min(V, Top);
                }
        lenc::StreamParams S;
        S.P = C.P;
        S.Nf = C.Nf;
        S.X = C.X;
        S.Y = C.Y;
        S.Ss = C.Ss;
        S.RI = C.RI;
        for (int T = 0; T < (C.Nf == 3 ? 3 : 1); ++T)
            S.Tables.push_back(lenc::RandomTable(Rng, 2, 12));
        testgen::Bytes Stream = lenc::Encode(Img, S);
        if (Stream.size() % 2)
            Stream.push_back(0);
        testgen::DataSet D(false, false);
        D.Add(0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.7", '\0');
        D.Add(0x0008, 0x0018, "UI", std::string("1.2.826.0.1.3680043.8.498.77.") + std::to_string(&C - Cases), '\0');
        D.US(0x0028, 0x0002, static_cast<uint16_t>(C.Nf));
        D.Add(0x0028, 0x0004, "CS", C.Nf == 3 ? "RGB" : "MONOCHROME2");
        if (C.Nf == 3)
            D.US(0x0028, 0x0006, 0);
        D.US(0x0028, 0x0010, static_cast<uint16_t>(C.Y)).US(0x0028, 0x0011, static_cast<uint16_t>(C.X));
        D.US(0x0028, 0x0100, static_cast<uint16_t>(C.Bits)).US(0x0028, 0x0101, static_cast<uint16_t>(C.P));
        D.US(0x0028, 0x0102, static_cast<uint16_t>(C.P - 1)).US(0x0028, 0x0103, 0);
        D.Encapsulated({Stream});
        testgen::WriteFile(Out + "/" + C.Name + ".dcm", testgen::Part10(C.Ss == 1 ? "1.2.840.10008.1.2.4.70" : "1.2.840.10008.1.2.4.57", D));
    }
    return 0;
}
