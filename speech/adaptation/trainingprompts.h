// The sentences a user reads to train the recogniser.
#pragma once

#include <QStringList>

// The sentences the user reads, as shipped with the dictation model.
// Throws ESpeechError when they are missing.
QStringList TrainingPrompts();
// Further sentences offered once those are read: more speech, a better
// adaptation.
QStringList MoreTrainingPrompts();
