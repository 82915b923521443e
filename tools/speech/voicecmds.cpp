#include "voicecmds.h"

#include "spvoice.h"
#include "voicelist.h"

#include <QFile>
#include <QSaveFile>
#include <QtEndian>

#include <cstdio>

namespace {

int Fail(const QString& message) {
  std::fprintf(stderr, "varnelo-speech: %s\n", qPrintable(message));
  return 1;
}

int SpeakUsage() {
  std::fprintf(stderr,
               "usage: varnelo-speech speak [--voice NAME] [--wav FILE] [--words] TEXT|-\n"
               "  speaks TEXT (\"-\": standard input, UTF-8) with the service's voice, or NAME\n"
               "  (an id or description from \"varnelo-speech voices\"), to the sound server or\n"
               "  into FILE (16-bit mono WAV); --words prints each word as it is reached:\n"
               "  character position, length, sample, the word.\n");
  return 2;
}

QByteArray WavFile(const std::vector<short>& samples, int rate) {
  QByteArray out;
  const auto u32 = [&](quint32 v) { v = qToLittleEndian(v); out.append(reinterpret_cast<const char*>(&v), 4); };
  const auto u16 = [&](quint16 v) { v = qToLittleEndian(v); out.append(reinterpret_cast<const char*>(&v), 2); };
  const quint32 data = quint32(samples.size() * 2);
  out.append("RIFF");
  u32(36 + data);
  out.append("WAVEfmt ");
  u32(16); u16(1); u16(1); u32(quint32(rate)); u32(quint32(rate) * 2); u16(2); u16(16);
  out.append("data");
  u32(data);
  for (short s : samples) u16(quint16(s));
  return out;
}

void PrintWord(const QString& text, int position, int length, qint64 sample) {
  QString word = text.mid(position, length);
  for (QChar& c : word)
    if (c.isSpace()) c = ' ';
  std::printf("%d\t%d\t%lld\t%s\n", position, length, qlonglong(sample), word.toUtf8().constData());
  std::fflush(stdout);
}

}  // namespace

int VoicesCommand(const QStringList& args) {
  if (!args.isEmpty()) {
    std::fprintf(stderr, "usage: varnelo-speech voices\n  lists the voices in the service's order; * marks the one in use.\n");
    return 2;
  }
  try {
    TSpVoice voice;
    const TSpObjectTokens all = voice.GetVoices();
    const TSpObjectToken current = voice.Voice();
    for (int i = 0; i < all.Count(); ++i) {
      const TSpObjectToken t = all.Item(i);
      std::printf("%c %-22s %s\n", t == current ? '*' : ' ', t.Id().toUtf8().constData(),
                  t.GetDescription().toUtf8().constData());
    }
    return 0;
  } catch (const ESpeechError& e) {
    return Fail(e.Message());
  }
}

int SpeakCommand(QStringList args) {
  QString voiceName, wav, text;
  bool words = false, haveText = false;
  while (!args.isEmpty()) {
    const QString a = args.takeFirst();
    if ((a == "--voice" || a == "--wav") && args.isEmpty()) {
      std::fprintf(stderr, "varnelo-speech: %s needs a value\n", qPrintable(a));
      return SpeakUsage();
    }
    if (a == "--voice") voiceName = args.takeFirst();
    else if (a == "--wav") wav = args.takeFirst();
    else if (a == "--words") words = true;
    else if (a.startsWith("--")) {
      std::fprintf(stderr, "varnelo-speech: unknown option %s\n", qPrintable(a));
      return SpeakUsage();
    } else if (haveText) return SpeakUsage();
    else {
      text = a;
      haveText = true;
    }
  }
  if (!haveText) return SpeakUsage();
  if (text == "-") {
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly)) return Fail(QStringLiteral("standard input could not be read"));
    text = QString::fromUtf8(in.readAll());
  }
  try {
    TSpVoice voice;
    if (!voiceName.isEmpty()) {
      TSpObjectToken t = FindVoice(voice.GetVoices().Items(), voiceName);
      if (t.IsNull())
        return Fail(QStringLiteral("no voice is called \"%1\"; \"varnelo-speech voices\" lists them").arg(voiceName));
      voice.SetVoice(t);
    }
    if (!wav.isEmpty()) {
      // Written in full beside the target, then renamed over it: a failure
      // leaves whatever stood there before.
      QSaveFile out(wav);
      if (!out.open(QIODevice::WriteOnly)) return Fail(wav + QStringLiteral(" could not be written: ") + out.errorString());
      std::vector<TWordMark> marks;
      const std::vector<short> samples = voice.SynthesizeToSamples(text, &marks);
      if (words)
        for (const auto& m : marks) PrintWord(text, m.position, m.length, m.sample);
      const QByteArray bytes = WavFile(samples, voice.SampleRate());
      if (out.write(bytes) != bytes.size() || !out.commit())
        return Fail(wav + QStringLiteral(" could not be written: ") + out.errorString());
      return 0;
    }
    if (words)
      QObject::connect(&voice, &TSpVoice::OnWord, [&text](QObject*, int, qint64 pos, int p, int l) {
        PrintWord(text, p, l, pos / 2);
      });
    QString audioError;
    QObject::connect(&voice, &TSpVoice::OnAudioError, [&audioError](QObject*, const QString& m) { audioError = m; });
    if (!text.isEmpty()) voice.Speak(text, SVSFDefault);
    if (!audioError.isEmpty()) return Fail(audioError);
    return 0;
  } catch (const ESpeechError& e) {
    return Fail(e.Message());
  }
}
