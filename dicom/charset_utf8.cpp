#include "charset_utf8.h"

namespace dicom {

size_t NextUTF8(const uint8_t* P, size_t N, uint32_t& C)
{
    const uint8_t B = P[0];
    size_t More;
    if (B < 0x80) {
        C = B;
        return 1;
    }
    if (B >= 0xC2 && B <= 0xDF) {
        C = B & 0x1F;
        More = 1;
    } else if (B >= 0xE0 && B <= 0xEF) {
        C = B & 0x0F;
        More = 2;
    } else if (B >= 0xF0 && B <= 0xF4) {
        C = B & 0x07;
        More = 3;
    } else {
        return 0;
    }
    if (More >= N)
        return 0;
    for (size_t K = 1; K <= More; ++K) {
        if ((P[K] & 0xC0) != 0x80)
            return 0;
        C = (C << 6) | (P[K] & 0x3F);
    }
    if ((More == 2 && C < 0x800) || (More == 3 && (C < 0x10000 || C > 0x10FFFF)) || (C >= 0xD800 && C <= 0xDFFF))
        return 0;
    return More + 1;
}

std::string WellFormed(const std::string& Text)
{
    const auto* P = reinterpret_cast<const uint8_t*>(Text.data());
    const size_t N = Text.size();
    std::string Out;
    Out.reserve(N);
    for (size_t I = 0; I < N;) {
        uint32_t C;
        const size_t L = NextUTF8(P + I, N - I, C);
        if (L == 0) {
            AppendUTF8(Out, kReplacement);
            ++I;
        } else {
            Out.append(Text, I, L);
            I += L;
        }
    }
    return Out;
}

bool DecodeUTF8(const std::string& Text, std::vector<uint32_t>& Out)
{
    Out.clear();
    const auto* P = reinterpret_cast<const uint8_t*>(Text.data());
    const size_t N = Text.size();
    for (size_t I = 0; I < N;) {
        uint32_t C;
        const size_t L = NextUTF8(P + I, N - I, C);
        if (L == 0)
            return false;
        Out.push_back(C);
        I += L;
    }
    return true;
}

void AppendUTF8(std::string& Out, uint32_t C)
{
    if (C < 0x80) {
        Out += static_cast<char>(C);
    } else if (C < 0x800) {
        Out += static_cast<char>(0xC0 | (C >> 6));
        Out += static_cast<char>(0x80 | (C & 0x3F));
    } else if (C < 0x10000) {
        Out += static_cast<char>(0xE0 | (C >> 12));
        Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (C & 0x3F));
    } else {
        Out += static_cast<char>(0xF0 | (C >> 18));
        Out += static_cast<char>(0x80 | ((C >> 12) & 0x3F));
        Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (C & 0x3F));
    }
}

} // namespace dicom
