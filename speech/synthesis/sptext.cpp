#include "sptext.h"

#include "clinicalforms.h"

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

TSpeakText PrepareSpeakText(const QString& text, TSpeakForm form) {
  TSpeakText r;
  r.original = text;
  // The text's code points and where each starts in UTF-16.
  std::u32string written;
  std::vector<int> at;
  written.reserve(text.size());
  at.reserve(text.size() + 1);
  for (int i = 0; i < text.size();) {
    at.push_back(i);
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
    written.push_back(c);
    i += n;
  }
  at.push_back(int(text.size()));
  textforms::TReadAloud read;
  if (form == TSpeakForm::Spoken) {
    read = textforms::ReadAloud(written);
  } else {
    read.text = written;
    for (int k = 0; k < int(written.size()); ++k) read.begin.push_back(k), read.end.push_back(k + 1);
  }
  std::u32string& cps = r.spoken;
  cps.reserve(read.text.size());
  r.utf16At.reserve(read.text.size() + 1);
  r.utf16End.reserve(read.text.size());
  for (size_t k = 0; k < read.text.size(); ++k) {
    r.utf16At.push_back(at[size_t(read.begin[k])]);
    r.utf16End.push_back(at[size_t(read.end[k])]);
    char32_t c = read.text[k];
    const bool range = c == 0x2013 && !cps.empty() && cps.back() >= U'0' && cps.back() <= U'9';
    if (char32_t s = SpeakSubstitute(c)) c = range ? U'-' : s;
    cps.push_back(c);
    // A dash between blanks gives the next word's event to the dash; read
    // it as the pause it is.
    const auto blank = [](char32_t x) { return x == U' ' || x == U'\t' || x == U'\n' || x == U'\r'; };
    if (cps.size() >= 3 && blank(cps.back()) && blank(cps[cps.size() - 3]) &&
        (cps[cps.size() - 2] == U'-' || cps[cps.size() - 2] == U','))
      cps[cps.size() - 2] = U',';
  }
  r.utf16At.push_back(int(text.size()));
  r.utf8 = QString::fromUcs4(cps.data(), qsizetype(cps.size())).toUtf8();
  return r;
}

bool TWordEventFilter::IsBlank(int cp) const {
  const char32_t c = FText.spoken[size_t(cp)];
  return c < 0x10000 ? QChar(char16_t(c)).isSpace() : false;
}

bool TWordEventFilter::IsWordChar(int utf16) const {
  const QChar c = FText.original[utf16];
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
  if (end <= cp) {
    // A zero-length word: take the run of non-blanks that starts there.
    end = cp;
    while (end < n && !IsBlank(end)) ++end;
    if (end == cp) return out;
  }
  // The written characters the word stands for.
  const int begin16 = FText.utf16At[size_t(cp)];
  int end16 = begin16;
  for (int k = cp; k < end; ++k) end16 = std::max(end16, FText.utf16End[size_t(k)]);
  // Repeats start at or inside the word before (3.5 gives "3.5" and ".5").
  if (begin16 <= FLastBegin || begin16 < FLastEnd) return out;
  sample = std::max(sample, FLastSample);
  // Words between the last event and this one that got none.
  std::vector<std::pair<int, int>> skipped;
  const QString& o = FText.original;
  for (int i = FLastEnd; i < begin16;) {
    if (o[i].isSpace()) { ++i; continue; }
    int j = i;
    bool word = false;
    while (j < begin16 && !o[j].isSpace()) word |= IsWordChar(j++);
    if (word) skipped.emplace_back(i, j);
    i = j;
  }
  for (size_t k = 0; k < skipped.size(); ++k) {
    const qint64 at = FLastSample + (sample - FLastSample) * qint64(k + 1) / qint64(skipped.size() + 1);
    out.push_back(TWordMark{skipped[k].first, skipped[k].second - skipped[k].first, at});
  }
  FLastBegin = begin16;
  FLastEnd = end16;
  FLastSample = sample;
  out.push_back(TWordMark{begin16, end16 - begin16, sample});
  return out;
}

QString ApplyDictationReplacements(const QStringList& words) {
  std::vector<std::string> said;
  said.reserve(size_t(words.size()));
  for (const QString& w : words) said.push_back(w.toStdString());
  return QString::fromStdString(textforms::WrittenText(said));
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
