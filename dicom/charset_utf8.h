// UTF-8 as the character set conversions hand it on: split into code points,
// built from them, and made well-formed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dicom {

// What stands for a byte or a character that does not convert.
constexpr uint32_t kReplacement = 0xFFFD;

// Splits UTF-8 into code points; false when it is not valid UTF-8.
bool DecodeUTF8(const std::string& Text, std::vector<uint32_t>& Out);
void AppendUTF8(std::string& Out, uint32_t CodePoint);

// The length of the well-formed UTF-8 sequence at P (of N bytes left), with
// its code point in C; 0 when there is none.
size_t NextUTF8(const uint8_t* P, size_t N, uint32_t& C);

// iconv's UTF-8 takes code points beyond Unicode; what we hand on is
// well-formed, each stray byte one U+FFFD.
std::string WellFormed(const std::string& Text);

} // namespace dicom
