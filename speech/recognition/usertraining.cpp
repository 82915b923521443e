#include "usertraining.h"

#include "lts.h"
#include "recoengine.h"
#include "spsettings.h"
#include "transcribe.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {
constexpr int kRate = 16000;
constexpr const char* kBaseFile = "adapted-from";
// What PocketSphinx needs of an acoustic model folder.
const char* const kModelFiles[] = {"mdef", "means", "variances", "sendump", "transition_matrices", "feat.params"};

// MAP's prior weight: the less speech was recorded, the closer each
// Gaussian stays to the (speaker-transformed) model; MLLR carries the rest.
// Set by seconds, not recordings: a long reading is worth several short ones.
double MapTau(double seconds) { return std::clamp(50.0 * std::sqrt(80.0 / std::max(1.0, seconds)), 20.0, 200.0); }
// Below this much speech only the shift of the means is estimated, not a
// full transform.
constexpr double kFullMllrSeconds = 15;

double Seconds(const std::vector<std::vector<short>>& recordings, const std::vector<int>& which) {
  double samples = 0;
  for (int i : which) samples += double(recordings[size_t(i)].size());
  return samples / kRate;
}

QString SettingsFolder() { return QFileInfo(SpeechSettingsPath()).absolutePath(); }

constexpr const char* kKeptIndex = "index.txt";

// Enough sound to align with a prompt.
bool HoldsSpeech(const std::vector<short>& r) {
  int peak = 0;
  for (short s : r) peak = std::max(peak, std::abs(int(s)));
  return r.size() >= size_t(kRate / 2) && peak >= 300;
}

// The index's lines; *problem says why an existing index could not be read.
QStringList KeptIndexLines(QString* problem) {
  QFile f(QDir(KeptRecordingsFolder()).filePath(kKeptIndex));
  if (!f.exists()) return {};
  if (!f.open(QIODevice::ReadOnly)) {
    *problem = QStringLiteral("The list of kept recordings %1 could not be read: %2").arg(f.fileName(), f.errorString());
    return {};
  }
  QStringList lines;
  for (const QString& l : QString::fromUtf8(f.readAll()).split('\n'))
    if (!l.trimmed().isEmpty()) lines << l;
  return lines;
}

// "FILE<tab>PROMPT", the file a plain name in the folder.
bool ParseKeptLine(const QString& line, QString* file, QString* prompt) {
  const int tab = int(line.indexOf('\t'));
  if (tab <= 0) return false;
  *file = line.left(tab);
  *prompt = line.mid(tab + 1).simplified();
  return !prompt->isEmpty() && file->endsWith(".wav") && !file->contains('/') && !file->startsWith('.');
}

QString Clean(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

// Debian installs sphinxtrain's programs outside PATH.
QString FindTool(const QString& name) {
  for (const QString& dir : {QStringLiteral("/usr/lib/sphinxtrain"), QStringLiteral("/usr/libexec/sphinxtrain")})
    if (QFileInfo(dir + "/" + name).isExecutable()) return dir + "/" + name;
  const QString onPath = QStandardPaths::findExecutable(name);
  if (onPath.isEmpty())
    throw ESpeechError(QStringLiteral("The training tool %1 was not found; install sphinxtrain and pocketsphinx").arg(name));
  return onPath;
}

// The acoustic model a training adapts: the one the settings name, never a
// trained one (training again starts from the original).
QString BaseAcousticModel() {
  return Clean(OpenSpeechSettings()->value(kModelFolder, ShippedRecoModel().acousticModel).toString());
}

// -feat, -svspec, -cmn, ... of the model, as bw must compute them too.
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

void WriteFile(const QString& path, const QByteArray& data) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.flush())
    throw ESpeechError(QStringLiteral("%1 could not be written: %2").arg(path, f.errorString()));
}

QByteArray Le32(quint32 v) {
  QByteArray b(4, 0);
  for (int i = 0; i < 4; ++i) b[i] = char(v >> (8 * i));
  return b;
}

void WriteWav(const QString& path, const std::vector<short>& s) {
  const quint32 bytes = quint32(s.size() * 2);
  QByteArray d = "RIFF" + Le32(36 + bytes) + "WAVEfmt " + Le32(16);
  d += QByteArray("\x01\x00\x01\x00", 4) + Le32(kRate) + Le32(kRate * 2) + QByteArray("\x02\x00\x10\x00", 4);
  d += "data" + Le32(bytes);
  d += QByteArray(reinterpret_cast<const char*>(s.data()), qsizetype(bytes));
  WriteFile(path, d);
}

// The model ships its mixture weights only as PocketSphinx's 8-bit sendump;
// the trainer wants them as floats (sphinxtrain's mixture_weights format).
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

// Words of a dictionary file (without alternative pronunciations' marks).
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
}  // namespace

QStringList TrainingPrompts() {
  const QString path = ShippedSpeechModelFolder() + "/prompts.txt";
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    throw ESpeechError(QStringLiteral("The training prompts were not found: ") + path);
  QStringList prompts;
  for (const QString& line : QString::fromUtf8(f.readAll()).split('\n'))
    if (!line.simplified().isEmpty()) prompts << line.simplified();
  return prompts;
}

QStringList MoreTrainingPrompts() {
  return {
      "the heart size is normal and the mediastinal contours are unremarkable",
      "no focal consolidation pneumothorax or pleural effusion is identified",
      "degenerative changes are seen in the lower thoracic spine",
      "the endotracheal tube tip lies five centimeters above the carina",
      "a nasogastric tube is coiled in the upper stomach",
      "the appendix is not visualized but there are no secondary signs of inflammation",
      "compared with the previous study the nodule has not changed in size",
      "there is mild thickening of the gallbladder wall without stones",
      "the kidneys are normal in size with no hydronephrosis",
      "a small hiatus hernia is noted behind the heart",
      "please correlate clinically and with the laboratory findings",
      "the bones are osteopenic with an old healed rib fracture on the right",
      "there is a wedge compression deformity of the first lumbar vertebral body",
      "the visualized bowel gas pattern is not obstructive",
      "linear atelectasis is present at the left lung base",
      "the central venous catheter ends in the superior vena cava",
      "no acute intracranial hemorrhage mass effect or midline shift is seen",
      "there is generalized volume loss with small vessel ischemic change",
      "the ventricles and sulci are prominent in keeping with age",
      "a follow up ultrasound in three months would be helpful",
      "the thyroid gland is enlarged with several small nodules",
      "a joint effusion is present without a displaced fracture",
      "the soft tissues of the neck are within normal limits",
      "the liver is enlarged and shows diffuse fatty infiltration",
      "moderate narrowing of the disc space is seen at lumbar four five",
      "the pancreas is partly obscured by overlying bowel gas",
      "the aorta is of normal caliber throughout its course",
      "there is a transverse fracture through the distal radius with dorsal angulation",
      "the spleen measures eleven centimeters which is within normal limits",
      "the patient was unable to hold their breath for the whole scan",
      "these findings were discussed with the referring doctor by telephone",
      "the urinary bladder is well distended and its wall is smooth",
      "a small amount of free fluid is present in the pelvis",
      "the hilar structures are normal and there is no lymphadenopathy",
      "mild basal interstitial changes could reflect early fibrosis",
      "the examination is limited by patient motion and should be repeated",
      "the surgical clips in the right upper quadrant are unchanged",
      "there is no evidence of deep vein thrombosis in either leg",
      "the lesion shows arterial enhancement and washes out later",
      "an incidental simple cyst is seen in the upper pole of the left kidney",
  };
}

QString TrainedModelFolder() { return SettingsFolder() + "/trained"; }

QString KeptRecordingsFolder() { return SettingsFolder() + "/recordings"; }

TKeptRecordings LoadKeptRecordings() {
  TKeptRecordings kept;
  QString problem;
  const QStringList lines = KeptIndexLines(&problem);
  if (!problem.isEmpty()) kept.problems << problem;
  const QDir dir(KeptRecordingsFolder());
  for (int i = 0; i < lines.size(); ++i) {
    QString file, prompt;
    if (!ParseKeptLine(lines[i], &file, &prompt)) {
      kept.problems << QStringLiteral("Line %1 of the list of kept recordings %2 is broken; it was left out")
                           .arg(i + 1).arg(dir.filePath(kKeptIndex));
      continue;
    }
    try {
      std::vector<short> r = ReadWavFile(dir.filePath(file));
      if (!HoldsSpeech(r)) throw ESpeechError(dir.filePath(file) + QStringLiteral(" holds no speech"));
      kept.prompts << prompt;
      kept.recordings.push_back(std::move(r));
    } catch (const std::exception& e) {
      kept.problems << QStringLiteral("The kept recording of \"%1\" was left out: %2").arg(prompt, QString::fromStdString(e.what()));
    }
  }
  return kept;
}

int KeptRecordingCount() {
  QString problem, file, prompt;
  int n = 0;
  for (const QString& l : KeptIndexLines(&problem)) n += ParseKeptLine(l, &file, &prompt);
  return n;
}

void AddKeptRecordings(const QStringList& prompts, const QStringList& wavFiles) {
  if (prompts.size() != wavFiles.size())
    throw ESpeechError(QStringLiteral("%1 prompts but %2 recordings to keep").arg(prompts.size()).arg(wavFiles.size()));
  const QString folder = KeptRecordingsFolder();
  if (!QDir().mkpath(folder))
    throw ESpeechError(QStringLiteral("The folder for the kept recordings %1 could not be made").arg(folder));
  // Recordings of a voice are the user's own.
  QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  const QDir dir(folder);
  QString problem;
  const QStringList old = KeptIndexLines(&problem);
  if (!problem.isEmpty()) throw ESpeechError(problem);  // never replace what could not be read
  // Entries whose file has gone are dropped; new files are numbered after
  // every file there.
  QByteArray index;
  QSet<QString> listed;
  int next = 1;
  for (const QString& f : dir.entryList({"*.wav"}, QDir::Files)) next = std::max(next, f.section('.', 0, 0).toInt() + 1);
  for (const QString& l : old) {
    QString file, prompt;
    if (!ParseKeptLine(l, &file, &prompt) || !QFileInfo(dir.filePath(file)).isFile()) continue;
    index += (file + '\t' + prompt + '\n').toUtf8();
    listed << file;
  }
  QStringList moved;
  const auto undo = [&] {
    for (const QString& m : moved) QFile::remove(m);
  };
  for (int i = 0; i < prompts.size(); ++i) {
    const QString prompt = prompts[i].simplified();
    const QString name = QStringLiteral("%1.wav").arg(next++, 4, 10, QChar('0'));
    if (prompt.isEmpty() || !QFile::rename(wavFiles[i], dir.filePath(name))) {
      undo();
      throw ESpeechError(QStringLiteral("%1 could not be moved into %2").arg(wavFiles[i], folder));
    }
    moved << dir.filePath(name);
    index += (name + '\t' + prompt + '\n').toUtf8();
    listed << name;
  }
  // The new index replaces the old one in one rename.
  QSaveFile f(dir.filePath(kKeptIndex));
  if (!f.open(QIODevice::WriteOnly) || f.write(index) != index.size() || !f.commit()) {
    undo();
    throw ESpeechError(QStringLiteral("The list of kept recordings %1 could not be written: %2").arg(f.fileName(), f.errorString()));
  }
  // Files no entry names: leftovers of a keep that was interrupted.
  for (const QString& file : dir.entryList({"*.wav"}, QDir::Files))
    if (!listed.contains(file)) QFile::remove(dir.filePath(file));
}

void RemoveKeptRecordings() { QDir(KeptRecordingsFolder()).removeRecursively(); }

QString TrainedModelFor(const QString& acousticModel) {
  const QString dir = TrainedModelFolder();
  QFile base(dir + "/" + kBaseFile);
  if (!base.open(QIODevice::ReadOnly)) return {};
  if (QString::fromUtf8(base.readAll()).trimmed() != Clean(acousticModel)) return {};
  for (const char* name : kModelFiles)
    if (!QFileInfo(dir + "/" + name).isFile()) return {};
  return dir;
}

void RemoveTrainedModel() {
  const QFileInfo link(TrainedModelFolder());
  const QString target = link.isSymLink() ? link.symLinkTarget() : QString();
  if (link.isSymLink()) QFile::remove(link.filePath());
  else if (link.isDir()) QDir(link.filePath()).removeRecursively();
  if (!target.isEmpty()) QDir(target).removeRecursively();
}

TUserTrainer::TUserTrainer(QObject* parent) : QObject(parent) {}

TUserTrainer::~TUserTrainer() {
  if (FCancelled) *FCancelled = true;
  if (FProcess) {
    FProcess->disconnect(this);
    FProcess->kill();
    FProcess->waitForFinished(3000);
    delete FProcess;
  }
}

void TUserTrainer::Start(const QStringList& givenPrompts, std::vector<std::vector<short>> given, TTrainingSet set) {
  if (FRunning) throw ESpeechError(QStringLiteral("A training is already running"));
  if (size_t(givenPrompts.size()) != given.size())
    throw ESpeechError(QStringLiteral("%1 prompts but %2 recordings: each prompt needs one recording")
                           .arg(givenPrompts.size()).arg(given.size()));
  for (size_t i = 0; i < given.size(); ++i)
    if (!HoldsSpeech(given[i])) throw ESpeechError(QStringLiteral("Recording %1 holds no speech").arg(i + 1));
  // The kept recordings come first, the given ones after them.
  QStringList prompts, notes;
  std::vector<std::vector<short>> recordings;
  if (set.withKept) {
    TKeptRecordings kept = LoadKeptRecordings();
    prompts = kept.prompts;
    recordings = std::move(kept.recordings);
    notes = kept.problems;
  }
  const int keptCount = int(prompts.size());
  prompts += givenPrompts;
  for (auto& r : given) recordings.push_back(std::move(r));
  if (prompts.isEmpty()) throw ESpeechError(QStringLiteral("There are no prompts to train on"));
  const auto which = [keptCount](int i) {
    return i < keptCount ? QStringLiteral("kept prompt %1").arg(i + 1) : QStringLiteral("prompt %1").arg(i - keptCount + 1);
  };
  FBase = BaseAcousticModel();
  for (const char* name : {"mdef", "means", "variances", "transition_matrices", "feat.params"})
    if (!QFileInfo(QDir(FBase).filePath(name)).isFile())
      throw ESpeechError(QStringLiteral("The acoustic model in %1 cannot be trained: it lacks %2").arg(FBase, name));
  const bool hasWeights = QFileInfo(QDir(FBase).filePath("mixture_weights")).isFile();
  if (!hasWeights && !QFileInfo(QDir(FBase).filePath("sendump")).isFile())
    throw ESpeechError(QStringLiteral("The acoustic model in %1 has no mixture weights").arg(FBase));
  // The trainer reads the same dictionary the recogniser does, with the
  // user's own words.
  QByteArray dictText;
  QSet<QString> known = DictionaryWords(RecoModelFromSettings().dictionary, &dictText);
  {
    auto s = OpenSpeechSettings();
    s->beginGroup(kWordsGroup);
    for (const QString& w : s->childKeys()) {
      const QString phones = s->value(w).toString().simplified().toUpper();
      if (phones.isEmpty()) continue;
      dictText += "\n" + w.toLower().toUtf8() + " " + phones.toUtf8();
      known << w.toLower();
    }
  }
  QStringList clean;
  for (int i = 0; i < prompts.size(); ++i) {
    const QString p = prompts[i].simplified().toLower();
    if (p.isEmpty()) throw ESpeechError(QStringLiteral("Prompt %1 is empty").arg(i - keptCount + 1));
    // The user's own sentences: words the dictionary lacks are given a
    // pronunciation from their spelling.
    for (const QString& w : p.split(' ')) {
      if (known.contains(w)) continue;
      const std::string phones = LetterToSound(w.toStdString());
      if (phones.empty())
        throw ESpeechError(QStringLiteral("The word \"%1\" of %2 cannot be pronounced: it has no letters").arg(w, which(i)));
      dictText += "\n" + w.toUtf8() + " " + QByteArray::fromStdString(phones);
      known << w;
    }
    clean << p;
  }
  const QString fe = FindTool("sphinx_fe"), bw = FindTool("bw"), map = FindTool("map_adapt"),
                dump = FindTool("mk_s2sendump"), mdefConvert = FindTool("pocketsphinx_mdef_convert"),
                mllr = FindTool("mllr_solve"), mllrApply = FindTool("mllr_transform");
  // Some recordings are held back to check the adapted model against the
  // one in use: every fourth, or the last one of fewer than four.
  const int n = int(clean.size());
  if (n < 2)
    throw ESpeechError(QStringLiteral("At least two recordings are needed: one is held back to check the training"));
  std::vector<int> heldBack, adapted;
  for (int i = 0; i < n; ++i) ((n >= 4 ? i % 4 == 3 : i == n - 1) ? heldBack : adapted).push_back(i);

  // The work folder sits beside the settings so that the finished model
  // moves into place with a rename.
  QDir().mkpath(SettingsFolder());
  FWork = std::make_unique<QTemporaryDir>(SettingsFolder() + "/training-XXXXXX");
  if (!FWork->isValid()) throw ESpeechError(QStringLiteral("No work folder for the training could be made in ") + SettingsFolder());
  const QDir work(FWork->path());
  try {
    for (const char* sub : {"wav", "feat", "acc-trial", "acc-all", "trial", "model"}) work.mkpath(sub);
    WriteFile(work.filePath("train.dict"), dictText + "\n");
    QByteArray ids, trans, trialIds, trialTrans;
    for (int i = 0; i < n; ++i) {
      const QByteArray id = QByteArray::number(i + 1).rightJustified(3, '0');
      const QByteArray line = "<s> " + clean[i].toUtf8() + " </s> (" + id + ")\n";
      ids += id + "\n";
      trans += line;
      if (std::find(adapted.begin(), adapted.end(), i) != adapted.end()) trialIds += id + "\n", trialTrans += line;
    }
    WriteFile(work.filePath("all.fileids"), ids);
    WriteFile(work.filePath("all.transcription"), trans);
    WriteFile(work.filePath("trial.fileids"), trialIds);
    WriteFile(work.filePath("trial.transcription"), trialTrans);
  } catch (...) {
    FWork.reset();
    throw;
  }

  FPrompts = clean;
  FKeepFrom = set.keep ? keptCount : -1;
  FPromptTexts = prompts;
  FUsed = n;
  FUsedKept = keptCount;
  FRecordingsKept = false;
  FNotes = notes;
  FHeldBack.clear();
  for (int i : heldBack) FHeldBack.push_back({clean[i], recordings[size_t(i)]});
  const double trialSeconds = Seconds(recordings, adapted), allSeconds = trialSeconds + Seconds(recordings, heldBack);
  FInUse = RecoModelFromSettings();
  FInUse.dictionary = work.filePath("train.dict");
  FVerdict.clear();
  FKept = false;
  FRecordings = std::move(recordings);
  FCancelled = std::make_shared<std::atomic<bool>>(false);
  FSteps.clear();
  FStep = 0;
  FLog.clear();
  const QString base = FBase, w = work.path();
  const auto p = FeatureParams(base);
  const auto feat = [&](const char* key, const char* def) { return p.value(key, def); };

  // Recordings to files and the model's weights to floats, on a worker thread.
  FSteps.push_back([this, w, base, hasWeights] {
    emit Progress(2, QStringLiteral("Preparing the recordings"));
    auto recordings = std::make_shared<std::vector<std::vector<short>>>(std::move(FRecordings));
    auto error = std::make_shared<QString>();
    auto cancelled = FCancelled;
    QThread* t = QThread::create([=] {
      try {
        for (size_t i = 0; i < recordings->size() && !*cancelled; ++i)
          WriteWav(QStringLiteral("%1/wav/%2.wav").arg(w).arg(i + 1, 3, 10, QChar('0')), (*recordings)[i]);
        if (*cancelled) return;
        if (hasWeights) {
          if (!QFile::copy(base + "/mixture_weights", w + "/mixture_weights"))
            throw ESpeechError(QStringLiteral("The mixture weights could not be copied"));
        } else {
          SendumpToMixtureWeights(base + "/sendump", w + "/mixture_weights");
        }
      } catch (const std::exception& e) {
        *error = QString::fromStdString(e.what());
      }
    });
    connect(t, &QThread::finished, this, [this, t, error] {
      t->deleteLater();
      if (!error->isEmpty()) Fail(*error);
      else Next();
    });
    t->start();
  });
  FSteps.push_back([=, this] {
    Tool(mdefConvert, {"-text", base + "/mdef", w + "/mdef.txt"}, 4, QStringLiteral("Reading the acoustic model"));
  });
  FSteps.push_back([=, this] {
    Tool(fe, {"-argfile", base + "/feat.params", "-samprate", QString::number(kRate), "-c", w + "/all.fileids", "-di",
              w + "/wav", "-do", w + "/feat", "-ei", "wav", "-eo", "mfc", "-mswav", "yes"},
         6, QStringLiteral("Analysing the recordings"));
  });
  // One adaptation: alignment (bw), a speaker transform of all the means
  // (MLLR), then MAP from the transformed means, which moves each Gaussian
  // as far as its own share of the speech allows.
  const auto adapt = [=, this](const QString& set, double seconds, const QString& out, int from, int to, const QString& what) {
    const QString tau = QString::number(MapTau(seconds), 'f', 1);
    const QString acc = w + "/acc-" + set;
    const QStringList bwArgs = {"-moddeffn", w + "/mdef.txt", "-ts2cbfn", ".ptm.", "-meanfn", base + "/means",
                                "-varfn", base + "/variances", "-mixwfn", w + "/mixture_weights", "-tmatfn",
                                base + "/transition_matrices", "-feat", feat("feat", "1s_c_d_dd"), "-svspec",
                                feat("svspec", "0-12/13-25/26-38"), "-cmn", feat("cmn", "batch"), "-agc",
                                feat("agc", "none"), "-varnorm", feat("varnorm", "no"), "-dictfn", w + "/train.dict",
                                "-fdictfn", base + "/noisedict", "-ctlfn", w + "/" + set + ".fileids", "-lsnfn",
                                w + "/" + set + ".transcription", "-cepdir", w + "/feat", "-accumdir", acc,
                                "-timing", "no"};
    const int step = (to - from) / 5;
    FSteps.push_back([=, this] {
      FUtterances = 0;
      Tool(bw, bwArgs, from, what);
    });
    FSteps.push_back([=, this] {
      // A full transform needs some speech to be estimated; with less, only
      // the shift of the means.
      Tool(mllr, {"-meanfn", base + "/means", "-varfn", base + "/variances", "-outmllrfn", w + "/mllr-" + set,
                  "-accumdir", acc, "-mllrmult", seconds >= kFullMllrSeconds ? "yes" : "no"},
           from + 3 * step, QStringLiteral("Adapting the acoustic model to the voice"));
    });
    FSteps.push_back([=, this] {
      Tool(mllrApply, {"-inmeanfn", base + "/means", "-outmeanfn", w + "/means-" + set, "-mllrmat", w + "/mllr-" + set},
           from + 3 * step, QStringLiteral("Adapting the acoustic model to the voice"));
    });
    FSteps.push_back([=, this] {
      Tool(map, {"-moddeffn", w + "/mdef.txt", "-ts2cbfn", ".ptm.", "-meanfn", w + "/means-" + set, "-varfn",
                 base + "/variances", "-mixwfn", w + "/mixture_weights", "-tmatfn", base + "/transition_matrices",
                 "-accumdir", acc, "-bayesmean", "no", "-fixedtau", "yes", "-tau", tau, "-mapmeanfn", out + "/means",
                 "-mapvarfn", out + "/variances", "-mapmixwfn", out + "/mixture_weights", "-maptmatfn",
                 out + "/transition_matrices"},
           from + 4 * step, QStringLiteral("Adapting the acoustic model to the voice"));
    });
    FSteps.push_back([=, this] {
      Tool(dump, {"-pocketsphinx", "yes", "-moddeffn", w + "/mdef.txt", "-mixwfn", out + "/mixture_weights",
                  "-sendumpfn", out + "/sendump"},
           to, QStringLiteral("Writing the adapted model"));
    });
    FSteps.push_back([=, this] {
      try {
        Complete(out);
      } catch (const ESpeechError& e) {
        return Fail(e.Message());
      }
      Next();
    });
  };
  adapt("trial", trialSeconds, w + "/trial", 8, 45, QStringLiteral("Aligning the recordings with their prompts"));
  FSteps.push_back([this, w] { Check(w + "/trial"); });
  adapt("all", allSeconds, w + "/model", 70, 94, QStringLiteral("Training again on all the recordings"));
  FSteps.push_back([this] { Install(); });
  FRunning = true;
  Next();
}

void TUserTrainer::Tool(const QString& program, const QStringList& args, int percent, const QString& what) {
  emit Progress(percent, what);
  FProcess = new QProcess(this);
  FProcess->setProcessChannelMode(QProcess::MergedChannels);
  FProcess->setWorkingDirectory(FWork->path());
  const QString name = QFileInfo(program).fileName();
  connect(FProcess, &QProcess::readyRead, this, [this, name, percent] {
    while (FProcess->canReadLine()) {
      const QByteArray line = FProcess->readLine();
      FLog += QString::fromUtf8(line);
      if (FLog.size() > 200000) FLog = FLog.right(100000);
      // bw reports each recording it has aligned.
      if (name == "bw" && line.startsWith("utt>")) {
        ++FUtterances;
        emit Progress(percent + 20 * FUtterances / std::max<int>(1, int(FPrompts.size())),
                      QStringLiteral("Aligning recording %1").arg(FUtterances));
      }
    }
  });
  connect(FProcess, &QProcess::errorOccurred, this, [this, name](QProcess::ProcessError e) {
    if (e != QProcess::FailedToStart) return;
    FProcess->deleteLater();
    FProcess = nullptr;
    Fail(QStringLiteral("The training tool %1 could not be started").arg(name));
  });
  const QString acc = args.value(int(args.indexOf("-accumdir")) + 1);
  connect(FProcess, &QProcess::finished, this, [this, name, acc](int code, QProcess::ExitStatus status) {
    FLog += QString::fromUtf8(FProcess->readAll());
    FProcess->deleteLater();
    FProcess = nullptr;
    if (*FCancelled) return Fail(QStringLiteral("The training was cancelled"));
    if (status != QProcess::NormalExit || code != 0) {
      // The tool's last error line says why.
      QString why;
      for (const QString& l : FLog.split('\n'))
        if (l.startsWith("ERROR") || l.startsWith("FATAL")) why = l.trimmed();
      return Fail(QStringLiteral("The training tool %1 failed%2").arg(name, why.isEmpty() ? QString() : ": " + why));
    }
    if (name == "bw" && !QFileInfo(acc + "/gauden_counts").isFile())
      return Fail(QStringLiteral("None of the recordings could be aligned with its prompt"));
    FLog.clear();
    Next();
  });
  FProcess->start(program, args);
}

void TUserTrainer::Next() {
  if (!FRunning) return;
  if (*FCancelled) return Fail(QStringLiteral("The training was cancelled"));
  if (FStep >= FSteps.size()) return Done();
  FSteps[FStep++]();
}

void TUserTrainer::Complete(const QString& model) {
  for (const char* name : {"mdef", "feat.params", "noisedict"})
    if (!QFile::copy(FBase + "/" + name, model + "/" + name))
      throw ESpeechError(QStringLiteral("The adapted model could not be written in ") + FWork->path());
  QFile::remove(model + "/mixture_weights");  // the decoder reads sendump
  WriteFile(model + "/" + kBaseFile, FBase.toUtf8() + "\n");
  for (const char* name : kModelFiles)
    if (QFileInfo(model + "/" + name).size() <= 0)
      throw ESpeechError(QStringLiteral("The adapted model lacks its %1").arg(name));
}

void TUserTrainer::Check(const QString& trial) {
  emit Progress(50, QStringLiteral("Checking the adapted model on the recordings held back"));
  auto held = std::make_shared<std::vector<std::pair<QString, std::vector<short>>>>(FHeldBack);
  TRecoModel candidate = FInUse;
  candidate.acousticModel = trial;
  const std::vector<TRecoModel> models = {FInUse, candidate};
  // Words said, then words wrong with the model in use and with the new one.
  auto counts = std::make_shared<std::vector<int>>(3, 0);
  auto error = std::make_shared<QString>();
  auto cancelled = FCancelled;
  QThread* t = QThread::create([=] {
    try {
      for (size_t m = 0; m < models.size() && !*cancelled; ++m) {
        TSpRecoEngine engine;
        engine.ConnectForFeed(models[m]);
        engine.WaitLoaded();
        for (const auto& [said, samples] : *held) {
          if (*cancelled) return;
          QStringList heard;
          for (const TTranscribedPhrase& phrase : Transcribe(engine, samples)) heard += phrase.words;
          const QStringList words = said.split(' ');
          if (m == 0) (*counts)[0] += int(words.size());
          (*counts)[m + 1] += WordErrors(words, heard);
        }
      }
    } catch (const std::exception& e) {
      *error = QString::fromStdString(e.what());
    }
  });
  connect(t, &QThread::finished, this, [this, t, error, counts] {
    t->deleteLater();
    if (*FCancelled) return Fail(QStringLiteral("The training was cancelled"));
    if (!error->isEmpty()) return Fail(*error);
    const int words = (*counts)[0], before = (*counts)[1], after = (*counts)[2];
    const QString figures =
        QStringLiteral("%1 of the %2 words of the %3 held back were heard wrong with the adapted model, %4 with the "
                       "model in use")
            .arg(after)
            .arg(words)
            .arg(FHeldBack.size() == 1 ? QStringLiteral("recording") : QStringLiteral("%1 recordings").arg(FHeldBack.size()))
            .arg(before);
    // A tie (often none wrong either way, for a clear voice) keeps the
    // adaptation: it was not worse on what it had not heard.
    if (after <= before) {
      FVerdict = QStringLiteral("The recogniser has been trained on your voice (%1).").arg(figures);
      return Next();
    }
    FVerdict = QStringLiteral("The adapted model heard the recordings held back worse (%1), so the model in use was kept. "
                              "Recording more sentences may help.").arg(figures);
    FKept = true;
    Done();
  });
  t->start();
}

void TUserTrainer::Install() {
  emit Progress(96, QStringLiteral("Installing the adapted model"));
  try {
    const QString model = FWork->path() + "/model";
    if (*FCancelled) throw ESpeechError(QStringLiteral("The training was cancelled"));
    // The model gets a folder of its own, then "trained" is pointed at it in
    // one rename: a reader sees the old model or the new one, never a mix.
    const QString settings = SettingsFolder();
    const QString name = "model-" + QUuid::createUuid().toString(QUuid::Id128).left(12);
    if (!QDir().rename(model, settings + "/" + name))
      throw ESpeechError(QStringLiteral("The adapted model could not be moved into ") + settings);
    const QString link = settings + "/trained", next = settings + "/trained.new";
    QFile::remove(next);
    if (::symlink(name.toLocal8Bit().constData(), next.toLocal8Bit().constData()) != 0 ||
        ::rename(next.toLocal8Bit().constData(), link.toLocal8Bit().constData()) != 0) {
      QFile::remove(next);
      QDir(settings + "/" + name).removeRecursively();
      throw ESpeechError(QStringLiteral("The adapted model could not be put in place in ") + settings);
    }
    // Models no longer pointed at (the one replaced, leftovers of a crash).
    for (const QString& old : QDir(settings).entryList({"model-*"}, QDir::Dirs | QDir::NoDotAndDotDot))
      if (old != name) QDir(settings + "/" + old).removeRecursively();
  } catch (const ESpeechError& e) {
    return Fail(e.Message());
  }
  Next();
}

void TUserTrainer::Fail(const QString& error) {
  if (!FRunning) return;
  FRunning = false;
  if (FProcess) {
    FProcess->disconnect(this);
    FProcess->kill();
    FProcess->waitForFinished(3000);
    FProcess->deleteLater();
    FProcess = nullptr;
  }
  FWork.reset();
  FRecordings.clear();
  FHeldBack.clear();
  emit Finished(false, error);
}

void TUserTrainer::Done() {
  KeepRecordings();
  FRunning = false;
  FWork.reset();
  FHeldBack.clear();
  emit Progress(100, FVerdict);
  emit Finished(true, QString());
}

// The recordings given to a finished training join the kept ones: their
// WAV files move out of the work folder before it goes.
void TUserTrainer::KeepRecordings() {
  if (FKeepFrom < 0 || FKeepFrom >= FPromptTexts.size()) return;
  QStringList prompts, files;
  for (int i = FKeepFrom; i < FPromptTexts.size(); ++i) {
    prompts << FPromptTexts[i];
    files << QStringLiteral("%1/wav/%2.wav").arg(FWork->path()).arg(i + 1, 3, 10, QChar('0'));
  }
  try {
    AddKeptRecordings(prompts, files);
    FRecordingsKept = true;
  } catch (const ESpeechError& e) {
    FNotes << QStringLiteral("The recordings could not be kept for a later training: ") + e.Message();
  }
}

void TUserTrainer::Cancel() {
  if (!FRunning) return;
  *FCancelled = true;
  // A running tool is stopped; its end reports the cancellation.
  if (FProcess) FProcess->kill();
}

void TUserTrainer::Run(const QStringList& prompts, std::vector<std::vector<short>> recordings, TTrainingSet set) {
  QEventLoop loop;
  bool ok = false;
  QString error;
  const auto c = connect(this, &TUserTrainer::Finished, &loop, [&](bool good, const QString& e) {
    ok = good;
    error = e;
    loop.quit();
  });
  try {
    Start(prompts, std::move(recordings), set);
  } catch (...) {
    disconnect(c);
    throw;
  }
  if (FRunning) loop.exec();
  disconnect(c);
  if (!ok) throw ESpeechError(error);
}
