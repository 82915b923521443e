#include "audioplayer.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QMediaDevices>
#include <QTimer>

#include <chrono>

namespace {
// Short buffers keep the sink's start-up and the word highlight close to
// what is heard.
constexpr int kBufferMs = 100;
// Silence after each stream: the server starts playing only once its
// pre-buffer is full, so a short last piece would otherwise wait.
constexpr int kTailMs = 150;
constexpr int kTickMs = 5;
// Synthesis runs at most this far ahead of the sink: a comment of an hour or
// more would otherwise sit in memory whole while it is heard.
constexpr int kAheadMs = 20000;
}  // namespace

TAudioPlayer::TAudioPlayer(int sampleRate) {
  FFormat.setSampleRate(sampleRate);
  FFormat.setChannelCount(1);
  FFormat.setSampleFormat(QAudioFormat::Int16);
}

TAudioPlayer::~TAudioPlayer() = default;

namespace {
qint64 NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

qint64 TAudioPlayer::ProcessedUSecs() const {
  const qint64 at = FProcessedUSecs.load();
  if (!FFlowing.load()) return at;
  return std::min(FWrittenUSecs.load(), at + (NowNs() - FReadAtNs.load()) / 1000);
}

void TAudioPlayer::AddStream(int stream) {
  std::lock_guard lock(FMutex);
  FStreams[stream] = TStreamState{};
}

qint64 TAudioPlayer::StreamBase(int stream) {
  auto& s = FStreams[stream];
  if (s.base < 0) s.base = FAppended;
  return s.base;
}

void TAudioPlayer::Audio(int stream, const short* samples, int count) {
  std::unique_lock lock(FMutex);
  // The engine waits here while the sink is far behind (or paused); a purge
  // or shutdown lets it go on, to drop the rest.
  const qint64 ahead = FFormat.bytesForDuration(qint64(kAheadMs) * 1000);
  FRoom.wait(lock, [&] { return !FStreams.count(stream) || FAppended - FWritten < ahead; });
  auto it = FStreams.find(stream);
  if (it == FStreams.end()) return;  // purged
  StreamBase(stream);
  const qint64 n = qint64(count) * 2;
  FPending.emplace_back(reinterpret_cast<const char*>(samples), n);
  FAppended += n;
  it->second.bytes += n;
}

void TAudioPlayer::Word(int stream, qint64 sample, int position, int length) {
  std::lock_guard lock(FMutex);
  if (!FStreams.count(stream)) return;
  const qint64 base = StreamBase(stream);
  const qint64 offset = std::max(base + sample * 2, FMarks.empty() ? 0 : FMarks.back().offset);
  FMarks.push_back(TMark{offset, stream, sample * 2, position, length});
}

void TAudioPlayer::Done(int stream, bool) {
  std::lock_guard lock(FMutex);
  auto it = FStreams.find(stream);
  if (it == FStreams.end()) return;
  const qint64 base = StreamBase(stream);
  const qint64 end = base + it->second.bytes;
  FMarks.push_back(TMark{end, stream, it->second.bytes, 0, -1});
  // Whole frames: an odd byte count would shift every later sample.
  const qint64 tail = FFormat.bytesForDuration(kTailMs * 1000);
  FPending.emplace_back(int(tail), '\0');
  FAppended += tail;
  FStreams.erase(it);
}

QString TAudioPlayer::EnsureSink() {
  if (!FTimer) {
    FTimer = new QTimer(this);
    FTimer->setTimerType(Qt::PreciseTimer);
    FTimer->setInterval(kTickMs);
    connect(FTimer, &QTimer::timeout, this, &TAudioPlayer::Tick);
  }
  if (FSink && FSink->state() != QAudio::StoppedState && FDevice) return QString();
  CloseSink();
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) return QStringLiteral("No audio output device is available");
  FSink = new QAudioSink(device, FFormat, this);
  FSink->setBufferSize(FFormat.bytesForDuration(kBufferMs * 1000));
  QIODevice* io = FSink->start();
  // With no sound server the sink fails here, without a state signal.
  if (!io || FSink->error() != QAudio::NoError || FSink->state() == QAudio::StoppedState) {
    CloseSink();
    return QStringLiteral("The audio output could not be opened");
  }
  FDevice = io;
  connect(FSink, &QAudioSink::stateChanged, this, [this](QAudio::State state) {
    if (state == QAudio::StoppedState && FSink && FSink->error() != QAudio::NoError) {
      const QString message = QStringLiteral("The audio output failed");
      Purge();
      emit Failed(message);
    }
  }, Qt::QueuedConnection);  // never inside the sink's own signal
  {
    std::lock_guard lock(FMutex);
    FAppended = FWritten = 0;
    FPendingOffset = 0;
    FPending.clear();
    FMarks.clear();
  }
  FRoom.notify_all();
  FProcessedUSecs = 0;
  FPaused = false;
  FTimer->start();
  return QString();
}

void TAudioPlayer::CloseSink() {
  if (FSink) {
    FSink->disconnect(this);
    FSink->stop();
    delete FSink;
    FSink = nullptr;
  }
  FDevice = nullptr;
}

void TAudioPlayer::Purge() {
  {
    std::lock_guard lock(FMutex);
    FPending.clear();
    FMarks.clear();
    FStreams.clear();
    FPendingOffset = 0;
  }
  FRoom.notify_all();
  // A fresh sink drops what the server still holds.
  CloseSink();
  if (FTimer) FTimer->stop();
  FPaused = false;
  FFlowing = false;
  FProcessedUSecs = 0;
}

void TAudioPlayer::Pause() {
  FPaused = true;
  FFlowing = false;
  if (FSink) FSink->suspend();
}

void TAudioPlayer::Resume() {
  FPaused = false;
  if (FSink) FSink->resume();
}

void TAudioPlayer::Shutdown(QThread* home) {
  Purge();
  delete FTimer;
  FTimer = nullptr;
  // Engine jobs may still hold the player; hand it back so it can die on the
  // owner's thread after this one has stopped.
  moveToThread(home);
}

void TAudioPlayer::Tick() {
  if (!FSink || !FDevice || FPaused) return;
  std::vector<TMark> due;
  {
    std::lock_guard lock(FMutex);
    qint64 free = FSink->bytesFree();
    while (free > 0 && !FPending.empty()) {
      QByteArray& front = FPending.front();
      const qint64 n = std::min<qint64>(free, front.size() - FPendingOffset);
      const qint64 w = FDevice->write(front.constData() + FPendingOffset, n);
      if (w <= 0) break;
      FPendingOffset += w;
      FWritten += w;
      free -= w;
      if (FPendingOffset >= front.size()) {
        FPending.pop_front();
        FPendingOffset = 0;
      }
    }
    const qint64 usecs = FSink->processedUSecs();
    FProcessedUSecs = usecs;
    FReadAtNs = NowNs();
    FWrittenUSecs = FFormat.durationForBytes(FWritten);
    FFlowing = FSink->state() == QAudio::ActiveState;
    const qint64 played = FFormat.bytesForDuration(usecs);
    while (!FMarks.empty() && FMarks.front().offset <= played && FMarks.front().offset <= FWritten) {
      due.push_back(FMarks.front());
      FMarks.pop_front();
    }
  }
  for (const auto& m : due) {
    if (m.length < 0)
      emit StreamEnded(m.stream, m.streamPosition);
    else
      emit WordReached(m.stream, m.streamPosition, m.position, m.length);
  }
  FRoom.notify_all();
}
