#include "charset_iso2022.h"

#include "charset_tables.h"

#include <cstring>

namespace dicom {

bool IsG1(TCharacterSet::TSetKind K)
{
    return K == TCharacterSet::skKatakana || K == TCharacterSet::skUpper || K == TCharacterSet::skKSC ||
           K == TCharacterSet::skGB2312;
}
bool IsDoubleG0(TCharacterSet::TSetKind K) { return K == TCharacterSet::skJIS0208 || K == TCharacterSet::skJIS0212; }
bool SameSet(const TCodeSet& A, const TCodeSet& B)
{
    return A.Kind == B.Kind && (A.Kind != TCharacterSet::skUpper || std::strcmp(A.Iconv, B.Iconv) == 0);
}

bool IsDelimiter(uint32_t C, TTextKind Kind, bool Printable)
{
    if (C == '\r' || C == '\n' || C == '\t' || C == '\f')
        return true;
    if (!Printable || Kind == TTextKind::Text)
        return false;
    if (C == '\\')
        return true;
    return Kind == TTextKind::PersonName && (C == '^' || C == '=');
}

size_t ReadDesignation(const uint8_t* P, size_t N, TCodeSet& Set)
{
    for (const auto& S : DesignableSets()) {
        const size_t L = std::strlen(S.Escape);
        if (1 + L <= N && std::memcmp(P + 1, S.Escape, L) == 0) {
            Set = S;
            return 1 + L;
        }
    }
    return 0;
}

void TDesignator::Designate(const TCodeSet& S)
{
    TCodeSet& Reg = IsG1(S.Kind) ? G1 : G0;
    if (!SameSet(Reg, S)) {
        Out += kESC;
        Out += S.Escape;
        Reg = S;
    }
}

void TDesignator::Reset()
{
    if (!SameSet(G0, InitialG0))
        Designate(InitialG0);
    if (InitialG1.Kind != TCharacterSet::skNone && !SameSet(G1, InitialG1))
        Designate(InitialG1);
    G1 = InitialG1;
}

} // namespace dicom
