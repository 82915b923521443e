#include "dictatedphrases.h"

#include "phrasealign.h"
#include "spcommon.h"
#include "spsettings.h"
#include "trainingfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtGlobal>

#include <sys/resource.h>
#include <csignal>
#include <cerrno>
#include <unistd.h>

namespace {
constexpr qint64 kWavHeader = 44;
constexpr qint64 kBytesPerSecond = 2 * kTrainingRate;

// Folders ("incoming-PID-XXXXXX") of keeps whose process has gone.
void RemoveAbandonedIncoming(const QString& folder) {
  for (const QString& name : QDir(folder).entryList({"incoming-*"}, QDir::Dirs | QDir::NoDotAndDotDot)) {
    bool numbered = false;
    const pid_t pid = pid_t(name.section('-', 1, 1).toLongLong(&numbered));
    if (numbered && pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH)
      QDir(folder + "/" + name).removeRecursively();
  }
}
}  // namespace

QString DictatedPhrasesFolder() { return QFileInfo(SpeechSettingsPath()).absolutePath() + "/phrases"; }

bool DictatedPhrasesKept() { return OpenSpeechSettings()->value(kKeepDictatedPhrases, true).toBool(); }

void SetDictatedPhrasesKept(bool on) { OpenSpeechSettings()->setValue(kKeepDictatedPhrases, on); }

int KeepDictatedPhrases(const QString& comment, const std::vector<TDictatedSound>& phrases) {
  std::vector<phrasealign::TPhrase> said;
  for (const TDictatedSound& p : phrases) {
    phrasealign::TPhrase a;
    for (const QString& w : p.words) a.words.push_back(w.toLower().toStdString());
    if (p.at >= 0 && p.at <= comment.size()) a.at = int(comment.left(p.at).toUcs4().size());
    said.push_back(std::move(a));
  }
  const std::u32string text = comment.toStdU32String();
  const std::vector<phrasealign::TAligned> aligned = phrasealign::AlignPhrases(text, said);
  std::vector<size_t> keep;
  for (size_t i = 0; i < aligned.size(); ++i)
    if (aligned[i].kept && HoldsSpeech(phrases[i].samples)) keep.push_back(i);
  if (keep.empty()) return 0;

  const QString folder = DictatedPhrasesFolder();
  const QString foreign = ForeignFolder(folder);
  if (!foreign.isEmpty()) throw ESpeechError(QStringLiteral("The dictated phrases could not be kept: ") + foreign);
  if (!QDir().mkpath(folder))
    throw ESpeechError(QStringLiteral("The folder for the dictated phrases %1 could not be made").arg(folder));
  // What the user dictated is theirs alone.
  QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  RemoveAbandonedIncoming(folder);
  // Written beside the kept ones first, then moved in with the index.
  QTemporaryDir incoming(QStringLiteral("%1/incoming-%2-XXXXXX").arg(folder).arg(::getpid()));
  if (!incoming.isValid()) throw ESpeechError(QStringLiteral("No folder for new phrases could be made in ") + folder);
  QStringList transcripts, files;
  for (size_t i : keep) {
    QStringList words;
    for (const std::string& w : aligned[i].transcript) words << QString::fromStdString(w);
    const QString file = incoming.filePath(QStringLiteral("%1.wav").arg(files.size() + 1));
    WriteWav(file, phrases[i].samples);
    transcripts << words.join(' ');
    files << file;
  }
  AddKeptRecordings(folder, transcripts, files, qint64(kMaxDictatedSeconds) * kBytesPerSecond);
  return int(files.size());
}

TKeptRecordings LoadDictatedPhrases() { return LoadKeptRecordings(DictatedPhrasesFolder()); }

TKeptSize DictatedPhrasesSize() { return KeptRecordingsSize(DictatedPhrasesFolder()); }

QString DictatedPhrasesSummary() {
  const TKeptSize size = DictatedPhrasesSize();
  if (size.entries == 0) return QStringLiteral("No dictated phrases are kept.");
  const qint64 seconds = std::max<qint64>(0, size.bytes - kWavHeader * size.entries) / kBytesPerSecond;
  const QString length = seconds >= 3600 ? QStringLiteral("%1 h %2 min").arg(seconds / 3600).arg(seconds % 3600 / 60)
                         : seconds >= 60 ? QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60)
                                         : QStringLiteral("%1 s").arg(seconds);
  return (size.entries == 1 ? QStringLiteral("1 phrase") : QStringLiteral("%1 phrases").arg(size.entries)) + ", " + length;
}

void RemoveDictatedPhrases() { RemoveKeptRecordings(DictatedPhrasesFolder()); }

TKeptRecordings LoadKeptMaterial() {
  TKeptRecordings kept = LoadKeptRecordings();
  TKeptRecordings phrases = LoadDictatedPhrases();
  kept.prompts += phrases.prompts;
  for (auto& r : phrases.recordings) kept.recordings.push_back(std::move(r));
  kept.problems += phrases.problems;
  return kept;
}

TPhraseKeeper::~TPhraseKeeper() {
  {
    std::lock_guard lock(FMutex);
    FQuit = true;
  }
  FWake.notify_all();
  if (FThread.joinable()) FThread.join();
}

void TPhraseKeeper::Add(QString comment, std::vector<TDictatedSound> phrases) {
  try {
    std::lock_guard lock(FMutex);
    FQueue.push_back({std::move(comment), std::move(phrases)});
    if (!FThread.joinable()) FThread = std::thread([this] { Run(); });
  } catch (const std::exception& e) {
    qWarning("varnelo-speech: dictated phrases could not be queued for keeping: %s", e.what());
  }
  FWake.notify_one();
}

bool TPhraseKeeper::Idle() const {
  std::lock_guard lock(FMutex);
  return !FBusy && FQueue.empty();
}

void TPhraseKeeper::Run() {
  // Dictation and the window go first.
  ::setpriority(PRIO_PROCESS, id_t(::gettid()), 10);
  for (;;) {
    TJob job;
    {
      std::unique_lock lock(FMutex);
      FWake.wait(lock, [this] { return FQuit || !FQueue.empty(); });
      if (FQueue.empty()) return;
      job = std::move(FQueue.front());
      FQueue.pop_front();
      FBusy = true;
    }
    try {
      KeepDictatedPhrases(job.comment, job.phrases);
    } catch (const std::exception& e) {
      qWarning("varnelo-speech: dictated phrases were not kept: %s", e.what());
    }
    std::lock_guard lock(FMutex);
    FBusy = false;
  }
}
