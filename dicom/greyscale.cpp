#include "greyscale.h"

#include "errors.h"
#include "extrout.h"
#include "render.h"
#include "streams.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace dicom {

namespace {

// Maps a new bitmap's pages in one call before the rows are written. Fresh
// pages otherwise fault one at a time as the stretch reaches them, a trap
// per 4 KiB that costs as much as stretching the page (whenever the heap has
// just been handed back, as after another library's load). Only for bitmaps
// that stay in the cache: the kernel clears every page up front, and a
// larger bitmap's cleared lines would be out of the cache again before the
// rows are written. Pages already mapped are left as they are.
constexpr size_t kMapPagesMax = size_t(1) << 20;

// The largest frame the 16-bit render reads once and keeps for both passes.
constexpr uint64_t kWholeFrameBytes = uint64_t(1) << 20;

void MapPages(TBitmap& Out)
{
    const size_t Bytes = Out.ByteCount();
    static const size_t Page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    if (Out.Recycled() || Bytes < 4 * Page || Bytes > kMapPagesMax)
        return;
    const auto Start = reinterpret_cast<uintptr_t>(Out.Bits());
    const uintptr_t First = (Start + Page - 1) & ~(uintptr_t(Page) - 1);
    const uintptr_t End = (Start + Bytes) & ~(uintptr_t(Page) - 1);
    if (End <= First)
        return;
    void* const P = reinterpret_cast<void*>(First);
    const size_t N = End - First;
#if defined(MADV_POPULATE_WRITE)
    // Advice only: an older kernel refuses it and the pages fault as before.
    ::madvise(P, N, MADV_POPULATE_WRITE);
#endif
}

#if defined(__x86_64__)
bool HaveAVX2()
{
    static const bool Have = __builtin_cpu_supports("avx2");
    return Have;
}

// The 16-bit stretch eight lanes at a time, exact: a float estimate of
// (510a + R) div 2R is off by at most one, and the integer remainder puts it
// right. Gives what the table gives, sample for sample.
struct TStretchLanes {
    __m256i Min, R, D, Dm1;
    __m256 Inv;
};

template <bool Signed>
__attribute__((target("avx2"), always_inline)) inline __m256i Quotients(__m128i Half, const TStretchLanes& L)
{
    const __m256i Wide = Signed ? _mm256_cvtepi16_epi32(Half) : _mm256_cvtepu16_epi32(Half);
    const __m256i A = _mm256_sub_epi32(Wide, L.Min);
    const __m256i N = _mm256_add_epi32(_mm256_sub_epi32(_mm256_slli_epi32(A, 9), _mm256_slli_epi32(A, 1)), L.R);
    __m256i Q = _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(N), L.Inv));
    const __m256i Rem = _mm256_sub_epi32(N, _mm256_mullo_epi32(Q, L.D));
    Q = _mm256_add_epi32(Q, _mm256_cmpgt_epi32(_mm256_setzero_si256(), Rem)); // below 0: one less
    Q = _mm256_sub_epi32(Q, _mm256_cmpgt_epi32(Rem, L.Dm1));                  // a divisor left: one more
    return Q;
}

// The same quotient sixteen lanes at a time in 16-bit arithmetic, for ranges
// of 256..21845: the offset a = sample - Min fits a lane, the high half of
// a x floor(255 x 2^16 / Range) falls short of the quotient by at most two,
// and the remainder, below 3 x Range, fits a lane too, so two steps put it
// right. Checked against the division for every range and offset it serves.
constexpr int32_t kNarrowLow = 256, kNarrowHigh = 21845;

struct TNarrowLanes {
    __m256i Min, M, H, R, K255;
};

__attribute__((target("avx2"), always_inline)) inline __m256i NarrowQuotients(__m256i V, const TNarrowLanes& L)
{
    const __m256i A = _mm256_sub_epi16(V, L.Min);
    __m256i Q = _mm256_mulhi_epu16(A, L.M);
    __m256i Rem = _mm256_sub_epi16(_mm256_add_epi16(_mm256_mullo_epi16(A, L.K255), L.H), _mm256_mullo_epi16(Q, L.R));
    __m256i Ge = _mm256_cmpeq_epi16(_mm256_max_epu16(Rem, L.R), Rem); // Rem >= R, unsigned
    Q = _mm256_sub_epi16(Q, Ge);
    Rem = _mm256_sub_epi16(Rem, _mm256_and_si256(Ge, L.R));
    Ge = _mm256_cmpeq_epi16(_mm256_max_epu16(Rem, L.R), Rem);
    return _mm256_sub_epi16(Q, Ge);
}

__attribute__((target("avx2"))) uint64_t Stretch16Narrow(const uint8_t* S, uint64_t Count, uint8_t* Out, int32_t Min,
                                                       int32_t Range)
{
    TNarrowLanes L;
    L.Min = _mm256_set1_epi16(static_cast<int16_t>(Min));
    L.M = _mm256_set1_epi16(static_cast<int16_t>((255u << 16) / static_cast<uint32_t>(Range)));
    L.H = _mm256_set1_epi16(static_cast<int16_t>(Range / 2));
    L.R = _mm256_set1_epi16(static_cast<int16_t>(Range));
    L.K255 = _mm256_set1_epi16(255);
    uint64_t I = 0;
    for (; I + 32 <= Count; I += 32) {
        const __m256i Q0 = NarrowQuotients(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(S + I * 2)), L);
        const __m256i Q1 = NarrowQuotients(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(S + I * 2 + 32)), L);
        // The pack works per 128-bit half: put the quarters back in order.
        const __m256i P = _mm256_permute4x64_epi64(_mm256_packus_epi16(Q0, Q1), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(Out + I), P);
    }
    return I;
}

template <bool Signed>
__attribute__((target("avx2"))) void Stretch16AVX2(const void* Src, uint64_t Count, uint8_t* Out, int32_t Min,
                                                     int32_t Range)
{
    const auto* S = static_cast<const uint8_t*>(Src);
    TStretchLanes L;
    L.Min = _mm256_set1_epi32(Min);
    L.R = _mm256_set1_epi32(Range);
    L.D = _mm256_set1_epi32(2 * Range);
    L.Dm1 = _mm256_set1_epi32(2 * Range - 1);
    L.Inv = _mm256_set1_ps(1.0f / (2.0f * static_cast<float>(Range)));
    uint64_t I = Range >= kNarrowLow && Range <= kNarrowHigh ? Stretch16Narrow(S, Count, Out, Min, Range) : 0;
    for (; I + 16 <= Count; I += 16) {
        const __m256i V = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(S + I * 2));
        const __m256i Lo = Quotients<Signed>(_mm256_castsi256_si128(V), L);
        const __m256i Hi = Quotients<Signed>(_mm256_extracti128_si256(V, 1), L);
        // Quotients fit in 0..255: pack 32 -> 16 -> 8 bits, undoing the
        // per-lane order of the AVX2 packs.
        const __m256i P16 = _mm256_permute4x64_epi64(_mm256_packus_epi32(Lo, Hi), 0xD8);
        const __m128i P8 = _mm_packus_epi16(_mm256_castsi256_si128(P16), _mm256_extracti128_si256(P16, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + I), P8);
    }
    for (; I < Count; ++I) {
        int32_t V;
        if constexpr (Signed) {
            int16_t X;
            std::memcpy(&X, S + I * 2, 2);
            V = X;
        } else {
            uint16_t X;
            std::memcpy(&X, S + I * 2, 2);
            V = X;
        }
        Out[I] = static_cast<uint8_t>((int64_t(V - Min) * 255 + Range / 2) / Range);
    }
}
#else
bool HaveAVX2() { return false; }
#endif

// Display values of a stretched frame: (sample - Min) x 255 / (Max - Min),
// or the high byte of a flat frame's value.
template <typename T>
void StretchSamples(const T* Src, uint64_t Count, uint8_t* Out, T Min, T Max, const uint8_t* Lut)
{
    if (Max == Min) {
        using U = std::make_unsigned_t<T>;
        const auto Flat = static_cast<uint8_t>(static_cast<U>(Max) >> (sizeof(T) * 8 - 8));
        std::memset(Out, Flat, Count);
        return;
    }
#if defined(__x86_64__)
    if constexpr (sizeof(T) == 2) {
        if (HaveAVX2()) {
            Stretch16AVX2<std::is_signed_v<T>>(Src, Count, Out, Min, int32_t(Max) - int32_t(Min));
            return;
        }
    }
#endif
    if (Lut != nullptr) {
        for (uint64_t I = 0; I < Count; ++I)
            Out[I] = Lut[static_cast<int32_t>(Src[I]) - static_cast<int32_t>(Min)];
        return;
    }
    const uint64_t Range = static_cast<uint64_t>(static_cast<int64_t>(Max) - static_cast<int64_t>(Min));
    for (uint64_t I = 0; I < Count; ++I) {
        const uint64_t A = static_cast<uint64_t>(static_cast<int64_t>(Src[I]) - static_cast<int64_t>(Min));
        Out[I] = static_cast<uint8_t>((A * 255 + Range / 2) / Range);
    }
}

// MulDiv(K, 255, Range) for K = 0..Range, stepped without a division:
// (2 x 255 x K + Range) div (2 x Range) grows as the remainder wraps.
template <typename F>
void ForEachStretch(int32_t Range, F Put)
{
    int64_t Q = 0, Rem = Range;
    const int64_t Den = 2 * int64_t(Range);
    for (int32_t K = 0; K <= Range; ++K) {
        Put(K, static_cast<uint8_t>(Q));
        Rem += 510;
        while (Rem >= Den) {
            Rem -= Den;
            ++Q;
        }
    }
}

// Display values of Min..Max, indexed by sample - Min: one table load per
// sample instead of a division.
template <typename T>
std::vector<uint8_t> StretchTable(T Min, T Max)
{
    std::vector<uint8_t> Table(static_cast<size_t>(int32_t(Max) - int32_t(Min)) + 1);
    ForEachStretch(int32_t(Max) - int32_t(Min), [&](int32_t K, uint8_t Q) { Table[static_cast<size_t>(K)] = Q; });
    return Table;
}

template <typename T>
void MinMax(const T* Src, uint64_t Count, T& Min, T& Max)
{
    if constexpr (std::is_same_v<T, int16_t>) {
        extrout::FindMinMaxSigned16(Src, Count, Min, Max);
    } else if constexpr (std::is_same_v<T, uint16_t>) {
        extrout::FindMinMaxUnsigned16(Src, Count, Min, Max);
    } else {
        if (Count == 0)
            return;
        T Lo = Src[0], Hi = Src[0];
        for (uint64_t I = 1; I < Count; ++I) {
            Lo = std::min(Lo, Src[I]);
            Hi = std::max(Hi, Src[I]);
        }
        Min = Lo;
        Max = Hi;
    }
}

} // namespace

template <typename T>
uint8_t StretchFrame(const T* Src, uint64_t N, uint64_t Count, uint8_t* Out)
{
    T Min = 0, Max = 0;
    if (Count > 0)
        MinMax(Src, Count, Min, Max);
    if (Count < N) {
        Min = std::min<T>(Min, 0);
        Max = std::max<T>(Max, 0);
    }
    std::vector<uint8_t> Lut;
    if constexpr (sizeof(T) <= 2)
        if (Max != Min && !HaveAVX2())
            Lut = StretchTable(Min, Max);
    const uint8_t* Table = Lut.empty() ? nullptr : Lut.data();
    StretchSamples(Src, Count, Out, Min, Max, Table);
    const T Zero = 0;
    uint8_t Absent = 0;
    StretchSamples(&Zero, 1, &Absent, Min, Max, Table);
    return Absent;
}

template uint8_t StretchFrame(const int16_t*, uint64_t, uint64_t, uint8_t*);
template uint8_t StretchFrame(const uint16_t*, uint64_t, uint64_t, uint8_t*);
template uint8_t StretchFrame(const int32_t*, uint64_t, uint64_t, uint8_t*);
template uint8_t StretchFrame(const uint32_t*, uint64_t, uint64_t, uint8_t*);

template <typename T>
int32_t RenderGrey16(const TData28& Data, const TransferSyntaxState& TS, TBitmap& Out, int W)
{
    const int Rows = Data.Rows, Columns = Data.Columns;
    const bool Swap = TS.BigEndian && Data.PixelData->VRString() == "OW";
    const int Shift = int(Data.BitsStored) - int(Data.HighBit) - 1;
    // A frame of up to 1 MiB is read once and serves both passes. A larger
    // one is read twice in blocks of 64 KiB: large enough for the stream to
    // read them straight in, small enough to stay in the cache.
    const bool Whole = uint64_t(Rows) * uint64_t(Columns) * 2 <= kWholeFrameBytes;
    const int BlockRows = Whole ? std::max(Rows, 1) : std::max(1, 32768 / Columns);
    const size_t BlockSamples = size_t(BlockRows) * Columns;
    // Kept by the thread from one render to the next: a new block is fresh
    // pages whenever the heap has just been handed back, a fault per 4 KiB.
    thread_local std::unique_ptr<uint16_t[]> Kept;
    thread_local size_t KeptSamples = 0;
    if (KeptSamples < BlockSamples) {
        Kept.reset();
        Kept = std::make_unique_for_overwrite<uint16_t[]>(BlockSamples);
        KeptSamples = BlockSamples;
    }
    T* const Block = reinterpret_cast<T*>(Kept.get());
    TStream& Stream = *Data.PixelData->Stream;

    // Reads rows [Row, Row + Count) into Block as samples ready for use.
    const auto Load = [&](int Row, int Count) {
        const size_t Want = size_t(Count) * Columns * 2;
        Stream.Seek(Data.PixelData->ValueOffset + int64_t(Row) * Columns * 2);
        const size_t Got = Stream.Read(Block, Want);
        std::memset(reinterpret_cast<uint8_t*>(Block) + Got, 0, Want - Got);
        const size_t N = size_t(Count) * Columns;
        if (Swap)
            extrout::SwapBytes16(Block, Block, N);
        if (Shift > 0) {
            auto* S = reinterpret_cast<uint16_t*>(Block);
            for (size_t I = 0; I < N; ++I)
                S[I] = Shift >= 16 ? 0 : static_cast<uint16_t>(S[I] << Shift); // all bits gone
        }
        return N;
    };

    T Min = 0, Max = 0;
    try {
        // Rows past the end of the file are zeros: they count in the range
        // but are neither read nor, when zero shows as zero, written.
        const int64_t Avail = std::max<int64_t>(0, Stream.Size() - Data.PixelData->ValueOffset);
        const uint64_t RowBytes = uint64_t(Columns) * 2;
        const int Present = static_cast<int>(std::min<uint64_t>(Rows, (uint64_t(Avail) + RowBytes - 1) / RowBytes));
        for (int Row = 0; Row < Present; Row += BlockRows) {
            const size_t N = Load(Row, std::min(BlockRows, Present - Row));
            T Lo = 0, Hi = 0;
            MinMax(Block, N, Lo, Hi);
            Min = Row == 0 ? Lo : std::min(Min, Lo);
            Max = Row == 0 ? Hi : std::max(Max, Hi);
        }
        if (Present < Rows) {
            Min = std::min<T>(Min, 0);
            Max = std::max<T>(Max, 0);
        }
        std::vector<uint8_t> Lut;
        if (Max != Min && !HaveAVX2())
            Lut = StretchTable(Min, Max);
        const uint8_t* Table = Lut.empty() ? nullptr : Lut.data();
        // A file that holds the whole frame has every row written here, so
        // the bitmap needs no zeros first; a short one keeps the zeros of the
        // rows it lacks for free.
        const bool Full = Present == Rows;
        if (Full)
            Out.SetSizeForOverwrite(W, Rows, 8);
        else
            Out.SetSize(W, Rows, 8);
        if (Present > 0)
            MapPages(Out);
        MakeGreyColourTable(Out.ColourTable(), Data.Photometric);
        const size_t Pad = Out.Stride() - size_t(Columns);
        for (int Row = 0; Row < Present; Row += BlockRows) {
            const int Count = std::min(BlockRows, Present - Row);
            if (!Whole)
                Load(Row, Count);
            for (int R = 0; R < Count; ++R) {
                uint8_t* const Line = Out.Row(Row + R);
                StretchSamples(Block + size_t(R) * Columns, uint64_t(Columns), Line, Min, Max, Table);
                if (Full && Pad > 0)
                    std::memset(Line + Columns, 0, Pad);
            }
        }
        const T Zero = 0;
        uint8_t Absent = 0;
        StretchSamples(&Zero, 1, &Absent, Min, Max, Table);
        if (Absent != 0)
            for (int Row = Present; Row < Rows; ++Row)
                std::memset(Out.Row(Row), Absent, static_cast<size_t>(Columns));
    } catch (const EDicomError&) {
        return -1;
    }
    return 1;
}

template int32_t RenderGrey16<int16_t>(const TData28&, const TransferSyntaxState&, TBitmap&, int);
template int32_t RenderGrey16<uint16_t>(const TData28&, const TransferSyntaxState&, TBitmap&, int);

namespace {

template <typename T>
void StretchRows(const uint16_t* Raw, int Width, int Height, int Components, TPhotometric Photometric, TBitmap& Out)
{
    // Signed and unsigned views of the same 16-bit samples.
    const T* S = reinterpret_cast<const T*>(Raw);
    const size_t RowSamples = size_t(Width) * Components;
    T Min = 0, Max = 0;
    MinMax(S, uint64_t(RowSamples) * Height, Min, Max);
    std::vector<uint8_t> Lut;
    if (Max != Min && !HaveAVX2())
        Lut = StretchTable(Min, Max);
    const uint8_t* Table = Lut.empty() ? nullptr : Lut.data();
    // Every byte of every row is written below.
    Out.SetSizeForOverwrite(Width, Height, Components == 1 ? 8 : 24);
    MapPages(Out);
    if (Components == 1)
        MakeGreyColourTable(Out.ColourTable(), Photometric);
    const size_t Pad = Out.Stride() - RowSamples;
    for (int R = 0; R < Height; ++R) {
        uint8_t* const Line = Out.Row(R);
        StretchSamples(S + RowSamples * R, uint64_t(RowSamples), Line, Min, Max, Table);
        if (Pad > 0)
            std::memset(Line + RowSamples, 0, Pad);
    }
}

} // namespace

void StretchToBitmap(const uint16_t* Samples, int Width, int Height, int Components, TPhotometric Photometric,
                     bool Signed, TBitmap& Bitmap)
{
    TBitmap Out;
    if (Width > 0 && Height > 0 && (Components == 1 || Components == 3)) {
        if (Signed)
            StretchRows<int16_t>(Samples, Width, Height, Components, Photometric, Out);
        else
            StretchRows<uint16_t>(Samples, Width, Height, Components, Photometric, Out);
    }
    Bitmap = std::move(Out);
}

void FillIndexed(TBitmap& Out, const uint8_t* Display, int Rows, int Columns, int Stride)
{
    for (int R = 0; R < Rows; ++R) {
        uint8_t* Dst = Out.Row(R);
        const uint8_t* Src = Display + static_cast<uint64_t>(R) * Columns * Stride;
        if (Stride == 1) {
            std::memcpy(Dst, Src, static_cast<size_t>(Columns));
        } else {
            for (int X = 0; X < Columns; ++X)
                Dst[X] = Src[static_cast<size_t>(X) * Stride];
        }
    }
}

void Stretch16(const uint16_t* Src, size_t Count, int32_t Min, int32_t Max, bool Signed, uint8_t* Out, bool AllowVector)
{
    if (Max <= Min)
        return;
#if defined(__x86_64__)
    if (AllowVector && HaveAVX2()) {
        if (Signed)
            Stretch16AVX2<true>(Src, Count, Out, Min, Max - Min);
        else
            Stretch16AVX2<false>(Src, Count, Out, Min, Max - Min);
        return;
    }
#endif
    const std::vector<uint8_t> Table = Signed ? StretchTable<int16_t>(int16_t(Min), int16_t(Max))
                                              : StretchTable<uint16_t>(uint16_t(Min), uint16_t(Max));
    const auto* S = reinterpret_cast<const int16_t*>(Src);
    for (size_t I = 0; I < Count; ++I) {
        const int32_t V = Signed ? int32_t(S[I]) : int32_t(Src[I]);
        Out[I] = Table[static_cast<size_t>(V - Min)];
    }
}

void MakeGreyColourTable(TBitmap::TColourTable& Table, TPhotometric Photometric)
{
    for (int I = 0; I < 256; ++I) {
        const auto V = static_cast<uint8_t>(Photometric == pmMonochrome1 ? 255 - I : I);
        Table[static_cast<size_t>(I)] = TBitmap::Rgb(V, V, V);
    }
}

} // namespace dicom
