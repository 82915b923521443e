// Which character sets a Specific Character Set names: its terms read, with
// their usual misspellings mended, into the mode and sets of TCharacterSet.
#include "charset.h"

#include "charset_iso2022.h"
#include "charset_tables.h"

#include <algorithm>

namespace dicom {

namespace {

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

} // namespace

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

} // namespace dicom
