// Lists the words of a language model that a dictionary holds, most likely
// first, with their unigram log10 probability:
//   rankwords MODEL.lm.bin DICTIONARY > ranked.txt
// The build keeps the commonest English words beside the radiology ones.
#include <sphinxbase/cmd_ln.h>
#include <sphinxbase/err.h>
#include <sphinxbase/logmath.h>
#include <sphinxbase/ngram_model.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: rankwords MODEL DICTIONARY\n");
    return 2;
  }
  err_set_logfp(nullptr);
  logmath_t* lmath = logmath_init(1.0001, 0, 0);
  ngram_model_t* lm = ngram_model_read(nullptr, argv[1], NGRAM_AUTO, lmath);
  if (!lm) {
    std::fprintf(stderr, "rankwords: cannot read %s\n", argv[1]);
    return 1;
  }
  std::ifstream dict(argv[2]);
  if (!dict) {
    std::fprintf(stderr, "rankwords: cannot read %s\n", argv[2]);
    return 1;
  }
  std::vector<std::pair<double, std::string>> ranked;
  const int32 unknown = ngram_unknown_wid(lm);
  std::string line, last;
  while (std::getline(dict, line)) {
    std::istringstream in(line);
    std::string word;
    in >> word;
    word = word.substr(0, word.find('('));
    if (word.empty() || word == last) continue;
    last = word;
    const int32 wid = ngram_wid(lm, word.c_str());
    if (wid == unknown || wid < 0) continue;
    const int32 history = -1;
    int32 n_used = 0;
    const int32 score = ngram_ng_prob(lm, wid, const_cast<int32*>(&history), 0, &n_used);
    ranked.emplace_back(logmath_log_to_log10(lmath, score), word);
  }
  std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  for (const auto& [p, w] : ranked) std::printf("%s %.4f\n", w.c_str(), p);
  ngram_model_free(lm);
  logmath_free(lmath);
  return 0;
}
