// varnelo-speech learn: teaches the recogniser the user's language.
#pragma once

#include <QStringList>

// args after "learn"; usage() prints the usage and returns 2.
int LearnCommand(const QStringList& args, int (*usage)());
