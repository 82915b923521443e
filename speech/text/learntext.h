// Reading the user's texts for learning their language: bytes of a file to
// UTF-8, then sentences of recogniser words as a person would say them
// ("3.5 cm" is "three point five centimeters", "C5-C6" is "c five c six"),
// said by the text forms (clinicalforms.h) as read-back says them.
// Plain C++ without Qt, so that the fuzzer drives exactly this code.
#pragma once

#include "clinicalforms.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace learn {

// A sentence of recogniser words.
using TSentence = std::vector<std::string>;

// True for bytes that are no text: NUL bytes, or more than a few control
// characters other than blanks and line ends.
bool LooksBinary(std::string_view bytes);

// The bytes as UTF-8: valid UTF-8 as it is (without a byte order mark),
// anything else read as Windows-1252.
std::string TextAsUtf8(std::string_view bytes);

// The sentences of UTF-8 text as recogniser words: lower case, punctuation
// dropped, numbers, measurements, times and common abbreviations spoken.
// Every word is non-empty and holds only a-z, an inner apostrophe and Latin
// letters beyond ASCII; a sentence holds at most kMaxSentenceWords words.
// Invalid UTF-8 bytes separate words.
std::vector<TSentence> NormaliseText(std::string_view utf8);
inline constexpr size_t kMaxSentenceWords = textforms::kMaxSentenceWords;

// An integer in words: 21 is "twenty one"; numbers beyond the billions digit
// by digit.
std::string NumberWords(uint64_t n);

}  // namespace learn
