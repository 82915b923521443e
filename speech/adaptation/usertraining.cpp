#include "usertraining.h"

#include "dictatedphrases.h"
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
#include <QThreadPool>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>
#include <csignal>
#include <numeric>
#include <unistd.h>

namespace {
constexpr int kRate = kTrainingRate;

// Below this much speech only the shift of the means is estimated, not a
// full transform.
constexpr double kFullMllrSeconds = 15;

double Seconds(const std::vector<std::vector<short>>& recordings, const std::vector<int>& which) {
  double samples = 0;
  for (int i : which) samples += double(recordings[size_t(i)].size());
  return samples / kRate;
}

QString SettingsFolder() { return QFileInfo(SpeechSettingsPath()).absolutePath(); }

// At most this many adaptations for the check: each recording is held back
// by one of them.
constexpr int kFolds = 4;

// Frequency warps tried for the speaker's vocal tract (its length moves
// every formant by one factor); the one under which the model explains the
// recordings best is applied to the voice's sound before anything else: one
// number needs far less speech than a transform of the means. A larger warp
// fits every voice a little better, so what counts is what a voice gains
// beyond the average voice's gain (log likelihood per frame, measured on
// development readers, women and men alike). Warps below 1 are not tried:
// on those readers nearly every voice was heard worse under them.
struct TWarp {
  double factor, averageGain;
};
constexpr TWarp kWarps[] = {{1.00, 0.0}, {1.04, 0.044}, {1.08, 0.140}, {1.12, 0.213}, {1.16, 0.332}, {1.20, 0.341}};

// Work folders ("training-PID-XXXXXX") of trainings whose process has gone:
// killed before it could clear up.
void RemoveAbandonedWork(const QString& folder) {
  for (const QString& name : QDir(folder).entryList({"training-*"}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
    bool numbered = false;
    const pid_t pid = pid_t(name.section('-', 1, 1).toLongLong(&numbered));
    if (numbered && pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH)
      QDir(folder + "/" + name).removeRecursively();
  }
}


// The acoustic model a training adapts: the one the settings name, never a
// trained one (training again starts from the original).
QString BaseAcousticModel() {
  return ModelPath(OpenSpeechSettings()->value(kModelFolder, ShippedRecoModel().acousticModel).toString());
}
}  // namespace

TUserTrainer::TUserTrainer(QObject* parent) : QObject(parent) {}

TUserTrainer::~TUserTrainer() {
  StopHearing();
  if (FProcess) {
    FProcess->disconnect(this);
    FProcess->kill();
    FProcess->waitForFinished(3000);
    delete FProcess;
  }
}

void TUserTrainer::Start(const QStringList& givenPrompts, std::vector<std::vector<short>> given, TTrainingSet set) {
  // A failed one waiting for the check's language model has not finished.
  if (FRunning || FMixing) throw ESpeechError(QStringLiteral("A training is already running"));
  if (size_t(givenPrompts.size()) != given.size())
    throw ESpeechError(QStringLiteral("%1 prompts but %2 recordings: each prompt needs one recording")
                           .arg(givenPrompts.size()).arg(given.size()));
  for (size_t i = 0; i < given.size(); ++i)
    if (!HoldsSpeech(given[i])) throw ESpeechError(QStringLiteral("Recording %1 holds no speech").arg(i + 1));
  // The kept recordings come first, the given ones after them.
  QStringList prompts, notes;
  std::vector<std::vector<short>> recordings;
  if (set.withKept) {
    TKeptRecordings kept = LoadKeptMaterial();  // read prompts, then dictated phrases
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
  const QString fe = FindTool("sphinx_fe"), bw = FindTool("bw"), mdefConvert = FindTool("pocketsphinx_mdef_convert");
  // The adaptation's tools, so that a missing one is named before any work.
  for (const char* tool : {"map_adapt", "mk_s2sendump", "mllr_solve", "mllr_transform"}) FindTool(tool);
  // The parts held back to check the adaptation against the model in use:
  // each of up to kFolds parts in turn, or (the earlier rule) only every
  // fourth recording, the last one of fewer than four.
  const int n = int(clean.size());
  if (n < 2)
    throw ESpeechError(QStringLiteral("At least two recordings are needed: one is held back to check the training"));
  std::vector<std::vector<int>> parts;
  std::vector<int> heldParts;
  if (set.check == TTrainingCheck::HeldBack) {
    parts.resize(2);
    for (int i = 0; i < n; ++i) parts[(n >= 4 ? i % 4 == 3 : i == n - 1) ? 1 : 0].push_back(i);
    heldParts = {1};
  } else {
    const int k = std::min(n, kFolds);
    parts.resize(size_t(k));
    for (int i = 0; i < n; ++i) parts[size_t(i % k)].push_back(i);
    for (int h = 0; h < k; ++h) heldParts.push_back(h);
  }

  // The work folder sits beside the settings so that the finished model
  // moves into place with a rename; its name says whose it is, so that one
  // left by a killed training is cleared by the next.
  QDir().mkpath(SettingsFolder());
  RemoveAbandonedWork(SettingsFolder());
  FWork = std::make_unique<QTemporaryDir>(QStringLiteral("%1/training-%2-XXXXXX").arg(SettingsFolder()).arg(::getpid()));
  if (!FWork->isValid()) throw ESpeechError(QStringLiteral("No work folder for the training could be made in ") + SettingsFolder());
  const QDir work(FWork->path());
  std::vector<int> all(static_cast<size_t>(n));
  std::iota(all.begin(), all.end(), 0);
  try {
    for (const char* sub : {"wav", "feat", "model"}) work.mkpath(sub);
    // bw reads only the prompts' words: loading the whole dictionary took
    // most of its time.
    QSet<QString> said;
    for (const QString& c : clean)
      for (const QString& word : c.split(' ')) said << word;
    WriteFile(work.filePath("align.dict"), DictionaryOf(dictText, said));
    for (size_t p = 0; p < parts.size(); ++p) {
      work.mkpath(QStringLiteral("acc-%1").arg(p));
      WriteTrainingList(work.filePath(QStringLiteral("part-%1").arg(p)), clean, parts[p]);
    }
    WriteTrainingList(work.filePath("all"), clean, all);
  } catch (...) {
    FWork.reset();
    throw;
  }

  StopHearing();
  FPrompts = clean;
  FKeepFrom = set.keep ? keptCount : -1;
  FPromptTexts = prompts;
  FUsed = n;
  FUsedKept = keptCount;
  FRecordingsKept = false;
  FNotes = notes;
  FParts = parts;
  FHeldParts = heldParts;
  FCheck = set.check;
  FFigures = {};
  FHearing = std::make_shared<THearing>();
  for (const QString& p : clean) FHearing->said.push_back(p.split(' '));
  FHearing->before.assign(size_t(n), -1);
  FHearing->after.assign(size_t(n), -1);
  if (!FPool) {
    FPool = std::make_unique<QThreadPool>();
    FPool->setMaxThreadCount(2);
  }
  const double allSeconds = Seconds(recordings, all);
  FInUse = RecoModelFromSettings();
  const QString inUseLm = FInUse.languageModel;
  FInUse.dictionary = work.filePath("hear.dict");
  FInUse.languageModel = work.filePath("hear.lm.bin");
  FVerdict.clear();
  FKept = false;
  FRecordings = std::move(recordings);
  FCancelled = std::make_shared<std::atomic<bool>>(false);
  FSteps.clear();
  FStep = 0;
  FLog.clear();
  const QString base = FBase, w = work.path();
  FFeatParams = FeatureParams(base);
  const auto& p = FFeatParams;

  // Recordings to files and the model's weights to floats, on a worker
  // thread; then the tools start, while the check's language model is built
  // beside them (it took as long as every tool before the hearing).
  FSteps.push_back([this, w, base, hasWeights] {
    emit Progress(2, QStringLiteral("Preparing the recordings"));
    auto recordings = std::make_shared<const std::vector<std::vector<short>>>(FRecordings);
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
      if (!error->isEmpty()) return Fail(*error);
      Next();
    });
    t->start();
  });
  FSteps.push_back([this, dictText, inUseLm] {
    MixCheckModel(inUseLm, dictText);
    Next();
  });
  FSteps.push_back([=, this] {
    Tool(mdefConvert, {"-text", base + "/mdef", w + "/mdef.txt"}, 4, QStringLiteral("Reading the acoustic model"));
  });
  FSteps.push_back([=, this] {
    Tool(fe, {"-argfile", base + "/feat.params", "-samprate", QString::number(kRate), "-c", w + "/all.fileids", "-di",
              w + "/wav", "-do", w + "/feat", "-ei", "wav", "-eo", "mfc", "-mswav", "yes"},
         6, QStringLiteral("Analysing the recordings"));
  });
  // The warp: every recording analysed and aligned under each in turn. A
  // model that sets a warp of its own was built for it and keeps it.
  FWarp = 1.0;
  FWarpScore = -std::numeric_limits<double>::infinity();
  FFeat = w + "/feat";
  const bool ownWarp = p.contains("warp_type") || p.contains("warp_params");
  for (size_t k = 0; k < std::size(kWarps) && !ownWarp; ++k) {
    const double warp = kWarps[k].factor, averageGain = kWarps[k].averageGain;
    const QString dir = warp == 1.0 ? w + "/feat" : QStringLiteral("%1/feat-%2").arg(w).arg(warp, 0, 'f', 2);
    const int percent = 6 + int(9 * k / std::size(kWarps));
    const QString what = QStringLiteral("Measuring the voice (%1 of %2)").arg(k + 1).arg(std::size(kWarps));
    if (warp != 1.0)
      FSteps.push_back([=, this] {
        QDir().mkpath(dir);
        Tool(fe, {"-argfile", base + "/feat.params", "-samprate", QString::number(kRate), "-c", w + "/all.fileids",
                  "-di", w + "/wav", "-do", dir, "-ei", "wav", "-eo", "mfc", "-mswav", "yes", "-warp_type",
                  "inverse_linear", "-warp_params", QString::number(warp, 'f', 2)},
             percent, what);
      });
    FSteps.push_back([=, this] {
      QDir().mkpath(w + "/acc-warp");
      Tool(bw, BwArgs("all", dir, w + "/acc-warp"), percent, what, [=, this](const QString& output) {
        const double score = AlignmentScore(output) - averageGain;
        if (score > FWarpScore) FWarpScore = score, FWarp = warp, FFeat = dir;
      });
    });
  }
  // Each part aligned on its own (bw), with the warp chosen: its counts are
  // summed with the others' by whichever adaptation leaves it out.
  for (size_t part = 0; part < parts.size(); ++part) {
    const QString set = QStringLiteral("part-%1").arg(part);
    FSteps.push_back([=, this] {
      if (part == 0) FUtterances = 0;
      Tool(bw, BwArgs(set, FFeat, QStringLiteral("%1/acc-%2").arg(w).arg(part)), 15,
           QStringLiteral("Aligning the recordings with their prompts"));
    });
  }
  FFullMllr = allSeconds >= kFullMllrSeconds;
  for (size_t k = 0; k < heldParts.size(); ++k) {
    const int h = heldParts[k];
    std::vector<int> others, rest;
    for (int q = 0; q < int(parts.size()); ++q)
      if (q != h) others.push_back(q), rest.insert(rest.end(), parts[size_t(q)].begin(), parts[size_t(q)].end());
    const QString out = QStringLiteral("%1/trial-%2").arg(w).arg(h);
    Adapt(others, Seconds(FRecordings, rest), out, 30 + int(35 * k / heldParts.size()),
          heldParts.size() == 1 ? QStringLiteral("Adapting the acoustic model to the voice")
                                : QStringLiteral("Adapting the acoustic model without part %1 of %2")
                                      .arg(k + 1).arg(heldParts.size()));
    // Heard while the next adaptation runs.
    FSteps.push_back([=, this] {
      Hear(h, out);
      Next();
    });
  }
  // Adapted on all of them while the last recordings are heard; installed
  // only if the check lets it.
  std::vector<int> everyPart(parts.size());
  std::iota(everyPart.begin(), everyPart.end(), 0);
  Adapt(everyPart, allSeconds, w + "/model", 66, QStringLiteral("Adapting the acoustic model on all the recordings"));
  FSteps.push_back([this] { Check(); });
  FSteps.push_back([this] { Install(); });
  FRunning = true;
  Next();
}

void TUserTrainer::Tool(const QString& program, const QStringList& args, int percent, const QString& what,
                        std::function<void(const QString&)> output) {
  emit Progress(percent, what);
  FProcess = new QProcess(this);
  FProcess->setProcessChannelMode(QProcess::MergedChannels);
  FProcess->setWorkingDirectory(FWork->path());
  const QString name = QFileInfo(program).fileName();
  connect(FProcess, &QProcess::readyRead, this, [this, name, percent, what] {
    while (FProcess->canReadLine()) {
      const QByteArray line = FProcess->readLine();
      FLog += QString::fromUtf8(line);
      if (FLog.size() > 200000) FLog = FLog.right(100000);
      // bw reports each recording it has aligned.
      if (name == "bw" && line.startsWith("utt>") && what.startsWith("Aligning")) {
        ++FUtterances;
        emit Progress(percent + 14 * FUtterances / std::max<int>(1, int(FPrompts.size())),
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
  connect(FProcess, &QProcess::finished, this, [this, name, output](int code, QProcess::ExitStatus status) {
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
    if (output) output(FLog);
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
  // The check's language model stops at its next step, and the work folder
  // goes once it has: waiting here held the dialog still for seconds.
  if (FMixing) {
    *FCancelled = true;
    FFailure = error;
    return;
  }
  Failed(error);
}

void TUserTrainer::Failed(const QString& error) {
  StopHearing();
  FWork.reset();
  FRecordings.clear();
  emit Finished(false, error);
}

void TUserTrainer::Done() {
  KeepRecordings();
  FRunning = false;
  StopHearing();
  FWork.reset();
  FRecordings.clear();
  emit Progress(100, FVerdict);
  emit Finished(true, QString());
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

