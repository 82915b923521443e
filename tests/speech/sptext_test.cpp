// Text handling between callers and engines: position tables, the cleanup of
// the synthesiser's word events and spoken punctuation; the voice list.
#include "sptext.h"
#include "voicelist.h"

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

// Read-back gives the engine the spoken form; its word events, wherever they
// fall in the words said for a written run, select that run, and positions
// count UTF-16 units of the comment with a line break as two.
TEST(WordEvents, SpokenFormWordsSelectTheWrittenCharacters) {
  const QString text = QString::fromUtf8("A 3.2 \xC3\x97 2.1 cm nodule,\r\nC5-C6 at 10:30.");
  const TSpeakText t = PrepareSpeakText(text, TSpeakForm::Spoken);
  const QString spoken = QString::fromUtf8(t.utf8);
  EXPECT_EQ(spoken, "A three point two by two point one centimeter nodule,\r\nC five C six at ten thirty.");
  ASSERT_EQ(int(t.spoken.size()), t.CodePoints());
  // An event on every spoken word, as espeak-ng gives them.
  TWordEventFilter f(t);
  QStringList selected;
  std::vector<int> positions;
  for (int i = 0; i < spoken.size(); ++i) {
    if (spoken[i].isSpace() || (i > 0 && !spoken[i - 1].isSpace())) continue;
    int end = i;
    while (end < spoken.size() && (spoken[end].isLetterOrNumber() || spoken[end] == '-')) ++end;
    for (const TWordMark& m : f.Map(i + 1, end - i, i)) {
      selected << text.mid(m.position, m.length);
      positions.push_back(m.position);
    }
  }
  EXPECT_EQ(selected, (QStringList{"A", "3.2", QString(QChar(0xD7)), "2.1", "cm", "nodule", "C5-C6", "at", "10:30"}));
  ASSERT_EQ(positions.size(), 9u);
  EXPECT_EQ(positions[6], 24);  // after "nodule," and CR LF
  // As written, the engine gets the text itself.
  EXPECT_EQ(QString::fromUtf8(PrepareSpeakText(text).utf8), text);
}

TEST(FliteText, OneAsciiByteForEachCodePoint) {
  struct Case { const char* in; const char* out; };
  const Case cases[] = {
      {"caf\xC3\xA9 na\xC3\xAFve \xC3\x85se", "cafe naive Ase"},     // accents dropped
      {"Stra\xC3\x9F" "e \xC3\xB8re", "Strase ore"},                   // letters without a decomposition
      {"a\xF0\x9F\x98\x80" "b\r\nc", "a b\r\nc"},                      // an emoji: one blank
      {"\xE8\x82\xBA\xE9\x83\xA8 ok", "   ok"},                       // CJK
      {"wow!!!!!!! $%^&*@", "wow!!!     $%^   "},                          // symbol runs cut at three
      {"3.5 cm -- e.g.", "3.5 cm -- e.g."},
      {"tab\there\x01", "tab\there "},
  };
  for (const auto& c : cases) {
    const TSpeakText t = PrepareSpeakText(QString::fromUtf8(c.in));
    const QByteArray f = FliteInputText(t);
    EXPECT_EQ(f, QByteArray(c.out)) << c.in;
    EXPECT_EQ(f.size(), t.CodePoints()) << c.in;
  }
}

TEST(FliteText, ChunksCoverTheTextInOrderAndStayShort) {
  struct Case { QByteArray in; int max; std::vector<std::pair<int, int>> chunks; };
  const std::vector<Case> cases = {
      {"One two. Three four? Five", 100, {{0, 8}, {8, 20}, {20, 25}}},
      {"line one\r\nline two", 100, {{0, 10}, {10, 18}}},
      {"3.5 cm and 2.5 mm", 100, {{0, 17}}},                    // no cut inside a number
      {"aaaa bbbb cccc", 7, {{0, 5}, {5, 10}, {10, 14}}},      // at blanks
      {"abcdefghij", 4, {{0, 4}, {4, 8}, {8, 10}}},            // hard cuts
      {"   \r\n  ", 100, {}},                                   // nothing to say
      {"", 100, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SynthesisChunks(c.in, c.max), c.chunks) << c.in.constData();
  }
  // A long comment: pieces in order, touching, none longer than asked.
  QByteArray big;
  while (big.size() < 10000) big += "The lesion measures 12 mm, unchanged. ";
  const auto chunks = SynthesisChunks(big, 300);
  int at = 0;
  for (const auto& [b, e] : chunks) {
    EXPECT_GE(b, at);
    EXPECT_GT(e, b);
    EXPECT_LE(e - b, 300);
    at = e;
  }
  EXPECT_GE(at, int(big.size()) - 1);
}

TEST(FliteText, TokensAreFoundInOrderWithinTheirPiece) {
  const QByteArray input = "see see \"the\" end!!! x";
  TTokenLocator l(input, 4, 18);  // the piece "see \"the\" end!!"
  struct Step { const char* token; int at; };
  const Step steps[] = {
      {"see", 4},
      {"see", -1},   // never behind the last one found
      {"the", 9},
      {"", -1},
      {"nope", -1},  // not found: the search stays where it was
      {"end", 14},
      {"!", 17},
      {"!", -1},     // 18 is outside the piece
      {"x", -1},
  };
  for (const auto& s : steps) EXPECT_EQ(l.Find(s.token), s.at) << s.token;
}

TEST(VoiceList, NaturalVoicesFirstThenEnglishAndTheLocalesLanguage) {
  const QList<TSpObjectToken> natural = {{"n1", "Natural one", "en-us"}, {"n2", "Natural two", "en-gb-scotland"}};
  const QList<TSpObjectToken> espeak = {
      {"de", "German", "de"},          {"en", "English (Great Britain)", "en-gb"},
      {"fr", "French", "fr-fr"},       {"en-us", "English (America)", "en-us"},
      {"pt", "Portuguese (Brazil)", "pt-br"}, {"af", "Afrikaans", "af"},
      {"pt-pt", "Portuguese (Portugal)", "pt-pt"},
  };
  struct Case {
    const char* name;
    TVoiceListSettings settings;
    QStringList ids;
    const char* current;
  };
  const Case cases[] = {
      {"English desktop", {"en", {}, ""}, {"n1", "n2", "en-us", "en"}, "n1"},
      {"German desktop", {"de", {}, ""}, {"n1", "n2", "en-us", "en", "de"}, "n1"},
      {"extra languages", {"en", {"pt-br", "fr"}, ""}, {"n1", "n2", "en-us", "en", "pt", "fr"}, "n1"},
      {"a whole language", {"en", {"PT"}, ""}, {"n1", "n2", "en-us", "en", "pt", "pt-pt"}, "n1"},
      {"every voice", {"en", {"*"}, ""}, {"n1", "n2", "en-us", "en", "af", "fr", "de", "pt", "pt-pt"}, "n1"},
      {"configured by id", {"en", {}, "en"}, {"n1", "n2", "en-us", "en"}, "en"},
      {"configured by description", {"en", {}, "natural TWO"}, {"n1", "n2", "en-us", "en"}, "n2"},
      {"configured but filtered", {"en", {}, "af"}, {"n1", "n2", "en-us", "en", "af"}, "af"},
      {"configured but gone", {"en", {}, "xx"}, {"n1", "n2", "en-us", "en"}, "n1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto list = ArrangeVoices(natural, espeak, c.settings);
    QStringList ids;
    for (const auto& t : list) ids << t.Id();
    EXPECT_EQ(ids, c.ids);
    EXPECT_EQ(ChooseDefaultVoice(list, natural, natural + espeak, c.settings.configuredVoice).Id(), c.current);
  }
  // Without natural voices the default is an English one, not the first.
  const QList<TSpObjectToken> others = {{"af", "Afrikaans", "af"}, {"en", "English", "en-gb"}};
  const auto list = ArrangeVoices({}, others, {"af", {}, ""});
  EXPECT_EQ(ChooseDefaultVoice(list, {}, others, "").Id(), "en");
  EXPECT_TRUE(ChooseDefaultVoice({}, {}, {}, "").IsNull());
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
      {"the nodule measures five millimeters period", "the nodule measures 5 mm."},
      {"disc bulge at c five c six comma mild", "disc bulge at C5-C6, mild"},
  };
  for (const auto& c : cases) {
    const QStringList words = QString::fromLatin1(c.words).split(' ');
    EXPECT_EQ(ApplyDictationReplacements(words), QString::fromLatin1(c.text)) << c.words;
  }
}
