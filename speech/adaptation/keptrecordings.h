// The recordings of finished trainings, kept with their prompts beside the
// trained model so that a later training can use them again: WAV files and
// an index of "FILE<tab>PROMPT" lines, the only thing that makes a file kept.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

QString KeptRecordingsFolder();
// Empty when the folder is the user's own (or not there yet); otherwise why
// it is not: a link elsewhere, or another user's.
QString ForeignFolder(const QString& folder);
struct TKeptRecordings {
  QStringList prompts;
  std::vector<std::vector<short>> recordings;
  QStringList problems;  // one message for each kept entry left out
};
// Every kept recording that can be read; broken or missing ones are left out
// and named in problems, as is a folder that is a link or another user's,
// which is not read at all. Never throws.
TKeptRecordings LoadKeptRecordings();
// How many recordings the index lists (without reading them).
int KeptRecordingCount();
// Moves the WAV files (on the same file system) into the folder and adds
// them to the index in one atomic replace. Throws ESpeechError; on failure
// nothing is added.
void AddKeptRecordings(const QStringList& prompts, const QStringList& wavFiles);
void RemoveKeptRecordings();

// The same for another folder of kept recordings (the dictated phrases).
// With maxBytes, the oldest entries are dropped in the same replace until
// the WAV files listed take no more.
TKeptRecordings LoadKeptRecordings(const QString& folder);
struct TKeptSize {
  int entries = 0;
  qint64 bytes = 0;  // of the WAV files listed
};
TKeptSize KeptRecordingsSize(const QString& folder);
void AddKeptRecordings(const QString& folder, const QStringList& prompts, const QStringList& wavFiles,
                       qint64 maxBytes = -1);
void RemoveKeptRecordings(const QString& folder);
