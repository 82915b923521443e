// The speech service's own settings file, below the user's configuration
// folder: speech.ini in <config>/varnelo-speech.
#pragma once

#include <QSettings>
#include <QString>

#include <memory>

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
