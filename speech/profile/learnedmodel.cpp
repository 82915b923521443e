#include "learnedmodel.h"

#include "modelpath.h"
#include "spsettings.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

QString LearnedFolder() { return QFileInfo(SpeechSettingsPath()).absolutePath() + "/learned"; }

QMap<QString, QString> ParseLearnedModelInfo(const QByteArray& bytes) {
  QMap<QString, QString> info;
  for (const QString& line : QString::fromUtf8(bytes).split('\n')) {
    const int tab = int(line.indexOf('\t'));
    if (tab <= 0) continue;
    const QString key = line.left(tab);
    if (std::all_of(key.begin(), key.end(), [](QChar c) { return c.isPrint(); })) info[key] = line.mid(tab + 1);
  }
  return info;
}

QByteArray LearnedModelInfoText(const QList<std::pair<QString, QString>>& entries) {
  QByteArray text;
  for (const auto& [key, value] : entries) text += (key + '\t' + value + '\n').toUtf8();
  return text;
}

QMap<QString, QString> LearnedModelInfo(const QString& dir) {
  QFile f(dir + "/" + kLearnedInfoFile);
  return f.open(QIODevice::ReadOnly) ? ParseLearnedModelInfo(f.readAll()) : QMap<QString, QString>{};
}

QString LearnedModelFor(const QString& languageModel, const QString& dictionary) {
  const QFileInfo link(LearnedFolder() + "/" + kLearnedModelLink);
  // The folder's own name: a new model is a new path, which a running
  // recogniser notices.
  const QString dir = link.canonicalFilePath();
  if (dir.isEmpty()) return {};
  const auto info = LearnedModelInfo(dir);
  if (info.value("base-lm") != ModelPath(languageModel) || info.value("base-dict") != ModelPath(dictionary)) return {};
  for (const char* name : {"learned.lm.bin", "learned.dict"})
    if (QFileInfo(dir + "/" + name).size() <= 0) return {};
  return dir;
}
