#include "fliteengine.h"

#include <flite/flite.h>

#include <algorithm>
#include <cmath>
#include <vector>

extern "C" {
cst_voice* register_cmu_us_slt(const char* voxdir);
cst_voice* register_cmu_us_rms(const char* voxdir);
cst_voice* register_cmu_us_awb(const char* voxdir);
cst_voice* register_cmu_us_kal16(const char* voxdir);
}

namespace {

struct TFliteVoiceInfo {
  const char* id;
  const char* description;
  const char* language;
  cst_voice* (*add)(const char*);
};

// Most natural first: the order of the service's list and its default.  By
// the general recogniser's words wrong on our findings sentences
// (bench/readback.sh): rms 49.6 %, slt 56.2 %, kal16 57.4 %, awb 67.8 %;
// espeak-ng's British voice far worse.
const TFliteVoiceInfo kVoices[] = {
    {"cmu_us_rms", "English (America), male, natural (rms)", "en-us", register_cmu_us_rms},
    {"cmu_us_slt", "English (America), female, natural (slt)", "en-us", register_cmu_us_slt},
    {"cmu_us_kal16", "English (America), male (kal16)", "en-us", register_cmu_us_kal16},
    {"cmu_us_awb", "English (Scotland), male, natural (awb)", "en-gb-scotland", register_cmu_us_awb},
};

// A sentence or so per utterance: the first words are heard soon, and a
// purge takes effect within one piece.
constexpr int kChunkBytes = 300;

// Linear interpolation is enough going up from 16 kHz.
std::vector<short> Resample(const short* in, int count, int from, int to) {
  if (from == to || from <= 0) return std::vector<short>(in, in + count);
  const qint64 n = qint64(count) * to / from;
  std::vector<short> out(size_t(std::max<qint64>(0, n)));
  for (qint64 i = 0; i < n; ++i) {
    const double x = double(i) * from / to;
    const qint64 j = qint64(x);
    const double f = x - double(j);
    const double a = in[std::min<qint64>(j, count - 1)];
    const double b = in[std::min<qint64>(j + 1, count - 1)];
    out[size_t(i)] = short(std::lround(a + (b - a) * f));
  }
  return out;
}

// Seconds into the utterance where the token's first spoken word starts, or
// -1 when it has none (punctuation read as nothing).
double TokenStart(cst_item* token) {
  for (cst_item* word = item_daughter(token); word; word = item_next(word)) {
    cst_item* syl = item_as(word, "SylStructure");
    cst_item* seg = syl && item_daughter(syl) ? item_daughter(item_daughter(syl)) : nullptr;
    if (!seg) continue;
    cst_item* prev = item_prev(item_as(seg, "Segment"));
    return prev && item_feat_present(prev, "end") ? std::max(0.0, double(item_feat_float(prev, "end"))) : 0.0;
  }
  return -1;
}

}  // namespace

const QList<TSpObjectToken>& TFliteEngine::Voices() {
  static const QList<TSpObjectToken> voices = [] {
    QList<TSpObjectToken> r;
    for (const auto& v : kVoices)
      r.push_back(TSpObjectToken(QString::fromLatin1(v.id), QString::fromUtf8(v.description), QString::fromLatin1(v.language)));
    return r;
  }();
  return voices;
}

bool TFliteEngine::IsFliteVoice(const QString& id) {
  for (const auto& v : kVoices)
    if (id == QLatin1String(v.id)) return true;
  return false;
}

TFliteEngine& TFliteEngine::Instance() {
  // Never destroyed: the synthesis thread may still use it at exit.
  static TFliteEngine* engine = new TFliteEngine;
  return *engine;
}

cst_voice_struct* TFliteEngine::Voice(const QString& id) {
  if (!FInitialised) {
    flite_init();
    FInitialised = true;
  }
  auto it = FVoices.find(id);
  if (it != FVoices.end()) return it->second;
  cst_voice* v = nullptr;
  for (const auto& info : kVoices)
    if (id == QLatin1String(info.id)) v = info.add(nullptr);
  FVoices[id] = v;
  return v;
}

void TFliteEngine::Synthesise(TSynthJob& job) {
  const auto purged = [&] { return job.channel->generation.load() != job.generation; };
  cst_voice* voice = Voice(job.voiceId);
  if (!voice) {
    job.output->Done(job.stream, false);
    return;
  }
  const QByteArray input = FliteInputText(job.text);
  TWordEventFilter filter(job.text);
  qint64 base = 0;  // samples delivered so far
  for (const auto& [begin, end] : SynthesisChunks(input, kChunkBytes)) {
    if (purged()) break;
    const QByteArray piece = input.mid(begin, end - begin);
    cst_utterance* u = flite_synth_text(piece.constData(), voice);
    if (!u) continue;
    cst_wave* w = utt_wave(u);
    std::vector<short> audio;
    if (w && w->num_samples > 0 && w->num_channels == 1)
      audio = Resample(w->samples, w->num_samples, w->sample_rate, job.sampleRate);
    const qint64 last = base + qint64(audio.size());
    TTokenLocator locate(input, begin, end);
    for (cst_item* t = relation_head(utt_relation(u, "Token")); t; t = item_next(t)) {
      const QByteArray name(item_name(t));
      const int at = locate.Find(name);  // every token moves the search on
      const double start = TokenStart(t);
      if (at < 0 || start < 0) continue;
      const qint64 sample = std::min(last, base + qint64(std::llround(start * job.sampleRate)));
      for (const TWordMark& m : filter.Map(at + 1, int(name.size()), sample))
        job.output->Word(job.stream, m.sample, m.position, m.length);
    }
    delete_utterance(u);
    if (purged()) break;
    if (!audio.empty()) job.output->Audio(job.stream, audio.data(), int(audio.size()));
    base = last;
  }
  job.output->Done(job.stream, !purged());
}
