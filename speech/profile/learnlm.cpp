#include "learnlm.h"

#include <sphinxbase/err.h>
#include <sphinxbase/logmath.h>
#include <sphinxbase/ngram_model.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <unordered_map>

namespace learn {
namespace {

// Word ids fit 21 bits, so that a trigram packs into one 64-bit key.
constexpr int kBits = 21;
constexpr uint64_t kMaxWords = (1u << kBits) - 1;
constexpr uint64_t kMask = kMaxWords;

uint64_t Key2(uint64_t v, uint64_t w) { return (v << kBits) | w; }
uint64_t Key3(uint64_t u, uint64_t v, uint64_t w) { return (u << (2 * kBits)) | (v << kBits) | w; }

struct TModelDeleter {
  void operator()(ngram_model_t* m) const { ngram_model_free(m); }
};
using TModel = std::unique_ptr<ngram_model_t, TModelDeleter>;
struct TLogmathDeleter {
  void operator()(logmath_t* l) const { logmath_free(l); }
};

struct TFileCloser {
  void operator()(FILE* f) const {
    if (f) std::fclose(f);
  }
};

// The user's counts and Witten-Bell estimates.
struct TUserModel {
  std::vector<uint32_t> c1, hist1, types1;  // by word id
  std::unordered_map<uint64_t, uint32_t> c2, c3;
  std::unordered_map<uint64_t, std::pair<uint32_t, uint32_t>> hist2;  // (u,v): count, types
  double total = 0, types0 = 0, vocab = 1;
  uint32_t start = 0;

  double P1(uint32_t w) const {
    if (w == start) return 0;
    return (c1[w] + types0 / vocab) / (total + types0);
  }
  double P2(uint32_t v, uint32_t w) const {
    const double lower = P1(w);
    if (!hist1[v]) return lower;
    const auto it = c2.find(Key2(v, w));
    const double c = it == c2.end() ? 0 : it->second;
    return (c + types1[v] * lower) / (hist1[v] + double(types1[v]));
  }
  double P3(uint32_t u, uint32_t v, uint32_t w) const {
    const double lower = P2(v, w);
    const auto h = hist2.find(Key2(u, v));
    if (h == hist2.end()) return lower;
    const auto it = c3.find(Key3(u, v, w));
    const double c = it == c3.end() ? 0 : it->second;
    return (c + h->second.second * lower) / (h->second.first + double(h->second.second));
  }
};

}  // namespace

double UserWeight(uint64_t learnedWords) {
  return kMaxUserWeight * double(learnedWords) / (double(learnedWords) + kHalfWeightWords);
}

bool BuildMixedModel(const std::vector<std::string>& sentences, const std::string& baseLm, const std::string& outBin,
                     TLmStats& stats, const std::function<bool(int)>& progress, double weight) {
  err_set_logfp(nullptr);
  std::unique_ptr<logmath_t, TLogmathDeleter> lmath(logmath_init(1.0001, 0, 0));
  TModel base(ngram_model_read(nullptr, baseLm.c_str(), NGRAM_AUTO, lmath.get()));
  if (!base) throw std::runtime_error("the language model " + baseLm + " could not be read");
  const uint32_t* baseCounts = ngram_model_get_counts(base.get());
  const int baseOrder = ngram_model_get_size(base.get());
  const uint32_t nBase = baseCounts[0];
  if (nBase >= kMaxWords) throw std::runtime_error("the language model " + baseLm + " has too many words");

  // Words: the shipped model's under its own ids, then the user's new ones.
  std::vector<std::string> words(nBase);
  std::unordered_map<std::string, uint32_t> ids;
  ids.reserve(nBase * 2);
  for (uint32_t i = 0; i < nBase; ++i) {
    words[i] = ngram_word(base.get(), int32(i));
    ids.emplace(words[i], i);
  }
  const auto idOf = [&](const std::string& w) -> uint32_t {
    auto [it, added] = ids.emplace(w, uint32_t(words.size()));
    if (added) words.push_back(w);
    return it->second;
  };
  const uint32_t start = idOf("<s>"), end = idOf("</s>");

  // Counts.
  TUserModel user;
  user.start = start;
  std::vector<uint32_t> line;
  stats = {};
  for (size_t si = 0; si < sentences.size(); ++si) {
    if (si % 20000 == 0 && !progress(int(30 * si / std::max<size_t>(1, sentences.size())))) return false;
    line.assign(1, start);
    const std::string& s = sentences[si];
    for (size_t a = 0; a < s.size();) {
      size_t b = s.find(' ', a);
      if (b == std::string::npos) b = s.size();
      if (b > a && words.size() < kMaxWords) line.push_back(idOf(s.substr(a, b - a)));
      a = b + 1;
    }
    if (line.size() == 1) continue;
    stats.words += line.size() - 1;
    ++stats.sentences;
    line.push_back(end);
    if (user.c1.size() < words.size()) user.c1.resize(words.size() + 1024);
    for (size_t i = 1; i < line.size(); ++i) {
      ++user.c1[line[i]];
      ++user.c2[Key2(line[i - 1], line[i])];
      if (i >= 2) ++user.c3[Key3(line[i - 2], line[i - 1], line[i])];
    }
  }
  const uint32_t nWords = uint32_t(words.size());
  user.c1.resize(nWords);
  user.hist1.assign(nWords, 0);
  user.types1.assign(nWords, 0);
  for (uint32_t c : user.c1) {
    user.total += c;
    if (c) ++user.types0;
  }
  user.vocab = std::max<double>(1, nWords - 1);
  for (const auto& [k, c] : user.c2) {
    user.hist1[k >> kBits] += c;
    ++user.types1[k >> kBits];
  }
  for (const auto& [k, c] : user.c3) {
    auto& h = user.hist2[k >> kBits];
    h.first += c;
    ++h.second;
  }
  if (weight < 0) weight = UserWeight(stats.words);
  stats.weight = weight;
  if (!progress(35)) return false;

  // The n-grams of either model.
  std::vector<uint64_t> bigrams, trigrams;
  bigrams.reserve(user.c2.size() + (baseOrder >= 2 ? baseCounts[1] : 0));
  for (const auto& kv : user.c2) bigrams.push_back(kv.first);
  for (const auto& kv : user.c3) trigrams.push_back(kv.first);
  // This sphinxbase exports no n-gram iterator: the shipped model's n-grams
  // come from its ARPA form.
  if (baseOrder >= 2) {
    const std::string baseArpa = outBin + ".base.tmp";
    if (ngram_model_write(base.get(), baseArpa.c_str(), NGRAM_ARPA) < 0) {
      std::remove(baseArpa.c_str());
      throw std::runtime_error("cannot write " + baseArpa);
    }
    std::unique_ptr<FILE, TFileCloser> f(std::fopen(baseArpa.c_str(), "r"));
    std::remove(baseArpa.c_str());
    if (!f) throw std::runtime_error("cannot read " + baseArpa);
    int order = 0;
    char buf[4096];
    std::vector<uint32_t> gram;
    while (std::fgets(buf, sizeof buf, f.get())) {
      if (buf[0] == '\\') {
        order = (buf[1] >= '1' && buf[1] <= '9' && std::strncmp(buf + 2, "-grams:", 7) == 0) ? buf[1] - '0' : 0;
        continue;
      }
      if (order < 2 || order > 3) continue;
      // log10 prob, the words, maybe a backoff weight: blank-separated.
      gram.clear();
      char* save = nullptr;
      char* tok = strtok_r(buf, " \t\r\n", &save);
      for (int k = 0; tok && k < order; ++k) {
        tok = strtok_r(nullptr, " \t\r\n", &save);
        if (!tok) break;
        const auto it = ids.find(tok);
        if (it == ids.end()) break;
        gram.push_back(it->second);
      }
      if (int(gram.size()) != order) continue;
      if (order == 2) bigrams.push_back(Key2(gram[0], gram[1]));
      else trigrams.push_back(Key3(gram[0], gram[1], gram[2]));
    }
  }
  for (auto* v : {&bigrams, &trigrams}) {
    std::sort(v->begin(), v->end());
    v->erase(std::unique(v->begin(), v->end()), v->end());
  }
  if (!progress(50)) return false;

  // The shipped model's probability; a history word it does not know ends
  // the history there, a word it does not know has none.
  const auto baseP = [&](uint32_t w, uint32_t v, uint32_t u, int nHist) -> double {
    if (w >= nBase || w == start) return 0;
    int32 hist[2] = {int32(v), int32(u)};
    if (nHist >= 1 && v >= nBase) nHist = 0;
    if (nHist >= 2 && u >= nBase) nHist = 1;
    int32 used = 0;
    return logmath_exp(lmath.get(), ngram_ng_prob(base.get(), int32(w), hist, nHist, &used));
  };
  const double lambda = weight;
  const auto mix = [&](double pu, double ps) { return lambda * pu + (1 - lambda) * ps; };

  std::vector<double> p1(nWords), bo1(nWords, 1.0);
  for (uint32_t w = 0; w < nWords; ++w) p1[w] = w == start ? 0 : mix(user.P1(w), baseP(w, 0, 0, 0));
  // Unigrams need not sum to one exactly (the shipped model's own <unk>).
  std::vector<double> p2(bigrams.size()), bo2(bigrams.size(), 1.0);
  std::unordered_map<uint64_t, uint32_t> bigramIndex;
  bigramIndex.reserve(bigrams.size());
  for (size_t i = 0; i < bigrams.size(); ++i) {
    const uint32_t v = uint32_t(bigrams[i] >> kBits), w = uint32_t(bigrams[i] & kMask);
    p2[i] = mix(user.P2(v, w), baseP(w, v, 0, 1));
    bigramIndex.emplace(bigrams[i], uint32_t(i));
  }
  // Backoff weights: what the explicit n-grams leave, over what the shorter
  // history gives the others.
  const auto backoff = [](double explicitSum, double lowerSum) {
    return std::max(1e-7, 1 - explicitSum) / std::max(1e-7, 1 - lowerSum);
  };
  for (size_t i = 0; i < bigrams.size();) {
    const uint32_t v = uint32_t(bigrams[i] >> kBits);
    double sum = 0, lower = 0;
    size_t j = i;
    for (; j < bigrams.size() && (bigrams[j] >> kBits) == v; ++j) {
      sum += p2[j];
      lower += p1[bigrams[j] & kMask];
    }
    bo1[v] = backoff(sum, lower);
    i = j;
  }
  if (!progress(60)) return false;
  std::vector<double> p3(trigrams.size());
  for (size_t i = 0; i < trigrams.size(); ++i) {
    const uint64_t k = trigrams[i];
    const uint32_t u = uint32_t(k >> (2 * kBits)), v = uint32_t((k >> kBits) & kMask), w = uint32_t(k & kMask);
    p3[i] = mix(user.P3(u, v, w), baseP(w, v, u, 2));
  }
  // The written bigram probability, explicit or backed off.
  const auto written2 = [&](uint32_t v, uint32_t w) {
    const auto it = bigramIndex.find(Key2(v, w));
    return it != bigramIndex.end() ? p2[it->second] : bo1[v] * p1[w];
  };
  for (size_t i = 0; i < trigrams.size();) {
    const uint64_t h = trigrams[i] >> kBits;
    const uint32_t v = uint32_t(h & kMask);
    double sum = 0, lower = 0;
    size_t j = i;
    for (; j < trigrams.size() && (trigrams[j] >> kBits) == h; ++j) {
      sum += p3[j];
      lower += written2(v, uint32_t(trigrams[j] & kMask));
    }
    // A trigram's history is a bigram of the mix: both models' trigrams
    // have their bigram prefix in their own model.
    if (const auto it = bigramIndex.find(h); it != bigramIndex.end()) bo2[it->second] = backoff(sum, lower);
    i = j;
  }
  if (!progress(70)) return false;

  // ARPA text, then sphinxbase's binary form.
  const std::string arpa = outBin + ".arpa.tmp";
  {
    std::unique_ptr<FILE, TFileCloser> f(std::fopen(arpa.c_str(), "w"));
    if (!f) throw std::runtime_error("cannot write " + arpa);
    const auto lg = [](double p) { return p > 0 ? std::log10(p) : -99.0; };
    std::fprintf(f.get(), "\\data\\\nngram 1=%u\nngram 2=%zu\nngram 3=%zu\n\n\\1-grams:\n", nWords, bigrams.size(),
                 trigrams.size());
    for (uint32_t w = 0; w < nWords; ++w)
      std::fprintf(f.get(), "%.6f\t%s\t%.6f\n", lg(p1[w]), words[w].c_str(), std::log10(bo1[w]));
    std::fprintf(f.get(), "\n\\2-grams:\n");
    for (size_t i = 0; i < bigrams.size(); ++i)
      std::fprintf(f.get(), "%.6f\t%s %s\t%.6f\n", lg(p2[i]), words[bigrams[i] >> kBits].c_str(),
                   words[bigrams[i] & kMask].c_str(), std::log10(bo2[i]));
    std::fprintf(f.get(), "\n\\3-grams:\n");
    for (size_t i = 0; i < trigrams.size(); ++i) {
      const uint64_t k = trigrams[i];
      std::fprintf(f.get(), "%.6f\t%s %s %s\n", lg(p3[i]), words[k >> (2 * kBits)].c_str(),
                   words[(k >> kBits) & kMask].c_str(), words[k & kMask].c_str());
    }
    std::fprintf(f.get(), "\n\\end\\\n");
    if (std::ferror(f.get()) || std::fflush(f.get()) != 0) {
      f.reset();
      std::remove(arpa.c_str());
      throw std::runtime_error("cannot write " + arpa);
    }
  }
  stats.ngrams[0] = nWords;
  stats.ngrams[1] = bigrams.size();
  stats.ngrams[2] = trigrams.size();
  // Free what the conversion does not need before it reads the text.
  std::vector<uint64_t>().swap(bigrams);
  std::vector<uint64_t>().swap(trigrams);
  std::vector<double>().swap(p2);
  std::vector<double>().swap(p3);
  bigramIndex = {};
  user = TUserModel{};
  base.reset();
  if (!progress(80)) {
    std::remove(arpa.c_str());
    return false;
  }
  std::unique_ptr<logmath_t, TLogmathDeleter> lmath2(logmath_init(1.0001, 0, 0));
  TModel mixed(ngram_model_read(nullptr, arpa.c_str(), NGRAM_ARPA, lmath2.get()));
  std::remove(arpa.c_str());
  if (!mixed) throw std::runtime_error("the mixed language model could not be read back");
  if (!progress(90)) return false;
  if (ngram_model_write(mixed.get(), outBin.c_str(), NGRAM_BIN) < 0) {
    std::remove(outBin.c_str());
    throw std::runtime_error("cannot write " + outBin);
  }
  return progress(100);
}

}  // namespace learn
