// The models the recogniser uses: the shipped radiology model, the acoustic
// model's own general one, and what the settings, a training (trainedmodel.h)
// and a learn (learnedmodel.h) make of them. Read by the recogniser, the
// trainer and the learner alike, so that none of them includes another.
#pragma once

#include <QMap>
#include <QString>

struct TRecoModel {
  QString acousticModel, dictionary, languageModel;
  int sensitivity = 50;  // 0..100
  // The acoustic model is the user's trained one (see trainedmodel.h).
  bool trained = false;
  // The language model and dictionary are the user's learned ones (learnedmodel.h).
  bool learned = false;
  // Decoder flags over the service's own choices, without the leading dash
  // ("lw" = "9"): for measuring settings, not for users.
  QMap<QString, QString> decoder;
};
// With the user's trained acoustic model where there is one.
TRecoModel RecoModelFromSettings();
// Where the shipped dictation model lives (the radiology language model and
// its dictionary), beside the program: <prefix>/share/varnelo/speech.
QString ShippedSpeechModelFolder();
TRecoModel ShippedRecoModel();   // the radiology model
TRecoModel GeneralRecoModel();   // the acoustic model's own general English model
