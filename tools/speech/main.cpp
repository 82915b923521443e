// varnelo-speech: the speech service without a window, for scripts and checks.
//   varnelo-speech transcribe [--raw] FILE.wav
// runs dictation on a recording exactly as the microphone would feed it and
// prints the text of each phrase, one per line.
#include "recoengine.h"
#include "sprecocontext.h"
#include "transcribe.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage:\n"
               "  varnelo-speech transcribe [--raw] FILE.wav\n"
               "    prints the text each dictated phrase would insert, one phrase per line;\n"
               "    --raw prints the recogniser's words without spoken punctuation replaced.\n"
               "  Model options, for measurements (default: the dictation settings):\n"
               "    --general          the acoustic model's general English language model\n"
               "    --lm FILE --dict FILE\n"
               "    --set FLAG=VALUE   a decoder flag (lw, wip, beam, fwdflat, ...)\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
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
