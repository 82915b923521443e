// "Learn from documents…": the user picks files or a folder; they are learned
// on a worker thread (progress, cancel), and the dialog then shows what has
// been learned, with a Forget button. A cancelled or failed learn leaves the
// previous model in use (see learn.h).
#pragma once

#include <QString>

class QWidget;

// Shows the dialog modally; returns when it is closed and no learn runs.
void LearnFromDocuments(QWidget* parent);

// What is learned, in a sentence for the dialogs.
QString LearnedSummary();
