// UTF-8 to value bytes in the data set's character set.
#include "charset.h"

#include "charset_iconv.h"
#include "charset_iso2022.h"
#include "charset_tables.h"

namespace dicom {

namespace {

// One character of Set as its bytes in the data set (without designation).
bool EncodeIn(TIconvCache& Cache, const TCodeSet& Set, uint32_t C, std::string& Out)
{
    if (Set.Kind == TCharacterSet::skASCII)
        return C < 0x80 && (Out = std::string(1, static_cast<char>(C)), true);
    // JIS X 0201 Roman differs from ASCII in two places (yen sign and
    // overline), but readers, ours and pydicom's among them, take it for
    // ASCII: so does the writer.
    if (Set.Kind == TCharacterSet::skRoman)
        return C < 0x80 && (Out = std::string(1, static_cast<char>(C)), true);
    if (C < 0x80 || C > 0x10FFFF)
        return false;
    std::string U, B;
    AppendUTF8(U, C);
    if (!Cache.For(Set.Iconv).Convert(U.data(), U.size(), B))
        return false;
    auto Byte = [&](size_t I) { return static_cast<uint8_t>(B[I]); };
    switch (Set.Kind) {
    case TCharacterSet::skUpper:
        if (B.size() != 1 || Byte(0) < 0xA0)
            return false;
        Out = B;
        return true;
    case TCharacterSet::skKatakana:
        if (B.size() != 2 || Byte(0) != 0x8E)
            return false;
        Out = B.substr(1);
        return true;
    case TCharacterSet::skJIS0208:
        if (B.size() != 2 || Byte(0) < 0xA1 || Byte(1) < 0xA1)
            return false;
        Out = {static_cast<char>(Byte(0) & 0x7F), static_cast<char>(Byte(1) & 0x7F)};
        return true;
    case TCharacterSet::skJIS0212:
        if (B.size() != 3 || Byte(0) != 0x8F)
            return false;
        Out = {static_cast<char>(Byte(1) & 0x7F), static_cast<char>(Byte(2) & 0x7F)};
        return true;
    case TCharacterSet::skKSC:
    case TCharacterSet::skGB2312:
        if (B.size() != 2 || Byte(0) < 0xA1 || Byte(1) < 0xA1)
            return false;
        Out = B;
        return true;
    default:
        return false;
    }
}

} // namespace

bool TCharacterSet::Encode(const std::string& Text, TTextKind Kind, std::string& Out) const
{
    Out.clear();
    return EncodeImpl(Text, Kind, Out, false);
}

std::string TCharacterSet::EncodeLossy(const std::string& Text, TTextKind Kind) const
{
    std::string Out;
    EncodeImpl(Text, Kind, Out, true);
    return Out;
}

bool TCharacterSet::EncodeImpl(const std::string& Text, TTextKind Kind, std::string& Out, bool Lossy) const
{
    std::vector<uint32_t> Chars;
    if (!DecodeUTF8(Text, Chars)) {
        if (!Lossy)
            return false;
        // Each byte outside ASCII stands for a character we cannot store:
        // a number beyond Unicode, which no conversion takes.
        Chars.clear();
        for (unsigned char B : Text)
            Chars.push_back(B < 0x80 ? B : 0x110000);
    }
    if (Mode != mISO2022) {
        TIconv Cv(Mode == mStateless ? IconvName.c_str() : "CP1252", "UTF-8");
        for (const uint32_t C : Chars) {
            if (C < 0x80) {
                Out += static_cast<char>(C);
                continue;
            }
            std::string U, B;
            AppendUTF8(U, C);
            if (Mode == mWindows1252 && C <= 0xFF && Undefined1252(static_cast<uint8_t>(C)))
                B = std::string(1, static_cast<char>(C));
            else if (Mode == mUnknown || C > 0x10FFFF || !Cv.Convert(U.data(), U.size(), B)) {
                if (!Lossy)
                    return false;
                B = "?";
            }
            Out += B;
        }
        return true;
    }

    TIconvCache Cache(false);
    TDesignator D(InitialG0, InitialG1, Out);
    TCodeSet& G0 = D.G0;
    TCodeSet& G1 = D.G1;
    const TCodeSet ASCII = FindTerm("6")->Set;
    for (uint32_t C : Chars) {
        if (IsDelimiter(C, Kind, true)) {
            D.Reset();
            Out += static_cast<char>(C);
            continue;
        }
        std::string Bytes;
        if (C == static_cast<uint32_t>(kESC)) {
            // A bare escape would read as the start of a designation.
            if (!Lossy)
                return false;
            C = '?';
        }
        if (C < 0x80) {
            if (EncodeIn(Cache, G0, C, Bytes)) {
            } else if (EncodeIn(Cache, InitialG0, C, Bytes)) {
                D.Designate(InitialG0);
            } else if (HasASCII) {
                D.Designate(ASCII);
                Bytes = std::string(1, static_cast<char>(C));
            } else if (Lossy) {
                Bytes = "?";
            } else {
                return false;
            }
            Out += Bytes;
            continue;
        }
        // The sets designated now first, then the others in the order of
        // the Specific Character Set.
        const TCodeSet* Use = nullptr;
        if (G1.Kind != skNone && EncodeIn(Cache, G1, C, Bytes))
            Use = &G1;
        else if (IsDoubleG0(G0.Kind) && EncodeIn(Cache, G0, C, Bytes))
            Use = &G0;
        else
            for (const auto& S : Sets)
                if (EncodeIn(Cache, S, C, Bytes)) {
                    Use = &S;
                    break;
                }
        if (Use == nullptr) {
            if (!Lossy)
                return false;
            if (!EncodeIn(Cache, G0, '?', Bytes)) {
                D.Designate(HasASCII ? ASCII : InitialG0);
                Bytes = "?";
            }
            Out += Bytes;
            continue;
        }
        const TCodeSet S = *Use;
        D.Designate(S);
        Out += Bytes;
    }
    D.Reset();
    return true;
}

} // namespace dicom
