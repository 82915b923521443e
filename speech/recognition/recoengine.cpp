#include "recoengine.h"

#include "audioinput.h"
#include "frontend.h"
#include "spsettings.h"

#include <pocketsphinx.h>
#include <sphinxbase/feat.h>
#include <sphinxbase/err.h>
#include <sphinxbase/fe.h>
#include <sphinxbase/fsg_model.h>
#include <sphinxbase/jsgf.h>

#include <type_traits>
static_assert(std::is_same_v<mfcc_t, float>, "sphinxbase built with floating-point features");

#include <QDir>
#include <QFileInfo>
#include <QMediaDevices>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <mutex>

namespace {
constexpr int kRate = 16000;

std::vector<float> LiveMean(ps_decoder_t* ps) {
  cmn_t* cmn = ps_get_feat(ps)->cmn_struct;
  std::vector<float> mean(size_t(cmn->veclen));
  cmn_live_get(cmn, mean.data());
  return mean;
}

void SetLiveMean(ps_decoder_t* ps, const std::vector<float>& mean) {
  cmn_t* cmn = ps_get_feat(ps)->cmn_struct;
  if (mean.size() == size_t(cmn->veclen)) cmn_live_set(cmn, mean.data());
}

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}
}  // namespace

TSpRecoEngine::TSpRecoEngine() { FLoaded = FLoadedPromise.get_future().share(); }

TSpRecoEngine::~TSpRecoEngine() {
  if (FInputStart.valid() && FInputStart.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
    // The input thread is stuck inside the audio backend; leave it behind.
    FInputThread.release();
    FInput = nullptr;
  }
  if (FInput) {
    QMetaObject::invokeMethod(FInput, [this] { FInput->Stop(); delete FInput; }, Qt::BlockingQueuedConnection);
    FInput = nullptr;
    FInputThread->quit();
    FInputThread->wait();
  }
  if (FThread.joinable()) {
    // Quitting right after (or during) a dictation: the worker finishes what
    // is queued, so the running mean is kept, but the phrase-end signals
    // would reach objects that are being destroyed with this one.
    FClosing = true;
    if (FActive) {
      FActive = false;
      PostEndOfDictation();
    }
    {
      std::lock_guard lock(FMutex);
      FQuit = true;
    }
    FWake.notify_all();
    FThread.join();
  }
}

void TSpRecoEngine::CheckModel(const TRecoModel& m) const {
  if (!QFileInfo(QDir(m.acousticModel).filePath("mdef")).isFile())
    throw ESpeechError(QStringLiteral("The speech recogniser's acoustic model was not found in ") + m.acousticModel);
  if (!QFileInfo(m.dictionary).isFile())
    throw ESpeechError(QStringLiteral("The speech recogniser's dictionary was not found: ") + m.dictionary);
  if (!QFileInfo(m.languageModel).isFile())
    throw ESpeechError(QStringLiteral("The speech recogniser's language model was not found: ") + m.languageModel);
}

void TSpRecoEngine::Connect() {
  if (FConnected) return;
  const TRecoModel m = RecoModelFromSettings();
  CheckModel(m);
  // Without a sound server there is no microphone to listen to.
  if (QMediaDevices::audioInputs().isEmpty())
    throw ESpeechError(QStringLiteral("No audio input device is available"));
  FAcousticModel = m.acousticModel;
  FLanguageModel = m.languageModel;
  FKeepAudio = true;
  FThread = std::thread([this] { Run(); });
  Post([this, m] { Load(m); });
  FInputThread = std::make_unique<QThread>();
  FInputThread->setObjectName(QStringLiteral("speech-input"));
  FInput = new TRecoInput([this](const short* samples, int count, int level) {
    Feed(samples, count);
    emit Level(level);
  });
  FInput->moveToThread(FInputThread.get());
  FInputThread->start();
  FConnected = true;
}

void TSpRecoEngine::ConnectForFeed(const TRecoModel& m) {
  if (FConnected) return;
  CheckModel(m);
  FThread = std::thread([this] { Run(); });
  Post([this, m] { Load(m); });
  FConnected = true;
}

void TSpRecoEngine::Post(TTask task) {
  {
    std::lock_guard lock(FMutex);
    FTasks.push_back(std::move(task));
  }
  FWake.notify_all();
}

template <typename R>
R TSpRecoEngine::Call(std::function<R()> f) {
  std::promise<R> p;
  auto fut = p.get_future();
  Post([&] {
    try {
      p.set_value(f());
    } catch (...) {
      p.set_exception(std::current_exception());
    }
  });
  return fut.get();
}

void TSpRecoEngine::Run() {
  for (;;) {
    TTask task;
    {
      std::unique_lock lock(FMutex);
      FWake.wait(lock, [this] { return FQuit || !FTasks.empty(); });
      if (FTasks.empty()) break;  // quitting, with nothing left to do
      task = std::move(FTasks.front());
      FTasks.pop_front();
      FRunning = true;
    }
    task();
    std::lock_guard lock(FMutex);
    FRunning = false;
  }
  if (FDecoder) ps_free(FDecoder);
  FDecoder = nullptr;
}

namespace {
// ps_set_jsgf_string keeps the parsed grammar for good (about 7 KB each
// time a phrase list is set): the same steps, with the grammar freed.
int SetGrammar(ps_decoder_t* ps, const char* name, const QByteArray& text) {
  jsgf_t* grammar = jsgf_parse_string(text.constData(), nullptr);
  if (!grammar) return -1;
  int rc = -1;
  if (jsgf_rule_t* rule = jsgf_get_public_rule(grammar)) {
    if (fsg_model_t* fsg =
            jsgf_build_fsg(grammar, rule, ps_get_logmath(ps), cmd_ln_float32_r(ps_get_config(ps), "-lw"))) {
      rc = ps_set_fsg(ps, name, fsg);
      fsg_model_free(fsg);
    }
  }
  jsgf_grammar_free(grammar);
  return rc;
}

// Decoder flags chosen on our own dictation development sentences (see
// bench/dictation.cpp) and on recordings of real readers (bench/realvoices.sh);
// a model's settings may override each. Wider beams than PocketSphinx's
// defaults and the lattice pass each took about a point of word errors off;
// the flat second pass cost more time than it won.
// Real voices breathe, click and pause where synthetic ones do not, and the
// decoder heard words there: letting silence and the acoustic model's noise
// words in more easily, and weighing the language model more (most in the
// lattice pass), took words wrong on real readers from 60.6 % to 39.4 % with
// a model of the sentences read, and from 71.8 % to 67.4 % with the shipped
// model; synthetic findings went from 5.0 % to 4.1 %, synthetic ordinary
// English from 13.0 % to 14.2 %. Heavier weights went on helping the
// sentences' own model but cost the synthetic voices several points.
// Also tried: not subtracting the noise floor, -topn 8, the VAD threshold
// either way (each worse or slower).
const std::pair<const char*, const char*> kDecoderDefaults[] = {
    // 0.3 s of silence ends a phrase.
    {"vad_postspeech", "30"},
    {"beam", "1e-60"},
    {"wbeam", "1e-40"},
    {"fwdflat", "no"},
    {"bestpath", "yes"},
    {"fillprob", "1e-3"},
    {"silprob", "0.05"},
    {"lw", "8"},
    {"bestpathlw", "12"},
};

}  // namespace

void TSpRecoEngine::Load(const TRecoModel& m) {
  if (!Build(m))
    FLoadError = QStringLiteral("The speech recogniser could not load its model");
  else
    FInitialMean = LiveMean(FDecoder);
  FLoadedPromise.set_value();
}

bool TSpRecoEngine::Build(const TRecoModel& m) {
  // Sensitivity moves the speech/silence threshold (2.0 at the middle).
  const QByteArray threshold = QByteArray::number(3.5 - 0.03 * m.sensitivity, 'f', 2);
  QMap<QString, QString> flags;
  for (const auto& [k, v] : kDecoderDefaults) flags[k] = v;
  for (auto it = m.decoder.begin(); it != m.decoder.end(); ++it) flags[it.key()] = it.value();
  std::vector<QByteArray> args = {"varnelo-speech", "-hmm", m.acousticModel.toLocal8Bit(), "-dict",
                                  m.dictionary.toLocal8Bit(), "-lm", m.languageModel.toLocal8Bit(),
                                  "-vad_threshold", threshold};
  for (auto it = flags.begin(); it != flags.end(); ++it) {
    args.push_back("-" + it.key().toLocal8Bit());
    args.push_back(it.value().toLocal8Bit());
  }
  std::vector<char*> argv;
  for (QByteArray& a : args) argv.push_back(a.data());
  // The decoder's log is process-wide: a log file given to each decoder
  // closes the one another decoder may be writing to at that moment. It is
  // switched off once instead.
  static std::once_flag quiet;
  std::call_once(quiet, [] { err_set_logfp(nullptr); });
  cmd_ln_t* config = cmd_ln_parse_r(nullptr, ps_args(), int32(argv.size()), argv.data(), FALSE);
  if (config) {
    // One front end at a time, each reading its own warp.
    const std::lock_guard<std::mutex> lock(FrontEndLock());
    ForgetWarp();
    FDecoder = ps_init(config);
  }
  if (config) cmd_ln_free_r(config);
  if (FDecoder) {
    if (const char* s = ps_get_search(FDecoder)) FDefaultSearch = s;
    // Words the user added through the service's dialog; each also becomes a
    // word of the language model, so it is heard in running speech.
    for (const auto& [word, phones] : UserWords(*OpenSpeechSettings()))
      ps_add_word(FDecoder, word.toUtf8().constData(), phones.constData(), TRUE);
  }
  return FDecoder != nullptr;
}

void TSpRecoEngine::ReloadIfRetrained() {
  // Training, learning (or their removal) change the acoustic or language
  // model under a running recogniser: the next dictation uses the new one.
  if (!FInput) return;
  const TRecoModel now = RecoModelFromSettings();
  if (now.acousticModel == FAcousticModel && now.languageModel == FLanguageModel) return;
  const bool ok = Call<bool>([this, now] {
    ps_decoder_s* old = FDecoder;
    const QByteArray oldSearch = FDefaultSearch;
    FDecoder = nullptr;
    if (!Build(now)) {  // keep listening with the model we had
      FDecoder = old;
      FDefaultSearch = oldSearch;
      return false;
    }
    if (old) {
      // The voice and the microphone are the same: only the model changed.
      SetLiveMean(FDecoder, LiveMean(old));
      ps_free(old);
    }
    FInUtterance = FInSpeech = false;
    return true;
  });
  if (!ok) return;
  FAcousticModel = now.acousticModel;
  FLanguageModel = now.languageModel;
  if (!FPhrases.isEmpty()) SetPhraseList(FPhrases);
}

void TSpRecoEngine::WaitLoaded() {
  if (!FConnected) Connect();
  // Written before the promise is kept, so safe to read once it is.
  FLoaded.wait();
  if (!FLoadError.isEmpty()) throw ESpeechError(FLoadError);
}

void TSpRecoEngine::Activate() {
  WaitLoaded();
  if (FActive) return;
  ReloadIfRetrained();
  if (!FInput) {  // fed directly, no microphone to open
    FActive = true;
    ++FActivations;
    return;
  }
  if (FInputStart.valid() && FInputStart.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
    throw ESpeechError(QStringLiteral("The audio input is not responding"));
  // A voice through a microphone has a mean of its own that takes seconds of
  // speech to learn: start from where the last dictation on it ended.
  const QByteArray input = RecoInputDevice().id();
  if (input != FInputId || FActivations == 0) {
    // A kept mean is used only when whole and plausible; anything else
    // (hand-edited, another model's) falls back to the model's own start.
    const std::vector<float> mean = KeptCepstralMean(*OpenSpeechSettings(), input);
    Post([this, mean] {
      SetLiveMean(FDecoder, mean.size() == FInitialMean.size() ? mean : FInitialMean);
    });
    FInputId = input;
  }
  Post([this] { FHeardSpeech = false; });
  // Some sources never finish opening (Qt waits forever on a bare pipe
  // source): give up after a while rather than freeze the caller.
  auto started = std::make_shared<std::promise<QString>>();
  FInputStart = started->get_future().share();
  QMetaObject::invokeMethod(FInput, [this, started] { started->set_value(FInput->Start()); }, Qt::QueuedConnection);
  if (FInputStart.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
    throw ESpeechError(QStringLiteral("The audio input did not open"));
  const QString error = FInputStart.get();
  if (!error.isEmpty()) throw ESpeechError(error);
  FActive = true;
  ++FActivations;
}

void TSpRecoEngine::Deactivate() {
  if (!FActive) return;
  FActive = false;
  if (FInput) QMetaObject::invokeMethod(FInput, [&] { FInput->Stop(); }, Qt::BlockingQueuedConnection);
  PostEndOfDictation();
}

void TSpRecoEngine::PostEndOfDictation() {
  Post([this] { EndPhrase(true); });
  // Only a microphone has an input id: fed audio keeps no mean.
  if (!FInputId.isEmpty())
    Post([this, input = FInputId] {
      if (!FHeardSpeech || !FDecoder) return;
      QStringList values;
      for (float v : LiveMean(FDecoder)) values << QString::number(double(v), 'f', 3);
      auto settings = OpenSpeechSettings();
      settings->setValue(kCepstralMean, values.join(','));
      settings->setValue(kCepstralMeanInput, input);
    });
}

void TSpRecoEngine::Feed(const short* samples, int count) {
  std::vector<short> v(samples, samples + count);
  {
    std::lock_guard lock(FMutex);
    ++FPendingAudio;
  }
  Post([this, v = std::move(v)]() mutable {
    Decode(std::move(v));
    std::lock_guard lock(FMutex);
    --FPendingAudio;
  });
}

bool TSpRecoEngine::Busy() const {
  std::lock_guard lock(FMutex);
  // A task taken off the queue is still work in progress: the end of a
  // phrase may be emitting its words to a caller that waits for Busy().
  return FPendingAudio > 0 || !FTasks.empty() || FRunning;
}

void TSpRecoEngine::Timing(double* audioSeconds, double* cpuSeconds) const {
  std::lock_guard lock(FMutex);
  if (audioSeconds) *audioSeconds = FAudioSecondsCache;
  if (cpuSeconds) *cpuSeconds = FCpuCache;
}

bool TSpRecoEngine::SeedCepstralMean(const std::vector<short>& samples) {
  WaitLoaded();
  return Call<bool>([this, &samples] {
    // A front end of the decoder's own settings, so that its voice activity
    // detector keeps the same frames the decoder would hear.
    // The front end takes a reference of its own (fe_free drops it): a
    // second one here kept the whole configuration alive for good.
    fe_t* fe = [this] {
      const std::lock_guard<std::mutex> lock(FrontEndLock());
      ForgetWarp();
      return fe_init_auto_r(ps_get_config(FDecoder));
    }();
    if (!fe) return false;
    const int dims = fe_get_output_size(fe);
    constexpr int kFrames = 256;
    mfcc_t** cep = (mfcc_t**)ckd_calloc_2d(kFrames, size_t(dims), sizeof(mfcc_t));
    std::vector<double> sum(static_cast<size_t>(dims), 0.0);
    long frames = 0;
    fe_start_utt(fe);
    const int16* p = samples.data();
    size_t left = samples.size();
    while (left > 0) {
      int32 n = kFrames;
      if (fe_process_frames(fe, &p, &left, cep, &n, nullptr) < 0) break;
      if (n == 0 && left > 0) continue;
      for (int f = 0; f < n; ++f)
        for (int d = 0; d < dims; ++d) sum[size_t(d)] += double(cep[f][d]);
      frames += n;
      if (n == 0) break;
    }
    ckd_free_2d(cep);
    fe_free(fe);
    if (frames == 0) return false;
    std::vector<float> mean(static_cast<size_t>(dims));
    for (int d = 0; d < dims; ++d) mean[size_t(d)] = float(sum[size_t(d)] / double(frames));
    SetLiveMean(FDecoder, mean);
    return true;
  });
}

std::vector<float> TSpRecoEngine::CepstralMean() {
  WaitLoaded();
  return Call<std::vector<float>>([this] { return LiveMean(FDecoder); });
}

void TSpRecoEngine::Decode(std::vector<short> samples) {
  if (!FDecoder) return;
  const double t0 = CpuSeconds();
  if (!FInUtterance) {
    ps_start_utt(FDecoder);
    FInUtterance = true;
    FInSpeech = false;
  }
  ps_process_raw(FDecoder, samples.data(), samples.size(), FALSE, FALSE);
  if (FKeepAudio) FAudio.Append(samples.data(), samples.size());
  const qint64 before = FSamples;
  FSamples += qint64(samples.size());
  const bool inSpeech = ps_get_in_speech(FDecoder);
  if (inSpeech && !FInSpeech) {
    FInSpeech = true;
    FHeardSpeech = true;
    FPhraseStart = FSamples * 1000 / kRate;
    FPhraseStartSample = before;
    if (!FClosing) emit PhraseStarted(FPhraseStart);
  } else if (!inSpeech && FInSpeech) {
    EndPhrase(false);
  }
  FCpu += CpuSeconds() - t0;
  std::lock_guard lock(FMutex);
  FAudioSecondsCache = double(FSamples) / kRate;
  FCpuCache = FCpu;
}

void TSpRecoEngine::EndPhrase(bool flush) {
  if (!FDecoder || !FInUtterance) return;
  const double t0 = CpuSeconds();
  ps_end_utt(FDecoder);
  FInUtterance = false;
  const bool hadSpeech = FInSpeech;
  FInSpeech = false;
  if (hadSpeech && !FClosing) {
    const qint64 endMs = FSamples * 1000 / kRate;
    emit PhraseEnded(endMs);
    int32 score = 0;
    const char* hyp = ps_get_hyp(FDecoder, &score);
    QStringList words;
    for (const QString& w : QString::fromUtf8(hyp ? hyp : "").split(' ', Qt::SkipEmptyParts)) {
      if (w.startsWith('<') || w.startsWith('[')) continue;  // silence and noise
      QString word = w;
      const int alt = word.indexOf('(');  // alternative pronunciations: word(2)
      if (alt > 0) word.truncate(alt);
      words << word;
    }
    if (words.isEmpty())
      emit NothingRecognised(FPhraseStart, endMs);
    else
      emit Recognised(words, FPhraseStart, endMs, FKeepAudio ? FAudio.Keep(FPhraseStartSample, FSamples) : 0);
  }
  // Deactivation ends the utterance; otherwise listening goes on.
  if (!flush) {
    ps_start_utt(FDecoder);
    FInUtterance = true;
  }
  FCpu += CpuSeconds() - t0;
}

void TSpRecoEngine::SetPhraseList(const QStringList& phrases) {
  WaitLoaded();
  QStringList clean;
  for (const QString& p : phrases) {
    const QString s = p.simplified().toLower();
    if (!s.isEmpty()) clean << s;
  }
  Call<int>([this, clean] {
    const bool wasIn = FInUtterance;
    if (FInUtterance) EndPhrase(true);
    int rc = 0;
    if (clean.isEmpty()) {
      rc = ps_set_search(FDecoder, FDefaultSearch.constData());
    } else {
      for (const QString& phrase : clean)
        for (const QString& w : phrase.split(' '))
          if (char* pron = ps_lookup_word(FDecoder, w.toUtf8().constData()))
            ckd_free(pron);
          else
            throw ESpeechError(QStringLiteral("The word \"%1\" is not in the recogniser's dictionary").arg(w));
      QString jsgf = QStringLiteral("#JSGF V1.0;\ngrammar phrases;\npublic <phrase> = ( ");
      jsgf += clean.join(QStringLiteral(" | "));
      jsgf += QStringLiteral(" );\n");
      rc = SetGrammar(FDecoder, "phrases", jsgf.toUtf8());
      if (rc >= 0) rc = ps_set_search(FDecoder, "phrases");
    }
    if (wasIn) {
      ps_start_utt(FDecoder);
      FInUtterance = true;
    }
    if (rc < 0) throw ESpeechError(QStringLiteral("The phrase list could not be set"));
    return 0;
  });
  FPhrases = clean;
}

void TSpRecoEngine::AddWord(const QString& word, const QString& phones) {
  WaitLoaded();
  const QByteArray w = word.trimmed().toLower().toUtf8(), p = phones.simplified().toUpper().toUtf8();
  const int rc = Call<int>([this, w, p] {
    const bool wasIn = FInUtterance;
    if (FInUtterance) EndPhrase(true);
    const int r = ps_add_word(FDecoder, w.constData(), p.constData(), TRUE);
    if (wasIn) {
      ps_start_utt(FDecoder);
      FInUtterance = true;
    }
    return r;
  });
  if (rc < 0) throw ESpeechError(QStringLiteral("The word \"%1\" could not be added").arg(word));
}

QString TSpRecoEngine::LookupWord(const QString& word) {
  WaitLoaded();
  const QByteArray w = word.trimmed().toLower().toUtf8();
  return Call<QString>([this, w] {
    char* p = ps_lookup_word(FDecoder, w.constData());
    QString r = p ? QString::fromUtf8(p) : QString();
    ckd_free(p);
    return r;
  });
}
