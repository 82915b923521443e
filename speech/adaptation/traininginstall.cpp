// The end of a training: the adapted model completed, moved into place in
// one rename, and the training's recordings kept for the next one.
#include "keptrecordings.h"
#include "spsettings.h"
#include "trainedmodel.h"
#include "trainingfiles.h"
#include "usertraining.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUuid>

#include <cstdio>
#include <unistd.h>

namespace {
QString SettingsFolder() { return QFileInfo(SpeechSettingsPath()).absolutePath(); }
}  // namespace

void TUserTrainer::Complete(const QString& model) {
  for (const char* name : {"mdef", "feat.params", "noisedict"})
    if (!QFile::copy(FBase + "/" + name, model + "/" + name))
      throw ESpeechError(QStringLiteral("The adapted model could not be written in ") + FWork->path());
  // The decoder reads the warp from here, so that dictation analyses the
  // voice as the model was adapted to it.
  if (FWarp != 1.0) {
    QFile params(model + "/feat.params");
    const QByteArray lines = "\n-warp_type inverse_linear\n-warp_params " + QByteArray::number(FWarp, 'f', 2) + "\n";
    if (!params.open(QIODevice::Append) || params.write(lines) != lines.size() || !params.flush())
      throw ESpeechError(QStringLiteral("The adapted model could not be written in ") + FWork->path());
  }
  QFile::remove(model + "/mixture_weights");  // the decoder reads sendump
  WriteFile(model + "/" + kTrainedBaseFile, FBase.toUtf8() + "\n");
  for (const char* name : kAcousticModelFiles)
    if (QFileInfo(model + "/" + name).size() <= 0)
      throw ESpeechError(QStringLiteral("The adapted model lacks its %1").arg(name));
}


void TUserTrainer::Install() {
  emit Progress(96, QStringLiteral("Installing the adapted model"));
  try {
    const QString model = FWork->path() + "/model";
    if (*FCancelled) throw ESpeechError(QStringLiteral("The training was cancelled"));
    // The model gets a folder of its own, then "trained" is pointed at it in
    // one rename: a reader sees the old model or the new one, never a mix.
    const QString settings = SettingsFolder();
    const QString name = "model-" + QUuid::createUuid().toString(QUuid::Id128).left(12);
    if (!QDir().rename(model, settings + "/" + name))
      throw ESpeechError(QStringLiteral("The adapted model could not be moved into ") + settings);
    const QString link = settings + "/trained", next = settings + "/trained.new";
    QFile::remove(next);
    if (::symlink(name.toLocal8Bit().constData(), next.toLocal8Bit().constData()) != 0 ||
        ::rename(next.toLocal8Bit().constData(), link.toLocal8Bit().constData()) != 0) {
      QFile::remove(next);
      QDir(settings + "/" + name).removeRecursively();
      throw ESpeechError(QStringLiteral("The adapted model could not be put in place in ") + settings);
    }
    // Models no longer pointed at (the one replaced, leftovers of a crash).
    for (const QString& old : QDir(settings).entryList({"model-*"}, QDir::Dirs | QDir::NoDotAndDotDot))
      if (old != name) QDir(settings + "/" + old).removeRecursively();
  } catch (const ESpeechError& e) {
    return Fail(e.Message());
  }
  Next();
}

// The recordings given to a finished training join the kept ones: their
// WAV files move out of the work folder before it goes.
void TUserTrainer::KeepRecordings() {
  if (FKeepFrom < 0 || FKeepFrom >= FPromptTexts.size()) return;
  QStringList prompts, files;
  for (int i = FKeepFrom; i < FPromptTexts.size(); ++i) {
    prompts << FPromptTexts[i];
    files << QStringLiteral("%1/wav/%2.wav").arg(FWork->path()).arg(i + 1, 3, 10, QChar('0'));
  }
  try {
    AddKeptRecordings(prompts, files);
    FRecordingsKept = true;
  } catch (const ESpeechError& e) {
    FNotes << QStringLiteral("The recordings could not be kept for a later training: ") + e.Message();
  }
}
