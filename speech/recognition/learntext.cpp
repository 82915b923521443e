#include "learntext.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>

namespace learn {
namespace {

using TChars = std::u32string;

// Windows-1252's 0x80..0x9F; the undefined ones keep their C1 number.
constexpr char32_t kCp1252High[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                      0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

void PutUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

// One code point at bytes[i], advancing i; U+FFFD for an invalid sequence
// (and false), one byte consumed.
bool NextUtf8(std::string_view s, size_t& i, char32_t& c) {
  const unsigned char b = static_cast<unsigned char>(s[i]);
  int len = 0;
  char32_t min = 0;
  if (b < 0x80) {
    c = b;
    ++i;
    return true;
  } else if ((b & 0xE0) == 0xC0) {
    len = 2, c = b & 0x1F, min = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    len = 3, c = b & 0x0F, min = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    len = 4, c = b & 0x07, min = 0x10000;
  } else {
    c = 0xFFFD;
    ++i;
    return false;
  }
  if (i + len > s.size()) {
    c = 0xFFFD;
    ++i;
    return false;
  }
  for (int k = 1; k < len; ++k) {
    const unsigned char t = static_cast<unsigned char>(s[i + k]);
    if ((t & 0xC0) != 0x80) {
      c = 0xFFFD;
      ++i;
      return false;
    }
    c = (c << 6) | (t & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    c = 0xFFFD;
    ++i;
    return false;
  }
  i += len;
  return true;
}

bool IsDigit(char32_t c) { return c >= '0' && c <= '9'; }
bool IsLetter(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7);
}
bool IsAlnum(char32_t c) { return IsDigit(c) || IsLetter(c); }
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

const char* const kOnes[20] = {"zero", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "ten",
                               "eleven", "twelve", "thirteen", "fourteen", "fifteen", "sixteen", "seventeen",
                               "eighteen", "nineteen"};
const char* const kTens[10] = {"", "", "twenty", "thirty", "forty", "fifty", "sixty", "seventy", "eighty", "ninety"};

void Below1000(uint64_t n, TSentence& out) {
  if (n >= 100) {
    out.push_back(kOnes[n / 100]);
    out.push_back("hundred");
    n %= 100;
    if (n == 0) return;
  }
  if (n < 20) {
    out.push_back(kOnes[n]);
  } else {
    out.push_back(kTens[n / 10]);
    if (n % 10) out.push_back(kOnes[n % 10]);
  }
}

void Cardinal(uint64_t n, TSentence& out) {
  if (n == 0) {
    out.push_back("zero");
    return;
  }
  static const std::pair<uint64_t, const char*> scales[] = {{1000000000ULL, "billion"}, {1000000, "million"}, {1000, "thousand"}};
  for (const auto& [value, name] : scales)
    if (n >= value) {
      Below1000(n / value, out);
      out.push_back(name);
      n %= value;
    }
  if (n) Below1000(n, out);
}

void Digits(std::u32string_view s, TSentence& out) {
  for (char32_t c : s)
    if (IsDigit(c)) out.push_back(kOnes[c - '0']);
}

// An integer as written: leading zeros and very long numbers digit by digit,
// four-digit years as a person says them.
void Integer(std::u32string_view s, TSentence& out) {
  if (s.empty()) return;
  if ((s.size() > 1 && s[0] == '0') || s.size() > 12) return Digits(s, out);
  uint64_t n = 0;
  for (char32_t c : s) n = n * 10 + (c - '0');
  if (s.size() == 4 && n >= 1100 && n < 2100 && n % 100 != 0 && !(n >= 2000 && n < 2010)) {
    Cardinal(n / 100, out);
    if (n % 100 < 10) out.push_back("oh");
    Cardinal(n % 100, out);
    return;
  }
  Cardinal(n, out);
}

void Ordinal(std::u32string_view s, TSentence& out) {
  Integer(s, out);
  if (out.empty()) return;
  static const std::map<std::string, std::string> irregular = {
      {"one", "first"}, {"two", "second"}, {"three", "third"}, {"five", "fifth"},
      {"eight", "eighth"}, {"nine", "ninth"}, {"twelve", "twelfth"}};
  std::string& last = out.back();
  if (auto it = irregular.find(last); it != irregular.end()) last = it->second;
  else if (last.back() == 'y') last = last.substr(0, last.size() - 1) + "ieth";
  else last += "th";
}

std::string Utf8(std::u32string_view s) {
  std::string out;
  for (char32_t c : s) PutUtf8(out, c);
  return out;
}

// Units after a number: singular and plural.
struct TUnit {
  const char* abbrev;
  const char* one;
  const char* many;
};
constexpr TUnit kUnits[] = {
    {"cm", "centimeter", "centimeters"}, {"mm", "millimeter", "millimeters"}, {"ml", "milliliter", "milliliters"},
    {"cc", "c c", "c c"}, {"kg", "kilogram", "kilograms"}, {"mg", "milligram", "milligrams"},
    {"g", "gauge", "gauge"}, {"fr", "french", "french"}, {"hu", "hounsfield unit", "hounsfield units"},
    {"mmhg", "millimeters of mercury", "millimeters of mercury"}, {"yo", "year old", "year old"},
    {"cms", "centimeter", "centimeters"}, {"mms", "millimeter", "millimeters"}, {"wks", "week", "weeks"},
    {"yrs", "year", "years"}, {"hrs", "hour", "hours"}, {"min", "minute", "minutes"}, {"mins", "minute", "minutes"},
};
// Units that are words of their own away from a number too.
const std::map<std::string, std::string> kFreeUnits = {{"cm", "centimeters"}, {"mm", "millimeters"}, {"ml", "milliliters"}};

// Abbreviations a radiologist writes but does not say; expanded as said.
const std::map<std::string, std::string> kAbbreviations = {
    {"w/", "with"}, {"w/o", "without"}, {"s/p", "status post"}, {"b/l", "bilateral"}, {"r/o", "rule out"},
    {"f/u", "follow up"}, {"y/o", "year old"}, {"c/w", "consistent with"}, {"h/o", "history of"},
    {"e.g", "for example"}, {"i.e", "that is"}, {"vs", "versus"}, {"approx", "approximately"},
    {"bilat", "bilateral"}, {"rt", "right"}, {"lt", "left"}, {"hx", "history"}, {"fx", "fracture"},
    {"pt", "patient"}, {"nl", "normal"}, {"impr", "impression"}, {"pts", "patients"}, {"cxr", "chest x ray"}, {"xray", "x ray"}, {"xrays", "x rays"},
    {"dr", "doctor"}, {"mult", "multiple"}, {"sev", "severe"}, {"mod", "moderate"}, {"incl", "including"},
    {"&", "and"}, {"+", "plus"}, {"=", "equals"}, {"%", "percent"}, {"@", "at"}, {"~", "approximately"},
    {"<", "less than"}, {">", "greater than"}, {"#", "number"},
};
// Abbreviations whose period does not end the sentence.
const char* const kDotted[] = {"e.g.", "i.e.", "dr.", "vs.", "approx.", "mr.", "mrs.", "ms.", "no.", "st.", "fig.", "ca."};

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
    for (const char* d : kDotted)
      if (whole == d || (whole.size() == std::strlen(d) + 1 && whole.compare(0, std::strlen(d), d) == 0 &&
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
