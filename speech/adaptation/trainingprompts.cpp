#include "trainingprompts.h"

#include "recomodel.h"
#include "spcommon.h"

#include <QFile>

QStringList TrainingPrompts() {
  const QString path = ShippedSpeechModelFolder() + "/prompts.txt";
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    throw ESpeechError(QStringLiteral("The training prompts were not found: ") + path);
  QStringList prompts;
  for (const QString& line : QString::fromUtf8(f.readAll()).split('\n'))
    if (!line.simplified().isEmpty()) prompts << line.simplified();
  return prompts;
}

QStringList MoreTrainingPrompts() {
  // One sentence a line (adaptation/data), compiled in.
  static const char kMorePrompts[] =
#include "more-prompts.txt.inc"
      ;
  QStringList prompts;
  for (const QString& line : QString::fromUtf8(kMorePrompts).split('\n'))
    if (!line.simplified().isEmpty()) prompts << line.simplified();
  return prompts;
}
