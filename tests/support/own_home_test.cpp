// The test program's Qt sees only the folders own_home.h made for it: none
// of the user's (nor the folders every test shares) is read or written.
#include <QDir>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cstdlib>

TEST(OwnHome, EveryFolderQtWritesToIsBelowTheTestsTemporaryFolder) {
  const char* tmp = std::getenv("TMPDIR");
  const QString root = QDir(QString::fromLocal8Bit(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp")).canonicalPath();
  const struct {
    const char* what;
    QString path;
  } folders[] = {
      {"home", QDir::homePath()},
      {"config", QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)},
      {"data", QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)},
      {"cache", QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)},
      {"state", QString::fromLocal8Bit(qgetenv("XDG_STATE_HOME"))},
      {"runtime", QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)},
  };
  QString home;
  for (const auto& f : folders) {
    const QString path = QDir(f.path).canonicalPath();
    ASSERT_FALSE(path.isEmpty()) << f.what << ": " << f.path.toStdString();
    EXPECT_TRUE(path.startsWith(root + "/varnelo-home-")) << f.what << ": " << path.toStdString();
    // All in one folder of this program's own.
    const QString own = path.section('/', 0, root.count('/') + 1);
    if (home.isEmpty()) home = own;
    EXPECT_EQ(own, home) << f.what;
  }
}
