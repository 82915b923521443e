// Numbers as a person says them, for the text normaliser. Plain C++ without
// Qt, like learntext.h.
#pragma once

#include "textchars.h"

#include <cstdint>
#include <string>
#include <vector>
#include <string_view>

namespace learn {

extern const char* const kOnes[20];

// 0 < n < 1000.
void Below1000(uint64_t n, TSentence& out);
void Cardinal(uint64_t n, TSentence& out);
// Each digit of s on its own.
void Digits(std::u32string_view s, TSentence& out);
// An integer as written: leading zeros and very long numbers digit by digit,
// four-digit years as a person says them.
void Integer(std::u32string_view s, TSentence& out);
void Ordinal(std::u32string_view s, TSentence& out);

}  // namespace learn
