#include "render.h"

#include "encaps.h"
#include "errors.h"
#include "extrout.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <jerror.h>
#include <jpeglib.h>

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
    uint64_t I = 0;
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

// Greyscale and RGB frames of more than 8 bits: stretched over the frame's
// own range. Only the first Count of the N samples may be other than zero;
// the zeros after them count in the range but are left to the caller. Gives
// the display value of a zero sample.
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

// Colour frames of more than 8 bits whose samples are not levels but YBR
// codes: the top 8 of the stored bits keep the chroma centred on 128.
template <typename T>
void TopBitsFrame(const T* Src, uint64_t Count, uint8_t* Out, int BitsStored)
{
    using U = std::make_unsigned_t<T>;
    const int Stored = std::clamp<int>(BitsStored, 8, sizeof(T) * 8);
    const uint64_t Mask = Stored >= 64 ? ~uint64_t(0) : (uint64_t(1) << Stored) - 1;
    for (uint64_t I = 0; I < Count; ++I)
        Out[I] = static_cast<uint8_t>((static_cast<U>(Src[I]) & Mask) >> (Stored - 8));
}

// A palette index per pixel: the sample clamped to the mapped range, less
// the first mapped value. Stride steps over extra samples of odd files.
template <typename T>
void PaletteIndices(const T* Src, uint64_t Pixels, int Stride, int32_t First, int32_t Last, uint16_t* Out)
{
    for (uint64_t I = 0; I < Pixels; ++I) {
        const int64_t S = static_cast<int64_t>(Src[I * static_cast<uint64_t>(Stride)]);
        Out[I] = static_cast<uint16_t>(std::clamp<int64_t>(S, First, Last) - First);
    }
}

// Output of the greyscale and palette path: one index per pixel, the first
// sample of each, rows widened to the bitmap's width.
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

// Output of the colour path: three display bytes per pixel, red, green,
// blue. A frame of fewer samples repeats its last one.
void FillRGB(TBitmap& Out, const uint8_t* Display, int Rows, int Columns, int Samples)
{
    for (int R = 0; R < Rows; ++R) {
        uint8_t* Dst = Out.Row(R);
        const uint8_t* Src = Display + static_cast<uint64_t>(R) * Columns * Samples;
        if (Samples == 3) {
            std::memcpy(Dst, Src, static_cast<size_t>(Columns) * 3);
            continue;
        }
        for (int X = 0; X < Columns; ++X)
            for (int K = 0; K < 3; ++K)
                Dst[X * 3 + K] = Src[static_cast<size_t>(X) * Samples + std::min(K, Samples - 1)];
    }
}

// libjpeg reports fatal errors through error_exit, which must not return;
// we jump back to the decode and raise from ordinary C++ code.
struct TJPEGError {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
    bool DataEnded = false; // a marker or the stream's end came before the image's last block
};

[[noreturn]] void JPEGErrorExit(j_common_ptr Info)
{
    std::longjmp(reinterpret_cast<TJPEGError*>(Info->err)->Jump, 1);
}

void JPEGOutputMessage(j_common_ptr) {}

void JPEGEmitMessage(j_common_ptr Info, int Level)
{
    if (Level < 0) {
        ++Info->err->num_warnings;
        if (Info->err->msg_code == JWRN_HIT_MARKER || Info->err->msg_code == JWRN_JPEG_EOF)
            reinterpret_cast<TJPEGError*>(Info->err)->DataEnded = true;
    }
}

// Runs libjpeg over the stream. Only plain data lives in this frame, so the
// long jump skips no destructor. Returns 0 or libjpeg's message number.
int DecodeJPEGRows(const uint8_t* Stream, size_t Count, bool Grey, bool Rgb, TBitmap* Bitmap)
{
    jpeg_decompress_struct Info;
    TJPEGError Err;
    Info.err = jpeg_std_error(&Err.Pub);
    Err.Pub.error_exit = JPEGErrorExit;
    Err.Pub.output_message = JPEGOutputMessage;
    Err.Pub.emit_message = JPEGEmitMessage;
    if (setjmp(Err.Jump)) {
        const int Code = Err.Pub.msg_code;
        jpeg_destroy_decompress(&Info);
        return Code == 0 ? JERR_UNKNOWN_MARKER : Code;
    }
    jpeg_create_decompress(&Info);
    // Progressive and multi-scan streams hold the whole image as
    // coefficients (two bytes a sample) inside libjpeg; a few hundred bytes
    // can ask for gigabytes. Past this the library refuses instead.
    Info.mem->max_memory_to_use = static_cast<long>(kMaxFrameBytes / 2);
    jpeg_mem_src(&Info, Stream, static_cast<unsigned long>(Count));
    jpeg_read_header(&Info, TRUE);
    // Without a JFIF or Adobe marker libjpeg guesses YCbCr for three
    // components; an RGB image says they are R, G and B as they stand.
    if (Rgb && Info.num_components == 3 && !Info.saw_JFIF_marker && !Info.saw_Adobe_marker)
        Info.jpeg_color_space = JCS_RGB;
    Info.out_color_space = Grey ? JCS_GRAYSCALE : JCS_RGB;
    // An image too big to draw is refused from its header, before libjpeg
    // reads the stream into buffers of that size.
    jpeg_calc_output_dimensions(&Info);
    if (uint64_t(Info.output_width) * Info.output_height * (Grey ? 1 : 3) > kMaxFrameBytes) {
        jpeg_destroy_decompress(&Info);
        return JERR_IMAGE_TOO_BIG;
    }
    jpeg_start_decompress(&Info);
    const uint64_t Need = uint64_t(Info.output_width) * Info.output_height * (Grey ? 1 : 3);
    if (Need > kMaxFrameBytes || Info.output_components != (Grey ? 1 : 3)) {
        const int Code = Need > kMaxFrameBytes ? JERR_IMAGE_TOO_BIG : JERR_CONVERSION_NOTIMPL;
        jpeg_destroy_decompress(&Info);
        return Code;
    }
    // SetSize allocates; no libjpeg frame is between here and a bad_alloc.
    try {
        Bitmap->SetSize(static_cast<int>(Info.output_width), static_cast<int>(Info.output_height), Grey ? 8 : 24);
    } catch (const std::bad_alloc&) {
        jpeg_destroy_decompress(&Info);
        return JERR_OUT_OF_MEMORY;
    }
    // Once the coded data has run out, libjpeg decodes every later block of a
    // one-scan Huffman image without restarts as all-zero coefficients, the
    // same flat colour everywhere. A few hundred bytes claiming a huge image
    // would have it decode hundreds of megabytes of that; instead, once the
    // rows that can still mix with real data (the block row being decoded
    // and, through upsampling, its neighbours) are out, the last of them is
    // copied down and the rest skipped without decoding.
    const bool Flat = !jpeg_has_multiple_scans(&Info) && !Info.arith_code && Info.restart_interval == 0;
    const JDIMENSION Margin = 4 * static_cast<JDIMENSION>(Info.max_v_samp_factor * Info.min_DCT_scaled_size);
    JDIMENSION StopAt = Info.output_height;
    while (Info.output_scanline < StopAt) {
        if (Flat && Err.DataEnded && StopAt == Info.output_height && Info.output_scanline > 0)
            StopAt = std::min(Info.output_height, Info.output_scanline + Margin);
        JSAMPROW Row = Bitmap->Row(static_cast<int>(Info.output_scanline));
        jpeg_read_scanlines(&Info, &Row, 1);
    }
    if (Info.output_scanline < Info.output_height) {
        const uint8_t* Last = Bitmap->Row(static_cast<int>(Info.output_scanline) - 1);
        for (int Y = static_cast<int>(Info.output_scanline); Y < static_cast<int>(Info.output_height); ++Y)
            std::memcpy(Bitmap->Row(Y), Last, Bitmap->Stride());
        // Skipping still walks the coded data; the last row is read, not
        // skipped (a skip to the bottom would take the end of the image as
        // read), so what follows the data (a bad marker, say) fails the
        // decode as it always did.
        jpeg_skip_scanlines(&Info, Info.output_height - Info.output_scanline - 1);
        JSAMPROW Row = Bitmap->Row(static_cast<int>(Info.output_height) - 1);
        jpeg_read_scanlines(&Info, &Row, 1);
    }
    jpeg_finish_decompress(&Info);
    jpeg_destroy_decompress(&Info);
    return 0;
}

bool IsGrey(TPhotometric P) { return P == pmMonochrome2 || P == pmMonochrome1; }

} // namespace

uint64_t FrameBytes(const TData28& Data)
{
    return ((uint64_t(Data.Rows) * Data.Columns * Data.BitsAllocated + 7) / 8) * Data.SamplesPerPixel;
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

void YBRPixelToRGB(uint8_t Y, int8_t Cr, int8_t Cb, uint8_t& R, uint8_t& G, uint8_t& B)
{
    if (Y == 0) {
        R = G = B = 0;
        return;
    }
    const long double CrF = Cr, CbF = Cb;
    const auto T = [](long double V) { return static_cast<int32_t>(V); };
    R = static_cast<uint8_t>(Y + T(1.401988L * CrF - 0.0000037L * CbF));
    G = static_cast<uint8_t>(Y - T(0.34411L * CbF + 0.7141L * CrF));
    B = static_cast<uint8_t>(Y + T(1.771978L * CbF - 0.00013L * CrF));
}

bool ConvertYBRToRGB(const uint8_t* Source, uint8_t* Dest, uint64_t DestCount, bool Is422, uint64_t Count)
{
    // Every (Y, Cb, Cr) has 256^3 outcomes; a table of the chroma terms keeps
    // the long double arithmetic out of the per-pixel loop.
    const uint64_t Groups = Is422 ? Count / 4 : Count / 3;
    const uint64_t Need = Groups * (Is422 ? 6 : 3);
    if (Need > DestCount)
        return false;
    struct TTerms {
        int16_t R[256][256], G[256][256], B[256][256];
    };
    static const std::unique_ptr<const TTerms> Terms = [] {
        auto T = std::make_unique<TTerms>();
        for (int Cb = 0; Cb < 256; ++Cb)
            for (int Cr = 0; Cr < 256; ++Cr) {
                uint8_t R, G, B;
                YBRPixelToRGB(128, static_cast<int8_t>(Cr - 128), static_cast<int8_t>(Cb - 128), R, G, B);
                T->R[Cb][Cr] = static_cast<int16_t>(static_cast<int8_t>(R - 128));
                T->G[Cb][Cr] = static_cast<int16_t>(static_cast<int8_t>(G - 128));
                T->B[Cb][Cr] = static_cast<int16_t>(static_cast<int8_t>(B - 128));
            }
        return std::unique_ptr<const TTerms>(std::move(T));
    }();
    const auto Put = [&](uint8_t Y, uint8_t Cb, uint8_t Cr, uint8_t* D) {
        if (Y == 0) {
            D[0] = D[1] = D[2] = 0;
            return;
        }
        D[0] = static_cast<uint8_t>(Y + Terms->R[Cb][Cr]);
        D[1] = static_cast<uint8_t>(Y + Terms->G[Cb][Cr]);
        D[2] = static_cast<uint8_t>(Y + Terms->B[Cb][Cr]);
    };
    for (uint64_t I = 0; I < Groups; ++I) {
        if (Is422) {
            const uint8_t* S = Source + I * 4;
            Put(S[0], S[2], S[3], Dest + I * 6);
            Put(S[1], S[2], S[3], Dest + I * 6 + 3);
        } else {
            const uint8_t* S = Source + I * 3;
            Put(S[0], S[1], S[2], Dest + I * 3);
        }
    }
    return true;
}

void MakeGreyColourTable(TBitmap::TColourTable& Table, TPhotometric Photometric)
{
    for (int I = 0; I < 256; ++I) {
        const auto V = static_cast<uint8_t>(Photometric == pmMonochrome1 ? 255 - I : I);
        Table[static_cast<size_t>(I)] = TBitmap::Rgb(V, V, V);
    }
}

std::vector<uint32_t> LoadPaletteColourTable(const TData28& Data, const TransferSyntaxState& TS)
{
    const size_t Entries = Data.RedDescriptor.Entries;
    std::vector<uint32_t> Table(Entries, 0xFF000000u);
    TStream* Stream = Data.PixelData ? Data.PixelData->Stream : nullptr;
    if (Stream == nullptr)
        return Table;
    const struct {
        const TLUTDescriptor& D;
        int64_t Offset;
        uint32_t Length;
        int Shift;
    } Colours[3] = {
        {Data.RedDescriptor, Data.RedDataOffset, Data.RedDataLength, 16},
        {Data.GreenDescriptor, Data.GreenDataOffset, Data.GreenDataLength, 8},
        {Data.BlueDescriptor, Data.BlueDataOffset, Data.BlueDataLength, 0},
    };
    std::vector<uint8_t> Raw;
    for (const auto& C : Colours) {
        if (C.Offset <= 0 || C.Length == 0)
            continue;
        const size_t N = std::min<size_t>(C.D.Entries, Entries);
        // 8-bit entries may come one per byte (an element Entries bytes long)
        // or one per 16-bit word.
        const bool Packed = C.D.BitsPerEntry == 8 && C.Length < 2 * size_t(C.D.Entries);
        const size_t Want = std::min<size_t>(Packed ? (N + 1) & ~size_t(1) : 2 * N, C.Length);
        Raw.assign(Want, 0);
        try {
            Stream->Seek(C.Offset);
            Stream->Read(Raw.data(), Want);
        } catch (const EDicomError&) {
            continue;
        }
        // Which byte of a word holds the component, in file order.
        const bool High = C.D.BitsPerEntry != 8;
        const size_t Pick = High != TS.BigEndian ? 1 : 0;
        for (size_t I = 0; I < N; ++I) {
            uint8_t V = 0;
            if (Packed) {
                // Packed bytes still travel in 16-bit words: a big-endian
                // file holds each pair swapped.
                const size_t At = TS.BigEndian ? I ^ 1 : I;
                V = At < Want ? Raw[At] : 0;
            }
            else if (2 * I + Pick < Want)
                V = Raw[2 * I + Pick];
            Table[I] |= static_cast<uint32_t>(V) << C.Shift;
        }
    }
    return Table;
}

void DecodeJPEGToBitmap(const uint8_t* Stream, size_t Count, TPhotometric Photometric, TBitmap& Bitmap)
{
    TBitmap Local;
    const bool Grey = IsGrey(Photometric);
    if (const int Code = DecodeJPEGRows(Stream, Count, Grey, Photometric == pmRGB, &Local); Code != 0) {
        char Message[40];
        std::snprintf(Message, sizeof Message, "JPEG error #%d", Code);
        throw EJPEGError(Message);
    }
    if (Grey)
        MakeGreyColourTable(Local.ColourTable(), Photometric);
    Bitmap = std::move(Local);
}

namespace {

// The common case of a 16-bit greyscale frame in the file, read in blocks of
// whole rows: once for the minimum and maximum, once to map into the bitmap.
// The second read comes from the page cache, which costs far less than a
// frame-sized buffer of fresh memory. Gives -1 on a read error, 1 otherwise.
template <typename T>
int32_t RenderGrey16(const TData28& Data, const TransferSyntaxState& TS, TBitmap& Out, int W)
{
    const int Rows = Data.Rows, Columns = Data.Columns;
    const bool Swap = TS.BigEndian && Data.PixelData->VRString() == "OW";
    const int Shift = int(Data.BitsStored) - int(Data.HighBit) - 1;
    // 64 KiB: large enough for the stream to read it straight in, small
    // enough to come from the heap and stay in the cache.
    const int BlockRows = std::max(1, 32768 / Columns);
    const size_t BlockSamples = size_t(BlockRows) * Columns;
    auto Block = std::make_unique_for_overwrite<T[]>(BlockSamples);
    TStream& Stream = *Data.PixelData->Stream;

    // Reads rows [Row, Row + Count) into Block as samples ready for use.
    const auto Load = [&](int Row, int Count) {
        const size_t Want = size_t(Count) * Columns * 2;
        Stream.Seek(Data.PixelData->ValueOffset + int64_t(Row) * Columns * 2);
        const size_t Got = Stream.Read(Block.get(), Want);
        std::memset(reinterpret_cast<uint8_t*>(Block.get()) + Got, 0, Want - Got);
        const size_t N = size_t(Count) * Columns;
        if (Swap)
            extrout::SwapBytes16(Block.get(), Block.get(), N);
        if (Shift > 0) {
            auto* S = reinterpret_cast<uint16_t*>(Block.get());
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
            MinMax(Block.get(), N, Lo, Hi);
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
        Out.SetSize(W, Rows, 8);
        MakeGreyColourTable(Out.ColourTable(), Data.Photometric);
        for (int Row = 0; Row < Present; Row += BlockRows) {
            const int Count = std::min(BlockRows, Present - Row);
            Load(Row, Count);
            for (int R = 0; R < Count; ++R)
                StretchSamples(Block.get() + size_t(R) * Columns, uint64_t(Columns), Out.Row(Row + R), Min, Max, Table);
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
        DecodeJPEGToBitmap(Data.Pixels.data(), static_cast<size_t>(Data.FrameSize), Pm, Bitmap);
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
        const auto IndexAt = [&](uint64_t I) { return I < Shown ? Indices.get()[I] : AbsentIndex; };
        if (Table.size() <= 256) {
            Out.SetSize(W, Rows, 8);
            std::copy(Table.begin(), Table.end(), Out.ColourTable().begin());
            for (int R = 0; R < Rows; ++R) {
                uint8_t* Dst = Out.Row(R);
                if (R >= ShownRows) {
                    if (AbsentIndex != 0)
                        std::memset(Dst, static_cast<uint8_t>(AbsentIndex), static_cast<size_t>(Columns));
                    continue;
                }
                for (int X = 0; X < Columns; ++X)
                    Dst[X] = static_cast<uint8_t>(IndexAt(uint64_t(R) * Columns + X));
            }
        } else {
            // More colours than an indexed bitmap holds: draw them directly.
            Out.SetSize(W, Rows, 24);
            const uint32_t AbsentColour = Table[AbsentIndex] & 0xFFFFFFu;
            for (int R = 0; R < Rows; ++R) {
                if (R >= ShownRows && AbsentColour == 0)
                    continue;
                uint8_t* Dst = Out.Row(R);
                for (int X = 0; X < Columns; ++X) {
                    const uint32_t C = Table[IndexAt(uint64_t(R) * Columns + X)];
                    Dst[X * 3] = static_cast<uint8_t>(C >> 16);
                    Dst[X * 3 + 1] = static_cast<uint8_t>(C >> 8);
                    Dst[X * 3 + 2] = static_cast<uint8_t>(C);
                }
            }
        }
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
