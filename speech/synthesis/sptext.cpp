#include "sptext.h"

#include <QChar>
#include <QList>

#include <algorithm>
#include <cctype>

char32_t SpeakSubstitute(char32_t c) {
  switch (c) {
    // Dashes shift or zero the engine's word positions.
    case 0x2010: case 0x2011: case 0x2012: case 0x2212: case 0xFE63: case 0xFF0D:
      return U'-';
    case 0x2013: case 0x2014: case 0x2015: case 0xFE58:
      return U',';
    // Typographic quotes likewise.
    case 0x2018: case 0x2019: case 0x201A: case 0x201B: case 0x2032: case 0x2035:
      return U'\'';
    case 0x201C: case 0x201D: case 0x201E: case 0x201F: case 0x2033: case 0x2036:
    case 0x00AB: case 0x00BB: case 0x2039: case 0x203A:
      return U'"';
    case 0x00A0: case 0x2007: case 0x202F: case 0x2028: case 0x2029:
      return U' ';
    case 0x2026:
      return U'.';
    default:
      return 0;
  }
}

TSpeakText PrepareSpeakText(const QString& text) {
  TSpeakText r;
  r.original = text;
  std::u32string cps;
  cps.reserve(text.size());
  r.utf16At.reserve(text.size() + 1);
  for (int i = 0; i < text.size();) {
    r.utf16At.push_back(i);
    char32_t c = text[i].unicode();
    int n = 1;
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
      c = QChar::surrogateToUcs4(text[i], text[i + 1]);
      n = 2;
    } else if (QChar::isSurrogate(c)) {
      c = U'?';  // a lone surrogate has no UTF-8 form
    } else if (c == 0) {
      c = U' ';  // the engine stops at a NUL
    }
    const bool range = c == 0x2013 && !cps.empty() && cps.back() >= U'0' && cps.back() <= U'9';
    if (char32_t s = SpeakSubstitute(c)) c = range ? U'-' : s;
    cps.push_back(c);
    // A dash between blanks gives the next word's event to the dash; read
    // it as the pause it is.
    const auto blank = [](char32_t x) { return x == U' ' || x == U'\t' || x == U'\n' || x == U'\r'; };
    if (cps.size() >= 3 && blank(cps.back()) && blank(cps[cps.size() - 3]) &&
        (cps[cps.size() - 2] == U'-' || cps[cps.size() - 2] == U','))
      cps[cps.size() - 2] = U',';
    i += n;
  }
  r.utf16At.push_back(int(text.size()));
  r.utf8 = QString::fromUcs4(cps.data(), qsizetype(cps.size())).toUtf8();
  return r;
}

bool TWordEventFilter::IsBlank(int cp) const {
  const int at = FText.utf16At[cp];
  const QChar c = FText.original[at];
  return c.isSpace();
}

bool TWordEventFilter::IsWordChar(int cp) const {
  const QChar c = FText.original[FText.utf16At[cp]];
  return c.isLetterOrNumber() || c.isHighSurrogate();
}

std::vector<TWordMark> TWordEventFilter::Map(int textPosition, int length, qint64 sample) {
  std::vector<TWordMark> out;
  const int n = FText.CodePoints();
  int cp = textPosition - 1;
  if (cp < 0 || cp >= n) return out;
  int end = length > 0 ? std::min(n, cp + length) : cp;
  // Skip blanks the engine counts as part of a word.
  while (cp < end && IsBlank(cp)) ++cp;
  // Repeats start at or inside the word before (3.5 gives "3.5" and ".5").
  if (cp <= FLastCp || cp < FLastEnd) return out;
  if (end <= cp) {
    // A zero-length word: take the run of non-blanks that starts there.
    end = cp;
    while (end < n && !IsBlank(end)) ++end;
    if (end == cp) return out;
  }
  sample = std::max(sample, FLastSample);
  // Words between the last event and this one that got none.
  std::vector<std::pair<int, int>> skipped;
  for (int i = FLastEnd; i < cp;) {
    if (IsBlank(i)) { ++i; continue; }
    int j = i;
    bool word = false;
    while (j < cp && !IsBlank(j)) word |= IsWordChar(j++);
    if (word) skipped.emplace_back(i, j);
    i = j;
  }
  for (size_t k = 0; k < skipped.size(); ++k) {
    const qint64 at = FLastSample + (sample - FLastSample) * qint64(k + 1) / qint64(skipped.size() + 1);
    const int p = FText.utf16At[skipped[k].first];
    out.push_back(TWordMark{p, FText.utf16At[skipped[k].second] - p, at});
  }
  FLastCp = cp;
  FLastEnd = end;
  FLastSample = sample;
  const int p = FText.utf16At[cp];
  out.push_back(TWordMark{p, FText.utf16At[end] - p, sample});
  return out;
}

namespace {
struct TReplacement {
  QStringList words;
  QString symbol;
  bool endOnly;  // only as the last word of the phrase
};

const std::vector<TReplacement>& Replacements() {
  static const std::vector<TReplacement> table = {
      {{"new", "paragraph"}, "\n\n", false},
      {{"new", "line"}, "\n", false},
      {{"question", "mark"}, "?", false},
      {{"exclamation", "mark"}, "!", false},
      {{"exclamation", "point"}, "!", false},
      {{"full", "stop"}, ".", true},
      {{"period"}, ".", true},
      {{"comma"}, ",", false},
      {{"semicolon"}, ";", false},
      {{"colon"}, ":", false},
  };
  return table;
}
}  // namespace

QString ApplyDictationReplacements(const QStringList& words) {
  QString out;
  const auto& table = Replacements();
  for (int i = 0; i < words.size();) {
    const TReplacement* hit = nullptr;
    for (const auto& r : table) {
      const int k = int(r.words.size());
      if (i + k > words.size()) continue;
      if (r.endOnly && i + k != words.size()) continue;
      // A symbol needs a word before it: "comma" alone stays a word.
      if (i == 0 && r.symbol != "\n" && r.symbol != "\n\n") continue;
      bool same = true;
      for (int j = 0; j < k && same; ++j)
        same = words[i + j].compare(r.words[j], Qt::CaseInsensitive) == 0;
      if (same) { hit = &r; break; }
    }
    if (hit) {
      // Symbols attach to the word before; a line break eats the blank.
      while (out.endsWith(' ')) out.chop(1);
      out += hit->symbol;
      i += int(hit->words.size());
      if (i < words.size() && !hit->symbol.startsWith('\n')) out += ' ';
    } else {
      out += words[i];
      ++i;
      if (i < words.size()) out += ' ';
    }
  }
  return out;
}

namespace {
char FliteCharacter(char32_t c) {
  if (c == U'\t' || c == U'\n' || c == U'\r') return char(c);
  if (c < 0x20 || c == 0x7F) return ' ';
  if (c < 0x80) return char(c);
  switch (c) {
    case 0xDF: return 's';
    case 0xC6: case 0xE6: return c == 0xC6 ? 'A' : 'a';
    case 0xD8: case 0xF8: return c == 0xD8 ? 'O' : 'o';
    case 0x141: case 0x142: return c == 0x141 ? 'L' : 'l';
    default: break;
  }
  if (c > 0xFFFF) return ' ';
  const QString d = QString(QChar(char16_t(c))).normalized(QString::NormalizationForm_D);
  if (!d.isEmpty() && d[0].unicode() < 0x80 && d[0].isLetter()) return char(d[0].unicode());
  return ' ';
}
bool IsSymbol(char c) { return c > ' ' && c < 0x7F && !std::isalnum(static_cast<unsigned char>(c)); }
}  // namespace

QByteArray FliteInputText(const TSpeakText& text) {
  const QList<uint> cps = QString::fromUtf8(text.utf8).toUcs4();
  QByteArray out;
  out.reserve(cps.size());
  int run = 0;
  for (uint c : cps) {
    char b = FliteCharacter(char32_t(c));
    run = IsSymbol(b) ? run + 1 : 0;
    // "!!!!!!!!" or "$%^&*@#~..." would be read out one by one.
    if (run > 3) b = ' ';
    out.push_back(b);
  }
  return out;
}

std::vector<std::pair<int, int>> SynthesisChunks(const QByteArray& input, int maxLength) {
  std::vector<std::pair<int, int>> out;
  const int n = int(input.size());
  maxLength = std::max(1, maxLength);
  const auto blank = [&](int i) { return input[i] == ' ' || input[i] == '\t' || input[i] == '\n' || input[i] == '\r'; };
  const auto add = [&](int b, int e) {
    for (int i = b; i < e; ++i)
      if (!blank(i)) {
        out.emplace_back(b, e);
        return;
      }
  };
  int start = 0;
  while (start < n) {
    const int limit = std::min(n, start + maxLength);
    int cut = -1, lastBlank = -1;
    for (int i = start; i < limit; ++i) {
      const char c = input[i];
      if (c == '\n') { cut = i + 1; break; }
      if ((c == '.' || c == '!' || c == '?' || c == ';') && i + 1 < n && blank(i + 1) && i > start) { cut = i + 1; break; }
      if (blank(i)) lastBlank = i;
    }
    if (cut < 0) cut = limit == n ? n : (lastBlank > start ? lastBlank + 1 : limit);
    add(start, cut);
    start = cut;
  }
  return out;
}

int TTokenLocator::Find(const QByteArray& token) {
  if (token.isEmpty() || FCursor >= FEnd) return -1;
  const int at = int(FInput.indexOf(token, FCursor));
  if (at < 0 || at + int(token.size()) > FEnd) return -1;
  FCursor = at + int(token.size());
  return at;
}
