// Text handling between the caller's UTF-16 text and the engines.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

// Text prepared for the synthesiser: typographic characters replaced one code
// point for one code point (so positions keep their meaning), as UTF-8, with
// a table from code point index to UTF-16 index of the original text.
struct TSpeakText {
  QString original;
  QByteArray utf8;
  std::vector<int> utf16At;  // size: code points + 1; last entry: original.size()
  int CodePoints() const { return int(utf16At.size()) - 1; }
};

TSpeakText PrepareSpeakText(const QString& text);

// The character a typographic character is read as, or 0 to keep it.
char32_t SpeakSubstitute(char32_t c);

struct TWordMark {
  int position;  // UTF-16 units into the original text
  int length;
  qint64 sample;  // where the word starts in the audio
};

// Turns the engine's word events (1-based code point position, length in code
// points) into UTF-16 ranges of the original text, dropping the engine's
// stray ones: zero-length words on blanks, repeats at one position (numbers
// such as 3.5 give several), and anything that goes backwards.  Words the
// engine speaks without an event of their own ("the" in "of the") get one,
// placed in the audio between their neighbours.
class TWordEventFilter {
public:
  explicit TWordEventFilter(const TSpeakText& text) : FText(text) {}
  std::vector<TWordMark> Map(int textPosition, int length, qint64 sample = 0);

private:
  bool IsBlank(int cp) const;
  bool IsWordChar(int cp) const;
  const TSpeakText& FText;
  int FLastCp = -1;
  int FLastEnd = 0;
  qint64 FLastSample = 0;
};

// Spoken punctuation to symbols, the way dictation shows it.
QString ApplyDictationReplacements(const QStringList& words);

// The text as flite reads it: one ASCII byte per code point of text.utf8, so a
// byte index is a code point index.  Accented Latin letters lose their
// accents; what an English voice cannot say (other scripts, emoji, control
// characters) and runs of more than three symbols become blanks.
QByteArray FliteInputText(const TSpeakText& text);

// [begin, end) pieces of at most maxLength bytes, cut after each sentence end
// and line break, else at the last blank, else hard; blank pieces left out.
std::vector<std::pair<int, int>> SynthesisChunks(const QByteArray& input, int maxLength);

// Finds the engine's tokens in the input in order: each search starts where
// the last token found ended and stays below end, so positions never go
// backwards or out of range.  Returns -1 for a token not found.
class TTokenLocator {
public:
  TTokenLocator(const QByteArray& input, int begin, int end) : FInput(input), FCursor(begin), FEnd(end) {}
  int Find(const QByteArray& token);

private:
  const QByteArray& FInput;
  int FCursor, FEnd;
};
