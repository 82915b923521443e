#include "formsdata.h"

#include <algorithm>
#include <stdexcept>

namespace textforms {

TWords SplitWords(std::string_view s) {
  TWords out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && s[i] == ' ') ++i;
    size_t j = i;
    while (j < s.size() && s[j] != ' ') ++j;
    if (j > i) out.emplace_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

namespace {

std::string Unescape(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char n = s[++i];
      out += n == 'n' ? '\n' : n;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return std::string(s.substr(b, e - b));
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c + 32);
  return s;
}

TFormsData Load() {
  TFormsData d;
  for (const auto& row : FormsRows("units")) {
    if (row.size() < 3) throw std::logic_error("units: a row needs the written form and two spoken ones");
    TUnit u;
    u.written = row[0];
    u.one = SplitWords(row[1]);
    u.many = SplitWords(row[2]);
    const TWords flags = row.size() > 3 ? SplitWords(row[3]) : TWords{};
    const auto has = [&](const char* f) { return std::find(flags.begin(), flags.end(), f) != flags.end(); };
    u.write = !has("read");
    u.free = has("free");
    u.per = has("per");
    u.read = !has("write") && u.written != "-";
    u.tight = has("tight");
    u.adjective = has("adj");
    d.units.push_back(std::move(u));
  }
  for (const TUnit& u : d.units)
    if (u.read) d.unitByWritten.emplace(Lower(u.written), &u);
  for (const auto& row : FormsRows("abbreviations")) {
    const std::string key = Lower(row[0]);
    if (row.size() > 1) d.abbreviations[key] = row[1];
    if (key.size() > 1 && key.back() == '.') d.dotted.push_back(key);
  }
  for (const auto& row : FormsRows("acronyms"))
    d.capitals.emplace_back(SplitWords(row.size() > 1 ? row[1] : Lower(row[0])), row[0]);
  std::stable_sort(d.capitals.begin(), d.capitals.end(),
                   [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
  for (const auto& row : FormsRows("numbered")) d.numbered.insert(Lower(row[0]));
  for (const auto& row : FormsRows("months")) d.months.insert(Lower(row[0]));
  for (const auto& row : FormsRows("plural")) d.keepPlural.insert(Lower(row[0]));
  for (const auto& row : FormsRows("punctuation")) {
    if (row.size() < 2) throw std::logic_error("punctuation: a row needs the symbol and its words");
    d.punctuation.push_back(TPunctuation{row[0], SplitWords(row[1]), row.size() > 2 && row[2] == "end"});
  }
  return d;
}

}  // namespace

std::vector<std::vector<std::string>> FormsRows(std::string_view name) {
  const TFormsList* list = nullptr;
  for (int i = 0; i < kFormsListCount; ++i)
    if (name == kFormsLists[i].name) list = &kFormsLists[i];
  if (!list) throw std::logic_error("no word list " + std::string(name));
  std::vector<std::vector<std::string>> rows;
  const std::string_view text(list->text);
  size_t at = 0;
  while (at < text.size()) {
    size_t nl = text.find('\n', at);
    if (nl == std::string_view::npos) nl = text.size();
    const std::string line = Trim(text.substr(at, nl - at));
    at = nl + 1;
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> row;
    size_t from = 0;
    while (true) {
      const size_t bar = line.find(" | ", from);
      row.push_back(Unescape(Trim(std::string_view(line).substr(from, bar == std::string::npos ? std::string::npos : bar - from))));
      if (bar == std::string::npos) break;
      from = bar + 3;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

const TFormsData& Forms() {
  static const TFormsData data = Load();
  return data;
}

}  // namespace textforms
