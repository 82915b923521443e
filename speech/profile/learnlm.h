// The learned language model: a trigram model estimated from the user's
// sentences (Witten-Bell smoothing) and interpolated, n-gram by n-gram, with
// the model the recogniser ships with, read through sphinxbase:
//   P(w | h) = weight * P_user(w | h) + (1 - weight) * P_shipped(w | h)
// with backoff weights computed again so that every history sums to one.
// Written as an ARPA file and converted to sphinxbase's binary form.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace learn {

// The share of the user's model in the mix for this many learned words:
// small for little text, growing towards kMaxUserWeight with more.
double UserWeight(uint64_t learnedWords);
inline constexpr double kMaxUserWeight = 0.7;
inline constexpr double kHalfWeightWords = 20000;

struct TLmStats {
  uint64_t sentences = 0, words = 0;
  uint64_t ngrams[3] = {0, 0, 0};
  double weight = 0;
};

// Builds the mixed model from sentences (words separated by blanks, one
// sentence per string) and the shipped model baseLm, writing outBin. Words
// the shipped model lacks must be in the recogniser's dictionary already.
// progress(percent) may return false to cancel: then false is returned and
// nothing is written. Throws std::runtime_error on failure.
bool BuildMixedModel(const std::vector<std::string>& sentences, const std::string& baseLm, const std::string& outBin,
                     TLmStats& stats, const std::function<bool(int)>& progress, double weight = -1);

}  // namespace learn
