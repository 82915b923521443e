// Bounds on what one load or one write may cost: heap at most a small
// multiple of the file's size plus the working buffers of one frame (a frame
// above 1 GiB is refused), and about a second per megabyte of work.
//
// The heap is measured by replacing the global operator new, which every
// container in dicom/ and extrout/ allocates through.
#include "dicomgen.h"

#include "bitmap.h"
#include "errors.h"
#include "loader.h"
#include "writer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <malloc.h>
#include <new>
#include <unistd.h>

using testgen::Bytes;
using testgen::DataSet;

namespace {

std::atomic<size_t> gCurrent{0};
std::atomic<size_t> gPeak{0};

void* Track(void* P)
{
    if (P == nullptr)
        throw std::bad_alloc();
    const size_t Now = gCurrent += malloc_usable_size(P);
    size_t Old = gPeak.load();
    while (Now > Old && !gPeak.compare_exchange_weak(Old, Now)) {
    }
    return P;
}

void Untrack(void* P)
{
    if (P != nullptr) {
        gCurrent -= malloc_usable_size(P);
        std::free(P);
    }
}

} // namespace

void* operator new(size_t N) { return Track(std::malloc(N == 0 ? 1 : N)); }
void* operator new[](size_t N) { return Track(std::malloc(N == 0 ? 1 : N)); }
void* operator new(size_t N, std::align_val_t A)
{
    return Track(std::aligned_alloc(static_cast<size_t>(A), (N + static_cast<size_t>(A) - 1) / static_cast<size_t>(A) * static_cast<size_t>(A)));
}
void* operator new[](size_t N, std::align_val_t A) { return operator new(N, A); }
void operator delete(void* P) noexcept { Untrack(P); }
void operator delete[](void* P) noexcept { Untrack(P); }
void operator delete(void* P, size_t) noexcept { Untrack(P); }
void operator delete[](void* P, size_t) noexcept { Untrack(P); }
void operator delete(void* P, std::align_val_t) noexcept { Untrack(P); }
void operator delete[](void* P, std::align_val_t) noexcept { Untrack(P); }
void operator delete(void* P, size_t, std::align_val_t) noexcept { Untrack(P); }
void operator delete[](void* P, size_t, std::align_val_t) noexcept { Untrack(P); }

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr double kSlowdown = 10;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr double kSlowdown = 10;
#else
constexpr double kSlowdown = 1;
#endif
#else
constexpr double kSlowdown = 1;
#endif

constexpr double kMiB = 1024.0 * 1024.0;
constexpr uint64_t kMaxFrame = uint64_t(1) << 30;

struct TCost {
    size_t PeakBytes = 0;
    double Seconds = 0;
};

template <typename F> TCost Measure(F&& Work)
{
    const size_t Base = gCurrent.load();
    gPeak = Base;
    const auto T0 = std::chrono::steady_clock::now();
    Work();
    const auto T1 = std::chrono::steady_clock::now();
    return TCost{gPeak.load() - Base, std::chrono::duration<double>(T1 - T0).count()};
}

// Heap a load or write may take: four times the file (its header values held
// as strings, copies on the way) and four frame-sized buffers (the frame, its
// 16-bit samples, the display bytes, the bitmap), plus a fixed allowance for
// stream buffers. A frame above 1 GiB is refused before anything is made.
size_t HeapBound(uint64_t FileSize, uint64_t Frame)
{
    return static_cast<size_t>(4 * FileSize + 4 * (Frame <= kMaxFrame ? Frame : 0) + 16 * kMiB);
}

// A second per megabyte of file and frame, at least half a second.
double TimeBound(uint64_t FileSize, uint64_t Frame)
{
    const double MB = (FileSize + (Frame <= kMaxFrame ? Frame : 0)) / kMiB;
    return std::max(0.5, MB) * kSlowdown;
}

uint64_t DeclaredFrame(uint16_t Rows, uint16_t Columns, uint16_t Samples, uint16_t Bits)
{
    return (uint64_t(Rows) * Columns * Bits + 7) / 8 * Samples;
}

DataSet ImageHeader(uint16_t Rows, uint16_t Columns, uint16_t Samples, uint16_t Bits, const char* Photometric)
{
    DataSet D(false, false);
    D.Add(0x0008, 0x0060, "CS", "OT");
    D.Add(0x0010, 0x0010, "PN", "Bounds^Test");
    D.Add(0x0020, 0x0013, "IS", "1");
    D.US(0x0028, 0x0002, Samples);
    D.Add(0x0028, 0x0004, "CS", Photometric);
    D.US(0x0028, 0x0010, Rows);
    D.US(0x0028, 0x0011, Columns);
    D.US(0x0028, 0x0100, Bits);
    D.US(0x0028, 0x0101, Bits);
    D.US(0x0028, 0x0102, static_cast<uint16_t>(Bits - 1));
    D.US(0x0028, 0x0103, 0);
    return D;
}

Bytes RleFragment(uint32_t Segments, uint32_t Offset, const Bytes& Body)
{
    Bytes F(64, 0);
    for (int I = 0; I < 4; ++I)
        F[I] = static_cast<uint8_t>(Segments >> (8 * I));
    for (uint32_t S = 1; S < 16; ++S)
        for (int I = 0; I < 4; ++I)
            F[4 * S + I] = static_cast<uint8_t>(Offset >> (8 * I));
    F.insert(F.end(), Body.begin(), Body.end());
    return F;
}

struct TLoadCase {
    const char* Name;
    Bytes File;
    uint64_t Frame; // declared frame bytes
};

std::vector<TLoadCase> LoadCases()
{
    std::vector<TLoadCase> Cases;
    {
        DataSet D = ImageHeader(65535, 65535, 3, 16, "RGB");
        D.AddRaw(0x7FE0, 0x0010, "OW", Bytes(64, 1));
        Cases.push_back({"native_24GiB_declared", testgen::Part10(testgen::kExplicitLE, D), DeclaredFrame(65535, 65535, 3, 16)});
    }
    {
        DataSet D = ImageHeader(8192, 8192, 1, 16, "MONOCHROME2");
        D.AddRaw(0x7FE0, 0x0010, "OW", Bytes(64, 1));
        Cases.push_back({"native_128MiB_declared_64_bytes_present", testgen::Part10(testgen::kExplicitLE, D),
                         DeclaredFrame(8192, 8192, 1, 16)});
    }
    {
        DataSet D = ImageHeader(65535, 65535, 3, 16, "RGB");
        D.Encapsulated({RleFragment(6, 64, Bytes{0x81, 0x00})});
        Cases.push_back({"rle_24GiB_declared", testgen::Part10(testgen::kRLE, D), DeclaredFrame(65535, 65535, 3, 16)});
    }
    {
        DataSet D = ImageHeader(4096, 4096, 1, 8, "MONOCHROME2");
        D.Encapsulated({RleFragment(1, 64, Bytes{0x81, 0x00})});
        Cases.push_back({"rle_16MiB_declared_2_bytes_of_runs", testgen::Part10(testgen::kRLE, D),
                         DeclaredFrame(4096, 4096, 1, 8)});
    }
    {
        DataSet D = ImageHeader(64, 64, 1, 8, "MONOCHROME2");
        D.Encapsulated({RleFragment(0x7FFFFFFF, 0xFFFFFFF0u, Bytes{0x81, 0x00})});
        Cases.push_back({"rle_segment_count_and_offsets_absurd", testgen::Part10(testgen::kRLE, D),
                         DeclaredFrame(64, 64, 1, 8)});
    }
    {
        // A lossless JPEG frame header claiming 65535 x 65535 x 3 in a tiny stream.
        Bytes J{0xFF, 0xD8, 0xFF, 0xC3, 0x00, 0x11, 0x10, 0xFF, 0xFF, 0xFF, 0xFF, 0x03, 1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0,
                0xFF, 0xC4, 0x00, 0x14, 0x00, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,
                0xFF, 0xDA, 0x00, 0x0C, 0x03, 1, 0x00, 2, 0x00, 3, 0x00, 0x01, 0x00, 0x00};
        J.insert(J.end(), 256, 0x00);
        J.insert(J.end(), {0xFF, 0xD9});
        DataSet D = ImageHeader(512, 512, 3, 16, "RGB");
        D.Encapsulated({J});
        Cases.push_back({"lossless_sof_claims_65535_squared", testgen::Part10(testgen::kJPEGLossless, D),
                         DeclaredFrame(512, 512, 3, 16)});
    }
    for (const char* Name : {"progressive-18000-squared-in-1638-bytes-decoded-for-22s.jpg",
                             "progressive-30000-squared-3GB-before-refusal.jpg"}) {
        // A progressive JPEG header promising a huge image in a tiny stream:
        // libjpeg must not be let to buffer it whole.
        const Bytes J = testgen::ReadFile(std::string(VARNELO_REGRESSIONS_DIR) + "/jpeg/" + Name);
        DataSet D = ImageHeader(100, 100, 3, 8, "YBR_FULL_422");
        D.Encapsulated({J});
        Cases.push_back({Name, testgen::Part10(testgen::kJPEGBaseline, D), DeclaredFrame(100, 100, 3, 8)});
    }
    {
        // Four megabytes of empty fragments.
        DataSet D = ImageHeader(64, 64, 1, 8, "MONOCHROME2");
        D.Header(0x7FE0, 0x0010, "OB", 0xFFFFFFFFu);
        for (int I = 0; I < 500000; ++I)
            D.Item(0);
        D.SequenceEnd();
        Cases.push_back({"half_a_million_empty_fragments", testgen::Part10(testgen::kRLE, D), DeclaredFrame(64, 64, 1, 8)});
    }
    {
        // Sequences nested as deep as real files never go, then a megabyte
        // of small items.
        DataSet D(false, false);
        D.Add(0x0008, 0x0060, "CS", "OT");
        for (int I = 0; I < 60; ++I) {
            D.Header(0x0040, 0x0275, "SQ", 0xFFFFFFFFu);
            D.Item(0xFFFFFFFFu);
        }
        for (int I = 0; I < 60; ++I) {
            D.ItemEnd();
            D.SequenceEnd();
        }
        D.Header(0x0040, 0x0260, "SQ", 0xFFFFFFFFu);
        for (int I = 0; I < 60000; ++I) {
            D.Item(0xFFFFFFFFu);
            D.Add(0x0008, 0x0100, "SH", "T-1");
            D.ItemEnd();
        }
        D.SequenceEnd();
        Cases.push_back({"deep_and_wide_sequences", testgen::Part10(testgen::kExplicitLE, D), 0});
    }
    return Cases;
}

class ResourceBounds : public ::testing::Test {
protected:
    const testgen::TempDir Scratch{"resources"};
    const std::string Dir = Scratch.Path;
};

TEST_F(ResourceBounds, LoadsStayWithinHeapAndTime)
{
    for (const TLoadCase& C : LoadCases()) {
        SCOPED_TRACE(C.Name);
        const std::string Path = Dir + "/" + C.Name + ".dcm";
        testgen::WriteFile(Path, C.File);
        std::string Error;
        bool Loaded = false;
        const TCost Cost = Measure([&] {
            dicom::TBitmap Bitmap;
            dicom::THeaderData Header;
            try {
                Loaded = dicom::LoadDICOMFile(Path, Bitmap, Header);
            } catch (const dicom::EDicomError& E) {
                Error = E.what();
            }
        });
        std::printf("load %-44s file %9zu B  peak heap %8.2f MiB  %.3f s\n", C.Name, C.File.size(),
                    Cost.PeakBytes / kMiB, Cost.Seconds);
        EXPECT_LE(Cost.PeakBytes, HeapBound(C.File.size(), C.Frame))
            << "peak " << Cost.PeakBytes / kMiB << " MiB for a file of " << C.File.size() << " bytes";
        EXPECT_LE(Cost.Seconds, TimeBound(C.File.size(), C.Frame));
        // Frames above the limit are refused quietly, never drawn.
        if (C.Frame > kMaxFrame) {
            EXPECT_FALSE(Loaded);
            EXPECT_EQ(Error, "");
        }
    }
}

// Resident memory of this process, in bytes.
size_t Resident()
{
    std::FILE* F = std::fopen("/proc/self/statm", "r");
    if (F == nullptr)
        return 0;
    unsigned long Pages = 0, Rss = 0;
    const int Got = std::fscanf(F, "%lu %lu", &Pages, &Rss);
    std::fclose(F);
    return Got == 2 ? static_cast<size_t>(Rss) * static_cast<size_t>(sysconf(_SC_PAGESIZE)) : 0;
}

// A file that holds a few bytes of a frame declared near the limit: the
// bitmap is drawn at full size, but what the file does not hold (zeros)
// must cost neither time nor resident memory.
TEST_F(ResourceBounds, ShortFilesCostWhatTheyHold)
{
    const struct {
        const char* Name;
        uint16_t Rows, Columns, Samples, Bits;
        const char* Photometric;
    } Cases[] = {
        {"8-bit grey 32000 x 32000", 32000, 32000, 1, 8, "MONOCHROME2"},
        {"16-bit grey 23000 x 23000", 23000, 23000, 1, 16, "MONOCHROME2"},
        {"RGB 18000 x 18000", 18000, 18000, 3, 8, "RGB"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        DataSet D = ImageHeader(C.Rows, C.Columns, C.Samples, C.Bits, C.Photometric);
        D.AddRaw(0x7FE0, 0x0010, "OW", Bytes(4096, 0x5A));
        const std::string Path = Dir + "/short.dcm";
        testgen::WriteFile(Path, testgen::Part10(testgen::kExplicitLE, D));
        dicom::TBitmap Bitmap;
        dicom::THeaderData Header;
        const size_t Before = Resident();
        const auto T0 = std::chrono::steady_clock::now();
        ASSERT_TRUE(dicom::LoadDICOMFile(Path, Bitmap, Header));
        const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - T0).count();
        const size_t After = Resident();
        const size_t Grown = After > Before ? After - Before : 0;
        std::printf("short %-28s bitmap %7.1f MiB  resident +%6.1f MiB  %.3f s\n", C.Name, Bitmap.ByteCount() / kMiB,
                    Grown / kMiB, Seconds);
        EXPECT_EQ(Bitmap.Width() >= C.Columns && Bitmap.Height() == C.Rows, true) << "drawn at full size";
        EXPECT_EQ(Bitmap.PixelColour(0, 0) != Bitmap.PixelColour(Bitmap.Width() - 1, Bitmap.Height() - 1), true)
            << "the held bytes drawn, the rest black";
        // The address sanitizer marks every block it hands out in its shadow
        // memory, an eighth of the block's size: the frame's and the bitmap's.
        EXPECT_LT(Grown, 64 * kMiB + (kSlowdown > 1 ? Bitmap.ByteCount() / 4 : 0));
        EXPECT_LT(Seconds, 0.5 * kSlowdown);
    }

    // A broken JPEG or lossless JPEG fragment under a declared 1 GiB frame:
    // the stream decides what is decoded, so the declared frame must never
    // be made (it was zeroed whole before the stream was looked at).
    for (const char* Syntax : {testgen::kJPEGBaseline, testgen::kJPEGLossless}) {
        SCOPED_TRACE(Syntax);
        DataSet D = ImageHeader(32000, 32000, 1, 8, "MONOCHROME2");
        D.Encapsulated({Bytes{0xFF, 0xD8, 0xFF, 0xD9}});
        const std::string Path = Dir + "/jpeg.dcm";
        testgen::WriteFile(Path, testgen::Part10(Syntax, D));
        dicom::TBitmap Bitmap;
        dicom::THeaderData Header;
        const size_t Before = Resident();
        const auto T0 = std::chrono::steady_clock::now();
        try {
            dicom::LoadDICOMFile(Path, Bitmap, Header);
        } catch (const dicom::EDicomError&) {
        }
        const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - T0).count();
        const size_t After = Resident();
        const size_t Grown = After > Before ? After - Before : 0;
        std::printf("short %-28s resident +%6.1f MiB  %.3f s\n", Syntax, Grown / kMiB, Seconds);
        EXPECT_TRUE(Bitmap.Empty());
        EXPECT_LT(Grown, 64 * kMiB);
        EXPECT_LT(Seconds, 0.5 * kSlowdown);
    }
}

struct TWriteCase {
    const char* Name;
    Bytes File;
    bool InPlace;
    size_t ExtraHeap; // beyond a fixed allowance
};

TEST_F(ResourceBounds, WritesStreamLargeFiles)
{
    // 64 MiB of pixel data behind the comment, and a 1 MiB header of small
    // private elements ahead of it.
    DataSet Big = ImageHeader(4096, 8192, 1, 16, "MONOCHROME2");
    Big.AddRaw(0x7FE0, 0x0010, "OW", Bytes(size_t(4096) * 8192 * 2, 0x42));
    DataSet Wide(false, false);
    Wide.Add(0x0008, 0x0060, "CS", "OT");
    for (int I = 0; I < 65536; ++I)
        Wide.Add(0x0009, 0x1000 + (I % 0xF000), "SH", "0123456789ab");
    Wide.Add(0x0020, 0x4000, "LT", "old comment");
    const Bytes BigFile = testgen::Part10(testgen::kExplicitLE, Big);
    const Bytes WideFile = testgen::Part10(testgen::kExplicitLE, Wide);
    const std::vector<TWriteCase> Cases = {
        {"64MiB_pixels_to_new_file", BigFile, false, 0},
        // Saving over the source may hold the whole file once.
        {"64MiB_pixels_over_itself", BigFile, true, 2 * BigFile.size()},
        {"1MiB_header_to_new_file", WideFile, false, 4 * WideFile.size()},
        {"1MiB_header_over_itself", WideFile, true, 6 * WideFile.size()},
    };
    for (const TWriteCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        const std::string Source = Dir + "/source.dcm";
        const std::string Target = C.InPlace ? Source : Dir + "/target.dcm";
        testgen::WriteFile(Source, C.File);
        std::vector<std::string> Messages;
        bool Written = false;
        const TCost Cost = Measure([&] {
            dicom::TCommentWriterHooks Hooks;
            Hooks.ReportError = [&](const std::string& M) { Messages.push_back(M); };
            Hooks.DateTimeText = [] { return std::string("08.12.2026 12:00:00"); };
            Written = dicom::WriteDICOMComment(Source, Target, "Bounded", Hooks);
        });
        std::printf("write %-43s file %9zu B  peak heap %8.2f MiB  %.3f s\n", C.Name, C.File.size(),
                    Cost.PeakBytes / kMiB, Cost.Seconds);
        EXPECT_TRUE(Written) << (Messages.empty() ? "" : Messages[0]);
        EXPECT_LE(Cost.PeakBytes, 16 * kMiB + C.ExtraHeap) << "peak " << Cost.PeakBytes / kMiB << " MiB";
        EXPECT_LE(Cost.Seconds, std::max(0.5, C.File.size() / kMiB) * kSlowdown);
        EXPECT_GT(std::filesystem::file_size(Target), C.File.size() - 32);
    }
}

} // namespace
