#include "keptindex.h"

#include <algorithm>

namespace {
// "FILE<tab>PROMPT", the file a plain name in the folder; invisible
// characters (a byte-order mark, controls) make no name of ours.
bool ParseKeptLine(const QString& line, TKeptEntry* entry) {
  const int tab = int(line.indexOf('\t'));
  if (tab <= 0) return false;
  entry->file = line.left(tab);
  entry->prompt = line.mid(tab + 1).simplified();
  const QString& f = entry->file;
  return !entry->prompt.isEmpty() && f.endsWith(".wav") && !f.contains('/') && !f.startsWith('.') &&
         std::all_of(f.begin(), f.end(), [](QChar c) { return c.isPrint(); });
}
}  // namespace

TKeptIndex ParseKeptIndex(const QByteArray& bytes) {
  TKeptIndex index;
  const QStringList lines = QString::fromUtf8(bytes).split('\n');
  for (int i = 0; i < lines.size(); ++i) {
    if (lines[i].trimmed().isEmpty()) continue;
    TKeptEntry e;
    if (ParseKeptLine(lines[i], &e))
      index.entries << e;
    else
      index.brokenLines << i + 1;
  }
  return index;
}

QByteArray KeptIndexText(const QList<TKeptEntry>& entries) {
  QByteArray text;
  for (const TKeptEntry& e : entries) text += (e.file + '\t' + e.prompt + '\n').toUtf8();
  return text;
}
