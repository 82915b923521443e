// Playback of synthesised speech through QAudioSink, on a thread of its own.
// Word and end-of-stream marks are released when the sink's processed time
// reaches their place in the audio.
#pragma once

#include "espeakengine.h"

#include <QAudioFormat>
#include <QObject>
#include <QPointer>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>

class QAudioSink;
class QIODevice;
class QThread;
class QTimer;

class TAudioPlayer : public QObject, public TSynthOutput {
  Q_OBJECT
public:
  explicit TAudioPlayer(int sampleRate);
  ~TAudioPlayer() override;

  // TSynthOutput, called on the engine's thread.
  void Audio(int stream, const short* samples, int count) override;
  void Word(int stream, qint64 sample, int position, int length) override;
  void Done(int stream, bool completed) override;

  // Any thread.
  void AddStream(int stream);
  // The sink's processed time, carried forward from the last reading while
  // audio is flowing (readings come every few milliseconds).
  qint64 ProcessedUSecs() const;

public slots:
  // Run on the player's thread (blocking calls from the owner).
  QString EnsureSink();
  void Purge();
  void Pause();
  void Resume();
  void Shutdown(QThread* home);

signals:
  void WordReached(int stream, qint64 streamPosition, int position, int length);
  void StreamEnded(int stream, qint64 streamPosition);
  void Failed(const QString& message);

private slots:
  void Tick();

private:
  struct TMark {
    qint64 offset;  // bytes since the sink started
    int stream;
    qint64 streamPosition;
    int position, length;  // length < 0: end of stream
  };
  struct TStreamState {
    qint64 base = -1;   // sink offset of the stream's first byte
    qint64 bytes = 0;
  };
  qint64 StreamBase(int stream);
  void CloseSink();

  QAudioFormat FFormat;
  QAudioSink* FSink = nullptr;
  QPointer<QIODevice> FDevice;
  QTimer* FTimer = nullptr;
  bool FPaused = false;

  mutable std::mutex FMutex;  // guards what follows
  std::deque<QByteArray> FPending;
  qint64 FPendingOffset = 0;  // bytes of FPending.front() already written
  qint64 FAppended = 0;       // bytes appended since the sink started
  qint64 FWritten = 0;        // bytes handed to the sink
  std::deque<TMark> FMarks;   // in offset order
  std::map<int, TStreamState> FStreams;
  std::condition_variable FRoom;  // the sink took audio, or streams went
  std::atomic<qint64> FProcessedUSecs{0};
  std::atomic<qint64> FReadAtNs{0};
  std::atomic<qint64> FWrittenUSecs{0};
  std::atomic<bool> FFlowing{false};
};
