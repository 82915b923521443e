// Written text to spoken words: what learning reads from the user's texts
// and what read-back gives the voice.
#include "clinicalforms.h"
#include "formsdata.h"
#include "numberwords.h"

#include <algorithm>
#include <cstring>

namespace textforms {
namespace {

using TChars = std::u32string;

bool IsSpace(char32_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == 0xA0 ||
         (c >= 0x2000 && c <= 0x200B) || c == 0x2028 || c == 0x2029 || c == 0x3000 || c == 0x202F;
}
char32_t Lower(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c == 0x178) return 0xFF;
  if (c >= 0x100 && c <= 0x17F && c % 2 == 0 && c != 0x138) return c + 1;
  return c;
}
// Typographic characters as their plain forms.
char32_t Plain(char32_t c) {
  switch (c) {
    case 0x2018: case 0x2019: case 0x02BC: case 0x2032: case '`': return '\'';
    case 0x2010: case 0x2011: case 0x2012: case 0x2013: case 0x2014: case 0x2212: return '-';
    case 0x201C: case 0x201D: case 0x201E: case 0xAB: case 0xBB: return '"';
    case 0x2044: case 0x2215: return '/';
    case 0xD7: return 'x';
    case 0x2026: return '.';
    default: return c;
  }
}

std::string Lookup(const std::map<std::string, std::string>& m, const std::string& key) {
  const auto it = m.find(key);
  return it == m.end() ? std::string() : it->second;
}

class TReader {
public:
  std::vector<TSpokenSentence> sentences;
  std::vector<std::pair<int, int>> chunks;  // every run between blanks, as found

  void Text(std::u32string_view text) {
    // The runs between blanks first, so that a unit knows the word after it.
    struct TRun {
      int begin, end;
      bool lineAfter;
    };
    std::vector<TRun> runs;
    int start = -1;
    const auto flush = [&](int end, bool line) {
      if (start >= 0) runs.push_back(TRun{start, end, line});
      else if (line && !runs.empty()) runs.back().lineAfter = true;
      start = -1;
    };
    for (int i = 0; i < int(text.size()); ++i) {
      const char32_t c = Plain(text[size_t(i)]);
      if (IsSpace(c) || c == 0xFFFD || c < 0x20) {
        // A line is a sentence at most: reports and lists come a line each,
        // often without a full stop.
        flush(i, c == '\n' || c == 0x2028 || c == 0x2029);
        continue;
      }
      if (start < 0) start = i;
      // An unbroken run is no word: cut it (bounds the work per chunk).
      if (i + 1 - start > 256) flush(i + 1, false);
    }
    flush(int(text.size()), false);
    for (size_t k = 0; k < runs.size(); ++k) {
      TChars chunk;
      for (int i = runs[k].begin; i < runs[k].end; ++i) chunk += Lower(Plain(text[size_t(i)]));
      nextWord.clear();
      if (k + 1 < runs.size() && !runs[k].lineAfter)
        for (int i = runs[k + 1].begin; i < runs[k + 1].end && IsLetter(Plain(text[size_t(i)])); ++i)
          nextWord += Lower(Plain(text[size_t(i)]));
      chunks.emplace_back(runs[k].begin, runs[k].end);
      Chunk(chunk, runs[k].begin);
      if (runs[k].lineAfter) EndSentence();
    }
    EndSentence();
  }

private:
  TSpokenSentence current;
  bool lastNumber = false, lastWasOne = false;
  TChars nextWord;  // the letters the next run starts with, in its sentence
  int coreEnd = 0;  // where the current run's words end, punctuation aside

  // A unit before a noun is said as an adjective, in the singular: "a 3 cm
  // nodule" is "a three centimeter nodule", "3 cm in size" keeps its plural.
  bool Adjective(const TUnit& u, int end) const {
    return u.adjective && end == coreEnd && !nextWord.empty() && !Forms().keepPlural.count(ToUtf8(nextWord));
  }

  void EndSentence() {
    if (!current.empty()) sentences.push_back(std::move(current));
    current.clear();
    lastNumber = lastWasOne = false;
  }

  void Emit(const std::string& words, int begin, int end) {
    for (std::string& w : SplitWords(words)) {
      if (current.size() >= kMaxSentenceWords) EndSentence();
      current.push_back(TSpokenWord{std::move(w), begin, end});
    }
    lastNumber = lastWasOne = false;
  }
  void EmitNumber(const TWords& words, bool isOne, int begin, int end) {
    for (const auto& w : words) Emit(w, begin, end);
    lastNumber = true;
    lastWasOne = isOne;
  }

  void Chunk(TChars chunk, int at) {
    const TFormsData& forms = Forms();
    // Leading quotes and brackets; "~5" and ".5" keep their sign.
    size_t b = 0;
    while (b < chunk.size() && !IsAlnum(chunk[b]) && !(chunk[b] == '.' && b + 1 < chunk.size() && IsDigit(chunk[b + 1])) &&
           std::u32string_view(U"~<>#&+=%@").find(chunk[b]) == std::u32string_view::npos)
      ++b;
    chunk.erase(0, b);
    at += int(b);
    if (chunk.empty()) return;
    // Abbreviations whose full stop belongs to them.
    const std::string whole = ToUtf8(chunk);
    for (const std::string& d : forms.dotted)
      if (whole == d || (whole.size() == d.size() + 1 && whole.compare(0, d.size(), d) == 0 && std::strchr(",;:", whole.back()))) {
        const std::string bare = d.substr(0, d.size() - 1);
        std::string said = Lookup(forms.abbreviations, d);
        if (said.empty()) said = Lookup(forms.abbreviations, bare);
        Emit(said.empty() ? bare : said, at, at + int(d.size()));
        if (whole.size() > d.size() && whole.back() != ',') EndSentence();
        return;
      }
    // Trailing punctuation; a full stop, question, colon or semicolon ends
    // the sentence.
    bool ends = false;
    size_t e = chunk.size();
    while (e > 0 && !IsAlnum(chunk[e - 1]) && chunk[e - 1] != '%' && chunk[e - 1] != '/') {
      if (std::u32string_view(U".!?;:").find(chunk[e - 1]) != std::u32string_view::npos) ends = true;
      --e;
    }
    // "w/" keeps its slash.
    TChars core = chunk.substr(0, e);
    if (!core.empty() && core.back() == '/' && !forms.abbreviations.count(ToUtf8(core))) core.pop_back();
    coreEnd = e == chunk.size() ? at + int(core.size()) : -1;
    if (!core.empty()) Core(core, at);
    if (ends) EndSentence();
  }

  void Core(const TChars& core, int at) {
    const std::string whole = ToUtf8(core);
    if (std::string said = Lookup(Forms().abbreviations, whole); !said.empty())
      return Emit(said, at, at + int(core.size()));
    // A unit with a hyphen of its own ("mGy-cm") after a number.
    if (const auto unit = Forms().unitByWritten.find(whole); unit != Forms().unitByWritten.end() && lastNumber) {
      const int end = at + int(core.size());
      for (const auto& w : lastWasOne || Adjective(*unit->second, end) ? unit->second->one : unit->second->many)
        Emit(w, at, end);
      return;
    }
    // Hyphens join parts said one after another; between two numbers they
    // are a range.
    std::vector<std::pair<TChars, int>> parts;  // with their offsets
    size_t from = 0;
    for (size_t i = 0; i <= core.size(); ++i)
      if (i == core.size() || core[i] == '-') {
        parts.emplace_back(core.substr(from, i - from), int(from));
        from = i + 1;
      }
    const auto numeric = [](const TChars& p) {
      return !p.empty() && std::all_of(p.begin(), p.end(), [](char32_t c) { return IsDigit(c) || c == '.'; }) && IsDigit(p[0]);
    };
    for (size_t i = 0; i < parts.size(); ++i) {
      if (parts[i].first.empty()) continue;
      if (i > 0 && numeric(parts[i].first) && numeric(parts[i - 1].first) && parts.size() == 2)
        Emit("to", at + parts[i].second - 1, at + parts[i].second);
      Slashed(parts[i].first, at + parts[i].second);
    }
  }

  void Slashed(const TChars& part, int at) {
    if (std::string said = Lookup(Forms().abbreviations, ToUtf8(part)); !said.empty())
      return Emit(said, at, at + int(part.size()));
    std::vector<std::pair<TChars, int>> pieces;
    size_t from = 0;
    for (size_t i = 0; i <= part.size(); ++i)
      if (i == part.size() || part[i] == '/') {
        pieces.emplace_back(part.substr(from, i - from), int(from));
        from = i + 1;
      }
    const auto integer = [](const TChars& p) { return !p.empty() && p.size() <= 3 && std::all_of(p.begin(), p.end(), IsDigit); };
    if (pieces.size() == 2 && integer(pieces[0].first) && integer(pieces[1].first)) {
      const int num = std::stoi(ToUtf8(pieces[0].first)), den = std::stoi(ToUtf8(pieces[1].first));
      if (num >= 1 && den >= 2 && den <= 10 && num < den) {
        EmitNumber(FractionWords(num, den), false, at, at + int(part.size()));
        lastNumber = false;
        return;
      }
    }
    for (const auto& [p, offset] : pieces)
      if (!p.empty()) Segments(p, at + offset);
  }

  // Runs of digits and of letters: "c5", "20g", "3.5cm", "10:30", "1st".
  void Segments(const TChars& p, int at) {
    const TFormsData& forms = Forms();
    size_t i = 0;
    bool afterNumber = false, afterOne = false;
    while (i < p.size()) {
      const char32_t c = p[i];
      if (IsDigit(c) || (c == '.' && i + 1 < p.size() && IsDigit(p[i + 1]))) {
        size_t j = i;
        while (j < p.size() && (IsDigit(p[j]) || ((p[j] == '.' || p[j] == ',' || p[j] == ':') && j + 1 < p.size() && IsDigit(p[j + 1]))))
          ++j;
        const TChars num = p.substr(i, j - i);
        const int begin = at + int(i);
        i = j;
        // An ordinal suffix.
        if (i + 2 <= p.size()) {
          const std::string suf = ToUtf8(p.substr(i, 2));
          if ((suf == "st" || suf == "nd" || suf == "rd" || suf == "th") && (i + 2 == p.size() || !IsLetter(p[i + 2])) &&
              std::all_of(num.begin(), num.end(), IsDigit)) {
            EmitNumber(OrdinalWords(num), false, begin, at + int(i + 2));
            i += 2;
            afterNumber = false;
            continue;
          }
        }
        EmitNumber(NumberText(num), num == U"1", begin, at + int(i));
        afterNumber = true;
        afterOne = num == U"1";
        continue;
      }
      if (IsLetter(c) || c == '\'') {
        size_t j = i;
        while (j < p.size() && (IsLetter(p[j]) || p[j] == '\'')) ++j;
        size_t lb = i, le = j;
        const bool numberFollows = j < p.size() && IsDigit(p[j]);
        i = j;
        while (lb < le && p[lb] == '\'') ++lb;
        while (le > lb && p[le - 1] == '\'') --le;
        if (lb == le) continue;
        const std::string word = ToUtf8(p.substr(lb, le - lb));
        const int begin = at + int(lb), end = at + int(le);
        const bool numberBefore = afterNumber || lastNumber;
        const bool one = afterNumber ? afterOne : lastWasOne;
        afterNumber = false;
        if (word == "x" && (numberFollows || numberBefore)) {
          Emit(numberBefore ? "by" : "times", begin, end);
          continue;
        }
        const auto unit = forms.unitByWritten.find(word);
        if (unit != forms.unitByWritten.end() && (numberBefore || unit->second->free)) {
          const TWords& said =
              numberBefore && (one || Adjective(*unit->second, end)) ? unit->second->one : unit->second->many;
          for (const auto& w : said) Emit(w, begin, end);
          continue;
        }
        if (std::string said = Lookup(forms.abbreviations, word); !said.empty()) {
          Emit(said, begin, end);
          continue;
        }
        Emit(word, begin, end);
        continue;
      }
      // Symbols said as words; everything else separates.
      const std::string sym = ToUtf8(p.substr(i, 1));
      if (std::string said = Lookup(forms.abbreviations, sym); !said.empty()) Emit(said, at + int(i), at + int(i) + 1);
      ++i;
      afterNumber = false;
    }
  }
};

// The letters a run says as they stand: its words if it needs no reading.
TWords PlainWords(std::u32string_view run) {
  TWords out;
  TChars word;
  const auto flush = [&] {
    size_t b = 0, e = word.size();
    while (b < e && word[b] == '\'') ++b;
    while (e > b && word[e - 1] == '\'') --e;
    if (e > b) out.push_back(ToUtf8(word.substr(b, e - b)));
    word.clear();
  };
  for (char32_t c : run) {
    c = Lower(Plain(c));
    if (IsLetter(c) || c == '\'') word += c;
    else flush();
  }
  flush();
  return out;
}

}  // namespace

std::vector<TSpokenSentence> SpokenSentences(std::u32string_view text) {
  TReader r;
  r.Text(text);
  return std::move(r.sentences);
}

TReadAloud ReadAloud(std::u32string_view written) {
  TReader r;
  r.Text(written);
  std::vector<const TSpokenWord*> words;
  for (const auto& s : r.sentences)
    for (const auto& w : s) words.push_back(&w);
  TReadAloud out;
  const auto keep = [&](int from, int to) {
    for (int k = from; k < to; ++k) {
      out.text += written[size_t(k)];
      out.begin.push_back(k);
      out.end.push_back(k + 1);
    }
  };
  size_t w = 0;
  int at = 0;
  for (const auto& [cb, ce] : r.chunks) {
    keep(at, cb);
    at = ce;
    std::vector<const TSpokenWord*> said;
    while (w < words.size() && words[w]->begin < ce) said.push_back(words[w++]);
    TWords saidWords;
    for (const auto* s : said) saidWords.push_back(s->word);
    if (said.empty() || saidWords == PlainWords(written.substr(size_t(cb), size_t(ce - cb)))) {
      keep(cb, ce);
      continue;
    }
    int first = ce, last = cb;
    for (const auto* s : said) first = std::min(first, s->begin), last = std::max(last, s->end);
    keep(cb, std::max(cb, first));
    // Every word of the run stands for the whole run: "3.2" is selected
    // while "three point two" is said.
    for (size_t k = 0; k < said.size(); ++k) {
      if (k > 0) {
        out.text += U' ';
        out.begin.push_back(first);
        out.end.push_back(last);
      }
      // Letters said as written keep their case ("C" of "C5" stays a capital).
      const TChars source(written.substr(size_t(said[k]->begin), size_t(said[k]->end - said[k]->begin)));
      TChars lowered;
      for (char32_t c : source) lowered += Lower(Plain(c));
      const TChars word = FromUtf8(said[k]->word);
      for (char32_t c : lowered == word ? source : word) {
        out.text += c;
        out.begin.push_back(first);
        out.end.push_back(last);
      }
    }
    keep(std::min(ce, std::max(last, cb)), ce);
  }
  keep(at, int(written.size()));
  return out;
}

}  // namespace textforms
