#include "learntext.h"

#include "spokennumbers.h"
#include "textchars.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>

namespace learn {
namespace {

// The word lists are data files (text/data), compiled in: one entry a line,
// fields separated by tabs.
constexpr std::string_view kUnitsData =
#include "units.tsv.inc"
    ;
constexpr std::string_view kFreeUnitsData =
#include "free-units.tsv.inc"
    ;
constexpr std::string_view kAbbreviationsData =
#include "abbreviations.tsv.inc"
    ;
constexpr std::string_view kDottedData =
#include "dotted.txt.inc"
    ;

// The non-empty lines of a list, each split at its tabs.
std::vector<std::vector<std::string>> Entries(std::string_view data) {
  std::vector<std::vector<std::string>> out;
  while (!data.empty()) {
    const size_t end = std::min(data.find('\n'), data.size());
    std::string_view line = data.substr(0, end);
    data.remove_prefix(std::min(end + 1, data.size()));
    if (line.empty()) continue;
    std::vector<std::string> fields;
    for (size_t tab; (tab = line.find('\t')) != std::string_view::npos; line.remove_prefix(tab + 1))
      fields.emplace_back(line.substr(0, tab));
    fields.emplace_back(line);
    out.push_back(std::move(fields));
  }
  return out;
}

std::map<std::string, std::string> Pairs(std::string_view data) {
  std::map<std::string, std::string> out;
  for (auto& e : Entries(data)) out.emplace(e.at(0), e.at(1));
  return out;
}

// Units after a number: singular and plural.
struct TUnit {
  std::string abbrev, one, many;
};
std::vector<TUnit> Units(std::string_view data) {
  std::vector<TUnit> out;
  for (auto& e : Entries(data)) out.push_back({e.at(0), e.at(1), e.at(2)});
  return out;
}

std::vector<std::string> Lines(std::string_view data) {
  std::vector<std::string> out;
  for (auto& e : Entries(data)) out.push_back(e.at(0));
  return out;
}

const std::vector<TUnit> kUnits = Units(kUnitsData);
// Units that are words of their own away from a number too.
const std::map<std::string, std::string> kFreeUnits = Pairs(kFreeUnitsData);
// Abbreviations a radiologist writes but does not say; expanded as said.
const std::map<std::string, std::string> kAbbreviations = Pairs(kAbbreviationsData);
// Abbreviations whose period does not end the sentence.
const std::vector<std::string> kDotted = Lines(kDottedData);

class TNormaliser {
public:
  std::vector<TSentence> sentences;

  void Text(std::string_view utf8) {
    TChars chunk;
    for (size_t i = 0; i < utf8.size();) {
      char32_t c;
      NextUtf8(utf8, i, c);
      c = Plain(c);
      if (IsSpace(c) || c == 0xFFFD || c < 0x20) {
        if (!chunk.empty()) Chunk(chunk), chunk.clear();
        // A line is a sentence at most: reports and lists come a line each,
        // often without a full stop.
        if (c == '\n' || c == 0x2028 || c == 0x2029) EndSentence();
        continue;
      }
      chunk += Lower(c);
      // An unbroken run is no word: cut it (bounds the work per chunk).
      if (chunk.size() > 256) Chunk(chunk), chunk.clear();
    }
    if (!chunk.empty()) Chunk(chunk);
    EndSentence();
  }

private:
  TSentence current;
  bool lastNumber = false, lastWasOne = false;

  void EndSentence() {
    if (!current.empty()) sentences.push_back(std::move(current));
    current.clear();
    lastNumber = lastWasOne = false;
  }

  void Emit(const std::string& words) {
    size_t start = 0;
    while (start < words.size()) {
      size_t end = words.find(' ', start);
      if (end == std::string::npos) end = words.size();
      if (end > start) {
        if (current.size() >= kMaxSentenceWords) EndSentence();
        current.push_back(words.substr(start, end - start));
      }
      start = end + 1;
    }
    lastNumber = lastWasOne = false;
  }
  void EmitNumber(const TSentence& words, bool isOne) {
    for (const auto& w : words) Emit(w);
    lastNumber = true;
    lastWasOne = isOne;
  }

  void Chunk(TChars chunk) {
    // Leading quotes and brackets; "~5" and ".5" keep their sign.
    size_t b = 0;
    while (b < chunk.size() && !IsAlnum(chunk[b]) && !(chunk[b] == '.' && b + 1 < chunk.size() && IsDigit(chunk[b + 1])) &&
           std::u32string_view(U"~<>#&+=%@").find(chunk[b]) == std::u32string_view::npos)
      ++b;
    chunk.erase(0, b);
    if (chunk.empty()) return;
    // Abbreviations whose period belongs to them.
    const std::string whole = Utf8(chunk);
    for (const std::string& dotted : kDotted)
      if (const char* d = dotted.c_str();
          whole == d || (whole.size() == std::strlen(d) + 1 && whole.compare(0, std::strlen(d), d) == 0 &&
                         std::strchr(",;:", whole.back()))) {
        const std::string bare(d, std::strlen(d) - 1);
        const auto it = kAbbreviations.find(bare);
        Emit(it != kAbbreviations.end() ? it->second : bare);
        if (whole.size() > std::strlen(d) && whole.back() != ',') EndSentence();
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
    if (!core.empty() && core.back() == '/' && !kAbbreviations.count(Utf8(core))) core.pop_back();
    if (!core.empty()) Core(core);
    if (ends) EndSentence();
  }

  void Core(const TChars& core) {
    const std::string whole = Utf8(core);
    if (auto it = kAbbreviations.find(whole); it != kAbbreviations.end()) return Emit(it->second);
    // Hyphens join parts said one after another; between two numbers they
    // are a range.
    std::vector<TChars> parts;
    TChars part;
    for (char32_t c : core) {
      if (c == '-') {
        parts.push_back(part);
        part.clear();
      } else {
        part += c;
      }
    }
    parts.push_back(part);
    const auto numeric = [](const TChars& p) {
      return !p.empty() && std::all_of(p.begin(), p.end(), [](char32_t c) { return IsDigit(c) || c == '.'; }) && IsDigit(p[0]);
    };
    for (size_t i = 0; i < parts.size(); ++i) {
      if (parts[i].empty()) continue;
      if (i > 0 && numeric(parts[i]) && numeric(parts[i - 1]) && parts.size() == 2) Emit("to");
      Slashed(parts[i]);
    }
  }

  void Slashed(const TChars& part) {
    if (auto it = kAbbreviations.find(Utf8(part)); it != kAbbreviations.end()) return Emit(it->second);
    std::vector<TChars> pieces;
    TChars piece;
    for (char32_t c : part) {
      if (c == '/') {
        pieces.push_back(piece);
        piece.clear();
      } else {
        piece += c;
      }
    }
    pieces.push_back(piece);
    const auto integer = [](const TChars& p) {
      return !p.empty() && p.size() <= 3 && std::all_of(p.begin(), p.end(), IsDigit);
    };
    if (pieces.size() == 2 && integer(pieces[0]) && integer(pieces[1])) {
      const int num = std::stoi(Utf8(pieces[0])), den = std::stoi(Utf8(pieces[1]));
      if (num >= 1 && den >= 2 && den <= 10 && num < den) return Fraction(num, den);
    }
    for (const TChars& p : pieces)
      if (!p.empty()) Segments(p);
  }

  void Fraction(int num, int den) {
    static const char* const names[11] = {"", "", "half", "third", "quarter", "fifth", "sixth", "seventh", "eighth", "ninth", "tenth"};
    TSentence w;
    Cardinal(uint64_t(num), w);
    std::string name = names[den];
    if (num > 1) name += name == "half" ? "" : "s";
    if (name == "half" && num > 1) name = "halves";
    w.push_back(name);
    EmitNumber(w, false);
    lastNumber = false;
  }

  // Runs of digits and of letters: "c5", "20g", "3.5cm", "10:30", "1st".
  void Segments(const TChars& p) {
    size_t i = 0;
    bool afterNumber = false, afterOne = false;
    while (i < p.size()) {
      const char32_t c = p[i];
      if (IsDigit(c) || (c == '.' && i + 1 < p.size() && IsDigit(p[i + 1]))) {
        size_t j = i;
        while (j < p.size() && (IsDigit(p[j]) || ((p[j] == '.' || p[j] == ',' || p[j] == ':') && j + 1 < p.size() && IsDigit(p[j + 1]))))
          ++j;
        const TChars num = p.substr(i, j - i);
        i = j;
        // An ordinal suffix.
        if (i + 2 <= p.size()) {
          const std::string suf = Utf8(p.substr(i, 2));
          if ((suf == "st" || suf == "nd" || suf == "rd" || suf == "th") && (i + 2 == p.size() || !IsLetter(p[i + 2])) &&
              std::all_of(num.begin(), num.end(), IsDigit)) {
            TSentence w;
            Ordinal(num, w);
            EmitNumber(w, false);
            i += 2;
            afterNumber = false;
            continue;
          }
        }
        TSentence w;
        Number(num, w);
        EmitNumber(w, num == U"1");
        afterNumber = true;
        afterOne = num == U"1";
        continue;
      }
      if (IsLetter(c) || c == '\'') {
        size_t j = i;
        while (j < p.size() && (IsLetter(p[j]) || p[j] == '\'')) ++j;
        TChars letters = p.substr(i, j - i);
        const bool numberFollows = j < p.size() && IsDigit(p[j]);
        i = j;
        while (!letters.empty() && letters.front() == '\'') letters.erase(0, 1);
        while (!letters.empty() && letters.back() == '\'') letters.pop_back();
        if (letters.empty()) continue;
        const std::string word = Utf8(letters);
        const bool numberBefore = afterNumber || lastNumber;
        const bool one = afterNumber ? afterOne : lastWasOne;
        afterNumber = false;
        if (word == "x" && numberFollows) {
          Emit(numberBefore ? "by" : "times");
          continue;
        }
        if (word == "x" && numberBefore) {
          Emit("by");
          continue;
        }
        if (numberBefore) {
          bool unit = false;
          for (const TUnit& u : kUnits)
            if (word == u.abbrev) {
              Emit(one ? u.one : u.many);
              unit = true;
              break;
            }
          if (unit) continue;
        }
        if (auto it = kFreeUnits.find(word); it != kFreeUnits.end()) {
          Emit(it->second);
          continue;
        }
        if (auto it = kAbbreviations.find(word); it != kAbbreviations.end()) {
          Emit(it->second);
          continue;
        }
        Emit(word);
        continue;
      }
      // Symbols said as words; everything else separates.
      const std::string sym = Utf8(p.substr(i, 1));
      ++i;
      if (sym == "%") {
        Emit("percent");
      } else if (auto it = kAbbreviations.find(sym); it != kAbbreviations.end()) {
        Emit(it->second);
      }
      afterNumber = false;
    }
  }

  // A number with its decimal point, thousands separators or time colon.
  void Number(const TChars& s, TSentence& w) {
    const size_t colon = s.find(':');
    if (colon != TChars::npos) {
      const TChars h = s.substr(0, colon), m = s.substr(colon + 1);
      const bool clock = h.size() <= 2 && m.size() == 2 && m.find_first_of(U".,:") == TChars::npos &&
                         h.find_first_of(U".,") == TChars::npos && std::stoi(Utf8(h)) <= 24 && std::stoi(Utf8(m)) < 60;
      if (clock) {
        Integer(h[0] == '0' && h.size() == 2 ? h.substr(1) : h, w);
        if (m == U"00") {
          w.push_back("o'clock");
        } else {
          if (m[0] == '0') w.push_back("oh");
          Integer(m[0] == '0' ? m.substr(1) : m, w);
        }
        return;
      }
      Number(h, w);
      Number(m, w);
      return;
    }
    const size_t comma = s.find(',');
    if (comma != TChars::npos) {
      // Thousands separators only when every group has three digits.
      bool grouped = comma > 0 && comma <= 3;
      TChars digits = s.substr(0, comma);
      size_t at = comma;
      while (grouped && at < s.size() && s[at] == ',') {
        const TChars g = s.substr(at + 1, 3);
        grouped = g.size() == 3 && std::all_of(g.begin(), g.end(), IsDigit);
        digits += g;
        at += 4;
      }
      if (grouped && (at >= s.size() || s[at] == '.')) return Number(digits + s.substr(std::min(at, s.size())), w);
      for (size_t k = 0, start = 0; k <= s.size(); ++k)
        if (k == s.size() || s[k] == ',') {
          if (k > start) Number(s.substr(start, k - start), w);
          start = k + 1;
        }
      return;
    }
    const size_t dot = s.find('.');
    if (dot != TChars::npos) {
      if (dot == 0) w.push_back("point");
      else Integer(s.substr(0, dot), w), w.push_back("point");
      const TChars rest = s.substr(dot + 1);
      const size_t again = rest.find('.');
      Digits(rest.substr(0, again), w);
      if (again != TChars::npos) Number(rest.substr(again + 1), w);  // "1.2.3": a list of numbers
      return;
    }
    Integer(s, w);
  }
};

}  // namespace

bool LooksBinary(std::string_view bytes) {
  size_t controls = 0;
  for (unsigned char c : bytes) {
    if (c == 0) return true;
    if (c < 0x20 && c != '\n' && c != '\r' && c != '\t' && c != '\f' && c != 0x1A) ++controls;
  }
  return controls > 8 && controls * 100 > bytes.size();
}

std::string TextAsUtf8(std::string_view bytes) {
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  bool valid = true;
  for (size_t i = 0; i < bytes.size() && valid;) {
    char32_t c;
    valid = NextUtf8(bytes, i, c);
  }
  if (valid) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (unsigned char b : bytes) PutUtf8(out, b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char32_t(b));
  return out;
}

std::vector<TSentence> NormaliseText(std::string_view utf8) {
  TNormaliser n;
  n.Text(utf8);
  return std::move(n.sentences);
}

std::string NumberWords(uint64_t n) {
  TSentence w;
  if (n > 999999999999ULL) {
    const std::string s = std::to_string(n);
    for (char c : s) w.push_back(kOnes[c - '0']);
  } else {
    Cardinal(n, w);
  }
  std::string out;
  for (const auto& x : w) out += (out.empty() ? "" : " ") + x;
  return out;
}

}  // namespace learn

