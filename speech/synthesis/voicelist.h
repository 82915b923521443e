// Which voices the service offers, in which order, and which one it uses
// when its settings name none.  A menu of every espeak-ng language is of no
// use to anyone: the natural voices come first, then espeak-ng's voices for
// English and for the user's own language; the settings can add languages.
#pragma once

#include "spcommon.h"

#include <QList>
#include <QStringList>

struct TVoiceListSettings {
  QString localeLanguage;      // "de" for de_AT
  QStringList extraLanguages;  // "fr", "pt-br"; "*" lists every voice
  QString configuredVoice;     // id or description; empty: none
};

// The service's settings (Synthesis/ExtraLanguages, Synthesis/DefaultVoice)
// and the user's locale.
TVoiceListSettings VoiceListSettingsFromService();

// natural: in order of preference; others: espeak-ng's voices, in any order.
// A configured voice that the filter leaves out is listed last, so the voice
// in use is always on the list.
QList<TSpObjectToken> ArrangeVoices(const QList<TSpObjectToken>& natural, const QList<TSpObjectToken>& others,
                                    const TVoiceListSettings& settings);

// The configured voice when installed (id or description, any case), else
// the first English voice of natural, else the first English one of listed,
// else the first listed; null for an empty list.
TSpObjectToken ChooseDefaultVoice(const QList<TSpObjectToken>& listed, const QList<TSpObjectToken>& natural,
                                  const QList<TSpObjectToken>& installed, const QString& configured);

// Looks a voice up by id or description, any case; null when not found.
TSpObjectToken FindVoice(const QList<TSpObjectToken>& voices, const QString& name);
