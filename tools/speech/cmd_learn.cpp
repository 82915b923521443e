// varnelo-speech learn PATH... | learn --reset | learn --status
#include "cmd_learn.h"

#include "dictatedphrases.h"
#include "learn.h"
#include "spcommon.h"

#include <cstdio>

namespace {

void PrintStatus(const TLearnStatus& s) {
  if (s.sentences == 0) {
    std::printf("Nothing is learned: the shipped language model is used.\n");
    return;
  }
  std::printf("Learned: %lld sentences, %lld words, %lld new words.\n", qlonglong(s.sentences), qlonglong(s.words),
              qlonglong(s.newWords));
  if (s.commentSentences > 0)
    std::printf("Of those, from saved comments: %lld sentences, %lld words.\n", qlonglong(s.commentSentences),
                qlonglong(s.commentWords));
  if (s.inUse)
    std::printf("The learned text has a share of %.2g %% in the language model.\n", s.weight * 100);
  else
    std::printf("The learned model was built for another model and is not used; learn again to rebuild it.\n");
}

}  // namespace

int LearnCommand(const QStringList& args, int (*usage)()) {
  if (args == QStringList{"--reset"}) {
    ForgetLearned();
    RemoveDictatedPhrases();
    std::printf("Everything learned is forgotten, and no dictated phrases are kept: the shipped language model is used again.\n");
    return 0;
  }
  if (args == QStringList{"--status"}) {
    PrintStatus(LearnedStatus());
    return 0;
  }
  QStringList paths;
  for (const QString& a : args) {
    if (a.startsWith("--")) return usage();
    paths << a;
  }
  if (paths.isEmpty()) return usage();
  try {
    const TLearnResult r = LearnFromPaths(paths);
    for (const QString& s : r.skipped) std::fprintf(stderr, "varnelo-speech: skipped %s\n", qPrintable(s));
    if (!r.changed)
      std::printf("No text was found to learn from; the language model is unchanged.\n");
    else
      std::printf("Learned %lld sentences (%lld words) from %d files.\n", qlonglong(r.sentences), qlonglong(r.words),
                  r.files);
    // Most images of a folder carry no comment: counted, not a failure.
    if (r.imagesWithoutComment > 0)
      std::printf("%d DICOM %s without an image comment had nothing to learn.\n", r.imagesWithoutComment,
                  r.imagesWithoutComment == 1 ? "file" : "files");
    if (r.changed) PrintStatus(r.status);
    return r.skipped.isEmpty() ? 0 : 1;
  } catch (const ESpeechError& e) {
    std::fprintf(stderr, "varnelo-speech: %s\n", qPrintable(e.Message()));
    return 1;
  }
}
