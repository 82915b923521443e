// The speech service's own settings file, below the user's configuration
// folder: speech.ini in <config>/varnelo-speech.
#pragma once

#include <QSettings>
#include <QString>

#include <QByteArray>
#include <QList>

#include <memory>
#include <utility>
#include <vector>

QString SpeechSettingsPath();
std::unique_ptr<QSettings> OpenSpeechSettings();

// Keys.
inline constexpr const char* kVoiceDefault = "Synthesis/DefaultVoice";
inline constexpr const char* kVoiceDataPath = "Synthesis/DataPath";
// Languages of espeak-ng voices listed beside English and the locale's: "fr, de"; "*" all.
inline constexpr const char* kVoiceExtraLanguages = "Synthesis/ExtraLanguages";
inline constexpr const char* kInputDevice = "Audio/InputDevice";
inline constexpr const char* kInputVolume = "Audio/InputVolume";        // 0..100
// The microphone's cepstral mean at the end of the last dictation, and the
// input it was heard on: the next dictation on that input starts from it.
inline constexpr const char* kCepstralMean = "Audio/CepstralMean";
inline constexpr const char* kCepstralMeanInput = "Audio/CepstralMeanInput";
inline constexpr const char* kModelFolder = "Engine/AcousticModel";
inline constexpr const char* kModelDictionary = "Engine/Dictionary";
inline constexpr const char* kModelLanguage = "Engine/LanguageModel";
inline constexpr const char* kSensitivity = "Engine/Sensitivity";       // 0..100
inline constexpr const char* kWordsGroup = "Words";                     // word = pronunciation
// Whether the comments the user saves are learned (true unless set false).
inline constexpr const char* kLearnSavedComments = "Learning/SavedComments";
// Whether phrases dictated into saved comments are kept for training (true
// unless set false).
inline constexpr const char* kKeepDictatedPhrases = "Training/KeepDictatedPhrases";

// The values as every reader takes them: the file is the user's to edit, so a
// value that is missing, malformed or out of range gives the default.
// A 0..100 setting (volume, sensitivity); 50 unless a whole number, clamped.
int PercentSetting(const QSettings& s, const char* key);
// The cepstral mean kept for this input; empty when it was kept for another
// one or is not a list of plausible numbers.
std::vector<float> KeptCepstralMean(const QSettings& s, const QByteArray& input);
// The words the user added, lower case, each with its phones (upper case,
// single blanks); entries that are no single word or have no phones are
// left out.
QList<std::pair<QString, QByteArray>> UserWords(QSettings& s);
