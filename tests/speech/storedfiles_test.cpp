// The files of the speech service that the user may edit or a crash may cut
// short: its settings, the index of the kept recordings and the learned
// store. Damaged values give defaults, broken lines are told apart, and what
// the writers write reads back the same.
#include "keptindex.h"
#include "learnedmodel.h"
#include "learnstore.h"
#include "spsettings.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

// A settings file holding these bytes, in a folder of the test's own.
class TSettingsFile {
public:
  explicit TSettingsFile(const QByteArray& bytes) {
    EXPECT_TRUE(dir.isValid());
    QFile f(Path());
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QString Path() const { return dir.filePath("speech.ini"); }

private:
  QTemporaryDir dir;
};

std::string Bytes(const QByteArray& b) { return b.toStdString(); }

}  // namespace

void PrintTo(const TStoredSentence& s, std::ostream* os) { *os << (s.comment ? "comment:" : "") << '"' << s.words << '"'; }

TEST(SpeechSettingsFile, PercentagesOutOfRangeOrMalformedGiveTheirDefault) {
  const struct {
    const char* ini;
    int volume;
  } cases[] = {
      {"[Audio]\nInputVolume=70\n", 70},   {"[Audio]\nInputVolume=0\n", 0},
      {"[Audio]\nInputVolume=250\n", 100}, {"[Audio]\nInputVolume=-4\n", 0},
      {"[Audio]\nInputVolume=loud\n", 50}, {"[Audio]\nInputVolume=\n", 50},
      {"[Audio]\nInputVolume=7.5\n", 50},  {"[Audio]\nInputVolume=99999999999999\n", 50},
      {"", 50},                            {"[Audio]\nInputVolume=\"1, 2\"\n", 50},
  };
  for (const auto& c : cases) {
    TSettingsFile file(c.ini);
    const QSettings s(file.Path(), QSettings::IniFormat);
    EXPECT_EQ(PercentSetting(s, kInputVolume), c.volume) << c.ini;
  }
}

TEST(SpeechSettingsFile, AKeptMeanIsTakenOnlyWholeAndForItsInput) {
  const struct {
    const char* mean;
    const char* keptFor;
    std::vector<float> expected;
  } cases[] = {
      {"\"1.5,-2,3.25\"", "mic", {1.5f, -2.f, 3.25f}},
      {"\"1.5, -2 , 3.25\"", "mic", {1.5f, -2.f, 3.25f}},
      {"\"1.5,-2,3.25\"", "other", {}},
      {"\"1.5,nan,3\"", "mic", {}},
      {"\"1.5,inf\"", "mic", {}},
      {"\"1.5,2000\"", "mic", {}},
      {"\"1.5,,3\"", "mic", {}},
      {"\"\"", "mic", {}},
      {"\"one,two\"", "mic", {}},
  };
  for (const auto& c : cases) {
    TSettingsFile file(QByteArray("[Audio]\nCepstralMean=") + c.mean + "\nCepstralMeanInput=" + c.keptFor + "\n");
    const QSettings s(file.Path(), QSettings::IniFormat);
    EXPECT_EQ(KeptCepstralMean(s, "mic"), c.expected) << c.mean << " for " << c.keptFor;
  }
}

TEST(SpeechSettingsFile, UserWordsAreSingleLowerCaseWordsWithPhones) {
  const struct {
    const char* word;
    const char* phones;
    const char* expectWord;  // nullptr: left out
    const char* expectPhones;
  } cases[] = {
      {"varnelo", "V AA R N EH L OW", "varnelo", "V AA R N EH L OW"},
      {"Stent", "s t eh  n t ", "stent", "S T EH N T"},
      {"two words", "T UW", nullptr, nullptr},
      {"silent", "  ", nullptr, nullptr},
      {"tab\tword", "T AE B", nullptr, nullptr},
  };
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  {
    QSettings s(dir.filePath("speech.ini"), QSettings::IniFormat);
    for (const auto& c : cases) s.setValue(QString(kWordsGroup) + "/" + c.word, c.phones);
  }
  QSettings s(dir.filePath("speech.ini"), QSettings::IniFormat);
  const auto words = UserWords(s);
  EXPECT_TRUE(s.group().isEmpty());
  qsizetype expected = 0;
  for (const auto& c : cases) {
    if (!c.expectWord) continue;
    ++expected;
    const auto it = std::find_if(words.begin(), words.end(), [&](const auto& w) { return w.first == c.expectWord; });
    ASSERT_NE(it, words.end()) << c.word;
    EXPECT_EQ(it->second, QByteArray(c.expectPhones)) << c.word;
  }
  EXPECT_EQ(words.size(), expected);
}

TEST(KeptRecordingsIndex, EntriesAndBrokenLinesAreToldApart) {
  const struct {
    const char* text;
    QList<TKeptEntry> entries;
    QList<int> broken;
  } cases[] = {
      {"0001.wav\tfirst one\n0002.wav\tsecond\n", {{"0001.wav", "first one"}, {"0002.wav", "second"}}, {}},
      {"0001.wav\t  spaced \t out \r\n\n\n0002.wav\tx", {{"0001.wav", "spaced out"}, {"0002.wav", "x"}}, {}},
      {"\tno file\n0002.wav\tok\n", {{"0002.wav", "ok"}}, {1}},
      {"0001.wav\t \n../x.wav\tup\nsub/x.wav\tdown\n.wav\thidden\nnote.txt\tnot a wav\n", {}, {1, 2, 3, 4, 5}},
      {"0001.wav no tab\n\n0002.wav\tok", {{"0002.wav", "ok"}}, {1}},
      // An invisible mark before the name names no file of ours.
      {"0001.wav\tok\n\xEF\xBB\xBF" "0002.wav\tmarked\n", {{"0001.wav", "ok"}}, {2}},
      {"", {}, {}},
  };
  for (const auto& c : cases) {
    const TKeptIndex index = ParseKeptIndex(c.text);
    EXPECT_EQ(index.entries, c.entries) << c.text;
    EXPECT_EQ(index.brokenLines, c.broken) << c.text;
    const TKeptIndex again = ParseKeptIndex(KeptIndexText(index.entries));
    EXPECT_EQ(again.entries, index.entries) << c.text;
    EXPECT_TRUE(again.brokenLines.isEmpty()) << c.text;
  }
}

TEST(LearnedStore, StoredSentencesReadBackAsWritten) {
  const struct {
    const char* text;
    std::vector<TStoredSentence> sentences;
    qint64 words;
  } cases[] = {
      {"the liver is normal\ncomment\tno stones\n", {{"the liver is normal", false}, {"no stones", true}}, 6},
      {"  padded words \r\n\n\t\ncomment\t\ncomment\t  tagged  \n", {{"padded words", false}, {"tagged", true}}, 3},
      {"no final newline", {{"no final newline", false}}, 3},
      {"comment\tcomment\ttwice", {{"comment\ttwice", true}}, 1},
      {"Comment\tnot a tag", {{"Comment\tnot a tag", false}}, 3},
      {"", {}, 0},
  };
  for (const auto& c : cases) {
    qint64 words = -1;
    const auto read = ParseStoredSentences(c.text, &words);
    EXPECT_EQ(std::vector<TStoredSentence>(read.begin(), read.end()), c.sentences) << c.text;
    EXPECT_EQ(words, c.words) << c.text;
    std::vector<std::string> texts;
    std::vector<bool> comments;
    for (const auto& s : read) texts.push_back(s.words), comments.push_back(s.comment);
    const QByteArray written = StoredSentencesText(texts, comments);
    qint64 wordsAgain = -1;
    const auto again = ParseStoredSentences(Bytes(written), &wordsAgain);
    EXPECT_EQ(again, read) << c.text;
    EXPECT_EQ(wordsAgain, words) << c.text;
  }
}

TEST(LearnedStore, TheStatusOfADamagedDescriptionStaysInRange) {
  const struct {
    const char* text;
    qint64 sentences, words;
    double weight;
  } cases[] = {
      {"sentences\t12\nwords\t80\nweight\t0.25\n", 12, 80, 0.25},
      {"sentences\t-5\nwords\t 7 \nweight\t-0.5\n", 0, 7, 0},
      {"sentences\tmany\nweight\tnan\n", 0, 0, 0},
      {"weight\tinf\n", 0, 0, 0},
      {"weight\t3\nwords\t99999999999999999999\n", 0, 0, 1},
      {"\tno key\nsentences 4\nsentences\t4\textra\n", 0, 0, 0},
      {"\xEF\xBB\xBFsentences\t3\r\n", 3, 0, 0},
  };
  for (const auto& c : cases) {
    const TLearnStatus s = LearnStatusFromInfo(ParseLearnedModelInfo(c.text));
    EXPECT_EQ(s.sentences, c.sentences) << c.text;
    EXPECT_EQ(s.words, c.words) << c.text;
    EXPECT_DOUBLE_EQ(s.weight, c.weight) << c.text;
    EXPECT_FALSE(s.inUse) << c.text;
  }
  // What the learner writes reads back the same.
  const QList<std::pair<QString, QString>> written = {
      {"base-lm", "/models/a b.lm.bin"}, {"sentences", "3"}, {"weight", "0.125"}, {"odd", "tab\tinside"}};
  const auto info = ParseLearnedModelInfo(LearnedModelInfoText(written));
  ASSERT_EQ(info.size(), written.size());
  for (const auto& [key, value] : written) EXPECT_EQ(info.value(key), value) << key.toStdString();
}
