#include "trainingfiles.h"

#include "spcommon.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <pocketsphinx.h>
#include <sphinxbase/err.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

bool HoldsSpeech(const std::vector<short>& r) {
  int peak = 0;
  for (short s : r) peak = std::max(peak, std::abs(int(s)));
  return r.size() >= size_t(kTrainingRate / 2) && peak >= 300;
}

// Debian installs sphinxtrain's programs outside PATH.
QString FindTool(const QString& name) {
  for (const QString& dir : {QStringLiteral("/usr/lib/sphinxtrain"), QStringLiteral("/usr/libexec/sphinxtrain")})
    if (QFileInfo(dir + "/" + name).isExecutable()) return dir + "/" + name;
  const QString onPath = QStandardPaths::findExecutable(name);
  if (onPath.isEmpty())
    throw ESpeechError(QStringLiteral("The training tool %1 was not found; install sphinxtrain and pocketsphinx").arg(name));
  return onPath;
}

QMap<QString, QString> FeatureParams(const QString& model) {
  QMap<QString, QString> p;
  QFile f(QDir(model).filePath("feat.params"));
  if (f.open(QIODevice::ReadOnly))
    for (const QString& line : QString::fromUtf8(f.readAll()).split('\n')) {
      const QStringList kv = line.simplified().split(' ');
      if (kv.size() == 2 && kv[0].startsWith('-')) p[kv[0].mid(1)] = kv[1];
    }
  return p;
}

double AlignmentScore(const QString& output) {
  static const QRegularExpression overall(QStringLiteral("overall> \\S+ (\\d+) \\(-(\\d+)\\) (\\S+)"));
  const QRegularExpressionMatch m = overall.match(output);
  if (!m.hasMatch()) return -std::numeric_limits<double>::infinity();
  const double frames = m.captured(1).toDouble(), skipped = m.captured(2).toDouble();
  bool ok = false;
  const double mean = m.captured(3).toDouble(&ok);
  if (!ok || frames <= 0 || !std::isfinite(mean)) return -std::numeric_limits<double>::infinity();
  return mean - 1000 * skipped / (frames + skipped);
}

void WriteFile(const QString& path, const QByteArray& data) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.flush())
    throw ESpeechError(QStringLiteral("%1 could not be written: %2").arg(path, f.errorString()));
}

void WriteTrainingList(const QString& stem, const QStringList& prompts, const std::vector<int>& which) {
  QByteArray ids, transcription;
  for (int i : which) {
    const QByteArray id = QByteArray::number(i + 1).rightJustified(3, '0');
    ids += id + "\n";
    transcription += "<s> " + prompts[i].toUtf8() + " </s> (" + id + ")\n";
  }
  WriteFile(stem + ".fileids", ids);
  WriteFile(stem + ".transcription", transcription);
}

namespace {
QByteArray Le32(quint32 v) {
  QByteArray b(4, 0);
  for (int i = 0; i < 4; ++i) b[i] = char(v >> (8 * i));
  return b;
}

}  // namespace

void WriteWav(const QString& path, const std::vector<short>& s) {
  const quint32 bytes = quint32(s.size() * 2);
  QByteArray d = "RIFF" + Le32(36 + bytes) + "WAVEfmt " + Le32(16);
  d += QByteArray("\x01\x00\x01\x00", 4) + Le32(kTrainingRate) + Le32(kTrainingRate * 2) + QByteArray("\x02\x00\x10\x00", 4);
  d += "data" + Le32(bytes);
  d += QByteArray(reinterpret_cast<const char*>(s.data()), qsizetype(bytes));
  WriteFile(path, d);
}

void SendumpToMixtureWeights(const QString& sendump, const QString& out) {
  QFile f(sendump);
  if (!f.open(QIODevice::ReadOnly)) throw ESpeechError(sendump + QStringLiteral(" could not be opened."));
  const QByteArray d = f.readAll();
  const auto bad = [&] { return ESpeechError(sendump + QStringLiteral(" is not a mixture weight file we can read.")); };
  qint64 p = 0;
  const auto int32 = [&]() -> qint32 {
    if (p + 4 > d.size()) throw bad();
    qint32 v;
    std::memcpy(&v, d.constData() + p, 4);
    p += 4;
    return v;
  };
  int features = 1, clusters = 0;
  for (bool title = true;; title = false) {
    const qint32 n = int32();
    if (n == 0 && !title) break;
    if (n < 0 || n > 65536 || p + n > d.size()) throw bad();
    const QByteArray line(d.constData() + p, n);
    p += n;
    if (line.startsWith("feature_count")) features = line.mid(13).trimmed().toInt();
    if (line.startsWith("cluster_count")) clusters = line.mid(13).trimmed().toInt();
  }
  if (clusters != 0 || features < 1 || features > 4) throw bad();
  const qint32 densities = int32(), senones = int32();
  if (densities < 1 || densities > 4096 || senones < 1 || senones > 1000000 ||
      p + qint64(features) * densities * senones > d.size())
    throw bad();
  // Each byte is a negated log (base 1.0001) shifted right by 10 bits.
  float table[256];
  for (int v = 0; v < 256; ++v) table[v] = float(std::pow(1.0001, -double(v << 10)));
  std::vector<float> w(size_t(senones) * size_t(features) * size_t(densities));
  const auto* bytes = reinterpret_cast<const quint8*>(d.constData() + p);
  for (int ft = 0; ft < features; ++ft)
    for (int j = 0; j < densities; ++j, bytes += senones)
      for (int s = 0; s < senones; ++s) w[(size_t(s) * features + ft) * densities + j] = table[bytes[s]];
  // Quantised weights no longer sum to one.
  for (size_t b = 0; b < w.size(); b += size_t(densities)) {
    double sum = 0;
    for (int j = 0; j < densities; ++j) sum += w[b + j];
    if (sum > 0)
      for (int j = 0; j < densities; ++j) w[b + j] = float(w[b + j] / sum);
  }
  QByteArray o = "s3\nversion 1.0\n";
  o += QByteArray((4 - (o.size() + 7) % 4) % 4, ' ') + "endhdr\n";
  o += Le32(0x11223344) + Le32(quint32(senones)) + Le32(quint32(features)) + Le32(quint32(densities)) +
       Le32(quint32(w.size()));
  o += QByteArray(reinterpret_cast<const char*>(w.data()), qsizetype(w.size() * sizeof(float)));
  WriteFile(out, o);
}

QSet<QString> DictionaryWords(const QString& path, QByteArray* text) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) throw ESpeechError(QStringLiteral("The dictionary %1 could not be read").arg(path));
  *text = f.readAll();
  QSet<QString> words;
  for (const QByteArray& line : text->split('\n')) {
    const int sp = line.indexOf(' ');
    if (sp > 0) words << QString::fromUtf8(line.left(sp)).section('(', 0, 0);
  }
  return words;
}

QByteArray DictionaryOf(const QByteArray& text, const QSet<QString>& words) {
  QByteArray out;
  for (const QByteArray& line : text.split('\n')) {
    const int sp = line.indexOf(' ');
    if (sp > 0 && words.contains(QString::fromUtf8(line.left(sp)).section('(', 0, 0))) out += line + '\n';
  }
  return out;
}

QSet<QString> LanguageModelWords(const QString& path) {
  QSet<QString> words;
  err_set_logfp(nullptr);  // as the recogniser does: its log is process-wide
  logmath_t* lmath = logmath_init(1.0001, 0, 0);
  if (ngram_model_t* lm = ngram_model_read(nullptr, path.toLocal8Bit().constData(), NGRAM_AUTO, lmath)) {
    const uint32 n = ngram_model_get_counts(lm)[0];
    for (uint32 w = 0; w < n; ++w)
      if (const char* s = ngram_word(lm, int32(w))) words << QString::fromUtf8(s);
    ngram_model_free(lm);
  }
  logmath_free(lmath);
  return words;
}
