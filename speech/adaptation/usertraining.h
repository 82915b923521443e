// Training the recogniser on its user's voice: recordings of the prompt
// sentences adapt the acoustic model (MLLR, then MAP, with sphinxtrain), and
// the adapted model, kept beside the service's settings, is used from then on.
// Some recordings are held back first: the model adapted on the others must
// hear them better than the model in use, or the model in use is kept. Only
// then is the model adapted again on all of them and installed. The
// recordings of a finished training can be kept for the next one.
//
// The work runs in sphinxtrain's programs (QProcess) and on a worker thread,
// in a folder of its own; only a finished model is moved into place, so a
// failed or cancelled training leaves the previous model in use.
#pragma once

#include "keptrecordings.h"
#include "recomodel.h"
#include "spcommon.h"
#include "trainedmodel.h"
#include "trainingprompts.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class QProcess;
class QTemporaryDir;

// What a training takes besides the recordings given to it.
struct TTrainingSet {
  bool withKept = false;  // the kept recordings too, before the given ones
  bool keep = false;      // keep the given ones once the training has finished
};

class TUserTrainer : public QObject {
  Q_OBJECT
public:
  explicit TUserTrainer(QObject* parent = nullptr);
  ~TUserTrainer() override;

  // Checks the input and the tools, then trains in the background:
  // Progress while it runs, Finished once. recordings[i] (16 kHz mono) is
  // prompts[i] read aloud. Throws ESpeechError for bad input.
  void Start(const QStringList& prompts, std::vector<std::vector<short>> recordings, TTrainingSet set = {});
  // Stops a running training; Finished(false, ...) follows.
  void Cancel();
  bool Running() const { return FRunning; }
  // After a training that finished: what the recordings held back showed,
  // and whether the model in use was kept because the new one was no better.
  QString Verdict() const { return FVerdict; }
  bool Kept() const { return FKept; }
  // How many recordings the last training used, and how many of them had
  // been kept before.
  int Used() const { return FUsed; }
  int UsedKept() const { return FUsedKept; }
  // Whether the last training's own recordings are now kept.
  bool RecordingsKept() const { return FRecordingsKept; }
  // Kept recordings left out, or recordings that could not be kept.
  QStringList Notes() const { return FNotes; }
  // Start, and wait for the end (local event loop); throws on failure.
  void Run(const QStringList& prompts, std::vector<std::vector<short>> recordings, TTrainingSet set = {});

signals:
  void Progress(int percent, const QString& what);
  void Finished(bool ok, const QString& error);

private:
  void Next();
  void Fail(const QString& error);
  void Done();
  void KeepRecordings();
  void Complete(const QString& model);
  void Check(const QString& trial);
  void Install();
  void Tool(const QString& program, const QStringList& args, int percent, const QString& what);

  std::vector<std::function<void()>> FSteps;
  size_t FStep = 0;
  bool FRunning = false;
  std::shared_ptr<std::atomic<bool>> FCancelled;
  std::unique_ptr<QTemporaryDir> FWork;
  QProcess* FProcess = nullptr;
  QString FBase, FLog;
  QStringList FPrompts;
  std::vector<std::vector<short>> FRecordings;
  int FUtterances = 0, FAligned = 0;
  std::vector<std::pair<QString, std::vector<short>>> FHeldBack;
  TRecoModel FInUse;
  QString FVerdict;
  bool FKept = false;
  int FKeepFrom = -1;  // recordings from here on are kept when it finishes
  int FUsed = 0, FUsedKept = 0;
  bool FRecordingsKept = false;
  QStringList FNotes;
  QStringList FPromptTexts;  // as given, for the index
};
