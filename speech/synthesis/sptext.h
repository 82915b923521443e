// Text handling between the caller's UTF-16 text and the engines.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

// Text prepared for the synthesiser, as UTF-8: in its spoken form ("3.2 cm"
// read as "three point two centimeters") or as written, typographic
// characters replaced one code point for one code point.  Code point k of
// the prepared text stands for the UTF-16 units [utf16At[k], utf16End[k]) of
// the original: a character kept as written for itself, every word said for
// a run of the written text for that whole run.
struct TSpeakText {
  QString original;
  QByteArray utf8;
  std::vector<int> utf16At;   // size: code points + 1; last entry: original.size()
  std::vector<int> utf16End;  // size: code points
  std::u32string spoken;      // the prepared text's code points
  int CodePoints() const { return int(utf16At.size()) - 1; }
};

enum class TSpeakForm { AsWritten, Spoken };
TSpeakText PrepareSpeakText(const QString& text, TSpeakForm form = TSpeakForm::AsWritten);

// The character a typographic character is read as, or 0 to keep it.
char32_t SpeakSubstitute(char32_t c);

struct TWordMark {
  int position;  // UTF-16 units into the original text
  int length;
  qint64 sample;  // where the word starts in the audio
};

// Turns the engine's word events (1-based code point position, length in code
// points of the prepared text) into UTF-16 ranges of the original text,
// dropping the engine's stray ones: zero-length words on blanks, repeats at
// one position (numbers such as 3.5 give several, and so do the words said
// for one written run), and anything that goes backwards.  Words the
// engine speaks without an event of their own ("the" in "of the") get one,
// placed in the audio between their neighbours.
class TWordEventFilter {
public:
  explicit TWordEventFilter(const TSpeakText& text) : FText(text) {}
  std::vector<TWordMark> Map(int textPosition, int length, qint64 sample = 0);

private:
  bool IsBlank(int cp) const;
  bool IsWordChar(int utf16) const;
  const TSpeakText& FText;
  int FLastBegin = -1;  // UTF-16, of the last word marked
  int FLastEnd = 0;
  qint64 FLastSample = 0;
};

// The recogniser's words as dictation shows them: their written form, with
// spoken punctuation as symbols ("three point two centimeters period" is
// "3.2 cm.").
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
