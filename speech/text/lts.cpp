#include "lts.h"

#include <mutex>
#include <set>
#include <string_view>
#include <vector>

extern "C" {
#include <flite/cst_lexicon.h>
#include <flite/cst_val.h>
cst_lexicon* cmu_lex_init(void);
}

namespace {

// flite's phones that the acoustic model writes differently; the rest are the
// same names in lower case with a stress digit.
struct TPhoneMap {
  std::string_view from, to;
};
constexpr TPhoneMap kPhoneMap[] = {
    {"ax", "AH"}, {"axr", "ER"}, {"dx", "T"},  {"el", "AH L"}, {"em", "AH M"},
    {"en", "AH N"}, {"nx", "N"},  {"hv", "HH"},
};
const std::set<std::string_view> kModelPhones = {
    "AA", "AE", "AH", "AO", "AW", "AY", "B",  "CH", "D", "DH", "EH", "ER", "EY", "F",  "G",  "HH", "IH", "IY", "JH", "K",
    "L",  "M",  "N",  "NG", "OW", "OY", "P",  "R",  "S", "SH", "T",  "TH", "UH", "UW", "V",  "W",  "Y",  "Z",  "ZH"};

// Letter names, for words said letter by letter.
constexpr std::string_view kLetters[26] = {
    "EY",   "B IY", "S IY", "D IY", "IY",   "EH F", "JH IY", "EY CH", "AY",    "JH EY",    "K EY", "EH L", "EH M",
    "EH N", "OW",   "P IY", "K Y UW", "AA R", "EH S", "T IY", "Y UW", "V IY", "D AH B AH L Y UW", "EH K S", "W AY", "Z IY"};

// Abbreviations said letter by letter although they hold a vowel.
const std::set<std::string_view> kSpelled = {"acl", "copd", "gi", "kub", "mrcp", "ct", "mri", "pa", "dvt", "ivc",
                                             "svc", "mca", "ica", "cbd", "ap", "ekg", "ecg", "icu", "ed", "er",
                                             "ng", "ng", "iv", "tv", "ge", "ett", "picu", "nicu", "mra", "cta"};

std::mutex gLexMutex;  // flite's lexicon is not documented as reentrant

cst_lexicon* Lexicon() {
  static cst_lexicon* lex = cmu_lex_init();
  return lex;
}

// The word's letters, a-z, with Latin-1 accented letters folded ("é" is "e").
std::string Letters(const std::string& word) {
  std::string out;
  for (size_t i = 0; i < word.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(word[i]);
    if (c >= 'a' && c <= 'z') {
      out += char(c);
    } else if (c >= 'A' && c <= 'Z') {
      out += char(c - 'A' + 'a');
    } else if (c == 0xC3 && i + 1 < word.size()) {  // U+00C0..U+00FF
      const unsigned char d = static_cast<unsigned char>(word[++i]) | 0x20;  // lower case
      static constexpr std::string_view fold = "aaaaaaeceeeeiiiidnooooo/ouuuuyty";
      const unsigned idx = d >= 0xA0 && d <= 0xBF ? d - 0xA0 : 32;
      if (idx < fold.size() && fold[idx] >= 'a' && fold[idx] <= 'z') out += fold[idx];
    }
  }
  return out;
}

std::string Spell(const std::string& letters) {
  std::string out;
  for (char c : letters) {
    if (!out.empty()) out += ' ';
    out += kLetters[c - 'a'];
  }
  return out;
}

// flite's phone list to the model's phones; empty when a phone has no match.
std::string MapPhones(const cst_val* list) {
  std::string out;
  for (const cst_val* p = list; p; p = val_cdr(p)) {
    std::string ph = val_string(val_car(p));
    while (!ph.empty() && ph.back() >= '0' && ph.back() <= '9') ph.pop_back();
    if (ph.empty() || ph == "pau") continue;
    std::string mapped;
    for (const auto& m : kPhoneMap)
      if (ph == m.from) mapped = m.to;
    if (mapped.empty()) {
      for (char& c : ph) c = char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
      if (!kModelPhones.count(ph)) return {};
      mapped = ph;
    }
    if (!out.empty()) out += ' ';
    out += mapped;
  }
  return out;
}

bool HasVowel(const std::string& letters) {
  return letters.find_first_of("aeiouy") != std::string::npos;
}

// A short word reads as a word when it is vowels with at most one consonant
// (or th, sh, ch, wh) either side: "the", "hip", "ox"; "mri" is spelled.
bool ReadsAsWord(const std::string& letters) {
  size_t i = 0;
  auto consonant = [&](size_t at) { return at < letters.size() && !HasVowel(std::string(1, letters[at])); };
  auto onset = [&] {
    if (i + 1 < letters.size() && letters[i + 1] == 'h' && std::string_view("tscw").find(letters[i]) != std::string_view::npos)
      i += 2;
    else if (consonant(i))
      ++i;
  };
  onset();
  const size_t v = i;
  while (i < letters.size() && !consonant(i)) ++i;
  if (i == v) return false;
  onset();
  return i == letters.size();
}

std::string Lookup(const std::string& lowerCaseUtf8Word, bool rulesOnly) {
  // "morison's": the stem, then a Z, as a speaker adds it.
  std::string word = lowerCaseUtf8Word;
  bool possessive = false;
  if (word.size() > 2 && word.compare(word.size() - 2, 2, "'s") == 0) {
    word.resize(word.size() - 2);
    possessive = true;
  }
  const std::string letters = Letters(word);
  if (letters.empty()) return {};
  std::string phones;
  if (kSpelled.count(letters) || !HasVowel(letters)) {
    phones = Spell(letters);
  } else {
    std::lock_guard<std::mutex> lock(gLexMutex);
    cst_lexicon* lex = Lexicon();
    // Short words that do not read as words are abbreviations.
    if (!rulesOnly && letters.size() <= 3 && !ReadsAsWord(letters)) {
      phones = Spell(letters);
    } else {
      cst_val* v = rulesOnly ? lts_apply(letters.c_str(), "", lex->lts_rule_set)
                             : lex_lookup(lex, letters.c_str(), nullptr, nullptr);
      phones = MapPhones(v);
      delete_val(v);
      if (phones.empty()) phones = Spell(letters);
    }
  }
  if (possessive) phones += " Z";
  return phones;
}

}  // namespace

std::string LetterToSound(const std::string& lowerCaseUtf8Word) { return Lookup(lowerCaseUtf8Word, false); }

std::string LetterToSoundRulesOnly(const std::string& lowerCaseUtf8Word) { return Lookup(lowerCaseUtf8Word, true); }
