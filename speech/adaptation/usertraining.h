// Training the recogniser on its user's voice: recordings of the prompt
// sentences choose a frequency warp for the voice, then adapt the acoustic
// model (MLLR in two passes, then MAP, with sphinxtrain), and the adapted
// model, kept beside the service's settings with its warp, is used from
// then on.
// It is checked first: the recordings are split into parts, each part is held
// back once while the model is adapted on the others, and over all the
// recordings the adapted models must get no more words wrong than the model
// in use, which must have left something to mend, or the model in use is
// kept. Both hear them with the language
// model in use mixed with the recordings' own sentences. Only then is the
// model adapted on all of them and installed. The recordings of a finished
// training can be kept for the next one.
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

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QProcess;
class QTemporaryDir;
class QThreadPool;

// How an adaptation is judged before it is installed.
enum class TTrainingCheck {
  Room,      // every recording held back once, in turn; kept when no more words were heard wrong,
             // unless the model in use already got all but one in 25 right
  Fewer,     // the same, kept only when fewer were heard wrong: an earlier rule, kept for comparison
  Rotated,   // the same, kept whenever no more were wrong: an earlier rule
  HeldBack,  // only every fourth (the last of fewer than four), kept when no more wrong: the earliest rule
  None,      // as Room, but kept whatever the check saw: for measuring every rule on the same trainings
};

// What a training takes besides the recordings given to it.
struct TTrainingSet {
  bool withKept = false;  // the kept recordings and dictated phrases too, before the given ones
  bool keep = false;      // keep the given ones once the training has finished
  TTrainingCheck check = TTrainingCheck::Room;
};

// What the check saw: the words of the recordings held back, and how many of
// them the model in use and the adapted models heard wrong.
struct TCheckFigures {
  TTrainingCheck check = TTrainingCheck::Room;
  int recordings = 0, words = 0, before = 0, after = 0;
  // Whether the adaptation is kept, by the check's rule.
  bool Accepted() const;
  // Whether the model in use heard all but one word in 25 right, so that
  // the default rule keeps it whatever the adapted models heard.
  bool HeardWell() const { return before * 25 <= words; }
  // One sentence for the user: what was held back, and the counts.
  QString Summary() const;
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
  TCheckFigures Figures() const { return FFigures; }
  // The frequency warp the voice's sound is analysed with (1: none), chosen
  // by the last training as the one under which the model explained its
  // recordings best, and written into the model it adapted.
  double Warp() const { return FWarp; }
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
  void Failed(const QString& error);
  void Done();
  void KeepRecordings();
  void Complete(const QString& model);
  void MixCheckModel(const QString& inUseLm, const QByteArray& dictText);
  void Mixed(unsigned generation, const QString& error);
  void Hear(int part, const QString& acousticModel);
  void Hear(const std::vector<int>& which, const QString& acousticModel);
  void Heard(unsigned generation);
  void Check();
  void Judge();
  void StopHearing();
  // bw's arguments for one list of recordings, with the features in cepdir.
  QStringList BwArgs(const QString& list, const QString& cepdir, const QString& accum) const;
  // The steps of one adaptation from the counts of some parts, into out.
  void Adapt(const std::vector<int>& from, double seconds, const QString& out, int percent, const QString& what);
  // The counts' folders of those parts whose recordings could be aligned.
  QStringList AlignedParts(const std::vector<int>& parts) const;
  void Install();
  // output, when given, reads what the tool printed once it has succeeded.
  void Tool(const QString& program, const QStringList& args, int percent, const QString& what,
            std::function<void(const QString&)> output = {});

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
  // The frequency warp chosen for the voice, how well the model explained
  // the recordings under it, and the folder of their features under it.
  double FWarp = 1.0, FWarpScore = 0;
  QString FFeat;
  // Parts of the recordings, each aligned on its own so that an adaptation
  // without one part sums the others' counts; the parts held back in turn.
  std::vector<std::vector<int>> FParts;
  QMap<QString, QString> FFeatParams;
  bool FFullMllr = false;
  std::vector<int> FHeldParts;
  TTrainingCheck FCheck = TTrainingCheck::Room;
  // Recordings heard on a worker thread while the tools run; words wrong per
  // recording with the model in use and with the one adapted without it.
  struct THearing {
    std::vector<QStringList> said;
    std::vector<int> before, after;  // -1: not heard
    std::mutex lock;  // for error: both workers may fail
    QString error;
  };
  std::shared_ptr<THearing> FHearing;
  std::unique_ptr<QThreadPool> FPool;
  unsigned FGeneration = 0;
  int FPending = 0;  // hearings and the mix of the check's language model not yet done
  bool FMixing = false, FMixed = false;
  QString FFailure;  // a failure that waits for the mix to stop
  // Hearings asked for before the check's language model was ready.
  std::vector<std::pair<std::vector<int>, QString>> FDeferred;
  bool FChecking = false;
  TCheckFigures FFigures;
  TRecoModel FInUse;
  QString FVerdict;
  bool FKept = false;
  int FKeepFrom = -1;  // recordings from here on are kept when it finishes
  int FUsed = 0, FUsedKept = 0;
  bool FRecordingsKept = false;
  QStringList FNotes;
  QStringList FPromptTexts;  // as given, for the index
};
