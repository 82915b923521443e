#include "sptext.h"

#include <QChar>

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
