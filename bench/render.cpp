// Loading with the preview, in process: a 512 x 512 16-bit CT and a
// 2048 x 2500 16-bit radiograph, against DCMTK's DicomImage with a min-max
// window in process, dcm2pnm +Wm as a whole process, and pydicom with numpy,
// all in the same run.
//
// usage: bench_render VARNELO_DICOM PYDICOM_SCRIPT [RUNS]
#include "dicomgen.h"
#include "timing.h"

#include "loader.h"

#ifdef VARNELO_BENCH_DCMTK
#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmimgle/dcmimage.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;
using testgen::Bytes;
using testgen::DataSet;

namespace {

using bench::MedianMs;
using bench::Run;

std::string Capture(const std::string& Command)
{
    std::string Out;
    FILE* P = ::popen(Command.c_str(), "r");
    if (P == nullptr)
        return Out;
    char Buf[256];
    while (std::fgets(Buf, sizeof Buf, P) != nullptr)
        Out += Buf;
    if (::pclose(P) != 0)
        return {};
    return Out;
}

// A greyscale image with structure (not a flat or random field), so the
// stretch and any compression in the peers see realistic data.
std::string MakeImage(const std::string& Dir, const char* Name, int Rows, int Columns, int Stored, bool Signed)
{
    DataSet S(false, false);
    S.Add(0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.2", '\0');
    S.Add(0x0008, 0x0060, "CS", Signed ? "CT" : "DX");
    S.Add(0x0010, 0x0010, "PN", "Bench^Patient");
    S.US(0x0028, 0x0002, 1);
    S.Add(0x0028, 0x0004, "CS", "MONOCHROME2");
    S.US(0x0028, 0x0010, static_cast<uint16_t>(Rows)).US(0x0028, 0x0011, static_cast<uint16_t>(Columns));
    S.US(0x0028, 0x0100, 16).US(0x0028, 0x0101, static_cast<uint16_t>(Stored));
    S.US(0x0028, 0x0102, static_cast<uint16_t>(Stored - 1)).US(0x0028, 0x0103, Signed ? 1 : 0);
    Bytes Pixels(static_cast<size_t>(Rows) * Columns * 2);
    const int Top = (1 << Stored) - 1;
    uint32_t Noise = 12345;
    for (int Y = 0; Y < Rows; ++Y)
        for (int X = 0; X < Columns; ++X) {
            const double Dx = (X - Columns / 2.0) / Columns, Dy = (Y - Rows / 2.0) / Rows;
            const double R = std::sqrt(Dx * Dx + Dy * Dy);
            Noise = Noise * 1664525u + 1013904223u;
            int V = static_cast<int>(Top * (R < 0.4 ? 0.3 + 0.4 * std::cos(R * 20) * 0.5 : 0.02)) + (Noise >> 27);
            V = std::clamp(V, 0, Top);
            if (Signed)
                V -= 1024;
            const size_t I = (static_cast<size_t>(Y) * Columns + X) * 2;
            Pixels[I] = static_cast<uint8_t>(V);
            Pixels[I + 1] = static_cast<uint8_t>(V >> 8);
        }
    S.AddRaw(0x7FE0, 0x0010, "OW", Pixels);
    const std::string File = Dir + "/" + Name;
    testgen::WriteFile(File, testgen::Part10(testgen::kExplicitLE, S));
    return File;
}

double Median(std::vector<double> V)
{
    if (V.empty())
        return NAN;
    std::sort(V.begin(), V.end());
    return V[V.size() / 2];
}

double ThreadCpuMs()
{
    timespec T;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &T);
    return static_cast<double>(T.tv_sec) * 1e3 + static_cast<double>(T.tv_nsec) * 1e-6;
}

// Wall and thread CPU milliseconds of each call.
struct TTimes {
    std::vector<double> Wall, Cpu;
    void Add(const std::function<void()>& Body)
    {
        const double C0 = ThreadCpuMs();
        const auto T0 = Clock::now();
        Body();
        Wall.push_back(std::chrono::duration<double, std::milli>(Clock::now() - T0).count());
        Cpu.push_back(ThreadCpuMs() - C0);
    }
};

// A folder of its own that the run removes itself unless told to keep it.
std::string MakeFolder(const std::string& Name)
{
    const char* Base = std::getenv("TMPDIR");
    std::string Dir = std::string(Base != nullptr && *Base != '\0' ? Base : "/tmp") + "/varnelo-" + Name + "-XXXXXX";
    if (::mkdtemp(Dir.data()) == nullptr) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    return Dir;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_render VARNELO_DICOM PYDICOM_SCRIPT [RUNS]\n");
        return 2;
    }
    const std::string Tool = argv[1], Py = argv[2];
    const int Runs = argc > 3 ? std::atoi(argv[3]) : 21;
    const std::string Dir = MakeFolder("bench-render");
    const std::string Ct = MakeImage(Dir, "ct.dcm", 512, 512, 12, true);
    const std::string Dx = MakeImage(Dir, "radiograph.dcm", 2500, 2048, 14, false);
    const std::string Png = Dir + "/out.png";

    struct TSummary {
        const char* Name;
        double BackToBack, Alternating, CpuBackToBack, CpuAlternating;
    };
    std::vector<TSummary> Summary;
    std::printf("%-22s %11s %11s %7s %11s %11s %7s %12s %12s %11s\n", "image", "ours", "DCMTK", "ratio",
                "ours alt.", "DCMTK alt.", "ratio", "ours (proc)", "dcm2pnm +Wm", "pydicom");
    for (const auto& [Name, File] : {std::pair{"512x512 CT", Ct}, std::pair{"2048x2500 radiograph", Dx}}) {
        const auto Ours = [&] {
            dicom::THeaderData H;
            dicom::TBitmap B;
            if (!dicom::LoadDICOMFile(File, B, H) || B.Empty())
                std::exit(1);
        };
        std::function<void()> Dcmtk;
#ifdef VARNELO_BENCH_DCMTK
        Dcmtk = [&] {
            DicomImage Image(File.c_str());
            if (Image.getStatus() != EIS_Normal || !Image.setMinMaxWindow() || Image.getOutputData(8) == nullptr)
                std::exit(1);
        };
#endif
        // Back to back: each library runs its loads in a row. Alternating:
        // one load of each in turn, as an application that does other work
        // between files sees it (the heap no longer holds the last load's
        // blocks ready).
        //
        // Wall time for the table; thread CPU time as well, which a busy
        // machine's waits for the core leave out for both libraries alike.
        TTimes B2bOurs, B2bDcmtk, AltOurs, AltDcmtk;
        Ours();
        for (int I = 0; I < Runs; ++I)
            B2bOurs.Add(Ours);
        if (Dcmtk) {
            Dcmtk();
            for (int I = 0; I < Runs; ++I)
                B2bDcmtk.Add(Dcmtk);
        }
        for (int I = 0; I < Runs && Dcmtk; ++I) {
            AltOurs.Add(Ours);
            AltDcmtk.Add(Dcmtk);
        }
        const double OursMs = Median(B2bOurs.Wall), DcmtkMs = Median(B2bDcmtk.Wall);
        const double AltOursMs = Median(AltOurs.Wall), AltDcmtkMs = Median(AltDcmtk.Wall);
        const double OurProcess = MedianMs(Runs, [&] { Run(Tool + " render " + File + " " + Png); });
        const double Dcm2pnm = MedianMs(Runs, [&] { Run("dcm2pnm -q +Wm +on " + File + " " + Png); });
        const std::string PyOut = Capture("/usr/bin/python3 " + Py + " " + File + " " + std::to_string(Runs));
        const double Pydicom = PyOut.empty() ? NAN : std::atof(PyOut.c_str());
        std::printf("%-22s %8.3f ms %8.3f ms %6.1fx %8.3f ms %8.3f ms %6.1fx %9.3f ms %9.3f ms %8.3f ms\n", Name, OursMs,
                    DcmtkMs, DcmtkMs / OursMs, AltOursMs, AltDcmtkMs, AltDcmtkMs / AltOursMs, OurProcess, Dcm2pnm,
                    Pydicom);
        Summary.push_back({Name, DcmtkMs / OursMs, AltDcmtkMs / AltOursMs, Median(B2bDcmtk.Cpu) / Median(B2bOurs.Cpu),
                           Median(AltDcmtk.Cpu) / Median(AltOurs.Cpu)});
    }
    std::printf("ours/DCMTK: LoadDICOMFile with rendering vs DicomImage + setMinMaxWindow + getOutputData(8);\n"
                "processes: varnelo-dicom render and dcm2pnm +Wm +on, both writing PNG; pydicom: dcmread,\n"
                "pixel_array and a numpy min-max stretch to 8 bits, in process. Medians of %d runs.\n",
                Runs);
    // One line per image with the two orders, for runs compared by eye.
    std::printf("\nsummary, DCMTK time / ours (goal: 3x or more in both orders), wall time (thread CPU time):\n");
    for (const auto& S : Summary)
        std::printf("  %-22s back to back %5.1fx (%4.1fx)   alternating %5.1fx (%4.1fx)%s\n", S.Name, S.BackToBack,
                    S.CpuBackToBack, S.Alternating, S.CpuAlternating,
                    std::min(S.BackToBack, S.Alternating) >= 3 ? "" : "   BELOW 3x");
    std::remove(Png.c_str());
    if (std::getenv("VARNELO_BENCH_KEEP") != nullptr) {
        std::printf("files kept in %s\n", Dir.c_str());
        return 0;
    }
    std::remove(Ct.c_str());
    std::remove(Dx.c_str());
    ::rmdir(Dir.c_str());
    return 0;
}
