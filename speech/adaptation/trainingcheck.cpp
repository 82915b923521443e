// The check of a training: the recordings held back, heard by the model in
// use and by the model adapted without them. The hearing runs on two worker
// threads beside sphinxtrain's programs, so both cores stay busy.
#include "usertraining.h"

#include "learnlm.h"
#include "recoengine.h"
#include "trainingfiles.h"
#include "transcribe.h"

#include <QFile>
#include <QThreadPool>

#include <utility>

namespace {

// The share of the recordings' own sentences in the check's language model:
// on the development readers its counts foretold the effect on their other
// recordings best at nine parts in ten (half and half did worse).
constexpr double kCheckSentenceWeight = 0.9;

}  // namespace

// On the development readers, a training whose check saw as many words
// wrong helped their other recordings more often than not, while one made
// where the model in use already heard nearly every word mostly did harm:
// five recordings leave little to mend and much to blur.
bool TCheckFigures::Accepted() const {
  switch (check) {
    case TTrainingCheck::Room: return after <= before && !HeardWell();
    case TTrainingCheck::Fewer: return after < before;
    case TTrainingCheck::None: return true;
    default: return after <= before;
  }
}

QString TCheckFigures::Summary() const {
  const QString what = check != TTrainingCheck::HeldBack
                           ? (recordings == 1 ? QStringLiteral("The recording was held back")
                                              : QStringLiteral("Each of the %1 recordings was held back once").arg(recordings))
                           : (recordings == 1 ? QStringLiteral("One recording was held back")
                                              : QStringLiteral("%1 recordings were held back").arg(recordings));
  return QStringLiteral("%1: of %2 words, %3 were heard wrong before the training and %4 after.")
      .arg(what)
      .arg(words)
      .arg(before)
      .arg(after);
}

// The check hears the recordings with the model in use mixed with their own
// sentences: with a model that does not hold what was read, the words it
// gets wrong say little of how well the voice was heard (on the development
// readers, nothing at all). Built on a worker while the tools run; the
// hearing waits for it.
void TUserTrainer::MixCheckModel(const QString& inUseLm, const QByteArray& dictText) {
  FMixed = false;
  FMixing = true;
  FDeferred.clear();
  ++FPending;
  const QString lm = FInUse.languageModel, dict = FInUse.dictionary;
  const QStringList sentences = FPrompts;
  auto cancelled = FCancelled;
  const unsigned generation = FGeneration;
  FPool->start([=, this] {
    QString error;
    try {
      std::vector<std::string> said;
      for (const QString& p : sentences) said.push_back(p.toStdString());
      learn::TLmStats stats;
      if (learn::BuildMixedModel(said, QFile::encodeName(inUseLm).toStdString(), QFile::encodeName(lm).toStdString(),
                                 stats, [&](int) { return !*cancelled; }, kCheckSentenceWeight)) {
        // The check's recognisers read only the language model's words (the
        // others are never heard): a whole pronouncing dictionary took most
        // of the time each one needed to load.
        const QSet<QString> heard = LanguageModelWords(lm);
        WriteFile(dict, heard.isEmpty() ? dictText : DictionaryOf(dictText, heard));
      }
    } catch (const std::exception& e) {
      error = QString::fromStdString(e.what());
    }
    QMetaObject::invokeMethod(this, [this, generation, error] { Mixed(generation, error); }, Qt::QueuedConnection);
  });
}

void TUserTrainer::Mixed(unsigned generation, const QString& error) {
  if (generation != FGeneration) return;
  FMixing = false;
  if (!FRunning) return Failed(FFailure);
  if (!error.isEmpty()) return Fail(error);
  if (*FCancelled) return Heard(generation);  // the step under way reports it
  FMixed = true;
  // The model in use hears the recordings held back while the tools run.
  Hear(-1, QString());
  for (const auto& [which, model] : std::exchange(FDeferred, {})) Hear(which, model);
  Heard(generation);
}

// Queues the hearing of one part (-1: every part held back, with the model
// in use, in two halves for the two workers).
void TUserTrainer::Hear(int part, const QString& acousticModel) {
  if (part < 0) {
    std::vector<int> all;
    for (int h : FHeldParts) all.insert(all.end(), FParts[size_t(h)].begin(), FParts[size_t(h)].end());
    const auto half = all.begin() + std::ptrdiff_t(all.size() / 2);
    Hear({all.begin(), half}, QString());
    Hear({half, all.end()}, QString());
  } else {
    Hear(FParts[size_t(part)], acousticModel);
  }
}

void TUserTrainer::Hear(const std::vector<int>& which, const QString& acousticModel) {
  if (which.empty()) return;
  if (!FMixed) {
    FDeferred.emplace_back(which, acousticModel);
    return;
  }
  TRecoModel model = FInUse;
  if (!acousticModel.isEmpty()) model.acousticModel = acousticModel;
  auto hearing = FHearing;
  auto recordings = std::make_shared<const std::vector<std::vector<short>>>([&] {
    std::vector<std::vector<short>> r;
    for (int i : which) r.push_back(FRecordings[size_t(i)]);
    return r;
  }());
  auto cancelled = FCancelled;
  const unsigned generation = FGeneration;
  const bool inUse = acousticModel.isEmpty();
  ++FPending;
  FPool->start([=, this] {
    try {
      if (!*cancelled) {
        TSpRecoEngine engine;
        engine.ConnectForFeed(model);
        engine.WaitLoaded();
        for (size_t k = 0; k < which.size() && !*cancelled; ++k) {
          QStringList heard;
          for (const TTranscribedPhrase& phrase : Transcribe(engine, (*recordings)[k])) heard += phrase.words;
          const size_t i = size_t(which[k]);
          (inUse ? hearing->before : hearing->after)[i] = WordErrors(hearing->said[i], heard);
        }
      }
    } catch (const std::exception& e) {
      const std::lock_guard<std::mutex> l(hearing->lock);
      hearing->error = QString::fromStdString(e.what());
    }
    QMetaObject::invokeMethod(this, [this, generation] { Heard(generation); }, Qt::QueuedConnection);
  });
}

void TUserTrainer::Heard(unsigned generation) {
  if (generation != FGeneration) return;
  --FPending;
  if (FChecking && FPending == 0) Judge();
}

void TUserTrainer::Check() {
  emit Progress(80, QStringLiteral("Checking the adapted models on the recordings held back"));
  FChecking = true;
  if (FPending == 0) Judge();
}

void TUserTrainer::Judge() {
  FChecking = false;
  if (!FRunning) return;
  if (*FCancelled) return Fail(QStringLiteral("The training was cancelled"));
  if (!FHearing->error.isEmpty()) return Fail(FHearing->error);
  TCheckFigures f;
  f.check = FCheck;
  for (int h : FHeldParts)
    for (int i : FParts[size_t(h)]) {
      ++f.recordings;
      f.words += int(FHearing->said[size_t(i)].size());
      f.before += FHearing->before[size_t(i)];
      f.after += FHearing->after[size_t(i)];
    }
  FFigures = f;
  if (FCheck == TTrainingCheck::HeldBack) {
    const QString figures =
        QStringLiteral("%1 of the %2 words of the %3 held back were heard wrong with the adapted model, %4 with the "
                       "model in use")
            .arg(f.after)
            .arg(f.words)
            .arg(f.recordings == 1 ? QStringLiteral("recording") : QStringLiteral("%1 recordings").arg(f.recordings))
            .arg(f.before);
    FVerdict = f.Accepted() ? QStringLiteral("The recogniser has been trained on your voice (%1).").arg(figures)
                            : QStringLiteral("The adapted model heard the recordings held back worse (%1), so the model "
                                             "in use was kept. Recording more sentences may help.").arg(figures);
  } else if (f.Accepted()) {
    FVerdict = QStringLiteral("The recogniser has been trained on your voice%1. ")
                   .arg(FCheck == TTrainingCheck::None ? QStringLiteral(", whatever the check saw") : QString()) +
               f.Summary();
  } else if (FCheck == TTrainingCheck::Room && f.HeardWell()) {
    FVerdict = QStringLiteral("The model in use already hears your voice well, so it was kept. ") + f.Summary();
  } else {
    FVerdict = QStringLiteral("The training would not have helped, so the model in use was kept. ") + f.Summary() +
               QStringLiteral(" Recording more sentences may help.");
  }
  if (f.Accepted()) return Next();
  FKept = true;
  Done();
}

// Waits for the worker (it stops at the next recording once cancelled), so
// that nothing reads the work folder after it is removed.
void TUserTrainer::StopHearing() {
  if (FCancelled) *FCancelled = true;
  if (FPool) FPool->waitForDone();
  ++FGeneration;
  FPending = 0;
  FChecking = false;
  FMixing = FMixed = false;
  FDeferred.clear();
}
