#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <vector>

#include "orvolib.h"

namespace {

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
  const QString path = dir.filePath(name);
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(bytes);
  return path;
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  return f.readAll();
}

// Restores the desktop opener when a test ends.
struct OpenerScope {
  explicit OpenerScope(TDocumentOpener o) { previous = SetDocumentOpener(std::move(o)); }
  ~OpenerScope() { SetDocumentOpener(previous); }
  TDocumentOpener previous;
};

}  // namespace

TEST(Version, KeysOfBuiltPrograms) {
  struct Case {
    QString file;
    QString key;
    QString text;
  };
  const std::vector<Case> cases = {
      {QCoreApplication::applicationFilePath(), "000009003000", "0.9.3.0"},
      {QStringLiteral(VERSION_PROBE), "001002003004", "1.2.3.4"},
      {QStringLiteral(NO_VERSION_PROBE), "000000000000", "0.0.0.0"},
      {QStringLiteral("/nonexistent/program"), "000000000000", "0.0.0.0"},
      {QStringLiteral("/bin/sh"), "000000000000", "0.0.0.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file.toStdString());
    const QString key = GetFileVersionKey(c.file);
    EXPECT_EQ(key, c.key);
    EXPECT_EQ(VersionKeyToText(key), c.text);
  }
  EXPECT_EQ(ProgramVersionText(), QStringLiteral("0.9.3.0"));
}

// Damaged copies of a versioned program: no crash, no version.
TEST(Version, DamagedFilesGiveZeros) {
  QTemporaryDir dir;
  const QByteArray program = ReadFile(QStringLiteral(VERSION_PROBE));
  ASSERT_GT(program.size(), 1000);
  std::vector<QByteArray> damaged = {
      QByteArray(),
      program.left(4),
      program.left(63),
      program.left(program.size() / 2),  // section headers sit at the end
      QByteArray("not an executable at all"),
  };
  // Section header offset pointing past the end, and a huge section count.
  QByteArray badOffset = program;
  for (int i = 0; i < 8; ++i) badOffset[0x28 + i] = char(0xFF);
  damaged.push_back(badOffset);
  QByteArray badCount = program;
  badCount[0x3C] = char(0xFF);
  badCount[0x3D] = char(0xFF);
  damaged.push_back(badCount);
  for (size_t i = 0; i < damaged.size(); ++i) {
    const QString path = WriteFile(dir, QStringLiteral("d%1").arg(i), damaged[i]);
    EXPECT_EQ(GetFileVersionKey(path), QStringLiteral("000000000000")) << "case " << i;
  }
  // Flipping bytes all over the file never crashes.
  for (int step = 0; step < 80; ++step) {
    QByteArray copy = program;
    const int at = int((quint64(step) * 7919u) % quint64(copy.size()));
    copy[at] = char(copy[at] ^ 0x5A);
    // A damaged part may exceed 999 and widen its group; digits still.
    const QString key = GetFileVersionKey(WriteFile(dir, QStringLiteral("f"), copy));
    EXPECT_GE(key.size(), 12);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9]+$")).match(key).hasMatch()) << key.toStdString();
  }
}

TEST(Version, KeyToText) {
  struct Case {
    QString key;
    QString text;
  };
  const std::vector<Case> good = {
      {"000009003000", "0.9.3.0"},
      {"001002003004", "1.2.3.4"},
      {"999999999999", "999.999.999.999"},
      {"000000000000", "0.0.0.0"},
  };
  for (const Case& c : good) EXPECT_EQ(VersionKeyToText(c.key), c.text);
  for (const QString& bad : {QStringLiteral("00000900300x"), QStringLiteral("12345"), QString(),
                             QStringLiteral("-01002003004"), QStringLiteral(" 01002003004")}) {
    SCOPED_TRACE(bad.toStdString());
    try {
      VersionKeyToText(bad);
      ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
      EXPECT_TRUE(QString::fromStdString(e.what()).endsWith(QStringLiteral("' is not a valid integer value")));
    }
  }
}

TEST(OpenLinks, LabelColoursOnSuccessAndFailure) {
  for (bool outcome : {true, false}) {
    QLabel label(QStringLiteral("https://varnelo.example.org"));
    QColor during;
    QWidget* owner = reinterpret_cast<QWidget*>(1);
    QString target;
    OpenerScope scope([&](QWidget* w, const QString& t) {
      during = LabelFontColor(&label);
      owner = w;
      target = t;
      return outcome;
    });
    EXPECT_EQ(OpenLabelLink(&label), outcome);
    EXPECT_EQ(during, QColor(255, 0, 0));
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(target, label.text());
    EXPECT_EQ(LabelFontColor(&label), QColor(128, 0, 128));
  }
}

TEST(OpenLinks, OpenDocumentGoesThroughTheOpener) {
  QWidget window;
  QWidget* seenOwner = nullptr;
  QString seenTarget;
  {
    OpenerScope scope([&](QWidget* w, const QString& t) {
      seenOwner = w;
      seenTarget = t;
      return false;
    });
    EXPECT_FALSE(OpenDocument(&window, QStringLiteral("sndvol32")));
    EXPECT_EQ(seenOwner, &window);
    EXPECT_EQ(seenTarget, QStringLiteral("sndvol32"));
  }
  // The desktop opener: missing files and unknown bare names fail, a program on
  // PATH starts directly.
  EXPECT_FALSE(DesktopOpenDocument(nullptr, QStringLiteral("/nonexistent/file.pdf")));
  EXPECT_FALSE(DesktopOpenDocument(nullptr, QStringLiteral("no-such-program-varnelo")));
  EXPECT_FALSE(DesktopOpenDocument(nullptr, QString()));
  EXPECT_TRUE(DesktopOpenDocument(nullptr, QStringLiteral("true")));
}

TEST(Gradient, VerticalRunsFromTopVertexToBottomVertex) {
  QImage image(40, 100, QImage::Format_RGB32);
  image.fill(Qt::black);
  TTriVertex v[2];
  v[0] = {0, 0, 0xFFFF, 0xDDDD, 0xBBBB, 0};
  v[1] = {40, 100, 0xFFFF, 0xFBFB, 0xF0F0, 0};
  const TGradientRect mesh{1, 0};  // indices the other way round: the colours follow the positions
  {
    QPainter p(&image);
    ASSERT_TRUE(GradientFillDirect(&p, v, 2, &mesh, 1, GRADIENT_FILL_RECT_V));
  }
  auto near = [](QColor a, QColor b) {
    return std::abs(a.red() - b.red()) <= 2 && std::abs(a.green() - b.green()) <= 2 &&
           std::abs(a.blue() - b.blue()) <= 2;
  };
  EXPECT_TRUE(near(image.pixelColor(20, 0), QColor(255, 221, 187)));
  EXPECT_TRUE(near(image.pixelColor(20, 99), QColor(255, 251, 240)));
  EXPECT_EQ(image.pixelColor(0, 50), image.pixelColor(39, 50));  // rows are flat
  // Green grows monotonically downwards.
  for (int y = 1; y < 100; ++y) EXPECT_GE(image.pixelColor(5, y).green(), image.pixelColor(5, y - 1).green());

  // Horizontal mode: columns vary, rows do not.
  {
    QPainter p(&image);
    ASSERT_TRUE(GradientFillDirect(&p, v, 2, &mesh, 1, GRADIENT_FILL_RECT_H));
  }
  EXPECT_TRUE(near(image.pixelColor(0, 50), QColor(255, 221, 187)));
  EXPECT_EQ(image.pixelColor(10, 0), image.pixelColor(10, 99));
}

TEST(Gradient, BadArgumentsAndWhiteFallback) {
  QImage image(20, 20, QImage::Format_RGB32);
  image.fill(Qt::black);
  TTriVertex v[2];
  v[0] = {2, 3, 0, 0, 0, 0};
  v[1] = {12, 13, 0, 0, 0, 0};
  const TGradientRect badMesh{0, 5};
  const TGradientRect mesh{0, 1};
  QPainter p(&image);
  EXPECT_FALSE(GradientFillDirect(&p, v, 2, &badMesh, 1, GRADIENT_FILL_RECT_V));
  EXPECT_FALSE(GradientFillDirect(&p, v, 2, &mesh, 1, GRADIENT_FILL_TRIANGLE));
  EXPECT_FALSE(GradientFillDirect(nullptr, v, 2, &mesh, 1, GRADIENT_FILL_RECT_V));
  EXPECT_FALSE(GradientFillWhite(&p, v, 1, nullptr, 0, 0));
  EXPECT_TRUE(GradientFillWhite(&p, v, 2, nullptr, 0, GRADIENT_FILL_TRIANGLE));
  p.end();
  EXPECT_EQ(image.pixelColor(2, 3), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(11, 12), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(12, 13), QColor(Qt::black));
  EXPECT_EQ(image.pixelColor(1, 3), QColor(Qt::black));
  EXPECT_EQ(GradientFillProc, &GradientFillDirect);
}

TEST(StartupSettings, PointAsDecimalSeparator) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  InitStartupSettings();
  EXPECT_EQ(QLocale().decimalPoint(), QStringLiteral("."));
  EXPECT_EQ(QLocale().toString(1.5), QStringLiteral("1.5"));
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", 2.5);
  EXPECT_STREQ(buf, "2.5");
  EXPECT_DOUBLE_EQ(std::strtod("3.25", nullptr), 3.25);
  if (!german) GTEST_LOG_(INFO) << "de_DE locale not installed; C runtime part checked from the default";
}

TEST(Ansi, Windows1252RoundTrip) {
  const QString text = QStringLiteral("Gr\u00fc\u00dfe \u20ac \u2013 \u0152 \u4e2d");
  const QByteArray bytes = ToAnsi(text);
  EXPECT_EQ(bytes, QByteArray("Gr\xfc\xdf" "e \x80 \x96 \x8c ?"));
  EXPECT_EQ(FromAnsi(bytes), QStringLiteral("Gr\u00fc\u00dfe \u20ac \u2013 \u0152 ?"));
  EXPECT_EQ(ToAnsi(QString::fromUcs4(U"\U0001F600")), QByteArray("?"));
}
