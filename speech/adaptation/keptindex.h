// The index of the kept recordings as bytes: one "FILE<tab>PROMPT" line for
// each, FILE a plain WAV name in the recordings' folder. The file is the
// user's and may be damaged: lines that are no entry are told apart.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

struct TKeptEntry {
  QString file, prompt;
  bool operator==(const TKeptEntry&) const = default;
};

struct TKeptIndex {
  QList<TKeptEntry> entries;
  QList<int> brokenLines;  // 1-based numbers of lines that are no entry
};

// Blank lines are neither entries nor broken.
TKeptIndex ParseKeptIndex(const QByteArray& bytes);
// The index as it is written; its entries must be ones the parser gives.
QByteArray KeptIndexText(const QList<TKeptEntry>& entries);
