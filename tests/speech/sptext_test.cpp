// Text handling between callers and engines: position tables, the cleanup of
// the synthesiser's word events and spoken punctuation.
#include "sptext.h"

#include <gtest/gtest.h>

TEST(SpeakText, PositionTableCountsSurrogatePairsAsOneCodePoint) {
  const QString text = QString::fromUtf8("a\xF0\x9F\x98\x80" "b\r\nc");  // a, U+1F600, b, CR, LF, c
  const TSpeakText t = PrepareSpeakText(text);
  ASSERT_EQ(t.CodePoints(), 6);
  EXPECT_EQ(t.utf16At, (std::vector<int>{0, 1, 3, 4, 5, 6, 7}));
  EXPECT_EQ(QString::fromUtf8(t.utf8), text);
}

TEST(SpeakText, TypographicCharactersAreReplacedOneForOne) {
  struct Case { const char* in; const char* out; };
  const Case cases[] = {
      {"it\xE2\x80\x99s \xE2\x80\x9Cok\xE2\x80\x9D", "it's \"ok\""},
      {"yes \xE2\x80\x94 no\xC2\xA0way", "yes , no way"},   // a dash between blanks is a pause
      {"yes - no", "yes , no"},
      {"x-ray 3\xE2\x80\x93" "5 mm", "x-ray 3-5 mm"},        // a range keeps its dash
      {"wait\xE2\x80\xA6", "wait."},
  };
  for (const auto& c : cases) {
    const QString text = QString::fromUtf8(c.in);
    const TSpeakText t = PrepareSpeakText(text);
    EXPECT_EQ(QString::fromUtf8(t.utf8), QString::fromUtf8(c.out)) << c.in;
    EXPECT_EQ(t.CodePoints(), text.size());
  }
}

TEST(WordEvents, MapsToUtf16AndDropsTheEnginesStrayEvents) {
  const QString text = QString::fromUtf8("caf\xC3\xA9 \xF0\x9F\x98\x80 3.5 ok  end");
  const TSpeakText t = PrepareSpeakText(text);
  TWordEventFilter f(t);
  struct Case { int pos, len; bool kept; int u16, u16len; };
  // Every case below brings at most one word.
  const Case cases[] = {
      {1, 4, true, 0, 4},     // café
      {5, 0, false, 0, 0},    // zero length on a blank
      {6, 1, true, 5, 2},     // the emoji: one code point, two UTF-16 units
      {8, 3, true, 8, 3},     // 3.5
      {9, 2, false, 0, 0},    // ".5": inside the word before
      {8, 3, false, 0, 0},    // repeat at one position
      {12, 0, true, 12, 2},   // zero length at a word: extended to it
      {14, 5, true, 16, 3},   // leading blanks skipped
      {99, 1, false, 0, 0},   // beyond the text
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pos);
    const auto m = f.Map(c.pos, c.len);
    ASSERT_EQ(m.size(), c.kept ? 1u : 0u);
    if (!m.empty()) {
      EXPECT_EQ(m[0].position, c.u16);
      EXPECT_EQ(m[0].length, c.u16len);
    }
  }
}

TEST(WordEvents, WordsWithoutAnEventOfTheirOwnArePlacedBetweenTheirNeighbours) {
  // The engine speaks "of the" with one event for "of".
  const TSpeakText t = PrepareSpeakText(QStringLiteral("of the \"big\" cafe"));
  TWordEventFilter f(t);
  auto a = f.Map(1, 2, 100);
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0].sample, 100);
  auto b = f.Map(9, 3, 400);  // "big"; "the" had none
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(t.original.mid(b[0].position, b[0].length), "the");
  EXPECT_EQ(b[0].sample, 250);
  EXPECT_EQ(t.original.mid(b[1].position, b[1].length), "big");
  // Punctuation alone is no word.
  auto c = f.Map(14, 4, 300);  // an earlier sample is held at the last one
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(t.original.mid(c[0].position, c[0].length), "cafe");
  EXPECT_EQ(c[0].sample, 400);
}

TEST(Dictation, SpokenPunctuationBecomesSymbolsOnlyWhereItIsPunctuation) {
  struct Case { const char* words; const char* text; };
  const Case cases[] = {
      {"hello comma world", "hello, world"},
      {"the patient is stable period", "the patient is stable."},
      {"the patient is stable full stop", "the patient is stable."},
      {"a period of time", "a period of time"},
      {"any pain question mark", "any pain?"},
      {"first new line second", "first\nsecond"},
      {"first new paragraph second", "first\n\nsecond"},
      {"comma", "comma"},
      {"period", "period"},
      {"full stop here", "full stop here"},
      {"wait exclamation mark then go", "wait! then go"},
  };
  for (const auto& c : cases) {
    const QStringList words = QString::fromLatin1(c.words).split(' ');
    EXPECT_EQ(ApplyDictationReplacements(words), QString::fromLatin1(c.text)) << c.words;
  }
}
