#include "voicelist.h"

#include "spsettings.h"

#include <QLocale>

#include <algorithm>


namespace {

QString Primary(const QString& language) { return language.section('-', 0, 0).toLower(); }

bool Matches(const QString& language, const QString& wanted) {
  const QString l = language.toLower(), w = wanted.trimmed().toLower().replace('_', '-');
  if (w.isEmpty()) return false;
  // "pt" takes pt-br and pt-pt; "pt-br" only itself.
  return w.contains('-') ? l == w || l.startsWith(w + '-') : Primary(l) == w;
}

}  // namespace

TVoiceListSettings VoiceListSettingsFromService() {
  TVoiceListSettings s;
  s.localeLanguage = Primary(QLocale::system().name().replace('_', '-'));
  auto ini = OpenSpeechSettings();
  // A list in the file, or one comma-separated value.
  for (const QString& v : ini->value(kVoiceExtraLanguages).toStringList())
    for (const QString& l : v.split(',', Qt::SkipEmptyParts))
      if (!l.trimmed().isEmpty()) s.extraLanguages << l.trimmed();
  s.configuredVoice = ini->value(kVoiceDefault).toString().trimmed();
  return s;
}

TSpObjectToken FindVoice(const QList<TSpObjectToken>& voices, const QString& name) {
  if (name.isEmpty()) return {};
  for (const auto& v : voices)
    if (v.Id().compare(name, Qt::CaseInsensitive) == 0) return v;
  for (const auto& v : voices)
    if (v.GetDescription().compare(name, Qt::CaseInsensitive) == 0) return v;
  return {};
}

QList<TSpObjectToken> ArrangeVoices(const QList<TSpObjectToken>& natural, const QList<TSpObjectToken>& others,
                                    const TVoiceListSettings& settings) {
  QList<TSpObjectToken> sorted = others;
  std::stable_sort(sorted.begin(), sorted.end(), [](const TSpObjectToken& a, const TSpObjectToken& b) {
    const int c = QString::compare(a.GetDescription(), b.GetDescription(), Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a.Id() < b.Id();
  });
  QList<TSpObjectToken> out;
  const auto add = [&](const TSpObjectToken& t) {
    if (!t.IsNull() && !out.contains(t)) out.push_back(t);
  };
  for (const auto& t : natural) add(t);
  // English first, then the user's language, then the extra ones in the
  // order the settings give them.
  QStringList groups{QStringLiteral("en")};
  if (!settings.localeLanguage.isEmpty() && !groups.contains(settings.localeLanguage))
    groups << settings.localeLanguage;
  const bool all = settings.extraLanguages.contains(QStringLiteral("*"));
  for (const QString& l : settings.extraLanguages)
    if (l != "*" && !groups.contains(l, Qt::CaseInsensitive)) groups << l;
  for (const QString& g : groups)
    for (const auto& t : sorted)
      if (Matches(t.Language(), g)) add(t);
  if (all)
    for (const auto& t : sorted) add(t);
  QList<TSpObjectToken> installed = natural;
  installed += others;
  add(FindVoice(installed, settings.configuredVoice));
  return out;
}

TSpObjectToken ChooseDefaultVoice(const QList<TSpObjectToken>& listed, const QList<TSpObjectToken>& natural,
                                  const QList<TSpObjectToken>& installed, const QString& configured) {
  if (TSpObjectToken t = FindVoice(installed, configured); !t.IsNull()) return t;
  for (const auto& t : natural)
    if (Primary(t.Language()) == "en" && listed.contains(t)) return t;
  for (const auto& t : listed)
    if (Primary(t.Language()) == "en") return t;
  return listed.isEmpty() ? TSpObjectToken() : listed.front();
}
