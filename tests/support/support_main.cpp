// GoogleTest with a QApplication; offscreen unless told otherwise.
#include <QApplication>

#include <gtest/gtest.h>

#include "orvolib.h"
#include "own_home.h"

int main(int argc, char** argv) {
  const TOwnHome home;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  InitStartupSettings();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
