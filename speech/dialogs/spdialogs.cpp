#include "spdialogs.h"

#include "learndialog.h"
#include "lts.h"
#include "recoengine.h"
#include "spsettings.h"
#include "usertraining.h"

#include <QAudioSource>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMediaDevices>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// A live input level: peak of the last block, 0..100, with the gain applied.
class TLevelMeter : public QProgressBar {
public:
  explicit TLevelMeter(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 100);
    setTextVisible(false);
  }
  ~TLevelMeter() override { Stop(); }

  void Listen(const QAudioDevice& device) {
    Stop();
    if (device.isNull()) return;
    QAudioFormat format;
    format.setSampleRate(16000);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    FSource = new QAudioSource(device, format, this);
    FDevice = FSource->start();
    if (!FDevice || FSource->error() != QAudio::NoError) {
      Stop();
      return;
    }
    connect(FDevice, &QIODevice::readyRead, this, [this] {
      const QByteArray data = FDevice->readAll();
      const auto* s = reinterpret_cast<const short*>(data.constData());
      int peak = 0;
      for (qsizetype i = 0; i < data.size() / 2; ++i) peak = std::max(peak, std::abs(int(s[i])));
      // What the recogniser would hear: the input volume applied.
      if (Keep)
        for (qsizetype i = 0; i < data.size() / 2; ++i)
          Samples.push_back(short(std::clamp(int(std::lround(s[i] * Gain)), -32768, 32767)));
      const int level = std::min(100, int(std::lround(peak * Gain / 327.68)));
      setValue(level);
      MaxLevel = std::max(MaxLevel, level);
      if (peak * Gain >= 32000) ++Clipped;
      Blocks += 1;
    });
  }
  void Stop() {
    if (FSource) {
      FSource->stop();
      delete FSource;
    }
    FSource = nullptr;
    FDevice = nullptr;
  }

  double Gain = 1.0;
  int MaxLevel = 0, Clipped = 0, Blocks = 0;
  bool Keep = false;  // keep the samples heard (a recording)
  std::vector<short> Samples;

private:
  QAudioSource* FSource = nullptr;
  QIODevice* FDevice = nullptr;
};

QDialog* MakeDialog(QWidget* parent, const QString& title) {
  auto* d = new QDialog(parent);
  d->setWindowTitle(title);
  d->setAttribute(Qt::WA_DeleteOnClose, false);
  return d;
}

QDialogButtonBox* OkCancel(QDialog* d) {
  auto* b = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, d);
  QObject::connect(b, &QDialogButtonBox::accepted, d, &QDialog::accept);
  QObject::connect(b, &QDialogButtonBox::rejected, d, &QDialog::reject);
  return b;
}

double GainOf(int volume) { return std::clamp(volume, 0, 100) / 50.0; }

void AudioProperties(QWidget* parent, const QString& title) {
  std::unique_ptr<QDialog> d(MakeDialog(parent, title));
  d->setObjectName("AudioProperties");
  auto* form = new QFormLayout;
  auto* devices = new QComboBox(d.get());
  devices->setObjectName("InputDevice");
  const QAudioDevice current = RecoInputDevice();
  for (const auto& dev : QMediaDevices::audioInputs()) {
    devices->addItem(dev.description(), dev.id());
    if (dev.id() == current.id()) devices->setCurrentIndex(devices->count() - 1);
  }
  auto* meter = new TLevelMeter(d.get());
  meter->setObjectName("LevelMeter");
  meter->Gain = GainOf(OpenSpeechSettings()->value(kInputVolume, 50).toInt());
  auto listen = [=] {
    const QByteArray id = devices->currentData().toByteArray();
    for (const auto& dev : QMediaDevices::audioInputs())
      if (dev.id() == id) meter->Listen(dev);
  };
  QObject::connect(devices, &QComboBox::currentIndexChanged, d.get(), listen);
  listen();
  form->addRow(QStringLiteral("Input device:"), devices);
  form->addRow(QStringLiteral("Level:"), meter);
  auto* layout = new QVBoxLayout(d.get());
  layout->addLayout(form);
  layout->addWidget(OkCancel(d.get()));
  if (d->exec() == QDialog::Accepted && devices->currentIndex() >= 0)
    OpenSpeechSettings()->setValue(kInputDevice, devices->currentData().toByteArray());
}

void AudioVolume(QWidget* parent, const QString& title) {
  std::unique_ptr<QDialog> d(MakeDialog(parent, title));
  d->setObjectName("AudioVolume");
  auto* slider = new QSlider(Qt::Horizontal, d.get());
  slider->setObjectName("Volume");
  slider->setRange(0, 100);
  slider->setValue(OpenSpeechSettings()->value(kInputVolume, 50).toInt());
  auto* meter = new TLevelMeter(d.get());
  meter->setObjectName("LevelMeter");
  meter->Gain = GainOf(slider->value());
  QObject::connect(slider, &QSlider::valueChanged, d.get(), [meter](int v) { meter->Gain = GainOf(v); });
  meter->Listen(RecoInputDevice());
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Input volume:"), slider);
  form->addRow(QStringLiteral("Level:"), meter);
  auto* layout = new QVBoxLayout(d.get());
  layout->addLayout(form);
  layout->addWidget(OkCancel(d.get()));
  if (d->exec() == QDialog::Accepted) OpenSpeechSettings()->setValue(kInputVolume, slider->value());
}

void AddRemoveWord(QWidget* parent, const QString& title, TSpRecoEngine* engine) {
  std::unique_ptr<QDialog> d(MakeDialog(parent, title));
  d->setObjectName("AddRemoveWord");
  auto* list = new QListWidget(d.get());
  list->setObjectName("Words");
  auto reload = [list] {
    list->clear();
    auto s = OpenSpeechSettings();
    s->beginGroup(kWordsGroup);
    for (const QString& w : s->childKeys()) list->addItem(w + "  [" + s->value(w).toString() + "]");
  };
  reload();
  auto* word = new QLineEdit(d.get());
  word->setObjectName("Word");
  auto* phones = new QLineEdit(d.get());
  phones->setObjectName("Pronunciation");
  phones->setPlaceholderText(QStringLiteral("phones, e.g. V AA R N EH L OW (empty: from the spelling)"));
  auto* like = new QLineEdit(d.get());
  like->setObjectName("SoundsLike");
  like->setPlaceholderText(QStringLiteral("or a known word it sounds like"));
  auto* add = new QPushButton(QStringLiteral("Add"), d.get());
  add->setObjectName("Add");
  auto* remove = new QPushButton(QStringLiteral("Remove"), d.get());
  remove->setObjectName("Remove");
  QObject::connect(add, &QPushButton::clicked, d.get(), [=, &d] {
    const QString w = word->text().trimmed().toLower();
    QString p = phones->text().simplified().toUpper();
    try {
      if (w.isEmpty() || w.contains(' ')) throw ESpeechError(QStringLiteral("Enter one word."));
      if (p.isEmpty() && !like->text().trimmed().isEmpty()) {
        p = engine->LookupWord(like->text());
        if (p.isEmpty()) throw ESpeechError(QStringLiteral("\"%1\" is not a known word.").arg(like->text().trimmed()));
      }
      // Neither given: the pronunciation the spelling suggests.
      if (p.isEmpty() && like->text().trimmed().isEmpty()) p = QString::fromStdString(LetterToSound(w.toStdString()));
      if (p.isEmpty()) throw ESpeechError(QStringLiteral("Enter a pronunciation or a known word."));
      engine->AddWord(w, p);
      OpenSpeechSettings()->setValue(QString(kWordsGroup) + "/" + w, p);
      word->clear();
      phones->clear();
      like->clear();
      reload();
    } catch (const ESpeechError& e) {
      QMessageBox::warning(d.get(), d->windowTitle(), e.Message());
    }
  });
  QObject::connect(remove, &QPushButton::clicked, d.get(), [=] {
    if (auto* item = list->currentItem()) {
      const QString w = item->text().section(' ', 0, 0);
      // Removed words stay known until the recogniser restarts.
      OpenSpeechSettings()->remove(QString(kWordsGroup) + "/" + w);
      reload();
    }
  });
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Word:"), word);
  form->addRow(QStringLiteral("Pronunciation:"), phones);
  form->addRow(QStringLiteral("Sounds like:"), like);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(add);
  buttons->addWidget(remove);
  auto* close = new QDialogButtonBox(QDialogButtonBox::Close, d.get());
  QObject::connect(close, &QDialogButtonBox::rejected, d.get(), &QDialog::reject);
  auto* layout = new QVBoxLayout(d.get());
  layout->addWidget(list);
  layout->addLayout(form);
  layout->addLayout(buttons);
  layout->addWidget(close);
  d->exec();
}

void MicTraining(QWidget* parent, const QString& title) {
  std::unique_ptr<QDialog> d(MakeDialog(parent, title));
  d->setObjectName("MicTraining");
  auto* info = new QLabel(QStringLiteral("Press Start and read a sentence aloud at your usual volume."), d.get());
  info->setObjectName("Verdict");
  info->setWordWrap(true);
  auto* meter = new TLevelMeter(d.get());
  meter->setObjectName("LevelMeter");
  meter->Gain = GainOf(OpenSpeechSettings()->value(kInputVolume, 50).toInt());
  auto* start = new QPushButton(QStringLiteral("Start"), d.get());
  start->setObjectName("Start");
  auto* timer = new QTimer(d.get());
  timer->setSingleShot(true);
  timer->setInterval(5000);
  QObject::connect(start, &QPushButton::clicked, d.get(), [=] {
    meter->MaxLevel = meter->Clipped = meter->Blocks = 0;
    meter->Listen(RecoInputDevice());
    info->setText(QStringLiteral("Listening..."));
    start->setEnabled(false);
    timer->start();
  });
  QObject::connect(timer, &QTimer::timeout, d.get(), [=] {
    meter->Stop();
    start->setEnabled(true);
    if (meter->Blocks == 0)
      info->setText(QStringLiteral("No sound arrived from the microphone. Check the input device."));
    else if (meter->Clipped > 2)
      info->setText(QStringLiteral("The input is too loud and clips. Lower the input volume."));
    else if (meter->MaxLevel < 10)
      info->setText(QStringLiteral("The microphone is hardly heard. Raise the input volume or move closer."));
    else
      info->setText(QStringLiteral("The microphone is heard well."));
  });
  auto* close = new QDialogButtonBox(QDialogButtonBox::Close, d.get());
  QObject::connect(close, &QDialogButtonBox::rejected, d.get(), &QDialog::reject);
  auto* layout = new QVBoxLayout(d.get());
  layout->addWidget(info);
  layout->addWidget(meter);
  layout->addWidget(start);
  layout->addWidget(close);
  d->exec();
}

// Reads the prompts aloud one by one, then adapts the recogniser to the
// voice. Once the shipped prompts are read, further ones can be added ten at
// a time. Training runs in the background on every sentence recorded, those
// kept from earlier trainings too; closing the dialog cancels it.
void UserTraining(QWidget* parent, const QString& title) {
  auto prompts = std::make_shared<QStringList>(TrainingPrompts());
  const int required = int(prompts->size());
  const QStringList more = MoreTrainingPrompts();
  std::unique_ptr<QDialog> d(MakeDialog(parent, title));
  d->setObjectName("UserTraining");
  auto recordings = std::make_shared<std::vector<std::vector<short>>>(size_t(prompts->size()));
  // Recordings of this session already added to the kept ones.
  auto saved = std::make_shared<std::vector<bool>>(size_t(prompts->size()), false);
  auto current = std::make_shared<int>(0);
  auto* intro = new QLabel(QStringLiteral("Press Record, read the sentence aloud as you would dictate, and press Stop. "
                                          "Pick a sentence in the list to record it again."), d.get());
  intro->setWordWrap(true);
  auto* number = new QLabel(d.get());
  number->setObjectName("PromptNumber");
  auto* prompt = new QLabel(d.get());
  prompt->setObjectName("Prompt");
  prompt->setWordWrap(true);
  QFont big = prompt->font();
  big.setPointSizeF(big.pointSizeF() * 1.4);
  prompt->setFont(big);
  auto* list = new QListWidget(d.get());
  list->setObjectName("Prompts");
  for (const QString& p : *prompts) list->addItem(p);
  auto* meter = new TLevelMeter(d.get());
  meter->setObjectName("LevelMeter");
  meter->Gain = GainOf(OpenSpeechSettings()->value(kInputVolume, 50).toInt());
  auto* record = new QPushButton(QStringLiteral("Record"), d.get());
  record->setObjectName("Record");
  auto* stop = new QPushButton(QStringLiteral("Stop"), d.get());
  stop->setObjectName("Stop");
  stop->setEnabled(false);
  auto* moreButton = new QPushButton(QStringLiteral("More Sentences"), d.get());
  moreButton->setObjectName("MoreSentences");
  moreButton->setToolTip(QStringLiteral("Read further sentences: training improves with more speech."));
  auto* train = new QPushButton(QStringLiteral("Train"), d.get());
  train->setObjectName("Train");
  auto* again = new QPushButton(QStringLiteral("Train Again"), d.get());
  again->setObjectName("TrainAgain");
  again->setToolTip(QStringLiteral("Train on every sentence recorded so far, without reading new ones."));
  auto* cancel = new QPushButton(QStringLiteral("Cancel Training"), d.get());
  cancel->setObjectName("CancelTraining");
  cancel->setEnabled(false);
  auto* keptLabel = new QLabel(d.get());
  keptLabel->setObjectName("KeptRecordings");
  keptLabel->setWordWrap(true);
  auto* progress = new QProgressBar(d.get());
  progress->setObjectName("TrainingProgress");
  progress->setRange(0, 100);
  progress->setValue(0);
  auto* status = new QLabel(d.get());
  status->setObjectName("Status");
  status->setWordWrap(true);
  auto* trainer = new TUserTrainer(d.get());
  auto kept = std::make_shared<int>(KeptRecordingCount());
  // The session's recordings handed to the running training.
  auto handed = std::make_shared<std::vector<int>>();

  const auto recorded = [recordings](int from, int to) {
    return int(std::count_if(recordings->begin() + from, recordings->begin() + to, [](const auto& r) { return !r.empty(); }));
  };
  const auto show = [=](int i) {
    *current = i;
    number->setText(QStringLiteral("Sentence %1 of %2").arg(i + 1).arg(prompts->size()));
    prompt->setText((*prompts)[i]);
    const QSignalBlocker block(list);
    list->setCurrentRow(i);
  };
  const auto refresh = [=] {
    for (int i = 0; i < list->count(); ++i)
      list->item(i)->setText(((*recordings)[size_t(i)].empty() ? QStringLiteral("    ") : QStringLiteral("\u2713  ")) +
                             (*prompts)[i]);
    const bool busy = trainer->Running(), listening = stop->isEnabled();
    const int all = int(prompts->size());
    int unsaved = 0;
    for (int i = 0; i < all; ++i) unsaved += !(*recordings)[size_t(i)].empty() && !(*saved)[size_t(i)];
    train->setEnabled(!busy && !listening && recorded(0, required) == required);
    // Further sentences once every one listed is read.
    moreButton->setEnabled(!busy && !listening && recorded(0, all) == all && all - required < more.size());
    again->setVisible(*kept > 0);
    again->setEnabled(!busy && !listening && *kept + unsaved >= 2);
    keptLabel->setVisible(*kept > 0);
    keptLabel->setText(QStringLiteral("%1 sentences recorded so far are kept; each training uses them too.").arg(*kept));
    record->setEnabled(!busy && !listening);
    list->setEnabled(!busy && !listening);
    cancel->setEnabled(busy);
  };
  QObject::connect(list, &QListWidget::currentRowChanged, d.get(), [=](int row) {
    if (row >= 0) show(row);
  });
  QObject::connect(record, &QPushButton::clicked, d.get(), [=] {
    meter->Samples.clear();
    meter->Keep = true;
    meter->MaxLevel = meter->Clipped = meter->Blocks = 0;
    meter->Listen(RecoInputDevice());
    stop->setEnabled(true);
    status->setText(QStringLiteral("Listening..."));
    refresh();
  });
  QObject::connect(stop, &QPushButton::clicked, d.get(), [=] {
    meter->Stop();
    meter->Keep = false;
    stop->setEnabled(false);
    if (meter->Blocks == 0 || meter->MaxLevel < 3) {
      status->setText(QStringLiteral("Nothing was heard. Check the microphone and record the sentence again."));
    } else {
      (*recordings)[size_t(*current)] = std::move(meter->Samples);
      (*saved)[size_t(*current)] = false;
      status->setText(meter->Clipped > 2 ? QStringLiteral("That was too loud and clipped: lower the input volume and record it again.")
                                         : QString());
      // On to the next sentence still to read.
      for (int k = 1; k <= int(prompts->size()); ++k) {
        const int next = (*current + k) % int(prompts->size());
        if ((*recordings)[size_t(next)].empty()) {
          show(next);
          break;
        }
      }
      if (status->text().isEmpty() && recorded(0, int(prompts->size())) == int(prompts->size()))
        status->setText(QStringLiteral("Every sentence is recorded. Press Train, or More Sentences to read more first."));
    }
    meter->Samples.clear();
    refresh();
  });
  QObject::connect(moreButton, &QPushButton::clicked, d.get(), [=] {
    const int from = int(prompts->size());
    for (int i = from - required; i < more.size() && i < from - required + 10; ++i) {
      *prompts << more[i];
      list->addItem(more[i]);
    }
    recordings->resize(size_t(prompts->size()));
    saved->resize(size_t(prompts->size()), false);
    status->clear();
    show(from);
    refresh();
  });
  // Trains on the kept recordings and this session's that are not kept yet.
  const auto start = [=] {
    QStringList texts;
    std::vector<std::vector<short>> samples;
    handed->clear();
    for (int i = 0; i < int(prompts->size()); ++i)
      if (!(*recordings)[size_t(i)].empty() && !(*saved)[size_t(i)]) {
        texts << (*prompts)[i];
        samples.push_back((*recordings)[size_t(i)]);
        handed->push_back(i);
      }
    try {
      progress->setValue(0);
      trainer->Start(texts, std::move(samples), {true, true});
      status->setText(QStringLiteral("Training on %1 sentences...").arg(trainer->Used()));
    } catch (const ESpeechError& e) {
      status->setText(e.Message());
    }
    refresh();
  };
  QObject::connect(train, &QPushButton::clicked, d.get(), start);
  QObject::connect(again, &QPushButton::clicked, d.get(), start);
  QObject::connect(cancel, &QPushButton::clicked, trainer, &TUserTrainer::Cancel);
  QObject::connect(trainer, &TUserTrainer::Progress, d.get(), [=](int percent, const QString& what) {
    progress->setValue(percent);
    status->setText(what);
  });
  QObject::connect(trainer, &TUserTrainer::Finished, d.get(), [=](bool ok, const QString& error) {
    QString text = !ok              ? error + QStringLiteral(". The previous model stays in use.")
                   : trainer->Kept() ? trainer->Verdict()
                                     : trainer->Verdict() + QStringLiteral(" It uses the trained model from the next "
                                                                           "dictation on.");
    for (const QString& n : trainer->Notes()) text += "\n" + n + ".";
    status->setText(text);
    if (!ok) progress->setValue(0);
    if (ok && trainer->RecordingsKept())
      for (int i : *handed) (*saved)[size_t(i)] = true;
    handed->clear();
    *kept = KeptRecordingCount();
    refresh();
  });
  show(0);
  refresh();
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(record);
  buttons->addWidget(stop);
  buttons->addWidget(moreButton);
  buttons->addStretch();
  buttons->addWidget(train);
  buttons->addWidget(again);
  buttons->addWidget(cancel);
  auto* close = new QDialogButtonBox(QDialogButtonBox::Close, d.get());
  QObject::connect(close, &QDialogButtonBox::rejected, d.get(), &QDialog::reject);
  auto* layout = new QVBoxLayout(d.get());
  layout->addWidget(intro);
  layout->addWidget(number);
  layout->addWidget(prompt);
  layout->addWidget(meter);
  layout->addLayout(buttons);
  layout->addWidget(list);
  layout->addWidget(keptLabel);
  layout->addWidget(progress);
  layout->addWidget(status);
  layout->addWidget(close);
  d->resize(560, 520);
  d->exec();
  // Closing while training stops it; the previous model stays.
  trainer->Cancel();
}

void EngineProperties(QWidget* parent, const QString& title) {
  std::unique_ptr<QDialog> d(MakeDialog(parent, title));
  d->setObjectName("EngineProperties");
  TRecoModel m = RecoModelFromSettings();
  const TRecoModel shipped = ShippedRecoModel(), general = GeneralRecoModel();
  // The files the settings name, not the trained or learned models made from them.
  {
    auto s = OpenSpeechSettings();
    m.acousticModel = s->value(kModelFolder, shipped.acousticModel).toString();
    m.dictionary = s->value(kModelDictionary, shipped.dictionary).toString();
    m.languageModel = s->value(kModelLanguage, shipped.languageModel).toString();
  }
  auto* choice = new QComboBox(d.get());
  choice->setObjectName("ModelChoice");
  choice->addItems({QStringLiteral("Radiology comments"), QStringLiteral("General English"), QStringLiteral("Other")});
  auto* hmm = new QLineEdit(m.acousticModel, d.get());
  hmm->setObjectName("AcousticModel");
  auto* dict = new QLineEdit(m.dictionary, d.get());
  dict->setObjectName("Dictionary");
  auto* lm = new QLineEdit(m.languageModel, d.get());
  lm->setObjectName("LanguageModel");
  const auto same = [&](const TRecoModel& a) {
    return m.dictionary == a.dictionary && m.languageModel == a.languageModel;
  };
  choice->setCurrentIndex(same(shipped) ? 0 : same(general) ? 1 : 2);
  // Picking a shipped model fills in its files; editing a file makes it another.
  QObject::connect(choice, qOverload<int>(&QComboBox::activated), d.get(), [=](int i) {
    if (i == 2) return;
    const TRecoModel& pick = i == 0 ? shipped : general;
    for (auto [edit, text] : {std::pair{hmm, pick.acousticModel}, {dict, pick.dictionary}, {lm, pick.languageModel}}) {
      const QSignalBlocker block(edit);
      edit->setText(text);
    }
  });
  for (QLineEdit* edit : {hmm, dict, lm})
    QObject::connect(edit, &QLineEdit::textEdited, choice, [choice] { choice->setCurrentIndex(2); });
  auto* sens = new QSlider(Qt::Horizontal, d.get());
  sens->setObjectName("Sensitivity");
  sens->setRange(0, 100);
  sens->setValue(m.sensitivity);
  auto* trainedLabel = new QLabel(d.get());
  trainedLabel->setObjectName("TrainedModel");
  auto* untrain = new QPushButton(QStringLiteral("Remove Training"), d.get());
  untrain->setObjectName("RemoveTraining");
  const auto showTrained = [=] {
    const bool trained = !TrainedModelFor(hmm->text()).isEmpty();
    trainedLabel->setText(trained ? QStringLiteral("A model trained on your voice is in use.")
                                  : QStringLiteral("No model trained on your voice is in use."));
    untrain->setEnabled(QFileInfo::exists(TrainedModelFolder()));
  };
  QObject::connect(untrain, &QPushButton::clicked, d.get(), [=] {
    RemoveTrainedModel();
    showTrained();
  });
  QObject::connect(hmm, &QLineEdit::textChanged, d.get(), showTrained);
  showTrained();
  auto* trainedRow = new QHBoxLayout;
  trainedRow->addWidget(trainedLabel, 1);
  trainedRow->addWidget(untrain);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Model:"), choice);
  form->addRow(QStringLiteral("Acoustic model:"), hmm);
  form->addRow(QStringLiteral("Dictionary:"), dict);
  form->addRow(QStringLiteral("Language model:"), lm);
  form->addRow(QStringLiteral("Sensitivity:"), sens);
  form->addRow(QStringLiteral("Voice training:"), trainedRow);
  auto* learnedLabel = new QLabel(LearnedSummary(), d.get());
  learnedLabel->setObjectName("LearnedLanguage");
  learnedLabel->setWordWrap(true);
  auto* learnDocs = new QPushButton(QStringLiteral("Learn from documents…"), d.get());
  learnDocs->setObjectName("LearnFromDocuments");
  QObject::connect(learnDocs, &QPushButton::clicked, d.get(), [=, dlg = d.get()] {
    LearnFromDocuments(dlg);
    learnedLabel->setText(LearnedSummary());
  });
  auto* learnedRow = new QHBoxLayout;
  learnedRow->addWidget(learnedLabel, 1);
  learnedRow->addWidget(learnDocs);
  form->addRow(QStringLiteral("Your language:"), learnedRow);
  auto* note = new QLabel(QStringLiteral("Changes take effect when the recogniser next starts."), d.get());
  auto* layout = new QVBoxLayout(d.get());
  layout->addLayout(form);
  layout->addWidget(note);
  layout->addWidget(OkCancel(d.get()));
  if (d->exec() == QDialog::Accepted) {
    auto s = OpenSpeechSettings();
    s->setValue(kModelFolder, hmm->text());
    s->setValue(kSensitivity, sens->value());
    if (choice->currentIndex() == 0) {
      // The shipped model follows the installation, wherever it moves.
      for (const char* key : {kModelDictionary, kModelLanguage}) s->remove(key);
    } else {
      s->setValue(kModelDictionary, dict->text());
      s->setValue(kModelLanguage, lm->text());
    }
  }
}

}  // namespace

bool ShowSpeechDialog(QWidget* parent, const QString& title, const QString& typeOfUI, TSpRecoEngine* engine) {
  if (typeOfUI == "AudioProperties") AudioProperties(parent, title);
  else if (typeOfUI == "AudioVolume") AudioVolume(parent, title);
  else if (typeOfUI == "AddRemoveWord") AddRemoveWord(parent, title, engine);
  else if (typeOfUI == "MicTraining") MicTraining(parent, title);
  else if (typeOfUI == "EngineProperties") EngineProperties(parent, title);
  else if (typeOfUI == "UserTraining") UserTraining(parent, title);
  else return false;
  return true;
}
