#include "dialogparts.h"

#include <QAudioSource>
#include <QDialog>
#include <QDialogButtonBox>

#include <algorithm>
#include <cmath>

TLevelMeter::TLevelMeter(QWidget* parent) : QProgressBar(parent) {
  setRange(0, 100);
  setTextVisible(false);
}

TLevelMeter::~TLevelMeter() { Stop(); }

void TLevelMeter::Listen(const QAudioDevice& device) {
  Stop();
  if (device.isNull()) return;
  QAudioFormat format;
  format.setSampleRate(16000);
  format.setChannelCount(1);
  format.setSampleFormat(QAudioFormat::Int16);
  FSource = new QAudioSource(device, format, this);
  FDevice = FSource->start();
  if (!FDevice || FSource->error() != QAudio::NoError) {
    Stop();
    return;
  }
  connect(FDevice, &QIODevice::readyRead, this, [this] {
    const QByteArray data = FDevice->readAll();
    const auto* s = reinterpret_cast<const short*>(data.constData());
    int peak = 0;
    for (qsizetype i = 0; i < data.size() / 2; ++i) peak = std::max(peak, std::abs(int(s[i])));
    // What the recogniser would hear: the input volume applied.
    if (Keep)
      for (qsizetype i = 0; i < data.size() / 2; ++i)
        Samples.push_back(short(std::clamp(int(std::lround(s[i] * Gain)), -32768, 32767)));
    const int level = std::min(100, int(std::lround(peak * Gain / 327.68)));
    setValue(level);
    MaxLevel = std::max(MaxLevel, level);
    if (peak * Gain >= 32000) ++Clipped;
    Blocks += 1;
  });
}

void TLevelMeter::Stop() {
  if (FSource) {
    FSource->stop();
    delete FSource;
  }
  FSource = nullptr;
  FDevice = nullptr;
}

QDialog* MakeDialog(QWidget* parent, const QString& title) {
  auto* d = new QDialog(parent);
  d->setWindowTitle(title);
  d->setAttribute(Qt::WA_DeleteOnClose, false);
  return d;
}

QDialogButtonBox* OkCancel(QDialog* d) {
  auto* b = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, d);
  QObject::connect(b, &QDialogButtonBox::accepted, d, &QDialog::accept);
  QObject::connect(b, &QDialogButtonBox::rejected, d, &QDialog::reject);
  return b;
}

double GainOf(int volume) { return std::clamp(volume, 0, 100) / 50.0; }
