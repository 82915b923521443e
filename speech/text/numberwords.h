// Numbers between digits and words, shared by both directions.
#pragma once

#include "formsdata.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace textforms {

inline bool IsDigit(char32_t c) { return c >= '0' && c <= '9'; }
inline bool IsLetter(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7);
}
inline bool IsAlnum(char32_t c) { return IsDigit(c) || IsLetter(c); }

extern const char* const kOnes[20];  // zero .. nineteen
extern const char* const kTens[10];  // "", "", twenty .. ninety

// n in words: "one hundred fifteen", "one million one".
void Cardinal(uint64_t n, TWords& out);
// A number as written, in words: "3.5" is "three point five", "10:30" "ten
// thirty", "1,200" "one thousand two hundred", "2024" "twenty twenty four",
// "007" digit by digit.
TWords NumberText(std::u32string_view s);
// "22" with an ordinal suffix: "twenty second".
TWords OrdinalWords(std::u32string_view digits);
// 2/3: "two thirds".
TWords FractionWords(int num, int den);

}  // namespace textforms
