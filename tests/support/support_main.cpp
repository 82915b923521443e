// GoogleTest with a QApplication; offscreen unless told otherwise.
#include <QApplication>

#include <gtest/gtest.h>

#include "orvolib.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  InitStartupSettings();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
