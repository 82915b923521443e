// The files a training reads and writes in sphinxtrain's formats, and the
// programs it runs.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

// The rate of every recording a training takes.
inline constexpr int kTrainingRate = 16000;

// Enough sound to align with a prompt.
bool HoldsSpeech(const std::vector<short>& r);
// Where sphinxtrain's program of this name is; throws ESpeechError when it
// is not installed.
QString FindTool(const QString& name);
// -feat, -svspec, -cmn, ... of the model, as bw must compute them too.
QMap<QString, QString> FeatureParams(const QString& model);
// How well bw's model explained the recordings it aligned, from what bw
// printed: the mean log likelihood of a frame ("overall> HOST FRAMES
// (-SKIPPED) MEAN TOTAL"), less for each frame of a recording it could not
// align at all; minus infinity when bw said nothing of it.
double AlignmentScore(const QString& bwOutput);
// Throws ESpeechError naming the file.
void WriteFile(const QString& path, const QByteArray& data);
// stem.fileids and stem.transcription: the recordings which[k] (their wav
// files numbered from 001) with their prompts, as bw reads them.
void WriteTrainingList(const QString& stem, const QStringList& prompts, const std::vector<int>& which);
// 16 kHz mono 16-bit PCM.
void WriteWav(const QString& path, const std::vector<short>& s);
// The model ships its mixture weights only as PocketSphinx's 8-bit sendump;
// the trainer wants them as floats (sphinxtrain's mixture_weights format).
void SendumpToMixtureWeights(const QString& sendump, const QString& out);
// Words of a dictionary file (without alternative pronunciations' marks).
QSet<QString> DictionaryWords(const QString& path, QByteArray* text);
// The lines of a dictionary's text whose word (any of its pronunciations)
// is one of these.
QByteArray DictionaryOf(const QByteArray& text, const QSet<QString>& words);
// The words of a language model (ARPA or binary); empty when it cannot be
// read.
QSet<QString> LanguageModelWords(const QString& path);
