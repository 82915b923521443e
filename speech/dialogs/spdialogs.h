// The recogniser's own dialogs.
#pragma once

#include <QString>

class QWidget;
class TSpRecoEngine;

// Shows the dialog of typeOfUI modally; false for an unknown type.
bool ShowSpeechDialog(QWidget* parent, const QString& title, const QString& typeOfUI, TSpRecoEngine* engine);
