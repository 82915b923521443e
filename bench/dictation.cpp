// Dictation accuracy and speed on recorded sentences; see bench/dictation.sh.
//   bench_dictation SENTENCES.txt AUDIO [options]
// AUDIO/VOICE/NNN.wav holds line NNN of SENTENCES.txt spoken by VOICE.
//   bench_dictation LIST.tsv AUDIO [options]
// LIST.tsv: VOICE TAB FILE TAB SENTENCE per recording, FILE under AUDIO
// (recordings of real people, each reading sentences of their own).
// Options: --voices a,b,c  --general  --lm F --dict F
//          --hmm DIR (another acoustic model, e.g. one trained on a voice)
//          --set FLAG=VALUE  --latency N (real-time feeding of N sentences)
//          --verbose (each sentence that came back wrong)
#include "recoengine.h"
#include "transcribe.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// This process's resident memory in MB, now and at its peak (/proc).
std::pair<double, double> ResidentMb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  double now = 0, peak = 0, kb;
  while (status >> key) {
    if (key == "VmRSS:" && status >> kb) now = kb / 1024;
    else if (key == "VmHWM:" && status >> kb) peak = kb / 1024;
  }
  return {now, peak};
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
  if (args.size() < 2) {
    std::fprintf(stderr, "usage: bench_dictation SENTENCES.txt AUDIO [options]\n");
    return 2;
  }
  const QString sentencesPath = args.takeFirst(), audio = args.takeFirst();
  QStringList voices = {"rms", "slt", "kal16", "hts-slt", "ked", "espeak"};
  TRecoModel model = ShippedRecoModel();
  QString label = QStringLiteral("radiology");
  int latencyCount = 0;
  bool verbose = false, voicesGiven = false;
  while (!args.isEmpty()) {
    const QString a = args.takeFirst();
    const QString v = (a == "--general" || a == "--verbose" || args.isEmpty()) ? QString() : args.first();
    if (a == "--general") model = GeneralRecoModel(), label = "general";
    else if (a == "--verbose") verbose = true;
    else {
      args.removeFirst();
      if (a == "--voices") voices = v.split(','), voicesGiven = true;
      else if (a == "--lm") model.languageModel = v;
      else if (a == "--dict") model.dictionary = v;
      else if (a == "--hmm") model.acousticModel = v, label += " (acoustic model " + v + ")";
      else if (a == "--set") model.decoder[v.section('=', 0, 0)] = v.section('=', 1);
      else if (a == "--latency") latencyCount = v.toInt();
      else {
        std::fprintf(stderr, "unknown option %s\n", qPrintable(a));
        return 2;
      }
    }
  }
  QFile f(sentencesPath);
  if (!f.open(QIODevice::ReadOnly)) return 1;
  const QStringList sentences = QString::fromUtf8(f.readAll()).split('\n');
  // Each voice's recordings and what they say.
  QMap<QString, QList<QPair<QString, QString>>> readings;
  if (sentencesPath.endsWith(".tsv")) {
    QStringList listed;
    for (const QString& line : sentences) {
      const QStringList cols = line.split('\t');
      if (cols.size() != 3) continue;
      if (!readings.contains(cols[0])) listed << cols[0];
      readings[cols[0]] << qMakePair(QDir(audio).filePath(cols[1]), cols[2]);
    }
    if (!voicesGiven) voices = listed;
  } else {
    for (const QString& voice : voices)
      for (int i = 0; i < sentences.size(); ++i)
        readings[voice] << qMakePair(
            QDir(audio).filePath(QStringLiteral("%1/%2.wav").arg(voice).arg(i + 1, 3, 10, QChar('0'))), sentences[i]);
  }
  QString settings;
  for (auto it = model.decoder.begin(); it != model.decoder.end(); ++it) settings += " " + it.key() + "=" + it.value();
  std::printf("model %s%s\n", qPrintable(label), qPrintable(settings));
  std::printf("%-8s %6s %6s %7s %6s\n", "voice", "words", "errors", "WER %", "RTF");
  int allWords = 0, allErrors = 0;
  std::vector<double> loadMs;
  for (const QString& voice : voices) {
    TSpRecoEngine engine;
    QElapsedTimer loading;
    loading.start();
    engine.ConnectForFeed(model);
    engine.WaitLoaded();
    loadMs.push_back(loading.nsecsElapsed() / 1e6);
    int words = 0, errors = 0;
    const auto& items = readings[voice];
    for (int i = 0; i < items.size(); ++i) {
      const QStringList ref = items[i].second.split(' ', Qt::SkipEmptyParts);
      const QString wav = items[i].first;
      if (ref.isEmpty() || !QFileInfo(wav).isFile()) continue;
      QStringList hyp;
      for (const auto& p : Transcribe(engine, ReadWavFile(wav))) hyp += p.words;
      const int e = WordErrors(ref, hyp);
      words += int(ref.size());
      errors += e;
      if (verbose && e)
        std::printf("  %s %03d (%d): %s\n           -> %s\n", qPrintable(voice), i + 1, e, qPrintable(ref.join(' ')),
                    qPrintable(hyp.join(' ')));
    }
    double audioS = 0, cpuS = 0;
    engine.Timing(&audioS, &cpuS);
    std::printf("%-8s %6d %6d %7.1f %6.3f\n", qPrintable(voice), words, errors, words ? 100.0 * errors / words : 0.0,
                audioS > 0 ? cpuS / audioS : 0.0);
    std::fflush(stdout);
    allWords += words;
    allErrors += errors;
  }
  std::printf("%-8s %6d %6d %7.1f\n", "all", allWords, allErrors, allWords ? 100.0 * allErrors / allWords : 0.0);
  // The recogniser lives in this process: its memory is the process's.
  const auto [rss, peak] = ResidentMb();
  std::printf("model load: median %.0f ms, max %.0f ms; resident memory %.0f MB (peak %.0f MB)\n", Median(loadMs),
              loadMs.empty() ? 0.0 : *std::max_element(loadMs.begin(), loadMs.end()), rss, peak);
  if (latencyCount > 0) {
    // Fed at the microphone's pace: time from the end of speech to the phrase.
    TSpRecoEngine engine;
    engine.ConnectForFeed(model);
    engine.WaitLoaded();
    std::vector<double> latency;
    const auto& items = readings[voices.first()];
    for (int i = 0; i < std::min(latencyCount, int(items.size())); ++i) {
      const QString wav = items[i].first;
      if (QFileInfo(wav).isFile()) Transcribe(engine, ReadWavFile(wav), true, &latency);
    }
    std::printf("phrase latency after the end of speech (%s, %zu phrases): median %.0f ms, max %.0f ms\n",
                qPrintable(voices.first()), latency.size(), Median(latency),
                latency.empty() ? 0.0 : *std::max_element(latency.begin(), latency.end()));
  }
  return 0;
}
