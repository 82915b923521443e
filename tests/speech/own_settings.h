#pragma once

#include <QTemporaryDir>

#include <gtest/gtest.h>

// The service's settings, and the test's own files, in folders of the test's
// own: nothing a user or another test keeps is read or changed.
class TOwnSettingsTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(config.isValid() && files.isValid());
    oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  }
  void TearDown() override { qputenv("XDG_CONFIG_HOME", oldConfig); }

  QTemporaryDir config, files;
  QByteArray oldConfig;
};
