// Training the recogniser on its user's voice: recordings of the prompt
// sentences adapt the acoustic model (MAP adaptation with sphinxtrain), and
// the adapted model, kept beside the service's settings, is used from then on.
//
// The work runs in sphinxtrain's programs (QProcess) and on a worker thread,
// in a folder of its own; only a finished model is moved into place, so a
// failed or cancelled training leaves the previous model in use.
#pragma once

#include "spcommon.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class QProcess;
class QTemporaryDir;

// The sentences the user reads, as shipped with the dictation model.
// Throws ESpeechError when they are missing.
QStringList TrainingPrompts();
// Where the trained model lives: "trained" beside the service's settings.
QString TrainedModelFolder();
// The trained model to use with this acoustic model, empty when there is
// none (or it was adapted from another one).
QString TrainedModelFor(const QString& acousticModel);
// Removes the trained model; the shipped one is used again.
void RemoveTrainedModel();

class TUserTrainer : public QObject {
  Q_OBJECT
public:
  explicit TUserTrainer(QObject* parent = nullptr);
  ~TUserTrainer() override;

  // Checks the input and the tools, then trains in the background:
  // Progress while it runs, Finished once. recordings[i] (16 kHz mono) is
  // prompts[i] read aloud. Throws ESpeechError for bad input.
  void Start(const QStringList& prompts, std::vector<std::vector<short>> recordings);
  // Stops a running training; Finished(false, ...) follows.
  void Cancel();
  bool Running() const { return FRunning; }
  // Start, and wait for the end (local event loop); throws on failure.
  void Run(const QStringList& prompts, std::vector<std::vector<short>> recordings);

signals:
  void Progress(int percent, const QString& what);
  void Finished(bool ok, const QString& error);

private:
  void Next();
  void Fail(const QString& error);
  void Done();
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
};
