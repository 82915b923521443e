// The 16-bit sample scans and the byte swap. They run over whole frames, so
// the main loops use SSE2 (always there on x86-64) and leave only a scalar
// tail; the results are those of the plain loops, sample for sample.
#include "extrout.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace extrout {

namespace {

#if defined(__SSE2__)
inline int16_t HorizontalMin(__m128i V)
{
    V = _mm_min_epi16(V, _mm_shuffle_epi32(V, _MM_SHUFFLE(1, 0, 3, 2)));
    V = _mm_min_epi16(V, _mm_shuffle_epi32(V, _MM_SHUFFLE(2, 3, 0, 1)));
    V = _mm_min_epi16(V, _mm_shufflelo_epi16(V, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<int16_t>(_mm_cvtsi128_si32(V));
}

inline int16_t HorizontalMax(__m128i V)
{
    V = _mm_max_epi16(V, _mm_shuffle_epi32(V, _MM_SHUFFLE(1, 0, 3, 2)));
    V = _mm_max_epi16(V, _mm_shuffle_epi32(V, _MM_SHUFFLE(2, 3, 0, 1)));
    V = _mm_max_epi16(V, _mm_shufflelo_epi16(V, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<int16_t>(_mm_cvtsi128_si32(V));
}

// Signed min/max of Count samples, each XORed with Bias first (0x8000 turns
// unsigned order into signed order). Count must be at least 16.
void MinMaxBiased(const void* First, size_t Count, uint16_t Bias, int16_t& Min, int16_t& Max)
{
    const auto* P = static_cast<const uint8_t*>(First);
    const __m128i B = _mm_set1_epi16(static_cast<short>(Bias));
    __m128i Lo0 = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(P)), B);
    __m128i Hi0 = Lo0, Lo1 = Lo0, Hi1 = Lo0;
    size_t I = 0;
    for (; I + 16 <= Count; I += 16) {
        const __m128i A = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(P + I * 2)), B);
        const __m128i C = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(P + I * 2 + 16)), B);
        Lo0 = _mm_min_epi16(Lo0, A);
        Hi0 = _mm_max_epi16(Hi0, A);
        Lo1 = _mm_min_epi16(Lo1, C);
        Hi1 = _mm_max_epi16(Hi1, C);
    }
    if (I < Count) {
        // The last 16 samples again, overlapping: min and max do not mind.
        const uint8_t* T = P + (Count - 16) * 2;
        const __m128i A = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(T)), B);
        const __m128i C = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(T + 16)), B);
        Lo0 = _mm_min_epi16(Lo0, A);
        Hi0 = _mm_max_epi16(Hi0, A);
        Lo1 = _mm_min_epi16(Lo1, C);
        Hi1 = _mm_max_epi16(Hi1, C);
    }
    Min = HorizontalMin(_mm_min_epi16(Lo0, Lo1));
    Max = HorizontalMax(_mm_max_epi16(Hi0, Hi1));
}
#endif

template <typename T>
void MinMaxScalar(const T* First, size_t Count, T& Min, T& Max)
{
    T Lo = First[0], Hi = First[0];
    for (size_t I = 1; I < Count; ++I) {
        Lo = std::min(Lo, First[I]);
        Hi = std::max(Hi, First[I]);
    }
    Min = Lo;
    Max = Hi;
}

} // namespace

void FindMinMaxSigned16(const int16_t* First, size_t Count, int16_t& Min, int16_t& Max)
{
    if (Count == 0)
        return;
#if defined(__SSE2__)
    if (Count >= 16) {
        MinMaxBiased(First, Count, 0, Min, Max);
        return;
    }
#endif
    MinMaxScalar(First, Count, Min, Max);
}

void FindMinMaxUnsigned16(const uint16_t* First, size_t Count, uint16_t& Min, uint16_t& Max)
{
    if (Count == 0)
        return;
#if defined(__SSE2__)
    if (Count >= 16) {
        int16_t Lo, Hi;
        MinMaxBiased(First, Count, 0x8000, Lo, Hi);
        Min = static_cast<uint16_t>(Lo) ^ 0x8000;
        Max = static_cast<uint16_t>(Hi) ^ 0x8000;
        return;
    }
#endif
    MinMaxScalar(First, Count, Min, Max);
}

size_t SwapBytes16(const void* Source, void* Dest, size_t Count)
{
    const auto* S = static_cast<const uint8_t*>(Source);
    auto* D = static_cast<uint8_t*>(Dest);
    size_t I = 0;
#if defined(__SSE2__)
    for (; I + 8 <= Count; I += 8) {
        const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i*>(S + I * 2));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(D + I * 2), _mm_or_si128(_mm_slli_epi16(V, 8), _mm_srli_epi16(V, 8)));
    }
#endif
    for (; I < Count; ++I) {
        const uint8_t A = S[I * 2], B = S[I * 2 + 1];
        D[I * 2] = B;
        D[I * 2 + 1] = A;
    }
    return Count;
}

} // namespace extrout
