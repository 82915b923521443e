#include "numberwords.h"

#include "clinicalforms.h"

#include <algorithm>
#include <map>

namespace textforms {

const char* const kOnes[20] = {"zero", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "ten",
                               "eleven", "twelve", "thirteen", "fourteen", "fifteen", "sixteen", "seventeen",
                               "eighteen", "nineteen"};
const char* const kTens[10] = {"", "", "twenty", "thirty", "forty", "fifty", "sixty", "seventy", "eighty", "ninety"};

namespace {

using TChars = std::u32string;

void Below1000(uint64_t n, TWords& out) {
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

void Digits(std::u32string_view s, TWords& out) {
  for (char32_t c : s)
    if (IsDigit(c)) out.push_back(kOnes[c - '0']);
}

int ToInt(std::u32string_view s) {
  int n = 0;
  for (char32_t c : s) n = n * 10 + int(c - '0');
  return n;
}

// An integer as written: leading zeros and very long numbers digit by digit,
// four-digit years as a person says them, and four digits in whole hundreds
// too ("1400 hours", "1200 mL": "fourteen hundred") unless written with a
// thousands separator.
void Integer(std::u32string_view s, TWords& out, bool grouped = false) {
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
  if (s.size() == 4 && !grouped && n % 100 == 0 && n % 1000 != 0) {
    Cardinal(n / 100, out);
    out.push_back("hundred");
    return;
  }
  Cardinal(n, out);
}

void Number(std::u32string_view s, TWords& w, bool grouped = false) {
  const size_t colon = s.find(':');
  if (colon != TChars::npos) {
    const std::u32string_view h = s.substr(0, colon), m = s.substr(colon + 1);
    const bool clock = !h.empty() && h.size() <= 2 && m.size() == 2 && m.find_first_of(U".,:") == TChars::npos &&
                       h.find_first_of(U".,") == TChars::npos && ToInt(h) <= 24 && ToInt(m) < 60;
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
    TChars digits(s.substr(0, comma));
    size_t at = comma;
    while (grouped && at < s.size() && s[at] == ',') {
      const std::u32string_view g = s.substr(at + 1, 3);
      grouped = g.size() == 3 && std::all_of(g.begin(), g.end(), IsDigit);
      digits += g;
      at += 4;
    }
    if (grouped && (at >= s.size() || s[at] == '.')) return Number(digits + TChars(s.substr(std::min(at, s.size()))), w, true);
    for (size_t k = 0, start = 0; k <= s.size(); ++k)
      if (k == s.size() || s[k] == ',') {
        if (k > start) Number(s.substr(start, k - start), w);
        start = k + 1;
      }
    return;
  }
  const size_t dot = s.find('.');
  if (dot != TChars::npos) {
    if (dot > 0) Integer(s.substr(0, dot), w, grouped);
    w.push_back("point");
    const std::u32string_view rest = s.substr(dot + 1);
    const size_t again = rest.find('.');
    Digits(rest.substr(0, again), w);
    if (again != TChars::npos) Number(rest.substr(again + 1), w);  // "1.2.3": a list of numbers
    return;
  }
  Integer(s, w, grouped);
}

}  // namespace

void Cardinal(uint64_t n, TWords& out) {
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

TWords NumberText(std::u32string_view s) {
  TWords w;
  Number(s, w);
  return w;
}

TWords OrdinalWords(std::u32string_view digits) {
  TWords out;
  Integer(digits, out);
  if (out.empty()) return out;
  static const std::map<std::string, std::string> irregular = {
      {"one", "first"}, {"two", "second"}, {"three", "third"}, {"five", "fifth"},
      {"eight", "eighth"}, {"nine", "ninth"}, {"twelve", "twelfth"}};
  std::string& last = out.back();
  if (auto it = irregular.find(last); it != irregular.end()) last = it->second;
  else if (last.back() == 'y') last = last.substr(0, last.size() - 1) + "ieth";
  else last += "th";
  return out;
}

TWords FractionWords(int num, int den) {
  static const char* const names[11] = {"", "", "half", "third", "quarter", "fifth", "sixth", "seventh", "eighth", "ninth", "tenth"};
  TWords w;
  Cardinal(uint64_t(num), w);
  std::string name = names[den];
  if (num > 1) name = name == "half" ? "halves" : name + "s";
  w.push_back(name);
  return w;
}

std::string NumberWords(uint64_t n) {
  TWords w;
  if (n > 999999999999ULL) {
    for (char c : std::to_string(n)) w.push_back(kOnes[c - '0']);
  } else {
    Cardinal(n, w);
  }
  std::string out;
  for (const auto& x : w) out += (out.empty() ? "" : " ") + x;
  return out;
}

}  // namespace textforms
