// varnelo-speech voices | speak: the synthesis side of the front end.
#pragma once

#include <QStringList>

// Both return the process's exit code: 0 done, 1 failed (message on stderr),
// 2 wrong usage.
int VoicesCommand(const QStringList& args);
int SpeakCommand(QStringList args);
