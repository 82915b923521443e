// The build-time mix of the general English model into the radiology one
// (speech/model/mixlm.cpp), on a small radiology model of our own and the
// general model's commonest words: every mixed probability is the weighted
// sum of the two models' own, and every history's probabilities add up to one.
#include "recoengine.h"

#include <sphinxbase/err.h>
#include <sphinxbase/logmath.h>
#include <sphinxbase/ngram_model.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <cmath>

#include <gtest/gtest.h>

namespace {

struct TArpa {
  // Words joined by spaces -> probability and backoff weight (not logs).
  QHash<QString, std::pair<double, double>> grams[4];
  QStringList words;  // the unigrams

  static TArpa Read(const QString& path) {
    TArpa a;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return a;
    int order = 0;
    for (const QString& line : QString::fromUtf8(f.readAll()).split('\n')) {
      if (line.startsWith('\\')) {
        order = line.endsWith("-grams:") ? line.mid(1, 1).toInt() : 0;
        continue;
      }
      const QStringList parts = line.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
      if (order == 0 || parts.size() < order + 1) continue;
      const QString key = parts.mid(1, order).join(' ');
      const double bo = parts.size() > order + 1 ? std::pow(10.0, parts[order + 1].toDouble()) : 1.0;
      a.grams[order][key] = {std::pow(10.0, parts[0].toDouble()), bo};
      if (order == 1) a.words << key;
    }
    return a;
  }

  // P(words.last | the rest), backing off as a decoder does.
  double Prob(const QStringList& g) const {
    const int k = int(g.size());
    const auto it = grams[k].find(g.join(' '));
    if (it != grams[k].end()) return it->first <= 1e-90 ? 0.0 : it->first;
    if (k == 1) return 0.0;
    const auto h = grams[k - 1].find(g.mid(0, k - 1).join(' '));
    return (h == grams[k - 1].end() ? 1.0 : h->second) * Prob(g.mid(1));
  }
};

const char kRadiology[] = R"(\data\
ngram 1=9
ngram 2=7
ngram 3=3

\1-grams:
-1.0	</s>
-99	<s>	-0.3
-0.9	the	-0.4
-1.1	right	-0.3
-1.2	pleural	-0.5
-0.8	effusion	-0.2
-1.3	small	-0.3
-1.0	is	-0.3
-1.4	there	-0.3

\2-grams:
-0.3	<s> there	-0.2
-0.4	there is	-0.2
-0.6	is small	-0.1
-0.2	small right	-0.1
-0.1	right pleural	-0.1
-0.05	pleural effusion	-0.1
-0.3	effusion </s>

\3-grams:
-0.2	<s> there is
-0.1	small right pleural
-0.02	right pleural effusion

\end\
)";

// Common English words the general model ranks first, a radiology word among them.
const char* kGeneralWords[] = {"the", "of", "and", "to", "a", "in", "is", "it", "that", "was", "he", "for", "on",
                               "are", "with", "as", "i", "his", "they", "be", "at", "one", "have", "this", "from",
                               "or", "had", "by", "not", "but", "what", "some", "we", "can", "out", "other", "were",
                               "all", "there", "when", "up", "your", "how", "said", "an", "each", "she", "which",
                               "do", "their", "time", "if", "will", "way", "about", "many", "then", "them", "would",
                               "like", "so", "these", "her", "long", "make", "thing", "see", "him", "two", "has",
                               "look", "more", "day", "could", "go", "come", "did", "my", "no", "most", "who",
                               "over", "know", "than", "call", "first", "people", "may", "down", "side", "been",
                               "now", "find", "right", "small"};

QString MixlmPath() { return QStringLiteral(VARNELO_MIXLM); }

int RunMixlm(const QStringList& args) {
  QProcess p;
  p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  p.start(MixlmPath(), args);
  if (!p.waitForFinished(120000)) return -1;
  return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

class MixLm : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    QFile rad(Dir.filePath("rad.arpa")), ranked(Dir.filePath("ranked.txt"));
    ASSERT_TRUE(rad.open(QIODevice::WriteOnly) && ranked.open(QIODevice::WriteOnly));
    rad.write(kRadiology);
    for (const char* w : kGeneralWords) ranked.write(QByteArray(w) + " -2.0\n");
  }
  QStringList Args(const QString& lambda, const QString& out) const {
    return {GeneralRecoModel().languageModel, Dir.filePath("ranked.txt"), "60", Dir.filePath("rad.arpa"), lambda, out};
  }
  QTemporaryDir Dir;
};

TEST_F(MixLm, EachProbabilityIsTheWeightedSumAndEachHistoryAddsUpToOne) {
  const double lambda = 0.6;
  const QString out = Dir.filePath("mix.arpa");
  ASSERT_EQ(RunMixlm(Args("0.6", out)), 0);
  const TArpa mix = TArpa::Read(out), rad = TArpa::Read(Dir.filePath("rad.arpa"));
  // The general model's first 60 words and the radiology ones, sentence marks included.
  QSet<QString> vocabulary(rad.words.begin(), rad.words.end());
  for (int i = 0; i < 60; ++i) vocabulary << kGeneralWords[i];
  EXPECT_EQ(QSet<QString>(mix.words.begin(), mix.words.end()), vocabulary);
  ASSERT_GT(mix.grams[3].size(), 1000);

  err_set_logfp(nullptr);
  logmath_t* lmath = logmath_init(1.0001, 0, 0);
  ngram_model_t* general = ngram_model_read(nullptr, GeneralRecoModel().languageModel.toUtf8(), NGRAM_AUTO, lmath);
  ASSERT_NE(general, nullptr);
  const auto generalProb = [&](const QStringList& g) {
    std::vector<int32> hist;
    for (int i = int(g.size()) - 2; i >= 0; --i) hist.push_back(ngram_wid(general, g[i].toUtf8()));
    int32 used = 0;
    return logmath_exp(lmath, ngram_ng_prob(general, ngram_wid(general, g.last().toUtf8()), hist.data(),
                                            int32(hist.size()), &used));
  };
  // Bigrams and trigrams: no renormalisation there, so the sum is exact.
  int generalOnly = 0, checked = 0;
  for (int k = 2; k <= 3; ++k)
    for (auto it = mix.grams[k].begin(); it != mix.grams[k].end(); ++it) {
      const QStringList g = it.key().split(' ');
      if (g.last() == "<s>") continue;
      const double want = lambda * rad.Prob(g) + (1 - lambda) * generalProb(g);
      if (k == 3 && !rad.grams[3].contains(it.key()) && !rad.grams[1].contains(g.last())) ++generalOnly;
      if (checked++ % 7 == 0) {
        ASSERT_NEAR(it->first / want, 1.0, 2e-3) << it.key().toStdString();
      }
    }
  // The general model's word order is in: trigrams of ordinary English.
  EXPECT_GT(generalOnly, 1000);
  ngram_model_free(general);
  logmath_free(lmath);

  // Every history, the empty one included, predicts the vocabulary with
  // probabilities that add up to one.
  QStringList histories = {QString()};
  for (int k = 1; k <= 2; ++k)
    for (auto it = mix.grams[k].begin(); it != mix.grams[k].end(); ++it)
      if (histories.size() < 400 || k == 1) histories << it.key();
  for (const QString& h : histories) {
    double sum = 0;
    for (const QString& w : mix.words)
      if (w != "<s>") sum += mix.Prob((h.isEmpty() ? QStringList() : h.split(' ')) << w);
    EXPECT_NEAR(sum, 1.0, 1e-3) << '"' << h.toStdString() << '"';
  }
}

TEST_F(MixLm, BadInputGetsAClearErrorAndLeavesNoOutput) {
  const QString out = Dir.filePath("mix.arpa");
  QStringList missingRad = Args("0.6", out);
  missingRad[3] = Dir.filePath("none.arpa");
  QStringList missingGeneral = Args("0.6", out);
  missingGeneral[0] = Dir.filePath("none.lm.bin");
  QStringList notAModel = Args("0.6", out);
  notAModel[0] = Dir.filePath("ranked.txt");
  QStringList unwritable = Args("0.6", Dir.filePath("no/such/folder/mix.arpa"));
  const struct { const char* what; QStringList args; int code; } cases[] = {
      {"missing radiology model", missingRad, 1},      {"missing general model", missingGeneral, 1},
      {"not a language model", notAModel, 1},           {"weight above one", Args("1.5", out), 2},
      {"weight not a number", Args("half", out), 2},    {"unwritable output", unwritable, 1},
      {"too few arguments", Args("0.6", out).mid(1), 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RunMixlm(c.args), c.code) << c.what;
    EXPECT_FALSE(QFileInfo::exists(out)) << c.what;
  }
  EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files).size(), 2);  // only the inputs
}

}  // namespace
