#include "spdialogs.h"

#include "audioinput.h"
#include "commentlearner.h"
#include "dictatedphrases.h"
#include "dialogparts.h"
#include "learndialog.h"
#include "lts.h"
#include "recoengine.h"
#include "spsettings.h"
#include "trainedmodel.h"
#include "trainingdialog.h"

#include <QCheckBox>
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
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

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
  meter->Gain = GainOf(PercentSetting(*OpenSpeechSettings(), kInputVolume));
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
  slider->setValue(PercentSetting(*OpenSpeechSettings(), kInputVolume));
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
  meter->Gain = GainOf(PercentSetting(*OpenSpeechSettings(), kInputVolume));
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
  auto* phrasesLabel = new QLabel(d.get());
  phrasesLabel->setObjectName("DictatedPhrases");
  const auto showTrained = [=] {
    const bool trained = !TrainedModelFor(hmm->text()).isEmpty();
    trainedLabel->setText(trained ? QStringLiteral("A model trained on your voice is in use.")
                                  : QStringLiteral("No model trained on your voice is in use."));
    const bool phrases = DictatedPhrasesSize().entries > 0;
    phrasesLabel->setText(phrases ? QStringLiteral("Kept: ") + DictatedPhrasesSummary() : QStringLiteral("None kept"));
    untrain->setEnabled(QFileInfo::exists(TrainedModelFolder()) || phrases);
  };
  QObject::connect(untrain, &QPushButton::clicked, d.get(), [=] {
    RemoveTrainedModel();
    RemoveDictatedPhrases();
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
  auto* keepPhrases = new QCheckBox(QStringLiteral("Keep dictated phrases for training"), d.get());
  keepPhrases->setObjectName("KeepDictatedPhrases");
  keepPhrases->setToolTip(QStringLiteral("Phrases you dictate into a comment you save are kept with their sound, "
                                         "as you corrected them, and Train Again uses them."));
  keepPhrases->setChecked(DictatedPhrasesKept());
  auto* phrasesRow = new QHBoxLayout;
  phrasesRow->addWidget(keepPhrases, 1);
  phrasesRow->addWidget(phrasesLabel);
  form->addRow(QString(), phrasesRow);
  auto* learnedLabel = new QLabel(LearnedSummary(), d.get());
  learnedLabel->setObjectName("LearnedLanguage");
  learnedLabel->setWordWrap(true);
  auto* learnDocs = new QPushButton(QStringLiteral("Learn from documents…"), d.get());
  learnDocs->setObjectName("LearnFromDocuments");
  // The form gives a wrapped label beside a button only the button's
  // height: once laid out, the label asks for the height its lines take.
  const auto fitLearned = [=, dlg = d.get()] {
    QTimer::singleShot(0, dlg, [=] { learnedLabel->setMinimumHeight(learnedLabel->heightForWidth(learnedLabel->width())); });
  };
  fitLearned();
  QObject::connect(learnDocs, &QPushButton::clicked, d.get(), [=, dlg = d.get()] {
    LearnFromDocuments(dlg);
    learnedLabel->setText(LearnedSummary());
    fitLearned();
  });
  auto* learnedRow = new QHBoxLayout;
  learnedRow->addWidget(learnedLabel, 1);
  learnedRow->addWidget(learnDocs);
  form->addRow(QStringLiteral("Your language:"), learnedRow);
  auto* fromComments = new QCheckBox(QStringLiteral("Learn from comments as they are saved"), d.get());
  fromComments->setObjectName("LearnFromSavedComments");
  fromComments->setChecked(SavedCommentsLearned());
  form->addRow(QString(), fromComments);
  auto* note = new QLabel(QStringLiteral("Changes take effect when the recogniser next starts."), d.get());
  auto* layout = new QVBoxLayout(d.get());
  layout->addLayout(form);
  layout->addWidget(note);
  layout->addWidget(OkCancel(d.get()));
  if (d->exec() == QDialog::Accepted) {
    auto s = OpenSpeechSettings();
    s->setValue(kModelFolder, hmm->text());
    s->setValue(kSensitivity, sens->value());
    s->setValue(kLearnSavedComments, fromComments->isChecked());
    s->setValue(kKeepDictatedPhrases, keepPhrases->isChecked());
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

