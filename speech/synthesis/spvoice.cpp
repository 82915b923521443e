#include "spvoice.h"

#include "audioplayer.h"
#include "espeakengine.h"
#include "fliteengine.h"
#include "voicelist.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <future>
#include <set>

class TSpVoicePrivate {
public:
  explicit TSpVoicePrivate(TSpVoice* q) : q(q) {}

  void Connect() {
    if (engine) return;
    auto e = TEspeakEngine::Acquire();
    thread = std::make_unique<QThread>();
    thread->setObjectName(QStringLiteral("speech-playback"));
    player = std::make_shared<TAudioPlayer>(e->SampleRate());
    player->moveToThread(thread.get());
    QObject::connect(player.get(), &TAudioPlayer::WordReached, q,
                     [this](int s, qint64 pos, int p, int l) { OnWord(s, pos, p, l); }, Qt::QueuedConnection);
    QObject::connect(player.get(), &TAudioPlayer::StreamEnded, q,
                     [this](int s, qint64 pos) { OnEnd(s, pos); }, Qt::QueuedConnection);
    QObject::connect(player.get(), &TAudioPlayer::Failed, q,
                     [this](const QString& m) { OnFailed(m); }, Qt::QueuedConnection);
    thread->start();
    const TVoiceListSettings settings = VoiceListSettingsFromService();
    installed = TFliteEngine::Voices();
    installed += e->Voices();
    voices = ArrangeVoices(TFliteEngine::Voices(), e->Voices(), settings);
    voice = ChooseDefaultVoice(voices, TFliteEngine::Voices(), installed, settings.configuredVoice);
    if (voice.IsNull()) voice = e->DefaultVoice();
    engine = e;
  }

  // Every job goes through espeak-ng's queue; a flite voice's job carries
  // flite's synthesis step.
  void Submit(TSynthJob job) {
    job.sampleRate = engine->SampleRate();
    if (TFliteEngine::IsFliteVoice(job.voiceId))
      job.synthesise = [](TSynthJob& j) { TFliteEngine::Instance().Synthesise(j); };
    engine->Submit(std::move(job));
  }

  void Ensure() {
    if (!engine) {
      if (!autoConnect) throw ESpeechError(QStringLiteral("The voice is not connected to the speech synthesiser"));
      Connect();
    }
  }

  template <typename F>
  auto OnPlayer(F f) {
    using R = decltype(f());
    R r{};
    QMetaObject::invokeMethod(player.get(), [&] { r = f(); }, Qt::BlockingQueuedConnection);
    return r;
  }

  void Purge() {
    channel->generation.fetch_add(1);
    live.clear();
    OnPlayer([this] { player->Purge(); return 0; });
  }

  void OnWord(int stream, qint64 pos, int p, int l) {
    if (live.count(stream)) emit q->OnWord(q, stream, pos, p, l);
  }
  void OnEnd(int stream, qint64 pos) {
    if (!live.erase(stream)) return;
    emit q->OnEndStream(q, stream, pos);
  }
  void OnFailed(const QString& message) {
    channel->generation.fetch_add(1);
    const std::set<int> ended = live;
    live.clear();
    emit q->OnAudioError(q, message);
    for (int s : ended) emit q->OnEndStream(q, s, 0);
  }

  ~TSpVoicePrivate() {
    if (player) {
      channel->generation.fetch_add(1);
      QThread* home = q->thread();
      OnPlayer([this, home] { player->Shutdown(home); return 0; });
      player->disconnect(q);
      thread->quit();
      thread->wait();
    }
  }

  TSpVoice* q;
  bool autoConnect = true;
  std::shared_ptr<TEspeakEngine> engine;
  std::shared_ptr<TSynthChannel> channel = std::make_shared<TSynthChannel>();
  std::shared_ptr<TAudioPlayer> player;
  std::unique_ptr<QThread> thread;
  TSpObjectToken voice;
  QList<TSpObjectToken> voices;     // offered, in the service's order
  QList<TSpObjectToken> installed;  // every voice of every engine
  std::set<int> live;
  int nextStream = 0;
};

TSpVoice::TSpVoice(QObject* owner) : QObject(owner), d(std::make_unique<TSpVoicePrivate>(this)) {}

TSpVoice::~TSpVoice() = default;

bool TSpVoice::AutoConnect() const { return d->autoConnect; }
void TSpVoice::SetAutoConnect(bool on) { d->autoConnect = on; }
void TSpVoice::Connect() { d->Connect(); }
bool TSpVoice::Connected() const { return bool(d->engine); }

TSpObjectTokens TSpVoice::GetVoices(const QString& requiredAttributes, const QString& optionalAttributes) {
  d->Ensure();
  if (!requiredAttributes.isEmpty() || !optionalAttributes.isEmpty())
    throw ESpeechError(QStringLiteral("Voice attributes are not supported"));
  return TSpObjectTokens(d->voices);
}

TSpObjectToken TSpVoice::Voice() {
  d->Ensure();
  if (d->voice.IsNull()) throw ESpeechError(QStringLiteral("No voice is installed"));
  return d->voice;
}

void TSpVoice::SetVoice(const TSpObjectToken& token) {
  d->Ensure();
  for (const auto& v : d->installed)
    if (v == token) {
      d->voice = v;
      return;
    }
  throw ESpeechError(QStringLiteral("The voice \"%1\" is not installed").arg(token.Id()));
}

int TSpVoice::Speak(const QString& text, int flags) {
  d->Ensure();
  if (flags & ~(SVSFlagsAsync | SVSFPurgeBeforeSpeak))
    throw ESpeechError(QStringLiteral("Unsupported speak flags"));
  if (flags & SVSFPurgeBeforeSpeak) d->Purge();
  if (text.isEmpty() && (flags & SVSFPurgeBeforeSpeak)) return 0;
  const QString error = d->OnPlayer([this] { return d->player->EnsureSink(); });
  if (!error.isEmpty()) throw ESpeechError(error);
  const int stream = ++d->nextStream;
  d->live.insert(stream);
  d->player->AddStream(stream);
  TEspeakEngine::TJob job;
  job.channel = d->channel;
  job.generation = d->channel->generation.load();
  job.stream = stream;
  job.voiceId = d->voice.Id();
  job.text = PrepareSpeakText(text, TSpeakForm::Spoken);
  job.output = d->player;
  d->Submit(std::move(job));
  if (!(flags & SVSFlagsAsync)) WaitUntilDone(-1);
  return stream;
}

void TSpVoice::Pause() {
  d->Ensure();
  d->OnPlayer([this] { d->player->Pause(); return 0; });
}

void TSpVoice::Resume() {
  d->Ensure();
  d->OnPlayer([this] { d->player->Resume(); return 0; });
}

bool TSpVoice::WaitUntilDone(int msTimeout) {
  QElapsedTimer clock;
  clock.start();
  while (!d->live.empty()) {
    if (msTimeout >= 0 && clock.elapsed() >= msTimeout) return false;
    QEventLoop loop;
    QTimer::singleShot(10, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

bool TSpVoice::IsSpeaking() const { return !d->live.empty(); }

qint64 TSpVoice::SinkProcessedUSecs() const { return d->player ? d->player->ProcessedUSecs() : 0; }

namespace {
// Collects a job's output for SynthesizeToSamples.
class TCollector : public TSynthOutput {
public:
  void Audio(int, const short* samples, int count) override { samples_.insert(samples_.end(), samples, samples + count); }
  void Word(int, qint64 sample, int position, int length) override { words_.push_back({position, length, sample}); }
  void Done(int, bool completed) override { done_.set_value(completed); }
  std::vector<short> samples_;
  std::vector<TWordMark> words_;
  std::promise<bool> done_;
};
}  // namespace

std::vector<short> TSpVoice::SynthesizeToSamples(const QString& text, std::vector<TWordMark>* words) {
  d->Ensure();
  auto collector = std::make_shared<TCollector>();
  auto finished = collector->done_.get_future();
  // A channel of its own: a purge of spoken output leaves this alone.
  TSynthJob job;
  job.channel = std::make_shared<TSynthChannel>();
  job.stream = 0;
  job.voiceId = d->voice.Id();
  job.text = PrepareSpeakText(text, TSpeakForm::Spoken);
  job.output = collector;
  d->Submit(std::move(job));
  if (!finished.get()) throw ESpeechError(QStringLiteral("The voice \"%1\" could not speak the text").arg(d->voice.GetDescription()));
  if (words) *words = std::move(collector->words_);
  return std::move(collector->samples_);
}

int TSpVoice::SampleRate() {
  d->Ensure();
  return d->engine->SampleRate();
}
