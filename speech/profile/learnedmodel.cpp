#include "learnedmodel.h"

#include "modelpath.h"
#include "spsettings.h"

#include <QFile>
#include <QFileInfo>

QString LearnedFolder() { return QFileInfo(SpeechSettingsPath()).absolutePath() + "/learned"; }

QMap<QString, QString> LearnedModelInfo(const QString& dir) {
  QMap<QString, QString> info;
  QFile f(dir + "/" + kLearnedInfoFile);
  if (f.open(QIODevice::ReadOnly))
    for (const QString& line : QString::fromUtf8(f.readAll()).split('\n')) {
      const int tab = line.indexOf('\t');
      if (tab > 0) info[line.left(tab)] = line.mid(tab + 1);
    }
  return info;
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
