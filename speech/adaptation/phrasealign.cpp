#include "phrasealign.h"

#include "clinicalforms.h"
#include "formsdata.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <map>

namespace phrasealign {
namespace {

// Claimed comment words become this, which no phrase word equals.
const std::string kClaimed = "\x01";

// The phrase's words split into those the spoken comment can hold and the
// spoken punctuation, which is carried after the word before it (-1: before
// the first).
struct TSplit {
  std::vector<std::string> words;
  std::map<int, std::vector<std::string>> after;
};

TSplit Split(const std::vector<std::string>& said) {
  TSplit s;
  size_t i = 0;
  while (i < said.size()) {
    size_t k = 0;
    // The same rules dictation writes them by (writtenform.cpp).
    for (const textforms::TPunctuation& p : textforms::Forms().punctuation) {
      const size_t n = p.words.size();
      if (i + n > said.size() || (p.endOnly && i + n != said.size())) continue;
      if (i == 0 && p.symbol[0] != '\n') continue;
      if (std::equal(p.words.begin(), p.words.end(), said.begin() + long(i))) {
        k = n;
        break;
      }
    }
    if (k == 0) {
      s.words.push_back(said[i++]);
      continue;
    }
    auto& carried = s.after[int(s.words.size()) - 1];
    carried.insert(carried.end(), said.begin() + long(i), said.begin() + long(i + k));
    i += k;
  }
  return s;
}

struct TPlace {
  int cost = INT_MAX, matched = 0, mapped = 0, first = -1, last = -1, distance = INT_MAX;
  std::vector<int> map;  // phrase word -> comment word, -1 none
  bool Better(const TPlace& o) const {
    if (cost != o.cost) return cost < o.cost;
    if (matched != o.matched) return matched > o.matched;
    if (mapped != o.mapped) return mapped > o.mapped;
    return distance < o.distance;
  }
};

// The best place of p among c: the comment's words before and after it cost
// nothing. hint: the comment word the phrase went in at, -1 unknown.
TPlace Place(const std::vector<std::string>& p, const std::vector<std::string>& c, int hint) {
  const size_t m = p.size(), n = c.size();
  std::vector<std::vector<int>> d(m + 1, std::vector<int>(n + 1, 0));
  for (size_t i = 1; i <= m; ++i) {
    d[i][0] = int(i);
    for (size_t j = 1; j <= n; ++j)
      d[i][j] = std::min({d[i - 1][j - 1] + (p[i - 1] != c[j - 1]), d[i - 1][j] + 1, d[i][j - 1] + 1});
  }
  int best = INT_MAX;
  for (size_t j = 0; j <= n; ++j) best = std::min(best, d[m][j]);
  TPlace chosen;
  for (size_t end = 0; end <= n; ++end) {
    if (d[m][end] != best) continue;
    TPlace t;
    t.cost = best;
    t.map.assign(m, -1);
    size_t i = m, j = end;
    // Of equal paths: a word kept, then a word the user added, then one
    // changed, then one dropped.
    while (i > 0) {
      if (j > 0 && p[i - 1] == c[j - 1] && d[i][j] == d[i - 1][j - 1]) {
        t.map[i - 1] = int(j - 1);
        ++t.matched;
        ++t.mapped;
        --i, --j;
      } else if (j > 0 && d[i][j] == d[i][j - 1] + 1) {
        --j;
      } else if (j > 0 && d[i][j] == d[i - 1][j - 1] + 1) {
        t.map[i - 1] = int(j - 1);
        ++t.mapped;
        --i, --j;
      } else {
        --i;
      }
    }
    for (int w : t.map)
      if (w >= 0) {
        if (t.first < 0) t.first = w;
        t.last = w;
      }
    if (t.first < 0) continue;
    // Words another phrase claimed are its own, not to be shared.
    if (std::any_of(c.begin() + t.first, c.begin() + t.last + 1, [](const std::string& w) { return w == kClaimed; }))
      continue;
    if (hint >= 0) t.distance = std::abs(t.first - hint);
    if (t.Better(chosen)) chosen = std::move(t);
  }
  return chosen;
}

}  // namespace

std::vector<TAligned> AlignPhrases(std::u32string_view comment, const std::vector<TPhrase>& phrases) {
  std::vector<std::string> c;
  std::vector<int> begin;
  for (const textforms::TSpokenSentence& s : textforms::SpokenSentences(comment))
    for (const textforms::TSpokenWord& w : s) {
      c.push_back(w.word);
      begin.push_back(w.begin);
    }
  const std::vector<std::string> spoken = c;  // c loses claimed words
  std::vector<TSplit> split;
  std::vector<TAligned> out(phrases.size());
  std::vector<int> hints;
  for (size_t k = 0; k < phrases.size(); ++k) {
    split.push_back(Split(phrases[k].words));
    out[k].words = int(split.back().words.size());
    int hint = -1;
    if (phrases[k].at >= 0) hint = int(std::lower_bound(begin.begin(), begin.end(), phrases[k].at) - begin.begin());
    hints.push_back(hint);
  }
  // Best placed first: a poor fit never takes the words of a good one.
  std::vector<bool> done(phrases.size(), false);
  for (;;) {
    int pick = -1;
    TPlace pickPlace;
    double pickRate = 2;
    for (size_t k = 0; k < phrases.size(); ++k) {
      if (done[k] || split[k].words.empty()) continue;
      TPlace t = Place(split[k].words, c, hints[k]);
      if (t.first < 0) continue;
      const double rate = double(t.cost) / double(split[k].words.size());
      if (pick < 0 || rate < pickRate) {
        pick = int(k);
        pickRate = rate;
        pickPlace = std::move(t);
      }
    }
    if (pick < 0) break;
    done[size_t(pick)] = true;
    const TSplit& s = split[size_t(pick)];
    TAligned& a = out[size_t(pick)];
    a.survived = pickPlace.matched;
    if (2 * a.survived < a.words) continue;  // mostly rewritten: its words stay free
    a.kept = true;
    // Spoken punctuation goes after the comment word its phrase word went
    // to, or after the last one placed before it.
    std::map<int, std::vector<std::string>> carried;
    int anchor = -1;
    if (auto lead = s.after.find(-1); lead != s.after.end()) carried[-1] = lead->second;
    for (int i = 0; i < int(s.words.size()); ++i) {
      if (pickPlace.map[size_t(i)] >= 0) anchor = pickPlace.map[size_t(i)];
      if (auto p = s.after.find(i); p != s.after.end()) {
        auto& to = carried[anchor < 0 ? -1 : anchor];
        to.insert(to.end(), p->second.begin(), p->second.end());
      }
    }
    if (auto lead = carried.find(-1); lead != carried.end())
      a.transcript.insert(a.transcript.end(), lead->second.begin(), lead->second.end());
    for (int w = pickPlace.first; w <= pickPlace.last; ++w) {
      a.transcript.push_back(spoken[size_t(w)]);
      if (auto p = carried.find(w); p != carried.end()) a.transcript.insert(a.transcript.end(), p->second.begin(), p->second.end());
      c[size_t(w)] = kClaimed;
    }
  }
  return out;
}

}  // namespace phrasealign
