#include "charset.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <iconv.h>
#include <map>
#include <memory>

namespace dicom {

namespace {

constexpr uint32_t kReplacement = 0xFFFD;
constexpr char kESC = 0x1B;

using TCodeSet = TCharacterSet::TCodeSet;

// The character sets of ISO 2022 that DICOM names, by the number of their
// ISO-IR registration, with the escape sequence that designates each.
struct TTerm {
    const char* Number;
    TCodeSet Set;
};
const TTerm kTerms[] = {
    {"6", {TCharacterSet::skASCII, "ASCII", "(B"}},
    {"13", {TCharacterSet::skKatakana, "EUC-JP", ")I"}},
    {"100", {TCharacterSet::skUpper, "ISO-8859-1", "-A"}},
    {"101", {TCharacterSet::skUpper, "ISO-8859-2", "-B"}},
    {"109", {TCharacterSet::skUpper, "ISO-8859-3", "-C"}},
    {"110", {TCharacterSet::skUpper, "ISO-8859-4", "-D"}},
    {"126", {TCharacterSet::skUpper, "ISO-8859-7", "-F"}},
    {"127", {TCharacterSet::skUpper, "ISO-8859-6", "-G"}},
    {"138", {TCharacterSet::skUpper, "ISO-8859-8", "-H"}},
    {"144", {TCharacterSet::skUpper, "ISO-8859-5", "-L"}},
    {"148", {TCharacterSet::skUpper, "ISO-8859-9", "-M"}},
    {"166", {TCharacterSet::skUpper, "TIS-620", "-T"}},
    {"87", {TCharacterSet::skJIS0208, "EUC-JP", "$B"}},
    {"159", {TCharacterSet::skJIS0212, "EUC-JP", "$(D"}},
    {"149", {TCharacterSet::skKSC, "EUC-KR", "$)C"}},
    {"58", {TCharacterSet::skGB2312, "EUC-CN", "$)A"}},
};
const TCodeSet kRoman{TCharacterSet::skRoman, "ASCII", "(J"};
// JIS C 6226-1978, the older edition of JIS X 0208, is still met in files.
const TCodeSet kJIS1978{TCharacterSet::skJIS0208, "EUC-JP", "$@"};

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

const TTerm* FindTerm(const std::string& Number)
{
    for (const auto& T : kTerms)
        if (Number == T.Number)
            return &T;
    return nullptr;
}

std::string Trim(const std::string& S)
{
    size_t B = 0, E = S.size();
    while (B < E && (S[B] == ' ' || S[B] == '\0'))
        ++B;
    while (E > B && (S[E - 1] == ' ' || S[E - 1] == '\0'))
        --E;
    return S.substr(B, E - B);
}

// A defined term with the usual misspellings mended ("ISO-IR 100",
// "ISO_IR100", "ISO 2022-IR 87"): "ISO_IR n", "ISO 2022 IR n" or the term
// as it stands.
std::string Normalised(const std::string& Term)
{
    std::string U;
    for (char C : Term)
        U += static_cast<char>(C >= 'a' && C <= 'z' ? C - 32 : C);
    auto Digits = [&](size_t From) {
        while (From < U.size() && (U[From] == ' ' || U[From] == '_' || U[From] == '-' || U[From] == '.'))
            ++From;
        const std::string N = U.substr(From);
        return !N.empty() && std::all_of(N.begin(), N.end(), [](char C) { return C >= '0' && C <= '9'; })
                   ? N
                   : std::string();
    };
    auto Sep = [&](size_t At) { return At < U.size() && (U[At] == ' ' || U[At] == '_' || U[At] == '-' || U[At] == '.'); };
    if (U.compare(0, 3, "ISO") == 0 && Sep(3) && U.compare(4, 4, "2022") == 0 && Sep(8) && U.compare(9, 2, "IR") == 0) {
        const std::string N = Digits(11);
        if (!N.empty())
            return "ISO 2022 IR " + N;
    }
    if (U.compare(0, 3, "ISO") == 0 && Sep(3) && U.compare(4, 2, "IR") == 0) {
        const std::string N = Digits(6);
        if (!N.empty())
            return "ISO_IR " + N;
    }
    return U;
}

// The ISO-IR number of "ISO_IR n" or "ISO 2022 IR n", else empty.
std::string IRNumber(const std::string& Term)
{
    if (Term.compare(0, 7, "ISO_IR ") == 0)
        return Term.substr(7);
    if (Term.compare(0, 12, "ISO 2022 IR ") == 0)
        return Term.substr(12);
    return {};
}

// ------------------------------------------------------------------ iconv

class TIconv {
public:
    TIconv(const char* To, const char* From) : Handle(::iconv_open(To, From)) {}
    ~TIconv()
    {
        if (Valid())
            ::iconv_close(Handle);
    }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;
    bool Valid() const { return Handle != reinterpret_cast<iconv_t>(-1); }

    // Converts In whole, strictly, from the initial state; false when any
    // of it does not convert.
    bool Convert(const char* In, size_t Count, std::string& Out)
    {
        return Run(In, Count, Out, nullptr);
    }

    // Converts In whole; each byte that does not convert goes to Bad
    // instead, and the conversion goes on after it.
    template <class F> void ConvertLenient(const char* In, size_t Count, std::string& Out, F Bad)
    {
        std::function<void(uint8_t)> Handler = Bad;
        Run(In, Count, Out, &Handler);
    }

private:
    iconv_t Handle;

    bool Run(const char* In, size_t Count, std::string& Out, const std::function<void(uint8_t)>* Bad)
    {
        if (!Valid()) {
            if (Bad == nullptr)
                return false;
            for (size_t I = 0; I < Count; ++I)
                (*Bad)(static_cast<uint8_t>(In[I]));
            return true;
        }
        ::iconv(Handle, nullptr, nullptr, nullptr, nullptr);
        char* Src = const_cast<char*>(In);
        size_t Left = Count;
        char Buffer[512];
        while (Left > 0) {
            char* Dst = Buffer;
            size_t Room = sizeof Buffer;
            const size_t R = ::iconv(Handle, &Src, &Left, &Dst, &Room);
            Out.append(Buffer, static_cast<size_t>(Dst - Buffer));
            if (R != static_cast<size_t>(-1) || errno == E2BIG)
                continue;
            if (Bad == nullptr)
                return false;
            // A byte that does not convert, or a character cut short at the end.
            (*Bad)(static_cast<uint8_t>(*Src));
            ++Src;
            --Left;
            ::iconv(Handle, nullptr, nullptr, nullptr, nullptr);
        }
        char* Dst = Buffer;
        size_t Room = sizeof Buffer;
        ::iconv(Handle, nullptr, nullptr, &Dst, &Room);
        Out.append(Buffer, static_cast<size_t>(Dst - Buffer));
        return true;
    }
};

// Conversions opened once per decode or encode, by charset name.
class TIconvCache {
public:
    explicit TIconvCache(bool ToUTF8) : ToUTF8(ToUTF8) {}
    TIconv& For(const char* Name)
    {
        auto& Slot = Open[Name];
        if (!Slot)
            Slot = ToUTF8 ? std::make_unique<TIconv>("UTF-8", Name) : std::make_unique<TIconv>(Name, "UTF-8");
        return *Slot;
    }

private:
    bool ToUTF8;
    std::map<std::string, std::unique_ptr<TIconv>> Open;
};

// 80-9F of Windows-1252 that iconv leaves undefined keep their own number.
bool Undefined1252(uint8_t B) { return B == 0x81 || B == 0x8D || B == 0x8F || B == 0x90 || B == 0x9D; }

// Bytes to UTF-8 through iconv, each undecodable byte replaced.
void DecodeLenient(TIconv& Cv, const char* P, size_t N, bool Windows1252, std::string& Out)
{
    Cv.ConvertLenient(P, N, Out, [&](uint8_t B) { AppendUTF8(Out, Windows1252 && Undefined1252(B) ? B : kReplacement); });
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

// ------------------------------------------------------------------ UTF-8

namespace {

// The length of the well-formed UTF-8 sequence at P (of N bytes left), with
// its code point in C; 0 when there is none.
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

// iconv's UTF-8 takes code points beyond Unicode; what we hand on is
// well-formed, each stray byte one U+FFFD.
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

} // namespace

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

// ------------------------------------------------------------ the charset

TCharacterSet::TCharacterSet(const std::string& SpecificCharacterSet)
{
    std::vector<std::string> Terms;
    size_t From = 0;
    for (;;) {
        const size_t Slash = SpecificCharacterSet.find('\\', From);
        Terms.push_back(Normalised(Trim(SpecificCharacterSet.substr(From, Slash - From))));
        if (Slash == std::string::npos)
            break;
        From = Slash + 1;
    }
    const std::string& First = Terms[0];
    // Sets that allow no code extensions ignore any further values.
    if (First == "ISO_IR 192" || First == "GB18030" || First == "GBK") {
        Mode = mStateless;
        IconvName = First == "ISO_IR 192" ? "UTF-8" : First;
        return;
    }
    if (Terms.size() == 1 && First.compare(0, 7, "ISO_IR ") == 0) {
        const std::string N = IRNumber(First);
        if (N == "6" || N == "100") {
            Mode = mWindows1252;
        } else if (N == "13") {
            // JIS X 0201 alone: Roman in G0, Katakana in G1, nothing to switch.
            Mode = mISO2022;
            InitialG0 = kRoman;
            InitialG1 = FindTerm("13")->Set;
            Sets = {InitialG0, InitialG1};
        } else if (const TTerm* T = FindTerm(N); T != nullptr && T->Set.Kind == skUpper) {
            Mode = mStateless;
            IconvName = T->Set.Iconv;
        } else {
            Mode = mUnknown;
        }
        return;
    }
    if (Terms.size() == 1 && First.empty())
        return; // the default repertoire
    // Code extensions. Value 1 sets the initial state; an empty value 1 is the
    // default repertoire.
    Mode = mISO2022;
    InitialG0 = FindTerm("6")->Set;
    bool FirstKnown = First.empty();
    for (size_t I = 0; I < Terms.size(); ++I) {
        const std::string N = IRNumber(Terms[I]);
        const TTerm* T = N.empty() ? nullptr : FindTerm(N);
        if (T == nullptr)
            continue;
        if (T->Set.Kind == skASCII) {
            HasASCII = true;
        } else if (T->Set.Kind == skKatakana) {
            Sets.push_back(kRoman);
            Sets.push_back(T->Set);
        } else {
            Sets.push_back(T->Set);
        }
        if (I == 0) {
            FirstKnown = true;
            if (T->Set.Kind == skKatakana) {
                InitialG0 = kRoman;
                InitialG1 = T->Set;
            } else if (IsG1(T->Set.Kind)) {
                InitialG1 = T->Set;
            }
        }
    }
    if (InitialG0.Kind == skASCII)
        HasASCII = true;
    if (!FirstKnown)
        Mode = mUnknown;
}

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
            static const std::vector<TCodeSet> Known = [] {
                std::vector<TCodeSet> K;
                for (const auto& T : kTerms)
                    K.push_back(T.Set);
                K.push_back(kRoman);
                K.push_back(kJIS1978);
                return K;
            }();
            bool Matched = false;
            for (const auto& S : Known) {
                const size_t L = std::strlen(S.Escape);
                if (I + 1 + L <= N && std::memcmp(P + I + 1, S.Escape, L) == 0) {
                    (IsG1(S.Kind) ? G1 : G0) = S;
                    I += 1 + L;
                    Matched = true;
                    break;
                }
            }
            if (!Matched) {
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
    TCodeSet G0 = InitialG0, G1 = InitialG1;
    auto Designate = [&](const TCodeSet& S) {
        TCodeSet& Reg = IsG1(S.Kind) ? G1 : G0;
        if (!SameSet(Reg, S)) {
            Out += kESC;
            Out += S.Escape;
            Reg = S;
        }
    };
    // Back to value 1's sets, as required before every delimiter and at the
    // end of the value.
    auto Reset = [&]() {
        if (!SameSet(G0, InitialG0))
            Designate(InitialG0);
        if (InitialG1.Kind != skNone && !SameSet(G1, InitialG1))
            Designate(InitialG1);
        G1 = InitialG1;
    };
    const TCodeSet ASCII = FindTerm("6")->Set;
    for (uint32_t C : Chars) {
        if (IsDelimiter(C, Kind, true)) {
            Reset();
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
                Designate(InitialG0);
            } else if (HasASCII) {
                Designate(ASCII);
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
                Designate(HasASCII ? ASCII : InitialG0);
                Bytes = "?";
            }
            Out += Bytes;
            continue;
        }
        const TCodeSet S = *Use;
        Designate(S);
        Out += Bytes;
    }
    Reset();
    return true;
}

std::string TextToUTF8(const std::string& Bytes, const std::string& Codeset)
{
    std::string Out;
    TIconv Cv("UTF-8", Codeset.c_str());
    Cv.ConvertLenient(Bytes.data(), Bytes.size(), Out, [&](uint8_t B) { Out += B < 0x80 ? static_cast<char>(B) : '?'; });
    return Out;
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
