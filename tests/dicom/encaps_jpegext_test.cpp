// JPEG-LS and JPEG 2000 frames, and the choice of decoder by the stream's
// own markers.
#include "errors.h"
#include "encaps_support.h"
#include "jpegext.h"

#include <charls/charls.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <random>

using namespace dicom;
using Bytes = std::vector<uint8_t>;

TEST(JpegStreams, KindByMarkers)
{
    struct Case {
        const char* Name;
        Bytes Stream;
        TStreamKind Kind;
    };
    const Case Cases[] = {
        {"baseline", {0xFF, 0xD8, 0xFF, 0xC0, 0, 11}, skJPEG},
        {"extended after an APP0", {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 1, 2, 0xFF, 0xC1, 0, 11}, skJPEG},
        {"progressive", {0xFF, 0xD8, 0xFF, 0xC2, 0, 11}, skJPEG},
        {"lossless after tables", {0xFF, 0xD8, 0xFF, 0xC4, 0, 3, 9, 0xFF, 0xFF, 0xC3, 0, 11}, skLossless},
        {"JPEG-LS", {0xFF, 0xD8, 0xFF, 0xF7, 0, 11}, skJPEGLS},
        {"JPEG-LS after a preset segment", {0xFF, 0xD8, 0xFF, 0xF8, 0, 3, 1, 0xFF, 0xF7, 0, 11}, skJPEGLS},
        {"J2K codestream", {0xFF, 0x4F, 0xFF, 0x51, 0, 41}, skJPEG2000},
        {"JP2 file", {0, 0, 0, 0x0C, 0x6A, 0x50, 0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A, 0}, skJPEG2000},
        {"scan before any frame", {0xFF, 0xD8, 0xFF, 0xDA, 0, 8}, skOther},
        {"segment running past the end", {0xFF, 0xD8, 0xFF, 0xE1, 0x7F, 0xFF, 0}, skOther},
        {"no start of image", {0x12, 0x34, 0xFF, 0xC0}, skOther},
        {"junk between segments", {0xFF, 0xD8, 0x00, 0xFF, 0xC0}, skOther},
        {"too short", {0xFF, 0xD8}, skOther},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        EXPECT_EQ(ClassifyStream(C.Stream.data(), C.Stream.size()), C.Kind);
    }
}

namespace {

Bytes EncodeJLS(const Bytes& Source, uint32_t W, uint32_t H, int Bits, int Components, charls::interleave_mode Mode)
{
    // Noise can come out larger than CharLS's own estimate.
    charls::jpegls_encoder Encoder;
    Encoder.frame_info({W, H, Bits, Components}).interleave_mode(Mode);
    Bytes Out(Source.size() * 2 + 4096);
    Encoder.destination(Out);
    Out.resize(Encoder.encode(Source));
    return Out;
}

TData28 Description(uint16_t Rows, uint16_t Columns, uint16_t Samples, uint16_t Bits, uint16_t Planar)
{
    TData28 D;
    D.Rows = Rows;
    D.Columns = Columns;
    D.SamplesPerPixel = Samples;
    D.BitsAllocated = Bits;
    D.PlanarConfiguration = Planar;
    return D;
}

// The pixel data element's value (one fragment of pydicom's test files).
Bytes ValueOf(encapstest::TOpened& F)
{
    TDICOMattribute& P = *F.Data.PixelData;
    Bytes B(P.Length);
    F.File->Seek(P.ValueOffset);
    B.resize(F.File->Read(B.data(), B.size()));
    return B;
}

} // namespace

TEST(JpegLS, ColourLayouts)
{
    // 5 x 3 RGB: every interleave mode of the stream gives the layout the
    // description asks for.
    const uint32_t W = 5, H = 3, N = W * H;
    std::mt19937 Rng(2);
    Bytes Pixels(N * 3), Planes(N * 3);
    for (uint32_t K = 0; K < N; ++K)
        for (uint32_t C = 0; C < 3; ++C)
            Planes[C * N + K] = Pixels[K * 3 + C] = static_cast<uint8_t>(Rng());
    for (auto Mode : {charls::interleave_mode::none, charls::interleave_mode::line, charls::interleave_mode::sample}) {
        const Bytes Stream = EncodeJLS(Mode == charls::interleave_mode::none ? Planes : Pixels, W, H, 8, 3, Mode);
        for (uint16_t Planar : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "mode " << static_cast<int>(Mode) << " planar " << Planar);
            TData28 D = Description(H, W, 3, 8, Planar);
            ASSERT_TRUE(DecodeJPEGLS(Stream.data(), Stream.size(), D));
            EXPECT_EQ(D.Pixels, Planar ? Planes : Pixels);
        }
    }
}

TEST(JpegLS, SampleWidths)
{
    const uint32_t W = 7, H = 4;
    std::mt19937 Rng(3);
    std::vector<uint16_t> Words(W * H);
    for (auto& V : Words)
        V = static_cast<uint16_t>(Rng() & 0xFFF);
    Bytes Raw(Words.size() * 2);
    std::memcpy(Raw.data(), Words.data(), Raw.size());
    const Bytes Stream = EncodeJLS(Raw, W, H, 12, 1, charls::interleave_mode::none);
    // 12-bit samples into 16-bit words, and into 32-bit ones.
    TData28 D16 = Description(H, W, 1, 16, 0);
    ASSERT_TRUE(DecodeJPEGLS(Stream.data(), Stream.size(), D16));
    EXPECT_EQ(D16.Pixels, Raw);
    TData28 D32 = Description(H, W, 1, 32, 0);
    ASSERT_TRUE(DecodeJPEGLS(Stream.data(), Stream.size(), D32));
    for (size_t I = 0; I < Words.size(); ++I) {
        uint32_t V;
        std::memcpy(&V, &D32.Pixels[4 * I], 4);
        EXPECT_EQ(V, Words[I]);
    }
    // An image that does not match the description is refused.
    TData28 Wrong = Description(H + 1, W, 1, 16, 0);
    EXPECT_FALSE(DecodeJPEGLS(Stream.data(), Stream.size(), Wrong));
    TData28 Packed = Description(H, W, 1, 12, 0);
    EXPECT_FALSE(DecodeJPEGLS(Stream.data(), Stream.size(), Packed));
    TData28 Narrow = Description(H, W, 1, 8, 0);
    EXPECT_FALSE(DecodeJPEGLS(Stream.data(), Stream.size(), Narrow));
}

// CharLS reads on past the end of a stream cut short as if it went on, for
// seconds on a large frame; the decoder ends such a stream where its data
// ends. A whole stream still decodes with or without its end marker.
TEST(JpegLS, StreamsCutShortEndWhereTheirDataEnds)
{
    const uint32_t W = 4096, H = 2048;
    Bytes Raw(size_t(W) * H);
    std::mt19937 Random(3);
    for (auto& V : Raw)
        V = static_cast<uint8_t>(Random());
    const Bytes Stream = EncodeJLS(Raw, W, H, 8, 1, charls::interleave_mode::none);
    double Slowest = 0;
    for (size_t Keep : {40, 46, 66, 68, 90, 300}) {
        SCOPED_TRACE(Keep);
        TData28 D = Description(H, W, 1, 8, 0);
        const Bytes Cut(Stream.begin(), Stream.begin() + static_cast<ptrdiff_t>(Keep));
        const auto T0 = std::chrono::steady_clock::now();
        bool Decoded = false;
        try {
            Decoded = DecodeJPEGLS(Cut.data(), Cut.size(), D);
        } catch (const EJPEGError&) {
        }
        Slowest = std::max(Slowest, std::chrono::duration<double>(std::chrono::steady_clock::now() - T0).count());
        EXPECT_FALSE(Decoded);
    }
    // Without an end marker added, some of these took up to 9 s.
    EXPECT_LT(Slowest, 1.0);

    const struct {
        const char* Name;
        Bytes Stream;
    } Whole[] = {
        {"as made", Stream},
        {"with the pad byte of an odd fragment", [&] { Bytes B = Stream; B.push_back(0); return B; }()},
        {"without its end marker", Bytes(Stream.begin(), Stream.end() - 2)},
    };
    for (const auto& C : Whole) {
        SCOPED_TRACE(C.Name);
        TData28 D = Description(H, W, 1, 8, 0);
        ASSERT_TRUE(DecodeJPEGLS(C.Stream.data(), C.Stream.size(), D));
        EXPECT_TRUE(D.Pixels.size() >= Raw.size() && std::equal(Raw.begin(), Raw.end(), D.Pixels.begin()));
    }
}

TEST(JpegExtensions, LibraryFailuresCarryTheirMessage)
{
    TData28 D = Description(4, 4, 1, 8, 0);
    Bytes Bad = {0xFF, 0xD8, 0xFF, 0xF7, 0x00, 0x0B, 0x08, 0x00, 0x04, 0x00, 0x04, 0x01, 0x01, 0x11, 0x00, 0xFF, 0xD9};
    try {
        DecodeJPEGLS(Bad.data(), Bad.size(), D);
        FAIL() << "no error raised";
    } catch (const EJPEGError& E) {
        EXPECT_EQ(std::string(E.what()).rfind("JPEG-LS error #", 0), 0u) << E.what();
    }
    Bytes J2K = {0xFF, 0x4F, 0xFF, 0x51, 0x00, 0x29};
    J2K.resize(64, 0xEE);
    try {
        DecodeJPEG2000(J2K.data(), J2K.size(), D);
        FAIL() << "no error raised";
    } catch (const EJPEGError& E) {
        EXPECT_EQ(std::string(E.what()).rfind("JPEG 2000 error: ", 0), 0u) << E.what();
        EXPECT_GT(std::string(E.what()).size(), 20u);
    }
}

TEST(Jpeg2000, DecodesAndRefusesMismatches)
{
    const std::string Name = "/usr/lib/python3/dist-packages/pydicom/data/test_files/MR_small_jp2klossless.dcm";
    if (!std::ifstream(Name))
        GTEST_SKIP() << "python3-pydicom's test files are not installed";
    auto F = encapstest::Open(Name);
    TDICOMattribute& P = *F->Data.PixelData;
    const Bytes Stream = ValueOf(*F);
    ASSERT_EQ(Stream.size(), P.Length);
    EXPECT_EQ(FrameCompression(P, F->TS), ckJPEG2000);

    TData28 Good = Description(F->Data.Rows, F->Data.Columns, 1, 16, 0);
    ASSERT_TRUE(DecodeJPEG2000(Stream.data(), Stream.size(), Good));
    ASSERT_EQ(Good.Pixels.size(), size_t(F->Data.Rows) * F->Data.Columns * 2);
    // Not a flat picture.
    EXPECT_NE(std::count(Good.Pixels.begin(), Good.Pixels.end(), Good.Pixels[0]), long(Good.Pixels.size()));

    struct Shape {
        int Rows, Samples, Bits;
    };
    for (const Shape S : {Shape{F->Data.Rows + 1, 1, 16}, Shape{F->Data.Rows, 3, 16}, Shape{F->Data.Rows, 1, 12},
                          Shape{F->Data.Rows, 1, 8}}) {
        TData28 Bad = Description(static_cast<uint16_t>(S.Rows), F->Data.Columns, static_cast<uint16_t>(S.Samples),
                                  static_cast<uint16_t>(S.Bits), 0);
        EXPECT_FALSE(DecodeJPEG2000(Stream.data(), Stream.size(), Bad));
    }
}

// OpenJPEG sets up every tile a header names before decoding any: the size
// is checked against the description and the tiles counted first, in a bare
// codestream and in one boxed as a JP2 file.
TEST(Jpeg2000, SizesAndTileCountsAreCheckedBeforeTheLibrary)
{
    const std::string Name = "/usr/lib/python3/dist-packages/pydicom/data/test_files/MR_small_jp2klossless.dcm";
    if (!std::ifstream(Name))
        GTEST_SKIP() << "python3-pydicom's test files are not installed";
    auto F = encapstest::Open(Name);
    TDICOMattribute& P = *F->Data.PixelData;
    const Bytes Stream = ValueOf(*F);
    ASSERT_EQ(Stream.size(), P.Length);
    ASSERT_TRUE(Stream.size() > 42 && Stream[2] == 0xFF && Stream[3] == 0x51) << "SIZ right after SOC";
    const auto Put32 = [](Bytes& B, size_t At, uint32_t V) {
        for (int I = 0; I < 4; ++I)
            B[At + I] = static_cast<uint8_t>(V >> (24 - 8 * I));
    };
    const auto Boxed = [](const Bytes& Codestream) {
        Bytes B = {0, 0, 0, 12, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
        const uint32_t L = static_cast<uint32_t>(Codestream.size() + 8);
        B.insert(B.end(), {uint8_t(L >> 24), uint8_t(L >> 16), uint8_t(L >> 8), uint8_t(L), 'j', 'p', '2', 'c'});
        B.insert(B.end(), Codestream.begin(), Codestream.end());
        return B;
    };
    // 4096 x 4096 in tiles of 32 x 16: 32768 of them, within what the
    // library itself accepts, at a few kilobytes of set-up each.
    Bytes Tiny = Stream;
    Put32(Tiny, 8, 4096);
    Put32(Tiny, 12, 4096);
    Put32(Tiny, 24, 32);
    Put32(Tiny, 28, 16);
    for (const auto& [Label, Data] : {std::pair{"codestream", Tiny}, std::pair{"JP2 file", Boxed(Tiny)}}) {
        SCOPED_TRACE(Label);
        TData28 D = Description(4096, 4096, 1, 16, 0);
        try {
            DecodeJPEG2000(Data.data(), Data.size(), D);
            ADD_FAILURE() << "no error raised";
        } catch (const EJPEGError& E) {
            EXPECT_NE(std::string(E.what()).find("tiles"), std::string::npos) << E.what();
        }
        // The same header against the file's own 64 x 64 description.
        TData28 Small = Description(F->Data.Rows, F->Data.Columns, 1, 16, 0);
        EXPECT_FALSE(DecodeJPEG2000(Data.data(), Data.size(), Small));
    }
    // The untouched stream still decodes.
    TData28 Good = Description(F->Data.Rows, F->Data.Columns, 1, 16, 0);
    EXPECT_TRUE(DecodeJPEG2000(Stream.data(), Stream.size(), Good));
}
