#include "render.h"

#include "colour.h"
#include "encaps.h"
#include "errors.h"
#include "extrout.h"
#include "greyscale.h"
#include "palette.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

namespace dicom {

namespace {

// A zero-filled block from calloc: large ones come as fresh pages, so the
// zeros cost nothing until written.
template <typename T>
class TZeroedBlock {
public:
    void Allocate(uint64_t Count)
    {
        P.reset(static_cast<T*>(std::calloc(static_cast<size_t>(std::max<uint64_t>(Count, 1)), sizeof(T))));
        if (!P)
            throw std::bad_alloc();
    }
    T* get() const { return P.get(); }

private:
    struct TFree {
        void operator()(T* X) const { std::free(X); }
    };
    std::unique_ptr<T[], TFree> P;
};

// The frame being rendered. Uncompressed frames are read into a zeroed
// block, of which a short file fills only the start; decoded frames stay in
// Data.Pixels. Either way the block holds at least the frame size rounded up
// to a whole 32-bit word, zeros after the data, so word-wise swaps and casts
// never reach past it. Present counts the bytes from the start that may be
// other than zero.
struct TFrame {
    TZeroedBlock<uint8_t> Own;
    uint8_t* Bytes = nullptr;
    uint64_t Size = 0;
    uint64_t Present = 0;
};

uint64_t PaddedSize(uint64_t Count) { return (Count + 3) & ~uint64_t(3); }

bool ReadFrame(TData28& Data, const TransferSyntaxState& TS, uint32_t FrameNumber, uint64_t Bytes, TFrame& Frame)
{
    if (TS.Compressed) {
        if (!DecodeCompressedFrame(Data, TS))
            return false;
        // Never trust the decoder's count to match the header's (a JPEG
        // stream is decoded by its own measure). A decoded frame short of
        // the header's goes into a zeroed block of the full size, of which
        // only its own part is ever touched.
        Data.FrameSize = std::min<uint64_t>(Data.FrameSize, Data.Pixels.size());
        Frame.Size = Bytes;
        if (TS.Compression != ckJPEG && Data.Pixels.size() < PaddedSize(Bytes)) {
            Frame.Own.Allocate(PaddedSize(Bytes));
            if (!Data.Pixels.empty())
                std::memcpy(Frame.Own.get(), Data.Pixels.data(), Data.Pixels.size());
            Frame.Bytes = Frame.Own.get();
            Frame.Present = std::min<uint64_t>(Data.Pixels.size(), Bytes);
            std::vector<uint8_t>().swap(Data.Pixels);
            return true;
        }
        Frame.Bytes = Data.Pixels.data();
        Frame.Present = Bytes;
        return true;
    }
    TStream* Stream = Data.PixelData->Stream;
    if (Stream == nullptr)
        return false;
    Frame.Own.Allocate(PaddedSize(Bytes));
    Frame.Bytes = Frame.Own.get();
    Frame.Size = Bytes;
    size_t Got = 0;
    try {
        Stream->Seek(Data.PixelData->ValueOffset + static_cast<int64_t>(FrameNumber - 1) * static_cast<int64_t>(Bytes));
        // An even count keeps the last byte pair whole for a word swap.
        Got = Stream->Read(Frame.Bytes, static_cast<size_t>((Bytes + 1) & ~uint64_t(1)));
    } catch (const EDicomError&) {
        return false;
    }
    Frame.Present = Got;
    return true;
}

void SwapBytes32(uint8_t* P, uint64_t Words)
{
    for (uint64_t I = 0; I < Words; ++I, P += 4) {
        uint32_t V;
        std::memcpy(&V, P, 4);
        V = __builtin_bswap32(V);
        std::memcpy(P, &V, 4);
    }
}

// Packed 12-bit samples, two in three bytes; at most Count samples, and never
// a byte beyond Size.
void Unpack12(const uint8_t* Src, uint64_t Size, uint16_t* Out, uint64_t Count)
{
    uint64_t N = 0, I = 0;
    for (; I + 3 <= Size && N < Count; I += 3) {
        const uint8_t B0 = Src[I], B1 = Src[I + 1], B2 = Src[I + 2];
        Out[N++] = static_cast<uint16_t>(B0 * 16 + (B1 & 15));
        if (N < Count)
            Out[N++] = static_cast<uint16_t>((B2 & 15) * 256 + (B1 >> 4) * 16 + (B2 >> 4));
    }
    if (N < Count && I + 2 <= Size)
        Out[N++] = static_cast<uint16_t>(Src[I] * 16 + (Src[I + 1] & 15));
    std::fill(Out + N, Out + Count, uint16_t(0));
}

// 1-bit samples, least significant bit first, as 0 or 1 per byte.
void Unpack1(const uint8_t* Src, uint8_t* Out, uint64_t Count)
{
    for (uint64_t I = 0; I < Count; ++I)
        Out[I] = (Src[I >> 3] >> (I & 7)) & 1;
}

} // namespace

uint64_t FrameBytes(const TData28& Data)
{
    return ((uint64_t(Data.Rows) * Data.Columns * Data.BitsAllocated + 7) / 8) * Data.SamplesPerPixel;
}

int32_t MulDiv(int32_t A, int32_t B, int32_t C)
{
    if (C == 0)
        return -1;
    const int64_t P = int64_t(A) * B;
    int64_t Q = P / C;
    const int64_t R = P % C;
    if (2 * (R < 0 ? -R : R) >= (C < 0 ? -int64_t(C) : int64_t(C)))
        Q += (P < 0) != (C < 0) ? -1 : 1;
    return static_cast<int32_t>(Q);
}

namespace {

// The first Samples samples of each of Planes planes, PlaneBytes apart,
// interleaved over the start of the frame. Gives the bytes written.
uint64_t InterleaveSamples(uint8_t* Frame, int Planes, int SampleBytes, uint64_t PlaneBytes, uint64_t Samples)
{
    std::vector<uint8_t> Out(Samples * Planes * SampleBytes);
    uint8_t* D = Out.data();
    for (uint64_t K = 0; K < Samples; ++K)
        for (int P = 0; P < Planes; ++P) {
            std::memcpy(D, Frame + P * PlaneBytes + K * SampleBytes, static_cast<size_t>(SampleBytes));
            D += SampleBytes;
        }
    std::memcpy(Frame, Out.data(), Out.size());
    return Out.size();
}

} // namespace

bool PlanarToInterleaved(uint8_t* Frame, int Planes, int SampleBytes, uint64_t Count)
{
    if (Planes < 2 || SampleBytes < 1)
        return true;
    const uint64_t PlaneBytes = Count / static_cast<uint64_t>(Planes);
    InterleaveSamples(Frame, Planes, SampleBytes, PlaneBytes, PlaneBytes / static_cast<uint64_t>(SampleBytes));
    return true;
}

namespace {

// PlanarToInterleaved for a frame whose bytes from Have on are zero: while
// those lie in the first plane only the samples they reach move, and the
// zeros of the other planes land after them. Gives the new extent.
uint64_t InterleavePresent(uint8_t* Frame, int Planes, int SampleBytes, uint64_t Count, uint64_t Have)
{
    if (Planes < 2 || SampleBytes < 1)
        return Have;
    const uint64_t PlaneBytes = Count / static_cast<uint64_t>(Planes);
    if (Have >= PlaneBytes) {
        PlanarToInterleaved(Frame, Planes, SampleBytes, Count);
        return Count;
    }
    const uint64_t Samples =
        std::min((Have + SampleBytes - 1) / static_cast<uint64_t>(SampleBytes), PlaneBytes / static_cast<uint64_t>(SampleBytes));
    return std::max<uint64_t>(InterleaveSamples(Frame, Planes, SampleBytes, PlaneBytes, Samples), Have);
}

} // namespace

namespace {

int32_t Render(TData28& Data, TBitmap& Bitmap, const TransferSyntaxState& TS)
{
    if (!Data.PixelData)
        return 0;
    const uint64_t Bytes = FrameBytes(Data);
    if (Bytes < 1)
        return 1;
    if (Bytes > kMaxFrameBytes)
        return -1;
    if (!TS.Compressed)
        Data.FrameSize = Bytes;
    const TPhotometric Pm = Data.Photometric;
    if (Pm == pmOther)
        return -1;

    const int Rows = Data.Rows, Columns = Data.Columns;
    const int Samples = Data.SamplesPerPixel;
    const int Bits = Data.BitsAllocated;
    const bool Grey = IsGrey(Pm);
    const bool Palette = Pm == pmPalette;
    const bool YBR = Pm == pmYBRFull || Pm == pmYBRFull422;
    const int W = Grey && Columns % 8 != 0 ? (Columns + 7) / 8 * 8 : Columns;
    const uint64_t Pixels = uint64_t(Rows) * Columns;
    const uint64_t N = Pixels * Samples;
    // A 1-bit frame grows eightfold on the way to the bitmap, a large
    // palette threefold.
    const int OutBytes = Grey ? 1 : 3;
    if (!(TS.Compressed && TS.Compression == ckJPEG) && uint64_t(Rows) * W * OutBytes > kMaxFrameBytes)
        return -1;

    if (!TS.Compressed && Grey && Samples == 1 && Bits == 16) {
        if (Data.PixelData->Stream == nullptr)
            return -1;
        TBitmap Out;
        const int32_t Result = Data.PixelSigned ? RenderGrey16<int16_t>(Data, TS, Out, W)
                                                : RenderGrey16<uint16_t>(Data, TS, Out, W);
        if (Result == 1)
            Bitmap = std::move(Out);
        return Result;
    }

    // A sample width that is never drawn needs no frame: a few bytes of RLE
    // would otherwise have a frame of hundreds of megabytes decoded first.
    const bool Drawable = Bits == 1 || Bits == 8 || Bits == 12 || Bits == 16 || Bits == 32;
    if (!Drawable && !(TS.Compressed && TS.Compression == ckJPEG))
        return 1;

    // Greyscale and palette images are one sample a pixel, colour ones
    // three; other counts are nothing we can draw (and would otherwise
    // multiply a small file's frame by thousands).
    if (!(TS.Compressed && TS.Compression == ckJPEG) && Samples != ((Grey || Palette) ? 1 : 3))
        return 1;

    TFrame Frame;
    if (!ReadFrame(Data, TS, 1, Bytes, Frame))
        return -1;

    if (TS.Compressed && TS.Compression == ckJPEG) {
        DecodeJPEGToBitmap(Data.Pixels.data(), static_cast<size_t>(Data.FrameSize), Pm, Bitmap, Data.PixelSigned);
        return 1;
    }

    if (Bits != 1 && Bits != 8 && Bits != 12 && Bits != 16 && Bits != 32)
        return 1;
    // YBR is three samples a pixel or nothing we can draw.
    if (YBR && Samples != 3)
        return 1;

    uint8_t* F = Frame.Bytes;
    // Only the first Have bytes of the frame may be other than zero. Every
    // step below works on that part and knows what the zeros after it become,
    // so a short file declaring a huge frame costs what the file holds.
    uint64_t Have = std::min(Frame.Present, Bytes);
    // Big-endian words back to file order of a little-endian data set: OW
    // holds its bytes in 16-bit words whatever the samples are; 32-bit
    // samples are whole big-endian words.
    if (TS.BigEndian && !TS.Compressed) {
        const std::string VR = Data.PixelData->VRString();
        if (Bits == 32 && VR != "OB")
            SwapBytes32(F, std::min(Bytes, PaddedSize(Have)) / 4);
        else if (Bits != 32 && VR == "OW")
            extrout::SwapBytes16(F, F, (std::min(Bytes, Have) + 1) / 2);
    }
    if (Data.PlanarConfiguration == 1)
        Have = InterleavePresent(F, Samples, Bits / 8, Bytes, Have);

    // The display buffer: one byte per sample (the frame itself for 8 bits),
    // or for palettes one index per pixel. Its first Shown bytes (or
    // indices) are computed; the rest hold Absent, what a zero sample shows.
    TZeroedBlock<uint8_t> DisplayOwn;
    uint8_t* Display = nullptr;
    uint64_t Shown = 0;
    uint8_t Absent = 0;
    TZeroedBlock<uint16_t> Indices;
    uint16_t AbsentIndex = 0;
    const auto NewDisplay = [&](uint64_t Count) {
        DisplayOwn.Allocate(Count);
        Display = DisplayOwn.get();
    };

    int32_t First = Data.RedDescriptor.FirstMapped;
    if (Data.PixelSigned)
        First = static_cast<int16_t>(Data.RedDescriptor.FirstMapped);
    // Without a descriptor every sample falls on the one (black) entry.
    const int32_t Last = First + std::max<int32_t>(Data.RedDescriptor.Entries, 1) - 1;
    const auto ToIndices = [&](const auto* Src, uint64_t Count) {
        Indices.Allocate(Pixels);
        Shown = std::min(Pixels, Count);
        PaletteIndices(Src, Shown, 1, First, Last, Indices.get());
        const int8_t Zero = 0;
        PaletteIndices(&Zero, 1, 1, First, Last, &AbsentIndex);
    };

    TZeroedBlock<uint16_t> Unpacked;
    switch (Bits) {
    case 1: {
        NewDisplay(N);
        Shown = std::min(N, Have * 8);
        Unpack1(F, Display, Shown);
        if (Palette)
            ToIndices(Display, Shown);
        else if (Grey)
            for (uint64_t I = 0; I < Shown; ++I)
                Display[I] = Display[I] ? 255 : 0;
        else
            return 1;
        break;
    }
    case 8:
        if (Palette) {
            if (Data.PixelSigned)
                ToIndices(reinterpret_cast<const int8_t*>(F), Have);
            else
                ToIndices(F, Have);
        } else if (YBR) {
            // A zero Y is black, so only the groups the data reaches convert.
            const bool Is422 = Pm == pmYBRFull422;
            const uint64_t Stored = Is422 ? Bytes * 2 / 3 : Bytes;
            const uint64_t Group = Is422 ? 4 : 3;
            const uint64_t Source = std::min(Stored, (Have + Group - 1) / Group * Group);
            NewDisplay(Bytes);
            if (!ConvertYBRToRGB(F, Display, Bytes, Is422, Source))
                return 1;
            Shown = Source / Group * (Is422 ? 6 : 3);
        } else {
            Display = F;
            Shown = Have;
        }
        break;
    case 12:
    case 16:
    case 32: {
        const void* Src = F;
        uint64_t Count = N; // samples that may be other than zero
        if (Bits == 12) {
            Count = std::min(N, Have * 2 / 3 + 2);
            Unpacked.Allocate(N);
            Unpack12(F, Bytes, Unpacked.get(), Count);
            Src = Unpacked.get();
        } else if (Bits == 16) {
            Count = std::min(N, (Have + 1) / 2);
            const int D = int(Data.BitsStored) - int(Data.HighBit) - 1;
            if (D > 0) {
                auto* S = reinterpret_cast<uint16_t*>(F);
                for (uint64_t I = 0; I < Count; ++I)
                    S[I] = D >= 16 ? 0 : static_cast<uint16_t>(S[I] << D); // all bits gone
            }
        } else {
            Count = std::min(N, (Have + 3) / 4);
        }
        const auto Each = [&](auto Tag) {
            using T = decltype(Tag);
            const T* S = static_cast<const T*>(Src);
            if (Palette) {
                ToIndices(S, Count);
                return;
            }
            if (YBR) {
                // Stored as Y0 Y1 Cb Cr for 4:2:2, two thirds of a full frame.
                const bool Is422 = Pm == pmYBRFull422;
                const uint64_t Stored = Is422 ? Pixels * 2 : Pixels * 3;
                const uint64_t Group = Is422 ? 4 : 3;
                const uint64_t Source = std::min(Stored, (Count + Group - 1) / Group * Group);
                TZeroedBlock<uint8_t> Codes;
                Codes.Allocate(Stored);
                TopBitsFrame(S, Source, Codes.get(), Data.BitsStored);
                NewDisplay(Pixels * 3);
                ConvertYBRToRGB(Codes.get(), Display, Pixels * 3, Is422, Source);
                Shown = Source / Group * (Is422 ? 6 : 3);
                return;
            }
            NewDisplay(N);
            Absent = StretchFrame(S, N, Count, Display);
            Shown = Count;
        };
        if (Bits == 32) {
            if (Data.PixelSigned)
                Each(int32_t{});
            else
                Each(uint32_t{});
        } else if (Data.PixelSigned) {
            Each(int16_t{});
        } else {
            Each(uint16_t{});
        }
        break;
    }
    }

    // A zero sample that shows as other than zero has to be written out.
    if (Absent != 0 && Display != nullptr && Shown < N) {
        std::memset(Display + Shown, Absent, static_cast<size_t>(N - Shown));
        Shown = N;
    }
    // Rows from ShownRows on hold only zeros, already there in a fresh bitmap.
    const uint64_t PerRow = uint64_t(Columns) * ((Grey || Palette) ? 1 : 3);
    const int ShownRows = static_cast<int>(std::min<uint64_t>(Rows, (Shown + PerRow - 1) / PerRow));
    TBitmap Out;
    if (Palette) {
        const std::vector<uint32_t> Table = LoadPaletteColourTable(Data, TS);
        FillPalette(Out, Table, Indices.get(), Shown, AbsentIndex, Rows, Columns, W, ShownRows);
    } else if (Grey) {
        Out.SetSize(W, Rows, 8);
        MakeGreyColourTable(Out.ColourTable(), Pm);
        FillIndexed(Out, Display, ShownRows, Columns, 1);
    } else {
        Out.SetSize(W, Rows, 24);
        FillRGB(Out, Display, ShownRows, Columns, 3);
    }
    Bitmap = std::move(Out);
    return 1;
}

} // namespace

int32_t RenderImage(TData28& Data, TBitmap& Bitmap, const TransferSyntaxState& TS)
{
    int32_t Result;
    try {
        Result = Render(Data, Bitmap, TS);
    } catch (const std::bad_alloc&) {
        Result = -1;
    } catch (...) {
        Data.Pixels.clear();
        Data.Pixels.shrink_to_fit();
        throw;
    }
    Data.Pixels.clear();
    Data.Pixels.shrink_to_fit();
    return Result;
}

} // namespace dicom
