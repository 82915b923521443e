// The microphone: the input device the recogniser listens to, and the
// QAudioSource that feeds it.
#pragma once

#include <QAudioDevice>
#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class QAudioSource;
class QIODevice;

// The input device the settings name, else the system's default, else the
// first one listed; a null device when there is none.
QAudioDevice RecoInputDevice();
// The sound server's default source name, empty without a server.
QByteArray ServerDefaultSource();

// The microphone: a QAudioSource on the input thread, handing its samples to
// the decoder with the service's input volume applied.
class TRecoInput : public QObject {
public:
  // Called on the input thread with each block and its peak level (0..100).
  using TSink = std::function<void(const short* samples, int count, int level)>;
  explicit TRecoInput(TSink sink) : FSink(std::move(sink)) {}

  QString Start();  // an error message, empty when listening
  void Stop();

private:
  void Read();

  TSink FSink;
  QAudioSource* FSource = nullptr;
  QIODevice* FDevice = nullptr;
  double FGain = 1.0;
};
