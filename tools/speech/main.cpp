// varnelo-speech: the speech service without a window, for scripts and checks.
//   varnelo-speech transcribe [--raw] FILE.wav
// runs dictation on a recording exactly as the microphone would feed it and
// prints the text of each phrase, one per line.
//   varnelo-speech prompts
//   varnelo-speech train [--again] PROMPTS.txt WAV... | train --again | train --reset
// train the recogniser on a voice from recordings of the prompt sentences,
// as the service's training dialog does (the recordings are kept; --again
// trains on the kept ones and the kept dictated phrases too), or return to
// the shipped model.
//   varnelo-speech learn PATH... | learn --reset | learn --status
// learns the user's language from their texts and DICOM comments.
//   varnelo-speech voices | speak ...   (voicecmds.cpp)
#include "cmd_learn.h"
#include "dictatedphrases.h"
#include "recoengine.h"
#include "sprecocontext.h"
#include "transcribe.h"
#include "usertraining.h"
#include "voicecmds.h"

#include <QCoreApplication>
#include <QFile>

#include <QTimer>

#include <csignal>
#include <cstdio>

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

int Usage() {
  std::fprintf(stderr,
               "usage:\n"
               "  varnelo-speech transcribe [--raw] FILE.wav\n"
               "    prints the text each dictated phrase would insert, one phrase per line, in its\n"
               "    written form (\"3.2 x 2.1 cm\", \"C5-C6\", \"10:30\");\n"
               "    --raw prints the recogniser's words instead, spoken numbers and punctuation as said.\n"
               "  varnelo-speech prompts\n"
               "    prints the sentences to read for training, one per line.\n"
               "  varnelo-speech train PROMPTS.txt WAV...\n"
               "    trains the recogniser on the voice of the recordings, one WAV per line\n"
               "    of PROMPTS.txt in order; the service uses the trained model from then on,\n"
               "    unless the check finds it no better than the model in use, which is then kept:\n"
               "    each recording is held back once while the model is adapted on the others,\n"
               "    and the words heard wrong are counted with both. The recordings are kept\n"
               "    for a later training.\n"
               "  varnelo-speech train --again [PROMPTS.txt WAV...]\n"
               "    trains again on all the recordings kept so far, the phrases dictated into saved\n"
               "    comments that were kept, and the recordings given.\n"
               "  varnelo-speech train --progress [--again] ...\n"
               "    says on stderr how far the training is, one line per step: percent, what.\n"
               "  varnelo-speech train --check room|fewer|rotated|heldback|none [--again] ...\n"
               "    for measurements: the earlier rules. room (the default) keeps the training when\n"
               "    no more words were heard wrong, unless the model in use got all but one in 25\n"
               "    right; fewer only when fewer were wrong; rotated whenever no more were wrong;\n"
               "    heldback judges it on every fourth recording only; none says what the check\n"
               "    saw but keeps the training whatever it was.\n"
               "  varnelo-speech train --reset\n"
               "    removes the trained model, the kept recordings and the kept dictated phrases:\n"
               "    the shipped model is used again.\n"
               "  varnelo-speech learn PATH...\n"
               "    learns the language of the text files, DICOM files (their image comments)\n"
               "    and folders of them; exit status 1 when a file was skipped.\n"
               "  varnelo-speech learn --status | --reset\n"
               "    says what is learned, or forgets it: the shipped language model is used again.\n"
               "  varnelo-speech voices\n"
               "    lists the voices in the service's order; * marks the one in use.\n"
               "  varnelo-speech speak [--voice NAME] [--wav FILE] [--words] TEXT|-\n"
               "    speaks TEXT (- reads it from standard input) to the sound server or into a WAV;\n"
               "    --words prints each word: character position, length, sample, word.\n"
               "  Model options, for measurements (default: the dictation settings):\n"
               "    --general          the acoustic model's general English language model\n"
               "    --lm FILE --dict FILE\n"
               "    --set FLAG=VALUE   a decoder flag (lw, wip, beam, fwdflat, ...)\n");
  return 2;
}

int Fail(const QString& message) {
  std::fprintf(stderr, "varnelo-speech: %s\n", qPrintable(message));
  return 1;
}

int Prompts() {
  try {
    for (const QString& p : TrainingPrompts()) std::printf("%s\n", p.toUtf8().constData());
    return 0;
  } catch (const ESpeechError& e) {
    return Fail(e.Message());
  }
}

int Train(QStringList args) {
  if (args == QStringList{"--reset"}) {
    RemoveTrainedModel();
    RemoveKeptRecordings();
    RemoveDictatedPhrases();
    std::printf("The shipped acoustic model is used again; no recordings or dictated phrases are kept.\n");
    return 0;
  }
  TTrainingSet set;
  set.keep = true;
  // The earlier checks, for measurements only.
  if (args.size() >= 2 && args[0] == "--check") {
    if (args[1] == "heldback") set.check = TTrainingCheck::HeldBack;
    else if (args[1] == "rotated") set.check = TTrainingCheck::Rotated;
    else if (args[1] == "fewer") set.check = TTrainingCheck::Fewer;
    else if (args[1] == "none") set.check = TTrainingCheck::None;
    else if (args[1] != "room") return Usage();
    args = args.mid(2);
  }
  const bool progress = !args.isEmpty() && args[0] == "--progress";
  if (progress) args.removeFirst();
  const bool again = !args.isEmpty() && args[0] == "--again";
  if (again) args.removeFirst();
  set.withKept = again;
  if ((!again && args.size() < 2) || args.size() == 1 || (!args.isEmpty() && args[0].startsWith("--"))) return Usage();
  try {
    QStringList prompts;
    if (!args.isEmpty()) {
      QFile f(args.takeFirst());
      if (!f.open(QIODevice::ReadOnly)) throw ESpeechError(f.fileName() + QStringLiteral(" could not be opened: ") + f.errorString());
      for (const QString& line : QString::fromUtf8(f.readAll()).split('\n'))
        if (!line.simplified().isEmpty()) prompts << line.simplified();
      if (prompts.size() != args.size())
        throw ESpeechError(QStringLiteral("%1 holds %2 prompts but %3 recordings were given: one WAV per prompt, in order")
                               .arg(f.fileName()).arg(prompts.size()).arg(args.size()));
    }
    if (again && KeptRecordingCount() == 0 && DictatedPhrasesSize().entries == 0 && prompts.isEmpty())
      throw ESpeechError(QStringLiteral("No recordings are kept in %1 and no dictated phrases in %2: train on recordings first")
                             .arg(KeptRecordingsFolder(), DictatedPhrasesFolder()));
    if (again && DictatedPhrasesSize().entries > 0)
      std::printf("Dictated phrases kept for training: %s.\n", qPrintable(DictatedPhrasesSummary()));
    std::vector<std::vector<short>> recordings;
    for (const QString& wav : args) recordings.push_back(ReadWavFile(wav));
    TUserTrainer trainer;
    // Interrupted (Ctrl+C, kill): the training is cancelled and cleans up
    // after itself, as the dialog's Cancel does.
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) std::signal(sig, [](int) { gInterrupted = 1; });
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &trainer, [&] {
      if (gInterrupted) trainer.Cancel();
    });
    watch.start(50);
    if (progress)
      QObject::connect(&trainer, &TUserTrainer::Progress, [](int percent, const QString& what) {
        std::fprintf(stderr, "%3d%% %s\n", percent, qPrintable(what));
        std::fflush(stderr);
      });
    // Kept recordings left out are said whatever the outcome.
    const auto notes = [&] {
      for (const QString& n : trainer.Notes()) std::fprintf(stderr, "varnelo-speech: %s\n", qPrintable(n));
    };
    try {
      trainer.Run(prompts, std::move(recordings), set);
    } catch (...) {
      notes();
      throw;
    }
    notes();
    std::printf("%s\n", qPrintable(trainer.Verdict()));
    const QString used = trainer.UsedKept() > 0
                             ? QStringLiteral("%1 recordings, %2 of them kept from earlier trainings or dictation").arg(trainer.Used()).arg(trainer.UsedKept())
                             : QStringLiteral("%1 recordings").arg(trainer.Used());
    if (!trainer.Kept()) {
      std::printf("Trained on %s; the model is in %s\n", qPrintable(used), qPrintable(TrainedModelFolder()));
      if (trainer.Warp() != 1.0) std::printf("The voice is heard with a frequency warp of %.2f.\n", trainer.Warp());
    } else
      std::printf("Checked on %s.\n", qPrintable(used));
    if (trainer.RecordingsKept())
      std::printf("%d recordings are kept in %s for a later training.\n", KeptRecordingCount(), qPrintable(KeptRecordingsFolder()));
    return 0;
  } catch (const std::exception& e) {
    return Fail(QString::fromStdString(e.what()));
  }
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
  if (!args.isEmpty() && args[0] == "prompts" && args.size() == 1) return Prompts();
  if (!args.isEmpty() && args[0] == "train") return Train(args.mid(1));
  if (!args.isEmpty() && args[0] == "learn") return LearnCommand(args.mid(1), Usage);
  if (!args.isEmpty() && args[0] == "voices") return VoicesCommand(args.mid(1));
  if (!args.isEmpty() && args[0] == "speak") return SpeakCommand(args.mid(1));
  if (args.isEmpty() || args[0] != "transcribe") return Usage();
  args.removeFirst();
  bool raw = false;
  TRecoModel model = RecoModelFromSettings();
  QString file;
  while (!args.isEmpty()) {
    const QString a = args.takeFirst();
    const auto value = [&]() -> QString {
      if (args.isEmpty()) throw ESpeechError(a + QStringLiteral(" needs a value"));
      return args.takeFirst();
    };
    try {
      if (a == "--raw") raw = true;
      else if (a == "--general") model = GeneralRecoModel();
      else if (a == "--lm") model.languageModel = value();
      else if (a == "--dict") model.dictionary = value();
      else if (a == "--set") {
        const QString kv = value();
        const int eq = kv.indexOf('=');
        if (eq <= 0) throw ESpeechError(QStringLiteral("--set takes FLAG=VALUE"));
        model.decoder[kv.left(eq)] = kv.mid(eq + 1);
      } else if (a.startsWith("--")) {
        std::fprintf(stderr, "varnelo-speech: unknown option %s\n", qPrintable(a));
        return Usage();
      } else if (file.isEmpty()) file = a;
      else return Usage();
    } catch (const ESpeechError& e) {
      std::fprintf(stderr, "varnelo-speech: %s\n", qPrintable(e.Message()));
      return 2;
    }
  }
  if (file.isEmpty()) return Usage();
  try {
    const std::vector<short> samples = ReadWavFile(file);
    TSpRecoEngine engine;
    engine.ConnectForFeed(model);
    for (const TTranscribedPhrase& p : Transcribe(engine, samples)) {
      const QString text = TSpPhraseInfo(p.words).GetText(0, -1, !raw);
      std::printf("%s\n", text.toUtf8().constData());
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "varnelo-speech: %s\n", e.what());
    return 1;
  }
}
