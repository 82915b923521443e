// GoogleTest main with a Qt application: the speech service needs an event
// loop for its queued events and audio devices.
#include <QApplication>

#include <gtest/gtest.h>

#include "own_home.h"

int main(int argc, char** argv) {
  const TOwnHome home;
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
