#include "charset_tables.h"

namespace dicom {

namespace {

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

} // namespace

const TCodeSet kRoman{TCharacterSet::skRoman, "ASCII", "(J"};
const TCodeSet kJIS1978{TCharacterSet::skJIS0208, "EUC-JP", "$@"};

std::span<const TTerm> Terms()
{
    return kTerms;
}

const TTerm* FindTerm(const std::string& Number)
{
    for (const auto& T : kTerms)
        if (Number == T.Number)
            return &T;
    return nullptr;
}

const std::vector<TCodeSet>& DesignableSets()
{
    static const std::vector<TCodeSet> Known = [] {
        std::vector<TCodeSet> K;
        for (const auto& T : kTerms)
            K.push_back(T.Set);
        K.push_back(kRoman);
        K.push_back(kJIS1978);
        return K;
    }();
    return Known;
}

} // namespace dicom
