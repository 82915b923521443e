#include "keptrecordings.h"

#include "keptindex.h"
#include "spcommon.h"
#include "spsettings.h"
#include "trainingfiles.h"
#include "transcribe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <unistd.h>

namespace {
constexpr const char* kKeptIndex = "index.txt";

// The index's entries; *problem says why an existing index could not be read.
TKeptIndex ReadKeptIndex(const QString& folder, QString* problem) {
  const QString foreign = ForeignFolder(folder);
  if (!foreign.isEmpty()) {
    *problem = QStringLiteral("The kept recordings were not read: ") + foreign;
    return {};
  }
  QFile f(QDir(folder).filePath(kKeptIndex));
  if (!f.exists()) return {};
  if (!f.open(QIODevice::ReadOnly)) {
    *problem = QStringLiteral("The list of kept recordings %1 could not be read: %2").arg(f.fileName(), f.errorString());
    return {};
  }
  return ParseKeptIndex(f.readAll());
}
}  // namespace

QString KeptRecordingsFolder() { return QFileInfo(SpeechSettingsPath()).absolutePath() + "/recordings"; }

// A voice is its owner's: a folder that is a link elsewhere, or that belongs
// to someone else, is neither read nor written.
QString ForeignFolder(const QString& folder) {
  const QFileInfo fi(folder);
  if (fi.isSymLink()) return QStringLiteral("%1 is a link to another folder").arg(folder);
  if (fi.exists() && fi.ownerId() != ::geteuid()) return QStringLiteral("%1 belongs to another user").arg(folder);
  return {};
}

TKeptRecordings LoadKeptRecordings() { return LoadKeptRecordings(KeptRecordingsFolder()); }
int KeptRecordingCount() { return KeptRecordingsSize(KeptRecordingsFolder()).entries; }
void AddKeptRecordings(const QStringList& prompts, const QStringList& wavFiles) {
  AddKeptRecordings(KeptRecordingsFolder(), prompts, wavFiles);
}
void RemoveKeptRecordings() { RemoveKeptRecordings(KeptRecordingsFolder()); }

TKeptRecordings LoadKeptRecordings(const QString& folder) {
  TKeptRecordings kept;
  QString problem;
  const TKeptIndex index = ReadKeptIndex(folder, &problem);
  if (!problem.isEmpty()) kept.problems << problem;
  const QDir dir(folder);
  for (const int line : index.brokenLines)
    kept.problems << QStringLiteral("Line %1 of the list of kept recordings %2 is broken; it was left out")
                         .arg(line).arg(dir.filePath(kKeptIndex));
  for (const auto& [file, prompt] : index.entries) {
    try {
      std::vector<short> r = ReadWavFile(dir.filePath(file));
      if (!HoldsSpeech(r)) throw ESpeechError(dir.filePath(file) + QStringLiteral(" holds no speech"));
      kept.prompts << prompt;
      kept.recordings.push_back(std::move(r));
    } catch (const std::exception& e) {
      kept.problems << QStringLiteral("The kept recording of \"%1\" was left out: %2").arg(prompt, QString::fromStdString(e.what()));
    }
  }
  return kept;
}

TKeptSize KeptRecordingsSize(const QString& folder) {
  QString problem;
  const TKeptIndex index = ReadKeptIndex(folder, &problem);
  TKeptSize size;
  size.entries = int(index.entries.size());
  for (const TKeptEntry& e : index.entries) size.bytes += std::max<qint64>(0, QFileInfo(QDir(folder).filePath(e.file)).size());
  return size;
}

void AddKeptRecordings(const QString& folder, const QStringList& prompts, const QStringList& wavFiles, qint64 maxBytes) {
  if (prompts.size() != wavFiles.size())
    throw ESpeechError(QStringLiteral("%1 prompts but %2 recordings to keep").arg(prompts.size()).arg(wavFiles.size()));
  const QString foreign = ForeignFolder(folder);
  if (!foreign.isEmpty()) throw ESpeechError(QStringLiteral("The recordings could not be kept: ") + foreign);
  if (!QDir().mkpath(folder))
    throw ESpeechError(QStringLiteral("The folder for the kept recordings %1 could not be made").arg(folder));
  // Recordings of a voice are the user's own.
  QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  const QDir dir(folder);
  QString problem;
  const TKeptIndex old = ReadKeptIndex(folder, &problem);
  if (!problem.isEmpty()) throw ESpeechError(problem);  // never replace what could not be read
  // Entries whose file has gone are dropped; new files are numbered after
  // every file there.
  QList<TKeptEntry> entries;
  QSet<QString> listed;
  int next = 1;
  for (const QString& f : dir.entryList({"*.wav"}, QDir::Files)) next = std::max(next, f.section('.', 0, 0).toInt() + 1);
  for (const TKeptEntry& e : old.entries) {
    if (!QFileInfo(dir.filePath(e.file)).isFile()) continue;
    entries << e;
    listed << e.file;
  }
  QStringList moved;
  const auto undo = [&] {
    for (const QString& m : moved) QFile::remove(m);
  };
  for (int i = 0; i < prompts.size(); ++i) {
    const QString prompt = prompts[i].simplified();
    const QString name = QStringLiteral("%1.wav").arg(next++, 4, 10, QChar('0'));
    if (prompt.isEmpty() || !QFile::rename(wavFiles[i], dir.filePath(name))) {
      undo();
      throw ESpeechError(QStringLiteral("%1 could not be moved into %2").arg(wavFiles[i], folder));
    }
    moved << dir.filePath(name);
    entries << TKeptEntry{name, prompt};
    listed << name;
  }
  // Over the limit: the oldest go first, the newest always stays.
  if (maxBytes >= 0) {
    qint64 total = 0;
    qsizetype from = entries.size();
    while (from > 0) {
      total += QFileInfo(dir.filePath(entries[from - 1].file)).size();
      if (total > maxBytes && from < entries.size()) break;
      --from;
    }
    for (qsizetype i = 0; i < from; ++i) listed.remove(entries[i].file);
    entries = entries.mid(from);
  }
  // The new index replaces the old one in one rename.
  const QByteArray index = KeptIndexText(entries);
  QSaveFile f(dir.filePath(kKeptIndex));
  if (!f.open(QIODevice::WriteOnly) || f.write(index) != index.size() || !f.commit()) {
    undo();
    throw ESpeechError(QStringLiteral("The list of kept recordings %1 could not be written: %2").arg(f.fileName(), f.errorString()));
  }
  // Files no entry names: leftovers of a keep that was interrupted.
  for (const QString& file : dir.entryList({"*.wav"}, QDir::Files))
    if (!listed.contains(file)) QFile::remove(dir.filePath(file));
}

void RemoveKeptRecordings(const QString& folder) {
  // A link goes, not what it points at.
  if (QFileInfo(folder).isSymLink()) QFile::remove(folder);
  else if (ForeignFolder(folder).isEmpty()) QDir(folder).removeRecursively();
}
