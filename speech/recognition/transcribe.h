// Dictation of recorded sound: a WAV file read and converted to what the
// recogniser hears (16 kHz mono), and fed to it as the microphone feeds it.
#pragma once

#include "recoengine.h"

#include <QString>
#include <QStringList>

#include <vector>

// 16-bit PCM WAV, any rate, one or two channels; returns 16 kHz mono.
// Throws ESpeechError with a message that names the file.
std::vector<short> ReadWavFile(const QString& path);
// Linear-phase low-pass and resampling to 16 kHz; channels already mixed.
std::vector<short> ResampleTo16k(const std::vector<short>& in, int rate);

// Word errors of a transcript against what was said: substitutions,
// insertions and deletions (word-level edit distance).
int WordErrors(const QStringList& said, const QStringList& heard);

struct TTranscribedPhrase {
  QStringList words;
  qint64 startMs = 0, endMs = 0;
};

// Feeds the samples in 50 ms blocks, then a second of silence, as a
// microphone would, and returns the phrases in order. With realTime the
// blocks are paced by the clock and latencyMs gets, for each phrase, the
// time from the end of its audio being fed to its result.
std::vector<TTranscribedPhrase> Transcribe(TSpRecoEngine& engine, const std::vector<short>& samples,
                                           bool realTime = false, std::vector<double>* latencyMs = nullptr);
