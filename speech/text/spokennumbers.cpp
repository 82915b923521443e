#include "spokennumbers.h"

#include <map>
#include <string>

namespace learn {

const char* const kOnes[20] = {"zero", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "ten",
                               "eleven", "twelve", "thirteen", "fourteen", "fifteen", "sixteen", "seventeen",
                               "eighteen", "nineteen"};
namespace {
const char* const kTens[10] = {"", "", "twenty", "thirty", "forty", "fifty", "sixty", "seventy", "eighty", "ninety"};

}  // namespace

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

}  // namespace learn
