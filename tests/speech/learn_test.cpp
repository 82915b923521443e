// Learning the user's language: pronunciations of new words.
#include "lts.h"
#include "own_settings.h"

#include "formsdata.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

namespace {

const std::set<std::string> kModelPhones = {"AA", "AE", "AH", "AO", "AW", "AY", "B",  "CH", "D",  "DH",
                                            "EH", "ER", "EY", "F",  "G",  "HH", "IH", "IY", "JH", "K",
                                            "L",  "M",  "N",  "NG", "OW", "OY", "P",  "R",  "S",  "SH",
                                            "T",  "TH", "UH", "UW", "V",  "W",  "Y",  "Z",  "ZH"};

std::vector<std::string> Phones(const std::string& s) {
  std::istringstream in(s);
  std::vector<std::string> v;
  for (std::string p; in >> p;) v.push_back(p);
  return v;
}

}  // namespace

TEST(LetterToSound, KnownWordsSpelledWordsAndOddInput) {
  struct Case { const char* word; const char* phones; };
  const Case cases[] = {
      {"heart", "HH AA R T"},                 // from the lexicon
      {"the", "DH AH"},                       // flite's reduced vowel is the model's AH
      {"ct", "S IY T IY"},                    // no vowel: letter by letter
      {"mri", "EH M AA R AY"},                // a known abbreviation
      {"pvc", "P IY V IY S IY"},
      {"heart's", "HH AA R T Z"},             // possessive: stem and Z
      {"caf\xC3\xA9", "K AH F EY"},           // é read as e
      {"", ""},
      {"123", ""},                            // no letters at all
      {"--", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(LetterToSound(c.word), c.phones) << c.word;
}

TEST(LetterToSound, UnknownWordsGetOnlyTheModelsPhones) {
  const char* words[] = {"infrahilar", "kerley", "lordotic", "bronchograms", "haziness", "zzyzxqua",
                         "defibrillator", "xyloq", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "streaky"};
  for (const char* w : words) {
    const auto phones = Phones(LetterToSound(w));
    EXPECT_FALSE(phones.empty()) << w;
    for (const auto& p : phones) EXPECT_TRUE(kModelPhones.count(p)) << w << ": " << p;
  }
  // Rules alone, without the lexicon, still give phones of the model.
  for (const auto& p : Phones(LetterToSoundRulesOnly("cardiomegaly"))) EXPECT_TRUE(kModelPhones.count(p)) << p;
}

TEST(LetterToSound, SameAnswerFromManyThreads) {
  const std::string expected = LetterToSound("pneumomediastinum");
  std::vector<std::thread> threads;
  std::vector<std::string> got(4);
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([&got, i] {
      for (int k = 0; k < 200; ++k) got[i] = LetterToSound(k % 2 ? "pneumomediastinum" : "lingular");
      got[i] = LetterToSound("pneumomediastinum");
    });
  for (auto& t : threads) t.join();
  for (const auto& g : got) EXPECT_EQ(g, expected);
}

// ---- Reading and normalising text ----

#include "learntext.h"

namespace {
std::string Joined(const std::vector<learn::TSentence>& sentences) {
  std::string out;
  for (const auto& s : sentences) {
    if (!out.empty()) out += " | ";
    for (size_t i = 0; i < s.size(); ++i) out += (i ? " " : "") + s[i];
  }
  return out;
}
}  // namespace

TEST(LearnText, NormalisesAsAPersonWouldSayIt) {
  struct Case { const char* in; const char* out; };
  const Case cases[] = {
      {"No acute fracture.", "no acute fracture"},
      {"A 3.5 cm nodule.", "a three point five centimeter nodule"},  // a unit before a noun is an adjective
      {"1 cm, 0.5 mm and .5 mm", "one centimeter zero point five millimeters and point five millimeters"},
      {"3x4x5cm", "three by four by five centimeters"},
      {"3 x 4 cm", "three by four centimeters"},
      {"Narrowing at C5-C6 and L4-5.", "narrowing at c five c six and l four five"},
      {"2/3 of the way, 1/2 and 3/4", "two thirds of the way one half and three quarters"},
      {"5/12/2024", "five twelve twenty twenty four"},
      {"At 10:30, 10:05 and 9:00", "at ten thirty ten oh five and nine o'clock"},
      {"20G angiocath, 20 gauge", "twenty gauge angiocath twenty gauge"},
      {"x2 views; 2 views", "times two views | two views"},
      {"3-5 mm", "three to five millimeters"},
      {"the 1st, 2nd, 3rd and 22nd ribs", "the first second third and twenty second ribs"},
      {"1,200 ml and 12,34", "one thousand two hundred milliliters and twelve thirty four"},
      {"50% stenosis", "fifty percent stenosis"},
      {"s/p CABG w/ sternotomy wires, r/o PNA", "status post cabg with sternotomy wires rule out pna"},
      {"Rt and lt hila, e.g. here", "right and left hila for example here"},
      {"Dr. Smith saw it. IMPRESSION: normal", "doctor smith saw it | impression | normal"},
      {"It\xE2\x80\x99s the patient\xE2\x80\x99s \xE2\x80\x9C" "film\xE2\x80\x9D", "it's the patient's film"},
      {"Caf\xC3\xA9 L\xC3\x89SION", "caf\xC3\xA9 l\xC3\xA9sion"},
      {"(see above) [sic] {x}", "see above sic x"},
      {"line one\nline two\r\n\nline three", "line one | line two | line three"},  // a line ends a sentence
      {"Heart nl size. Impr: normal", "heart normal size | impression | normal"},
      {"1234567890123", "one two three four five six seven eight nine zero one two three"},
      {"007", "zero zero seven"},
      {"\xFF\xFEhello\xC3", "hello"},       // invalid UTF-8 separates
      {"--- *** ...", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Joined(learn::NormaliseText(c.in)), c.out) << c.in;
}

TEST(LearnText, NumbersInWords) {
  struct Case { uint64_t n; const char* words; };
  const Case cases[] = {{0, "zero"}, {7, "seven"}, {13, "thirteen"}, {21, "twenty one"}, {100, "one hundred"},
                        {115, "one hundred fifteen"}, {2024, "two thousand twenty four"},
                        {1000001, "one million one"}, {999999999999ULL, "nine hundred ninety nine billion nine hundred ninety nine million nine hundred ninety nine thousand nine hundred ninety nine"},
                        {1000000000000ULL, "one zero zero zero zero zero zero zero zero zero zero zero zero"}};
  for (const auto& c : cases) EXPECT_EQ(learn::NumberWords(c.n), c.words) << c.n;
}

// The word lists are data files (the text forms' lists, compiled in): every
// row has its fields, no written form is listed twice for reading (a second
// one would be dropped unseen), and every unit is read as the list says after
// one and after two.
TEST(LearnText, WordListsAreWellFormedAndUsed) {
  for (const char* list : {"units", "abbreviations", "acronyms", "numbered", "punctuation", "months"}) {
    const auto rows = textforms::FormsRows(list);
    EXPECT_FALSE(rows.empty()) << list;
    for (const auto& row : rows)
      for (const auto& field : row) EXPECT_FALSE(field.empty()) << list;
  }
  std::set<std::string> read;
  size_t units = 0;
  for (const textforms::TUnit& u : textforms::Forms().units) {
    EXPECT_FALSE(u.one.empty() || u.many.empty()) << u.written;
    if (!u.read) continue;
    std::string lower = u.written;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(read.insert(lower).second) << "units lists twice: " << u.written;
    const auto joined = [](const std::vector<std::string>& w) {
      std::string s;
      for (const auto& x : w) s += " " + x;
      return s;
    };
    const std::string gap = u.tight ? "" : " ";
    EXPECT_EQ(Joined(learn::NormaliseText("1" + gap + u.written)), "one" + joined(u.one)) << u.written;
    EXPECT_EQ(Joined(learn::NormaliseText("2" + gap + u.written)), "two" + joined(u.many)) << u.written;
    ++units;
  }
  EXPECT_GT(units, 10u);
}

TEST(LearnText, LongTextIsCutIntoBoundedSentences) {
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "word ";
  const auto s = learn::NormaliseText(text);
  ASSERT_EQ(s.size(), 1000 / learn::kMaxSentenceWords);
  for (const auto& x : s) EXPECT_EQ(x.size(), learn::kMaxSentenceWords);
}

TEST(LearnText, Utf8KeptOtherBytesReadAsWindows1252AndBinaryRecognised) {
  struct Case { std::string in, utf8; bool binary; };
  const Case cases[] = {
      {"caf\xC3\xA9", "caf\xC3\xA9", false},                         // valid UTF-8 as is
      {"\xEF\xBB\xBFok", "ok", false},                                // byte order mark dropped
      {"caf\xE9 \x93q\x94 \x80", "caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D \xE2\x82\xAC", false},  // Windows-1252
      {"a\tb\r\nc\f", "a\tb\r\nc\f", false},
      {std::string("ab\0cd", 5), "", true},                           // a NUL byte
      {std::string(64, '\x01'), "", true},                            // control characters
  };
  for (const auto& c : cases) {
    EXPECT_EQ(learn::LooksBinary(c.in), c.binary) << c.in;
    if (!c.binary) EXPECT_EQ(learn::TextAsUtf8(c.in), c.utf8) << c.in;
  }
}

// ---- Learning from files: the store, the model, bad input ----

#include "dicomgen.h"
#include "learn.h"
#include "recoengine.h"
#include "spsettings.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

// The service's settings in a folder of the test's own.
class LearnFiles : public TOwnSettingsTest {
protected:
  QString Write(const QString& name, const QByteArray& bytes) {
    const QString path = files.filePath(name);
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    return path;
  }
  QString Dicom(const QString& name, const std::string& charset, const std::string& comment) {
    testgen::DataSet ds;
    if (!charset.empty()) ds.Add(0x0008, 0x0005, "CS", charset);
    ds.Add(0x0008, 0x0060, "CS", "CR");
    if (!comment.empty()) ds.Add(0x0020, 0x4000, "LT", comment);
    const testgen::Bytes b = testgen::Part10(testgen::kExplicitLE, ds);
    return Write(name, QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size())));
  }
  static QStringList Stored() {
    QFile f(LearnedFolder() + "/sentences.txt");
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts) : QStringList();
  }
  // Everything the recogniser would load, as one fingerprint.
  static QByteArray ModelFingerprint() {
    const TRecoModel m = RecoModelFromSettings();
    QCryptographicHash h(QCryptographicHash::Sha256);
    for (const QString& p : {m.languageModel, m.dictionary}) {
      QFile f(p);
      if (f.open(QIODevice::ReadOnly)) h.addData(f.readAll());
      h.addData(p.toUtf8());
    }
    return h.result();
  }

};

}  // namespace

TEST_F(LearnFiles, DicomCommentsAreDecodedByTheirOwnCharacterSet) {
  struct Case { const char* charset; std::string comment; const char* learned; };
  const Case cases[] = {
      {"ISO_IR 100", "L\xE9sion caf\xE9 au lait.", "l\xC3\xA9sion caf\xC3\xA9 au lait"},
      {"ISO_IR 192", "Kn\xC3\xB6tchen im Unterlappen.", "kn\xC3\xB6tchen im unterlappen"},
      {"ISO_IR 148", "Nodul \xFEi \xF0" "ensitate.", "nodul \xC5\x9Fi \xC4\x9F" "ensitate"},  // Latin-5: ş ğ
      {"", "Plain ASCII comment.", "plain ascii comment"},
  };
  for (const auto& c : cases) {
    const QString path = Dicom("c.dcm", c.charset, c.comment);
    const QByteArray text = LearnableText(path);
    EXPECT_EQ(learn::NormaliseText(text.toStdString()).at(0), learn::NormaliseText(c.learned).at(0)) << c.charset;
  }
  // Through a whole learn, into the store and the dictionary.
  Dicom("dir/one.dcm", "ISO_IR 100", "Opacit\xE9 in the lingula.");
  const TLearnResult r = LearnFromPaths({files.filePath("dir")});
  EXPECT_TRUE(r.skipped.isEmpty()) << r.skipped.join('\n').toStdString();
  EXPECT_TRUE(r.changed);
  EXPECT_EQ(Stored(), QStringList{QString::fromUtf8("opacit\xC3\xA9 in the lingula")});
  QFile dict(RecoModelFromSettings().dictionary);
  ASSERT_TRUE(dict.open(QIODevice::ReadOnly));
  EXPECT_TRUE(dict.readAll().contains("\nopacit\xC3\xA9 "));
}

TEST_F(LearnFiles, BadFilesAreNamedAndSkippedAndLeaveTheModelAsItWas) {
  const QByteArray shipped = ModelFingerprint();
  const QString binary = Write("bad/image.bin", QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
  const QString noComment = Dicom("bad/plain.dcm", "ISO_IR 100", "");
  // "DICM", then an element cut off in its header.
  QByteArray broken(128, '\0');
  broken += QByteArray("DICM\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 12);
  const QString brokenDicom = Write("bad/broken.dcm", broken);
  // Root reads anything: an unreadable file only for others.
  const bool asRoot = ::geteuid() == 0;
  const QString unreadable = asRoot ? QString() : Write("bad/locked.txt", "no acute fracture");
  if (!asRoot) QFile::setPermissions(unreadable, QFileDevice::Permissions());
  const QString missing = files.filePath("bad/missing.txt");

  TLearnResult r = LearnFromPaths({files.filePath("bad"), missing});
  EXPECT_FALSE(r.changed) << Stored().join('|').toStdString() << r.skipped.join('|').toStdString();
  const QString all = r.skipped.join('\n');
  for (const auto& [path, reason] : {std::pair{binary, "binary data, not text"},
                                      {brokenDicom, "not a readable DICOM file"}, {missing, "does not exist"}})
    EXPECT_TRUE(all.contains(path + ": " + reason)) << all.toStdString();
  // An image without a comment is nothing to learn, not a broken file.
  EXPECT_FALSE(all.contains(noComment)) << all.toStdString();
  EXPECT_EQ(r.imagesWithoutComment, 1);
  EXPECT_EQ(r.skipped.size(), asRoot ? 3 : 4);
  if (!asRoot) EXPECT_TRUE(all.contains(unreadable + ": cannot be read")) << all.toStdString();
  EXPECT_EQ(ModelFingerprint(), shipped);
  EXPECT_FALSE(RecoModelFromSettings().learned);
  EXPECT_FALSE(QFileInfo::exists(LearnedFolder() + "/sentences.txt"));

  // After a good learn, bad files alone change nothing either.
  Write("good.txt", "Streaky opacities at the left base.\n");
  r = LearnFromPaths({files.filePath("good.txt"), binary});
  EXPECT_TRUE(r.changed);
  EXPECT_EQ(r.skipped.size(), 1);
  const QByteArray learned = ModelFingerprint();
  EXPECT_NE(learned, shipped);
  const QStringList stored = Stored();
  r = LearnFromPaths({binary, noComment, Write("empty.txt", "  \n.\n")});
  EXPECT_FALSE(r.changed);
  EXPECT_EQ(ModelFingerprint(), learned);
  EXPECT_EQ(Stored(), stored);
}

TEST_F(LearnFiles, LearningAddsUpStatusCountsAndForgettingRestoresTheShippedModel) {
  const TRecoModel shipped = RecoModelFromSettings();
  EXPECT_EQ(LearnedStatus().sentences, 0);
  Write("a/one.txt", "Hila are somewhat prominent. Rigler signs are seen.\n");
  Write("a/sub/two.txt", QByteArray("Luftsichel sign.\n"));
  TLearnResult r = LearnFromPaths({files.filePath("a")});
  EXPECT_EQ(r.files, 2);
  EXPECT_EQ(r.sentences, 3);
  TLearnStatus s = LearnedStatus();
  EXPECT_EQ(s.sentences, 3);
  EXPECT_EQ(s.words, 4 + 4 + 2);
  EXPECT_GE(s.newWords, 2);  // rigler, luftsichel
  EXPECT_TRUE(s.inUse);
  EXPECT_GT(s.weight, 0);
  // Little text: the shipped model dominates.
  EXPECT_LT(s.weight, 0.01);
  const TRecoModel m = RecoModelFromSettings();
  EXPECT_TRUE(m.learned);
  EXPECT_NE(m.languageModel, shipped.languageModel);
  EXPECT_EQ(m.acousticModel, shipped.acousticModel);
  EXPECT_EQ(QFileInfo(LearnedFolder()).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0);

  // A second learn adds to the first, in a new folder the link points at.
  r = LearnFromPaths({Write("b.txt", "Infrahilar haziness.")});
  s = LearnedStatus();
  EXPECT_EQ(s.sentences, 4);
  EXPECT_EQ(Stored().last(), "infrahilar haziness");
  EXPECT_NE(RecoModelFromSettings().languageModel, m.languageModel);
  EXPECT_EQ(QDir(LearnedFolder()).entryList({"model-*", "work-*"}, QDir::Dirs).size(), 1);

  ForgetLearned();
  EXPECT_EQ(LearnedStatus().sentences, 0);
  const TRecoModel back = RecoModelFromSettings();
  EXPECT_FALSE(back.learned);
  EXPECT_EQ(back.languageModel, shipped.languageModel);
  EXPECT_EQ(back.dictionary, shipped.dictionary);
  EXPECT_FALSE(QFileInfo::exists(LearnedFolder()));
}

TEST_F(LearnFiles, ACancelledLearnLeavesThePreviousModel) {
  LearnFromPaths({Write("first.txt", "Kerley lines.")});
  const QByteArray before = ModelFingerprint();
  const QStringList stored = Stored();
  std::atomic<bool> cancel{false};
  int calls = 0;
  EXPECT_THROW(LearnFromPaths({Write("second.txt", "Lordotic positioning.")},
                              [&](int percent, const QString&) {
                                ++calls;
                                if (percent >= 50) cancel = true;
                              },
                              &cancel),
               ESpeechError);
  EXPECT_GT(calls, 0);
  EXPECT_EQ(ModelFingerprint(), before);
  EXPECT_EQ(Stored(), stored);
  EXPECT_TRUE(QDir(LearnedFolder()).entryList({"work-*", "*.new", "*.tmp"}).isEmpty());
}

// A shipped model of another build (an upgrade) is not mixed with a model
// built from the old one.
TEST_F(LearnFiles, ALearnedModelForAnotherBaseModelIsNotUsed) {
  LearnFromPaths({Write("t.txt", "Kerley lines.")});
  EXPECT_TRUE(RecoModelFromSettings().learned);
  OpenSpeechSettings()->setValue(kModelLanguage, GeneralRecoModel().languageModel);
  OpenSpeechSettings()->setValue(kModelDictionary, GeneralRecoModel().dictionary);
  EXPECT_FALSE(RecoModelFromSettings().learned);
  EXPECT_EQ(RecoModelFromSettings().languageModel, GeneralRecoModel().languageModel);
  EXPECT_FALSE(LearnedStatus().inUse);
}

// ---- Saved comments ----

#include "commentlearner.h"
#include "learndialog.h"

#include <QMutex>

#include <chrono>

namespace {

// A comment as a save stores it: the text, then the trailer.
QString AsSaved(const QString& text, const QString& when) {
  const QString rule(30, u'*');
  return text + "\r\n\r\n" + rule + "\r\nThis comment was recorded with\r\n"
         "  Varnelo (c) the Varnelo authors. All rights reserved.\r\nhttps://varnelo.example/app\r\n\r\n" + when + "\r\n" + rule;
}

bool WaitIdle(const TCommentLearner& l) {
  for (int i = 0; i < 3000 && !l.Idle(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return l.Idle();
}

// Warnings logged meanwhile, from any thread.
class TWarnings {
public:
  TWarnings() {
    Self() = this;
    FOld = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
      QMutexLocker lock(&Self()->FMutex);
      if (type == QtWarningMsg) Self()->FTexts << text;
    });
  }
  ~TWarnings() {
    qInstallMessageHandler(FOld);
    Self() = nullptr;
  }
  QStringList Texts() {
    QMutexLocker lock(&FMutex);
    return FTexts;
  }

private:
  static TWarnings*& Self() {
    static TWarnings* self = nullptr;
    return self;
  }
  QtMessageHandler FOld;
  QMutex FMutex;
  QStringList FTexts;
};

}  // namespace

// Only what the user added is learned: not the comment the file held, not
// the trailers saves append; the status counts it apart from documents. A
// document learned at the same time waits for the comment's learn (or the
// other way round), and neither loses the other's sentences.
TEST_F(LearnFiles, SavedCommentsLearnWhatTheUserAddedAndAreCountedApart) {
  const QString held = AsSaved("Kerley lines are seen.", "01/02/26 10:11:12");
  const QByteArray model = ModelFingerprint();
  struct Case { const char* what; TSavedComment comment; };
  const Case nothing[] = {
      {"saved unchanged", {held, held}},
      {"a trailer alone", {AsSaved("", "02/02/26 09:00:00"), QString()}},
      {"blank", {QStringLiteral(" \r\n "), QString()}},
  };
  for (const auto& c : nothing) {
    const TLearnResult r = LearnSavedComments({c.comment});
    EXPECT_FALSE(r.changed) << c.what;
    EXPECT_EQ(r.sentences, 0) << c.what;
  }
  EXPECT_EQ(ModelFingerprint(), model);

  const QString doc = Write("doc.txt", "Kerley lines are seen.");
  QString otherError;
  std::thread other([&] {
    try {
      LearnFromPaths({doc});
    } catch (const std::exception& e) {
      otherError = QString::fromStdString(e.what());
    }
  });
  TLearnResult r;
  try {
    r = LearnSavedComments({{held + "\r\nThe zentrilax is stable.", held}, {QStringLiteral("Florpitude noted."), QString()}});
  } catch (const std::exception& e) {
    ADD_FAILURE() << e.what();
  }
  other.join();
  EXPECT_TRUE(otherError.isEmpty()) << otherError.toStdString();
  EXPECT_TRUE(r.changed);
  EXPECT_EQ(r.files, 2);
  EXPECT_EQ(r.sentences, 2);
  QStringList stored = Stored();
  stored.sort();
  EXPECT_EQ(stored, QStringList({"comment\tflorpitude noted", "comment\tthe zentrilax is stable",
                                 "kerley lines are seen"}));
  const TLearnStatus s = LearnedStatus();
  EXPECT_EQ(s.sentences, 3);
  EXPECT_EQ(s.commentSentences, 2);
  EXPECT_EQ(s.commentWords, 4 + 2);
  EXPECT_TRUE(s.inUse);
  EXPECT_TRUE(LearnedSummary().endsWith("; 2 sentences (6 words) come from saved comments."))
      << LearnedSummary().toStdString();
  QFile dict(RecoModelFromSettings().dictionary);
  ASSERT_TRUE(dict.open(QIODevice::ReadOnly));
  EXPECT_TRUE(dict.readAll().contains("\nzentrilax "));
  EXPECT_FALSE(QFileInfo::exists(QFileInfo(SpeechSettingsPath()).path() + "/learned.lock"));
}

// The learner in the background: off by the settings' switch, and a learn
// that fails is logged, never thrown at the saver.
TEST_F(LearnFiles, TheLearnerFollowsTheSwitchAndOnlyLogsAFailure) {
  EXPECT_TRUE(SavedCommentsLearned());
  TWarnings warnings;
  {
    TCommentLearner learner;
    SetSavedCommentsLearned(false);
    learner.Add({QStringLiteral("Zentrilax noted."), QString()});
    ASSERT_TRUE(WaitIdle(learner));
    EXPECT_EQ(LearnedStatus().sentences, 0);
    EXPECT_FALSE(QFileInfo::exists(LearnedFolder()));

    // A file where the learned folder belongs: the learn cannot be made.
    SetSavedCommentsLearned(true);
    QDir().mkpath(QFileInfo(LearnedFolder()).path());
    QFile blocker(LearnedFolder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly) && blocker.write("not a folder") > 0);
    blocker.close();
    ASSERT_TRUE(QFileInfo(LearnedFolder()).isFile());
    learner.Add({QStringLiteral("Zentrilax noted."), QString()});
    ASSERT_TRUE(WaitIdle(learner));
  }
  const QStringList logged = warnings.Texts();
  ASSERT_EQ(logged.size(), 1) << logged.join('|').toStdString();
  EXPECT_TRUE(logged[0].contains("not learned")) << logged[0].toStdString();
  EXPECT_TRUE(QFileInfo(LearnedFolder()).isFile());
}
