// The character sets of ISO 2022 that DICOM names, by the number of their
// ISO-IR registration, with the iconv mapping and the escape sequence of each.
#pragma once

#include "charset.h"

#include <span>
#include <string>
#include <vector>

namespace dicom {

using TCodeSet = TCharacterSet::TCodeSet;

struct TTerm {
    const char* Number;
    TCodeSet Set;
};

// Every term a Specific Character Set may name with code extensions.
std::span<const TTerm> Terms();
// The term of an ISO-IR number, else null.
const TTerm* FindTerm(const std::string& Number);

// JIS X 0201 Roman, in G0 beside the Katakana of ISO-IR 13.
extern const TCodeSet kRoman;
// JIS C 6226-1978, the older edition of JIS X 0208, is still met in files.
extern const TCodeSet kJIS1978;

// Every set an escape sequence in a value may designate.
const std::vector<TCodeSet>& DesignableSets();

} // namespace dicom
