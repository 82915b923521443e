// Encapsulated pixel data: RLE decoding, and frame 1 fetched from its
// fragments for each compression kind.
#include "dicomgen.h"
#include "encaps.h"
#include "encaps_support.h"
#include "lossless_encoder.h"

#include <gtest/gtest.h>

#include <random>

using namespace dicom;
using encapstest::OpenBytes;
using testgen::Bytes;

namespace {

Bytes RleHeader(std::vector<uint32_t> Offsets)
{
    Bytes H(64, 0);
    const uint32_t N = static_cast<uint32_t>(Offsets.size());
    std::memcpy(H.data(), &N, 4);
    for (size_t I = 0; I < Offsets.size() && I < 15; ++I)
        std::memcpy(H.data() + 4 * (I + 1), &Offsets[I], 4);
    return H;
}

// An RLE fragment from segments given as raw bytes.
Bytes RleFragment(const std::vector<Bytes>& Segments)
{
    std::vector<uint32_t> Offsets;
    uint32_t At = 64;
    for (const auto& S : Segments) {
        Offsets.push_back(At);
        At += static_cast<uint32_t>(S.size());
    }
    Bytes F = RleHeader(Offsets);
    for (const auto& S : Segments)
        F.insert(F.end(), S.begin(), S.end());
    return F;
}

// A plane as literal runs of up to 128 bytes.
Bytes Literal(const Bytes& Plane)
{
    Bytes S;
    for (size_t I = 0; I < Plane.size(); I += 128) {
        const size_t N = std::min<size_t>(128, Plane.size() - I);
        S.push_back(static_cast<uint8_t>(N - 1));
        S.insert(S.end(), Plane.begin() + static_cast<long>(I), Plane.begin() + static_cast<long>(I + N));
    }
    return S;
}

TData28 Image(uint16_t Rows, uint16_t Columns, uint16_t Samples, uint16_t Bits, uint16_t Planar = 0)
{
    TData28 D;
    D.Rows = Rows;
    D.Columns = Columns;
    D.SamplesPerPixel = Samples;
    D.BitsAllocated = Bits;
    D.PlanarConfiguration = Planar;
    return D;
}

bool Rle(const Bytes& Fragment, TData28& D)
{
    return DecodeRLE(Fragment.data(), Fragment.size(), encapstest::FrameBytes(D), D);
}

} // namespace

TEST(RLE, ControlBytes)
{
    struct Case {
        const char* Name;
        Bytes Segment;
        Bytes Want; // 4 x 2 pixels of 8 bits
    };
    const Case Cases[] = {
        {"literal then repeat", {0x03, 1, 2, 3, 4, 0xFD, 9}, {1, 2, 3, 4, 9, 9, 9, 9}},
        {"0x80 is skipped", {0x80, 0x01, 5, 6, 0x80, 0xFB, 7}, {5, 6, 7, 7, 7, 7, 7, 7}},
        {"short segment leaves zeros", {0x02, 1, 2, 3}, {1, 2, 3, 0, 0, 0, 0, 0}},
        {"long run is cut", {0x81, 4}, {4, 4, 4, 4, 4, 4, 4, 4}},
        {"literal cut by the fragment's end", {0x05, 1, 2}, {1, 2, 0, 0, 0, 0, 0, 0}},
        {"repeat without its byte", {0x01, 1, 2, 0xFE}, {1, 2, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TData28 D = Image(2, 4, 1, 8);
        ASSERT_TRUE(Rle(RleFragment({C.Segment}), D));
        EXPECT_EQ(D.Pixels, C.Want);
    }
}

TEST(RLE, RefusesBadHeaders)
{
    TData28 D = Image(2, 4, 1, 8);
    Bytes Sixteen = RleFragment({{0x07, 1, 2, 3, 4, 5, 6, 7, 8}});
    Sixteen[0] = 16;
    const Bytes Cases[] = {
        Sixteen,
        RleHeader({200}),                // offset past the fragment
        Bytes{1, 0, 0},                  // no segment count
        Bytes{2, 0, 0, 0, 64, 0, 0, 0},  // the second offset is missing
    };
    for (const auto& F : Cases) {
        D.Pixels.assign(3, 1);
        EXPECT_FALSE(Rle(F, D));
        EXPECT_TRUE(D.Pixels.empty());
    }
}

TEST(RLE, PlanesBecomeSamples)
{
    // 3 x 2 pixels: 16-bit grey, 8-bit RGB interleaved and planar, 16-bit RGB.
    const uint16_t Rows = 2, Cols = 3, N = Rows * Cols;
    std::mt19937 Rng(4);
    struct Case {
        uint16_t Samples, Bits, Planar;
    };
    for (const Case C : {Case{1, 16, 0}, Case{3, 8, 0}, Case{3, 8, 1}, Case{3, 16, 0}, Case{3, 16, 1}, Case{1, 32, 0}}) {
        SCOPED_TRACE(testing::Message() << C.Samples << " x " << C.Bits << " planar " << C.Planar);
        const int Width = C.Bits / 8;
        // values[pixel][sample]
        std::vector<std::vector<uint32_t>> V(N, std::vector<uint32_t>(C.Samples));
        for (auto& P : V)
            for (auto& S : P)
                S = static_cast<uint32_t>(Rng()) & (C.Bits == 32 ? 0xFFFFFFFFu : (1u << C.Bits) - 1);
        std::vector<Bytes> Segments;
        for (int S = 0; S < C.Samples; ++S)
            for (int B = Width - 1; B >= 0; --B) {
                Bytes Plane;
                for (int P = 0; P < N; ++P)
                    Plane.push_back(static_cast<uint8_t>(V[P][S] >> (8 * B)));
                Segments.push_back(Literal(Plane));
            }
        Bytes Want;
        for (int Outer = 0; Outer < (C.Planar ? C.Samples : N); ++Outer)
            for (int Inner = 0; Inner < (C.Planar ? N : C.Samples); ++Inner) {
                const uint32_t Value = C.Planar ? V[Inner][Outer] : V[Outer][Inner];
                for (int B = 0; B < Width; ++B)
                    Want.push_back(static_cast<uint8_t>(Value >> (8 * B)));
            }
        TData28 D = Image(Rows, Cols, C.Samples, C.Bits, C.Planar);
        ASSERT_TRUE(Rle(RleFragment(Segments), D));
        EXPECT_EQ(D.Pixels, Want);
    }
}

namespace {

// A file with encapsulated pixel data: fragments and an offset table.
std::unique_ptr<encapstest::TOpened> Encapsulated(const char* Syntax, const std::vector<Bytes>& Fragments,
                                                  const std::vector<uint32_t>& Offsets, uint16_t Rows, uint16_t Cols,
                                                  uint16_t Bits, int Frames = 1)
{
    testgen::DataSet S(false, false);
    S.US(0x0028, 0x0002, 1);
    S.Add(0x0028, 0x0004, "CS", "MONOCHROME2");
    if (Frames > 1)
        S.Add(0x0028, 0x0008, "IS", std::to_string(Frames));
    S.US(0x0028, 0x0010, Rows).US(0x0028, 0x0011, Cols);
    S.US(0x0028, 0x0100, Bits).US(0x0028, 0x0101, Bits).US(0x0028, 0x0102, Bits - 1);
    S.Encapsulated(Fragments, Offsets);
    return OpenBytes(testgen::Part10(Syntax, S));
}

// Splits B into pieces of at most N bytes (each even, as fragments are).
std::vector<Bytes> Split(const Bytes& B, size_t N)
{
    std::vector<Bytes> R;
    for (size_t I = 0; I < B.size(); I += N)
        R.emplace_back(B.begin() + static_cast<long>(I), B.begin() + static_cast<long>(std::min(B.size(), I + N)));
    return R;
}

Bytes Jpegish(size_t Size, uint8_t Seed, bool Pad)
{
    Bytes B(Size);
    for (size_t I = 0; I < Size; ++I)
        B[I] = static_cast<uint8_t>(Seed + I * 7);
    B[0] = 0xFF;
    B[1] = 0xD8;
    B[Size - 2 - Pad] = 0xFF;
    B[Size - 1 - Pad] = 0xD9;
    if (Pad)
        B[Size - 1] = 0;
    return B;
}

} // namespace

TEST(CompressedFrame, JpegStreamIsPassedOn)
{
    const Bytes Stream = Jpegish(100, 3, false);
    auto F = Encapsulated(testgen::kJPEGBaseline, {Stream}, {}, 64, 64, 8);
    ASSERT_TRUE(DecodeCompressedFrame(F->Data, F->TS));
    EXPECT_EQ(F->Data.Pixels, Stream);
    EXPECT_EQ(F->Data.FrameSize, Stream.size()); // not 64 x 64
}

TEST(CompressedFrame, FirstFrameFromSeveralFragments)
{
    const Bytes A = Jpegish(300, 1, false), B = Jpegish(222, 2, true), C = Jpegish(100, 9, false);
    const auto PA = Split(A, 64), PB = Split(B, 100), PC = Split(C, 40);
    std::vector<Bytes> All = PA;
    All.insert(All.end(), PB.begin(), PB.end());
    All.insert(All.end(), PC.begin(), PC.end());
    // Offsets count from the first fragment's item tag.
    uint32_t Second = 0;
    for (const auto& P : PA)
        Second += 8 + static_cast<uint32_t>(P.size());
    uint32_t Third = Second;
    for (const auto& P : PB)
        Third += 8 + static_cast<uint32_t>(P.size());

    struct Case {
        const char* Name;
        std::vector<Bytes> Fragments;
        std::vector<uint32_t> Offsets;
        int Frames;
        Bytes Want;
    };
    const Case Cases[] = {
        {"single frame: every fragment", PA, {}, 1, A},
        {"single frame with a table", PA, {0}, 1, A},
        {"offset table", All, {0, Second, Third}, 3, A},
        {"empty table: up to the end of image", All, {}, 3, A},
        {"one fragment per frame", {A, B, C}, {}, 3, A},
        {"padded end of image", {PB[0], PB[1], PB[2], C}, {}, 2, B},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto F = Encapsulated(testgen::kJPEGBaseline, C.Fragments, C.Offsets, 8, 8, 8, C.Frames);
        ASSERT_TRUE(DecodeCompressedFrame(F->Data, F->TS));
        EXPECT_EQ(F->Data.Pixels, C.Want);
        EXPECT_EQ(F->Data.FrameSize, C.Want.size());
    }
}

// A 12-bit lossless stream of X x Y samples (padded to even length), and
// the little-endian 16-bit frame it decodes to.
std::pair<Bytes, Bytes> Lossless12(const std::vector<int>& Img, int X, int Y)
{
    lenc::StreamParams S;
    S.P = 12;
    S.X = X;
    S.Y = Y;
    S.Ss = 1;
    S.Tables = {lenc::FixedTable()};
    Bytes Stream = lenc::Encode(Img, S);
    if (Stream.size() % 2)
        Stream.push_back(0);
    Bytes Want;
    for (int V : Img) {
        Want.push_back(static_cast<uint8_t>(V));
        Want.push_back(static_cast<uint8_t>(V >> 8));
    }
    return {Stream, Want};
}

TEST(CompressedFrame, LosslessFrameSplitOverFragments)
{
    std::mt19937 Rng(8);
    std::vector<int> Img(40 * 30);
    for (size_t I = 0; I < Img.size(); ++I)
        Img[I] = static_cast<int>((I * 13) % 4000 + Rng() % 50);
    const auto [Stream, Want] = Lossless12(Img, 40, 30);
    for (size_t Piece : {Stream.size(), size_t{512}, size_t{100}}) {
        SCOPED_TRACE(Piece);
        auto F = Encapsulated(testgen::kJPEGLossless, Split(Stream, Piece), {}, 30, 40, 16);
        ASSERT_TRUE(DecodeCompressedFrame(F->Data, F->TS));
        EXPECT_EQ(F->Data.Pixels, Want);
        EXPECT_EQ(F->Data.FrameSize, Want.size());
    }
    // The decoder's failure is the frame's failure.
    Bytes Broken = Stream;
    Broken[2] = 0x12;
    auto F = Encapsulated(testgen::kJPEGLossless, {Broken}, {}, 30, 40, 16);
    EXPECT_FALSE(DecodeCompressedFrame(F->Data, F->TS));
}

// A lossless stream of fewer rows than the header declares fills the start
// of the frame (the renderer reads the rest as zeros, without a block of
// zeros being made here); one of more rows fails as it always did.
TEST(CompressedFrame, LosslessStreamsShortOfTheFrameFillItsStart)
{
    std::vector<int> Img(40 * 30);
    for (size_t I = 0; I < Img.size(); ++I)
        Img[I] = static_cast<int>((I * 7) % 4000);
    const auto [Stream, Want] = Lossless12(Img, 40, 30);
    auto Taller = Encapsulated(testgen::kJPEGLossless, {Stream}, {}, 60000, 40, 16);
    ASSERT_TRUE(DecodeCompressedFrame(Taller->Data, Taller->TS));
    EXPECT_EQ(Taller->Data.Pixels, Want);
    auto Shorter = Encapsulated(testgen::kJPEGLossless, {Stream}, {}, 20, 40, 16);
    EXPECT_FALSE(DecodeCompressedFrame(Shorter->Data, Shorter->TS));
}

TEST(CompressedFrame, RleFramesStayInOneFragment)
{
    const Bytes One = RleFragment({{0x03, 1, 2, 3, 4}}), Two = RleFragment({{0x03, 5, 6, 7, 8}});
    auto Multi = Encapsulated(testgen::kRLE, {One, Two}, {}, 2, 2, 8, 2);
    ASSERT_TRUE(DecodeCompressedFrame(Multi->Data, Multi->TS));
    EXPECT_EQ(Multi->Data.Pixels, Bytes({1, 2, 3, 4}));
    EXPECT_EQ(Multi->Data.FrameSize, 4u);
}

TEST(CompressedFrame, FragmentLongerThanTheFile)
{
    // A fragment that claims 2 GB in a file of a few bytes: what is there.
    const Bytes Stream = Jpegish(64, 5, false);
    Bytes File = {0xFE, 0xFF, 0x00, 0xE0, 0xF0, 0xFF, 0xFF, 0x7F};
    File.insert(File.end(), Stream.begin(), Stream.end());
    TMemoryStream M(File);
    TData28 D = Image(8, 8, 1, 8);
    D.PixelData = std::make_unique<TDICOMattribute>();
    D.PixelData->Stream = &M;
    D.PixelData->ValueOffset = 8;
    D.PixelData->Length = 0x7FFFFFF0u;
    TransferSyntaxState TS;
    TS.Compressed = true;
    TS.Compression = ckJPEG;
    ASSERT_TRUE(DecodeCompressedFrame(D, TS));
    EXPECT_EQ(D.Pixels, Stream);
    TS.Compression = ckLosslessJPEG;
    EXPECT_FALSE(DecodeCompressedFrame(D, TS));
}
