// The check of a training: the recordings held back, heard by the model in
// use and by the one adapted without them.
#include "usertraining.h"

#include "recoengine.h"
#include "transcribe.h"

#include <QThread>

void TUserTrainer::Check(const QString& trial) {
  emit Progress(50, QStringLiteral("Checking the adapted model on the recordings held back"));
  auto held = std::make_shared<std::vector<std::pair<QString, std::vector<short>>>>(FHeldBack);
  TRecoModel candidate = FInUse;
  candidate.acousticModel = trial;
  const std::vector<TRecoModel> models = {FInUse, candidate};
  // Words said, then words wrong with the model in use and with the new one.
  auto counts = std::make_shared<std::vector<int>>(3, 0);
  auto error = std::make_shared<QString>();
  auto cancelled = FCancelled;
  QThread* t = QThread::create([=] {
    try {
      for (size_t m = 0; m < models.size() && !*cancelled; ++m) {
        TSpRecoEngine engine;
        engine.ConnectForFeed(models[m]);
        engine.WaitLoaded();
        for (const auto& [said, samples] : *held) {
          if (*cancelled) return;
          QStringList heard;
          for (const TTranscribedPhrase& phrase : Transcribe(engine, samples)) heard += phrase.words;
          const QStringList words = said.split(' ');
          if (m == 0) (*counts)[0] += int(words.size());
          (*counts)[m + 1] += WordErrors(words, heard);
        }
      }
    } catch (const std::exception& e) {
      *error = QString::fromStdString(e.what());
    }
  });
  connect(t, &QThread::finished, this, [this, t, error, counts] {
    t->deleteLater();
    if (*FCancelled) return Fail(QStringLiteral("The training was cancelled"));
    if (!error->isEmpty()) return Fail(*error);
    const int words = (*counts)[0], before = (*counts)[1], after = (*counts)[2];
    const QString figures =
        QStringLiteral("%1 of the %2 words of the %3 held back were heard wrong with the adapted model, %4 with the "
                       "model in use")
            .arg(after)
            .arg(words)
            .arg(FHeldBack.size() == 1 ? QStringLiteral("recording") : QStringLiteral("%1 recordings").arg(FHeldBack.size()))
            .arg(before);
    // A tie (often none wrong either way, for a clear voice) keeps the
    // adaptation: it was not worse on what it had not heard.
    if (after <= before) {
      FVerdict = QStringLiteral("The recogniser has been trained on your voice (%1).").arg(figures);
      return Next();
    }
    FVerdict = QStringLiteral("The adapted model heard the recordings held back worse (%1), so the model in use was kept. "
                              "Recording more sentences may help.").arg(figures);
    FKept = true;
    Done();
  });
  t->start();
}
