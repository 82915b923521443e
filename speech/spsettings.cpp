#include "spsettings.h"

#include <QDir>
#include <QStandardPaths>

QString SpeechSettingsPath() {
  const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return QDir(base).filePath(QStringLiteral("varnelo-speech/speech.ini"));
}

std::unique_ptr<QSettings> OpenSpeechSettings() {
  return std::make_unique<QSettings>(SpeechSettingsPath(), QSettings::IniFormat);
}
