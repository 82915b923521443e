#include "audioinput.h"

#include "spsettings.h"

#include <pulse/pulseaudio.h>

#include <QAudioSource>
#include <QElapsedTimer>
#include <QMediaDevices>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kRate = 16000;
}  // namespace

QByteArray ServerDefaultSource() {
  // Qt's default input is not the sound server's: ask the server.
  struct TQuery {
    QByteArray name;
    bool done = false;
  } q;
  pa_mainloop* loop = pa_mainloop_new();
  if (!loop) return {};
  pa_context* ctx = pa_context_new(pa_mainloop_get_api(loop), "varnelo-speech");
  if (ctx && pa_context_connect(ctx, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
    pa_operation* op = nullptr;
    // At most two seconds for a server that does not answer. The bound is
    // time, not loop turns: the handshake may take any number of turns.
    QElapsedTimer clock;
    clock.start();
    while (!q.done && clock.elapsed() < 2000) {
      if (pa_mainloop_prepare(loop, 100000) < 0 || pa_mainloop_poll(loop) < 0 || pa_mainloop_dispatch(loop) < 0)
        break;
      const pa_context_state_t st = pa_context_get_state(ctx);
      if (!PA_CONTEXT_IS_GOOD(st)) break;
      if (st == PA_CONTEXT_READY && !op)
        op = pa_context_get_server_info(ctx, [](pa_context*, const pa_server_info* info, void* user) {
          auto* r = static_cast<TQuery*>(user);
          if (info && info->default_source_name) r->name = info->default_source_name;
          r->done = true;
        }, &q);
    }
    if (op) pa_operation_unref(op);
    pa_context_disconnect(ctx);
  }
  if (ctx) pa_context_unref(ctx);
  pa_mainloop_free(loop);
  return q.name;
}

QAudioDevice RecoInputDevice() {
  const QByteArray wanted = OpenSpeechSettings()->value(kInputDevice).toByteArray();
  const auto inputs = QMediaDevices::audioInputs();
  for (const auto& d : inputs)
    if (!wanted.isEmpty() && d.id() == wanted) return d;
  const QByteArray server = ServerDefaultSource();
  for (const auto& d : inputs)
    if (!server.isEmpty() && d.id() == server) return d;
  const QAudioDevice def = QMediaDevices::defaultAudioInput();
  if (!def.isNull()) return def;
  return inputs.isEmpty() ? QAudioDevice() : inputs.front();
}

QString TRecoInput::Start() {
  Stop();
  const QAudioDevice device = RecoInputDevice();
  if (device.isNull()) return QStringLiteral("No audio input device is available");
  QAudioFormat format;
  format.setSampleRate(kRate);
  format.setChannelCount(1);
  format.setSampleFormat(QAudioFormat::Int16);
  FGain = PercentSetting(*OpenSpeechSettings(), kInputVolume) / 50.0;
  FSource = new QAudioSource(device, format, this);
  FSource->setBufferSize(format.bytesForDuration(50000));
  FDevice = FSource->start();
  if (!FDevice || FSource->error() != QAudio::NoError || FSource->state() == QAudio::StoppedState) {
    Stop();
    return QStringLiteral("The audio input could not be opened");
  }
  connect(FDevice, &QIODevice::readyRead, this, [this] { Read(); });
  return QString();
}

void TRecoInput::Stop() {
  if (FSource) {
    if (FDevice) Read();
    FSource->stop();
    delete FSource;
  }
  FSource = nullptr;
  FDevice = nullptr;
}

void TRecoInput::Read() {
  const QByteArray data = FDevice->readAll();
  const int n = int(data.size() / 2);
  if (n <= 0) return;
  std::vector<short> samples(n);
  const auto* in = reinterpret_cast<const short*>(data.constData());
  int peak = 0;
  for (int i = 0; i < n; ++i) {
    const int v = std::clamp(int(std::lround(in[i] * FGain)), -32768, 32767);
    samples[i] = short(v);
    peak = std::max(peak, std::abs(v));
  }
  FSink(samples.data(), n, peak * 100 / 32768);
}
