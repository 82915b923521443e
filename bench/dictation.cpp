// Dictation accuracy and speed on recorded sentences; see bench/dictation.sh.
//   bench_dictation SENTENCES.txt AUDIO [options]
// AUDIO/VOICE/NNN.wav holds line NNN of SENTENCES.txt spoken by VOICE.
//   bench_dictation LIST.tsv AUDIO [options]
// LIST.tsv: VOICE TAB FILE TAB SENTENCE per recording, FILE under AUDIO
// (recordings of real people, each reading sentences of their own).
// Options: --voices a,b,c  --general  --lm F --dict F
//          --written F (the written form of SENTENCES.txt, a line each: the
//          display text is scored against it too, case aside, "by" as "x"
//          and unit words as their abbreviations)
//          --hmm DIR (another acoustic model, e.g. one trained on a voice)
//          --set FLAG=VALUE  --latency N (real-time feeding of N sentences)
//          --verbose (each sentence that came back wrong)
#include "formsdata.h"
#include "recoengine.h"
#include "sprecocontext.h"
#include "transcribe.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

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

// Words for scoring written text: lower case, outer punctuation gone, "by"
// as "x" and unit words as their abbreviations, so that only how a number or
// level is written counts.
QStringList ScoringWords(const QString& text) {
  QStringList words;
  for (QString w : text.toLower().split(QRegularExpression("\\s+"), Qt::SkipEmptyParts)) {
    while (!w.isEmpty() && QStringLiteral(".,;:!?\"()").contains(w.back())) w.chop(1);
    while (!w.isEmpty() && QStringLiteral("\"(").contains(w.front())) w.remove(0, 1);
    if (!w.isEmpty()) words << (w == "by" ? QStringLiteral("x") : w);
  }
  // Unit phrases, longest first.
  std::vector<std::pair<QStringList, QString>> units;
  for (const textforms::TUnit& u : textforms::Forms().units) {
    if (u.written == "-") continue;
    for (const auto* said : {&u.one, &u.many}) {
      QStringList p;
      for (const auto& x : *said) p << QString::fromStdString(x);
      units.emplace_back(p, QString::fromStdString(u.written).toLower());
    }
  }
  std::stable_sort(units.begin(), units.end(), [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
  QStringList out;
  for (int i = 0; i < words.size();) {
    bool hit = false;
    for (const auto& [said, written] : units)
      if (words.mid(i, int(said.size())) == said) {
        out << written;
        i += int(said.size());
        hit = true;
        break;
      }
    if (!hit) out << words[i++];
  }
  return out;
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
  QString writtenPath;
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
      else if (a == "--written") writtenPath = v;
      else {
        std::fprintf(stderr, "unknown option %s\n", qPrintable(a));
        return 2;
      }
    }
  }
  QFile f(sentencesPath);
  if (!f.open(QIODevice::ReadOnly)) return 1;
  const QStringList sentences = QString::fromUtf8(f.readAll()).split('\n');
  QStringList written;
  if (!writtenPath.isEmpty()) {
    QFile wf(writtenPath);
    if (!wf.open(QIODevice::ReadOnly)) return 1;
    written = QString::fromUtf8(wf.readAll()).split('\n');
  }
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
  std::printf("%-8s %6s %6s %7s %6s%s\n", "voice", "words", "errors", "WER %", "RTF",
              written.isEmpty() ? "" : "  written: words errors WER %");
  int allWords = 0, allErrors = 0, allWrittenWords = 0, allWrittenErrors = 0;
  std::vector<double> loadMs;
  for (const QString& voice : voices) {
    TSpRecoEngine engine;
    QElapsedTimer loading;
    loading.start();
    engine.ConnectForFeed(model);
    engine.WaitLoaded();
    loadMs.push_back(loading.nsecsElapsed() / 1e6);
    int words = 0, errors = 0, writtenWords = 0, writtenErrors = 0;
    const auto& items = readings[voice];
    for (int i = 0; i < items.size(); ++i) {
      const QStringList ref = items[i].second.split(' ', Qt::SkipEmptyParts);
      const QString wav = items[i].first;
      if (ref.isEmpty() || !QFileInfo(wav).isFile()) continue;
      QStringList hyp, display;
      for (const auto& p : Transcribe(engine, ReadWavFile(wav))) {
        hyp += p.words;
        display << TSpPhraseInfo(p.words).GetText(0, -1, true);
      }
      const int e = WordErrors(ref, hyp);
      if (i < written.size() && !written[i].trimmed().isEmpty()) {
        const QStringList wref = ScoringWords(written[i]), whyp = ScoringWords(display.join(' '));
        const int we = WordErrors(wref, whyp);
        writtenWords += int(wref.size());
        writtenErrors += we;
        if (verbose && we)
          std::printf("  %s %03d written (%d): %s\n           -> %s\n", qPrintable(voice), i + 1, we,
                      qPrintable(written[i]), qPrintable(display.join(' ')));
      }
      words += int(ref.size());
      errors += e;
      if (verbose && e)
        std::printf("  %s %03d (%d): %s\n           -> %s\n", qPrintable(voice), i + 1, e, qPrintable(ref.join(' ')),
                    qPrintable(hyp.join(' ')));
    }
    double audioS = 0, cpuS = 0;
    engine.Timing(&audioS, &cpuS);
    std::printf("%-8s %6d %6d %7.1f %6.3f", qPrintable(voice), words, errors, words ? 100.0 * errors / words : 0.0,
                audioS > 0 ? cpuS / audioS : 0.0);
    if (!written.isEmpty())
      std::printf("  %6d %6d %7.1f", writtenWords, writtenErrors, writtenWords ? 100.0 * writtenErrors / writtenWords : 0.0);
    std::printf("\n");
    allWrittenWords += writtenWords;
    allWrittenErrors += writtenErrors;
    std::fflush(stdout);
    allWords += words;
    allErrors += errors;
  }
  std::printf("%-8s %6d %6d %7.1f", "all", allWords, allErrors, allWords ? 100.0 * allErrors / allWords : 0.0);
  if (!written.isEmpty())
    std::printf("  %13d %6d %7.1f", allWrittenWords, allWrittenErrors,
                allWrittenWords ? 100.0 * allWrittenErrors / allWrittenWords : 0.0);
  std::printf("\n");
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
