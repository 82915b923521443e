#include "spsettings.h"

#include <QDir>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>

QString SpeechSettingsPath() {
  const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return QDir(base).filePath(QStringLiteral("varnelo-speech/speech.ini"));
}

std::unique_ptr<QSettings> OpenSpeechSettings() {
  return std::make_unique<QSettings>(SpeechSettingsPath(), QSettings::IniFormat);
}

int PercentSetting(const QSettings& s, const char* key) {
  bool ok = false;
  const int v = s.value(key).toString().trimmed().toInt(&ok);
  return ok ? std::clamp(v, 0, 100) : 50;
}

std::vector<float> KeptCepstralMean(const QSettings& s, const QByteArray& input) {
  if (s.value(kCepstralMeanInput).toByteArray() != input) return {};
  std::vector<float> mean;
  for (const QString& part : s.value(kCepstralMean).toString().split(',')) {
    bool ok = false;
    const double v = part.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || std::abs(v) > 1000) return {};
    mean.push_back(float(v));
  }
  return mean;
}

QList<std::pair<QString, QByteArray>> UserWords(QSettings& s) {
  QList<std::pair<QString, QByteArray>> words;
  s.beginGroup(kWordsGroup);
  for (const QString& key : s.childKeys()) {
    const QString word = key.trimmed().toLower();
    const QString phones = s.value(key).toString().simplified().toUpper();
    if (word.isEmpty() || phones.isEmpty() || std::any_of(word.begin(), word.end(), [](QChar c) { return c.isSpace(); }))
      continue;
    words.push_back({word, phones.toUtf8()});
  }
  s.endGroup();
  return words;
}
