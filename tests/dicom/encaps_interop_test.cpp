// Frame 1 of every DCMTK-made and pydicom-supplied compressed file must come
// out exactly as DCMTK decompresses it. The file pairs come from
// tests/interop/encaps_make.sh; the folder is given in VARNELO_ENCAPS_DATA.
#include "encaps.h"
#include "encaps_support.h"
#include "loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

using namespace encapstest;

namespace {

std::vector<std::pair<std::string, std::string>> Pairs()
{
    std::vector<std::pair<std::string, std::string>> R;
    const char* Dir = std::getenv("VARNELO_ENCAPS_DATA");
    if (Dir == nullptr)
        return R;
    std::ifstream In(std::string(Dir) + "/manifest.txt");
    std::string A, B;
    while (In >> A >> B)
        R.emplace_back(A, B);
    return R;
}

} // namespace

TEST(EncapsInterop, FirstFrameMatchesDcmtk)
{
    const auto List = Pairs();
    ASSERT_GT(List.size(), 50u) << "no manifest in VARNELO_ENCAPS_DATA";
    int Lossless = 0, Rle = 0, Split = 0;
    for (const auto& [Compressed, Reference] : List) {
        SCOPED_TRACE(Compressed);
        auto C = Open(Compressed);
        auto R = Open(Reference);
        ASSERT_TRUE(C->TS.Compressed);
        ASSERT_FALSE(R->TS.Compressed);
        ASSERT_TRUE(C->Data.PixelData && R->Data.PixelData);
        ASSERT_TRUE(dicom::DecodeCompressedFrame(C->Data, C->TS));
        EXPECT_EQ(C->Data.FrameSize, FrameBytes(C->Data));
        const auto Ours = Interleaved(C->Data.Pixels, C->Data);
        const auto Theirs = Interleaved(UncompressedFrame(*R), R->Data);
        ASSERT_EQ(Ours.size(), Theirs.size());
        size_t Diffs = 0, First = 0;
        for (size_t I = 0; I < Ours.size(); ++I)
            if (Ours[I] != Theirs[I] && Diffs++ == 0)
                First = I;
        EXPECT_EQ(Diffs, 0u) << "first difference at byte " << First;
        Lossless += C->TS.Compression == dicom::ckLosslessJPEG;
        Rle += C->TS.Compression == dicom::ckRLE;
        Split += C->Data.PixelData->Length < C->Data.Pixels.size() / 2;
    }
    // The set must really cover both decoders and split frames.
    EXPECT_GT(Lossless, 40);
    EXPECT_GT(Rle, 10);
    EXPECT_GT(Split, 5);
}

// The whole load with its preview: each compressed file looks exactly like
// its DCMTK-decompressed twin.
TEST(EncapsInterop, RendersLikeTheDecompressedFile)
{
    const auto List = Pairs();
    ASSERT_GT(List.size(), 50u) << "no manifest in VARNELO_ENCAPS_DATA";
    int Drawn = 0;
    for (const auto& [Compressed, Reference] : List) {
        SCOPED_TRACE(Compressed);
        dicom::TBitmap A, B;
        dicom::THeaderData HA, HB;
        dicom::TLoadInfo IA, IB;
        const bool OkA = dicom::LoadDICOMFile(Compressed, A, HA, &IA);
        const bool OkB = dicom::LoadDICOMFile(Reference, B, HB, &IB);
        EXPECT_EQ(OkA, OkB);
        EXPECT_EQ(IA.RenderResult, IB.RenderResult);
        ASSERT_EQ(A.Width(), B.Width());
        ASSERT_EQ(A.Height(), B.Height());
        ASSERT_EQ(A.BitsPerPixel(), B.BitsPerPixel());
        EXPECT_TRUE(A.ColourTable() == B.ColourTable());
        size_t Diffs = 0;
        const size_t RowBytes = static_cast<size_t>(A.Width()) * (A.BitsPerPixel() / 8);
        for (int Y = 0; Y < A.Height(); ++Y)
            Diffs += std::memcmp(A.Row(Y), B.Row(Y), RowBytes) != 0;
        EXPECT_EQ(Diffs, 0u) << "rows that differ";
        Drawn += !A.Empty();
    }
    EXPECT_GT(Drawn, 70);
}

// JPEG-LS and JPEG 2000 (GDCM-made and pydicom's), and streams under the
// wrong UID: each renders like its reference (GDCM's decompression, or the
// same stream under its right UID), lossy ones within 2 grey levels.
TEST(EncapsInterop, RendersJpegLsAndJpeg2000LikeTheReference)
{
    const char* Dir = std::getenv("VARNELO_ENCAPS_DATA");
    ASSERT_NE(Dir, nullptr);
    std::ifstream In(std::string(Dir) + "/manifest_ext.txt");
    std::string Compressed, Reference;
    int Tolerance, Count = 0;
    while (In >> Compressed >> Reference >> Tolerance) {
        SCOPED_TRACE(Compressed);
        ++Count;
        dicom::TBitmap A, B;
        dicom::THeaderData HA, HB;
        dicom::TLoadInfo IA, IB;
        ASSERT_TRUE(dicom::LoadDICOMFile(Compressed, A, HA, &IA));
        ASSERT_TRUE(dicom::LoadDICOMFile(Reference, B, HB, &IB));
        ASSERT_FALSE(A.Empty());
        ASSERT_EQ(A.Width(), B.Width());
        ASSERT_EQ(A.Height(), B.Height());
        ASSERT_EQ(A.BitsPerPixel(), B.BitsPerPixel());
        EXPECT_TRUE(A.ColourTable() == B.ColourTable());
        int Worst = 0;
        const size_t RowBytes = static_cast<size_t>(A.Width()) * (A.BitsPerPixel() / 8);
        for (int Y = 0; Y < A.Height(); ++Y)
            for (size_t X = 0; X < RowBytes; ++X)
                Worst = std::max(Worst, std::abs(A.Row(Y)[X] - B.Row(Y)[X]));
        EXPECT_LE(Worst, Tolerance);
    }
    EXPECT_GT(Count, 20);
}
