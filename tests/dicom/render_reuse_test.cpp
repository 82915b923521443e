// Bitmaps made again from the pixel block of the last one: the block a
// bitmap lets go of is kept for the next, so every byte the renderers leave
// alone must come out as a fresh bitmap would have it.
#include "dicom.h"

#include "dicomgen.h"
#include "greyscale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

using namespace dicom;
using testgen::Bytes;
using testgen::DataSet;

namespace {

// Leaves a block full of 0xA5 in the thread's spare slot.
void DirtySpare(int Width, int Height, int Bpp)
{
    TBitmap::ReleaseSpare();
    TBitmap B;
    B.SetSize(Width, Height, Bpp);
    std::memset(B.Bits(), 0xA5, B.ByteCount());
}

// What the stretch gives: the frame's own range mapped to 0..255, or the
// high byte of a flat frame's value.
uint8_t Display(int32_t V, int32_t Min, int32_t Max)
{
    if (Max == Min)
        return static_cast<uint8_t>(static_cast<uint16_t>(V) >> 8);
    return static_cast<uint8_t>(MulDiv(V - Min, 255, Max - Min));
}

} // namespace

// The spare block: taken back by a bitmap of its own size or a little less,
// cleared for SetSize, left alone for a much smaller or a larger bitmap.
TEST(BitmapSpare, TakenBackAndCleared)
{
    struct TSize {
        int W, H, Bpp;
    };
    struct TCase {
        const char* Name;
        TSize First, Second;
        bool Recycled;
    };
    const TCase Cases[] = {
        {"same size", {512, 512, 8}, {512, 512, 8}, true},
        {"same bytes, other format", {300, 100, 24}, {900, 100, 8}, true},
        {"odd width, same size", {13, 7, 24}, {13, 7, 24}, true},
        {"a little smaller", {512, 512, 8}, {500, 400, 8}, true},
        {"much smaller", {2048, 2500, 8}, {64, 64, 8}, false},
        {"larger", {64, 64, 8}, {512, 512, 8}, false},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        for (const bool Zeroed : {true, false}) {
            SCOPED_TRACE(Zeroed ? "SetSize" : "SetSizeForOverwrite");
            DirtySpare(C.First.W, C.First.H, C.First.Bpp);
            const size_t Kept = TBitmap::SpareBytes();
            ASSERT_GT(Kept, 0u);
            TBitmap B;
            if (Zeroed)
                B.SetSize(C.Second.W, C.Second.H, C.Second.Bpp);
            else
                B.SetSizeForOverwrite(C.Second.W, C.Second.H, C.Second.Bpp);
            ASSERT_EQ(B.Width(), C.Second.W);
            ASSERT_EQ(B.Height(), C.Second.H);
            EXPECT_EQ(B.Recycled(), C.Recycled);
            // A block not taken stays for a later bitmap.
            EXPECT_EQ(TBitmap::SpareBytes(), C.Recycled ? 0u : Kept);
            if (Zeroed) {
                const uint8_t* P = B.Bits();
                EXPECT_TRUE(std::all_of(P, P + B.ByteCount(), [](uint8_t X) { return X == 0; }));
            }
            // Writing the whole block is safe whatever it came from.
            std::memset(B.Bits(), 0x5A, B.ByteCount());
        }
    }
    TBitmap::ReleaseSpare();
    EXPECT_EQ(TBitmap::SpareBytes(), 0u);
}

// A block beyond the limit is dropped, not kept: made lazily, never touched.
TEST(BitmapSpare, LargeBlocksAreNotKept)
{
    TBitmap::ReleaseSpare();
    {
        TBitmap Big;
        Big.SetSize(65 * 1024, 1024, 8);
    }
    EXPECT_EQ(TBitmap::SpareBytes(), 0u);
}

// 16-bit greyscale files rendered into a dirty recycled block: pixels,
// padding columns and the rows a short file lacks all as from a fresh one.
TEST(RenderReuse, DirtyBlockRendersAsFresh)
{
    struct TCase {
        const char* Name;
        uint16_t Rows, Columns;
        bool Signed;
        bool Big;
        double Kept; // share of the rows the file holds
        bool Flat;
    };
    const TCase Cases[] = {
        {"unsigned, no padding", 16, 64, false, false, 1.0, false},
        {"signed, 510 columns", 6, 510, true, false, 1.0, false},
        {"unsigned, 13 columns", 9, 13, false, false, 1.0, false},
        {"signed, big endian, 7 columns", 5, 7, true, true, 1.0, false},
        {"flat frame", 4, 21, false, false, 1.0, true},
        {"signed, file ends early", 12, 30, true, false, 0.5, false},
        {"unsigned, file ends early", 10, 17, false, false, 0.3, false},
    };
    const testgen::TempDir Dir("render-reuse");
    std::mt19937 Random(33);
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        const int N = C.Rows * C.Columns;
        std::vector<int32_t> Samples(static_cast<size_t>(N));
        for (auto& S : Samples)
            S = C.Flat ? 1000 : C.Signed ? int32_t(Random() % 4000) - 2000 : int32_t(Random() % 60000);
        Bytes Pixels;
        for (int32_t V : Samples) {
            const auto U = static_cast<uint16_t>(V);
            Pixels.push_back(static_cast<uint8_t>(C.Big ? U >> 8 : U));
            Pixels.push_back(static_cast<uint8_t>(C.Big ? U : U >> 8));
        }
        const int HeldRows = static_cast<int>(C.Rows * C.Kept);
        DataSet S(false, C.Big);
        S.US(0x0028, 0x0002, 1);
        S.Add(0x0028, 0x0004, "CS", "MONOCHROME2");
        S.US(0x0028, 0x0010, C.Rows).US(0x0028, 0x0011, C.Columns);
        S.US(0x0028, 0x0100, 16).US(0x0028, 0x0101, 16).US(0x0028, 0x0102, 15);
        S.US(0x0028, 0x0103, C.Signed ? 1 : 0);
        S.AddRaw(0x7FE0, 0x0010, "OW", Pixels);
        Bytes File = testgen::Part10(C.Big ? testgen::kExplicitBE : testgen::kExplicitLE, S);
        // A short file: the pixel element declares the whole frame, the file
        // stops after the rows it holds.
        File.resize(File.size() - size_t(C.Rows - HeldRows) * C.Columns * 2);
        const std::string Name = Dir.Path + "/image.dcm";
        testgen::WriteFile(Name, File);

        // Missing rows are zeros, and count in the range.
        std::fill(Samples.begin() + HeldRows * C.Columns, Samples.end(), 0);
        const auto [Lo, Hi] = std::minmax_element(Samples.begin(), Samples.end());
        const int W = (C.Columns + 7) / 8 * 8;
        DirtySpare(W, C.Rows, 8);
        TBitmap Out;
        THeaderData H;
        ASSERT_TRUE(LoadDICOMFile(Name, Out, H));
        ASSERT_EQ(Out.Width(), W);
        ASSERT_EQ(Out.Height(), C.Rows);
        EXPECT_TRUE(Out.Recycled()) << "the dirty block was not used: the case tests nothing";
        for (int R = 0; R < C.Rows; ++R) {
            const uint8_t* Line = Out.Row(R);
            for (int X = 0; X < C.Columns; ++X)
                ASSERT_EQ(Line[X], Display(Samples[size_t(R) * C.Columns + X], *Lo, *Hi)) << R << "," << X;
            for (size_t X = C.Columns; X < Out.Stride(); ++X)
                ASSERT_EQ(Line[X], 0) << "padding of row " << R;
        }
    }
    TBitmap::ReleaseSpare();
}

// Frames decoded at their own size (lossless JPEG and the like) stretched
// into a dirty recycled block: 8-bit and 24-bit rows of every padding.
TEST(RenderReuse, DecodedFramesFillEveryByte)
{
    std::mt19937 Random(5);
    for (const int Components : {1, 3})
        for (int Width = 1; Width <= 9; ++Width) {
            SCOPED_TRACE(testing::Message() << Components << " components, " << Width << " wide");
            const int Height = 5;
            std::vector<uint16_t> Samples(size_t(Width) * Height * Components);
            for (auto& S : Samples)
                S = static_cast<uint16_t>(Random() % 4096);
            const auto [Lo, Hi] = std::minmax_element(Samples.begin(), Samples.end());
            DirtySpare(Width, Height, Components == 1 ? 8 : 24);
            TBitmap Out;
            StretchToBitmap(Samples.data(), Width, Height, Components, pmMonochrome2, false, Out);
            ASSERT_EQ(Out.Width(), Width);
            EXPECT_TRUE(Out.Recycled());
            const size_t RowBytes = size_t(Width) * Components;
            for (int R = 0; R < Height; ++R) {
                const uint8_t* Line = Out.Row(R);
                for (size_t X = 0; X < RowBytes; ++X)
                    ASSERT_EQ(Line[X], Display(Samples[R * RowBytes + X], *Lo, *Hi)) << R << "," << X;
                for (size_t X = RowBytes; X < Out.Stride(); ++X)
                    ASSERT_EQ(Line[X], 0) << "padding of row " << R;
            }
        }
    TBitmap::ReleaseSpare();
}
