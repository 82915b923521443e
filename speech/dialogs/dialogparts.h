// What the recogniser's dialogs share: the input level meter and the frame
// of a dialog.
#pragma once

#include <QAudioDevice>
#include <QProgressBar>
#include <QString>

#include <vector>

class QAudioSource;
class QDialog;
class QDialogButtonBox;
class QIODevice;
class QWidget;

// A live input level: peak of the last block, 0..100, with the gain applied.
class TLevelMeter : public QProgressBar {
public:
  explicit TLevelMeter(QWidget* parent);
  ~TLevelMeter() override;

  void Listen(const QAudioDevice& device);
  void Stop();

  double Gain = 1.0;
  int MaxLevel = 0, Clipped = 0, Blocks = 0;
  bool Keep = false;  // keep the samples heard (a recording)
  std::vector<short> Samples;

private:
  QAudioSource* FSource = nullptr;
  QIODevice* FDevice = nullptr;
};

QDialog* MakeDialog(QWidget* parent, const QString& title);
QDialogButtonBox* OkCancel(QDialog* d);
// The factor the input volume setting (0..100) multiplies samples by.
double GainOf(int volume);
