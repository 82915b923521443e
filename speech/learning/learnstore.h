// The learned store's files as bytes: the sentences (one a line of
// recogniser words, those from a saved comment tagged) and what a model's
// description says about them. Both live in the user's folder and may be
// damaged or edited by hand.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <deque>
#include <string>
#include <string_view>
#include <vector>

// What is learned, as the learned model's description says.
struct TLearnStatus {
  qint64 sentences = 0, words = 0, newWords = 0;
  qint64 commentSentences = 0, commentWords = 0;  // of those, from saved comments
  double weight = 0;       // the learned text's share in the mix
  bool inUse = false;      // the model is built for the current shipped model
};

struct TStoredSentence {
  std::string words;     // recogniser words separated by blanks
  bool comment = false;  // from a saved comment
  bool operator==(const TStoredSentence&) const = default;
};

// Blanks count the words, as the store is written.
qint64 StoredWordCount(const std::string& words);
// The sentences, oldest first; blank lines are none. *words gets their words.
std::deque<TStoredSentence> ParseStoredSentences(std::string_view bytes, qint64* words);
// The store as it is written: sentences without line breaks, as the parser gives them.
QByteArray StoredSentencesText(const std::vector<std::string>& sentences, const std::vector<bool>& fromComment);
// The counts and share of a model's description, none negative, the share
// within 0..1 (inUse is not in it).
TLearnStatus LearnStatusFromInfo(const QMap<QString, QString>& info);
