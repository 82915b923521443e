// Value bytes in the data set's character set to UTF-8.
#include "charset.h"

#include "charset_iconv.h"
#include "charset_iso2022.h"

namespace dicom {

namespace {

// Bytes to UTF-8 through iconv, each undecodable byte replaced.
void DecodeLenient(TIconv& Cv, const char* P, size_t N, bool Windows1252, std::string& Out)
{
    Cv.ConvertLenient(P, N, Out, [&](uint8_t B) { AppendUTF8(Out, Windows1252 && Undefined1252(B) ? B : kReplacement); });
}

} // namespace

std::string TCharacterSet::Decode(const std::string& Raw, TTextKind Kind) const
{
    std::string Out;
    if (Mode == mWindows1252 || Mode == mUnknown || Mode == mStateless) {
        TIconv Cv("UTF-8", Mode == mStateless ? IconvName.c_str() : "CP1252");
        DecodeLenient(Cv, Raw.data(), Raw.size(), Mode != mStateless, Out);
        return WellFormed(Out);
    }
    TIconvCache Cache(true);
    TCodeSet G0 = InitialG0, G1 = InitialG1;
    const auto* P = reinterpret_cast<const uint8_t*>(Raw.data());
    const size_t N = Raw.size();
    auto Convert = [&](const char* Name, std::string Bytes) {
        std::string U;
        if (Cache.For(Name).Convert(Bytes.data(), Bytes.size(), U))
            Out += U;
        else
            AppendUTF8(Out, kReplacement);
    };
    for (size_t I = 0; I < N;) {
        const uint8_t B = P[I];
        if (B == static_cast<uint8_t>(kESC)) {
            TCodeSet S;
            if (const size_t L = ReadDesignation(P + I, N - I, S); L != 0) {
                (IsG1(S.Kind) ? G1 : G0) = S;
                I += L;
            } else {
                AppendUTF8(Out, kReplacement);
                ++I;
            }
            continue;
        }
        const bool Single = !IsDoubleG0(G0.Kind);
        if (IsDelimiter(B, Kind, Single)) {
            G0 = InitialG0;
            G1 = InitialG1;
            Out += static_cast<char>(B);
            ++I;
            continue;
        }
        if (B < 0x80) {
            if (!Single && B >= 0x21 && B <= 0x7E && I + 1 < N && P[I + 1] >= 0x21 && P[I + 1] <= 0x7E) {
                std::string E;
                if (G0.Kind == skJIS0212)
                    E += '\x8F';
                E += static_cast<char>(B | 0x80);
                E += static_cast<char>(P[I + 1] | 0x80);
                Convert("EUC-JP", E);
                I += 2;
            } else {
                Out += static_cast<char>(B);
                ++I;
            }
            continue;
        }
        switch (G1.Kind) {
        case skUpper: Convert(G1.Iconv, std::string(1, static_cast<char>(B))); ++I; break;
        case skKatakana: Convert("EUC-JP", std::string{'\x8E', static_cast<char>(B)}); ++I; break;
        case skKSC:
        case skGB2312:
            if (I + 1 < N && P[I + 1] >= 0xA1) {
                Convert(G1.Iconv, std::string{static_cast<char>(B), static_cast<char>(P[I + 1])});
                I += 2;
            } else {
                AppendUTF8(Out, kReplacement);
                ++I;
            }
            break;
        default: {
            // No upper half designated: read it as the default repertoire's.
            TIconv& Cv = Cache.For("CP1252");
            DecodeLenient(Cv, Raw.data() + I, 1, true, Out);
            ++I;
            break;
        }
        }
    }
    return WellFormed(Out);
}

THeaderData DecodedHeader(const THeaderData& Raw)
{
    const TCharacterSet CS(Raw.SpecificCharacterSet);
    THeaderData D = Raw;
    const std::pair<std::string THeaderData::*, TTextKind> Fields[] = {
        {&THeaderData::PatientName, TTextKind::PersonName},
        {&THeaderData::PatientID, TTextKind::Multi},
        {&THeaderData::PatientBirthDate, TTextKind::Multi},
        {&THeaderData::ContentDate, TTextKind::Multi},
        {&THeaderData::Modality, TTextKind::Multi},
        {&THeaderData::Manufacturer, TTextKind::Multi},
        {&THeaderData::InstitutionName, TTextKind::Multi},
        {&THeaderData::AccessionNumber, TTextKind::Multi},
        {&THeaderData::ReferringPhysicianName, TTextKind::PersonName},
        {&THeaderData::InstanceNumber, TTextKind::Multi},
        {&THeaderData::BodyPartExamined, TTextKind::Multi},
        {&THeaderData::ImageComments, TTextKind::Text},
    };
    for (const auto& [Field, Kind] : Fields)
        D.*Field = CS.Decode(Raw.*Field, Kind);
    return D;
}

} // namespace dicom
