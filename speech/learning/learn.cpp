#include "learn.h"

#include "learnlm.h"
#include "learnstore.h"
#include "learntext.h"
#include "lts.h"
#include "modelpath.h"
#include "recomodel.h"
#include "spcommon.h"
#include "spsettings.h"

#include "dicom.h"
#include "writer.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSet>
#include <QTemporaryDir>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr qint64 kMaxFileBytes = 256LL << 20;
constexpr const char* kSentences = "sentences.txt";

// Set while a forget waits: learns in this process give way to it.
std::atomic<int> gForgetting{0};

using TSentence = TStoredSentence;

qint64 WordCount(const std::string& s) { return StoredWordCount(s); }

QString CancelledMessage() { return QStringLiteral("Learning was cancelled; the previous model stays in use."); }

// One learn or forget at a time, in this process and in others. The lock of
// a process that died is taken over; a live one is waited for however long
// it is held (no age makes it stale).
class TLearnLock {
public:
  explicit TLearnLock(const std::function<bool()>& cancelled)
      : FLock(QFileInfo(SpeechSettingsPath()).absolutePath() + "/learned.lock") {
    FLock.setStaleLockTime(0);
    QDir().mkpath(QFileInfo(SpeechSettingsPath()).absolutePath());
    // Errors other than a lock held elsewhere may pass (a lock file being
    // made or removed meanwhile): only a lasting one gives up.
    for (int errors = 0; !FLock.tryLock(100);) {
      if (FLock.error() != QLockFile::LockFailedError && ++errors > 50)
        throw ESpeechError(QStringLiteral("The learned language could not be locked beside %1 (error %2)")
                               .arg(SpeechSettingsPath())
                               .arg(int(FLock.error())));
      if (cancelled && cancelled()) throw ESpeechError(CancelledMessage());
    }
  }

private:
  QLockFile FLock;
};

// Only the user's own learned folder is read or written, never one another
// user left there (a home kept across sudo, say).
void CheckOwnFolder(const QString& dir) {
  const QFileInfo fi(dir);
  if (fi.exists() && fi.ownerId() != uint(::geteuid()))
    throw ESpeechError(QStringLiteral("The folder %1 belongs to another user; nothing is learned there").arg(dir));
}

// The model a learn mixes with: the one the settings name, else the shipped one.
void BaseModel(QString* lm, QString* dict) {
  auto s = OpenSpeechSettings();
  const TRecoModel shipped = ShippedRecoModel();
  *lm = ModelPath(s->value(kModelLanguage, shipped.languageModel).toString());
  *dict = ModelPath(s->value(kModelDictionary, shipped.dictionary).toString());
}

void EnsureFolder(const QString& dir) {
  if (!QDir().mkpath(dir)) throw ESpeechError(QStringLiteral("The folder %1 could not be created").arg(dir));
  // The user's own writing: theirs alone.
  QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// The stored sentences, oldest first.
std::deque<TSentence> ReadSentences(qint64* words) {
  *words = 0;
  QFile f(LearnedFolder() + "/" + kSentences);
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = f.readAll();
  return ParseStoredSentences(std::string_view(bytes.constData(), size_t(bytes.size())), words);
}

// Text as sentences of recogniser words, each joined by blanks.
std::vector<std::string> SentencesOf(const QByteArray& utf8) {
  std::vector<std::string> out;
  for (const auto& sentence : learn::NormaliseText(std::string_view(utf8.constData(), size_t(utf8.size())))) {
    std::string line;
    for (const auto& w : sentence) line += (line.empty() ? "" : " ") + w;
    if (!line.empty()) out.push_back(std::move(line));
  }
  return out;
}

// Written through to the disk: a model or store that a crash could leave
// half written is never switched in.
void WriteFileOrThrow(const QString& path, const QByteArray& data) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.flush() || ::fsync(f.handle()) != 0)
    throw ESpeechError(QStringLiteral("%1 could not be written: %2").arg(path, f.errorString()));
}

void SyncPath(const QString& path) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool LooksLikeDicom(const QByteArray& head) {
  if (head.size() >= 132 && head.mid(128, 4) == "DICM") return true;
  // Without the preamble: a first element of group 0002 or 0008.
  return head.size() >= 8 && (head[0] == 2 || head[0] == 8) && head[1] == 0;
}

}  // namespace

TLearnStatus LearnedStatus() {
  TLearnStatus s;
  const QString dir = QFileInfo(LearnedFolder() + "/" + kLearnedModelLink).canonicalFilePath();
  if (dir.isEmpty()) return s;
  s = LearnStatusFromInfo(LearnedModelInfo(dir));
  QString lm, dict;
  BaseModel(&lm, &dict);
  s.inUse = !LearnedModelFor(lm, dict).isEmpty();
  return s;
}

void ForgetLearned() {
  // A learn under way here gives way; one in another process is waited for,
  // so that it cannot put back what is forgotten.
  ++gForgetting;
  struct TDone {
    ~TDone() { --gForgetting; }
  } done;
  const TLearnLock lock({});
  const QString dir = LearnedFolder();
  // The link first: from then on the shipped model is used.
  QFile::remove(dir + "/" + kLearnedModelLink);
  QDir(dir).removeRecursively();
}

QByteArray LearnableText(const QString& path, bool* imageWithoutComment) {
  if (imageWithoutComment) *imageWithoutComment = false;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) throw ESpeechError(QStringLiteral("cannot be read: ") + f.errorString());
  if (f.size() > kMaxFileBytes) throw ESpeechError(QStringLiteral("too large to learn from (over 256 MB)"));
  const QByteArray bytes = f.readAll();
  if (f.error() != QFileDevice::NoError) throw ESpeechError(QStringLiteral("cannot be read: ") + f.errorString());
  if (LooksLikeDicom(bytes.left(132))) {
    dicom::THeaderData raw;
    try {
      dicom::LoadDICOMHeader(QFile::encodeName(path).toStdString(), raw);
      // The trailer a save appended is no one's writing.
      const std::string comment = dicom::CommentWithoutTrailers(dicom::DecodedHeader(raw).ImageComments);
      if (QByteArray::fromStdString(comment).trimmed().isEmpty()) {
        if (imageWithoutComment) *imageWithoutComment = true;
        return {};
      }
      return QByteArray::fromStdString(comment);
    } catch (const dicom::EDicomError& e) {
      if (bytes.mid(128, 4) == "DICM")
        throw ESpeechError(QStringLiteral("not a readable DICOM file: ") + QString::fromStdString(e.what()));
      // Not DICOM after all: read it as text.
    }
  }
  const std::string_view view(bytes.constData(), size_t(bytes.size()));
  if (learn::LooksBinary(view)) throw ESpeechError(QStringLiteral("binary data, not text"));
  return QByteArray::fromStdString(learn::TextAsUtf8(view));
}

namespace {

using TReport = std::function<void(int, const QString&)>;

// Adds the sentences to the store (the oldest dropped beyond the bound),
// rebuilds the model from the whole store and switches it in.
TLearnResult StoreAndBuild(std::vector<TSentence> added, TLearnResult result, const TReport& report,
                           const std::function<bool()>& cancelled) {
  if (added.empty()) {  // nothing to learn: everything stays as it was
    result.status = LearnedStatus();
    return result;
  }
  const QString folder = LearnedFolder();
  CheckOwnFolder(folder);
  const TLearnLock lock(cancelled);

  // The stored sentences with the new ones, the oldest dropped beyond the bound.
  report(30, QStringLiteral("Gathering the learned text"));
  qint64 words = 0;
  std::deque<TSentence> all = ReadSentences(&words);
  for (auto& s : added) {
    words += WordCount(s.words);
    all.push_back(std::move(s));
  }
  std::vector<TSentence>().swap(added);
  while (words > kMaxLearnedWords && all.size() > 1) {
    words -= WordCount(all.front().words);
    all.pop_front();
  }

  // Pronunciations for the words the dictionary lacks.
  QString baseLm, baseDict;
  BaseModel(&baseLm, &baseDict);
  QFile dictFile(baseDict);
  if (!dictFile.open(QIODevice::ReadOnly))
    throw ESpeechError(QStringLiteral("The dictionary %1 could not be read").arg(baseDict));
  QByteArray dictText = dictFile.readAll();
  std::unordered_set<std::string> known;
  for (const QByteArray& line : dictText.split('\n')) {
    const int sp = line.indexOf(' ');
    if (sp > 0) known.insert(line.left(sp).split('(').front().toStdString());
  }
  if (!dictText.isEmpty() && !dictText.endsWith('\n')) dictText += '\n';
  std::unordered_map<std::string, bool> fresh;  // new word: has a pronunciation
  qint64 newWords = 0, commentSentences = 0, commentWords = 0;
  std::vector<std::string> sentences;
  std::vector<bool> fromComment;
  sentences.reserve(all.size());
  for (TSentence& s : all) {
    if (cancelled()) throw ESpeechError(CancelledMessage());
    std::string kept;
    for (size_t a = 0; a < s.words.size();) {
      size_t b = s.words.find(' ', a);
      if (b == std::string::npos) b = s.words.size();
      const std::string w = s.words.substr(a, b - a);
      a = b + 1;
      if (w.empty()) continue;
      bool ok = true;
      if (!known.count(w)) {
        auto [it, isNew] = fresh.emplace(w, false);
        if (isNew) {
          const std::string phones = LetterToSound(w);
          it->second = !phones.empty();
          if (it->second) {
            dictText += QByteArray::fromStdString(w + " " + phones + "\n");
            ++newWords;
          }
        }
        ok = it->second;
      }
      if (ok) kept += (kept.empty() ? "" : " ") + w;
    }
    s.words.clear();
    s.words.shrink_to_fit();
    if (kept.empty()) continue;
    if (s.comment) {
      ++commentSentences;
      commentWords += WordCount(kept);
    }
    sentences.push_back(std::move(kept));
    fromComment.push_back(s.comment);
  }
  std::deque<TSentence>().swap(all);
  report(40, QStringLiteral("Building the language model"));

  // The new model in a folder of its own beside the old one.
  EnsureFolder(folder);
  QTemporaryDir work(folder + "/work-XXXXXX");
  if (!work.isValid()) throw ESpeechError(QStringLiteral("A work folder could not be made in ") + folder);
  learn::TLmStats stats;
  bool built = false;
  try {
    built = learn::BuildMixedModel(sentences, QFile::encodeName(baseLm).toStdString(),
                                   QFile::encodeName(work.path() + "/learned.lm.bin").toStdString(), stats,
                                   [&](int p) {
                                     report(40 + p * 55 / 100, QStringLiteral("Building the language model"));
                                     return !cancelled();
                                   });
  } catch (const std::exception& e) {
    throw ESpeechError(QStringLiteral("The learned language model could not be built: ") + QString::fromStdString(e.what()));
  }
  if (!built || cancelled()) throw ESpeechError(CancelledMessage());
  SyncPath(work.path() + "/learned.lm.bin");
  WriteFileOrThrow(work.path() + "/learned.dict", dictText);
  const QByteArray infoText = LearnedModelInfoText({{"base-lm", baseLm},
                                                    {"base-dict", baseDict},
                                                    {"sentences", QString::number(stats.sentences)},
                                                    {"words", QString::number(stats.words)},
                                                    {"new-words", QString::number(newWords)},
                                                    {"weight", QString::number(stats.weight)},
                                                    {"comment-sentences", QString::number(commentSentences)},
                                                    {"comment-words", QString::number(commentWords)}});
  WriteFileOrThrow(work.path() + "/" + kLearnedInfoFile, infoText);
  SyncPath(work.path());
  const QByteArray store = StoredSentencesText(sentences, fromComment);
  const QString storeNew = folder + "/sentences.new";
  WriteFileOrThrow(storeNew, store);
  QFile::setPermissions(storeNew, QFile::ReadOwner | QFile::WriteOwner);
  report(96, QStringLiteral("Putting the learned model in place"));

  // One rename switches the model: a reader sees the old one or the new one.
  const QString name = "model-" + QUuid::createUuid().toString(QUuid::Id128).left(12);
  work.setAutoRemove(false);
  if (!QDir().rename(work.path(), folder + "/" + name)) {
    QDir(work.path()).removeRecursively();
    QFile::remove(storeNew);
    throw ESpeechError(QStringLiteral("The learned model could not be moved into ") + folder);
  }
  const QString link = folder + "/" + kLearnedModelLink, next = folder + "/model.new";
  QFile::remove(next);
  if (::symlink(name.toLocal8Bit().constData(), next.toLocal8Bit().constData()) != 0 ||
      ::rename(next.toLocal8Bit().constData(), link.toLocal8Bit().constData()) != 0) {
    QFile::remove(next);
    QDir(folder + "/" + name).removeRecursively();
    QFile::remove(storeNew);
    throw ESpeechError(QStringLiteral("The learned model could not be put in place in ") + folder);
  }
  ::rename(storeNew.toLocal8Bit().constData(), (folder + "/" + kSentences).toLocal8Bit().constData());
  SyncPath(folder);
  for (const QString& old : QDir(folder).entryList({"model-*", "work-*"}, QDir::Dirs | QDir::NoDotAndDotDot))
    if (old != name) QDir(folder + "/" + old).removeRecursively();
  result.changed = true;
  result.status = LearnedStatus();
  report(100, QStringLiteral("Learned"));
  return result;
}

std::function<bool()> CancelCheck(const std::atomic<bool>* cancel) {
  return [cancel] { return (cancel && cancel->load()) || gForgetting.load() > 0; };
}

}  // namespace

TLearnResult LearnFromPaths(const QStringList& paths, const TReport& progress, const std::atomic<bool>* cancel) {
  const auto report = [&](int percent, const QString& what) {
    if (progress) progress(percent, what);
  };
  const auto cancelled = CancelCheck(cancel);
  TLearnResult result;

  // The files: those named, and those in the folders named, recursively.
  QStringList files;
  for (const QString& p : paths) {
    const QFileInfo fi(p);
    if (fi.isDir()) {
      QStringList inDir;
      QDirIterator it(p, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
      while (it.hasNext()) inDir << it.next();
      inDir.sort();
      files << inDir;
    } else if (fi.exists()) {
      files << p;
    } else {
      result.skipped << QStringLiteral("%1: does not exist").arg(p);
    }
  }

  std::vector<TSentence> added;
  for (int i = 0; i < files.size(); ++i) {
    if (cancelled()) throw ESpeechError(CancelledMessage());
    report(int(30LL * i / std::max<qsizetype>(1, files.size())), QStringLiteral("Reading %1").arg(files[i]));
    try {
      bool noComment = false;
      const QByteArray text = LearnableText(files[i], &noComment);
      if (noComment) {
        ++result.imagesWithoutComment;
        continue;
      }
      ++result.files;
      for (std::string& line : SentencesOf(text)) {
        result.words += WordCount(line);
        added.push_back({std::move(line), false});
      }
    } catch (const ESpeechError& e) {
      result.skipped << QStringLiteral("%1: %2").arg(files[i], e.Message());
    }
  }
  result.sentences = qint64(added.size());
  return StoreAndBuild(std::move(added), std::move(result), report, cancelled);
}

TLearnResult LearnSavedComments(const std::vector<TSavedComment>& comments, const std::atomic<bool>* cancel) {
  const auto userText = [](const QString& text) {
    return QByteArray::fromStdString(dicom::CommentWithoutTrailers(text.toUtf8().toStdString()));
  };
  TLearnResult result;
  std::vector<TSentence> added;
  for (const TSavedComment& c : comments) {
    std::unordered_set<std::string> before;
    for (std::string& line : SentencesOf(userText(c.before))) before.insert(std::move(line));
    bool any = false;
    for (std::string& line : SentencesOf(userText(c.text))) {
      if (before.count(line)) continue;
      result.words += WordCount(line);
      added.push_back({std::move(line), true});
      any = true;
    }
    result.files += any;
  }
  result.sentences = qint64(added.size());
  return StoreAndBuild(std::move(added), std::move(result), [](int, const QString&) {}, CancelCheck(cancel));
}
