#include "learndialog.h"

#include "dictatedphrases.h"

#include "learn.h"
#include "spcommon.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <atomic>
#include <memory>
#include <thread>

namespace {

// A learn on its worker thread; the dialog waits for it before it goes.
struct TLearnJob {
  std::thread thread;
  std::atomic<bool> cancel{false};
  bool running = false;
  ~TLearnJob() {
    cancel = true;
    if (thread.joinable()) thread.join();
  }
};

}  // namespace

QString LearnedSummary() {
  const TLearnStatus s = LearnedStatus();
  if (s.sentences == 0) return QStringLiteral("Nothing is learned from your documents or saved comments.");
  QString text = QStringLiteral("Learned %1 sentences (%2 words, %3 new words) ").arg(s.sentences).arg(s.words).arg(s.newWords);
  if (s.commentSentences == 0)
    text += QStringLiteral("from your documents.");
  else if (s.commentSentences == s.sentences)
    text += QStringLiteral("from the comments you saved.");
  else
    text += QStringLiteral("from your documents and saved comments; %1 sentences (%2 words) come from saved comments.")
                .arg(s.commentSentences).arg(s.commentWords);
  if (!s.inUse) text += QStringLiteral(" They are not used with the model chosen now.");
  return text;
}

void LearnFromDocuments(QWidget* parent) {
  auto d = std::make_unique<QDialog>(parent);
  d->setObjectName("LearnFromDocuments");
  d->setWindowTitle(QStringLiteral("Learn from Documents"));
  auto* intro = new QLabel(QStringLiteral("Reports and comments you have written teach the recogniser your words and "
                                          "phrasing: text files, and DICOM files' image comments. Nothing leaves "
                                          "this computer."),
                           d.get());
  intro->setWordWrap(true);
  auto* paths = new QListWidget(d.get());
  paths->setObjectName("Paths");
  auto* addFiles = new QPushButton(QStringLiteral("Add Files…"), d.get());
  addFiles->setObjectName("AddFiles");
  auto* addFolder = new QPushButton(QStringLiteral("Add Folder…"), d.get());
  addFolder->setObjectName("AddFolder");
  auto* learn = new QPushButton(QStringLiteral("Learn"), d.get());
  learn->setObjectName("Learn");
  auto* cancel = new QPushButton(QStringLiteral("Cancel Learning"), d.get());
  cancel->setObjectName("CancelLearn");
  auto* progress = new QProgressBar(d.get());
  progress->setObjectName("Progress");
  progress->setRange(0, 100);
  auto* status = new QLabel(d.get());
  status->setObjectName("Status");
  status->setWordWrap(true);
  auto* learned = new QLabel(LearnedSummary(), d.get());
  learned->setObjectName("Learned");
  learned->setWordWrap(true);
  auto* forget = new QPushButton(QStringLiteral("Forget"), d.get());
  forget->setObjectName("Forget");
  auto* close = new QDialogButtonBox(QDialogButtonBox::Close, d.get());

  auto job = std::make_shared<std::unique_ptr<TLearnJob>>();
  const auto update = [=] {
    const bool running = *job && (*job)->running;
    learn->setEnabled(!running && paths->count() > 0);
    cancel->setEnabled(running);
    forget->setEnabled(!running && (LearnedStatus().sentences > 0 || DictatedPhrasesSize().entries > 0));
    addFiles->setEnabled(!running);
    addFolder->setEnabled(!running);
    learned->setText(LearnedSummary());
  };
  const auto add = [=](const QStringList& chosen) {
    for (const QString& p : chosen)
      if (paths->findItems(p, Qt::MatchExactly).isEmpty()) paths->addItem(p);
    update();
  };
  QObject::connect(addFiles, &QPushButton::clicked, d.get(), [=, dlg = d.get()] {
    add(QFileDialog::getOpenFileNames(dlg, QStringLiteral("Documents to Learn From")));
  });
  QObject::connect(addFolder, &QPushButton::clicked, d.get(), [=, dlg = d.get()] {
    const QString dir = QFileDialog::getExistingDirectory(dlg, QStringLiteral("Folder of Documents to Learn From"));
    if (!dir.isEmpty()) add({dir});
  });
  QObject::connect(paths->model(), &QAbstractItemModel::rowsInserted, d.get(), update);
  QObject::connect(learn, &QPushButton::clicked, d.get(), [=, dlg = d.get()] {
    QStringList chosen;
    for (int i = 0; i < paths->count(); ++i) chosen << paths->item(i)->text();
    if (chosen.isEmpty()) return;
    if (*job && (*job)->thread.joinable()) (*job)->thread.join();
    *job = std::make_unique<TLearnJob>();
    TLearnJob* j = job->get();
    j->running = true;
    progress->setValue(0);
    status->setText(QStringLiteral("Learning…"));
    update();
    QPointer<QDialog> guard(dlg);
    j->thread = std::thread([=] {
      QString message;
      bool ok = false;
      try {
        const TLearnResult r = LearnFromPaths(
            chosen,
            [=](int percent, const QString& what) {
              QMetaObject::invokeMethod(dlg, [=] {
                progress->setValue(percent);
                status->setText(what);
              }, Qt::QueuedConnection);
            },
            &j->cancel);
        ok = true;
        message = r.changed ? QStringLiteral("Learned %1 sentences (%2 words) from %3 files.")
                                  .arg(r.sentences).arg(r.words).arg(r.files)
                            : QStringLiteral("No text was found to learn from; nothing changed.");
        if (r.imagesWithoutComment > 0)
          message += QStringLiteral("\n%1 DICOM files without an image comment had nothing to learn.")
                         .arg(r.imagesWithoutComment);
        if (!r.skipped.isEmpty())
          message += QStringLiteral("\nSkipped:\n") + r.skipped.join('\n');
      } catch (const std::exception& e) {
        message = QString::fromStdString(e.what());
      }
      // The dialog outlives the thread (it joins it), so dlg is valid here.
      QMetaObject::invokeMethod(dlg, [=] {
        j->running = false;
        progress->setValue(ok ? 100 : 0);
        status->setText(message);
        update();
      }, Qt::QueuedConnection);
    });
  });
  QObject::connect(cancel, &QPushButton::clicked, d.get(), [=] {
    if (*job) (*job)->cancel = true;
    status->setText(QStringLiteral("Cancelling…"));
  });
  QObject::connect(forget, &QPushButton::clicked, d.get(), [=] {
    ForgetLearned();
    RemoveDictatedPhrases();
    status->setText(QStringLiteral("Everything learned is forgotten, and no dictated phrases are kept: the shipped "
                                   "language model is used again."));
    update();
  });
  QObject::connect(close, &QDialogButtonBox::rejected, d.get(), &QDialog::reject);

  auto* pick = new QHBoxLayout;
  pick->addWidget(addFiles);
  pick->addWidget(addFolder);
  pick->addStretch(1);
  pick->addWidget(learn);
  pick->addWidget(cancel);
  auto* learnedRow = new QHBoxLayout;
  learnedRow->addWidget(learned, 1);
  learnedRow->addWidget(forget);
  auto* layout = new QVBoxLayout(d.get());
  layout->addWidget(intro);
  layout->addWidget(paths);
  layout->addLayout(pick);
  layout->addWidget(progress);
  layout->addWidget(status);
  layout->addLayout(learnedRow);
  layout->addWidget(close);
  update();
  d->resize(560, 420);
  d->exec();
  // Closed while learning: stop, and wait for the worker before the widgets go.
  if (*job) {
    (*job)->cancel = true;
    if ((*job)->thread.joinable()) (*job)->thread.join();
  }
}
