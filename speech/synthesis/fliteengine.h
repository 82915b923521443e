// flite's voices (Debian's libflite1): clearer than espeak-ng's formant
// voices.  Synthesis runs on the synthesis thread (see TEspeakEngine): a job
// for a flite voice carries Synthesise as its synthesise step, so flite is
// only ever entered from that one thread.
#pragma once

#include "spcommon.h"
#include "synthjob.h"

#include <QList>

#include <map>

struct cst_voice_struct;

class TFliteEngine {
public:
  // The voices built in, most natural first (by how well the general
  // recogniser hears them; see bench/readback.sh).
  static const QList<TSpObjectToken>& Voices();
  static bool IsFliteVoice(const QString& id);
  // The one instance, used only on the synthesis thread.
  static TFliteEngine& Instance();

  // On the synthesis thread: speaks job.text in pieces of a sentence or so,
  // checking for a purge between pieces, with word marks from the
  // utterance's token and segment timings.
  void Synthesise(TSynthJob& job);

private:
  cst_voice_struct* Voice(const QString& id);
  std::map<QString, cst_voice_struct*> FVoices;
  bool FInitialised = false;
};
