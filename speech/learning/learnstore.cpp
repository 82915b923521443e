#include "learnstore.h"

#include <algorithm>
#include <cmath>

namespace {
// A stored sentence that came from a saved comment begins with this.
constexpr std::string_view kCommentTag = "comment\t";

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view LeftTrimmed(std::string_view s) {
  while (!s.empty() && Blank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view Trimmed(std::string_view s) {
  s = LeftTrimmed(s);
  while (!s.empty() && Blank(s.back())) s.remove_suffix(1);
  return s;
}
}  // namespace

qint64 StoredWordCount(const std::string& words) { return qint64(std::count(words.begin(), words.end(), ' ') + 1); }

std::deque<TStoredSentence> ParseStoredSentences(std::string_view bytes, qint64* words) {
  std::deque<TStoredSentence> out;
  *words = 0;
  while (!bytes.empty()) {
    const size_t end = std::min(bytes.find('\n'), bytes.size());
    std::string_view line = LeftTrimmed(bytes.substr(0, end));
    bytes.remove_prefix(std::min(end + 1, bytes.size()));
    TStoredSentence s;
    // The tag with nothing after it is an empty comment, not the word "comment".
    if (line.starts_with(kCommentTag)) {
      s.comment = true;
      line.remove_prefix(kCommentTag.size());
    }
    line = Trimmed(line);
    if (line.empty()) continue;
    s.words.assign(line);
    *words += StoredWordCount(s.words);
    out.push_back(std::move(s));
  }
  return out;
}

QByteArray StoredSentencesText(const std::vector<std::string>& sentences, const std::vector<bool>& fromComment) {
  QByteArray store;
  for (size_t i = 0; i < sentences.size(); ++i) {
    if (i < fromComment.size() && fromComment[i])
      store += QByteArray::fromRawData(kCommentTag.data(), qsizetype(kCommentTag.size()));
    store += QByteArray::fromStdString(sentences[i]) + '\n';
  }
  return store;
}

TLearnStatus LearnStatusFromInfo(const QMap<QString, QString>& info) {
  const auto count = [&](const char* key) { return std::max<qint64>(0, info.value(key).trimmed().toLongLong()); };
  TLearnStatus s;
  s.sentences = count("sentences");
  s.words = count("words");
  s.newWords = count("new-words");
  s.commentSentences = count("comment-sentences");
  s.commentWords = count("comment-words");
  const double weight = info.value("weight").trimmed().toDouble();
  s.weight = std::isfinite(weight) ? std::clamp(weight, 0.0, 1.0) : 0.0;
  return s;
}
