// The header walk: a 512 x 512 CT and a file of about 500 MB of encapsulated
// pixel data in many fragments, in process and as whole processes, against
// DCMTK's dcmdump on the same files in the same run.
//
// usage: bench_walk VARNELO_DICOM [RUNS]
#include "dicomgen.h"
#include "timing.h"

#include "loader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

using testgen::Bytes;
using testgen::DataSet;

namespace {

using bench::MedianMs;
using bench::Run;

DataSet HeaderElements()
{
    DataSet S(false, false);
    S.Add(0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.2", '\0');
    S.Add(0x0008, 0x0018, "UI", "1.2.826.0.1.3680043.8.498.77", '\0');
    S.Add(0x0008, 0x0020, "DA", "20260101");
    S.Add(0x0008, 0x0023, "DA", "20260101");
    S.Add(0x0008, 0x0060, "CS", "CT");
    S.Add(0x0008, 0x0070, "LO", "Bench");
    S.Add(0x0008, 0x0080, "LO", "Bench Hospital");
    S.Add(0x0008, 0x0090, "PN", "Ref^Doc");
    for (int I = 0; I < 60; ++I) // the bulk of a real CT header: many short elements
        S.Add(0x0009, static_cast<uint16_t>(0x1000 + I), "LO", "private value " + std::to_string(I));
    S.Header(0x0008, 0x1140, "SQ", 0xFFFFFFFFu);
    for (int I = 0; I < 3; ++I)
        S.Item(0xFFFFFFFFu).Add(0x0008, 0x1150, "UI", "1.2.3.4", '\0').ItemEnd();
    S.SequenceEnd();
    S.Add(0x0010, 0x0010, "PN", "Bench^Patient");
    S.Add(0x0010, 0x0020, "LO", "B1");
    S.Add(0x0018, 0x0015, "CS", "CHEST");
    S.Add(0x0020, 0x0013, "IS", "1");
    S.US(0x0028, 0x0002, 1);
    S.Add(0x0028, 0x0004, "CS", "MONOCHROME2");
    return S;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_walk VARNELO_DICOM [RUNS]\n");
        return 2;
    }
    const std::string Tool = argv[1];
    const int Runs = argc > 2 ? std::atoi(argv[2]) : 21;
    const testgen::TempDir Scratch("bench-walk");
    const std::string& Dir = Scratch.Path;

    // 512 x 512 16-bit CT.
    DataSet Ct = HeaderElements();
    Ct.US(0x0028, 0x0010, 512).US(0x0028, 0x0011, 512).US(0x0028, 0x0100, 16).US(0x0028, 0x0101, 12);
    Ct.US(0x0028, 0x0102, 11).US(0x0028, 0x0103, 0);
    Ct.AddRaw(0x7FE0, 0x0010, "OW", Bytes(512 * 512 * 2, 0x12));
    const std::string CtFile = Dir + "/ct.dcm";
    testgen::WriteFile(CtFile, testgen::Part10(testgen::kExplicitLE, Ct));

    // ~500 MB of encapsulated pixel data: 2000 frames of 250 kB.
    DataSet Big = HeaderElements();
    Big.US(0x0028, 0x0010, 512).US(0x0028, 0x0011, 512).US(0x0028, 0x0100, 8);
    Big.Add(0x0028, 0x0008, "IS", "2000");
    const std::string BigFile = Dir + "/encapsulated.dcm";
    {
        Bytes Head = testgen::Part10("1.2.840.10008.1.2.4.50", Big);
        DataSet Pix(false, false);
        Pix.Header(0x7FE0, 0x0010, "OB", 0xFFFFFFFFu).Item(0);
        Head.insert(Head.end(), Pix.bytes().begin(), Pix.bytes().end());
        FILE* F = std::fopen(BigFile.c_str(), "wb");
        std::fwrite(Head.data(), 1, Head.size(), F);
        Bytes Fragment(250000);
        for (size_t I = 0; I < Fragment.size(); ++I)
            Fragment[I] = static_cast<uint8_t>((I * 2654435761u) >> 13);
        const uint8_t ItemTag[8] = {0xFE, 0xFF, 0x00, 0xE0, 0x90, 0xD0, 0x03, 0x00}; // length 250000
        for (int I = 0; I < 2000; ++I) {
            std::fwrite(ItemTag, 1, 8, F);
            std::fwrite(Fragment.data(), 1, Fragment.size(), F);
        }
        const uint8_t End[8] = {0xFE, 0xFF, 0xDD, 0xE0, 0, 0, 0, 0};
        std::fwrite(End, 1, 8, F);
        std::fclose(F);
    }

    std::printf("%-28s %12s %12s %12s %14s\n", "file", "in-process", "our process", "dcmdump -M", "dcmdump (all)");
    for (const auto& Case : {std::pair{"512x512 CT", CtFile}, std::pair{"500 MB encapsulated", BigFile}}) {
        const char* Name = Case.first;
        const std::string& File = Case.second;
        const double InProcess = MedianMs(Runs, [&] {
            dicom::THeaderData H;
            if (!dicom::LoadDICOMHeader(File, H))
                std::exit(1);
        });
        const double OurProcess = MedianMs(Runs, [&] { Run(Tool + " info --header-only " + File + " > /dev/null"); });
        const double Dump = MedianMs(Runs, [&] { Run("dcmdump -q -M " + File + " > /dev/null"); });
        const double DumpAll = MedianMs(std::max(3, Runs / 4), [&] { Run("dcmdump -q " + File + " > /dev/null"); });
        std::printf("%-28s %10.3f ms %10.3f ms %10.3f ms %12.3f ms\n", Name, InProcess, OurProcess, Dump, DumpAll);
    }
    std::remove(CtFile.c_str());
    std::remove(BigFile.c_str());
    ::rmdir(Dir.c_str());
    return 0;
}
