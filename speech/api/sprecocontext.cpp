#include "sprecocontext.h"

#include "commentlearner.h"
#include "dictatedphrases.h"
#include "recoengine.h"
#include "spdialogs.h"
#include "spsettings.h"
#include "sptext.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace {
const QStringList& SupportedUI() {
  static const QStringList types = {"AudioProperties", "AudioVolume", "AddRemoveWord", "MicTraining",
                                    "EngineProperties", "UserTraining"};
  return types;
}
constexpr qint64 kBytesPerMs = 32;  // 16 kHz, 16-bit mono
}  // namespace

QString TSpPhraseInfo::GetText(int firstElement, int numElements, bool useReplacements) const {
  const int n = int(FWords.size());
  if (firstElement < 0 || firstElement > n) throw ESpeechError(QStringLiteral("Phrase element out of range"));
  const int count = numElements < 0 ? n - firstElement : std::min(numElements, n - firstElement);
  const QStringList part = FWords.mid(firstElement, count);
  return useReplacements ? ApplyDictationReplacements(part) : part.join(' ');
}

std::shared_ptr<TSpRecoEngine> TSpRecoGrammar::Engine() const {
  auto e = FEngine.lock();
  if (!e) throw ESpeechError(QStringLiteral("The grammar's recognition context is gone"));
  return e;
}

void TSpRecoGrammar::DictationSetState(int state) {
  auto e = Engine();
  if (state == SGDSActive)
    e->Activate();
  else if (state == SGDSInactive)
    e->Deactivate();
  else
    throw ESpeechError(QStringLiteral("Unknown dictation state"));
}

int TSpRecoGrammar::DictationState() const { return Engine()->Active() ? SGDSActive : SGDSInactive; }

void TSpRecoGrammar::SetPhraseList(const QStringList& phrases) { Engine()->SetPhraseList(phrases); }

QStringList TSpRecoGrammar::PhraseList() const { return Engine()->PhraseList(); }

std::shared_ptr<TSpRecoEngine> TSpRecognizer::Engine() const {
  auto e = FEngine.lock();
  if (!e) throw ESpeechError(QStringLiteral("The recognition context is gone"));
  return e;
}

bool TSpRecognizer::IsUISupported(const QString& typeOfUI, const QVariant&) {
  Engine();
  return SupportedUI().contains(typeOfUI);
}

void TSpRecognizer::DisplayUI(QWidget* parent, const QString& title, const QString& typeOfUI,
                              const QVariant&) {
  auto e = Engine();
  if (!SupportedUI().contains(typeOfUI))
    throw ESpeechError(QStringLiteral("The recogniser has no dialog \"%1\"").arg(typeOfUI));
  ShowSpeechDialog(parent, title, typeOfUI, e.get());
}

QByteArray TSpRecognizer::AudioInputId() const {
  return OpenSpeechSettings()->value(kInputDevice).toByteArray();
}

void TSpRecognizer::SetAudioInputId(const QByteArray& id) {
  auto s = OpenSpeechSettings();
  if (id.isEmpty())
    s->remove(kInputDevice);
  else
    s->setValue(kInputDevice, id);
}

TSpSharedRecoContext::TSpSharedRecoContext(QObject* owner)
    : QObject(owner), FEngine(std::make_shared<TSpRecoEngine>()),
      FRecognizer(new TSpRecognizer(FEngine)), FInterests(SRERecognition | SREFalseRecognition) {
  qRegisterMetaType<TSpRecoResult>();
  TSpRecoEngine* e = FEngine.get();
  connect(e, &TSpRecoEngine::PhraseStarted, this, [this](qint64 ms) {
    if (FInterests & SRESoundStart) emit OnSoundStart(this, FEngine->Activations(), ms * kBytesPerMs);
  }, Qt::QueuedConnection);
  connect(e, &TSpRecoEngine::PhraseEnded, this, [this](qint64 ms) {
    if (FInterests & SRESoundEnd) emit OnSoundEnd(this, FEngine->Activations(), ms * kBytesPerMs);
  }, Qt::QueuedConnection);
  connect(e, &TSpRecoEngine::Recognised, this, [this](const QStringList& words, qint64 startMs, qint64 endMs, qint64 id) {
    if (FInterests & SRERecognition)
      emit OnRecognition(this, FEngine->Activations(), endMs * kBytesPerMs, SRTStandard, TSpRecoResult(words, startMs, endMs, id));
  }, Qt::QueuedConnection);
  connect(e, &TSpRecoEngine::NothingRecognised, this, [this](qint64 startMs, qint64 endMs) {
    if (FInterests & SREFalseRecognition)
      emit OnFalseRecognition(this, FEngine->Activations(), endMs * kBytesPerMs, SRTStandard, TSpRecoResult({}, startMs, endMs));
  }, Qt::QueuedConnection);
  connect(e, &TSpRecoEngine::Level, this, [this](int level) {
    if (FInterests & SREAudioLevel) emit OnAudioLevel(this, FEngine->Activations(), 0, level);
  }, Qt::QueuedConnection);
}

TSpSharedRecoContext::~TSpSharedRecoContext() {
  FKeeper.reset();
  FLearner.reset();
  FEngine->disconnect(this);
  FGrammar.reset();
  FEngine.reset();
}

void TSpSharedRecoContext::Connect() { FEngine->Connect(); }

int TSpSharedRecoContext::EventInterests() {
  Connect();
  return FInterests;
}

void TSpSharedRecoContext::SetEventInterests(int interests) {
  Connect();
  FInterests = interests;
}

std::shared_ptr<TSpRecoGrammar> TSpSharedRecoContext::CreateGrammar(int grammarId) {
  Connect();
  if (!FGrammar) FGrammar.reset(new TSpRecoGrammar(FEngine, grammarId));
  return FGrammar;
}

TSpRecognizer* TSpSharedRecoContext::Recognizer() {
  Connect();
  return FRecognizer.get();
}

bool TSpSharedRecoContext::WaitUntilIdle(int msTimeout) {
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    const bool busy = FEngine->Busy();
    // Let queued results reach their handlers.
    QEventLoop loop;
    QTimer::singleShot(busy ? 10 : 0, &loop, &QEventLoop::quit);
    loop.exec();
    if (!busy) return true;
    if (msTimeout >= 0 && clock.elapsed() >= msTimeout) return false;
  }
}

void TSpSharedRecoContext::LearnSavedText(const QString& text, const QString& before) {
  try {
    if (!FLearner) FLearner = std::make_unique<TCommentLearner>();
    FLearner->Add({text, before});
  } catch (const std::exception& e) {
    qWarning("varnelo-speech: a saved comment was not learned: %s", e.what());
  }
}

bool TSpSharedRecoContext::WaitUntilLearned(int msTimeout) {
  QElapsedTimer clock;
  clock.start();
  while (FLearner && !FLearner->Idle()) {
    if (msTimeout >= 0 && clock.elapsed() >= msTimeout) return false;
    QEventLoop loop;
    QTimer::singleShot(20, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

std::vector<short> TSpSharedRecoContext::PhraseAudio(qint64 phraseId) const { return FEngine->PhraseAudio(phraseId); }

void TSpSharedRecoContext::KeepDictatedPhrases(const QString& text, const QList<TSpDictatedPhrase>& phrases) {
  try {
    if (phrases.isEmpty() || !DictatedPhrasesKept()) return;
    // The sound is taken now: the oldest phrases' go as dictation goes on.
    std::vector<TDictatedSound> sounds;
    for (const TSpDictatedPhrase& p : phrases) {
      std::vector<short> samples = FEngine->PhraseAudio(p.result.PhraseId());
      if (!samples.empty()) sounds.push_back({p.result.PhraseInfo().Words(), p.at, std::move(samples)});
    }
    if (sounds.empty()) return;
    if (!FKeeper) FKeeper = std::make_unique<TPhraseKeeper>();
    FKeeper->Add(text, std::move(sounds));
  } catch (const std::exception& e) {
    qWarning("varnelo-speech: dictated phrases were not kept: %s", e.what());
  }
}

bool TSpSharedRecoContext::WaitUntilPhrasesKept(int msTimeout) {
  QElapsedTimer clock;
  clock.start();
  while (FKeeper && !FKeeper->Idle()) {
    if (msTimeout >= 0 && clock.elapsed() >= msTimeout) return false;
    QEventLoop loop;
    QTimer::singleShot(20, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}
