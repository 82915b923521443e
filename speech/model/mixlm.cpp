// Mixes the general English trigram model into the radiology one:
//   mixlm GENERAL.lm.bin RANKED.txt N RADIOLOGY.arpa LAMBDA OUT.arpa
// The general model keeps the n-grams made only of its N commonest words
// (RANKED.txt, from rankwords) and the radiology model's words. Every n-gram
// either model lists gets
//   P(w | h) = LAMBDA P_radiology(w | h) + (1 - LAMBDA) P_general(w | h),
// each model backing off as a decoder does for n-grams it lacks; backoff
// weights are computed again so that each history's probabilities add up to
// one.
//
// The general model ships only in sphinxbase's binary trie, which this
// sphinxbase cannot write back as ARPA (its writer asserts on the blank
// n-grams the trie adds). The library has no public way to list the n-grams,
// so the trie is walked here through its own layout; every probability read
// that way is checked against the library's public scoring before use, so a
// different layout stops the build instead of giving a wrong model.
#include <sphinxbase/bitarr.h>
#include <sphinxbase/err.h>
#include <sphinxbase/logmath.h>
#include <sphinxbase/ngram_model.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <algorithm>
#include <sstream>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

extern "C" {
// Exported by libsphinxbase, not declared in its public headers.
float lm_trie_quant_mpread(void* quant, bitarr_address_t address, int order_minus_2);
float lm_trie_quant_mboread(void* quant, bitarr_address_t address, int order_minus_2);
float lm_trie_quant_lpread(void* quant, bitarr_address_t address);
}

namespace {

// The trie's layout (sphinxbase lm_trie.h).
struct TrieUnigram {
  float prob, bo;
  uint32 next;
};
struct TrieBase {
  uint8 wordBits, totalBits;
  uint32 wordMask;
  uint8* base;
  uint32 insertIndex, maxVocab;
};
struct TrieMiddle {
  TrieBase base;
  bitarr_mask_t nextMask;
  uint8 quantBits;
  void* nextSource;
};
struct TrieLongest {
  TrieBase base;
  uint8 quantBits;
};
struct Trie {
  uint8* ngramMem;
  size_t ngramMemSize;
  TrieUnigram* unigrams;
  TrieMiddle* middleBegin;
  TrieMiddle* middleEnd;
  TrieLongest* longest;
  void* quant;
};

using Key = uint64_t;
constexpr int kBits = 21;
constexpr Key kMask = (Key(1) << kBits) - 1;
Key Pack(const std::vector<uint32>& w) {
  Key k = 0;
  for (uint32 x : w) k = (k << kBits) | (x + 1);
  return k;
}
// The n-gram without its first word (the lower order), and without its last
// (the history).
Key Lower(Key k, int order) { return k & ((Key(1) << (kBits * (order - 1))) - 1); }
Key History(Key k) { return k >> kBits; }

struct Gram {
  double p;    // probability, not log
  double bo;   // backoff weight, not log
};

// A trigram model over a shared vocabulary: orders 1..3, keyed by packed ids.
struct Model {
  std::vector<std::unordered_map<Key, Gram>> grams{4};
  // P(w | h) as a decoder computes it: the longest listed n-gram, times the
  // backoff weights of the histories that were dropped.
  double Prob(Key g, int order) const {
    auto it = grams[order].find(g);
    if (it != grams[order].end()) return it->second.p;
    if (order == 1) return 0.0;
    auto h = grams[order - 1].find(History(g));
    const double bo = h == grams[order - 1].end() ? 1.0 : h->second.bo;
    return bo * Prob(Lower(g, order), order - 1);
  }
};

struct Vocab {
  std::unordered_map<std::string, uint32> id;
  std::vector<std::string> word;
  uint32 Get(const std::string& w) {
    auto [it, added] = id.emplace(w, uint32(word.size()));
    if (added) word.push_back(w);
    return it->second;
  }
};

double Pow10(double x) { return x <= -98 ? 0.0 : std::pow(10.0, x); }

// The trie holds log probabilities in the log base of the logmath it was
// read with (1.0001 here).
const double kLog10Unit = std::log10(1.0001);

// Finds the trie inside the loaded model: it follows the common model header
// (ngram_model_internal.h: 96 bytes on 64-bit, its second field the counts).
Trie* FindTrie(ngram_model_t* lm, logmath_t* lmath) {
  const uint32* counts = ngram_model_get_counts(lm);
  auto** slots = reinterpret_cast<void**>(lm);
  if (slots[1] != counts) return nullptr;
  auto* t = static_cast<Trie*>(slots[12]);
  if (!t || !t->unigrams || !t->middleBegin || !t->longest || !t->quant) return nullptr;
  // Its unigram table scores as the library does.
  for (uint32 w = 0; w < counts[0]; w += counts[0] / 50 + 1) {
    int32 used = 0;
    const double want = logmath_log_to_log10(lmath, ngram_ng_prob(lm, int32(w), nullptr, 0, &used));
    if (std::fabs(want - t->unigrams[w].prob * kLog10Unit) > 1e-3) return nullptr;
  }
  return t;
}

uint32 ReadBits(const TrieBase& b, uint32 bitOffset, uint8 bits, uint32 mask) {
  bitarr_address_t a;
  a.base = b.base;
  a.offset = bitOffset;
  return bitarr_read_int25(a, bits, mask);
}

// Lists the general model's n-grams whose words are all in `keep`, as
// log10 probabilities and backoffs, into `out` (ids of `vocab`).
bool ReadGeneral(const char* path, const std::unordered_set<std::string>& keep, Vocab& vocab, Model& out) {
  logmath_t* lmath = logmath_init(1.0001, 0, 0);
  ngram_model_t* lm = ngram_model_read(nullptr, path, NGRAM_AUTO, lmath);
  if (!lm) {
    std::fprintf(stderr, "mixlm: cannot read %s\n", path);
    return false;
  }
  if (ngram_model_get_size(lm) != 3) {
    std::fprintf(stderr, "mixlm: %s is not a trigram model\n", path);
    return false;
  }
  Trie* trie = FindTrie(lm, lmath);
  if (!trie) {
    std::fprintf(stderr, "mixlm: cannot walk the n-grams of %s (unknown layout)\n", path);
    return false;
  }
  const uint32 n1 = ngram_model_get_counts(lm)[0];
  std::vector<int64_t> to(n1, -1);  // general id -> shared id
  for (uint32 w = 0; w < n1; ++w) {
    const char* s = ngram_word(lm, int32(w));
    if (s && keep.count(s)) to[w] = vocab.Get(s);
  }
  // The trie stores each n-gram reversed: the predicted word, then its
  // history from the nearest word back.
  const TrieMiddle& mid = trie->middleBegin[0];
  const TrieLongest& lon = *trie->longest;
  int checked = 0, wrong = 0;
  auto check = [&](double got, int32 w, int32* hist, int nh) {
    if (checked++ % 997) return;
    int32 used = 0;
    const double want = logmath_log_to_log10(lmath, ngram_ng_prob(lm, w, hist, nh, &used));
    if (used == nh + 1 && std::fabs(want - got) > 2e-3) ++wrong;
  };
  for (uint32 w = 0; w < n1; ++w) {
    const TrieUnigram& u = trie->unigrams[w];
    if (to[w] >= 0) out.grams[1][Pack({uint32(to[w])})] = {u.prob * kLog10Unit, u.bo * kLog10Unit};
    const uint32 begin = u.next, end = trie->unigrams[w + 1].next;
    for (uint32 i = begin; i < end; ++i) {
      const uint32 at = i * mid.base.totalBits;
      const uint32 h1 = ReadBits(mid.base, at, mid.base.wordBits, mid.base.wordMask);
      bitarr_address_t q{mid.base.base, at + mid.base.wordBits};
      const double p2 = lm_trie_quant_mpread(trie->quant, q, 0) * kLog10Unit,
                   b2 = lm_trie_quant_mboread(trie->quant, q, 0) * kLog10Unit;
      int32 hist[2] = {int32(h1), 0};
      check(p2, int32(w), hist, 1);
      const bool keep2 = to[w] >= 0 && to[h1] >= 0;
      if (keep2) out.grams[2][Pack({uint32(to[h1]), uint32(to[w])})] = {p2, b2};
      const uint32 nb = mid.base.wordBits + mid.quantBits;
      const uint32 b3 = ReadBits(mid.base, at + nb, mid.nextMask.bits, mid.nextMask.mask);
      const uint32 e3 = ReadBits(mid.base, (i + 1) * mid.base.totalBits + nb, mid.nextMask.bits, mid.nextMask.mask);
      for (uint32 j = b3; j < e3; ++j) {
        const uint32 at3 = j * lon.base.totalBits;
        const uint32 h2 = ReadBits(lon.base, at3, lon.base.wordBits, lon.base.wordMask);
        const double p3 =
            lm_trie_quant_lpread(trie->quant, bitarr_address_t{lon.base.base, at3 + lon.base.wordBits}) * kLog10Unit;
        hist[1] = int32(h2);
        check(p3, int32(w), hist, 2);
        if (keep2 && to[h2] >= 0) out.grams[3][Pack({uint32(to[h2]), uint32(to[h1]), uint32(to[w])})] = {p3, 0};
      }
    }
  }
  ngram_model_free(lm);
  logmath_free(lmath);
  if (checked < 100 || wrong > 0) {
    std::fprintf(stderr, "mixlm: the n-grams read from %s do not score as the library does (%d of %d sampled)\n",
                 path, wrong, checked / 997);
    return false;
  }
  return true;
}

bool ReadArpa(const char* path, Vocab& vocab, Model& out) {
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "mixlm: cannot read %s\n", path);
    return false;
  }
  std::string line;
  int order = 0;
  std::vector<uint32> ids;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    if (line[0] == '\\') {
      order = line.size() > 8 && line.compare(2, 7, "-grams:") == 0 ? line[1] - '0' : 0;
      if (order > 3) {
        std::fprintf(stderr, "mixlm: %s is more than a trigram model\n", path);
        return false;
      }
      continue;
    }
    if (order == 0) continue;
    std::istringstream s(line);
    double lp, lb = 0;
    s >> lp;
    ids.clear();
    std::string w;
    for (int i = 0; i < order && s >> w; ++i) ids.push_back(vocab.Get(w));
    if (int(ids.size()) != order) continue;
    s >> lb;
    out.grams[order][Pack(ids)] = {lp, lb};
  }
  if (out.grams[1].empty()) {
    std::fprintf(stderr, "mixlm: no unigrams in %s\n", path);
    return false;
  }
  return true;
}

// Log10 values read from the files, to plain numbers.
void ToLinear(Model& m) {
  for (auto& order : m.grams)
    for (auto& [k, g] : order) g = {Pow10(g.p), Pow10(g.bo)};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: mixlm GENERAL.lm.bin RANKED.txt N RADIOLOGY.arpa LAMBDA OUT.arpa\n");
    return 2;
  }
  err_set_logfp(nullptr);
  const long n = std::atol(argv[3]);
  const double lambda = std::atof(argv[5]);
  if (n < 0 || lambda <= 0 || lambda > 1) {
    std::fprintf(stderr, "mixlm: N must be >= 0 and LAMBDA in (0, 1]\n");
    return 2;
  }
  Vocab vocab;
  Model rad, gen;
  if (!ReadArpa(argv[4], vocab, rad)) return 1;
  std::unordered_set<std::string> keep(vocab.word.begin(), vocab.word.end());
  {
    std::ifstream ranked(argv[2]);
    if (!ranked) {
      std::fprintf(stderr, "mixlm: cannot read %s\n", argv[2]);
      return 1;
    }
    std::string w;
    double lp;
    for (long i = 0; i < n && ranked >> w >> lp; ++i) keep.insert(w);
    keep.insert("<s>");
    keep.insert("</s>");
  }
  if (!ReadGeneral(argv[1], keep, vocab, gen)) return 1;
  ToLinear(rad);
  ToLinear(gen);
  const uint32 bos = vocab.Get("<s>");
  const Key bosKey = Pack({bos});

  // The union of both models' n-grams, each probability mixed.
  Model mix;
  for (int k = 1; k <= 3; ++k) {
    for (const Model* src : {&rad, &gen})
      for (const auto& [g, v] : src->grams[k]) mix.grams[k].emplace(g, Gram{0, 1});
    for (auto& [g, v] : mix.grams[k]) {
      if (k == 1 && g == bosKey) continue;  // never predicted
      v.p = lambda * rad.Prob(g, k) + (1 - lambda) * gen.Prob(g, k);
    }
  }
  // Unigrams over the kept vocabulary add up to one.
  double sum = 0;
  for (auto& [g, v] : mix.grams[1]) sum += v.p;
  for (auto& [g, v] : mix.grams[1]) v.p /= sum;
  // Backoff weights, lower orders first: each history's explicit successors
  // plus its backed-off rest add up to one.
  for (int k = 1; k < 3; ++k) {
    std::unordered_map<Key, std::pair<double, double>> seen;  // history -> (sum p, sum lower p)
    for (const auto& [g, v] : mix.grams[k + 1]) {
      auto& s = seen[History(g)];
      s.first += v.p;
      s.second += mix.Prob(Lower(g, k + 1), k);
    }
    for (auto& [h, v] : mix.grams[k]) {
      auto it = seen.find(h);
      if (it == seen.end()) {
        v.bo = 1;
        continue;
      }
      const double num = 1 - it->second.first, den = 1 - it->second.second;
      v.bo = num > 1e-9 && den > 1e-9 ? num / den : 1e-9;
    }
  }
  // Every n-gram's history must be listed for the ARPA file to be valid.
  for (int k = 2; k <= 3; ++k)
    for (const auto& [g, v] : mix.grams[k])
      if (!mix.grams[k - 1].count(History(g))) {
        std::fprintf(stderr, "mixlm: an n-gram without its history\n");
        return 1;
      }

  // Written beside the target and renamed, so a failed run leaves no part.
  const std::string target = argv[6], part = target + ".part";
  FILE* out = std::fopen(part.c_str(), "w");
  if (!out) {
    std::fprintf(stderr, "mixlm: cannot write %s\n", argv[6]);
    return 1;
  }
  std::fprintf(out, "\\data\\\n");
  for (int k = 1; k <= 3; ++k) std::fprintf(out, "ngram %d=%zu\n", k, mix.grams[k].size());
  for (int k = 1; k <= 3; ++k) {
    std::fprintf(out, "\n\\%d-grams:\n", k);
    // In the order of the packed ids, so the file is the same on every run.
    std::vector<std::pair<Key, Gram>> sorted(mix.grams[k].begin(), mix.grams[k].end());
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string words;
    for (const auto& [g, v] : sorted) {
      words.clear();
      for (int i = k - 1; i >= 0; --i) {
        if (!words.empty()) words += ' ';
        words += vocab.word[uint32((g >> (kBits * i)) & kMask) - 1];
      }
      const double lp = v.p > 0 ? std::log10(v.p) : -99.0;
      if (k < 3)
        std::fprintf(out, "%.6f\t%s\t%.6f\n", lp, words.c_str(), std::log10(std::max(v.bo, 1e-30)));
      else
        std::fprintf(out, "%.6f\t%s\n", lp, words.c_str());
    }
  }
  std::fprintf(out, "\n\\end\\\n");
  if (std::ferror(out) | std::fclose(out) || std::rename(part.c_str(), target.c_str()) != 0) {
    std::remove(part.c_str());
    std::fprintf(stderr, "mixlm: cannot write %s\n", argv[6]);
    return 1;
  }
  return 0;
}
