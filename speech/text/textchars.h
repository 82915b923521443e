// Characters of the text normaliser: UTF-8 in and out, and the classes of
// code points it tells apart. Plain C++ without Qt, like learntext.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace learn {

using TChars = std::u32string;
// A sentence of recogniser words.
using TSentence = std::vector<std::string>;

// Windows-1252's 0x80..0x9F; the undefined ones keep their C1 number.
extern const char32_t kCp1252High[32];

void PutUtf8(std::string& out, char32_t c);
// One code point at bytes[i], advancing i; U+FFFD for an invalid sequence
// (and false), one byte consumed.
bool NextUtf8(std::string_view s, size_t& i, char32_t& c);
std::string Utf8(std::u32string_view s);

bool IsDigit(char32_t c);
bool IsLetter(char32_t c);
bool IsAlnum(char32_t c);
bool IsSpace(char32_t c);
char32_t Lower(char32_t c);
// Typographic characters as their plain forms.
char32_t Plain(char32_t c);

}  // namespace learn
