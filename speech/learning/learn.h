// Learning the user's language from their documents and saved comments:
// plain-text files and the Image Comments of DICOM files are read,
// normalised into sentences of recogniser words, kept in "learned" beside the
// service's settings (mode 0700, the user's own; nothing leaves the machine),
// and turned into a language model mixed with the shipped one (learnlm.h)
// plus a dictionary with pronunciations for the new words (lts.h). The model
// gets a folder of its own and "learned/model" is pointed at it in one
// rename, so a failed, cancelled or killed learn leaves the previous model in
// use. One learn (or forget) at a time, across processes: a lock file beside
// the settings.
#pragma once

#include "learnedmodel.h"
#include "learnstore.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

// Sentences beyond this many words push out the oldest ones: learning stays
// bounded in time, memory and disk however much is given.
inline constexpr qint64 kMaxLearnedWords = 2000000;

struct TLearnResult {
  int files = 0;              // files (or saved comments) read with text
  int imagesWithoutComment = 0;  // DICOM files with no comment: nothing to learn, not a fault
  QStringList skipped;        // "path: reason", one per unreadable or broken file
  qint64 sentences = 0, words = 0;  // added by this learn
  bool changed = false;       // a new model was put in place
  TLearnStatus status;        // after the learn
};

TLearnStatus LearnedStatus();
// Forgets everything learned: the shipped model is used again.
void ForgetLearned();

// Reads the files and folders (recursively), adds their sentences and
// rebuilds the model. progress(percent, what) is called along the way;
// *cancel stops the work (the previous model stays). Throws ESpeechError
// when the model cannot be built; then nothing changes.
TLearnResult LearnFromPaths(const QStringList& paths, const std::function<void(int, const QString&)>& progress = {},
                            const std::atomic<bool>* cancel = nullptr);

// A comment the user saved, and the comment its file held when it was
// shown: sentences already there are not learned again (they were learned
// when they were written, or they are someone else's).
struct TSavedComment {
  QString text, before;
};

// Learns the sentences the user added in these comments, as LearnFromPaths
// learns files; the trailer a save appends is not the user's text. The
// store counts them apart (TLearnStatus::commentSentences).
TLearnResult LearnSavedComments(const std::vector<TSavedComment>& comments, const std::atomic<bool>* cancel = nullptr);

// The text of one file for learning, as UTF-8: plain text, or a DICOM file's
// Image Comments decoded by its character set. A DICOM file without a
// comment gives no text and sets *imageWithoutComment: most images of a
// folder have none. Throws ESpeechError with the reason when the file cannot
// be read or is broken.
QByteArray LearnableText(const QString& path, bool* imageWithoutComment = nullptr);
