// Spoken words to written text: dictation's display text.
#include "clinicalforms.h"
#include "formsdata.h"
#include "numberwords.h"

#include <algorithm>
#include <optional>

namespace textforms {
namespace {

int OnesValue(const std::string& w) {  // zero .. nineteen, or -1
  for (int i = 0; i < 20; ++i)
    if (w == kOnes[i]) return i;
  return -1;
}
int TensValue(const std::string& w) {  // twenty .. ninety, or -1
  for (int i = 2; i < 10; ++i)
    if (w == kTens[i]) return i * 10;
  return -1;
}
int DigitValue(const std::string& w) {  // a digit said after "point" or in a time
  if (w == "oh") return 0;
  const int v = OnesValue(w);
  return v < 10 ? v : -1;
}

// Ordinals that name a day of the month: "fifth" 5, "twenty first" 21.
int OrdinalValue(const std::string& w) {
  static const char* const names[20] = {"", "first", "second", "third", "fourth", "fifth", "sixth", "seventh", "eighth",
                                        "ninth", "tenth", "eleventh", "twelfth", "thirteenth", "fourteenth", "fifteenth",
                                        "sixteenth", "seventeenth", "eighteenth", "nineteenth"};
  for (int i = 1; i < 20; ++i)
    if (w == names[i]) return i;
  if (w == "twentieth") return 20;
  if (w == "thirtieth") return 30;
  return -1;
}

bool In(const std::string& w, std::initializer_list<const char*> set) {
  return std::any_of(set.begin(), set.end(), [&](const char* s) { return w == s; });
}

// Whether a word sounds enough like "point" to be the recogniser's guess
// at it ("blind", "planned", "pints", "line"): a lip stop or an l, then n,
// then at most a t or d; vowels, later l and r, a doubled letter and a
// plural s aside.
bool SoundsLikePoint(const std::string& w) {
  std::string key;
  for (char c : w) {
    if (c == 'b' || (c == 'l' && key.empty())) c = 'p';
    else if (c == 'd') c = 't';
    else if (std::string_view("aeiouylrhw").find(c) != std::string_view::npos) continue;
    if (key.empty() || key.back() != c) key += c;
  }
  if (key.size() > 1 && key.back() == 's') key.pop_back();
  return key == "pn" || key == "pnt";
}

// A number said in words, from words[i]: where it ends, its value, and the
// digits it is written as.
struct TNumber {
  size_t next = 0;
  uint64_t value = 0;
  std::string digits;
  bool decimal = false;
};

class TWriter {
public:
  explicit TWriter(const std::vector<std::string>& words) : w(words) {}

  std::string Run() {
    for (size_t i = 0; i < w.size();) i = Step(i);
    return Join();
  }

private:
  struct TPiece {
    std::string text;
    bool symbol = false;  // spoken punctuation: no blank before it
  };
  const std::vector<std::string>& w;
  std::vector<TPiece> out;
  bool numbered = false;  // the last word asks for digits ("series", "image")

  const std::string& At(size_t i) const {
    static const std::string none;
    return i < w.size() ? w[i] : none;
  }

  void Put(std::string text) { out.push_back(TPiece{std::move(text), false}); }

  std::string Join() const {
    std::string s;
    for (size_t k = 0; k < out.size(); ++k) {
      const TPiece& p = out[k];
      if (p.symbol) {
        while (!s.empty() && s.back() == ' ') s.pop_back();
        s += p.text;
        if (k + 1 < out.size() && p.text[0] != '\n') s += ' ';
      } else {
        s += p.text;
        if (k + 1 < out.size()) s += ' ';
      }
    }
    return s;
  }

  // ---- numbers ----

  // 0 .. 99: "seven", "fourteen", "thirty", "thirty one".
  std::optional<TNumber> Below100(size_t i) const {
    const int t = TensValue(At(i));
    if (t > 0) {
      const int o = OnesValue(At(i + 1));
      if (o >= 1 && o <= 9) return TNumber{i + 2, uint64_t(t + o), {}, false};
      return TNumber{i + 1, uint64_t(t), {}, false};
    }
    const int o = OnesValue(At(i));
    if (o >= 0) return TNumber{i + 1, uint64_t(o), {}, false};
    return std::nullopt;
  }

  // 0 .. 999: "two hundred fifty", "a hundred", "one hundred and five";
  // leading, also 1000 .. 9999 in hundreds: "twelve hundred".
  std::optional<TNumber> Below1000(size_t i, bool leading = true) const {
    const std::optional<TNumber> head = At(i) == "a" ? TNumber{i + 1, 1, {}, false} : Below100(i);
    if (!head || head->value < 1 || (!leading && head->value > 9) || At(head->next) != "hundred") return Below100(i);
    TNumber n{head->next + 1, head->value * 100, {}, false};
    size_t j = n.next;
    if (At(j) == "and" && Below100(j + 1)) ++j;
    if (auto r = Below100(j); r && r->value > 0) n.value += r->value, n.next = r->next;
    return n;
  }

  std::optional<TNumber> Cardinal(size_t i) const {
    std::optional<TNumber> n;
    if (At(i) == "a" && At(i + 1) == "thousand") n = TNumber{i + 1, 1, {}, false};
    else n = Below1000(i);
    if (!n) return n;
    if (At(n->next) == "thousand" && n->value > 0) {
      n->value *= 1000;
      ++n->next;
      size_t j = n->next;
      if (At(j) == "and" && Below100(j + 1)) ++j;
      if (auto r = Below1000(j, false); r && r->value > 0) n->value += r->value, n->next = r->next;
    } else if (At(i) == "a") {
      if (n->value != 100) return std::nullopt;
    }
    n->digits = std::to_string(n->value);
    return n;
  }

  // A cardinal or a decimal ("three point two", "point five").
  std::optional<TNumber> Number(size_t i) const {
    std::optional<TNumber> n;
    if (At(i) == "point" && DigitValue(At(i + 1)) >= 0) n = TNumber{i, 0, "0", false};
    else n = Cardinal(i);
    if (!n) return n;
    // A word like "point" between a number below a hundred and digits is
    // the point misheard, where a measurement follows: "eighteen blind five
    // centimeters" is 18.5 cm rather than three tokens of which two wrong.
    const bool point = At(n->next) == "point";
    if (DigitValue(At(n->next + 1)) < 0 ||
        !(point || (n->value < 100 && OnesValue(At(n->next)) < 0 && SoundsLikePoint(At(n->next)))))
      return n;
    size_t j = n->next + 1;
    std::string fraction;
    while (DigitValue(At(j)) >= 0) fraction += char('0' + DigitValue(At(j++)));
    if (point || At(j) == "by" || Unit(j, false)) {
      n->digits += '.' + fraction;
      n->next = j;
      n->decimal = true;
    }
    return n;
  }

  // ---- units ----

  // A unit said at words[i]; perOnly units only when asked for.
  std::optional<std::pair<const TUnit*, size_t>> Unit(size_t i, bool afterPer) const {
    const TUnit* best = nullptr;
    size_t length = 0;
    for (const TUnit& u : Forms().units) {
      if (!u.write || u.per != afterPer) continue;
      for (const TWords* said : {&u.one, &u.many}) {
        if (said->size() <= length || i + said->size() > w.size()) continue;
        if (std::equal(said->begin(), said->end(), w.begin() + long(i))) best = &u, length = said->size();
      }
    }
    if (!best) return std::nullopt;
    return std::make_pair(best, i + length);
  }

  std::string UnitText(const TUnit& u, size_t from, size_t to) const {
    if (u.written != "-") return u.written;
    std::string s;
    for (size_t k = from; k < to; ++k) s += (s.empty() ? "" : " ") + w[k];
    return s;
  }

  // ---- the rules, tried in order at each word ----

  size_t Step(size_t i) {
    const bool digits = numbered;
    numbered = false;
    if (size_t n = Punctuation(i)) return n;
    if (size_t n = Level(i)) return n;
    if (size_t n = Date(i)) return n;
    if (size_t n = Year(i)) return n;
    if (size_t n = Time(i)) return n;
    if (size_t n = Measurement(i, digits)) return n;
    for (const auto& [said, written] : Forms().capitals)
      if (i + said.size() <= w.size() && std::equal(said.begin(), said.end(), w.begin() + long(i))) {
        Put(written);
        numbered = Forms().numbered.count(said.back()) > 0;
        return i + said.size();
      }
    numbered = Forms().numbered.count(w[i]) > 0;
    Put(w[i]);
    return i + 1;
  }

  size_t Punctuation(size_t i) {
    for (const TPunctuation& p : Forms().punctuation) {
      const size_t k = p.words.size();
      if (i + k > w.size() || (p.endOnly && i + k != w.size())) continue;
      // A symbol needs a word before it: "comma" alone stays a word.
      if (i == 0 && p.symbol[0] != '\n') continue;
      if (!std::equal(p.words.begin(), p.words.end(), w.begin() + long(i))) continue;
      out.push_back(TPiece{p.symbol, true});
      return i + k;
    }
    return 0;
  }

  // Spinal levels: "c five" C5, "c five c six" C5-C6, "l four five" L4-5.
  static int LevelLimit(const std::string& letter) {
    return letter == "c" ? 8 : letter == "t" ? 12 : letter == "l" ? 6 : letter == "s" ? 5 : 0;
  }
  std::optional<TNumber> LevelAt(size_t i) const {
    const int limit = LevelLimit(At(i));
    if (!limit) return std::nullopt;
    auto n = Below100(i + 1);
    if (!n || n->value < 1 || n->value > uint64_t(limit) || At(n->next) == "point") return std::nullopt;
    return n;
  }
  size_t Level(size_t i) {
    const auto first = LevelAt(i);
    if (!first) return 0;
    auto Upper = [](const std::string& l) { return std::string(1, char(l[0] - 32)); };
    std::string text = Upper(w[i]) + std::to_string(first->value);
    size_t next = first->next;
    if (const auto second = LevelAt(next)) {
      text += "-" + Upper(w[next]) + std::to_string(second->value);
      next = second->next;
    } else if (auto bare = Below100(next); bare && bare->value == first->value + 1 && !Unit(bare->next, false)) {
      text += "-" + std::to_string(bare->value);
      next = bare->next;
    }
    Put(text);
    return next;
  }

  // A time of day: "ten thirty" 10:30 where a time is expected, "nine oh
  // five" 9:05, "two o'clock", "seven a m".
  size_t Time(size_t i) {
    const auto hour = Below100(i);
    if (!hour || hour->value > 23 || (i > 0 && (w[i - 1] == "point" || Forms().numbered.count(w[i - 1])))) return 0;
    size_t j = hour->next;
    std::string text;
    if (At(j) == "oh" && DigitValue(At(j + 1)) > 0 && !Unit(j + 2, false)) {
      text = std::to_string(hour->value) + ":0" + std::to_string(DigitValue(At(j + 1)));
      j += 2;
    } else if (At(j) == "o'clock" && hour->value >= 1 && hour->value <= 12) {
      Put(std::to_string(hour->value) + " o'clock");
      return j + 1;
    } else if (auto minutes = Below100(j); minutes && minutes->value >= 10 && minutes->value < 60 && hour->value >= 1) {
      const bool before = i > 0 && In(w[i - 1], {"at", "until", "till", "from", "to", "since", "after", "before", "around",
                                                  "about", "approximately", "by"});
      const bool after = In(At(minutes->next), {"a", "p", "am", "pm", "hours"}) && (At(minutes->next).size() > 1 ||
                                                                                  At(minutes->next + 1) == "m");
      if ((!before && !after) || Unit(minutes->next, false) || At(minutes->next) == "point") return 0;
      text = std::to_string(hour->value) + ":" + std::to_string(minutes->value);
      j = minutes->next;
    } else if (hour->value >= 1 && hour->value <= 12 && (At(j) == "a" || At(j) == "p") && At(j + 1) == "m") {
      text = std::to_string(hour->value);
    } else {
      return 0;
    }
    if ((At(j) == "a" || At(j) == "p") && At(j + 1) == "m") {
      text += At(j) == "a" ? " AM" : " PM";
      j += 2;
    } else if (At(j) == "am" || At(j) == "pm") {
      text += At(j) == "am" ? " AM" : " PM";
      ++j;
    }
    Put(text);
    return j;
  }

  // "twenty twenty four" 2024, "nineteen ninety" 1990, where a year is
  // expected or the pair can be nothing else.
  std::optional<TNumber> YearAt(size_t i) const {
    if (At(i) != "twenty" && At(i) != "nineteen") return std::nullopt;
    std::optional<TNumber> rest;
    if (At(i + 1) == "oh" && DigitValue(At(i + 2)) > 0) rest = TNumber{i + 3, uint64_t(DigitValue(At(i + 2))), {}, false};
    else rest = Below100(i + 1);
    if (!rest || (rest->value < 10 && At(i + 1) != "oh") || Unit(rest->next, false) || At(rest->next) == "point" ||
        At(rest->next) == "by")
      return std::nullopt;
    TNumber n = *rest;
    n.value += (At(i) == "twenty" ? 2000 : 1900);
    n.digits = std::to_string(n.value);
    return n;
  }
  size_t Year(size_t i) {
    const auto year = YearAt(i);
    if (!year) return 0;
    const bool expected = i > 0 && In(w[i - 1], {"in", "since", "of", "from", "until", "year", "during", "early", "late", "mid"});
    if (!expected && !(w[i] == "twenty" && (w[i + 1] == "twenty" || w[i + 1] == "nineteen" || w[i + 1] == "oh"))) return 0;
    Put(year->digits);
    return year->next;
  }

  // "march fifth twenty twenty four": March 5, 2024.
  size_t Date(size_t i) {
    if (!Forms().months.count(w[i])) return 0;
    size_t j = i + 1;
    int day = -1;
    if (TensValue(At(j)) == 20 || TensValue(At(j)) == 30) {
      if (const int o = OrdinalValue(At(j + 1)); o >= 1 && o <= 9) day = TensValue(At(j)) + o, j += 2;
    }
    if (day < 0 && (day = OrdinalValue(At(j))) > 0) ++j;
    // "March 5" read back says the day as a cardinal; "may" needs a year
    // after it then, being a word of its own.
    if (const auto n = Below100(j); day < 0 && n && n->value >= 1 && n->value <= 31 &&
                                    (w[i] != "may" || YearAt(n->next))) {
      day = int(n->value);
      j = n->next;
    }
    if (day < 1 || day > 31) return 0;
    std::string text = w[i];
    text[0] = char(text[0] - 32);
    text += " " + std::to_string(day);
    if (const auto year = YearAt(j)) {
      text += ", " + year->digits;
      j = year->next;
    }
    Put(text);
    return j;
  }

  static bool Dimension(const std::string& connector) { return connector == "by" || connector == "times"; }

  // Numbers with their units: "three point two by two point one
  // centimeters" 3.2 x 2.1 cm, "forty percent" 40%, "three to four
  // millimeters" 3 to 4 mm; a count without a unit in digits from ten on.
  size_t Measurement(size_t i, bool digits) {
    const auto first = Number(i);
    if (!first) return 0;
    // "the twenty first of january" is an ordinal, not 20 and a word;
    // "a thirty second delay" a duration.
    if (first->next == i + 1 && TensValue(w[i]) > 0 && OrdinalValue(At(i + 1)) > 0 && OrdinalValue(At(i + 1)) < 10 &&
        At(i + 1) != "second")
      return 0;
    struct TPart {
      size_t from;
      TNumber number;
      std::string connector, unit;
      bool tight = false;
    };
    std::vector<TPart> parts;
    size_t j = i;
    std::string connector;
    bool unit = false, decimal = false, by = true;
    while (true) {
      auto n = parts.empty() ? first : Number(j);
      if (!n) break;
      TPart p{j, *n, connector, {}, false};
      j = n->next;
      // "one and a half centimeters"
      if (!n->decimal && At(j) == "and" && At(j + 1) == "a" && At(j + 2) == "half" && Unit(j + 3, false)) {
        p.number.digits += ".5";
        p.number.decimal = true;
        j += 3;
      }
      if (auto u = Unit(j, false)) {
        p.unit = UnitText(*u->first, j, u->second);
        p.tight = u->first->tight;
        j = u->second;
        if (At(j) == "per")
          if (auto per = Unit(j + 1, false) ? Unit(j + 1, false) : Unit(j + 1, true)) {
            p.unit += "/" + UnitText(*per->first, j + 1, per->second);
            j = per->second;
          }
        unit = true;
      }
      decimal |= p.number.decimal;
      parts.push_back(p);
      // "by" and "times" join dimensions, "to", "and" and "or" ranges
      // ("between two and three centimeters").
      if (In(At(j), {"by", "times", "to", "and", "or"}) && Number(j + 1)) {
        connector = At(j);
        by &= Dimension(connector);
        ++j;
        continue;
      }
      break;
    }
    if (!unit) {
      // Counts: in digits from ten on, or all in words; "by" is "x" only
      // between decimals.
      bool big = digits;
      for (const TPart& p : parts) big |= p.number.decimal || p.number.value >= 10;
      const bool times = by && decimal && parts.size() > 1;
      for (const TPart& p : parts) {
        if (!p.connector.empty()) Put(times && Dimension(p.connector) ? "x" : p.connector);
        if (big) Put(p.number.digits);
        else for (size_t k = p.from; k < p.number.next; ++k) Put(w[k]);
      }
      return parts.back().number.next;
    }
    for (const TPart& p : parts) {
      if (!p.connector.empty()) Put(Dimension(p.connector) ? "x" : p.connector);
      if (p.unit.empty()) Put(p.number.digits);
      else Put(p.number.digits + (p.tight ? "" : " ") + p.unit);
    }
    return j;
  }
};

}  // namespace

std::string WrittenText(const std::vector<std::string>& words) { return TWriter(words).Run(); }

}  // namespace textforms
