// The preview renderer: display values, colour tables, bitmap layout and the
// result codes, through whole files made by the test writer.
#include "dicom.h"
#include "extrout.h"

#include "dicomgen.h"
#include "greyscale.h"
#include "jpeg12_encoder.h"
#include "jpegext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>

#include <jpeglib.h>

using namespace dicom;
using testgen::Bytes;
using testgen::DataSet;

namespace {

struct TImage {
    uint16_t Rows = 1, Columns = 1, Samples = 1, Bits = 8, Stored = 0, High = 0, Signed = 0, Planar = 0;
    std::string Photometric = "MONOCHROME2";
    Bytes Pixels;
    const char* PixelVR = "OW";
    std::string Syntax = testgen::kExplicitLE;
    bool NoSize = false; // leave out Rows and Columns
    std::function<void(DataSet&)> Extra;
};

bool IsBig(const TImage& I) { return I.Syntax == testgen::kExplicitBE; }

Bytes Words(const std::vector<int>& Values, bool Big = false)
{
    Bytes B;
    for (int V : Values) {
        const auto U = static_cast<uint16_t>(V);
        B.push_back(static_cast<uint8_t>(Big ? U >> 8 : U));
        B.push_back(static_cast<uint8_t>(Big ? U : U >> 8));
    }
    return B;
}

Bytes Build(const TImage& I)
{
    DataSet S(I.Syntax == testgen::kImplicitLE, IsBig(I));
    S.US(0x0028, 0x0002, I.Samples);
    S.Add(0x0028, 0x0004, "CS", I.Photometric);
    if (I.Samples > 1)
        S.US(0x0028, 0x0006, I.Planar);
    if (!I.NoSize) {
        S.US(0x0028, 0x0010, I.Rows);
        S.US(0x0028, 0x0011, I.Columns);
    }
    S.US(0x0028, 0x0100, I.Bits);
    S.US(0x0028, 0x0101, I.Stored ? I.Stored : I.Bits);
    S.US(0x0028, 0x0102, I.High ? I.High : static_cast<uint16_t>((I.Stored ? I.Stored : I.Bits) - 1));
    S.US(0x0028, 0x0103, I.Signed);
    if (I.Extra)
        I.Extra(S);
    Bytes P = I.Pixels;
    if (P.size() % 2)
        P.push_back(0);
    S.AddRaw(0x7FE0, 0x0010, I.PixelVR, P);
    return testgen::Part10(I.Syntax, S);
}

struct TResult {
    bool Loaded = false;
    int32_t Code = 0;
    TBitmap Bitmap;
};

// The bitmap starts as a 3 x 3 picture, so a load that draws nothing can be
// seen to leave it alone.
TResult Load(const Bytes& File)
{
    // One folder for the whole program, removed as it ends.
    static const testgen::TempDir Dir("render");
    const std::string Name = Dir.Path + "/image.dcm";
    testgen::WriteFile(Name, File);
    TResult R;
    R.Bitmap.SetSize(3, 3, 24);
    THeaderData H;
    TLoadInfo Info;
    R.Loaded = LoadDICOMFile(Name, R.Bitmap, H, &Info);
    R.Code = Info.RenderResult;
    return R;
}

TResult Load(const TImage& I) { return Load(Build(I)); }

uint32_t Grey(int V) { return TBitmap::Rgb(V, V, V); }

// Palette LUT elements: descriptor and data for each of red, green, blue.
std::function<void(DataSet&)> Palette(uint16_t Entries, uint16_t First, uint16_t BitsPer, const Bytes& R, const Bytes& G,
                                      const Bytes& B)
{
    return [=](DataSet& S) {
        for (int C = 0; C < 3; ++C)
            S.USMulti(0x0028, static_cast<uint16_t>(0x1101 + C), {Entries, First, BitsPer});
        S.AddRaw(0x0028, 0x1201, "OW", R);
        S.AddRaw(0x0028, 0x1202, "OW", G);
        S.AddRaw(0x0028, 0x1203, "OW", B);
    };
}

} // namespace

// Greyscale display values: the stretch of frames over 8 bits, flat frames,
// signedness, MONOCHROME1, and unstretched 8-bit frames.
TEST(RenderGrey, DisplayValues)
{
    struct TCase {
        const char* Name;
        uint16_t Bits;
        uint16_t Signed;
        const char* Photometric;
        std::vector<int> Samples;
        std::vector<int> Expected; // grey level per pixel
    };
    const TCase Cases[] = {
        {"stretch", 16, 0, "MONOCHROME2", {100, 4195, 2147, 1000}, {0, 255, 127, 56}},
        {"signed", 16, 1, "MONOCHROME2", {-1000, 1000, 0, -999}, {0, 255, 128, 0}},
        {"unsigned keeps high values", 16, 0, "MONOCHROME2", {0, 65535, 32768, 1}, {0, 255, 128, 0}},
        {"flat zero", 16, 0, "MONOCHROME2", {0, 0, 0, 0}, {0, 0, 0, 0}},
        {"flat zero inverted", 16, 0, "MONOCHROME1", {0, 0, 0, 0}, {255, 255, 255, 255}},
        {"flat 1000 is its high byte", 16, 0, "MONOCHROME2", {1000, 1000, 1000, 1000}, {3, 3, 3, 3}},
        {"flat signed is its unsigned high byte", 16, 1, "MONOCHROME2", {-2, -2, -2, -2}, {255, 255, 255, 255}},
        {"stretch inverted", 16, 0, "MONOCHROME1", {10, 20, 30, 40}, {255, 170, 85, 0}},
        {"8 bits as they stand", 8, 0, "MONOCHROME2", {0, 63, 17, 40}, {0, 63, 17, 40}},
        {"8 bits inverted by the table", 8, 0, "MONOCHROME1", {0, 63, 255, 40}, {255, 192, 0, 215}},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TImage I;
        I.Rows = 2;
        I.Columns = 2;
        I.Bits = C.Bits;
        I.Signed = C.Signed;
        I.Photometric = C.Photometric;
        if (C.Bits == 8)
            for (int V : C.Samples)
                I.Pixels.push_back(static_cast<uint8_t>(V));
        else
            I.Pixels = Words(C.Samples);
        const TResult R = Load(I);
        ASSERT_TRUE(R.Loaded);
        ASSERT_EQ(R.Bitmap.BitsPerPixel(), 8);
        for (int P = 0; P < 4; ++P)
            EXPECT_EQ(R.Bitmap.PixelColour(P % 2, P / 2), Grey(C.Expected[static_cast<size_t>(P)])) << "pixel " << P;
    }
}

// Rows are padded to 8 columns with display value 0, and each row lands at
// the bitmap's own stride (odd widths included).
TEST(RenderGrey, RowPaddingAndStride)
{
    for (uint16_t Columns : {1, 5, 8, 13, 510}) {
        SCOPED_TRACE(Columns);
        TImage I;
        I.Rows = 3;
        I.Columns = Columns;
        I.Photometric = "MONOCHROME1";
        for (int R = 0; R < 3; ++R)
            for (int X = 0; X < Columns; ++X)
                I.Pixels.push_back(static_cast<uint8_t>(1 + (R * 37 + X) % 250));
        const TResult Res = Load(I);
        ASSERT_TRUE(Res.Loaded);
        const int W = (Columns + 7) / 8 * 8;
        ASSERT_EQ(Res.Bitmap.Width(), W);
        ASSERT_EQ(Res.Bitmap.Height(), 3);
        for (int R = 0; R < 3; ++R) {
            for (int X = 0; X < Columns; ++X)
                ASSERT_EQ(Res.Bitmap.Row(R)[X], 1 + (R * 37 + X) % 250) << R << "," << X;
            for (int X = Columns; X < W; ++X)
                ASSERT_EQ(Res.Bitmap.PixelColour(X, R), Grey(255)) << "padding is display value 0";
        }
    }
}

// 16-bit frames: the shift by BitsStored - HighBit - 1 only when positive,
// and the byte swap of big-endian OW (not OB).
TEST(RenderGrey, ShiftAndByteOrder)
{
    struct TCase {
        const char* Name;
        std::string Syntax;
        const char* VR;
        uint16_t Stored, High;
        Bytes Pixels;
        int Expected; // flat frame: the high byte of the value used
    };
    const std::string LE = testgen::kExplicitLE, BE = testgen::kExplicitBE;
    const TCase Cases[] = {
        {"no shift", LE, "OW", 16, 15, Words({0x1234, 0x1234}), 0x12},
        {"shift by 4", LE, "OW", 12, 7, Words({0x0123, 0x0123}), 0x12},
        {"high bit above stored bits", LE, "OW", 12, 15, Words({0x0123, 0x0123}), 0x01},
        {"big-endian OW swapped", BE, "OW", 16, 15, Words({0x1234, 0x1234}, true), 0x12},
        {"big-endian OW swapped before the shift", BE, "OW", 12, 7, Words({0x0123, 0x0123}, true), 0x12},
        {"big-endian OB as it stands", BE, "OB", 16, 15, Words({0x1234, 0x1234}, true), 0x34},
        {"implicit little endian", testgen::kImplicitLE, "OW", 16, 15, Words({0x5678, 0x5678}), 0x56},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TImage I;
        I.Rows = 1;
        I.Columns = 2;
        I.Bits = 16;
        I.Stored = C.Stored;
        I.High = C.High;
        I.Syntax = C.Syntax;
        I.PixelVR = C.VR;
        I.Pixels = C.Pixels;
        const TResult R = Load(I);
        ASSERT_TRUE(R.Loaded);
        EXPECT_EQ(R.Bitmap.PixelColour(0, 0), Grey(C.Expected));
        EXPECT_EQ(R.Bitmap.PixelColour(1, 0), Grey(C.Expected));
    }
}

// Other sample widths: 12-bit packed, 32-bit stretched, 1-bit black and white.
TEST(RenderGrey, OtherSampleWidths)
{
    {
        SCOPED_TRACE("12-bit packed");
        TImage I;
        I.Columns = 3;
        I.Bits = 12;
        // b0 b1 b2 -> b0*16 + (b1&15), (b2&15)*256 + (b1>>4)*16 + (b2>>4)
        I.Pixels = {0x10, 0x32, 0x54, 0xFF, 0x0F};
        const TResult R = Load(I);
        ASSERT_TRUE(R.Loaded);
        // Samples 0x102, 0x435 and 0xFFF: min 0x102, max 0xFFF.
        EXPECT_EQ(R.Bitmap.PixelColour(0, 0), Grey(0));
        EXPECT_EQ(R.Bitmap.PixelColour(1, 0), Grey(MulDiv(0x435 - 0x102, 255, 0xFFF - 0x102)));
        EXPECT_EQ(R.Bitmap.PixelColour(2, 0), Grey(255));
    }
    {
        SCOPED_TRACE("32-bit dose grid");
        TImage I;
        I.Columns = 3;
        I.Bits = 32;
        for (uint32_t V : {7u, 4000000007u, 2000000007u})
            for (int K = 0; K < 4; ++K)
                I.Pixels.push_back(static_cast<uint8_t>(V >> (8 * K)));
        const TResult R = Load(I);
        ASSERT_TRUE(R.Loaded);
        EXPECT_EQ(R.Bitmap.PixelColour(0, 0), Grey(0));
        EXPECT_EQ(R.Bitmap.PixelColour(1, 0), Grey(255));
        EXPECT_EQ(R.Bitmap.PixelColour(2, 0), Grey(128));
    }
    {
        SCOPED_TRACE("1-bit mask");
        TImage I;
        I.Rows = 2;
        I.Columns = 5;
        I.Bits = 1;
        I.Pixels = {0b10100101, 0b00000010};
        const TResult R = Load(I);
        ASSERT_TRUE(R.Loaded);
        ASSERT_EQ(R.Bitmap.Width(), 8);
        const int Bits[10] = {1, 0, 1, 0, 0, 1, 0, 1, 0, 1};
        for (int P = 0; P < 10; ++P)
            EXPECT_EQ(R.Bitmap.PixelColour(P % 5, P / 5), Grey(Bits[P] ? 255 : 0)) << P;
    }
}

// Palette colour: clamping to the mapped range, the first mapped value,
// 16- and 8-bit entries (words or packed), both byte orders, more than 256
// entries through a 24-bit bitmap, and widths that are not a multiple of 4.
TEST(RenderPalette, Lookups)
{
    // Entry i: red i, green 255 - i, blue i / 2 (for up to 256 entries).
    const auto Lut = [](int Entries, int BitsPer, bool Packed, bool Big, int Colour) {
        std::vector<int> V;
        Bytes B;
        for (int I = 0; I < Entries; ++I) {
            const int C = Colour == 0 ? I % 256 : Colour == 1 ? 255 - I % 256 : (I % 256) / 2;
            if (Packed)
                B.push_back(static_cast<uint8_t>(C));
            else
                V.push_back(BitsPer == 16 ? C * 256 + 0x7F : C);
        }
        if (Packed && B.size() % 2)
            B.push_back(0);
        if (Packed && Big) // an OW value: big endian swaps each byte pair
            for (size_t I = 0; I + 1 < B.size(); I += 2)
                std::swap(B[I], B[I + 1]);
        return Packed ? B : Words(V, Big);
    };
    struct TCase {
        const char* Name;
        uint16_t Bits, Entries, First, BitsPer;
        bool Packed, Big;
        std::vector<int> Samples;
        std::vector<int> Entry; // expected entry per sample
    };
    const TCase Cases[] = {
        {"8-bit samples, 16-bit entries", 8, 256, 0, 16, false, false, {0, 7, 255}, {0, 7, 255}},
        {"8-bit entries in words", 8, 256, 0, 8, false, false, {1, 200}, {1, 200}},
        {"8-bit entries packed", 8, 256, 0, 8, true, false, {1, 200}, {1, 200}},
        {"8-bit entries packed, odd count", 8, 201, 0, 8, true, false, {1, 200, 250}, {1, 200, 200}},
        {"big-endian words", 8, 256, 0, 16, false, true, {3, 99}, {3, 99}},
        {"big-endian 8-bit entries", 8, 256, 0, 8, false, true, {3, 99}, {3, 99}},
        {"big-endian packed entries", 8, 256, 0, 8, true, true, {3, 99, 200}, {3, 99, 200}},
        {"first mapped subtracted, clamped below", 8, 100, 50, 16, false, false, {50, 10, 149, 200}, {0, 0, 99, 99}},
        {"16-bit samples within 256 entries", 16, 256, 1000, 16, false, false, {1000, 1100, 5}, {0, 100, 0}},
        {"16-bit samples, 4096 entries", 16, 4096, 0, 16, false, false, {300, 5000, 0}, {300, 4095, 0}},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        for (uint16_t Columns : {uint16_t(C.Samples.size()), uint16_t(101)}) {
            TImage I;
            I.Rows = 2;
            I.Columns = Columns;
            I.Bits = C.Bits;
            I.Photometric = "PALETTE COLOR";
            I.Syntax = C.Big ? testgen::kExplicitBE : testgen::kExplicitLE;
            I.PixelVR = C.Bits == 8 ? "OB" : "OW";
            std::vector<int> Samples;
            for (int P = 0; P < 2 * Columns; ++P)
                Samples.push_back(C.Samples[static_cast<size_t>(P) % C.Samples.size()]);
            if (C.Bits == 8)
                for (int V : Samples)
                    I.Pixels.push_back(static_cast<uint8_t>(V));
            else
                I.Pixels = Words(Samples, C.Big);
            I.Extra = Palette(C.Entries, C.First, C.BitsPer, Lut(C.Entries, C.BitsPer, C.Packed, C.Big, 0),
                              Lut(C.Entries, C.BitsPer, C.Packed, C.Big, 1), Lut(C.Entries, C.BitsPer, C.Packed, C.Big, 2));
            const TResult R = Load(I);
            ASSERT_TRUE(R.Loaded);
            ASSERT_EQ(R.Bitmap.Width(), Columns);
            EXPECT_EQ(R.Bitmap.BitsPerPixel(), C.Entries > 256 ? 24 : 8);
            for (int P = 0; P < 2 * Columns; ++P) {
                const int E = C.Entry[static_cast<size_t>(P) % C.Entry.size()] % 256;
                ASSERT_EQ(R.Bitmap.PixelColour(P % Columns, P / Columns), TBitmap::Rgb(E, 255 - E, E / 2))
                    << "pixel " << P << " of " << Columns << " columns";
            }
        }
    }
}

// RGB and YBR: planar frames, the YBR formula with its wrap, and 4:2:2.
TEST(RenderColour, RGBAndYBR)
{
    struct TCase {
        const char* Name;
        const char* Photometric;
        uint16_t Columns, Planar;
        Bytes Pixels;
        std::vector<uint32_t> Expected;
    };
    const TCase Cases[] = {
        {"RGB interleaved", "RGB", 2, 0, {1, 2, 3, 4, 5, 6}, {TBitmap::Rgb(1, 2, 3), TBitmap::Rgb(4, 5, 6)}},
        {"RGB planar", "RGB", 2, 1, {1, 4, 2, 5, 3, 6}, {TBitmap::Rgb(1, 2, 3), TBitmap::Rgb(4, 5, 6)}},
        {"YBR black whatever the chroma", "YBR_FULL", 2, 0, {0, 200, 10, 128, 128, 128},
         {TBitmap::Rgb(0, 0, 0), TBitmap::Rgb(128, 128, 128)}},
        // Y 166, Cb 106, Cr 193: red 166 + 91 wraps to 1.
        {"YBR wraps", "YBR_FULL", 1, 0, {166, 106, 193}, {TBitmap::Rgb(1, 128, 128)}},
        {"YBR 4:2:2", "YBR_FULL_422", 2, 0, {100, 0, 128, 128, 0, 0, 0, 0},
         {TBitmap::Rgb(100, 100, 100), TBitmap::Rgb(0, 0, 0)}},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TImage I;
        I.Columns = C.Columns;
        I.Samples = 3;
        I.Planar = C.Planar;
        I.Photometric = C.Photometric;
        I.PixelVR = "OB";
        I.Pixels = C.Pixels;
        const TResult R = Load(I);
        ASSERT_TRUE(R.Loaded);
        ASSERT_EQ(R.Bitmap.BitsPerPixel(), 24);
        ASSERT_EQ(R.Bitmap.Width(), C.Columns);
        for (size_t X = 0; X < C.Expected.size(); ++X)
            EXPECT_EQ(R.Bitmap.PixelColour(static_cast<int>(X), 0), C.Expected[X]) << X;
    }
    uint8_t Rd, G, B;
    YBRPixelToRGB(166, static_cast<int8_t>(193 - 128), static_cast<int8_t>(106 - 128), Rd, G, B);
    EXPECT_EQ(TBitmap::Rgb(Rd, G, B), TBitmap::Rgb(1, 128, 128));
    const uint8_t Src[4] = {10, 20, 128, 128};
    uint8_t Dst[6];
    EXPECT_TRUE(ConvertYBRToRGB(Src, Dst, 6, true, 4));
    EXPECT_EQ(std::vector<uint8_t>(Dst, Dst + 6), (std::vector<uint8_t>{10, 10, 10, 20, 20, 20}));
    EXPECT_FALSE(ConvertYBRToRGB(Src, Dst, 5, true, 4)) << "destination too small";
}

// 8-bit data in an OW element of a big-endian file comes back in its order;
// in OB it stands as it is. 16-bit RGB and YBR are drawn sensibly.
TEST(RenderColour, ByteOrderAndWideSamples)
{
    {
        SCOPED_TRACE("8-bit OW big endian");
        TImage I;
        I.Columns = 2;
        I.Samples = 3;
        I.Photometric = "RGB";
        I.Syntax = testgen::kExplicitBE;
        I.Pixels = {2, 1, 4, 3, 6, 5};
        const TResult R = Load(I);
        ASSERT_TRUE(R.Loaded);
        EXPECT_EQ(R.Bitmap.PixelColour(0, 0), TBitmap::Rgb(1, 2, 3));
        EXPECT_EQ(R.Bitmap.PixelColour(1, 0), TBitmap::Rgb(4, 5, 6));
    }
    {
        SCOPED_TRACE("8-bit OB big endian");
        TImage I;
        I.Columns = 2;
        I.Samples = 3;
        I.Photometric = "RGB";
        I.Syntax = testgen::kExplicitBE;
        I.PixelVR = "OB";
        I.Pixels = {1, 2, 3, 4, 5, 6};
        const TResult R = Load(I);
        ASSERT_TRUE(R.Loaded);
        EXPECT_EQ(R.Bitmap.PixelColour(0, 0), TBitmap::Rgb(1, 2, 3));
    }
    {
        SCOPED_TRACE("16-bit RGB stretched over all samples");
        TImage I;
        I.Columns = 2;
        I.Samples = 3;
        I.Bits = 16;
        I.Photometric = "RGB";
        I.Pixels = Words({100, 200, 300, 400, 500, 1100});
        const TResult R = Load(I);
        ASSERT_TRUE(R.Loaded);
        EXPECT_EQ(R.Bitmap.PixelColour(0, 0), TBitmap::Rgb(0, 26, 51));
        EXPECT_EQ(R.Bitmap.PixelColour(1, 0), TBitmap::Rgb(77, 102, 255));
    }
    {
        SCOPED_TRACE("16-bit YBR keeps its top 8 stored bits");
        TImage I;
        I.Columns = 2;
        I.Samples = 3;
        I.Bits = 16;
        I.Photometric = "YBR_FULL";
        I.Pixels = Words({0x6400, 0x8000, 0x80FF, 0, 0x1234, 0x5678});
        const TResult R = Load(I);
        ASSERT_TRUE(R.Loaded);
        EXPECT_EQ(R.Bitmap.PixelColour(0, 0), TBitmap::Rgb(100, 100, 100));
        EXPECT_EQ(R.Bitmap.PixelColour(1, 0), TBitmap::Rgb(0, 0, 0));
    }
    {
        SCOPED_TRACE("12-bit packed RGB reads no further than its frame");
        TImage I;
        I.Rows = 1;
        I.Columns = 1;
        I.Samples = 3;
        I.Bits = 12;
        I.Photometric = "RGB";
        I.Pixels = {0x00, 0x00, 0x00, 0xFF, 0x0F};
        const TResult R = Load(I);
        ASSERT_TRUE(R.Loaded);
        EXPECT_EQ(R.Bitmap.PixelColour(0, 0), TBitmap::Rgb(0, 0, 255));
    }
}

// The result codes of the failure table and the frame size guard.
TEST(RenderResult, Codes)
{
    struct TCase {
        const char* Name;
        std::function<void(TImage&)> Change;
        bool Loaded;
        int32_t Code;
        bool Drawn;
    };
    const TCase Cases[] = {
        {"ordinary", [](TImage&) {}, true, 1, true},
        {"no rows or columns: frame size 0", [](TImage& I) { I.NoSize = true; }, true, 1, false},
        {"unknown photometric", [](TImage& I) { I.Photometric = "YBR_PARTIAL_422"; }, false, -1, false},
        {"bits allocated 24", [](TImage& I) { I.Bits = 24; }, true, 1, false},
        {"frame over 1 GiB", [](TImage& I) { I.Rows = I.Columns = 65535; I.Bits = 16; I.Samples = 3; I.Photometric = "RGB"; },
         false, -1, false},
        {"1-bit bitmap over 1 GiB", [](TImage& I) { I.Rows = I.Columns = 65535; I.Bits = 1; }, false, -1, false},
        {"YBR with one sample", [](TImage& I) { I.Photometric = "YBR_FULL"; }, true, 1, false},
        {"short pixel data reads as zeros", [](TImage& I) { I.Rows = 40; I.Columns = 40; }, true, 1, true},
        {"greyscale with two samples a pixel", [](TImage& I) { I.Samples = 2; }, true, 1, false},
        {"RGB with one sample a pixel", [](TImage& I) { I.Photometric = "RGB"; }, true, 1, false},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TImage I;
        I.Rows = 2;
        I.Columns = 2;
        I.Pixels = {1, 2, 3, 4};
        C.Change(I);
        const TResult R = Load(I);
        EXPECT_EQ(R.Loaded, C.Loaded);
        EXPECT_EQ(R.Code, C.Code);
        const bool Untouched = R.Bitmap.Width() == 3 && R.Bitmap.Height() == 3 && R.Bitmap.BitsPerPixel() == 24;
        EXPECT_EQ(!Untouched, C.Drawn);
    }
    TData28 Empty;
    TBitmap B;
    EXPECT_EQ(RenderImage(Empty, B, TransferSyntaxState{}), 0) << "no pixel data element";
    Empty.Rows = Empty.Columns = 65535;
    Empty.BitsAllocated = 32;
    Empty.SamplesPerPixel = 65535;
    EXPECT_EQ(FrameBytes(Empty), uint64_t(65535) * 65535 * 4 * 65535) << "no 32-bit overflow";
}

// A file that ends inside its pixel data reads as zeros from there on, and
// the renderer skips that part rather than working through it: the picture
// must be the one the zeros would give if they were written out.
TEST(RenderShortFrame, MissingBytesRenderAsWrittenZeros)
{
    const auto Signed16Palette = [](TImage& I) {
        I.Signed = 1;
        // First mapped value -10: a zero sample is entry 10, not 0.
        I.Extra = Palette(256, 0xFFF6, 16, Bytes(512, 0x40), Bytes(512, 0x80), Bytes(512, 0xC0));
    };
    struct TCase {
        const char* Name;
        std::function<void(TImage&)> Set;
        double Kept; // share of the pixel bytes the file holds
    };
    const TCase Cases[] = {
        {"8-bit grey", [](TImage&) {}, 0.4},
        {"8-bit grey, cut inside a row", [](TImage&) {}, 0.43},
        {"16-bit grey", [](TImage& I) { I.Bits = 16; }, 0.4},
        {"16-bit signed grey: zero is not black", [](TImage& I) { I.Bits = 16; I.Signed = 1; }, 0.5},
        {"16-bit signed grey, big endian", [](TImage& I) { I.Bits = 16; I.Signed = 1; I.Syntax = testgen::kExplicitBE; }, 0.5},
        {"16-bit grey, nothing held", [](TImage& I) { I.Bits = 16; }, 0.0},
        {"12-bit packed grey", [](TImage& I) { I.Bits = 12; I.Stored = 12; }, 0.3},
        {"1-bit grey", [](TImage& I) { I.Bits = 1; }, 0.5},
        {"32-bit signed grey", [](TImage& I) { I.Bits = 32; I.Signed = 1; }, 0.6},
        {"32-bit signed grey, big endian", [](TImage& I) { I.Bits = 32; I.Signed = 1; I.Syntax = testgen::kExplicitBE; }, 0.6},
        {"8-bit palette", [](TImage& I) { I.Photometric = "PALETTE COLOR"; I.Extra = Palette(256, 0, 8, Bytes(256, 9), Bytes(256, 7), Bytes(256, 5)); }, 0.4},
        {"16-bit signed palette: zero is entry 10",
         [&](TImage& I) { I.Photometric = "PALETTE COLOR"; I.Bits = 16; Signed16Palette(I); }, 0.4},
        {"16-bit palette of 4096 entries, drawn in 24 bits",
         [](TImage& I) { I.Photometric = "PALETTE COLOR"; I.Bits = 16; I.Extra = Palette(4096, 0, 16, Bytes(8192, 0x11), Bytes(8192, 0x22), Bytes(8192, 0x33)); }, 0.4},
        {"RGB", [](TImage& I) { I.Photometric = "RGB"; I.Samples = 3; }, 0.5},
        {"RGB planes, cut in the first plane", [](TImage& I) { I.Photometric = "RGB"; I.Samples = 3; I.Planar = 1; }, 0.2},
        {"RGB planes, cut in the second plane", [](TImage& I) { I.Photometric = "RGB"; I.Samples = 3; I.Planar = 1; }, 0.5},
        {"16-bit signed RGB", [](TImage& I) { I.Photometric = "RGB"; I.Samples = 3; I.Bits = 16; I.Signed = 1; }, 0.5},
        {"YBR_FULL", [](TImage& I) { I.Photometric = "YBR_FULL"; I.Samples = 3; }, 0.5},
        {"YBR_FULL_422", [](TImage& I) { I.Photometric = "YBR_FULL_422"; I.Samples = 3; }, 0.5},
        {"16-bit YBR_FULL", [](TImage& I) { I.Photometric = "YBR_FULL"; I.Samples = 3; I.Bits = 16; }, 0.5},
    };
    std::mt19937 Random(7);
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TImage I;
        I.Rows = 9;
        I.Columns = 6;
        C.Set(I);
        const uint64_t Size = I.Photometric == "YBR_FULL_422" ? uint64_t(I.Rows) * I.Columns * 2
                                                              : (uint64_t(I.Rows) * I.Columns * I.Bits + 7) / 8 * I.Samples;
        I.Pixels.assign(Size + Size % 2, 0);
        const size_t Kept = static_cast<size_t>(Size * C.Kept);
        for (size_t K = 0; K < Kept; ++K)
            I.Pixels[K] = static_cast<uint8_t>(Random() % 255 + 1); // no zero: the cut is where the zeros start
        const Bytes Whole = Build(I);
        const Bytes Cut(Whole.begin(), Whole.end() - static_cast<ptrdiff_t>(I.Pixels.size() - Kept));
        const TResult A = Load(Whole), B = Load(Cut);
        ASSERT_TRUE(A.Loaded && B.Loaded);
        EXPECT_EQ(A.Code, 1);
        EXPECT_EQ(B.Code, 1);
        ASSERT_EQ(A.Bitmap.Width(), B.Bitmap.Width());
        ASSERT_EQ(A.Bitmap.Height(), B.Bitmap.Height());
        ASSERT_EQ(A.Bitmap.BitsPerPixel(), B.Bitmap.BitsPerPixel());
        ASSERT_FALSE(A.Bitmap.Width() == 3 && A.Bitmap.Height() == 3) << "nothing drawn";
        int Differ = 0;
        for (int Y = 0; Y < A.Bitmap.Height(); ++Y)
            for (int X = 0; X < A.Bitmap.Width(); ++X)
                Differ += A.Bitmap.PixelColour(X, Y) != B.Bitmap.PixelColour(X, Y);
        EXPECT_EQ(Differ, 0);
    }
}

TEST(RenderHelpers, MulDivRoundsHalvesAwayFromZero)
{
    const struct {
        int32_t A, B, C, R;
    } Cases[] = {
        {1, 255, 2, 128}, {1, 255, 4095, 0}, {2047, 255, 4095, 127}, {4095, 255, 4095, 255},
        {-1, 255, 2, -128}, {1, -255, 2, -128}, {3, 1, -2, -2}, {1, 1, 3, 0}, {2, 1, 3, 1},
        {0x7FFFFFFF, 2, 2, 0x7FFFFFFF}, {5, 5, 0, -1},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(MulDiv(C.A, C.B, C.C), C.R) << C.A << "*" << C.B << "/" << C.C;
}

// Vector lanes and table give MulDiv's value for every sample of a range.
TEST(RenderHelpers, StretchIsExactForEveryRange)
{
    const struct {
        int32_t Min, Max;
        bool Signed;
    } Ranges[] = {
        {0, 1, false}, {0, 2, false}, {5, 8, false}, {0, 255, false}, {0, 256, false}, {100, 4195, false},
        {1, 65535, false}, {0, 65535, false}, {12345, 54321, false}, {-1024, 3071, true}, {-32768, 32767, true},
        {-1000, 1000, true}, {-3, -1, true}, {-32768, -32767, true},
        // The ends of the 16-bit lanes' ranges, and just past them.
        {7, 262, false}, {7, 261, false}, {0, 21845, false}, {0, 21846, false}, {-20000, 1845, true},
    };
    std::mt19937 Rng(3);
    for (const auto& R : Ranges) {
        SCOPED_TRACE(std::to_string(R.Min) + ".." + std::to_string(R.Max));
        std::vector<uint16_t> Src;
        for (int32_t V = R.Min; V <= R.Max; ++V)
            Src.push_back(static_cast<uint16_t>(V));
        std::shuffle(Src.begin(), Src.end(), Rng);
        for (bool Vector : {true, false}) {
            std::vector<uint8_t> Out(Src.size());
            Stretch16(Src.data(), Src.size(), R.Min, R.Max, R.Signed, Out.data(), Vector);
            for (size_t I = 0; I < Src.size(); ++I) {
                const int32_t V = R.Signed ? int32_t(int16_t(Src[I])) : int32_t(Src[I]);
                ASSERT_EQ(Out[I], MulDiv(V - R.Min, 255, R.Max - R.Min)) << "sample " << V << (Vector ? " vector" : " table");
            }
        }
    }
}

TEST(RenderHelpers, PlanarToInterleaved)
{
    std::vector<uint8_t> F = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_TRUE(PlanarToInterleaved(F.data(), 3, 2, F.size()));
    EXPECT_EQ(F, (std::vector<uint8_t>{1, 2, 5, 6, 9, 10, 3, 4, 7, 8, 11, 12}));
}

TEST(Extrout, MinMaxAndSwapMatchPlainLoops)
{
    std::mt19937 Rng(7);
    for (size_t Count : {1, 2, 15, 16, 17, 31, 32, 33, 100, 1001}) {
        std::vector<uint16_t> U(Count);
        for (auto& V : U)
            V = static_cast<uint16_t>(Rng());
        uint16_t Lo = 0, Hi = 0;
        extrout::FindMinMaxUnsigned16(U.data(), Count, Lo, Hi);
        EXPECT_EQ(Lo, *std::min_element(U.begin(), U.end())) << Count;
        EXPECT_EQ(Hi, *std::max_element(U.begin(), U.end())) << Count;
        std::vector<int16_t> S(U.begin(), U.end());
        int16_t SLo = 0, SHi = 0;
        extrout::FindMinMaxSigned16(S.data(), Count, SLo, SHi);
        EXPECT_EQ(SLo, *std::min_element(S.begin(), S.end())) << Count;
        EXPECT_EQ(SHi, *std::max_element(S.begin(), S.end())) << Count;

        std::vector<uint16_t> Out(Count);
        EXPECT_EQ(extrout::SwapBytes16(U.data(), Out.data(), Count), Count);
        for (size_t I = 0; I < Count; ++I)
            ASSERT_EQ(Out[I], static_cast<uint16_t>((U[I] >> 8) | (U[I] << 8)));
        extrout::SwapBytes16(Out.data(), Out.data(), Count);
        EXPECT_EQ(Out, U) << "in place";
    }
    uint16_t Lo = 11, Hi = 12;
    extrout::FindMinMaxUnsigned16(nullptr, 0, Lo, Hi);
    EXPECT_EQ(Lo, 11);
    EXPECT_EQ(Hi, 12);
}

namespace {

// A baseline JPEG of Width x Height made with libjpeg itself; colour with
// the luma sampled H x V times the chroma, or kept as R, G and B (H = 0).
Bytes MakeJPEG(int Width, int Height, int Components, const std::function<uint8_t(int, int, int)>& Sample, int H = 2,
               int V = 2)
{
    jpeg_compress_struct C;
    jpeg_error_mgr Err;
    C.err = jpeg_std_error(&Err);
    jpeg_create_compress(&C);
    unsigned char* Out = nullptr;
    unsigned long Size = 0;
    jpeg_mem_dest(&C, &Out, &Size);
    C.image_width = static_cast<JDIMENSION>(Width);
    C.image_height = static_cast<JDIMENSION>(Height);
    C.input_components = Components;
    C.in_color_space = Components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&C);
    if (Components == 3 && H == 0) {
        jpeg_set_colorspace(&C, JCS_RGB);
    } else if (Components == 3) {
        C.comp_info[0].h_samp_factor = H;
        C.comp_info[0].v_samp_factor = V;
    }
    jpeg_set_quality(&C, 100, TRUE);
    jpeg_start_compress(&C, TRUE);
    std::vector<uint8_t> Row(static_cast<size_t>(Width * Components));
    for (int Y = 0; Y < Height; ++Y) {
        for (int X = 0; X < Width; ++X)
            for (int K = 0; K < Components; ++K)
                Row[static_cast<size_t>(X * Components + K)] = Sample(X, Y, K);
        JSAMPROW P = Row.data();
        jpeg_write_scanlines(&C, &P, 1);
    }
    jpeg_finish_compress(&C);
    jpeg_destroy_compress(&C);
    Bytes B(Out, Out + Size);
    free(Out);
    return B;
}

struct TPlainError {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
};

// libjpeg's own picture of a stream, every row decoded, or its message
// number when it fails.
TBitmap PlainDecode(const Bytes& Stream, bool Grey, bool Rgb, int& Code)
{
    jpeg_decompress_struct D;
    TPlainError Err;
    D.err = jpeg_std_error(&Err.Pub);
    Err.Pub.output_message = [](j_common_ptr) {};
    Err.Pub.error_exit = [](j_common_ptr C) { std::longjmp(reinterpret_cast<TPlainError*>(C->err)->Jump, 1); };
    Code = 0;
    TBitmap B;
    if (setjmp(Err.Jump)) {
        Code = Err.Pub.msg_code;
        jpeg_destroy_decompress(&D);
        return B;
    }
    jpeg_create_decompress(&D);
    jpeg_mem_src(&D, Stream.data(), static_cast<unsigned long>(Stream.size()));
    jpeg_read_header(&D, TRUE);
    if (Rgb && D.num_components == 3 && !D.saw_JFIF_marker && !D.saw_Adobe_marker)
        D.jpeg_color_space = JCS_RGB;
    D.out_color_space = Grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&D);
    B.SetSize(static_cast<int>(D.output_width), static_cast<int>(D.output_height), Grey ? 8 : 24);
    while (D.output_scanline < D.output_height) {
        JSAMPROW Row = B.Row(static_cast<int>(D.output_scanline));
        jpeg_read_scanlines(&D, &Row, 1);
    }
    jpeg_finish_decompress(&D);
    jpeg_destroy_decompress(&D);
    return B;
}

} // namespace

// A stream whose coded data stops early (cut short, or a marker in the
// middle) leaves libjpeg decoding one flat colour to the last row; the
// renderer copies that colour down instead. The picture must be libjpeg's,
// byte for byte, whatever the sampling.
TEST(RenderJPEG, DataThatStopsEarlyGivesLibjpegsOwnPicture)
{
    const auto Noise = [](int X, int Y, int K) { return static_cast<uint8_t>((X * 37 + Y * 11 + K * 91 + (X * Y) % 7) % 256); };
    const auto Noise12 = [](int X, int Y, int K) { return static_cast<uint16_t>((X * 517 + Y * 131 + K * 1091 + (X * Y) % 97) % 4096); };
    const struct {
        const char* Name;
        int Bits, Components, H, V;
        TPhotometric Photometric;
    } Kinds[] = {
        {"grey", 8, 1, 1, 1, pmMonochrome2},
        {"colour 4:2:0", 8, 3, 2, 2, pmYBRFull422},
        {"colour 4:2:2", 8, 3, 2, 1, pmYBRFull422},
        {"colour 4:4:4", 8, 3, 1, 1, pmYBRFull422},
        {"colour as R, G, B", 8, 3, 0, 0, pmRGB},
        {"12-bit grey", 12, 1, 1, 1, pmMonochrome2},
        {"12-bit colour 4:2:0", 12, 3, 2, 2, pmYBRFull},
    };
    for (const auto& K : Kinds) {
        const Bytes Stream = K.Bits == 12 ? testgen::MakeJPEG12(72, 400, K.Components, Noise12)
                                          : MakeJPEG(72, 400, K.Components, Noise, K.H, K.V);
        const bool Grey = K.Components == 1;
        for (double At : {0.05, 0.3, 0.71}) {
            const size_t Cut = static_cast<size_t>(Stream.size() * At);
            Bytes Marked(Stream.begin(), Stream.begin() + static_cast<ptrdiff_t>(Cut));
            Marked.insert(Marked.end(), {0xFF, 0xBA});
            Marked.insert(Marked.end(), Stream.begin() + static_cast<ptrdiff_t>(Cut), Stream.end());
            const struct {
                const char* How;
                Bytes Data;
            } Damaged[] = {
                {"cut short", Bytes(Stream.begin(), Stream.begin() + static_cast<ptrdiff_t>(Cut))},
                {"a marker in the data", Marked},
            };
            for (const auto& D : Damaged) {
                SCOPED_TRACE(std::string(K.Name) + ", " + D.How + " at " + std::to_string(At));
                int WantCode = 0;
                TBitmap Want;
                if (K.Bits == 12) {
                    // The library's own samples, through the same stretch.
                    std::vector<uint16_t> Samples;
                    WantCode = testgen::PlainDecodeJPEG12(D.Data, Grey, Samples);
                    if (WantCode == 0)
                        StretchToBitmap(Samples.data(), 72, 400, K.Components, K.Photometric, false, Want);
                } else {
                    Want = PlainDecode(D.Data, Grey, K.Photometric == pmRGB, WantCode);
                }
                TBitmap Got;
                if (WantCode != 0) {
                    // A marker libjpeg does not know fails the whole decode.
                    EXPECT_THROW(DecodeJPEGToBitmap(D.Data.data(), D.Data.size(), K.Photometric, Got), EJPEGError);
                    continue;
                }
                DecodeJPEGToBitmap(D.Data.data(), D.Data.size(), K.Photometric, Got);
                ASSERT_EQ(Got.Width(), Want.Width());
                ASSERT_EQ(Got.Height(), Want.Height());
                ASSERT_EQ(Got.BitsPerPixel(), Want.BitsPerPixel());
                int FirstDiffering = -1;
                for (int Y = 0; Y < Want.Height() && FirstDiffering < 0; ++Y)
                    if (std::memcmp(Got.Row(Y), Want.Row(Y), Want.Stride()) != 0)
                        FirstDiffering = Y;
                EXPECT_EQ(FirstDiffering, -1);
            }
        }
    }
}

// 12-bit samples, whatever the syntax: the stream's own size, stretched over
// the frame's own range as uncompressed samples are.
TEST(RenderJPEG, TwelveBitStreamsAreStretchedOverTheirOwnRange)
{
    const struct {
        const char* Name;
        int Components;
        bool Progressive;
        TPhotometric Photometric;
        bool Signed;
    } Cases[] = {
        {"extended MONOCHROME2", 1, false, pmMonochrome2, false},
        {"progressive MONOCHROME2", 1, true, pmMonochrome2, false},
        {"extended MONOCHROME1", 1, false, pmMonochrome1, false},
        {"signed, two's complement in 12 bits", 1, false, pmMonochrome2, true},
        {"progressive RGB", 3, true, pmRGB, false},
        {"extended YBR_FULL", 3, false, pmYBRFull, false},
    };
    const int W = 45, H = 30;
    // 300 to 3860; chroma the same everywhere, so subsampling loses nothing.
    const auto Value = [](int X, int Y, int K) { return 300 + X * 50 + Y * 40 + K * 100; };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        const int Offset = C.Signed ? 2048 : 0;
        const Bytes Stream = testgen::MakeJPEG12(
            W, H, C.Components, [&](int X, int Y, int K) { return static_cast<uint16_t>((Value(X, Y, K) - Offset) & 0x0FFF); },
            C.Progressive);
        EXPECT_EQ(FramePrecision(Stream.data(), Stream.size()), 12);
        TBitmap B;
        DecodeJPEGToBitmap(Stream.data(), Stream.size(), C.Photometric, B, C.Signed);
        ASSERT_EQ(B.Width(), W);
        ASSERT_EQ(B.Height(), H);
        ASSERT_EQ(B.BitsPerPixel(), C.Components == 1 ? 8 : 24);
        if (C.Components == 1)
            EXPECT_EQ(B.ColourTable()[0], Grey(C.Photometric == pmMonochrome1 ? 255 : 0));
        const int Lo = Value(0, 0, 0), Hi = Value(W - 1, H - 1, C.Components - 1);
        int Worst = 0, Darkest = 255, Brightest = 0;
        for (int Y = 0; Y < H; ++Y)
            for (int X = 0; X < W; ++X)
                for (int K = 0; K < C.Components; ++K) {
                    const int Got = B.Row(Y)[X * C.Components + K];
                    Worst = std::max(Worst, std::abs(Got - MulDiv(Value(X, Y, K) - Lo, 255, Hi - Lo)));
                    Darkest = std::min(Darkest, Got);
                    Brightest = std::max(Brightest, Got);
                }
        EXPECT_LE(Worst, 2);
        EXPECT_EQ(Darkest, 0) << "the frame's own minimum";
        EXPECT_EQ(Brightest, 255) << "the frame's own maximum";
    }
}

// The decoder follows the stream's frame header: a 12-bit stream under the
// baseline UID is drawn, an 8-bit one under the extended UID too.
TEST(RenderJPEG, DecoderIsChosenByTheFrameHeaderNotTheSyntax)
{
    const Bytes Eight = MakeJPEG(24, 16, 1, [](int X, int, int) { return static_cast<uint8_t>(X * 10); });
    const Bytes Twelve = testgen::MakeJPEG12(24, 16, 1, [](int X, int, int) { return static_cast<uint16_t>(X * 170); });
    const Bytes Progressive =
        testgen::MakeJPEG12(24, 16, 1, [](int X, int, int) { return static_cast<uint16_t>(X * 170); }, true);
    const struct {
        const char* Name;
        const Bytes& Stream;
        const char* Syntax;
        int Precision, BitsAllocated;
    } Cases[] = {
        {"8-bit, baseline", Eight, testgen::kJPEGBaseline, 8, 8},
        {"8-bit, extended", Eight, "1.2.840.10008.1.2.4.51", 8, 8},
        {"12-bit, extended", Twelve, "1.2.840.10008.1.2.4.51", 12, 16},
        {"12-bit, labelled baseline", Twelve, testgen::kJPEGBaseline, 12, 16},
        {"12-bit progressive", Progressive, "1.2.840.10008.1.2.4.55", 12, 16},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        EXPECT_EQ(FramePrecision(C.Stream.data(), C.Stream.size()), C.Precision);
        DataSet S(false, false);
        S.US(0x0028, 0x0002, 1);
        S.Add(0x0028, 0x0004, "CS", "MONOCHROME2");
        S.US(0x0028, 0x0010, 16);
        S.US(0x0028, 0x0011, 24);
        S.US(0x0028, 0x0100, static_cast<uint16_t>(C.BitsAllocated));
        S.US(0x0028, 0x0101, static_cast<uint16_t>(C.Precision));
        S.US(0x0028, 0x0102, static_cast<uint16_t>(C.Precision - 1));
        S.Encapsulated({C.Stream});
        const TResult R = Load(testgen::Part10(C.Syntax, S));
        ASSERT_TRUE(R.Loaded);
        ASSERT_EQ(R.Bitmap.Width(), 24);
        ASSERT_EQ(R.Bitmap.BitsPerPixel(), 8);
        EXPECT_LE(R.Bitmap.Row(8)[0], 2);
        EXPECT_GE(R.Bitmap.Row(8)[23], 229);
    }
    const Bytes NotJPEG = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(FramePrecision(NotJPEG.data(), NotJPEG.size()), 0);
    EXPECT_EQ(FramePrecision(Twelve.data(), 20), 0) << "cut before the frame header";
}

TEST(RenderJPEG, StreamsDecodeAtTheirOwnSize)
{
    const auto Ramp = [](int X, int Y, int K) { return static_cast<uint8_t>((X * 4 + Y * 2 + K * 60) % 256); };
    const Bytes GreyStream = MakeJPEG(37, 21, 1, Ramp);
    TBitmap B;
    DecodeJPEGToBitmap(GreyStream.data(), GreyStream.size(), pmMonochrome2, B);
    ASSERT_EQ(B.Width(), 37);
    ASSERT_EQ(B.Height(), 21);
    ASSERT_EQ(B.BitsPerPixel(), 8);
    for (int I = 0; I < 256; ++I)
        ASSERT_EQ(B.ColourTable()[static_cast<size_t>(I)], Grey(I));
    int Worst = 0;
    for (int Y = 0; Y < 21; ++Y)
        for (int X = 0; X < 37; ++X)
            Worst = std::max(Worst, std::abs(int(B.Row(Y)[X]) - int(Ramp(X, Y, 0))));
    EXPECT_LE(Worst, 2);

    const Bytes ColourStream = MakeJPEG(16, 8, 3, [](int X, int, int K) { return static_cast<uint8_t>(K == 0 ? 200 : X * 8); });
    DecodeJPEGToBitmap(ColourStream.data(), ColourStream.size(), pmYBRFull422, B);
    ASSERT_EQ(B.BitsPerPixel(), 24);
    ASSERT_EQ(B.Width(), 16);
    EXPECT_NEAR(B.Row(3)[0], 200, 6);

    // Through the loader: an encapsulated baseline stream in a file whose
    // Rows and Columns disagree with the stream's.
    DataSet S(false, false);
    S.US(0x0028, 0x0002, 1);
    S.Add(0x0028, 0x0004, "CS", "MONOCHROME1");
    S.US(0x0028, 0x0010, 5);
    S.US(0x0028, 0x0011, 5);
    S.US(0x0028, 0x0100, 8);
    S.Encapsulated({GreyStream});
    const TResult R = Load(testgen::Part10(testgen::kJPEGBaseline, S));
    ASSERT_TRUE(R.Loaded);
    EXPECT_EQ(R.Bitmap.Width(), 37);
    EXPECT_EQ(R.Bitmap.Height(), 21);
    EXPECT_EQ(R.Bitmap.ColourTable()[0], Grey(255)) << "MONOCHROME1 table";
}

TEST(RenderJPEG, BrokenStreamsRaiseWithTheLibraryNumber)
{
    const Bytes Good = MakeJPEG(8, 8, 1, [](int X, int, int) { return static_cast<uint8_t>(X); });
    const Bytes Good12 = testgen::MakeJPEG12(8, 8, 1, [](int X, int, int) { return static_cast<uint16_t>(X * 500); });
    // A 12-bit frame header (SOF1 here) claiming Height x Width.
    const auto Claiming = [&](uint16_t Height, uint16_t Width, bool Progressive) {
        Bytes S = testgen::MakeJPEG12(16, 16, 1, [](int X, int, int) { return static_cast<uint16_t>(X * 200); }, Progressive);
        for (size_t P = 2; P + 9 < S.size(); P += 2 + (size_t(S[P + 2]) << 8 | S[P + 3]))
            if (S[P + 1] == 0xC1 || S[P + 1] == 0xC2) {
                S[P + 5] = uint8_t(Height >> 8), S[P + 6] = uint8_t(Height);
                S[P + 7] = uint8_t(Width >> 8), S[P + 8] = uint8_t(Width);
                break;
            }
        return S;
    };
    Bytes WrongPrecision = Good12;
    for (size_t P = 2; P + 4 < WrongPrecision.size(); P += 2 + (size_t(WrongPrecision[P + 2]) << 8 | WrongPrecision[P + 3]))
        if (WrongPrecision[P + 1] == 0xC1) {
            WrongPrecision[P + 4] = 16;
            break;
        }
    const struct {
        const char* Name;
        Bytes Stream;
    } Cases[] = {
        {"empty", {}},
        {"not a JPEG", {1, 2, 3, 4, 5, 6}},
        {"header only", Bytes(Good.begin(), Good.begin() + 20)},
        {"12-bit, header only", Bytes(Good12.begin(), Good12.begin() + 40)},
        {"16-bit DCT", WrongPrecision},
        // Samples of more than kMaxFrameBytes: refused from the header.
        {"12-bit, 65535 squared", Claiming(65535, 65535, false)},
        // The whole image as coefficients, which this library would hold
        // without limit.
        {"12-bit progressive, 20000 squared", Claiming(20000, 20000, true)},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TBitmap B;
        B.SetSize(3, 3, 8);
        try {
            DecodeJPEGToBitmap(C.Stream.data(), C.Stream.size(), pmMonochrome2, B);
            ADD_FAILURE() << "no error raised";
        } catch (const EJPEGError& E) {
            const std::string M = E.what();
            EXPECT_EQ(M.rfind("JPEG error #", 0), 0u) << M;
            EXPECT_GT(std::stoi(M.substr(12)), 0) << M;
        }
        EXPECT_EQ(B.Width(), 3) << "the caller's bitmap is left alone";
    }
    DataSet S(false, false);
    S.US(0x0028, 0x0002, 1);
    S.Add(0x0028, 0x0004, "CS", "MONOCHROME2");
    S.US(0x0028, 0x0010, 8);
    S.US(0x0028, 0x0011, 8);
    S.US(0x0028, 0x0100, 8);
    S.Encapsulated({Bytes{0xFF, 0xD8, 0xFF, 0xC0, 0, 2}});
    EXPECT_THROW(Load(testgen::Part10(testgen::kJPEGBaseline, S)), EJPEGError) << "passed on by the loader";
}
