// Shared harness of the lossless JPEG and RLE benchmarks: frame 1 of each file
// decoded by our decoder from its bytes in memory and by DCMTK in process
// (the data set already in memory, decompressed by chooseRepresentation, as
// dcmdjpeg and dcmdrle do), median of several runs of thread CPU time, in
// megapixels per second.
#pragma once

#include "encaps.h"
#include "encaps_support.h"
#include "extrout.h"

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#ifdef VARNELO_BENCH_DCMTK
#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcrledrg.h>
#include <dcmtk/dcmdata/dcxfer.h>
#include <dcmtk/dcmjpeg/djdecode.h>
#endif

namespace benchencaps {

inline double Median(std::vector<double> V)
{
    std::sort(V.begin(), V.end());
    return V[V.size() / 2];
}

// Seconds for one call, median over Runs calls (after one warm-up).
// CPU time of this thread: the machine may be shared, and waiting for a core
// is no part of a decoder's cost.
inline double Now()
{
    timespec T;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &T);
    return static_cast<double>(T.tv_sec) + static_cast<double>(T.tv_nsec) * 1e-9;
}

inline double Time(int Runs, const std::function<void()>& F)
{
    F();
    std::vector<double> T;
    for (int I = 0; I < Runs; ++I) {
        const double A = Now();
        F();
        T.push_back(Now() - A);
    }
    return Median(T);
}

#ifdef VARNELO_BENCH_DCMTK
// DCMTK's decode of the whole data set (one frame here); Pixels receives the
// result for the cross-check.
inline double TimeDcmtk(const std::string& Path, int Runs, std::vector<uint8_t>& Pixels)
{
    DcmFileFormat File;
    if (File.loadFile(Path.c_str()).bad()) {
        std::fprintf(stderr, "DCMTK cannot read %s\n", Path.c_str());
        std::exit(1);
    }
    File.loadAllDataIntoMemory();
    DcmDataset& Set = *File.getDataset();
    std::vector<double> T;
    for (int I = 0; I <= Runs; ++I) {
        DcmDataset Copy(Set);
        const double A = Now();
        const OFCondition C = Copy.chooseRepresentation(EXS_LittleEndianExplicit, nullptr);
        const double S = Now() - A;
        if (C.bad() || !Copy.canWriteXfer(EXS_LittleEndianExplicit)) {
            std::fprintf(stderr, "DCMTK cannot decode %s: %s\n", Path.c_str(), C.text());
            std::exit(1);
        }
        if (I == 0) {
            const Uint8* P = nullptr;
            unsigned long N = 0;
            DcmElement* E = nullptr;
            if (Copy.findAndGetElement(DCM_PixelData, E).good() && E->getUint8Array(const_cast<Uint8*&>(P)).good())
                N = E->getLength();
            Pixels.assign(P, P + N);
            continue; // warm-up
        }
        T.push_back(S);
    }
    return Median(T);
}
#endif

// Runs the benchmark over the files named on the command line.
inline int Main(int argc, char** argv, const char* What)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE... (RUNS in the environment)\n", argv[0]);
        return 2;
    }
    const int Runs = std::getenv("RUNS") ? std::atoi(std::getenv("RUNS")) : 11;
#ifdef VARNELO_BENCH_DCMTK
    DJDecoderRegistration::registerCodecs();
    DcmRLEDecoderRegistration::registerCodecs();
#endif
    std::printf("%s, frame 1, median of %d runs\n", What, Runs);
    std::printf("%-44s %12s %10s %12s %10s %8s\n", "file", "pixels", "ours Mpx/s", "", "DCMTK Mpx/s", "ratio");
    int Failures = 0;
    for (int A = 1; A < argc; ++A) {
        auto F = encapstest::Open(argv[A]);
        dicom::TData28& D = F->Data;
        const double Mpx = static_cast<double>(D.Rows) * D.Columns * D.SamplesPerPixel / 1e6;
        // The fragment in memory, as the frame fetch hands it on.
        std::vector<uint8_t> Fragment(D.PixelData->Length);
        F->File->Seek(D.PixelData->ValueOffset);
        F->File->Read(Fragment.data(), Fragment.size());
        const uint64_t Bytes = encapstest::FrameBytes(D);
        bool Ok = true;
        double Ours;
        std::vector<uint8_t> Out(Bytes);
        if (F->TS.Compression == dicom::ckLosslessJPEG) {
            Ours = Time(Runs, [&] {
                Ok &= extrout::DecodeLosslessJPEG(Fragment.data(), Out.data(), Out.size(), 0, Fragment.size());
            });
        } else {
            Ours = Time(Runs, [&] { Ok &= dicom::DecodeRLE(Fragment.data(), Fragment.size(), Bytes, D); });
            Out = D.Pixels;
        }
        const std::string Name = std::string(argv[A]).substr(std::string(argv[A]).find_last_of('/') + 1);
        std::printf("%-44s %12.0f %10.1f", Name.c_str(), Mpx * 1e6, Mpx / Ours);
#ifdef VARNELO_BENCH_DCMTK
        std::vector<uint8_t> Theirs;
        const double Dcmtk = TimeDcmtk(argv[A], Runs, Theirs);
        Theirs.resize(std::min<size_t>(Theirs.size(), Bytes));
        const bool Same = Ok && Theirs == Out;
        std::printf(" %12s %10.1f %7.2fx%s%s\n", "", Mpx / Dcmtk, Dcmtk / Ours, Same ? "" : "  OUTPUT DIFFERS",
                    F->TS.Compression != dicom::ckLosslessJPEG || Dcmtk / Ours >= 3 ? "" : "  below the 3x goal");
        Failures += !Same;
#else
        std::printf("   (DCMTK not built in)\n");
        Failures += !Ok;
#endif
    }
    return Failures == 0 ? 0 : 1;
}

} // namespace benchencaps
