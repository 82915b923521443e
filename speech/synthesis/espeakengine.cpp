#include "espeakengine.h"

#include "spsettings.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

std::mutex gEngineMutex;
// Started once and kept to the end of the process: espeak-ng's terminate call
// waits forever for a thread of its own, and it holds one global instance.
std::shared_ptr<TEspeakEngine> gEngine;

struct TRunning {
  TEspeakEngine::TJob* job = nullptr;
  std::unique_ptr<TWordEventFilter> filter;
  qint64 samples = 0;
};
thread_local TRunning* tRunning = nullptr;

int SynthCallback(short* wav, int count, espeak_EVENT* events) {
  TRunning* r = tRunning;
  if (!r || !r->job) return 1;
  auto& job = *r->job;
  if (job.channel->generation.load() != job.generation) return 1;  // purged
  for (espeak_EVENT* e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
    if (e->type != espeakEVENT_WORD) continue;
    for (const auto& m : r->filter->Map(e->text_position, e->length, std::max(0, e->sample)))
      job.output->Word(job.stream, m.sample, m.position, m.length);
  }
  if (wav && count > 0) {
    job.output->Audio(job.stream, wav, count);
    r->samples += count;
  }
  return 0;
}

QString StatusText(espeak_ng_STATUS status) {
  char buffer[512] = {0};
  espeak_ng_GetStatusCodeMessage(status, buffer, sizeof buffer);
  return QString::fromUtf8(buffer);
}

}  // namespace

std::shared_ptr<TEspeakEngine> TEspeakEngine::Acquire() {
  std::lock_guard lock(gEngineMutex);
  if (gEngine) return gEngine;
  QString dataPath = OpenSpeechSettings()->value(kVoiceDataPath).toString();
  if (!dataPath.isEmpty() && !QFileInfo(QDir(dataPath).filePath("phondata")).isFile() &&
      !QFileInfo(QDir(dataPath).filePath("espeak-ng-data/phondata")).isFile())
    throw ESpeechError(QStringLiteral("The speech synthesiser's data was not found in ") + dataPath);
  std::shared_ptr<TEspeakEngine> e(new TEspeakEngine);
  std::promise<QString> started;
  auto result = started.get_future();
  e->FThread = std::thread([p = e.get(), &started, dataPath] { p->Run(&started, dataPath); });
  const QString error = result.get();
  if (!error.isEmpty()) {
    e->FThread.join();
    throw ESpeechError(error);
  }
  gEngine = e;
  // Never destroyed: the worker thread ends with the process.
  new std::shared_ptr<TEspeakEngine>(e);
  return e;
}

TEspeakEngine::~TEspeakEngine() {
  {
    std::lock_guard lock(FMutex);
    FQuit = true;
    for (auto& j : FJobs) j.channel->generation.fetch_add(1);
  }
  FWake.notify_all();
  if (FThread.joinable()) FThread.join();
}

void TEspeakEngine::Submit(TJob job) {
  {
    std::lock_guard lock(FMutex);
    FJobs.push_back(std::move(job));
  }
  FWake.notify_all();
}

void TEspeakEngine::Run(std::promise<QString>* started, QString dataPath) {
  const QByteArray path = dataPath.toUtf8();
  espeak_ng_InitializePath(path.isEmpty() ? nullptr : path.constData());
  espeak_ng_ERROR_CONTEXT context = nullptr;
  espeak_ng_STATUS status = espeak_ng_Initialize(&context);
  if (status != ENS_OK) {
    espeak_ng_ClearErrorContext(&context);
    started->set_value(QStringLiteral("The speech synthesiser could not be started: ") + StatusText(status));
    return;
  }
  status = espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, 0, nullptr);
  if (status != ENS_OK) {
    espeak_ng_Terminate();
    started->set_value(QStringLiteral("The speech synthesiser could not be started: ") + StatusText(status));
    return;
  }
  espeak_SetSynthCallback(SynthCallback);
  FSampleRate = espeak_ng_GetSampleRate();

  QList<TSpObjectToken> voices;
  if (const espeak_VOICE** list = espeak_ListVoices(nullptr)) {
    for (; *list; ++list) {
      const espeak_VOICE* v = *list;
      QString name = QString::fromUtf8(v->name).replace('_', ' ');
      QString language = v->languages ? QString::fromUtf8(v->languages + 1) : QString();
      voices.push_back(TSpObjectToken(QString::fromUtf8(v->identifier), name, language));
    }
  }
  std::stable_sort(voices.begin(), voices.end(), [](const TSpObjectToken& a, const TSpObjectToken& b) {
    const int c = QString::compare(a.GetDescription(), b.GetDescription(), Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a.Id() < b.Id();
  });
  FVoices = voices;
  // English unless the service's settings name another installed voice.
  const QString wanted = OpenSpeechSettings()->value(kVoiceDefault).toString();
  for (const auto& v : FVoices)
    if (!wanted.isEmpty() && (v.Id() == wanted || v.GetDescription() == wanted)) FDefault = v;
  if (FDefault.IsNull() && espeak_ng_SetVoiceByName("en") == ENS_OK) {
    if (const espeak_VOICE* cur = espeak_GetCurrentVoice()) {
      const QString id = QString::fromUtf8(cur->identifier ? cur->identifier : "");
      for (const auto& v : FVoices)
        if (v.Id() == id) FDefault = v;
    }
  }
  if (FDefault.IsNull() && !FVoices.isEmpty()) FDefault = FVoices.front();
  started->set_value(QString());

  for (;;) {
    TJob job;
    {
      std::unique_lock lock(FMutex);
      FWake.wait(lock, [this] { return FQuit || !FJobs.empty(); });
      if (FQuit) break;
      job = std::move(FJobs.front());
      FJobs.pop_front();
    }
    Synthesise(job);
  }
}

void TEspeakEngine::Synthesise(TJob& job) {
  if (job.channel->generation.load() != job.generation) return;  // purged while queued
  if (job.synthesise) {
    job.synthesise(job);
    return;
  }
  bool ok = true;
  if (!job.voiceId.isEmpty() && job.voiceId != FCurrentVoice) {
    if (espeak_ng_SetVoiceByName(job.voiceId.toUtf8().constData()) == ENS_OK)
      FCurrentVoice = job.voiceId;
    else
      ok = false;
  }
  if (ok && !job.text.utf8.isEmpty()) {
    TRunning running;
    running.job = &job;
    running.filter = std::make_unique<TWordEventFilter>(job.text);
    tRunning = &running;
    unsigned int id = 0;
    const espeak_ERROR err = espeak_Synth(job.text.utf8.constData(), size_t(job.text.utf8.size()) + 1, 0,
                                          POS_CHARACTER, 0, espeakCHARS_UTF8, &id, nullptr);
    tRunning = nullptr;
    ok = err == EE_OK;
  }
  const bool completed = ok && job.channel->generation.load() == job.generation;
  job.output->Done(job.stream, completed);
}
