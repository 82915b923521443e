#include "transcribe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace {
constexpr int kRate = 16000;
constexpr int kBlock = kRate / 20;  // 50 ms, as the microphone delivers

quint32 Le32(const char* p) {
  return quint32(quint8(p[0])) | quint32(quint8(p[1])) << 8 | quint32(quint8(p[2])) << 16 |
         quint32(quint8(p[3])) << 24;
}
quint16 Le16(const char* p) { return quint16(quint8(p[0]) | quint8(p[1]) << 8); }
}  // namespace

std::vector<short> ReadWavFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    throw ESpeechError(QStringLiteral("%1 could not be opened: %2").arg(path, f.errorString()));
  // Recordings of a dictation are small; refuse what no microphone would make.
  if (f.size() > qint64(1) << 30) throw ESpeechError(path + QStringLiteral(" is too large for a recording."));
  const QByteArray data = f.readAll();
  const auto broken = [&](const char* why) {
    return ESpeechError(QStringLiteral("%1 is not a WAV file we can read: %2.").arg(path, QLatin1String(why)));
  };
  if (data.size() < 12 || std::memcmp(data.constData(), "RIFF", 4) != 0 || std::memcmp(data.constData() + 8, "WAVE", 4) != 0)
    throw broken("no RIFF WAVE header");
  int channels = 0, rate = 0, bits = 0, format = 0;
  const char* pcm = nullptr;
  qint64 pcmBytes = 0;
  for (qint64 pos = 12; pos + 8 <= data.size();) {
    const char* chunk = data.constData() + pos;
    const qint64 size = Le32(chunk + 4);
    const qint64 body = pos + 8, avail = std::min<qint64>(size, data.size() - body);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (avail < 16) throw broken("its format chunk is cut short");
      format = Le16(chunk + 8);
      channels = Le16(chunk + 10);
      rate = int(Le32(chunk + 12));
      bits = Le16(chunk + 22);
      // WAVE_FORMAT_EXTENSIBLE names the real format in its sub-format GUID.
      if (format == 0xFFFE && avail >= 26) format = Le16(chunk + 32);
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      pcm = data.constData() + body;
      pcmBytes = avail;  // a cut-off recording keeps what it holds
      break;
    }
    pos = body + size + (size & 1);
  }
  if (!format) throw broken("it has no format chunk");
  if (!pcm) throw broken("it has no sound data");
  if (format != 1 || bits != 16)
    throw ESpeechError(QStringLiteral("%1 holds %2-bit sound of format %3: only 16-bit PCM is supported.")
                           .arg(path).arg(bits).arg(format));
  if (channels < 1 || channels > 2)
    throw ESpeechError(QStringLiteral("%1 has %2 channels: only mono and stereo are supported.").arg(path).arg(channels));
  if (rate < 8000 || rate > 192000)
    throw ESpeechError(QStringLiteral("%1 has a sample rate of %2 Hz: 8000 to 192000 Hz are supported.").arg(path).arg(rate));
  const qint64 frames = pcmBytes / (2 * channels);
  std::vector<short> mono(static_cast<size_t>(frames));
  for (qint64 i = 0; i < frames; ++i) {
    const char* p = pcm + i * 2 * channels;
    int v = short(Le16(p));
    if (channels == 2) v = (v + short(Le16(p + 2))) / 2;
    mono[size_t(i)] = short(v);
  }
  return rate == kRate ? mono : ResampleTo16k(mono, rate);
}

std::vector<short> ResampleTo16k(const std::vector<short>& in, int rate) {
  // Windowed-sinc interpolation; the cut-off sits below the lower Nyquist
  // frequency so that nothing folds back into the speech band.
  const double ratio = double(kRate) / rate;
  const double cutoff = 0.95 * std::min(1.0, ratio);
  constexpr int kHalf = 16;
  const double support = kHalf / cutoff;
  const size_t n = size_t(std::floor(double(in.size()) * ratio));
  std::vector<short> out(n);
  for (size_t i = 0; i < n; ++i) {
    const double t = double(i) / ratio;
    const long lo = long(std::ceil(t - support)), hi = long(std::floor(t + support));
    double acc = 0, norm = 0;
    for (long j = std::max(0L, lo); j <= std::min(long(in.size()) - 1, hi); ++j) {
      const double x = (double(j) - t) * cutoff;
      const double sinc = x == 0 ? 1.0 : std::sin(M_PI * x) / (M_PI * x);
      const double w = 0.5 + 0.5 * std::cos(M_PI * (double(j) - t) / support);  // Hann
      acc += in[size_t(j)] * sinc * w;
      norm += sinc * w;
    }
    const double v = norm != 0 ? acc / norm : 0;
    out[i] = short(std::clamp(std::lround(v), -32768L, 32767L));
  }
  return out;
}

int WordErrors(const QStringList& said, const QStringList& heard) {
  std::vector<int> row(size_t(heard.size()) + 1), next(row.size());
  for (size_t j = 0; j < row.size(); ++j) row[j] = int(j);
  for (qsizetype i = 1; i <= said.size(); ++i) {
    next[0] = int(i);
    for (qsizetype j = 1; j <= heard.size(); ++j)
      next[size_t(j)] = std::min({row[size_t(j)] + 1, next[size_t(j - 1)] + 1,
                                  row[size_t(j - 1)] + (said[i - 1] == heard[j - 1] ? 0 : 1)});
    std::swap(row, next);
  }
  return row.back();
}

std::vector<TTranscribedPhrase> Transcribe(TSpRecoEngine& engine, const std::vector<short>& samples, bool realTime,
                                           std::vector<double>* latencyMs) {
  std::mutex m;
  std::vector<TTranscribedPhrase> phrases;
  QElapsedTimer clock;
  clock.start();
  std::vector<double> fedAt;  // wall time at which each 50 ms block was fed
  // The engine counts audio since it started: phrase times are offset by
  // what it heard before this recording.
  double heardBefore = 0;
  engine.Timing(&heardBefore, nullptr);
  const qint64 baseMs = qint64(std::llround(heardBefore * 1000));
  const auto onPhrase = [&](const QStringList& words, qint64 startMs, qint64 endMs) {
    std::lock_guard lock(m);
    phrases.push_back({words, startMs, endMs});
    if (latencyMs && !fedAt.empty()) {
      // The end of speech is the last loud sample before the phrase ended;
      // a microphone hands it over at the end of its 50 ms block.
      size_t last = std::min(samples.size(), size_t(std::max<qint64>(0, endMs - baseMs)) * (kRate / 1000));
      while (last > 0 && std::abs(int(samples[last - 1])) < 600) --last;
      const size_t k = std::min(fedAt.size() - 1, last / kBlock);
      const double sampleMs = double(last) / (kRate / 1000), blockEndMs = double((k + 1) * kBlock) / (kRate / 1000);
      latencyMs->push_back(double(clock.nsecsElapsed()) / 1e6 - fedAt[k] + (blockEndMs - sampleMs));
    }
  };
  // Results come on the decoder's thread: collect them there.
  const auto c = QObject::connect(&engine, &TSpRecoEngine::Recognised, &engine, onPhrase, Qt::DirectConnection);
  try {
    engine.Activate();
    // A recording has no earlier dictation to learn its voice from; its own
    // speech is the best start (the acoustic model was trained on means taken
    // over whole utterances).
    engine.SeedCepstralMean(samples);
    std::vector<short> audio = samples;
    audio.resize(audio.size() + kRate, 0);  // the room goes quiet after the last word
    {
      std::lock_guard lock(m);
      fedAt.reserve(audio.size() / kBlock + 1);
    }
    for (size_t pos = 0; pos < audio.size(); pos += kBlock) {
      const int n = int(std::min<size_t>(kBlock, audio.size() - pos));
      if (realTime) {
        const qint64 due = qint64(pos / kBlock) * 50;
        while (clock.elapsed() < due) QThread::usleep(1000);
      }
      {
        std::lock_guard lock(m);
        fedAt.push_back(double(clock.nsecsElapsed()) / 1e6);
      }
      engine.Feed(audio.data() + pos, n);
    }
    while (engine.Busy()) QThread::usleep(2000);
    engine.Deactivate();  // flushes a phrase still open
    while (engine.Busy()) QThread::usleep(2000);
  } catch (...) {
    QObject::disconnect(c);
    throw;
  }
  QObject::disconnect(c);
  std::lock_guard lock(m);
  return phrases;
}
