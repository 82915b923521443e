#include "usertraining.h"

#include "keptrecordings.h"
#include "lts.h"
#include "modelpath.h"
#include "spsettings.h"
#include "trainedmodel.h"
#include "trainingfiles.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <unistd.h>

namespace {
constexpr int kRate = kTrainingRate;

// MAP's prior weight: the less speech was recorded, the closer each
// Gaussian stays to the (speaker-transformed) model; MLLR carries the rest.
// Set by seconds, not recordings: a long reading is worth several short ones.
double MapTau(double seconds) { return std::clamp(50.0 * std::sqrt(80.0 / std::max(1.0, seconds)), 20.0, 200.0); }
// Below this much speech only the shift of the means is estimated, not a
// full transform.
constexpr double kFullMllrSeconds = 15;

double Seconds(const std::vector<std::vector<short>>& recordings, const std::vector<int>& which) {
  double samples = 0;
  for (int i : which) samples += double(recordings[size_t(i)].size());
  return samples / kRate;
}

QString SettingsFolder() { return QFileInfo(SpeechSettingsPath()).absolutePath(); }


// The acoustic model a training adapts: the one the settings name, never a
// trained one (training again starts from the original).
QString BaseAcousticModel() {
  return ModelPath(OpenSpeechSettings()->value(kModelFolder, ShippedRecoModel().acousticModel).toString());
}
}  // namespace

TUserTrainer::TUserTrainer(QObject* parent) : QObject(parent) {}

TUserTrainer::~TUserTrainer() {
  if (FCancelled) *FCancelled = true;
  if (FProcess) {
    FProcess->disconnect(this);
    FProcess->kill();
    FProcess->waitForFinished(3000);
    delete FProcess;
  }
}

void TUserTrainer::Start(const QStringList& givenPrompts, std::vector<std::vector<short>> given, TTrainingSet set) {
  if (FRunning) throw ESpeechError(QStringLiteral("A training is already running"));
  if (size_t(givenPrompts.size()) != given.size())
    throw ESpeechError(QStringLiteral("%1 prompts but %2 recordings: each prompt needs one recording")
                           .arg(givenPrompts.size()).arg(given.size()));
  for (size_t i = 0; i < given.size(); ++i)
    if (!HoldsSpeech(given[i])) throw ESpeechError(QStringLiteral("Recording %1 holds no speech").arg(i + 1));
  // The kept recordings come first, the given ones after them.
  QStringList prompts, notes;
  std::vector<std::vector<short>> recordings;
  if (set.withKept) {
    TKeptRecordings kept = LoadKeptRecordings();
    prompts = kept.prompts;
    recordings = std::move(kept.recordings);
    notes = kept.problems;
  }
  const int keptCount = int(prompts.size());
  prompts += givenPrompts;
  for (auto& r : given) recordings.push_back(std::move(r));
  if (prompts.isEmpty()) throw ESpeechError(QStringLiteral("There are no prompts to train on"));
  const auto which = [keptCount](int i) {
    return i < keptCount ? QStringLiteral("kept prompt %1").arg(i + 1) : QStringLiteral("prompt %1").arg(i - keptCount + 1);
  };
  FBase = BaseAcousticModel();
  for (const char* name : {"mdef", "means", "variances", "transition_matrices", "feat.params"})
    if (!QFileInfo(QDir(FBase).filePath(name)).isFile())
      throw ESpeechError(QStringLiteral("The acoustic model in %1 cannot be trained: it lacks %2").arg(FBase, name));
  const bool hasWeights = QFileInfo(QDir(FBase).filePath("mixture_weights")).isFile();
  if (!hasWeights && !QFileInfo(QDir(FBase).filePath("sendump")).isFile())
    throw ESpeechError(QStringLiteral("The acoustic model in %1 has no mixture weights").arg(FBase));
  // The trainer reads the same dictionary the recogniser does, with the
  // user's own words.
  QByteArray dictText;
  QSet<QString> known = DictionaryWords(RecoModelFromSettings().dictionary, &dictText);
  for (const auto& [word, phones] : UserWords(*OpenSpeechSettings())) {
    dictText += "\n" + word.toUtf8() + " " + phones;
    known << word;
  }
  QStringList clean;
  for (int i = 0; i < prompts.size(); ++i) {
    const QString p = prompts[i].simplified().toLower();
    if (p.isEmpty()) throw ESpeechError(QStringLiteral("Prompt %1 is empty").arg(i - keptCount + 1));
    // The user's own sentences: words the dictionary lacks are given a
    // pronunciation from their spelling.
    for (const QString& w : p.split(' ')) {
      if (known.contains(w)) continue;
      const std::string phones = LetterToSound(w.toStdString());
      if (phones.empty())
        throw ESpeechError(QStringLiteral("The word \"%1\" of %2 cannot be pronounced: it has no letters").arg(w, which(i)));
      dictText += "\n" + w.toUtf8() + " " + QByteArray::fromStdString(phones);
      known << w;
    }
    clean << p;
  }
  const QString fe = FindTool("sphinx_fe"), bw = FindTool("bw"), map = FindTool("map_adapt"),
                dump = FindTool("mk_s2sendump"), mdefConvert = FindTool("pocketsphinx_mdef_convert"),
                mllr = FindTool("mllr_solve"), mllrApply = FindTool("mllr_transform");
  // Some recordings are held back to check the adapted model against the
  // one in use: every fourth, or the last one of fewer than four.
  const int n = int(clean.size());
  if (n < 2)
    throw ESpeechError(QStringLiteral("At least two recordings are needed: one is held back to check the training"));
  std::vector<int> heldBack, adapted;
  for (int i = 0; i < n; ++i) ((n >= 4 ? i % 4 == 3 : i == n - 1) ? heldBack : adapted).push_back(i);

  // The work folder sits beside the settings so that the finished model
  // moves into place with a rename.
  QDir().mkpath(SettingsFolder());
  FWork = std::make_unique<QTemporaryDir>(SettingsFolder() + "/training-XXXXXX");
  if (!FWork->isValid()) throw ESpeechError(QStringLiteral("No work folder for the training could be made in ") + SettingsFolder());
  const QDir work(FWork->path());
  try {
    for (const char* sub : {"wav", "feat", "acc-trial", "acc-all", "trial", "model"}) work.mkpath(sub);
    WriteFile(work.filePath("train.dict"), dictText + "\n");
    QByteArray ids, trans, trialIds, trialTrans;
    for (int i = 0; i < n; ++i) {
      const QByteArray id = QByteArray::number(i + 1).rightJustified(3, '0');
      const QByteArray line = "<s> " + clean[i].toUtf8() + " </s> (" + id + ")\n";
      ids += id + "\n";
      trans += line;
      if (std::find(adapted.begin(), adapted.end(), i) != adapted.end()) trialIds += id + "\n", trialTrans += line;
    }
    WriteFile(work.filePath("all.fileids"), ids);
    WriteFile(work.filePath("all.transcription"), trans);
    WriteFile(work.filePath("trial.fileids"), trialIds);
    WriteFile(work.filePath("trial.transcription"), trialTrans);
  } catch (...) {
    FWork.reset();
    throw;
  }

  FPrompts = clean;
  FKeepFrom = set.keep ? keptCount : -1;
  FPromptTexts = prompts;
  FUsed = n;
  FUsedKept = keptCount;
  FRecordingsKept = false;
  FNotes = notes;
  FHeldBack.clear();
  for (int i : heldBack) FHeldBack.push_back({clean[i], recordings[size_t(i)]});
  const double trialSeconds = Seconds(recordings, adapted), allSeconds = trialSeconds + Seconds(recordings, heldBack);
  FInUse = RecoModelFromSettings();
  FInUse.dictionary = work.filePath("train.dict");
  FVerdict.clear();
  FKept = false;
  FRecordings = std::move(recordings);
  FCancelled = std::make_shared<std::atomic<bool>>(false);
  FSteps.clear();
  FStep = 0;
  FLog.clear();
  const QString base = FBase, w = work.path();
  const auto p = FeatureParams(base);
  const auto feat = [&](const char* key, const char* def) { return p.value(key, def); };

  // Recordings to files and the model's weights to floats, on a worker thread.
  FSteps.push_back([this, w, base, hasWeights] {
    emit Progress(2, QStringLiteral("Preparing the recordings"));
    auto recordings = std::make_shared<std::vector<std::vector<short>>>(std::move(FRecordings));
    auto error = std::make_shared<QString>();
    auto cancelled = FCancelled;
    QThread* t = QThread::create([=] {
      try {
        for (size_t i = 0; i < recordings->size() && !*cancelled; ++i)
          WriteWav(QStringLiteral("%1/wav/%2.wav").arg(w).arg(i + 1, 3, 10, QChar('0')), (*recordings)[i]);
        if (*cancelled) return;
        if (hasWeights) {
          if (!QFile::copy(base + "/mixture_weights", w + "/mixture_weights"))
            throw ESpeechError(QStringLiteral("The mixture weights could not be copied"));
        } else {
          SendumpToMixtureWeights(base + "/sendump", w + "/mixture_weights");
        }
      } catch (const std::exception& e) {
        *error = QString::fromStdString(e.what());
      }
    });
    connect(t, &QThread::finished, this, [this, t, error] {
      t->deleteLater();
      if (!error->isEmpty()) Fail(*error);
      else Next();
    });
    t->start();
  });
  FSteps.push_back([=, this] {
    Tool(mdefConvert, {"-text", base + "/mdef", w + "/mdef.txt"}, 4, QStringLiteral("Reading the acoustic model"));
  });
  FSteps.push_back([=, this] {
    Tool(fe, {"-argfile", base + "/feat.params", "-samprate", QString::number(kRate), "-c", w + "/all.fileids", "-di",
              w + "/wav", "-do", w + "/feat", "-ei", "wav", "-eo", "mfc", "-mswav", "yes"},
         6, QStringLiteral("Analysing the recordings"));
  });
  // One adaptation: alignment (bw), a speaker transform of all the means
  // (MLLR), then MAP from the transformed means, which moves each Gaussian
  // as far as its own share of the speech allows.
  const auto adapt = [=, this](const QString& set, double seconds, const QString& out, int from, int to, const QString& what) {
    const QString tau = QString::number(MapTau(seconds), 'f', 1);
    const QString acc = w + "/acc-" + set;
    const QStringList bwArgs = {"-moddeffn", w + "/mdef.txt", "-ts2cbfn", ".ptm.", "-meanfn", base + "/means",
                                "-varfn", base + "/variances", "-mixwfn", w + "/mixture_weights", "-tmatfn",
                                base + "/transition_matrices", "-feat", feat("feat", "1s_c_d_dd"), "-svspec",
                                feat("svspec", "0-12/13-25/26-38"), "-cmn", feat("cmn", "batch"), "-agc",
                                feat("agc", "none"), "-varnorm", feat("varnorm", "no"), "-dictfn", w + "/train.dict",
                                "-fdictfn", base + "/noisedict", "-ctlfn", w + "/" + set + ".fileids", "-lsnfn",
                                w + "/" + set + ".transcription", "-cepdir", w + "/feat", "-accumdir", acc,
                                "-timing", "no"};
    const int step = (to - from) / 5;
    FSteps.push_back([=, this] {
      FUtterances = 0;
      Tool(bw, bwArgs, from, what);
    });
    FSteps.push_back([=, this] {
      // A full transform needs some speech to be estimated; with less, only
      // the shift of the means.
      Tool(mllr, {"-meanfn", base + "/means", "-varfn", base + "/variances", "-outmllrfn", w + "/mllr-" + set,
                  "-accumdir", acc, "-mllrmult", seconds >= kFullMllrSeconds ? "yes" : "no"},
           from + 3 * step, QStringLiteral("Adapting the acoustic model to the voice"));
    });
    FSteps.push_back([=, this] {
      Tool(mllrApply, {"-inmeanfn", base + "/means", "-outmeanfn", w + "/means-" + set, "-mllrmat", w + "/mllr-" + set},
           from + 3 * step, QStringLiteral("Adapting the acoustic model to the voice"));
    });
    FSteps.push_back([=, this] {
      Tool(map, {"-moddeffn", w + "/mdef.txt", "-ts2cbfn", ".ptm.", "-meanfn", w + "/means-" + set, "-varfn",
                 base + "/variances", "-mixwfn", w + "/mixture_weights", "-tmatfn", base + "/transition_matrices",
                 "-accumdir", acc, "-bayesmean", "no", "-fixedtau", "yes", "-tau", tau, "-mapmeanfn", out + "/means",
                 "-mapvarfn", out + "/variances", "-mapmixwfn", out + "/mixture_weights", "-maptmatfn",
                 out + "/transition_matrices"},
           from + 4 * step, QStringLiteral("Adapting the acoustic model to the voice"));
    });
    FSteps.push_back([=, this] {
      Tool(dump, {"-pocketsphinx", "yes", "-moddeffn", w + "/mdef.txt", "-mixwfn", out + "/mixture_weights",
                  "-sendumpfn", out + "/sendump"},
           to, QStringLiteral("Writing the adapted model"));
    });
    FSteps.push_back([=, this] {
      try {
        Complete(out);
      } catch (const ESpeechError& e) {
        return Fail(e.Message());
      }
      Next();
    });
  };
  adapt("trial", trialSeconds, w + "/trial", 8, 45, QStringLiteral("Aligning the recordings with their prompts"));
  FSteps.push_back([this, w] { Check(w + "/trial"); });
  adapt("all", allSeconds, w + "/model", 70, 94, QStringLiteral("Training again on all the recordings"));
  FSteps.push_back([this] { Install(); });
  FRunning = true;
  Next();
}

void TUserTrainer::Tool(const QString& program, const QStringList& args, int percent, const QString& what) {
  emit Progress(percent, what);
  FProcess = new QProcess(this);
  FProcess->setProcessChannelMode(QProcess::MergedChannels);
  FProcess->setWorkingDirectory(FWork->path());
  const QString name = QFileInfo(program).fileName();
  connect(FProcess, &QProcess::readyRead, this, [this, name, percent] {
    while (FProcess->canReadLine()) {
      const QByteArray line = FProcess->readLine();
      FLog += QString::fromUtf8(line);
      if (FLog.size() > 200000) FLog = FLog.right(100000);
      // bw reports each recording it has aligned.
      if (name == "bw" && line.startsWith("utt>")) {
        ++FUtterances;
        emit Progress(percent + 20 * FUtterances / std::max<int>(1, int(FPrompts.size())),
                      QStringLiteral("Aligning recording %1").arg(FUtterances));
      }
    }
  });
  connect(FProcess, &QProcess::errorOccurred, this, [this, name](QProcess::ProcessError e) {
    if (e != QProcess::FailedToStart) return;
    FProcess->deleteLater();
    FProcess = nullptr;
    Fail(QStringLiteral("The training tool %1 could not be started").arg(name));
  });
  const QString acc = args.value(int(args.indexOf("-accumdir")) + 1);
  connect(FProcess, &QProcess::finished, this, [this, name, acc](int code, QProcess::ExitStatus status) {
    FLog += QString::fromUtf8(FProcess->readAll());
    FProcess->deleteLater();
    FProcess = nullptr;
    if (*FCancelled) return Fail(QStringLiteral("The training was cancelled"));
    if (status != QProcess::NormalExit || code != 0) {
      // The tool's last error line says why.
      QString why;
      for (const QString& l : FLog.split('\n'))
        if (l.startsWith("ERROR") || l.startsWith("FATAL")) why = l.trimmed();
      return Fail(QStringLiteral("The training tool %1 failed%2").arg(name, why.isEmpty() ? QString() : ": " + why));
    }
    if (name == "bw" && !QFileInfo(acc + "/gauden_counts").isFile())
      return Fail(QStringLiteral("None of the recordings could be aligned with its prompt"));
    FLog.clear();
    Next();
  });
  FProcess->start(program, args);
}

void TUserTrainer::Next() {
  if (!FRunning) return;
  if (*FCancelled) return Fail(QStringLiteral("The training was cancelled"));
  if (FStep >= FSteps.size()) return Done();
  FSteps[FStep++]();
}

void TUserTrainer::Complete(const QString& model) {
  for (const char* name : {"mdef", "feat.params", "noisedict"})
    if (!QFile::copy(FBase + "/" + name, model + "/" + name))
      throw ESpeechError(QStringLiteral("The adapted model could not be written in ") + FWork->path());
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

void TUserTrainer::Fail(const QString& error) {
  if (!FRunning) return;
  FRunning = false;
  if (FProcess) {
    FProcess->disconnect(this);
    FProcess->kill();
    FProcess->waitForFinished(3000);
    FProcess->deleteLater();
    FProcess = nullptr;
  }
  FWork.reset();
  FRecordings.clear();
  FHeldBack.clear();
  emit Finished(false, error);
}

void TUserTrainer::Done() {
  KeepRecordings();
  FRunning = false;
  FWork.reset();
  FHeldBack.clear();
  emit Progress(100, FVerdict);
  emit Finished(true, QString());
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

void TUserTrainer::Cancel() {
  if (!FRunning) return;
  *FCancelled = true;
  // A running tool is stopped; its end reports the cancellation.
  if (FProcess) FProcess->kill();
}

void TUserTrainer::Run(const QStringList& prompts, std::vector<std::vector<short>> recordings, TTrainingSet set) {
  QEventLoop loop;
  bool ok = false;
  QString error;
  const auto c = connect(this, &TUserTrainer::Finished, &loop, [&](bool good, const QString& e) {
    ok = good;
    error = e;
    loop.quit();
  });
  try {
    Start(prompts, std::move(recordings), set);
  } catch (...) {
    disconnect(c);
    throw;
  }
  if (FRunning) loop.exec();
  disconnect(c);
  if (!ok) throw ESpeechError(error);
}

