// The dialog that trains the recogniser on its user's voice.
#pragma once

class QString;
class QWidget;

// Reads the prompts aloud one by one, then adapts the recogniser to the
// voice. Once the shipped prompts are read, further ones can be added ten at
// a time. Training runs in the background on every sentence recorded, those
// kept from earlier trainings and the phrases kept from dictation too;
// closing the dialog cancels it.
void UserTraining(QWidget* parent, const QString& title);
