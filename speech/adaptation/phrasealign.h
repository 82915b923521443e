// Which dictated phrases a saved comment still holds, and in which words.
// Each phrase (the recogniser's words) is aligned with the comment in its
// spoken form (clinicalforms.h: "3.2 x 2.1 cm" is "three point two by two
// point one centimeters") by word edit distance, the comment's words around
// it free. A phrase at least half of whose words are still there is kept,
// with the comment's words it aligned to as its transcript: the user's
// corrections make the transcript right. Spoken punctuation ("comma",
// "period") leaves no word in the spoken comment; it was said all the same,
// so it stays in the transcript where the phrase had it.
// Plain C++ without Qt.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace phrasealign {

struct TPhrase {
  std::vector<std::string> words;  // as the recogniser heard them
  int at = -1;  // code point of the comment where its text went; -1 unknown
};

struct TAligned {
  bool kept = false;
  std::vector<std::string> transcript;  // empty unless kept
  int words = 0;     // the phrase's words, spoken punctuation aside
  int survived = 0;  // of them, found unchanged in the comment
};

// One result per phrase, in their order. Phrases are placed best first and
// each claims the comment words it aligned to, so a phrase said twice finds
// both places; where two places fit equally, the one nearest `at` wins.
std::vector<TAligned> AlignPhrases(std::u32string_view comment, const std::vector<TPhrase>& phrases);

}  // namespace phrasealign
