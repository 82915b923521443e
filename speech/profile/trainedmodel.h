// The user's trained acoustic model: where it lives and whether it belongs to
// the acoustic model in use. Written by the trainer (usertraining.h), read
// whenever a recogniser loads its model.
#pragma once

#include <QString>

// The file in a trained model naming the acoustic model it was adapted from.
inline constexpr const char* kTrainedBaseFile = "adapted-from";
// What PocketSphinx needs of an acoustic model folder.
inline constexpr const char* kAcousticModelFiles[] = {"mdef", "means", "variances", "sendump", "transition_matrices",
                                                      "feat.params"};

// Where the trained model lives: "trained" beside the service's settings.
QString TrainedModelFolder();
// The trained model to use with this acoustic model, empty when there is
// none (or it was adapted from another one).
QString TrainedModelFor(const QString& acousticModel);
// Removes the trained model; the shipped one is used again.
void RemoveTrainedModel();
