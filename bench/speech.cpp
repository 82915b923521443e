// Speech service benchmarks; see bench/speech.sh.
#include "recoengine.h"
#include "sprecocontext.h"
#include "spsettings.h"
#include "spvoice.h"

#include <QApplication>
#include <QAudioDevice>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMediaDevices>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

qint64 NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

QByteArray Say(const QString& text) {
  QTemporaryDir dir;
  const QString wav = dir.filePath("s.wav"), raw = dir.filePath("s.raw");
  QProcess::execute("flite", {"-voice", "slt", "-t", text, "-o", wav});
  QProcess::execute("sox", {wav, "-t", "raw", "-r", "16000", "-c", "1", "-b", "16", "-e", "signed-integer", raw});
  QFile f(raw);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Offset just after the last loud sample.
qsizetype SpeechEnd(const QByteArray& pcm) {
  const auto* s = reinterpret_cast<const short*>(pcm.constData());
  for (qsizetype i = pcm.size() / 2 - 1; i >= 0; --i)
    if (std::abs(int(s[i])) > 600) return (i + 1) * 2;
  return 0;
}

const char* kTexts[] = {
    "The chest radiograph shows clear lung fields without focal consolidation, effusion or pneumothorax. "
    "The cardiac silhouette is within normal limits and the mediastinum is not widened.",
    "Follow-up imaging in six weeks is recommended to confirm resolution of the small nodule in the "
    "right upper lobe, measuring about four millimetres.",
    "Comparison with the previous study from March shows no interval change in the appearance of the "
    "lumbar spine, with mild degenerative disc disease at two levels.",
};

int Words() {
  std::vector<double> latencyMs, wallErrorMs;
  for (const char* t : kTexts) {
    TSpVoice v;  // a sink of its own, so stream positions are sink positions
    const QString text = QString::fromLatin1(t);
    qint64 spokeAt = 0;
    QObject::connect(&v, &TSpVoice::OnWord, [&](QObject*, int, qint64 pos, int, int) {
      const qint64 now = NowUs();
      const double wordUs = double(pos) * 1e6 / (22050.0 * 2);
      const double lateUs = double(v.SinkProcessedUSecs()) - wordUs;
      latencyMs.push_back(lateUs / 1000);
      // The same event scheduled by wall time from the Speak call.
      const double reachedAt = double(now) - lateUs;
      wallErrorMs.push_back(std::abs(double(spokeAt) + wordUs - reachedAt) / 1000);
    });
    v.Speak(text, SVSFlagsAsync);
    spokeAt = NowUs();
    if (!v.WaitUntilDone(60000)) {
      fprintf(stderr, "speech did not end\n");
      return 1;
    }
  }
  printf("word highlight after its audio reached the sink, %zu words: median %.1f ms, p95 %.1f ms, max %.1f ms "
         "(target 50 ms)\n",
         latencyMs.size(), Percentile(latencyMs, 0.5), Percentile(latencyMs, 0.95),
         Percentile(latencyMs, 1.0));
  printf("peer, the same events by wall time from Speak: median error %.1f ms, p95 %.1f ms; ratio of medians %.1fx\n",
         Percentile(wallErrorMs, 0.5), Percentile(wallErrorMs, 0.95),
         Percentile(wallErrorMs, 0.5) / std::max(0.1, Percentile(latencyMs, 0.5)));
  return 0;
}

QByteArray MicId() {
  for (const auto& d : QMediaDevices::audioInputs())
    if (d.description() == "VarneloMic") return d.id();
  return {};
}

int Phrases() {
  QFile::remove(SpeechSettingsPath());
  const QStringList phrases = {"the patient is stable period", "no fracture is seen",
                               "follow up in two weeks", "the lungs are clear",
                               "there is no fluid", "compare with the previous study"};
  struct TPiece { QByteArray pcm; qsizetype speechEnd; };
  std::vector<TPiece> pieces;
  for (const auto& p : phrases) {
    QByteArray pcm = Say(p);
    pieces.push_back({pcm, SpeechEnd(pcm)});
  }
  for (bool grammar : {true, false}) {
    TSpSharedRecoContext ctx;
    ctx.Recognizer()->SetAudioInputId(MicId());
    auto g = ctx.CreateGrammar(0);
    g->SetPhraseList(grammar ? phrases : QStringList());
    std::vector<qint64> ends(pieces.size(), 0);
    std::vector<qint64> got, soundEnds;
    ctx.SetEventInterests(SREAllEvents);
    QObject::connect(&ctx, &TSpSharedRecoContext::OnSoundEnd,
                     [&](QObject*, int, qint64) { soundEnds.push_back(NowUs()); });
    QObject::connect(&ctx, &TSpSharedRecoContext::OnRecognition,
                     [&](QObject*, int, qint64, int, const TSpRecoResult&) { got.push_back(NowUs()); });
    g->DictationSetState(SGDSActive);
    Wait(300);
    std::atomic<bool> done{false};
    std::thread feeder([&] {
      const int fd = ::open(qgetenv("VARNELO_MIC_FIFO").constData(), O_WRONLY);
      if (fd < 0) { done = true; return; }
      const QByteArray silence(32 * 1500, '\0');
      const qint64 start = NowUs();
      qint64 fed = 0;  // bytes, paced at real time in 20 ms pieces
      auto write = [&](const QByteArray& a, qsizetype mark, qint64* markAt) {
        for (qsizetype at = 0; at < a.size(); at += 640) {
          const qsizetype n = std::min<qsizetype>(640, a.size() - at);
          const qint64 due = start + fed * 1000000 / 32000;
          const qint64 now = NowUs();
          if (due > now) usleep(useconds_t(due - now));
          if (::write(fd, a.constData() + at, size_t(n)) != n) return;
          fed += n;
          if (markAt && at + n >= mark && !*markAt) *markAt = NowUs();
        }
      };
      write(silence, 0, nullptr);
      for (size_t i = 0; i < pieces.size(); ++i) {
        write(pieces[i].pcm, pieces[i].speechEnd, &ends[i]);
        write(silence, 0, nullptr);
      }
      ::close(fd);
      done = true;
    });
    while (!done) Wait(20);
    feeder.join();
    Wait(1000);
    g->DictationSetState(SGDSInactive);
    std::vector<double> lat;
    // Each recognition belongs to the latest phrase that had ended before it.
    for (qint64 t : got) {
      qint64 best = 0;
      for (qint64 e : ends)
        if (e && e <= t) best = std::max(best, e);
      if (best) lat.push_back(double(t - best) / 1000);
    }
    std::vector<double> vad;
    for (qint64 t : soundEnds) {
      qint64 best = 0;
      for (qint64 e : ends)
        if (e && e <= t) best = std::max(best, e);
      if (best) vad.push_back(double(t - best) / 1000);
    }
    printf("%s: %zu recognitions for %zu phrases; after the end of speech median %.0f ms, max %.0f ms "
           "(target 500 ms); the end of speech detected after median %.0f ms\n",
           grammar ? "phrase grammar" : "free dictation", got.size(), pieces.size(), Percentile(lat, 0.5),
           Percentile(lat, 1.0), Percentile(vad, 0.5));
  }
  return 0;
}

int Rtf() {
  QFile::remove(SpeechSettingsPath());
  QByteArray audio;
  const QByteArray gap(32 * 600, '\0');
  for (const char* t : kTexts) audio += Say(QString::fromLatin1(t)) + gap;
  const double seconds = double(audio.size()) / 32000;
  for (bool grammar : {false, true}) {
    TSpRecoEngine e;
    e.Connect();
    e.WaitLoaded();
    if (grammar) e.SetPhraseList({"the patient is stable", "no fracture is seen"});
    const auto* s = reinterpret_cast<const short*>(audio.constData());
    QElapsedTimer wall;
    wall.start();
    for (qsizetype at = 0; at < audio.size() / 2; at += 1600)
      e.Feed(s + at, int(std::min<qsizetype>(1600, audio.size() / 2 - at)));
    while (e.Busy()) usleep(2000);
    double decoded = 0, cpu = 0;
    e.Timing(&decoded, &cpu);
    printf("%s: %.1f s of speech decoded with %.2f s CPU on one core: real-time factor %.3f (target 0.5); "
           "wall %.2f s\n",
           grammar ? "phrase grammar" : "free dictation", seconds, cpu, cpu / std::max(0.001, decoded),
           double(wall.elapsed()) / 1000);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IOLBF, 0);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString what = argc > 1 ? QString::fromLatin1(argv[1]) : QString();
  if (what == "words") return Words();
  if (what == "phrases") return Phrases();
  if (what == "rtf") return Rtf();
  fprintf(stderr, "usage: bench_speech words|phrases|rtf\n");
  return 2;
}
