// Model files and folders are told apart by path.
#pragma once

#include <QString>

// A model's path as models are told apart: absolute and clean.
QString ModelPath(const QString& path);
