#include "recomodel.h"

#include "learnedmodel.h"
#include "spsettings.h"
#include "trainedmodel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

QString ShippedSpeechModelFolder() {
  // Installed: <prefix>/bin/varnelo and <prefix>/share/varnelo/speech. The
  // build tree keeps the same shape (build/app/varnelo, build/share/...).
  const QString app = QCoreApplication::applicationDirPath();
  for (const QString& rel : {QStringLiteral("/../share/varnelo/speech"), QStringLiteral("/../../share/varnelo/speech")}) {
    const QString dir = QDir::cleanPath(app + rel);
    if (QFileInfo(dir + "/radiology.lm.bin").isFile()) return dir;
  }
  return QStringLiteral(VARNELO_SPEECH_MODEL_INSTALLED_DIR);
}

TRecoModel GeneralRecoModel() {
  const QString base = QStringLiteral(VARNELO_SPHINX_MODELDIR "/en-us");
  TRecoModel m;
  m.acousticModel = base + "/en-us";
  m.dictionary = base + "/cmudict-en-us.dict";
  m.languageModel = base + "/en-us.lm.bin";
  return m;
}

TRecoModel ShippedRecoModel() {
  const QString dir = ShippedSpeechModelFolder();
  TRecoModel m = GeneralRecoModel();
  m.dictionary = dir + "/radiology.dict";
  m.languageModel = dir + "/radiology.lm.bin";
  return m;
}

TRecoModel RecoModelFromSettings() {
  auto s = OpenSpeechSettings();
  const TRecoModel def = ShippedRecoModel();
  TRecoModel m;
  m.acousticModel = s->value(kModelFolder, def.acousticModel).toString();
  const QString trained = TrainedModelFor(m.acousticModel);
  if (!trained.isEmpty()) m.acousticModel = trained, m.trained = true;
  m.dictionary = s->value(kModelDictionary, def.dictionary).toString();
  m.languageModel = s->value(kModelLanguage, def.languageModel).toString();
  m.sensitivity = PercentSetting(*s, kSensitivity);
  // The user's learned language, mixed with that model (see learn.h).
  const QString learned = LearnedModelFor(m.languageModel, m.dictionary);
  if (!learned.isEmpty()) {
    m.languageModel = learned + "/learned.lm.bin";
    m.dictionary = learned + "/learned.dict";
    m.learned = true;
  }
  return m;
}
