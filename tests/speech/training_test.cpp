// Training on a voice: the recordings kept for a later training, and the
// further sentences offered after the shipped prompts. The service's settings
// live in a folder of each test's own.
#include "lts.h"
#include "own_settings.h"
#include "recoengine.h"
#include "spsettings.h"
#include "trainingfiles.h"
#include "usertraining.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

QByteArray Le(quint32 v, int bytes) {
  QByteArray b(bytes, 0);
  for (int i = 0; i < bytes; ++i) b[i] = char(v >> (8 * i));
  return b;
}

// A 16 kHz mono WAV of the samples.
QByteArray Wav(const std::vector<short>& s) {
  const quint32 n = quint32(s.size() * 2);
  return "RIFF" + Le(36 + n, 4) + "WAVEfmt " + Le(16, 4) + Le(1, 2) + Le(1, 2) + Le(16000, 4) + Le(32000, 4) +
         Le(2, 2) + Le(16, 2) + "data" + Le(n, 4) + QByteArray(reinterpret_cast<const char*>(s.data()), qsizetype(n));
}

// One second of a tone: loud and long enough to count as speech.
std::vector<short> Tone(int hz) {
  std::vector<short> s(16000);
  for (size_t i = 0; i < s.size(); ++i) s[i] = short(8000 * std::sin(2 * M_PI * hz * double(i) / 16000));
  return s;
}

QByteArray Read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class Training : public TOwnSettingsTest {
protected:
  QString WriteWav(const QString& name, const std::vector<short>& samples) {
    const QString path = files.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(Wav(samples)) > 0);
    return path;
  }
  // Keeps one tone per prompt, as a finished training does.
  void Keep(const QStringList& prompts, int firstHz) {
    QStringList wavs;
    for (int i = 0; i < prompts.size(); ++i) wavs << WriteWav(QStringLiteral("k%1.wav").arg(firstHz + i), Tone(firstHz + i));
    AddKeptRecordings(prompts, wavs);
    for (const QString& w : wavs) EXPECT_FALSE(QFileInfo::exists(w)) << "moved, not copied: " << w.toStdString();
  }
  static QStringList KeptFiles() { return QDir(KeptRecordingsFolder()).entryList(QDir::Files, QDir::Name); }
  QString Settings() const { return config.path() + "/varnelo-speech"; }

};

}  // namespace

TEST_F(Training, KeptRecordingsAddUpAcrossTrainingsAndGoOnRemoval) {
  EXPECT_EQ(KeptRecordingCount(), 0);
  EXPECT_TRUE(LoadKeptRecordings().prompts.isEmpty());
  Keep({"first sentence", "second  sentence\t"}, 300);
  Keep({"third sentence"}, 500);
  EXPECT_EQ(KeptRecordingCount(), 3);
  EXPECT_EQ(KeptFiles(), (QStringList{"0001.wav", "0002.wav", "0003.wav", "index.txt"}));
  const TKeptRecordings k = LoadKeptRecordings();
  EXPECT_TRUE(k.problems.isEmpty()) << k.problems.join('\n').toStdString();
  EXPECT_EQ(k.prompts, (QStringList{"first sentence", "second sentence", "third sentence"}));
  ASSERT_EQ(k.recordings.size(), 3u);
  EXPECT_EQ(k.recordings[0], Tone(300));
  EXPECT_EQ(k.recordings[2], Tone(500));
  // Only the owner reads a voice.
  EXPECT_EQ(int(QFileInfo(KeptRecordingsFolder()).permissions() & (QFile::ReadGroup | QFile::ReadOther)), 0);
  RemoveKeptRecordings();
  EXPECT_FALSE(QFileInfo::exists(KeptRecordingsFolder()));
  EXPECT_EQ(KeptRecordingCount(), 0);
}

// Whatever is broken, the rest is read and the broken entry named.
TEST_F(Training, ABrokenKeptEntryIsLeftOutWithAMessage) {
  struct Case {
    const char* name;
    std::function<void(const QString& folder)> damage;
    const char* message;
  };
  const auto write = [](const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  };
  const Case cases[] = {
      {"a file gone", [](const QString& d) { QFile::remove(d + "/0002.wav"); }, "\"two b\" was left out"},
      {"not a WAV", [&](const QString& d) { write(d + "/0002.wav", "not a recording"); }, "not a WAV file we can read"},
      {"cut to its header", [&](const QString& d) { write(d + "/0002.wav", Wav({})); }, "0002.wav holds no speech"},
      {"silence", [&](const QString& d) { write(d + "/0002.wav", Wav(std::vector<short>(16000, 3))); }, "holds no speech"},
      {"an index line without a file",
       [&](const QString& d) { write(d + "/index.txt", Read(d + "/index.txt").replace("0002.wav\t", "")); },
       "Line 2 of the list of kept recordings"},
      {"a file outside the folder",
       [&](const QString& d) { write(d + "/index.txt", Read(d + "/index.txt").replace("0002.wav", "../x.wav")); },
       "Line 2 of the list"},
  };
  for (const Case& c : cases) {
    RemoveKeptRecordings();
    Keep({"one a", "two b", "three c"}, 300);
    c.damage(KeptRecordingsFolder());
    TKeptRecordings k;
    ASSERT_NO_THROW(k = LoadKeptRecordings()) << c.name;
    EXPECT_EQ(k.prompts, (QStringList{"one a", "three c"})) << c.name;
    ASSERT_EQ(k.recordings.size(), 2u) << c.name;
    EXPECT_EQ(k.recordings[1], Tone(302)) << c.name;
    ASSERT_EQ(k.problems.size(), 1) << c.name;
    EXPECT_TRUE(k.problems[0].contains(c.message)) << c.name << ": " << k.problems[0].toStdString();
  }
  // The next keep drops the entry whose file is gone, and numbers after the rest.
  RemoveKeptRecordings();
  Keep({"one a", "two b"}, 300);
  QFile::remove(KeptRecordingsFolder() + "/0001.wav");
  Keep({"three c"}, 400);
  EXPECT_EQ(LoadKeptRecordings().prompts, (QStringList{"two b", "three c"}));
  EXPECT_EQ(KeptFiles(), (QStringList{"0002.wav", "0003.wav", "index.txt"}));
}

// The check's recognisers get the dictionary lines of the language model's
// words only, every pronunciation of each; a model that cannot be read gives
// no words (the whole dictionary is used then).
TEST(TrainingFiles, TheCheckHearsWithTheLanguageModelsWordsOnly) {
  QTemporaryDir dir;
  const QString arpa = dir.filePath("lm.arpa");
  {
    QFile f(arpa);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\\data\\\nngram 1=5\nngram 2=2\n\n\\1-grams:\n-1.0 </s>\n-99 <s> -0.3\n-0.7 the -0.3\n"
            "-0.9 patient -0.3\n-0.9 stable -0.3\n\n\\2-grams:\n-0.2 <s> the\n-0.2 the patient\n\n\\end\\\n");
  }
  const QSet<QString> words = LanguageModelWords(arpa);
  EXPECT_TRUE(words.contains("patient") && words.contains("stable") && words.contains("the")) << words.size();
  EXPECT_FALSE(words.contains("fracture"));
  const QByteArray dict = "the DH AH\npatient P EY SH AH N T\npatient(2) P EY SH IH N T\nfracture F R AE K CH ER\n"
                          "stable S T EY B AH L\nthe(2) DH IY\n";
  EXPECT_EQ(DictionaryOf(dict, words),
            "the DH AH\npatient P EY SH AH N T\npatient(2) P EY SH IH N T\nstable S T EY B AH L\nthe(2) DH IY\n");
  EXPECT_TRUE(LanguageModelWords(dir.filePath("none.lm.bin")).isEmpty());
  const QString garbage = dir.filePath("garbage.lm");
  {
    QFile f(garbage);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("the patient is stable\n");
  }
  EXPECT_TRUE(LanguageModelWords(garbage).isEmpty());
}

// What bw printed, read as how well the model explained the recordings: the
// warp is chosen by it, so a misread line would pick a wrong warp silently.
TEST(TrainingFiles, TheAlignmentScoreIsTheMeanFrameLikelihoodLessWhatCouldNotBeAligned) {
  const double none = -std::numeric_limits<double>::infinity();
  const struct {
    const char* output;
    double score;
  } rows[] = {
      {"utt> 0 001 253 0 ...\noverall> host 1777 (-0) -1.490460e+02 -2.648547e+05\n", -149.046},
      {"overall> build-7.example.org 900 (-100) -1.2e+02 -1.08e+05\n", -120.0 - 100.0},  // a tenth not aligned
      {"overall> host 0 (-500) 0.000000e+00 0.000000e+00\n", none},                    // nothing aligned
      {"overall> host 1777 (-0) nan nan\n", none},
      {"ERROR: \"main.c\", line 1: cannot open\n", none},
      {"", none},
  };
  for (const auto& r : rows) {
    const double got = AlignmentScore(QString::fromUtf8(r.output));
    if (std::isinf(r.score))
      EXPECT_TRUE(std::isinf(got) && got < 0) << r.output << " gave " << got;
    else
      EXPECT_NEAR(got, r.score, 1e-6) << r.output;
  }
}

// The lists bw aligns: each recording's number must name its own wav file
// and prompt, whichever parts an adaptation takes and in whatever order,
// or the voice is adapted to the wrong words without any error.
TEST(TrainingFiles, ATrainingListNamesEachRecordingWithItsOwnPrompt) {
  QTemporaryDir dir;
  QStringList prompts;
  for (int i = 0; i < 1001; ++i) prompts << QStringLiteral("sentence %1").arg(i + 1);
  const struct {
    std::vector<int> which;
    const char *ids, *transcription;
  } rows[] = {
      {{0, 4, 8}, "001\n005\n009\n", "<s> sentence 1 </s> (001)\n<s> sentence 5 </s> (005)\n<s> sentence 9 </s> (009)\n"},
      {{3, 1}, "004\n002\n", "<s> sentence 4 </s> (004)\n<s> sentence 2 </s> (002)\n"},
      {{1000}, "1001\n", "<s> sentence 1001 </s> (1001)\n"},
      {{}, "", ""},
  };
  for (const auto& r : rows) {
    WriteTrainingList(dir.filePath("set"), prompts, r.which);
    QFile ids(dir.filePath("set.fileids")), transcription(dir.filePath("set.transcription"));
    ASSERT_TRUE(ids.open(QIODevice::ReadOnly) && transcription.open(QIODevice::ReadOnly));
    EXPECT_EQ(ids.readAll(), QByteArray(r.ids));
    EXPECT_EQ(transcription.readAll(), QByteArray(r.transcription));
  }
  EXPECT_THROW(WriteTrainingList(dir.filePath("none/set"), prompts, {0}), ESpeechError);
}

// A keep that fails part-way adds nothing: the index and files stay as they
// were; a file no entry names (a keep interrupted before its index) goes.
TEST_F(Training, AFailedKeepAddsNothing) {
  Keep({"one a", "two b"}, 300);
  const QByteArray index = Read(KeptRecordingsFolder() + "/index.txt");
  const QString good = WriteWav("good.wav", Tone(700));
  EXPECT_THROW(AddKeptRecordings({"new a", "new b"}, {good, files.filePath("missing.wav")}), ESpeechError);
  EXPECT_EQ(Read(KeptRecordingsFolder() + "/index.txt"), index);
  EXPECT_EQ(KeptFiles(), (QStringList{"0001.wav", "0002.wav", "index.txt"}));
  EXPECT_THROW(AddKeptRecordings({"new a"}, {}), ESpeechError);
  // A leftover WAV is neither listed nor kept.
  QFile::copy(KeptRecordingsFolder() + "/0001.wav", KeptRecordingsFolder() + "/0009.wav");
  Keep({"three c"}, 500);
  EXPECT_EQ(KeptRecordingCount(), 3);
  EXPECT_EQ(KeptFiles(), (QStringList{"0001.wav", "0002.wav", "0010.wav", "index.txt"}));
}

// Recordings in a folder that is not the user's own (a link to another
// folder, or one another user owns) are neither read, nor added to, nor
// removed.
TEST_F(Training, AnotherUsersRecordingsAreNeitherReadNorChanged) {
  struct Case {
    const char* name;
    bool needsRoot;
    std::function<void(const QString& other)> place;  // the other's folder into ours
    const char* message;
  };
  const Case cases[] = {
      {"a link to another folder", false,
       [](const QString& other) { ASSERT_TRUE(QFile::link(other, KeptRecordingsFolder())); }, "is a link to another folder"},
      {"a folder another user owns", true,
       [](const QString& other) {
         ASSERT_TRUE(QDir().rename(other, KeptRecordingsFolder()));
         ASSERT_EQ(::chown(KeptRecordingsFolder().toLocal8Bit().constData(), 65534, 65534), 0);
       },
       "belongs to another user"},
  };
  for (const Case& c : cases) {
    if (c.needsRoot && ::geteuid() != 0) continue;  // only root can give a folder away
    RemoveKeptRecordings();
    Keep({"one a", "two b"}, 300);
    // Those kept become the other user's, and this user has none.
    const QString other = files.filePath("other");
    QDir(other).removeRecursively();
    ASSERT_TRUE(QDir().rename(KeptRecordingsFolder(), other));
    c.place(other);
    const QString folder = QFileInfo(KeptRecordingsFolder()).isSymLink() ? other : KeptRecordingsFolder();
    const QStringList before = QDir(folder).entryList(QDir::Files, QDir::Name);
    const TKeptRecordings k = LoadKeptRecordings();
    EXPECT_TRUE(k.prompts.isEmpty() && k.recordings.empty()) << c.name;
    ASSERT_EQ(k.problems.size(), 1) << c.name;
    EXPECT_TRUE(k.problems[0].contains(c.message)) << c.name << ": " << k.problems[0].toStdString();
    EXPECT_EQ(KeptRecordingCount(), 0) << c.name;
    const QString wav = WriteWav("new.wav", Tone(900));
    EXPECT_THROW(AddKeptRecordings({"new c"}, {wav}), ESpeechError) << c.name;
    EXPECT_TRUE(QFileInfo::exists(wav)) << c.name;
    EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name), before) << c.name;
    RemoveKeptRecordings();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name), before) << c.name << ": removed";
    QFile::remove(KeptRecordingsFolder());
    if (QFileInfo(KeptRecordingsFolder()).isDir()) {
      ::chown(KeptRecordingsFolder().toLocal8Bit().constData(), ::geteuid(), ::getegid());
      RemoveKeptRecordings();
    }
  }
}

// The further sentences are ours, different from the shipped ones, one
// breath each, and every word has a pronunciation. The shipped ones are a
// fixed list, not drawn with the corpus, so each of their words must still be
// in the dictionary the corpus makes.
TEST_F(Training, MorePromptsAreNewSentencesWithEveryWordPronounceable) {
  const QStringList shipped = TrainingPrompts(), more = MoreTrainingPrompts();
  EXPECT_GE(more.size(), 30);
  QFile dict(ShippedRecoModel().dictionary);
  ASSERT_TRUE(dict.open(QIODevice::ReadOnly));
  QSet<QString> known;
  for (const QByteArray& line : dict.readAll().split('\n')) known << QString::fromUtf8(line.left(line.indexOf(' ')));
  ASSERT_EQ(shipped.size(), 20);
  for (const QString& p : shipped)
    for (const QString& w : p.split(' ')) EXPECT_TRUE(known.contains(w)) << w.toStdString() << " in " << p.toStdString();
  QSet<QString> seen(shipped.begin(), shipped.end());
  for (const QString& p : more) {
    EXPECT_FALSE(seen.contains(p)) << "twice: " << p.toStdString();
    seen << p;
    const QStringList words = p.split(' ');
    EXPECT_EQ(p, p.simplified().toLower()) << p.toStdString();
    EXPECT_TRUE(words.size() >= 7 && words.size() <= 14) << p.toStdString();
    for (const QString& w : words)
      EXPECT_TRUE(known.contains(w) || !LetterToSound(w.toStdString()).empty()) << w.toStdString();
  }
}

namespace {
// flite's slt voice reading the text, 16 kHz mono.
std::vector<short> Say(const QString& text) {
  QTemporaryDir dir;
  const QString wav = dir.filePath("s.wav"), raw = dir.filePath("s.raw");
  if (QProcess::execute("flite", {"-voice", "slt", "-t", text, "-o", wav}) != 0) return {};
  if (QProcess::execute("sox", {wav, "-t", "raw", "-r", "16000", "-c", "1", "-b", "16", "-e", "signed-integer", raw}) != 0)
    return {};
  const QByteArray b = Read(raw);
  std::vector<short> s(size_t(b.size() / 2));
  std::memcpy(s.data(), b.constData(), s.size() * 2);
  return s;
}

QByteArray FolderSum(const QString& dir) {
  QCryptographicHash h(QCryptographicHash::Md5);
  for (const QString& f : QDir(dir).entryList(QDir::Files, QDir::Name)) h.addData(f.toUtf8() + Read(dir + "/" + f));
  return h.result();
}
}  // namespace

// The trainer itself: its recordings are kept once it finishes, a training
// again uses them all, a cancelled one keeps nothing and leaves no folder.
TEST_F(Training, AFinishedTrainingKeepsItsRecordingsARetrainUsesThemACancelledOneLeavesNothing) {
  const QStringList prompts = {"the heart size is normal", "no acute fracture is seen", "the lungs are clear",
                               "the liver is normal in size", "there is a small pleural effusion"};
  std::vector<std::vector<short>> reads;
  for (const QString& p : prompts) reads.push_back(Say(p));
  ASSERT_FALSE(reads.back().empty()) << "flite and sox are needed";
  {
    TUserTrainer t;
    // Without asking, nothing is kept.
    t.Run(prompts.mid(0, 2), {reads[0], reads[1]});
    EXPECT_EQ(KeptRecordingCount(), 0);
    EXPECT_FALSE(t.RecordingsKept());
    t.Run(prompts.mid(0, 3), {reads[0], reads[1], reads[2]}, {false, true});
    EXPECT_TRUE(t.RecordingsKept());
    EXPECT_EQ(t.Used(), 3);
    EXPECT_EQ(LoadKeptRecordings().prompts, prompts.mid(0, 3));
    // Again on the kept ones and two new ones: all five are used, and the
    // new ones join the kept.
    t.Run(prompts.mid(3), {reads[3], reads[4]}, {true, true});
    EXPECT_EQ(t.Used(), 5);
    EXPECT_EQ(t.UsedKept(), 3);
    // Each of the five was held back once, and the verdict says so.
    EXPECT_EQ(t.Figures().recordings, 5);
    EXPECT_EQ(t.Figures().words, prompts.join(' ').split(' ').size());
    EXPECT_TRUE(t.Verdict().contains(QStringLiteral("of %1 words").arg(t.Figures().words))) << t.Verdict().toStdString();
    const TKeptRecordings k = LoadKeptRecordings();
    EXPECT_EQ(k.prompts, prompts);
    EXPECT_EQ(k.recordings[4], reads[4]);
    // Only the kept ones.
    t.Run({}, {}, {true, true});
    EXPECT_EQ(t.Used(), 5);
    EXPECT_EQ(KeptRecordingCount(), 5);
  }
  const QByteArray kept = FolderSum(KeptRecordingsFolder()), model = FolderSum(TrainedModelFolder());
  ASSERT_FALSE(model.isEmpty());
  // Cancelled once it is under way, at each stage.
  for (int at : {2, 8, 50, 70}) {
    TUserTrainer t;
    int reached = 0;
    QObject::connect(&t, &TUserTrainer::Progress, [&](int percent, const QString&) {
      reached = std::max(reached, percent);
      if (percent >= at) t.Cancel();
    });
    try {
      t.Run(prompts.mid(0, 4), {reads[0], reads[1], reads[2], reads[3]}, {true, true});
      ADD_FAILURE() << "not cancelled at " << at;
    } catch (const ESpeechError& e) {
      EXPECT_TRUE(e.Message().contains("cancelled")) << at << ": " << e.Message().toStdString();
    }
    EXPECT_GE(reached, at);
    EXPECT_FALSE(t.RecordingsKept());
    EXPECT_EQ(FolderSum(KeptRecordingsFolder()), kept) << at;
    EXPECT_EQ(FolderSum(TrainedModelFolder()), model) << at;
    EXPECT_TRUE(QDir(Settings()).entryList({"training-*"}, QDir::AllEntries | QDir::Hidden).isEmpty()) << at;
  }
  // Nothing but the settings, the model and the recordings.
  for (const QString& e : QDir(Settings()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
    EXPECT_TRUE(e == "trained" || e == "recordings" || e.startsWith("model-") || e == "speech.ini") << e.toStdString();
}
