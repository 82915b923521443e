#include "trainingdialog.h"

#include "audioinput.h"
#include "dialogparts.h"
#include "dictatedphrases.h"
#include "spcommon.h"
#include "spsettings.h"
#include "usertraining.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

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
  meter->Gain = GainOf(PercentSetting(*OpenSpeechSettings(), kInputVolume));
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
  // Kept read prompts and dictated phrases: what Train Again has to go on.
  const auto keptNow = [] { return KeptRecordingCount() + DictatedPhrasesSize().entries; };
  auto kept = std::make_shared<int>(keptNow());
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
    const int phrases = DictatedPhrasesSize().entries, read = *kept - phrases;
    keptLabel->setText(phrases == 0 ? QStringLiteral("%1 sentences recorded so far are kept; each training uses them too.").arg(read)
                       : read == 0  ? QStringLiteral("Phrases you dictated are kept (%1); each training uses them too.")
                                         .arg(DictatedPhrasesSummary())
                                    : QStringLiteral("%1 sentences recorded so far and phrases you dictated (%2) are kept; "
                                                     "each training uses them too.")
                                         .arg(read).arg(DictatedPhrasesSummary()));
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
    *kept = keptNow();
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
