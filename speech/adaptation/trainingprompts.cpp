#include "trainingprompts.h"

#include "recomodel.h"
#include "spcommon.h"

#include <QFile>

namespace {
// One sentence a line; blank lines and extra blanks do not count.
QStringList PromptLines(const QByteArray& text) {
  QStringList prompts;
  for (const QString& line : QString::fromUtf8(text).split('\n'))
    if (!line.simplified().isEmpty()) prompts << line.simplified();
  return prompts;
}
}  // namespace

QStringList TrainingPrompts() {
  const QString path = ShippedSpeechModelFolder() + "/prompts.txt";
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    throw ESpeechError(QStringLiteral("The training prompts were not found: ") + path);
  return PromptLines(f.readAll());
}

QStringList MoreTrainingPrompts() {
  // A data file (adaptation/data), compiled in.
  static const char kMorePrompts[] =
#include "more-prompts.txt.inc"
      ;
  return PromptLines(kMorePrompts);
}
