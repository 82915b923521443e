// The written and spoken forms of clinical text, in both directions.
// Dictation writes the recogniser's words as a radiologist writes them
// ("three point two by two point one centimeters" is "3.2 x 2.1 cm");
// learning and read-back say written text as a person says it, and read-back
// keeps, for every character it gives the voice, the characters of the
// written text it stands for.  Plain C++ without Qt, so that the fuzzer
// drives exactly this code; the word lists are the files in forms/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace textforms {

// ---- Written to spoken ----

// A spoken word and the code points [begin, end) of the written text it says.
struct TSpokenWord {
  std::string word;
  int begin = 0;
  int end = 0;
};
using TSpokenSentence = std::vector<TSpokenWord>;

// The sentences of written text as recogniser words: lower case, punctuation
// dropped, numbers, measurements, times, levels and common abbreviations
// spoken.  Every word is non-empty and holds only a-z, an inner apostrophe
// and Latin letters beyond ASCII (UTF-8); a sentence holds at most
// kMaxSentenceWords words.  U+FFFD separates words.
std::vector<TSpokenSentence> SpokenSentences(std::u32string_view text);
inline constexpr size_t kMaxSentenceWords = 100;

// Written text as a voice should read it: each run between blanks that says
// something other than its letters ("3.2", "cm", "C5-C6", "s/p") replaced by
// its words, everything else kept as written for the voice's phrasing.
// Code point k of `text` stands for written code points [begin[k], end[k]):
// all the words of a replaced run point at the whole run (its punctuation
// around it aside), a kept character at itself.
struct TReadAloud {
  std::u32string text;
  std::vector<int> begin, end;
};
TReadAloud ReadAloud(std::u32string_view written);

// An integer in words: 21 is "twenty one"; numbers beyond the billions digit
// by digit.
std::string NumberWords(uint64_t n);

// ---- Spoken to written ----

// The recogniser's words as a radiologist writes them, as UTF-8: digits for
// measurements, levels, times, dates, series and image numbers and counts of
// ten or more, units and acronyms in their written form, spoken punctuation
// as symbols.  Small counts in prose stay words; what no rule covers stays
// as said.  No capital is added at the start.
std::string WrittenText(const std::vector<std::string>& words);

// ---- UTF-8 ----

// One code point at s[i], advancing i: false and U+FFFD for an invalid
// sequence, of which one byte is consumed.
bool NextUtf8(std::string_view s, size_t& i, char32_t& c);
void PutUtf8(std::string& out, char32_t c);
std::u32string FromUtf8(std::string_view s);
std::string ToUtf8(std::u32string_view s);

}  // namespace textforms
