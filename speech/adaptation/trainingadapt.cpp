// One adaptation of the acoustic model to the voice, as sphinxtrain steps:
// a speaker transform of all the means (MLLR), estimated twice, then MAP
// from the transformed means, which moves each Gaussian as far as its own
// share of the speech allows.
#include "trainingfiles.h"
#include "usertraining.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>

namespace {
// MAP's prior weight: the less speech was recorded, the closer each
// Gaussian stays to the (speaker-transformed) model; MLLR carries the rest.
// Set by seconds, not recordings: a long reading is worth several short ones.
// Half the weight the single-pass adaptation used: on the second pass's
// counts the development readers gained more from MAP, and fewer got worse.
double MapTau(double seconds) { return std::clamp(25.0 * std::sqrt(80.0 / std::max(1.0, seconds)), 10.0, 100.0); }
}  // namespace

QStringList TUserTrainer::BwArgs(const QString& list, const QString& cepdir, const QString& accum) const {
  const QString w = FWork->path();
  const auto feat = [this](const char* key, const char* def) { return FFeatParams.value(key, def); };
  return QStringList{"-moddeffn", w + "/mdef.txt", "-ts2cbfn", ".ptm.", "-meanfn", FBase + "/means", "-varfn",
                     FBase + "/variances", "-mixwfn", w + "/mixture_weights", "-tmatfn", FBase + "/transition_matrices",
                     "-feat", feat("feat", "1s_c_d_dd"), "-svspec", feat("svspec", "0-12/13-25/26-38"), "-cmn",
                     feat("cmn", "batch"), "-agc", feat("agc", "none"), "-varnorm", feat("varnorm", "no"), "-dictfn",
                     w + "/align.dict", "-fdictfn", FBase + "/noisedict", "-ctlfn", w + "/" + list + ".fileids",
                     "-lsnfn", w + "/" + list + ".transcription", "-cepdir", cepdir, "-accumdir", accum, "-timing",
                     "no"};
}

QStringList TUserTrainer::AlignedParts(const std::vector<int>& parts) const {
  // sphinxtrain takes them as one argument, separated by commas.
  QStringList dirs;
  for (int q : parts) {
    const QString acc = QStringLiteral("%1/acc-%2").arg(FWork->path()).arg(q);
    if (QFileInfo(acc + "/gauden_counts").isFile()) dirs << acc;
  }
  return dirs;
}

// The first transform comes from counts taken with the unadapted means, so
// for a voice far from the model's its Gaussians share the frames out
// wrongly. The recordings are aligned again through that transform, and
// the transform and MAP both use the new counts: on development readers
// this cut their errors by about a fifth more than one pass did.
// The transform's kind is the installed model's for every adaptation, so
// that the check judges the kind of model it lets in: held-back parts often
// leave too little speech for a full one.
void TUserTrainer::Adapt(const std::vector<int>& from, double seconds, const QString& out, int percent,
                         const QString& what) {
  const QString bw = FindTool("bw"), map = FindTool("map_adapt"), dump = FindTool("mk_s2sendump"),
                mllr = FindTool("mllr_solve"), mllrApply = FindTool("mllr_transform");
  const QString w = FWork->path(), base = FBase, id = QFileInfo(out).fileName();
  const QString tau = QString::number(MapTau(seconds), 'f', 1);
  const QString transform = w + "/mllr-" + id, again = w + "/acc-" + id, full = FFullMllr ? "yes" : "no";
  const auto solve = [=, this](const QString& counts) {
    Tool(mllr, {"-meanfn", base + "/means", "-varfn", base + "/variances", "-outmllrfn", transform, "-mllrmult", full,
                "-accumdir", counts},
         percent, what);
  };
  FSteps.push_back([=, this] {
    // Parts none of whose recordings could be aligned have no counts.
    const QStringList acc = AlignedParts(from);
    if (acc.isEmpty()) return Fail(QStringLiteral("None of the recordings could be aligned with its prompt"));
    solve(acc.join(','));
  });
  FSteps.push_back([=, this] {
    std::vector<int> aligned;
    for (int q : from)
      if (QFileInfo(QStringLiteral("%1/acc-%2/gauden_counts").arg(w).arg(q)).isFile())
        aligned.insert(aligned.end(), FParts[size_t(q)].begin(), FParts[size_t(q)].end());
    try {
      WriteTrainingList(w + "/" + id, FPrompts, aligned);
    } catch (const ESpeechError& e) {
      return Fail(e.Message());
    }
    QDir().mkpath(again);
    Tool(bw, BwArgs(id, FFeat, again) << "-mllrmat" << transform, percent, what);
  });
  // A second alignment that lost every recording leaves the first counts.
  const auto counts = [=, this] {
    return QFileInfo(again + "/gauden_counts").isFile() ? again : AlignedParts(from).join(',');
  };
  FSteps.push_back([=] { solve(counts()); });
  FSteps.push_back([=, this] {
    Tool(mllrApply, {"-inmeanfn", base + "/means", "-outmeanfn", w + "/means-" + id, "-mllrmat", transform}, percent,
         what);
  });
  FSteps.push_back([=, this] {
    QDir().mkpath(out);
    Tool(map, {"-moddeffn", w + "/mdef.txt", "-ts2cbfn", ".ptm.", "-meanfn", w + "/means-" + id, "-varfn",
               base + "/variances", "-mixwfn", w + "/mixture_weights", "-tmatfn", base + "/transition_matrices",
               "-bayesmean", "no", "-fixedtau", "yes", "-tau", tau, "-mapmeanfn", out + "/means", "-mapvarfn",
               out + "/variances", "-mapmixwfn", out + "/mixture_weights", "-maptmatfn", out + "/transition_matrices",
               "-accumdir", counts()},
         percent, what);
  });
  FSteps.push_back([=, this] {
    Tool(dump, {"-pocketsphinx", "yes", "-moddeffn", w + "/mdef.txt", "-mixwfn", out + "/mixture_weights",
                "-sendumpfn", out + "/sendump"},
         percent, what);
  });
  FSteps.push_back([=, this] {
    try {
      Complete(out);
    } catch (const ESpeechError& e) {
      return Fail(e.Message());
    }
    Next();
  });
}
