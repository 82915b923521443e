// The user's learned language model: where it lives and whether it belongs
// to the language model and dictionary in use. Written by the learner
// (learn.h), read whenever a recogniser loads its model.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <utility>

// In the learned folder: the link to the model in use, and in each model's
// folder the file describing it ("key<tab>value" lines).
inline constexpr const char* kLearnedModelLink = "model";
inline constexpr const char* kLearnedInfoFile = "info";

// The folder of the learned text and model: "learned" beside the settings.
QString LearnedFolder();
// The learned model's folder (holding learned.lm.bin and learned.dict) for
// this base language model and dictionary; empty when there is none or it
// was built from others.
QString LearnedModelFor(const QString& languageModel, const QString& dictionary);
// The description of the learned model in this folder.
QMap<QString, QString> LearnedModelInfo(const QString& dir);
// A description's lines: a key is a plain name (nothing invisible in it),
// its value the rest of the line.
QMap<QString, QString> ParseLearnedModelInfo(const QByteArray& bytes);
// As written; keys and values hold no line break, keys no tab.
QByteArray LearnedModelInfoText(const QList<std::pair<QString, QString>>& entries);
