#include "trainedmodel.h"

#include "modelpath.h"
#include "spsettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString TrainedModelFolder() { return QFileInfo(SpeechSettingsPath()).absolutePath() + "/trained"; }

QString TrainedModelFor(const QString& acousticModel) {
  const QString dir = TrainedModelFolder();
  QFile base(dir + "/" + kTrainedBaseFile);
  if (!base.open(QIODevice::ReadOnly)) return {};
  if (QString::fromUtf8(base.readAll()).trimmed() != ModelPath(acousticModel)) return {};
  for (const char* name : kAcousticModelFiles)
    if (!QFileInfo(dir + "/" + name).isFile()) return {};
  return dir;
}

void RemoveTrainedModel() {
  const QFileInfo link(TrainedModelFolder());
  const QString target = link.isSymLink() ? link.symLinkTarget() : QString();
  if (link.isSymLink()) QFile::remove(link.filePath());
  else if (link.isDir()) QDir(link.filePath()).removeRecursively();
  if (!target.isEmpty()) QDir(target).removeRecursively();
}
