#include "modelpath.h"

#include <QDir>
#include <QFileInfo>

QString ModelPath(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }
