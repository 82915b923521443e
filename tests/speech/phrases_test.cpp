// Dictated phrases kept as training material: which phrases a saved comment
// still holds and in which words, the store of them, and a training on them.
// The service's settings live in a folder of each test's own.
#include "dictatedphrases.h"
#include "own_settings.h"
#include "phrasealign.h"
#include "spsettings.h"
#include "trainingfiles.h"
#include "transcribe.h"
#include "usertraining.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Words(const std::string& s) {
  std::vector<std::string> out;
  for (const QString& w : QString::fromStdString(s).split(' ', Qt::SkipEmptyParts)) out.push_back(w.toStdString());
  return out;
}

std::string Joined(const std::vector<std::string>& w) {
  std::string s;
  for (const std::string& x : w) s += (s.empty() ? "" : " ") + x;
  return s;
}

// A second of a tone: loud and long enough to count as speech.
std::vector<short> Tone(int hz) {
  std::vector<short> s(16000);
  for (size_t i = 0; i < s.size(); ++i) s[i] = short(8000 * std::sin(2 * M_PI * hz * double(i) / 16000));
  return s;
}

// flite's slt voice reading the text, 16 kHz mono.
std::vector<short> Say(const QString& text) {
  QTemporaryDir dir;
  const QString wav = dir.filePath("s.wav");
  if (QProcess::execute("flite", {"-voice", "slt", "-t", text, "-o", wav}) != 0) return {};
  if (QProcess::execute("sox", {wav, "-r", "16000", dir.filePath("r.wav")}) != 0) return {};
  return ReadWavFile(dir.filePath("r.wav"));
}

class DictatedPhrases : public TOwnSettingsTest {};

}  // namespace

// "kept" says the phrase survived; transcript is what it is kept with.
TEST(PhraseAlignment, KeepsWhatTheSavedCommentStillHoldsInItsWords) {
  const struct {
    const char* what;
    std::u32string comment;
    std::vector<std::string> phrases;
    std::vector<std::string> transcripts;  // "" for a phrase dropped
  } cases[] = {
      {"exact", U"Chest: no fracture is seen. ", {"no fracture is seen"}, {"no fracture is seen"}},
      {"a word corrected", U"The liver is enlarged.", {"the liver is in large"}, {"the liver is enlarged"}},
      {"a word the recogniser missed", U"The small nodule is stable.", {"the nodule is stable"},
       {"the small nodule is stable"}},
      {"written form", U"Nodule 3.2 x 2.1 cm in the right upper lobe.",
       {"nodule three point two by two point one centimeters"}, {"nodule three point two by two point one centimeters"}},
      {"a measurement before a noun", U"There is a 3.2 x 2.1 cm nodule.",
       {"there is a three point two by two point one centimeter nodule"},
       {"there is a three point two by two point one centimeter nodule"}},
      {"levels and times", U"Disc bulge at C5-C6, seen at 10:30.", {"disc bulge at c five c six comma"},
       {"disc bulge at c five c six comma"}},
      {"spoken punctuation kept where it was said", U"Stable, no change.", {"stable comma no change period"},
       {"stable comma no change period"}},
      {"mostly rewritten", U"Heart size is normal. The lungs are clear.", {"the large bowel is dilated"}, {""}},
      {"only punctuation", U"Stable.", {"new line"}, {""}},
      {"empty comment", U"", {"no fracture is seen"}, {""}},
      {"said twice, kept twice", U"No change. Stable. No change.", {"no change period", "no change period"},
       {"no change period", "no change period"}},
      {"said once, written twice", U"No change. No change.", {"no change"}, {"no change"}},
      {"one phrase rewritten, one kept", U"The lungs are clear. Heart is normal.",
       {"the lungs are clear", "pelvis shows old injury"}, {"the lungs are clear", ""}},
      {"a poor fit does not take a good one's words", U"No effusion. Small effusion.",
       {"small effusion", "no effusion"}, {"small effusion", "no effusion"}},
  };
  for (const auto& c : cases) {
    std::vector<phrasealign::TPhrase> phrases;
    for (const std::string& p : c.phrases) phrases.push_back({Words(p), -1});
    const auto got = phrasealign::AlignPhrases(c.comment, phrases);
    ASSERT_EQ(got.size(), c.phrases.size()) << c.what;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].kept, !c.transcripts[i].empty()) << c.what << ", phrase " << i;
      EXPECT_EQ(Joined(got[i].transcript), c.transcripts[i]) << c.what << ", phrase " << i;
    }
  }
}

// Where a phrase fits two places equally, it is the one it was put at, and
// a phrase put nowhere near still finds its place.
TEST(PhraseAlignment, AmongEqualPlacesThePhraseTakesTheOneItWentIn) {
  const std::u32string comment = U"Mild effusion on the left. Mild effusion on the right.";
  const int second = int(comment.find(U"Mild", 5));
  for (const int at : {0, second}) {
    const auto got = phrasealign::AlignPhrases(comment, {{Words("mild effusion on the"), at}, {Words("mild effusion"), -1}});
    ASSERT_TRUE(got[0].kept && got[1].kept);
    EXPECT_EQ(Joined(got[0].transcript), "mild effusion on the") << at;
    // The other claims what the first left.
    EXPECT_EQ(Joined(got[1].transcript), "mild effusion") << at;
  }
  EXPECT_EQ(phrasealign::AlignPhrases(comment, {{Words("mild effusion on the"), 999}})[0].survived, 4);
}

TEST_F(DictatedPhrases, KeptWithTheirTranscriptsOwnerOnlyAndRemoved) {
  EXPECT_TRUE(DictatedPhrasesKept());
  EXPECT_EQ(DictatedPhrasesSummary(), "No dictated phrases are kept.");
  const QString comment = QStringLiteral("The liver is enlarged.\r\nNo fracture is seen.");
  const std::vector<TDictatedSound> said = {
      {{"the", "liver", "is", "in", "large"}, 0, Tone(300)},
      {{"pelvis", "shows", "old", "injury"}, -1, Tone(400)},  // nothing of it was saved
      {{"no", "fracture", "is", "seen"}, 24, Tone(500)},
  };
  EXPECT_EQ(KeepDictatedPhrases(comment, said), 2);
  TKeptRecordings k = LoadDictatedPhrases();
  EXPECT_TRUE(k.problems.isEmpty()) << k.problems.join('\n').toStdString();
  EXPECT_EQ(k.prompts, (QStringList{"the liver is enlarged", "no fracture is seen"}));
  ASSERT_EQ(k.recordings.size(), 2u);
  EXPECT_EQ(k.recordings[1], Tone(500));
  EXPECT_EQ(DictatedPhrasesSummary(), "2 phrases, 2 s");
  EXPECT_EQ(int(QFileInfo(DictatedPhrasesFolder()).permissions() & 0077), 0);
  // Nothing is left beside the kept ones.
  EXPECT_EQ(QDir(DictatedPhrasesFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            (QStringList{"0001.wav", "0002.wav", "index.txt"}));
  // A training takes the read prompts first, then the phrases.
  AddKeptRecordings({"a read prompt"}, {[&] {
                      const QString f = files.filePath("r.wav");
                      WriteWav(f, Tone(600));
                      return f;
                    }()});
  EXPECT_EQ(LoadKeptMaterial().prompts, (QStringList{"a read prompt", "the liver is enlarged", "no fracture is seen"}));
  RemoveDictatedPhrases();
  EXPECT_FALSE(QFileInfo::exists(DictatedPhrasesFolder()));
  EXPECT_EQ(LoadKeptMaterial().prompts, QStringList{"a read prompt"});
}

// Over the limit, the oldest go first, in the same replace as the new ones.
TEST_F(DictatedPhrases, OverTheLimitTheOldestGoFirst) {
  const QString folder = DictatedPhrasesFolder();
  const qint64 second = 44 + 32000;
  for (int i = 0; i < 4; ++i) {
    const QString f = files.filePath(QStringLiteral("%1.wav").arg(i));
    WriteWav(f, Tone(300 + i));
    AddKeptRecordings(folder, {QStringLiteral("phrase %1").arg(i)}, {f}, 2 * second + 10);
  }
  const TKeptRecordings k = LoadKeptRecordings(folder);
  EXPECT_EQ(k.prompts, (QStringList{"phrase 2", "phrase 3"}));
  EXPECT_EQ(QDir(folder).entryList({"*.wav"}, QDir::Files).size(), 2);
  EXPECT_EQ(KeptRecordingsSize(folder).bytes, 2 * second);
}

// A keep killed part-way leaves its sound files beside the kept ones, never
// in the index: the next keep clears them and the kept phrases are whole.
TEST_F(DictatedPhrases, WhatAKilledKeepLeftIsClearedByTheNext) {
  const QString comment = QStringLiteral("No fracture is seen. The lungs are clear.");
  ASSERT_EQ(KeepDictatedPhrases(comment, {{{"no", "fracture", "is", "seen"}, 0, Tone(300)}}), 1);
  const QDir dir(DictatedPhrasesFolder());
  // A process that is gone, and a file moved in before the index was replaced.
  ASSERT_TRUE(dir.mkpath("incoming-999999999-abcdef"));
  WriteWav(dir.filePath("incoming-999999999-abcdef/1.wav"), Tone(350));
  WriteWav(dir.filePath("0002.wav"), Tone(350));
  ASSERT_EQ(KeepDictatedPhrases(comment, {{{"the", "lungs", "are", "clear"}, 21, Tone(400)}}), 1);
  EXPECT_EQ(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            (QStringList{"0001.wav", "0003.wav", "index.txt"}));
  const TKeptRecordings k = LoadDictatedPhrases();
  EXPECT_EQ(k.prompts, (QStringList{"no fracture is seen", "the lungs are clear"}));
  ASSERT_EQ(k.recordings.size(), 2u);
  EXPECT_EQ(k.recordings[1], Tone(400));
}

// A phrases folder that is a link, or another user's, is neither read nor
// written through.
TEST_F(DictatedPhrases, AFolderThatIsALinkIsNeitherReadNorWritten) {
  QDir().mkpath(files.filePath("elsewhere"));
  QDir().mkpath(QFileInfo(DictatedPhrasesFolder()).absolutePath());
  ASSERT_TRUE(QFile::link(files.filePath("elsewhere"), DictatedPhrasesFolder()));
  const QString comment = QStringLiteral("No fracture is seen.");
  EXPECT_THROW(KeepDictatedPhrases(comment, {{{"no", "fracture", "is", "seen"}, 0, Tone(300)}}), ESpeechError);
  EXPECT_TRUE(QDir(files.filePath("elsewhere")).isEmpty());
  const TKeptRecordings k = LoadDictatedPhrases();
  EXPECT_TRUE(k.prompts.isEmpty());
  ASSERT_EQ(k.problems.size(), 1);
  EXPECT_TRUE(k.problems[0].contains("is a link")) << k.problems[0].toStdString();
  RemoveDictatedPhrases();  // the link goes, not what it points at
  EXPECT_FALSE(QFileInfo(DictatedPhrasesFolder()).isSymLink());
  EXPECT_TRUE(QFileInfo(files.filePath("elsewhere")).isDir());
}

// "Train Again" trains on the kept phrases through the check; one whose
// sound file is damaged is named and left out.
TEST_F(DictatedPhrases, TrainingAgainUsesThemAndNamesADamagedOne) {
  const QStringList sentences = {"the heart size is normal", "no acute fracture is seen", "the lungs are clear",
                                 "there is a small pleural effusion"};
  std::vector<TDictatedSound> said;
  QString comment;
  for (const QString& s : sentences) {
    said.push_back({s.split(' '), comment.size(), Say(s)});
    ASSERT_FALSE(said.back().samples.empty()) << "flite and sox are needed";
    comment += s + ". ";
  }
  ASSERT_EQ(KeepDictatedPhrases(comment, said), 4);
  QFile damaged(DictatedPhrasesFolder() + "/0003.wav");
  ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
  damaged.write("not a recording");
  damaged.close();
  TUserTrainer t;
  t.Run({}, {}, {true, false});
  EXPECT_EQ(t.Used(), 3);
  EXPECT_EQ(t.Figures().recordings, 3);
  ASSERT_EQ(t.Notes().size(), 1);
  EXPECT_TRUE(t.Notes()[0].contains("0003.wav") && t.Notes()[0].contains(sentences[2])) << t.Notes()[0].toStdString();
}
